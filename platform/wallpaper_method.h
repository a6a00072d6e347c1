#pragma once

#include <QString>

#include "platform/outcome.h"

namespace tessora {

/// One way of handing a picture file to the desktop (a desktop's own setting, the portal, the
/// X11 root window...). The setter tries several in turn.
class WallpaperMethod {
 public:
  virtual ~WallpaperMethod() = default;
  /// Names the method in the failure report ("GNOME", "Portal", "X11").
  virtual QString name() const = 0;
  /// False for desktops that may lack a BMP decoder: they are handed a PNG.
  virtual bool readsBmp() const { return true; }
  /// Shows the file as the wallpaper, or says why not. Never waits longer than its own timeout.
  virtual Outcome install(const QString& file) = 0;
};

}  // namespace tessora
