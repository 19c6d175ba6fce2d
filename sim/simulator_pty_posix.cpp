#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include "simulator_pty.h"

SimulatorPty::~SimulatorPty() {
    Close();
}

bool SimulatorPty::Open() {
    Close();
    char name[256] = {};
    if (::openpty(&master_, &slave_, name, nullptr, nullptr) != 0) {
        master_ = slave_ = -1;
        return false;
    }
    termios tio{};
    ::tcgetattr(slave_, &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(slave_, TCSANOW, &tio);
    ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
    path_ = name;
    vanished_ = false;
    running_ = true;
    int master = master_;
    token_ = simulator_.Attach(
        [master](std::span<const uint8_t> bytes) {
            size_t sent = 0;
            while (sent < bytes.size()) {
                ssize_t n = ::write(master, bytes.data() + sent, bytes.size() - sent);
                if (n <= 0) return;  // nobody reads: the bytes are lost, as on a real line
                sent += static_cast<size_t>(n);
            }
        },
        [this] { vanished_ = true; });
    thread_ = std::thread([this] { Pump(); });
    return true;
}

void SimulatorPty::Close() {
    if (!thread_.joinable()) return;
    simulator_.Detach(token_);
    running_ = false;
    thread_.join();
    if (master_ >= 0) ::close(master_);
    if (slave_ >= 0) ::close(slave_);
    master_ = slave_ = -1;
}

void SimulatorPty::Pump() {
    uint8_t buffer[256];
    while (running_) {
        if (vanished_) {
            // The tester went away: both ends close, so the program's port sees a hang-up.
            ::close(slave_);
            ::close(master_);
            slave_ = master_ = -1;
            running_ = false;
            return;
        }
        pollfd fd = {master_, POLLIN, 0};
        if (::poll(&fd, 1, 20) <= 0 || !(fd.revents & POLLIN)) continue;
        ssize_t n = ::read(master_, buffer, sizeof buffer);
        if (n > 0) simulator_.Receive({buffer, static_cast<size_t>(n)});
    }
}
