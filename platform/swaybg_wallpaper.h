#pragma once

#include <QStringList>

#include "platform/processes.h"
#include "platform/wallpaper_method.h"

namespace tessora {

/// Other wlroots compositors: swaybg draws the picture. It never exits, so it is started
/// detached. Every install runs in a fresh helper process, so the instance to replace is
/// remembered in a record file (its pid and picture); it is stopped once the new one is up, to
/// avoid a grey flash, and only when /proc still shows it as that very swaybg.
class SwaybgWallpaper : public WallpaperMethod {
 public:
  /// How long the new instance must stay up before the old one goes.
  static constexpr int kSettleMs = 500;

  /// record: the file remembering the running instance; empty: tessora-swaybg.pid in the
  /// user's runtime folder.
  explicit SwaybgWallpaper(QString record = {});
  QString name() const override { return QStringLiteral("swaybg"); }
  bool readsBmp() const override;
  Outcome install(const QString& file) override;
  /// Each named output gets its own picture, any other the primary's.
  MonitorSpread spread() const override { return MonitorSpread::PerMonitor; }
  Outcome installMonitors(const QList<MonitorFile>& files) override;

 private:
  Outcome start(const QStringList& arguments, const QList<MonitorFile>& files);

  QString record_;
};

/// Whether the process is a swaybg showing a picture from the folder.
bool ShowsFileIn(const ProcessInfo& process, const QString& folder);

/// Whether process pid is a swaybg showing file (read from /proc/<pid>/cmdline).
bool IsSwaybgShowing(qint64 pid, const QString& file);

}  // namespace tessora
