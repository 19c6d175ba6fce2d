#pragma once

#include <string>

// printf-style formatting into a string.
std::string Format(const char* format, ...) __attribute__((format(gnu_printf, 1, 2)));
