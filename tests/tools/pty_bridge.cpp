// Joins two pseudo-terminals back to back and links their device paths under
// the given names, so one program can hold both ends of a serial line (under
// Wine: two COM ports). Runs until killed.
//
//   pty-bridge LINK_A LINK_B [EXTRA_LINK_TO_A ...]
#include <poll.h>
#include <unistd.h>

#include <cstdio>

#include "support/raw_pty.h"

namespace {
bool Relay(int from, int to) {
    char buffer[4096];
    ssize_t n = read(from, buffer, sizeof buffer);
    if (n <= 0) return true;  // nothing, or the other side is between opens
    for (ssize_t sent = 0; sent < n;) {
        ssize_t w = write(to, buffer + sent, static_cast<size_t>(n - sent));
        if (w <= 0) return false;
        sent += w;
    }
    return true;
}
}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s LINK_A LINK_B [EXTRA_LINK_TO_A ...]\n", argv[0]);
        return 2;
    }
    std::optional<RawPty> a = OpenRawPty(), b = OpenRawPty();
    if (!a || !b) return 1;
    // The second name leads to B; the first and any extra ones to A.
    for (int i = 1; i < argc; ++i) {
        if (!LinkPath(i == 2 ? b->path : a->path, argv[i])) return 1;
    }
    std::printf("%s <-> %s\n", a->path.c_str(), b->path.c_str());
    std::fflush(stdout);
    for (;;) {
        pollfd fds[2] = {{a->master, POLLIN, 0}, {b->master, POLLIN, 0}};
        if (poll(fds, 2, -1) < 0) continue;
        if ((fds[0].revents & POLLIN) && !Relay(a->master, b->master)) return 1;
        if ((fds[1].revents & POLLIN) && !Relay(b->master, a->master)) return 1;
    }
}
