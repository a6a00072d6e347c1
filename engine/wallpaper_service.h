#pragma once

#include <string>

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
};

}  // namespace tessora
