#include <gtest/gtest.h>

#include "pd_message.h"
#include "physical_model.h"
#include "replay.h"
#include "sim_bench.h"

// Every traced message must be a consistent USB PD 3.1 message.
namespace {
using pd::Header;
using pd::Message;

// Follows one port's traced messages and checks each against the ones before.
struct TraceChecker {
    explicit TraceChecker(bool testerIsSource) : testerIsSource_(testerIsSource) {}
    size_t requests = 0;

    void Check(const pd::TracedMessage& traced) {
        const Message& m = traced.message;
        Header h = m.DecodedHeader();
        SCOPED_TRACE(::testing::Message() << "message " << count_++ << " type " << int(h.type));
        ASSERT_TRUE(m.WellFormed());
        EXPECT_EQ(h.revision, pd::kRevision30);
        bool bySource = traced.fromTester == testerIsSource_;
        EXPECT_EQ(h.powerRoleSource, bySource);
        EXPECT_EQ(h.dataRoleDfp, bySource);

        if (!h.extended && h.dataObjects == 0 && h.type == pd::kGoodCrc) {
            ASSERT_TRUE(awaitingCrc_) << "GoodCRC without a message";
            EXPECT_EQ(h.messageId, lastId_);
            EXPECT_NE(bySource, lastBySource_);
            awaitingCrc_ = false;
            return;
        }
        EXPECT_FALSE(awaitingCrc_) << "message before the GoodCRC of the one before";
        auto& expectedId = nextId_[bySource];
        EXPECT_EQ(h.messageId, expectedId);
        expectedId = (expectedId + 1) & 7;
        lastId_ = h.messageId;
        lastBySource_ = bySource;
        awaitingCrc_ = true;

        if (h.extended) {
            CheckExtended(m, h);
        } else if (h.dataObjects > 0 && h.type == pd::kSourceCapabilities) {
            spr_.clear();
            for (size_t i = 0; i < h.dataObjects; ++i) {
                auto pdo = pd::Pdo::Decode(m.Object(i));
                ASSERT_TRUE(pdo.has_value());
                spr_.push_back(*pdo);
            }
            ASSERT_EQ(spr_[0].kind, pd::PdoKind::Fixed);
            EXPECT_EQ(spr_[0].maximumMv, 5000);
        } else if (h.dataObjects > 0 && (h.type == pd::kRequest || h.type == pd::kEprRequest)) {
            EXPECT_FALSE(bySource);
            uint32_t rdo = m.Object(0);
            uint8_t position = pd::RequestPosition(rdo);
            const std::vector<pd::Pdo>& offered = h.type == pd::kRequest ? spr_ : eprAll_;
            ASSERT_GE(position, 1);
            ASSERT_LE(position, offered.size());
            const pd::Pdo& pdo = offered[position - 1];
            if (h.type == pd::kEprRequest) {
                EXPECT_EQ(m.Object(1), pdo.Encode());
            }
            if (pdo.kind == pd::PdoKind::Fixed) {
                EXPECT_LE(((rdo >> 10) & 0x3FF) * 10, pdo.maximumMa);
            } else {
                uint32_t unitMv = pdo.kind == pd::PdoKind::Pps ? 20 : 25;
                uint32_t mv = ((rdo >> 9) & 0xFFF) * unitMv;
                EXPECT_GE(mv, pdo.minimumMv);
                EXPECT_LE(mv, pdo.maximumMv);
            }
            ++requests;
        }
    }
    size_t EprPdoCount() const { return eprAll_.size() > 7 ? eprAll_.size() - 7 : 0; }
    void CheckExtended(const Message& m, const Header& h) {
        ASSERT_EQ(h.type, pd::kEprSourceCapabilities);
        auto ext = pd::ExtendedHeader::Decode(static_cast<uint16_t>(m.bytes[2] | (m.bytes[3] << 8)));
        EXPECT_TRUE(ext.chunked);
        if (ext.requestChunk) {
            EXPECT_EQ(ext.chunkNumber, chunkData_.size() / pd::kMaxChunkBytes);
            return;
        }
        if (ext.chunkNumber == 0) chunkData_.clear();
        EXPECT_EQ(chunkData_.size(), ext.chunkNumber * pd::kMaxChunkBytes);
        size_t take = std::min<size_t>(pd::kMaxChunkBytes, ext.dataSize - chunkData_.size());
        chunkData_.insert(chunkData_.end(), m.bytes.begin() + 4, m.bytes.begin() + 4 + take);
        if (chunkData_.size() < ext.dataSize) return;
        ASSERT_EQ(ext.dataSize % 4, 0);
        eprAll_.clear();
        for (size_t at = 0; at < chunkData_.size(); at += 4) {
            uint32_t raw = chunkData_[at] | (chunkData_[at + 1] << 8) | (chunkData_[at + 2] << 16) |
                           (static_cast<uint32_t>(chunkData_[at + 3]) << 24);
            auto pdo = pd::Pdo::Decode(raw);
            if (raw != 0) {
                ASSERT_TRUE(pdo.has_value());
            }
            eprAll_.push_back(pdo.value_or(pd::Pdo{}));
        }
    }

    bool testerIsSource_;
    uint8_t nextId_[2] = {};
    uint8_t lastId_ = 0;
    bool lastBySource_ = false;
    bool awaitingCrc_ = false;
    std::vector<pd::Pdo> spr_;
    std::vector<pd::Pdo> eprAll_;
    std::vector<uint8_t> chunkData_;
    size_t count_ = 0;
};

void CheckEvents(PhysicalModel& model, TraceChecker& sink, TraceChecker* source = nullptr) {
    for (const ModelEvent& e : model.TakeEvents()) {
        if (e.notification != 0) continue;
        ASSERT_TRUE(e.port == 0 || source != nullptr);
        (e.port == 0 ? sink : *source).Check(e.traced);
    }
}
}  // namespace

TEST(SimTrace, EveryNegotiationOfEveryPdOfferIsAValidSequence) {
    for (const char* name : {"pd65", "epr140"}) {
        SCOPED_TRACE(name);
        TesterMemory memory;
        PhysicalModel model(memory, 1, 0);
        TraceChecker sink(false);
        model.Plug(*FindChargerPreset(name));
        CheckEvents(model, sink);
        for (size_t i = 0; i < model.Capabilities().size(); ++i) {
            const ChargerOffer& offer = model.Capabilities()[i];
            model.RequestSinkProfile(static_cast<uint8_t>(i), (offer.minimumMv + offer.maximumMv) / 2);
            CheckEvents(model, sink);
        }
        model.RequestSinkProfile(0, 5000);  // after EPR offers: an EPR_Request for an SPR PDO
        CheckEvents(model, sink);
        size_t pdOffers = std::count_if(model.Capabilities().begin(), model.Capabilities().end(),
                                        [](const ChargerOffer& o) { return o.IsPd(); });
        EXPECT_EQ(sink.requests, pdOffers + 2);  // one per PD offer, the first 5 V contract and the last
        EXPECT_EQ(sink.EprPdoCount(), std::string(name) == "epr140" ? 2u : 0u);
    }
}

TEST(SimTrace, AutomaticEprAndSourcePortNegotiationsAreValidSequences) {
    TesterMemory memory;
    const uint8_t highest[] = {kAutoProfileMax};
    ASSERT_TRUE(memory.SetRegister(kRegAutoProfile, highest));
    PhysicalModel model(memory, 1, 0);
    TraceChecker sink(false), source(true);
    model.Plug(*FindChargerPreset("epr140"));  // straight into EPR, through an SPR contract
    CheckEvents(model, sink);
    EXPECT_EQ(sink.requests, 2u);
    EXPECT_EQ(sink.EprPdoCount(), 2u);
    EXPECT_EQ(model.NegotiatedMv(), 28000);

    model.SetSourceDevice(SourceDevice{15000, 2000});
    CheckEvents(model, sink, &source);
    EXPECT_EQ(source.requests, 1u);
    EXPECT_EQ(model.Status().sourceVoltageMv, 15000);
}

// Golden encodings: the checker above decodes with the same code, so only
// fixed bytes catch a field shifted on both sides.
TEST(SimTrace, HeadersAndObjectsEncodeAsTheStandardDefines) {
    // Source_Capabilities, source/DFP, revision 3.0, ID 0, two objects.
    pd::Pdo fiveVolt{pd::PdoKind::Fixed, 5000, 5000, 3000, 0, pd::kPdoUnconstrainedPower | pd::kPdoDualRoleData};
    pd::Pdo nineVolt{pd::PdoKind::Fixed, 9000, 9000, 3000, 0, 0};
    const uint32_t objects[] = {fiveVolt.Encode(), nineVolt.Encode()};
    Message m = Message::Make(Header{pd::kSourceCapabilities, true, pd::kRevision30, true, 0, 0, false}, objects);
    EXPECT_EQ(m.bytes, std::vector<uint8_t>({0xA1, 0x21, 0x2C, 0x91, 0x01, 0x0A, 0x2C, 0xD1, 0x02, 0x00}));

    pd::Pdo pps{pd::PdoKind::Pps, 3300, 21000, 3000, 0, 0};
    EXPECT_EQ(pps.Encode(), 0xC1A4213Cu);
    // PPS request for 9.02 V at 2 A from position 6, no USB suspend: 451 x 20 mV, 40 x 50 mA.
    EXPECT_EQ(pd::EncodeRequest(pps, 6, 9020, 2000, 2000, false), (6u << 28) | (1u << 24) | (451u << 9) | 40u);
}

TEST(SimTrace, ReplayPlaysMessagesAtItsRate) {
    ReplayScript script = ParseReplay(
        "# three messages and two bad lines\n"
        "A1 21 2C 91 01 0A 2C D1 02 00\n"
        "0x4106\n"
        "41 0\n"
        "zz11\n"
        "\n"
        "42 10 2c b1 04 13\n");
    EXPECT_EQ(script.messages.size(), 3u);
    EXPECT_EQ(script.skippedLines, 2u);

    SimBench bench;
    ASSERT_TRUE(bench.Connect() && bench.StartTrace());
    bench.simulator.StartReplay(script, 2.0);  // one every 500 ms of model time
    ASSERT_TRUE(WaitUntil([&] { return bench.Traced().size() == 1; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(bench.Traced().size(), 1u);  // model time has not moved
    for (size_t n : {2u, 3u}) {
        bench.Advance(500);
        ASSERT_TRUE(WaitUntil([&] { return bench.Traced().size() == n; }));
    }
    EXPECT_EQ(std::tuple(bench.Traced()[1][0], bench.Traced()[1][1]), std::tuple(0x41, 0x06));
}
