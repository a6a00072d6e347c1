#include "engine/composition.h"
#include "engine/desktop_geometry.h"

#include <gtest/gtest.h>

#include "support/pictures.h"

namespace tessora {
namespace {

using testing::Numbered;

constexpr TColor kBlue = RGB(0, 0, 255);
constexpr TColor kGreen = RGB(0, 255, 0);

// Tiling as the drawing loop does it: copies at x = 0, tw, ... while x <= W, rows alike.
void ReferenceTileFill(const Bitmap& tile, Bitmap& target) {
  for (int y = 0; y <= target.height(); y += tile.height()) {
    for (int x = 0; x <= target.width(); x += tile.width()) {
      target.draw(x, y, tile);
    }
  }
}

TEST(TileFill, RepeatsTheTileFromTheTopLeftAndClipsTheLastCopies) {
  const Bitmap tile = Numbered(100, 100, 3);
  Bitmap target(250, 120);
  TileFill(tile, target);
  EXPECT_EQ(target.pixel(0, 0), RGB(0, 0, 3));
  EXPECT_EQ(target.pixel(100, 0), RGB(0, 0, 3));
  EXPECT_EQ(target.pixel(249, 0), RGB(49, 0, 3));
  EXPECT_EQ(target.pixel(213, 119), RGB(13, 19, 3));
  Bitmap ref(250, 120);
  ReferenceTileFill(tile, ref);
  EXPECT_TRUE(target.samePixels(ref));
  // A tile larger than the target, and odd sizes.
  for (auto [tw, th] : {std::pair{300, 7}, std::pair{1, 1}, std::pair{7, 300}, std::pair{13, 11}}) {
    const Bitmap t = Numbered(tw, th, 3);
    Bitmap fast(97, 53);
    Bitmap slow(97, 53);
    TileFill(t, fast);
    ReferenceTileFill(t, slow);
    EXPECT_TRUE(fast.samePixels(slow)) << tw << "x" << th;
  }
}

TEST(TileFill, EmptyTileFillsWithItsFillColour) {
  Bitmap tile;
  tile.setFillColor(kGreen);
  Bitmap target = Numbered(20, 10, 3);
  TileFill(tile, target);
  EXPECT_EQ(target.pixel(0, 0), kGreen);
  EXPECT_EQ(target.pixel(19, 9), kGreen);
  EXPECT_EQ(target.fillColor(), kGreen);
  EXPECT_TRUE(TileFillCoversAll(tile));
}

TEST(TileFill, TransparentTilePixelsShowWhatWasThere) {
  Bitmap tile = Numbered(4, 4, 3);
  tile.setTransparent(true);
  tile.setTransparentColor(RGB(1, 1, 3));
  EXPECT_FALSE(TileFillCoversAll(tile));
  Bitmap target(10, 10);
  target.setFillColor(kBlue);
  target.fill();
  TileFill(tile, target);
  EXPECT_EQ(target.pixel(1, 1), kBlue);
  EXPECT_EQ(target.pixel(5, 5), kBlue);
  EXPECT_EQ(target.pixel(9, 9), kBlue);
  EXPECT_EQ(target.pixel(2, 1), RGB(2, 1, 3));
}

TEST(Placement, DefaultSizingOfAnEightHundredBySixHundredImage) {
  const Box64 box = StretchedCenterBox(1024, 768, 800, 600, 0, DefaultCenterFraction);
  EXPECT_EQ(box.left, 196);
  EXPECT_EQ(box.top, 147);
  EXPECT_EQ(box.right, 828);
  EXPECT_EQ(box.bottom, 621);
  EXPECT_EQ(ToPreviewRect(box, 1024, 768, 344, 231), (Rect{66, 44, 278, 187}));
}

TEST(Placement, FullAndOverhangingImages) {
  const Box64 full = StretchedCenterBox(1024, 768, 800, 600, 0, 1.0F);
  EXPECT_EQ(full.left, 0);
  EXPECT_EQ(full.top, 0);
  EXPECT_EQ(full.right, 1024);
  EXPECT_EQ(full.bottom, 768);
  EXPECT_EQ(ToPreviewRect(full, 1024, 768, 344, 231), (Rect{0, 0, 344, 231}));
  const Box64 wide = StretchedCenterBox(1024, 768, 1600, 400, 0, 1.0F);
  EXPECT_EQ(wide.left, -1024);
  EXPECT_EQ(wide.top, 0);
  EXPECT_EQ(wide.right, 2048);
  EXPECT_EQ(wide.bottom, 768);
  // Width-driven: the height follows the aspect ratio.
  const Box64 byWidth = StretchedCenterBox(1000, 800, 400, 200, 0.5F, 0);
  EXPECT_EQ(byWidth.left, 250);
  EXPECT_EQ(byWidth.top, 275);
  EXPECT_EQ(byWidth.right, 750);
  EXPECT_EQ(byWidth.bottom, 525);
  // Absurd fractions clamp instead of overflowing.
  const Box64 huge = StretchedCenterBox(1024, 768, 100000, 1, 0, 1000.0F);
  EXPECT_EQ(huge.left, -INT32_MAX);
  EXPECT_GT(huge.right, 0);
}

TEST(Placement, AsIsCentresWithHalvesToEvenAndAlignsLargeImages) {
  EXPECT_EQ(AsIsCenterOrigin(1024, 768, 641, 480).x, 192);
  EXPECT_EQ(AsIsCenterOrigin(1024, 768, 643, 480).x, 190);
  EXPECT_EQ(AsIsCenterOrigin(1024, 768, 643, 480).y, 144);
  const Point big = AsIsCenterOrigin(1024, 768, 1100, 900);
  EXPECT_EQ(big.x, 0);
  EXPECT_EQ(big.y, 0);
  const Point tall = AsIsCenterOrigin(1024, 768, 100, 768);
  EXPECT_EQ(tall.x, 462);
  EXPECT_EQ(tall.y, 0);
}

TEST(ScaleBitmap, SizesRoundHalfToEvenFromEachSide) {
  Bitmap tile(161, 170);
  ScaleBitmap(tile, 0.5F);
  EXPECT_EQ(tile.width(), 80);
  EXPECT_EQ(tile.height(), 85);
  Bitmap big(161, 170);
  ScaleBitmap(big, 2.0F);
  EXPECT_EQ(big.width(), 322);
  EXPECT_EQ(big.height(), 340);
  Bitmap odd(3, 7);
  ScaleBitmap(odd, 0.5F);
  EXPECT_EQ(odd.width(), 2);
  EXPECT_EQ(odd.height(), 4);
  Bitmap thin(1, 3);
  thin.setFillColor(kGreen);
  ScaleBitmap(thin, 0.5F);
  EXPECT_TRUE(thin.empty());
  EXPECT_EQ(thin.fillColor(), kGreen);
}

TEST(ScaleBitmap, RepeatsOrDropsPixelsAndLosesTransparency) {
  Bitmap b = Numbered(2, 2, 3);
  b.setTransparent(true);
  b.setTransparentColor(RGB(1, 0, 3));
  b.setFillColor(kGreen);
  ScaleBitmap(b, 2.0F);
  EXPECT_FALSE(b.transparent());
  EXPECT_EQ(b.fillColor(), kGreen);
  EXPECT_EQ(b.pixel(0, 0), RGB(0, 0, 3));
  EXPECT_EQ(b.pixel(1, 1), RGB(0, 0, 3));
  EXPECT_EQ(b.pixel(2, 0), clWhite);  // was the transparent colour
  EXPECT_EQ(b.pixel(3, 1), clWhite);
  EXPECT_EQ(b.pixel(3, 3), RGB(1, 1, 3));
  const Bitmap same = Numbered(5, 4, 3);
  Bitmap copy = same;
  ScaleBitmap(copy, 1.0F);
  EXPECT_TRUE(copy.samePixels(same));
}

TEST(ScaleBitmap, ASizeThatCannotBeHeldLeavesTheBitmapUnchanged) {
  Bitmap b = Numbered(2000, 2000, 3);
  const Bitmap before = b;
  EXPECT_THROW(ScaleBitmap(b, 100.0F), BitmapError);
  EXPECT_TRUE(b.samePixels(before));
}

TEST(Desktop, TargetSizeFromWorkAreaEdgesOrScreen) {
  DesktopGeometry bottomBar{1280, 1024, Rect{0, 0, 1280, 994}};
  Bitmap b;
  SizeToDesktop(b, bottomBar, false);
  EXPECT_EQ(b.width(), 1280);
  EXPECT_EQ(b.height(), 994);
  DesktopGeometry topBar{1024, 768, Rect{0, 30, 1024, 768}};
  SizeToDesktop(b, topBar, false);
  EXPECT_EQ(b.width(), 1024);
  EXPECT_EQ(b.height(), 768);
  SizeToDesktop(b, bottomBar, true);
  EXPECT_EQ(b.width(), 1280);
  EXPECT_EQ(b.height(), 1024);
  DesktopGeometry unknown{1920, 1080, Rect{}, false};
  EXPECT_EQ(DesktopTargetSize(unknown, false), (Size{1920, 1080}));
}

}  // namespace
}  // namespace tessora
