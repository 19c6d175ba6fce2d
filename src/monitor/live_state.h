#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

#include "device/tester_records.h"
#include "monitor/measurement.h"
#include "monitor/readouts.h"
#include "platform/mutex.h"

// The sink test settings: the application's copy of the tester's sink
// configuration registers, edited by the test configuration dialog and sent
// by the poll loop when ConfigDirty is raised. A plain record: it travels
// between threads only as a whole (LiveState::Settings, SetSettings).
// Values of the sink test settings that stand for more than a number.
enum CurrentLimitMode : uint32_t {
    kLimitEnforce = 0,    // the rated current
    kLimitAllowOver = 1,  // 20 % over the rated current
    kLimitForced = 2,     // the forced limit
};
inline constexpr uint8_t kAutoProfileVoltageMax = 254;  // autoProfileIndex: the highest voltage
inline constexpr uint16_t kCurrentNotSet = 65535;       // "Max" or not set, as the field says
inline constexpr uint8_t kDetectionOn = 255;
inline constexpr uint8_t kDetectionOff = 0;

struct SinkTestSettings {
    uint32_t currentLimitMode = kLimitEnforce;  // a CurrentLimitMode
    uint16_t forcedLimitIndex = 0;              // forced limit = (index + 1) x 500 + 500 mA
    uint16_t sdpCurrentLimitMa = 500;
    uint16_t usbcDefaultCurrentLimitMa = 500;
    bool estimateUpstreamVbus = false;
    uint16_t cableResistanceMilliohm = 80;
    uint16_t dialLoadChangeSpeedMs = 200;
    uint8_t applyOnCapabilityChange = 0;
    uint8_t autoProfileIndex = 0;  // 0 "Auto", 1..20, kAutoProfileVoltageMax, 255 off
    uint16_t autoVoltageMv = 5000;
    uint16_t autoCurrentMa = 0;       // kCurrentNotSet: "Max"
    uint16_t operatingCurrentMa = 0;  // kCurrentNotSet: not set
    uint16_t sinkCap2Mv = 0;          // kCurrentNotSet: not set
    uint16_t sinkCap2Ma = 0;
    uint8_t pdDetection = kDetectionOn;  // kDetectionOn or kDetectionOff
    uint8_t eprDetection = kDetectionOn;
    uint8_t bcDetection = kDetectionOn;
    uint8_t qcDetection = kDetectionOn;
    uint16_t ppsDetection = 1;  // 0 or 1
    uint8_t logIntervalS = 0;   // application only: seconds between readings lines, 0 off

    bool operator==(const SinkTestSettings&) const = default;
};

// The process-wide live model shared by the poll thread, the window thread,
// test threads and the CLI. The poll thread publishes what it measures
// (each measurement with its sequence number and time) and learns (port
// states, the capability list, limits, what the main window shows); the
// other threads read it and raise requests. Plain fields are relaxed
// atomics; a request flag is raised (release) after the values it uses are
// written, and the poll thread clears it once it has acted.
struct LiveState {
    std::atomic<bool> connected{false};
    // Counts the connections made: a new one means a tester whose ports the
    // poll loop has not seen yet, even when no disconnected cycle came between.
    std::atomic<uint32_t> connectionCount{0};
    std::atomic<bool> sinkActive{false};
    std::atomic<bool> sourceActive{false};
    std::atomic<bool> capsLogged{false};
    std::atomic<bool> loopbackEnabled{false};

    std::atomic<uint8_t> sinkProfileIndex{0};
    std::atomic<uint32_t> sinkProfileType{0};
    std::atomic<uint8_t> sinkProfileSubtype{0};
    std::atomic<uint16_t> sinkVoltageMv{0};
    std::atomic<uint16_t> sinkRatedCurrentMa{0};
    std::atomic<uint16_t> loadCurrentLimit{0};

    std::atomic<uint8_t> sourceProfileIndex{0};
    std::atomic<uint32_t> sourceProfileType{0};
    std::atomic<uint8_t> sourceProfileSubtype{0};
    std::atomic<uint16_t> sourceVoltageMv{0};
    std::atomic<uint16_t> sourceRatedCurrentMa{0};
    std::atomic<uint16_t> sourceRequestedCurrentMa{0};
    std::atomic<uint8_t> selectedSourceType{0};

    // Written by the poll thread, read by windows: guarded by namesLock.
    Mutex namesLock;
    std::array<std::string, SourceTypeNames::kTypeCount> sourceTypeNames;
    SinkCapabilities sinkCaps;  // guarded by capsLock
    mutable Mutex capsLock;

    // Capacity counters: read freely; changed only by IntegrateCapacity and
    // the two resets, which take capacityLock so a reset is never undone by
    // an integration that read the counters before it.
    std::atomic<double> sinkMah{0};
    std::atomic<double> sinkMwh{0};
    std::atomic<double> sourceMah{0};
    std::atomic<double> sourceMwh{0};
    Mutex capacityLock;

    std::atomic<bool> profileChanged{false};
    std::atomic<bool> testIdle{true};

    // What the window asks for: written before the request flag is raised.
    // Kept apart from the reported set point and negotiated voltage, which
    // every poll cycle overwrites and could swallow a request.
    std::atomic<uint16_t> requestedLoadMa{0};
    std::atomic<uint16_t> requestedVoltageMv{0};
    std::atomic<int> requestedProfileIndex{-1};
    // The user's "Enable Loopback Mode" choice; the poll loop makes
    // loopbackEnabled follow it and sends the configuration.
    std::atomic<bool> loopbackRequested{false};

    // Raised by the window for requestedLoadMa. Apart from these, the poll
    // loop re-sends the set point a newly connected tester reports.
    std::atomic<bool> loadCurrentPending{false};
    std::atomic<bool> profileSelectPending{false};
    std::atomic<bool> voltageRequestPending{false};
    std::atomic<bool> configDirty{false};

    std::atomic<uint16_t> loadChangeSpeedMs{200};
    std::atomic<uint16_t> vstepIntervalMs{500};

    // A copy of the sink capability list.
    SinkCapabilities Capabilities() const {
        std::lock_guard<std::mutex> held(capsLock);
        return sinkCaps;
    }

    // The sink test settings, handed over whole under their lock so that no
    // reader sees a mix of an old and a new set.
    SinkTestSettings Settings() const {
        std::lock_guard<std::mutex> held(settingsLock_);
        return settings_;
    }
    void SetSettings(const SinkTestSettings& settings) {
        std::lock_guard<std::mutex> held(settingsLock_);
        settings_ = settings;
    }
    // Changes some settings in one step: `change` runs under the lock.
    template <typename Change>
    void UpdateSettings(Change change) {
        std::lock_guard<std::mutex> held(settingsLock_);
        change(settings_);
    }

    // The poll loop's measurement: numbered with the next sequence number
    // and stamped with the time it was taken, then published whole.
    Measurement PublishMeasurement(const Measurements& answer, uint64_t takenMs);
    // The latest measurement, whole; sequence 0 before the first.
    Measurement LatestMeasurement() const {
        std::lock_guard<std::mutex> held(measurementLock_);
        return measurement_;
    }
    uint64_t MeasurementSequence() const { return sequence_.load(std::memory_order_acquire); }

    // What the main window shows. UpdateReadouts runs `change` under the
    // lock, then tells the listener (from the calling thread; it must only
    // post a wake-up, never wait for a window).
    Readouts CurrentReadouts() const {
        std::lock_guard<std::mutex> held(readoutsLock_);
        return readouts_;
    }
    template <typename Change>
    void UpdateReadouts(Change change) {
        {
            std::lock_guard<std::mutex> held(readoutsLock_);
            change(readouts_);
        }
        std::lock_guard<std::mutex> held(listenerLock_);
        if (listener_) listener_();
    }
    // Set before the poll thread starts; cleared (nullptr) once it stopped.
    void SetReadoutsListener(std::function<void()> listener) {
        std::lock_guard<std::mutex> held(listenerLock_);
        listener_ = std::move(listener);
    }

private:
    mutable Mutex settingsLock_;
    SinkTestSettings settings_;
    mutable Mutex measurementLock_;
    Measurement measurement_;
    std::atomic<uint64_t> sequence_{0};
    mutable Mutex readoutsLock_;
    Readouts readouts_;
    Mutex listenerLock_;
    std::function<void()> listener_;
};

// One second of capacity: adds what the latest measurement delivers in a
// second to the counters of each port that is being measured. A measurement
// older than kCapacityFreshMs (a tester that stopped answering) adds nothing.
constexpr uint64_t kCapacityFreshMs = 2000;
void IntegrateCapacity(LiveState& live, uint64_t nowMs);
// Zero the two counters of one port.
void ResetSinkCapacity(LiveState& live);
void ResetSourceCapacity(LiveState& live);

// The readings line logged at the configured interval.
std::string ReadingsLine(const LiveState& live);
