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

 private:
  QString name_;
  QString program_;
  std::function<QStringList(const QString&)> arguments_;
};

CommandWallpaper SwayWallpaper();
/// Without a --wallpaper-mode the user's own style stays.
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

 private:
  qint64 previous_ = 0;
};

}  // namespace tessora
