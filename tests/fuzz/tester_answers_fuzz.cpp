// Every command of the tester connection answered with arbitrary payloads,
// with line noise and unsolicited frames (port notifications, traced
// messages) before the answers. The connection runs over an in-process line
// whose far end answers each request at once, so no exchange waits for a
// time-out.
#include <memory>
#include <mutex>

#include "device/frame.h"
#include "device/memory_serial_port.h"
#include "device/tester_connection.h"
#include "fuzz_support.h"

namespace {
// The answers of one input, taken by the far end as requests arrive.
std::mutex inputLock;
FuzzedDataProvider* input = nullptr;
MemorySerialPort* line = nullptr;

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
    });
    FUZZ_REQUIRE(connected, "the in-process line did not open");
    return connection;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TesterConnection& tester = Connection();
    FuzzedDataProvider provider(data, size);
    {
        std::lock_guard<std::mutex> held(inputLock);
        input = &provider;
    }
    uint8_t which = provider.ConsumeIntegral<uint8_t>();
    uint8_t index = provider.ConsumeIntegralInRange<uint8_t>(0, 6);
    switch (which % 16) {
        case 0: {
            DeviceInfo info;
            if (tester.GetDeviceInfo(info)) FUZZ_REQUIRE(info.DeviceIdText().size() <= 13, "a longer device ID");
            break;
        }
        case 1: {
            PortStatus status;
            tester.GetPortStatus(status);
            break;
        }
        case 2: {
            SinkCapabilities caps;
            if (tester.GetSinkCapabilities(caps))
                FUZZ_REQUIRE(caps.count <= SinkCapabilities::kMaxEntries, "%u capabilities", caps.count);
            break;
        }
        case 3: {
            Measurements m;
            tester.GetMeasurements(m);
            break;
        }
        case 4: {
            SourceTypeRecord record;
            if (tester.GetSourceTypeConfig(index, record)) {
                FUZZ_REQUIRE(record.name.size() <= SourceTypeRecord::kNameBytes, "a %zu-byte name",
                             record.name.size());
                // What was read can be written back.
                tester.SetSourceTypeConfig(index, record);
            }
            break;
        }
        case 5: {
            SourceTypeNames names;
            if (tester.GetSourceTypeNames(names))
                for (const std::string& name : names.names)
                    FUZZ_REQUIRE(name.size() <= SourceTypeRecord::kNameBytes, "a %zu-byte name", name.size());
            break;
        }
        case 6: {
            TesterConfig config;
            tester.GetConfig(config);
            tester.SetConfig(config);
            break;
        }
        case 7: {
            CalibrationRecord calibration;
            tester.GetCalibration(index, calibration);
            break;
        }
        case 8: {
            Spectrum spectrum;
            tester.GetSpectrum(spectrum);
            break;
        }
        case 9:
            if (tester.StartTrace([](const TraceRecord&) {})) tester.StopTrace();
            break;
        case 10: {
            std::vector<uint8_t> message = provider.ConsumeBytes<uint8_t>(provider.ConsumeIntegralInRange<size_t>(1, 30));
            tester.SendPdMessage(message);
            break;
        }
        case 11:
            tester.SelectSourceType(index);
            break;
        default:
            tester.RequestSinkProfile(index, provider.ConsumeIntegral<uint16_t>());
            tester.SetLoadCurrent(provider.ConsumeIntegral<uint16_t>(), 200);
            break;
    }
    std::lock_guard<std::mutex> held(inputLock);
    input = nullptr;
    return 0;
}
