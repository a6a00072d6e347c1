#include <gtest/gtest.h>

#include <QAction>
#include <QTest>
#include <QToolButton>
#include <algorithm>
#include <cstring>
#include <functional>

#include "ui_test_support.h"

namespace tessora::testing {
namespace {

constexpr TColor kDeep = RGB(18, 52, 86);

/// A started window on a 1024 x 768 desktop with an 800 x 600 red center image pasted in.
struct ClickFixture : FormFixture {
  ClickFixture() {
    writeSettings("[program parameters]\r\ndeep background color=$00563412\r\n");
    start();
    Bitmap center(800, 600);
    center.setFillColor(clRed);
    center.fill();
    fake.clipboard->content = center;
    find<QToolButton>("ToolButton1a0")->click();
  }
  Document& doc() { return form->document(); }
  QWidget* preview() const { return find<QWidget>("MainImage"); }
  QToolButton* modeButton() const { return find<QToolButton>("ToolButton1a3"); }
  QString info() const { return find<QLabel>("InfoLabel")->text(); }
  void press(Qt::MouseButton button, QPoint at) const {
    QTest::mousePress(preview(), button, {}, at);
  }
  std::size_t cues(const char* file) const {
    const auto& played = fake.sound->played;
    return static_cast<std::size_t>(std::count_if(played.begin(), played.end(), [&](auto& p) {
      return p.size() >= std::strlen(file) &&
             p.compare(p.size() - std::strlen(file), std::string::npos, file) == 0;
    }));
  }
};

TEST(TForm1Clicks, SizingItemsResizeTheCenterAndReportItsSize) {
  ClickFixture f;
  f.find<QAction>("Sizing_GoldenArea")->trigger();
  EXPECT_EQ(f.doc().CenterRect(), (Rect{66, 44, 278, 187}));
  EXPECT_EQ(f.info(), QStringLiteral("tessora: 212x143"));
  EXPECT_FALSE(f.find<QLabel>("InfoLabel")->isHidden());
  EXPECT_EQ(f.previewPixel(172, 115), QColor(255, 0, 0));
  EXPECT_EQ(f.previewPixel(20, 20), qcolor(kDeep));

  f.find<QAction>("Sizing_Full")->trigger();
  EXPECT_EQ(f.doc().CenterRect(), (Rect{0, 0, 344, 231}));
  EXPECT_TRUE(f.find<QLabel>("InfoLabel")->isHidden()) << "full shows no text";
  EXPECT_EQ(f.previewPixel(20, 20), QColor(255, 0, 0));

  f.find<QAction>("Sizing_AsIs")->trigger();
  EXPECT_EQ(f.doc().WidthFraction(), 0.0F);
  EXPECT_EQ(f.doc().HeightFraction(), 0.0F);
  EXPECT_EQ(f.info(), QStringLiteral("tessora: 344x231 (not stretched)"));
}

TEST(TForm1Clicks, ArmedModeSurvivesTheTripToThePreviewAndEndsOnTheBareSurface) {
  ClickFixture f;
  QWidget* surface = f.find<QWidget>("Surface");
  const QPoint bare(2, 250);
  ASSERT_EQ(surface->childAt(bare), nullptr);
  EXPECT_FALSE(f.modeButton()->isChecked());

  f.find<QAction>("CSM_NCVerticalResize")->trigger();
  EXPECT_EQ(f.doc().PreviewClickMode(), ClickMode::ResizeHeight);
  EXPECT_TRUE(f.modeButton()->isChecked());
  glide(surface, bare);
  EXPECT_EQ(f.doc().PreviewClickMode(), ClickMode::ResizeHeight) << "not yet over the preview";
  glide(f.preview(), QPoint(50, 50));
  EXPECT_TRUE(f.doc().PreviewEntered());
  glide(f.find<QWidget>("Panel0"), QPoint(20, 100));
  EXPECT_EQ(f.doc().PreviewClickMode(), ClickMode::ResizeHeight) << "controls do not end it";
  f.press(Qt::LeftButton, QPoint(100, 40));
  f.press(Qt::LeftButton, QPoint(100, 40));
  EXPECT_EQ(f.doc().PreviewClickMode(), ClickMode::ResizeHeight) << "stays armed after presses";
  glide(surface, bare);
  EXPECT_EQ(f.doc().PreviewClickMode(), ClickMode::PickColors);
  EXPECT_FALSE(f.modeButton()->isChecked());

  // The next press picks a colour again.
  f.press(Qt::LeftButton, QPoint(5, 5));
  EXPECT_EQ(f.doc().color0(), kDeep);

  // Arming anew forgets that the preview was entered.
  f.find<QAction>("CSM_NCMakeColorTransparent")->trigger();
  EXPECT_FALSE(f.doc().PreviewEntered());
  glide(surface, bare);
  EXPECT_EQ(f.doc().PreviewClickMode(), ClickMode::MarkTransparent);
}

TEST(TForm1Clicks, ResizePressesSetTheFractionFromTheDistanceToTheNearerEdge) {
  ClickFixture f;
  f.find<QAction>("CSM_NCVerticalResize")->trigger();
  const struct {
    int y;
    int height;
  } rows[] = {{40, 151}, {200, 169}, {115, 1}, {116, 1}};
  for (const auto& row : rows) {
    f.press(Qt::LeftButton, QPoint(10, row.y));
    EXPECT_EQ(f.doc().HeightFraction(), static_cast<float>(row.height / 231.0L)) << row.y;
    EXPECT_EQ(f.doc().WidthFraction(), 0.0F) << row.y;
    EXPECT_TRUE(f.info().startsWith(QStringLiteral("tessora: "))) << row.y;
  }

  // The middle of the width leaves nothing: with both fractions 0 the sizing is "as is".
  f.find<QAction>("CSM_NCHorizontalResize")->trigger();
  f.press(Qt::RightButton, QPoint(172, 10));
  EXPECT_EQ(f.doc().WidthFraction(), 0.0F);
  EXPECT_EQ(f.doc().HeightFraction(), 0.0F);
  f.press(Qt::LeftButton, QPoint(72, 10));
  EXPECT_EQ(f.doc().WidthFraction(), static_cast<float>(200 / 344.0L));
}

TEST(TForm1Clicks, PickingColoursLeftSetsTheFirstRightTheSecondMiddleNeither) {
  ClickFixture f;
  f.find<QAction>("Sizing_GoldenArea")->trigger();
  const std::size_t before = f.cues("/wav/ColorStored.wav");
  const std::size_t renders = f.cues("/wav/ExamplePainted.wav");
  f.press(Qt::LeftButton, QPoint(172, 115));
  f.press(Qt::RightButton, QPoint(3, 3));
  EXPECT_EQ(f.find<QWidget>("ColorPanel0")->palette().color(QPalette::Window), QColor(255, 0, 0));
  EXPECT_EQ(f.find<QWidget>("ColorPanel1")->palette().color(QPalette::Window), qcolor(kDeep));
  f.press(Qt::MiddleButton, QPoint(3, 3));
  EXPECT_EQ(f.doc().color0(), clRed);
  EXPECT_EQ(f.doc().color1(), kDeep);
  EXPECT_EQ(f.cues("/wav/ColorStored.wav"), before + 3) << "every button stores a cue";
  EXPECT_EQ(f.cues("/wav/ExamplePainted.wav"), renders) << "picking renders nothing";
}

TEST(TForm1Clicks, MarkingTheTransparentColourRendersAndNamesIt) {
  ClickFixture f;
  f.find<QAction>("Sizing_GoldenArea")->trigger();
  f.find<QAction>("CSM_NCMakeColorTransparent")->trigger();
  f.press(Qt::LeftButton, QPoint(172, 115));
  EXPECT_EQ(f.info(), QStringLiteral("transparent RGB: 255, 0, 0"));
  EXPECT_EQ(f.previewPixel(172, 115), qcolor(kDeep)) << "the red center is see-through now";
}

TEST(TForm1Clicks, SwatchesFollowTheColourDialogAndTheSwapSymbol) {
  ClickFixture f;
  const TColor first = f.doc().color0();
  const TColor second = f.doc().color1();
  const std::size_t stored = f.cues("/wav/ColorStored.wav");
  QTest::mouseClick(f.find<QWidget>("ColorSwitchStaticText"), Qt::LeftButton);
  EXPECT_EQ(f.doc().color0(), second);
  EXPECT_EQ(f.find<QWidget>("ColorPanel0")->palette().color(QPalette::Window),
            qcolor(ColorToRGB(second)));
  QTest::mouseClick(f.find<QWidget>("ColorSwitchStaticText"), Qt::LeftButton);
  EXPECT_EQ(f.doc().color0(), first);
  EXPECT_EQ(f.cues("/wav/ColorStored.wav"), stored + 2) << "each swap plays the cue";

  f.dialogs.chosenColor = RGB(1, 2, 3);
  QTest::mouseClick(f.find<QWidget>("ColorPanel1"), Qt::LeftButton);
  ASSERT_EQ(f.dialogs.presets.size(), 1U);
  EXPECT_EQ(f.dialogs.presets[0], second);
  EXPECT_EQ(f.doc().color1(), RGB(1, 2, 3));
  f.dialogs.chosenColor.reset();
  QTest::mouseClick(f.find<QWidget>("ColorPanel1"), Qt::LeftButton);
  EXPECT_EQ(f.doc().color1(), RGB(1, 2, 3)) << "a cancelled dialog keeps the colour";
}

TEST(TForm1Clicks, PanelToolsFollowTheirSources) {
  ClickFixture f;
  auto enabled = [&](const char* name) { return f.find<QToolButton>(name)->isEnabled(); };
  EXPECT_FALSE(enabled("ToolButton0a1"));
  EXPECT_FALSE(enabled("ToolButton0a2"));
  EXPECT_TRUE(enabled("ToolButton1a1"));
  EXPECT_FALSE(f.find<QWidget>("Image1")->isHidden());
  f.find<QAction>("TG_Gradient")->trigger();
  EXPECT_TRUE(enabled("ToolButton0a1"));
  EXPECT_EQ(f.find<QLabel>("RxLabel0b")->text(), QStringLiteral("(temporary gradient)"));
  f.find<QToolButton>("ToolButton0a1")->click();
  EXPECT_FALSE(enabled("ToolButton0a1"));
  EXPECT_EQ(f.previewPixel(3, 3), qcolor(kDeep));
  f.find<QToolButton>("ToolButton1a1")->click();
  EXPECT_FALSE(enabled("ToolButton1a1"));
  EXPECT_FALSE(enabled("ToolButton1a3"));
  EXPECT_TRUE(f.find<QWidget>("Image1")->isHidden());
}

// The widgets follow the document whichever way a command reaches it; here it comes straight to
// the document, with no window handler in between to redraw anything.
TEST(TForm1Clicks, WidgetsFollowCommandsThatReachTheDocumentDirectly) {
  ClickFixture f;
  auto enabled = [&](const char* name) { return f.find<QToolButton>(name)->isEnabled(); };
  const struct {
    const char* command;
    std::function<void()> run;
    std::function<bool()> shown;
  } rows[] = {
      {"colour", [&] { f.doc().setColor1(RGB(1, 2, 3)); },
       [&] {
         return f.find<QWidget>("ColorPanel1")->palette().color(QPalette::Window) ==
                QColor(1, 2, 3);
       }},
      {"arm", [&] { f.doc().armClickMode(ClickMode::ResizeWidth); },
       [&] { return f.modeButton()->isChecked(); }},
      {"gradient", [&] { f.doc().generateBackground(BackgroundKind::Vertical); },
       [&] {
         return enabled("ToolButton0a2") &&
                f.find<QLabel>("RxLabel0b")->text() == QStringLiteral("(temporary gradient)");
       }},
      {"clear center", [&] { f.doc().ClearCenter(); },
       [&] { return f.find<QWidget>("Image1")->isHidden() && !enabled("ToolButton1a1"); }},
      {"scale factor", [&] { f.doc().SetTileResizeFraction(80); },
       [&] { return f.find<QAction>("TR_GrowCustom")->text() == QStringLiteral("grow by 150%"); }},
      {"deep colour", [&] { f.doc().setDeepBackgroundColor(RGB(9, 8, 7)); },
       [&] {
         return f.previewPixel(3, 3) == QColor(9, 8, 7) &&
                f.find<QLabel>("Image0")->pixmap().toImage().pixelColor(5, 5) == QColor(9, 8, 7);
       }},
  };
  for (const auto& row : rows) {
    ASSERT_FALSE(row.shown()) << row.command << " shows before it runs";
    row.run();
    EXPECT_TRUE(row.shown()) << row.command;
  }
}

}  // namespace
}  // namespace tessora::testing
