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
  std::string picture(const std::string& name, int width, TColor color) const {
    Bitmap bitmap(width, 10);
    bitmap.setFillColor(color);
    bitmap.fill();
    SaveComposed(dir.file(name), SaveFormat::Png, bitmap);
    return dir.file(name);
  }
  /// Waits until the document holds a picture `width` wide as the center image (or the tile).
  bool shows(Source source, int width) const {
    const Document& doc = form->document();
    return QTest::qWaitFor([&] {
      return (source == Source::Center ? doc.CenterBitmap() : doc.TileBitmap()).width() == width;
    });
  }
};

TEST(TForm1Reachable, EveryControlHasANameAndATooltipAndThePicturesSayWhatTheyShow) {
  ReachFixture f;
  int controls = 0;
  // Qt's own parts (the menu bar's overflow button) are left to Qt.
  for (QWidget* w : f.form->findChildren<QWidget*>()) {
    if (!w->objectName().startsWith(QStringLiteral("qt_")) &&
        (qobject_cast<QAbstractButton*>(w) || qobject_cast<QComboBox*>(w) ||
         qobject_cast<ClickLabel*>(w))) {
      ++controls;
      EXPECT_FALSE(w->accessibleName().isEmpty()) << w->objectName().toStdString();
      EXPECT_FALSE(w->toolTip().isEmpty()) << w->objectName().toStdString();
    }
  }
  EXPECT_EQ(controls, 15) << "ten tool buttons, two lists, two swatches, the swap symbol";
  EXPECT_EQ(f.find<QWidget>("MainImage")->accessibleName(),
            QStringLiteral("Preview of the wallpaper"));
  EXPECT_EQ(f.find<QWidget>("Image0")->accessibleDescription(),
            QStringLiteral("Tile picture: none"));
  const std::string tile = f.picture("stone.png", 12, clRed);
  f.form->FileDrop0FileDroped({tile});
  ASSERT_TRUE(f.shows(Source::Tile, 12));
  EXPECT_EQ(f.find<QWidget>("Image0")->accessibleDescription(),
            QStringLiteral("Tile picture: ") + QString::fromStdString(tile));
  EXPECT_EQ(f.find<QWidget>("RxLabel0b")->accessibleName(), QString::fromStdString(tile));
}

TEST(TForm1Reachable, KeysOpenAndPasteIntoEitherPanelAndReachTheOutputCommands) {
  const struct {
    const char* action;
    const char* keys;
  } keys[] = {
      {"MI_CopyToClipboard", "Ctrl+C"},
      {"MI_SaveAs", "Ctrl+S"},
      {"O_About", "F1"},
      {"K_OpenCenterPicture", "Ctrl+O"},
      {"K_OpenTilePicture", "Ctrl+Shift+O"},
      {"K_PasteCenterPicture", "Ctrl+V"},
      {"K_PasteTilePicture", "Ctrl+Shift+V"},
  };
  ReachFixture f;
  for (const auto& row : keys) {
    EXPECT_EQ(f.find<QAction>(row.action)->shortcut(), QKeySequence(QString::fromLatin1(row.keys)))
        << row.action;
  }
  // An opened file takes the way of a dropped one: the panel shows it and its list keeps it.
  const struct {
    const char* action;
    Source source;
    int width;
  } opens[] = {{"K_OpenCenterPicture", Source::Center, 21},
               {"K_OpenTilePicture", Source::Tile, 17}};
  for (const auto& row : opens) {
    f.dialogs.openChoice = f.picture(std::string(row.action) + ".png", row.width, clRed);
    f.find<QAction>(row.action)->trigger();
    EXPECT_TRUE(f.shows(row.source, row.width)) << row.action;
    EXPECT_EQ(f.form->document().recentList(row.source).entries().front(), *f.dialogs.openChoice);
  }
  f.dialogs.openChoice.reset();
  f.find<QAction>("K_OpenCenterPicture")->trigger();
  EXPECT_EQ(f.dialogs.openRequests.size(), 3U);
  EXPECT_EQ(f.form->document().CenterBitmap().width(), 21) << "a cancelled dialog changes nothing";

  // The paste keys do what the paste buttons do, and nothing while there is nothing to paste.
  f.find<QAction>("K_PasteTilePicture")->trigger();
  EXPECT_EQ(f.form->document().TileBitmap().width(), 17);
  f.fake.clipboard->content = Solid(9, 9, RGB(0, 0, 255));
  f.find<QAction>("K_PasteTilePicture")->trigger();
  f.find<QAction>("K_PasteCenterPicture")->trigger();
  EXPECT_EQ(f.form->document().TileBitmap().width(), 9);
  EXPECT_EQ(f.form->document().CenterBitmap().width(), 9);
}

TEST(TForm1Reachable, TabVisitsEveryControlInReadingOrder) {
  ReachFixture f;
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
  // A swatch takes Space as a click.
  f.dialogs.chosenColor = RGB(1, 2, 3);
  QTest::keyClick(f.find<QWidget>("ColorPanel1"), Qt::Key_Space);
  EXPECT_EQ(f.form->document().color1(), RGB(1, 2, 3));
}

TEST(TForm1Reachable, ThePreviewTakesDropsForTheCenterAndEveryTargetShowsADragOverIt) {
  ReachFixture f;
  const std::string photo = f.picture("photo.png", 33, RGB(0, 160, 0));
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(QString::fromStdString(photo))});
  for (const char* target : {"MainImage", "Panel0", "Panel1"}) {
    QWidget* w = f.find<QWidget>(target);
    const auto* highlight = w->findChild<DropHighlight*>(QString(), Qt::FindDirectChildrenOnly);
    ASSERT_NE(highlight, nullptr) << target;
    QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w, &enter);
    EXPECT_TRUE(enter.isAccepted()) << target;
    EXPECT_FALSE(highlight->isHidden()) << target;
    QDragLeaveEvent leave;
    QApplication::sendEvent(w, &leave);
    EXPECT_TRUE(highlight->isHidden()) << target;
  }
  QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(f.find<QWidget>("MainImage"), &enter);
  QDropEvent drop(QPointF(20, 20), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(f.find<QWidget>("MainImage"), &drop);
  EXPECT_TRUE(f.shows(Source::Center, 33));
  EXPECT_EQ(f.form->CenterRecentList().entries(), std::vector<std::string>{photo});
}

TEST(TForm1Reachable, AFailedLoadStillSaysInvalidAndNamesTheFileAndTheReasonBesides) {
  ReachFixture f;
  const std::string gone = f.dir.file("gone.png");
  Bitmap unused;
  const std::string reason = LoadImageFile(gone, unused).reason();
  ASSERT_FALSE(reason.empty());
  f.form->FileDrop1FileDroped({gone});
  const auto* info = f.find<QLabel>("InfoLabel");
  ASSERT_TRUE(QTest::qWaitFor([&] { return info->text() == QStringLiteral("INVALID"); }));
  const QString detail = QString::fromStdString(gone + ": " + reason);
  EXPECT_EQ(info->toolTip(), detail);
  EXPECT_EQ(info->accessibleDescription(), detail);
  EXPECT_EQ(info->accessibleName(), QStringLiteral("INVALID"));
}

// On a dark palette the swatches keep their colours and the black glyphs turn to the text colour.
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
  // Fusion paints from the palette; a style sheet paints every widget's background its own way.
  for (const QString& sheet : {QString(), QStringLiteral("QWidget { background: #232323; }")}) {
    f.form->setStyleSheet(sheet);
    const QImage shot = f.form->grab().toImage();
    for (const auto& [name, color] : {std::pair{"ColorPanel0", RGB(200, 30, 40)},
                                      std::pair{"ColorPanel1", f.form->document().color1()}}) {
      const QWidget* swatch = f.find<QWidget>(name);
      const QPoint middle = swatch->mapTo(f.form.get(), swatch->rect().center());
      EXPECT_EQ(shot.pixelColor(middle), qcolor(ColorToRGB(color)))
          << name << " " << sheet.toStdString();
    }
  }
  // The cross of the clear button, drawn in the palette's text colour.
  const QImage cross = f.find<QToolButton>("ToolButton1a1")->icon().pixmap(16, 16).toImage();
  EXPECT_EQ(cross.pixelColor(8, 8), QColor(230, 230, 230));
  QApplication::setPalette(oldPalette);
  QApplication::setStyle(oldStyle);
}

TEST(TForm1Reachable, TheAboutBoxHasNeitherMinimiseNorMaximiseBox) {
  App();
  FakeShell shell;
  TAboutBox box(nullptr, shell, "/nonexistent/", ApplicationIconImage());
  EXPECT_TRUE(box.windowFlags().testFlag(Qt::WindowCloseButtonHint));
  EXPECT_FALSE(box.windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
  EXPECT_FALSE(box.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
}

}  // namespace
}  // namespace tessora::testing
