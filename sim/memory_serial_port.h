#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <span>
#include <thread>

#include "device/serial_port.h"
#include "platform/mutex.h"

// A serial line inside the process, for running the program against an
// in-process peer. What the port writes is handed to the peer's receiver on
// the communication thread; what the peer sends is read with the same rules
// as a real port: a read of n bytes takes what is queued when it starts (at
// least n, up to kMaxTransfer) and otherwise completes when n bytes are there
// or n + 10 ms after it was issued, with whatever has arrived.
class MemorySerialPort final : public SerialPort {
public:
    using PeerReceiver = std::function<void(std::span<const uint8_t> bytes)>;

    explicit MemorySerialPort(PeerReceiver toPeer);
    ~MemorySerialPort() override;

    // Peer side: bytes for the port to read. Safe from any thread, also from
    // inside the peer receiver.
    void SendToPort(std::span<const uint8_t> bytes);
    // Peer side: the line goes away; the communication thread ends as it does
    // when a device is unplugged.
    void Vanish();

    void SetCallback(SerialCallback callback, void* context) override;
    void SetReadSize(uint32_t bytes) override;
    uint32_t ReadSize() const override;
    uint32_t Open(const char* path, uint32_t baud, uint32_t parity, uint8_t byteSize, bool lineEvents) override;
    void RequestRead() override;
    void Write(const uint8_t* bytes, size_t length) override;
    void Stop() override;
    bool IsRunning() const override;
    const uint8_t* ReceiveBuffer() const override { return receive_; }
    uint32_t ReceivedCount() const override { return receivedCount_; }

private:
    void Run();
    void Notify(SerialEvent event);
    void Join();

    PeerReceiver toPeer_;
    SerialCallback callback_ = nullptr;
    void* context_ = nullptr;

    mutable Mutex lock_;
    std::condition_variable changed_;
    std::deque<uint8_t> incoming_;
    bool running_ = false;
    bool stopRequested_ = false;
    bool vanished_ = false;
    bool readRequested_ = false;
    bool writeRequested_ = false;
    bool writeBusy_ = false;
    uint32_t readSize_ = 1;
    std::thread thread_;

    uint8_t receive_[kMaxTransfer] = {};
    uint32_t receivedCount_ = 0;
    uint8_t transmit_[kMaxTransfer] = {};
    uint32_t transmitLength_ = 0;
};
