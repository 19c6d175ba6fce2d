#include <windows.h>
#include <process.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <string>

#include "device/serial_port.h"
#include "device/transmit_slot.h"
#include "platform/owned_win32.h"
#include "platform/text.h"

namespace {

enum EventIndex {
    kStopRequest = 0,
    kReadCompleted = 1,
    kReadRequest = 2,
    kWriteCompleted = 3,
    kWriteRequest = 4,
    kLineCompleted = 5,
    kLineRequest = 6,
    kEventCount = 7,
};

// The line settings the tester needs: the given speed, parity and byte
// size, one stop bit, DTR and RTS raised. Every field left at zero stays
// off: no flow control of either kind, no error or null replacement, no
// abort on error.
DCB LineSettings(uint32_t baud, uint32_t parity, uint8_t byteSize) {
    DCB dcb = {};
    dcb.DCBlength = sizeof dcb;
    dcb.BaudRate = baud;
    dcb.ByteSize = byteSize;
    dcb.Parity = static_cast<BYTE>(parity);
    dcb.fParity = (parity == 1 || parity == 2) ? TRUE : FALSE;
    dcb.StopBits = ONESTOPBIT;
    dcb.fBinary = TRUE;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    dcb.XonLim = 2;
    dcb.XoffLim = 4;
    dcb.XonChar = 0x13;
    dcb.XoffChar = 0x19;
    return dcb;
}

// A COM port opened for overlapped I/O, driven by one communication thread
// that waits on seven events: a request event per operation the other threads
// ask for, and a completion event bound to each operation's OVERLAPPED record.
class Win32SerialPort final : public SerialPort {
public:
    Win32SerialPort() {
        for (int i = 0; i < kEventCount; ++i) {
            bool manual = i == kReadCompleted || i == kWriteCompleted || i == kLineCompleted;
            eventOwners_[i].Reset(CreateEventW(nullptr, manual ? TRUE : FALSE, FALSE, nullptr));
            events_[i] = eventOwners_[i].Get();
        }
    }

    ~Win32SerialPort() override { EndThread(); }

    void SetCallback(SerialCallback callback, void* context) override {
        callback_ = callback;
        context_ = context;
    }

    void SetReadSize(uint32_t bytes) override { readSize_ = bytes > kMaxTransfer ? kMaxTransfer : bytes; }
    uint32_t ReadSize() const override { return readSize_; }

    uint32_t Open(const char* path, uint32_t baud, uint32_t parity, uint8_t byteSize, bool lineEvents) override {
        EndThread();
        ClosePortHandle();
        if (path == nullptr) return kOpenNoPath;
        // A stop or request left signalled by an earlier open must not reach
        // the new thread.
        for (HANDLE event : events_) {
            if (event != nullptr) ResetEvent(event);
        }

        // Held whole: \\.\COM100 and above are longer than a fixed 10-character field.
        portPath_ = Utf8ToUtf16(path);
        lineEventsEnabled_ = lineEvents ? 1 : 0;
        std::memset(&readOverlap_, 0, sizeof readOverlap_);
        std::memset(&writeOverlap_, 0, sizeof writeOverlap_);
        std::memset(&lineOverlap_, 0, sizeof lineOverlap_);

        port_.Reset(CreateFileW(reinterpret_cast<const wchar_t*>(portPath_.c_str()), GENERIC_READ | GENERIC_WRITE, 0,
                                nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr));
        if (!port_) return kOpenDeviceFailed;
        HANDLE portHandle = port_.Get();

        readOverlap_.hEvent = events_[kReadCompleted];
        writeOverlap_.hEvent = events_[kWriteCompleted];
        lineOverlap_.hEvent = events_[kLineCompleted];

        uint32_t result = kOpenOk;
        if (!SetCommMask(portHandle, lineEventsEnabled_ ? (EV_RLSD | EV_RING) : 0)) result = kOpenLineEventsFailed;
        COMMTIMEOUTS timeouts;
        timeouts.ReadIntervalTimeout = 0;
        timeouts.ReadTotalTimeoutMultiplier = 1;
        timeouts.ReadTotalTimeoutConstant = 10;
        timeouts.WriteTotalTimeoutMultiplier = 0;
        timeouts.WriteTotalTimeoutConstant = 0;
        if (!SetCommTimeouts(portHandle, &timeouts)) result = kOpenTimeoutsFailed;
        DCB settings = LineSettings(baud, parity, byteSize);
        if (!SetCommState(portHandle, &settings)) result = kOpenStateFailed;
        for (HANDLE event : events_) {
            if (event == nullptr) result = kOpenEventsInvalid;
        }
        if (result != kOpenOk) {
            ClosePortHandle();
            return result;
        }

        uintptr_t thread = _beginthreadex(nullptr, 0, &Win32SerialPort::ThreadEntry, this, 0, nullptr);
        if (thread == 0) {
            ClosePortHandle();
            return kOpenEventsInvalid;
        }
        thread_.Reset(reinterpret_cast<HANDLE>(thread));
        return kOpenOk;
    }

    void RequestRead() override {
        // Asked from inside a ReadDone callback, the read is issued as soon
        // as the callback returns, without a round trip through the events.
        if (GetCurrentThreadId() == runningThreadId_.load()) {
            readAskedInCallback_ = true;
            return;
        }
        SetEvent(events_[kReadRequest]);
    }

    void Write(const uint8_t* bytes, size_t length) override {
        if (transmit_.Take(bytes, length)) SetEvent(events_[kWriteRequest]);
    }

    void Stop() override {
        running_ = false;
        SetEvent(events_[kStopRequest]);
        ReleaseFinishedThread(kStopWaitMs);
    }

    bool IsRunning() const override { return running_; }
    const uint8_t* ReceiveBuffer() const override { return receiveBuffer_; }
    uint32_t ReceivedCount() const override { return receivedCount_; }

private:
    static unsigned __stdcall ThreadEntry(void* self) {
        static_cast<Win32SerialPort*>(self)->Run();
        return 0;
    }

    // Closes the thread handle once the thread has ended (within waitMs).
    void ReleaseFinishedThread(DWORD waitMs = 0) {
        if (!thread_) return;
        if (WaitForSingleObject(thread_.Get(), waitMs) == WAIT_OBJECT_0) thread_.Reset();
    }

    // The thread uses this object until it ends, so wait for it however long
    // that takes; it ends promptly once the stop event is signalled.
    void EndThread() {
        if (!thread_) return;
        running_ = false;
        SetEvent(events_[kStopRequest]);
        WaitForSingleObject(thread_.Get(), INFINITE);
        ReleaseFinishedThread();
    }

    void ClosePortHandle() { port_.Reset(); }

    void Notify(SerialEvent event) {
        if (callback_ != nullptr) callback_(*this, context_, event);
    }

    void Run() {
        runningThreadId_ = GetCurrentThreadId();
        running_ = true;
        transmit_.Free();
        readPending_ = 0;
        lineWaitPending_ = 0;
        readAskedInCallback_ = false;
        Notify(SerialEvent::Started);
        if (lineEventsEnabled_) SetEvent(events_[kLineRequest]);
        while (IssueReadAskedInCallback() && HandleNextEvent()) {
        }
        running_ = false;
        ClosePortHandle();
        Notify(SerialEvent::Closed);
        runningThreadId_ = 0;
    }

    // Handles one signalled event; false when the thread must end.
    bool HandleNextEvent() {
        DWORD which = WaitForMultipleObjects(kEventCount, events_, FALSE, INFINITE);
        if (which >= WAIT_OBJECT_0 + kEventCount) return false;
        switch (which - WAIT_OBJECT_0) {
            case kStopRequest:
                return false;
            case kReadRequest:
                return IssueRead();
            case kReadCompleted:
                return CompleteRead();
            case kWriteRequest:
                return IssueWrite();
            case kWriteCompleted:
                return CompleteWrite();
            case kLineRequest:
                return IssueLineWait();
            case kLineCompleted:
                return CompleteLineWait();
        }
        return false;
    }

    bool IssueRead() {
        if (readPending_) return true;
        readPending_ = 1;
        DWORD size = std::max<DWORD>(readSize_, std::min<DWORD>(QueuedBytes(), kMaxTransfer));
        if (ReadFile(port_.Get(), receiveBuffer_, size, nullptr, &readOverlap_)) return true;
        return GetLastError() == ERROR_IO_PENDING;
    }

    bool CompleteRead() {
        DWORD transferred = 0;
        BOOL ok = GetOverlappedResult(port_.Get(), &readOverlap_, &transferred, FALSE);
        ResetEvent(events_[kReadCompleted]);
        readPending_ = 0;
        // Wine completes a read that timed out as a failure with
        // ERROR_TIMEOUT where Windows reports success: either way it is a
        // finished read, and the consumer must hear of it to ask for the next.
        if (ok || GetLastError() == ERROR_TIMEOUT) {
            receivedCount_ = transferred;
            Notify(SerialEvent::ReadDone);
        } else {
            receivedCount_ = 0;
            if (transferred != 0) Notify(SerialEvent::ReadDone);
        }
        return true;
    }

    // A read asked for from a callback is issued once the callback returned.
    bool IssueReadAskedInCallback() {
        if (!readAskedInCallback_) return true;
        readAskedInCallback_ = false;
        return IssueRead();
    }

    // What the driver holds for reading now; 0 when it cannot say.
    DWORD QueuedBytes() {
        DWORD errors = 0;
        COMSTAT status = {};
        return ClearCommError(port_.Get(), &errors, &status) ? status.cbInQue : 0;
    }

    bool IssueWrite() {
        if (WriteFile(port_.Get(), transmit_.Bytes(), transmit_.Length(), nullptr, &writeOverlap_)) return true;
        return GetLastError() == ERROR_IO_PENDING;
    }

    bool CompleteWrite() {
        DWORD transferred = 0;
        if (GetOverlappedResult(port_.Get(), &writeOverlap_, &transferred, FALSE)) {
            ResetEvent(events_[kWriteCompleted]);
            transmit_.Free();
            Notify(SerialEvent::WriteDone);
            return true;
        }
        return GetLastError() == ERROR_IO_PENDING;
    }

    // Ports without modem-status support (some virtual COM drivers, ptys
    // under Wine) refuse the wait at once. Nothing needs line events to talk
    // to the tester, so they are switched off for this open instead of
    // ending the thread and losing the port.
    bool IssueLineWait() {
        if (lineWaitPending_ || !lineEventsEnabled_) return true;
        lineWaitPending_ = 1;
        if (WaitCommEvent(port_.Get(), &lineEventMask_, &lineOverlap_)) return true;
        if (GetLastError() == ERROR_IO_PENDING) return true;
        lineWaitPending_ = 0;
        lineEventsEnabled_ = 0;
        ResetEvent(events_[kLineCompleted]);
        return true;
    }

    bool CompleteLineWait() {
        DWORD transferred = 0;
        if (!GetOverlappedResult(port_.Get(), &lineOverlap_, &transferred, FALSE)) {
            return GetLastError() == ERROR_IO_PENDING;
        }
        ResetEvent(events_[kLineCompleted]);
        lineWaitPending_ = 0;
        DWORD status = 0;
        GetCommModemStatus(port_.Get(), &status);
        if ((lineEventMask_ & EV_RING) && (status & MS_RING_ON)) Notify(SerialEvent::Ring);
        if (lineEventMask_ & EV_RLSD) Notify((status & MS_RLSD_ON) ? SerialEvent::CarrierOn : SerialEvent::CarrierOff);
        SetEvent(events_[kLineRequest]);
        return true;
    }

    std::atomic<bool> running_{false};
    BYTE lineEventsEnabled_ = 0;
    std::u16string portPath_;
    KernelHandle eventOwners_[kEventCount];
    HANDLE events_[kEventCount] = {};        // the owners' handles, as one array to wait on
    std::atomic<DWORD> runningThreadId_{0};  // the communication thread's, while it runs
    bool readAskedInCallback_ = false;       // communication thread only
    KernelHandle port_;
    KernelHandle thread_;
    OVERLAPPED readOverlap_ = {};
    OVERLAPPED writeOverlap_ = {};
    OVERLAPPED lineOverlap_ = {};
    BYTE readPending_ = 0;
    BYTE lineWaitPending_ = 0;
    uint8_t receiveBuffer_[kMaxTransfer] = {};
    std::atomic<uint32_t> readSize_{1};
    DWORD receivedCount_ = 0;
    TransmitSlot transmit_;
    DWORD lineEventMask_ = 0;
    SerialCallback callback_ = nullptr;
    void* context_ = nullptr;
};

}  // namespace

std::unique_ptr<SerialPort> CreateSerialPort() {
    return std::make_unique<Win32SerialPort>();
}

std::string SerialDevicePath(const std::string& portName) {
    return "\\\\.\\" + portName;
}
