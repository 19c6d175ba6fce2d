#pragma once

#include <string>
#include <vector>

#include "cli/cli_args.h"

// One command of ampwright-cli: its name, a one-line summary for the
// program's help, its own help text, and what runs it (given the arguments
// after its name).
struct CliCommand {
    const char* name;
    const char* summary;
    const char* help;
    int (*run)(const std::vector<std::string>& args, CliIo& io);
};

const std::vector<CliCommand>& CliCommands();

// The whole program: dispatches on the first argument.
int RunCli(const std::vector<std::string>& args, CliIo& io);

// Each command lives in its own file.
extern const char* const kDecodeHelp;
int RunDecodeCommand(const std::vector<std::string>& args, CliIo& io);
extern const char* const kListHelp;
int RunListCommand(const std::vector<std::string>& args, CliIo& io);
extern const char* const kInfoHelp;
int RunInfoCommand(const std::vector<std::string>& args, CliIo& io);
extern const char* const kMonitorHelp;
int RunMonitorCommand(const std::vector<std::string>& args, CliIo& io);
extern const char* const kProfileHelp;
int RunProfileCommand(const std::vector<std::string>& args, CliIo& io);
extern const char* const kLoadHelp;
int RunLoadCommand(const std::vector<std::string>& args, CliIo& io);
extern const char* const kTraceHelp;
int RunTraceCommand(const std::vector<std::string>& args, CliIo& io);
extern const char* const kViTestHelp;
int RunViTestCommand(const std::vector<std::string>& args, CliIo& io);
