#pragma once

#include <optional>
#include <string>

// Where the platform keeps the user's documents; nothing when it cannot say.
std::optional<std::string> DocumentsFolder();
// A folder that exists and may be written when the documents folder is
// unknown: the user's temporary folder. No trailing separator.
std::string FallbackFolder();
