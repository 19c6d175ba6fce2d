#pragma once

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <string>

// File system and local time, with UTF-8 paths on every platform.

// Opens a file for writing in binary mode (created or truncated); null on failure.
std::FILE* OpenFileForWriting(const std::string& path);
// Moves `from` over `to`, replacing an existing file in one step.
bool RenameOver(const std::string& from, const std::string& to);
// Deletes a file; true when it is gone afterwards.
bool RemoveFile(const std::string& path);
unsigned long CurrentProcessId();
// Creates one folder level; true when it exists afterwards.
bool EnsureFolder(const std::string& path);
char PathSeparator();
// The part after the last path separator (either kind).
std::string FileNamePart(const std::string& path);

// Seconds since the epoch as local calendar time.
std::tm LocalTime(int64_t unixSeconds);
// "Sat Dec 05 12:00:00 2026": the C library's ctime layout without the line end.
std::string FormatCtime(const std::tm& time);
