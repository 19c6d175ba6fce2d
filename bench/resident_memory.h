#pragma once

#include <cstddef>

// The process's resident memory in bytes (working set on Windows).
size_t ResidentBytes();
