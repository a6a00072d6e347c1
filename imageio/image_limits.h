#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/bitmap.h"

namespace tessora {

/// A HEIF or AVIF picture derived from coded ones (a grid of tiles, an overlay of layers) larger
/// than kFreeDerivedPixels (8192 x 4096) must hold one byte of coded data, counted once however
/// often the same bytes are named, for every kPixelsPerCodedByte pixels of its canvas. Honest
/// photos hold one for every 1 to 43 pixels, even at low quality; a grid of nearly empty tiles,
/// 1,000 to 2,300 pixels a byte, costs gigabytes. Up to kFreeDerivedPixels, about 215 MB at 6.4
/// bytes a pixel, every picture loads whatever it holds. The README's limits say how these were
/// measured.
constexpr std::uint64_t kFreeDerivedPixels = std::uint64_t{8192} * 4096;
constexpr std::uint64_t kPixelsPerCodedByte = 100;

/// Bounds a reader enforces before it allocates anything for an image, so that a hostile header
/// costs no memory. A file beyond them fails like any unreadable file.
///
/// The defaults accept every picture a Bitmap can hold with sides up to 65,535 pixels (the most
/// GIF and BMP core headers can state): panoramas and pictures spanning several monitors. What
/// bounds the memory is the decoded size, not a side. Fuzzers pass smaller limits to keep each
/// run fast.
struct ImageLimits {
  int maxDimension = 65535;
  std::int64_t maxPixels = Bitmap::kMaxPixels;
  /// The reader's own decoded form; 8 bytes a pixel (16-bit RGBA) is the widest.
  std::uint64_t maxDecodedBytes = static_cast<std::uint64_t>(Bitmap::kMaxPixels) * 8;
  /// Largest file a path-based reader loads into memory.
  std::uint64_t maxFileBytes = std::uint64_t{1} << 30;
  /// What a PNG file may spend before its image data, on chunks the reader only passes over
  /// (colour profiles, text, thumbnails): bytes and chunks.
  std::uint64_t maxMetadataBytes = std::uint64_t{64} << 20;
  std::uint64_t maxMetadataChunks = 65536;
  /// Compressed image data a PNG reader takes in beyond twice the picture's filtered rows, which
  /// no encoder exceeds: the work of inflating grows with the picture, not with the file. libpng
  /// reads image data 8 KiB at a time, so less than that refuses every file.
  std::uint64_t spareImageDataBytes = std::uint64_t{1} << 20;

  /// True when a width x height image whose decoded form takes bytesPerPixel bytes a pixel fits.
  bool allows(std::int64_t width, std::int64_t height, std::int64_t bytesPerPixel) const {
    if (width <= 0 || height <= 0 || bytesPerPixel <= 0) {
      return false;
    }
    if (width > maxDimension || height > maxDimension || width > Bitmap::kMaxDimension ||
        height > Bitmap::kMaxDimension) {
      return false;
    }
    const auto pixels = static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height);
    return pixels <= static_cast<std::uint64_t>(maxPixels) &&
           pixels <= static_cast<std::uint64_t>(Bitmap::kMaxPixels) &&
           pixels * static_cast<std::uint64_t>(bytesPerPixel) <= maxDecodedBytes;
  }
};

}  // namespace tessora
