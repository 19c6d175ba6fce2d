#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>

#include "device/receive_assembler.h"
#include "device/response_queue.h"
#include "device/serial_port.h"
#include "device/tester_records.h"
#include "platform/clock.h"
#include "platform/event.h"
#include "platform/mutex.h"

// Command codes of the tester.
enum TesterCommand : uint8_t {
    kCmdGetDeviceInfo = 0x01,
    kCmdGetPortStatus = 0x0A,
    kCmdGetSinkCapabilities = 0x0B,
    kCmdGetMeasurements = 0x0C,
    kCmdRequestSinkProfile = 0x0D,
    kCmdSetLoadCurrent = 0x10,
    kCmdSetPortConnection = 0x14,
    kCmdGetSourceTypeConfig = 0x30,
    kCmdSetSourceTypeConfig = 0x31,
    kCmdGetSourceTypeNames = 0x32,
    kCmdSelectSourceType = 0x33,
    kCmdGetConfigRegister = 0xE0,
    kCmdSetConfigRegister = 0xE2,
    kCmdSetCalibration = 0xE3,
    kCmdGetCalibration = 0xE4,
    kCmdResetCalibration = 0xE5,
    kCmdTraceControl = 0xE7,
    kCmdSetSpectrumCapture = 0xE8,
    kCmdGetSpectrum = 0xE9,
    kCmdSendPdMessage = 0xE6,
};

// SendPdMessage's request for a hard reset instead of a message.
constexpr uint8_t kPdHardResetMarker = 0x60;

// Which port SetPortConnection acts on.
enum class TesterPort : uint8_t { SourceOrLoopback = 0, Sink = 1 };

using NotificationCallback = std::function<void(int notification)>;  // 1..7
using TraceCallback = std::function<void(const TraceRecord& record)>;
using SerialPortFactory = std::function<std::unique_ptr<SerialPort>()>;

// The one link to the selected tester. Every command is one request and one
// response under the connection's lock (multi-step commands hold it for all
// their steps); each of its two waits is bounded by the time-out. Commands
// return true on success and write their out-values only then. Unsolicited
// frames go to the notification callback and the trace callback on the serial
// communication thread.
class TesterConnection {
public:
    static constexpr uint32_t kDefaultTimeoutMs = 500;
    static constexpr uint32_t kTraceTimeoutMs = 3000;
    static constexpr uint32_t kBaud = 921600;
    static constexpr uint32_t kConfigPauseMs = 100;

    explicit TesterConnection(SerialPortFactory portFactory = CreateSerialPort, Clock& clock = SystemClock());
    ~TesterConnection();
    TesterConnection(const TesterConnection&) = delete;
    TesterConnection& operator=(const TesterConnection&) = delete;

    // Opens the port (a name such as COM7) and asks the tester who it is.
    // Succeeds whenever the port opened, whatever the handshake gave.
    bool Connect(const std::string& portName, NotificationCallback notification);
    // Stops the link. A command in flight on another thread is cancelled
    // (it fails at once instead of waiting out its time-out), and commands
    // fail at once until the next Connect.
    void Close();

    bool GetDeviceInfo(DeviceInfo& out);
    bool GetPortStatus(PortStatus& out);
    bool GetSinkCapabilities(SinkCapabilities& out);
    bool GetMeasurements(Measurements& out);
    bool RequestSinkProfile(uint8_t profileIndex, uint16_t voltageMv);
    bool SetLoadCurrent(uint16_t currentMa, uint16_t changeTimeMs);
    bool SetPortConnection(TesterPort port, bool connect);
    bool GetSourceTypeConfig(uint8_t typeIndex, SourceTypeRecord& out);
    bool SetSourceTypeConfig(uint8_t typeIndex, const SourceTypeRecord& record);
    bool GetSourceTypeNames(SourceTypeNames& out);
    bool SelectSourceType(uint8_t typeIndex);
    // Reads the tester's registers into the register cache; `out` receives
    // the cache as it stands afterwards, also when a register failed (those
    // read before it keep their new values). The current limit mode and its
    // limit, which the tester does not report, are the ones last sent.
    bool GetConfig(TesterConfig& out);
    // Sends `config` to the tester, register by register. The register cache
    // never holds a value the tester did not take: it takes `config` when
    // every register was acknowledged; on failure `failedRegister` (when
    // given) names the first one refused.
    bool SetConfig(const TesterConfig& config, uint8_t* failedRegister = nullptr);
    bool SetCalibration(uint8_t channel, uint32_t year, uint8_t month, const std::array<int16_t, 4>& values);
    bool GetCalibration(uint8_t channel, CalibrationRecord& out);
    bool ResetCalibration(uint8_t channel);
    bool StartTrace(TraceCallback callback);
    bool StopTrace();
    bool SetSpectrumCapture(bool on);
    bool GetSpectrum(Spectrum& out);
    // Has the tester transmit a composed PD message (header first, as on the
    // wire), or a hard reset for the one byte kPdHardResetMarker. True when
    // the device under test acknowledged it.
    bool SendPdMessage(std::span<const uint8_t> message);

    // What Connect learnt about the tester.
    const DeviceInfo& Info() const { return info_; }
    // A copy of the register cache: filled by GetConfig, set by SetConfig.
    TesterConfig Config() const;
    uint32_t TimeoutMs() const { return timeoutMs_; }

private:
    enum class ExchangeResult { Ok, NotSent, NoResponse, WrongResponse };

    static void OnSerialEvent(SerialPort& port, void* context, SerialEvent event);
    void HandleSerialEvent(SerialPort& port, SerialEvent event);
    void RouteFrame(std::span<const uint8_t> frame);

    // The exchange steps; the caller holds lock_.
    bool SendLocked(uint8_t cmd, std::span<const uint8_t> payload);
    ExchangeResult AwaitResponseLocked(uint8_t cmd, Response& response);
    ExchangeResult ExchangeLocked(uint8_t cmd, std::span<const uint8_t> payload, Response& response);
    bool Exchange(uint8_t cmd, std::span<const uint8_t> payload, Response& response);
    bool Exchange(uint8_t cmd, std::span<const uint8_t> payload);
    ExchangeResult ExchangeDeviceInfoLocked(DeviceInfo& out);

    template <typename T>
    bool ReadRegisterLocked(uint8_t reg, T& field, bool valueRequired, bool asFlag = false);
    bool ReadSecondSinkCapabilityLocked(TesterConfig& config);
    void StoreConfig(const TesterConfig& config);

    SerialPortFactory portFactory_;
    Clock& clock_;
    Mutex traceLock_;  // guards trace_, also while it runs
    TraceCallback trace_;
    std::atomic<uint32_t> timeoutMs_{kDefaultTimeoutMs};
    std::unique_ptr<SerialPort> port_;
    ReceiveAssembler assembler_;
    ResponseQueue responses_;
    Event frameSent_{Event::ResetKind::Automatic};
    Event closed_{Event::ResetKind::Manual};  // set by Close, cleared by Connect
    NotificationCallback notification_;
    Mutex lock_;
    DeviceInfo info_;
    // The register cache has its own lock, so that a copy never waits for a
    // command; GetConfig and SetConfig change it while they also hold lock_.
    mutable Mutex configLock_;
    TesterConfig config_;
};
