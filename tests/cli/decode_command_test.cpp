#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "cli_run.h"
#include "platform/files.h"
#include "support/test_helpers.h"
#include "tracer/trace_csv.h"

namespace {
std::string Csv(const std::vector<std::string>& lines) {
    std::string text = std::string(kTraceCsvHeader) + "\r\n";
    for (const std::string& line : lines)
        text += line + "\r\n";
    return text;
}
}  // namespace

TEST(DecodeCommand, EverySpellingOfALineDecodesAlike) {
    const std::string sourceCaps =
        "Source_Capabilities,DFP,Source,3.0,0,2,0x0A01912C 0x0002D12C,0xA1212C91010A2CD10200";
    const std::string goodCrc = "GoodCRC,UFP,Sink,2.0,3,0, ,0x4106";
    CliRun run = Cli({"decode", "-"},
                     "# a comment\n"
                     "A1 21 2C 91 01 0A 2C D1 02 00\n"
                     "\n"
                     "0xa1212c91010a2cd10200\r\n"
                     "a1:21:2c:91:01:0a:2c:d1:02:00\n"
                     "   \n"
                     "0x41 0x06\n"
                     "00 00\n");  // all-zero header: no row
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(run.out, Csv({sourceCaps, sourceCaps, sourceCaps, goodCrc}));
}

TEST(DecodeCommand, RefusesBadLinesAndWritesOnlyAGoodDecode) {
    std::string in = TempPath("ampwright-decode-in.txt"), out = TempPath("ampwright-decode-out.csv");
    ASSERT_TRUE(std::ofstream(out) << "old");
    const std::pair<const char*, const char*> cases[] = {
        {"41 06\n41 0G\n", "line 2"},
        {"41 06\n\n41 061\n", "line 3"},
        {"41 16\n", "line 1"},              // one object declared, none given
        {"41 06 00 00 00 00\n", "line 1"},  // one object given, none declared
        {"41\n", "line 1"},
    };
    for (const auto& [input, where] : cases) {
        SCOPED_TRACE(input);
        CliRun run = Cli({"decode", "-o", out}, input);
        EXPECT_EQ(run.code, 2);
        EXPECT_NE(run.err.find(where), std::string::npos) << run.err;
        EXPECT_TRUE(run.out.empty());
    }
    EXPECT_EQ(FileText(out), "old");

    ASSERT_TRUE(std::ofstream(in) << "41 06\n");
    EXPECT_EQ(Cli({"decode", in, "-o", out}).code, 0);
    EXPECT_EQ(FileText(out), Csv({"GoodCRC,UFP,Sink,2.0,3,0, ,0x4106"}));
    EXPECT_EQ(Cli({"decode", TempPath("ampwright-no-such-input")}).code, 1);
    EXPECT_EQ(Cli({"decode", "--bogus"}).code, 2);
    EXPECT_EQ(Cli({"frobnicate"}).code, 2);
    CliRun help = Cli({"decode", "--help"});
    EXPECT_EQ(help.code, 0);
    EXPECT_NE(help.out.find("ampwright-cli decode [FILE|-] [-o OUT]"), std::string::npos);
    RemoveFile(in);
    RemoveFile(out);
}

// What Windows tools save: UTF-8 with a byte-order mark, and UTF-16 (as
// PowerShell 5.1 redirects output) decode like plain text; any other byte
// beyond ASCII is refused by its line, never echoed.
TEST(DecodeCommand, ReadsWhatWindowsToolsSaveAndNamesForeignBytes) {
    const std::string expected = Csv({"GoodCRC,UFP,Sink,2.0,3,0, ,0x4106"});
    std::string utf16le = "\xFF\xFE", utf16be = "\xFE\xFF";
    for (char c : std::string("41 06\r\n")) {
        utf16le += {c, '\0'};
        utf16be += {'\0', c};
    }
    for (const std::string& input : {std::string("\xEF\xBB\xBF") + "41 06\n", utf16le, utf16be}) {
        CliRun run = Cli({"decode"}, input);
        EXPECT_EQ(run.code, 0) << run.err;
        EXPECT_EQ(run.out, expected);
    }
    CliRun foreign = Cli({"decode"}, "41 06\n41 \xC3\xA9\n");
    EXPECT_EQ(foreign.code, 2);
    EXPECT_EQ(foreign.err,
              "ampwright-cli decode: line 2: not a PD message (byte 0xC3 (not ASCII) is not a "
              "hexadecimal digit)\n");
}

// A standard output that cannot take the CSV (a closed pipe, a full disk)
// is a failed write, never a success with half a file.
TEST(DecodeCommand, AFailedWriteToTheStandardOutputIsAFailure) {
    std::istringstream in("41 06\n");
    std::ostream out(nullptr);  // every write fails
    std::ostringstream err;
    CliIo io{in, out, err};
    EXPECT_EQ(RunCli({"decode"}, io), 1);
    EXPECT_EQ(err.str(), "ampwright-cli decode: cannot write to the standard output\n");
}
