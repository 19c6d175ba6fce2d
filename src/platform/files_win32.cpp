#include <windows.h>
// The Win32 headers name an API ReplaceFile; here it is our own function.
#undef ReplaceFile

#include "platform/files.h"
#include "platform/text.h"

namespace {
const wchar_t* Wide(const std::u16string& text) {
    return reinterpret_cast<const wchar_t*>(text.c_str());
}
}  // namespace

std::FILE* OpenFileForWriting(const std::string& path) {
    return _wfopen(Wide(Utf8ToUtf16(path)), L"wb");
}

bool RenameOver(const std::string& from, const std::string& to) {
    return MoveFileExW(Wide(Utf8ToUtf16(from)), Wide(Utf8ToUtf16(to)),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

bool RemoveFile(const std::string& path) {
    return DeleteFileW(Wide(Utf8ToUtf16(path))) != 0 || GetLastError() == ERROR_FILE_NOT_FOUND;
}

unsigned long CurrentProcessId() {
    return GetCurrentProcessId();
}

bool EnsureFolder(const std::string& path) {
    std::u16string wide = Utf8ToUtf16(path);
    DWORD attributes = GetFileAttributesW(Wide(wide));
    if (attributes != INVALID_FILE_ATTRIBUTES) return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    return CreateDirectoryW(Wide(wide), nullptr) != 0;
}

char PathSeparator() {
    return '\\';
}

std::tm LocalTime(int64_t unixSeconds) {
    std::time_t t = static_cast<std::time_t>(unixSeconds);
    std::tm local{};
    localtime_s(&local, &t);
    return local;
}
