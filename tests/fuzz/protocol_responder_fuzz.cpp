// The simulator's side of the wire: an arbitrary request stream, with any of
// the chargers plugged in and model time passing between requests. It never
// crashes, and every answer is a well-formed frame for the command asked.
#include "charger.h"
#include "device/frame.h"
#include "device/receive_assembler.h"
#include "fuzz_support.h"
#include "protocol_responder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    TesterMemory memory;
    PhysicalModel model(memory, 1, 0);
    TesterIdentity identity;
    ProtocolResponder responder(model, memory, identity);
    const std::vector<ChargerPreset>& chargers = ChargerPresets();
    model.Plug(chargers[input.ConsumeIntegralInRange<size_t>(0, chargers.size() - 1)]);
    if (input.ConsumeBool()) model.SetSourceDevice(SourceDevice{});

    ReceiveAssembler requests;
    uint64_t nowMs = 0;
    while (input.remaining_bytes() > 0) {
        nowMs += input.ConsumeIntegralInRange<uint64_t>(0, 2000);
        model.AdvanceTo(nowMs);
        model.TakeEvents();
        std::vector<uint8_t> chunk = input.ConsumeBytes<uint8_t>(input.ConsumeIntegralInRange<size_t>(0, 64));
        requests.Feed(chunk, [&](std::span<const uint8_t> request) {
            for (const std::vector<uint8_t>& frame : responder.Answer(request[0], request.subspan(1))) {
                FUZZ_REQUIRE(frame.size() >= 5 && frame[0] == kStx && frame[1] == frame.size() - 4 &&
                                 frame[2] == request[0] && frame.back() == kEtx,
                             "answer %s to %02X", HexOf(frame.data(), frame.size()).c_str(), request[0]);
                uint8_t check = 0;
                for (uint8_t byte : frame)
                    check ^= byte;
                FUZZ_REQUIRE(check == 0, "check byte of the answer to %02X", request[0]);
            }
        });
    }
    return 0;
}
