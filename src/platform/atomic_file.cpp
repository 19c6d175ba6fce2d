#include "platform/atomic_file.h"

#include <atomic>

#include "platform/files.h"

namespace {
// A name beside the target that no other save of this process uses at the
// same time; the process id keeps two programs saving the same file apart.
std::string TemporaryNameFor(const std::string& path) {
    static std::atomic<unsigned> counter{0};
    return path + ".tmp" + std::to_string(CurrentProcessId()) + "-" + std::to_string(counter.fetch_add(1));
}

bool Fail(std::string* error, std::string text) {
    if (error != nullptr) *error = std::move(text);
    return false;
}
}  // namespace

bool SaveFileAtomically(const std::string& path, const std::function<bool(std::FILE*)>& write, std::string* error) {
    std::string temporary = TemporaryNameFor(path);
    std::FILE* file = OpenFileForWriting(temporary);
    if (file == nullptr) return Fail(error, "The file " + path + " could not be created.");
    bool written = write(file);
    written = std::fflush(file) == 0 && std::ferror(file) == 0 && written;
    bool closed = std::fclose(file) == 0;
    if (!written || !closed) {
        RemoveFile(temporary);
        return Fail(error, "Writing " + path + " failed; the file was not changed.");
    }
    if (!RenameOver(temporary, path)) {
        RemoveFile(temporary);
        return Fail(error, "The file " + path + " could not be replaced; it was not changed.");
    }
    return true;
}

bool SaveFileAtomically(const std::string& path, std::string_view contents, std::string* error) {
    return SaveFileAtomically(
        path,
        [contents](std::FILE* file) {
            return contents.empty() || std::fwrite(contents.data(), 1, contents.size(), file) == contents.size();
        },
        error);
}
