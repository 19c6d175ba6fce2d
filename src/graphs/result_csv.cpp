#include "graphs/result_csv.h"

#include "graphs/compliance_regions.h"
#include "platform/format.h"
#include "ui/save_csv_as.h"

std::vector<bool> StepVerdicts(const VoltageCurrentResult& result) {
    std::vector<bool> verdicts;
    size_t steps = static_cast<size_t>(StepCount(result.profile.limitMa, result.stepMa));
    const StepLimits& limits = result.limits;
    for (size_t k = 0; k < steps && k < result.raw.size() && result.raw[k] != NO_DATA; ++k) {
        // A step passes when its point is drawn in the required range or the
        // permissible shut-down region.
        float volts = result.raw[k];
        verdicts.push_back(k < limits.minimumV.size() &&
                           InsideRegions({limits.minimumV[k], limits.maximumV[k], limits.shutDownAllowed[k]}, volts));
    }
    return verdicts;
}

std::string ResultCsvText(const VoltageCurrentResult& result) {
    std::string text = "Voltage (V), Current (mA), Power (W), Compliance (PASS/FAIL) \r\n";
    std::vector<bool> verdicts = StepVerdicts(result);
    for (size_t k = 0; k < verdicts.size(); ++k) {
        float volts = result.raw[k];
        int currentMa = static_cast<int>(k * result.stepMa);
        float powerW = static_cast<float>(k) * volts * result.stepMa / 1000;
        text += Format("%.2f,%d,%.2f,%s\r\n", volts, currentMa, powerW, verdicts[k] ? "PASS" : "FAIL");
    }
    return text;
}

bool ExportResultCsv(Prompts& prompts, const VoltageCurrentResult& result) {
    return SaveCsvAs(
        prompts, [&result] { return ResultCsvText(result); }, "Ampwright Error");
}
