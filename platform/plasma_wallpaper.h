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

  /// The script handed to plasmashell for the file.
  static QString Script(const QString& file);

 private:
  QDBusConnection bus_;
};

}  // namespace tessora
