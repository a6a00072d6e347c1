#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QTest>
#include <QToolButton>

#include "ui_test_support.h"

namespace tessora::testing {
namespace {

constexpr TColor kFirst = RGB(255, 0, 0);
constexpr TColor kSecond = RGB(0, 0, 255);

/// A started window on a 1024 x 768 desktop with red as the first colour and blue as the second.
struct BackgroundFixture : FormFixture {
  BackgroundFixture() {
    start();
    form->document().setColor0(kFirst);
    form->document().setColor1(kSecond);
  }
  Document& doc() const { return form->document(); }
  bool toolsEnabled() const {
    return find<QToolButton>("ToolButton0a1")->isEnabled() &&
           find<QToolButton>("ToolButton0a2")->isEnabled();
  }
  /// Nearer the second colour than the first: the ramps stop short of it, the corner gradient
  /// (with more steps than rows) well short.
  static bool towardsSecond(TColor c) { return GetRValue(c) < 128 && GetBValue(c) > 128; }
  void pasteTile(int width, int height) {
    Bitmap clip(width, height);
    clip.setFillColor(RGB(0, 128, 0));
    clip.fill();
    fake.clipboard->content = clip;
    find<QToolButton>("ToolButton0a0")->click();
  }
};

TEST(TForm1Background, EachGeneratorShowsItsCaptionEnablesTheToolsAndPaintsTheBackground) {
  const struct {
    const char* item;
    const char* caption;
    int width;
    // Where the first colour lies and where the second is approached.
    QPoint first;
    QPoint second;
  } rows[] = {
      {"TG_Tile", "(temporary tile)", 161, QPoint(0, 0), QPoint(-1, -1)},
      {"TG_Gradient", "(temporary gradient)", 1024, QPoint(500, 0), QPoint(500, 767)},
      {"TG_CenteredGradient", "(temporary centered gradient)", 1024, QPoint(0, 0),
       QPoint(512, 384)},
      {"TG_Halo", "(temporary halo)", 1024, QPoint(0, 0), QPoint(512, 384)},
      {"TG_CornerGradient", "(temporary corner gradient)", 1024, QPoint(1023, 767), QPoint(0, 0)},
  };
  for (const auto& row : rows) {
    BackgroundFixture f;
    f.find<QAction>("O_ShowAllTools")->trigger();
    ASSERT_TRUE(f.find<QAction>(row.item)->isVisible()) << row.item;
    f.find<QAction>(row.item)->trigger();
    EXPECT_EQ(f.find<QLabel>("RxLabel0b")->text(), QString::fromLatin1(row.caption));
    EXPECT_TRUE(f.toolsEnabled()) << row.item;
    EXPECT_EQ(f.doc().TileBitmap().width(), row.width) << row.item;
    EXPECT_EQ(f.doc().ComposedBitmap().pixel(row.first.x(), row.first.y()), kFirst) << row.item;
    if (row.second.x() >= 0) {
      EXPECT_TRUE(BackgroundFixture::towardsSecond(
          f.doc().ComposedBitmap().pixel(row.second.x(), row.second.y())))
          << row.item;
    }
    const QImage shown = f.find<QLabel>("Image0")->pixmap().toImage();
    ASSERT_FALSE(shown.isNull()) << row.item;
    EXPECT_EQ(f.find<QLabel>("RxLabel0")->text(), QStringLiteral("(drop a tile)"));
    EXPECT_TRUE(f.form->isEnabled()) << row.item;
    EXPECT_EQ(QApplication::overrideCursor(), nullptr) << row.item;
  }
}

TEST(TForm1Background, FixedStepsScaleTheTileAndAFailedScaleLeavesItAsItWas) {
  BackgroundFixture f;
  f.find<QAction>("TG_Tile")->trigger();
  f.find<QAction>("TR_Half")->trigger();
  EXPECT_EQ(f.doc().TileBitmap().width(), 80);
  EXPECT_EQ(f.doc().TileBitmap().height(), 85);
  f.find<QAction>("TG_Tile")->trigger();
  f.find<QAction>("TR_Double")->trigger();
  EXPECT_EQ(f.doc().TileBitmap().width(), 322);
  EXPECT_EQ(f.doc().TileBitmap().height(), 340);
  EXPECT_TRUE(f.dialogs.errors.empty());

  // Twice as wide is more than a bitmap may hold.
  f.pasteTile(Bitmap::kMaxDimension / 2 + 1, 1);
  const Bitmap before = f.doc().TileBitmap();
  const std::size_t cues = f.fake.sound->played.size();
  f.find<QAction>("TR_Double")->trigger();
  ASSERT_EQ(f.dialogs.errors.size(), 1U);
  EXPECT_FALSE(f.dialogs.errors[0].empty());
  EXPECT_TRUE(f.doc().TileBitmap().samePixels(before));
  EXPECT_EQ(f.fake.sound->played.size(), cues) << "no render after the failure";
  EXPECT_TRUE(f.form->isEnabled());
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  EXPECT_TRUE(f.toolsEnabled());
}

TEST(TForm1Background, APressAtTheLeftEdgeGrowsByNothingAndShrinksTheTileToItsFillColour) {
  BackgroundFixture f;
  f.find<QAction>("TG_Tile")->trigger();
  QTest::mousePress(f.find<QWidget>("Panel0"), Qt::LeftButton, {}, QPoint(0, 150));
  EXPECT_EQ(f.find<QAction>("TR_ShrinkCustom")->text(), QStringLiteral("shrink to 0%"));
  EXPECT_EQ(f.find<QAction>("TR_GrowCustom")->text(), QStringLiteral("grow by 100%"));
  f.find<QAction>("TR_GrowCustom")->trigger();
  EXPECT_EQ(f.doc().TileBitmap().width(), 161);
  EXPECT_EQ(f.doc().TileBitmap().height(), 170);
  f.find<QAction>("TR_ShrinkCustom")->trigger();
  EXPECT_TRUE(f.doc().TileBitmap().empty());
  EXPECT_EQ(f.doc().ComposedBitmap().pixel(600, 400), kFirst);
  EXPECT_TRUE(f.toolsEnabled());
  EXPECT_EQ(f.find<QLabel>("RxLabel0b")->text(), QStringLiteral("(temporary tile)"))
      << "scaling leaves the captions";
}

}  // namespace
}  // namespace tessora::testing
