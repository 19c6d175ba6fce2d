// ampwright-cli decode's input: any bytes as a message file (with or without
// a byte-order mark, UTF-8 or UTF-16). What it accepts decodes into the
// tracer's CSV, and the CSV's own raw-message column, decoded again, gives
// the same CSV: the export round-trips.
#include <sstream>
#include <vector>

#include "cli/message_lines.h"
#include "fuzz_support.h"
#include "tracer/trace_csv.h"
#include "tracer/trace_decoder.h"

namespace {
std::string Csv(const MessageLines& lines) {
    PendingEcho echo;
    std::vector<std::string> rows;
    for (const TraceRecord& record : lines.records)
        if (std::optional<std::string> row = DecodeTracedMessage(record, echo)) rows.push_back(*row);
    return TraceCsvText(rows);
}

// The last field of each line after the header, one per line (a line's
// '\r' goes with it: the message reader takes it for a space).
std::string RawColumn(const std::string& csv) {
    std::istringstream in(csv);
    std::string line, raw;
    std::getline(in, line);
    while (std::getline(in, line))
        raw += line.substr(line.rfind(',') + 1) + "\n";
    return raw;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text = MessageTextAsUtf8(std::string_view(reinterpret_cast<const char*>(data), size));
    MessageLines lines = ParseMessageLines(text);
    if (lines.badLine > 0) {
        FUZZ_REQUIRE(!lines.problem.empty(), "line %d refused without a reason", lines.badLine);
        return 0;
    }
    std::string csv = Csv(lines);
    FUZZ_REQUIRE(csv.rfind(kTraceCsvHeader, 0) == 0, "the CSV lacks its header");
    MessageLines again = ParseMessageLines(RawColumn(csv));
    FUZZ_REQUIRE(again.badLine == 0, "the CSV's raw message on line %d is refused: %s", again.badLine,
                 again.problem.c_str());
    FUZZ_REQUIRE(Csv(again) == csv, "decoding the CSV's raw messages gives another CSV");
    return 0;
}
