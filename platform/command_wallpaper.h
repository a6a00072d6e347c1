#pragma once

#include <QStringList>
#include <functional>

#include "platform/wallpaper_method.h"

namespace tessora {

/// Desktops set through a command of theirs: sway (swaymsg), LXQt (pcmanfm-qt), LXDE (pcmanfm).
class CommandWallpaper : public WallpaperMethod {
 public:
  static constexpr int kTimeoutMs = 5000;

  /// arguments: the command's arguments for a file.
  CommandWallpaper(QString name, QString program,
                   std::function<QStringList(const QString&)> arguments)
      : name_(std::move(name)), program_(std::move(program)), arguments_(std::move(arguments)) {}
  QString name() const override { return name_; }
  Outcome install(const QString& file) override;
  MonitorSpread spread() const override { return spread_; }
  Outcome installMonitors(const QList<MonitorFile>& files) override;

  /// How the command takes several monitors' pictures, and its arguments for them.
  CommandWallpaper& forMonitors(MonitorSpread spread,
                                std::function<QStringList(const QList<MonitorFile>&)> arguments) {
    spread_ = spread;
    monitorArguments_ = std::move(arguments);
    return *this;
  }

 private:
  QString name_;
  QString program_;
  std::function<QStringList(const QString&)> arguments_;
  MonitorSpread spread_ = MonitorSpread::Primary;
  std::function<QStringList(const QList<MonitorFile>&)> monitorArguments_;
};

/// With several monitors, each output gets its own picture.
CommandWallpaper SwayWallpaper();
/// Without a --wallpaper-mode the user's own style stays. With several monitors both draw one
/// picture over the whole virtual desktop: the spanned one, in the mode that puts it there 1:1.
CommandWallpaper LxqtWallpaper();
CommandWallpaper LxdeWallpaper();

/// Other wlroots compositors: swaybg draws the picture. It never exits, so it is started
/// detached; the instance started the time before is stopped a moment later, once the new one
/// has drawn, to avoid a grey flash.
class SwaybgWallpaper : public WallpaperMethod {
 public:
  QString name() const override { return QStringLiteral("swaybg"); }
  bool readsBmp() const override;
  Outcome install(const QString& file) override;
  /// Each named output gets its own picture, any other the primary's.
  MonitorSpread spread() const override { return MonitorSpread::PerMonitor; }
  Outcome installMonitors(const QList<MonitorFile>& files) override;

 private:
  Outcome start(const QStringList& arguments);

  qint64 previous_ = 0;
};

}  // namespace tessora
