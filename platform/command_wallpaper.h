#pragma once

#include <QDBusConnection>
#include <QStringList>
#include <functional>

#include "platform/wallpaper_method.h"

namespace tessora {

/// Desktops set through a command of theirs: sway (swaymsg), LXQt (pcmanfm-qt), LXDE (pcmanfm).
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

 private:
  QString name_;
  QString program_;
  std::function<QStringList(const QString&)> arguments_;
  bool pixbuf_;
  MonitorSpread spread_ = MonitorSpread::Primary;
  std::function<QStringList(const QList<MonitorFile>&)> monitorArguments_;
};

/// With several monitors, each output gets its own picture.
CommandWallpaper SwayWallpaper();
/// Without a --wallpaper-mode the user's own style stays. With several monitors pcmanfm draws
/// one picture over the whole virtual desktop: the spanned one, in the mode that puts it there 1:1.
CommandWallpaper LxdeWallpaper();

/// LXQt: `pcmanfm-qt --set-wallpaper` hands the file to the running `pcmanfm-qt --desktop`.
/// With no such desktop it stores nothing and still exits 0, so the desktop's bus name is looked
/// for first. The user's mode stays unless it hides the picture ("none", "color", or none chosen
/// yet, which is "none"): then the picture is stretched, the composition being made at the
/// screen's size. pcmanfm-qt is a Qt program and reads BMP itself.
class PcmanfmQtWallpaper : public WallpaperMethod {
 public:
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
  Outcome start(const QStringList& arguments, const QString& file);

  QString record_;
};

/// Whether process pid is a swaybg showing file (read from /proc/<pid>/cmdline).
bool IsSwaybgShowing(qint64 pid, const QString& file);

}  // namespace tessora
