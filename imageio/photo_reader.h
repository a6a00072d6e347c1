#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "engine/bitmap.h"
#include "imageio/decoded_pixels.h"
#include "imageio/image_error.h"
#include "imageio/image_limits.h"
#include "imageio/read_failure.h"

// What the readers in photo_codecs.h share.
namespace tessora::photo {

using tessora::kDamaged;
using tessora::kTruncated;

/// Fails the read, saying why.
[[noreturn]] inline void Fail(const std::string& why) {
  FailRead(why);
}

/// Refuses a picture the limits do not allow before any of its memory is taken.
inline void CheckSize(std::int64_t width, std::int64_t height, int bytesPerPixel,
                      const ImageLimits& limits) {
  if (width <= 0 || height <= 0) {
    Fail(kDamaged);
  }
  if (!limits.allows(width, height, bytesPerPixel) || !limits.allows(width, height, 3)) {
    Fail(TooLargeText(width, height, limits));
  }
}

/// Refuses a picture whose data cannot hold what its header promises.
inline void CheckHolds(bool holds, std::int64_t width, std::int64_t height) {
  if (!holds) {
    Fail(TooShortText(width, height));
  }
}

/// A block of bytes that read as zeros without having been written: calloc takes a large block
/// straight from the kernel's zero pages, so a page costs memory only once a decoder writes into
/// it. A file that fails early, or a header promising far more than its data, then costs what
/// was decoded, not the whole picture.
class ZeroedBytes {
 public:
  ZeroedBytes() = default;
  explicit ZeroedBytes(std::size_t size)
      : block_(static_cast<std::uint8_t*>(std::calloc(size, 1))), size_(size) {
    if (block_ == nullptr && size > 0) {
      throw std::bad_alloc();
    }
  }
  std::uint8_t* data() { return block_.get(); }
  const std::uint8_t* data() const { return block_.get(); }
  std::size_t size() const { return size_; }

 private:
  struct Free {
    void operator()(std::uint8_t* p) const { std::free(p); }
  };
  std::unique_ptr<std::uint8_t, Free> block_;
  std::size_t size_ = 0;
};

/// A picture's own buffer of `layout` pixels, rows packed, checked against the limits; its pages
/// are taken as the decoder writes them.
struct PixelBuffer {
  PixelBuffer(int width, int height, SampleLayout layout, const ImageLimits& limits) {
    CheckSize(width, height, BytesPerPixel(layout), limits);
    pixels.width = width;
    pixels.height = height;
    pixels.layout = layout;
    pixels.stride =
        static_cast<std::size_t>(width) * static_cast<std::size_t>(BytesPerPixel(layout));
    bytes = ZeroedBytes(pixels.stride * static_cast<std::size_t>(height));
    pixels.data = bytes.data();
  }
  // `pixels` points into `bytes`: a move keeps the block, a copy would not.
  PixelBuffer(const PixelBuffer&) = delete;
  PixelBuffer& operator=(const PixelBuffer&) = delete;
  PixelBuffer(PixelBuffer&&) = default;
  PixelBuffer& operator=(PixelBuffer&&) = default;
  std::uint8_t* row(int y) { return bytes.data() + pixels.stride * static_cast<std::size_t>(y); }
  std::uint16_t* samples16() { return reinterpret_cast<std::uint16_t*>(bytes.data()); }
  std::size_t sampleCount16() const { return bytes.size() / 2; }

  ZeroedBytes bytes;
  DecodedPixels pixels;
};

/// The picture turned `quarterTurns` times anti-clockwise, then mirrored (`mirror`: 0 exchanges
/// top and bottom, 1 left and right, -1 neither), as the rotation and mirror properties of ISO
/// media files ask.
inline PixelBuffer Turned(const PixelBuffer& in, int quarterTurns, int mirror,
                          const ImageLimits& limits) {
  const DecodedPixels& p = in.pixels;
  const bool across = quarterTurns % 2 != 0;
  PixelBuffer out(across ? p.height : p.width, across ? p.width : p.height, p.layout, limits);
  const auto bpp = static_cast<std::size_t>(BytesPerPixel(p.layout));
  const int w = out.pixels.width;
  const int h = out.pixels.height;
  for (int y = 0; y < p.height; ++y) {
    for (int x = 0; x < p.width; ++x) {
      int tx = x;
      int ty = y;
      for (int turn = 0, span = p.width; turn < quarterTurns % 4; ++turn) {
        const int next = ty;
        ty = span - 1 - tx;
        tx = next;
        span = turn % 2 == 0 ? p.height : p.width;
      }
      tx = mirror == 1 ? w - 1 - tx : tx;
      ty = mirror == 0 ? h - 1 - ty : ty;
      std::memcpy(
          out.row(ty) + static_cast<std::size_t>(tx) * bpp,
          p.data + p.stride * static_cast<std::size_t>(y) + static_cast<std::size_t>(x) * bpp, bpp);
    }
  }
  return out;
}

/// The end of every read: the bitmap takes the picture's size and the pixels are drawn over what
/// it showed, as a PNG's are.
inline void DrawOver(Bitmap& bitmap, const DecodedPixels& pixels) {
  bitmap.setSize(pixels.width, pixels.height);
  DrawDecodedPixels(pixels, bitmap, 0, 0);
}

}  // namespace tessora::photo
