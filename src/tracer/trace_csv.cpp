#include "tracer/trace_csv.h"

std::string TraceCsvLine(const std::string& row) {
    return row.size() > 2 ? row.substr(2) : std::string();
}

std::string TraceCsvText(const std::vector<std::string>& rows) {
    std::string text = std::string(kTraceCsvHeader) + "\r\n";
    text.reserve(text.size() + rows.size() * 80);
    for (const std::string& row : rows) {
        text += TraceCsvLine(row);
        text += "\r\n";
    }
    return text;
}
