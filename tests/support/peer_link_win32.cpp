#include <windows.h>

#include <cstdlib>

#include "platform/owned_win32.h"
#include "platform/text.h"
#include "support/peer_link.h"

namespace {
// Names of the two COM ports a pty bridge joins, given by the test runner.
const char* kPortVariable = "AMPWRIGHT_TEST_PORT";
const char* kPeerVariable = "AMPWRIGHT_TEST_PEER";

class ComPeerLink final : public PeerLink {
public:
    ComPeerLink(HANDLE handle, std::string portName) : handle_(handle), portName_(std::move(portName)) {}

    std::string PortName() const override { return portName_; }

    void Send(std::span<const uint8_t> bytes) override {
        DWORD written = 0;
        if (handle_) WriteFile(handle_.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    }

    size_t Receive(uint8_t* buffer, size_t max, uint32_t timeoutMs) override {
        if (!handle_) return 0;
        COMMTIMEOUTS timeouts = {};
        timeouts.ReadIntervalTimeout = MAXDWORD;
        timeouts.ReadTotalTimeoutMultiplier = MAXDWORD;
        timeouts.ReadTotalTimeoutConstant = timeoutMs;
        SetCommTimeouts(handle_.Get(), &timeouts);
        DWORD read = 0;
        if (!ReadFile(handle_.Get(), buffer, static_cast<DWORD>(max), &read, nullptr)) return 0;
        return read;
    }

    // Closing this end does not end the bridged line: the port under test
    // stays open.
    bool HangsUpThePort() const override { return false; }

    void Hangup() override { handle_.Reset(); }

private:
    KernelHandle handle_;
    std::string portName_;
};
}  // namespace

std::unique_ptr<PeerLink> PeerLink::Open() {
    const char* port = std::getenv(kPortVariable);
    const char* peer = std::getenv(kPeerVariable);
    if (port == nullptr || peer == nullptr) return nullptr;
    std::u16string path = Utf8ToUtf16(std::string("\\\\.\\") + peer);
    HANDLE handle = CreateFileW(reinterpret_cast<const wchar_t*>(path.c_str()), GENERIC_READ | GENERIC_WRITE, 0,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return nullptr;
    DCB dcb = {};
    dcb.DCBlength = sizeof dcb;
    GetCommState(handle, &dcb);
    BuildCommDCBW(L"baud=921600 parity=N data=8 stop=1 xon=off octs=off odsr=off", &dcb);
    SetCommState(handle, &dcb);
    PurgeComm(handle, PURGE_RXCLEAR | PURGE_TXCLEAR);  // nothing left over from earlier tests
    return std::make_unique<ComPeerLink>(handle, port);
}
