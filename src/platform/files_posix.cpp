#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "platform/files.h"

std::FILE* OpenFileForWriting(const std::string& path) {
    return std::fopen(path.c_str(), "wb");
}

bool RenameOver(const std::string& from, const std::string& to) {
    return std::rename(from.c_str(), to.c_str()) == 0;
}

bool RemoveFile(const std::string& path) {
    return std::remove(path.c_str()) == 0 || errno == ENOENT;
}

unsigned long CurrentProcessId() {
    return static_cast<unsigned long>(::getpid());
}

bool EnsureFolder(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0) return S_ISDIR(info.st_mode);
    return ::mkdir(path.c_str(), 0755) == 0;
}

char PathSeparator() {
    return '/';
}

std::tm LocalTime(int64_t unixSeconds) {
    std::time_t t = static_cast<std::time_t>(unixSeconds);
    std::tm local{};
    ::localtime_r(&t, &local);
    return local;
}
