#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "device/serial_port.h"

// The one write a transport has in flight. Any thread may offer bytes; they
// are taken only while no write is in flight and when they fit, so a write
// asked for while one is under way is dropped without a WriteDone, as the
// SerialPort contract says. The communication thread frees the slot once the
// bytes are out.
class TransmitSlot {
public:
    // True when the bytes were copied in; the caller then wakes its thread.
    bool Take(const uint8_t* bytes, size_t length) {
        if (bytes == nullptr || length == 0 || length >= SerialPort::kMaxTransfer) return false;
        bool idle = false;
        if (!busy_.compare_exchange_strong(idle, true)) return false;
        std::memcpy(bytes_, bytes, length);
        length_ = static_cast<uint32_t>(length);
        return true;
    }
    void Free() { busy_ = false; }
    const uint8_t* Bytes() const { return bytes_; }
    uint32_t Length() const { return length_; }

private:
    std::atomic<bool> busy_{false};
    uint8_t bytes_[SerialPort::kMaxTransfer] = {};
    uint32_t length_ = 0;
};
