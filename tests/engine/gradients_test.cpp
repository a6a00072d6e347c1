#include "engine/gradients.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <utility>

#include "engine/rounding.h"
#include "support/pictures.h"

namespace tessora {
namespace {

// --- Plain transcriptions of the painting loops: every step repaints its whole box. The fast
// routines must give the same pixels and leave the same fill colour. ---

struct Running {
  float r, g, b, dr, dg, db;
  Running(TColor first, TColor second, long double divisor) {
    const TColor a = ColorToRGB(first);
    const TColor z = ColorToRGB(second);
    r = static_cast<float>(GetRValue(a));
    g = static_cast<float>(GetGValue(a));
    b = static_cast<float>(GetBValue(a));
    dr = static_cast<float>((GetRValue(z) - GetRValue(a)) / divisor);
    dg = static_cast<float>((GetGValue(z) - GetGValue(a)) / divisor);
    db = static_cast<float>((GetBValue(z) - GetBValue(a)) / divisor);
  }
  static int Channel(float v) {
    return static_cast<int>(static_cast<long long>(std::floor(v)) & 255);
  }
  TColor color() const { return RGB(Channel(r), Channel(g), Channel(b)); }
  void add() {
    r = r + dr;
    g = g + dg;
    b = b + db;
  }
};

void ReferenceVertical(Bitmap& bmp, TColor a, TColor b) {
  const long long n = Round(bmp.height() / 2.0L);
  Running run(a, b, static_cast<long double>(n));
  for (long long k = 0; k < n; ++k) {
    bmp.setFillColor(run.color());
    bmp.fillRect(0, 2 * k, bmp.width(), 2 * k + 2);
    run.add();
  }
}

void ReferenceEllipse(Bitmap& bmp, TColor a, TColor b, const Rect& r, bool square) {
  const int w = bmp.width();
  const int h = bmp.height();
  float e;
  if (r.Left == r.Right || r.Top == r.Bottom) {
    e = static_cast<float>(Round(h / 2.0L));
  } else {
    const long long dx = r.Right - r.Left;
    const long long dy = r.Bottom - r.Top;
    e = static_cast<float>(std::sqrt(static_cast<long double>(dy * dy + dx * dx)));
  }
  bmp.setFillColor(a);
  bmp.fillRect(0, 0, w, h);
  Running run(a, b, e);
  long long x1 = 0, x2 = w;
  if (square) {
    const long long v = Round((w - h) / 2.0L);
    x1 = v;
    x2 = w - v;
  }
  const long long n = Round(e);
  for (long long k = 0; k < n; ++k) {
    bmp.setFillColor(run.color());
    bmp.fillEllipse(x1 + k, k, x2 - k, h - k);
    run.add();
  }
  if (n > 0) {
    bmp.setFillColor(run.color());
  }
}

void ReferenceCorner(Bitmap& bmp, TColor a, TColor b) {
  const int w = bmp.width();
  const int h = bmp.height();
  const bool tall = h > w;
  const long long n = tall ? h : w;
  const float ratio = tall ? static_cast<float>(static_cast<long double>(h) / w)
                           : static_cast<float>(static_cast<long double>(w) / h);
  Running run(a, b, static_cast<long double>(n));
  long long x = w, y = h;
  for (long long k = 0; k < n; ++k) {
    bmp.setFillColor(run.color());
    bmp.fillRect(0, 0, x, y);
    if (tall) {
      x -= 1;
      y = Round(static_cast<long double>(x) * ratio);
    } else {
      y -= 1;
      x = Round(static_cast<long double>(y) * ratio);
    }
    run.add();
  }
}

Bitmap Canvas(int w, int h) {
  Bitmap b(w, h);
  b.setFillColor(RGB(9, 9, 9));
  b.fill();
  return b;
}

void ExpectSame(const Bitmap& fast, const Bitmap& ref, const std::string& what) {
  EXPECT_TRUE(testing::SamePicture(fast, ref)) << what;
  EXPECT_EQ(fast.fillColor(), ref.fillColor()) << what;
}

const TColor kA = RGB(10, 200, 30);
const TColor kB = RGB(250, 3, 129);

TEST(VerticalGradient, FourRowsMakeTwoBands) {
  Bitmap b = Canvas(3, 4);
  VerticalGradient(b, RGB(0, 0, 0), RGB(200, 100, 0));
  EXPECT_EQ(b.pixel(2, 0), RGB(0, 0, 0));
  EXPECT_EQ(b.pixel(2, 1), RGB(0, 0, 0));
  EXPECT_EQ(b.pixel(0, 2), RGB(100, 50, 0));
  EXPECT_EQ(b.pixel(0, 3), RGB(100, 50, 0));
  EXPECT_EQ(b.fillColor(), RGB(100, 50, 0));
}

TEST(VerticalGradient, OddHeightsRoundTheBandCountHalfToEven) {
  Bitmap five = Canvas(2, 5);
  VerticalGradient(five, RGB(0, 0, 0), RGB(200, 100, 0));
  EXPECT_EQ(five.pixel(0, 3), RGB(100, 50, 0));
  EXPECT_EQ(five.pixel(0, 4), RGB(9, 9, 9));  // 2.5 rounds to 2 bands: row 4 keeps its pixel
  Bitmap seven = Canvas(2, 7);
  VerticalGradient(seven, RGB(0, 0, 0), RGB(200, 100, 0));
  EXPECT_EQ(seven.pixel(0, 6), RGB(150, 75, 0));  // 3.5 rounds to 4 bands, the last clipped
}

TEST(EllipseGradient, CentredSquareRingsOnTenBySix) {
  Bitmap b = Canvas(10, 6);
  const TColor a = RGB(0, 0, 0);
  const TColor z = RGB(90, 180, 30);
  EllipseGradient(b, a, z, Rect{}, true);
  // e = 3, v = 2: rings in (2,0)-(8,6), (3,1)-(7,5), (4,2)-(6,4).
  EXPECT_EQ(b.pixel(0, 0), a);
  EXPECT_EQ(b.pixel(9, 5), a);
  EXPECT_EQ(b.pixel(2, 3), a);  // left end of the first ring's middle row
  EXPECT_EQ(b.pixel(3, 2), RGB(30, 60, 10));
  EXPECT_EQ(b.pixel(4, 2), RGB(60, 120, 20));
  EXPECT_EQ(b.pixel(5, 3), RGB(60, 120, 20));
  EXPECT_EQ(b.fillColor(), RGB(90, 180, 30));  // one increment past the last ring
}

TEST(EllipseGradient, OddWidthDifferenceRoundsTheSquareOffsetToEven) {
  Bitmap fast = Canvas(11, 6);
  Bitmap ref = Canvas(11, 6);
  EllipseGradient(fast, kA, kB, Rect{}, true);
  ReferenceEllipse(ref, kA, kB, Rect{}, true);
  ExpectSame(fast, ref, "11x6");
  // v = 2.5 rounds to 2: the first box is x 2..9, 7 pixels wide, so the second ring spans
  // x 3..8 (with v = 3 it would start at 4).
  EXPECT_EQ(ref.pixel(2, 3), kA);
  EXPECT_NE(ref.pixel(3, 3), kA);
  EXPECT_NE(ref.pixel(7, 3), kA);
  EXPECT_EQ(ref.pixel(8, 3), kA);
}

TEST(EllipseGradient, HaloRingCountIsTheReferenceDiagonal) {
  // CenterRect 30 x 40: 50 rings, increments (b - a) / 50.
  Bitmap b = Canvas(200, 120);
  EllipseGradient(b, RGB(0, 0, 0), RGB(100, 200, 250), Rect{10, 10, 40, 50}, false);
  EXPECT_EQ(b.pixel(100, 49), RGB(98, 196, 245));  // innermost ring 49
  EXPECT_EQ(b.fillColor(), RGB(100, 200, 250));
  // With no rectangle: H/2 rings inscribed in the whole bitmap, an ellipse.
  Bitmap e = Canvas(200, 120);
  EllipseGradient(e, RGB(0, 0, 0), RGB(120, 120, 120), Rect{}, false);
  EXPECT_EQ(e.pixel(0, 60), RGB(0, 0, 0));
  EXPECT_EQ(e.pixel(100, 60), RGB(118, 118, 118));
  EXPECT_EQ(e.pixel(40, 60), RGB(80, 80, 80));  // ring 40 reaches x = 40 on the middle row
}

TEST(CornerGradient, FourByTwo) {
  Bitmap b = Canvas(4, 2);
  CornerGradient(b, RGB(0, 0, 0), RGB(200, 100, 40));
  EXPECT_EQ(b.pixel(0, 0), RGB(50, 25, 10));
  EXPECT_EQ(b.pixel(1, 0), RGB(50, 25, 10));
  EXPECT_EQ(b.pixel(2, 0), RGB(0, 0, 0));
  EXPECT_EQ(b.pixel(0, 1), RGB(0, 0, 0));
  EXPECT_EQ(b.fillColor(), RGB(150, 75, 30));  // the colour of the last (empty) step
}

TEST(CornerGradient, CornerPixelStopsShortOfTheCornerColour) {
  Bitmap square = Canvas(64, 64);
  CornerGradient(square, RGB(0, 0, 0), RGB(128, 64, 0));
  EXPECT_EQ(square.pixel(0, 0), RGB(126, 63, 0));  // a + 63/64 (b - a)
  Bitmap wide = Canvas(1024, 768);
  CornerGradient(wide, RGB(0, 0, 0), RGB(255, 255, 255));
  // Only 768 of the 1024 steps paint: the corner ends at step 767.
  const int c = static_cast<int>(std::floor(767 * (255.0 / 1024)));
  EXPECT_NEAR(GetRValue(wide.pixel(0, 0)), c, 1);
}

TEST(Gradients, MatchThePlainLoopsPixelForPixel) {
  std::mt19937 rng(12345);
  std::vector<std::pair<int, int>> sizes = {
      {2, 2},     {3, 2},   {2, 3},   {10, 6},  {11, 6},  {6, 11},  {7, 7},   {40, 9},
      {9, 40},    {64, 48}, {48, 64}, {33, 17}, {17, 33}, {100, 3}, {3, 100}, {301, 170},
      {170, 301}, {400, 2}, {2, 400}, {333, 4}, {4, 333}, {257, 5}, {5, 257}};
  for (int i = 0; i < 25; ++i) {
    sizes.emplace_back(2 + static_cast<int>(rng() % 70), 2 + static_cast<int>(rng() % 70));
  }
  for (const auto& [w, h] : sizes) {
    const std::string what = std::to_string(w) + "x" + std::to_string(h);
    {
      Bitmap fast = Canvas(w, h), ref = Canvas(w, h);
      VerticalGradient(fast, kA, kB);
      ReferenceVertical(ref, kA, kB);
      ExpectSame(fast, ref, "vertical " + what);
    }
    {
      Bitmap fast = Canvas(w, h), ref = Canvas(w, h);
      CornerGradient(fast, kA, kB);
      ReferenceCorner(ref, kA, kB);
      ExpectSame(fast, ref, "corner " + what);
    }
    for (bool square : {true, false}) {
      Bitmap fast = Canvas(w, h), ref = Canvas(w, h);
      EllipseGradient(fast, kA, kB, Rect{}, square);
      ReferenceEllipse(ref, kA, kB, Rect{}, square);
      ExpectSame(fast, ref, (square ? "centred " : "ellipse ") + what);
    }
    // Halo rings from rectangles of every kind: few rings, rings past the middle, reversed
    // rectangles, and rings that end up covering everything.
    for (int t = 0; t < 4; ++t) {
      const int rw = static_cast<int>(rng() % 160) - 40;
      const int rh = static_cast<int>(rng() % 160) - 40;
      const Rect rect{5, 7, 5 + rw, 7 + rh};
      Bitmap fast = Canvas(w, h), ref = Canvas(w, h);
      EllipseGradient(fast, kA, kB, rect, false);
      ReferenceEllipse(ref, kA, kB, rect, false);
      ExpectSame(fast, ref,
                 "halo " + what + " rect " + std::to_string(rw) + "x" + std::to_string(rh));
    }
  }
}

TEST(EllipseGradient, FlatAndThinRingsMatchThePlainLoop) {
  // Ring counts around half the short side: the innermost rings are a few pixels high (or wide)
  // and hundreds wide (or high), or have just passed the middle.
  const std::vector<std::pair<int, int>> sizes = {{420, 64}, {64, 420}, {421, 63}, {63, 421}};
  for (const auto& [w, h] : sizes) {
    const int shortSide = std::min(w, h);
    for (int n = shortSide / 2 - 4; n <= shortSide / 2 + 3; ++n) {
      const Rect rect{0, 0, n, 1};  // a diagonal that rounds to n rings
      Bitmap fast = Canvas(w, h), ref = Canvas(w, h);
      EllipseGradient(fast, kA, kB, rect, false);
      ReferenceEllipse(ref, kA, kB, rect, false);
      ExpectSame(fast, ref,
                 "halo " + std::to_string(w) + "x" + std::to_string(h) + ", " + std::to_string(n) +
                     " rings");
    }
  }
}

TEST(Gradients, SystemColoursAreResolvedFirst) {
  Bitmap fast = Canvas(30, 20), ref = Canvas(30, 20);
  VerticalGradient(fast, clBtnHighlight, clActiveCaption);
  ReferenceVertical(ref, ColorToRGB(clBtnHighlight), ColorToRGB(clActiveCaption));
  EXPECT_TRUE(fast.samePixels(ref));
  EXPECT_EQ(fast.pixel(0, 0), GetSysColor(COLOR_BTNHIGHLIGHT));
}

TEST(EllipseGradient, HugeReferenceRectangleStaysFast) {
  // A diagonal past 46340 pixels: squares summed in 32 bits would overflow. The last of the
  // millions of rings covers everything.
  Bitmap b = Canvas(64, 48);
  EllipseGradient(b, RGB(0, 0, 0), RGB(255, 255, 255), Rect{-2000000, 0, 2000000, 231}, false);
  const TColor c = b.pixel(0, 0);
  EXPECT_EQ(b.pixel(63, 47), c);
  EXPECT_EQ(b.pixel(32, 24), c);
}

}  // namespace
}  // namespace tessora
