#include "engine/gradients.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "engine/rounding.h"

namespace tessora {
namespace {

int ChannelOf(float running) {
  return static_cast<int>(static_cast<std::int64_t>(std::floor(running)) & 0xFF);
}

// Sixteen pixels of one colour, for painting runs in 16-byte stores.
struct Pattern {
  std::uint8_t bytes[48];
  TColor color;

  explicit Pattern(TColor rgb = 0) : color(rgb) {
    for (int i = 0; i < 48; i += 3) {
      bytes[i] = static_cast<std::uint8_t>(GetRValue(rgb));
      bytes[i + 1] = static_cast<std::uint8_t>(GetGValue(rgb));
      bytes[i + 2] = static_cast<std::uint8_t>(GetBValue(rgb));
    }
  }
};

// How far past its end the stores of a short run reach: two 16-byte stores 15 bytes apart.
constexpr std::size_t kPaintOverrun = 15 + 16;
static_assert(Bitmap::kSpareBytes >= kPaintOverrun,
              "a run at the end of the last row writes into the bitmap's spare bytes");

// Paints n pixels of the pattern's colour and returns the end of the run. Runs of up to 15
// pixels are painted in whole 5-pixel stores and may write up to kPaintOverrun bytes past their
// end (into pixels painted later, or the buffer's spare bytes); longer runs stop exactly at their
// end.
inline std::uint8_t* PaintPattern(std::uint8_t* p, std::int64_t n, const Pattern& pattern) {
  std::uint8_t* const end = p + 3 * n;
  const std::uint8_t* b = pattern.bytes;
  // 15 bytes are five whole pixels, so the first 16 bytes of the pattern fit anywhere a pixel
  // starts.
  std::memcpy(p, b, 16);
  std::memcpy(p + 15, b, 16);
  if (n <= 10) {
    return end;
  }
  if (n < 16) {
    std::memcpy(p + 30, b, 16);
    return end;
  }
  for (std::uint8_t* q = p; q + 48 <= end; q += 48) {
    std::memcpy(q, b, 16);
    std::memcpy(q + 16, b + 16, 16);
    std::memcpy(q + 32, b + 32, 16);
  }
  // The tail: one more block, overlapping the last, that ends where the run does.
  std::memcpy(end - 48, b, 16);
  std::memcpy(end - 32, b + 16, 16);
  std::memcpy(end - 16, b + 32, 16);
  return end;
}

// A run of one colour on a row of EllipseGradient; where it ends follows from its neighbour.
struct Run {
  std::int64_t from;
  const Pattern* pattern;
};

void PaintRun(std::uint8_t* row, int width, std::int64_t from, std::int64_t to, TColor c) {
  from = std::max<std::int64_t>(from, 0);
  to = std::min<std::int64_t>(to, width);
  if (from < to) {
    FillPixels(row + from * 3, static_cast<std::size_t>(to - from), c);
  }
}

// Estimates the left ends of the spans of rings [from, to) on the row dy half-pixels from the
// centre line, away from the middle rows: `none` where the row lies outside a ring, NaN where the
// estimate lies too close to a pixel boundary to be trusted and must be settled exactly. A span
// never shrinks past the ring's middle column(s), `middles` pixels in from its edge (see
// EllipseRowInset). Built for AVX2 and for the baseline instruction set; the loader picks one.
// Neither uses fused multiply-add, so both give the same estimates.
__attribute__((target_clones("avx2", "default"))) void MeasureSpans(
    const double* widths, const double* heights, const double* edges, const double* middles,
    double* starts, std::size_t from, std::size_t to, double dy, double none) {
  // Adding and subtracting 1.5 * 2^52 rounds to an integer without a libm call, which would
  // stop the vectoriser. A row outside the ring makes f negative and t NaN; the test of f then
  // gives `none`.
  constexpr double kRound = 6755399441055744.0;
  constexpr double kUnsure = std::numeric_limits<double>::quiet_NaN();
  for (std::size_t i = from; i < to; ++i) {
    // Every load unconditional: a load inside a selection would stop the vectoriser too.
    const double w = widths[i];
    const double edge = edges[i];
    const double middle = middles[i];
    const double r = dy / heights[i];
    const double f = 1.0 - r * r;
    const double t = (w - 1.0 - w * std::sqrt(f)) * 0.5;
    const double nearest = (t + kRound) - kRound;
    const double ceilT = nearest < t ? nearest + 1.0 : nearest;
    const double inset = ceilT > 0.0 ? ceilT : 0.0;
    const double estimate = f > 0.0 ? edge + (inset < middle ? inset : middle) : none;
    starts[i] =
        std::fabs(t - nearest) < 1e-6 ? kUnsure : (std::fabs(f) < 1e-9 ? kUnsure : estimate);
  }
}

// The rings of EllipseGradient: ring k is inscribed in the first box shrunk by k pixels per side,
// normalised once the shrinking passes the middle. All rings share the first box's centre, so
// every ring's span on a row is symmetric about it and row y looks like row h - 1 - y.
//
// Rows are painted directly: each pixel takes the colour of the last ring that covers it. While
// both axes still shrink, each ring lies inside the one before; such rings of one colour form a
// band whose union on any row is the span of its first ring, so only that ring is measured.
class EllipseRows {
 public:
  EllipseRows(std::int64_t left, std::int64_t right, int height, const std::vector<TColor>& colors)
      : left_(left), right_(right), h0_(height), w0_(right - left) {
    const auto count = static_cast<std::int64_t>(colors.size());
    for (std::int64_t k = 0; k < count; ++k) {
      const bool nested = 2 * k < w0_ && 2 * k < h0_;
      const TColor c = colors[static_cast<std::size_t>(k)];
      if (k > 0 && nested && c == pattern_.back().color) {
        continue;  // joins the band of the ring before it
      }
      const std::int64_t w = std::abs(w0_ - 2 * k);
      const std::int64_t h = std::abs(h0_ - 2 * k);
      if (w == 0 || h == 0) {
        continue;  // paints nothing
      }
      ring_.push_back(k);
      width_.push_back(static_cast<double>(w));
      height_.push_back(static_cast<double>(h));
      edge_.push_back(static_cast<double>(std::min(left_ + k, right_ - k)));
      middle_.push_back(static_cast<double>((w - 1) / 2));
      pattern_.emplace_back(c);
    }
    start_.resize(ring_.size());
    nestedStart_.resize(ring_.size());
    nestedBands_ = static_cast<std::size_t>(
        std::lower_bound(ring_.begin(), ring_.end(), (std::min(w0_, h0_) + 1) / 2) - ring_.begin());
    runs_.resize(ring_.size());
    segments_.resize(2 * ring_.size() + 3);
  }

  // Whether ring k holds every pixel of a w x h bitmap: the rows farthest from the centre line
  // decide it, since spans only shrink away from it.
  static bool CoversAll(std::int64_t left, std::int64_t right, std::int64_t k, int w, int h) {
    const std::int64_t rw = std::abs(right - left - 2 * k);
    const std::int64_t rh = std::abs(std::int64_t{h} - 2 * k);
    if (rw == 0 || rh == 0) {
      return false;
    }
    const std::int64_t inset = EllipseRowInset(rw, rh, h - 1);
    const std::int64_t start = std::min(left + k, right - k) + inset;
    return inset >= 0 && start <= 0 && left + right - start >= w;
  }

  void paintRow(std::uint8_t* row, int width, int y, const Pattern& outside) {
    const std::int64_t dyy = 2 * std::int64_t{y} + 1 - h0_;
    const std::int64_t ady = std::abs(dyy);
    // Shrinking rings reach the row while h0 - 2k >= |dyy|, rings past the middle once
    // 2k - h0 >= |dyy|; the bands in between are skipped.
    const std::int64_t lastShrinking = (h0_ - ady) / 2;
    const std::int64_t firstReversed = std::max<std::int64_t>((h0_ + ady + 1) / 2, h0_ / 2 + 1);
    const auto shrinkingEnd = static_cast<std::size_t>(
        std::upper_bound(ring_.begin(), ring_.end(), lastShrinking) - ring_.begin());
    const auto reversedBegin =
        std::max(shrinkingEnd,
                 static_cast<std::size_t>(
                     std::lower_bound(ring_.begin(), ring_.end(), firstReversed) - ring_.begin()));
    measure(0, shrinkingEnd, dyy);
    measure(reversedBegin, ring_.size(), dyy);
    const std::int64_t sumX = left_ + right_;
    if (reversedBegin == ring_.size() && shrinkingEnd <= nestedBands_ &&
        paintNestedRow(row, width, shrinkingEnd, dyy, sumX, outside)) {
      return;
    }

    // Walk from the last band painted to the first: a band shows only where the bands painted
    // after it left its span uncovered. Runs of one colour merge.
    Walk walk{kNoneStart, kNone, 0, false};
    for (std::size_t i = ring_.size(); i-- > reversedBegin && !walk.full;) {
      visit(i, start(i, dyy), sumX, width, walk);
    }
    for (std::size_t i = shrinkingEnd; i-- > 0 && !walk.full;) {
      visit(i, start(i, dyy), sumX, width, walk);
    }
    paintRuns(row, width, sumX, walk, outside);
  }

 private:
  // The common row: every band on it lies inside the one before (no ring has passed the middle),
  // neighbouring bands differ in colour, and all of them lie inside the row. Each band then shows
  // from its own start to the next band's, and the row is painted straight from the starts.
  // Returns false, painting nothing, when the row is not of that kind.
  bool paintNestedRow(std::uint8_t* row, int width, std::size_t bands, std::int64_t dyy,
                      std::int64_t sumX, const Pattern& outside) {
    std::size_t count = 0;
    for (; count < bands; ++count) {
      const double at = start(count, dyy);
      if (at == kNoneStart) {
        break;  // only the innermost bands can miss the row
      }
      nestedStart_[count] = static_cast<std::int64_t>(at);
    }
    if (count == 0) {
      PaintPattern(row, width, outside);
      return true;
    }
    const std::int64_t* at = nestedStart_.data();
    if (at[0] < 0 || sumX - at[0] > width) {
      return false;
    }
    std::uint8_t* p = PaintPattern(row, at[0], outside);
    for (std::size_t b = 0; b + 1 < count; ++b) {
      p = PaintPattern(p, at[b + 1] - at[b], pattern_[b]);
    }
    p = PaintPattern(p, sumX - 2 * at[count - 1], pattern_[count - 1]);
    for (std::size_t b = count - 1; b-- > 0;) {
      p = PaintPattern(p, at[b + 1] - at[b], pattern_[b]);
    }
    FillPixels(p, static_cast<std::size_t>(width - (sumX - at[0])), outside.color);
    return true;
  }

  struct Walk {
    double coveredAt;      // covered, as the band starts are measured
    std::int64_t covered;  // left end of the span covered so far; its right end is sumX - covered
    std::size_t runs;
    bool full;
  };

  void visit(std::size_t i, double startAt, std::int64_t sumX, int width, Walk& walk) {
    if (!(startAt < walk.coveredAt)) {
      return;
    }
    walk.coveredAt = startAt;
    const auto s = static_cast<std::int64_t>(startAt);
    if (walk.runs > 0 && runs_[walk.runs - 1].pattern->color == pattern_[i].color) {
      runs_[walk.runs - 1].from = s;
    } else {
      runs_[walk.runs++] = Run{s, &pattern_[i]};
    }
    walk.covered = s;
    walk.full = s <= 0 && sumX - s >= width;
  }

  // Paints the runs left to right (outside, outer runs, the middle, their mirror images,
  // outside). Every run but the one reaching the right edge is painted in 16-byte stores and may
  // spill past its end: into the runs painted after it or, at the edge, into the next row, which is
  // painted later (or into the buffer's spare bytes).
  void paintRuns(std::uint8_t* row, int width, std::int64_t sumX, const Walk& walk,
                 const Pattern& outside) {
    if (walk.runs > 0 && walk.covered >= 0 && sumX - walk.covered <= width) {
      paintInsideRuns(row, width, sumX, walk, outside);
      return;
    }
    std::size_t n = 0;
    auto segment = [&](std::int64_t end, const Pattern& c) { segments_[n++] = Run{end, &c}; };
    if (walk.runs > 0) {
      segment(walk.covered, outside);
      for (std::size_t i = walk.runs - 1; i > 0; --i) {
        segment(runs_[i - 1].from, *runs_[i].pattern);
      }
      segment(sumX - runs_[0].from, *runs_[0].pattern);
      for (std::size_t i = 1; i < walk.runs; ++i) {
        segment(sumX - runs_[i].from, *runs_[i].pattern);
      }
    }
    segment(width, outside);
    std::int64_t x = 0;
    for (std::size_t j = 0; j < n; ++j) {
      const std::int64_t end = std::min<std::int64_t>(segments_[j].from, width);
      if (end >= width) {
        FillPixels(row + 3 * x, static_cast<std::size_t>(width - x), segments_[j].pattern->color);
        return;
      }
      if (end > x) {
        PaintPattern(row + 3 * x, end - x, *segments_[j].pattern);
        x = end;
      }
    }
  }

  // paintRuns() for the common row whose runs all lie inside it: no clipping, run widths straight
  // from the run starts.
  void paintInsideRuns(std::uint8_t* row, int width, std::int64_t sumX, const Walk& walk,
                       const Pattern& outside) {
    const std::size_t last = walk.runs - 1;
    std::uint8_t* p = PaintPattern(row, walk.covered, outside);
    for (std::size_t i = last; i > 0; --i) {
      p = PaintPattern(p, runs_[i - 1].from - runs_[i].from, *runs_[i].pattern);
    }
    p = PaintPattern(p, sumX - 2 * runs_[0].from, *runs_[0].pattern);
    for (std::size_t i = 1; i <= last; ++i) {
      p = PaintPattern(p, runs_[i - 1].from - runs_[i].from, *runs_[i].pattern);
    }
    FillPixels(p, static_cast<std::size_t>(width - (sumX - walk.covered)), outside.color);
  }

  static constexpr std::int64_t kNone = INT64_MAX;
  static constexpr double kNoneStart = 1e300;

  // Left ends of the spans of bands [from, to) on the row dyy half-pixels from the centre line
  // (kNone where a band has no pixel there): a floating-point estimate the compiler vectorises,
  // settled exactly wherever it lies too close to a pixel boundary to be trusted.
  void measure(std::size_t from, std::size_t to, std::int64_t dyy) {
    if (dyy >= -1 && dyy <= 1) {
      // The middle rows span every ring that reaches them.
      std::copy(edge_.begin() + static_cast<std::ptrdiff_t>(from),
                edge_.begin() + static_cast<std::ptrdiff_t>(to),
                start_.begin() + static_cast<std::ptrdiff_t>(from));
      return;
    }
    MeasureSpans(width_.data(), height_.data(), edge_.data(), middle_.data(), start_.data(), from,
                 to, static_cast<double>(dyy), kNoneStart);
  }

  // The left end of band i's span on the row just measured, or kNoneStart.
  double start(std::size_t i, std::int64_t dyy) const {
    const double s = start_[i];
    if (s == s) {
      return s;
    }
    // Too close to a pixel boundary for the estimate: settle it exactly.
    const std::int64_t inset = EllipseRowInset(static_cast<std::int64_t>(width_[i]),
                                               static_cast<std::int64_t>(height_[i]), dyy);
    return inset < 0 ? kNoneStart : edge_[i] + static_cast<double>(inset);
  }

  std::int64_t left_, right_, h0_, w0_;
  std::vector<std::int64_t> ring_;  // first ring of each band, ascending
  std::vector<double> width_, height_, edge_;
  std::vector<double> middle_;  // pixels from a band's edge to its middle column(s)
  std::vector<Pattern> pattern_;
  std::vector<double> start_;  // band starts on the row just measured; NaN: to be settled
  std::vector<std::int64_t> nestedStart_;
  std::size_t nestedBands_ = 0;  // bands whose rings still shrink on both axes
  std::vector<Run> runs_;
  std::vector<Run> segments_;  // here `from` holds where each segment ends
};

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

float EllipseGradientExtent(int height, const Rect& reference) {
  if (reference.Left == reference.Right || reference.Top == reference.Bottom) {
    return static_cast<float>(Round(static_cast<long double>(height) / 2));
  }
  // Summed in 64 bits: a rectangle with a diagonal past 46340 pixels would overflow 32.
  const std::int64_t dx = std::int64_t{reference.Right} - reference.Left;
  const std::int64_t dy = std::int64_t{reference.Bottom} - reference.Top;
  return ToSingle(std::sqrt(static_cast<long double>(dy * dy + dx * dx)));
}

void EllipseGradient(Bitmap& bmp, TColor outer, TColor inner, const Rect& reference,
                     bool centredSquare) {
  const int w = bmp.width();
  const int h = bmp.height();
  const float e = EllipseGradientExtent(h, reference);
  const TColor outerRGB = ColorToRGB(outer);
  bmp.setFillColor(outer);
  const std::int64_t ringCount = Round(e);
  if (ringCount <= 0) {
    bmp.fill();
    return;
  }
  std::int64_t left = 0;
  std::int64_t right = w;
  if (centredSquare) {
    const std::int64_t v = Round(static_cast<long double>(w - h) / 2);
    left = v;
    right = w - v;
  }
  ColorRamp ramp(outer, inner, e);
  {
    // Rings far past the middle grow beyond the bitmap; once the last ring covers everything,
    // it is the whole picture.
    if (EllipseRows::CoversAll(left, right, ringCount - 1, w, h)) {
      for (std::int64_t k = 0; k < ringCount - 1; ++k) {
        ramp.step();
      }
      bmp.setFillColor(ramp.color());
      bmp.fill();
      ramp.step();
      bmp.setFillColor(ramp.color());
      return;
    }
  }
  // Here the ring count is bounded by the box and bitmap sizes: a larger ring covers all.
  std::vector<TColor> colors(static_cast<std::size_t>(ringCount));
  for (auto& c : colors) {
    c = ramp.color();
    ramp.step();
  }
  EllipseRows rows(left, right, h, colors);
  const Pattern outside(outerRGB);
  // Each row's mirror image is copied while the row is still in a near cache, but only once the
  // rows the painting of a row may spill into are painted: below the last row painted lie mirror
  // images.
  auto copyMirror = [&bmp, h](int y) {
    if (h - 1 - y > y) {
      std::memcpy(bmp.scanLine(h - 1 - y), bmp.scanLine(y), bmp.stride());
    }
  };
  const int painted = (h + 1) / 2;
  const int lag = 1 + static_cast<int>(Bitmap::kSpareBytes / bmp.stride());
  for (int y = 0; y < painted; ++y) {
    rows.paintRow(bmp.scanLine(y), w, y, outside);
    if (y >= lag) {
      copyMirror(y - lag);
    }
  }
  for (int y = std::max(0, painted - lag); y < painted; ++y) {
    copyMirror(y);
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
