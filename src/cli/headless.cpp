#include "cli/headless.h"

void StderrPrompts::WriteLine(const std::string& text) {
    std::lock_guard<std::mutex> held(lock_);
    err_ << text << "\n";
    err_.flush();
}

// A question is answered with its first button: OK or Yes.
int StderrPrompts::ShowMessage(const std::string& text, const std::string&, uint32_t style) {
    std::string line = text;
    while (!line.empty() && line.back() == '\n')
        line.pop_back();
    for (char& c : line)
        if (c == '\n') c = ' ';
    WriteLine(prefix_ + line);
    return (style & 0xF) == kYesNo ? kAnswerYes : kAnswerOk;
}
