#include "monitor/data_folder.h"

#include "platform/files.h"

std::string GetDataFolder(std::string* fallbackNote) {
    std::optional<std::string> documents = DocumentsFolder();
    std::string folder;
    if (documents && EnsureFolder(*documents)) {
        folder = *documents;
    } else {
        // Never the drive root: a known folder, and the user is told where.
        folder = FallbackFolder();
        if (fallbackNote != nullptr) {
            *fallbackNote = "The Documents folder could not be found; files are saved under " + folder + " instead";
        }
    }
    for (const char* part : {"Quarnel", "Voltiq"}) {
        folder += PathSeparator();
        folder += part;
        EnsureFolder(folder);
    }
    return folder;
}
