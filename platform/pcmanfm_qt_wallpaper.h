#pragma once

#include <QDBusConnection>

#include "platform/wallpaper_method.h"

namespace tessora {

/// LXQt: `pcmanfm-qt --set-wallpaper` hands the file to the running `pcmanfm-qt --desktop`.
/// With no such desktop it stores nothing and still exits 0, so the desktop's bus name is looked
/// for first. The user's mode stays unless it hides the picture ("none", "color", or none chosen
/// yet, which is "none"): then the picture is stretched, the composition being made at the
/// screen's size. pcmanfm-qt is a Qt program and reads BMP itself.
class PcmanfmQtWallpaper : public WallpaperMethod {
 public:
  static constexpr int kTimeoutMs = 5000;

  explicit PcmanfmQtWallpaper(QDBusConnection bus) : bus_(std::move(bus)) {}
  QString name() const override { return QStringLiteral("LXQt"); }
  Outcome install(const QString& file) override;
  /// With several monitors: the spanned picture, stretched over the bounding box as 1:1.
  MonitorSpread spread() const override { return MonitorSpread::Spanned; }
  Outcome installMonitors(const QList<MonitorFile>& files) override;

 private:
  Outcome show(const QString& file, bool stretch);

  QDBusConnection bus_;
};

/// The wallpaper mode of a pcmanfm-qt profile as its settings.conf says; empty when not set.
QString PcmanfmQtWallpaperMode(const QString& profile);

}  // namespace tessora
