#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <future>
#include <map>
#include <numeric>
#include <thread>
#include <tuple>

#include "device/frame.h"
#include "device/tester_connection.h"
#include "support/memory_line.h"
#include "support/test_helpers.h"

namespace {

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Bytes written as hex pairs, e.g. "02 11 01".
Bytes Hex(const std::string& hex) {
    Bytes out;
    for (size_t at = 0; at + 1 < hex.size(); at += 3)
        out.push_back(static_cast<uint8_t>(std::stoul(hex.substr(at, 2), nullptr, 16)));
    return out;
}

// The characters of `text`, without a terminator.
Bytes Text(const char* text) {
    return Bytes(text, text + strlen(text));
}

// A tester that answers each CMD with a fixed payload (the CMD alone when no
// payload is set), and register reads with the register's value where set.
class ConnectionTest : public ::testing::Test {
protected:
    void SetUp() override {
        line.tester.SetHandler([this](uint8_t cmd, std::span<const uint8_t> payload) -> Bytes {
            std::lock_guard<std::mutex> held(answersLock);
            if (cmd == kCmdGetConfigRegister && registerAnswers.count(payload[0]))
                return ScriptedTester::Frame(cmd, registerAnswers[payload[0]]);
            return ScriptedTester::Frame(cmd, answers[cmd]);
        });
        Answer(kCmdGetDeviceInfo, Bytes{20, 31, 12} + Text("QV0123456789Z"));
        ASSERT_TRUE(connection.Connect("COM7", [this](int n) { notifications.push_back(n); }));
        line.tester.ClearRequests();
    }

    void Answer(uint8_t cmd, Bytes payload) {
        std::lock_guard<std::mutex> held(answersLock);
        answers[cmd] = std::move(payload);
    }
    // A value for every register, each of its width: the register, then its
    // value LSB first (1, 900, 1500, 7, 120, 500, 1, 3, 15000, 2000, 65535,
    // 9000 and 2500, 0, 255, 0, 255, 0).
    void AnswerEveryRegister() {
        for (const char* r :
             {"00 01", "02 84 03", "22 DC 05", "03 07", "04 78 00", "21 F4 01", "20 01", "05 03", "06 98 3A",
              "07 D0 07", "08 FF FF", "09 28 23 C4 09", "0A 00", "0B FF", "0C 00", "0D FF", "17 00"}) {
            Bytes value = Hex(r);
            registerAnswers[value[0]] = Bytes(value.begin() + 1, value.end());
        }
    }
    Bytes LastRequest() {
        auto requests = line.tester.Requests();
        return requests.empty() ? Bytes{} : requests.back();
    }

    MemoryLine line;
    FastClock clock;
    TesterConnection connection{line.Factory(), clock};
    std::mutex answersLock;
    std::map<uint8_t, Bytes> answers;
    std::map<uint8_t, Bytes> registerAnswers;
    std::vector<int> notifications;
};

}  // namespace

TEST_F(ConnectionTest, RequestsCarryTheirExactBytes) {
    Measurements m;
    PortStatus ps;
    SinkCapabilities caps;
    SourceTypeNames names;
    CalibrationRecord cal;
    SourceTypeRecord type;
    DeviceInfo info;
    const std::array<int16_t, 4> calibration = {5000, 4990, -2, 20010};
    // Whole frames spelled out where a payload's bytes and the check byte
    // have to come out right.
    const std::pair<std::function<bool()>, Bytes> cases[] = {
        {[&] { return connection.GetDeviceInfo(info); }, {0x02, 0x01, 0x01, 0x01, 0x03}},
        {[&] { return connection.GetMeasurements(m); }, {0x02, 0x01, 0x0C, 0x0C, 0x03}},
        {[&] { return connection.GetPortStatus(ps); }, BuildFrame(0x0A, {})},
        {[&] { return connection.GetSinkCapabilities(caps); }, BuildFrame(0x0B, {})},
        {[&] { return connection.RequestSinkProfile(3, 9000); }, BuildFrame(0x0D, Bytes{3, 0x28, 0x23})},
        {[&] { return connection.SetLoadCurrent(1000, 200); }, {0x02, 0x05, 0x10, 0xE8, 0x03, 0xC8, 0x00, 0x37, 0x03}},
        {[&] { return connection.SetPortConnection(TesterPort::Sink, false); }, BuildFrame(0x14, Bytes{1, 0})},
        {[&] { return connection.GetSourceTypeConfig(4, type); }, BuildFrame(0x30, Bytes{4})},
        {[&] { return connection.GetSourceTypeNames(names); }, BuildFrame(0x32, {})},
        {[&] { return connection.SelectSourceType(2); }, BuildFrame(0x33, Bytes{2})},
        {[&] { return connection.SetCalibration(3, 2024, 11, calibration); },
         BuildFrame(0xE3, Bytes{3, 24, 11, 0x88, 0x13, 0x7E, 0x13, 0xFE, 0xFF, 0x2A, 0x4E})},
        {[&] { return connection.GetCalibration(1, cal); }, BuildFrame(0xE4, Bytes{1})},
        {[&] { return connection.ResetCalibration(2); }, BuildFrame(0xE5, Bytes{2})},
        {[&] { return connection.SetSpectrumCapture(true); }, BuildFrame(0xE8, Bytes{1})},
    };
    Answer(kCmdSelectSourceType, {0});
    for (const auto& [call, frame] : cases) {
        line.tester.ClearRequests();
        EXPECT_TRUE(call()) << "CMD " << int(frame[2]);
        EXPECT_EQ(LastRequest(), frame);
    }
}

TEST_F(ConnectionTest, SourceTypeConfigTravelsWholeAndNamesAreCut) {
    // The name has 16 bytes: one too many for the terminator.
    const SourceTypeRecord record = {
        "Sixteen chars!!!", 2, 1, 255, 2, {{{0, 5000, 5000, 3000}, {1, 3300, 21000, 5000}}}};
    Answer(kCmdSetSourceTypeConfig, {0});
    ASSERT_TRUE(connection.SetSourceTypeConfig(1, record));
    Bytes request = LastRequest();
    ASSERT_EQ(request[1], 71) << "LEN";
    EXPECT_EQ(Bytes(request.begin() + 3, request.begin() + 20), Bytes{1} + Text("Sixteen chars!!") + Bytes{0});
    EXPECT_EQ(Bytes(request.begin() + 20, request.begin() + 24), (Bytes{2, 1, 255, 2}));
    EXPECT_EQ(Bytes(request.begin() + 31, request.begin() + 38), Words({3300, 21000, 5000}, {1}));

    // Reading the same layout back; the status byte decides the write's result.
    Bytes answer = Text("Type") + Bytes{0} + Bytes(11, 'x') + Bytes{0, 1, 3, 1, 0} + Words({5000, 5000, 900});
    answer.resize(20 + 49, 0);
    Answer(kCmdGetSourceTypeConfig, answer);
    SourceTypeRecord read;
    ASSERT_TRUE(connection.GetSourceTypeConfig(0, read));
    EXPECT_EQ(std::tie(read.name, read.batteryChargingChoice, read.appleChoice, read.pdProfileCount,
                       read.pdProfiles[0].currentMa, read.pdProfiles[1].maximumMv),
              std::make_tuple("Type", 1, 3, 1, 900, 0));
    // A non-zero status, or a reply without its status byte, is no success.
    for (const Bytes& status : {Bytes{7}, Bytes{}}) {
        Answer(kCmdSetSourceTypeConfig, status);
        Answer(kCmdSelectSourceType, status);
        EXPECT_FALSE(connection.SetSourceTypeConfig(1, record)) << status.size();
        EXPECT_FALSE(connection.SelectSourceType(1)) << status.size();
    }
}

TEST_F(ConnectionTest, ResponsesAreParsedFieldByFieldAndClampedToTheirRecords) {
    const DeviceInfo& info = connection.Info();
    EXPECT_EQ(std::tie(info.hardwareRevision, info.firmwareVersion, info.apiVersion), std::make_tuple(20, 31, 12));
    EXPECT_EQ(info.DeviceIdText(), "QV0123456789Z") << "13 characters, no terminator on the wire";
    DeviceInfo shorter;
    const char id[] = "AB\0CDEFGHIJKL";
    std::copy(id, id + 13, shorter.deviceId.begin());
    EXPECT_EQ(shorter.DeviceIdText(), "AB");

    // Measurements and port status field by field are read in the poll loop's
    // tests and against the simulator, each with an encoder of its own.
    Answer(kCmdGetMeasurements, Words({20012, 4990, 1500, 1498, 250}, {41}));
    Measurements m;
    ASSERT_TRUE(connection.GetMeasurements(m));
    Answer(kCmdGetMeasurements, {42});
    ASSERT_TRUE(connection.GetMeasurements(m));
    EXPECT_EQ(std::tie(m.temperatureC, m.sinkVbusMv, m.sourceCurrentMa), std::make_tuple(42, 0, 0))
        << "a short answer reads as zero, not as the older answer's bytes";

    Bytes names = {2};
    for (const char* n : {"Default", "Fast 20V", "", "QC only", "Apple 2.4A"})
        names = names + Text(n) + Bytes(16 - strlen(n), 0);
    Answer(kCmdGetSourceTypeNames, names);
    SourceTypeNames st;
    ASSERT_TRUE(connection.GetSourceTypeNames(st));
    EXPECT_EQ(std::tie(st.selectedIndex, st.names[1], st.names[2], st.names[4]),
              std::make_tuple(2, "Fast 20V", "", "Apple 2.4A"));

    Answer(kCmdGetCalibration, Words({5000, 4990, 0xFFFE, 20010}, {1, 24, 11}));
    CalibrationRecord cal;
    ASSERT_TRUE(connection.GetCalibration(0, cal));
    EXPECT_EQ(std::tie(cal.year, cal.month), std::make_tuple(2024u, 11));
    EXPECT_EQ(cal.values, (std::array<int32_t, 4>{5000, 4990, -2, 20010})) << "signed 16-bit values";

    // Thirty capabilities: never more entries than the record holds.
    Bytes caps = {30, 0};
    for (int i = 0; i < 30; ++i)
        caps = caps + Words({0x0110 + i, 5000 + i, 5000 + i, 3000});
    Answer(kCmdGetSinkCapabilities, caps);
    SinkCapabilities sc;
    ASSERT_TRUE(connection.GetSinkCapabilities(sc));
    EXPECT_EQ(
        std::tuple(sc.count, sc.entries[23].minimumMv, sc.entries[0].ProfileType(), sc.entries[0].ProfileSubtype()),
        std::tuple(24, 5023, 1, 1));
    Answer(kCmdGetSinkCapabilities, {0, 0});
    ASSERT_TRUE(connection.GetSinkCapabilities(sc));
    EXPECT_EQ(std::tuple(sc.count, sc.entries[0].minimumMv), std::tuple(0, 0)) << "slots are zeroed";
}

TEST_F(ConnectionTest, FailuresLeaveOutValuesAlone) {
    Measurements m;
    m.sinkVbusMv = 1234;
    line.tester.SetHandler([](uint8_t, std::span<const uint8_t>) {
        return ScriptedTester::Frame(0x0A, {1, 2, 3});  // another command's answer
    });
    EXPECT_FALSE(connection.GetMeasurements(m));
    EXPECT_EQ(m.sinkVbusMv, 1234);

    // A short spectrum frame is a failed read, and nothing of it is taken.
    line.tester.SetHandler([](uint8_t cmd, std::span<const uint8_t>) {
        return ScriptedTester::Frame(cmd, {7, 0, 8, 0});
    });
    Spectrum spectrum;
    spectrum.fill(99);
    EXPECT_FALSE(connection.GetSpectrum(spectrum));
    EXPECT_EQ(std::count(spectrum.begin(), spectrum.end(), 99), static_cast<long>(kSpectrumValues));

    line.tester.SetHandler(nullptr);  // silence
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(connection.GetMeasurements(m));
    auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(m.sinkVbusMv, 1234);
    EXPECT_GE(took, std::chrono::milliseconds(450));
    EXPECT_LT(took, std::chrono::milliseconds(1500));
}

TEST_F(ConnectionTest, UnsolicitedFramesReachTheirCallbacksAndTraceRecordsAreZeroFilled) {
    // Notifications and a trace frame between request and response.
    line.tester.SetHandler([](uint8_t cmd, std::span<const uint8_t>) {
        return ScriptedTester::Frame(0x21) + ScriptedTester::Frame(0x28) + ScriptedTester::Frame(0x24, {1, 2}) +
               ScriptedTester::Frame(cmd, Words({5020}, {25}));
    });
    Measurements m;
    ASSERT_TRUE(connection.GetMeasurements(m));
    EXPECT_EQ(m.sinkVbusMv, 5020);
    EXPECT_EQ(notifications, (std::vector<int>{2, 7})) << "trace frame without a callback is dropped";

    line.tester.SetHandler([](uint8_t cmd, std::span<const uint8_t>) { return ScriptedTester::Frame(cmd); });
    std::mutex lock;
    std::vector<TraceRecord> records;
    ASSERT_TRUE(connection.StartTrace([&](const TraceRecord& r) { Lock(lock, records)->push_back(r); }));
    EXPECT_EQ(connection.TimeoutMs(), 3000u);
    EXPECT_EQ(LastRequest(), BuildFrame(0xE7, Bytes{1}));

    Bytes full(36);
    std::iota(full.begin(), full.end(), 1);
    line.tester.Send(ScriptedTester::Frame(0x24, full));
    line.tester.Send(ScriptedTester::Frame(0x25, {0xAA, 0xBB}));  // shorter than a record
    ASSERT_TRUE(connection.GetMeasurements(m));                   // the frames before its answer are through
    {
        std::lock_guard<std::mutex> held(lock);
        ASSERT_EQ(records.size(), 2u);
        EXPECT_EQ(records[0][35], 36);
        EXPECT_EQ(records[1][0], 0xAA);
        EXPECT_EQ(records[1][2], 0) << "not bytes of the earlier frame";
        EXPECT_EQ(records[1][35], 0);
    }

    line.tester.SetHandler([](uint8_t, std::span<const uint8_t>) { return ScriptedTester::Frame(0x0C); });
    EXPECT_FALSE(connection.StopTrace()) << "answered with another CMD";
    EXPECT_EQ(connection.TimeoutMs(), 500u) << "back to normal whatever the result";
    EXPECT_EQ(LastRequest(), BuildFrame(0xE7, Bytes{0}));
    line.tester.Send(ScriptedTester::Frame(0x24, full));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(Lock(lock, records)->size(), 2u) << "no callback after StopTrace";
}

TEST_F(ConnectionTest, GetConfigReadsEveryRegisterInOrderAndOnOlderFirmwareKeepsValuesItWasNotGiven) {
    AnswerEveryRegister();
    TesterConfig c;
    ASSERT_TRUE(connection.GetConfig(c));
    Bytes order;
    for (const Bytes& r : line.tester.Requests())
        order.push_back(r[3]);
    EXPECT_EQ(order, (Bytes{0x00, 0x02, 0x22, 0x03, 0x04, 0x21, 0x20, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A, 0x0B, 0x0C,
                            0x0D, 0x17}));
    EXPECT_EQ(connection.Config().autoVoltageMv, 15000) << "the cache holds what was read";
    EXPECT_EQ(std::tie(c.loopbackMode, c.sdpCurrentLimitMa, c.usbcDefaultCurrentLimitMa, c.estimateUpstreamVbus,
                       c.cableResistanceMilliohm, c.loadChangeTimeMs, c.applyOnCapabilityChange, c.autoProfileIndex),
              std::make_tuple(1, 900, 1500, 1, 120, 500, 1, 3))
        << "0x03 is a flag";
    EXPECT_EQ(std::tie(c.autoVoltageMv, c.autoCurrentMa, c.sinkCap2Mv, c.sinkCap2Ma, c.pdDetection, c.eprDetection,
                       c.ppsDetection),
              std::make_tuple(15000, 2000, 9000, 2500, 0, 255, 0));

    // Registers up to 0x06 answered without a value (LEN 1) but for one, to see stores still happen.
    for (uint8_t reg : {0x00, 0x02, 0x22, 0x03, 0x21, 0x20, 0x05, 0x06})
        registerAnswers[reg] = {};
    registerAnswers[0x04] = Words({95});
    line.tester.Send(ScriptedTester::Frame(0x30, Bytes(40, 0x77)));  // leaves bytes behind
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    line.tester.ClearRequests();
    TesterConfig older;
    EXPECT_FALSE(connection.GetConfig(older)) << "register 0x06 without a value fails";
    EXPECT_EQ(older.cableResistanceMilliohm, 95);
    EXPECT_EQ(std::tie(older.sdpCurrentLimitMa, older.loadChangeTimeMs, older.autoProfileIndex),
              std::make_tuple(900, 500, 3))
        << "the values read before are kept";
    EXPECT_EQ(line.tester.Requests().size(), 9u) << "stops at the first failure";
}

TEST_F(ConnectionTest, SetConfigSendsEveryRegisterInOrderWithItsWidthAndPausesAlsoAfterAFailure) {
    std::vector<uint64_t> sentAt;  // the clock when each write arrived
    line.tester.SetHandler([&](uint8_t cmd, std::span<const uint8_t>) {
        sentAt.push_back(clock.NowMs());
        return ScriptedTester::Frame(cmd);
    });
    TesterConfig c = {1,      2,      2500,   0x0111, 0x0222, 1,    0x0333, 0x0444, 1,    7, 0x0555,
                      0x0666, 0x0777, 0x0888, 0x0999, 0,      0xAA, 0xBB,   0xCC,   0xDD, 1};
    ASSERT_TRUE(connection.SetConfig(c));
    // Each register's write, LSB first: its order, width and value on the wire.
    const char* writes[] = {"00 01",          "01 02 C4 09", "02 11 01", "22 22 02", "03 01",    "04 33 03",
                            "21 44 04",       "20 01",       "05 07",    "06 55 05", "07 66 06", "08 77 07",
                            "09 88 08 99 09", "0A AA",       "0B BB",    "0C CC",    "0D DD",    "17 01"};
    std::vector<Bytes> expected;
    for (const char* w : writes)
        expected.push_back(BuildFrame(0xE2, Hex(w)));
    EXPECT_EQ(line.tester.Requests(), expected);
    EXPECT_EQ(sentAt, (std::vector<uint64_t>{0, 100, 200, 300, 400, 500, 500, 500, 500, 500, 500, 500, 500, 500, 500,
                                             500, 500, 500}))
        << "a pause after each of the first five writes";

    c.currentLimitMode = 0;  // without the forced limit the value is left out
    line.tester.ClearRequests();
    ASSERT_TRUE(connection.SetConfig(c));
    EXPECT_EQ(line.tester.Requests()[1], (Bytes{0x02, 0x03, 0xE2, 0x01, 0x00, 0xE1, 0x03}));

    // A failed write still pauses and still sends the PPS detection.
    line.tester.SetHandler(nullptr);
    line.tester.ClearRequests();
    uint64_t before = clock.NowMs();
    EXPECT_FALSE(connection.SetConfig(TesterConfig()));
    auto requests = line.tester.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0][3], 0x00);
    EXPECT_EQ(requests[1], BuildFrame(0xE2, Bytes{0x17, 1}));
    EXPECT_EQ(clock.NowMs() - before, 500u);
}

// The poll thread sends the settings while the window thread reads a newly
// selected tester's registers: the read gives the registers it read, and the
// cache is always one whole set, never part sent and part read.
TEST_F(ConnectionTest, GetConfigGivesWhatItReadWhileAnotherThreadSends) {
    AnswerEveryRegister();
    TesterConfig sent;
    sent.cableResistanceMilliohm = 777;
    sent.autoVoltageMv = 12000;
    std::atomic<bool> done{false};
    std::thread poll([&] {
        while (!done)
            connection.SetConfig(sent);
    });
    int wrongReads = 0, mixedCaches = 0;
    for (int i = 0; i < 40; ++i) {
        TesterConfig read;
        connection.GetConfig(read);
        if (read.cableResistanceMilliohm != 120 || read.autoVoltageMv != 15000) ++wrongReads;
        TesterConfig cache = connection.Config();
        if ((cache.cableResistanceMilliohm == 777) != (cache.autoVoltageMv == 12000)) ++mixedCaches;
    }
    done = true;
    poll.join();
    EXPECT_EQ(wrongReads, 0);
    EXPECT_EQ(mixedCaches, 0);
}

// The time-outs stand in for a tester that stopped answering: Close must not
// wait them out, whatever the command in flight.
TEST_F(ConnectionTest, CloseCancelsTheCommandInFlight) {
    line.tester.SetHandler([](uint8_t cmd, std::span<const uint8_t>) {
        if (cmd == kCmdGetDeviceInfo) return ScriptedTester::Frame(cmd, Bytes(16, 0));
        Bytes out;  // five of the thirty spectrum frames, then silence; nothing else is answered
        for (int f = 0; cmd == kCmdGetSpectrum && f < 5; ++f)
            out = out + ScriptedTester::Frame(cmd, Bytes(38, 0));
        return out;
    });
    Spectrum spectrum{};
    // StartTrace raises the time-out to 3 s; it stays for the spectrum read.
    const std::pair<const char*, std::function<bool()>> cases[] = {
        {"StartTrace", [&] { return connection.StartTrace([](const TraceRecord&) {}); }},
        {"GetSpectrum", [&] { return connection.GetSpectrum(spectrum); }},
    };
    for (const auto& [name, command] : cases) {
        ASSERT_TRUE(connection.Connect("COM7", nullptr));
        line.tester.ClearRequests();
        auto start = std::chrono::steady_clock::now();
        std::future<bool> result = std::async(std::launch::async, command);
        ASSERT_TRUE(line.tester.WaitForRequests(1, 1000)) << name;
        connection.Close();
        EXPECT_FALSE(result.get()) << name;
        EXPECT_LT(std::chrono::steady_clock::now() - start,
                  std::chrono::milliseconds(TesterConnection::kTraceTimeoutMs))
            << name << " waited out its time-out";
        Measurements m;
        EXPECT_FALSE(connection.GetMeasurements(m)) << "closed until the next Connect";
        EXPECT_EQ(line.tester.Requests().size(), 1u);
    }
}

TEST(Connection, CommandsFailBeforeConnectAndOnASilentPortThatStillConnects) {
    Measurements m;
    EXPECT_FALSE(TesterConnection().GetMeasurements(m)) << "never connected";
    MemoryLine line;
    TesterConnection connection(line.Factory());
    ASSERT_TRUE(connection.Connect("COM9", nullptr));
    const DeviceInfo& info = connection.Info();
    EXPECT_EQ(std::tuple(info.hardwareRevision, info.firmwareVersion, info.DeviceIdText()), std::tuple(0, 0, ""));
    EXPECT_FALSE(connection.GetMeasurements(m));
}
