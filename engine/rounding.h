#pragma once

#include <cmath>
#include <cstdint>

namespace tessora {

/// Rounds to the nearest integer, halves to the even neighbour (2.5 -> 2, 3.5 -> 4, -37.5 -> -38).
/// Takes an extended-precision value so that callers can keep the arithmetic wide until here.
/// Values beyond the 64-bit range (and NaN, as 0) are clamped rather than left undefined.
inline std::int64_t Round(long double v) {
  // nearbyint follows the current rounding mode, which the program never changes from
  // round-to-nearest-even.
  const long double r = std::nearbyint(v);
  if (!(r == r)) {
    return 0;
  }
  if (r >= 9.2233720368547758e18L) {
    return INT64_MAX;
  }
  if (r <= -9.2233720368547758e18L) {
    return INT64_MIN;
  }
  return static_cast<std::int64_t>(r);
}

/// Round() clamped to the 32-bit range, for pixel positions and sizes.
inline std::int32_t RoundInt(long double v) {
  const std::int64_t r = Round(v);
  if (r > INT32_MAX) {
    return INT32_MAX;
  }
  if (r < INT32_MIN) {
    return INT32_MIN;
  }
  return static_cast<std::int32_t>(r);
}

/// Stores a wide value as single precision, as the single-precision state variables do.
inline float ToSingle(long double v) {
  return static_cast<float>(v);
}

}  // namespace tessora
