#include "cli/tester_session.h"

#include <charconv>
#include <thread>

#include "cli/tester_ports.h"
#include "monitor/load_off.h"
#include "monitor/session_start.h"
#include "platform/clock.h"

const char* const kPortOptionHelp =
    "  --port PORT  the tester's port (COMn, or a device path); without it the\n"
    "               only tester found is used\n";

namespace {
constexpr uint32_t kStartTimeoutMs = 4000;
constexpr uint32_t kSilenceMs = 3000;  // no measurement for this long: the tester is gone

bool WaitFor(const std::function<bool()>& done, uint32_t timeoutMs) {
    for (uint64_t until = SystemClock().NowMs() + timeoutMs; !done();) {
        if (SystemClock().NowMs() >= until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}
}  // namespace

TesterSession::TesterSession(CliIo& io, const std::string& command)
    : io(io), prompts(io.err, "ampwright-cli " + command + ": "), prefix_("ampwright-cli " + command + ": ") {}

TesterSession::~TesterSession() {
    Finish();
}

int TesterSession::Fail(const std::string& message) {
    prompts.WriteLine(prefix_ + message);
    return kCliBadInput;
}

bool TesterSession::Open(const std::optional<std::string>& given) {
    std::string error;
    std::optional<std::string> chosen =
        ChooseTesterPort(given, given ? std::vector<std::string>{} : ListTesterPorts(), error);
    if (!chosen) {
        Fail(error);
        return false;
    }
    port = *chosen;
    if (!tester.Connect(port, [this](int n) { events.Notify(n); })) {
        Fail("cannot open " + port + " (missing, or in use by another program)");
        return false;
    }
    if (!StartTesterSession(tester, live)) {
        tester.Close();
        Fail("the tester on " + port + " does not answer");
        return false;
    }
    MarkConnected(live);
    opened_ = true;
    return true;
}

bool TesterSession::StartPolling() {
    PortStatus status;
    if (!tester.GetPortStatus(status)) {
        Fail("the tester on " + port + " does not answer");
        return false;
    }
    loop_ = std::make_unique<StatusPollLoop>(tester, live, log, events);
    loop_->Start();
    if (status.sinkAttached == 1) {
        // The loop reads the capabilities, then measures.
        WaitFor([this] { return live.sinkActive && live.loadCurrentLimit > 0 && live.MeasurementSequence() > 0; },
                kStartTimeoutMs);
    }
    lastCount_ = live.MeasurementSequence();
    lastCountMs_ = SystemClock().NowMs();
    return true;
}

bool TesterSession::Answering() {
    uint64_t now = SystemClock().NowMs();
    uint64_t count = live.MeasurementSequence();
    if (count != lastCount_) {
        lastCount_ = count;
        lastCountMs_ = now;
        return true;
    }
    if (now - lastCountMs_ < kSilenceMs) return true;
    // Without a charger the loop does not measure: ask the tester itself.
    PortStatus status;
    if (!live.sinkActive && tester.GetPortStatus(status)) {
        lastCountMs_ = now;
        return true;
    }
    return false;
}

std::optional<uint16_t> TesterSession::Finish() {
    if (loop_) loop_->Stop();
    loop_.reset();
    std::optional<uint16_t> leftOnMa;
    if (opened_ && loadOffAtEnd) leftOnMa = SwitchLoadOff(tester, live, live.requestedLoadMa);
    opened_ = false;
    tester.Close();
    return leftOnMa;
}

std::optional<int> NumberOption(const CliArgs& args, const char* name, int minimum, int maximum, std::string& error) {
    std::optional<std::string> text = args.Value({name});
    if (!text) return std::nullopt;
    int value = 0;
    auto [end, problem] = std::from_chars(text->data(), text->data() + text->size(), value);
    if (problem != std::errc() || end != text->data() + text->size()) {
        error = std::string(name) + " needs a whole number, not " + *text;
    } else if (value < minimum || value > maximum) {
        error = std::string(name) + " must lie in " + std::to_string(minimum) + ".." + std::to_string(maximum);
    } else {
        return value;
    }
    return std::nullopt;
}

std::optional<int> ParseTesterArgs(const std::vector<std::string>& args, CliOptionSpec spec, const std::string& command,
                                   const char* help, CliIo& io, CliArgs& parsed) {
    spec.withValue.insert("--port");
    spec.flags.insert({"--help", "-h"});
    std::string error;
    std::optional<CliArgs> result = ParseCliArgs(args, spec, error);
    if (!result) {
        io.err << "ampwright-cli " << command << ": " << error << "\n" << help;
        return kCliBadInput;
    }
    if (result->Has("--help") || result->Has("-h")) {
        io.out << help;
        return kCliOk;
    }
    parsed = *result;
    return std::nullopt;
}
