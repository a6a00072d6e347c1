#include "engine/background_recipe.h"

#include <gtest/gtest.h>

#include <random>

#include "support/pictures.h"

namespace tessora {
namespace {

using testing::SamePicture;

// Random recipes: their text reads back as the same steps, and the recipe read back makes the
// same background at any size.
TEST(BackgroundRecipe, TheStepsTextReadsBackAsTheSameRecipe) {
  std::mt19937 random(7);
  Bitmap base(30, 20);
  base.setFillColor(RGB(9, 99, 199));
  base.fill();
  for (int round = 0; round < 40; ++round) {
    BackgroundRecipe recipe(base);
    for (int i = static_cast<int>(random() % 4); i >= 0; --i) {
      BackgroundRecipe::Step step;
      step.generate = random() % 3 != 0;
      step.kind = static_cast<BackgroundKind>(random() % 5);
      step.color0 = random() % 2 != 0 ? clBtnHighlight : static_cast<TColor>(random() & 0xFFFFFF);
      step.color1 = static_cast<TColor>(random() & 0xFFFFFF);
      if (random() % 2 != 0) {
        step.halo = CenterStretch{static_cast<int>(random() % 900) + 1, 77, 0.618034F, 0};
      }
      step.factor = step.generate ? 1.0F : 0.1F * static_cast<float>(random() % 30 + 1) / 3;
      recipe.add(step);
    }
    const std::optional<BackgroundRecipe> back =
        BackgroundRecipe::FromText(base, recipe.stepsText());
    ASSERT_TRUE(back.has_value()) << recipe.stepsText();
    EXPECT_EQ(back->steps(), recipe.steps()) << recipe.stepsText();
    EXPECT_TRUE(SamePicture(back->replay(61, 33, 344, 231), recipe.replay(61, 33, 344, 231)));
  }
}

// Replaying starts at the last step that paints every pixel; the background is the one every
// step applied in turn makes, whatever the steps before, the base's transparency and the
// wallpaper's height (odd: the vertical gradient's two-row bands leave the last row).
TEST(BackgroundRecipe, ReplayingFromTheLastStepThatPaintsAllMakesTheSameBackground) {
  std::mt19937 random(11);
  Bitmap base(30, 21);
  base.setFillColor(RGB(9, 99, 199));
  base.fill();
  base.setTransparentColor(RGB(9, 99, 199));
  for (int round = 0; round < 60; ++round) {
    base.setTransparent(round % 2 != 0);
    BackgroundRecipe recipe(base);
    for (int i = static_cast<int>(random() % 5); i >= 0; --i) {
      BackgroundRecipe::Step step;
      step.generate = random() % 3 != 0;
      step.kind = static_cast<BackgroundKind>(random() % 5);
      step.color0 = static_cast<TColor>(random() & 0xFFFFFF);
      step.color1 = static_cast<TColor>(random() & 0xFFFFFF);
      step.factor = 0.5F * static_cast<float>(random() % 4 + 1);
      recipe.add(step);
    }
    const int w = 20 + static_cast<int>(random() % 20);
    const int h = 20 + static_cast<int>(random() % 20);
    Bitmap each = base;
    for (const BackgroundRecipe::Step& step : recipe.steps()) {
      BackgroundRecipe::Apply(each, step, w, h, Rect{});
    }
    const Bitmap replayed = recipe.replay(w, h, 344, 231);
    EXPECT_TRUE(SamePicture(replayed, each)) << recipe.stepsText() << w << "x" << h;
    EXPECT_EQ(replayed.fillColor(), each.fillColor()) << recipe.stepsText();
    EXPECT_EQ(replayed.transparent(), each.transparent()) << recipe.stepsText();
    EXPECT_EQ(replayed.transparentColor(), each.transparentColor());
  }
}

TEST(BackgroundRecipe, TextThatIsNoRecipeIsRefused) {
  for (const char* text :
       {"generate plaid 0 0\n", "generate halo 00000001\n", "scale\n", "scale 2x\n", "scale 2 3\n",
        "generate halo 1 2 halo 1 2 3\n", "x\n", "generate corner 1 2 extra\n"}) {
    EXPECT_FALSE(BackgroundRecipe::FromText(Bitmap(), text).has_value()) << text;
  }
  EXPECT_TRUE(BackgroundRecipe::FromText(Bitmap(), "").has_value()) << "no steps yet";
}

}  // namespace
}  // namespace tessora
