#include "platform/command_wallpaper.h"

#include <QFileInfo>

#include "platform/background_programs.h"
#include "platform/pixbuf_formats.h"
#include "platform/run_command.h"
#include "platform/swaybg_wallpaper.h"

namespace tessora {

Outcome CommandWallpaper::install(const QString& file) {
  if (ahead_) {
    if (std::optional<Outcome> done = ahead_({MonitorFile{QString(), QRect(), file, true}})) {
      return *done;
    }
  }
  return RunCommand(program_, arguments_(file), kTimeoutMs);
}

// sway hands the picture to swaybg, which decodes with gdk-pixbuf.
bool CommandWallpaper::readsBmp() const {
  return !pixbuf_ || PixbufReadsBmp();
}

Outcome CommandWallpaper::installMonitors(const QList<MonitorFile>& files) {
  if (!monitorArguments_) {
    return WallpaperMethod::installMonitors(files);
  }
  if (ahead_) {
    if (std::optional<Outcome> done = ahead_(files)) {
      return *done;
    }
  }
  return RunCommand(program_, monitorArguments_(files), kTimeoutMs);
}

namespace {

// swaymsg joins its arguments into one command line that sway parses again: quote every word
// that comes from outside.
QString SwayQuoted(const QString& text) {
  QString quoted = text;
  quoted.replace(QLatin1Char('\\'), QLatin1String("\\\\"))
      .replace(QLatin1Char('"'), QLatin1String("\\\""));
  return QLatin1Char('"') + quoted + QLatin1Char('"');
}

}  // namespace

CommandWallpaper SwayWallpaper() {
  CommandWallpaper sway(
      QStringLiteral("sway"), QStringLiteral("swaymsg"),
      [](const QString& f) {
        return QStringList{QStringLiteral("output"), QStringLiteral("*"), QStringLiteral("bg"),
                           SwayQuoted(f), QStringLiteral("fill")};
      },
      true);
  // One command line for all outputs, so that they change together. Every output first gets
  // the primary's picture: one Qt could not name still shows a composition made for a screen.
  sway.forMonitors(MonitorSpread::PerMonitor, [](const QList<MonitorFile>& files) {
    QStringList arguments;
    for (const MonitorFile& m : files) {
      if (m.primary) {
        arguments << QStringLiteral("output") << QStringLiteral("*") << QStringLiteral("bg")
                  << SwayQuoted(m.file) << QStringLiteral("fill");
      }
    }
    for (const MonitorFile& m : files) {
      if (!m.name.isEmpty()) {
        arguments << QStringLiteral(";") << QStringLiteral("output") << SwayQuoted(m.name)
                  << QStringLiteral("bg") << SwayQuoted(m.file) << QStringLiteral("fill");
      }
    }
    return arguments;
  });
  sway.ahead([](const QList<MonitorFile>& files) -> std::optional<Outcome> {
    const QString folder = QFileInfo(files.front().file).absolutePath();
    const auto ours = [&folder](const ProcessInfo& p) { return ShowsFileIn(p, folder); };
    if (const std::optional<BackgroundProgram> other = ForeignBackground(ours)) {
      return ShowThrough(*other, files);
    }
    return std::nullopt;
  });
  return sway;
}

}  // namespace tessora
