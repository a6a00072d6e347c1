#pragma once

#include <QList>
#include <QRect>
#include <QString>

#include "platform/qt_outcome.h"

namespace tessora {

/// A picture file for one monitor, or for the whole virtual desktop (its rect then the bounding
/// box of the monitors), in device pixels.
struct MonitorFile {
  QString name;  ///< the output's connector name; may be empty
  QRect rect;
  QString file;
  bool primary = false;  ///< the primary monitor's (the spanned picture counts as primary)
};

/// How a desktop keeps its wallpaper when there are several monitors.
enum class MonitorSpread {
  Primary,     ///< one picture shown on every monitor: the primary monitor's is handed over
  Spanned,     ///< one picture spread over the whole virtual desktop
  PerMonitor,  ///< a picture for each monitor
};

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
  /// What the method takes when there are several monitors.
  virtual MonitorSpread spread() const { return MonitorSpread::Primary; }
  /// Shows several monitors' pictures: one per monitor in the desktop's order (PerMonitor), or
  /// one for the whole virtual desktop (Spanned), or the primary monitor's (Primary).
  virtual Outcome installMonitors(const QList<MonitorFile>& files) {
    return install(files.front().file);
  }
};

}  // namespace tessora
