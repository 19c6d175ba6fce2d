#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "tracer/pd_header.h"
#include "tracer/trace_decoder.h"

namespace {
std::string Decode(const TraceRecord& record) {
    PendingEcho echo;
    return DecodeTracedMessage(record, echo).value_or("(dropped)");
}
}  // namespace

TEST(TraceDecoder, RowsOfKnownMessages) {
    struct Case {
        TraceRecord record;
        const char* row;
    };
    const Case cases[] = {
        {TraceRecord{0xA1, 0x21, 0x2C, 0x91, 0x01, 0x0A, 0x2C, 0xD1, 0x02, 0x00},
         "0,Source_Capabilities,DFP,Source,3.0,0,2,0x0A01912C 0x0002D12C,0xA1212C91010A2CD10200"},
        {TraceRecord{0x41, 0x06}, "0,GoodCRC,UFP,Sink,2.0,3,0, ,0x4106"},
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

// Every code against the standard's message types, class by class: the
// name tables give each its name, and each name its code.
TEST(MessageNames, EveryCodeHasTheStandardsNameOrIsReserved) {
    // Per class, the names of types 0, 1, 2 ... ("-" where a type has none).
    const std::pair<int, const char*> classes[] = {
        {0,
         "- GoodCRC GotoMin Accept Reject Ping PS_RDY Get_Source_Cap Get_Sink_Cap DR_Swap PR_Swap VCONN_Swap Wait "
         "Soft_Reset Data_Reset Data_Reset_Complete Not_Supported Get_Source_Cap_Extended Get_Status FR_Swap "
         "Get_PPS_Status Get_Country_Codes Get_Sink_Cap_Extended Get_Source_Info Get_Revision"},
        {kDataMessageBase,
         "- Source_Capabilities Request BIST Sink_Capabilities Battery_Status Alert Get_Country_Info Enter_USB "
         "EPR_Request EPR_Mode Source_Info Revision - - Vendor_Defined"},
        {kExtendedMessageBase,
         "- Source_Capabilities_Extended Status Get_Battery_Cap Get_Battery_Status Battery_Capabilities "
         "Get_Manufacturer_Info Manufacturer_Info Security_Request Security_Response Firmware_Update_Request "
         "Firmware_Update_Response PPS_Status Country_Info Country_Codes Sink_Capabilities_Extended Extended_Control "
         "EPR_Source_Capabilities EPR_Sink_Capabilities"},
    };
    std::map<int, std::string> standard = {{kHardResetCode, "Hard Reset"},
                                           {kExtendedMessageBase + 30, "Vendor_Defined_Extended"}};
    for (const auto& [base, names] : classes) {
        std::istringstream words(names);
        std::string name;
        for (int type = 0; words >> name; ++type)
            if (name != "-") standard[base + type] = name;
    }
    EXPECT_EQ(standard.size(), kSendableMessageNames.size() + kOtherMessageNames.size()) << "each name once";
    for (int code = 0; code < 128; ++code) {
        auto named = standard.find(code);
        std::string expected = named == standard.end() ? kReservedMessageName : named->second;
        EXPECT_EQ(MessageNameOf(static_cast<MessageTypeCode>(code)), expected) << "code " << code;
        if (named != standard.end()) {
            EXPECT_EQ(MessageTypeCodeFromName(expected), code) << expected;
        }
    }
    EXPECT_EQ(MessageTypeCodeFromName("No_Such_Message"), 12);
}
