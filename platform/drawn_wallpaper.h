#pragma once

#include <QByteArray>
#include <QStringList>
#include <functional>
#include <memory>

#include "platform/wallpaper_method.h"

namespace tessora {

/// The program that draws a desktop's stored wallpaper setting on the screen.
struct WallpaperDrawer {
  QString program;                ///< named in the report: "xfdesktop"
  std::function<bool()> running;  ///< whether it draws in this session now
};

/// A desktop's own setting, checked against the program that draws it: a setting that nobody
/// draws leaves the screen black while the setting reads back fine. Without that program the
/// picture also goes on the X11 root window, where it shows (the setting stays, so that the
/// program shows the same picture when it comes back); where there is no root window to paint
/// (Wayland), the attempt fails and names the missing program.
class DrawnWallpaper : public WallpaperMethod {
 public:
  /// root: paints the root window; nullptr where it would not be seen.
  DrawnWallpaper(std::unique_ptr<WallpaperMethod> setting, WallpaperDrawer drawer,
                 std::unique_ptr<WallpaperMethod> root)
      : setting_(std::move(setting)), drawer_(std::move(drawer)), root_(std::move(root)) {}
  QString name() const override { return setting_->name(); }
  bool readsBmp() const override { return setting_->readsBmp(); }
  Outcome install(const QString& file) override;
  MonitorSpread spread() const override { return setting_->spread(); }
  Outcome installMonitors(const QList<MonitorFile>& files) override;

 private:
  /// Stores the picture with `put`, then makes sure something shows it.
  Outcome shown(const std::function<Outcome(WallpaperMethod& method)>& put);

  std::unique_ptr<WallpaperMethod> setting_;
  WallpaperDrawer drawer_;
  std::unique_ptr<WallpaperMethod> root_;
};

/// Whether a process of this user named one of `names` (as /proc/PID/comm gives them) runs on
/// `display` (an X11 DISPLAY value; empty: on any display).
bool ProgramRunning(const QStringList& names, const QByteArray& display = {});

}  // namespace tessora
