#include "platform/qt_desktop_info.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QScreen>

#include "child_process.h"

#include "platform/gio_headers.h"
#include "platform/x11_headers.h"

namespace tessora {
namespace {

TEST(QtDesktopInfo, GeometryIsTheTestServersScreen) {
  const DesktopGeometry g = QtDesktopInfo(DesktopKind::Unknown).geometry();
  EXPECT_EQ(g.screenWidth, 1280);
  EXPECT_EQ(g.screenHeight, 800);
  EXPECT_TRUE(g.workAreaKnown);
  EXPECT_EQ(g.workArea, (Rect{0, 0, 1280, 800}));
}

// Monitors plugged in while the program runs are seen at the next question, in device pixels,
// with their names and the primary one marked; unplugged, the one screen is back.
TEST(QtDesktopInfo, MonitorsFollowTheServersLayout) {
  if (!testing::RandrMonitors::available()) {
    GTEST_SKIP() << "needs xrandr";
  }
  {
    testing::RandrMonitors plugged({"LEFT", "RIGHT"},
                                   {QRect(0, 0, 800, 500), QRect(800, 0, 480, 800)});
    ASSERT_TRUE(plugged.ok());
    ASSERT_TRUE(testing::WaitUntil([] { return QGuiApplication::screens().size() == 2; }));
    const MonitorLayout layout = QtDesktopInfo(DesktopKind::Unknown).monitors();
    ASSERT_EQ(layout.monitors.size(), 2U);
    const Monitor& primary = layout.monitors[layout.primary];
    EXPECT_EQ(primary.name, "LEFT");
    EXPECT_EQ(primary.rect, (Rect{0, 0, 800, 500}));
    const Monitor& other = layout.monitors[1 - layout.primary];
    EXPECT_EQ(other.name, "RIGHT");
    EXPECT_EQ(other.rect, (Rect{800, 0, 1280, 800}));
    EXPECT_EQ(other.workArea, (Rect{0, 0, 480, 800}));
  }
  ASSERT_TRUE(testing::WaitUntil([] { return QGuiApplication::screens().size() == 1; }));
  const MonitorLayout layout = QtDesktopInfo(DesktopKind::Unknown).monitors();
  ASSERT_EQ(layout.monitors.size(), 1U);
  EXPECT_EQ(layout.monitors[0].rect, (Rect{0, 0, 1280, 800}));
}

// Sets the work area the way a window manager announces it, and waits for Qt to see it.
class WorkArea {
 public:
  explicit WorkArea(const QRect& area) : dpy_(XOpenDisplay(nullptr)) {
    const long values[] = {area.x(), area.y(), area.width(), area.height()};
    XChangeProperty(dpy_, XDefaultRootWindow(dpy_), XInternAtom(dpy_, "_NET_WORKAREA", False),
                    XInternAtom(dpy_, "CARDINAL", False), 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(values), 4);
    XSync(dpy_, False);
  }
  ~WorkArea() {
    XDeleteProperty(dpy_, XDefaultRootWindow(dpy_), XInternAtom(dpy_, "_NET_WORKAREA", False));
    XSync(dpy_, False);
    testing::WaitUntil([] {
      return QGuiApplication::primaryScreen()->availableGeometry() ==
             QGuiApplication::primaryScreen()->geometry();
    });
    XCloseDisplay(dpy_);
  }
  WorkArea(const WorkArea&) = delete;
  WorkArea& operator=(const WorkArea&) = delete;

 private:
  Display* dpy_;
};

TEST(QtDesktopInfo, WorkAreaFollowsTheWindowManagersAnnouncement) {
  WorkArea panel(QRect(0, 30, 1280, 740));
  ASSERT_TRUE(testing::WaitUntil(
      [] { return QGuiApplication::primaryScreen()->availableGeometry().top() == 30; }));
  const DesktopGeometry g = QtDesktopInfo(DesktopKind::Unknown).geometry();
  EXPECT_EQ(g.screenWidth, 1280);
  EXPECT_EQ(g.workArea, (Rect{0, 30, 1280, 770}));
}

TEST(PhysicalGeometry, ScalesSizesAndRoundsHalfPixels) {
  const DesktopGeometry g =
      PhysicalGeometry(QRect(1280, 0, 853, 600), QRect(1280, 20, 853, 580), 1.5);
  EXPECT_EQ(g.screenWidth, 1280);  // 1279.5: truncating would lose the last column
  EXPECT_EQ(g.screenHeight, 900);
  EXPECT_EQ(g.workArea, (Rect{0, 30, 1280, 900}));
}

TEST(QtDesktopInfo, DesktopColorComesFromTheDesktopsSettings) {
  GSettings* settings = g_settings_new("org.mate.background");
  g_settings_set_string(settings, "primary-color", "#102030");
  g_settings_sync();
  g_object_unref(settings);
  EXPECT_EQ(QtDesktopInfo(DesktopKind::Mate).desktopColor(), RGB(0x10, 0x20, 0x30));
}

TEST(QtDesktopInfo, DesktopsWithoutAColourGetTheFixedOne) {
  EXPECT_EQ(QtDesktopInfo(DesktopKind::Unknown).desktopColor(), RGB(58, 110, 165));
  EXPECT_EQ(QtDesktopInfo(DesktopKind::Xfce).desktopColor(), RGB(58, 110, 165));
}

TEST(QtDesktopInfo, FontsAreLookedUpByFamily) {
  const QtDesktopInfo info(DesktopKind::Unknown);
  EXPECT_TRUE(info.fontInstalled("DejaVu Sans"));
  EXPECT_TRUE(info.fontInstalled("dejavu sans"));
  EXPECT_FALSE(info.fontInstalled("No Such Family 1234"));
}

}  // namespace
}  // namespace tessora
