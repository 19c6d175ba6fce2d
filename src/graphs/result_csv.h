#pragma once

#include <string>
#include <vector>

#include "graphs/voltage_current_test.h"
#include "ui/prompts.h"

// The verdict of each measured step from the first, true for a pass: the
// steps up to the first without a measurement.
std::vector<bool> StepVerdicts(const VoltageCurrentResult& result);

// The voltage-versus-current result as CSV text: a header, then one line per
// measured step from the first (voltage, current, power, PASS or FAIL),
// with CR LF line ends.
std::string ResultCsvText(const VoltageCurrentResult& result);

// Asks for a file name and writes the result as CSV. The file is replaced
// only once it is complete; a failure leaves an existing file as it was and
// is reported in a message box. False when cancelled or failed.
bool ExportResultCsv(Prompts& prompts, const VoltageCurrentResult& result);
