#include <gtest/gtest.h>

#include "tracer/pd_header.h"
#include "tracer/trace_decoder.h"

namespace {
std::string Decode(const TraceRecord& record) {
    PendingEcho echo;
    return DecodeTracedMessage(record, echo).value_or("(dropped)");
}
}  // namespace

// Source_Capabilities and GoodCRC rows are checked with the decode command.
TEST(TraceDecoder, RowsOfKnownMessages) {
    struct Case {
        TraceRecord record;
        const char* row;
    };
    const Case cases[] = {
        {TraceRecord{0x82, 0xA0, 0x06, 0x80, 0x00, 0x11, 0x22, 0x33, 0x44, 0x55},
         "0,Status,UFP,Sink,3.0,0,2,0x001122334455,0x82A00680001122334455"},
        // Type 0 with an object has no name; revision bits 11 read "Err".
        {TraceRecord{0xC0, 0x10, 1, 2, 3, 4}, "0,Reserved (Invalid Type),UFP,Sink,Err,0,1,0x04030201,0xC01001020304"},
        // An extended message without objects has a blank as data.
        {TraceRecord{0x81, 0x80}, "0,Source_Capabilities_Extended,UFP,Sink,3.0,0,0, ,0x8180"},
        {TraceRecord{0x00, 0x00}, "(dropped)"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Decode(c.record), c.row);
    EXPECT_EQ(MessageTypeCodeFromName("Hard Reset"), 96);
    EXPECT_EQ(MessageTypeCodeFromName("Hard_Reset"), 12) << "names compare exactly";
}

TEST(TraceDecoder, SevenObjectsReadThirtyBytesOnly) {
    TraceRecord record;
    record.fill(0xEE);
    record[0] = 0x00;
    record[1] = 0x70;
    std::string row = Decode(record);
    EXPECT_EQ(row.substr(row.rfind(',') + 1), "0x0070" + std::string(56, 'E'));
}

TEST(TraceDecoder, EchoIsMatchedOnceByNameOrByHeader) {
    PendingEcho echo;
    echo.pending = 6;  // PS_RDY
    TraceRecord goodCrc = TraceRecord{0x41, 0x06};
    TraceRecord psRdy = TraceRecord{0x46, 0x06};
    EXPECT_EQ(DecodeTracedMessage(goodCrc, echo)->substr(0, 2), "0,");
    EXPECT_EQ(DecodeTracedMessage(psRdy, echo)->substr(0, 2), "1,");
    EXPECT_EQ(echo.pending, PendingEcho::kNothing);
    EXPECT_EQ(DecodeTracedMessage(psRdy, echo)->substr(0, 2), "0,") << "only the first is the echo";

    echo.pending = PendingEcho::kByHeader;
    echo.heldHeader = 0x0641;
    EXPECT_EQ(DecodeTracedMessage(psRdy, echo)->substr(0, 2), "0,");
    EXPECT_EQ(DecodeTracedMessage(goodCrc, echo)->substr(0, 2), "1,");

    echo.pending = 96;  // Hard Reset never comes back as a message
    EXPECT_EQ(DecodeTracedMessage(goodCrc, echo)->substr(0, 2), "0,");
    EXPECT_EQ(echo.pending, 96);

    echo.heldHeader = 0;  // an all-zero header is traced only while the held header is zero
    EXPECT_EQ(*DecodeTracedMessage(TraceRecord{}, echo), "0,Reserved (Invalid Type),UFP,Sink,1.0,0,0, ,0x0000");
}

// Each named code is found again by its name: no name stands for two codes.
TEST(MessageNames, EveryNamedCodeIsFoundByItsName) {
    int named = 0;
    for (int code = 0; code < 128; ++code) {
        std::string name(MessageNameOf(static_cast<MessageTypeCode>(code)));
        if (name == kReservedMessageName) continue;
        EXPECT_EQ(MessageTypeCodeFromName(name), code) << name;
        ++named;
    }
    EXPECT_EQ(named, static_cast<int>(kSendableMessageNames.size() + kOtherMessageNames.size()));
}
