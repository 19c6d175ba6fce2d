#include <poll.h>
#include <unistd.h>

#include "support/peer_link.h"
#include "support/raw_pty.h"

namespace {
class PtyPeerLink final : public PeerLink {
public:
    PtyPeerLink(int master, int slave, std::string path) : master_(master), slave_(slave), path_(std::move(path)) {}
    ~PtyPeerLink() override {
        Hangup();
        if (slave_ >= 0) ::close(slave_);
    }

    std::string PortName() const override { return path_; }

    void Send(std::span<const uint8_t> bytes) override {
        size_t sent = 0;
        while (master_ >= 0 && sent < bytes.size()) {
            ssize_t n = ::write(master_, bytes.data() + sent, bytes.size() - sent);
            if (n <= 0) return;
            sent += static_cast<size_t>(n);
        }
    }

    size_t Receive(uint8_t* buffer, size_t max, uint32_t timeoutMs) override {
        if (master_ < 0) return 0;
        pollfd fd = {master_, POLLIN, 0};
        if (::poll(&fd, 1, static_cast<int>(timeoutMs)) <= 0 || !(fd.revents & POLLIN)) return 0;
        ssize_t n = ::read(master_, buffer, max);
        return n > 0 ? static_cast<size_t>(n) : 0;
    }

    bool HangsUpThePort() const override { return true; }

    void Hangup() override {
        if (master_ >= 0) ::close(master_);
        master_ = -1;
    }

private:
    int master_;
    int slave_;  // held open so the master does not see a hang-up between opens
    std::string path_;
};
}  // namespace

std::unique_ptr<PeerLink> PeerLink::Open() {
    std::optional<RawPty> pty = OpenRawPty();
    if (!pty) return nullptr;
    return std::make_unique<PtyPeerLink>(pty->master, pty->slave, pty->path);
}
