#include "replay.h"

#include <cctype>
#include <fstream>
#include <sstream>

namespace {
int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}
}  // namespace

ReplayScript ParseReplay(const std::string& text) {
    ReplayScript script;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (size_t comment = line.find('#'); comment != std::string::npos) line.erase(comment);
        std::string digits;
        std::istringstream words(line);
        std::string word;
        while (words >> word) {
            if (word.size() >= 2 && word[0] == '0' && (word[1] == 'x' || word[1] == 'X')) word.erase(0, 2);
            digits += word;
        }
        if (digits.empty()) continue;
        pd::Message message;
        bool ok = digits.size() % 2 == 0;
        for (size_t i = 0; ok && i < digits.size(); i += 2) {
            int high = HexDigit(digits[i]), low = HexDigit(digits[i + 1]);
            ok = high >= 0 && low >= 0;
            if (ok) message.bytes.push_back(static_cast<uint8_t>(high * 16 + low));
        }
        ok = ok && message.bytes.size() >= 2 && message.bytes.size() <= pd::kMaxMessageBytes;
        if (ok) {
            script.messages.push_back(std::move(message));
        } else {
            ++script.skippedLines;
        }
    }
    return script;
}

bool LoadReplay(const std::string& path, ReplayScript& out) {
    std::ifstream in(path);
    if (!in) return false;
    std::stringstream text;
    text << in.rdbuf();
    out = ParseReplay(text.str());
    return true;
}
