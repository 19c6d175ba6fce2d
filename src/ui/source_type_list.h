#pragma once

#include <span>
#include <string>

#include "ui/controls.h"

// Lists the tester's source types in a list or combo box ("1. PD 100W", one
// per type) and selects one; -1 selects none.
void ListSourceTypes(Controls& controls, int id, std::span<const std::string> names, int selected);
