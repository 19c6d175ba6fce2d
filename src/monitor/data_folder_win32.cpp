#include <windows.h>
#include <shlobj.h>

#include "monitor/data_folder.h"
#include "platform/text.h"

std::optional<std::string> DocumentsFolder() {
    wchar_t documents[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_PERSONAL, nullptr, SHGFP_TYPE_CURRENT, documents))) return std::nullopt;
    if (documents[0] == L'\0') return std::nullopt;
    return Utf16ToUtf8(reinterpret_cast<const char16_t*>(documents));
}

std::string FallbackFolder() {
    wchar_t temporary[MAX_PATH + 1] = {};
    DWORD length = GetTempPathW(MAX_PATH + 1, temporary);
    std::string folder = Utf16ToUtf8(reinterpret_cast<const char16_t*>(temporary));
    if (length == 0 || length > MAX_PATH || folder.empty()) return ".";
    while (folder.size() > 3 && folder.back() == '\\')
        folder.pop_back();
    return folder;
}
