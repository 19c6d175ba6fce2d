#pragma once

#include <optional>
#include <string>

#include "cli/cli_args.h"

// Reads a whole input: a file by its (UTF-8) path, or the standard input for
// "-". Nothing when the file cannot be read; `error` says why.
std::optional<std::string> ReadCliInput(const std::string& path, CliIo& io, std::string& error);

// Writes a command's whole output: to the file (replaced only once complete)
// when a path is given, else to the standard output. False with `error` set
// when the file could not be written.
bool WriteCliOutput(const std::optional<std::string>& path, const std::string& text, CliIo& io, std::string& error);
