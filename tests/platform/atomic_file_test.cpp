#include <gtest/gtest.h>

#include "platform/atomic_file.h"
#include "support/test_helpers.h"

namespace {
namespace fs = std::filesystem;

struct AtomicFileTest : ::testing::Test {
    fs::path folder = fs::temp_directory_path() /
                      ("ampwright-atomic-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                       ::testing::UnitTest::GetInstance()->current_test_info()->name());
    void SetUp() override { fs::create_directories(folder); }
    void TearDown() override { fs::remove_all(folder); }

    size_t EntriesInFolder() const { return static_cast<size_t>(std::distance(fs::directory_iterator(folder), {})); }
};

TEST_F(AtomicFileTest, ReplacesAFileWholeOrLeavesItAndNoTemporary) {
    std::string target = (folder / "trace.csv").string();
    ASSERT_TRUE(SaveFileAtomically(target, "old contents"));
    ASSERT_TRUE(SaveFileAtomically(target, std::string_view("kept\r\n")));
    EXPECT_EQ(FileText(target), "kept\r\n");
    std::string error;
    bool saved = SaveFileAtomically(
        target,
        [](std::FILE* file) {
            std::fputs("half of it", file);
            return false;
        },
        &error);
    EXPECT_FALSE(saved);
    EXPECT_EQ(FileText(target), "kept\r\n");
    EXPECT_EQ(EntriesInFolder(), 1u) << "no temporary file is left beside the target";
    EXPECT_NE(error.find("trace.csv"), std::string::npos) << error;
}

TEST_F(AtomicFileTest, AMissingFolderIsReportedNotCreated) {
    std::string target = (folder / "absent" / "graph.png").string();
    std::string error;
    EXPECT_FALSE(SaveFileAtomically(target, "x", &error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(fs::exists(folder / "absent"));
}
}  // namespace
