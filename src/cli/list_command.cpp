#include "cli/cli_commands.h"
#include "cli/tester_ports.h"
#include "cli/tester_session.h"

const char* const kListHelp =
    "Usage: ampwright-cli list\n\n"
    "Prints the port of every tester attached, one per line: on Windows the\n"
    "COM ports the application finds, on Linux the entries of /dev/serial/by-id\n"
    "whose USB description names the tester. Nothing is printed when there is\n"
    "none. Exit code 0.\n";

int RunListCommand(const std::vector<std::string>& args, CliIo& io) {
    CliArgs parsed;
    if (std::optional<int> done = ParseTesterArgs(args, {}, "list", kListHelp, io, parsed)) return *done;
    for (const std::string& port : ListTesterPorts())
        io.out << port << "\n";
    io.out.flush();
    return kCliOk;
}
