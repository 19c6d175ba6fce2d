#include <algorithm>
#include <atomic>
#include <thread>

#include "cli/cli_commands.h"
#include "cli/cli_files.h"
#include "cli/cli_interrupt.h"
#include "cli/tester_session.h"
#include "graphs/result_csv.h"
#include "graphs/voltage_current_settings.h"
#include "graphs/voltage_current_test.h"
#include "platform/format.h"

const char* const kViTestHelp =
    "Usage: ampwright-cli vi-test --step MA --step-time MS [--load-change MS]\n"
    "                             [-o FILE.csv] [--port PORT]\n\n"
    "Runs the voltage-versus-current test on the negotiated profile: loads the\n"
    "charger in steps of MA up to the load current limit, holds each step MS\n"
    "and judges the voltage measured against the profile's limits. The test's\n"
    "log lines go to standard error as it runs. A step without a measurement\n"
    "of its own at the step's current (a tester that stops answering, a load\n"
    "the tester did not take) ends the run as incomplete: nothing after it is\n"
    "judged and no CSV is written. A step passes when its point lies in the\n"
    "plot's required operating range or permissible shut-down region. The\n"
    "load is switched off, and confirmed off, at the end, on Ctrl-C and on\n"
    "every error.\n\n"
    "  --step MA          current added per step, 5..500 mA\n"
    "  --step-time MS     time each step is held, 30..60000 ms (at least 4/3 of\n"
    "                     the step in ms per mA)\n"
    "  --load-change MS   time the load takes to each new step (default: the\n"
    "                     tester's); lowered to leave 10 ms of the step time\n"
    "  -o FILE.csv        write the result as the graph window's CSV (replaced\n"
    "                     only when complete)\n"
    "Exit codes: 0 every step passed, 1 a step failed, 2 a wrong command line,\n"
    "no charger, a tester error, a detach, Ctrl-C, an incomplete run or a\n"
    "load that could not be confirmed off.\n";

namespace {
// Copies the log's new records to standard error and turns Ctrl-C into the
// window's Stop, until the run ends.
class RunWatcher {
public:
    explicit RunWatcher(TesterSession& session) : session_(session), printed_(session.log.Records().RecordCount()) {
        thread_ = std::thread([this] {
            while (!done_) {
                Pass();
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
        });
    }
    ~RunWatcher() { End(); }
    void End() {
        if (!thread_.joinable()) return;
        done_ = true;
        thread_.join();
        Pass();
    }
    bool Stopped() const { return stopped_; }

private:
    void Pass() {
        if (Interrupted() && !stopped_) {
            stopped_ = true;
            session_.live.testIdle = true;
            session_.events.testStop.Set();
        }
        const Logger& records = session_.log.Records();
        for (; printed_ < records.RecordCount(); ++printed_) {
            if (std::optional<Logger::Record> record = records.GetRecord(printed_))
                session_.prompts.WriteLine(record->text);
        }
    }

    TesterSession& session_;
    int printed_;
    std::atomic<bool> done_{false};
    std::atomic<bool> stopped_{false};
    std::thread thread_;
};
}  // namespace

int RunViTestCommand(const std::vector<std::string>& args, CliIo& io) {
    CliArgs parsed;
    CliOptionSpec spec{{"--step", "--step-time", "--load-change", "-o", "--output"}, {}};
    if (std::optional<int> done = ParseTesterArgs(args, spec, "vi-test", kViTestHelp, io, parsed)) return *done;
    TesterSession session(io, "vi-test");
    std::string error;
    std::optional<int> step = NumberOption(parsed, "--step", 0, 65535, error);
    std::optional<int> stepTime = NumberOption(parsed, "--step-time", 0, 65535, error);
    std::optional<int> loadChange = NumberOption(parsed, "--load-change", 10, 60000, error);
    if (error.empty() && (!step || !stepTime)) error = "--step and --step-time are required";
    if (error.empty() && !parsed.positional.empty()) error = "unexpected argument " + parsed.positional[0];
    if (error.empty()) {
        std::optional<SettingRefusal> refusal = CheckCurrentStep(*step);
        if (!refusal) refusal = CheckStepTime(*step, *stepTime);
        if (refusal) error = refusal->message;
    }
    if (!error.empty()) return session.Fail(error);

    CatchInterrupt();
    session.loadOffAtEnd = true;
    if (!session.Open(parsed.Value({"--port"})) || !session.StartPolling()) return kCliBadInput;
    LiveState& live = session.live;
    if (loadChange) live.loadChangeSpeedMs = static_cast<uint16_t>(*loadChange);
    int speed = FittingLoadChangeSpeed(live.loadChangeSpeedMs, *stepTime);
    if (speed != live.loadChangeSpeedMs) session.prompts.ShowMessage(kLoadChangeSpeedMessage, "", Prompts::kOk);
    live.vstepIntervalMs = static_cast<uint16_t>(*stepTime);

    VoltageCurrentTest test;
    SilentRunView view;
    RunContext context{live, session.log, session.events, view, session.prompts, SystemClock(), &session.tester};
    bool attached = live.sinkActive;
    RunWatcher watcher(session);
    live.testIdle = false;
    test.Run({static_cast<uint16_t>(*step), static_cast<uint16_t>(*stepTime), static_cast<uint16_t>(speed)},
             CopyRunProfile(live), context);
    live.testIdle = true;
    watcher.End();
    bool answering = session.Answering();
    // The test confirmed the load off already; this tries again where it
    // could not, and has the last word.
    std::optional<uint16_t> leftOnMa = session.Finish();

    if (!attached) return kCliBadInput;  // the test said so
    VoltageCurrentResult result = test.Result();
    std::vector<bool> verdicts = StepVerdicts(result);
    std::string load = leftOnMa ? Format("the load may still be on at %d mA", *leftOnMa) : "the load is off";
    std::string measured = Format("%zu steps measured", verdicts.size());
    // A run cut short judged only part of the curve: never a pass, and no CSV.
    if (watcher.Stopped()) return session.Fail("stopped by Ctrl-C; " + measured + "; " + load);
    if (!result.endReason.empty())
        return session.Fail("the test is incomplete: " + result.endReason + "; " + measured + "; " + load);
    if (!answering) return session.Fail("the tester stopped answering; " + measured + "; " + load);
    if (!live.sinkActive) return session.Fail("the charger detached during the test; " + measured + "; " + load);
    if (verdicts.empty()) return session.Fail("no step was measured; " + load);
    if (!result.complete) return session.Fail("the test ended before its last step; " + measured + "; " + load);
    std::optional<std::string> output = parsed.Value({"-o", "--output"});
    if (output == "-") output.reset();
    if (!WriteCliOutput(output, ResultCsvText(result), io, error)) return session.Fail(error);
    int failed = static_cast<int>(std::count(verdicts.begin(), verdicts.end(), false));
    io.err << verdicts.size() << " steps measured, " << failed << " failed\n";
    if (leftOnMa) return session.Fail(load);
    return failed > 0 ? kCliFailed : kCliOk;
}
