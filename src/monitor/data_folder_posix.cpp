#include <cstdlib>

#include "monitor/data_folder.h"

// Outside Windows the documents folder is ~/Documents.
std::optional<std::string> DocumentsFolder() {
    const char* home = std::getenv("HOME");
    if (home == nullptr || *home == '\0') return std::nullopt;
    return std::string(home) + "/Documents";
}

std::string FallbackFolder() {
    const char* temporary = std::getenv("TMPDIR");
    std::string folder = temporary != nullptr && *temporary != '\0' ? temporary : "/tmp";
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    return folder;
}
