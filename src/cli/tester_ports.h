#pragma once

#include <optional>
#include <string>
#include <vector>

// The testers attached: on Windows the ports the window's discovery finds,
// elsewhere the entries of /dev/serial/by-id whose USB description names the
// tester (AMPWRIGHT_SERIAL_BY_ID names another directory, for tests).
std::vector<std::string> ListTesterPorts();

// The entries of a by-id directory (full paths, sorted) whose names carry the
// tester's USB description, its blanks written as underscores.
std::vector<std::string> TesterPortsInDirectory(const std::string& directory);

// The port a command uses: the one given, else the only tester found. On
// none or several, nothing, and `error` says what to do.
std::optional<std::string> ChooseTesterPort(const std::optional<std::string>& given,
                                            const std::vector<std::string>& found, std::string& error);
