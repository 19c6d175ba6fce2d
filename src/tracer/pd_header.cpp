#include "tracer/pd_header.h"

const std::array<MessageName, 42> kSendableMessageNames = {{
    {3, "Accept"},
    {4, "Reject"},
    {6, "PS_RDY"},
    {7, "Get_Source_Cap"},
    {12, "Wait"},
    {13, "Soft_Reset"},
    {14, "Data_Reset"},
    {15, "Data_Reset_Complete"},
    {16, "Not_Supported"},
    {17, "Get_Source_Cap_Extended"},
    {18, "Get_Status"},
    {20, "Get_PPS_Status"},
    {21, "Get_Country_Codes"},
    {23, "Get_Source_Info"},
    {24, "Get_Revision"},
    {34, "Request"},
    {35, "BIST"},
    {36, "Sink_Capabilities"},
    {37, "Battery_Status"},
    {38, "Alert"},
    {39, "Get_Country_Info"},
    {41, "EPR_Request"},
    {42, "EPR_Mode"},
    {44, "Revision"},
    {47, "Vendor_Defined"},
    {66, "Status"},
    {67, "Get_Battery_Cap"},
    {68, "Get_Battery_Status"},
    {69, "Battery_Capabilities"},
    {70, "Get_Manufacturer_Info"},
    {71, "Manufacturer_Info"},
    {72, "Security_Request"},
    {73, "Security_Response"},
    {74, "Firmware_Update_Request"},
    {75, "Firmware_Update_Response"},
    {77, "Country_Info"},
    {78, "Country_Codes"},
    {79, "Sink_Capabilities_Extended"},
    {80, "Extended_Control"},
    {82, "EPR_Sink_Capabilities"},
    {94, "Vendor_Defined_Extended"},
    {96, "Hard Reset"},
}};

const std::array<MessageName, 15> kOtherMessageNames = {{
    {1, "GoodCRC"},
    {2, "GotoMin"},
    {5, "Ping"},
    {8, "Get_Sink_Cap"},
    {9, "DR_Swap"},
    {10, "PR_Swap"},
    {11, "VCONN_Swap"},
    {19, "FR_Swap"},
    {22, "Get_Sink_Cap_Extended"},
    {33, "Source_Capabilities"},
    {40, "Enter_USB"},
    {43, "Source_Info"},
    {65, "Source_Capabilities_Extended"},
    {76, "PPS_Status"},
    {81, "EPR_Source_Capabilities"},
}};

uint16_t ReadPdHeader(std::span<const uint8_t> message) {
    uint8_t low = message.size() > 0 ? message[0] : 0;
    uint8_t high = message.size() > 1 ? message[1] : 0;
    return static_cast<uint16_t>(low | high << 8);
}

PdHeaderFields DecodeHeader(std::span<const uint8_t> message) {
    uint16_t header = ReadPdHeader(message);
    PdHeaderFields fields;
    fields.messageType = header & 0x1F;
    fields.dataRole = (header >> 5) & 1;
    fields.revision = (header >> 6) & 3;
    fields.powerRole = (header >> 8) & 1;
    fields.messageId = (header >> 9) & 7;
    fields.dataObjectCount = (header >> 12) & 7;
    fields.extended = (header >> 15) & 1;
    for (size_t i = 0; i < fields.dataObjectCount; ++i) {
        uint32_t value = 0;
        for (size_t b = 0; b < 4; ++b) {
            size_t at = 2 + 4 * i + b;
            if (at < message.size()) value |= static_cast<uint32_t>(message[at]) << (8 * b);
        }
        fields.dataObjects[i] = value;
    }
    return fields;
}

MessageTypeCode MessageTypeCodeOf(const PdHeaderFields& header) {
    if (header.extended) return kExtendedMessageBase + header.messageType;
    if (header.dataObjectCount > 0) return kDataMessageBase + header.messageType;
    return header.messageType;
}

std::string_view MessageNameOf(MessageTypeCode code) {
    for (const MessageName& entry : kSendableMessageNames) {
        if (entry.code == code) return entry.name;
    }
    for (const MessageName& entry : kOtherMessageNames) {
        if (entry.code == code) return entry.name;
    }
    return kReservedMessageName;
}

MessageTypeCode MessageTypeCodeFromName(std::string_view name) {
    for (const MessageName& entry : kSendableMessageNames) {
        if (name == entry.name) return entry.code;
    }
    for (const MessageName& entry : kOtherMessageNames) {
        if (name == entry.name) return entry.code;
    }
    return 12;
}
