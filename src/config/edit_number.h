#pragma once

#include <optional>
#include <string>

// A whole number typed into a dialog's edit: blanks around it, an optional
// sign and decimal digits, nothing else, so "1,5", "4.5" and "9000abc" are
// not numbers (nothing). Numbers beyond a million read as plus or minus a
// million, far beyond every limit, so no value wraps.
std::optional<int> ParseEditNumber(const std::string& text);

// The same for an unsigned setting: a negative number reads as 0, since the
// tester's registers are unsigned and -1 would wrap to 65535, which means
// "Max" or "not set".
std::optional<int> ParseUnsignedEdit(const std::string& text);
