// Conversions the sound path needs defined for every double.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

namespace sarn2 {

// Truncation toward zero, defined for every double: NaN gives 0 and values
// beyond the int32 range saturate at its ends.
inline int32_t truncateToInt32(double value) {
  if (std::isnan(value)) return 0;
  if (value >= 2147483647.0) return std::numeric_limits<int32_t>::max();
  if (value <= -2147483648.0) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(value);
}

// The mix held to [-1, 1]. A NaN would stick in the filter state for good;
// it is silenced instead.
inline double clipToUnit(double c) { return std::isnan(c) ? 0.0 : std::clamp(c, -1.0, 1.0); }

}  // namespace sarn2
