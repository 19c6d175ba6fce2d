#pragma once

#include <optional>
#include <string>

// Where the platform keeps the user's documents; nothing when it cannot say.
std::optional<std::string> DocumentsFolder();
// A folder that exists and may be written when the documents folder is
// unknown: the user's temporary folder. No trailing separator.
std::string FallbackFolder();

// The default folder for files the application writes (documents, then
// Quarnel, then Voltiq), created when missing. No trailing separator. When
// the documents folder is unknown, the same two folders go under the
// temporary folder and `fallbackNote` (when given) says so.
std::string GetDataFolder(std::string* fallbackNote = nullptr);
