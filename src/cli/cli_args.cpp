#include "cli/cli_args.h"

std::optional<std::string> CliArgs::Value(std::initializer_list<const char*> names) const {
    for (const char* name : names) {
        auto found = values.find(name);
        if (found != values.end()) return found->second;
    }
    return std::nullopt;
}

std::optional<CliArgs> ParseCliArgs(const std::vector<std::string>& args, const CliOptionSpec& spec,
                                    std::string& error) {
    CliArgs parsed;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg.size() < 2 || arg[0] != '-') {
            parsed.positional.push_back(arg);
        } else if (spec.flags.count(arg)) {
            parsed.flags.insert(arg);
        } else if (spec.withValue.count(arg)) {
            if (i + 1 >= args.size()) {
                error = "option " + arg + " needs a value";
                return std::nullopt;
            }
            parsed.values[arg] = args[++i];
        } else {
            error = "unknown option " + arg;
            return std::nullopt;
        }
    }
    return parsed;
}
