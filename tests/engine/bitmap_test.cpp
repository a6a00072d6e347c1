#include "engine/bitmap.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "engine/rounding.h"
#include "support/pictures.h"

namespace tessora {
namespace {

using testing::Numbered;
using testing::Solid;

constexpr TColor kBlue = RGB(0, 0, 255);
constexpr TColor kGreen = RGB(0, 255, 0);

// Counts the pixels of one colour.
int CountColor(const Bitmap& b, TColor c) {
  int n = 0;
  for (int y = 0; y < b.height(); ++y) {
    for (int x = 0; x < b.width(); ++x) {
      n += b.pixel(x, y) == c ? 1 : 0;
    }
  }
  return n;
}

TEST(Bitmap, ResizeKeepsSharedAreaAndFillsNewAreaWithFillColour) {
  Bitmap b;
  EXPECT_TRUE(b.empty());
  EXPECT_EQ(b.fillColor(), clWhite);
  b.setSize(3, 2);
  EXPECT_EQ(CountColor(b, clWhite), 6);
  b.setPixel(1, 1, kBlue);
  b.setFillColor(kGreen);
  b.setSize(4, 3);
  EXPECT_EQ(b.pixel(1, 1), kBlue);
  EXPECT_EQ(b.pixel(0, 0), clWhite);
  EXPECT_EQ(b.pixel(3, 0), kGreen);
  EXPECT_EQ(b.pixel(0, 2), kGreen);
  b.setSize(2, 2);
  EXPECT_EQ(b.pixel(1, 1), kBlue);
  b.setWidth(0);
  EXPECT_TRUE(b.empty());
  EXPECT_EQ(b.height(), 2);
}

TEST(Bitmap, ImpossibleSizesThrowAndLeaveTheBitmapAsItWas) {
  Bitmap b = Numbered(5, 4);
  const Bitmap before = b;
  EXPECT_THROW(b.setSize(-1, 4), BitmapError);
  EXPECT_THROW(b.setSize(Bitmap::kMaxDimension + 1, 1), BitmapError);
  EXPECT_THROW(b.setSize(Bitmap::kMaxDimension, Bitmap::kMaxDimension), BitmapError);
  EXPECT_TRUE(b.samePixels(before));
}

TEST(Bitmap, FillRectNormalisesClipsAndIgnoresEmptyBoxes) {
  Bitmap b(10, 8);
  b.setFillColor(kBlue);
  b.fillRect(8, 6, 2, 3);  // reversed on both axes
  EXPECT_EQ(CountColor(b, kBlue), 6 * 3);
  EXPECT_EQ(b.pixel(2, 3), kBlue);
  EXPECT_EQ(b.pixel(7, 5), kBlue);
  EXPECT_EQ(b.pixel(8, 5), clWhite);
  b.fillRect(4, 0, 4, 8, kGreen);   // zero width
  b.fillRect(0, 5, 10, 5, kGreen);  // zero height
  EXPECT_EQ(CountColor(b, kGreen), 0);
  b.fillRect(-100, -100, 1, 1, kGreen);
  b.fillRect(9, 7, 1000, 1000, kGreen);
  EXPECT_EQ(CountColor(b, kGreen), 2);
  b.fillRect(20, 20, 30, 30, kGreen);
  EXPECT_EQ(CountColor(b, kGreen), 2);
}

TEST(Bitmap, SystemFillColoursAreResolved) {
  Bitmap b(2, 2);
  b.setFillColor(clBtnFace);
  b.fill();
  EXPECT_EQ(b.pixel(1, 1), GetSysColor(COLOR_BTNFACE));
}

// The reference rule: a pixel belongs to the ellipse inscribed in the box when its centre lies
// inside or on the ellipse, or when it lies on the box's middle row(s) or column(s).
bool InEllipse(double x, double y, double l, double t, double r, double b) {
  const double cx = (l + r) / 2;
  const double cy = (t + b) / 2;
  const double rx = (r - l) / 2;
  const double ry = (b - t) / 2;
  const double dx = (x + 0.5 - cx) / rx;
  const double dy = (y + 0.5 - cy) / ry;
  const bool cross = std::abs(x + 0.5 - cx) <= 0.5 || std::abs(y + 0.5 - cy) <= 0.5;
  return cross || dx * dx + dy * dy <= 1 + 1e-12;
}

TEST(Bitmap, FillEllipseFollowsThePixelCentreRuleStaysInsideAndTouchesEdges) {
  for (int w = 1; w <= 13; ++w) {
    for (int h = 1; h <= 11; ++h) {
      Bitmap b(16, 14);
      b.setFillColor(kBlue);
      b.fillEllipse(1, 2, 1 + w, 2 + h);
      bool touchesLeft = false;
      bool touchesTop = false;
      for (int y = 0; y < b.height(); ++y) {
        for (int x = 0; x < b.width(); ++x) {
          const bool in =
              x >= 1 && x < 1 + w && y >= 2 && y < 2 + h && InEllipse(x, y, 1, 2, 1 + w, 2 + h);
          ASSERT_EQ(b.pixel(x, y) == kBlue, in) << w << "x" << h << " at " << x << "," << y;
          touchesLeft |= in && x == 1;
          touchesTop |= in && y == 2;
          // Symmetric about the box centre.
          if (in) {
            ASSERT_EQ(b.pixel(2 + w - 1 - x, y), kBlue);
            ASSERT_EQ(b.pixel(x, 4 + h - 1 - y), kBlue);
          }
        }
      }
      EXPECT_TRUE(touchesLeft && touchesTop) << w << "x" << h;
    }
  }
}

// The run of one colour on a row: [first, last], first > last when there is none; `runs` counts
// the separate runs.
struct RowRun {
  int first, last, runs;
};

RowRun RunOf(const Bitmap& b, int y, TColor c) {
  RowRun r{b.width(), -1, 0};
  bool inRun = false;
  for (int x = 0; x < b.width(); ++x) {
    const bool on = b.pixel(x, y) == c;
    if (on) {
      r.runs += inRun ? 0 : 1;
      r.first = std::min(r.first, x);
      r.last = x;
    }
    inRun = on;
  }
  return r;
}

TEST(Bitmap, FillEllipseOfAnyBoxIsInsideConvexSymmetricAndTouchesAllFourEdges) {
  // Flat and thin boxes above all (1 to 3 pixels on one axis), odd and even sizes.
  std::vector<std::pair<int, int>> boxes;
  for (int thin = 1; thin <= 5; ++thin) {
    for (int length : {1, 2, 3, 8, 41, 300, 1001}) {
      boxes.emplace_back(length, thin);
      boxes.emplace_back(thin, length);
    }
  }
  std::mt19937 rng(7);
  for (int i = 0; i < 30; ++i) {
    const int w = 1 + static_cast<int>(rng() % 700);
    const int h = 1 + static_cast<int>(rng() % 24);
    boxes.emplace_back(w, h);
    boxes.emplace_back(h, w);
  }
  for (const auto& [w, h] : boxes) {
    // A one-pixel frame around the box shows anything painted outside it.
    Bitmap b = Solid(w + 2, h + 2, clWhite);
    b.setFillColor(kBlue);
    b.fillEllipse(1, 1, 1 + w, 1 + h);
    const std::string what = std::to_string(w) + "x" + std::to_string(h);
    ASSERT_EQ(RunOf(b, 0, kBlue).runs + RunOf(b, h + 1, kBlue).runs, 0) << what;
    bool touchesSides = false;
    for (int y = 1; y <= h; ++y) {
      const RowRun r = RunOf(b, y, kBlue);
      ASSERT_EQ(r.runs, 1) << what << " row " << y;
      ASSERT_GE(r.first, 1) << what;
      ASSERT_EQ(r.first + r.last, w + 1) << what << " row " << y;  // symmetric left and right
      const RowRun mirror = RunOf(b, h + 1 - y, kBlue);
      ASSERT_EQ(mirror.first, r.first) << what << " row " << y;  // symmetric top and bottom
      // Spans never grow away from the middle, so each column is one run as well.
      if (2 * y < h + 1) {
        ASSERT_GE(r.first, RunOf(b, y + 1, kBlue).first) << what << " row " << y;
      }
      touchesSides |= r.first == 1;
    }
    EXPECT_TRUE(touchesSides) << what;  // rows 1 and h are not empty: it touches top and bottom
  }
}

TEST(Bitmap, FillEllipseHandlesReversedEmptyAndHugeBoxes) {
  Bitmap a(20, 20);
  Bitmap b(20, 20);
  a.setFillColor(kBlue);
  b.setFillColor(kBlue);
  a.fillEllipse(3, 4, 17, 15);
  b.fillEllipse(17, 15, 3, 4);
  EXPECT_TRUE(a.samePixels(b));
  Bitmap c(20, 20);
  c.setFillColor(kBlue);
  c.fillEllipse(5, 5, 5, 15);
  c.fillEllipse(5, 5, 15, 5);
  EXPECT_EQ(CountColor(c, kBlue), 0);
  // A box far larger than the bitmap, centred on it: the bitmap is wholly inside.
  c.fillEllipse(-100000, -100000, 100020, 100020);
  EXPECT_EQ(CountColor(c, kBlue), 400);
  EXPECT_EQ(EllipseRowInset(3000000000LL, 3000000000LL, 1), 0);
}

TEST(Bitmap, DrawClipsAndLeavesOutTheTransparentColour) {
  Bitmap src = Numbered(4, 3);
  Bitmap dst(5, 5);
  dst.draw(3, -1, src);
  EXPECT_EQ(dst.pixel(3, 0), RGB(0, 1, 7));
  EXPECT_EQ(dst.pixel(4, 1), RGB(1, 2, 7));
  EXPECT_EQ(dst.pixel(2, 0), clWhite);
  EXPECT_EQ(dst.pixel(3, 2), clWhite);

  src.setTransparent(true);
  src.setTransparentColor(RGB(1, 1, 7));
  Bitmap dst2(4, 3);
  dst2.setFillColor(kGreen);
  dst2.fill();
  dst2.draw(0, 0, src);
  EXPECT_EQ(dst2.pixel(1, 1), kGreen);
  EXPECT_EQ(dst2.pixel(0, 1), RGB(0, 1, 7));
  EXPECT_EQ(dst2.pixel(1, 2), RGB(1, 2, 7));  // close, but not the same colour
  EXPECT_EQ(CountColor(dst2, kGreen), 1);
}

TEST(Bitmap, StretchDrawPicksTheSourcePixelUnderEachTargetPixelCentre) {
  const Bitmap src = Numbered(4, 2);
  Bitmap up(8, 4);
  up.stretchDraw(0, 0, 8, 4, src);
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 8; ++x) {
      EXPECT_EQ(up.pixel(x, y), RGB(x / 2, y / 2, 7));
    }
  }
  Bitmap down(2, 1);
  down.stretchDraw(0, 0, 2, 1, src);
  EXPECT_EQ(down.pixel(0, 0), RGB(1, 1, 7));
  EXPECT_EQ(down.pixel(1, 0), RGB(3, 1, 7));

  // Reversed corners stretch the same way (no mirroring); boxes without area paint nothing.
  Bitmap rev(8, 4);
  rev.stretchDraw(8, 4, 0, 0, src);
  EXPECT_TRUE(rev.samePixels(up));
  Bitmap none(8, 4);
  none.stretchDraw(2, 0, 2, 4, src);
  EXPECT_EQ(CountColor(none, clWhite), 32);
}

TEST(Bitmap, StretchDrawClipsOverhangingBoxesConsistently) {
  const Bitmap src = Numbered(30, 10);
  Bitmap whole(90, 30);
  whole.stretchDraw(0, 0, 90, 30, src);
  Bitmap part(30, 10);
  part.stretchDraw(-30, -10, 60, 20, src);  // the middle third of the same stretch
  for (int y = 0; y < 10; ++y) {
    for (int x = 0; x < 30; ++x) {
      ASSERT_EQ(part.pixel(x, y), whole.pixel(x + 30, y + 10));
    }
  }
}

TEST(Bitmap, StretchDrawHonoursTransparency) {
  Bitmap src(2, 1);
  src.setPixel(0, 0, clRed);
  src.setPixel(1, 0, kBlue);
  src.setTransparent(true);
  src.setTransparentColor(clRed);
  Bitmap dst(4, 2);
  dst.setFillColor(kGreen);
  dst.fill();
  dst.stretchDraw(0, 0, 4, 2, src);
  EXPECT_EQ(CountColor(dst, kGreen), 4);
  EXPECT_EQ(CountColor(dst, kBlue), 4);
  EXPECT_EQ(dst.pixel(0, 1), kGreen);
}

TEST(Bitmap, CopiesAreIndependent) {
  Bitmap a = Numbered(3, 3);
  a.setTransparent(true);
  a.setTransparentColor(kBlue);
  Bitmap b = a;
  b.setPixel(0, 0, kGreen);
  EXPECT_NE(a.pixel(0, 0), kGreen);
  EXPECT_TRUE(b.transparent());
  EXPECT_EQ(b.transparentColor(), kBlue);
  b.clear();
  EXPECT_TRUE(b.empty());
  EXPECT_TRUE(b.transparent());
  EXPECT_EQ(a.pixel(2, 2), RGB(2, 2, 7));
  EXPECT_EQ(a.pixel(3, 0), clNone);
  EXPECT_EQ(a.pixel(-1, 0), clNone);
}

TEST(Bitmap, LargePicturesWorkInEitherKindOfMemory) {
  for (auto kind : {Bitmap::LargeMemory::MappedAhead, Bitmap::LargeMemory::HugePages}) {
    Bitmap::SetLargeMemory(kind);
    Bitmap b(1500, 1001);  // 4.5 MB, a size with a partial last page
    EXPECT_EQ(b.pixel(0, 0), clWhite);
    EXPECT_EQ(b.pixel(1499, 1000), clWhite);
    b.setFillColor(RGB(1, 2, 3));
    b.fillRect(1000, 900, 1500, 1001);
    EXPECT_EQ(b.pixel(1499, 1000), RGB(1, 2, 3));
    EXPECT_EQ(b.pixel(999, 1000), clWhite);
  }
}

TEST(Bitmap, SwappingRedAndBlueTouchesOnlyThePixels) {
  for (std::size_t count = 0; count <= 40; ++count) {
    std::vector<std::uint8_t> src(3 * count + 16);
    for (std::size_t i = 0; i < src.size(); ++i) {
      src[i] = static_cast<std::uint8_t>(i * 37 + 11);
    }
    std::vector<std::uint8_t> dst(3 * count + 16, 0xEE);
    SwapRedAndBlue(src.data(), dst.data(), count);
    for (std::size_t p = 0; p < count; ++p) {
      ASSERT_EQ(dst[3 * p], src[3 * p + 2]) << count << " pixels, pixel " << p;
      ASSERT_EQ(dst[3 * p + 1], src[3 * p + 1]) << count << " pixels, pixel " << p;
      ASSERT_EQ(dst[3 * p + 2], src[3 * p]) << count << " pixels, pixel " << p;
    }
    for (std::size_t i = 3 * count; i < dst.size(); ++i) {
      ASSERT_EQ(dst[i], 0xEE) << count << " pixels: byte " << i << " written past the end";
    }
  }
}

TEST(Rounding, HalvesGoToTheEvenNeighbour) {
  EXPECT_EQ(Round(2.5L), 2);
  EXPECT_EQ(Round(3.5L), 4);
  EXPECT_EQ(Round(-37.5L), -38);
  EXPECT_EQ(Round(80.5L), 80);
  EXPECT_EQ(Round(84.5L), 84);
  EXPECT_EQ(Round(85.5L), 86);
  EXPECT_EQ(Round(191.5L), 192);
  EXPECT_EQ(Round(190.5L), 190);
  EXPECT_EQ(RoundInt(1e30L), INT32_MAX);
  EXPECT_EQ(RoundInt(-1e30L), INT32_MIN);
}

TEST(Colors, SystemColoursResolveThroughTheTable) {
  EXPECT_EQ(ColorToRGB(clRed), clRed);
  EXPECT_EQ(ColorToRGB(clBtnHighlight), GetSysColor(COLOR_BTNHIGHLIGHT));
  EXPECT_EQ(ColorToRGBText(clRed), "255, 0, 0");
  EXPECT_EQ(ColorToRGBText(clBtnFace), "212, 208, 200");
  EXPECT_EQ(GetSysColor(200), 0U);
}

}  // namespace
}  // namespace tessora
