#include <windows.h>
#include <shlobj.h>

#include "monitor/event_log.h"
#include "platform/files.h"
#include "platform/text.h"

std::string GetDataFolder() {
    wchar_t documents[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, CSIDL_PERSONAL, nullptr, SHGFP_TYPE_CURRENT, documents);
    std::string folder = Utf16ToUtf8(reinterpret_cast<const char16_t*>(documents));
    for (const char* part : {"Quarnel", "Voltiq"}) {
        folder += '\\';
        folder += part;
        EnsureFolder(folder);
    }
    return folder;
}
