#include <algorithm>
#include <chrono>
#include <mutex>
#include <thread>

#include "cli/cli_commands.h"
#include "cli/cli_files.h"
#include "cli/cli_interrupt.h"
#include "cli/tester_session.h"
#include "platform/format.h"
#include "tracer/pd_header.h"
#include "tracer/trace_csv.h"
#include "tracer/trace_decoder.h"
#include "platform/mutex.h"

const char* const kTraceHelp =
    "Usage: ampwright-cli trace [--seconds S] [-o FILE] [--hex] [--port PORT]\n\n"
    "Captures the PD messages on the sink port for S seconds (default: until\n"
    "Ctrl-C) and writes them as the tracer's \"Export to CSV\" does.\n\n"
    "  --seconds S  capture time, 1..86400 s\n"
    "  -o FILE      write to FILE (replaced only when complete) instead of the\n"
    "               standard output\n"
    "  --hex        write each message as hex, header first, one per line: the\n"
    "               lines that `decode` and ampwright-sim's replay read\n"
    "Exit codes: 0 done, 1 the file could not be written, 2 a wrong command\n"
    "line or a tester that does not answer or stops answering.\n";

namespace {
// The message's bytes as the hex line `decode` reads back.
std::string HexLine(const TraceRecord& record) {
    size_t bytes = std::min<size_t>(record.size(), 2 + 4u * DecodeHeader(record).dataObjectCount);
    std::string line;
    for (size_t i = 0; i < bytes; ++i)
        line += Format(i ? " %02X" : "%02X", record[i]);
    return line + "\n";
}
}  // namespace

int RunTraceCommand(const std::vector<std::string>& args, CliIo& io) {
    CliArgs parsed;
    CliOptionSpec spec{{"--seconds", "-o", "--output"}, {"--hex"}};
    if (std::optional<int> done = ParseTesterArgs(args, spec, "trace", kTraceHelp, io, parsed)) return *done;
    TesterSession session(io, "trace");
    std::string error;
    int seconds = NumberOption(parsed, "--seconds", 1, 86400, error).value_or(0);
    if (error.empty() && !parsed.positional.empty()) error = "unexpected argument " + parsed.positional[0];
    if (!error.empty()) return session.Fail(error);
    bool hex = parsed.Has("--hex");

    CatchInterrupt();
    if (!session.Open(parsed.Value({"--port"})) || !session.StartPolling()) return kCliBadInput;
    Mutex lock;  // the rows grow on the communication thread
    std::vector<std::string> rows;
    std::string hexText;
    PendingEcho echo;  // nothing awaited: no message is sent from here
    bool started = session.tester.StartTrace([&](const TraceRecord& record) {
        std::lock_guard<std::mutex> held(lock);
        std::optional<std::string> row = DecodeTracedMessage(record, echo);
        if (!row) return;
        rows.push_back(*row);
        hexText += HexLine(record);
    });
    if (!started) return session.Fail("the tester did not start tracing");
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    bool answering = true;
    while (!Interrupted() && (seconds == 0 || std::chrono::steady_clock::now() < until) &&
           (answering = session.Answering())) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    session.tester.StopTrace();
    session.Finish();

    // What was captured is written even when the tester stopped answering.
    std::lock_guard<std::mutex> held(lock);
    std::optional<std::string> output = parsed.Value({"-o", "--output"});
    if (output == "-") output.reset();
    if (!WriteCliOutput(output, hex ? hexText : TraceCsvText(rows), io, error)) {
        session.Fail(error);
        return kCliFailed;
    }
    if (!answering) {
        return session.Fail("the tester stopped answering; the " + std::to_string(rows.size()) +
                            " messages captured before were written");
    }
    return kCliOk;
}
