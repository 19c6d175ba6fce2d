// The receive assembler on an arbitrary byte stream cut into arbitrary reads:
// whatever the cuts, the same frames come out, each one a CMD and LEN - 1
// payload bytes that the stream carried between STX, LEN and ETX; after a
// read that brings nothing, a well-formed frame is found again.
#include <vector>

#include "device/frame.h"
#include "device/receive_assembler.h"
#include "fuzz_support.h"

namespace {
using Frames = std::vector<std::vector<uint8_t>>;

void Collect(ReceiveAssembler& assembler, std::span<const uint8_t> bytes, Frames& frames) {
    assembler.Feed(bytes, [&](std::span<const uint8_t> frame) {
        FUZZ_REQUIRE(!frame.empty() && frame.size() <= 255, "frame of %zu bytes", frame.size());
        frames.emplace_back(frame.begin(), frame.end());
    });
    FUZZ_REQUIRE(assembler.Expected() >= 1 && assembler.Expected() <= 257, "expected %u", assembler.Expected());
}

// Whether `frame` appears in `stream` as STX LEN frame CHK ETX.
bool Framed(const std::vector<uint8_t>& stream, const std::vector<uint8_t>& frame) {
    for (size_t at = 0; at + frame.size() + 4 <= stream.size(); ++at) {
        if (stream[at] == kStx && stream[at + 1] == frame.size() && stream[at + frame.size() + 3] == kEtx &&
            std::equal(frame.begin(), frame.end(), stream.begin() + static_cast<std::ptrdiff_t>(at) + 2))
            return true;
    }
    return false;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    std::vector<uint8_t> cuts = input.ConsumeBytes<uint8_t>(input.ConsumeIntegralInRange<size_t>(0, 64));
    std::vector<uint8_t> stream = input.ConsumeRemainingBytes<uint8_t>();

    ReceiveAssembler whole, pieces;
    Frames wholeFrames, pieceFrames;
    Collect(whole, stream, wholeFrames);
    size_t at = 0;
    for (size_t i = 0; at < stream.size(); ++i) {
        size_t length = std::min<size_t>(stream.size() - at, 1 + (i < cuts.size() ? cuts[i] : 255));
        Collect(pieces, std::span<const uint8_t>(stream).subspan(at, length), pieceFrames);
        at += length;
    }
    FUZZ_REQUIRE(wholeFrames == pieceFrames, "%zu frames in one read, %zu in pieces", wholeFrames.size(),
                 pieceFrames.size());
    for (const auto& frame : wholeFrames)
        FUZZ_REQUIRE(Framed(stream, frame), "frame %s not framed in the stream",
                     HexOf(frame.data(), frame.size()).c_str());

    // A read with nothing in it abandons a partial frame: a good frame next is whole.
    const uint8_t payload[] = {0x11, 0x22, 0x33};
    std::vector<uint8_t> good = BuildFrame(0x0C, payload);
    Frames after;
    Collect(whole, {}, after);
    Collect(whole, good, after);
    FUZZ_REQUIRE(after.size() == 1 && after[0].size() == 4 && after[0][0] == 0x0C, "%zu frames after resync",
                 after.size());
    return 0;
}
