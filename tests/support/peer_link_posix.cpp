#include <poll.h>
#include <unistd.h>

#include "support/peer_link.h"
#include "support/raw_pty.h"

namespace {
class PtyPeerLink final : public PeerLink {
public:
    explicit PtyPeerLink(RawPty pty) : pty_(std::move(pty)) {}
    ~PtyPeerLink() override {
        Hangup();
        ::close(pty_.slave);
    }

    std::string PortName() const override { return pty_.path; }

    void Send(std::span<const uint8_t> bytes) override {
        size_t sent = 0;
        while (pty_.master >= 0 && sent < bytes.size()) {
            ssize_t n = ::write(pty_.master, bytes.data() + sent, bytes.size() - sent);
            if (n <= 0) return;
            sent += static_cast<size_t>(n);
        }
    }

    size_t Receive(uint8_t* buffer, size_t max, uint32_t timeoutMs) override {
        pollfd fd = {pty_.master, POLLIN, 0};
        if (pty_.master < 0 || ::poll(&fd, 1, static_cast<int>(timeoutMs)) <= 0 || !(fd.revents & POLLIN)) return 0;
        ssize_t n = ::read(pty_.master, buffer, max);
        return n > 0 ? static_cast<size_t>(n) : 0;
    }

    bool HangsUpThePort() const override { return true; }

    void Hangup() override {
        if (pty_.master >= 0) ::close(pty_.master);
        pty_.master = -1;
    }

private:
    RawPty pty_;  // its slave held open so the master does not see a hang-up between opens
};
}  // namespace

std::unique_ptr<PeerLink> PeerLink::Open() {
    std::optional<RawPty> pty = OpenRawPty();
    return pty ? std::make_unique<PtyPeerLink>(std::move(*pty)) : nullptr;
}
