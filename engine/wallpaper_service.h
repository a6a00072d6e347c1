#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "common/outcome.h"
#include "engine/rect.h"

namespace tessora {

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
  /// The folder the wallpaper files live in, with its trailing separator: the user's own data
  /// folder `$XDG_DATA_HOME/tessora/`, created when missing, so that a wallpaper never needs
  /// rights beyond the user's. Or why there is none.
  virtual OutcomeOf<std::string> wallpaperFolder() const = 0;
  /// Hands the picture file to the desktop; a failure tells every method tried and why it failed.
  virtual Outcome setWallpaper(const std::string& path) = 0;
  /// Hands the pictures of several monitors to the desktop, in whichever form it takes.
  virtual Outcome setMonitorWallpapers(const MonitorPictures& pictures) = 0;
};

}  // namespace tessora
