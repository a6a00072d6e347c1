#include <gtest/gtest.h>

#include <QAction>
#include <QTest>
#include <QToolButton>
#include <filesystem>

#include "engine/rounding.h"
#include "imageio/bmp_codec.h"
#include "ui_test_support.h"

namespace tessora::testing {
namespace {

TEST(TForm1Startup, FirstRunCentresTheWindowOnTheScreen) {
  FormFixture f;
  f.create();
  const QSize outer = f.form->frameGeometry().size();
  EXPECT_EQ(f.form->x(), RoundInt((1024 - outer.width()) / 2.0L));
  EXPECT_EQ(f.form->y(), RoundInt((768 - outer.height()) / 2.0L));
  EXPECT_EQ(f.form->SettingsPath(), f.dir.path() + "/Tessora.ini");
  EXPECT_FALSE(std::filesystem::exists(f.form->SettingsPath())) << "creation writes nothing";
}

TEST(TForm1Startup, StoredPositionsAreKeptOrPulledBackOnScreen) {
  const struct {
    const char* ini;
    QPoint expected;
  } rows[] = {
      {"[general]\r\ntop of form=-30\r\nleft of form=100\r\n", QPoint(100, 0)},
      {"[general]\r\ntop of form=748\r\nleft of form=1004\r\n", QPoint(1004, 748)},
      {"[general]\r\ntop of form=749\r\nleft of form=1005\r\n", QPoint(0, 0)},
      {"[program parameters]\r\nuse sound effects=FALSE\r\n", QPoint(5, 5)},
  };
  for (const auto& row : rows) {
    FormFixture f;
    f.writeSettings(row.ini);
    f.create();
    EXPECT_EQ(f.form->pos(), row.expected) << row.ini;
  }
}

TEST(TForm1Startup, ABadSettingsValueIsReportedOnceTheLoopRunsAndTheWindowStillComes) {
  FormFixture f;
  f.writeSettings(
      "[general]\r\ntop of form=-30\r\nleft of form=zz\r\n[program parameters]\r\n"
      "use sound effects=FALSE\r\n");
  f.create();
  EXPECT_TRUE(f.dialogs.errors.empty());
  QCoreApplication::processEvents();
  ASSERT_EQ(f.dialogs.errors.size(), 1U);
  EXPECT_EQ(f.dialogs.errors[0], "'zz' is not a valid integer value");
  EXPECT_EQ(f.form->y(), -30) << "no clamping after a failed read";
  EXPECT_FALSE(f.form->document().options().soundEffects) << "the keys after the bad one count";
}

TEST(TForm1Startup, StartWithEmptyListsShowsTheDeepColourAlone) {
  FormFixture f;
  f.writeSettings("[program parameters]\r\ndeep background color=$00563412\r\n");
  f.start();
  EXPECT_TRUE(f.form->started());
  EXPECT_TRUE(std::filesystem::exists(f.dir.file("PATHS to tiles.txt")));
  EXPECT_TRUE(std::filesystem::exists(f.dir.file("PATHS to tessoras.txt")));
  for (const char* box : {"SaveBox0", "SaveBox1"}) {
    EXPECT_EQ(f.find<QComboBox>(box)->count(), 0) << box;
    EXPECT_EQ(f.find<QComboBox>(box)->placeholderText(), QStringLiteral("no paths stored"));
  }
  EXPECT_EQ(f.find<QLabel>("RxLabel0")->text(), QStringLiteral("(drop a tile)"));
  EXPECT_EQ(f.find<QLabel>("RxLabel1")->text(), QStringLiteral("(drop a tessora)"));
  for (const char* hint : {"RxLabel0", "RxLabel1"}) {
    EXPECT_TRUE(f.find<QLabel>(hint)->toolTip().contains(QStringLiteral("HEIF/HEIC"))) << hint;
  }
  EXPECT_EQ(f.previewPixel(172, 115), QColor(18, 52, 86));
  EXPECT_EQ(f.find<QLabel>("Image0")->pixmap().toImage().pixelColor(10, 10), QColor(18, 52, 86));
  EXPECT_EQ(f.form->document().ComposedBitmap().width(), 1024);
  EXPECT_EQ(f.form->document().HeightFraction(), 0.618034F);
  EXPECT_FALSE(f.find<QToolButton>("ToolButton0a1")->isEnabled());
  EXPECT_TRUE(f.find<QToolButton>("ToolButton1a1")->isEnabled());
  EXPECT_FALSE(f.form->ClipboardUsed());

  // Later activations (after the about box, say) change nothing.
  const std::size_t cues = f.fake.sound->played.size();
  f.form->FormActivate();
  EXPECT_EQ(f.fake.sound->played.size(), cues);
}

TEST(TForm1Startup, StartWithStoredListsLoadsTheLastTileAndCenterImage) {
  FormFixture f;
  const std::string stone = f.dir.file("stone.bmp");
  const std::string moss = f.dir.file("moss.old.png");
  const std::string sun = f.dir.file("sun.jpg");
  for (const auto& file : {stone, moss, sun}) {
    writeFile(file, "x");
  }
  writeFile(f.dir.file("PATHS to tiles.txt"),
            moss + "\r\n" + f.dir.file("gone.png") + "\r\n" + stone + "\r\n");
  writeFile(f.dir.file("PATHS to tessoras.txt"), sun + "\r\n");
  f.create();
  std::vector<std::string> loaded;
  f.form->document().setImageLoader([&](const std::string& path, Bitmap& target) {
    loaded.push_back(path);
    target.setSize(40, 30);
    target.setFillColor(path == sun ? RGB(0, 200, 0) : RGB(200, 0, 0));
    target.fill();
    return Outcome::Done();
  });
  f.form->FormActivate();
  EXPECT_EQ(loaded, (std::vector<std::string>{moss, sun}));
  EXPECT_EQ(f.form->TileRecentList().entries(), (std::vector<std::string>{moss, stone}));
  EXPECT_EQ(f.find<QComboBox>("SaveBox0")->currentIndex(), 0);
  EXPECT_EQ(f.find<QComboBox>("SaveBox0")->currentText(), QStringLiteral("moss.old.png"));
  EXPECT_EQ(f.find<QLabel>("RxLabel0b")->text(), QString::fromStdString(moss));
  EXPECT_FALSE(f.find<QWidget>("Image1")->isHidden());
  EXPECT_EQ(f.previewPixel(5, 5), QColor(200, 0, 0));
  EXPECT_EQ(f.previewPixel(172, 115), QColor(0, 200, 0));
  EXPECT_EQ(readFile(f.dir.file("PATHS to tiles.txt")), moss + "\r\n" + stone + "\r\n");
}

TEST(TForm1Startup, TheSwapSymbolFallsBackWithoutTheSymbolFont) {
  FormFixture plain;
  plain.start();
  const auto* swap = plain.find<QLabel>("ColorSwitchStaticText");
  EXPECT_EQ(swap->text(), QStringLiteral("<->"));
  EXPECT_EQ(swap->y(), 4);

  FormFixture symbol;
  symbol.fake.desktop->fonts = {"Webdings"};
  symbol.start();
  EXPECT_EQ(symbol.find<QLabel>("ColorSwitchStaticText")->text(), QStringLiteral("`"));
  EXPECT_EQ(symbol.find<QLabel>("ColorSwitchStaticText")->y(), 0);
}

TEST(TForm1Startup, CloseWritesTheSettingsAndAsksAboutTheClipboardOnlyAfterACopy) {
  FormFixture f;
  f.start();
  f.form->move(40, 50);
  f.find<QAction>("O_RetainAspectRatio")->trigger();
  EXPECT_TRUE(f.form->close());
  EXPECT_TRUE(f.dialogs.questions.empty());
  const std::string ini = readFile(f.dir.file("Tessora.ini"));
  EXPECT_NE(ini.find("top of form=50"), std::string::npos) << ini;
  EXPECT_NE(ini.find("left of form=40"), std::string::npos) << ini;
  EXPECT_NE(ini.find("retain aspect ratio=TRUE"), std::string::npos) << ini;

  for (const bool yes : {false, true}) {
    FormFixture c;
    c.start();
    c.find<QAction>("MI_CopyToClipboard")->trigger();
    ASSERT_TRUE(c.fake.clipboard->content.has_value());
    EXPECT_TRUE(c.form->ClipboardUsed());
    c.dialogs.answerYes = yes;
    EXPECT_TRUE(c.form->close());
    ASSERT_EQ(c.dialogs.questions.size(), 1U);
    EXPECT_EQ(c.dialogs.questions[0],
              QStringLiteral("Tessora is closing | Do you want to clear the clipboard (to save "
                             "system resources)?"));
    EXPECT_EQ(c.fake.clipboard->content.has_value(), !yes);
  }
}

TEST(TForm1Startup, AFailedSettingsWriteIsReportedAndTheWindowStillCloses) {
  FormFixture f;
  f.start();
  std::filesystem::create_directory(f.dir.file("Tessora.ini"));
  EXPECT_TRUE(f.form->close());
  ASSERT_EQ(f.dialogs.errors.size(), 1U);
  EXPECT_EQ(f.dialogs.errors[0],
            "Unable to write to " + f.dir.file("Tessora.ini") + ": it is not a regular file");
}

TEST(TForm1Startup, TheFolderButtonOpensTheSelectedEntrysFolderWithoutLoadingIt) {
  FormFixture f;
  std::filesystem::create_directory(f.dir.file("tiles"));
  const std::string stone = f.dir.file("tiles/stone.bmp");
  SaveBmpFile(stone, Bitmap(3, 2));
  writeFile(f.dir.file("PATHS to tiles.txt"), stone + "\r\n");
  f.start();
  f.find<QToolButton>("ToolButton1b0")->click();
  EXPECT_TRUE(f.fake.shell->folders.empty()) << "an empty list opens nothing";
  f.find<QToolButton>("ToolButton0b0")->click();
  EXPECT_EQ(f.fake.shell->folders, (std::vector<std::string>{f.dir.path() + "/tiles/"}));
  EXPECT_EQ(f.fake.sound->played.back(), f.dir.path() + "/wav/OpenFolder.wav");
}

}  // namespace
}  // namespace tessora::testing
