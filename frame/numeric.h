// Conversions that the interface's floats need to be defined for every value.
#pragma once

#include <cstdint>

// Truncation toward zero, defined for every double: NaN gives 0 and values
// beyond the int32 range saturate at its ends.
inline int32_t truncateToInt32(double value) {
  if (!(value == value)) return 0;
  if (value >= 2147483647.0) return INT32_MAX;
  if (value <= -2147483648.0) return INT32_MIN;
  return static_cast<int32_t>(value);
}
