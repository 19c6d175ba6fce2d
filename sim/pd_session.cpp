#include "pd_session.h"

#include <algorithm>

namespace pd {

void Session::Reset() {
    sourceMessageId_ = 0;
    sinkMessageId_ = 0;
    eprMode_ = false;
    contract_ = false;
}

Header Session::HeaderFor(bool bySource, uint8_t type) const {
    Header h;
    h.type = type;
    h.powerRoleSource = bySource;
    h.dataRoleDfp = bySource;  // the source stays DFP: no data role swaps are modelled
    h.revision = kRevision30;
    h.messageId = bySource ? sourceMessageId_ : sinkMessageId_;
    return h;
}

void Session::Send(bool bySource, const Message& message, std::vector<TracedMessage>& out) {
    Message sent = message;
    if (sent.bytes.size() >= 2) {
        uint8_t id = bySource ? sourceMessageId_ : sinkMessageId_;
        sent.bytes[1] = static_cast<uint8_t>((sent.bytes[1] & ~0x0E) | (id << 1));
    }
    bool senderIsTester = bySource == testerIsSource_;
    out.push_back({sent, senderIsTester});
    Header ack = HeaderFor(!bySource, kGoodCrc);
    ack.messageId = sent.DecodedHeader().messageId;
    out.push_back({Message::Make(ack, {}), !senderIsTester});
    uint8_t& counter = bySource ? sourceMessageId_ : sinkMessageId_;
    counter = static_cast<uint8_t>((counter + 1) & 7);
}

void Session::SendControl(bool bySource, uint8_t type, std::vector<TracedMessage>& out) {
    Send(bySource, Message::Make(HeaderFor(bySource, type), {}), out);
}

void Session::SourceCapabilities(std::span<const Pdo> pdos, std::vector<TracedMessage>& out) {
    std::vector<uint32_t> objects;
    for (const Pdo& pdo : pdos.first(std::min(pdos.size(), kMaxDataObjects)))
        objects.push_back(pdo.Encode());
    Send(true, Message::Make(HeaderFor(true, kSourceCapabilities), objects), out);
}

void Session::Contract(const Pdo& pdo, uint32_t rdo, std::vector<TracedMessage>& out) {
    if (eprMode_) {
        const uint32_t objects[] = {rdo, pdo.Encode()};
        Send(false, Message::Make(HeaderFor(false, kEprRequest), objects), out);
    } else {
        const uint32_t objects[] = {rdo};
        Send(false, Message::Make(HeaderFor(false, kRequest), objects), out);
    }
    SendControl(true, kAccept, out);
    SendControl(true, kPsRdy, out);
    contract_ = true;
}

void Session::EnterEpr(std::span<const Pdo> spr, std::span<const Pdo> epr, uint8_t sinkPdpW,
                       std::vector<TracedMessage>& out) {
    auto eprMode = [](uint8_t action, uint8_t data) { return (static_cast<uint32_t>(action) << 24) | (data << 16); };
    const uint32_t enter[] = {eprMode(kEprEnter, sinkPdpW)};
    Send(false, Message::Make(HeaderFor(false, kEprMode), enter), out);
    const uint32_t acknowledged[] = {eprMode(kEprEnterAcknowledged, 0)};
    Send(true, Message::Make(HeaderFor(true, kEprMode), acknowledged), out);
    const uint32_t succeeded[] = {eprMode(kEprEnterSucceeded, 0)};
    Send(true, Message::Make(HeaderFor(true, kEprMode), succeeded), out);
    eprMode_ = true;

    std::vector<uint8_t> data;
    auto append = [&data](uint32_t value) {
        for (int shift = 0; shift < 32; shift += 8)
            data.push_back(static_cast<uint8_t>(value >> shift));
    };
    for (size_t i = 0; i < kMaxDataObjects; ++i)
        append(i < spr.size() ? spr[i].Encode() : 0);
    for (const Pdo& pdo : epr)
        append(pdo.Encode());
    uint16_t total = static_cast<uint16_t>(data.size());
    for (uint8_t chunk = 0; chunk * kMaxChunkBytes < data.size(); ++chunk) {
        if (chunk > 0) {
            ExtendedHeader ask{0, true, chunk, true};
            Send(false, Message::MakeExtended(HeaderFor(false, kEprSourceCapabilities), ask, {}), out);
        }
        size_t from = chunk * kMaxChunkBytes;
        size_t length = std::min(kMaxChunkBytes, data.size() - from);
        ExtendedHeader part{total, false, chunk, true};
        Send(true,
             Message::MakeExtended(HeaderFor(true, kEprSourceCapabilities), part,
                                   std::span<const uint8_t>(data).subspan(from, length)),
             out);
    }
}

}  // namespace pd
