#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <thread>

#include "device/tester_connection.h"
#include "monitor/event_log.h"
#include "monitor/live_state.h"
#include "platform/clock.h"
#include "platform/event.h"
#include "ui/controls.h"

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
// ports, keeps the main window's readouts current, follows port events,
// watches the sink voltage and carries out the requests raised in LiveState.
class StatusPollLoop {
public:
    StatusPollLoop(TesterConnection& tester, LiveState& live, EventLog& log, Controls& window, PortEvents& events,
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
    bool Measure();
    void ShowSinkReadings();
    void ShowSourceReadings();
    void WatchVoltage();
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
    void ClearSinkReadouts();
    void ClearSourceReadouts();
    void WatchLoopback();
    void SendConfigIfDirty();

    bool ReadCapabilities(SinkCapabilities& caps);
    void FillProfileList(const SinkCapabilities& caps, bool logEntries);
    void SetUpVoltageControls(const SinkCapabilities& caps, bool moveSlider);
    void ShowRatedCurrentAndLimit();
    uint16_t RecomputeLoadCurrentLimit();
    void Log(const std::string& text, int category);
    void Sleep(uint32_t ms);

    TesterConnection& tester_;
    LiveState& live_;
    EventLog& log_;
    Controls& window_;
    PortEvents& events_;
    Clock& clock_;

    // What the window shows now, so unchanged set points are not rewritten.
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
