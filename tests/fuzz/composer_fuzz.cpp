// The tracer's composer with any message type chosen and anything typed into
// its fields. Every message it sends is a whole PD message: a hard reset is
// its one marker byte; a message of a named type is its header and as many
// data objects as the header counts, at most seven.
#include <vector>

#include "device/frame.h"
#include "device/tester_connection.h"
#include "fuzz_support.h"
#include "support/fake_window.h"
#include "tracer/composer.h"
#include "ui/tracer_ids.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    FakeWindow window;
    PendingEcho echo;
    std::atomic<bool> newRowSeen{false};
    LiveState live;
    live.connected = true;
    live.sinkActive = input.ConsumeBool();
    std::vector<std::vector<uint8_t>> sent;
    bool accept = input.ConsumeBool();
    Composer composer({window, window, echo, newRowSeen, live,
                       [&](std::span<const uint8_t> m) {
                           sent.emplace_back(m.begin(), m.end());
                           return accept;
                       },
                       [](const std::string&) {}});
    composer.Initialize();
    const int fields[] = {IDC_COMPOSER_MESSAGE,  IDC_COMPOSER_OBJECT_1, IDC_COMPOSER_OBJECT_2,
                          IDC_COMPOSER_OBJECT_3, IDC_COMPOSER_OBJECT_4, IDC_COMPOSER_OBJECT_5,
                          IDC_COMPOSER_OBJECT_6, IDC_COMPOSER_OBJECT_7, IDC_COMPOSER_OBJECT_8};
    const std::vector<std::string> types = window.Get(IDC_COMPOSER_TYPE).items;
    while (input.remaining_bytes() > 0) {
        switch (input.ConsumeIntegralInRange(0, 3)) {
            case 0:
                window.SelectItem(IDC_COMPOSER_TYPE,
                                  input.ConsumeIntegralInRange<int>(-1, static_cast<int>(types.size())));
                composer.OnTypeChange();
                break;
            case 1:
                window.SetText(fields[input.ConsumeIntegralInRange<size_t>(0, 8)], input.ConsumeRandomLengthString(80));
                break;
            case 2: {
                size_t before = sent.size();
                int selected = window.SelectedItem(IDC_COMPOSER_TYPE);
                composer.OnSend();
                if (sent.size() == before) break;
                const std::vector<uint8_t>& m = sent.back();
                std::string type = selected >= 0 ? types[static_cast<size_t>(selected)] : "";
                if (m.size() == 1) {
                    FUZZ_REQUIRE(m[0] == kPdHardResetMarker, "one byte %02X for %s", m[0], type.c_str());
                    break;
                }
                FUZZ_REQUIRE(m.size() >= 2 && m.size() <= kMaxPayload, "%zu bytes for %s", m.size(), type.c_str());
                if (type != Composer::kCustom)
                    FUZZ_REQUIRE(m.size() == 2 + 4u * ((m[1] >> 4) & 7), "%s sent as %s", type.c_str(),
                                 HexOf(m.data(), m.size()).c_str());
                break;
            }
            default:
                newRowSeen = input.ConsumeBool();
                composer.OnQuietTimer();
                break;
        }
    }
    return 0;
}
