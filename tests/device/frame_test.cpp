#include <gtest/gtest.h>

#include <vector>

#include "device/frame.h"
#include "device/receive_assembler.h"

using Bytes = std::vector<uint8_t>;

namespace {
// Feeds bytes the way the serial port delivers them: each read as large as
// the assembler expects, or, when the line has queued more, up to
// `readAhead` bytes at once. Returns the frames completed, CMD and payload each.
std::vector<Bytes> FeedAsPort(ReceiveAssembler& assembler, const Bytes& stream, size_t readAhead = 0) {
    std::vector<Bytes> frames;
    size_t at = 0;
    while (at < stream.size()) {
        size_t n = std::min<size_t>(std::max<size_t>(assembler.Expected(), readAhead), stream.size() - at);
        assembler.Feed({stream.data() + at, n},
                       [&frames](std::span<const uint8_t> frame) { frames.emplace_back(frame.begin(), frame.end()); });
        at += n;
    }
    return frames;
}

Bytes Joined(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}
}  // namespace

TEST(ReceiveAssembler, ReadSizesFollowTheFrameAndAnEmptyReadAbandonsIt) {
    ReceiveAssembler assembler;
    std::vector<uint16_t> sizes;
    std::vector<Bytes> frames;
    for (uint8_t b : Bytes{0x02, 0x01, 0x0C, 0x0C, 0x03}) {
        frames = FeedAsPort(assembler, {b});
        sizes.push_back(assembler.Expected());
    }
    EXPECT_EQ(frames, (std::vector<Bytes>{{0x0C}}));
    EXPECT_EQ(sizes, (std::vector<uint16_t>{1, 3, 2, 1, 1}));

    Bytes first = BuildFrame(0x0C, Bytes(11, 0x11));
    FeedAsPort(assembler, Bytes(first.begin(), first.begin() + 6));
    assembler.Feed({}, [](std::span<const uint8_t>) { FAIL(); });
    EXPECT_EQ(assembler.Expected(), 1);
    EXPECT_EQ(FeedAsPort(assembler, BuildFrame(0x0A, Bytes{7})), (std::vector<Bytes>{{0x0A, 7}}));
}

TEST(ReceiveAssembler, StreamsYieldExactlyTheirGoodFrames) {
    Bytes wrongCheck = BuildFrame(0x0C, {});
    wrongCheck[3] ^= 0x5A;  // CHK is not verified
    struct Case {
        const char* what;
        Bytes stream;
        std::vector<Bytes> frames;
    } cases[] = {
        {"garbage before STX, then a frame whose last byte is not ETX",
         Joined({{0xFF, 0x00, 0x03, 0x7E}, {0x02, 0x02, 0xE4, 0x05, 0x00, 0x04}, BuildFrame(0x0A, Bytes{0x01, 0x02})}),
         {{0x0A, 0x01, 0x02}}},
        {"a wrong check byte", wrongCheck, {{0x0C}}},
        {"LEN 0 has no CMD: the earlier frame's CMD is not routed again",
         Joined({BuildFrame(0x21, {}), {0x02, 0x00, 0x01, 0x03}, BuildFrame(0x0C, {})}),
         {{0x21}, {0x0C}}},
        {"the longest frame", BuildFrame(0x0B, Bytes(254, 0xA5)), {Joined({{0x0B}, Bytes(254, 0xA5)})}},
    };
    // Reads of what each frame needs, reads that end inside frames, and one
    // read of a whole burst all give the same frames.
    for (size_t readAhead : {size_t{0}, size_t{7}, size_t{256}}) {
        std::vector<Bytes> all;
        Bytes burst;
        for (const Case& c : cases) {
            ReceiveAssembler assembler;
            EXPECT_EQ(FeedAsPort(assembler, c.stream, readAhead), c.frames) << c.what << ", read-ahead " << readAhead;
            all.insert(all.end(), c.frames.begin(), c.frames.end());
            burst.insert(burst.end(), c.stream.begin(), c.stream.end());
        }
        ReceiveAssembler assembler;
        EXPECT_EQ(FeedAsPort(assembler, burst, readAhead), all) << "one stream, read-ahead " << readAhead;
    }
}
