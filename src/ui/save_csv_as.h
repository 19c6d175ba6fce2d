#pragma once

#include <functional>
#include <string>

#include "ui/prompts.h"

// Asks where to save a CSV file, starting in the data folder, then writes the
// text made at that moment through the atomic save; a failed write is shown
// under errorTitle. False when the user cancelled or the write failed.
bool SaveCsvAs(Prompts& prompts, const std::function<std::string()>& text, const char* errorTitle);
