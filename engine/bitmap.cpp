#include "engine/bitmap.h"

#include <sys/mman.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

namespace tessora {
namespace {

__extension__ typedef unsigned __int128 uint128;

// A box normalised to x1 <= x2, y1 <= y2 and clipped to a w x h bitmap; empty when nothing is left.
struct Span {
  std::int64_t x1, y1, x2, y2;
  bool empty() const { return x1 >= x2 || y1 >= y2; }
};

Span NormaliseClip(std::int64_t x1, std::int64_t y1, std::int64_t x2, std::int64_t y2, int w,
                   int h) {
  if (x1 > x2)
    std::swap(x1, x2);
  if (y1 > y2)
    std::swap(y1, y2);
  return Span{std::max<std::int64_t>(x1, 0), std::max<std::int64_t>(y1, 0),
              std::min<std::int64_t>(x2, w), std::min<std::int64_t>(y2, h)};
}

// Every pixel buffer has spare bytes at its end, so that inner loops may move pixels as 4-byte
// words even at the very last pixel.
constexpr std::size_t kSpareBytes = Bitmap::kSpareBytes;

// Pictures of desktop size are written whole right after they are made: in huge pages, or mapped
// in one call, that costs a few calls instead of thousands of page faults.
constexpr std::size_t kLargePicture = std::size_t{2} << 20;
constexpr std::size_t kPage = 4096;
std::atomic<Bitmap::LargeMemory> largeMemory{Bitmap::LargeMemory::HugePages};

std::uint32_t PixelKey(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16);
}

}  // namespace

std::optional<std::uint32_t> TransparentKey(TColor c) {
  if (c == clNone) {
    return std::nullopt;
  }
  return c & 0xFFFFFF;
}

std::optional<std::uint32_t> Bitmap::transparentKey() const {
  if (!transparent_) {
    return std::nullopt;
  }
  return TransparentKey(ColorToRGB(transparentColor_));
}

void Bitmap::SetLargeMemory(LargeMemory kind) {
  largeMemory = kind;
}

void Bitmap::FreePixels::operator()(std::uint8_t* p) const noexcept {
  std::free(p);
}

Bitmap::Pixels Bitmap::AllocatePixels(std::size_t bytes, int w, int h) {
  const std::size_t size = bytes + kSpareBytes;
  void* p = nullptr;
  if (size >= kLargePicture) {
    const bool huge = largeMemory.load() == LargeMemory::HugePages;
    if (posix_memalign(&p, huge ? kLargePicture : kPage, size) != 0) {
      p = nullptr;
    } else if (huge) {
      madvise(p, size, MADV_HUGEPAGE);  // only advice: a kernel without huge pages ignores it
    } else {
      // Only advice too: a kernel before 5.14 refuses it, and the pages come by faults.
      madvise(p, (size + kPage - 1) / kPage * kPage, MADV_POPULATE_WRITE);
    }
  } else {
    p = std::malloc(size);
  }
  if (p == nullptr) {
    throw BitmapError("Not enough memory for a picture of " + std::to_string(w) + " x " +
                      std::to_string(h) + " pixels");
  }
  return Pixels(static_cast<std::uint8_t*>(p));
}

void FillPixels(std::uint8_t* p, std::size_t count, TColor rgb) {
  if (count == 0) {
    return;
  }
  const auto r = static_cast<std::uint8_t>(GetRValue(rgb));
  const auto g = static_cast<std::uint8_t>(GetGValue(rgb));
  const auto b = static_cast<std::uint8_t>(GetBValue(rgb));
  const std::size_t seed = std::min<std::size_t>(count, 16);
  for (std::size_t i = 0; i < seed; ++i) {
    p[3 * i] = r;
    p[3 * i + 1] = g;
    p[3 * i + 2] = b;
  }
  // Double the filled prefix until the span is covered: few, long memcpy calls.
  std::size_t done = seed;
  while (done < count) {
    const std::size_t n = std::min(done, count - done);
    std::memcpy(p + 3 * done, p, 3 * n);
    done += n;
  }
}

// Five pixels at a time in one byte shuffle: each step reads and writes 16 bytes, the last of
// which belongs to the next pixel and is written again by the next step.
__attribute__((target_clones("ssse3", "default"))) void SwapRedAndBlue(const std::uint8_t* src,
                                                                       std::uint8_t* dst,
                                                                       std::size_t count) {
  using Bytes16 = std::uint8_t __attribute__((vector_size(16)));
  const Bytes16 order = {2, 1, 0, 5, 4, 3, 8, 7, 6, 11, 10, 9, 14, 13, 12, 15};
  std::size_t i = 0;
  for (; i + 6 <= count; i += 5) {
    Bytes16 v;
    std::memcpy(&v, src + 3 * i, 16);
    v = __builtin_shuffle(v, order);
    std::memcpy(dst + 3 * i, &v, 16);
  }
  for (; i < count; ++i) {
    dst[3 * i] = src[3 * i + 2];
    dst[3 * i + 1] = src[3 * i + 1];
    dst[3 * i + 2] = src[3 * i];
  }
}

std::int64_t EllipseRowInset(std::int64_t w, std::int64_t h, std::int64_t dyy) {
  const std::int64_t ady = dyy < 0 ? -dyy : dyy;
  if (ady >= h) {
    return -1;
  }
  // The middle row (two of them when h is even) is part of the middle cross: it spans the box.
  if (ady <= 1) {
    return 0;
  }
  // Pixel centre (dx, dy) from the box centre, doubled: dxx = 2s + 1 - w for the pixel s from the
  // left edge. Inside when dxx^2 * h^2 + dyy^2 * w^2 <= w^2 * h^2, evaluated exactly.
  const uint128 ww = static_cast<uint128>(w) * static_cast<uint128>(w);
  const uint128 hh = static_cast<uint128>(h) * static_cast<uint128>(h);
  const uint128 rest = ww * (hh - static_cast<uint128>(ady) * static_cast<uint128>(ady));
  auto inside = [&](std::int64_t s) {
    const std::int64_t dxx = 2 * s + 1 - w;
    const std::int64_t adx = dxx < 0 ? -dxx : dxx;
    return static_cast<uint128>(adx) * static_cast<uint128>(adx) * hh <= rest;
  };
  // |dxx| <= sqrt(rest) / h; start from the floating-point estimate and settle exactly. The
  // middle column(s) belong to the cross, so the search never passes them.
  const std::int64_t middle = (w - 1) / 2;
  const long double q = std::sqrt(static_cast<long double>(rest)) / static_cast<long double>(h);
  std::int64_t s = static_cast<std::int64_t>(std::ceil((static_cast<long double>(w - 1) - q) / 2));
  s = std::clamp<std::int64_t>(s, 0, middle);
  while (s > 0 && inside(s - 1)) {
    --s;
  }
  while (s < middle && !inside(s)) {
    ++s;
  }
  return s;
}

Bitmap::Bitmap(int width, int height) {
  setSize(width, height);
}

Bitmap::Bitmap(const Bitmap& other)
    : width_(other.width_),
      height_(other.height_),
      fillColor_(other.fillColor_),
      transparent_(other.transparent_),
      transparentColor_(other.transparentColor_) {
  const std::size_t n = stride() * static_cast<std::size_t>(height_);
  if (n > 0) {
    data_ = AllocatePixels(n, width_, height_);
    std::memcpy(data_.get(), other.data_.get(), n);
  }
}

Bitmap& Bitmap::operator=(const Bitmap& other) {
  if (this != &other) {
    Bitmap copy(other);
    *this = std::move(copy);
  }
  return *this;
}

Bitmap::Bitmap(Bitmap&& other) noexcept
    : data_(std::move(other.data_)),
      width_(other.width_),
      height_(other.height_),
      fillColor_(other.fillColor_),
      transparent_(other.transparent_),
      transparentColor_(other.transparentColor_) {
  other.width_ = 0;
  other.height_ = 0;
}

Bitmap& Bitmap::operator=(Bitmap&& other) noexcept {
  data_ = std::move(other.data_);
  width_ = other.width_;
  height_ = other.height_;
  fillColor_ = other.fillColor_;
  transparent_ = other.transparent_;
  transparentColor_ = other.transparentColor_;
  other.width_ = 0;
  other.height_ = 0;
  return *this;
}

void Bitmap::setSize(int width, int height) {
  if (width == width_ && height == height_) {
    return;
  }
  if (width < 0 || height < 0 || width > kMaxDimension || height > kMaxDimension ||
      static_cast<std::int64_t>(width) * height > kMaxPixels) {
    throw BitmapError("Cannot make a picture of " + std::to_string(width) + " x " +
                      std::to_string(height) + " pixels");
  }
  Pixels fresh;
  const std::size_t newStride = static_cast<std::size_t>(width) * 3;
  const std::size_t n = newStride * static_cast<std::size_t>(height);
  if (n > 0) {
    fresh = AllocatePixels(n, width, height);
  }
  const int keepW = std::min(width, width_);
  const int keepH = std::min(height, height_);
  const TColor fill = ColorToRGB(fillColor_);
  for (int y = 0; y < height; ++y) {
    std::uint8_t* row = fresh.get() + static_cast<std::size_t>(y) * newStride;
    int from = 0;
    if (y < keepH && keepW > 0) {
      std::memcpy(row, scanLine(y), static_cast<std::size_t>(keepW) * 3);
      from = keepW;
    }
    FillPixels(row + static_cast<std::size_t>(from) * 3, static_cast<std::size_t>(width - from),
               fill);
  }
  data_ = std::move(fresh);
  width_ = width;
  height_ = height;
}

void Bitmap::clear() {
  data_.reset();
  width_ = 0;
  height_ = 0;
}

void Bitmap::fillRect(std::int64_t x1, std::int64_t y1, std::int64_t x2, std::int64_t y2) {
  fillRect(x1, y1, x2, y2, fillColor_);
}

void Bitmap::fillRect(std::int64_t x1, std::int64_t y1, std::int64_t x2, std::int64_t y2,
                      TColor c) {
  const Span s = NormaliseClip(x1, y1, x2, y2, width_, height_);
  if (s.empty()) {
    return;
  }
  const std::size_t offset = static_cast<std::size_t>(s.x1) * 3;
  const auto count = static_cast<std::size_t>(s.x2 - s.x1);
  std::uint8_t* first = scanLine(static_cast<int>(s.y1)) + offset;
  FillPixels(first, count, ColorToRGB(c));
  for (std::int64_t y = s.y1 + 1; y < s.y2; ++y) {
    std::memcpy(scanLine(static_cast<int>(y)) + offset, first, count * 3);
  }
}

void Bitmap::fillEllipse(std::int64_t x1, std::int64_t y1, std::int64_t x2, std::int64_t y2) {
  if (x1 > x2)
    std::swap(x1, x2);
  if (y1 > y2)
    std::swap(y1, y2);
  const std::int64_t w = x2 - x1;
  const std::int64_t h = y2 - y1;
  if (w == 0 || h == 0) {
    return;
  }
  const TColor c = ColorToRGB(fillColor_);
  const std::int64_t top = std::max<std::int64_t>(y1, 0);
  const std::int64_t bottom = std::min<std::int64_t>(y2, height_);
  for (std::int64_t y = top; y < bottom; ++y) {
    const std::int64_t inset = EllipseRowInset(w, h, 2 * y + 1 - y1 - y2);
    if (inset < 0) {
      continue;
    }
    const std::int64_t from = std::max<std::int64_t>(x1 + inset, 0);
    const std::int64_t to = std::min<std::int64_t>(x2 - inset, width_);
    if (from < to) {
      FillPixels(scanLine(static_cast<int>(y)) + from * 3, static_cast<std::size_t>(to - from), c);
    }
  }
}

void Bitmap::draw(std::int64_t x, std::int64_t y, const Bitmap& src) {
  if (src.empty()) {
    return;
  }
  const Span s = NormaliseClip(x, y, x + src.width_, y + src.height_, width_, height_);
  if (s.empty()) {
    return;
  }
  const auto count = static_cast<std::size_t>(s.x2 - s.x1);
  const auto srcX = static_cast<std::size_t>(s.x1 - x);
  const std::optional<std::uint32_t> key = src.transparentKey();
  for (std::int64_t ty = s.y1; ty < s.y2; ++ty) {
    const std::uint8_t* from = src.scanLine(static_cast<int>(ty - y)) + srcX * 3;
    std::uint8_t* to = scanLine(static_cast<int>(ty)) + s.x1 * 3;
    if (!key) {
      std::memcpy(to, from, count * 3);
      continue;
    }
    for (std::size_t i = 0; i < count; ++i, from += 3, to += 3) {
      if (PixelKey(from) != *key) {
        to[0] = from[0];
        to[1] = from[1];
        to[2] = from[2];
      }
    }
  }
}

void Bitmap::stretchDraw(std::int64_t x1, std::int64_t y1, std::int64_t x2, std::int64_t y2,
                         const Bitmap& src) {
  if (x1 > x2)
    std::swap(x1, x2);
  if (y1 > y2)
    std::swap(y1, y2);
  const std::int64_t bw = x2 - x1;
  const std::int64_t bh = y2 - y1;
  if (bw == 0 || bh == 0 || src.empty()) {
    return;
  }
  const Span s = NormaliseClip(x1, y1, x2, y2, width_, height_);
  if (s.empty()) {
    return;
  }
  const auto count = static_cast<std::size_t>(s.x2 - s.x1);
  // Byte offset in the source row for every visible target column.
  std::vector<std::size_t> columns(count);
  for (std::size_t i = 0; i < count; ++i) {
    const std::int64_t tx = s.x1 + static_cast<std::int64_t>(i) - x1;
    columns[i] = static_cast<std::size_t>((2 * tx + 1) * src.width_ / (2 * bw)) * 3;
  }
  const std::optional<std::uint32_t> key = src.transparentKey();
  std::int64_t previousRow = -1;
  std::uint8_t* previousTarget = nullptr;
  for (std::int64_t ty = s.y1; ty < s.y2; ++ty) {
    const std::int64_t sy = (2 * (ty - y1) + 1) * src.height_ / (2 * bh);
    std::uint8_t* to = scanLine(static_cast<int>(ty)) + s.x1 * 3;
    if (!key && sy == previousRow) {
      std::memcpy(to, previousTarget, count * 3);
      continue;
    }
    const std::uint8_t* from = src.scanLine(static_cast<int>(sy));
    if (key) {
      for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t* p = from + columns[i];
        if (PixelKey(p) != *key) {
          std::memcpy(to + 3 * i, p, 3);
        }
      }
    } else {
      // Whole-word moves: each writes one byte of the next pixel, which the next move rewrites;
      // the last pixel moves alone so nothing outside the box is touched.
      for (std::size_t i = 0; i + 1 < count; ++i) {
        std::memcpy(to + 3 * i, from + columns[i], 4);
      }
      std::memcpy(to + 3 * (count - 1), from + columns[count - 1], 3);
    }
    previousRow = sy;
    previousTarget = to;
  }
}

TColor Bitmap::pixel(int x, int y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) {
    return clNone;
  }
  return PixelKey(scanLine(y) + static_cast<std::size_t>(x) * 3);
}

void Bitmap::setPixel(int x, int y, TColor c) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) {
    return;
  }
  const TColor rgb = ColorToRGB(c);
  std::uint8_t* p = scanLine(y) + static_cast<std::size_t>(x) * 3;
  p[0] = static_cast<std::uint8_t>(GetRValue(rgb));
  p[1] = static_cast<std::uint8_t>(GetGValue(rgb));
  p[2] = static_cast<std::uint8_t>(GetBValue(rgb));
}

bool Bitmap::samePixels(const Bitmap& other) const {
  if (width_ != other.width_ || height_ != other.height_) {
    return false;
  }
  const std::size_t n = stride() * static_cast<std::size_t>(height_);
  return n == 0 || std::memcmp(data_.get(), other.data_.get(), n) == 0;
}

}  // namespace tessora
