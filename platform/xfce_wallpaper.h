#pragma once

#include <QDBusConnection>
#include <QStringList>
#include <functional>

#include "platform/wallpaper_method.h"

namespace tessora {

/// XFCE's desktop keeps one picture per monitor and workspace in the xfconf channel
/// "xfce4-desktop"; all of them are set, through the xfconf D-Bus service.
class XfceWallpaper : public WallpaperMethod {
 public:
  /// monitors: output names for a first-time setup without any backdrop entry yet.
  XfceWallpaper(QDBusConnection bus, QStringList monitors)
      : bus_(std::move(bus)), monitors_(std::move(monitors)) {}
  QString name() const override { return QStringLiteral("XFCE"); }
  bool readsBmp() const override;
  Outcome install(const QString& file) override;
  /// Each monitor's entries get its own picture, found by connector name ("monitorDP-1") or, in
  /// old setups, by index ("monitor0").
  MonitorSpread spread() const override { return MonitorSpread::PerMonitor; }
  Outcome installMonitors(const QList<MonitorFile>& files) override;

 private:
  /// Sets every picture entry to fileFor(entry); with everyMonitor, each of `monitors` gets
  /// entries of its own where it has none yet.
  Outcome setImages(const QStringList& monitors,
                    const std::function<QString(const QString& entry)>& fileFor,
                    bool everyMonitor = false);

  QDBusConnection bus_;
  QStringList monitors_;
};

}  // namespace tessora
