#pragma once

#include <string>

// The About box's two texts: the notice line and the product and version.
std::string AboutNoticeText();
std::string AboutVersionText();
