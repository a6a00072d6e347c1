#include "platform/qt_desktop_info.h"

#include <gtest/gtest.h>

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wold-style-cast"
#pragma GCC diagnostic ignored "-Wconversion"
#include <gio/gio.h>
#pragma GCC diagnostic pop

namespace tessora {
namespace {

TEST(QtDesktopInfo, GeometryIsTheTestServersScreen) {
  const DesktopGeometry g = QtDesktopInfo(DesktopKind::Unknown).geometry();
  EXPECT_EQ(g.screenWidth, 1280);
  EXPECT_EQ(g.screenHeight, 800);
  EXPECT_TRUE(g.workAreaKnown);
  EXPECT_EQ(g.workArea, (Rect{0, 0, 1280, 800}));
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
