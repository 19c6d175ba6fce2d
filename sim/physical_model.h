#pragma once

#include <cstdint>
#include <optional>
#include <random>
#include <span>
#include <vector>

#include "charger.h"
#include "device/tester_records.h"
#include "pd_session.h"
#include "tester_memory.h"

// Something the model did that the tester reports unasked: a port
// notification (its CMD) or a PD message seen on a port.
struct ModelEvent {
    uint8_t notification = 0;  // 0x20..0x28, or 0 for a traced message
    uint8_t port = 0;          // traced messages: 0 sink port, 1 source port
    pd::TracedMessage traced;
    uint64_t timeMs = 0;
};

// A device under test on the source / loopback port: a sink that takes the
// highest fixed voltage it can use and draws a current.
struct SourceDevice {
    uint16_t maximumMv = 20000;
    uint16_t currentMa = 1000;
};

// Status byte of a composed message.
enum ComposedStatus : uint8_t {
    kComposedAcknowledged = 0,
    kComposedNoDevice = 1,
    kComposedNotRead = 2,
    kComposedMalformed = 3,
};

// The tester's two ports and what is plugged into them. Time only moves in
// AdvanceTo (model milliseconds from an injected clock), in fixed 10 ms steps,
// so a run depends on the model times and the seed alone.
class PhysicalModel {
public:
    static constexpr uint32_t kStepMs = 10;
    static constexpr uint32_t kReattachMs = 3000;
    static constexpr uint32_t kTripAfterMs = 20;
    static constexpr uint16_t kLoadMaximumMa = 6000;
    static constexpr double kAmbientC = 25.0;

    PhysicalModel(TesterMemory& memory, uint32_t seed, uint64_t startMs);

    // Scenario.
    void Plug(const ChargerPreset& charger);
    void Unplug();
    void ChangeCharger(const ChargerPreset& charger);
    void SetCableMilliohm(uint16_t milliohm) { cableMilliohm_ = milliohm; }
    void SetSourceDevice(std::optional<SourceDevice> device);

    // Tester commands.
    void RequestSinkProfile(uint8_t index, uint16_t voltageMv);
    void SetLoad(uint16_t currentMa, uint16_t changeTimeMs);
    void SetPortConnection(bool sinkPort, bool connect);
    void SourceTypeChanged();
    void RegisterChanged(uint8_t reg);
    // A composed message (header first), or a hard reset when `hardReset` is set.
    ComposedStatus SendComposed(std::span<const uint8_t> message, bool hardReset);

    void AdvanceTo(uint64_t nowMs);
    std::vector<ModelEvent> TakeEvents();

    // Readings.
    PortStatus Status() const;
    const std::vector<ChargerOffer>& Capabilities() const { return caps_; }
    Measurements Measure();
    bool SinkAttached() const { return attached_; }
    const std::optional<ChargerPreset>& Charger() const { return charger_; }
    uint16_t LoadCurrentMa() const { return static_cast<uint16_t>(currentMa_); }
    uint16_t RatedCurrentMa() const { return ratedMa_; }
    // How much the load may draw: the rated current, 20 % above it, or the
    // forced limit, as the current limit register says.
    uint16_t CurrentLimitMa() const;
    uint16_t NegotiatedMv() const { return negotiatedMv_; }
    uint16_t CableMilliohm() const { return cableMilliohm_; }
    double TemperatureC() const { return temperatureC_; }
    uint64_t NowMs() const { return nowMs_; }
    std::mt19937& Random() { return random_; }

private:
    struct SourceContract {
        uint8_t index = 0;
        uint8_t type = 0;
        uint8_t subtype = 0;
        uint16_t voltageMv = 0;
        uint16_t ratedMa = 0;
        uint16_t requestedMa = 0;
    };

    void Step();
    void Notify(uint8_t cmd);
    void Trace(uint8_t port, std::vector<pd::TracedMessage>& messages);

    void AttachSink();
    void DetachSink(bool tripped);
    void DetectCapabilities();
    // A fresh contract: the charger offers its capabilities and the tester
    // asks for what automatic selection (when applied) or the 5 V default
    // gives, keeping the load set point unless automatic selection sets one.
    void Renegotiate(bool applyAuto);
    // The capability index and voltage automatic selection asks for, or the
    // 5 V default.
    std::pair<size_t, uint16_t> InitialSelection(bool applyAuto, uint16_t& loadMa) const;
    void Negotiate(size_t index, uint16_t voltageMv);
    std::vector<pd::Pdo> SprPdos() const;
    std::vector<pd::Pdo> EprPdos() const;
    void Retarget(uint16_t setpointMa, uint32_t changeTimeMs);
    double SinkVbusMv() const;

    void AttachSource();
    void DetachSource();
    // The source port's contract with its device (or the loopback pass-through), announced.
    void NegotiateSource();
    bool SourceOffersPd() const;

    TesterMemory& memory_;
    std::mt19937 random_;
    uint64_t nowMs_;
    std::vector<ModelEvent> events_;

    // Sink port.
    std::optional<ChargerPreset> charger_;
    bool sinkEnabled_ = true;
    bool attached_ = false;
    uint64_t reattachAtMs_ = 0;
    bool reattachPending_ = false;
    std::vector<ChargerOffer> caps_;
    std::vector<size_t> capsOffer_;  // capability index -> the charger's offer index
    size_t activeIndex_ = 0;
    uint16_t negotiatedMv_ = 0;
    uint16_t ratedMa_ = 0;
    uint16_t cableMilliohm_ = 80;
    pd::Session sinkSession_{false};

    // Load.
    uint16_t setpointMa_ = 0;
    double currentMa_ = 0;
    double rampFromMa_ = 0;
    double rampToMa_ = 0;
    uint64_t rampStartMs_ = 0;
    uint32_t rampMs_ = 0;
    uint64_t overCurrentMs_ = 0;
    double temperatureC_ = kAmbientC;

    // Source / loopback port.
    std::optional<SourceDevice> sourceDevice_;
    bool sourceEnabled_ = true;
    bool sourceAttached_ = false;
    SourceContract source_;
    pd::Session sourceSession_{true};
};
