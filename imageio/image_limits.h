#pragma once

#include <cstddef>
#include <cstdint>

namespace tessora {

/// Bounds a reader enforces before it allocates anything for an image, so that a hostile header
/// costs no memory. A file beyond them fails like any unreadable file.
///
/// The defaults allow every realistic wallpaper (16384 pixels a side, 512 MiB of decoded samples);
/// fuzzers pass smaller ones to keep each run fast.
struct ImageLimits {
  int maxDimension = 16384;
  std::uint64_t maxDecodedBytes = std::uint64_t{512} << 20;
  /// Largest file a path-based reader loads into memory.
  std::uint64_t maxFileBytes = std::uint64_t{1} << 30;

  /// True when a width x height image whose decoded form takes bytesPerPixel bytes a pixel fits.
  bool allows(std::int64_t width, std::int64_t height, std::int64_t bytesPerPixel) const {
    if (width <= 0 || height <= 0 || bytesPerPixel <= 0) {
      return false;
    }
    if (width > maxDimension || height > maxDimension) {
      return false;
    }
    const auto bytes = static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) *
                       static_cast<std::uint64_t>(bytesPerPixel);
    return bytes <= maxDecodedBytes;
  }
};

}  // namespace tessora
