// The simulator's scenario and fault commands, any lines at all, on a
// simulator whose model runs on a fast clock; and the replay files those
// commands read. A command either works or says why not.
#include <sstream>

#include "fuzz_support.h"
#include "replay.h"
#include "scenario_commands.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    ParseReplay(text);

    FastClock clock;
    Simulator simulator(clock);
    ScenarioCommands commands(simulator, clock);
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream words(line);
        std::string command;
        words >> command;
        // A replay reads the file it names, which could be any file on the
        // machine; a long wait only makes the model step through the time.
        if (command == "replay" || (command == "wait" && line.size() > 10)) continue;
        ScenarioCommands::Result result = commands.Run(line);
        FUZZ_REQUIRE(result.ok || !result.text.empty(), "\"%s\" failed without a word", line.c_str());
        if (result.quit) break;
    }
    simulator.Describe();
    return 0;
}
