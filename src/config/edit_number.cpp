#include "config/edit_number.h"

#include <cctype>

int ReadUnsignedEdit(const std::string& text) {
    constexpr int kCeiling = 1000000;
    size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
        ++i;
    bool negative = i < text.size() && text[i] == '-';
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
    int value = 0;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
        if (value < kCeiling) value = value * 10 + (text[i] - '0');
    }
    if (value > kCeiling) value = kCeiling;
    return negative ? 0 : value;
}
