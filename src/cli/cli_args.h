#pragma once

#include <istream>
#include <map>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <vector>

// The streams a command reads and writes; the program passes the console's,
// tests their own.
struct CliIo {
    std::istream& in;
    std::ostream& out;
    std::ostream& err;
};

// Exit codes of every command.
constexpr int kCliOk = 0;
constexpr int kCliFailed = 1;    // the work could not be done (a file, the tester)
constexpr int kCliBadInput = 2;  // the command line or the input is wrong

// What a command accepts besides its positional arguments.
struct CliOptionSpec {
    std::set<std::string> withValue;  // e.g. "-o", "--output"
    std::set<std::string> flags;      // e.g. "--help"
};

struct CliArgs {
    std::vector<std::string> positional;
    std::map<std::string, std::string> values;  // by the option's name as given
    std::set<std::string> flags;

    bool Has(const std::string& flag) const { return flags.count(flag) > 0; }
    // The value of the first of the names given, if any was.
    std::optional<std::string> Value(std::initializer_list<const char*> names) const;
};

// Splits a command's arguments; a lone "-" is positional. On an unknown
// option or a missing value, `error` says which and nothing is returned.
std::optional<CliArgs> ParseCliArgs(const std::vector<std::string>& args, const CliOptionSpec& spec,
                                    std::string& error);
