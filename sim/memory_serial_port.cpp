#include "memory_serial_port.h"

#include <algorithm>
#include <chrono>
#include <cstring>

namespace {
constexpr int kReadConstantMs = 10;
}

MemorySerialPort::MemorySerialPort(PeerReceiver toPeer) : toPeer_(std::move(toPeer)) {}

MemorySerialPort::~MemorySerialPort() {
    {
        std::lock_guard<std::mutex> held(lock_);
        stopRequested_ = true;
    }
    changed_.notify_all();
    Join();
}

void MemorySerialPort::Join() {
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

void MemorySerialPort::SendToPort(std::span<const uint8_t> bytes) {
    {
        std::lock_guard<std::mutex> held(lock_);
        incoming_.insert(incoming_.end(), bytes.begin(), bytes.end());
    }
    changed_.notify_all();
}

void MemorySerialPort::Vanish() {
    {
        std::lock_guard<std::mutex> held(lock_);
        vanished_ = true;
    }
    changed_.notify_all();
}

void MemorySerialPort::SetCallback(SerialCallback callback, void* context) {
    callback_ = callback;
    context_ = context;
}

void MemorySerialPort::SetReadSize(uint32_t bytes) {
    std::lock_guard<std::mutex> held(lock_);
    readSize_ = bytes > kMaxTransfer ? kMaxTransfer : bytes;
}

uint32_t MemorySerialPort::ReadSize() const {
    std::lock_guard<std::mutex> held(lock_);
    return readSize_;
}

uint32_t MemorySerialPort::Open(const char* path, uint32_t, uint32_t, uint8_t, bool) {
    {
        std::lock_guard<std::mutex> held(lock_);
        stopRequested_ = true;
    }
    changed_.notify_all();
    Join();
    if (path == nullptr) return kOpenNoPath;
    std::lock_guard<std::mutex> held(lock_);
    if (vanished_) return kOpenDeviceFailed;
    stopRequested_ = readRequested_ = writeRequested_ = writeBusy_ = false;
    running_ = true;
    thread_ = std::thread([this] { Run(); });
    return kOpenOk;
}

void MemorySerialPort::RequestRead() {
    {
        std::lock_guard<std::mutex> held(lock_);
        readRequested_ = true;
    }
    changed_.notify_all();
}

void MemorySerialPort::Write(const uint8_t* bytes, size_t length) {
    {
        std::lock_guard<std::mutex> held(lock_);
        if (writeBusy_ || bytes == nullptr || length == 0 || length >= kMaxTransfer) return;
        writeBusy_ = true;
        std::memcpy(transmit_, bytes, length);
        transmitLength_ = static_cast<uint32_t>(length);
        writeRequested_ = true;
    }
    changed_.notify_all();
}

void MemorySerialPort::Stop() {
    std::unique_lock<std::mutex> held(lock_);
    stopRequested_ = true;
    changed_.notify_all();
    changed_.wait_for(held, std::chrono::milliseconds(kStopWaitMs), [this] { return !running_; });
}

bool MemorySerialPort::IsRunning() const {
    std::lock_guard<std::mutex> held(lock_);
    return running_;
}

void MemorySerialPort::Notify(SerialEvent event) {
    if (callback_ != nullptr) callback_(*this, context_, event);
}

void MemorySerialPort::Run() {
    using Clock = std::chrono::steady_clock;
    Notify(SerialEvent::Started);
    bool readPending = false;
    uint32_t wanted = 0;
    Clock::time_point deadline;
    std::unique_lock<std::mutex> held(lock_);
    for (;;) {
        auto ready = [&] {
            return stopRequested_ || vanished_ || writeRequested_ || (readRequested_ && !readPending) ||
                   (readPending && incoming_.size() >= wanted);
        };
        if (readPending) {
            changed_.wait_until(held, deadline, ready);
        } else {
            changed_.wait(held, ready);
        }
        if (stopRequested_ || vanished_) break;
        if (readRequested_ && !readPending) {
            readRequested_ = false;
            readPending = true;
            wanted = std::max<uint32_t>(readSize_, std::min<size_t>(incoming_.size(), kMaxTransfer));
            deadline = Clock::now() + std::chrono::milliseconds(wanted + kReadConstantMs);
        }
        if (writeRequested_) {
            writeRequested_ = false;
            held.unlock();
            if (toPeer_) toPeer_({transmit_, transmitLength_});
            held.lock();
            writeBusy_ = false;
            held.unlock();
            Notify(SerialEvent::WriteDone);
            held.lock();
        }
        if (readPending && (incoming_.size() >= wanted || Clock::now() >= deadline)) {
            readPending = false;
            receivedCount_ = static_cast<uint32_t>(std::min<size_t>(wanted, incoming_.size()));
            std::copy_n(incoming_.begin(), receivedCount_, receive_);
            incoming_.erase(incoming_.begin(), incoming_.begin() + receivedCount_);
            held.unlock();
            Notify(SerialEvent::ReadDone);
            held.lock();
        }
    }
    running_ = false;
    held.unlock();
    changed_.notify_all();
    Notify(SerialEvent::Closed);
}
