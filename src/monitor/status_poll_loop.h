#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <optional>
#include <thread>

#include "device/tester_connection.h"
#include "monitor/event_log.h"
#include "monitor/live_state.h"
#include "platform/clock.h"
#include "platform/event.h"

// The events the poll loop follows: the seven port notifications of the
// tester (manual reset) and the two the graphs and tests wait on.
struct PortEvents {
    static constexpr int kCount = 7;
    enum Index {
        kSinkAttached,
        kSinkDetached,
        kSinkProfileChanged,
        kSinkCapabilityChanged,
        kSourceAttached,
        kSourceDetached,
        kSourceProfileChanged,
    };

    std::array<Event, kCount> port = {Event(Event::ResetKind::Manual), Event(Event::ResetKind::Manual),
                                      Event(Event::ResetKind::Manual), Event(Event::ResetKind::Manual),
                                      Event(Event::ResetKind::Manual), Event(Event::ResetKind::Manual),
                                      Event(Event::ResetKind::Manual)};
    Event testStop{Event::ResetKind::Automatic};
    Event sinkDetach{Event::ResetKind::Automatic};

    // The tester connection's notification callback: n (1..7) sets event
    // n - 1; other numbers are ignored.
    void Notify(int notification);
};

// The worker that owns the periodic traffic with the tester: measures both
// ports, follows port events, watches the sink voltage and carries out the
// requests raised in LiveState. It publishes what it measures and learns in
// LiveState (measurements, port states, the readouts the main window shows)
// and never calls or reads a window.
class StatusPollLoop {
public:
    StatusPollLoop(TesterConnection& tester, LiveState& live, EventLog& log, PortEvents& events,
                   Clock& clock = SystemClock());
    ~StatusPollLoop();
    StatusPollLoop(const StatusPollLoop&) = delete;
    StatusPollLoop& operator=(const StatusPollLoop&) = delete;

    void Start();
    // Asks the thread to end without waiting for it: the cycle ends before
    // its next exchange with the tester.
    void RequestStop();
    // Asks the thread to end and waits for it.
    void Stop();

    // One cycle of the loop; public so tests can step it.
    void RunCycle();

private:
    void MeasureSinkCycle();
    void MeasureSourceOnly();
    std::optional<Measurement> Measure();
    void WatchVoltage(const Measurement& m);
    void ServeRequests(bool measured);
    bool Stopping() const { return stopRequested_.load(); }
    int TakePortEvent();
    bool ReadPortStatus(PortStatus* status = nullptr);
    void HandleEvent(int event);
    void OnSinkAttached();
    void OnSinkDetached();
    void OnSinkProfileChanged();
    void OnSinkCapabilityChanged();
    void OnSourceAttached();
    void OnSourceDetached();
    void OnSourceProfileChanged();
    void ForgetPorts();
    void SinkNoLongerMeasured();
    static void ClearSinkReadouts(Readouts& r);
    static void ClearSourceReadouts(Readouts& r);
    void WatchLoopback();
    void SendConfigIfDirty();

    bool ReadCapabilities(SinkCapabilities& caps);
    void LogCapabilities(const SinkCapabilities& caps);
    void SetUpVoltageControls(Readouts& r, const SinkCapabilities& caps, bool moveSlider);
    void ShowRatedCurrentAndLimit(Readouts& r);
    template <typename Change>
    void Publish(Change change) {
        live_.UpdateReadouts(change);
    }
    uint16_t RecomputeLoadCurrentLimit();
    void Log(const std::string& text, int category);
    void Sleep(uint32_t ms);

    TesterConnection& tester_;
    LiveState& live_;
    EventLog& log_;
    PortEvents& events_;
    Clock& clock_;

    // The set points last published, so unchanged ones are not shown again.
    uint16_t shownVoltageMv_ = 0;
    uint16_t shownSetpointMa_ = 0;
    bool setpointShown_ = true;
    bool underVoltage_ = false;
    bool overVoltage_ = false;
    uint64_t measuredCycles_ = 0;
    uint32_t seenConnection_ = 0;
    bool wasConnected_ = false;
    // A new tester gets back the load set point it reported, never the
    // window's untouched request field.
    bool resendSetpoint_ = false;

    std::atomic<bool> stopRequested_{false};
    std::thread thread_;
};
