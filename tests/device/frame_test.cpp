#include <gtest/gtest.h>

#include <vector>

#include "device/frame.h"
#include "device/receive_assembler.h"

using Bytes = std::vector<uint8_t>;

TEST(Frame, BuildsGoldenFramesWhoseBytesXorToZero) {
    EXPECT_EQ(BuildFrame(0x0C, {}), (Bytes{0x02, 0x01, 0x0C, 0x0C, 0x03}));
    EXPECT_EQ(BuildFrame(0x01, {}), (Bytes{0x02, 0x01, 0x01, 0x01, 0x03}));
    const uint8_t payload[] = {0xE8, 0x03, 0xC8, 0x00};
    Bytes frame = BuildFrame(0x10, payload);
    ASSERT_EQ(frame.size(), 9u);
    uint8_t all = 0;
    for (uint8_t b : frame)
        all ^= b;
    EXPECT_EQ(all, 0);
    frame[7] = 0x55;
    EXPECT_EQ(ComputeCheck(frame.data()), BuildFrame(0x10, payload)[7]) << "the old CHK does not count";
}

TEST(Frame, TracedMessages) {
    EXPECT_EQ(NotificationFor(0x0C), 0);
    EXPECT_TRUE(IsTracedMessage(0x24));
    EXPECT_TRUE(IsTracedMessage(0x25));
}

namespace {
// Feeds bytes the way the serial port delivers them: each read as large as
// the assembler expects. Returns the frames completed, CMD and payload each.
std::vector<Bytes> FeedAsPort(ReceiveAssembler& assembler, const Bytes& stream) {
    std::vector<Bytes> frames;
    size_t at = 0;
    while (at < stream.size()) {
        size_t n = std::min<size_t>(assembler.Expected(), stream.size() - at);
        if (assembler.Feed({stream.data() + at, n})) {
            auto done = assembler.CompletedFrame();
            frames.emplace_back(done.begin(), done.end());
        }
        at += n;
    }
    return frames;
}
}  // namespace

TEST(ReceiveAssembler, OneBytePerReadAndReadSizesFollowTheFrame) {
    ReceiveAssembler assembler;
    const Bytes frame = {0x02, 0x01, 0x0C, 0x0C, 0x03};
    std::vector<uint16_t> sizes;
    bool completed = false;
    for (uint8_t b : frame) {
        completed = assembler.Feed({&b, 1});
        sizes.push_back(assembler.Expected());
    }
    EXPECT_TRUE(completed);
    EXPECT_EQ(assembler.CompletedFrame().size(), 1u);
    EXPECT_EQ(assembler.CompletedFrame()[0], 0x0C);
    EXPECT_EQ(sizes, (std::vector<uint16_t>{1, 3, 2, 1, 1}));
}

TEST(ReceiveAssembler, SkipsGarbageAndDropsAFrameWithTheWrongEnd) {
    ReceiveAssembler assembler;
    Bytes stream = {0xFF, 0x00, 0x03, 0x7E};           // garbage before STX
    Bytes bad = {0x02, 0x02, 0xE4, 0x05, 0x00, 0x04};  // last byte not ETX
    Bytes good = BuildFrame(0x0A, std::vector<uint8_t>{0x01, 0x02});
    stream.insert(stream.end(), bad.begin(), bad.end());
    stream.insert(stream.end(), good.begin(), good.end());
    auto frames = FeedAsPort(assembler, stream);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0], (Bytes{0x0A, 0x01, 0x02}));
}

TEST(ReceiveAssembler, AcceptsAWrongCheckByte) {
    ReceiveAssembler assembler;
    Bytes frame = BuildFrame(0x0C, {});
    frame[3] ^= 0x5A;
    EXPECT_EQ(FeedAsPort(assembler, frame).size(), 1u);
}

TEST(ReceiveAssembler, EmptyReadAbandonsAPartialFrame) {
    ReceiveAssembler assembler;
    Bytes first = BuildFrame(0x0C, std::vector<uint8_t>(11, 0x11));
    FeedAsPort(assembler, Bytes(first.begin(), first.begin() + 6));
    EXPECT_FALSE(assembler.Feed({}));
    EXPECT_EQ(assembler.Expected(), 1);
    Bytes second = BuildFrame(0x0A, std::vector<uint8_t>{7});
    auto frames = FeedAsPort(assembler, second);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0], (Bytes{0x0A, 7}));
}

TEST(ReceiveAssembler, DropsAFrameWithoutCmd) {
    ReceiveAssembler assembler;
    FeedAsPort(assembler, BuildFrame(0x21, {}));
    auto frames = FeedAsPort(assembler, Bytes{0x02, 0x00, 0x01, 0x03});  // LEN 0
    EXPECT_TRUE(frames.empty()) << "an earlier frame's CMD must not be routed again";
    frames = FeedAsPort(assembler, BuildFrame(0x0C, {}));
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0][0], 0x0C);
}

TEST(ReceiveAssembler, LongestFrameFits) {
    ReceiveAssembler assembler;
    Bytes payload(254, 0xA5);
    auto frames = FeedAsPort(assembler, BuildFrame(0x0B, payload));
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].size(), 255u);
}
