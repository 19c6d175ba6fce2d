#pragma once

#include <memory>
#include <optional>
#include <string>

#include "cli/cli_args.h"
#include "cli/headless.h"
#include "device/tester_connection.h"
#include "monitor/event_log.h"
#include "monitor/live_state.h"
#include "monitor/status_poll_loop.h"

// The help lines of the option every tester command takes.
extern const char* const kPortOptionHelp;

// One command's link to a tester: the connection and the poll loop that owns
// the periodic traffic (as in the window), publishing into `live`, which the
// command reads. Messages go to standard error prefixed with the command.
class TesterSession {
public:
    TesterSession(CliIo& io, const std::string& command);
    ~TesterSession();
    TesterSession(const TesterSession&) = delete;
    TesterSession& operator=(const TesterSession&) = delete;

    // Connects to the given port, else the only tester found, and reads its
    // registers as the window does on selecting a tester. False (the reason
    // printed) when there is no such tester or it does not answer.
    bool Open(const std::optional<std::string>& port);
    // Starts the poll loop and waits until it has read the tester's ports
    // (and an attached charger's capabilities and first measurement).
    bool StartPolling();
    // False once the tester has stopped answering.
    bool Answering();
    // Stops the poll loop and, for a command that loads the charger,
    // switches the load off and confirms it. Runs at the latest when the
    // session ends. The set point the load may still be at when that could
    // not be confirmed.
    std::optional<uint16_t> Finish();

    // Prints "ampwright-cli COMMAND: message" to standard error; returns
    // the exit code of a tester error.
    int Fail(const std::string& message);

    CliIo& io;
    std::string port;
    bool loadOffAtEnd = false;  // a command that loads the charger switches it off when it ends
    StderrPrompts prompts;
    LiveState live;
    EventLog log;
    PortEvents events;
    TesterConnection tester;

private:
    std::string prefix_;
    std::unique_ptr<StatusPollLoop> loop_;
    bool opened_ = false;
    uint64_t lastCount_ = 0;
    uint64_t lastCountMs_ = 0;
};

// The whole-number value of an option in minimum..maximum: nothing when it
// is absent; on a value that is not a number or out of range `error` says so.
std::optional<int> NumberOption(const CliArgs& args, const char* name, int minimum, int maximum, std::string& error);

// Splits a tester command's arguments: its own options plus --port and
// --help. Returns the exit code when the command ends here (help shown, or
// the command line refused with the reason and the help on standard error).
std::optional<int> ParseTesterArgs(const std::vector<std::string>& args, CliOptionSpec spec, const std::string& command,
                                   const char* help, CliIo& io, CliArgs& parsed);
