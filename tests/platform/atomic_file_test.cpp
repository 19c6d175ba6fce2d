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
};

TEST_F(AtomicFileTest, ReplacesAFileWholeOrLeavesItWithNoTemporaryAndNoFolderCreated) {
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
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), {}), 1) << "no temporary file is left beside the target";
    EXPECT_NE(error.find("trace.csv"), std::string::npos) << error;

    // A missing folder is reported, not created.
    error.clear();
    EXPECT_FALSE(SaveFileAtomically((folder / "absent" / "graph.png").string(), "x", &error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(fs::exists(folder / "absent"));
}

}  // namespace
