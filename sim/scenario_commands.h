#pragma once

#include <string>

#include "platform/clock.h"
#include "simulator.h"

// The text commands that drive a simulator: from ampwright-sim's standard
// input, from its script file, and from tests. `wait` sleeps on `clock`, so
// with a fast clock a script runs its physics without waiting.
class ScenarioCommands {
public:
    ScenarioCommands(Simulator& simulator, Clock& clock) : simulator_(simulator), clock_(clock) {}

    struct Result {
        bool ok = true;
        bool quit = false;
        std::string text;  // for the user; empty when there is nothing to say
    };

    // One command line; blank lines and # comments do nothing.
    Result Run(const std::string& line);

    // Every command with its arguments, one per line.
    static std::string Help();

private:
    Simulator& simulator_;
    Clock& clock_;
    std::string charger_ = "pd65";  // what `plug` plugs in
};
