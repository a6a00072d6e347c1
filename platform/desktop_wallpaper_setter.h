#pragma once

#include <memory>
#include <vector>

#include "platform/services.h"
#include "platform/session.h"
#include "platform/wallpaper_files.h"
#include "platform/wallpaper_method.h"

namespace tessora {

/// The methods worth trying in this session, best first: the desktop's own setting (with the
/// X11 root window as well while the program drawing that setting is away), then the portal
/// where the desktop has a portal back end of its own (the only method inside a sandbox), then
/// swaybg on Wayland, or the X11 root window when there is no desktop to hide it, and last the
/// portal where only another desktop's back end could answer.
std::vector<std::unique_ptr<WallpaperMethod>> WallpaperMethodsFor(const Session& session);

/// Installs the wallpaper with the first method that works, each handed a fresh name for the
/// picture; when none works, the reason names every method and why it failed.
class DesktopWallpaperSetter : public WallpaperSetter {
 public:
  explicit DesktopWallpaperSetter(std::vector<std::unique_ptr<WallpaperMethod>> methods)
      : methods_(std::move(methods)) {}
  OutcomeOf<std::string> wallpaperFolder() const override;
  Outcome setWallpaper(const std::string& path) override;
  /// Each method is handed the form it takes: a picture per monitor, the spanned picture, or
  /// the primary monitor's.
  Outcome setMonitorWallpapers(const MonitorPictures& pictures) override;

 private:
  /// Hands the method `copies`, the fresh copies of the files; they stay only when it takes them.
  Outcome installFresh(WallpaperMethod& method, const QList<MonitorFile>& files,
                       const QStringList& copies);

  std::vector<std::unique_ptr<WallpaperMethod>> methods_;
  WallpaperFiles files_;
};

}  // namespace tessora
