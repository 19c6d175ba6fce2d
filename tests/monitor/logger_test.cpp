#include <gtest/gtest.h>

#include "monitor/log_category.h"
#include "monitor/logger.h"

namespace {
int64_t FixedTime() {
    return 1765000000;
}
}  // namespace

TEST(Logger, WrapsDroppingTheOldestRecordAndClears) {
    Logger logger(5, &FixedTime);
    for (int i = 1; i <= 5; ++i)
        logger.AddRecord("r" + std::to_string(i), 0);
    EXPECT_EQ(logger.RecordCount(), 4) << "capacity - 1 records at most";
    EXPECT_EQ(logger.GetRecord(0)->text, "r2") << "the second-oldest became the oldest";
    EXPECT_EQ(logger.GetRecord(-1)->text, "r5");
    EXPECT_EQ(logger.GetRecord(-4)->text, "r2");
    for (int outside : {4, -5, 100})
        EXPECT_FALSE(logger.GetRecord(outside)) << outside;
    EXPECT_EQ(logger.GetRecord(3)->time, FixedTime());

    logger.Clear();  // old texts stay in their slots but are no records
    EXPECT_EQ(logger.RecordCount(), 0);
    EXPECT_FALSE(logger.GetRecord(0));
    EXPECT_FALSE(logger.GetRecord(-1));
    logger.AddRecord("c", 0);
    EXPECT_EQ(logger.GetRecord(0)->text, "c");
    EXPECT_FALSE(logger.GetRecord(1));
}

TEST(Logger, CleansAndCutsTexts) {
    Logger logger(10, &FixedTime);
    logger.AddRecord("line one\r\nline  two\tend", 0);
    EXPECT_EQ(logger.GetRecord(-1)->text, "line one  line  two end");
    logger.AddRecord("line one\r\nline  two", 4);
    EXPECT_EQ(logger.GetRecord(-1)->text, "line one line two") << "diagnostics collapse runs of spaces";
    logger.AddRecord("a    b", 3);
    EXPECT_EQ(logger.GetRecord(-1)->text, "a b");

    logger.AddRecord(std::string(400, 'x'), 0);
    EXPECT_EQ(logger.GetRecord(-1)->text.size(), 299u);
    // 298 ASCII characters and a character outside the BMP: the pair would
    // straddle the cut, so it is dropped whole.
    logger.AddRecord(std::string(298, 'y') + "\xF0\x9F\x94\x8C", 0);
    EXPECT_EQ(logger.GetRecord(-1)->text, std::string(298, 'y'));
    logger.AddRecord("\xC3\xA9t\xC3\xA9", 0);
    EXPECT_EQ(logger.GetRecord(-1)->text, "\xC3\xA9t\xC3\xA9") << "UTF-8 round trip";
}
