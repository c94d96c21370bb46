#include "tools/romset/portable_math.h"

namespace romset {

namespace {

constexpr double kHalfPi = 1.5707963267948966;
constexpr double kLn2 = 0.6931471805599453;

// Taylor series about 0; for |x| <= pi/2 twenty terms leave nothing a double
// can hold, and a fixed term count keeps the operation sequence fixed.
double sinSeries(double x) {
  const double x2 = x * x;
  double term = x;
  double sum = x;
  for (int k = 1; k <= 20; ++k) {
    term = -term * x2 / static_cast<double>((2 * k) * (2 * k + 1));
    sum += term;
  }
  return sum;
}

double cosSeries(double x) {
  const double x2 = x * x;
  double term = 1.0;
  double sum = 1.0;
  for (int k = 1; k <= 20; ++k) {
    term = -term * x2 / static_cast<double>((2 * k - 1) * (2 * k));
    sum += term;
  }
  return sum;
}

}  // namespace

double sinTurns(int64_t num, int64_t den) {
  int64_t n = num % den;
  if (n < 0) n += den;
  // In quarter turns: quadrant q and the remainder r / den of a quarter turn.
  const int64_t quarters = 4 * n;
  const int64_t q = quarters / den;
  const int64_t r = quarters - q * den;
  const double angle = kHalfPi * static_cast<double>(r) / static_cast<double>(den);
  switch (q) {
    case 0:
      return sinSeries(angle);
    case 1:
      return cosSeries(angle);
    case 2:
      return -sinSeries(angle);
    default:
      return -cosSeries(angle);
  }
}

double exp2Ratio(int64_t num, int64_t den) {
  int64_t whole = num / den;
  int64_t rest = num - whole * den;
  if (rest < 0) {
    rest += den;
    --whole;
  }
  // 2^(rest/den) = e^(x) with 0 <= x < ln 2: thirty terms are ample.
  const double x = kLn2 * static_cast<double>(rest) / static_cast<double>(den);
  double term = 1.0;
  double sum = 1.0;
  for (int k = 1; k <= 30; ++k) {
    term = term * x / static_cast<double>(k);
    sum += term;
  }
  // Scaling by two is exact.
  for (; whole > 0; --whole) sum *= 2.0;
  for (; whole < 0; ++whole) sum *= 0.5;
  return sum;
}

}  // namespace romset
