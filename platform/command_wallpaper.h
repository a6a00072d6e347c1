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

 private:
  QString record_;
};

/// Whether process pid is a swaybg showing file (read from /proc/<pid>/cmdline).
bool IsSwaybgShowing(qint64 pid, const QString& file);

}  // namespace tessora
