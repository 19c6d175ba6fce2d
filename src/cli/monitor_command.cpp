#include <chrono>
#include <ctime>
#include <thread>

#include "cli/cli_commands.h"
#include "cli/cli_interrupt.h"
#include "cli/tester_session.h"
#include "monitor/profile_type.h"
#include "platform/format.h"

const char* const kMonitorHelp =
    "Usage: ampwright-cli monitor [--port PORT] [--interval MS] [--count N] [--csv|--json]\n\n"
    "Prints one line per reading: the time (UTC), the sink and source voltage,\n"
    "the sink current, the power, the tester's temperature and the negotiated\n"
    "profile (its index and type; 0 and - while no charger is attached). Each\n"
    "line is flushed at once, so the output can be piped. Ctrl-C ends it.\n\n"
    "  --interval MS  time between readings, 100..3600000, default 1000\n"
    "  --count N      stop after N readings (default: until Ctrl-C)\n"
    "  --csv          comma-separated values after a header line\n"
    "  --json         one JSON object per line\n"
    "Exit codes: 0 done, 2 a wrong command line or a tester that does not\n"
    "answer or stops answering.\n";

namespace {
enum class Style { Text, Csv, Json };

std::string TimeStamp() {
    auto now = std::chrono::system_clock::now();
    std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    int ms =
        static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000);
    std::tm utc = *std::gmtime(&seconds);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &utc);
    return Format("%s.%03dZ", text, ms);
}

std::string ReadingLine(const LiveState& live, Style style) {
    Measurement m = live.LatestMeasurement();
    float sinkV = m.SinkVolts(), sourceV = m.SourceVolts();
    int currentMa = m.sinkCurrentMa, temperature = m.temperatureC;
    float powerW = sinkV * static_cast<float>(currentMa) / 1000;
    bool attached = live.sinkActive;
    int index = attached ? live.sinkProfileIndex.load() : 0;
    std::string type = attached ? std::string(ProfileTypeName(live.sinkProfileType, live.sinkProfileSubtype)) : "-";
    std::string time = TimeStamp();
    switch (style) {
        case Style::Csv:
            return Format("%s,%.3f,%.3f,%d,%.3f,%d,%d,%s", time.c_str(), sinkV, sourceV, currentMa, powerW, temperature,
                          index, type.c_str());
        case Style::Json:
            return Format(
                "{\"time\": \"%s\", \"sinkV\": %.3f, \"sourceV\": %.3f, \"currentMa\": %d, \"powerW\": %.3f, "
                "\"temperatureC\": %d, \"profileIndex\": %d, \"profileType\": \"%s\"}",
                time.c_str(), sinkV, sourceV, currentMa, powerW, temperature, index, type.c_str());
        case Style::Text:
            break;
    }
    return Format("%s  sink %6.3f V  source %6.3f V  %5d mA  %7.3f W  %3d C  profile %d %s", time.c_str(), sinkV,
                  sourceV, currentMa, powerW, temperature, index, type.c_str());
}
}  // namespace

int RunMonitorCommand(const std::vector<std::string>& args, CliIo& io) {
    CliArgs parsed;
    CliOptionSpec spec{{"--interval", "--count"}, {"--csv", "--json"}};
    if (std::optional<int> done = ParseTesterArgs(args, spec, "monitor", kMonitorHelp, io, parsed)) return *done;
    TesterSession session(io, "monitor");
    std::string error;
    int interval = NumberOption(parsed, "--interval", 100, 3600000, error).value_or(1000);
    int count = NumberOption(parsed, "--count", 1, 1000000000, error).value_or(0);
    if (error.empty() && parsed.Has("--csv") && parsed.Has("--json")) error = "--csv and --json exclude each other";
    if (error.empty() && !parsed.positional.empty()) error = "unexpected argument " + parsed.positional[0];
    if (!error.empty()) return session.Fail(error);
    Style style = parsed.Has("--csv") ? Style::Csv : parsed.Has("--json") ? Style::Json : Style::Text;

    CatchInterrupt();
    if (!session.Open(parsed.Value({"--port"})) || !session.StartPolling()) return kCliBadInput;
    if (style == Style::Csv)
        io.out << "time,sink_v,source_v,current_ma,power_w,temperature_c,profile_index,profile_type\n";
    for (int shown = 0; count == 0 || shown < count; ++shown) {
        if (shown > 0) {
            auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(interval);
            while (!Interrupted() && std::chrono::steady_clock::now() < until)
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        if (Interrupted()) break;
        if (!session.Answering()) return session.Fail("the tester stopped answering");
        io.out << ReadingLine(session.live, style) << std::endl;
    }
    return kCliOk;
}
