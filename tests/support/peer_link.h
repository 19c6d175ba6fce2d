#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

// The far end of a real serial line: a pty on POSIX; under Wine, a second COM
// port joined to the port under test by a pty bridge. Absent (null) when the
// platform's line is not available to the tests.
class PeerLink {
public:
    virtual ~PeerLink() = default;
    // The port name the program opens (for TesterConnection::Connect).
    virtual std::string PortName() const = 0;
    virtual void Send(std::span<const uint8_t> bytes) = 0;
    // Up to `max` bytes, waiting at most timeoutMs for the first; 0 on time-out.
    virtual size_t Receive(uint8_t* buffer, size_t max, uint32_t timeoutMs) = 0;
    // Closes the far end; where HangsUpThePort, the port under test sees the
    // device go away as when it is unplugged.
    virtual void Hangup() = 0;
    virtual bool HangsUpThePort() const = 0;

    static std::unique_ptr<PeerLink> Open();
};
