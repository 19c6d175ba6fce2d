#include "scenario_commands.h"

#include <algorithm>
#include <sstream>
#include <vector>

namespace {
struct CommandHelp {
    const char* usage;
    const char* meaning;
};

constexpr CommandHelp kCommands[] = {
    {"plug [CHARGER]", "plug a charger into the sink port (default: the one chosen by `charger`, first pd65)"},
    {"unplug", "unplug the sink port's charger"},
    {"charger NAME", "choose the charger; when one is plugged it is replaced (capabilities change)"},
    {"chargers", "list the charger presets"},
    {"cable MILLIOHM", "resistance of the sink port's cable (default 80)"},
    {"source-device on [MAX_MV] [MA]", "attach a device to the source port (default 20000 mV, 1000 mA)"},
    {"source-device off", "detach the source port's device"},
    {"drop N", "drop the next N answers"},
    {"delay MS", "delay every answer by MS ms (0 ends it)"},
    {"corrupt-chk [N]", "send the next N answers with a wrong check byte"},
    {"corrupt-etx [N]", "send the next N answers with a wrong last byte"},
    {"garbage [N]", "put line noise before each of the next N answers"},
    {"pause MS [N]", "stop MS ms in the middle of each of the next N answers"},
    {"interleave [N]", "send a notification between the request and each of the next N answers"},
    {"silent on|off", "stop answering (and sending anything) / resume"},
    {"clear-faults", "end every fault"},
    {"vanish", "close the port, as when the tester is unplugged"},
    {"replay FILE [RATE]", "trace the PD messages of FILE (hex, header first, one per line) at RATE per second"},
    {"replay-stop", "stop a replay"},
    {"status", "show the model's state"},
    {"wait MS", "pause the script for MS ms"},
    {"help", "this list"},
    {"quit", "end the simulator"},
};

bool ReadNumber(std::istringstream& words, uint32_t& out) {
    long long value = 0;
    if (!(words >> value) || value < 0 || value > 0xFFFFFFFFLL) return false;
    out = static_cast<uint32_t>(value);
    return true;
}

ScenarioCommands::Result Fail(const std::string& text) {
    return {false, false, text + "\n"};
}
}  // namespace

std::string ScenarioCommands::Help() {
    std::ostringstream out;
    for (const CommandHelp& c : kCommands) {
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
    uint32_t n = 0;
    auto countOrOne = [&words, &n]() {
        if (!ReadNumber(words, n)) n = 1;
        return n;
    };

    if (command == "plug") {
        std::string name;
        if (words >> name) charger_ = name;
        if (!simulator_.Plug(charger_)) return Fail("unknown charger: " + charger_);
        return {};
    }
    if (command == "unplug") {
        simulator_.Unplug();
        return {};
    }
    if (command == "charger") {
        std::string name;
        if (!(words >> name) || !FindChargerPreset(name)) return Fail("unknown charger: " + name);
        charger_ = name;
        simulator_.ChangeCharger(name);
        return {};
    }
    if (command == "chargers") {
        std::string text;
        for (const ChargerPreset& preset : ChargerPresets())
            text += preset.name + ": " + preset.description + "\n";
        return {true, false, text};
    }
    if (command == "cable") {
        if (!ReadNumber(words, n) || n > 10000) return Fail("usage: cable MILLIOHM (0..10000)");
        simulator_.SetCableMilliohm(static_cast<uint16_t>(n));
        return {};
    }
    if (command == "source-device") {
        std::string state;
        words >> state;
        if (state == "off") {
            simulator_.SetSourceDevice(std::nullopt);
            return {};
        }
        if (state != "on") return Fail("usage: source-device on [MAX_MV] [MA] | off");
        SourceDevice device;
        uint32_t value = 0;
        if (ReadNumber(words, value)) device.maximumMv = static_cast<uint16_t>(std::min<uint32_t>(value, 48000));
        if (ReadNumber(words, value)) device.currentMa = static_cast<uint16_t>(std::min<uint32_t>(value, 5000));
        simulator_.SetSourceDevice(device);
        return {};
    }
    if (command == "drop") {
        if (!ReadNumber(words, n)) return Fail("usage: drop N");
        simulator_.ConfigureFaults([n](FaultPlan& f) { f.DropNext(n); });
        return {};
    }
    if (command == "delay") {
        if (!ReadNumber(words, n)) return Fail("usage: delay MS");
        simulator_.ConfigureFaults([n](FaultPlan& f) { f.SetDelay(n); });
        return {};
    }
    if (command == "corrupt-chk") {
        simulator_.ConfigureFaults([count = countOrOne()](FaultPlan& f) { f.CorruptCheckNext(count); });
        return {};
    }
    if (command == "corrupt-etx") {
        simulator_.ConfigureFaults([count = countOrOne()](FaultPlan& f) { f.CorruptEndNext(count); });
        return {};
    }
    if (command == "garbage") {
        simulator_.ConfigureFaults([count = countOrOne()](FaultPlan& f) { f.GarbageNext(count); });
        return {};
    }
    if (command == "pause") {
        uint32_t ms = 0;
        if (!ReadNumber(words, ms)) return Fail("usage: pause MS [N]");
        simulator_.ConfigureFaults([ms, count = countOrOne()](FaultPlan& f) { f.PauseNext(count, ms); });
        return {};
    }
    if (command == "interleave") {
        simulator_.ConfigureFaults([count = countOrOne()](FaultPlan& f) { f.InterleaveNext(count); });
        return {};
    }
    if (command == "silent") {
        std::string state;
        words >> state;
        if (state != "on" && state != "off") return Fail("usage: silent on|off");
        simulator_.ConfigureFaults([on = state == "on"](FaultPlan& f) { f.SetSilent(on); });
        return {};
    }
    if (command == "clear-faults") {
        simulator_.ConfigureFaults([](FaultPlan& f) { f.Clear(); });
        return {};
    }
    if (command == "vanish") {
        simulator_.Vanish();
        return {};
    }
    if (command == "replay") {
        std::string path;
        double rate = 10;
        if (!(words >> path)) return Fail("usage: replay FILE [RATE]");
        if (!(words >> rate)) rate = 10;
        ReplayScript script;
        if (!LoadReplay(path, script)) return Fail("cannot read " + path);
        if (rate <= 0 || rate > 10000) return Fail("the rate must be above 0 and at most 10000 per second");
        std::string text = std::to_string(script.messages.size()) + " messages";
        if (script.skippedLines > 0) text += ", " + std::to_string(script.skippedLines) + " lines skipped";
        simulator_.StartReplay(std::move(script), rate);
        return {true, false, text + "\n"};
    }
    if (command == "replay-stop") {
        simulator_.StopReplay();
        return {};
    }
    if (command == "status") return {true, false, simulator_.Describe()};
    if (command == "wait") {
        if (!ReadNumber(words, n)) return Fail("usage: wait MS");
        clock_.SleepMs(n);
        simulator_.Poke();
        return {};
    }
    if (command == "help") return {true, false, Help()};
    if (command == "quit" || command == "exit") return {true, true, {}};
    return Fail("unknown command: " + command + " (try help)");
}
