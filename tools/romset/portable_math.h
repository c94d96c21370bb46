// Sine and powers of two from + - * / alone. The C library's sin and pow may
// differ in the last bit between platforms, and a byte rounded from such a
// value can then differ too; these give the same bits wherever doubles are
// plain IEEE (SSE2, no contraction), so generated ROM sets are byte-identical
// on every target.
#pragma once

#include <cstdint>

namespace romset {

// sin(2 pi * num / den) for den > 0. Reduction to a quarter turn is done in
// integers, so multiples of a quarter turn come out exactly 0 or +-1.
double sinTurns(int64_t num, int64_t den);

// 2^(num / den) for den > 0.
double exp2Ratio(int64_t num, int64_t den);

}  // namespace romset
