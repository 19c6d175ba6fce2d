#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <iostream>

#include "cli/cli_commands.h"
#include "platform/text.h"

// Arguments arrive as UTF-16 and become UTF-8; the streams are binary so the
// CSV's CR LF line ends reach a redirected file unchanged.
int wmain(int argc, wchar_t** argv) {
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stdin), _O_BINARY);
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i)
        args.push_back(Utf16ToUtf8(reinterpret_cast<const char16_t*>(argv[i])));
    CliIo io{std::cin, std::cout, std::cerr};
    return RunCli(args, io);
}
