#include <gtest/gtest.h>

#include <QAction>
#include <QGuiApplication>
#include <QProcess>
#include <QStandardPaths>
#include <algorithm>
#include <functional>

#include "platform/desktop_wallpaper_setter.h"
#include "platform/qt_desktop_info.h"
#include "platform/x11_root_wallpaper.h"
#include "support/pictures.h"
#include "support/recording_feedback.h"
#include "ui_test_support.h"

// Xlib's macros (None, CursorShape) break Qt headers included after them.
#include "support/root_window.h"

namespace tessora::testing {
namespace {

struct Screen {
  const char* name;
  int x, y, w, h;
};

bool Xrandr(const QStringList& arguments) {
  QProcess xrandr;
  xrandr.start(QStringLiteral("xrandr"), arguments);
  return xrandr.waitForFinished(10000) && xrandr.exitCode() == 0;
}

// Replaces the server's monitors by `screens` (the first the primary) and waits for the window
// system to report them.
bool Plug(const std::vector<Screen>& screens, const std::vector<Screen>& before) {
  for (const Screen& s : before) {
    Xrandr({QStringLiteral("--delmonitor"), QString::fromLatin1(s.name)});
  }
  bool first = true;
  for (const Screen& s : screens) {
    const QString geometry = QStringLiteral("%1/%2x%3/%4+%5+%6")
                                 .arg(s.w)
                                 .arg(s.w / 4)
                                 .arg(s.h)
                                 .arg(s.h / 4)
                                 .arg(s.x)
                                 .arg(s.y);
    if (!Xrandr({QStringLiteral("--setmonitor"), (first ? "*" : "") + QString::fromLatin1(s.name),
                 geometry, first ? QStringLiteral("screen") : QStringLiteral("none")})) {
      return false;
    }
    first = false;
  }
  // With no monitors of its own, the server shows its screen as one.
  const int expected = std::max<int>(1, static_cast<int>(screens.size()));
  for (int i = 0; i < 250 && QGuiApplication::screens().size() != expected; ++i) {
    QApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  return QGuiApplication::screens().size() == expected;
}

// What a window on a desktop of just this monitor composes after the same commands.
Bitmap SingleMonitorComposition(const Screen& s, const std::function<void(Document&)>& commands) {
  RecordingFeedback fb;
  Document doc(fb);
  StartState start;
  start.desktop = DesktopGeometry{s.w, s.h, Rect{0, 0, s.w, s.h}};
  start.deepBackgroundColor = RGB(0x20, 0x40, 0x60);
  doc.Activate(start);
  commands(doc);
  return doc.ComposedBitmap();
}

// Runs only on a real X server (ctest starts one through with_xvfb.sh) with xrandr: "Set as
// Wallpaper" shows on each monitor what a single-monitor desktop of its size would show, and
// follows monitors plugged in while the window is open.
TEST(RealMonitors, EveryMonitorShowsItsOwnCompositionAndReplugsAreFollowed) {
  App();
  if (QGuiApplication::platformName() != QStringLiteral("xcb") ||
      QStandardPaths::findExecutable(QStringLiteral("xrandr")).isEmpty()) {
    GTEST_SKIP() << "needs an X server and xrandr";
  }
  // A landscape primary beside an upright monitor of another size; then three with a gap.
  const std::vector<Screen> two = {{"LEFT", 0, 0, 640, 480}, {"RIGHT", 640, 0, 384, 768}};
  const std::vector<Screen> three = {
      {"A", 0, 0, 400, 300}, {"B", 420, 0, 300, 400}, {"C", 720, 368, 304, 400}};
  ASSERT_TRUE(Plug(two, {}));
  FormFixture f;
  qputenv("XDG_DATA_HOME", QByteArray::fromStdString(f.dir.file("data")));
  f.fake.platform.desktop = std::make_unique<QtDesktopInfo>(DesktopKind::Unknown);
  std::vector<std::unique_ptr<WallpaperMethod>> methods;
  methods.push_back(std::make_unique<X11RootWallpaper>());
  f.fake.platform.wallpaper = std::make_unique<DesktopWallpaperSetter>(std::move(methods));
  f.writeSettings(
      "[program parameters]\nuse sound effects=FALSE\ndeep background color=$00604020\n");
  f.start();
  const Bitmap center = PatternBitmap(90, 60);
  auto commands = [&center](Document& doc) {
    doc.setColor0(RGB(224, 32, 16));
    doc.setColor1(RGB(16, 32, 224));
    doc.generateBackground(BackgroundKind::Corner);
    doc.pasteCenter(&center);
    doc.sizeGoldenArea();
  };
  commands(f.form->document());

  for (const auto* layout : {&two, &three}) {
    if (layout == &three) {
      ASSERT_TRUE(Plug(three, two));
    }
    f.find<QAction>("MI_SetAsWallpaper")->trigger();
    ASSERT_TRUE(f.dialogs.errors.empty()) << f.dialogs.errors.front();
    for (const Screen& s : *layout) {
      EXPECT_TRUE(
          SamePicture(RootRegion(s.x, s.y, s.w, s.h), SingleMonitorComposition(s, commands)))
          << s.name;
    }
  }
  // The window's own composition stays the primary monitor's as it was at start.
  EXPECT_EQ(f.form->document().ComposedBitmap().width(), 640);
  Plug({}, three);
}

}  // namespace
}  // namespace tessora::testing
