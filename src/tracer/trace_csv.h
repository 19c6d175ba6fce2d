#pragma once

#include <string>
#include <vector>

// The tracer's CSV file: a header line, then each row without its echo flag,
// oldest first. Lines end in CR LF, the file's line end on Windows, wherever
// it is written, so every writer gives the same bytes.
constexpr const char* kTraceCsvHeader =
    "Message Type,Port Data Role,Port Power Role,Specification Revision,Message ID,Number of Data Objects,Data,"
    "Raw Message";

// The CSV line of one row: the row after its first two characters.
std::string TraceCsvLine(const std::string& row);
// The whole file's text.
std::string TraceCsvText(const std::vector<std::string>& rows);
