// The built tessora-compose on this run's X server: the desktop gives the size when none is asked
// for, and --set-wallpaper installs the result on the root window.
#include <gtest/gtest.h>

#include <QProcess>
#include <QTemporaryDir>

#include "child_process.h"
#include "imageio/image_files.h"
#include "platform/x11_headers.h"
#include "support/pictures.h"
#include "support/root_window.h"

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

// On a desktop of several RandR monitors (landscape and upright, of different sizes, with a
// gap, one scaled by 2), --set-wallpaper without a size shows on each monitor exactly what
// --size of that monitor in device pixels composes: the generated background generated for it,
// the center placed on it.
TEST(ComposeOnTheDesktop, EveryMonitorShowsTheCompositionOfItsOwnSize) {
  if (!testing::RandrMonitors::available()) {
    GTEST_SKIP() << "needs xrandr";
  }
  QTemporaryDir dir;
  const QString center = dir.filePath(QStringLiteral("center.bmp"));
  SaveComposed(center.toStdString(), kSaveBmp, testing::PatternBitmap(90, 60), SilentFeedback());
  const QStringList commands = {"--color1", "#e02010",  "--color2", "#1020e0",  "--background",
                                "vertical", "--center", center,     "--sizing", "height=0.5"};
  const struct {
    QStringList names;
    QList<QRect> rects;
    QByteArray scales;  // QT_SCREEN_SCALE_FACTORS for the tool's helper
  } layouts[] = {
      {{"LEFT", "RIGHT"}, {QRect(0, 0, 800, 500), QRect(800, 0, 480, 800)}, {}},
      {{"ONE", "TWO", "THREE"},
       {QRect(0, 0, 500, 400), QRect(520, 0, 400, 500), QRect(920, 500, 360, 300)},
       {}},
      {{"LEFT", "RIGHT"}, {QRect(0, 0, 800, 500), QRect(800, 0, 480, 800)}, "LEFT=1;RIGHT=2"},
  };
  for (const auto& layout : layouts) {
    SCOPED_TRACE(layout.names.join(QLatin1Char(',')).toStdString() + " " +
                 layout.scales.toStdString());
    testing::RandrMonitors monitors(layout.names, layout.rects);
    ASSERT_TRUE(monitors.ok());
    qputenv("QT_SCREEN_SCALE_FACTORS", layout.scales);
    const ToolRun r = Compose(commands + QStringList{"--set-wallpaper"});
    qunsetenv("QT_SCREEN_SCALE_FACTORS");
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    for (const QRect& rect : layout.rects) {
      const QString single = dir.filePath(QStringLiteral("single.bmp"));
      const QString size = QStringLiteral("%1x%2").arg(rect.width()).arg(rect.height());
      ASSERT_EQ(Compose(commands + QStringList{"--size", size, "-o", single}).status, 0);
      EXPECT_TRUE(
          testing::SamePicture(testing::RootRegion(rect.x(), rect.y(), rect.width(), rect.height()),
                               testing::LoadPicture(single.toStdString())))
          << "monitor at " << rect.x() << "," << rect.y();
    }
  }
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
