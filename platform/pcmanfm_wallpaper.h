#pragma once

#include <QByteArray>
#include <QString>

#include "platform/wallpaper_method.h"

namespace tessora {

/// LXDE: the running `pcmanfm --desktop` draws a window on each monitor, each with its own
/// settings, `desktop-items-N.conf` in the profile's folder (N: the monitor's number, the
/// primary's 0). `pcmanfm --set-wallpaper` changes monitor 0 alone; the others read their file
/// only when the desktop starts, so with several monitors every file is written and the desktop
/// started again, with the command line and environment it had.
class PcmanfmWallpaper : public WallpaperMethod {
 public:
  static constexpr int kTimeoutMs = 5000;
  /// How long the desktop may take to end, and how long the new one must stay up.
  static constexpr int kRestartMs = 3000;
  static constexpr int kSettleMs = 500;

  QString name() const override { return QStringLiteral("LXDE"); }
  bool readsBmp() const override;
  /// Without a --wallpaper-mode the user's own style stays.
  Outcome install(const QString& file) override;
  MonitorSpread spread() const override { return MonitorSpread::PerMonitor; }
  Outcome installMonitors(const QList<MonitorFile>& files) override;
};

/// The settings of one monitor's desktop (`desktop-items-N.conf`, the group [*]) showing file:
/// `wallpaper`, and each workspace's `wallpaperN` where the user keeps one picture a workspace
/// (`wallpaper_common=0`); a `wallpaper_mode` that would not show this monitor's picture as it
/// is (none, `color`, `screen`) becomes `stretch`. Everything else stays as it was.
QByteArray PcmanfmDesktopItems(const QByteArray& text, const QString& file);

}  // namespace tessora
