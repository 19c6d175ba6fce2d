#include <gtest/gtest.h>

#include <map>
#include <mutex>

#include "device/frame.h"
#include "app/readouts_presenter.h"
#include "monitor/status_poll_loop.h"
#include "support/fake_window.h"
#include "support/memory_line.h"
#include "support/test_helpers.h"
#include "ui/main_window_ids.h"
#include "ui/log_pane.h"

// The poll loop stepped cycle by cycle against a scripted tester whose ports
// the tests set up exactly, with a clock that never sleeps.
namespace {
using LoadRequests = std::vector<std::pair<uint16_t, uint16_t>>;
using Texts = std::vector<std::string>;

struct TesterState {
    std::mutex lock;
    PortStatus status;
    SinkCapabilities caps;
    Measurements m;
    SourceTypeNames names;
    std::map<uint8_t, int> failures;  // how many of the next requests of a command get a wrong answer
    // Runs inside each exchange, after the request was recorded: what the
    // program does meanwhile. Must not take the lock.
    std::function<void(uint8_t cmd)> during;
    std::vector<uint8_t> commands;
    LoadRequests loadRequests;
    std::vector<std::pair<uint8_t, uint16_t>> profileRequests;
    int configWrites = 0;

    Bytes Answer(uint8_t cmd, std::span<const uint8_t> p) {
        std::lock_guard<std::mutex> held(lock);
        commands.push_back(cmd);
        if (failures[cmd] > 0 && failures[cmd]--) return ScriptedTester::Frame(0x55);
        Bytes out;
        const PortStatus& s = status;
        switch (cmd) {
            case kCmdGetPortStatus:
                out = Le(out, s.sinkAttached, s.sinkProfileIndex, s.sinkProfileType, s.sinkProfileSubtype,
                         s.sinkVoltageMv, s.sinkProfileCurrentMa, s.sourceAttached, s.sourceProfileIndex,
                         s.sourceProfileType, s.sourceProfileSubtype, s.sourceVoltageMv, s.sourceRatedCurrentMa,
                         s.sourceRequestedCurrentMa, s.selectedSourceType);
                break;
            case kCmdGetSinkCapabilities:
                out = Le(out, caps.count, caps.spare);
                for (const SinkCapability& e : std::span(caps.entries).first(caps.count))
                    out = Le(out, e.descriptor, e.minimumMv, e.maximumMv, e.maximumCurrentMa);
                break;
            case kCmdGetMeasurements:
                out = Le(out, m.temperatureC, m.sinkVbusMv, m.sourceVbusMv, m.loadSetpointMa, m.sinkCurrentMa,
                         m.sourceCurrentMa);
                break;
            case kCmdGetSourceTypeNames:
                out = {names.selectedIndex};
                for (const std::string& n : names.names) {
                    out.insert(out.end(), n.begin(), n.end());
                    out.resize(out.size() + 16 - n.size());
                }
                break;
            case kCmdSetLoadCurrent:
                loadRequests.emplace_back(ReadU16(p.data()), ReadU16(p.data() + 2));
                break;
            case kCmdRequestSinkProfile:
                profileRequests.emplace_back(p[0], ReadU16(p.data() + 1));
                break;
            case kCmdSetConfigRegister:
                configWrites += p[0] == 0x00;
                break;
        }
        if (during) during(cmd);
        return ScriptedTester::Frame(cmd, out);
    }
};

class PollLoopTest : public ::testing::Test {
protected:
    void SetUp() override {
        line.tester.SetHandler([this](uint8_t cmd, std::span<const uint8_t> p) { return state.Answer(cmd, p); });
        ASSERT_TRUE(tester.Connect("COM7", [this](int n) { events.Notify(n); }));
        pane.Attach(&window, IDC_LOG_PANE, IDC_LOG_SCROLL);
        live.connected = true;
        ++live.connectionCount;
    }

    // A 65 W charger: 5/9/15/20 V fixed and a 3.3-21 V PPS range.
    void PlugPdCharger(uint16_t voltageMv = 5000, uint8_t index = 0) {
        std::lock_guard<std::mutex> held(state.lock);
        state.caps = {5,
                      0,
                      {{{0x60, 5000, 5000, 3000},
                        {0x60, 9000, 9000, 3000},
                        {0x60, 15000, 15000, 3000},
                        {0x60, 20000, 20000, 3250},
                        {0x360, 3300, 21000, 3000}}}};
        uint16_t ratedMa = state.caps.entries[index].maximumCurrentMa;
        state.status = {1, index, 6, static_cast<uint8_t>(index == 4 ? 3 : 0), voltageMv, ratedMa};
        state.m = {31, voltageMv, 0, 0, 0, 0};
    }

    Texts Logged(size_t from = 0) { return LogTexts(log, from); }
    // Whether the sink port is live, its profile list empty, its voltage shown, the log timer off.
    std::tuple<bool, bool, std::string, bool> Sink() {
        return {live.sinkActive, window.Get(IDC_SELECT_PROFILE).items.empty(), window.GetText(IDC_SINK_VBUS),
                window.Timers().empty()};
    }

    // Sets what the tester measures, then runs cycles.
    void Measure(uint16_t sinkMv, uint16_t setpointMa, uint16_t sinkMa, int cycles = 1) {
        {
            std::lock_guard<std::mutex> held(state.lock);
            state.m.sinkVbusMv = sinkMv;
            state.m.loadSetpointMa = setpointMa;
            state.m.sinkCurrentMa = sinkMa;
        }
        Cycle(cycles);
    }

    // Cycles of the loop, after each the window shows what it published.
    void Cycle(int cycles = 1) {
        for (int i = 0; i < cycles; ++i) {
            loop.RunCycle();
            presenter.Apply();
        }
    }

    TesterState state;
    MemoryLine line;
    FastClock clock;
    TesterConnection tester{line.Factory(), clock};
    LiveState live;
    EventLog log;
    LogPane pane{log};
    FakeWindow window;
    PortEvents events;
    StatusPollLoop loop{tester, live, log, events, clock};
    ReadoutsPresenter presenter{live, window};
};
}  // namespace

TEST_F(PollLoopTest, AttachCapabilityChangeDetachAndConnectionChanges) {
    live.UpdateSettings([](SinkTestSettings& s) { s.logIntervalS = 5; });
    PlugPdCharger();
    Cycle();  // a charger present at connect is handled as an attach
    EXPECT_TRUE(live.sinkActive);
    std::vector<std::string> texts = Logged();
    ASSERT_EQ(texts.size(), 6u);
    EXPECT_EQ(texts[0], "Port detected capabilities:");
    EXPECT_EQ(texts[4], "PD-FIX Voltage:20.00V Max Current:3250mA");
    EXPECT_EQ(texts[5], "PD-PPS Voltage:3.30V-21.00V Max Current:3000mA");
    FakeWindow::Control list = window.Get(IDC_SELECT_PROFILE);
    EXPECT_EQ(list.items,
              (Texts{"PD-FIX 5.00V", "PD-FIX 9.00V", "PD-FIX 15.00V", "PD-FIX 20.00V", "PD-PPS 3.30V-21.00V"}));
    EXPECT_EQ(std::tuple(list.selected, list.enabled), std::tuple(0, true));
    EXPECT_EQ(window.Texts({IDC_SINK_PROFILE_TYPE, IDC_SINK_RATED_CURRENT}), (Texts{"PD-FIX", "3000mA"}));
    EXPECT_EQ(window.Get(IDC_CURRENT_SLIDER).maximum, 3000);
    EXPECT_FALSE(window.Get(IDC_VOLTAGE_SLIDER).enabled) << "a fixed profile takes no voltage";
    EXPECT_EQ(window.Timers(), (std::map<int, uint32_t>{{IDT_READINGS_LOG, 5000}}));

    uint64_t measuredAt = clock.NowMs();
    uint64_t sequence = live.MeasurementSequence();
    Measure(5012, 1000, 998);
    Measurement m = live.LatestMeasurement();
    // One number per measurement, stamped when it was taken (before the cycle's pause).
    EXPECT_EQ(std::tuple(m.sequence, m.takenMs, m.sinkMv), std::tuple(sequence + 1, measuredAt, 5012));
    EXPECT_EQ(window.Texts({IDC_SINK_VBUS, IDC_SINK_CURRENT, IDC_SINK_POWER, IDC_CURRENT_EDIT}),
              (Texts{"5.01 V", "998 mA", "5.00 W", "1000"}));

    events.Notify(4);  // capability changed: re-read without logging the entries again
    Cycle();
    EXPECT_EQ(Logged(6), (Texts{"Port capability changed", "Voltage:5.00V Max Current:3000mA"}));
    EXPECT_FALSE(live.sinkActive);
    Cycle();
    EXPECT_TRUE(live.sinkActive);
    EXPECT_EQ(Logged().size(), 8u);

    live.sinkMah = 12;
    live.sinkMwh = 60;
    live.sourceMah = 3;
    state.status.sinkAttached = 0;
    events.Notify(2);
    Cycle();
    EXPECT_EQ(Logged().back(), "Sink Port detached");
    EXPECT_EQ(Sink(), std::tuple(false, true, " ", true));
    EXPECT_FALSE(window.Get(IDC_SELECT_PROFILE).enabled);
    EXPECT_EQ(window.GetText(IDC_CURRENT_EDIT), "0");
    EXPECT_TRUE(events.sinkDetach.Wait(0));
    EXPECT_EQ(std::tuple(live.sinkMah.load(), live.sinkMwh.load(), live.sourceMah.load()), std::tuple(0, 0, 3));

    PlugPdCharger();
    Cycle();
    ++live.connectionCount;  // reconnected before any disconnected cycle ran
    Cycle();
    EXPECT_TRUE(live.sinkActive);
    texts = Logged();
    ASSERT_EQ(texts.size(), 21u);
    EXPECT_EQ(texts[9], "Port detected capabilities:") << "logged again after a detach";
    EXPECT_EQ(texts[15], "Port detected capabilities:") << "the new tester's ports are read and logged";

    Measure(5000, 500, 500);
    ASSERT_EQ(Sink(), std::tuple(true, false, "5.00 V", false));
    uint64_t before = clock.NowMs();
    events.sinkDetach.Reset();
    live.connected = false;  // the tester went away
    Cycle();
    EXPECT_EQ(Sink(), std::tuple(false, true, " ", true)) << "no stale readings";
    EXPECT_TRUE(events.sinkDetach.Wait(0)) << "a running test learns the tester is gone";
    EXPECT_EQ(clock.NowMs() - before, 100u);
}

TEST_F(PollLoopTest, FailedReadsAreRetriedAndNeverActedOn) {
    PlugPdCharger();
    state.failures[kCmdGetSinkCapabilities] = 1;
    Cycle();
    EXPECT_FALSE(live.sinkActive);
    Cycle();
    EXPECT_TRUE(live.sinkActive);
    EXPECT_TRUE(Logged().empty()) << "already marked as logged after the failed read";

    state.failures[kCmdGetPortStatus] = 2;  // the cycle's own read and the capability-change handler's
    events.Notify(4);
    Cycle();
    EXPECT_TRUE(Logged().empty()) << "nothing stale is logged";
    EXPECT_TRUE(live.sinkActive);
    EXPECT_FALSE(events.port[PortEvents::kSinkCapabilityChanged].IsSet());

    state.loadRequests.clear();
    state.failures[kCmdGetMeasurements] = 1;
    live.requestedLoadMa = 700;
    live.loadCurrentPending = true;
    Cycle();
    EXPECT_EQ(state.loadRequests, (LoadRequests{{700, 200}})) << "a failed measurement still serves requests";

    state.failures[kCmdSetLoadCurrent] = 1;
    live.requestedLoadMa = 0;
    live.loadCurrentPending = true;
    Cycle(3);
    EXPECT_EQ(state.loadRequests, (LoadRequests{{700, 200}, {0, 200}}))
        << "a load the tester refused is asked for again, and once taken no more";
}

TEST_F(PollLoopTest, ProfileChangeAndRangedVoltageControls) {
    PlugPdCharger();
    Cycle();
    PlugPdCharger(9000, 4);  // now on the PPS range at 9 V
    events.Notify(3);
    Cycle();
    EXPECT_EQ(Logged(6), (Texts{"New profile selected", "Voltage:3.30V-21.00V Max Current:3000mA"}));
    EXPECT_EQ(window.GetText(IDC_SINK_PROFILE_TYPE), "PD-PPS");
    FakeWindow::Control slider = window.Get(IDC_VOLTAGE_SLIDER);
    EXPECT_TRUE(slider.enabled);
    EXPECT_EQ(std::tuple(slider.minimum, slider.maximum), std::tuple(3300, 21000));
    EXPECT_EQ(window.Get(IDC_SELECT_PROFILE).selected, 4);
    EXPECT_TRUE(live.profileChanged);

    Measure(9000, 1200, 1195);
    EXPECT_EQ(window.Get(IDC_CURRENT_SLIDER).position, 1200);
    events.Notify(3);
    Cycle();
    EXPECT_EQ(window.Get(IDC_CURRENT_SLIDER).position, 0) << "a new profile starts the slider at 0";
    Cycle();
    EXPECT_EQ(window.Get(IDC_CURRENT_SLIDER).position, 1200) << "...until the tester reports the set point again";
    EXPECT_EQ(window.GetText(IDC_CURRENT_EDIT), "1200");
}

TEST_F(PollLoopTest, VoltageWatchReportsEachEpisodeOnceAndOnlyWhatItJudges) {
    live.UpdateSettings([](SinkTestSettings& s) {
        s.currentLimitMode = 2;  // forced 1000 mA
        s.forcedLimitIndex = 0;
    });
    PlugPdCharger(9000, 1);
    Cycle();
    EXPECT_EQ(live.loadCurrentLimit, 1000);
    size_t before = Logged().size();

    Measure(7000, 2000, 1970);         // 25 mA or more off the set point: not watched
    Measure(7000, 900, 900);           // under the minimum but not above the limit
    Measure(9440, 2000, 2000);         // within 9 V + 5 %
    state.status.sinkProfileType = 0;  // unknown profile: no limits
    Cycle();
    Measure(30000, 2000, 2000);
    state.status.sinkProfileType = 6;
    state.status.sinkProfileIndex = 0;  // negotiated 9 V but the selected fixed entry is the 5 V one
    Measure(7000, 3000, 2980, 2);
    EXPECT_EQ(Logged().size(), before);

    state.status.sinkProfileIndex = 1;
    Measure(7000, 3000, 2980, 4);
    std::vector<std::string> texts = Logged(before);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0], "V=7.000V, I=2980mA Capacity=0mAh,0mWh, Under voltage detected");
    EXPECT_EQ(log.Records().GetRecord(-1)->category, 3);

    Measure(7000, 3000, 2970);  // not watched: the episode goes on
    Measure(7000, 3000, 2980);
    EXPECT_EQ(Logged(before).size(), 1u);
    Measure(9000, 3000, 2990);  // a good watched cycle ends the episode
    Measure(7000, 3000, 2990);
    EXPECT_EQ(Logged(before).size(), 2u);
    Measure(9600, 3000, 2990);
    EXPECT_EQ(Logged().back(), "V=9.600V, I=2990mA, Over voltage detected");
}

TEST_F(PollLoopTest, RequestsReachTheTesterAndNoneRaisedMeanwhileIsLost) {
    PlugPdCharger();
    live.loadChangeSpeedMs = 500;
    Measure(5000, 1500, 1490);  // already drawing 1.5 A when the link opens
    EXPECT_TRUE(state.loadRequests.empty()) << "nothing before the set point is known";
    Cycle(2);
    EXPECT_EQ(state.loadRequests, (LoadRequests{{1500, 500}})) << "the reported set point, once";
    live.requestedLoadMa = 1200;
    live.loadChangeSpeedMs = 50;
    live.loadCurrentPending = true;
    Cycle(2);
    EXPECT_EQ(state.loadRequests, (LoadRequests{{1500, 500}, {1200, 50}})) << "one per raised flag";

    // The user asks again while the tester is still taking the last request.
    state.during = [this](uint8_t cmd) {
        if (cmd == kCmdRequestSinkProfile && state.profileRequests.size() == 1) {
            live.requestedProfileIndex = 2;
            live.profileSelectPending = true;
        } else if (cmd == kCmdRequestSinkProfile && state.profileRequests.size() == 3) {
            live.requestedVoltageMv = 12000;
            live.voltageRequestPending = true;
        }
    };
    live.requestedProfileIndex = 3;
    live.profileSelectPending = true;
    Cycle();
    EXPECT_EQ(window.GetText(IDC_CURRENT_SLIDER_MAX), "3250mA") << "the limit of the requested profile";
    Cycle();
    PlugPdCharger(9000, 4);
    Cycle();
    live.requestedVoltageMv = 11020;
    live.voltageRequestPending = true;
    Cycle(2);
    EXPECT_EQ(state.profileRequests,
              (std::vector<std::pair<uint8_t, uint16_t>>{{3, 20000}, {2, 15000}, {4, 11020}, {4, 12000}}));
    EXPECT_EQ(window.Get(IDC_VOLTAGE_SLIDER).position, 12000);

    live.requestedProfileIndex = -1;  // nothing selected
    live.profileSelectPending = true;
    Cycle();
    EXPECT_EQ(state.profileRequests.size(), 4u) << "no request for a selection that is not listed";
    EXPECT_FALSE(live.profileSelectPending);
}

TEST_F(PollLoopTest, SourcePortEventsSourceOnlyCyclesAndLoopback) {
    state.status = {.sourceAttached = 1,
                    .sourceProfileType = 6,
                    .sourceVoltageMv = 9000,
                    .sourceRatedCurrentMa = 3000,
                    .sourceRequestedCurrentMa = 1200,
                    .selectedSourceType = 1};
    state.names = {1, {"Default", "Fast", "QC", "Apple", "Legacy"}};
    state.m = {33, 0, 9010, 0, 0, 1250};
    Cycle();  // found attached: handled as a source profile change
    EXPECT_TRUE(live.sourceActive);
    EXPECT_EQ(Logged(), (Texts{"Source Profile Changed", "Src Type: Voltage:9.00V Max Current:3000mA"}));
    EXPECT_EQ(window.Texts({IDC_SOURCE_PROFILE_TYPE, IDC_SOURCE_REQUESTED_CURRENT}), (Texts{"PD-FIX 9V", "1200mA"}));
    FakeWindow::Control types = window.Get(IDC_SELECT_SOURCE_TYPE);
    EXPECT_EQ(types.items, (Texts{"1. Default", "2. Fast", "3. QC", "4. Apple", "5. Legacy"}));
    EXPECT_EQ(types.selected, 1);

    events.Notify(7);  // both signalled: the lower event goes first, the other waits
    events.Notify(5);
    uint64_t start = clock.NowMs();
    Cycle();
    EXPECT_EQ(clock.NowMs(), start) << "a source-only cycle measures without sleeping";
    EXPECT_EQ(window.Texts({IDC_SOURCE_VBUS, IDC_SOURCE_CURRENT, IDC_TEMPERATURE}),
              (Texts{"9.01 V", "1250 mA", "33 C"}));
    EXPECT_EQ(Logged().back(), "Source Port Attached");
    EXPECT_TRUE(events.port[PortEvents::kSourceProfileChanged].IsSet());
    Cycle();
    EXPECT_EQ(Logged().back(), "Src Type: Voltage:9.00V Max Current:3000mA");

    state.status.sourceAttached = 0;
    events.Notify(6);
    Cycle();
    EXPECT_EQ(Logged().back(), "Sorce Port detached");
    EXPECT_FALSE(live.sourceActive);
    EXPECT_EQ(window.GetText(IDC_SOURCE_VBUS), " ");

    size_t before = Logged().size();
    live.loopbackRequested = true;
    Cycle();
    EXPECT_EQ(Logged().back(), "Loopback Mode Enabled");
    EXPECT_EQ(state.configWrites, 1);
    EXPECT_EQ(tester.Config().loopbackMode, 1);
    live.loopbackRequested = false;
    Cycle(2);
    EXPECT_EQ(Logged().back(), "Loopback Mode Disabled");
    EXPECT_EQ(state.configWrites, 2) << "the configuration is sent once per switch";
    EXPECT_EQ(Logged().size(), before + 2);

    state.failures[kCmdSetConfigRegister] = 1;  // the loopback register is refused
    live.loopbackRequested = true;
    Cycle();
    EXPECT_EQ(Logged().back(), "The Voltiq did not take the configuration: register 0x00 (loopback mode) failed");
    EXPECT_EQ(log.Records().GetRecord(-1)->category, 3);
    EXPECT_EQ(tester.Config().loopbackMode, 0) << "the cache keeps only what the tester took";
}

TEST(PortEvents, EveryNotificationFrameReachesItsEvent) {
    // 0x20..0x28 without the two traced-message codes, in event order.
    const uint8_t frames[PortEvents::kCount] = {0x20, 0x21, 0x22, 0x23, 0x26, 0x27, 0x28};
    for (int i = 0; i < PortEvents::kCount; ++i) {
        PortEvents events;
        events.Notify(NotificationFor(frames[i]));
        for (int j = 0; j < PortEvents::kCount; ++j)
            EXPECT_EQ(events.port[static_cast<size_t>(j)].IsSet(), i == j) << std::hex << int(frames[i]);
    }
    PortEvents events;
    for (int n : {0, 8, -1, NotificationFor(0x24), NotificationFor(0x25)})
        events.Notify(n);
    for (const Event& e : events.port)
        EXPECT_FALSE(e.IsSet());
}

TEST_F(PollLoopTest, AStopRequestedDuringAnExchangeEndsTheCycleBeforeTheNext) {
    PlugPdCharger();
    loop.RunCycle();
    live.loadCurrentPending = true;
    state.commands.clear();
    state.during = [this](uint8_t cmd) {
        if (cmd == kCmdGetMeasurements) loop.RequestStop();
    };
    loop.RunCycle();
    EXPECT_EQ(state.commands, std::vector<uint8_t>{kCmdGetMeasurements});
}
