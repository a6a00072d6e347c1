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

// Which methods each session tries, in order. The desktop's own setting comes first; the portal
// follows it only where the desktop has a portal back end of its own. Elsewhere the portal may
// borrow a back end that never answers (GNOME's, without GNOME Shell), so it comes last, after
// what the session draws with itself; and never the root window behind a desktop that covers it.
TEST(WallpaperMethods, EachSessionTriesTheMethodsThatReachItInOrder) {
  const struct {
    const char* desktop;  // XDG_CURRENT_DESKTOP; empty: unset
    const char* display;  // DISPLAY or WAYLAND_DISPLAY; empty: neither
    QStringList methods;
  } cases[] = {
      {"GNOME", "DISPLAY", {"GNOME", "Portal"}},
      {"Pantheon", "DISPLAY", {"GNOME", "Portal"}},
      {"Budgie:GNOME", "DISPLAY", {"GNOME", "Portal"}},
      {"X-Cinnamon", "DISPLAY", {"Cinnamon", "Portal"}},
      {"MATE", "", {"MATE", "Portal"}},
      {"XFCE", "DISPLAY", {"XFCE", "Portal"}},
      {"KDE", "", {"KDE Plasma", "Portal"}},
      {"Deepin", "DISPLAY", {"Portal"}},
      {"LXQt", "DISPLAY", {"LXQt", "Portal"}},
      {"LXDE", "DISPLAY", {"LXDE", "Portal"}},
      {"sway", "WAYLAND_DISPLAY", {"sway", "Portal"}},
      {"COSMIC", "WAYLAND_DISPLAY", {"Portal", "swaybg"}},
      {"Hyprland", "WAYLAND_DISPLAY", {"swaybg", "Portal"}},
      {"", "WAYLAND_DISPLAY", {"swaybg", "Portal"}},
      // Bare window managers: the root window answers at once, the portal only if it fails.
      {"", "DISPLAY", {"X11", "Portal"}},
      {"openbox", "DISPLAY", {"X11", "Portal"}},
      {"i3", "DISPLAY", {"X11", "Portal"}},
      {"bspwm", "DISPLAY", {"X11", "Portal"}},
  };
  for (const auto& c : cases) {
    QMap<QString, QString> vars;
    if (*c.desktop != '\0') {
      vars.insert(QStringLiteral("XDG_CURRENT_DESKTOP"), QLatin1String(c.desktop));
    }
    if (*c.display != '\0') {
      vars.insert(QLatin1String(c.display), QStringLiteral(":0"));
    }
    EXPECT_EQ(MethodNames(Detect(vars)), c.methods) << c.desktop << " " << c.display;
  }
}

TEST(WallpaperMethods, SandboxUsesOnlyThePortal) {
  EXPECT_EQ(MethodNames(Detect({{"XDG_CURRENT_DESKTOP", "GNOME"}}, true)), QStringList{"Portal"});
}

}  // namespace
}  // namespace tessora
