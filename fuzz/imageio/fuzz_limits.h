#pragma once

#include "imageio/image_limits.h"

// Smaller than the readers' defaults so that a header promising a huge picture costs milliseconds,
// not seconds; the code paths are the same.
inline constexpr tessora::ImageLimits kFuzzLimits{2048, std::int64_t{4} << 20,
                                                  std::uint64_t{16} << 20, std::uint64_t{1} << 20};
