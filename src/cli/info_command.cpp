#include <cstdint>
#include <vector>

#include "cli/cli_commands.h"
#include "cli/tester_session.h"
#include "platform/format.h"

const char* const kInfoHelp =
    "Usage: ampwright-cli info [--port PORT] [--json]\n\n"
    "Prints the tester's identity, versions and every configuration register,\n"
    "as \"name: value\" lines or, with --json, one JSON object.\n\n"
    "  --json       one JSON object instead of text\n"
    "Exit codes: 0 done, 2 a wrong command line or no answering tester.\n";

namespace {
struct Register {
    const char* key;  // the JSON name
    const char* name;
    int address;
    int64_t value;
};

std::vector<Register> Registers(const TesterConfig& c) {
    return {
        {"loopbackMode", "loopback mode", 0x00, c.loopbackMode},
        {"currentLimitMode", "current limit mode", 0x01, c.currentLimitMode},
        {"forcedCurrentLimitMa", "forced current limit (mA)", 0x01, c.forcedCurrentLimitMa},
        {"sdpCurrentLimitMa", "SDP current limit (mA)", 0x02, c.sdpCurrentLimitMa},
        {"estimateUpstreamVbus", "estimate upstream VBUS", 0x03, c.estimateUpstreamVbus},
        {"cableResistanceMilliohm", "cable resistance (mOhm)", 0x04, c.cableResistanceMilliohm},
        {"autoProfileIndex", "auto profile index", 0x05, c.autoProfileIndex},
        {"autoVoltageMv", "auto voltage (mV)", 0x06, c.autoVoltageMv},
        {"autoCurrentMa", "auto current (mA)", 0x07, c.autoCurrentMa},
        {"operatingCurrentMa", "operating current (mA)", 0x08, c.operatingCurrentMa},
        {"sinkCap2Mv", "second sink capability (mV)", 0x09, c.sinkCap2Mv},
        {"sinkCap2Ma", "second sink capability (mA)", 0x09, c.sinkCap2Ma},
        {"pdDetection", "PD detection", 0x0A, c.pdDetection},
        {"eprDetection", "EPR detection", 0x0B, c.eprDetection},
        {"bcDetection", "BC detection", 0x0C, c.bcDetection},
        {"qcDetection", "QC detection", 0x0D, c.qcDetection},
        {"ppsDetection", "PPS detection", 0x17, c.ppsDetection},
        {"applyOnCapabilityChange", "apply on capability change", 0x20, c.applyOnCapabilityChange},
        {"loadChangeTimeMs", "load change time (ms)", 0x21, c.loadChangeTimeMs},
        {"usbcDefaultCurrentLimitMa", "USB-C default current limit (mA)", 0x22, c.usbcDefaultCurrentLimitMa},
    };
}

std::string Version(uint8_t tenths) {
    return Format("%d.%d", tenths / 10, tenths % 10);
}

// The device ID is printable ASCII; anything else is escaped for JSON.
std::string JsonText(const std::string& text) {
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') quoted += '\\';
        if (static_cast<unsigned char>(c) < 0x20) {
            quoted += Format("\\u%04x", c);
        } else {
            quoted += c;
        }
    }
    return quoted + "\"";
}
}  // namespace

int RunInfoCommand(const std::vector<std::string>& args, CliIo& io) {
    CliArgs parsed;
    if (std::optional<int> done = ParseTesterArgs(args, {{}, {"--json"}}, "info", kInfoHelp, io, parsed)) return *done;
    TesterSession session(io, "info");
    if (!session.Open(parsed.Value({"--port"}))) return kCliBadInput;
    TesterConfig config;
    if (!session.tester.GetConfig(config)) return session.Fail("the tester stopped answering");
    const DeviceInfo& info = session.tester.Info();
    std::vector<Register> registers = Registers(config);
    if (parsed.Has("--json")) {
        io.out << "{\"port\": " << JsonText(session.port) << ", \"deviceId\": " << JsonText(info.DeviceIdText())
               << ", \"hardwareRevision\": \"" << Version(info.hardwareRevision) << "\", \"firmwareVersion\": \""
               << Version(info.firmwareVersion) << "\", \"apiVersion\": \"" << Version(info.apiVersion)
               << "\", \"registers\": {";
        for (size_t i = 0; i < registers.size(); ++i)
            io.out << (i ? ", " : "") << "\"" << registers[i].key << "\": " << registers[i].value;
        io.out << "}}\n";
    } else {
        io.out << "port: " << session.port << "\ndevice id: " << info.DeviceIdText()
               << "\nhardware revision: " << Version(info.hardwareRevision)
               << "\nfirmware version: " << Version(info.firmwareVersion)
               << "\napi version: " << Version(info.apiVersion) << "\n";
        for (const Register& r : registers)
            io.out << Format("register 0x%02X %s: %lld\n", r.address, r.name, static_cast<long long>(r.value));
    }
    io.out.flush();
    return kCliOk;
}
