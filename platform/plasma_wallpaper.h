#pragma once

#include <QDBusConnection>

#include "platform/wallpaper_method.h"

namespace tessora {

/// KDE Plasma: a desktop script run by plasmashell sets the picture of every desktop. Through
/// QtDBus, never the `qdbus` tool (missing on many systems, renamed on Plasma 6).
class PlasmaWallpaper : public WallpaperMethod {
 public:
  explicit PlasmaWallpaper(QDBusConnection bus) : bus_(std::move(bus)) {}
  QString name() const override { return QStringLiteral("KDE Plasma"); }
  Outcome install(const QString& file) override;
  /// Plasma keeps a desktop per screen, each with its own picture.
  MonitorSpread spread() const override { return MonitorSpread::PerMonitor; }
  Outcome installMonitors(const QList<MonitorFile>& files) override;

  /// The script handed to plasmashell for the file.
  static QString Script(const QString& file);
  /// The script for a picture per screen: each desktop gets the picture of the monitor at its
  /// screen's place, whatever order Plasma numbers its screens in.
  static QString ScreensScript(const QList<MonitorFile>& files);

 private:
  Outcome run(const QString& script);

  QDBusConnection bus_;
};

}  // namespace tessora
