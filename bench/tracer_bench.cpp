// The tracer's costs: decoding traced records into the row store (rows per
// second), painting the 16 visible rows with the store full, and building
// the CSV of a full store.
//
//   bench-tracer [ROWS]   (default 200000, the store's size)
#include <string>
#include <vector>

#include "counting_canvas.h"
#include "figures.h"
#include "tracer/trace_csv.h"
#include "tracer/trace_decoder.h"
#include "tracer/trace_store.h"
#include "tracer/trace_view.h"

namespace {
// A mix of what a negotiation traces: Source_Capabilities with 5 objects,
// GoodCRC, a Request and an extended Status.
TraceRecord RecordFor(int i) {
    static const std::vector<uint8_t> kStarts[] = {
        {0xA1, 0x51}, {0x41, 0x02}, {0x42, 0x10, 0x2C, 0xB1, 0x04, 0x13}, {0x82, 0xA0, 0x06, 0x80}};
    TraceRecord record = {};
    std::copy(kStarts[i % 4].begin(), kStarts[i % 4].end(), record.begin());
    if (i % 4 == 0) {  // the capabilities' message ID and objects vary
        record[1] |= static_cast<uint8_t>((i % 8) << 1);
        for (size_t b = 2; b < 22; ++b)
            record[b] = static_cast<uint8_t>(i + b);
    }
    return record;
}
}  // namespace

int main(int argc, char** argv) {
    int rows = NumberArg(argc, argv, 1, 200000);
    TraceStore store;
    PendingEcho echo;

    Steady::time_point start = Steady::now();
    for (int i = 0; i < rows; ++i) {
        if (std::optional<std::string> row = DecodeTracedMessage(RecordFor(i), echo)) store.Append(*row);
    }
    double decodeSeconds = SecondsSince(start);
    std::printf("decode into the store: %d rows in %.3f s, %.0f rows/s\n", rows, decodeSeconds, rows / decodeSeconds);

    const TraceViewMode modes[] = {TraceViewMode::Default, TraceViewMode::ExtendedData, TraceViewMode::RawMessages};
    const char* names[] = {"Default", "Extended Data", "Raw Messages"};
    for (int m = 0; m < 3; ++m) {
        constexpr int kPaints = 2000;
        CountingCanvas canvas;
        SlotLists lists;
        start = Steady::now();
        for (int i = 0; i < kPaints; ++i) {
            store.ScrollBy(RowScroll::Request::Thumb, (i * 7919) % (rows > 16 ? rows - 16 : 1));
            PaintTraceView(canvas, store.Visible(), modes[m], lists);
        }
        double paintMs = MsSince(start) / kPaints;
        std::printf("paint of 16 rows, %d held, %s view: %.4f ms per paint (%ld cells, %ld texts)\n", store.RowCount(),
                    names[m], paintMs, canvas.fills / kPaints, canvas.texts / kPaints);
    }

    start = Steady::now();
    std::string csv = TraceCsvText(store.Rows());
    std::printf("CSV of %d rows: %.1f MB in %.3f s\n", store.RowCount(), csv.size() / 1e6, SecondsSince(start));
    return 0;
}
