#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>

#include "support/raw_pty.h"

std::optional<RawPty> OpenRawPty() {
    RawPty pty;
    char name[256] = {};
    if (::openpty(&pty.master, &pty.slave, name, nullptr, nullptr) != 0) return std::nullopt;
    termios tio{};
    ::tcgetattr(pty.slave, &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(pty.slave, TCSANOW, &tio);
    pty.path = name;
    return pty;
}

bool LinkPath(const std::string& target, const std::string& link) {
    ::unlink(link.c_str());
    if (::symlink(target.c_str(), link.c_str()) == 0) return true;
    std::perror(link.c_str());
    return false;
}
