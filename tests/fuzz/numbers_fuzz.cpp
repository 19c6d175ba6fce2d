// The numbers people type: the dialogs' whole-number fields, the windows'
// digit fields, and ampwright-cli's command lines with their number options.
// A number read is in range and reads again from its own text.
#include <vector>

#include "cli/cli_args.h"
#include "cli/tester_session.h"
#include "config/edit_number.h"
#include "fuzz_support.h"
#include "ui/number_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    std::string text = input.ConsumeRandomLengthString(40);
    if (std::optional<int> n = ParseEditNumber(text)) {
        FUZZ_REQUIRE(*n >= -1000000 && *n <= 1000000, "\"%s\" reads as %d", text.c_str(), *n);
        FUZZ_REQUIRE(ParseEditNumber(std::to_string(*n)) == n, "%d does not read back", *n);
        FUZZ_REQUIRE(ParseUnsignedEdit(text) == std::max(*n, 0), "\"%s\" unsigned", text.c_str());
    } else {
        FUZZ_REQUIRE(!ParseUnsignedEdit(text), "\"%s\" is a number only unsigned", text.c_str());
    }
    size_t digits = input.ConsumeIntegralInRange<size_t>(1, 9);
    int read = ReadNumber(text, digits);
    FUZZ_REQUIRE(read >= 0 && std::to_string(read).size() <= digits, "\"%s\" in %zu digits reads %d", text.c_str(),
                 digits, read);

    std::vector<std::string> args;
    while (input.remaining_bytes() > 0)
        args.push_back(input.ConsumeRandomLengthString(20));
    const CliOptionSpec spec = {{"-o", "--output", "--port", "--count", "--interval", "--mv", "--step"},
                                {"--help", "-h", "--csv", "--json"}};
    std::string error;
    std::optional<CliArgs> parsed = ParseCliArgs(args, spec, error);
    if (!parsed) {
        FUZZ_REQUIRE(!error.empty(), "a command line refused without a reason");
        return 0;
    }
    for (const auto& [name, value] : parsed->values) {
        FUZZ_REQUIRE(spec.withValue.count(name), "unknown option %s taken", name.c_str());
        std::optional<int> number = NumberOption(*parsed, name.c_str(), 100, 3600000, error);
        FUZZ_REQUIRE(!number || (*number >= 100 && *number <= 3600000), "%s %s gives %d", name.c_str(), value.c_str(),
                     *number);
    }
    return 0;
}
