#include "platform/text.h"

#include <cstdint>

namespace {
constexpr char32_t kReplacement = 0xFFFD;

bool IsContinuation(unsigned char byte) {
    return (byte & 0xC0) == 0x80;
}

// Decodes one code point starting at utf8[i]; advances i past it.
char32_t DecodeUtf8(std::string_view utf8, size_t& i) {
    unsigned char lead = static_cast<unsigned char>(utf8[i++]);
    if (lead < 0x80) return lead;
    size_t extra;
    char32_t value;
    char32_t minimum;
    if ((lead & 0xE0) == 0xC0) {
        extra = 1, value = lead & 0x1F, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        extra = 2, value = lead & 0x0F, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        extra = 3, value = lead & 0x07, minimum = 0x10000;
    } else {
        return kReplacement;
    }
    for (size_t k = 0; k < extra; ++k) {
        if (i >= utf8.size() || !IsContinuation(static_cast<unsigned char>(utf8[i]))) return kReplacement;
        value = (value << 6) | (static_cast<unsigned char>(utf8[i++]) & 0x3F);
    }
    bool surrogate = value >= 0xD800 && value <= 0xDFFF;
    if (value < minimum || value > 0x10FFFF || surrogate) return kReplacement;
    return value;
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}
}  // namespace

size_t Utf8ToUtf16Into(std::string_view utf8, char16_t* out, size_t maxUnits) {
    size_t written = 0;
    size_t i = 0;
    while (i < utf8.size()) {
        char32_t cp = DecodeUtf8(utf8, i);
        if (cp >= 0x10000) {
            if (written + 2 > maxUnits) break;
            cp -= 0x10000;
            out[written++] = static_cast<char16_t>(0xD800 + (cp >> 10));
            out[written++] = static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            if (written + 1 > maxUnits) break;
            out[written++] = static_cast<char16_t>(cp);
        }
    }
    return written;
}

std::u16string Utf8ToUtf16(std::string_view utf8) {
    std::u16string out(utf8.size(), u'\0');  // never more units than bytes
    out.resize(Utf8ToUtf16Into(utf8, out.data(), out.size()));
    return out;
}

std::string Utf16ToUtf8(std::u16string_view utf16) {
    std::string out;
    out.reserve(utf16.size());
    for (size_t i = 0; i < utf16.size(); ++i) {
        char32_t unit = utf16[i];
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 &&
            utf16[i + 1] <= 0xDFFF) {
            AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (utf16[++i] - 0xDC00));
        } else if (unit >= 0xD800 && unit <= 0xDFFF) {
            AppendUtf8(out, kReplacement);
        } else {
            AppendUtf8(out, unit);
        }
    }
    return out;
}

std::string_view CutUtf8(std::string_view utf8, size_t maxBytes) {
    if (utf8.size() <= maxBytes) return utf8;
    size_t end = maxBytes;
    while (end > 0 && IsContinuation(static_cast<unsigned char>(utf8[end])))
        --end;
    return utf8.substr(0, end);
}
