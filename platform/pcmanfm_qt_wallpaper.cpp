#include "platform/pcmanfm_qt_wallpaper.h"

#include <QDBusConnectionInterface>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>

#include "platform/run_command.h"

namespace tessora {
namespace {

// The settings profile a running pcmanfm-qt uses, from its command line.
QString ProfileOf(uint pid) {
  QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(pid));
  const QList<QByteArray> args =
      cmdline.open(QIODevice::ReadOnly) ? cmdline.readAll().split('\0') : QList<QByteArray>();
  for (qsizetype i = 1; i < args.size(); ++i) {
    const QByteArray& a = args[i];
    if (a.startsWith("--profile=")) {
      return QString::fromLocal8Bit(a.mid(10));
    }
    if ((a == "--profile" || a == "-p") && i + 1 < args.size()) {
      return QString::fromLocal8Bit(args[i + 1]);
    }
    if (a.startsWith("-p") && !a.startsWith("--")) {
      return QString::fromLocal8Bit(a.mid(2));
    }
  }
  return QStringLiteral("default");
}

}  // namespace

QString PcmanfmQtWallpaperMode(const QString& profile) {
  const QString path = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                       QStringLiteral("/pcmanfm-qt/%1/settings.conf").arg(profile);
  return QSettings(path, QSettings::IniFormat)
      .value(QStringLiteral("Desktop/WallpaperMode"))
      .toString();
}

Outcome PcmanfmQtWallpaper::install(const QString& file) {
  return show(file, false);
}

// The spanned picture is made for the bounding box of the screens, which is what pcmanfm-qt
// stretches one picture over.
Outcome PcmanfmQtWallpaper::installMonitors(const QList<MonitorFile>& files) {
  return show(files.front().file, true);
}

Outcome PcmanfmQtWallpaper::show(const QString& file, bool stretch) {
  const QString service = QStringLiteral("org.pcmanfm.PCManFM");
  if (!bus_.isConnected() || !bus_.interface()->isServiceRegistered(service)) {
    return FailedWith(QStringLiteral(
        "no pcmanfm-qt desktop is running (pcmanfm-qt --desktop), so nothing would show it"));
  }
  const QString profile = ProfileOf(bus_.interface()->servicePid(service).value());
  QStringList arguments{QStringLiteral("--set-wallpaper=") + file};
  const QString mode = PcmanfmQtWallpaperMode(profile);
  if (stretch || mode.isEmpty() || mode == QLatin1String("none") ||
      mode == QLatin1String("color")) {
    arguments << QStringLiteral("--wallpaper-mode=stretch");
  }
  return RunCommand(QStringLiteral("pcmanfm-qt"), arguments, kTimeoutMs);
}

}  // namespace tessora
