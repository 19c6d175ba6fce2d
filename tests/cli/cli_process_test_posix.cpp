#include <gtest/gtest.h>

#include <cstdio>
#include <string>

// The built program, through a shell pipe: arguments, stdin and exit code.
TEST(CliProcess, DecodesStandardInput) {
    std::string command = std::string("echo '41 06' | ") + AMPWRIGHT_CLI_PATH + " decode";
    std::FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string out;
    char buffer[256];
    while (size_t n = std::fread(buffer, 1, sizeof buffer, pipe))
        out.append(buffer, n);
    int status = pclose(pipe);
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(out.ends_with("\r\nGoodCRC,UFP,Sink,2.0,3,0, ,0x4106\r\n")) << out;

    std::string bad = std::string("echo 'zz' | ") + AMPWRIGHT_CLI_PATH + " decode 2>/dev/null";
    EXPECT_EQ(WEXITSTATUS(std::system(bad.c_str())), 2);
}
