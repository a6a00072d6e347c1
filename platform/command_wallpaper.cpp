#include "platform/command_wallpaper.h"

#include <signal.h>

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QSaveFile>
#include <QStandardPaths>
#include <QThread>
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

CommandWallpaper SwayWallpaper() {
  // swaymsg joins its arguments into one command line that sway parses again: quote the path.
  return CommandWallpaper(QStringLiteral("sway"), QStringLiteral("swaymsg"), [](const QString& f) {
    QString quoted = f;
    quoted.replace(QLatin1Char('\\'), QLatin1String("\\\\"))
        .replace(QLatin1Char('"'), QLatin1String("\\\""));
    return QStringList{QStringLiteral("output"), QStringLiteral("*"), QStringLiteral("bg"),
                       QLatin1Char('"') + quoted + QLatin1Char('"'), QStringLiteral("fill")};
  });
}

CommandWallpaper LxqtWallpaper() {
  return CommandWallpaper(QStringLiteral("LXQt"), QStringLiteral("pcmanfm-qt"),
                          [](const QString& f) {
                            return QStringList{QStringLiteral("--set-wallpaper"), f};
                          });
}

CommandWallpaper LxdeWallpaper() {
  return CommandWallpaper(QStringLiteral("LXDE"), QStringLiteral("pcmanfm"), [](const QString& f) {
    return QStringList{QStringLiteral("--set-wallpaper=") + f};
  });
}

// swaybg decodes the wallpaper with gdk-pixbuf.
bool SwaybgWallpaper::readsBmp() const {
  return PixbufReadsBmp();
}

SwaybgWallpaper::SwaybgWallpaper(QString record) : record_(std::move(record)) {
  if (record_.isEmpty()) {
    record_ = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation) +
              QStringLiteral("/tessora-swaybg.pid");
  }
}

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
  if (QStandardPaths::findExecutable(QStringLiteral("swaybg")).isEmpty()) {
    return Outcome::Failed(QStringLiteral("swaybg is not installed"));
  }
  const SwaybgRecord old = ReadRecord(record_);
  qint64 pid = 0;
  if (!StartDetached(QStringLiteral("swaybg"),
                     {QStringLiteral("-o"), QStringLiteral("*"), QStringLiteral("-i"), file,
                      QStringLiteral("-m"), QStringLiteral("fill")},
                     &pid)) {
    return Outcome::Failed(QStringLiteral("swaybg could not be started"));
  }
  // An instance that cannot reach the compositor gives up at once: the old one then stays.
  QDeadlineTimer settle(kSettleMs);
  while (!settle.hasExpired()) {
    if (!Running(pid)) {
      return Outcome::Failed(QStringLiteral("swaybg exited at once"));
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
