#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "device/tester_connection.h"

// The ampwright-sim program, run as scripts run it: in the background with
// standard input at its end.
TEST(SimProgram, ServesAfterInputEndsAndStopsOnSigterm) {
    std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe").parent_path() / "ampwright-sim";
    if (!std::filesystem::exists(program)) GTEST_SKIP() << "ampwright-sim is not built";
    std::filesystem::path temporary = std::filesystem::temp_directory_path();
    std::string link = (temporary / ("ampwright-sim-" + std::to_string(getpid()))).string();
    int output[2];
    ASSERT_EQ(pipe(output), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::freopen("/dev/null", "r", stdin);
        dup2(output[1], STDOUT_FILENO);
        execl(program.c_str(), "ampwright-sim", "--firmware", "41", "--link", link.c_str(), nullptr);
        _exit(127);
    }
    close(output[1]);
    char line[128] = {};
    ASSERT_GT(read(output[0], line, sizeof line - 1), 0);
    EXPECT_EQ(std::string(line).rfind("port: /dev/", 0), 0u) << line;

    FastClock clock;
    TesterConnection connection(CreateSerialPort, clock);
    ASSERT_TRUE(connection.Connect(link, nullptr));
    EXPECT_EQ(connection.Info().firmwareVersion, 41);
    Measurements m;
    EXPECT_TRUE(connection.GetMeasurements(m));
    connection.Close();

    kill(child, SIGTERM);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_FALSE(std::filesystem::exists(link));  // the link goes with the program
    close(output[0]);
}
