#include "physical_model.h"

#include <algorithm>
#include <cmath>

#include "device/frame.h"

namespace {
constexpr uint16_t kDefaultMv = 5000;
constexpr double kThermalResistanceCPerW = 0.55;
constexpr double kThermalTimeConstantMs = 20000.0;
constexpr double kVbusNoiseMv = 3.0;
constexpr double kCurrentNoiseMa = 2.0;
constexpr uint8_t kPortSink = 0;
constexpr uint8_t kPortSource = 1;

uint16_t ClampU16(double value) {
    return static_cast<uint16_t>(std::clamp(value, 0.0, 65535.0) + 0.5);
}

// A voltage inside a ranged offer, on its grid.
uint16_t FitVoltage(const ChargerOffer& offer, uint16_t voltageMv) {
    if (!offer.IsRanged()) return offer.maximumMv;
    if (offer.type == kTypeQc && offer.subtype == kSubtypeQc2) {
        // QC2 knows 5, 9 and 12 V (and 20 V on class B): the nearest one in range.
        uint16_t best = offer.minimumMv;
        for (uint16_t level : {5000, 9000, 12000, 20000}) {
            if (level < offer.minimumMv || level > offer.maximumMv) continue;
            if (std::abs(level - voltageMv) < std::abs(best - voltageMv)) best = level;
        }
        return best;
    }
    uint16_t step = offer.VoltageStepMv();
    uint32_t clamped = std::clamp(voltageMv, offer.minimumMv, offer.maximumMv);
    uint32_t snapped = (clamped + step / 2) / step * step;
    if (snapped > offer.maximumMv) snapped -= step;
    if (snapped < offer.minimumMv) snapped += step;
    return static_cast<uint16_t>(snapped);
}

bool Detected(const TesterMemory& memory, const ChargerOffer& offer) {
    bool pd = memory.U8(kRegPdDetection) != 0;
    switch (offer.type) {
        case kTypePd:
            return pd && (offer.subtype != kSubtypeProgrammable || memory.U8(kRegPpsDetection) != 0);
        case kTypeEpr:
            return pd && memory.U8(kRegEprDetection) != 0;
        case kTypeBc:
        case kTypeApple:
            return memory.U8(kRegBcDetection) != 0;
        case kTypeQc:
            return memory.U8(kRegQcDetection) != 0;
        default:
            return true;
    }
}
}  // namespace

PhysicalModel::PhysicalModel(TesterMemory& memory, uint32_t seed, uint64_t startMs)
    : memory_(memory), random_(seed), nowMs_(startMs) {}

void PhysicalModel::Notify(uint8_t cmd) {
    events_.push_back({cmd, 0, {}, nowMs_});
}

void PhysicalModel::Trace(uint8_t port, std::vector<pd::TracedMessage>& messages) {
    for (pd::TracedMessage& m : messages)
        events_.push_back({0, port, std::move(m), nowMs_});
    messages.clear();
}

std::vector<ModelEvent> PhysicalModel::TakeEvents() {
    std::vector<ModelEvent> taken;
    taken.swap(events_);
    return taken;
}

// ---- sink port -------------------------------------------------------------

void PhysicalModel::Plug(const ChargerPreset& charger) {
    if (charger_) DetachSink(false);
    charger_ = charger;
    reattachPending_ = false;
    if (sinkEnabled_) AttachSink();
}

void PhysicalModel::Unplug() {
    if (attached_) DetachSink(false);
    charger_.reset();
    reattachPending_ = false;
}

void PhysicalModel::ChangeCharger(const ChargerPreset& charger) {
    if (!charger_) return;  // nothing plugged: nothing to change
    if (!attached_) {
        charger_ = charger;
        if (sinkEnabled_ && !reattachPending_) AttachSink();
        return;
    }
    charger_ = charger;
    DetectCapabilities();
    Notify(kCmdSinkCapabilityChanged);
    Renegotiate(memory_.U8(kRegApplyOnChange) != 0);
}

void PhysicalModel::DetectCapabilities() {
    caps_.clear();
    capsOffer_.clear();
    if (!charger_) return;
    for (size_t i = 0; i < charger_->offers.size(); ++i) {
        if (!Detected(memory_, charger_->offers[i])) continue;
        caps_.push_back(charger_->offers[i]);
        capsOffer_.push_back(i);
    }
    if (caps_.empty()) {
        // Whatever the detection settings, a plugged port gives 5 V.
        caps_.push_back({kTypeLegacy, 0, kDefaultMv, kDefaultMv, 500});
        capsOffer_.push_back(SIZE_MAX);
    }
    if (caps_.size() > 24) {
        caps_.resize(24);
        capsOffer_.resize(24);
    }
}

std::vector<pd::Pdo> PhysicalModel::SprPdos() const {
    std::vector<pd::Pdo> pdos;
    if (!charger_) return pdos;
    bool epr = std::any_of(charger_->offers.begin(), charger_->offers.end(),
                           [](const ChargerOffer& o) { return o.type == kTypeEpr; });
    for (const ChargerOffer& offer : charger_->offers) {
        if (offer.type != kTypePd || pdos.size() == pd::kMaxDataObjects) continue;
        uint32_t flags = pdos.empty() ? pd::kPdoUnconstrainedPower | (epr ? pd::kPdoEprCapable : 0) : 0;
        pdos.push_back(offer.ToPdo(flags));
    }
    return pdos;
}

std::vector<pd::Pdo> PhysicalModel::EprPdos() const {
    std::vector<pd::Pdo> pdos;
    if (!charger_) return pdos;
    for (const ChargerOffer& offer : charger_->offers) {
        if (offer.type == kTypeEpr) pdos.push_back(offer.ToPdo(0));
    }
    return pdos;
}

std::pair<size_t, uint16_t> PhysicalModel::InitialSelection(bool applyAuto, uint16_t& loadMa) const {
    size_t fallback = 0;
    for (size_t i = 0; i < caps_.size(); ++i) {
        if (caps_[i].minimumMv <= kDefaultMv && kDefaultMv <= caps_[i].maximumMv) {
            fallback = i;
            break;
        }
    }
    uint8_t profile = memory_.U8(kRegAutoProfile);
    if (!applyAuto || profile == kAutoProfileOff) return {fallback, kDefaultMv};

    uint16_t wantMv = memory_.U16(kRegAutoVoltage);
    uint16_t wantMa = memory_.U16(kRegAutoCurrent);
    size_t chosen = SIZE_MAX;
    if (profile == kAutoProfileMax) {
        for (size_t i = 0; i < caps_.size(); ++i) {
            if (chosen == SIZE_MAX || caps_[i].maximumMv > caps_[chosen].maximumMv) chosen = i;
        }
        wantMv = chosen == SIZE_MAX ? kDefaultMv : caps_[chosen].maximumMv;
    } else if (profile == 0) {
        // "Auto": the offer that reaches the voltage with the most current.
        for (size_t i = 0; i < caps_.size(); ++i) {
            if (wantMv < caps_[i].minimumMv || wantMv > caps_[i].maximumMv) continue;
            if (chosen == SIZE_MAX || caps_[i].CurrentAtMa(wantMv) > caps_[chosen].CurrentAtMa(wantMv)) chosen = i;
        }
    } else if (profile <= caps_.size()) {
        chosen = profile - 1u;
    }
    if (chosen == SIZE_MAX) return {fallback, kDefaultMv};
    uint16_t voltageMv = FitVoltage(caps_[chosen], wantMv);
    uint16_t available = caps_[chosen].CurrentAtMa(voltageMv);
    loadMa = wantMa == 65535 ? available : std::min(wantMa, available);
    return {chosen, voltageMv};
}

void PhysicalModel::AttachSink() {
    if (!charger_) return;
    attached_ = true;
    reattachPending_ = false;
    sinkSession_.Reset();
    DetectCapabilities();
    Notify(kCmdSinkAttached);
    setpointMa_ = 0;
    currentMa_ = rampFromMa_ = rampToMa_ = 0;
    Renegotiate(true);
    if (sourceAttached_ && memory_.U8(kRegLoopback) != 0) NegotiateSource();
}

void PhysicalModel::Renegotiate(bool applyAuto) {
    sinkSession_.Reset();
    if (std::any_of(caps_.begin(), caps_.end(), [](const ChargerOffer& o) { return o.IsPd(); })) {
        std::vector<pd::TracedMessage> messages;
        std::vector<pd::Pdo> spr = SprPdos();
        sinkSession_.SourceCapabilities(spr, messages);
        Trace(kPortSink, messages);
    }
    uint16_t loadMa = setpointMa_;
    auto [index, voltageMv] = InitialSelection(applyAuto, loadMa);
    Negotiate(index, voltageMv);
    Retarget(loadMa, memory_.U16(kRegLoadChangeTime));
}

void PhysicalModel::DetachSink(bool tripped) {
    attached_ = false;
    caps_.clear();
    capsOffer_.clear();
    negotiatedMv_ = 0;
    ratedMa_ = 0;
    // The load lets go with the port, so a re-attach does not trip again at once.
    setpointMa_ = 0;
    currentMa_ = rampFromMa_ = rampToMa_ = 0;
    overCurrentMs_ = 0;
    sinkSession_.Reset();
    Notify(kCmdSinkDetached);
    if (tripped) {
        reattachPending_ = true;
        reattachAtMs_ = nowMs_ + kReattachMs;
    }
    if (sourceAttached_ && memory_.U8(kRegLoopback) != 0) NegotiateSource();
}

void PhysicalModel::Negotiate(size_t index, uint16_t voltageMv) {
    const ChargerOffer& offer = caps_.at(index);
    uint16_t fitted = FitVoltage(offer, voltageMv);
    uint16_t available = offer.CurrentAtMa(fitted);
    if (offer.type == kTypeBc && offer.subtype == kSubtypeBcSdp) available = memory_.U16(kRegSdpLimit);
    if (offer.type == kTypeUsbc && offer.subtype == kSubtypeUsbcDefault) available = memory_.U16(kRegUsbcDefaultLimit);

    if (offer.IsPd() && capsOffer_[index] != SIZE_MAX) {
        // The PDO's position counts the charger's PD offers (SPR 1..7, EPR from 8).
        const ChargerOffer& chosen = charger_->offers[capsOffer_[index]];
        uint8_t position = 0;
        for (size_t i = 0, spr = 0, epr = 0; i <= capsOffer_[index]; ++i) {
            const ChargerOffer& o = charger_->offers[i];
            if (o.type == kTypePd) position = static_cast<uint8_t>(++spr);
            if (o.type == kTypeEpr) position = static_cast<uint8_t>(8 + epr++);
        }
        std::vector<pd::TracedMessage> messages;
        std::vector<pd::Pdo> spr = SprPdos(), eprPdos = EprPdos();
        bool epr = !eprPdos.empty();
        if (chosen.type == kTypeEpr && !sinkSession_.InEprMode()) {
            if (!sinkSession_.HasContract()) {
                // EPR mode is entered from an SPR contract: 5 V first.
                const pd::Pdo& safe = spr.front();
                uint32_t rdo = pd::EncodeRequest(safe, 1, kDefaultMv, safe.maximumMa, safe.maximumMa, epr);
                sinkSession_.Contract(safe, rdo, messages);
            }
            sinkSession_.EnterEpr(spr, eprPdos, static_cast<uint8_t>(charger_->ratedPowerW), messages);
        }
        uint16_t operatingMa = memory_.U16(kRegOperatingCurrent);
        if (operatingMa == 65535 || operatingMa > available) operatingMa = available;
        const pd::Pdo& pdo = position < 8 ? spr.at(position - 1u) : eprPdos.at(position - 8u);
        uint32_t rdo = pd::EncodeRequest(pdo, position, fitted, operatingMa, available, epr);
        sinkSession_.Contract(pdo, rdo, messages);
        Trace(kPortSink, messages);
    }
    activeIndex_ = index;
    negotiatedMv_ = fitted;
    ratedMa_ = available;
}

uint16_t PhysicalModel::CurrentLimitMa() const {
    std::vector<uint8_t> mode = memory_.Register(kRegCurrentLimit);
    uint32_t limit = ratedMa_;
    if (!mode.empty() && mode[0] == 1) limit = ratedMa_ * 12u / 10u;
    if (!mode.empty() && mode[0] == 2 && mode.size() >= 3) limit = ReadU16(mode.data() + 1);
    return static_cast<uint16_t>(std::min<uint32_t>(limit, kLoadMaximumMa));
}

void PhysicalModel::Retarget(uint16_t setpointMa, uint32_t changeTimeMs) {
    setpointMa_ = setpointMa;
    rampFromMa_ = currentMa_;
    rampToMa_ = attached_ ? std::min<double>(setpointMa, CurrentLimitMa()) : 0.0;
    rampStartMs_ = nowMs_;
    rampMs_ = changeTimeMs;
    if (rampMs_ == 0) currentMa_ = rampToMa_;
}

void PhysicalModel::RequestSinkProfile(uint8_t index, uint16_t voltageMv) {
    if (!attached_ || index >= caps_.size()) return;
    Negotiate(index, voltageMv);
    Notify(kCmdSinkProfileChanged);
    Retarget(setpointMa_, memory_.U16(kRegLoadChangeTime));
    if (sourceAttached_ && memory_.U8(kRegLoopback) != 0) NegotiateSource();
}

void PhysicalModel::SetLoad(uint16_t currentMa, uint16_t changeTimeMs) {
    Retarget(currentMa, changeTimeMs);
}

void PhysicalModel::SetPortConnection(bool sinkPort, bool connect) {
    if (sinkPort) {
        sinkEnabled_ = connect;
        if (!connect && attached_) DetachSink(false);
        if (!connect) reattachPending_ = false;
        if (connect && !attached_ && charger_) AttachSink();
        return;
    }
    sourceEnabled_ = connect;
    if (!connect && sourceAttached_) DetachSource();
    if (connect && !sourceAttached_ && sourceDevice_) AttachSource();
}

void PhysicalModel::RegisterChanged(uint8_t reg) {
    switch (reg) {
        case kRegPdDetection:
        case kRegEprDetection:
        case kRegBcDetection:
        case kRegQcDetection:
        case kRegPpsDetection: {
            if (!attached_) return;
            std::vector<ChargerOffer> before = caps_;
            DetectCapabilities();
            bool same = before.size() == caps_.size() &&
                        std::equal(before.begin(), before.end(), caps_.begin(), [](auto& a, auto& b) {
                            return a.Descriptor() == b.Descriptor() && a.maximumMv == b.maximumMv &&
                                   a.minimumMv == b.minimumMv && a.maximumMa == b.maximumMa;
                        });
            if (same) return;
            ChargerPreset present = *charger_;
            ChangeCharger(present);
            return;
        }
        case kRegCurrentLimit:
        case kRegSdpLimit:
        case kRegUsbcDefaultLimit:
            if (attached_) {
                Negotiate(activeIndex_, negotiatedMv_);
                Retarget(setpointMa_, memory_.U16(kRegLoadChangeTime));
            }
            return;
        case kRegLoopback:
            if (sourceAttached_) NegotiateSource();
            return;
        default:
            return;
    }
}

// ---- time ------------------------------------------------------------------

void PhysicalModel::AdvanceTo(uint64_t nowMs) {
    while (nowMs_ + kStepMs <= nowMs) {
        nowMs_ += kStepMs;
        Step();
    }
}

void PhysicalModel::Step() {
    if (reattachPending_ && nowMs_ >= reattachAtMs_) {
        reattachPending_ = false;
        if (charger_ && sinkEnabled_ && !attached_) AttachSink();
    }
    if (attached_) {
        double elapsed = static_cast<double>(nowMs_ - rampStartMs_);
        double share = rampMs_ == 0 ? 1.0 : std::min(1.0, elapsed / rampMs_);
        currentMa_ = rampFromMa_ + (rampToMa_ - rampFromMa_) * share;
        double drawnMa = currentMa_ + (memory_.U8(kRegLoopback) && sourceAttached_ ? source_.requestedMa : 0);
        if (drawnMa > ratedMa_ * charger_->tripPercent / 100.0) {
            overCurrentMs_ += kStepMs;
            if (overCurrentMs_ >= kTripAfterMs) DetachSink(true);
        } else {
            overCurrentMs_ = 0;
        }
    }
    double powerW = attached_ ? SinkVbusMv() * currentMa_ / 1e6 : 0.0;
    double settled = kAmbientC + kThermalResistanceCPerW * powerW;
    temperatureC_ += (settled - temperatureC_) * (kStepMs / kThermalTimeConstantMs);
}

// ---- readings --------------------------------------------------------------

double PhysicalModel::SinkVbusMv() const {
    if (!attached_) return 0.0;
    double drawnMa = currentMa_ + (memory_.U8(kRegLoopback) && sourceAttached_ ? source_.requestedMa : 0);
    return ChargerOutputMv(*charger_, negotiatedMv_, cableMilliohm_, drawnMa);
}

Measurements PhysicalModel::Measure() {
    std::normal_distribution<double> vbusNoise(0.0, kVbusNoiseMv), currentNoise(0.0, kCurrentNoiseMa);
    Measurements m;
    m.temperatureC = static_cast<uint8_t>(std::clamp(temperatureC_ + 0.5, 0.0, 255.0));
    m.loadSetpointMa = setpointMa_;
    double sinkMv = SinkVbusMv();
    if (attached_) {
        if (memory_.U8(kRegEstimateVbus) != 0) sinkMv += memory_.U16(kRegCableResistance) * currentMa_ / 1000.0;
        sinkMv += vbusNoise(random_);
    }
    double sinkMa = currentMa_ > 0 ? currentMa_ + currentNoise(random_) : 0.0;
    double sourceMv = 0, sourceMa = 0;
    if (sourceAttached_) {
        sourceMv = memory_.U8(kRegLoopback) ? SinkVbusMv() : source_.voltageMv;
        if (sourceMv > 0) sourceMv += vbusNoise(random_);
        sourceMa = source_.requestedMa > 0 ? source_.requestedMa + currentNoise(random_) : 0.0;
    }
    auto calibrated = [this](size_t channel, double raw) {
        return ClampU16(memory_.Calibration(channel).Apply(static_cast<int32_t>(std::lround(raw))));
    };
    m.sourceVbusMv = sourceMv > 0 ? calibrated(0, sourceMv) : 0;
    m.sourceCurrentMa = sourceMa > 0 ? calibrated(1, sourceMa) : 0;
    m.sinkVbusMv = sinkMv > 0 ? calibrated(2, sinkMv) : 0;
    m.sinkCurrentMa = sinkMa > 0 ? calibrated(3, sinkMa) : 0;
    return m;
}

PortStatus PhysicalModel::Status() const {
    PortStatus s;
    if (attached_) {
        const ChargerOffer& offer = caps_.at(activeIndex_);
        s.sinkAttached = 1;
        s.sinkProfileIndex = static_cast<uint8_t>(activeIndex_);
        s.sinkProfileType = offer.type;
        s.sinkProfileSubtype = offer.subtype;
        s.sinkVoltageMv = negotiatedMv_;
        // EPR-AVS reports its power in watts in the current field.
        s.sinkProfileCurrentMa = offer.IsAvs() ? offer.maximumMa : ratedMa_;
    }
    if (sourceAttached_) {
        s.sourceAttached = 1;
        s.sourceProfileIndex = source_.index;
        s.sourceProfileType = source_.type;
        s.sourceProfileSubtype = source_.subtype;
        s.sourceVoltageMv = source_.voltageMv;
        s.sourceRatedCurrentMa = source_.ratedMa;
        s.sourceRequestedCurrentMa = source_.requestedMa;
    }
    s.selectedSourceType = memory_.SelectedSourceType();
    return s;
}

// ---- source / loopback port ------------------------------------------------

void PhysicalModel::SetSourceDevice(std::optional<SourceDevice> device) {
    if (sourceAttached_) DetachSource();
    sourceDevice_ = device;
    if (sourceDevice_ && sourceEnabled_) AttachSource();
}

void PhysicalModel::AttachSource() {
    sourceAttached_ = true;
    sourceSession_.Reset();
    Notify(kCmdSourceAttached);
    NegotiateSource();
}

void PhysicalModel::DetachSource() {
    sourceAttached_ = false;
    source_ = {};
    sourceSession_.Reset();
    Notify(kCmdSourceDetached);
}

bool PhysicalModel::SourceOffersPd() const {
    return memory_.U8(kRegLoopback) == 0 && memory_.SourceType(memory_.SelectedSourceType()).pdProfileCount > 0;
}

void PhysicalModel::SourceTypeChanged() {
    if (sourceAttached_) NegotiateSource();
}

void PhysicalModel::NegotiateSource() {
    const SourceDevice device = sourceDevice_.value_or(SourceDevice{});
    SourceContract contract;
    if (memory_.U8(kRegLoopback) != 0) {
        // Loopback passes the sink port's supply through unchanged.
        if (attached_) {
            const ChargerOffer& offer = caps_.at(activeIndex_);
            contract = {static_cast<uint8_t>(activeIndex_),  offer.type, offer.subtype, negotiatedMv_, ratedMa_,
                        std::min(device.currentMa, ratedMa_)};
        }
    } else if (SourceOffersPd()) {
        const SourceTypeRecord& type = memory_.SourceType(memory_.SelectedSourceType());
        std::vector<pd::Pdo> pdos;
        size_t count = std::min<size_t>(type.pdProfileCount, SourceTypeRecord::kMaxProfiles);
        for (size_t i = 0; i < count; ++i) {
            const SourcePdProfile& p = type.pdProfiles[i];
            ChargerOffer offer{kTypePd, static_cast<uint8_t>(p.type == 1 ? kSubtypeProgrammable : kSubtypeFixed),
                               p.type == 1 ? p.minimumMv : p.maximumMv, p.maximumMv, p.currentMa};
            pdos.push_back(offer.ToPdo(i == 0 ? pd::kPdoUsbCommunications | pd::kPdoDualRoleData : 0));
        }
        // The device takes the highest fixed voltage it can use.
        size_t best = 0;
        for (size_t i = 0; i < pdos.size(); ++i) {
            if (pdos[i].kind == pd::PdoKind::Fixed && pdos[i].maximumMv <= device.maximumMv &&
                pdos[i].maximumMv > pdos[best].maximumMv)
                best = i;
        }
        const pd::Pdo& chosen = pdos[best];
        uint16_t requested = std::min(device.currentMa, chosen.maximumMa);
        contract = {static_cast<uint8_t>(best),
                    kTypePd,
                    static_cast<uint8_t>(chosen.kind == pd::PdoKind::Pps ? kSubtypeProgrammable : kSubtypeFixed),
                    chosen.maximumMv,
                    chosen.maximumMa,
                    requested};
        std::vector<pd::TracedMessage> messages;
        sourceSession_.SourceCapabilities(pdos, messages);
        uint32_t rdo =
            pd::EncodeRequest(chosen, static_cast<uint8_t>(best + 1), chosen.maximumMv, requested, requested, false);
        sourceSession_.Contract(chosen, rdo, messages);
        Trace(kPortSource, messages);
    } else {
        const SourceTypeRecord& type = memory_.SourceType(memory_.SelectedSourceType());
        static constexpr uint16_t kAppleMa[] = {500, 1000, 2100, 2400, 3000};
        if (type.appleChoice >= 1 && type.appleChoice <= 5) {
            uint16_t ratedMa = kAppleMa[type.appleChoice - 1];
            contract = {0, kTypeApple, static_cast<uint8_t>(type.appleChoice - 1), kDefaultMv, ratedMa, 0};
        } else if (type.usbcChoice <= 2) {
            static constexpr uint16_t kUsbcMa[] = {500, 1500, 3000};
            contract = {0, kTypeUsbc, type.usbcChoice, kDefaultMv, kUsbcMa[type.usbcChoice], 0};
        } else {
            bool sdp = type.batteryChargingChoice == 0;
            contract = {0,
                        kTypeBc,
                        static_cast<uint8_t>(sdp ? kSubtypeBcSdp : kSubtypeBcDcp),
                        kDefaultMv,
                        static_cast<uint16_t>(sdp ? 500 : 1500),
                        0};
        }
        contract.requestedMa = std::min(device.currentMa, contract.ratedMa);
    }
    source_ = contract;
    Notify(kCmdSourceProfileChanged);
}

// ---- composed messages -----------------------------------------------------

ComposedStatus PhysicalModel::SendComposed(std::span<const uint8_t> message, bool hardReset) {
    bool sinkPd = attached_ && caps_.at(activeIndex_).IsPd();
    bool sourcePd = sourceAttached_ && SourceOffersPd();
    if (!attached_ && !sourceAttached_) return kComposedNoDevice;
    if (!sinkPd && !sourcePd) return kComposedNotRead;
    if (hardReset) {
        if (sinkPd) {
            // The charger drops to vSafe5V and offers its capabilities again.
            Renegotiate(false);
            Notify(kCmdSinkProfileChanged);
        } else {
            sourceSession_.Reset();
            NegotiateSource();
        }
        return kComposedAcknowledged;
    }
    pd::Message composed{std::vector<uint8_t>(message.begin(), message.end())};
    if (!composed.WellFormed()) return kComposedMalformed;
    pd::Session& session = sinkPd ? sinkSession_ : sourceSession_;
    uint8_t port = sinkPd ? kPortSink : kPortSource;
    bool testerIsSource = !sinkPd;
    std::vector<pd::TracedMessage> messages;
    // Sent exactly as composed, so the echo on the trace matches it byte for byte.
    messages.push_back({composed, true});
    pd::Header sent = composed.DecodedHeader();
    pd::Header ack;
    ack.type = pd::kGoodCrc;
    ack.powerRoleSource = !testerIsSource;
    ack.dataRoleDfp = !testerIsSource;
    ack.messageId = sent.messageId;
    messages.push_back({pd::Message::Make(ack, {}), false});
    if (!sent.extended && sent.dataObjects == 0 && sinkPd) {
        if (sent.type == pd::kGetSourceCap) {
            std::vector<pd::Pdo> spr = SprPdos();
            session.SourceCapabilities(spr, messages);
        } else if (sent.type == pd::kSoftReset) {
            // Both sides start counting message IDs afresh; the contract is offered again.
            session.Reset();
            session.SendControl(true, pd::kAccept, messages);
            std::vector<pd::Pdo> spr = SprPdos();
            session.SourceCapabilities(spr, messages);
            Trace(port, messages);
            Negotiate(activeIndex_, negotiatedMv_);
            return kComposedAcknowledged;
        }
    }
    Trace(port, messages);
    return kComposedAcknowledged;
}
