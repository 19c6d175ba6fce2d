#include "monitor/profile_list_text.h"

#include "monitor/profile_type.h"
#include "platform/format.h"

std::string ProfileListText(const SinkCapability& entry) {
    uint8_t type = entry.ProfileType(), subtype = entry.ProfileSubtype();
    std::string name(ProfileTypeName(type, subtype));
    double minimumV = entry.minimumMv / 1000.0, maximumV = entry.maximumMv / 1000.0;
    return IsRangedProfile(type, subtype) ? Format("%s %.2fV-%.2fV", name.c_str(), minimumV, maximumV)
                                          : Format("%s %.2fV", name.c_str(), maximumV);
}

std::string SourceTypeListText(size_t index, const std::string& name) {
    return Format("%d. %s", static_cast<int>(index + 1), name.c_str());
}
