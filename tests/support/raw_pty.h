#pragma once

#include <optional>
#include <string>

// A pseudo-terminal in raw mode. The slave stays open here so the master
// never sees a hang-up while the program under test closes and reopens it.
struct RawPty {
    int master = -1;
    int slave = -1;
    std::string path;  // the slave's device path
};

std::optional<RawPty> OpenRawPty();

// Makes `link` a symbolic link to `target`, replacing what was there.
bool LinkPath(const std::string& target, const std::string& link);
