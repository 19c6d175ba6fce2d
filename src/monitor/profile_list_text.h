#pragma once

#include <string>

#include "device/tester_records.h"

// How a capability is listed in "Select Profile" (and by the CLI's
// `profile LIST`): "PD-FIX 9.00V", or "PD-PPS 3.30V-21.00V" for a ranged one.
std::string ProfileListText(const SinkCapability& entry);

// How a stored source type is listed ("2. PD 100W"); index from 0.
std::string SourceTypeListText(size_t index, const std::string& name);
