// ampwright-sim: a simulated tester on a pseudo-terminal.
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "scenario_commands.h"
#include "simulator.h"
#include "simulator_pty.h"
#include "platform/version.h"

namespace {
volatile sig_atomic_t stopSignal = 0;

void OnSignal(int) {
    stopSignal = 1;
}

const char kUsage[] =
    "Usage: ampwright-sim [options]\n"
    "Simulates the tester on a pseudo-terminal and prints its path (\"port: PATH\").\n"
    "Scenario and fault commands are read from standard input, one per line;\n"
    "the simulator keeps serving after standard input ends. SIGINT or SIGTERM end it.\n"
    "\n"
    "Options:\n"
    "  --link PATH          make PATH a symbolic link to the port\n"
    "  --seed N             seed of every random choice (noise, spectrum), default 1\n"
    "  --state FILE         keep registers, source types and calibration in FILE\n"
    "  --firmware N         firmware version in tenths (41 = 4.1), default 52\n"
    "  --hardware N         hardware revision in tenths, default 20\n"
    "  --api N              API version in tenths, default 12\n"
    "  --device-id ID       13-character device ID, default VQSIM00000001\n"
    "  --script FILE        run the commands of FILE first\n"
    "  --help               this text\n"
    "  --version            the version\n"
    "\n"
    "Commands:\n"
    "  reappear                          after vanish: serve a new pty (the link follows it)\n";

bool ParseByte(const char* text, uint8_t& out) {
    char* end = nullptr;
    long value = std::strtol(text, &end, 10);
    if (end == text || *end != 0 || value < 0 || value > 255) return false;
    out = static_cast<uint8_t>(value);
    return true;
}

// Opens the pty and points the link at it.
bool Serve(SimulatorPty& pty, const std::string& link) {
    if (!pty.Open()) {
        std::perror("openpty");
        return false;
    }
    if (!link.empty()) {
        ::unlink(link.c_str());
        if (::symlink(pty.Path().c_str(), link.c_str()) != 0) {
            std::perror(link.c_str());
            return false;
        }
    }
    std::cout << "port: " << pty.Path() << std::endl;
    return true;
}

// Runs one line; prints what it says. False when the line asks to quit.
bool RunLine(ScenarioCommands& commands, SimulatorPty& pty, const std::string& link, const std::string& line) {
    std::istringstream words(line);
    std::string command;
    if (words >> command && command == "reappear") {
        if (pty.IsServing()) {
            std::cerr << "the port is still there\n";
            return true;
        }
        return Serve(pty, link);
    }
    ScenarioCommands::Result result = commands.Run(line);
    if (!result.text.empty()) (result.ok ? std::cout : std::cerr) << result.text << std::flush;
    return !result.quit;
}
}  // namespace

int main(int argc, char** argv) {
    TesterIdentity identity;
    uint32_t seed = 1;
    std::string link, state, script;
    for (int i = 1; i < argc; ++i) {
        std::string option = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        auto needValue = [&]() {
            if (value == nullptr) {
                std::cerr << option << " needs a value\n";
                std::exit(2);
            }
            ++i;
            return value;
        };
        if (option == "--help" || option == "-h") {
            std::cout << kUsage << ScenarioCommands::Help();
            return 0;
        } else if (option == "--version") {
            std::cout << "ampwright-sim " AMPWRIGHT_VERSION_TEXT "\n";
            return 0;
        } else if (option == "--link") {
            link = needValue();
        } else if (option == "--seed") {
            seed = static_cast<uint32_t>(std::strtoul(needValue(), nullptr, 10));
        } else if (option == "--state") {
            state = needValue();
        } else if (option == "--script") {
            script = needValue();
        } else if (option == "--device-id") {
            identity.deviceId = std::string(needValue()).substr(0, 13);
        } else if (option == "--firmware" || option == "--hardware" || option == "--api") {
            uint8_t* field = option == "--firmware"   ? &identity.firmwareVersion
                             : option == "--hardware" ? &identity.hardwareRevision
                                                      : &identity.apiVersion;
            if (!ParseByte(needValue(), *field)) {
                std::cerr << option << " takes a number 0..255 (tenths)\n";
                return 2;
            }
        } else {
            std::cerr << "unknown option " << option << " (try --help)\n";
            return 2;
        }
    }

    struct sigaction action = {};
    action.sa_handler = OnSignal;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    signal(SIGPIPE, SIG_IGN);

    Simulator simulator(SystemClock(), seed, identity);
    if (!state.empty() && !simulator.UseStateFile(state)) {
        std::cerr << "cannot write the state file " << state << "\n";
        return 1;
    }
    SimulatorPty pty(simulator);
    if (!Serve(pty, link)) return 1;

    ScenarioCommands commands(simulator, SystemClock());
    bool running = true;
    if (!script.empty()) {
        std::ifstream in(script);
        if (!in) {
            std::cerr << "cannot read the script " << script << "\n";
            return 1;
        }
        std::string line;
        while (running && !stopSignal && std::getline(in, line))
            running = RunLine(commands, pty, link, line);
    }

    bool inputOpen = true;
    std::string pending;
    while (running && !stopSignal) {
        if (!inputOpen) {
            // Standard input has ended: serve on until a signal comes.
            ::poll(nullptr, 0, 200);
            continue;
        }
        pollfd fd = {STDIN_FILENO, POLLIN, 0};
        if (::poll(&fd, 1, 200) <= 0) continue;
        char buffer[512];
        ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n <= 0) {
            inputOpen = false;
            if (!pending.empty()) running = RunLine(commands, pty, link, pending);
            continue;
        }
        pending.append(buffer, static_cast<size_t>(n));
        for (size_t end; running && (end = pending.find('\n')) != std::string::npos;) {
            std::string line = pending.substr(0, end);
            pending.erase(0, end + 1);
            running = RunLine(commands, pty, link, line);
        }
    }
    pty.Close();
    if (!link.empty()) ::unlink(link.c_str());
    return 0;
}
