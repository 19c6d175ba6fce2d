// The tracer's costs: decoding traced records into the row store (rows per
// second), painting the 16 visible rows with the store full, and building
// the CSV of a full store.
//
//   bench-tracer [ROWS]   (default 200000, the store's size)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "counting_canvas.h"
#include "tracer/trace_csv.h"
#include "tracer/trace_decoder.h"
#include "tracer/trace_store.h"
#include "tracer/trace_view.h"

namespace {
double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// A mix of what a negotiation traces: capabilities, a request, control messages.
TraceRecord RecordFor(int i) {
    TraceRecord record = {};
    switch (i % 4) {
        case 0:  // Source_Capabilities with 5 objects
            record[0] = 0xA1;
            record[1] = static_cast<uint8_t>(0x51 | (i % 8) << 1);
            for (size_t b = 2; b < 22; ++b)
                record[b] = static_cast<uint8_t>(i + b);
            break;
        case 1:  // GoodCRC
            record[0] = 0x41;
            record[1] = 0x02;
            break;
        case 2:  // Request
            record[0] = 0x42;
            record[1] = 0x10;
            record[2] = 0x2C;
            record[3] = 0xB1;
            record[4] = 0x04;
            record[5] = 0x13;
            break;
        default:  // extended Status
            record[0] = 0x82;
            record[1] = 0xA0;
            record[2] = 0x06;
            record[3] = 0x80;
            break;
    }
    return record;
}
}  // namespace

int main(int argc, char** argv) {
    int rows = argc > 1 ? std::atoi(argv[1]) : 200000;
    TraceStore store;
    PendingEcho echo;

    auto start = std::chrono::steady_clock::now();
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
        start = std::chrono::steady_clock::now();
        for (int i = 0; i < kPaints; ++i) {
            store.ScrollBy(RowScroll::Request::Thumb, (i * 7919) % (rows > 16 ? rows - 16 : 1));
            PaintTraceView(canvas, store.Visible(), modes[m], lists);
        }
        double paintMs = SecondsSince(start) * 1000 / kPaints;
        std::printf("paint of 16 rows, %d held, %s view: %.4f ms per paint (%ld cells, %ld texts)\n", store.RowCount(),
                    names[m], paintMs, canvas.fills / kPaints, canvas.texts / kPaints);
    }

    start = std::chrono::steady_clock::now();
    std::string csv = TraceCsvText(store.Rows());
    std::printf("CSV of %d rows: %.1f MB in %.3f s\n", store.RowCount(), csv.size() / 1e6, SecondsSince(start));
    return 0;
}
