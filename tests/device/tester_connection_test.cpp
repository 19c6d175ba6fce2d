#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <future>
#include <map>
#include <set>
#include <thread>

#include "device/frame.h"
#include "device/tester_connection.h"
#include "support/memory_line.h"

using Bytes = std::vector<uint8_t>;

namespace {

Bytes U16(uint16_t v) {
    return {static_cast<uint8_t>(v & 0xFF), static_cast<uint8_t>(v >> 8)};
}

Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

// A tester that answers each CMD with a fixed payload (the CMD alone when no
// payload is set), or not at all for CMDs marked silent.
class ConnectionTest : public ::testing::Test {
protected:
    void SetUp() override {
        line.tester.SetHandler([this](uint8_t cmd, std::span<const uint8_t> payload) -> Bytes {
            std::lock_guard<std::mutex> held(answersLock);
            lastPayload = Bytes(payload.begin(), payload.end());
            if (silent.count(cmd)) return {};
            if (cmd == kCmdGetConfigRegister && registerAnswers.count(payload[0])) {
                return ScriptedTester::Frame(cmd, registerAnswers[payload[0]]);
            }
            return ScriptedTester::Frame(cmd, answers.count(cmd) ? answers[cmd] : Bytes{});
        });
        Answer(kCmdGetDeviceInfo,
               Cat({{20, 31, 12}, Bytes{'Q', 'V', '0', '1', '2', '3', '4', '5', '6', '7', '8', '9', 'Z'}}));
        ASSERT_TRUE(connection.Connect("COM7", [this](int n) { notifications.push_back(n); }));
        line.tester.ClearRequests();
    }

    void Answer(uint8_t cmd, Bytes payload) {
        std::lock_guard<std::mutex> held(answersLock);
        answers[cmd] = std::move(payload);
    }
    void Silence(uint8_t cmd) {
        std::lock_guard<std::mutex> held(answersLock);
        silent.insert(cmd);
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
    std::set<uint8_t> silent;
    Bytes lastPayload;
    std::vector<int> notifications;
};

}  // namespace

TEST_F(ConnectionTest, ConnectReadsTheTestersIdentity) {
    const DeviceInfo& info = connection.Info();
    EXPECT_EQ(info.hardwareRevision, 20);
    EXPECT_EQ(info.firmwareVersion, 31);
    EXPECT_EQ(info.apiVersion, 12);
    EXPECT_EQ(info.DeviceIdText(), "QV0123456789Z") << "13 characters, no terminator on the wire";
    DeviceInfo shorter;
    const char id[] = "AB\0CDEFGHIJKL";
    std::copy(id, id + 13, shorter.deviceId.begin());
    EXPECT_EQ(shorter.DeviceIdText(), "AB");
}

TEST_F(ConnectionTest, RequestsCarryTheirExactBytes) {
    struct Case {
        const char* name;
        std::function<bool()> call;
        Bytes frame;
    };
    Measurements m;
    PortStatus ps;
    SinkCapabilities caps;
    SourceTypeNames names;
    CalibrationRecord cal;
    SourceTypeRecord type;
    DeviceInfo info;
    const Case cases[] = {
        {"GetDeviceInfo", [&] { return connection.GetDeviceInfo(info); }, {0x02, 0x01, 0x01, 0x01, 0x03}},
        {"GetMeasurements", [&] { return connection.GetMeasurements(m); }, {0x02, 0x01, 0x0C, 0x0C, 0x03}},
        {"GetPortStatus", [&] { return connection.GetPortStatus(ps); }, BuildFrame(0x0A, {})},
        {"GetSinkCapabilities", [&] { return connection.GetSinkCapabilities(caps); }, BuildFrame(0x0B, {})},
        {"RequestSinkProfile", [&] { return connection.RequestSinkProfile(3, 9000); },
         BuildFrame(0x0D, Bytes{3, 0x28, 0x23})},
        {"SetLoadCurrent", [&] { return connection.SetLoadCurrent(1000, 200); },
         BuildFrame(0x10, Bytes{0xE8, 0x03, 0xC8, 0x00})},
        {"SetPortConnection", [&] { return connection.SetPortConnection(TesterPort::Sink, false); },
         BuildFrame(0x14, Bytes{1, 0})},
        {"GetSourceTypeConfig", [&] { return connection.GetSourceTypeConfig(4, type); }, BuildFrame(0x30, Bytes{4})},
        {"GetSourceTypeNames", [&] { return connection.GetSourceTypeNames(names); }, BuildFrame(0x32, {})},
        {"SelectSourceType", [&] { return connection.SelectSourceType(2); }, BuildFrame(0x33, Bytes{2})},
        {"SetCalibration",
         [&] {
             return connection.SetCalibration(3, 2024, 11, {5000, 4990, -2, 20010});
         },
         BuildFrame(0xE3, Bytes{3, 24, 11, 0x88, 0x13, 0x7E, 0x13, 0xFE, 0xFF, 0x2A, 0x4E})},
        {"GetCalibration", [&] { return connection.GetCalibration(1, cal); }, BuildFrame(0xE4, Bytes{1})},
        {"ResetCalibration", [&] { return connection.ResetCalibration(2); }, BuildFrame(0xE5, Bytes{2})},
        {"SetSpectrumCapture", [&] { return connection.SetSpectrumCapture(true); }, BuildFrame(0xE8, Bytes{1})},
    };
    Answer(kCmdSelectSourceType, {0});
    for (const Case& c : cases) {
        line.tester.ClearRequests();
        EXPECT_TRUE(c.call()) << c.name;
        EXPECT_EQ(LastRequest(), c.frame) << c.name;
    }
}

TEST_F(ConnectionTest, SourceTypeConfigTravelsWholeAndNamesAreCut) {
    SourceTypeRecord record;
    record.name = "Sixteen chars!!!";  // 16 bytes: one too many for the terminator
    record.usbcChoice = 2;
    record.batteryChargingChoice = 1;
    record.appleChoice = 255;
    record.pdProfileCount = 2;
    record.pdProfiles[0] = {0, 5000, 5000, 3000};
    record.pdProfiles[1] = {1, 3300, 21000, 5000};
    Answer(kCmdSetSourceTypeConfig, {0});
    ASSERT_TRUE(connection.SetSourceTypeConfig(1, record));
    Bytes request = LastRequest();
    ASSERT_EQ(request[1], 71) << "LEN";
    EXPECT_EQ(Bytes(request.begin() + 3, request.begin() + 20),
              Cat({{1}, Bytes{'S', 'i', 'x', 't', 'e', 'e', 'n', ' ', 'c', 'h', 'a', 'r', 's', '!', '!', 0}}));
    EXPECT_EQ(Bytes(request.begin() + 20, request.begin() + 24), (Bytes{2, 1, 255, 2}));
    EXPECT_EQ(Bytes(request.begin() + 31, request.begin() + 38), Cat({{1}, U16(3300), U16(21000), U16(5000)}));

    // Reading the same layout back; the status byte decides the write's result.
    Bytes answer =
        Cat({Bytes{'T', 'y', 'p', 'e', 0}, Bytes(11, 'x'), {0, 1, 3, 1}, {0}, U16(5000), U16(5000), U16(900)});
    answer.resize(20 + 49, 0);
    Answer(kCmdGetSourceTypeConfig, answer);
    SourceTypeRecord read;
    ASSERT_TRUE(connection.GetSourceTypeConfig(0, read));
    EXPECT_EQ(read.name, "Type");
    EXPECT_EQ(read.batteryChargingChoice, 1);
    EXPECT_EQ(read.appleChoice, 3);
    EXPECT_EQ(read.pdProfileCount, 1);
    EXPECT_EQ(read.pdProfiles[0].currentMa, 900);
    EXPECT_EQ(read.pdProfiles[1].maximumMv, 0);
    Answer(kCmdSetSourceTypeConfig, {7});
    EXPECT_FALSE(connection.SetSourceTypeConfig(1, record)) << "non-zero status";
    Answer(kCmdSelectSourceType, {1});
    EXPECT_FALSE(connection.SelectSourceType(1));
    // A reply without its status byte is no success.
    Answer(kCmdSetSourceTypeConfig, {});
    EXPECT_FALSE(connection.SetSourceTypeConfig(1, record));
    Answer(kCmdSelectSourceType, {});
    EXPECT_FALSE(connection.SelectSourceType(1));
}

TEST_F(ConnectionTest, ResponsesAreParsedFieldByField) {
    Answer(kCmdGetMeasurements, Cat({{41}, U16(20012), U16(4990), U16(1500), U16(1498), U16(250)}));
    Measurements m;
    ASSERT_TRUE(connection.GetMeasurements(m));
    EXPECT_EQ(m.temperatureC, 41);
    EXPECT_EQ(m.sinkVbusMv, 20012);
    EXPECT_EQ(m.sourceVbusMv, 4990);
    EXPECT_EQ(m.loadSetpointMa, 1500);
    EXPECT_EQ(m.sinkCurrentMa, 1498);
    EXPECT_EQ(m.sourceCurrentMa, 250);

    Answer(kCmdGetPortStatus,
           Cat({{1, 3, 2, 1}, U16(9000), U16(3000), {1, 0, 2, 0}, U16(5000), U16(3000), U16(1200), {4}}));
    PortStatus ps;
    ASSERT_TRUE(connection.GetPortStatus(ps));
    EXPECT_EQ(ps.sinkProfileIndex, 3);
    EXPECT_EQ(ps.sinkProfileSubtype, 1);
    EXPECT_EQ(ps.sinkVoltageMv, 9000);
    EXPECT_EQ(ps.sourceRatedCurrentMa, 3000);
    EXPECT_EQ(ps.sourceRequestedCurrentMa, 1200);
    EXPECT_EQ(ps.selectedSourceType, 4);

    Bytes names = {2};
    for (const char* n : {"Default", "Fast 20V", "", "QC only", "Apple 2.4A"}) {
        Bytes field(16, 0);
        std::copy(n, n + strlen(n), field.begin());
        names.insert(names.end(), field.begin(), field.end());
    }
    Answer(kCmdGetSourceTypeNames, names);
    SourceTypeNames st;
    ASSERT_TRUE(connection.GetSourceTypeNames(st));
    EXPECT_EQ(st.selectedIndex, 2);
    EXPECT_EQ(st.names[1], "Fast 20V");
    EXPECT_EQ(st.names[2], "");
    EXPECT_EQ(st.names[4], "Apple 2.4A");

    Answer(kCmdGetCalibration, Cat({{1, 24, 11}, U16(5000), U16(4990), U16(0xFFFE), U16(20010)}));
    CalibrationRecord cal;
    ASSERT_TRUE(connection.GetCalibration(0, cal));
    EXPECT_EQ(cal.year, 2024u);
    EXPECT_EQ(cal.month, 11);
    EXPECT_EQ(cal.values, (std::array<int32_t, 4>{5000, 4990, -2, 20010})) << "signed 16-bit values";
}

TEST_F(ConnectionTest, SinkCapabilitiesAreClampedToTheRecord) {
    auto answerWith = [&](uint8_t count) {
        Bytes payload = {count, 0};
        for (uint8_t i = 0; i < count; ++i) {
            payload.insert(payload.end(), {static_cast<uint8_t>(0x10 + i), 0x01});
            for (uint16_t v : {uint16_t(5000 + i), uint16_t(5000 + i), uint16_t(3000)}) {
                Bytes b = U16(v);
                payload.insert(payload.end(), b.begin(), b.end());
            }
        }
        Answer(kCmdGetSinkCapabilities, payload);
    };
    SinkCapabilities caps;
    answerWith(30);
    ASSERT_TRUE(connection.GetSinkCapabilities(caps));
    EXPECT_EQ(caps.count, 24) << "never more entries than the record holds";
    EXPECT_EQ(caps.entries[23].minimumMv, 5023);
    EXPECT_EQ(caps.entries[0].ProfileType(), 1);
    EXPECT_EQ(caps.entries[0].ProfileSubtype(), 1);

    answerWith(0);
    ASSERT_TRUE(connection.GetSinkCapabilities(caps));
    EXPECT_EQ(caps.count, 0);
    EXPECT_EQ(caps.entries[0].minimumMv, 0) << "slots are zeroed";
}

TEST_F(ConnectionTest, FailuresLeaveOutValuesAlone) {
    Measurements m;
    m.sinkVbusMv = 1234;
    line.tester.SetHandler([](uint8_t, std::span<const uint8_t>) {
        return ScriptedTester::Frame(0x0A, {1, 2, 3});  // another command's answer
    });
    EXPECT_FALSE(connection.GetMeasurements(m));
    EXPECT_EQ(m.sinkVbusMv, 1234);

    line.tester.SetHandler(nullptr);  // silence
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(connection.GetMeasurements(m));
    auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(m.sinkVbusMv, 1234);
    EXPECT_GE(took, std::chrono::milliseconds(450));
    EXPECT_LT(took, std::chrono::milliseconds(1500));
}

TEST_F(ConnectionTest, NotificationsBetweenRequestAndResponseAreRoutedApart) {
    line.tester.SetHandler([](uint8_t cmd, std::span<const uint8_t>) {
        return Cat({ScriptedTester::Frame(0x21), ScriptedTester::Frame(0x28), ScriptedTester::Frame(0x24, {1, 2}),
                    ScriptedTester::Frame(cmd, Cat({{25}, U16(5020)}))});
    });
    Measurements m;
    ASSERT_TRUE(connection.GetMeasurements(m));
    EXPECT_EQ(m.sinkVbusMv, 5020);
    EXPECT_EQ(notifications, (std::vector<int>{2, 7})) << "trace frame without a callback is dropped";
}

TEST_F(ConnectionTest, ShortResponsesReadAsZeroNotAsOlderBytes) {
    Answer(kCmdGetMeasurements, Cat({{40}, U16(20000), U16(5000), U16(3000), U16(2990), U16(100)}));
    Measurements m;
    ASSERT_TRUE(connection.GetMeasurements(m));
    Answer(kCmdGetMeasurements, {41});
    ASSERT_TRUE(connection.GetMeasurements(m));
    EXPECT_EQ(m.temperatureC, 41);
    EXPECT_EQ(m.sinkVbusMv, 0);
    EXPECT_EQ(m.sourceCurrentMa, 0);
}

TEST_F(ConnectionTest, TraceRecordsReachTheCallbackZeroFilled) {
    std::mutex lock;
    std::vector<TraceRecord> records;
    ASSERT_TRUE(connection.StartTrace([&](const TraceRecord& r) {
        std::lock_guard<std::mutex> held(lock);
        records.push_back(r);
    }));
    EXPECT_EQ(connection.TimeoutMs(), 3000u);
    EXPECT_EQ(LastRequest(), BuildFrame(0xE7, Bytes{1}));

    Bytes full(36);
    for (size_t i = 0; i < full.size(); ++i)
        full[i] = static_cast<uint8_t>(i + 1);
    line.tester.Send(ScriptedTester::Frame(0x24, full));
    line.tester.Send(ScriptedTester::Frame(0x25, {0xAA, 0xBB}));  // shorter than a record
    Measurements m;
    ASSERT_TRUE(connection.GetMeasurements(m));  // the frames before its answer are through
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
    std::lock_guard<std::mutex> held(lock);
    EXPECT_EQ(records.size(), 2u) << "no callback after StopTrace";
}

TEST_F(ConnectionTest, GetConfigReadsEveryRegisterInOrder) {
    std::map<uint8_t, Bytes> values = {
        {0x00, {1}},        {0x02, U16(900)},  {0x22, U16(1500)},  {0x03, {7}},
        {0x04, U16(120)},   {0x21, U16(500)},  {0x20, {1}},        {0x05, {3}},
        {0x06, U16(15000)}, {0x07, U16(2000)}, {0x08, U16(65535)}, {0x09, Cat({U16(9000), U16(2500)})},
        {0x0A, {0}},        {0x0B, {255}},     {0x0C, {0}},        {0x0D, {255}},
        {0x17, {0}},
    };
    for (auto& [reg, value] : values)
        registerAnswers[reg] = value;
    TesterConfig c;
    ASSERT_TRUE(connection.GetConfig(c));
    Bytes order;
    for (const Bytes& r : line.tester.Requests())
        order.push_back(r[3]);
    EXPECT_EQ(order, (Bytes{0x00, 0x02, 0x22, 0x03, 0x04, 0x21, 0x20, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A, 0x0B, 0x0C,
                            0x0D, 0x17}));
    EXPECT_EQ(connection.Config().autoVoltageMv, 15000) << "the cache holds what was read";
    EXPECT_EQ(c.loopbackMode, 1);
    EXPECT_EQ(c.sdpCurrentLimitMa, 900);
    EXPECT_EQ(c.usbcDefaultCurrentLimitMa, 1500);
    EXPECT_EQ(c.estimateUpstreamVbus, 1) << "a flag";
    EXPECT_EQ(c.cableResistanceMilliohm, 120);
    EXPECT_EQ(c.loadChangeTimeMs, 500);
    EXPECT_EQ(c.applyOnCapabilityChange, 1);
    EXPECT_EQ(c.autoProfileIndex, 3);
    EXPECT_EQ(c.autoVoltageMv, 15000);
    EXPECT_EQ(c.autoCurrentMa, 2000);
    EXPECT_EQ(c.sinkCap2Mv, 9000);
    EXPECT_EQ(c.sinkCap2Ma, 2500);
    EXPECT_EQ(c.pdDetection, 0);
    EXPECT_EQ(c.eprDetection, 255);
    EXPECT_EQ(c.ppsDetection, 0);
}

TEST_F(ConnectionTest, GetConfigOnOlderFirmwareKeepsValuesItWasNotGiven) {
    // Registers up to 0x05 answered without a value (LEN 1); 0x06 likewise.
    for (uint8_t reg : {0x00, 0x02, 0x22, 0x03, 0x04, 0x21, 0x20, 0x05, 0x06})
        registerAnswers[reg] = {};
    // ...except one carrying a value, to see stores still happen.
    registerAnswers[0x04] = U16(95);
    line.tester.Send(ScriptedTester::Frame(0x30, Bytes(40, 0x77)));  // leaves bytes behind
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    TesterConfig c;
    EXPECT_FALSE(connection.GetConfig(c)) << "register 0x06 without a value fails";
    EXPECT_EQ(c.cableResistanceMilliohm, 95);
    EXPECT_EQ(c.sdpCurrentLimitMa, 0) << "construction value kept";
    EXPECT_EQ(c.loadChangeTimeMs, 200);
    EXPECT_EQ(c.autoProfileIndex, 255);
    EXPECT_EQ(line.tester.Requests().size(), 9u) << "stops at the first failure";
}

TEST_F(ConnectionTest, SetConfigSendsEveryRegisterInOrderWithItsWidthAndPauses) {
    std::vector<uint64_t> sentAt;  // the clock when each write arrived
    line.tester.SetHandler([&](uint8_t cmd, std::span<const uint8_t>) {
        sentAt.push_back(clock.NowMs());
        return ScriptedTester::Frame(cmd);
    });
    TesterConfig c = {1,      2,      2500,   0x0111, 0x0222, 1,    0x0333, 0x0444, 1,    7, 0x0555,
                      0x0666, 0x0777, 0x0888, 0x0999, 0,      0xAA, 0xBB,   0xCC,   0xDD, 1};
    ASSERT_TRUE(connection.SetConfig(c));
    const std::vector<Bytes> writes = {
        {0x00, 1},
        Cat({{0x01, 2}, U16(2500)}),
        Cat({{0x02}, U16(0x0111)}),
        Cat({{0x22}, U16(0x0222)}),
        {0x03, 1},
        Cat({{0x04}, U16(0x0333)}),
        Cat({{0x21}, U16(0x0444)}),
        {0x20, 1},
        {0x05, 7},
        Cat({{0x06}, U16(0x0555)}),
        Cat({{0x07}, U16(0x0666)}),
        Cat({{0x08}, U16(0x0777)}),
        Cat({{0x09}, U16(0x0888), U16(0x0999)}),
        {0x0A, 0xAA},
        {0x0B, 0xBB},
        {0x0C, 0xCC},
        {0x0D, 0xDD},
        {0x17, 1},
    };
    std::vector<Bytes> expected;
    for (const Bytes& w : writes)
        expected.push_back(BuildFrame(0xE2, w));
    EXPECT_EQ(line.tester.Requests(), expected);
    EXPECT_EQ(sentAt, (std::vector<uint64_t>{0, 100, 200, 300, 400, 500, 500, 500, 500, 500, 500, 500, 500, 500, 500,
                                             500, 500, 500}))
        << "a pause after each of the first five writes";

    c.currentLimitMode = 0;  // without the forced limit the value is left out
    line.tester.ClearRequests();
    ASSERT_TRUE(connection.SetConfig(c));
    EXPECT_EQ(line.tester.Requests()[1], (Bytes{0x02, 0x03, 0xE2, 0x01, 0x00, 0xE1, 0x03}));
}

TEST_F(ConnectionTest, SetConfigAfterAFailureStillPausesAndSendsPpsDetection) {
    Silence(kCmdSetConfigRegister);
    EXPECT_FALSE(connection.SetConfig(TesterConfig()));
    auto requests = line.tester.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0][3], 0x00);
    EXPECT_EQ(requests[1], BuildFrame(0xE2, Bytes{0x17, 1}));
    EXPECT_EQ(clock.NowMs(), 500u);
}

// The poll thread sends the settings while the window thread reads a newly
// selected tester's registers: the read gives the registers it read, and the
// cache is always one whole set, never part sent and part read.
TEST_F(ConnectionTest, GetConfigGivesWhatItReadWhileAnotherThreadSends) {
    {
        std::lock_guard<std::mutex> held(answersLock);
        for (uint8_t reg : {0x00, 0x03, 0x20, 0x05, 0x0A, 0x0B, 0x0C, 0x0D, 0x17})
            registerAnswers[reg] = {1};
        for (uint8_t reg : {0x02, 0x22, 0x21, 0x07, 0x08})
            registerAnswers[reg] = U16(500);
        registerAnswers[0x04] = U16(321);
        registerAnswers[0x06] = U16(9000);
        registerAnswers[0x09] = Cat({U16(9000), U16(2000)});
    }
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
        if (read.cableResistanceMilliohm != 321 || read.autoVoltageMv != 9000) ++wrongReads;
        TesterConfig cache = connection.Config();
        if ((cache.cableResistanceMilliohm == 777) != (cache.autoVoltageMv == 12000)) ++mixedCaches;
    }
    done = true;
    poll.join();
    EXPECT_EQ(wrongReads, 0);
    EXPECT_EQ(mixedCaches, 0);
}

TEST_F(ConnectionTest, GetSpectrumGathersThirtyFrames) {
    line.tester.SetHandler([](uint8_t cmd, std::span<const uint8_t>) {
        Bytes all;
        for (int f = 0; f < 30; ++f) {
            Bytes payload;
            for (int k = 0; k < 19; ++k) {
                Bytes v = U16(static_cast<uint16_t>(-(f * 19 + k)));
                payload.insert(payload.end(), v.begin(), v.end());
            }
            Bytes frame = ScriptedTester::Frame(cmd, payload);
            all.insert(all.end(), frame.begin(), frame.end());
        }
        return all;
    });
    Spectrum spectrum{};
    ASSERT_TRUE(connection.GetSpectrum(spectrum));
    EXPECT_EQ(spectrum[0], 0);
    EXPECT_EQ(spectrum[20], -20);
    EXPECT_EQ(spectrum[569], -569);

    line.tester.SetHandler([](uint8_t cmd, std::span<const uint8_t>) {
        return ScriptedTester::Frame(cmd, Cat({U16(7), U16(8)}));  // one frame only
    });
    spectrum.fill(99);
    EXPECT_FALSE(connection.GetSpectrum(spectrum));
    EXPECT_EQ(spectrum[1], 8) << "values already filled stay";
    EXPECT_EQ(spectrum[19], 99);
}

// The time-outs stand in for a tester that stopped answering: Close must not
// wait them out, whatever the command in flight.
TEST_F(ConnectionTest, CloseCancelsTheCommandInFlight) {
    line.tester.SetHandler([](uint8_t cmd, std::span<const uint8_t>) {
        if (cmd == kCmdGetDeviceInfo) return ScriptedTester::Frame(cmd, Bytes(16, 0));
        Bytes out;  // five of the thirty spectrum frames, then silence; nothing else is answered
        for (int f = 0; cmd == kCmdGetSpectrum && f < 5; ++f) {
            Bytes frame = ScriptedTester::Frame(cmd, Bytes(38, 0));
            out.insert(out.end(), frame.begin(), frame.end());
        }
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

TEST(Connection, ConnectOnASilentPortSucceedsWithUnknownVersions) {
    MemoryLine line;
    TesterConnection connection(line.Factory());
    ASSERT_TRUE(connection.Connect("COM9", nullptr));
    EXPECT_EQ(connection.Info().hardwareRevision, 0);
    EXPECT_EQ(connection.Info().firmwareVersion, 0);
    EXPECT_EQ(connection.Info().DeviceIdText(), "");
    Measurements m;
    EXPECT_FALSE(connection.GetMeasurements(m));
}

TEST(Connection, CommandsBeforeConnectFailQuickly) {
    TesterConnection connection;
    Measurements m;
    EXPECT_FALSE(connection.GetMeasurements(m));
}
