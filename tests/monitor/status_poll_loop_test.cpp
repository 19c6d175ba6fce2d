#include <gtest/gtest.h>

#include <mutex>

#include "device/frame.h"
#include "monitor/status_poll_loop.h"
#include "support/fake_window.h"
#include "support/memory_line.h"
#include "ui/main_window_ids.h"

// The poll loop stepped cycle by cycle against a scripted tester whose ports
// the tests set up exactly, with a clock that never sleeps.
namespace {
using Bytes = std::vector<uint8_t>;

void PutU16(Bytes& out, uint16_t v) {
    out.push_back(static_cast<uint8_t>(v & 0xFF));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

uint16_t Descriptor(uint8_t type, uint8_t subtype) {
    return static_cast<uint16_t>(type << 4 | subtype << 8);
}

struct TesterState {
    std::mutex lock;
    PortStatus status;
    SinkCapabilities caps;
    Measurements m;
    SourceTypeNames names;
    bool failCapabilities = false;
    int failStatusReads = 0;  // how many of the next port status reads fail
    // Runs inside each exchange, after the request was recorded: what the
    // program does meanwhile. Must not take the lock.
    std::function<void(uint8_t cmd)> during;
    std::vector<uint8_t> commands;
    std::vector<std::pair<uint16_t, uint16_t>> loadRequests;
    std::vector<std::pair<uint8_t, uint16_t>> profileRequests;
    int configWrites = 0;

    Bytes Answer(uint8_t cmd, std::span<const uint8_t> p) {
        std::lock_guard<std::mutex> held(lock);
        commands.push_back(cmd);
        Bytes out;
        switch (cmd) {
            case kCmdGetPortStatus: {
                if (failStatusReads > 0 && failStatusReads--) return ScriptedTester::Frame(0x55);
                const PortStatus& s = status;
                out = {s.sinkAttached, s.sinkProfileIndex, s.sinkProfileType, s.sinkProfileSubtype};
                PutU16(out, s.sinkVoltageMv);
                PutU16(out, s.sinkProfileCurrentMa);
                out.insert(out.end(),
                           {s.sourceAttached, s.sourceProfileIndex, s.sourceProfileType, s.sourceProfileSubtype});
                PutU16(out, s.sourceVoltageMv);
                PutU16(out, s.sourceRatedCurrentMa);
                PutU16(out, s.sourceRequestedCurrentMa);
                out.push_back(s.selectedSourceType);
                break;
            }
            case kCmdGetSinkCapabilities:
                if (failCapabilities) return ScriptedTester::Frame(0x55);
                out = {caps.count, 0};
                for (size_t i = 0; i < caps.count; ++i) {
                    const SinkCapability& e = caps.entries[i];
                    for (uint16_t v : {e.descriptor, e.minimumMv, e.maximumMv, e.maximumCurrentMa})
                        PutU16(out, v);
                }
                break;
            case kCmdGetMeasurements:
                out = {m.temperatureC};
                for (uint16_t v :
                     {m.sinkVbusMv, m.sourceVbusMv, m.loadSetpointMa, m.sinkCurrentMa, m.sourceCurrentMa}) {
                    PutU16(out, v);
                }
                break;
            case kCmdGetSourceTypeNames:
                out = {names.selectedIndex};
                for (const std::string& n : names.names) {
                    Bytes field(16, 0);
                    std::copy(n.begin(), n.end(), field.begin());
                    out.insert(out.end(), field.begin(), field.end());
                }
                break;
            case kCmdSetLoadCurrent:
                loadRequests.emplace_back(ReadU16(p.data()), ReadU16(p.data() + 2));
                break;
            case kCmdRequestSinkProfile:
                profileRequests.emplace_back(p[0], ReadU16(p.data() + 1));
                break;
            case kCmdSetConfigRegister:
                if (p[0] == 0x00) ++configWrites;
                break;
            default:
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
        log.AttachPane(&window, IDC_LOG_PANE, IDC_LOG_SCROLL);
        live.connected = true;
        ++live.connectionCount;
    }

    // A 65 W charger: 5/9/15/20 V fixed and a 3.3-21 V PPS range.
    void PlugPdCharger(uint16_t voltageMv = 5000, uint8_t index = 0) {
        std::lock_guard<std::mutex> held(state.lock);
        state.caps.count = 5;
        state.caps.entries[0] = {Descriptor(6, 0), 5000, 5000, 3000};
        state.caps.entries[1] = {Descriptor(6, 0), 9000, 9000, 3000};
        state.caps.entries[2] = {Descriptor(6, 0), 15000, 15000, 3000};
        state.caps.entries[3] = {Descriptor(6, 0), 20000, 20000, 3250};
        state.caps.entries[4] = {Descriptor(6, 3), 3300, 21000, 3000};
        state.status.sinkAttached = 1;
        state.status.sinkProfileIndex = index;
        state.status.sinkProfileType = 6;
        state.status.sinkProfileSubtype = index == 4 ? 3 : 0;
        state.status.sinkVoltageMv = voltageMv;
        state.status.sinkProfileCurrentMa = state.caps.entries[index].maximumCurrentMa;
        state.m = {31, voltageMv, 0, 0, 0, 0};
    }

    void Unplug() {
        std::lock_guard<std::mutex> held(state.lock);
        state.status.sinkAttached = 0;
        state.caps.count = 0;
    }

    void Notify(int n) { events.Notify(n); }

    std::vector<std::string> LogTexts(int from = 0) {
        std::vector<std::string> texts;
        for (int i = from; i < log.Records().RecordCount(); ++i)
            texts.push_back(log.Records().GetRecord(i)->text);
        return texts;
    }

    void SetMeasurement(uint16_t sinkMv, uint16_t setpointMa, uint16_t sinkMa) {
        std::lock_guard<std::mutex> held(state.lock);
        state.m.sinkVbusMv = sinkMv;
        state.m.loadSetpointMa = setpointMa;
        state.m.sinkCurrentMa = sinkMa;
    }

    TesterState state;
    MemoryLine line;
    FastClock clock;
    TesterConnection tester{line.Factory(), clock};
    LiveState live;
    EventLog log;
    FakeWindow window;
    PortEvents events;
    StatusPollLoop loop{tester, live, log, window, events, clock};
};
}  // namespace

TEST_F(PollLoopTest, AChargerPresentAtConnectIsHandledAsAnAttach) {
    PlugPdCharger();
    loop.RunCycle();
    EXPECT_TRUE(live.sinkActive);
    EXPECT_EQ(LogTexts(), (std::vector<std::string>{
                              "Port detected capabilities:",
                              "PD-FIX Voltage:5.00V Max Current:3000mA",
                              "PD-FIX Voltage:9.00V Max Current:3000mA",
                              "PD-FIX Voltage:15.00V Max Current:3000mA",
                              "PD-FIX Voltage:20.00V Max Current:3250mA",
                              "PD-PPS Voltage:3.30V-21.00V Max Current:3000mA",
                          }));
    FakeWindow::Control list = window.Get(IDC_SELECT_PROFILE);
    EXPECT_EQ(list.items, (std::vector<std::string>{"PD-FIX 5.00V", "PD-FIX 9.00V", "PD-FIX 15.00V", "PD-FIX 20.00V",
                                                    "PD-PPS 3.30V-21.00V"}));
    EXPECT_EQ(list.selected, 0);
    EXPECT_TRUE(list.enabled);
    EXPECT_EQ(window.GetText(IDC_SINK_PROFILE_TYPE), "PD-FIX");
    EXPECT_EQ(window.GetText(IDC_SINK_RATED_CURRENT), "3000mA");
    EXPECT_EQ(window.GetText(IDC_CURRENT_SLIDER_MAX), "3000mA");
    EXPECT_EQ(window.Get(IDC_CURRENT_SLIDER).maximum, 3000);
    EXPECT_FALSE(window.Get(IDC_VOLTAGE_SLIDER).enabled) << "a fixed profile takes no voltage";

    SetMeasurement(5012, 1000, 998);
    loop.RunCycle();
    EXPECT_EQ(window.GetText(IDC_SINK_VBUS), "5.01 V");
    EXPECT_EQ(window.GetText(IDC_SINK_CURRENT), "998 mA");
    EXPECT_EQ(window.GetText(IDC_SINK_POWER), "5.00 W");
    EXPECT_EQ(window.GetText(IDC_TEMPERATURE), "31 C");
    EXPECT_EQ(window.GetText(IDC_CURRENT_EDIT), "1000");
    EXPECT_EQ(window.GetText(IDC_SINK_CAPACITY), "0\r\n0");
    EXPECT_EQ(LogTexts().size(), 6u) << "capabilities are logged once";
}

TEST_F(PollLoopTest, CapabilitiesAreLoggedAgainOnlyAfterADetach) {
    PlugPdCharger();
    loop.RunCycle();
    size_t logged = LogTexts().size();

    Notify(4);  // capability changed: re-read without logging the entries again
    loop.RunCycle();
    EXPECT_EQ(LogTexts(static_cast<int>(logged)),
              (std::vector<std::string>{"Port capability changed", "Voltage:5.00V Max Current:3000mA"}));
    EXPECT_FALSE(live.sinkActive);
    loop.RunCycle();
    EXPECT_TRUE(live.sinkActive);
    EXPECT_EQ(LogTexts().size(), logged + 2);

    Unplug();
    Notify(2);
    loop.RunCycle();
    EXPECT_EQ(LogTexts().back(), "Sink Port detached");
    EXPECT_FALSE(live.sinkActive);
    EXPECT_TRUE(window.Get(IDC_SELECT_PROFILE).items.empty());
    EXPECT_FALSE(window.Get(IDC_SELECT_PROFILE).enabled);
    EXPECT_EQ(window.GetText(IDC_SINK_VBUS), " ");
    EXPECT_EQ(window.GetText(IDC_SINK_PROFILE_TYPE), "");
    EXPECT_EQ(window.GetText(IDC_CURRENT_EDIT), "0");
    EXPECT_TRUE(events.sinkDetach.Wait(0));

    PlugPdCharger();
    loop.RunCycle();
    EXPECT_EQ(LogTexts()[logged + 3], "Port detected capabilities:");
}

TEST_F(PollLoopTest, ANewConnectionIsReadAfresh) {
    PlugPdCharger();
    loop.RunCycle();
    ASSERT_EQ(LogTexts()[0], "Port detected capabilities:");
    ++live.connectionCount;  // reconnected before any disconnected cycle ran
    loop.RunCycle();
    EXPECT_TRUE(live.sinkActive);
    EXPECT_EQ(LogTexts()[6], "Port detected capabilities:") << "the new tester's ports are read and logged";
}

TEST_F(PollLoopTest, AFailedCapabilityReadIsRetriedQuietly) {
    PlugPdCharger();
    state.failCapabilities = true;
    loop.RunCycle();
    EXPECT_FALSE(live.sinkActive);
    EXPECT_TRUE(LogTexts().empty());
    state.failCapabilities = false;
    loop.RunCycle();
    EXPECT_TRUE(live.sinkActive);
    EXPECT_EQ(LogTexts().size(), 0u) << "already marked as logged after the failed read";
}

TEST_F(PollLoopTest, ProfileChangeAndRangedVoltageControls) {
    PlugPdCharger();
    loop.RunCycle();
    PlugPdCharger(9000, 4);  // now on the PPS range at 9 V
    Notify(3);
    loop.RunCycle();
    std::vector<std::string> texts = LogTexts();
    ASSERT_GE(texts.size(), 2u);
    EXPECT_EQ(texts[texts.size() - 2], "New profile selected");
    EXPECT_EQ(texts.back(), "Voltage:3.30V-21.00V Max Current:3000mA");
    EXPECT_EQ(window.GetText(IDC_SINK_PROFILE_TYPE), "PD-PPS");
    FakeWindow::Control slider = window.Get(IDC_VOLTAGE_SLIDER);
    EXPECT_TRUE(slider.enabled);
    EXPECT_EQ(slider.minimum, 3300);
    EXPECT_EQ(slider.maximum, 21000);
    EXPECT_EQ(slider.lineSize, 88);
    EXPECT_TRUE(window.Get(IDC_VOLTAGE_SET).enabled);
    EXPECT_EQ(window.Get(IDC_SELECT_PROFILE).selected, 4);
    EXPECT_TRUE(live.profileChanged);

    SetMeasurement(9000, 1200, 1195);
    loop.RunCycle();
    EXPECT_EQ(window.Get(IDC_CURRENT_SLIDER).position, 1200);
    Notify(3);
    loop.RunCycle();
    EXPECT_EQ(window.Get(IDC_CURRENT_SLIDER).position, 0) << "a new profile starts the slider at 0";
    loop.RunCycle();
    EXPECT_EQ(window.Get(IDC_CURRENT_SLIDER).position, 1200) << "...until the tester reports the set point again";
    EXPECT_EQ(window.GetText(IDC_CURRENT_EDIT), "1200");
}

TEST_F(PollLoopTest, VoltageWatchReportsEachEpisodeOnce) {
    live.UpdateSettings([](SinkTestSettings& s) {
        s.currentLimitMode = 2;  // forced 1000 mA: the load runs above the limit
        s.forcedLimitIndex = 0;
    });
    PlugPdCharger(9000, 1);
    loop.RunCycle();
    size_t before = LogTexts().size();
    EXPECT_EQ(live.loadCurrentLimit, 1000);

    SetMeasurement(7000, 3000, 2980);  // far below 9 V x 0.95 - 0.75
    loop.RunCycle();
    loop.RunCycle();
    loop.RunCycle();
    std::vector<std::string> texts = LogTexts(static_cast<int>(before));
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0], "V=7.000V, I=2980mA Capacity=0mAh,0mWh, Under voltage detected");
    EXPECT_EQ(log.Records().GetRecord(-1)->category, 3);

    SetMeasurement(7000, 3000, 2970);  // 30 mA off the set point: not watched, episode goes on
    loop.RunCycle();
    SetMeasurement(7000, 3000, 2980);
    loop.RunCycle();
    EXPECT_EQ(LogTexts(static_cast<int>(before)).size(), 1u);

    SetMeasurement(9000, 3000, 2990);  // a good watched cycle ends the episode
    loop.RunCycle();
    SetMeasurement(7000, 3000, 2990);
    loop.RunCycle();
    EXPECT_EQ(LogTexts(static_cast<int>(before)).size(), 2u);

    SetMeasurement(9600, 3000, 2990);
    loop.RunCycle();
    EXPECT_EQ(LogTexts().back(), "V=9.600V, I=2990mA, Over voltage detected");
}

TEST_F(PollLoopTest, VoltageWatchQuietCases) {
    PlugPdCharger(9000, 1);
    loop.RunCycle();
    size_t before = LogTexts().size();
    SetMeasurement(7000, 2000, 1970);  // 30 mA off the set point
    loop.RunCycle();
    SetMeasurement(7000, 2000, 2000);  // under the minimum but at or below the 3000 mA limit
    loop.RunCycle();
    SetMeasurement(9440, 2000, 2000);  // within 9 V + 5 %
    loop.RunCycle();
    EXPECT_EQ(LogTexts().size(), before);
    {
        std::lock_guard<std::mutex> held(state.lock);
        state.status.sinkProfileType = 0;  // unknown profile: no limits, nothing judged
        state.status.sinkProfileSubtype = 0;
    }
    loop.RunCycle();
    SetMeasurement(30000, 2000, 2000);
    loop.RunCycle();
    EXPECT_EQ(LogTexts().size(), before);
    {
        // Negotiated 9 V but the selected fixed entry is the 5 V one: not judged.
        std::lock_guard<std::mutex> held(state.lock);
        state.status.sinkProfileType = 6;
        state.status.sinkProfileIndex = 0;
    }
    loop.RunCycle();
    SetMeasurement(7000, 2000, 2000);
    live.loadCurrentLimit = 1000;  // the load runs above the limit: otherwise an under-voltage
    loop.RunCycle();
    EXPECT_EQ(LogTexts().size(), before);
}

TEST_F(PollLoopTest, RequestsReachTheTesterAndNoneRaisedMeanwhileIsLost) {
    PlugPdCharger();
    loop.RunCycle();
    live.requestedLoadMa = 1500;
    live.loadChangeSpeedMs = 50;
    live.loadCurrentPending = true;
    loop.RunCycle();
    loop.RunCycle();
    EXPECT_EQ(state.loadRequests, (std::vector<std::pair<uint16_t, uint16_t>>{{1500, 50}})) << "one per raised flag";

    // The user asks again while the tester is still taking the last request.
    state.during = [this](uint8_t cmd) {
        if (cmd == kCmdRequestSinkProfile && state.profileRequests.size() == 1) {
            window.SelectItem(IDC_SELECT_PROFILE, 2);
            live.profileSelectPending = true;
        } else if (cmd == kCmdRequestSinkProfile && state.profileRequests.size() == 3) {
            live.requestedVoltageMv = 12000;
            live.voltageRequestPending = true;
        }
    };
    window.SelectItem(IDC_SELECT_PROFILE, 3);
    live.profileSelectPending = true;
    loop.RunCycle();
    EXPECT_EQ(window.GetText(IDC_CURRENT_SLIDER_MAX), "3250mA") << "the limit of the requested profile";
    loop.RunCycle();
    PlugPdCharger(9000, 4);
    loop.RunCycle();
    live.requestedVoltageMv = 11020;
    live.voltageRequestPending = true;
    loop.RunCycle();
    loop.RunCycle();
    EXPECT_EQ(state.profileRequests,
              (std::vector<std::pair<uint8_t, uint16_t>>{{3, 20000}, {2, 15000}, {4, 11020}, {4, 12000}}));
    EXPECT_EQ(window.Get(IDC_VOLTAGE_SLIDER).position, 12000);

    window.ClearItems(IDC_SELECT_PROFILE);  // nothing selected
    live.profileSelectPending = true;
    loop.RunCycle();
    EXPECT_EQ(state.profileRequests.size(), 4u) << "no request for a selection that is not listed";
    EXPECT_FALSE(live.profileSelectPending);
}

TEST_F(PollLoopTest, LoopbackSwitchSendsTheConfigurationOnce) {
    window.SetCheck(IDC_LOOPBACK, true);
    loop.RunCycle();
    EXPECT_EQ(LogTexts().back(), "Loopback Mode Enabled");
    EXPECT_EQ(state.configWrites, 1);
    EXPECT_EQ(tester.Config().loopbackMode, 1);
    window.SetCheck(IDC_LOOPBACK, false);
    loop.RunCycle();
    loop.RunCycle();
    EXPECT_EQ(LogTexts().back(), "Loopback Mode Disabled");
    EXPECT_EQ(state.configWrites, 2);
    EXPECT_EQ(LogTexts().size(), 2u);
}

TEST_F(PollLoopTest, SourcePortEvents) {
    {
        std::lock_guard<std::mutex> held(state.lock);
        state.status.sourceAttached = 1;
        state.status.sourceProfileType = 6;
        state.status.sourceVoltageMv = 9000;
        state.status.sourceRatedCurrentMa = 3000;
        state.status.sourceRequestedCurrentMa = 1200;
        state.status.selectedSourceType = 1;
        state.names = {1, {"Default", "Fast", "QC", "Apple", "Legacy"}};
    }
    loop.RunCycle();  // found attached: handled as a source profile change
    EXPECT_TRUE(live.sourceActive);
    EXPECT_EQ(LogTexts(),
              (std::vector<std::string>{"Source Profile Changed", "Src Type: Voltage:9.00V Max Current:3000mA"}));
    EXPECT_EQ(window.GetText(IDC_SOURCE_PROFILE_TYPE), "PD-FIX 9V");
    EXPECT_EQ(window.GetText(IDC_SOURCE_REQUESTED_CURRENT), "1200mA");
    FakeWindow::Control types = window.Get(IDC_SELECT_SOURCE_TYPE);
    EXPECT_EQ(types.items, (std::vector<std::string>{"1. Default", "2. Fast", "3. QC", "4. Apple", "5. Legacy"}));
    EXPECT_EQ(types.selected, 1);

    Notify(7);  // both signalled: the lower event goes first, the other waits
    Notify(5);
    loop.RunCycle();
    EXPECT_EQ(LogTexts().back(), "Source Port Attached");
    EXPECT_TRUE(events.port[PortEvents::kSourceProfileChanged].IsSet());
    loop.RunCycle();
    EXPECT_EQ(LogTexts().back(), "Src Type: Voltage:9.00V Max Current:3000mA");

    Notify(6);
    loop.RunCycle();
    EXPECT_EQ(LogTexts().back(), "Sorce Port detached");
    EXPECT_FALSE(live.sourceActive);
    EXPECT_EQ(window.GetText(IDC_SOURCE_VBUS), " ");
    EXPECT_EQ(window.GetText(IDC_SOURCE_PROFILE_TYPE), "");
}

TEST_F(PollLoopTest, DisconnectedLoopIdlesAndForgetsThePorts) {
    PlugPdCharger();
    loop.RunCycle();
    SetMeasurement(5000, 500, 500);
    loop.RunCycle();
    ASSERT_EQ(window.GetText(IDC_SINK_VBUS), "5.00 V");
    uint64_t before = clock.NowMs();
    live.connected = false;  // the tester went away
    loop.RunCycle();
    EXPECT_FALSE(live.sinkActive);
    EXPECT_EQ(window.GetText(IDC_SINK_VBUS), " ") << "no stale readings";
    EXPECT_TRUE(window.Get(IDC_SELECT_PROFILE).items.empty());
    EXPECT_EQ(clock.NowMs() - before, 100u);
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

TEST_F(PollLoopTest, ANewTesterGetsBackTheLoadItReportedOnce) {
    PlugPdCharger();
    SetMeasurement(5000, 1500, 1490);  // already drawing 1.5 A when the link opens
    live.loadChangeSpeedMs = 500;
    loop.RunCycle();
    EXPECT_TRUE(state.loadRequests.empty()) << "nothing before the set point is known";
    loop.RunCycle();
    loop.RunCycle();
    EXPECT_EQ(state.loadRequests, (std::vector<std::pair<uint16_t, uint16_t>>{{1500, 500}}));
}

TEST_F(PollLoopTest, AFailedMeasurementStillServesRequests) {
    PlugPdCharger();
    loop.RunCycle();
    line.tester.SetHandler([this](uint8_t cmd, std::span<const uint8_t> p) {
        return cmd == kCmdGetMeasurements ? ScriptedTester::Frame(0x55) : state.Answer(cmd, p);  // wrong CMD
    });
    live.requestedLoadMa = 700;
    live.loadCurrentPending = true;
    loop.RunCycle();
    EXPECT_EQ(state.loadRequests, (std::vector<std::pair<uint16_t, uint16_t>>{{700, 200}}));
}

TEST_F(PollLoopTest, AFailedStatusSkipsTheCapabilityChangeHandler) {
    PlugPdCharger();
    loop.RunCycle();
    size_t before = LogTexts().size();
    state.failStatusReads = 2;  // the cycle's own read and the handler's
    Notify(4);
    loop.RunCycle();
    EXPECT_EQ(LogTexts().size(), before) << "nothing stale is logged";
    EXPECT_TRUE(live.sinkActive);
    EXPECT_FALSE(events.port[PortEvents::kSinkCapabilityChanged].IsSet());
}

TEST_F(PollLoopTest, ReadingsTimerRunsOnlyWhileASinkIsAttachedToAConnectedTester) {
    live.UpdateSettings([](SinkTestSettings& s) { s.logIntervalS = 5; });
    PlugPdCharger();
    loop.RunCycle();
    EXPECT_EQ(window.Timers(), (std::map<int, uint32_t>{{IDT_READINGS_LOG, 5000}}));
    live.sinkMah = 12;
    live.sinkMwh = 60;
    live.sourceMah = 3;

    Unplug();
    Notify(2);
    loop.RunCycle();
    EXPECT_TRUE(window.Timers().empty());
    EXPECT_EQ(live.sinkMah, 0);
    EXPECT_EQ(live.sinkMwh, 0);
    EXPECT_EQ(live.sourceMah, 3);

    PlugPdCharger();
    loop.RunCycle();
    ASSERT_FALSE(window.Timers().empty());
    live.connected = false;  // the tester was unplugged
    loop.RunCycle();
    EXPECT_TRUE(window.Timers().empty());
}

TEST_F(PollLoopTest, SourceOnlyCyclesMeasureWithoutSleeping) {
    {
        std::lock_guard<std::mutex> held(state.lock);
        state.m = {33, 0, 9010, 0, 0, 1250};
    }
    loop.RunCycle();  // the tester's first cycle: nothing attached
    live.sourceActive = true;
    uint64_t start = clock.NowMs();
    loop.RunCycle();
    EXPECT_EQ(window.GetText(IDC_SOURCE_VBUS), "9.01 V");
    EXPECT_EQ(window.GetText(IDC_SOURCE_CURRENT), "1250 mA");
    EXPECT_EQ(window.GetText(IDC_TEMPERATURE), "33 C");
    EXPECT_EQ(clock.NowMs(), start);
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
