#pragma once

#include <QStringList>
#include <functional>
#include <optional>

#include "platform/wallpaper_method.h"

namespace tessora {

/// Desktops set through a command of theirs: sway (swaymsg).
class CommandWallpaper : public WallpaperMethod {
 public:
  static constexpr int kTimeoutMs = 5000;

  /// arguments: the command's arguments for a file. pixbuf: the desktop decodes the picture
  /// with gdk-pixbuf, which may lack BMP.
  CommandWallpaper(QString name, QString program,
                   std::function<QStringList(const QString&)> arguments, bool pixbuf)
      : name_(std::move(name)),
        program_(std::move(program)),
        arguments_(std::move(arguments)),
        pixbuf_(pixbuf) {}
  QString name() const override { return name_; }
  bool readsBmp() const override;
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

  /// A step before the command: when it yields an outcome, that is the set's, and the command
  /// does not run.
  CommandWallpaper& ahead(std::function<std::optional<Outcome>(const QList<MonitorFile>&)> step) {
    ahead_ = std::move(step);
    return *this;
  }

 private:
  QString name_;
  QString program_;
  std::function<QStringList(const QString&)> arguments_;
  bool pixbuf_;
  MonitorSpread spread_ = MonitorSpread::Primary;
  std::function<QStringList(const QList<MonitorFile>&)> monitorArguments_;
  std::function<std::optional<Outcome>(const QList<MonitorFile>&)> ahead_;
};

/// With several monitors, each output gets its own picture. A background program of the user's
/// own would cover the one sway starts (hyprpaper and swww show the pictures instead).
CommandWallpaper SwayWallpaper();

}  // namespace tessora
