#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "engine/rect.h"

namespace tessora {

/// The outcome of installing a wallpaper: ok, or why not.
struct WallpaperResult {
  bool ok = false;
  std::string reason;  ///< for the user when !ok: every method tried and why it failed
};

/// The folder the wallpaper file goes to, or why there is none.
struct WallpaperFolder {
  std::string path;    ///< with its trailing separator; empty when there is no folder
  std::string reason;  ///< for the user when path is empty
};

/// One monitor's picture file.
struct MonitorPicture {
  std::string name;  ///< the output's connector name; may be empty
  Rect rect;         ///< the monitor on the virtual desktop, device pixels
  std::string path;
};

/// What "Set as Wallpaper" hands over when there are several monitors: both forms, since some
/// desktops keep one picture per monitor and others one for the whole virtual desktop.
struct MonitorPictures {
  std::string spanned;  ///< the whole virtual desktop: the bounding box of the monitors
  Rect bounds;          ///< that bounding box
  std::vector<MonitorPicture> monitors;  ///< in the desktop's order
  std::size_t primary = 0;               ///< index of the primary monitor
};

/// Installs a picture file as the desktop wallpaper. The window has one from the desktop
/// session, the command-line tool one that asks its desktop helper.
class WallpaperSetter {
 public:
  virtual ~WallpaperSetter() = default;
  /// The folder the wallpaper file lives in (it replaces the system folder of the original
  /// design): `$XDG_DATA_HOME/tessora/`, created when missing.
  virtual WallpaperFolder wallpaperFolder() const = 0;
  /// Hands the picture file to the desktop.
  virtual WallpaperResult setWallpaper(const std::string& path) = 0;
  /// Hands the pictures of several monitors to the desktop, in whichever form it takes.
  virtual WallpaperResult setMonitorWallpapers(const MonitorPictures& pictures) = 0;
};

}  // namespace tessora
