// Every command of the tester connection answered with arbitrary payloads,
// with line noise and unsolicited frames (port notifications, traced
// messages) before the answers, and what the windows make of the answers.
// The connection runs over an in-process line whose far end answers each
// request at once, so no exchange waits for a time-out.
#include <memory>
#include <mutex>

#include "device/frame.h"
#include "memory_serial_port.h"
#include "device/tester_connection.h"
#include "config/source_types.h"
#include "fuzz_support.h"
#include "graphs/fft_graph.h"
#include "monitor/profile_list_text.h"
#include "app/readouts_presenter.h"
#include "monitor/status_poll_loop.h"
#include "monitor/voltage_limits.h"
#include "support/fake_window.h"

namespace {
// The answers of one input, taken by the far end as requests arrive.
std::mutex inputLock;
FuzzedDataProvider* input = nullptr;
PortEvents* events = nullptr;  // where port notifications go, when anywhere
MemorySerialPort* line = nullptr;

void AnswerFrom(FuzzedDataProvider* answers, PortEvents* portEvents) {
    std::lock_guard<std::mutex> held(inputLock);
    input = answers;
    events = portEvents;
}

std::vector<uint8_t> AnswerTo(uint8_t cmd) {
    std::lock_guard<std::mutex> held(inputLock);
    std::vector<uint8_t> bytes;
    size_t frames = cmd == kCmdGetSpectrum ? kSpectrumFrames : 1;
    for (size_t i = 0; i < frames; ++i) {
        if (input && input->remaining_bytes() > 0 && input->ConsumeBool()) {
            // Noise without STX, which a receiver hunting for a frame skips,
            // then a frame of the tester's own.
            for (uint8_t byte : input->ConsumeBytes<uint8_t>(input->ConsumeIntegralInRange<size_t>(0, 6)))
                bytes.push_back(byte == kStx ? 0 : byte);
            std::vector<uint8_t> payload = input->ConsumeBytes<uint8_t>(input->ConsumeIntegralInRange<size_t>(0, 40));
            std::vector<uint8_t> unsolicited = BuildFrame(input->ConsumeIntegralInRange<uint8_t>(0x20, 0x28), payload);
            bytes.insert(bytes.end(), unsolicited.begin(), unsolicited.end());
        }
        std::vector<uint8_t> payload;
        if (input) payload = input->ConsumeBytes<uint8_t>(input->ConsumeIntegralInRange<size_t>(0, kMaxPayload));
        std::vector<uint8_t> answer = BuildFrame(cmd, payload);
        bytes.insert(bytes.end(), answer.begin(), answer.end());
    }
    return bytes;
}

TesterConnection& Connection() {
    static FastClock clock;
    static ReceiveAssembler requests;
    static TesterConnection connection(
        [] {
            auto port = std::make_unique<MemorySerialPort>([](std::span<const uint8_t> bytes) {
                requests.Feed(bytes, [](std::span<const uint8_t> request) {
                    std::vector<uint8_t> answer = AnswerTo(request[0]);
                    line->SendToPort(answer);
                });
            });
            line = port.get();
            return port;
        },
        clock);
    static bool connected = connection.Connect("COM7", [](int notification) {
        FUZZ_REQUIRE(notification >= 1 && notification <= 7, "notification %d", notification);
        std::lock_guard<std::mutex> held(inputLock);
        if (events) events->Notify(notification);
    });
    FUZZ_REQUIRE(connected, "the in-process line did not open");
    return connection;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TesterConnection& tester = Connection();
    FuzzedDataProvider provider(data, size);
    AnswerFrom(&provider, nullptr);
    uint8_t which = provider.ConsumeIntegral<uint8_t>();
    uint8_t index = provider.ConsumeIntegralInRange<uint8_t>(0, 6);
    // The input's last byte picks what is asked.
    switch (which % 13) {
        case 0: {
            // The poll loop, the main window's readouts and the voltage limits on these answers.
            LiveState live;
            EventLog log(nullptr, 64);
            PortEvents portEvents;
            FakeWindow window;
            FastClock pollClock;
            StatusPollLoop loop(tester, live, log, portEvents, pollClock);
            ReadoutsPresenter presenter(live, window);
            live.connected = true;
            ++live.connectionCount;
            AnswerFrom(&provider, &portEvents);
            for (int cycle = 0; cycle <= index; ++cycle) {
                loop.RunCycle();
                presenter.Apply();
            }
            // The limits the voltage is judged against, for the profile and readings taken.
            Measurement m = live.LatestMeasurement();
            if (std::optional<VoltageLimits> v =
                    ComputeVoltageLimits(CopyRunProfile(live), m.loadSetpointMa, m.sinkCurrentMa))
                FUZZ_REQUIRE(v->minimumV <= v->maximumV, "limits %f..%f", v->minimumV, v->maximumV);
            AnswerFrom(&provider, nullptr);
            break;
        }
        case 1: {
            DeviceInfo info;
            if (tester.GetDeviceInfo(info)) FUZZ_REQUIRE(info.DeviceIdText().size() <= 13, "a longer device ID");
            break;
        }
        case 2: {
            TesterConfig config;
            tester.GetConfig(config);
            tester.SetConfig(config);
            break;
        }
        case 3: {
            SinkCapabilities caps;
            if (tester.GetSinkCapabilities(caps)) {
                FUZZ_REQUIRE(caps.count <= SinkCapabilities::kMaxEntries, "%u capabilities", caps.count);
                for (size_t i = 0; i < caps.count; ++i)
                    ProfileListText(caps.entries[i]);
            }
            break;
        }
        case 4: {
            SourceTypeRecord record;
            if (tester.GetSourceTypeConfig(index, record)) {
                FUZZ_REQUIRE(record.name.size() <= SourceTypeRecord::kNameBytes, "a %zu-byte name", record.name.size());
                // What the dialog shows of it, and what it would write back.
                SourceTypeConfig shown = SourceTypeFromRecord(record);
                if (!SourceTypeProblem(shown, record.name))
                    tester.SetSourceTypeConfig(index, SourceTypeToRecord(shown, record.name));
            }
            break;
        }
        case 5: {
            SourceTypeNames names;
            if (tester.GetSourceTypeNames(names))
                for (size_t i = 0; i < names.names.size(); ++i) {
                    FUZZ_REQUIRE(names.names[i].size() <= SourceTypeRecord::kNameBytes, "a %zu-byte name",
                                 names.names[i].size());
                    SourceTypeListText(i, names.names[i]);
                }
            break;
        }
        case 6: {
            CalibrationRecord calibration;
            tester.GetCalibration(index, calibration);
            break;
        }
        case 7: {
            Spectrum spectrum;
            if (tester.GetSpectrum(spectrum))
                for (float db : MapSpectrum(spectrum))
                    FUZZ_REQUIRE(db >= kSpectrumFloorDb && db <= 0, "%f dB plotted", db);
            break;
        }
        case 8:
            if (tester.StartTrace([](const TraceRecord&) {})) tester.StopTrace();
            break;
        case 9: {
            std::vector<uint8_t> message =
                provider.ConsumeBytes<uint8_t>(provider.ConsumeIntegralInRange<size_t>(1, 30));
            tester.SendPdMessage(message);
            break;
        }
        case 10:
            tester.SelectSourceType(index);
            break;
        default:
            tester.RequestSinkProfile(index, provider.ConsumeIntegral<uint16_t>());
            tester.SetLoadCurrent(provider.ConsumeIntegral<uint16_t>(), 200);
            break;
    }
    AnswerFrom(nullptr, nullptr);
    return 0;
}
