#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QRegularExpression>
#include <QTest>
#include <QToolButton>

#include "imageio/image_files.h"
#include "ui/band_bar.h"
#include "ui_test_support.h"

namespace tessora::testing {
namespace {

QRect geometryOf(const FormFixture& f, const char* name) {
  const auto* w = f.find<QWidget>(name);
  return w != nullptr ? w->geometry() : QRect();
}

TEST(TForm1Layout, EveryComponentStandsWhereTheLayoutPutsIt) {
  FormFixture f;
  f.create();
  EXPECT_EQ(f.find<QWidget>("Surface")->size(), QSize(346, 433));
  EXPECT_EQ(f.form->windowTitle(), QStringLiteral("Tessora"));
  EXPECT_FALSE(f.form->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
  EXPECT_EQ(f.form->minimumSize(), f.form->maximumSize()) << "the window is not resizable";
  EXPECT_EQ(geometryOf(f, "MainPanel"), QRect(0, 0, 346, 233));
  EXPECT_EQ(geometryOf(f, "MainImage"), QRect(1, 1, 344, 231));
  EXPECT_EQ(geometryOf(f, "InfoLabel"), QRect(224, 236, 122, 23));
  EXPECT_EQ(geometryOf(f, "ColorPanel0"), QRect(0, 0, 33, 20));
  EXPECT_EQ(geometryOf(f, "ColorSwitchStaticText"), QRect(38, 0, 22, 25));
  EXPECT_EQ(geometryOf(f, "ColorPanel1"), QRect(64, 0, 33, 20));
  EXPECT_EQ(geometryOf(f, "CoolBar0"), QRect(1, 1, 159, 25));
  EXPECT_EQ(geometryOf(f, "CoolBar1"), QRect(1, 1, 149, 25));
  EXPECT_EQ(geometryOf(f, "RxLabel0b"), QRect(8, 32, 145, 25));
  EXPECT_EQ(geometryOf(f, "RxLabel1b"), QRect(6, 32, 145, 25));
  EXPECT_EQ(geometryOf(f, "Panel0I"), QRect(6, 60, 148, 100));
  EXPECT_EQ(geometryOf(f, "Image0"), QRect(4, 1, 144, 88));
  EXPECT_EQ(geometryOf(f, "Image1"), QRect(1, 1, 139, 88));
  EXPECT_EQ(geometryOf(f, "SaveBox0"), QRect(0, 3, 120, 19));
  EXPECT_TRUE(f.find<QWidget>("Image1")->isHidden());
  EXPECT_TRUE(f.find<QLabel>("InfoLabel")->text().isEmpty());
  // The document renders for the widgets as they stand.
  const Layout& layout = f.form->document().layout();
  const auto size = [](Size s) { return QSize(s.width, s.height); };
  EXPECT_EQ(size(layout.preview), f.find<QWidget>("MainImage")->size());
  EXPECT_EQ(size(layout.tilePanel), f.find<QWidget>("Panel0")->size());
  EXPECT_EQ(size(layout.centerFrame), f.find<QWidget>("Image1")->size());
  for (const char* name : {"ToolBar0a", "ToolBar0b", "ToolBar1a", "ToolBar1b", "SaveBox1",
                           "ToolButton0b0", "ToolButton1b0", "RxLabel0", "RxLabel1"}) {
    EXPECT_NE(f.find<QWidget>(name), nullptr) << name;
  }
  for (const char* name : {"ToolButton0a0", "ToolButton0a1", "ToolButton0a2", "ToolButton0a3",
                           "ToolButton1a0", "ToolButton1a1", "ToolButton1a2", "ToolButton1a3"}) {
    const auto* button = f.find<QToolButton>(name);
    ASSERT_NE(button, nullptr) << name;
    EXPECT_FALSE(button->icon().isNull()) << name;
  }
}

TEST(TForm1Layout, FormResizeCentresThePaletteAndSpacesThePanelsEvenly) {
  FormFixture f;
  f.create();
  // The layout's own numbers: Panel1 takes Panel0's width, gap 8.
  EXPECT_EQ(geometryOf(f, "Panel0"), QRect(8, 260, 161, 170));
  EXPECT_EQ(geometryOf(f, "Panel1"), QRect(177, 260, 161, 170));
  EXPECT_EQ(geometryOf(f, "PallettePanel"), QRect(124, 235, 97, 20));

  // 346 - 2 x 150 = 46, a third is 15.33: gap 15.
  f.find<QWidget>("Panel0")->resize(150, 170);
  f.form->FormResize();
  EXPECT_EQ(geometryOf(f, "Panel0"), QRect(15, 260, 150, 170));
  EXPECT_EQ(geometryOf(f, "Panel1"), QRect(180, 260, 150, 170));
  // An exact half goes to the even neighbour: (346 - 95) / 2 = 125.5 gives 126.
  f.find<QWidget>("PallettePanel")->resize(95, 20);
  f.form->FormResize();
  EXPECT_EQ(f.find<QWidget>("PallettePanel")->x(), 126);
}

std::vector<std::string> captions(const QMenu* menu, bool visibleOnly) {
  std::vector<std::string> out;
  for (const QAction* a : menu->actions()) {
    if (!visibleOnly || a->isVisible()) {
      out.push_back(a->text().toStdString());
    }
  }
  return out;
}

using Captions = std::vector<std::string>;

TEST(TForm1Layout, MenusCarryTheirCaptionsInOrderAndTheirFirstState) {
  FormFixture f;
  f.create();
  const QList<QAction*> top = f.form->menuBar()->actions();
  ASSERT_EQ(top.size(), 2);
  EXPECT_EQ(top[0]->text(), QStringLiteral("Main Image"));
  EXPECT_EQ(top[1]->text(), QStringLiteral("&Options"));
  EXPECT_EQ(captions(top[0]->menu(), false),
            (Captions{"Set as Wallpaper", "Copy to Clipboard", "Save As ..."}));
  EXPECT_FALSE(f.find<QAction>("MI_SetAsWallpaper")->icon().isNull());
  EXPECT_EQ(captions(top[1]->menu(), false),
            (Captions{"part of wallpaper under taskbar", "sound effects", "retain aspect ratio",
                      "show all tools", "about"}));
  EXPECT_TRUE(f.find<QAction>("O_SoundEffects")->isChecked());
  EXPECT_FALSE(f.find<QAction>("O_UseEntireDesktopArea")->isChecked());

  EXPECT_EQ(captions(f.find<QMenu>("SizingPopupMenu"), true), (Captions{"as is", "default"}));
  EXPECT_EQ(captions(f.find<QMenu>("TileGradientPopupMenu"), false),
            (Captions{"tile", "vertical gradient (2c)", "centered gradient (2c)", "halo (2c)",
                      "corner gradient"}));
  EXPECT_EQ(captions(f.find<QMenu>("TileGradientPopupMenu"), true).size(), 4U);
  EXPECT_EQ(captions(f.find<QMenu>("CSMPopupMenu"), true),
            (Captions{"resize height", "resize width", "mark transparent color"}));
  EXPECT_EQ(captions(f.find<QMenu>("TileResizePopupMenu"), true),
            (Captions{"shrink to 50%", "grow by 200%", "(click on panel...)"}));
  EXPECT_FALSE(f.find<QAction>("TR_ShrinkCustom")->isEnabled());
  EXPECT_FALSE(f.find<QAction>("TR_GrowCustom")->isVisible());
}

TEST(TForm1Layout, ShowAllToolsShowsFullAndCenteredGradientAndHidesThemAgain) {
  FormFixture f;
  f.create();
  QAction* option = f.find<QAction>("O_ShowAllTools");
  option->trigger();
  EXPECT_TRUE(f.form->document().options().showAllTools);
  EXPECT_TRUE(f.find<QAction>("Sizing_Full")->isVisible());
  EXPECT_TRUE(f.find<QAction>("TG_CenteredGradient")->isVisible());
  EXPECT_FALSE(f.find<QAction>("TR_GrowCustom")->isVisible());
  option->trigger();
  EXPECT_FALSE(f.find<QAction>("Sizing_Full")->isVisible());
  EXPECT_FALSE(f.find<QAction>("TG_CenteredGradient")->isVisible());

  FormFixture stored;
  stored.writeSettings("[program parameters]\r\nshow all tools=TRUE\r\n");
  stored.start();
  EXPECT_TRUE(stored.find<QAction>("O_ShowAllTools")->isChecked());
  EXPECT_TRUE(stored.find<QAction>("Sizing_Full")->isVisible());
  EXPECT_TRUE(stored.find<QAction>("TG_CenteredGradient")->isVisible());
}

void dragBand1(BandBar* bar, int grabX, int grabY, int dropY) {
  QTest::mousePress(bar, Qt::LeftButton, {}, QPoint(grabX, grabY));
  QTest::mouseRelease(bar, Qt::LeftButton, {}, QPoint(grabX, dropY));
}

TEST(TForm1Layout, PathLabelShowsExactlyWhileTheListBarSharesTheToolRow) {
  FormFixture f;
  f.create();
  auto* bar = f.find<BandBar>("CoolBar0");
  const QWidget* label = f.find<QWidget>("RxLabel0b");
  EXPECT_FALSE(label->isHidden());
  dragBand1(bar, 144, 10, 40);
  EXPECT_TRUE(bar->band1OnOwnRow());
  EXPECT_EQ(bar->height(), 50);
  EXPECT_TRUE(label->isHidden());
  EXPECT_FALSE(f.find<QWidget>("RxLabel1b")->isHidden()) << "the other panel is not touched";
  dragBand1(bar, 3, 35, 5);
  EXPECT_FALSE(bar->band1OnOwnRow());
  EXPECT_FALSE(label->isHidden());
  // A press beside the grip drags nothing.
  dragBand1(bar, 60, 10, 40);
  EXPECT_FALSE(bar->band1OnOwnRow());
}

TEST(TForm1Layout, StoredListBarStatesComeBackAndAreWrittenAtClose) {
  FormFixture f;
  f.writeSettings("[general]\r\nhide tessora directory bar=TRUE\r\n");
  f.start();
  EXPECT_TRUE(f.find<QWidget>("RxLabel1b")->isHidden());
  EXPECT_FALSE(f.find<QWidget>("RxLabel0b")->isHidden());
  dragBand1(f.find<BandBar>("CoolBar0"), 144, 10, 40);
  f.form->FormCloseQuery();
  const std::string ini = readFile(f.dir.file("Tessora.ini"));
  EXPECT_NE(ini.find("hide tile directory bar=TRUE"), std::string::npos) << ini;
  EXPECT_NE(ini.find("hide tessora directory bar=TRUE"), std::string::npos) << ini;
}

TEST(TForm1Layout, ShowInfoSetsTheStyleFontAndARenderHidesTheLabel) {
  FormFixture f;
  f.start();
  auto* info = f.find<QLabel>("InfoLabel");
  f.form->ShowInfo("INVALID", InfoStyle::Fixed);
  EXPECT_FALSE(info->isHidden());
  EXPECT_EQ(info->text(), QStringLiteral("INVALID"));
  EXPECT_TRUE(info->font().fixedPitch());
  EXPECT_EQ(info->font().pointSize(), 9);
  f.form->ShowInfo("Wallpaper has been set", InfoStyle::Small);
  EXPECT_EQ(info->text(), QStringLiteral("Wallpaper has been set"));
  EXPECT_FALSE(info->font().fixedPitch());
  EXPECT_EQ(info->font().pointSize(), 7);
  f.form->document().RenderComposition();
  EXPECT_TRUE(info->isHidden());
}

// Laying a text out in lines may put line breaks where blanks were: compare without either.
QString withoutBlanks(QString text) {
  return text.remove(QRegularExpression(QStringLiteral("\\s")));
}

TEST(TForm1Layout, AnInfoTextTooLongForTheLabelShowsItsStartAndTheWholeOnHover) {
  FormFixture f;
  f.start();
  const std::string folder = "/home/someone-with-a-long-name/.local/share/tessora/";
  const struct {
    std::string text;
    InfoStyle style;
  } rows[] = {
      {"Wallpaper has been set", InfoStyle::Small},
      {"INVALID", InfoStyle::Fixed},
      {"Wallpaper could not be set: The wallpaper was saved to " + folder +
           "Tessora Wallpaper.bmp but could not be installed automatically.\nGNOME: the "
           "setting org.gnome.desktop.background is not installed\nxfconf: no answer",
       InfoStyle::Small},
      {"Wallpaper could not be set: " + std::string(300, 'x'), InfoStyle::Small},
      {SavedInfoText(folder + "a-picture-with-a-name-far-too-long-for-two-lines-of-this.png"),
       InfoStyle::Small},
  };
  const QLabel& info = *f.find<QLabel>("InfoLabel");
  for (const auto& row : rows) {
    SCOPED_TRACE(row.text);
    f.form->ShowInfo(row.text, row.style);
    expectTextFits(info);
    const QString text = QString::fromStdString(row.text);
    EXPECT_EQ(info.toolTip(), text);
    const QString shown = withoutBlanks(info.text());
    if (shown != withoutBlanks(text)) {
      ASSERT_TRUE(shown.endsWith(QChar(0x2026))) << "an ellipsis tells there is more";
      EXPECT_TRUE(withoutBlanks(text).startsWith(shown.chopped(1)));
      EXPECT_GE(shown.size(), withoutBlanks(text.section(':', 0, 0)).size() + 1) << "the summary";
    }
  }
}

TEST(TForm1Layout, CuesPlayFromTheWavFolderBesideTheProgramOnlyWithSoundEffectsOn) {
  FormFixture f;
  f.start();
  ASSERT_FALSE(f.fake.sound->played.empty());
  EXPECT_EQ(f.fake.sound->played.back(), f.dir.path() + "/wav/ExamplePainted.wav");
  f.find<QAction>("O_SoundEffects")->trigger();
  EXPECT_FALSE(f.form->document().options().soundEffects);
  const std::size_t before = f.fake.sound->played.size();
  f.form->document().RenderComposition();
  f.form->PlayCue(Cue::Error);
  f.find<QAction>("MI_CopyToClipboard")->trigger();
  EXPECT_EQ(f.fake.sound->played.size(), before);
}

TEST(TForm1Layout, BusyStateDisablesTheWindowAndIsRestoredAfterEveryRender) {
  FormFixture f;
  f.start();
  f.form->SetBusy(true);
  EXPECT_FALSE(f.form->isEnabled());
  ASSERT_NE(QApplication::overrideCursor(), nullptr);
  EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
  f.form->SetBusy(false);
  EXPECT_TRUE(f.form->isEnabled());
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);

  f.find<QAction>("TG_Halo")->trigger();
  f.find<QAction>("Sizing_AsIs")->trigger();
  EXPECT_TRUE(f.form->isEnabled());
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

}  // namespace
}  // namespace tessora::testing
