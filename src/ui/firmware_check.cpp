#include "ui/firmware_check.h"

std::string FirmwareOutOfDateText(int minimumTenths) {
    return "This feature was added in a newer firmware version than is currently installed on the connected Voltiq. "
           "Please update the unit to at least firmware verison " +
           std::to_string(minimumTenths / 10) + "." + std::to_string(minimumTenths % 10) + " to use this feature.";
}

bool CheckFirmware(const DeviceInfo& info, Prompts& prompts, int minimumTenths) {
    if (info.firmwareVersion >= minimumTenths) return true;
    prompts.ShowMessage(FirmwareOutOfDateText(minimumTenths), "Firmware out of date",
                        Prompts::kOk | Prompts::kIconWarning);
    return false;
}
