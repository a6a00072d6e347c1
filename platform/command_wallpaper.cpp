#include "platform/command_wallpaper.h"

#include <signal.h>

#include <QDBusConnectionInterface>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QSaveFile>
#include <QSettings>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>

#include "platform/pixbuf_formats.h"

namespace tessora {
namespace {

// Runs the program to its end (or kills it at the timeout) with the event loop running.
Outcome Run(const QString& program, const QStringList& arguments, int timeoutMs) {
  if (QStandardPaths::findExecutable(program).isEmpty()) {
    return FailedWith(QStringLiteral("%1 is not installed").arg(program));
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
    return FailedWith(
        QStringLiteral("%1 did not finish within %2 s").arg(program).arg(timeoutMs / 1000));
  }
  if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
    const QString output = QString::fromLocal8Bit(process.readAll()).trimmed();
    return FailedWith(QStringLiteral("%1 failed (exit code %2)%3")
                          .arg(program)
                          .arg(process.exitCode())
                          .arg(output.isEmpty() ? QString() : QStringLiteral(": ") + output));
  }
  return Outcome::Done();
}

// The swaybg instance we started last, as its record file names it.
struct SwaybgRecord {
  qint64 pid = 0;
  QString file;
};

SwaybgRecord ReadRecord(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) {
    return {};
  }
  const QStringList lines = QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'));
  return lines.size() < 2 ? SwaybgRecord{} : SwaybgRecord{lines[0].toLongLong(), lines[1]};
}

void WriteRecord(const QString& path, const SwaybgRecord& record) {
  QSaveFile f(path);
  if (f.open(QIODevice::WriteOnly)) {
    f.write(QStringLiteral("%1\n%2\n").arg(record.pid).arg(record.file).toUtf8());
    f.commit();
  }
}

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

// Whether the process is there and not a zombie. Not whether it is swaybg yet: it may still be
// on its way through exec, or a wrapper script.
bool Running(qint64 pid) {
  QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
  if (!stat.open(QIODevice::ReadOnly)) {
    return false;
  }
  const QByteArray text = stat.readAll();
  const qsizetype state = text.lastIndexOf(')') + 2;  // "pid (name) S ..."
  return state > 1 && state < text.size() && text[state] != 'Z' && text[state] != 'X';
}

// A program left running must not hold on to our standard streams: whoever reads our output
// to its end would wait for as long as it runs, and its log would land in our output.
bool StartDetached(const QString& program, const QStringList& arguments, qint64* pid) {
  QProcess process;
  process.setProgram(program);
  process.setArguments(arguments);
  process.setStandardInputFile(QProcess::nullDevice());
  process.setStandardOutputFile(QProcess::nullDevice());
  process.setStandardErrorFile(QProcess::nullDevice());
  return process.startDetached(pid);
}

}  // namespace

Outcome CommandWallpaper::install(const QString& file) {
  return Run(program_, arguments_(file), kTimeoutMs);
}

// sway hands the picture to swaybg, LXDE's pcmanfm is a GTK program: both decode with
// gdk-pixbuf.
bool CommandWallpaper::readsBmp() const {
  return !pixbuf_ || PixbufReadsBmp();
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
  return sway;
}

CommandWallpaper LxdeWallpaper() {
  CommandWallpaper lxde(
      QStringLiteral("LXDE"), QStringLiteral("pcmanfm"),
      [](const QString& f) { return QStringList{QStringLiteral("--set-wallpaper=") + f}; }, true);
  lxde.forMonitors(MonitorSpread::Spanned, [](const QList<MonitorFile>& files) {
    return QStringList{QStringLiteral("--set-wallpaper=") + files.front().file,
                       QStringLiteral("--wallpaper-mode=screen")};
  });
  return lxde;
}

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
  return Run(QStringLiteral("pcmanfm-qt"), arguments, CommandWallpaper::kTimeoutMs);
}

// swaybg decodes the wallpaper with gdk-pixbuf.
bool SwaybgWallpaper::readsBmp() const {
  return PixbufReadsBmp();
}

SwaybgWallpaper::SwaybgWallpaper(QString record) : record_(std::move(record)) {}

bool IsSwaybgShowing(qint64 pid, const QString& file) {
  QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(pid));
  if (pid <= 0 || !cmdline.open(QIODevice::ReadOnly)) {
    return false;
  }
  const QList<QByteArray> args = cmdline.readAll().split('\0');
  const QByteArray wanted = QFile::encodeName(file);
  // args is never empty: split() yields at least one part.
  if (args.first().mid(args.first().lastIndexOf('/') + 1) != "swaybg") {
    return false;
  }
  for (qsizetype i = 1; i + 1 < args.size(); ++i) {
    if (args[i] == "-i" && args[i + 1] == wanted) {
      return true;
    }
  }
  return false;
}

Outcome SwaybgWallpaper::install(const QString& file) {
  return start({QStringLiteral("-o"), QStringLiteral("*"), QStringLiteral("-i"), file,
                QStringLiteral("-m"), QStringLiteral("fill")},
               file);
}

Outcome SwaybgWallpaper::installMonitors(const QList<MonitorFile>& files) {
  QStringList arguments;
  QString recorded = files.front().file;
  for (const MonitorFile& m : files) {
    if (m.primary) {
      recorded = m.file;
    }
    if (m.primary || !m.name.isEmpty()) {
      arguments << QStringLiteral("-o") << (m.primary ? QStringLiteral("*") : m.name)
                << QStringLiteral("-i") << m.file << QStringLiteral("-m") << QStringLiteral("fill");
    }
    if (m.primary && !m.name.isEmpty()) {
      arguments << QStringLiteral("-o") << m.name << QStringLiteral("-i") << m.file
                << QStringLiteral("-m") << QStringLiteral("fill");
    }
  }
  return start(arguments, recorded);
}

// file: one of the pictures in arguments, by which the instance is known again later.
Outcome SwaybgWallpaper::start(const QStringList& arguments, const QString& file) {
  if (QStandardPaths::findExecutable(QStringLiteral("swaybg")).isEmpty()) {
    return FailedWith(QStringLiteral("swaybg is not installed"));
  }
  // The session's runtime folder as the session names it; Qt's own choice may differ when
  // the folder's owner is not this process's user.
  if (record_.isEmpty()) {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    record_ = (runtime.isEmpty() ? QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation)
                                 : runtime) +
              QStringLiteral("/tessora-swaybg.pid");
  }
  const SwaybgRecord old = ReadRecord(record_);
  qint64 pid = 0;
  if (!StartDetached(QStringLiteral("swaybg"), arguments, &pid)) {
    return FailedWith(QStringLiteral("swaybg could not be started"));
  }
  // An instance that cannot reach the compositor gives up at once: the old one then stays.
  QDeadlineTimer settle(kSettleMs);
  while (!settle.hasExpired()) {
    if (!Running(pid)) {
      return FailedWith(QStringLiteral("swaybg exited at once"));
    }
    QThread::msleep(20);
  }
  WriteRecord(record_, SwaybgRecord{pid, file});
  if (old.pid != pid && IsSwaybgShowing(old.pid, old.file)) {
    ::kill(static_cast<pid_t>(old.pid), SIGTERM);
  }
  return Outcome::Done();
}

}  // namespace tessora
