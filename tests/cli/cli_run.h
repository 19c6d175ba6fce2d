#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "cli/cli_commands.h"
#include "cli/cli_interrupt.h"

// One ampwright-cli command run in-process: its exit code and what it wrote.
struct CliRun {
    int code;
    std::string out, err;
};

inline CliRun Cli(const std::vector<std::string>& args, const std::string& input = "") {
    ClearInterrupt();
    std::istringstream in(input);
    std::ostringstream out, err;
    CliIo io{in, out, err};
    int code = RunCli(args, io);
    return {code, out.str(), err.str()};
}
