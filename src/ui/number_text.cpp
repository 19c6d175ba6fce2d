#include "ui/number_text.h"

#include <cctype>

int ReadNumber(const std::string& text, size_t maxDigits) {
    std::string kept = text.substr(0, maxDigits);
    size_t i = 0;
    while (i < kept.size() && std::isspace(static_cast<unsigned char>(kept[i])))
        ++i;
    int value = 0;
    for (; i < kept.size() && std::isdigit(static_cast<unsigned char>(kept[i])); ++i)
        value = value * 10 + (kept[i] - '0');
    return value;
}
