#include "cli/cli_commands.h"
#include "cli/cli_files.h"
#include "cli/message_lines.h"
#include "tracer/trace_csv.h"
#include "tracer/trace_decoder.h"

const char* const kDecodeHelp =
    "Usage: ampwright-cli decode [FILE|-] [-o OUT]\n\n"
    "Reads PD messages written as hex, one per line, header first in wire order\n"
    "(the format ampwright-sim's replay reads): an optional 0x, blanks or colons\n"
    "between bytes; blank lines and lines starting with # are skipped. Writes the\n"
    "CSV that the tracer's \"Export to CSV\" writes for those messages: a header\n"
    "line, then one line per message (a message with an all-zero header gives no\n"
    "line, as in the tracer).\n\n"
    "  FILE       the messages; - or none reads the standard input\n"
    "  -o OUT     write the CSV to OUT (replaced only when complete) instead of\n"
    "             the standard output\n\n"
    "A line that is not hex, or whose length is not 2 + 4 x the number of data\n"
    "objects its header gives, is refused with its line number; nothing is\n"
    "written then. Exit codes: 0 done, 1 a file could not be read or written,\n"
    "2 a wrong command line or input.\n";

int RunDecodeCommand(const std::vector<std::string>& args, CliIo& io) {
    std::string error;
    std::optional<CliArgs> parsed = ParseCliArgs(args, {{"-o", "--output"}, {"--help", "-h"}}, error);
    if (!parsed || parsed->positional.size() > 1) {
        io.err << "ampwright-cli decode: " << (parsed ? "more than one input file" : error) << "\n" << kDecodeHelp;
        return kCliBadInput;
    }
    if (parsed->Has("--help") || parsed->Has("-h")) {
        io.out << kDecodeHelp;
        return kCliOk;
    }
    std::string inputPath = parsed->positional.empty() ? "-" : parsed->positional[0];
    std::optional<std::string> text = ReadCliInput(inputPath, io, error);
    if (!text) {
        io.err << "ampwright-cli decode: " << error << "\n";
        return kCliFailed;
    }
    MessageLines lines = ParseMessageLines(MessageTextAsUtf8(*text));
    if (lines.badLine > 0) {
        io.err << "ampwright-cli decode: line " << lines.badLine << ": not a PD message (" << lines.problem << ")\n";
        return kCliBadInput;
    }

    // A fresh decoder state, as when the tracer opens: nothing awaited.
    PendingEcho echo;
    std::vector<std::string> rows;
    for (const TraceRecord& record : lines.records) {
        if (std::optional<std::string> row = DecodeTracedMessage(record, echo)) rows.push_back(*row);
    }
    if (!WriteCliOutput(parsed->Value({"-o", "--output"}), TraceCsvText(rows), io, error)) {
        io.err << "ampwright-cli decode: " << error << "\n";
        return kCliFailed;
    }
    return kCliOk;
}
