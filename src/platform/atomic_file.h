#pragma once

#include <cstdio>
#include <functional>
#include <string>
#include <string_view>

// Writes a file whole or not at all. The bytes go to a temporary file beside
// the target, which replaces the target only once every byte is written and
// the file is closed. On any failure the temporary file is removed, the
// target keeps its old contents, and `error` (when given) says what failed.
//
// `write` receives the open temporary file and returns false to abandon the
// save (its own failure, or a short write it noticed).
bool SaveFileAtomically(const std::string& path, const std::function<bool(std::FILE*)>& write,
                        std::string* error = nullptr);
bool SaveFileAtomically(const std::string& path, std::string_view contents, std::string* error = nullptr);
