#include "app/about_box.h"

#include "platform/format.h"
#include "platform/version.h"

std::string AboutNoticeText() {
    return "Ampwright drives the Quarnel Voltiq USB Power Delivery tester. Copyright (C) Quarnel.";
}

std::string AboutVersionText() {
    return Format("%s %s (%s)", "Voltiq", AMPWRIGHT_VERSION_NAME, AMPWRIGHT_VERSION_BUILD_TEXT);
}
