#pragma once

#include <cstddef>
#include <string>

// The leading number of at most maxDigits characters of an edit's text, as
// a C runtime conversion would read it; 0 when there is none.
int ReadNumber(const std::string& text, size_t maxDigits);
