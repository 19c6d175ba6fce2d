#include <cstdlib>

#include "monitor/event_log.h"
#include "platform/files.h"

// Outside Windows the documents folder is ~/Documents.
std::string GetDataFolder() {
    const char* home = std::getenv("HOME");
    std::string folder = home != nullptr && *home != '\0' ? home : ".";
    for (const char* part : {"Documents", "Quarnel", "Voltiq"}) {
        folder += '/';
        folder += part;
        EnsureFolder(folder);
    }
    return folder;
}
