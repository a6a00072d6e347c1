#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

#include "engine/color.h"

namespace tessora {

/// Raised when a bitmap cannot be given a size (negative, or too large to hold).
class BitmapError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

/// A 24-bit RGB raster: rows top to bottom, three bytes per pixel in the order red, green, blue,
/// no row padding. It carries a fill colour (white when new) and a transparent flag with a
/// transparent colour, which drawing it onto another bitmap honours. The pixel buffer has
/// kSpareBytes spare bytes after its last pixel, so loops may read or write pixels as 4-byte words.
class Bitmap {
 public:
  static constexpr std::size_t kSpareBytes = 32;
  /// Largest width or height, and largest pixel count, a bitmap may have.
  static constexpr int kMaxDimension = 1 << 17;
  static constexpr std::int64_t kMaxPixels = std::int64_t{1} << 29;

  /// Where pictures of 2 MiB and more get their memory. Huge pages suit a program that keeps its
  /// pictures and draws them again and again (the window). A short run (the command-line tool)
  /// fares better with ordinary pages mapped in one call: where the kernel must first compact
  /// memory to find huge pages, that wait can cost more than the whole run.
  enum class LargeMemory { HugePages, MappedAhead };
  static void SetLargeMemory(LargeMemory kind);

  Bitmap() = default;
  Bitmap(int width, int height);
  Bitmap(const Bitmap& other);
  Bitmap& operator=(const Bitmap& other);
  Bitmap(Bitmap&& other) noexcept;
  Bitmap& operator=(Bitmap&& other) noexcept;
  ~Bitmap() = default;

  int width() const { return width_; }
  int height() const { return height_; }
  /// No pixels: width or height is 0.
  bool empty() const { return width_ == 0 || height_ == 0; }

  /// Changes the size, keeping the pixels of the area old and new size share and filling new
  /// area with the fill colour. Throws BitmapError (and changes nothing) when the size is
  /// negative or too large.
  void setSize(int width, int height);
  void setWidth(int width) { setSize(width, height_); }
  void setHeight(int height) { setSize(width_, height); }
  /// Drops all pixels; the fill colour and the transparent attributes stay.
  void clear();

  TColor fillColor() const { return fillColor_; }
  void setFillColor(TColor c) { fillColor_ = c; }
  bool transparent() const { return transparent_; }
  void setTransparent(bool on) { transparent_ = on; }
  TColor transparentColor() const { return transparentColor_; }
  void setTransparentColor(TColor c) { transparentColor_ = c; }
  /// The pixel value (see TransparentKey) that drawing this bitmap leaves out, if any: none
  /// without the transparent flag, nor with clNone as the transparent colour.
  std::optional<std::uint32_t> transparentKey() const;

  /// Fills the pixels x1 <= x < x2, y1 <= y < y2 (corners in either order, clipped).
  void fillRect(std::int64_t x1, std::int64_t y1, std::int64_t x2, std::int64_t y2);
  void fillRect(std::int64_t x1, std::int64_t y1, std::int64_t x2, std::int64_t y2, TColor c);
  /// Fills the whole bitmap with the fill colour.
  void fill() { fillRect(0, 0, width_, height_); }
  /// Fills the ellipse inscribed in the box (corners in either order, clipped): every pixel whose
  /// centre lies inside or on the ellipse, and the box's middle row(s) and column(s), so that it
  /// touches all four edges of any box (see EllipseRowInset).
  void fillEllipse(std::int64_t x1, std::int64_t y1, std::int64_t x2, std::int64_t y2);

  /// Draws `src` 1:1 with its top-left corner at (x, y), clipped, honouring its transparency.
  void draw(std::int64_t x, std::int64_t y, const Bitmap& src);
  /// Stretches all of `src` into the box (corners in either order), nearest neighbour, clipped,
  /// honouring its transparency. Target pixel i of a box n wide takes source pixel
  /// floor((2i + 1) * srcWidth / 2n), the source pixel under its centre; rows alike.
  void stretchDraw(std::int64_t x1, std::int64_t y1, std::int64_t x2, std::int64_t y2,
                   const Bitmap& src);

  /// The colour of one pixel, or clNone outside the bitmap.
  TColor pixel(int x, int y) const;
  void setPixel(int x, int y, TColor c);

  std::size_t stride() const { return static_cast<std::size_t>(width_) * 3; }
  std::uint8_t* scanLine(int y) { return data_.get() + static_cast<std::size_t>(y) * stride(); }
  const std::uint8_t* scanLine(int y) const {
    return data_.get() + static_cast<std::size_t>(y) * stride();
  }
  const std::uint8_t* data() const { return data_.get(); }
  std::uint8_t* data() { return data_.get(); }

  /// Same size and pixels (fill colour and transparency not compared).
  bool samePixels(const Bitmap& other) const;

 private:
  struct FreePixels {
    void operator()(std::uint8_t* p) const noexcept;
  };
  using Pixels = std::unique_ptr<std::uint8_t[], FreePixels>;
  static Pixels AllocatePixels(std::size_t bytes, int w, int h);

  Pixels data_;
  int width_ = 0;
  int height_ = 0;
  TColor fillColor_ = clWhite;
  bool transparent_ = false;
  TColor transparentColor_ = clNone;
};

/// The pixel value, red in the low byte, that transparency with colour `c` leaves out; none for
/// clNone, which is no colour. Drawing and every writer ask here, so that a picture whose
/// transparent flag came without a colour (a GIF whose later frames alone are transparent) loses
/// no pixel. `c` is taken as it is: where a system colour stands for its current value, the
/// caller resolves it first.
std::optional<std::uint32_t> TransparentKey(TColor c);

/// Writes `count` pixels of one colour starting at `p` (3 bytes per pixel).
void FillPixels(std::uint8_t* p, std::size_t count, TColor rgb);

/// Copies `count` pixels from `src` to `dst` with the first and third byte of each swapped
/// (red, green, blue to blue, green, red and back). Writes no byte past the last pixel.
void SwapRedAndBlue(const std::uint8_t* src, std::uint8_t* dst, std::size_t count);

/// For the ellipse inscribed in a box `w` by `h` pixels (both > 0), the number of pixels cut off
/// at each end of the row whose centre lies dyy half-pixels from the box's centre line
/// (dyy = 2y + 1 - top - bottom); -1 when the row lies outside the box. A pixel belongs to the
/// ellipse when its centre lies inside or on it, or when it lies on the box's middle row(s) or
/// middle column(s): without that cross, a box a few pixels high and hundreds wide would not
/// reach its left and right edges (nor a thin one its top and bottom). The row's pixels run from
/// left + inset to right - inset, symmetric about the box's centre, and the inset never grows
/// towards the centre line, so every column is one run as well.
std::int64_t EllipseRowInset(std::int64_t w, std::int64_t h, std::int64_t dyy);

}  // namespace tessora
