#pragma once

// The value that marks a missing sample in a chart series or a test buffer.
constexpr float NO_DATA = -99999.0f;
