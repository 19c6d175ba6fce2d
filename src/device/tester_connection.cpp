#include "device/tester_connection.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "device/config_registers.h"
#include "device/frame.h"
#include "device/source_type_wire.h"

namespace {
constexpr uint8_t kCurrentLimitForced = 2;
constexpr size_t kConfigStepsWithPause = 5;

uint8_t Low(uint16_t value) {
    return static_cast<uint8_t>(value & 0xFF);
}
uint8_t High(uint16_t value) {
    return static_cast<uint8_t>(value >> 8);
}

// The register writes of SetConfig before the always-sent PD-PPS one, each
// as its request payload: register number, then the value.
std::vector<std::vector<uint8_t>> ConfigWrites(const TesterConfig& c) {
    std::vector<uint8_t> currentLimit = {kRegCurrentLimit, static_cast<uint8_t>(c.currentLimitMode)};
    if (c.currentLimitMode == kCurrentLimitForced) {
        currentLimit.push_back(Low(c.forcedCurrentLimitMa));
        currentLimit.push_back(High(c.forcedCurrentLimitMa));
    }
    auto u16 = [](uint8_t reg, uint16_t value) { return std::vector<uint8_t>{reg, Low(value), High(value)}; };
    return {
        {kRegLoopback, c.loopbackMode},
        currentLimit,
        u16(kRegSdpLimit, c.sdpCurrentLimitMa),
        u16(kRegUsbcDefaultLimit, c.usbcDefaultCurrentLimitMa),
        {kRegEstimateVbus, c.estimateUpstreamVbus},
        u16(kRegCableResistance, c.cableResistanceMilliohm),
        u16(kRegLoadChangeTime, c.loadChangeTimeMs),
        {kRegApplyOnChange, c.applyOnCapabilityChange},
        {kRegAutoProfile, c.autoProfileIndex},
        u16(kRegAutoVoltage, c.autoVoltageMv),
        u16(kRegAutoCurrent, c.autoCurrentMa),
        u16(kRegOperatingCurrent, c.operatingCurrentMa),
        {kRegSecondCapability, Low(c.sinkCap2Mv), High(c.sinkCap2Mv), Low(c.sinkCap2Ma), High(c.sinkCap2Ma)},
        {kRegPdDetection, c.pdDetection},
        {kRegEprDetection, c.eprDetection},
        {kRegBcDetection, c.bcDetection},
        {kRegQcDetection, c.qcDetection},
    };
}

}  // namespace

TesterConnection::TesterConnection(SerialPortFactory portFactory, Clock& clock)
    : portFactory_(std::move(portFactory)), clock_(clock) {}

TesterConnection::~TesterConnection() {
    std::lock_guard<std::mutex> held(lock_);
    port_.reset();  // joins the communication thread before anything it uses goes
}

bool TesterConnection::Connect(const std::string& portName, NotificationCallback notification) {
    std::lock_guard<std::mutex> held(lock_);
    // The old port's thread ends before the callback it calls is replaced.
    port_.reset();
    closed_.Reset();
    notification_ = std::move(notification);
    port_ = portFactory_();
    port_->SetCallback(&TesterConnection::OnSerialEvent, this);
    port_->SetReadSize(SerialPort::kMaxTransfer);
    std::string path = SerialDevicePath(portName);
    if (port_->Open(path.c_str(), kBaud, 0, 8, true) != kOpenOk) return false;
    port_->SetReadSize(1);
    port_->RequestRead();
    ExchangeDeviceInfoLocked(info_);
    return true;
}

void TesterConnection::Close() {
    // Wakes the command in flight first: it gives up and releases the lock.
    closed_.Set();
    std::lock_guard<std::mutex> held(lock_);
    if (port_) port_->Stop();
}

void TesterConnection::OnSerialEvent(SerialPort& port, void* context, SerialEvent event) {
    static_cast<TesterConnection*>(context)->HandleSerialEvent(port, event);
}

void TesterConnection::HandleSerialEvent(SerialPort& port, SerialEvent event) {
    switch (event) {
        case SerialEvent::Started:
            port.SetReadSize(1);
            port.RequestRead();
            break;
        case SerialEvent::WriteDone:
            frameSent_.Set();
            break;
        case SerialEvent::ReadDone:
            // The next read is issued once this callback returns, so the
            // frames are routed first without delaying it.
            assembler_.Feed({port.ReceiveBuffer(), port.ReceivedCount()},
                            [this](std::span<const uint8_t> frame) { RouteFrame(frame); });
            port.SetReadSize(assembler_.Expected());
            port.RequestRead();
            break;
        default:
            break;
    }
}

void TesterConnection::RouteFrame(std::span<const uint8_t> frame) {
    uint8_t cmd = frame[0];
    if (int notification = NotificationFor(cmd); notification != 0) {
        if (notification_) notification_(notification);
    } else if (IsTracedMessage(cmd)) {
        std::lock_guard<std::mutex> held(traceLock_);
        if (!trace_) return;
        // A short frame leaves the rest of the record zero, never stale bytes.
        TraceRecord record = {};
        std::span<const uint8_t> payload = frame.subspan(1);
        std::copy_n(payload.begin(), std::min(payload.size(), record.size()), record.begin());
        trace_(record);
    } else {
        responses_.Push(frame);
    }
}

bool TesterConnection::SendLocked(uint8_t cmd, std::span<const uint8_t> payload) {
    if (!port_ || closed_.IsSet()) return false;
    // Whatever arrived for earlier, timed-out commands is not this command's
    // answer: a stale response would otherwise be taken for it.
    responses_.Clear();
    frameSent_.Reset();
    std::vector<uint8_t> frame = BuildFrame(cmd, payload);
    port_->Write(frame.data(), frame.size());
    return WaitAny({&frameSent_, &closed_}, timeoutMs_) == 0;
}

TesterConnection::ExchangeResult TesterConnection::AwaitResponseLocked(uint8_t cmd, Response& response) {
    if (!responses_.Pop(response, timeoutMs_, &closed_)) return ExchangeResult::NoResponse;
    return response.Cmd() == cmd ? ExchangeResult::Ok : ExchangeResult::WrongResponse;
}

TesterConnection::ExchangeResult TesterConnection::ExchangeLocked(uint8_t cmd, std::span<const uint8_t> payload,
                                                                  Response& response) {
    if (!SendLocked(cmd, payload)) return ExchangeResult::NotSent;
    return AwaitResponseLocked(cmd, response);
}

bool TesterConnection::Exchange(uint8_t cmd, std::span<const uint8_t> payload, Response& response) {
    std::lock_guard<std::mutex> held(lock_);
    return ExchangeLocked(cmd, payload, response) == ExchangeResult::Ok;
}

bool TesterConnection::Exchange(uint8_t cmd, std::span<const uint8_t> payload) {
    Response ignored;
    return Exchange(cmd, payload, ignored);
}

TesterConnection::ExchangeResult TesterConnection::ExchangeDeviceInfoLocked(DeviceInfo& out) {
    Response r;
    ExchangeResult result = ExchangeLocked(kCmdGetDeviceInfo, {}, r);
    if (result == ExchangeResult::NoResponse) {
        out.hardwareRevision = 0;
        out.firmwareVersion = 0;
    } else if (result == ExchangeResult::Ok) {
        out.hardwareRevision = r.bytes[1];
        out.firmwareVersion = r.bytes[2];
        out.apiVersion = r.bytes[3];
        std::copy_n(r.bytes.begin() + 4, DeviceInfo::kDeviceIdLength, out.deviceId.begin());
    }
    return result;
}

bool TesterConnection::GetDeviceInfo(DeviceInfo& out) {
    std::lock_guard<std::mutex> held(lock_);
    return ExchangeDeviceInfoLocked(out) == ExchangeResult::Ok;
}

bool TesterConnection::GetPortStatus(PortStatus& out) {
    Response r;
    if (!Exchange(kCmdGetPortStatus, {}, r)) return false;
    const uint8_t* b = r.bytes.data();
    out.sinkAttached = b[1];
    out.sinkProfileIndex = b[2];
    out.sinkProfileType = b[3];
    out.sinkProfileSubtype = b[4];
    out.sinkVoltageMv = ReadU16(b + 5);
    out.sinkProfileCurrentMa = ReadU16(b + 7);
    out.sourceAttached = b[9];
    out.sourceProfileIndex = b[10];
    out.sourceProfileType = b[11];
    out.sourceProfileSubtype = b[12];
    out.sourceVoltageMv = ReadU16(b + 13);
    out.sourceRatedCurrentMa = ReadU16(b + 15);
    out.sourceRequestedCurrentMa = ReadU16(b + 17);
    out.selectedSourceType = b[19];
    return true;
}

bool TesterConnection::GetSinkCapabilities(SinkCapabilities& out) {
    Response r;
    if (!Exchange(kCmdGetSinkCapabilities, {}, r)) return false;
    // The response can carry up to 30 entries; the record holds 24.
    size_t count = std::min<size_t>(r.bytes[1], SinkCapabilities::kMaxEntries);
    out.count = static_cast<uint8_t>(count);
    out.spare = r.bytes[2];
    out.entries.fill({});
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* entry = r.bytes.data() + 3 + 8 * i;
        out.entries[i] = {ReadU16(entry), ReadU16(entry + 2), ReadU16(entry + 4), ReadU16(entry + 6)};
    }
    return true;
}

bool TesterConnection::GetMeasurements(Measurements& out) {
    Response r;
    if (!Exchange(kCmdGetMeasurements, {}, r)) return false;
    const uint8_t* b = r.bytes.data();
    out.temperatureC = b[1];
    out.sinkVbusMv = ReadU16(b + 2);
    out.sourceVbusMv = ReadU16(b + 4);
    out.loadSetpointMa = ReadU16(b + 6);
    out.sinkCurrentMa = ReadU16(b + 8);
    out.sourceCurrentMa = ReadU16(b + 10);
    return true;
}

bool TesterConnection::RequestSinkProfile(uint8_t profileIndex, uint16_t voltageMv) {
    const uint8_t payload[] = {profileIndex, Low(voltageMv), High(voltageMv)};
    return Exchange(kCmdRequestSinkProfile, payload);
}

bool TesterConnection::SetLoadCurrent(uint16_t currentMa, uint16_t changeTimeMs) {
    const uint8_t payload[] = {Low(currentMa), High(currentMa), Low(changeTimeMs), High(changeTimeMs)};
    return Exchange(kCmdSetLoadCurrent, payload);
}

bool TesterConnection::SetPortConnection(TesterPort port, bool connect) {
    const uint8_t payload[] = {static_cast<uint8_t>(port), static_cast<uint8_t>(connect ? 1 : 0)};
    return Exchange(kCmdSetPortConnection, payload);
}

bool TesterConnection::GetSourceTypeConfig(uint8_t typeIndex, SourceTypeRecord& out) {
    Response r;
    const uint8_t payload[] = {typeIndex};
    if (!Exchange(kCmdGetSourceTypeConfig, payload, r)) return false;
    out = DecodeSourceType(std::span<const uint8_t>(r.bytes).subspan(1, kSourceTypeBytes));
    return true;
}

bool TesterConnection::SetSourceTypeConfig(uint8_t typeIndex, const SourceTypeRecord& record) {
    std::vector<uint8_t> payload = {typeIndex};
    std::vector<uint8_t> bytes = EncodeSourceType(record);
    payload.insert(payload.end(), bytes.begin(), bytes.end());
    Response r;
    return Exchange(kCmdSetSourceTypeConfig, payload, r) && r.Carries(1, 1) && r.bytes[1] == 0;
}

bool TesterConnection::GetSourceTypeNames(SourceTypeNames& out) {
    Response r;
    if (!Exchange(kCmdGetSourceTypeNames, {}, r)) return false;
    out.selectedIndex = r.bytes[1];
    for (size_t i = 0; i < SourceTypeNames::kTypeCount; ++i) {
        out.names[i] =
            ReadNameField(r.bytes.data() + 2 + SourceTypeRecord::kNameBytes * i, SourceTypeRecord::kNameBytes);
    }
    return true;
}

bool TesterConnection::SelectSourceType(uint8_t typeIndex) {
    Response r;
    const uint8_t payload[] = {typeIndex};
    return Exchange(kCmdSelectSourceType, payload, r) && r.Carries(1, 1) && r.bytes[1] == 0;
}

// Reads one register into `field` (a u8, u16, or a 0/1 flag). A value the
// response does not carry leaves the field as it was; from register 0x06 on a
// response without a value byte fails the exchange.
template <typename T>
bool TesterConnection::ReadRegisterLocked(uint8_t reg, T& field, bool valueRequired, bool asFlag) {
    Response r;
    const uint8_t payload[] = {reg};
    if (ExchangeLocked(kCmdGetConfigRegister, payload, r) != ExchangeResult::Ok) return false;
    if (valueRequired && !r.Carries(1, 1)) return false;
    if (!r.Carries(1, sizeof(T))) return true;
    uint32_t value = sizeof(T) == 1 ? r.bytes[1] : ReadU16(r.bytes.data() + 1);
    field = static_cast<T>(asFlag ? (value != 0) : value);
    return true;
}

bool TesterConnection::ReadSecondSinkCapabilityLocked(TesterConfig& config) {
    Response r;
    const uint8_t payload[] = {kRegSecondCapability};
    if (ExchangeLocked(kCmdGetConfigRegister, payload, r) != ExchangeResult::Ok || !r.Carries(1, 1)) return false;
    if (r.Carries(1, 2)) config.sinkCap2Mv = ReadU16(r.bytes.data() + 1);
    if (r.Carries(3, 2)) config.sinkCap2Ma = ReadU16(r.bytes.data() + 3);
    return true;
}

TesterConfig TesterConnection::Config() const {
    std::lock_guard<std::mutex> held(configLock_);
    return config_;
}

void TesterConnection::StoreConfig(const TesterConfig& config) {
    std::lock_guard<std::mutex> held(configLock_);
    config_ = config;
}

bool TesterConnection::GetConfig(TesterConfig& out) {
    std::lock_guard<std::mutex> held(lock_);
    // Read into a copy and store it whole: nobody sees a half-read cache, and
    // SetConfig, which needs lock_, cannot change the cache meanwhile.
    TesterConfig c = Config();
    bool ok = ReadRegisterLocked(kRegLoopback, c.loopbackMode, false, true) &&
              ReadRegisterLocked(kRegSdpLimit, c.sdpCurrentLimitMa, false) &&
              ReadRegisterLocked(kRegUsbcDefaultLimit, c.usbcDefaultCurrentLimitMa, false) &&
              ReadRegisterLocked(kRegEstimateVbus, c.estimateUpstreamVbus, false, true) &&
              ReadRegisterLocked(kRegCableResistance, c.cableResistanceMilliohm, false) &&
              ReadRegisterLocked(kRegLoadChangeTime, c.loadChangeTimeMs, false) &&
              ReadRegisterLocked(kRegApplyOnChange, c.applyOnCapabilityChange, false) &&
              ReadRegisterLocked(kRegAutoProfile, c.autoProfileIndex, false) &&
              ReadRegisterLocked(kRegAutoVoltage, c.autoVoltageMv, true) &&
              ReadRegisterLocked(kRegAutoCurrent, c.autoCurrentMa, true) &&
              ReadRegisterLocked(kRegOperatingCurrent, c.operatingCurrentMa, true) &&
              ReadSecondSinkCapabilityLocked(c) && ReadRegisterLocked(kRegPdDetection, c.pdDetection, true) &&
              ReadRegisterLocked(kRegEprDetection, c.eprDetection, true) &&
              ReadRegisterLocked(kRegBcDetection, c.bcDetection, true) &&
              ReadRegisterLocked(kRegQcDetection, c.qcDetection, true) &&
              ReadRegisterLocked(kRegPpsDetection, c.ppsDetection, true, true);
    StoreConfig(c);
    out = c;
    return ok;
}

bool TesterConnection::SetConfig(const TesterConfig& config, uint8_t* failedRegister) {
    std::lock_guard<std::mutex> held(lock_);
    // The cache takes the new settings only when the tester took them all.
    // After a failure it keeps the old ones, except the current limit if that
    // was taken: the tester does not report it, while GetConfig reads every
    // other register back.
    TesterConfig acknowledged = Config();
    std::vector<std::vector<uint8_t>> writes = ConfigWrites(config);
    // PD-PPS detection is sent whatever happened before.
    writes.push_back({kRegPpsDetection, config.ppsDetection});
    bool ok = true;
    for (size_t i = 0; i < writes.size(); ++i) {
        bool last = i + 1 == writes.size();
        if (!ok && !last) {
            if (i >= kConfigStepsWithPause) continue;
            clock_.SleepMs(kConfigPauseMs);
            continue;
        }
        Response r;
        if (ExchangeLocked(kCmdSetConfigRegister, writes[i], r) == ExchangeResult::Ok) {
            if (writes[i][0] == kRegCurrentLimit) {
                acknowledged.currentLimitMode = config.currentLimitMode;
                acknowledged.forcedCurrentLimitMa = config.forcedCurrentLimitMa;
            }
        } else {
            if (ok && failedRegister) *failedRegister = writes[i][0];
            ok = false;
        }
        if (i < kConfigStepsWithPause) clock_.SleepMs(kConfigPauseMs);
    }
    StoreConfig(ok ? config : acknowledged);
    return ok;
}

bool TesterConnection::SetCalibration(uint8_t channel, uint32_t year, uint8_t month,
                                      const std::array<int16_t, 4>& values) {
    std::vector<uint8_t> payload = {channel, static_cast<uint8_t>((year - 2000) & 0xFF), month};
    for (int16_t value : values)
        AppendU16(payload, static_cast<uint16_t>(value));
    return Exchange(kCmdSetCalibration, payload);
}

bool TesterConnection::GetCalibration(uint8_t channel, CalibrationRecord& out) {
    Response r;
    const uint8_t payload[] = {channel};
    if (!Exchange(kCmdGetCalibration, payload, r)) return false;
    out.stored = r.bytes[1];
    out.year = 2000u + r.bytes[2];
    out.month = r.bytes[3];
    for (size_t i = 0; i < out.values.size(); ++i) {
        out.values[i] = static_cast<int16_t>(ReadU16(r.bytes.data() + 4 + 2 * i));
    }
    return true;
}

bool TesterConnection::ResetCalibration(uint8_t channel) {
    const uint8_t payload[] = {channel};
    return Exchange(kCmdResetCalibration, payload);
}

bool TesterConnection::StartTrace(TraceCallback callback) {
    std::lock_guard<std::mutex> held(lock_);
    {
        std::lock_guard<std::mutex> traceHeld(traceLock_);
        trace_ = std::move(callback);
    }
    timeoutMs_ = kTraceTimeoutMs;
    Response r;
    const uint8_t payload[] = {1};
    return ExchangeLocked(kCmdTraceControl, payload, r) == ExchangeResult::Ok;
}

bool TesterConnection::StopTrace() {
    std::lock_guard<std::mutex> held(lock_);
    {
        // Waits for a trace callback that is running: none runs after this.
        std::lock_guard<std::mutex> traceHeld(traceLock_);
        trace_ = nullptr;
    }
    Response r;
    const uint8_t payload[] = {0};
    bool ok = ExchangeLocked(kCmdTraceControl, payload, r) == ExchangeResult::Ok;
    timeoutMs_ = kDefaultTimeoutMs;
    return ok;
}

bool TesterConnection::SetSpectrumCapture(bool on) {
    const uint8_t payload[] = {static_cast<uint8_t>(on ? 1 : 0)};
    return Exchange(kCmdSetSpectrumCapture, payload);
}

bool TesterConnection::GetSpectrum(Spectrum& out) {
    std::lock_guard<std::mutex> held(lock_);
    if (!SendLocked(kCmdGetSpectrum, {})) return false;
    // Filled whole or not at all: a short frame is a failed read, not zeros.
    Spectrum spectrum;
    for (size_t frame = 0; frame < kSpectrumFrames; ++frame) {
        Response r;
        if (AwaitResponseLocked(kCmdGetSpectrum, r) != ExchangeResult::Ok) return false;
        if (!r.Carries(1, 2 * kSpectrumValuesPerFrame)) return false;
        for (size_t k = 0; k < kSpectrumValuesPerFrame; ++k) {
            spectrum[frame * kSpectrumValuesPerFrame + k] = static_cast<int16_t>(ReadU16(r.bytes.data() + 1 + 2 * k));
        }
    }
    out = spectrum;
    return true;
}

bool TesterConnection::SendPdMessage(std::span<const uint8_t> message) {
    Response r;
    return Exchange(kCmdSendPdMessage, message, r) && r.Carries(1, 1) && r.bytes[1] == 0;
}
