#include "cli/cli_commands.h"

#include "platform/version.h"

namespace {
void PrintProgramHelp(std::ostream& out) {
    out << "Usage: ampwright-cli COMMAND [ARGUMENTS]\n"
           "       ampwright-cli COMMAND --help\n"
           "       ampwright-cli --version\n\n"
           "Commands:\n";
    for (const CliCommand& command : CliCommands())
        out << "  " << command.name << std::string(10 - std::min<size_t>(9, std::string(command.name).size()), ' ')
            << command.summary << "\n";
}

const CliCommand* FindCommand(const std::string& name) {
    for (const CliCommand& command : CliCommands()) {
        if (name == command.name) return &command;
    }
    return nullptr;
}
}  // namespace

const std::vector<CliCommand>& CliCommands() {
    static const std::vector<CliCommand> kCommands = {
        {"list", "the testers attached, one port per line", kListHelp, RunListCommand},
        {"info", "the tester's identity, versions and registers", kInfoHelp, RunInfoCommand},
        {"monitor", "one line per reading, until Ctrl-C or --count", kMonitorHelp, RunMonitorCommand},
        {"profile", "list the charger's profiles or request one", kProfileHelp, RunProfileCommand},
        {"load", "set the electronic load", kLoadHelp, RunLoadCommand},
        {"trace", "capture the PD messages as the tracer's CSV or as hex", kTraceHelp, RunTraceCommand},
        {"vi-test", "the voltage-versus-current test, exit 0 pass / 1 fail", kViTestHelp, RunViTestCommand},
        {"decode", "turn PD messages written as hex into the tracer's CSV", kDecodeHelp, RunDecodeCommand},
    };
    return kCommands;
}

int RunCli(const std::vector<std::string>& args, CliIo& io) {
    if (args.empty()) {
        PrintProgramHelp(io.err);
        return kCliBadInput;
    }
    const std::string& first = args[0];
    if (first == "--help" || first == "-h" || first == "help") {
        const CliCommand* command = args.size() > 1 ? FindCommand(args[1]) : nullptr;
        if (command != nullptr) {
            io.out << command->help;
        } else {
            PrintProgramHelp(io.out);
        }
        return kCliOk;
    }
    if (first == "--version") {
        io.out << "ampwright-cli " AMPWRIGHT_VERSION_TEXT "\n";
        return kCliOk;
    }
    const CliCommand* command = FindCommand(first);
    if (command == nullptr) {
        io.err << "ampwright-cli: unknown command " << first << "\n";
        PrintProgramHelp(io.err);
        return kCliBadInput;
    }
    return command->run(std::vector<std::string>(args.begin() + 1, args.end()), io);
}
