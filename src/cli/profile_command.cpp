#include <chrono>
#include <thread>

#include "cli/cli_commands.h"
#include "cli/tester_session.h"
#include "monitor/profile_list_text.h"
#include "monitor/profile_type.h"
#include "monitor/voltage_limits.h"
#include "platform/clock.h"

const char* const kProfileHelp =
    "Usage: ampwright-cli profile LIST [--port PORT]\n"
    "       ampwright-cli profile INDEX [--mv MV] [--port PORT]\n\n"
    "LIST prints the attached charger's capabilities as the window lists them,\n"
    "one per line after its index. INDEX requests that profile; for a ranged\n"
    "one (PD-PPS, EPR-AVS, QC) --mv asks for a voltage inside its range.\n"
    "Exit codes: 0 done, 2 a wrong command line, a voltage outside the range,\n"
    "no charger, or a tester that does not answer.\n";

namespace {
// Waits for the poll loop to take a request it was handed.
bool Served(const std::atomic<bool>& pending) {
    for (uint64_t until = SystemClock().NowMs() + 3000; pending;) {
        if (SystemClock().NowMs() >= until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}
}  // namespace

int RunProfileCommand(const std::vector<std::string>& args, CliIo& io) {
    CliArgs parsed;
    if (std::optional<int> done = ParseTesterArgs(args, {{"--mv"}, {}}, "profile", kProfileHelp, io, parsed))
        return *done;
    TesterSession session(io, "profile");
    std::string error;
    std::optional<int> voltageMv = NumberOption(parsed, "--mv", 0, 65535, error);
    bool list = parsed.positional.size() == 1 && (parsed.positional[0] == "LIST" || parsed.positional[0] == "list");
    int index = -1;
    if (error.empty() && parsed.positional.size() != 1) error = "give LIST or a profile index";
    if (error.empty() && !list) {
        CliArgs asOption;
        asOption.values["INDEX"] = parsed.positional[0];
        index = NumberOption(asOption, "INDEX", 0, SinkCapabilities::kMaxEntries - 1, error).value_or(-1);
    }
    if (error.empty() && list && voltageMv) error = "--mv goes with a profile index";
    if (!error.empty()) return session.Fail(error);

    if (!session.Open(parsed.Value({"--port"})) || !session.StartPolling()) return kCliBadInput;
    LiveState& live = session.live;
    if (!live.sinkActive) return session.Fail("no charger attached to the sink port");
    SinkCapabilities caps = live.Capabilities();
    if (list) {
        for (size_t i = 0; i < caps.count; ++i)
            io.out << i << " " << ProfileListText(caps.entries[i]) << "\n";
        io.out.flush();
        return kCliOk;
    }
    if (index >= caps.count) return session.Fail("the charger has no profile " + std::to_string(index));
    const SinkCapability& entry = caps.entries[static_cast<size_t>(index)];
    bool ranged = IsRangedProfile(entry.ProfileType(), entry.ProfileSubtype());
    if (voltageMv && !ranged) return session.Fail("profile " + std::to_string(index) + " has a fixed voltage");
    if (voltageMv) {
        *voltageMv = RoundVoltageForProfile(entry.ProfileType(), entry.ProfileSubtype(), *voltageMv);
        if (std::optional<std::string> outside = VoltageRangeMessage(caps, index, *voltageMv))
            return session.Fail(*outside);
    }

    live.requestedProfileIndex = index;
    live.profileSelectPending.store(true, std::memory_order_release);
    if (!Served(live.profileSelectPending)) return session.Fail("the tester stopped answering");
    if (voltageMv) {
        live.requestedVoltageMv = static_cast<uint16_t>(*voltageMv);
        live.voltageRequestPending.store(true, std::memory_order_release);
        if (!Served(live.voltageRequestPending)) return session.Fail("the tester stopped answering");
    }
    io.out << "requested profile " << index << " " << ProfileListText(entry);
    if (voltageMv) io.out << " at " << *voltageMv << " mV";
    io.out << "\n";
    io.out.flush();
    return kCliOk;
}
