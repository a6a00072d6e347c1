#include <gtest/gtest.h>

#include <QAction>
#include <QDropEvent>
#include <QMimeData>
#include <QTest>
#include <QToolButton>
#include <QUrl>
#include <filesystem>

#include "imageio/image_files.h"
#include "settings/text_helpers.h"
#include "ui_test_support.h"

namespace tessora::testing {
namespace {

/// A started window whose loader reads files named "*.good" as 40 x 30 blocks of a colour and
/// refuses every other file.
struct PanelFixture : FormFixture {
  PanelFixture() {
    create();
    form->document().setImageLoader([this](const std::string& path, Bitmap& target) {
      loaded.push_back(path);
      if (path.size() < 5 || path.compare(path.size() - 5, 5, ".good") != 0) {
        return Outcome::Failed("not a picture");
      }
      target.setSize(40, 30);
      target.setFillColor(RGB(0, 0, static_cast<int>(path.size())));
      target.fill();
      return Outcome::Done();
    });
  }
  std::string file(const std::string& name) const {
    writeFile(dir.file(name), "x");
    return dir.file(name);
  }
  std::vector<std::string> loaded;
};

/// A started window with the real image readers, and picture files written beside it.
struct FileFixture : FormFixture {
  FileFixture() { start(); }
  /// A `width` x `height` picture of one colour, written in the format its extension names.
  std::string picture(const std::string& name, int width, int height, TColor color) const {
    Bitmap bitmap(width, height);
    bitmap.setFillColor(color);
    bitmap.fill();
    const std::string path = dir.file(name);
    const std::string ext = ImageFileExtension(name);
    SaveComposed(path,
                 ext == ".png"   ? SaveFormat::Png
                 : ext == ".jpg" ? SaveFormat::Jpeg
                                 : SaveFormat::Bmp,
                 bitmap);
    return path;
  }
  void drop(const char* panel, const std::vector<std::string>& paths) const {
    QMimeData data;
    QList<QUrl> urls;
    for (const auto& p : paths) {
      urls.push_back(QUrl::fromLocalFile(QString::fromStdString(p)));
    }
    data.setUrls(urls);
    dropData(panel, data);
  }
  void dropData(const char* panel, QMimeData& data) const {
    QWidget* target = find<QWidget>(panel);
    QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent event(QPointF(50, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &event);
  }
  void pasteCenter(int width, int height, TColor color) {
    Bitmap clip(width, height);
    clip.setFillColor(color);
    clip.fill();
    fake.clipboard->content = clip;
    find<QToolButton>("ToolButton1a0")->click();
  }
  QString info() const { return find<QLabel>("InfoLabel")->text(); }
  Document& doc() const { return form->document(); }
};

TEST(TForm1Panels, ADropAssignsTheFirstFileOnlyAndListsItWhenItLoads) {
  FileFixture f;
  const std::string a = f.picture("a.png", 40, 30, RGB(10, 200, 30));
  f.drop("Panel1", {a, f.picture("b.bmp", 20, 20, clRed), f.picture("c.png", 9, 9, clRed)});
  EXPECT_EQ(f.doc().CenterBitmap().width(), 40);
  EXPECT_EQ(f.doc().CenterBitmap().pixel(5, 5), RGB(10, 200, 30));
  EXPECT_EQ(f.form->CenterRecentList().entries(), std::vector<std::string>{a});
  EXPECT_EQ(f.find<QComboBox>("SaveBox1")->currentText(), QStringLiteral("a.png"));
  EXPECT_EQ(f.find<QLabel>("RxLabel1b")->text(), QString::fromStdString(a));
  EXPECT_FALSE(f.find<QWidget>("Image1")->isHidden());
  EXPECT_EQ(readFile(f.dir.file("PATHS to tessoras.txt")), a + "\r\n");

  // A file manager that offers the dropped file only as text.
  const std::string tile = f.picture("tile one.bmp", 16, 8, RGB(1, 2, 3));
  QMimeData text;
  text.setText(QUrl::fromLocalFile(QString::fromStdString(tile)).toString() +
               QStringLiteral("\r\n"));
  f.dropData("Panel0", text);
  EXPECT_EQ(f.doc().TileBitmap().width(), 16);
  EXPECT_EQ(f.form->TileRecentList().entries(), std::vector<std::string>{tile});
  EXPECT_TRUE(f.find<QToolButton>("ToolButton0a1")->isEnabled());
}

TEST(TForm1Panels, AFileThatDoesNotLoadSaysInvalidAndChangesNothing) {
  FileFixture f;
  const std::string tile = f.picture("stone.png", 16, 8, RGB(1, 2, 3));
  f.drop("Panel0", {tile});
  const Bitmap before = f.doc().TileBitmap();
  const QImage shown = f.find<QLabel>("Image0")->pixmap().toImage();
  const std::size_t renders = f.fake.sound->played.size();
  const std::string notes = f.dir.file("notes.txt");
  writeFile(notes, "not a picture");
  const std::string cut = f.dir.file("cut.jpg");
  writeFile(cut, readFile(f.picture("whole.jpg", 64, 64, clRed)).substr(0, 300));

  for (const std::string& bad : {notes, cut}) {
    f.drop("Panel0", {bad});
    EXPECT_EQ(f.info(), QStringLiteral("INVALID")) << bad;
    EXPECT_EQ(f.fake.sound->played.back(), f.dir.path() + "/wav/Error.wav") << bad;
    EXPECT_TRUE(f.doc().TileBitmap().samePixels(before)) << bad;
    EXPECT_EQ(f.find<QLabel>("Image0")->pixmap().toImage(), shown) << bad;
    EXPECT_EQ(f.find<QLabel>("RxLabel0b")->text(), QString::fromStdString(tile)) << bad;
    EXPECT_EQ(f.form->TileRecentList().entries(), std::vector<std::string>{tile}) << bad;
  }
  EXPECT_EQ(f.fake.sound->played.size(), renders + 2) << "the error cues, and no render";
}

TEST(TForm1Panels, ANewCenterFileResetsTheSizingUnlessTheAspectIsRetainedAndAPasteKeepsIt) {
  for (const bool retain : {false, true}) {
    FileFixture f;
    if (retain) {
      f.find<QAction>("O_RetainAspectRatio")->trigger();
    }
    f.doc().setFractions(0, 0.4F);
    f.drop("Panel1", {f.picture("a.png", 40, 30, clRed)});
    EXPECT_EQ(f.doc().HeightFraction(), retain ? 0.4F : 0.618034F) << retain;
    EXPECT_EQ(f.doc().WidthFraction(), 0.0F) << retain;

    f.doc().setFractions(0, 0.4F);
    f.pasteCenter(50, 20, RGB(0, 0, 255));
    EXPECT_EQ(f.doc().HeightFraction(), 0.4F) << retain;
    EXPECT_EQ(f.doc().CenterBitmap().width(), 50) << retain;
    EXPECT_EQ(f.find<QLabel>("RxLabel1b")->text(), QString::fromStdString(f.dir.file("a.png")))
        << "a paste leaves the path label";
  }
}

TEST(TForm1Panels, ClearingResetsTheSourcesButKeepsTheirPathLabels) {
  FileFixture f;
  const std::string tile = f.picture("stone.png", 16, 8, RGB(1, 2, 3));
  f.drop("Panel0", {tile});
  f.find<QToolButton>("ToolButton0a1")->click();
  const Bitmap& cleared = f.doc().TileBitmap();
  EXPECT_EQ(cleared.width(), 161);
  EXPECT_EQ(cleared.height(), 170);
  EXPECT_EQ(cleared.pixel(160, 169), ColorToRGB(f.doc().DeepBackgroundColor()));
  EXPECT_FALSE(f.find<QToolButton>("ToolButton0a1")->isEnabled());
  EXPECT_FALSE(f.find<QToolButton>("ToolButton0a2")->isEnabled());
  EXPECT_EQ(f.find<QLabel>("RxLabel0b")->text(), QString::fromStdString(tile));
  EXPECT_EQ(f.find<QLabel>("RxLabel0")->text(), QStringLiteral("(drop a tile)"));

  // A transparent colour marked on a pasted center image outlives the clear for the next paste;
  // a loaded file starts without one.
  f.pasteCenter(800, 600, clRed);
  f.find<QAction>("CSM_NCMakeColorTransparent")->trigger();
  QTest::mousePress(f.find<QWidget>("MainImage"), Qt::LeftButton, {}, QPoint(172, 115));
  ASSERT_TRUE(f.doc().CenterBitmap().transparent());
  f.find<QToolButton>("ToolButton1a1")->click();
  EXPECT_TRUE(f.doc().CenterBitmap().empty());
  EXPECT_TRUE(f.find<QWidget>("Image1")->isHidden());
  EXPECT_FALSE(f.find<QToolButton>("ToolButton1a1")->isEnabled());
  EXPECT_FALSE(f.find<QToolButton>("ToolButton1a3")->isEnabled());
  EXPECT_EQ(f.previewPixel(172, 115), qcolor(ColorToRGB(f.doc().DeepBackgroundColor())));
  EXPECT_EQ(f.find<QLabel>("RxLabel1")->text(), QStringLiteral("(drop a tessora)"));
  f.pasteCenter(800, 600, clRed);
  EXPECT_EQ(f.previewPixel(172, 115), qcolor(ColorToRGB(f.doc().DeepBackgroundColor())));
  f.drop("Panel1", {f.picture("red.png", 800, 600, clRed)});
  EXPECT_FALSE(f.doc().CenterBitmap().transparent());
  EXPECT_EQ(f.previewPixel(172, 115), QColor(255, 0, 0));
}

TEST(TForm1Panels, DoubleClickOnAPictureStepsBackThroughItsList) {
  PanelFixture f;
  const std::string first = f.file("first.good");
  const std::string second = f.file("second-one.good");
  writeFile(f.dir.file("PATHS to tiles.txt"), first + "\r\n" + second + "\r\n");
  f.form->FormActivate();
  ASSERT_EQ(f.form->TileRecentList().entries(), (std::vector<std::string>{first, second}));
  QTest::mouseDClick(f.find<QWidget>("Image0"), Qt::LeftButton);
  EXPECT_EQ(f.form->TileRecentList().entries(), std::vector<std::string>{second});
  EXPECT_EQ(f.loaded.back(), second);
  EXPECT_EQ(f.find<QLabel>("RxLabel0b")->text(), QString::fromStdString(second));

  QTest::mouseDClick(f.find<QWidget>("Image0"), Qt::LeftButton);
  EXPECT_TRUE(f.form->TileRecentList().entries().empty());
  EXPECT_EQ(f.find<QComboBox>("SaveBox0")->currentIndex(), -1);
  EXPECT_FALSE(f.find<QToolButton>("ToolButton0a1")->isEnabled()) << "the panel is reset";
  EXPECT_EQ(f.form->document().TileBitmap().width(), 161);
}

TEST(TForm1Panels, DoubleClickWithAnEmptyListIsReportedAndChangesNothing) {
  PanelFixture f;
  f.form->FormActivate();
  f.find<QAction>("TG_Gradient")->trigger();
  const Bitmap before = f.form->document().TileBitmap();
  QTest::mouseDClick(f.find<QWidget>("Image0"), Qt::LeftButton);
  EXPECT_EQ(f.dialogs.errors, std::vector<std::string>{"List index out of bounds (-1)"});
  EXPECT_TRUE(f.form->document().TileBitmap().samePixels(before));
  EXPECT_EQ(f.find<QLabel>("RxLabel0b")->text(), QStringLiteral("(temporary gradient)"));
}

TEST(TForm1Panels, PickingFromTheListMovesTheEntryToTheTopAndLoadsIt) {
  PanelFixture f;
  std::vector<std::string> files;
  std::string list;
  for (const char* name : {"1.good", "2.good", "3.good", "4.good", "5.good"}) {
    files.push_back(f.file(name));
    list += files.back() + "\r\n";
  }
  writeFile(f.dir.file("PATHS to tessoras.txt"), list);
  f.form->FormActivate();
  QComboBox* box = f.find<QComboBox>("SaveBox1");
  box->setCurrentIndex(2);
  emit box->activated(2);
  EXPECT_EQ(f.loaded.back(), files[2]);
  EXPECT_EQ(f.form->CenterRecentList().entries(),
            (std::vector<std::string>{files[2], files[0], files[1], files[3], files[4]}));
  EXPECT_EQ(box->currentIndex(), 0);
}

TEST(TForm1Panels, TheFolderButtonWithNothingSelectedOpensTheFirstEntrysFolderWithoutLoading) {
  PanelFixture f;
  std::filesystem::create_directory(f.dir.file("one"));
  std::filesystem::create_directory(f.dir.file("two"));
  const std::string first = f.file("one/a.good");
  writeFile(f.dir.file("PATHS to tessoras.txt"), first + "\r\n" + f.file("two/b.good") + "\r\n");
  f.form->FormActivate();
  const std::size_t loads = f.loaded.size();
  QComboBox* box = f.find<QComboBox>("SaveBox1");
  box->setCurrentIndex(-1);
  f.find<QToolButton>("ToolButton1b0")->click();
  EXPECT_EQ(f.fake.shell->folders, std::vector<std::string>{f.dir.path() + "/one/"});
  EXPECT_EQ(f.fake.sound->played.back(), f.dir.path() + "/wav/OpenFolder.wav");
  EXPECT_EQ(box->currentIndex(), 0);
  EXPECT_EQ(f.loaded.size(), loads) << "opening the folder loads nothing";
}

TEST(TForm1Panels, PressesOnTheTilePanelPickTheCustomScaleAndTheBareTileItsColour) {
  PanelFixture f;
  f.form->FormActivate();
  QAction* shrink = f.find<QAction>("TR_ShrinkCustom");
  QAction* grow = f.find<QAction>("TR_GrowCustom");
  QTest::mousePress(f.find<QWidget>("Panel0"), Qt::RightButton, {}, QPoint(80, 150));
  EXPECT_EQ(shrink->text(), QStringLiteral("shrink to 50%"));
  EXPECT_EQ(grow->text(), QStringLiteral("grow by 150%"));
  EXPECT_TRUE(shrink->isEnabled());
  EXPECT_TRUE(grow->isVisible());
  EXPECT_TRUE(f.dialogs.presets.empty()) << "the bare panel asks for no colour";

  // Panel0I stands at x = 6 and Image0 at 4 within it: 150 + 6 + 4 = 160 of 161.
  QTest::mousePress(f.find<QWidget>("Image0"), Qt::LeftButton, {}, QPoint(150, 10));
  EXPECT_EQ(shrink->text(), QStringLiteral("shrink to 99%"));
  ASSERT_EQ(f.dialogs.presets.size(), 1U) << "a cleared tile asks for the deep colour";
  EXPECT_EQ(f.dialogs.presets[0], f.form->document().DeepBackgroundColor());
  f.dialogs.chosenColor = RGB(9, 8, 7);
  QTest::mousePress(f.find<QWidget>("Panel0I"), Qt::LeftButton, {}, QPoint(74, 95));
  EXPECT_EQ(grow->text(), QStringLiteral("grow by 150%"));
  EXPECT_EQ(f.dialogs.presets.size(), 1U);
  QTest::mousePress(f.find<QWidget>("Image0"), Qt::LeftButton, {}, QPoint(70, 10));
  EXPECT_EQ(f.form->document().DeepBackgroundColor(), RGB(9, 8, 7));
  EXPECT_EQ(f.previewPixel(3, 3), QColor(9, 8, 7));

  f.find<QAction>("TG_Tile")->trigger();
  f.find<QAction>("TR_ShrinkCustom")->trigger();
  EXPECT_EQ(f.form->document().TileBitmap().width(), 80);
  EXPECT_EQ(f.form->document().TileBitmap().height(), 84);
  f.find<QAction>("TR_Double")->trigger();
  EXPECT_EQ(f.form->document().TileBitmap().width(), 160);
  f.dialogs.chosenColor = RGB(1, 1, 1);
  QTest::mousePress(f.find<QWidget>("Image0"), Qt::LeftButton, {}, QPoint(70, 10));
  EXPECT_EQ(f.form->document().DeepBackgroundColor(), RGB(9, 8, 7)) << "a tile asks for nothing";
}

// A path label has room for two short lines of the shortened path: however long the folders,
// the name part of that shortened path shows whole, and the whole path is on hover. Only a name
// wider than the label itself gives way in its middle, keeping its start and its type.
TEST(TForm1Panels, APathLabelShowsTheFileNameWholeWhateverThePath) {
  const std::string longName = "IMG_20230817_183412_HDR_panorama_stitched_final_version_two_4k";
  const struct {
    std::string file;
    bool nameFits;
  } rows[] = {
      {"stone.good", true},
      {"Pictures/Wallpapers/Holiday 2023 - Greece and the islands/Santorini at sunset.good", true},
      {"a/b/c/d/e/f/g/h/i/j/k/l/m/n/o/p/q/r/s/t/u/v/w/x/y/z/0/1/2/3/4/5/6/7/8/9/tile.good", true},
      {"averyveryverylongfoldernamewithoutanyblanks/anotherquitelongfoldername/moss.good", true},
      {"p/" + longName + ".good", true},
      {"p/" + std::string(200, 'W') + ".good", false},
  };
  for (const auto& row : rows) {
    PanelFixture f;
    std::filesystem::create_directories(std::filesystem::path(f.dir.file(row.file)).parent_path());
    const std::string path = f.file(row.file);
    writeFile(f.dir.file("PATHS to tiles.txt"), path + "\r\n");
    writeFile(f.dir.file("PATHS to tessoras.txt"), path + "\r\n");
    f.form->FormActivate();
    const std::string shortened = ShortenText(path, 74);
    const QString name = QString::fromStdString(shortened.substr(shortened.rfind('/') + 1));
    for (const char* label : {"RxLabel0b", "RxLabel1b"}) {
      const QLabel& shown = *f.find<QLabel>(label);
      SCOPED_TRACE(std::string(label) + " " + shortened);
      expectTextFits(shown);
      const QString text = QString(shown.text()).remove('\n');
      EXPECT_TRUE(row.nameFits ? text.contains(name)
                               : text.startsWith(name.left(8)) && text.endsWith(name.right(8)))
          << shown.text().toStdString();
      EXPECT_EQ(shown.toolTip(), QString::fromStdString(path));
    }
  }
}

}  // namespace
}  // namespace tessora::testing
