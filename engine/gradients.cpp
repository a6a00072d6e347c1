#include "engine/gradients.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "engine/rounding.h"

namespace tessora {
namespace {

int ChannelOf(float running) {
  return static_cast<int>(static_cast<std::int64_t>(std::floor(running)) & 0xFF);
}

// Pixel runs of one row, painted left to right.
struct Run {
  std::int64_t from;
  std::int64_t to;
  TColor color;
};

void PaintRun(std::uint8_t* row, int width, std::int64_t from, std::int64_t to, TColor c) {
  from = std::max<std::int64_t>(from, 0);
  to = std::min<std::int64_t>(to, width);
  if (from < to) {
    FillPixels(row + from * 3, static_cast<std::size_t>(to - from), c);
  }
}

// Geometry of the rings of EllipseGradient: ring k is inscribed in the first box shrunk by k
// pixels per side, normalised when the shrinking passes the middle. All rings share the centre
// of the first box, so every ring's row span is symmetric about it.
struct Rings {
  std::int64_t left, top, right, bottom;

  std::int64_t width(std::int64_t k) const { return std::abs(right - left - 2 * k); }
  std::int64_t height(std::int64_t k) const { return std::abs(bottom - top - 2 * k); }
  std::int64_t leftEdge(std::int64_t k) const { return std::min(left + k, right - k); }

  // Left end of ring k's span on the row dyy half-pixels from the centre line, or no value.
  bool spanStart(std::int64_t k, std::int64_t dyy, std::int64_t* start) const {
    const std::int64_t w = width(k);
    const std::int64_t h = height(k);
    if (w == 0 || h == 0) {
      return false;
    }
    const std::int64_t inset = EllipseRowInset(w, h, dyy);
    if (inset < 0) {
      return false;
    }
    *start = leftEdge(k) + inset;
    return true;
  }

  // Whether ring k holds every pixel of a w x h bitmap.
  bool coversAll(std::int64_t k, int w, int h) const {
    std::int64_t start = 0;
    const std::int64_t sumX = left + right;
    const std::int64_t sumY = top + bottom;
    // The pixel rows and columns farthest from the centre decide it: the ellipse is convex and
    // symmetric, and spans only shrink away from the centre line.
    const std::int64_t dyy = std::max(std::abs(1 - sumY), std::abs(2 * h - 1 - sumY));
    if (!spanStart(k, dyy, &start)) {
      return false;
    }
    return start <= 0 && sumX - start >= w;
  }
};

// Paints one row of EllipseGradient directly: each pixel takes the colour of the last ring that
// covers it, found by walking the rings from the last to the first and painting only what an
// earlier-walked (later-painted) ring left uncovered.
void PaintEllipseRow(std::uint8_t* row, int width, const Rings& rings, std::int64_t ringCount,
                     std::int64_t dyy, const std::vector<TColor>& colors, TColor outside,
                     std::vector<Run>& runs) {
  runs.clear();
  const std::int64_t sumX = rings.left + rings.right;
  const std::int64_t h0 = rings.bottom - rings.top;
  const std::int64_t ady = std::abs(dyy);
  bool painted = false;
  std::int64_t covered = 0;  // left end of the covered span; its right end is sumX - covered
  auto visit = [&](std::int64_t k) {
    std::int64_t start = 0;
    if (!rings.spanStart(k, dyy, &start) || (painted && start >= covered)) {
      return false;
    }
    runs.push_back(Run{start, painted ? covered : sumX - start, colors[k]});
    painted = true;
    covered = start;
    return covered <= 0 && sumX - covered >= width;
  };
  // Rings past the middle (2k > h0) reach this row only once their height exceeds |dyy|.
  const std::int64_t reversedFrom = std::max<std::int64_t>((h0 + ady + 1) / 2, h0 / 2 + 1);
  std::int64_t k = ringCount - 1;
  bool full = false;
  for (; k >= reversedFrom && !full; --k) {
    full = visit(k);
  }
  // Shrinking rings reach this row while h0 - 2k > |dyy|.
  k = std::min(k, (h0 - ady) / 2);
  for (; k >= 0 && !full; --k) {
    full = visit(k);
  }
  if (!painted) {
    PaintRun(row, width, 0, width, outside);
    return;
  }
  PaintRun(row, width, 0, covered, outside);
  PaintRun(row, width, sumX - covered, width, outside);
  for (std::size_t i = runs.size(); i-- > 0;) {
    const Run& r = runs[i];
    if (i == 0) {
      PaintRun(row, width, r.from, r.to, r.color);
    } else {
      PaintRun(row, width, r.from, r.to, r.color);
      PaintRun(row, width, sumX - r.to, sumX - r.from, r.color);
    }
  }
}

}  // namespace

ColorRamp::ColorRamp(TColor first, TColor second, long double divisor) {
  const TColor a = ColorToRGB(first);
  const TColor b = ColorToRGB(second);
  r_ = static_cast<float>(GetRValue(a));
  g_ = static_cast<float>(GetGValue(a));
  b_ = static_cast<float>(GetBValue(a));
  dr_ = ToSingle(static_cast<long double>(GetRValue(b) - GetRValue(a)) / divisor);
  dg_ = ToSingle(static_cast<long double>(GetGValue(b) - GetGValue(a)) / divisor);
  db_ = ToSingle(static_cast<long double>(GetBValue(b) - GetBValue(a)) / divisor);
}

TColor ColorRamp::color() const {
  return RGB(ChannelOf(r_), ChannelOf(g_), ChannelOf(b_));
}

void ColorRamp::step() {
  r_ += dr_;
  g_ += dg_;
  b_ += db_;
}

void VerticalGradient(Bitmap& bmp, TColor top, TColor bottom) {
  const std::int64_t bands = Round(static_cast<long double>(bmp.height()) / 2);
  if (bands <= 0) {
    return;
  }
  ColorRamp ramp(top, bottom, static_cast<long double>(bands));
  for (std::int64_t k = 0; k < bands; ++k) {
    bmp.setFillColor(ramp.color());
    bmp.fillRect(0, 2 * k, bmp.width(), 2 * k + 2);
    ramp.step();
  }
}

void EllipseGradient(Bitmap& bmp, TColor outer, TColor inner, const Rect& reference,
                     bool centredSquare) {
  const int w = bmp.width();
  const int h = bmp.height();
  float e = 0;
  if (reference.Left == reference.Right || reference.Top == reference.Bottom) {
    e = static_cast<float>(Round(static_cast<long double>(h) / 2));
  } else {
    // Summed in 64 bits: a rectangle with a diagonal past 46340 pixels would overflow 32.
    const std::int64_t dx = std::int64_t{reference.Right} - reference.Left;
    const std::int64_t dy = std::int64_t{reference.Bottom} - reference.Top;
    e = ToSingle(std::sqrt(static_cast<long double>(dy * dy + dx * dx)));
  }
  const TColor outerRGB = ColorToRGB(outer);
  bmp.setFillColor(outer);
  const std::int64_t ringCount = Round(e);
  if (ringCount <= 0) {
    bmp.fill();
    return;
  }
  Rings rings{0, 0, w, h};
  if (centredSquare) {
    const std::int64_t v = Round(static_cast<long double>(w - h) / 2);
    rings = Rings{v, 0, w - v, h};
  }

  ColorRamp ramp(outer, inner, e);
  if (rings.coversAll(ringCount - 1, w, h)) {
    // The last ring paints every pixel: that is the whole picture.
    for (std::int64_t k = 0; k < ringCount - 1; ++k) {
      ramp.step();
    }
    bmp.setFillColor(ramp.color());
    bmp.fill();
    ramp.step();
    bmp.setFillColor(ramp.color());
    return;
  }
  // Here the ring count is bounded by the box and bitmap sizes: a larger ring covers all.
  std::vector<TColor> colors(static_cast<std::size_t>(ringCount));
  for (auto& c : colors) {
    c = ramp.color();
    ramp.step();
  }
  std::vector<Run> runs;
  const std::int64_t sumY = rings.top + rings.bottom;
  for (int y = 0; y < h; ++y) {
    const std::int64_t mirror = sumY - 1 - y;
    if (mirror >= 0 && mirror < y) {
      std::memcpy(bmp.scanLine(y), bmp.scanLine(static_cast<int>(mirror)), bmp.stride());
      continue;
    }
    PaintEllipseRow(bmp.scanLine(y), w, rings, ringCount, 2 * y + 1 - sumY, colors, outerRGB, runs);
  }
  bmp.setFillColor(ramp.color());
}

void CornerGradient(Bitmap& bmp, TColor outer, TColor corner) {
  const int w = bmp.width();
  const int h = bmp.height();
  if (w <= 0 || h <= 0) {
    return;
  }
  const bool shrinkWidth = h > w;
  const std::int64_t steps = shrinkWidth ? h : w;
  const float ratio = shrinkWidth ? ToSingle(static_cast<long double>(h) / w)
                                  : ToSingle(static_cast<long double>(w) / h);
  ColorRamp ramp(outer, corner, static_cast<long double>(steps));

  // The boxes that paint, with their colours. Both edges only shrink, so a pixel ends with the
  // colour of the last box whose rows and columns both still reach it.
  std::vector<std::int64_t> right;
  std::vector<std::int64_t> bottom;
  std::vector<TColor> colors;
  std::int64_t x = w;
  std::int64_t y = h;
  for (std::int64_t k = 0; k < steps; ++k) {
    if (k + 1 == steps) {
      bmp.setFillColor(ramp.color());
    }
    if (x > 0 && y > 0) {
      right.push_back(std::min<std::int64_t>(x, w));
      bottom.push_back(std::min<std::int64_t>(y, h));
      colors.push_back(ramp.color());
    }
    if (shrinkWidth) {
      x -= 1;
      y = Round(static_cast<long double>(x) * ratio);
    } else {
      y -= 1;
      x = Round(static_cast<long double>(y) * ratio);
    }
    ramp.step();
  }

  // Bottom-up: row r equals row r + 1 painted over by the boxes whose bottom edge is r + 1.
  // Box 0 is the whole bitmap, so every pixel of the bottom row gets a colour.
  std::size_t reached = 0;  // boxes [0, reached) reach the rows below the current one
  for (int row = h - 1; row >= 0; --row) {
    std::uint8_t* line = bmp.scanLine(row);
    if (row + 1 < h) {
      std::memcpy(line, bmp.scanLine(row + 1), bmp.stride());
    }
    std::size_t end = reached;
    while (end < right.size() && bottom[end] > row) {
      ++end;
    }
    // Boxes reached..end-1 start at this row; each later one lies inside the one before.
    for (std::size_t i = reached; i < end; ++i) {
      const std::int64_t from = i + 1 < end ? right[i + 1] : 0;
      PaintRun(line, w, from, right[i], colors[i]);
    }
    reached = end;
  }
}

}  // namespace tessora
