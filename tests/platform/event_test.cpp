#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "platform/event.h"
#include "platform/text.h"

TEST(Event, ResetKindsAndWaitAnyTakingTheLowestSignalled) {
    Event manual(Event::ResetKind::Manual), a(Event::ResetKind::Automatic), b(Event::ResetKind::Automatic);
    EXPECT_EQ(WaitAny({&manual, &a}, 20), kWaitTimedOut);
    manual.Set();
    EXPECT_TRUE(manual.Wait(0));
    EXPECT_EQ(WaitAny({&manual, &a}, 0), 0) << "a manual-reset event stays signalled";
    manual.Reset();
    EXPECT_FALSE(manual.IsSet());

    a.Set();
    b.Set();
    EXPECT_EQ(WaitAny({&a, &b}, 0), 0);
    EXPECT_EQ(WaitAny({&a, &b}, 0), 1) << "only the event that released the wait is consumed";
    a.Set();
    EXPECT_TRUE(a.Wait(0));
    EXPECT_FALSE(a.Wait(0)) << "an automatic-reset event is consumed by one wait";

    std::thread setter([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        b.Set();
    });
    EXPECT_EQ(WaitAny({&a, &b}, 5000), 1);
    setter.join();
}

TEST(Text, RoundTripsReplacesMalformedInputAndCutsWholeCharacters) {
    std::string mixed = "Volt \xC3\xA9 \xE2\x82\xAC \xF0\x9F\x94\x8C";  // é € and a plug (outside the BMP)
    std::u16string wide = Utf8ToUtf16(mixed);
    EXPECT_EQ(wide.size(), 11u) << "the plug takes a surrogate pair";
    EXPECT_EQ(Utf16ToUtf8(wide), mixed);
    EXPECT_EQ(Utf8ToUtf16("a\xFF"
                          "b"),
              u"a\uFFFDb");
    EXPECT_EQ(Utf8ToUtf16("\xE2\x82"), u"\uFFFD") << "truncated sequence";
    EXPECT_EQ(Utf8ToUtf16("\xC0\xAF"), u"\uFFFD") << "overlong encoding";
    EXPECT_EQ(Utf16ToUtf8(u"x\xD800y"), "x\xEF\xBF\xBDy") << "lone surrogate";
    EXPECT_EQ(CutUtf8("abc", 5), "abc");
    EXPECT_EQ(CutUtf8("ab\xE2\x82\xAC", 4), "ab");
    EXPECT_EQ(CutUtf8("ab\xE2\x82\xAC", 5), "ab\xE2\x82\xAC");
}
