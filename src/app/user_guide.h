#pragma once

#include <string>

// The user guide's address: the HTML file shipped beside the program, as a
// file URL ("file:///C:/Program%20Files/Ampwright/user-guide.html"); letters
// beyond ASCII are kept, not escaped.
std::string UserGuideAddress(const std::string& programFolder);
// The address in the form that opens it in the Edge browser.
std::string EdgeAddress(const std::string& address);
