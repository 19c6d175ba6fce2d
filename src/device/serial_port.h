#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

// What the communication thread reports to the port's one callback.
enum class SerialEvent : uint32_t {
    Started = 0,    // first thing the communication thread does
    Closed = 1,     // last thing it does, after closing the port
    WriteDone = 2,  // the write in flight has been sent
    ReadDone = 3,   // a read completed; ReceivedCount() bytes (possibly 0)
    Ring = 4,
    CarrierOn = 5,
    CarrierOff = 6,
};

class SerialPort;
using SerialCallback = void (*)(SerialPort& port, void* context, SerialEvent event);

// Results of SerialPort::Open: one code, not a set of bits.
enum SerialOpenResult : uint32_t {
    kOpenOk = 0,
    kOpenLineEventsFailed = 1,
    kOpenTimeoutsFailed = 2,
    kOpenStateFailed = 4,
    kOpenDeviceFailed = 8,
    kOpenNoPath = 16,
    kOpenEventsInvalid = 32,
};

// A byte transport with one communication thread that performs every read,
// write and line-event wait and runs every callback. Reading is pulled: after
// each ReadDone the consumer sets the size of the next read and requests it.
// A read of n bytes completes after at most n + 10 ms with whatever arrived;
// when the line holds more than n bytes as the read starts, it takes them all
// at once (up to kMaxTransfer), so a burst costs one read, not one per piece.
// One write is in flight at a time; a write offered while another is busy,
// empty, or of kMaxTransfer bytes or more is dropped without a WriteDone.
class SerialPort {
public:
    static constexpr uint32_t kMaxTransfer = 256;
    static constexpr uint32_t kStopWaitMs = 2000;

    virtual ~SerialPort() = default;

    virtual void SetCallback(SerialCallback callback, void* context) = 0;
    virtual void SetReadSize(uint32_t bytes) = 0;  // capped at kMaxTransfer
    virtual uint32_t Open(const char* path, uint32_t baud, uint32_t parity, uint8_t byteSize, bool lineEvents) = 0;
    virtual void RequestRead() = 0;
    virtual void Write(const uint8_t* bytes, size_t length) = 0;
    // Ends the communication thread, waiting for it at most kStopWaitMs.
    virtual void Stop() = 0;
    virtual bool IsRunning() const = 0;
    virtual uint32_t ReadSize() const = 0;

    // Valid inside a ReadDone callback.
    virtual const uint8_t* ReceiveBuffer() const = 0;
    virtual uint32_t ReceivedCount() const = 0;
};

// The platform's serial port (Win32 COM port or POSIX tty).
std::unique_ptr<SerialPort> CreateSerialPort();

// The path the platform opens for a port name from the device list: COM7
// becomes \\.\COM7 on Windows; on POSIX a name is a device path already.
std::string SerialDevicePath(const std::string& portName);
