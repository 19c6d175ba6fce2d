#include "scenario_commands.h"

#include <algorithm>
#include <sstream>
#include <string_view>
#include <vector>

namespace {
using Result = ScenarioCommands::Result;

// What a command works on: the simulator, the script's clock, the charger
// `plug` plugs in, and the rest of the command line.
struct Scene {
    Simulator& simulator;
    Clock& clock;
    std::string& charger;
    std::istringstream& words;
};

bool ReadNumber(std::istringstream& words, uint32_t& out) {
    long long value = 0;
    if (!(words >> value) || value < 0 || value > 0xFFFFFFFFLL) return false;
    out = static_cast<uint32_t>(value);
    return true;
}

// An optional count, 1 when none is given.
uint32_t CountOrOne(std::istringstream& words) {
    uint32_t n = 0;
    return ReadNumber(words, n) ? n : 1;
}

Result Fail(const std::string& text) {
    return {false, false, text + "\n"};
}

Result Plug(Scene& s) {
    std::string name;
    if (s.words >> name) s.charger = name;
    if (!s.simulator.Plug(s.charger)) return Fail("unknown charger: " + s.charger);
    return {};
}

Result Charger(Scene& s) {
    std::string name;
    if (!(s.words >> name) || !FindChargerPreset(name)) return Fail("unknown charger: " + name);
    s.charger = name;
    s.simulator.ChangeCharger(name);
    return {};
}

Result Chargers(Scene&) {
    std::string text;
    for (const ChargerPreset& preset : ChargerPresets())
        text += preset.name + ": " + preset.description + "\n";
    return {true, false, text};
}

Result Cable(Scene& s) {
    uint32_t n = 0;
    if (!ReadNumber(s.words, n) || n > 10000) return Fail("usage: cable MILLIOHM (0..10000)");
    s.simulator.SetCableMilliohm(static_cast<uint16_t>(n));
    return {};
}

Result AttachSourceDevice(Scene& s) {
    std::string state;
    s.words >> state;
    if (state == "off") {
        s.simulator.SetSourceDevice(std::nullopt);
        return {};
    }
    if (state != "on") return Fail("usage: source-device on [MAX_MV] [MA] | off");
    SourceDevice device;
    uint32_t value = 0;
    if (ReadNumber(s.words, value)) device.maximumMv = static_cast<uint16_t>(std::min<uint32_t>(value, 48000));
    if (ReadNumber(s.words, value)) device.currentMa = static_cast<uint16_t>(std::min<uint32_t>(value, 5000));
    s.simulator.SetSourceDevice(device);
    return {};
}

// A fault with a number the command must be given.
template <void (FaultPlan::*set)(uint32_t)>
Result NumberedFault(Scene& s, const char* usage) {
    uint32_t n = 0;
    if (!ReadNumber(s.words, n)) return Fail(usage);
    s.simulator.ConfigureFaults([n](FaultPlan& f) { (f.*set)(n); });
    return {};
}

// A fault for the next N answers, 1 when N is not given.
template <void (FaultPlan::*set)(uint32_t)>
Result CountedFault(Scene& s) {
    s.simulator.ConfigureFaults([count = CountOrOne(s.words)](FaultPlan& f) { (f.*set)(count); });
    return {};
}

Result Drop(Scene& s) {
    return NumberedFault<&FaultPlan::DropNext>(s, "usage: drop N");
}

Result Delay(Scene& s) {
    return NumberedFault<&FaultPlan::SetDelay>(s, "usage: delay MS");
}

Result Pause(Scene& s) {
    uint32_t ms = 0;
    if (!ReadNumber(s.words, ms)) return Fail("usage: pause MS [N]");
    s.simulator.ConfigureFaults([ms, count = CountOrOne(s.words)](FaultPlan& f) { f.PauseNext(count, ms); });
    return {};
}

Result Silent(Scene& s) {
    std::string state;
    s.words >> state;
    if (state != "on" && state != "off") return Fail("usage: silent on|off");
    s.simulator.ConfigureFaults([on = state == "on"](FaultPlan& f) { f.SetSilent(on); });
    return {};
}

Result Replay(Scene& s) {
    std::string path;
    double rate = 10;
    if (!(s.words >> path)) return Fail("usage: replay FILE [RATE]");
    if (!(s.words >> rate)) rate = 10;
    ReplayScript script;
    if (!LoadReplay(path, script)) return Fail("cannot read " + path);
    if (rate <= 0 || rate > 10000) return Fail("the rate must be above 0 and at most 10000 per second");
    std::string text = std::to_string(script.messages.size()) + " messages";
    if (script.skippedLines > 0) text += ", " + std::to_string(script.skippedLines) + " lines skipped";
    s.simulator.StartReplay(std::move(script), rate);
    return {true, false, text + "\n"};
}

Result Unplug(Scene& s) {
    s.simulator.Unplug();
    return {};
}

Result ClearFaults(Scene& s) {
    s.simulator.ConfigureFaults([](FaultPlan& f) { f.Clear(); });
    return {};
}

Result Vanish(Scene& s) {
    s.simulator.Vanish();
    return {};
}

Result StopReplay(Scene& s) {
    s.simulator.StopReplay();
    return {};
}

Result Status(Scene& s) {
    return {true, false, s.simulator.Describe()};
}

Result Wait(Scene& s) {
    uint32_t n = 0;
    if (!ReadNumber(s.words, n)) return Fail("usage: wait MS");
    s.clock.SleepMs(n);
    s.simulator.Poke();
    return {};
}

Result ShowHelp(Scene&) {
    return {true, false, ScenarioCommands::Help()};
}

Result Quit(Scene&) {
    return {true, true, {}};
}

// Every command: its help line and what it does. A command is named by the
// first word of its usage; one with two help lines stands twice.
struct Command {
    const char* usage;
    const char* meaning;
    Result (*run)(Scene&);
};

constexpr Command kCommands[] = {
    {"plug [CHARGER]", "plug a charger into the sink port (default: the one chosen by `charger`, first pd65)", Plug},
    {"unplug", "unplug the sink port's charger", Unplug},
    {"charger NAME", "choose the charger; when one is plugged it is replaced (capabilities change)", Charger},
    {"chargers", "list the charger presets", Chargers},
    {"cable MILLIOHM", "resistance of the sink port's cable (default 80)", Cable},
    {"source-device on [MAX_MV] [MA]", "attach a device to the source port (default 20000 mV, 1000 mA)",
     AttachSourceDevice},
    {"source-device off", "detach the source port's device", AttachSourceDevice},
    {"drop N", "drop the next N answers", Drop},
    {"delay MS", "delay every answer by MS ms (0 ends it)", Delay},
    {"corrupt-chk [N]", "send the next N answers with a wrong check byte", CountedFault<&FaultPlan::CorruptCheckNext>},
    {"corrupt-etx [N]", "send the next N answers with a wrong last byte", CountedFault<&FaultPlan::CorruptEndNext>},
    {"garbage [N]", "put line noise before each of the next N answers", CountedFault<&FaultPlan::GarbageNext>},
    {"pause MS [N]", "stop MS ms in the middle of each of the next N answers", Pause},
    {"interleave [N]", "send a notification between the request and each of the next N answers",
     CountedFault<&FaultPlan::InterleaveNext>},
    {"silent on|off", "stop answering (and sending anything) / resume", Silent},
    {"clear-faults", "end every fault", ClearFaults},
    {"vanish", "close the port, as when the tester is unplugged", Vanish},
    {"replay FILE [RATE]", "trace the PD messages of FILE (hex, header first, one per line) at RATE per second",
     Replay},
    {"replay-stop", "stop a replay", StopReplay},
    {"status", "show the model's state", Status},
    {"wait MS", "pause the script for MS ms", Wait},
    {"help", "this list", ShowHelp},
    {"quit", "end the simulator", Quit},
};

std::string_view NameOf(const Command& command) {
    std::string_view usage = command.usage;
    return usage.substr(0, usage.find(' '));
}
}  // namespace

std::string ScenarioCommands::Help() {
    std::ostringstream out;
    for (const Command& c : kCommands) {
        std::string usage = c.usage;
        out << "  " << usage << std::string(usage.size() < 34 ? 34 - usage.size() : 1, ' ') << c.meaning << "\n";
    }
    out << "Chargers:";
    for (const ChargerPreset& preset : ChargerPresets())
        out << " " << preset.name;
    out << "\n";
    return out.str();
}

ScenarioCommands::Result ScenarioCommands::Run(const std::string& line) {
    std::istringstream words(line);
    std::string command;
    if (!(words >> command) || command[0] == '#') return {};
    if (command == "exit") command = "quit";  // quit's other name, not listed
    Scene scene{simulator_, clock_, charger_, words};
    for (const Command& c : kCommands) {
        if (NameOf(c) == command) return c.run(scene);
    }
    return Fail("unknown command: " + command + " (try help)");
}
