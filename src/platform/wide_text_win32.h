#pragma once

#include <string>
#include <string_view>

#include "platform/text.h"

// UTF-8 <-> the wchar_t texts of the Win32 API (UTF-16 on Windows).
inline std::wstring Wide(std::string_view text) {
    std::u16string wide = Utf8ToUtf16(text);
    return std::wstring(wide.begin(), wide.end());
}

inline std::string Narrow(std::wstring_view text) {
    return Utf16ToUtf8(std::u16string_view(reinterpret_cast<const char16_t*>(text.data()), text.size()));
}
