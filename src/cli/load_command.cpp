#include <chrono>
#include <thread>

#include "cli/cli_commands.h"
#include "cli/tester_session.h"

const char* const kLoadHelp =
    "Usage: ampwright-cli load MA [--ramp MS] [--port PORT]\n\n"
    "Sets the electronic load on the sink port to MA milliamperes (0 switches\n"
    "it off); it stays set when the command ends. MA above the load current\n"
    "limit of the negotiated profile is refused.\n\n"
    "  --ramp MS    time the load takes to reach MA, 0..60000 ms (default: the\n"
    "               tester's load change time)\n"
    "Exit codes: 0 done, 2 a wrong command line, a current above the limit,\n"
    "no charger, or a tester that does not answer.\n";

int RunLoadCommand(const std::vector<std::string>& args, CliIo& io) {
    CliArgs parsed;
    if (std::optional<int> done = ParseTesterArgs(args, {{"--ramp"}, {}}, "load", kLoadHelp, io, parsed)) return *done;
    TesterSession session(io, "load");
    std::string error;
    std::optional<int> ramp = NumberOption(parsed, "--ramp", 0, 60000, error);
    std::optional<int> currentMa;
    if (error.empty() && parsed.positional.size() != 1) error = "give the current in mA";
    if (error.empty()) {
        CliArgs asOption;
        asOption.values["MA"] = parsed.positional[0];
        currentMa = NumberOption(asOption, "MA", 0, 65535, error);
    }
    if (!error.empty()) return session.Fail(error);

    if (!session.Open(parsed.Value({"--port"})) || !session.StartPolling()) return kCliBadInput;
    LiveState& live = session.live;
    if (*currentMa > 0 && !live.sinkActive) return session.Fail("no charger attached to the sink port");
    int limit = live.loadCurrentLimit;
    if (*currentMa > limit) {
        return session.Fail(std::to_string(*currentMa) + " mA is above the load current limit of " +
                            std::to_string(limit) + " mA");
    }
    if (ramp) live.loadChangeSpeedMs = static_cast<uint16_t>(*ramp);
    live.requestedLoadMa = static_cast<uint16_t>(*currentMa);
    live.loadCurrentPending.store(true, std::memory_order_release);
    for (int waited = 0; live.loadCurrentPending; waited += 10) {
        if (waited >= 3000) return session.Fail("the tester stopped answering");
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    io.out << "load set to " << *currentMa << " mA\n";
    io.out.flush();
    return kCliOk;
}
