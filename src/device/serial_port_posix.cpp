#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>

#include "device/serial_port.h"
#include "device/transmit_slot.h"
#include "platform/event.h"
#include "platform/mutex.h"

namespace {

speed_t SpeedFor(uint32_t baud) {
    switch (baud) {
        case 9600:
            return B9600;
        case 19200:
            return B19200;
        case 38400:
            return B38400;
        case 57600:
            return B57600;
        case 115200:
            return B115200;
        case 230400:
            return B230400;
        case 460800:
            return B460800;
        case 921600:
            return B921600;
        default:
            return B0;
    }
}

tcflag_t CharacterSizeFor(uint8_t byteSize) {
    switch (byteSize) {
        case 5:
            return CS5;
        case 6:
            return CS6;
        case 7:
            return CS7;
        default:
            return CS8;
    }
}

int64_t NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// A tty with the same contract as the Windows COM port: raw mode, no flow
// control, one thread doing all I/O. Carrier and ring are sampled with
// TIOCMGET on each turn of the loop: TIOCMIWAIT would block the thread with no
// way to wake it for Stop.
class PosixSerialPort final : public SerialPort {
public:
    ~PosixSerialPort() override {
        Stop();
        if (thread_.joinable()) thread_.join();
        CloseWakePipe();
    }

    void SetCallback(SerialCallback callback, void* context) override {
        callback_ = callback;
        context_ = context;
    }

    void SetReadSize(uint32_t bytes) override { readSize_ = bytes > kMaxTransfer ? kMaxTransfer : bytes; }
    uint32_t ReadSize() const override { return readSize_; }

    uint32_t Open(const char* path, uint32_t baud, uint32_t parity, uint8_t byteSize, bool lineEvents) override {
        EndThread();
        if (path == nullptr || *path == '\0') return kOpenNoPath;
        if (!OpenWakePipe()) return kOpenEventsInvalid;

        int fd = ::open(path, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) return kOpenDeviceFailed;
        if (!ConfigureLine(fd, baud, parity, byteSize)) {
            ::close(fd);
            return kOpenStateFailed;
        }
        int modem = 0;
        lineEvents_ = lineEvents && ::ioctl(fd, TIOCMGET, &modem) == 0;
        lastModem_ = modem;

        fd_ = fd;
        stopRequested_ = readRequested_ = writeRequested_ = false;
        transmit_.Free();
        running_ = true;
        finished_.Reset();
        thread_ = std::thread([this] { Run(); });
        return kOpenOk;
    }

    void RequestRead() override { Request(readRequested_); }

    void Write(const uint8_t* bytes, size_t length) override {
        if (transmit_.Take(bytes, length)) Request(writeRequested_);
    }

    void Stop() override {
        if (!thread_.joinable()) return;
        Request(stopRequested_);
        if (finished_.Wait(kStopWaitMs)) thread_.join();
    }

    bool IsRunning() const override { return running_; }
    const uint8_t* ReceiveBuffer() const override { return receive_; }
    uint32_t ReceivedCount() const override { return receivedCount_; }

private:
    static bool ConfigureLine(int fd, uint32_t baud, uint32_t parity, uint8_t byteSize) {
        termios tio{};
        if (::tcgetattr(fd, &tio) != 0) return false;
        ::cfmakeraw(&tio);
        speed_t speed = SpeedFor(baud);
        if (speed == B0 || ::cfsetispeed(&tio, speed) != 0 || ::cfsetospeed(&tio, speed) != 0) return false;
        tio.c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
        tio.c_cflag |= CharacterSizeFor(byteSize) | CLOCAL | CREAD;
        if (parity == 1) tio.c_cflag |= PARENB | PARODD;
        if (parity == 2) tio.c_cflag |= PARENB;
        tio.c_iflag &= ~(IXON | IXOFF | IXANY | INPCK);
        if (parity != 0) tio.c_iflag |= INPCK;
        tio.c_cc[VMIN] = 0;
        tio.c_cc[VTIME] = 0;
        return ::tcsetattr(fd, TCSANOW, &tio) == 0;
    }

    bool OpenWakePipe() {
        if (wake_[0] >= 0) return true;
        if (::pipe2(wake_, O_NONBLOCK | O_CLOEXEC) == 0) return true;
        wake_[0] = wake_[1] = -1;
        return false;
    }

    void CloseWakePipe() {
        for (int& fd : wake_) {
            if (fd >= 0) ::close(fd);
            fd = -1;
        }
    }

    void Request(bool& flag) {
        {
            std::lock_guard<std::mutex> held(requestLock_);
            flag = true;
        }
        char byte = 1;
        [[maybe_unused]] ssize_t ignored = ::write(wake_[1], &byte, 1);
    }

    void EndThread() {
        Stop();
        if (thread_.joinable()) thread_.join();
    }

    void Notify(SerialEvent event) {
        if (callback_ != nullptr) callback_(*this, context_, event);
    }

    void Run() {
        Notify(SerialEvent::Started);
        RunLoop();
        running_ = false;
        ::close(fd_);
        fd_ = -1;
        Notify(SerialEvent::Closed);
        finished_.Set();
    }

    // Returns when Stop is requested or the device fails.
    void RunLoop() {
        bool readPending = false, writing = false;
        uint32_t wanted = 0, filled = 0, written = 0;
        int64_t readDeadline = 0;
        for (;;) {
            int timeout = -1;
            if (readPending) timeout = static_cast<int>(std::max<int64_t>(0, readDeadline - NowMs()));
            if (lineEvents_ && (timeout < 0 || timeout > kModemSampleMs)) timeout = kModemSampleMs;

            pollfd fds[2] = {{wake_[0], POLLIN, 0}, {fd_, 0, 0}};
            if (readPending) fds[1].events |= POLLIN;
            if (writing) fds[1].events |= POLLOUT;
            if (::poll(fds, 2, timeout) < 0 && errno != EINTR) return;

            bool stop, read, write;
            {
                std::lock_guard<std::mutex> held(requestLock_);
                stop = stopRequested_, read = readRequested_, write = writeRequested_;
                stopRequested_ = readRequested_ = writeRequested_ = false;
            }
            char drain[64];
            while (::read(wake_[0], drain, sizeof drain) > 0) {
            }
            if (stop) return;
            if (fds[1].revents & (POLLERR | POLLNVAL)) return;
            if ((fds[1].revents & POLLHUP) && !(fds[1].revents & POLLIN)) return;

            if (read && !readPending) {
                readPending = true;
                wanted = std::max(readSize_.load(), std::min(QueuedBytes(), kMaxTransfer));
                filled = 0;
                readDeadline = NowMs() + wanted + kReadConstantMs;
            }
            if (write) {
                writing = true;
                written = 0;
            }
            if (writing) {
                ssize_t n = ::write(fd_, transmit_.Bytes() + written, transmit_.Length() - written);
                if (n < 0 && errno != EAGAIN && errno != EINTR) return;
                if (n > 0) written += static_cast<uint32_t>(n);
                if (written == transmit_.Length()) {
                    writing = false;
                    transmit_.Free();
                    Notify(SerialEvent::WriteDone);
                }
            }
            if (readPending) {
                if (filled < wanted && (fds[1].revents & POLLIN)) {
                    // With VMIN and VTIME 0 a tty reads 0 bytes when nothing is
                    // waiting; after a hang-up it keeps reading 0 (or EIO).
                    ssize_t n = ::read(fd_, receive_ + filled, wanted - filled);
                    bool hungUp = (fds[1].revents & POLLHUP) && n <= 0;
                    if (hungUp || (n < 0 && errno != EAGAIN && errno != EINTR)) return;
                    if (n > 0) filled += static_cast<uint32_t>(n);
                }
                if (filled == wanted || NowMs() >= readDeadline) {
                    readPending = false;
                    receivedCount_ = filled;
                    Notify(SerialEvent::ReadDone);
                }
            }
            if (lineEvents_) SampleModemLines();
        }
    }

    // What the tty holds for reading now; 0 when it cannot say.
    uint32_t QueuedBytes() const {
        int queued = 0;
        return ::ioctl(fd_, FIONREAD, &queued) == 0 && queued > 0 ? static_cast<uint32_t>(queued) : 0;
    }

    void SampleModemLines() {
        int modem = 0;
        if (::ioctl(fd_, TIOCMGET, &modem) != 0) return;
        int changed = modem ^ lastModem_;
        lastModem_ = modem;
        if ((changed & TIOCM_RI) && (modem & TIOCM_RI)) Notify(SerialEvent::Ring);
        if (changed & TIOCM_CD) Notify((modem & TIOCM_CD) ? SerialEvent::CarrierOn : SerialEvent::CarrierOff);
    }

    static constexpr int kReadConstantMs = 10;
    static constexpr int kModemSampleMs = 20;

    SerialCallback callback_ = nullptr;
    void* context_ = nullptr;
    std::atomic<bool> running_{false};
    bool lineEvents_ = false;
    int lastModem_ = 0;
    int fd_ = -1;
    int wake_[2] = {-1, -1};
    std::thread thread_;
    Event finished_{Event::ResetKind::Manual};

    Mutex requestLock_;
    bool stopRequested_ = false, readRequested_ = false, writeRequested_ = false;
    std::atomic<uint32_t> readSize_{1};

    uint8_t receive_[kMaxTransfer] = {};
    uint32_t receivedCount_ = 0;
    TransmitSlot transmit_;
};

}  // namespace

std::unique_ptr<SerialPort> CreateSerialPort() {
    return std::make_unique<PosixSerialPort>();
}

std::string SerialDevicePath(const std::string& portName) {
    return portName;
}
