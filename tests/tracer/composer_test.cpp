#include <gtest/gtest.h>

#include <algorithm>

#include "support/fake_window.h"
#include "tracer/composer.h"
#include "ui/tracer_ids.h"

namespace {
const int kObjects[] = {IDC_COMPOSER_OBJECT_1, IDC_COMPOSER_OBJECT_2, IDC_COMPOSER_OBJECT_3, IDC_COMPOSER_OBJECT_4,
                        IDC_COMPOSER_OBJECT_5, IDC_COMPOSER_OBJECT_6, IDC_COMPOSER_OBJECT_7, IDC_COMPOSER_OBJECT_8};

class ComposerTest : public ::testing::Test {
protected:
    ComposerTest() {
        live.connected = true;
        live.sinkActive = true;
        composer.Initialize();
    }
    void Choose(const std::string& type) {
        auto items = window.Get(IDC_COMPOSER_TYPE).items;
        window.SelectItem(IDC_COMPOSER_TYPE,
                          static_cast<int>(std::find(items.begin(), items.end(), type) - items.begin()));
        composer.OnTypeChange();
    }

    FakeWindow window;
    PendingEcho echo;
    std::atomic<bool> newRowSeen{false};
    LiveState live;
    std::vector<std::vector<uint8_t>> sent;
    bool accept = true;
    std::vector<std::string> ownRows;
    Composer composer{{window, window, echo, newRowSeen, live,
                       [this](std::span<const uint8_t> m) {
                           sent.emplace_back(m.begin(), m.end());
                           return accept;
                       },
                       [this](const std::string& row) { ownRows.push_back(row); }}};
};
}  // namespace

TEST_F(ComposerTest, DataObjectsArePaddedConvertedAndAtMostSeven) {
    Choose("Request");
    window.SetText(kObjects[0], "1F");
    window.SetText(kObjects[2], "0xabc");
    composer.OnSend();
    EXPECT_EQ(window.Texts({kObjects[0], kObjects[1], kObjects[2]}),
              (std::vector<std::string>{"0x0000001F", "0x00000000", "0x00000ABC"}));
    ASSERT_EQ(sent.size(), 1u);
    std::vector<uint8_t> body(sent[0].begin() + 2, sent[0].end());
    EXPECT_EQ(body, (std::vector<uint8_t>{0x1F, 0, 0, 0, 0, 0, 0, 0, 0xBC, 0x0A, 0, 0}));
    // Three objects in the header, Request's type, its echo awaited.
    EXPECT_EQ(std::tuple((sent[0][1] >> 4) & 7, sent[0][0] & 0x1F, echo.pending.load()), std::tuple(3, 2, 34));
    EXPECT_FALSE(window.Get(IDC_COMPOSER_SEND).enabled);
    EXPECT_EQ(window.Timers().at(IDT_TRACER_QUIET), 1050u);

    // Send returns once a whole period passes without a traced row.
    newRowSeen = true;
    composer.OnQuietTimer();
    EXPECT_FALSE(window.Get(IDC_COMPOSER_SEND).enabled);
    composer.OnQuietTimer();
    EXPECT_TRUE(window.Get(IDC_COMPOSER_SEND).enabled);

    // The header counts data objects in three bits: seven go out, an eighth
    // is refused instead of sending 32 bytes under a header that says none.
    for (int k = 0; k < 7; ++k)
        window.SetText(kObjects[k], "1");
    composer.OnSend();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ((sent[1][1] >> 4) & 7, 7);
    EXPECT_EQ(sent[1].size(), 2u + 7 * 4);
    sent.clear();
    composer.OnQuietTimer();
    composer.OnQuietTimer();
    window.SetText(kObjects[7], "1");
    composer.OnSend();
    EXPECT_TRUE(sent.empty());
    EXPECT_EQ(window.LastMessage(), "A message carries at most 7 data objects: clear data object 8.");
}

// One chunk: the extended header carries the data size and "chunked"; the
// data is padded to whole objects, which the message header counts.
TEST_F(ComposerTest, ExtendedMessagesCarryTheirDataSizeAndPadding) {
    using Bytes = std::vector<uint8_t>;
    const std::pair<const char*, Bytes> cases[] = {
        {"0x0102", {0x82, 0x90, 0x02, 0x80, 0x01, 0x02}},
        {"010203", {0x82, 0xA2, 0x03, 0x80, 0x01, 0x02, 0x03, 0x00, 0x00, 0x00}},
    };
    Choose("Status");
    for (const auto& [data, bytes] : cases) {
        window.SetText(IDC_COMPOSER_MESSAGE, data);
        composer.OnSend();
        composer.OnQuietTimer();
        composer.OnQuietTimer();
    }
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0], cases[0].second);
    EXPECT_EQ(sent[1], cases[1].second) << "message id 1, two objects";

    window.SetText(IDC_COMPOSER_MESSAGE, std::string(26 * 2, '7'));
    composer.OnSend();
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent[2].size(), 2u + 7 * 4);
    EXPECT_EQ((sent[2][1] >> 4) & 7, 7) << "26 bytes and the extended header fill seven objects";
    EXPECT_EQ(sent[2][2], 26);
}

TEST_F(ComposerTest, ValidationMessages) {
    struct Case {
        const char* type;
        std::vector<std::pair<int, std::string>> fields;
        const char* message;
    };
    const int M = IDC_COMPOSER_MESSAGE;
    const Case cases[] = {
        {"Request", {}, "The set message type requires at least one data object."},
        {"Request",
         {{kObjects[1], "123456789"}, {kObjects[4], "123456789"}},
         "Length of data object 2 exceeds the maximum allowed length."},
        {"Request", {{kObjects[0], "0x12G4"}}, "Data object 1 is not a hexademical number."},
        // After a failure only length checks run: field 1's bad digits go unreported.
        {"Request",
         {{kObjects[0], "XYZ"}, {kObjects[2], "123456789"}},
         "Length of data object 3 exceeds the maximum allowed length."},
        {"Status", {{M, std::string(53, '1')}}, "Extended data length exceeds the maximum allowed length."},
        {"Status", {{M, "0x1Q"}}, "Extended data is not a hexademical number."},
        {"Status", {{M, "0x123"}}, "Extended data must have an even number of hexadecimal digits."},
        {"Custom", {{M, std::string(61, '1')}}, "Custom message length exceeds the maximum allowed length."},
        {"Custom", {{M, "0x12G4"}}, "Custom message is not a hexademical number."},
        {"Custom", {{M, "0x41"}}, "Custom message must be at least 2 bytes long."},
        {"Custom", {{M, "0x41061"}}, "Custom message must have an even number of hexadecimal digits."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        Choose(c.type);
        for (int id : kObjects)
            window.SetText(id, "");
        for (const auto& [id, text] : c.fields)
            window.SetText(id, text);
        composer.OnSend();
        EXPECT_EQ(window.LastMessage(), c.message);
        EXPECT_TRUE(sent.empty()) << "nothing is sent";
        EXPECT_EQ(echo.pending, PendingEcho::kNothing);
        EXPECT_TRUE(window.Get(IDC_COMPOSER_SEND).enabled);
    }
    EXPECT_EQ(window.Get(IDC_COMPOSER_MESSAGE).text, "0x41061") << "an odd text stays to be corrected";
}

TEST_F(ComposerTest, CustomTextIsRewrittenPaddedAndAwaitedByHeader) {
    Choose("Custom");
    window.SetText(IDC_COMPOSER_MESSAGE, "0X12ab");
    composer.OnSend();
    EXPECT_EQ(window.Get(IDC_COMPOSER_MESSAGE).text, "0x12AB");
    EXPECT_EQ(sent.back(), (std::vector<uint8_t>{0x12, 0xAB}));
    EXPECT_EQ(echo.heldHeader, 0xAB12);

    window.SetText(IDC_COMPOSER_MESSAGE, "4110");
    composer.OnSend();
    EXPECT_EQ(sent.back(), (std::vector<uint8_t>{0x41, 0x10, 0, 0, 0, 0})) << "declared object padded with zeros";
    EXPECT_EQ(echo.pending, PendingEcho::kByHeader);
    EXPECT_EQ(echo.heldHeader, 0x1041);
}

TEST_F(ComposerTest, FailedSendSaysWhy) {
    accept = false;
    Choose("Accept");
    composer.OnSend();
    EXPECT_EQ(window.LastMessage(), "Device under test did not read message.");
    live.sinkActive = false;
    composer.OnSend();
    EXPECT_EQ(window.LastMessage(), "No device under test connected");
    EXPECT_EQ(echo.pending, PendingEcho::kNothing);
    EXPECT_TRUE(ownRows.empty());

    accept = true;
    Choose("Hard Reset");
    composer.OnSend();
    EXPECT_EQ(sent.back(), (std::vector<uint8_t>{0x60}));
    EXPECT_EQ(ownRows, (std::vector<std::string>{"1,Hard Reset, , , , , , , "}));
}
