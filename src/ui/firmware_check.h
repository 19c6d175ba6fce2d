#pragma once

#include <string>

#include "device/tester_records.h"
#include "ui/prompts.h"

// The message shown when a feature needs newer firmware than the tester has
// (versions in tenths).
std::string FirmwareOutOfDateText(int minimumTenths);

// True when the tester's firmware is at least the minimum (in tenths);
// otherwise tells the user which version to install and returns false.
bool CheckFirmware(const DeviceInfo& info, Prompts& prompts, int minimumTenths);
