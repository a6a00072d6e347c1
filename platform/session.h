#pragma once

#include <QString>
#include <functional>

namespace tessora {

/// The desktops whose own wallpaper setting we know how to change.
enum class DesktopKind {
  Unknown,
  Gnome,
  Kde,
  Xfce,
  Cinnamon,
  Mate,
  Lxqt,
  Lxde,
  Sway,
  OtherWlroots,
  Deepin,  ///< draws its own desktop; its own setting is not used (yet): the portal is
  Cosmic   ///< Wayland: the portal, then swaybg
};

/// What the environment says about the running session.
struct Session {
  DesktopKind desktop = DesktopKind::Unknown;
  bool wayland = false;  ///< a root window pixmap would be invisible
  bool x11 = false;      ///< DISPLAY set and no Wayland compositor
  bool flatpak = false;  ///< sandboxed: only the portal can reach the desktop
};

/// Reads the session from environment variables (looked up through env) and from whether
/// /.flatpak-info exists. The environment rather than Qt's platform name: a Qt program forced
/// onto xcb under Wayland still reports xcb.
Session DetectSession(const std::function<QString(const char*)>& env, bool flatpakInfoExists);

/// The session of this process.
Session CurrentSession();

}  // namespace tessora
