#include <gtest/gtest.h>

#include <QAction>
#include <QGuiApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QToolButton>
#include <functional>

#include "imageio/image_files.h"
#include "platform/qt_clipboard.h"
#include "ui_test_support.h"

namespace tessora::testing {
namespace {

/// Runs xclip with `arguments` and returns what it wrote, serving our clipboard while it runs.
QByteArray runXclip(const QStringList& arguments) {
  QProcess xclip;
  xclip.start(QStringLiteral("xclip"), arguments);
  EXPECT_TRUE(xclip.waitForStarted());
  EXPECT_TRUE(WaitUntil([&] { return xclip.state() == QProcess::NotRunning; }));
  return xclip.readAllStandardOutput();
}

// Runs only on a real X server (ctest starts one through with_xvfb.sh), with xclip as the other
// program on the clipboard.
TEST(RealClipboard, TheCopiedWallpaperReachesOtherProgramsAndThePasteButtonsFollowThem) {
  App();
  if (QGuiApplication::platformName() != QStringLiteral("xcb") ||
      QStandardPaths::findExecutable(QStringLiteral("xclip")).isEmpty()) {
    GTEST_SKIP() << "needs an X server and xclip";
  }
  FormFixture f;
  f.fake.platform.clipboard = std::make_unique<QtImageClipboard>();
  f.start();
  f.form->document().setColor0(RGB(200, 30, 40));
  f.find<QAction>("TG_Tile")->trigger();
  f.find<QAction>("MI_CopyToClipboard")->trigger();
  const QByteArray png = runXclip({"-selection", "clipboard", "-t", "image/png", "-o"});
  ASSERT_FALSE(png.isEmpty());
  writeFile(f.dir.file("back.png"), png.toStdString());
  Bitmap back;
  ASSERT_TRUE(LoadImageFile(f.dir.file("back.png"), back));
  EXPECT_TRUE(back.samePixels(f.form->document().ComposedBitmap()));

  auto* paste0 = f.find<QToolButton>("ToolButton0a0");
  auto* paste1 = f.find<QToolButton>("ToolButton1a0");
  EXPECT_TRUE(WaitUntil([&] { return paste0->isEnabled() && paste1->isEnabled(); }));

  // Another program takes the clipboard with text, then with a picture; -quiet keeps it in the
  // foreground, serving the selection until it is killed.
  for (const bool picture : {false, true}) {
    QProcess owner;
    QStringList arguments{"-quiet", "-selection", "clipboard"};
    if (picture) {
      arguments << "-t"
                << "image/png"
                << "-i" << QString::fromStdString(f.dir.file("back.png"));
    }
    owner.start(QStringLiteral("xclip"), arguments);
    ASSERT_TRUE(owner.waitForStarted());
    if (!picture) {
      owner.write("plain words");
      owner.closeWriteChannel();
    }
    EXPECT_TRUE(WaitUntil([&] { return paste0->isEnabled() == picture; })) << picture;
    EXPECT_EQ(paste1->isEnabled(), picture);
    owner.kill();
    owner.waitForFinished();
  }
}

}  // namespace
}  // namespace tessora::testing
