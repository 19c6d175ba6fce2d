#include "cli/cli_files.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "platform/atomic_file.h"

std::optional<std::string> ReadCliInput(const std::string& path, CliIo& io, std::string& error) {
    if (path == "-") {
        std::ostringstream all;
        all << io.in.rdbuf();
        return all.str();
    }
    std::ifstream file(std::filesystem::path(std::u8string(path.begin(), path.end())), std::ios::binary);
    if (!file) {
        error = "cannot read " + path;
        return std::nullopt;
    }
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

bool WriteCliOutput(const std::optional<std::string>& path, const std::string& text, CliIo& io, std::string& error) {
    if (!path) {
        io.out << text;
        io.out.flush();
        // A closed pipe or a full disk: the output is not all there.
        if (!io.out) {
            error = "cannot write to the standard output";
            return false;
        }
        return true;
    }
    return SaveFileAtomically(*path, text, &error);
}
