#include "app/user_guide.h"

#include <cstdio>

std::string UserGuideAddress(const std::string& programFolder) {
    std::string address = "file:///";
    // Letters beyond ASCII stay as they are: Windows reads escaped bytes in a
    // file URL in the ANSI code page, not as UTF-8, and would miss a folder
    // such as "Prüfstand".
    for (char c : programFolder + "\\user-guide.html") {
        unsigned char byte = static_cast<unsigned char>(c);
        if (c == '\\') {
            address += '/';
        } else if (byte <= 0x20 || byte == 0x7F || c == '%' || c == '#' || c == '?') {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", byte);
            address += escaped;
        } else {
            address += c;
        }
    }
    return address;
}

std::string EdgeAddress(const std::string& address) {
    return "microsoft-edge:" + address;
}
