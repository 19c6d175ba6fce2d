#include <gtest/gtest.h>

#include <thread>

#include "app/main_window.h"
#include "device/frame.h"
#include "monitor/profile_type.h"
#include "support/fake_ports.h"
#include "support/fake_window.h"
#include "support/memory_line.h"
#include "ui/main_window_ids.h"
#include "ui/log_pane.h"

namespace {

class FakeShell : public MainWindowShell {
public:
    void Exit() override { calls += "exit "; }
    void ShowAbout() override { calls += "about "; }
    void OpenUserGuide() override { calls += "guide "; }
    void PostReconnect() override { calls += "reconnect "; }
    void PostModelChanged() override { ++modelPosts; }
    void ShowGraphWindow() override { calls += "graphs "; }
    void OpenTracer() override { calls += "tracer "; }
    std::optional<bool> ResumeTracing() override {
        calls += "resume-tracing ";
        return tracerResumes;
    }
    void OpenTestConfiguration() override { calls += "configure "; }
    void OpenSourceTypes() override { calls += "source "; }
    void OpenCalibration() override { calls += "calibration "; }
    std::string calls;
    std::atomic<int> modelPosts{0};
    std::optional<bool> tracerResumes;  // nothing: no tracer open
};

using Bytes = std::vector<uint8_t>;
const Bytes kSinkBack = BuildFrame(kCmdSetPortConnection, Bytes{1, 1});
const Bytes kSourceBack = BuildFrame(kCmdSetPortConnection, Bytes{0, 1});

// The rules against a scripted tester that acknowledges everything, every
// register reading 0.
class MainWindowRules : public ::testing::Test {
protected:
    MainWindowRules() {
        line.tester.SetHandler([](uint8_t cmd, std::span<const uint8_t>) {
            return ScriptedTester::Frame(cmd, {0, 0, 0, 0});
        });
    }
    ~MainWindowRules() override { rules.StopPolling(); }

    std::vector<Bytes> Sent(uint8_t cmd) const {
        std::vector<Bytes> sent;
        for (const Bytes& request : line.tester.Requests()) {
            if (request[2] == cmd) sent.push_back(request);
        }
        return sent;
    }

    // A negotiated profile whose active entry spans 3.3 V to 11 V.
    void Negotiate(uint32_t type, uint8_t subtype) {
        live.sinkProfileType = type;
        live.sinkProfileSubtype = subtype;
        live.sinkProfileIndex = 0;
        std::lock_guard<std::mutex> held(live.capsLock);
        live.sinkCaps.count = 1;
        live.sinkCaps.entries[0] = {static_cast<uint16_t>(type << 4 | subtype << 8), 3300, 11000, 3000};
    }

    MemoryLine line;
    FastClock clock;
    TesterConnection tester{line.Factory(), clock};
    LiveState live;
    EventLog log;
    LogPane pane{log};
    FakeWindow window;
    FakePorts ports;
    PortEvents events;
    FakeShell shell;
    StatusPollLoop poll{tester, live, log, events, clock};
    TesterDiscovery discovery{{window, window, tester, live, log, ports, clock, [](int) {}, [] {}}};
    MainWindow rules{{window, window, tester, live, log, pane, discovery, poll, shell, clock}};
};

}  // namespace

TEST_F(MainWindowRules, InitialisationBlanksReadoutsAndSelectsAKnownLoadChangeSpeed) {
    live.loadChangeSpeedMs = 300;  // not one of the list's
    rules.Initialize();
    EXPECT_EQ(window.Texts({IDC_SINK_VBUS, IDC_CURRENT_EDIT}), (std::vector<std::string>{" ", "0"}));
    FakeWindow::Control speeds = window.Get(IDC_LOAD_CHANGE_SPEED);
    EXPECT_EQ(std::tuple(speeds.items.size(), speeds.selected, live.loadChangeSpeedMs.load()), std::tuple(7u, 4, 200));
}

TEST_F(MainWindowRules, AWindowClosedDuringAStartupMessageIsNotInitialisedFurther) {
    // The close box, handled by the message box's own loop, ends the window.
    window.WhileMessageShown([this] { rules.StopPolling(); });
    rules.Initialize();
    ASSERT_EQ(window.Messages().size(), 1u);
    EXPECT_TRUE(window.Get(IDC_LOAD_CHANGE_SPEED).items.empty());
    EXPECT_EQ(window.Get(IDC_CURRENT_EDIT).text, "");
}

TEST_F(MainWindowRules, VoltageSetRoundsToTheProfileGridAndRefusesWhatIsOutside) {
    struct Case {
        uint32_t type;
        uint8_t subtype;
        const char* typed;
        const char* shown;
        int requestedMv;  // 0: no request
    } cases[] = {
        {kProfilePd, kSubtypeFixed, "9011", "9011", 0},  // a fixed profile takes no voltage
        {kProfilePd, kSubtypePps, "5019", "5000", 5000},    {kProfileQc, 2, "9199", "9000", 9000},
        {kProfilePd, kSubtypePps, "123456", "12340", 0},  // five digits read, 12345 on the grid, outside
        {kProfilePd, kSubtypePps, "3300", "3300", 3300},  // both ends are inside
        {kProfilePd, kSubtypePps, "11000", "11000", 11000}, {kProfilePd, kSubtypePps, "3280", "3280", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        Negotiate(c.type, c.subtype);
        live.voltageRequestPending = false;
        window.SetText(IDC_VOLTAGE_EDIT, c.typed);
        rules.OnCommand(IDC_VOLTAGE_SET, 0);
        EXPECT_EQ(window.Get(IDC_VOLTAGE_EDIT).text, c.shown);
        EXPECT_EQ(live.voltageRequestPending, c.requestedMv != 0);
        if (c.requestedMv != 0) {
            EXPECT_EQ(live.requestedVoltageMv, c.requestedMv);
        }
    }
    ASSERT_EQ(window.Messages().size(), 2u);
    EXPECT_EQ(window.Messages()[1].text, "Please enter a number between 3300-11000");
    EXPECT_EQ(window.Messages()[1].title, "Ampwright: Error");
}

TEST_F(MainWindowRules, CurrentSetAndSlidersRequestOnlyWhenTheDragEnds) {
    Negotiate(kProfilePd, kSubtypePps);
    live.loadCurrentPending = false;
    window.SetText(IDC_CURRENT_EDIT, "123456");
    rules.OnCommand(IDC_CURRENT_SET, 0);
    EXPECT_EQ(std::tuple(window.GetText(IDC_CURRENT_EDIT), window.Get(IDC_CURRENT_SLIDER).position,
                         live.requestedLoadMa.load(), live.loadCurrentPending.load()),
              std::tuple("1234", 1234, 1234, true));

    live.loadCurrentPending = false;
    rules.OnSlider(IDC_CURRENT_SLIDER, true, 1111);
    EXPECT_EQ(std::tuple(window.GetText(IDC_CURRENT_EDIT), live.loadCurrentPending.load()), std::tuple("1111", false));
    window.SetPosition(IDC_CURRENT_SLIDER, 1500);
    rules.OnSlider(IDC_CURRENT_SLIDER, false, 0);
    EXPECT_EQ(std::tuple(live.requestedLoadMa.load(), live.loadCurrentPending.load()), std::tuple(1500, true));

    rules.OnSlider(IDC_VOLTAGE_SLIDER, true, 7311);
    EXPECT_EQ(std::tuple(window.GetText(IDC_VOLTAGE_EDIT), live.voltageRequestPending.load()),
              std::tuple("7300", false));
    window.SetPosition(IDC_VOLTAGE_SLIDER, 7311);
    rules.OnSlider(IDC_VOLTAGE_SLIDER, false, 0);
    EXPECT_EQ(std::tuple(live.requestedVoltageMv.load(), live.voltageRequestPending.load()), std::tuple(7300, true));
}

// Every selection of the tester gives back the ports the user disconnected,
// and has an open tracer trace the newly connected tester; the log says how
// that went.
TEST_F(MainWindowRules, EverySelectionGivesBackTheDisconnectedPortsAndResumesAnOpenTracer) {
    ports.listings = {kTester7};
    discovery.ScanTesters();
    rules.OnCommand(IDC_SINK_DISCONNECT, 0);
    rules.OnCommand(IDC_SINK_DISCONNECT, 0);  // connected again by the user: nothing to give back
    auto lastLogged = [this] { return log.Records().GetRecord(log.Records().RecordCount() - 1)->text; };
    struct Case {
        std::vector<int> buttons;
        std::vector<Bytes> sent;
        std::optional<bool> tracerResumes;  // nothing: no tracer open
        const char* logged;
    };
    const Case cases[] = {
        {{IDC_SINK_DISCONNECT}, {kSinkBack}, std::nullopt, "Device ID: "},
        {{IDC_SOURCE_DISCONNECT}, {kSourceBack}, true, "PD tracing resumed on the selected device"},
        {{IDC_SOURCE_DISCONNECT, IDC_SINK_DISCONNECT},
         {kSinkBack, kSourceBack},
         false,
         "Unable to resume PD tracing on the selected device"},
        {{}, {}, std::nullopt, "Device ID: "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.logged);
        for (int id : c.buttons)
            rules.OnCommand(id, 0);
        for (int id : c.buttons)
            EXPECT_EQ(window.Get(id).text, "Connect USB-C");
        line.tester.ClearRequests();
        shell.tracerResumes = c.tracerResumes;
        shell.calls.clear();
        rules.OnCommand(IDC_DEVICE_LIST, ControlNotification::kSelectionChosen);
        EXPECT_EQ(Sent(kCmdSetPortConnection), c.sent);
        EXPECT_EQ(window.Texts({IDC_SINK_DISCONNECT, IDC_SOURCE_DISCONNECT}),
                  (std::vector<std::string>{"Disconnect USB-C", "Disconnect USB-C"}));
        EXPECT_EQ(shell.calls, "resume-tracing ");
        EXPECT_TRUE(lastLogged().starts_with(c.logged)) << lastLogged();
    }
}

TEST_F(MainWindowRules, ARepluggedTesterIsConnectedLaterFromTheQueueLikeAChosenOne) {
    ports.listings = {kTester7};
    discovery.ScanTesters();
    rules.OnCommand(IDC_SOURCE_DISCONNECT, 0);
    ports.listings = {};
    rules.OnDeviceChange(TesterDiscovery::RescanReason::Removal);
    ASSERT_FALSE(live.connected);

    ports.listings = {kTester7};
    line.tester.ClearRequests();
    rules.OnDeviceChange(TesterDiscovery::RescanReason::Arrival);
    EXPECT_EQ(shell.calls, "reconnect ");
    shell.calls.clear();
    EXPECT_TRUE(line.tester.Requests().empty()) << "nothing is sent from inside the broadcast";
    EXPECT_FALSE(live.connected);

    rules.OnReconnect();
    EXPECT_TRUE(live.connected);
    EXPECT_EQ(shell.calls, "resume-tracing ");
    EXPECT_EQ(Sent(kCmdSetPortConnection), std::vector<Bytes>{kSourceBack});
    EXPECT_EQ(window.Get(IDC_SOURCE_DISCONNECT).text, "Disconnect USB-C");
    line.tester.ClearRequests();
    rules.OnReconnect();
    EXPECT_TRUE(line.tester.Requests().empty()) << "already connected";
}

TEST_F(MainWindowRules, SelectionsTakeEffectOnlyWhenConfirmed) {
    ports.listings = {kTester7};
    discovery.ScanTesters();  // lists the tester's five source types
    window.SelectItem(IDC_SELECT_SOURCE_TYPE, 2);
    line.tester.ClearRequests();
    rules.OnCommand(IDC_SELECT_SOURCE_TYPE, 1);  // a selection change alone sends nothing
    rules.OnCommand(IDC_SELECT_SOURCE_TYPE, ControlNotification::kSelectionChosen);
    EXPECT_EQ(Sent(kCmdSelectSourceType), std::vector<Bytes>{BuildFrame(kCmdSelectSourceType, Bytes{2})});

    window.AddItem(IDC_SELECT_PROFILE, "PD-FIX 5.00V");
    window.AddItem(IDC_SELECT_PROFILE, "PD-FIX 9.00V");
    window.SelectItem(IDC_SELECT_PROFILE, 1);
    rules.OnCommand(IDC_SELECT_PROFILE, 1);
    EXPECT_FALSE(live.profileSelectPending);
    rules.OnCommand(IDC_SELECT_PROFILE, ControlNotification::kSelectionChosen);
    EXPECT_TRUE(live.profileSelectPending);
    EXPECT_EQ(live.requestedProfileIndex, 1) << "the poll loop is handed the choice, never reads the list";

    window.SetCheck(IDC_LOOPBACK, true);
    rules.OnCommand(IDC_LOOPBACK, 0);
    EXPECT_TRUE(live.loopbackRequested);
}

// Other threads change the model and log; the window hears of it through
// one posted wake-up however many changes there were, and then shows them
// on its own thread.
TEST_F(MainWindowRules, ChangesFromOtherThreadsWakeTheWindowOnceAndAreShownOnItsThread) {
    pane.Attach(&window, IDC_LOG_PANE, IDC_LOG_SCROLL);
    rules.Initialize();
    window.OwnedByThisThread();
    int before = shell.modelPosts;
    int repaints = window.Get(IDC_LOG_PANE).repaints;
    std::thread poll([this] {
        for (uint16_t mv = 5000; mv <= 9000; mv += 10) {
            Measurements answer;
            answer.sinkVbusMv = mv;
            Measurement m = live.PublishMeasurement(answer, clock.NowMs());
            live.UpdateReadouts([&m](Readouts& r) { r.sinkReadings.Set(m); });
        }
        log.LogEvent("Sink Port detached", 4);
    });
    poll.join();
    EXPECT_EQ(shell.modelPosts - before, 1);
    rules.OnModelChanged();
    EXPECT_EQ(window.GetText(IDC_SINK_VBUS), "9.00 V");
    EXPECT_EQ(window.Get(IDC_LOG_PANE).repaints, repaints + 1) << "the new record is painted";
    live.UpdateReadouts([](Readouts& r) { r.sinkReadings.Set(std::nullopt); });
    EXPECT_EQ(shell.modelPosts - before, 2) << "a change after the window took its wake-up posts again";
    rules.OnModelChanged();
    EXPECT_EQ(window.GetText(IDC_SINK_VBUS), " ");
    rules.StopPolling();
    EXPECT_EQ(window.ForeignThreadCalls(), 0);
}

// Without graphics the window is never initialised; Exit, About and Help must
// still work, and nothing may touch the tester. The windows that need a
// tester are refused without one; Graphs and Tests opens without.
TEST_F(MainWindowRules, TheCommandTableWorksWithoutInitialisationAndRefusesWhatNeedsATester) {
    for (int id : {IDC_ABOUT, IDC_HELP, IDC_EXIT, IDC_MESSAGE_TRACER, IDC_CONFIGURE, IDC_CONFIG_SRC, IDC_CALIBRATION,
                   IDC_GRAPHS})
        rules.OnCommand(id, 0);
    EXPECT_EQ(shell.calls, "about guide exit graphs ");
    EXPECT_TRUE(line.tester.Requests().empty());
    ASSERT_EQ(window.Messages().size(), 4u);
    EXPECT_EQ(window.Messages()[0].text, "No Voltiq device selected.");
    live.connected = true;
    for (int id : {IDC_CONFIGURE, IDC_CONFIG_SRC, IDC_CALIBRATION, IDC_MESSAGE_TRACER})
        rules.OnCommand(id, 0);
    EXPECT_EQ(window.Messages().size(), 4u);
    EXPECT_EQ(shell.calls, "about guide exit graphs configure source calibration tracer ");
}
