#pragma once

#include <string>

// The number an edit holds, for the unsigned settings: leading blanks, an
// optional sign and decimal digits, read as far as they go. Text that is not a
// number reads as 0, and so does a negative one: the tester's registers are
// unsigned, and -1 would wrap to 65535, which means "Max" or "not set". Very
// long numbers stop growing at a million, far above every limit.
int ReadUnsignedEdit(const std::string& text);
