#include "platform/command_wallpaper.h"

#include <signal.h>

#include <QEventLoop>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>

#include "platform/pixbuf_formats.h"

namespace tessora {
namespace {

// Runs the program to its end (or kills it at the timeout) with the event loop running.
Outcome Run(const QString& program, const QStringList& arguments, int timeoutMs) {
  if (QStandardPaths::findExecutable(program).isEmpty()) {
    return Outcome::Failed(QStringLiteral("%1 is not installed").arg(program));
  }
  QProcess process;
  process.setProcessChannelMode(QProcess::MergedChannels);
  QEventLoop loop;
  QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
  QObject::connect(&process, &QProcess::errorOccurred, &loop, &QEventLoop::quit);
  QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
  process.start(program, arguments);
  if (process.state() != QProcess::NotRunning) {
    loop.exec(QEventLoop::ExcludeUserInputEvents);
  }
  if (process.state() != QProcess::NotRunning) {
    process.kill();
    process.waitForFinished(1000);
    return Outcome::Failed(
        QStringLiteral("%1 did not finish within %2 s").arg(program).arg(timeoutMs / 1000));
  }
  if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
    const QString output = QString::fromLocal8Bit(process.readAll()).trimmed();
    return Outcome::Failed(QStringLiteral("%1 failed (exit code %2)%3")
                               .arg(program)
                               .arg(process.exitCode())
                               .arg(output.isEmpty() ? QString() : QStringLiteral(": ") + output));
  }
  return Outcome::Done();
}

}  // namespace

Outcome CommandWallpaper::install(const QString& file) {
  return Run(program_, arguments_(file), kTimeoutMs);
}

Outcome CommandWallpaper::installMonitors(const QList<MonitorFile>& files) {
  if (!monitorArguments_) {
    return WallpaperMethod::installMonitors(files);
  }
  return Run(program_, monitorArguments_(files), kTimeoutMs);
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
  CommandWallpaper sway(QStringLiteral("sway"), QStringLiteral("swaymsg"), [](const QString& f) {
    return QStringList{QStringLiteral("output"), QStringLiteral("*"), QStringLiteral("bg"),
                       SwayQuoted(f), QStringLiteral("fill")};
  });
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
  return sway;
}

CommandWallpaper LxqtWallpaper() {
  CommandWallpaper lxqt(QStringLiteral("LXQt"), QStringLiteral("pcmanfm-qt"), [](const QString& f) {
    return QStringList{QStringLiteral("--set-wallpaper"), f};
  });
  // pcmanfm-qt paints one picture over the bounding box of all screens.
  lxqt.forMonitors(MonitorSpread::Spanned, [](const QList<MonitorFile>& files) {
    return QStringList{QStringLiteral("--set-wallpaper"), files.front().file,
                       QStringLiteral("--wallpaper-mode"), QStringLiteral("stretch")};
  });
  return lxqt;
}

CommandWallpaper LxdeWallpaper() {
  CommandWallpaper lxde(QStringLiteral("LXDE"), QStringLiteral("pcmanfm"), [](const QString& f) {
    return QStringList{QStringLiteral("--set-wallpaper=") + f};
  });
  lxde.forMonitors(MonitorSpread::Spanned, [](const QList<MonitorFile>& files) {
    return QStringList{QStringLiteral("--set-wallpaper=") + files.front().file,
                       QStringLiteral("--wallpaper-mode=screen")};
  });
  return lxde;
}

// swaybg decodes the wallpaper with gdk-pixbuf.
bool SwaybgWallpaper::readsBmp() const {
  return PixbufReadsBmp();
}

Outcome SwaybgWallpaper::install(const QString& file) {
  return start({QStringLiteral("-o"), QStringLiteral("*"), QStringLiteral("-i"), file,
                QStringLiteral("-m"), QStringLiteral("fill")});
}

Outcome SwaybgWallpaper::installMonitors(const QList<MonitorFile>& files) {
  QStringList arguments;
  for (const MonitorFile& m : files) {
    if (m.primary || !m.name.isEmpty()) {
      arguments << QStringLiteral("-o") << (m.primary ? QStringLiteral("*") : m.name)
                << QStringLiteral("-i") << m.file << QStringLiteral("-m") << QStringLiteral("fill");
    }
    if (m.primary && !m.name.isEmpty()) {
      arguments << QStringLiteral("-o") << m.name << QStringLiteral("-i") << m.file
                << QStringLiteral("-m") << QStringLiteral("fill");
    }
  }
  return start(arguments);
}

Outcome SwaybgWallpaper::start(const QStringList& arguments) {
  if (QStandardPaths::findExecutable(QStringLiteral("swaybg")).isEmpty()) {
    return Outcome::Failed(QStringLiteral("swaybg is not installed"));
  }
  qint64 pid = 0;
  if (!QProcess::startDetached(QStringLiteral("swaybg"), arguments, QString(), &pid)) {
    return Outcome::Failed(QStringLiteral("swaybg could not be started"));
  }
  if (previous_ > 0) {
    const auto old = static_cast<pid_t>(previous_);
    QTimer::singleShot(1000, [old] { ::kill(old, SIGTERM); });
  }
  previous_ = pid;
  return Outcome::Done();
}

}  // namespace tessora
