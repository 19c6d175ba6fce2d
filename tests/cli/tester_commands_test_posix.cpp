#include <gtest/gtest.h>

#include <fstream>

#include "cli/tester_ports.h"
#include "cli_run.h"
#include "support/sim_process_posix.h"

// The tester commands against ampwright-sim on a pty, driven through its
// script on standard input, as a lab script would drive a real tester.
namespace {
namespace fs = std::filesystem;

fs::path Temp(const std::string& name) {
    return fs::temp_directory_path() / (name + std::to_string(getpid()));
}

std::string ReadAll(std::FILE* pipe) {
    std::string out;
    char buffer[256];
    while (size_t n = std::fread(buffer, 1, sizeof buffer, pipe))
        out.append(buffer, n);
    return out;
}

class TesterCommands : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(sim.ready) << "ampwright-sim did not start"; }
    // The charger plugged and its 9 V profile negotiated before a test
    // starts, or the test sees the change and stops.
    void OnNineVolts(const std::string& charger) {
        sim.Send("plug " + charger, true);
        ASSERT_EQ(Cli({"profile", "1", "--port", sim.link}).code, 0);
        ASSERT_TRUE(sim.Shows("sink: profile 1 type"));
    }
    SimProcess sim;
};
}  // namespace

TEST_F(TesterCommands, InfoMonitorProfileAndLoad) {
    CliRun info = Cli({"info", "--port", sim.link});
    EXPECT_EQ(info.code, 0) << info.err;
    EXPECT_NE(info.out.find("device id: VQSIM00000001\nhardware revision: 2.0\nfirmware version: 5.2\n"),
              std::string::npos)
        << info.out;
    CliRun json = Cli({"info", "--json", "--port", sim.link});
    EXPECT_TRUE(json.out.starts_with("{\"port\": \"" + sim.link + "\", \"deviceId\": \"VQSIM00000001\"")) << json.out;

    ASSERT_NO_FATAL_FAILURE(OnNineVolts("pd65"));
    CliRun list = Cli({"profile", "LIST", "--port", sim.link});
    EXPECT_EQ(list.code, 0) << list.err;
    EXPECT_NE(list.out.find("1 PD-FIX 9.00V\n"), std::string::npos) << list.out;
    EXPECT_NE(list.out.find("5 PD-PPS 3.30V-11.00V\n"), std::string::npos) << list.out;
    CliRun outside = Cli({"profile", "5", "--mv", "12000", "--port", sim.link});
    EXPECT_EQ(outside.code, 2);
    EXPECT_NE(outside.err.find("Please enter a number between 3300-11000"), std::string::npos) << outside.err;

    CliRun monitor = Cli({"monitor", "--count", "3", "--interval", "100", "--csv", "--port", sim.link});
    EXPECT_EQ(monitor.code, 0) << monitor.err;
    EXPECT_NE(monitor.out.find(",1,PD-FIX\n"), std::string::npos) << monitor.out;

    CliRun tooMuch = Cli({"load", "3500", "--port", sim.link});
    EXPECT_EQ(tooMuch.code, 2);
    EXPECT_NE(tooMuch.err.find("above the load current limit of 3000 mA"), std::string::npos) << tooMuch.err;
    EXPECT_EQ(Cli({"load", "1000", "--ramp", "20", "--port", sim.link}).code, 0);
    EXPECT_TRUE(sim.Shows("load 1000 mA"));
}

// A passing run is checked end to end; a failing step is exit code 1.
TEST_F(TesterCommands, ViTestWithAFailingStepExitsWithOne) {
    ASSERT_NO_FATAL_FAILURE(OnNineVolts("pd-sag"));
    fs::path csv = Temp("vi-csv-");
    CliRun run = Cli({"vi-test", "--step", "500", "--step-time", "700", "-o", csv.string(), "--port", sim.link});
    EXPECT_EQ(run.code, 1) << run.err;
    EXPECT_NE(run.err.find("End Voltage vs. Current Test\n"), std::string::npos) << run.err;
    std::ifstream file(csv, std::ios::binary);
    std::string text(std::istreambuf_iterator<char>(file), {});
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 8) << text;  // header and 0..3000 mA
    EXPECT_NE(text.find(",FAIL\r\n"), std::string::npos) << text;
    EXPECT_TRUE(sim.Shows("load 0 mA"));
    fs::remove(csv);
}

// A tester that goes silent or vanishes part-way: the steps it measured are
// counted, nothing is judged after them, no CSV is written, and the load is
// not claimed off when that could not be confirmed.
TEST_F(TesterCommands, ViTestWhoseTesterStopsAnsweringIsIncomplete) {
    for (auto [fault, mend] : {std::pair{"silent on", "silent off"}, std::pair{"vanish", "reappear"}}) {
        SCOPED_TRACE(fault);
        ASSERT_NO_FATAL_FAILURE(OnNineVolts("pd65"));
        fs::path csv = Temp("vi-incomplete-");
        CliRun run;
        std::thread test([&] {
            run = Cli({"vi-test", "--step", "500", "--step-time", "700", "-o", csv.string(), "--port", sim.link});
        });
        bool loading = false;
        for (int i = 0; i < 5 && !loading; ++i)
            loading = sim.Shows("load 1000 mA");
        sim.Send(fault);
        test.join();
        ASSERT_TRUE(loading);
        EXPECT_EQ(run.code, 2) << run.err;
        std::string last = run.err.substr(run.err.rfind('\n', run.err.size() - 2) + 1);
        EXPECT_EQ(last.rfind("ampwright-cli vi-test: the test is incomplete: the tester stopped answering at ", 0), 0u)
            << run.err;
        EXPECT_NE(last.find(" steps measured; the load may still be on at "), std::string::npos) << last;
        EXPECT_EQ(run.err.find("PASS"), std::string::npos);
        EXPECT_FALSE(fs::exists(csv)) << "no CSV for an incomplete run";
        sim.Send(mend, true);
    }
}

TEST_F(TesterCommands, CtrlCDuringViTestSwitchesTheLoadOff) {
    ASSERT_NO_FATAL_FAILURE(OnNineVolts("pd65"));
    std::string command = std::string(AMPWRIGHT_CLI_PATH) + " vi-test --step 100 --step-time 1000 --port " + sim.link;
    pid_t child = fork();
    if (child == 0) {
        execl("/bin/sh", "sh", "-c", ("exec " + command + " 2>/dev/null").c_str(), nullptr);
        _exit(127);
    }
    // The test has stepped the load up (however long the CLI took to start).
    std::string loading;
    for (int i = 0; i < 200 && (loading = sim.Status()).find("load 0 mA") != std::string::npos; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(loading.find("load 0 mA"), std::string::npos) << loading;
    kill(child, SIGINT);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2);
    EXPECT_TRUE(sim.Shows("load 0 mA"));
}

TEST_F(TesterCommands, MissingPortVanishingTesterAndDiscovery) {
    CliRun missing = Cli({"info", "--port", "/dev/no-such-tester"});
    EXPECT_EQ(missing.code, 2);
    EXPECT_EQ(missing.err,
              "ampwright-cli info: cannot open /dev/no-such-tester (missing, or in use by another program)\n");

    fs::path byId = Temp("by-id-");
    fs::create_directories(byId);
    fs::create_symlink(sim.link, byId / "usb-Quarnel_Voltiq_VQ0001-if00-port0");
    fs::create_symlink(sim.link, byId / "usb-Other_Serial_0001-if00-port0");
    EXPECT_EQ(TesterPortsInDirectory(byId.string()),
              std::vector<std::string>{(byId / "usb-Quarnel_Voltiq_VQ0001-if00-port0").string()});
    std::string error;
    EXPECT_FALSE(ChooseTesterPort(std::nullopt, {"A", "B"}, error));
    EXPECT_EQ(error, "more than one tester found (A, B); choose one with --port PORT");
    fs::remove_all(byId);

    sim.Send("plug pd65", true);
    std::string command = std::string(AMPWRIGHT_CLI_PATH) + " monitor --interval 100 --port " + sim.link + " 2>&1";
    std::FILE* pipe = popen(command.c_str(), "r");
    char line[512];
    ASSERT_NE(std::fgets(line, sizeof line, pipe), nullptr);  // readings arrive line by line
    sim.Send("vanish");
    std::string rest;
    while (std::fgets(line, sizeof line, pipe))
        rest = line;
    EXPECT_EQ(WEXITSTATUS(pclose(pipe)), 2);
    EXPECT_EQ(rest, "ampwright-cli monitor: the tester stopped answering\n");
}

TEST_F(TesterCommands, TraceWritesWhatTheChargerSaidAsHexAlsoWhenTheTesterFallsSilent) {
    fs::path messages = Temp("replay-");
    std::ofstream(messages) << "A1 21 2C 91 01 0A 2C D1 02 00\n41 06\n";
    std::string command = std::string(AMPWRIGHT_CLI_PATH) + " trace --seconds 3 --hex --port " + sim.link;
    std::FILE* pipe = popen(command.c_str(), "r");
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    sim.Send("replay " + messages.string() + " 20");
    std::string out = ReadAll(pipe);
    EXPECT_EQ(WEXITSTATUS(pclose(pipe)), 0);
    EXPECT_EQ(out, "A1 21 2C 91 01 0A 2C D1 02 00\n41 06\n");

    // A tester that stops answering part-way: what was captured is written,
    // and the command still says it failed.
    command = std::string(AMPWRIGHT_CLI_PATH) + " trace --seconds 30 --hex --port " + sim.link + " 2>/dev/null";
    pipe = popen(command.c_str(), "r");
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    sim.Send("replay " + messages.string() + " 20");
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    sim.Send("silent on");
    out = ReadAll(pipe);
    EXPECT_EQ(WEXITSTATUS(pclose(pipe)), 2);
    EXPECT_EQ(out, "A1 21 2C 91 01 0A 2C D1 02 00\n41 06\n");
    sim.Send("silent off", true);
    fs::remove(messages);
}

// Wrong arguments are refused before the port is even opened: a port that
// does not exist would otherwise give "cannot open".
TEST(TesterCommandArguments, AreRefusedBeforeAnythingIsSent) {
    const struct {
        std::vector<std::string> args;
        const char* message;
    } cases[] = {
        {{"vi-test", "--step", "300", "--step-time", "100"},
         "vi-test: Minimum value for Time Intervals at 300mA steps is 450 mSec"},
        {{"vi-test", "--step", "100"}, "vi-test: --step and --step-time are required"},
        {{"monitor", "--interval", "50"}, "monitor: --interval must lie in 100..3600000"},
        {{"monitor", "--csv", "--json"}, "monitor: --csv and --json exclude each other"},
        {{"load", "1e3"}, "load: MA needs a whole number, not 1e3"},
        {{"profile", "24"}, "profile: INDEX must lie in 0..23"},
        {{"profile", "LIST", "--mv", "5000"}, "profile: --mv goes with a profile index"},
        {{"trace", "--seconds", "0"}, "trace: --seconds must lie in 1..86400"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = c.args;
        args.insert(args.end(), {"--port", "/dev/no-such-tester"});
        CliRun refused = Cli(args);
        EXPECT_EQ(refused.code, 2) << c.message;
        EXPECT_EQ(refused.err, std::string("ampwright-cli ") + c.message + "\n");
    }
    CliRun help = Cli({"vi-test", "--help"});
    EXPECT_EQ(help.code, 0);
    EXPECT_TRUE(help.out.starts_with("Usage: ampwright-cli vi-test --step MA")) << help.out;
}
