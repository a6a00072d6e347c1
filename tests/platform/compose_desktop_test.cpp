// The built tessora-compose on this run's X server: the desktop gives the size when none is asked
// for, and --set-wallpaper installs the result on the root window.
#include <gtest/gtest.h>

#include <QProcess>
#include <QTemporaryDir>

#include "platform/x11_headers.h"
#include "support/pictures.h"

namespace tessora {
namespace {

struct ToolRun {
  int status = -1;
  QString err;
};

ToolRun Compose(const QStringList& args) {
  QProcess p;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  // No desktop of its own: the portal (no session bus here) fails, the root window remains.
  env.remove(QStringLiteral("XDG_CURRENT_DESKTOP"));
  env.remove(QStringLiteral("DESKTOP_SESSION"));
  p.setProcessEnvironment(env);
  p.start(QStringLiteral(TESSORA_COMPOSE_EXE), args);
  ToolRun r;
  if (p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit) {
    r.status = p.exitCode();
  }
  r.err = QString::fromUtf8(p.readAllStandardError());
  return r;
}

TColor RootPixel(int x, int y) {
  Display* dpy = XOpenDisplay(nullptr);
  if (dpy == nullptr) {
    return clNone;
  }
  XImage* image = XGetImage(dpy, XDefaultRootWindow(dpy), x, y, 1, 1, 0xffffffffUL, ZPixmap);
  const unsigned long v = image != nullptr ? XGetPixel(image, 0, 0) : 0;
  if (image != nullptr) {
    XDestroyImage(image);
  }
  XCloseDisplay(dpy);
  return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
}

TEST(ComposeOnTheDesktop, WithoutASizeTheScreenGivesIt) {
  QTemporaryDir dir;
  const QString out = dir.filePath(QStringLiteral("desk.bmp"));
  const ToolRun r = Compose(
      {QStringLiteral("--deep-color"), QStringLiteral("#204060"), QStringLiteral("-o"), out});
  ASSERT_EQ(r.status, 0) << r.err.toStdString();
  const Bitmap b = testing::LoadPicture(out.toStdString());
  // This run's X server has one 1280 x 800 screen and no panels.
  EXPECT_EQ(b.width(), 1280);
  EXPECT_EQ(b.height(), 800);
  EXPECT_EQ(b.pixel(640, 400), RGB(0x20, 0x40, 0x60));
}

TEST(ComposeOnTheDesktop, SetWallpaperReachesTheRootWindow) {
  const ToolRun r =
      Compose({QStringLiteral("--size"), QStringLiteral("1280x800"), QStringLiteral("--deep-color"),
               QStringLiteral("#a03010"), QStringLiteral("--set-wallpaper")});
  ASSERT_EQ(r.status, 0) << r.err.toStdString();
  EXPECT_EQ(RootPixel(5, 5), RGB(0xa0, 0x30, 0x10));
  EXPECT_EQ(RootPixel(1270, 790), RGB(0xa0, 0x30, 0x10));
}

}  // namespace
}  // namespace tessora
