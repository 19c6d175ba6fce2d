// A minimal tester for the round-trip benchmark under Wine: serves a pty
// linked at the given path (a COM port of the Wine prefix). Runs until killed.
//
//   measurements-responder LINK
#include <unistd.h>

#include <cstdio>

#include "measurement_answers.h"
#include "support/raw_pty.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s LINK\n", argv[0]);
        return 2;
    }
    std::optional<RawPty> pty = OpenRawPty();
    if (!pty || !LinkPath(pty->path, argv[1])) return 1;
    int master = pty->master;
    ScriptedTester tester(&AnswerForBenchmark);
    tester.SetSender([master](std::span<const uint8_t> bytes) {
        [[maybe_unused]] ssize_t n = write(master, bytes.data(), bytes.size());
    });
    uint8_t buffer[512];
    for (;;) {
        ssize_t n = read(master, buffer, sizeof buffer);
        if (n > 0) {
            tester.OnBytes({buffer, static_cast<size_t>(n)});
            tester.ClearRequests();
        }
    }
}
