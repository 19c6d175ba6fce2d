#include <iostream>

#include "cli/cli_commands.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    CliIo io{std::cin, std::cout, std::cerr};
    return RunCli(args, io);
}
