#pragma once

#include "imageio/image_limits.h"

// The readers' own bounds, scaled down with the largest input so that the fuzzer reaches each of
// them: a header promising a huge picture costs milliseconds, not seconds, and a file can hold
// more chunks or compressed data than the reader may take in. The code paths are the same.
constexpr tessora::ImageLimits MakeFuzzLimits() {
  tessora::ImageLimits limits;
  limits.maxDimension = 2048;
  limits.maxPixels = std::int64_t{4} << 20;
  limits.maxDecodedBytes = std::uint64_t{16} << 20;
  limits.maxFileBytes = std::uint64_t{1} << 20;
  limits.maxMetadataBytes = std::uint64_t{64} << 10;
  limits.maxMetadataChunks = 1024;
  limits.spareImageDataBytes = std::uint64_t{16} << 10;
  return limits;
}

inline constexpr tessora::ImageLimits kFuzzLimits = MakeFuzzLimits();
