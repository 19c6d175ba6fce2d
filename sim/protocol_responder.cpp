#include "protocol_responder.h"

#include <algorithm>

#include "device/frame.h"
#include "device/tester_connection.h"
#include "fft_synth.h"

namespace {
constexpr uint16_t kMaximumSourceMv = 21000;
constexpr uint16_t kMinimumSourceMv = 3300;

std::vector<uint8_t> Frame(uint8_t cmd, std::span<const uint8_t> payload = {}) {
    return BuildFrame(cmd, payload);
}
}  // namespace

ProtocolResponder::Frames ProtocolResponder::Answer(uint8_t cmd, std::span<const uint8_t> payload) {
    auto u16 = [&payload](size_t at) { return ReadU16(payload.data() + at); };
    switch (cmd) {
        case kCmdGetDeviceInfo:
            return {Frame(cmd, DeviceInfo())};
        case kCmdGetPortStatus:
            return {Frame(cmd, PortStatusPayload())};
        case kCmdGetSinkCapabilities:
            return {Frame(cmd, Capabilities())};
        case kCmdGetMeasurements:
            return {Frame(cmd, MeasurementsPayload())};
        case kCmdRequestSinkProfile:
            if (payload.size() < 3) return {};
            model_.RequestSinkProfile(payload[0], u16(1));
            return {Frame(cmd)};
        case kCmdSetLoadCurrent:
            if (payload.size() < 4) return {};
            model_.SetLoad(u16(0), u16(2));
            return {Frame(cmd)};
        case kCmdSetPortConnection:
            if (payload.size() < 2) return {};
            model_.SetPortConnection(payload[0] == 1, payload[1] != 0);
            return {Frame(cmd)};
        case kCmdGetSourceTypeConfig: {
            // An index beyond the five types gets no answer: there is nothing to report.
            if (payload.empty() || payload[0] >= SourceTypeNames::kTypeCount) return {};
            return {Frame(cmd, EncodeSourceType(memory_.SourceType(payload[0])))};
        }
        case kCmdSetSourceTypeConfig: {
            const uint8_t status[] = {StoreSourceType(payload)};
            return {Frame(cmd, status)};
        }
        case kCmdGetSourceTypeNames: {
            std::vector<uint8_t> out = {memory_.SelectedSourceType()};
            for (size_t i = 0; i < SourceTypeNames::kTypeCount; ++i) {
                std::vector<uint8_t> record = EncodeSourceType(memory_.SourceType(i));
                out.insert(out.end(), record.begin(), record.begin() + SourceTypeRecord::kNameBytes);
            }
            return {Frame(cmd, out)};
        }
        case kCmdSelectSourceType: {
            uint8_t status = kSourceTypeBadIndex;
            if (!payload.empty() && payload[0] < SourceTypeNames::kTypeCount) {
                memory_.SelectSourceType(payload[0]);
                model_.SourceTypeChanged();
                status = kSourceTypeOk;
            }
            const uint8_t answer[] = {status};
            return {Frame(cmd, answer)};
        }
        case kCmdGetConfigRegister: {
            if (payload.empty()) return {};
            // A register that holds nothing is answered without a value.
            return {Frame(cmd, memory_.Register(payload[0]))};
        }
        case kCmdSetConfigRegister:
            if (payload.empty()) return {};
            if (memory_.SetRegister(payload[0], payload.subspan(1))) model_.RegisterChanged(payload[0]);
            return {Frame(cmd)};
        case kCmdSetCalibration: {
            if (payload.size() < 11) return {};
            if (payload[0] < kCalibrationChannels) {
                StoredCalibration c{true, payload[1], payload[2], {}};
                for (size_t i = 0; i < 4; ++i)
                    c.values[i] = static_cast<int16_t>(u16(3 + 2 * i));
                memory_.SetCalibration(payload[0], c);
            }
            return {Frame(cmd)};
        }
        case kCmdGetCalibration: {
            if (payload.empty()) return {};
            bool known = payload[0] < kCalibrationChannels;
            StoredCalibration c = known ? memory_.Calibration(payload[0]) : StoredCalibration{};
            std::vector<uint8_t> out = {static_cast<uint8_t>(c.stored ? 1 : 0), c.yearSince2000, c.month};
            for (int16_t v : c.values)
                AppendU16(out, static_cast<uint16_t>(v));
            return {Frame(cmd, out)};
        }
        case kCmdResetCalibration:
            if (payload.empty()) return {};
            if (payload[0] < kCalibrationChannels) memory_.SetCalibration(payload[0], StoredCalibration{});
            return {Frame(cmd)};
        case kCmdTraceControl:
            if (payload.empty()) return {};
            tracing_ = payload[0] != 0;
            return {Frame(cmd)};
        case kCmdSetSpectrumCapture:
            if (payload.empty()) return {};
            capturing_ = payload[0] != 0;
            return {Frame(cmd)};
        case kCmdGetSpectrum:
            return SpectrumFrames();
        case kCmdSendPdMessage: {
            bool hardReset = payload.size() == 1 && payload[0] == kPdHardResetMarker;
            const uint8_t status[] = {static_cast<uint8_t>(model_.SendComposed(payload, hardReset))};
            return {Frame(cmd, status)};
        }
        default:
            return {};
    }
}

std::vector<uint8_t> ProtocolResponder::DeviceInfo() const {
    std::vector<uint8_t> out = {identity_.hardwareRevision, identity_.firmwareVersion, identity_.apiVersion};
    for (size_t i = 0; i < DeviceInfo::kDeviceIdLength; ++i) {
        out.push_back(i < identity_.deviceId.size() ? static_cast<uint8_t>(identity_.deviceId[i]) : 0);
    }
    return out;
}

std::vector<uint8_t> ProtocolResponder::PortStatusPayload() const {
    PortStatus s = model_.Status();
    std::vector<uint8_t> out = {s.sinkAttached, s.sinkProfileIndex, s.sinkProfileType, s.sinkProfileSubtype};
    AppendU16(out, s.sinkVoltageMv);
    AppendU16(out, s.sinkProfileCurrentMa);
    out.insert(out.end(), {s.sourceAttached, s.sourceProfileIndex, s.sourceProfileType, s.sourceProfileSubtype});
    AppendU16(out, s.sourceVoltageMv);
    AppendU16(out, s.sourceRatedCurrentMa);
    AppendU16(out, s.sourceRequestedCurrentMa);
    out.push_back(s.selectedSourceType);
    return out;
}

std::vector<uint8_t> ProtocolResponder::Capabilities() const {
    const std::vector<ChargerOffer>& caps = model_.SinkAttached() ? model_.Capabilities() : std::vector<ChargerOffer>{};
    std::vector<uint8_t> out = {static_cast<uint8_t>(caps.size()), 0};
    for (const ChargerOffer& offer : caps) {
        AppendU16(out, offer.Descriptor());
        AppendU16(out, offer.minimumMv);
        AppendU16(out, offer.maximumMv);
        AppendU16(out, offer.maximumMa);
    }
    return out;
}

std::vector<uint8_t> ProtocolResponder::MeasurementsPayload() {
    Measurements m = model_.Measure();
    std::vector<uint8_t> out = {m.temperatureC};
    for (uint16_t v : {m.sinkVbusMv, m.sourceVbusMv, m.loadSetpointMa, m.sinkCurrentMa, m.sourceCurrentMa}) {
        AppendU16(out, v);
    }
    return out;
}

uint8_t ProtocolResponder::StoreSourceType(std::span<const uint8_t> payload) {
    if (payload.size() < 70) return kSourceTypeBadRecord;  // type index and the 69-byte record
    if (payload[0] >= SourceTypeNames::kTypeCount) return kSourceTypeBadIndex;
    SourceTypeRecord record = DecodeSourceType(payload.subspan(1));
    if (record.pdProfileCount > SourceTypeRecord::kMaxProfiles) return kSourceTypeBadRecord;
    // A type the port could not offer safely is refused rather than stored.
    for (size_t i = 0; i < record.pdProfileCount; ++i) {
        const SourcePdProfile& p = record.pdProfiles[i];
        bool pps = p.type == 1;
        if (p.type > 1 || p.maximumMv < kMinimumSourceMv || p.maximumMv > kMaximumSourceMv || p.currentMa == 0 ||
            p.currentMa > 5000 || (pps && (p.minimumMv < kMinimumSourceMv || p.minimumMv > p.maximumMv))) {
            return kSourceTypeBadRecord;
        }
    }
    // Stored only: the port offers a changed type once it is selected again.
    memory_.SetSourceType(payload[0], record);
    return kSourceTypeOk;
}

ProtocolResponder::Frames ProtocolResponder::SpectrumFrames() {
    SpectrumInput input;
    input.capturing = capturing_;
    input.powered = model_.SinkAttached();
    input.switchingKhz = model_.Charger() ? model_.Charger()->switchingKhz : 0;
    input.loadMa = model_.LoadCurrentMa();
    Spectrum spectrum = SynthesizeSpectrum(input, model_.Random());
    Frames frames;
    for (size_t f = 0; f < kSpectrumFrames; ++f) {
        std::vector<uint8_t> payload;
        for (size_t k = 0; k < kSpectrumValuesPerFrame; ++k) {
            AppendU16(payload, static_cast<uint16_t>(spectrum[f * kSpectrumValuesPerFrame + k]));
        }
        frames.push_back(Frame(kCmdGetSpectrum, payload));
    }
    return frames;
}
