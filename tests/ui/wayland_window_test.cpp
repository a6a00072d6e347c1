// The window as a native Wayland client, on a headless sway whose output has scale 2 (ctest
// starts one through tests/desktops/with_sway.sh); skipped on any other platform.
#include <gtest/gtest.h>

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>
#include <QToolButton>
#include <QUrl>

#include "platform/bitmap_qimage.h"
#include "platform/qt_clipboard.h"
#include "platform/qt_desktop_info.h"
#include "platform/wayland_selection_watch.h"
#include "ui_test_support.h"

namespace tessora::testing {
namespace {

bool OnWayland() {
  App();
  return QGuiApplication::platformName() == QStringLiteral("wayland");
}

bool Sway(const QString& command) {
  return QProcess::execute(QStringLiteral("swaymsg"), {command}) == 0;
}

TEST(WaylandWindow, ComposesAtTheOutputsPixelsAndDrawsThePreviewInThem) {
  if (!OnWayland()) {
    GTEST_SKIP() << "needs a Wayland compositor";
  }
  FormFixture f;
  f.fake.platform.desktop = std::make_unique<QtDesktopInfo>(DesktopKind::Sway);
  f.start();
  f.form->document().setColor0(RGB(250, 10, 10));
  f.form->document().setColor1(RGB(10, 10, 250));
  f.find<QAction>("TG_Gradient")->trigger();
  f.form->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(f.form.get()));

  const Bitmap& composed = f.form->document().ComposedBitmap();
  EXPECT_EQ(composed.width(), 1600);  // an 800 x 600 screen at scale 2
  EXPECT_EQ(composed.height(), 1200);
  auto* preview = f.find<QLabel>("MainImage");
  ASSERT_EQ(preview->devicePixelRatioF(), 2.0);
  const QImage shown = preview->grab().toImage().convertToFormat(QImage::Format_RGB888);
  Bitmap expected(2 * preview->width(), 2 * preview->height());
  expected.stretchDraw(0, 0, expected.width(), expected.height(), composed);
  EXPECT_EQ(shown, ToQImage(expected)) << "the preview is not drawn from the composition at "
                                       << expected.width() << " x " << expected.height();
}

TEST(WaylandWindow, ThePasteButtonsFollowAnotherProgramWhileTheWindowIsInactive) {
  if (!OnWayland() || QStandardPaths::findExecutable(QStringLiteral("wl-copy")).isEmpty()) {
    GTEST_SKIP() << "needs a Wayland compositor and wl-copy";
  }
  FormFixture f;
  auto clipboard = std::make_unique<QtImageClipboard>();
  ASSERT_TRUE(clipboard->followsEveryChange());
  f.fake.platform.clipboard = std::move(clipboard);
  f.start();
  f.form->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(f.form.get()));
  // An empty workspace takes the focus, as another program's window would.
  ASSERT_TRUE(Sway(QStringLiteral("workspace 2")));
  auto qtSeesImage = [] {
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    return data != nullptr && data->hasImage();
  };

  Bitmap picture(40, 30);
  picture.setFillColor(RGB(20, 160, 90));
  picture.fill();
  picture.setFillColor(RGB(230, 200, 10));
  picture.fillRect(5, 5, 20, 12);
  const std::string file = f.dir.file("copied.png");
  ASSERT_TRUE(ToQImage(picture).save(QString::fromStdString(file), "PNG"));
  auto* paste0 = f.find<QToolButton>("ToolButton0a0");
  auto* paste1 = f.find<QToolButton>("ToolButton1a0");
  for (const bool image : {false, true}) {
    QProcess copy;  // -f: stays in the foreground, serving the clipboard until it is killed
    copy.setStandardInputFile(image ? QString::fromStdString(file) : QProcess::nullDevice());
    copy.start(QStringLiteral("wl-copy"),
               image ? QStringList{"-f", "--type", "image/png"} : QStringList{"-f", "words"});
    ASSERT_TRUE(copy.waitForStarted());
    EXPECT_TRUE(WaitUntil([&] { return paste0->isEnabled() == image; })) << image;
    EXPECT_EQ(paste1->isEnabled(), image);
    if (image) {  // back to the window, which then gets the clipboard, and paste from it
      ASSERT_TRUE(Sway(QStringLiteral("workspace 1")));
      ASSERT_TRUE(WaitUntil(qtSeesImage));
      f.form->ToolButton0a0Click();
      EXPECT_TRUE(f.form->document().TileBitmap().samePixels(picture));
    }
    copy.kill();
    copy.waitForFinished();
  }
}

// The watch on its own: what a window out of focus learns, whatever the compositor tells Qt.
TEST(WaylandWindow, TheWatchHearsOfEveryChangeOnItsOwnConnection) {
  if (!OnWayland() || QStandardPaths::findExecutable(QStringLiteral("wl-copy")).isEmpty()) {
    GTEST_SKIP() << "needs a Wayland compositor and wl-copy";
  }
  WaylandSelectionWatch watch;
  ASSERT_TRUE(watch.available()) << watch.unavailableReason().toStdString();
  QSignalSpy spy(&watch, &WaylandSelectionWatch::selectionChanged);
  TempDir dir;
  const QString picture = QString::fromStdString(dir.file("copied file.png"));
  ASSERT_TRUE(QImage(8, 8, QImage::Format_RGB888).save(picture, "PNG"));
  const QByteArray list = QUrl::fromLocalFile(picture).toEncoded() + "\r\n";
  const QString listFile = QString::fromStdString(dir.file("uris"));
  ASSERT_TRUE(writeFile(listFile.toStdString(), list.toStdString()));
  struct Copy {
    QStringList arguments;
    QString input;
    QString type;        // expected among the offered types ("" for an emptied clipboard)
    QByteArray uriList;  // expected as the list read from the owner
  };
  const Copy copies[] = {
      {{"--type", "image/png"}, picture, "image/png", ""},
      {{"--type", "text/uri-list"}, listFile, "text/uri-list", list},
      {{"--clear"}, QProcess::nullDevice(), "", ""},
  };
  for (const Copy& c : copies) {
    spy.clear();
    QProcess copy;
    copy.setStandardInputFile(c.input);
    copy.start(QStringLiteral("wl-copy"), c.arguments);
    // The first report may still be the clipboard as it was when the watch began.
    auto reported = [&] {
      const QStringList types = spy.isEmpty() ? QStringList() : spy.last().at(0).toStringList();
      return !spy.isEmpty() && (c.type.isEmpty() ? types.isEmpty() : types.contains(c.type));
    };
    ASSERT_TRUE(WaitUntil(reported)) << c.type.toStdString();
    EXPECT_EQ(spy.last().at(1).toByteArray(), c.uriList);
    copy.waitForFinished();
  }
}

// Without a compositor that offers it, the watch says why rather than staying silent.
TEST(WaylandSelectionWatch, SaysWhyItCannotWatch) {
  App();
  const bool hadDisplay = qEnvironmentVariableIsSet("WAYLAND_DISPLAY");
  const QByteArray display = qgetenv("WAYLAND_DISPLAY");
  qputenv("WAYLAND_DISPLAY", "/nonexistent/wayland-0");
  const WaylandSelectionWatch watch;
  hadDisplay ? qputenv("WAYLAND_DISPLAY", display) : qunsetenv("WAYLAND_DISPLAY");
  EXPECT_FALSE(watch.available());
  EXPECT_FALSE(watch.unavailableReason().isEmpty());
}

}  // namespace
}  // namespace tessora::testing
