#include "platform/session.h"

#include <gtest/gtest.h>

#include <QMap>

#include "platform/desktop_wallpaper_setter.h"

namespace tessora {
namespace {

Session Detect(const QMap<QString, QString>& vars, bool flatpakInfo = false) {
  return DetectSession([&vars](const char* name) { return vars.value(QLatin1String(name)); },
                       flatpakInfo);
}

QStringList MethodNames(const Session& session) {
  QStringList names;
  for (const auto& method : WallpaperMethodsFor(session)) {
    names << method->name();
  }
  return names;
}

TEST(Session, ReadsTheDesktopFromAnyTokenOfTheColonList) {
  EXPECT_EQ(Detect({{"XDG_CURRENT_DESKTOP", "ubuntu:GNOME"}}).desktop, DesktopKind::Gnome);
  EXPECT_EQ(Detect({{"XDG_CURRENT_DESKTOP", "X-Cinnamon"}}).desktop, DesktopKind::Cinnamon);
  EXPECT_EQ(Detect({{"XDG_CURRENT_DESKTOP", "kde"}}).desktop, DesktopKind::Kde);
  EXPECT_EQ(Detect({{"XDG_CURRENT_DESKTOP", "XFCE"}}).desktop, DesktopKind::Xfce);
  EXPECT_EQ(Detect({{"XDG_CURRENT_DESKTOP", "MATE"}}).desktop, DesktopKind::Mate);
  EXPECT_EQ(Detect({{"XDG_CURRENT_DESKTOP", "LXQt"}}).desktop, DesktopKind::Lxqt);
  EXPECT_EQ(Detect({{"XDG_CURRENT_DESKTOP", "Hyprland"}}).desktop, DesktopKind::OtherWlroots);
}

TEST(Session, FallsBackOnTheSessionNamesThenOnTheSwaySocket) {
  EXPECT_EQ(Detect({{"DESKTOP_SESSION", "plasma"}}).desktop, DesktopKind::Kde);
  EXPECT_EQ(Detect({{"XDG_SESSION_DESKTOP", "xfce"}, {"GDMSESSION", "gnome"}}).desktop,
            DesktopKind::Xfce);
  EXPECT_EQ(Detect({{"SWAYSOCK", "/run/user/1000/sway-ipc.sock"}}).desktop, DesktopKind::Sway);
  EXPECT_EQ(Detect({{"XDG_CURRENT_DESKTOP", "i3"}}).desktop, DesktopKind::Unknown);
}

TEST(Session, WaylandWinsOverAnXwaylandDisplay) {
  const Session s = Detect({{"DISPLAY", ":0"}, {"WAYLAND_DISPLAY", "wayland-0"}});
  EXPECT_TRUE(s.wayland);
  EXPECT_FALSE(s.x11);
  EXPECT_TRUE(Detect({{"DISPLAY", ":0"}, {"XDG_SESSION_TYPE", "wayland"}}).wayland);
  EXPECT_TRUE(Detect({{"DISPLAY", ":0"}}).x11);
}

TEST(Session, SandboxIsSeenFromItsInfoFileOrItsAppId) {
  EXPECT_TRUE(Detect({}, true).flatpak);
  EXPECT_TRUE(Detect({{"FLATPAK_ID", "org.example.Tessora"}}).flatpak);
  EXPECT_FALSE(Detect({}).flatpak);
}

TEST(WallpaperMethods, NativeMethodFirstThenThePortal) {
  EXPECT_EQ(MethodNames(Detect({{"XDG_CURRENT_DESKTOP", "GNOME"}, {"DISPLAY", ":0"}})),
            (QStringList{"GNOME", "Portal"}));
  EXPECT_EQ(MethodNames(Detect({{"XDG_CURRENT_DESKTOP", "MATE"}})),
            (QStringList{"MATE", "Portal"}));
  EXPECT_EQ(MethodNames(Detect({{"XDG_CURRENT_DESKTOP", "KDE"}})),
            (QStringList{"KDE Plasma", "Portal"}));
  EXPECT_EQ(MethodNames(Detect({{"XDG_CURRENT_DESKTOP", "sway"}, {"WAYLAND_DISPLAY", "w"}})),
            (QStringList{"sway", "Portal"}));
}

// Desktops that draw their own background get what really reaches it, and never the root
// window, which they cover.
TEST(WallpaperMethods, EachDesktopGetsTheMethodsThatReachIt) {
  const struct {
    const char* desktop;
    const char* display;  // DISPLAY or WAYLAND_DISPLAY
    QStringList methods;
  } cases[] = {
      {"Pantheon", "DISPLAY", {"GNOME", "Portal"}},
      {"Budgie:GNOME", "DISPLAY", {"GNOME", "Portal"}},
      {"Deepin", "DISPLAY", {"Portal"}},
      {"i3", "DISPLAY", {"Portal", "X11"}},
      {"COSMIC", "WAYLAND_DISPLAY", {"Portal", "swaybg"}},
      {"LXQt", "DISPLAY", {"LXQt", "Portal"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(MethodNames(Detect({{"XDG_CURRENT_DESKTOP", c.desktop}, {c.display, ":0"}})),
              c.methods)
        << c.desktop;
  }
}

TEST(WallpaperMethods, SandboxUsesOnlyThePortal) {
  EXPECT_EQ(MethodNames(Detect({{"XDG_CURRENT_DESKTOP", "GNOME"}}, true)), QStringList{"Portal"});
}

TEST(WallpaperMethods, BareSessionsEndWithTheirOwnDrawing) {
  EXPECT_EQ(MethodNames(Detect({{"DISPLAY", ":0"}})), (QStringList{"Portal", "X11"}));
  EXPECT_EQ(MethodNames(Detect({{"WAYLAND_DISPLAY", "w"}, {"DISPLAY", ":0"}})),
            (QStringList{"Portal", "swaybg"}));
  // A desktop draws over the root window, so the root is not tried behind it.
  EXPECT_EQ(MethodNames(Detect({{"XDG_CURRENT_DESKTOP", "XFCE"}, {"DISPLAY", ":0"}})),
            (QStringList{"XFCE", "Portal"}));
}

}  // namespace
}  // namespace tessora
