// The PD decoder on any traced record, whatever the composer awaits: its row
// reads back through each of the tracer's views into the same fields, and
// its CSV line is the row without the echo flag. Any text at all goes
// through the views' parsers too.
#include "fuzz_support.h"
#include "tracer/trace_csv.h"
#include "tracer/trace_decoder.h"
#include "tracer/trace_view.h"

namespace {
// The view's fields of a decoded row, joined again, are the row.
void RequireSameFields(const std::string& row, TraceViewMode mode) {
    TraceRowFields f = ParseTraceRow(row, mode);
    std::string joined = std::to_string(f.echoFlag) + ',' + f.type + ',' + f.dataRole + ',' + f.powerRole + ',' +
                         f.revision + ',' + f.messageId + ',' + f.objectCount + ',' + f.data + ',' + f.raw;
    FUZZ_REQUIRE(f.fieldsRead == 9 && joined == row, "row \"%s\" in view %d: %d fields read", row.c_str(),
                 static_cast<int>(mode), f.fieldsRead);
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    PendingEcho echo;
    echo.pending = input.ConsumeIntegral<uint8_t>();
    echo.heldHeader = input.ConsumeIntegral<uint16_t>();
    TraceRecord record = {};
    std::vector<uint8_t> bytes = input.ConsumeBytes<uint8_t>(record.size());
    std::copy(bytes.begin(), bytes.end(), record.begin());

    if (std::optional<std::string> row = DecodeTracedMessage(record, echo)) {
        for (TraceViewMode mode : {TraceViewMode::Default, TraceViewMode::ExtendedData})
            RequireSameFields(*row, mode);
        TraceRowFields raw = ParseTraceRow(*row, TraceViewMode::RawMessages);
        FUZZ_REQUIRE(raw.fieldsRead == 9, "row \"%s\" in the raw view", row->c_str());
        FUZZ_REQUIRE(IsExtendedRaw(raw.raw) == ((record[1] & 0x80) != 0), "extended flag of %s", raw.raw.c_str());
        FUZZ_REQUIRE(TraceCsvLine(*row) == row->substr(2), "CSV line of \"%s\"", row->c_str());
    }
    std::string text = input.ConsumeRemainingBytesAsString();
    for (TraceViewMode mode : {TraceViewMode::Default, TraceViewMode::ExtendedData, TraceViewMode::RawMessages})
        ParseTraceRow(text, mode);
    IsExtendedRaw(text);
    return 0;
}
