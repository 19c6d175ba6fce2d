#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// UTF-8 inside the program, UTF-16 at the Windows API and in fixed UTF-16
// fields. Malformed input becomes U+FFFD rather than being dropped silently.
std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view utf16);

// Decodes UTF-8 into a caller's buffer without allocating: at most maxUnits
// code units, never half of a surrogate pair. Returns the units written.
size_t Utf8ToUtf16Into(std::string_view utf8, char16_t* out, size_t maxUnits);

// The longest prefix of at most maxBytes bytes that ends on a code-point
// boundary, so a cut never leaves half a character behind.
std::string_view CutUtf8(std::string_view utf8, size_t maxBytes);
