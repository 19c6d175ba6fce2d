#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "pd_message.h"

namespace pd {

// One message seen on a port, and who sent it.
struct TracedMessage {
    Message message;
    bool fromTester = false;
};

// The PD conversation on one port between a source and a sink: keeps each
// side's message ID counter and the EPR mode, and writes out the message
// sequences of the standard, every message followed by the partner's GoodCRC.
class Session {
public:
    // testerIsSource: the tester's source port; otherwise its sink port, where
    // the device under test is the source.
    explicit Session(bool testerIsSource) : testerIsSource_(testerIsSource) {}

    // Attach, detach, hard reset: counters back to 0, EPR mode left.
    void Reset();
    bool InEprMode() const { return eprMode_; }
    bool HasContract() const { return contract_; }

    // The source advertises its SPR capabilities.
    void SourceCapabilities(std::span<const Pdo> pdos, std::vector<TracedMessage>& out);
    // The sink asks for a PDO (the RDO names its position), the source
    // accepts and reports its supply ready. In EPR mode the request
    // is an EPR_Request carrying a copy of the PDO.
    void Contract(const Pdo& pdo, uint32_t rdo, std::vector<TracedMessage>& out);
    // EPR mode entry and the chunked EPR_Source_Capabilities (SPR PDOs in
    // positions 1..7, EPR PDOs from position 8).
    void EnterEpr(std::span<const Pdo> spr, std::span<const Pdo> epr, uint8_t sinkPdpW,
                  std::vector<TracedMessage>& out);
    // Any message from one side, acknowledged by the other. The sender's
    // message ID replaces the one in the given header.
    void Send(bool bySource, const Message& message, std::vector<TracedMessage>& out);
    // A control message from one side.
    void SendControl(bool bySource, uint8_t type, std::vector<TracedMessage>& out);

private:
    Header HeaderFor(bool bySource, uint8_t type) const;

    bool testerIsSource_;
    uint8_t sourceMessageId_ = 0;
    uint8_t sinkMessageId_ = 0;
    bool eprMode_ = false;
    bool contract_ = false;
};

}  // namespace pd
