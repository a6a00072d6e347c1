#include "document/wallpaper_recipe.h"

#include <gtest/gtest.h>

namespace tessora {
namespace {

WallpaperRecipe Sample() {
  WallpaperRecipe r;
  r.center = Bitmap(3, 2);
  r.center.setTransparent(true);
  r.center.setTransparentColor(RGB(1, 2, 3));
  Bitmap base(4, 4);
  base.setFillColor(clBtnFace);
  r.generated = BackgroundRecipe(base);
  BackgroundRecipe::Step halo;
  halo.kind = BackgroundKind::Halo;
  halo.color0 = RGB(9, 8, 7);
  halo.color1 = clActiveCaption;
  halo.halo = CenterStretch{3, 2, 0, 0.618034F};
  r.generated->add(halo);
  r.sizing.widthFraction = 0.25F;
  r.sizing.deepBackgroundColor = RGB(10, 20, 30);
  r.sizing.entireArea = true;
  r.sizing.previewWidth = 344;
  r.sizing.previewHeight = 231;
  r.layout.monitors = {Monitor{"DP-1", Rect{0, 0, 1920, 1080}, Rect{0, 0, 1920, 1050}, true},
                       Monitor{"Virtual 2", Rect{1920, -200, 3000, 1720}, Rect{}, false}};
  r.layout.primary = 1;
  return r;
}

TEST(WallpaperRecipe, ItsTextReadsBackAndDamagedTextIsRefused) {
  const WallpaperRecipe r = Sample();
  const std::string text = WallpaperRecipeText(r.inputs(), r.layout);
  const std::optional<WallpaperRecipe> back =
      ParseWallpaperRecipe(text, r.generated->base(), r.center);
  ASSERT_TRUE(back.has_value()) << text;
  EXPECT_EQ(back->layout, r.layout);
  EXPECT_EQ(back->generated->steps(), r.generated->steps());
  EXPECT_EQ(back->generated->base().fillColor(), clBtnFace);
  EXPECT_EQ(back->center.transparentColor(), RGB(1, 2, 3));
  EXPECT_TRUE(back->center.transparent());
  EXPECT_EQ(back->sizing.widthFraction, 0.25F);
  EXPECT_EQ(back->sizing.deepBackgroundColor, RGB(10, 20, 30));
  EXPECT_TRUE(back->sizing.entireArea);
  EXPECT_EQ(WallpaperRecipeText(back->inputs(), back->layout), text);

  for (const char* damage : {"sizing 0.25\n", "deep blue\n", "monitor 1 0 0\n", "what 1\n",
                             "step generate plaid 0 0\n", "center-picture 0\n"}) {
    EXPECT_FALSE(ParseWallpaperRecipe(text + damage, r.generated->base(), r.center)) << damage;
  }
  EXPECT_FALSE(ParseWallpaperRecipe("tessora wallpaper recipe 2\n", Bitmap(), Bitmap()));
}

}  // namespace
}  // namespace tessora
