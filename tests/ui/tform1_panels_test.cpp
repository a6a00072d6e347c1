#include <gtest/gtest.h>

#include <QAction>
#include <QDropEvent>
#include <QMimeData>
#include <QTest>
#include <QToolButton>
#include <QUrl>

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
        return false;
      }
      target.setSize(40, 30);
      target.setFillColor(RGB(0, 0, static_cast<int>(path.size())));
      target.fill();
      return true;
    });
  }
  std::string file(const std::string& name) const {
    writeFile(dir.file(name), "x");
    return dir.file(name);
  }
  void drop(const char* panel, const std::vector<std::string>& paths) const {
    QMimeData data;
    QList<QUrl> urls;
    for (const auto& p : paths) {
      urls.push_back(QUrl::fromLocalFile(QString::fromStdString(p)));
    }
    data.setUrls(urls);
    QWidget* target = find<QWidget>(panel);
    QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent event(QPointF(50, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &event);
  }
  std::vector<std::string> loaded;
};

TEST(TForm1Panels, ADropAssignsTheFirstFileOnlyAndListsItWhenItLoads) {
  PanelFixture f;
  f.form->FormActivate();
  const std::string a = f.file("a.good");
  f.drop("Panel1", {a, f.file("b.good"), f.file("c.good")});
  EXPECT_EQ(f.loaded, std::vector<std::string>{a});
  EXPECT_EQ(f.form->CenterRecentList().entries(), std::vector<std::string>{a});
  EXPECT_EQ(f.find<QComboBox>("SaveBox1")->currentText(), QStringLiteral("a.good"));
  EXPECT_EQ(f.find<QLabel>("RxLabel1b")->text(), QString::fromStdString(a));
  EXPECT_FALSE(f.find<QWidget>("Image1")->isHidden());
  EXPECT_EQ(readFile(f.dir.file("PATHS to tessoras.txt")), a + "\r\n");

  const Bitmap before = f.form->document().TileBitmap();
  f.drop("Panel0", {f.file("notes.txt")});
  EXPECT_TRUE(f.form->TileRecentList().entries().empty()) << "a failed load is not listed";
  EXPECT_TRUE(f.form->document().TileBitmap().samePixels(before));
  EXPECT_FALSE(f.find<QToolButton>("ToolButton0a1")->isEnabled());
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

}  // namespace
}  // namespace tessora::testing
