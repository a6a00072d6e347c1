#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QDropEvent>
#include <QMimeData>
#include <QStyle>
#include <QStyleFactory>
#include <QTest>
#include <QToolButton>
#include <QUrl>

#include "imageio/image_files.h"
#include "support/pictures.h"
#include "ui/about_box.h"
#include "ui/click_label.h"
#include "ui/drop_highlight.h"
#include "ui/glyphs.h"
#include "ui_test_support.h"

namespace tessora::testing {
namespace {

/// A started window with picture files written beside it.
struct ReachFixture : FormFixture {
  ReachFixture() { start(); }
  std::string picture(const std::string& name, int width) const {
    SaveComposed(dir.file(name), SaveFormat::Png, Solid(width, 10, clRed));
    return dir.file(name);
  }
  /// Waits until the source holds a picture `width` wide.
  bool shows(Source source, int width) const {
    const Document& doc = form->document();
    return WaitUntil([&] {
      return (source == Source::Center ? doc.CenterBitmap() : doc.TileBitmap()).width() == width;
    });
  }
};

TEST(TForm1Reachable, ControlsPicturesAndReportsSayWhatTheyAreAndShow) {
  ReachFixture f;
  int controls = 0;
  for (QWidget* w : f.form->findChildren<QWidget*>()) {
    // Qt's own parts (the menu bar's overflow button) are left to Qt.
    if (!w->objectName().startsWith(QStringLiteral("qt_")) &&
        (qobject_cast<QAbstractButton*>(w) || qobject_cast<QComboBox*>(w) ||
         qobject_cast<ClickLabel*>(w))) {
      ++controls;
      EXPECT_FALSE(w->accessibleName().isEmpty() || w->toolTip().isEmpty())
          << w->objectName().toStdString();
    }
  }
  EXPECT_EQ(controls, 15) << "ten tool buttons, two lists, two swatches, the swap symbol";
  EXPECT_EQ(f.find<QWidget>("Image0")->accessibleDescription(),
            QStringLiteral("Tile picture: none"));
  const std::string tile = f.picture("stone.png", 12);
  f.form->FileDrop0FileDroped({tile});
  ASSERT_TRUE(f.shows(Source::Tile, 12));
  EXPECT_EQ(f.find<QWidget>("Image0")->accessibleDescription(),
            QStringLiteral("Tile picture: ") + QString::fromStdString(tile));

  // A failed load still says only "INVALID"; which file and why are a hover away.
  const std::string gone = f.dir.file("gone.png");
  Bitmap unused;
  const QString detail = QString::fromStdString(gone + ": " + LoadImageFile(gone, unused).reason());
  f.form->FileDrop1FileDroped({gone});
  const auto* info = f.find<QLabel>("InfoLabel");
  ASSERT_TRUE(WaitUntil([&] { return info->text() == QStringLiteral("INVALID"); }));
  EXPECT_EQ(info->toolTip(), detail);
  EXPECT_EQ(info->accessibleDescription(), detail);
}

TEST(TForm1Reachable, KeysReachEveryCommandAndTabEveryControlInReadingOrder) {
  ReachFixture f;
  const std::pair<const char*, const char*> keys[] = {
      {"MI_CopyToClipboard", "Ctrl+C"},
      {"MI_SaveAs", "Ctrl+S"},
      {"O_About", "F1"},
      {"K_OpenCenterPicture", "Ctrl+O"},
      {"K_OpenTilePicture", "Ctrl+Shift+O"},
      {"K_PasteCenterPicture", "Ctrl+V"},
      {"K_PasteTilePicture", "Ctrl+Shift+V"},
  };
  for (const auto& [action, sequence] : keys) {
    EXPECT_EQ(f.find<QAction>(action)->shortcut(), QKeySequence(QString::fromLatin1(sequence)))
        << action;
  }
  // An opened file takes the way of a dropped one; a cancelled dialog changes nothing.
  f.dialogs.openChoice = f.picture("open.png", 21);
  f.find<QAction>("K_OpenTilePicture")->trigger();
  EXPECT_TRUE(f.shows(Source::Tile, 21));
  EXPECT_EQ(f.form->TileRecentList().entries(), std::vector<std::string>{*f.dialogs.openChoice});
  f.dialogs.openChoice.reset();
  f.find<QAction>("K_OpenCenterPicture")->trigger();
  EXPECT_EQ(f.dialogs.openRequests.size(), 2U);
  EXPECT_TRUE(f.form->document().CenterBitmap().empty());
  f.fake.clipboard->content = Solid(9, 9, clRed);
  f.find<QAction>("K_PasteCenterPicture")->trigger();
  EXPECT_EQ(f.form->document().CenterBitmap().width(), 9);

  std::vector<std::string> order;
  QWidget* w = f.find<QWidget>("ColorPanel0");
  do {
    if ((w->focusPolicy() & Qt::TabFocus) != 0 && w->window() == f.form.get()) {
      order.push_back(w->objectName().toStdString());
    }
    w = w->nextInFocusChain();
  } while (w != f.find<QWidget>("ColorPanel0"));
  EXPECT_EQ(order, (std::vector<std::string>{"ColorPanel0", "ColorSwitchStaticText", "ColorPanel1",
                                             "ToolButton0a0", "ToolButton0a1", "ToolButton0a2",
                                             "ToolButton0a3", "SaveBox0", "ToolButton0b0",
                                             "ToolButton1a0", "ToolButton1a1", "ToolButton1a2",
                                             "ToolButton1a3", "SaveBox1", "ToolButton1b0"}));
  f.dialogs.chosenColor = RGB(1, 2, 3);
  QTest::keyClick(f.find<QWidget>("ColorPanel1"), Qt::Key_Space);
  EXPECT_EQ(f.form->document().color1(), RGB(1, 2, 3));
}

TEST(TForm1Reachable, ThePreviewTakesDropsForTheCenterAndEveryTargetShowsADragOverIt) {
  ReachFixture f;
  const std::string photo = f.picture("photo.png", 33);
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(QString::fromStdString(photo))});
  const auto dragOver = [&](QWidget* w) {
    QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w, &enter);
    const auto* highlight = w->findChild<DropHighlight*>(QString(), Qt::FindDirectChildrenOnly);
    return enter.isAccepted() && highlight != nullptr && !highlight->isHidden();
  };
  for (const char* target : {"Panel0", "Panel1", "MainImage"}) {
    QWidget* w = f.find<QWidget>(target);
    EXPECT_TRUE(dragOver(w)) << target;
    QDragLeaveEvent leave;
    QApplication::sendEvent(w, &leave);
    EXPECT_TRUE(w->findChild<DropHighlight*>()->isHidden()) << target;
  }
  QWidget* preview = f.find<QWidget>("MainImage");
  EXPECT_TRUE(dragOver(preview));
  QDropEvent drop(QPointF(20, 20), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(preview, &drop);
  EXPECT_TRUE(preview->findChild<DropHighlight*>()->isHidden());
  EXPECT_TRUE(f.shows(Source::Center, 33));
  EXPECT_EQ(f.form->CenterRecentList().entries(), std::vector<std::string>{photo});
}

// Fusion on a dark palette paints from the palette; a style sheet paints every background its own
// way. The swatches keep their colours either way, and the black glyphs take the text colour.
TEST(TForm1Reachable, SwatchesAndGlyphsStayVisibleOnADarkPalette) {
  App();
  const QString oldStyle = QApplication::style()->name();
  const QPalette oldPalette = QApplication::palette();
  QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
  QPalette dark;
  for (const auto role : {QPalette::Window, QPalette::Base, QPalette::Button}) {
    dark.setColor(role, QColor(35, 35, 35));
  }
  for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
    dark.setColor(role, QColor(230, 230, 230));
  }
  QApplication::setPalette(dark);
  ReachFixture f;
  f.form->document().setColor0(RGB(200, 30, 40));
  for (const QString& sheet : {QString(), QStringLiteral("QWidget { background: #232323; }")}) {
    f.form->setStyleSheet(sheet);
    const QImage shot = f.form->grab().toImage();
    for (const auto& [name, color] : {std::pair{"ColorPanel0", RGB(200, 30, 40)},
                                      std::pair{"ColorPanel1", f.form->document().color1()}}) {
      const QWidget* swatch = f.find<QWidget>(name);
      EXPECT_EQ(shot.pixelColor(swatch->mapTo(f.form.get(), swatch->rect().center())),
                qcolor(ColorToRGB(color)))
          << name << " " << sheet.toStdString();
    }
  }
  const QImage cross = f.find<QToolButton>("ToolButton1a1")->icon().pixmap(16, 16).toImage();
  EXPECT_EQ(cross.pixelColor(8, 8), QColor(230, 230, 230));
  QApplication::setPalette(oldPalette);
  QApplication::setStyle(oldStyle);
}

TEST(TForm1Reachable, TheAboutBoxHasNeitherMinimiseNorMaximiseBox) {
  App();
  FakeShell shell;
  const TAboutBox box(nullptr, shell, "/nonexistent/", ApplicationIconImage());
  EXPECT_TRUE(box.windowFlags().testFlag(Qt::WindowCloseButtonHint));
  EXPECT_FALSE(box.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
}

}  // namespace
}  // namespace tessora::testing
