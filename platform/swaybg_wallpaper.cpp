#include "platform/swaybg_wallpaper.h"

#include <signal.h>

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSaveFile>
#include <QStandardPaths>
#include <QThread>

#include "common/read_file.h"
#include "platform/background_programs.h"
#include "platform/pixbuf_formats.h"
#include "platform/processes.h"

namespace tessora {
namespace {

// A pid and a path.
constexpr std::uint64_t kMaxRecord = 8192;

// The swaybg instance we started last, as its record file names it.
struct SwaybgRecord {
  qint64 pid = 0;
  QString file;
};

// Read as the settings files are: only a small regular file, never waiting on what stands in
// its place (a FIFO, a device).
SwaybgRecord ReadRecord(const QString& path) {
  std::string text;
  if (ReadWholeFile(QFile::encodeName(path).toStdString(), kMaxRecord, text) != ReadResult::Ok) {
    return {};
  }
  const QStringList lines = QString::fromStdString(text).split(QLatin1Char('\n'));
  return lines.size() < 2 ? SwaybgRecord{} : SwaybgRecord{lines[0].toLongLong(), lines[1]};
}

void WriteRecord(const QString& path, const SwaybgRecord& record) {
  // Whatever else stands in its place is replaced; a link goes, not what it points to.
  const QFileInfo there(path);
  if (there.isSymLink() || (there.exists() && !there.isFile())) {
    QFile::remove(path);
  }
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

// swaybg decodes the wallpaper with gdk-pixbuf.
bool SwaybgWallpaper::readsBmp() const {
  return PixbufReadsBmp();
}

SwaybgWallpaper::SwaybgWallpaper(QString record) : record_(std::move(record)) {}

bool ShowsFileIn(const ProcessInfo& process, const QString& folder) {
  if (process.program() != "swaybg") {
    return false;
  }
  for (qsizetype i = 1; i + 1 < process.arguments.size(); ++i) {
    if (process.arguments[i] == "-i" &&
        QFileInfo(QFile::decodeName(process.arguments[i + 1])).absolutePath() == folder) {
      return true;
    }
  }
  return false;
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
  return start({QStringLiteral("-o"), QStringLiteral("*"), QStringLiteral("-i"), file,
                QStringLiteral("-m"), QStringLiteral("fill")},
               {MonitorFile{QString(), QRect(), file, true}});
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
  return start(arguments, files);
}

// files: the pictures in arguments; the primary's is the one by which the instance is known
// again later.
Outcome SwaybgWallpaper::start(const QStringList& arguments, const QList<MonitorFile>& files) {
  QString file = files.front().file;
  for (const MonitorFile& m : files) {
    if (m.primary) {
      file = m.file;
    }
  }
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
  // Ours: the one recorded, and any other showing a picture from our folder (one whose record
  // was lost, or that had not ended yet when the record was replaced).
  const QString folder = QFileInfo(file).absolutePath();
  const auto ours = [&old, &folder](const ProcessInfo& p) {
    return (p.pid == old.pid && IsSwaybgShowing(old.pid, old.file)) || ShowsFileIn(p, folder);
  };
  // Ours would start underneath a background program of the user's own, and never be seen.
  if (const std::optional<BackgroundProgram> other = ForeignBackground(ours)) {
    return ShowThrough(*other, files);
  }
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
  // Every earlier one of ours goes, and is waited for: when the set is done, one of ours runs.
  QList<qint64> ending;
  for (const ProcessInfo& p : UserProcesses()) {
    if (p.pid != pid && p.program() == "swaybg" && InThisSession(p.pid) && ours(p)) {
      ::kill(static_cast<pid_t>(p.pid), SIGTERM);
      ending << p.pid;
    }
  }
  QDeadlineTimer gone(kSettleMs);
  for (const qint64 p : ending) {
    ProcessInfo info;
    while (ReadProcess(p, &info) && !gone.hasExpired()) {
      QThread::msleep(10);
    }
  }
  return Outcome::Done();
}

}  // namespace tessora
