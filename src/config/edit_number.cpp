#include "config/edit_number.h"

#include <cctype>

std::optional<int> ParseEditNumber(const std::string& text) {
    constexpr int kCeiling = 1000000;
    auto blank = [&text](size_t i) { return std::isspace(static_cast<unsigned char>(text[i])) != 0; };
    size_t begin = 0, end = text.size();
    while (begin < end && blank(begin))
        ++begin;
    while (end > begin && blank(end - 1))
        --end;
    bool negative = begin < end && text[begin] == '-';
    if (begin < end && (text[begin] == '-' || text[begin] == '+')) ++begin;
    if (begin == end) return std::nullopt;
    int value = 0;
    for (size_t i = begin; i < end; ++i) {
        if (!std::isdigit(static_cast<unsigned char>(text[i]))) return std::nullopt;
        if (value < kCeiling) value = value * 10 + (text[i] - '0');
    }
    if (value > kCeiling) value = kCeiling;
    return negative ? -value : value;
}

std::optional<int> ParseUnsignedEdit(const std::string& text) {
    std::optional<int> value = ParseEditNumber(text);
    if (value && *value < 0) return 0;
    return value;
}
