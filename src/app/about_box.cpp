#include "app/about_box.h"

#include "platform/format.h"

std::string AboutNoticeText() {
    return "Ampwright drives the Quarnel Voltiq USB Power Delivery tester. Copyright (C) Quarnel.";
}

std::string AboutVersionText() {
    return Format("%s %s (%s)", "Voltiq", "V1.0", "1002");
}
