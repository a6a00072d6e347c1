#include "platform/drawn_wallpaper.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <cstdio>

namespace tessora {
namespace {

// ":0", ":0.0" and "unix:0" are the same display: its number is what counts.
QByteArray DisplayNumber(const QByteArray& display) {
  QByteArray number = display.mid(display.lastIndexOf(':') + 1);
  const qsizetype dot = number.indexOf('.');
  return dot < 0 ? number : number.left(dot);
}

QByteArray ReadProcFile(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool RunsOn(const QString& proc, const QByteArray& display) {
  for (const QByteArray& entry : ReadProcFile(proc + QStringLiteral("/environ")).split('\0')) {
    if (entry.startsWith("DISPLAY=")) {
      return DisplayNumber(entry.mid(8)) == DisplayNumber(display);
    }
  }
  return false;
}

}  // namespace

Outcome DrawnWallpaper::shown(const std::function<Outcome(WallpaperMethod& method)>& put) {
  if (Outcome stored = put(*setting_); !stored.ok()) {
    return stored;
  }
  if (drawer_.running()) {
    return Outcome::Done();
  }
  if (!root_) {
    return FailedWith(QStringLiteral("%1 is not running: the picture is stored in the desktop's "
                                     "settings, but nothing draws it")
                          .arg(drawer_.program));
  }
  if (Outcome painted = put(*root_); !painted.ok()) {
    return FailedWith(QStringLiteral("%1 is not running, and the root window cannot show the "
                                     "picture: %2")
                          .arg(drawer_.program, QString::fromStdString(painted.reason())));
  }
  // The picture shows, but not the way the user may expect: say so beside the success.
  std::fprintf(stderr, "%s is not running: the picture is shown on the root window until it is\n",
               drawer_.program.toLocal8Bit().constData());
  return Outcome::Done();
}

Outcome DrawnWallpaper::install(const QString& file) {
  return shown([&file](WallpaperMethod& method) { return method.install(file); });
}

Outcome DrawnWallpaper::installMonitors(const QList<MonitorFile>& files) {
  return shown([&](WallpaperMethod& method) {
    // The root takes a picture per monitor or one over all of them, as the setting did; the
    // primary monitor's alone it shows on every monitor.
    if (&method == root_.get() && setting_->spread() == MonitorSpread::Primary) {
      return method.install(files.front().file);
    }
    return method.installMonitors(files);
  });
}

bool ProgramRunning(const QStringList& names, const QByteArray& display) {
  const uid_t me = ::getuid();
  const QStringList pids =
      QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
  for (const QString& pid : pids) {
    if (!pid.front().isDigit()) {
      continue;
    }
    const QString proc = QStringLiteral("/proc/") + pid;
    struct stat info {};
    if (::stat(QFile::encodeName(proc).constData(), &info) != 0 || info.st_uid != me) {
      continue;
    }
    const QString comm =
        QString::fromLocal8Bit(ReadProcFile(proc + QStringLiteral("/comm"))).trimmed();
    if (names.contains(comm) && (display.isEmpty() || RunsOn(proc, display))) {
      return true;
    }
  }
  return false;
}

}  // namespace tessora
