#include "platform/pcmanfm_wallpaper.h"

#include <signal.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSaveFile>
#include <QStandardPaths>
#include <QThread>
#include <optional>
#include <string>

#include "common/read_file.h"
#include "platform/pixbuf_formats.h"
#include "platform/processes.h"
#include "platform/run_command.h"

namespace tessora {
namespace {

// A monitor's settings file holds the desktop's icon positions too, but never this much.
constexpr std::uint64_t kMaxItemsFile = 1024 * 1024;

QString NoDesktop() {
  return QStringLiteral(
      "pcmanfm is not running as the desktop: no `pcmanfm --desktop` of this user runs, so "
      "nothing would show the wallpaper");
}

// The running pcmanfm desktop of this user, on this display.
std::optional<ProcessInfo> RunningDesktop() {
  for (const ProcessInfo& p : UserProcesses()) {
    if (p.program() == "pcmanfm" && p.hasArgument("--desktop") && InThisSession(p.pid)) {
      return p;
    }
  }
  return std::nullopt;
}

// The settings profile of a pcmanfm, from its command line.
QString ProfileOf(const ProcessInfo& process) {
  const QList<QByteArray>& args = process.arguments;
  QString profile = QStringLiteral("default");
  for (qsizetype i = 1; i < args.size(); ++i) {
    const QByteArray& a = args[i];
    if (a.startsWith("--profile=")) {
      profile = QString::fromLocal8Bit(a.mid(10));
    } else if ((a == "--profile" || a == "-p") && i + 1 < args.size()) {
      profile = QString::fromLocal8Bit(args[++i]);
    } else if (a.startsWith("-p") && !a.startsWith("--")) {
      profile = QString::fromLocal8Bit(a.mid(2));
    }
  }
  return profile;
}

// A value as GLib's key files write one.
QByteArray KeyFileValue(const QString& text) {
  QByteArray value = text.toUtf8();
  value.replace('\\', "\\\\").replace('\n', "\\n").replace('\r', "\\r").replace('\t', "\\t");
  if (value.startsWith(' ')) {
    value = "\\s" + value.mid(1);
  }
  return value;
}

// Monitor N's file; where the user has none yet, the one the system gives the profile.
OutcomeOf<QByteArray> ReadItems(const QString& path, const QString& relative) {
  QStringList candidates{path};
  for (const QString& dir :
       QStandardPaths::standardLocations(QStandardPaths::GenericConfigLocation).mid(1)) {
    candidates << dir + QLatin1Char('/') + relative;
  }
  for (const QString& candidate : candidates) {
    std::string text;
    const ReadResult read =
        ReadWholeFile(QFile::encodeName(candidate).toStdString(), kMaxItemsFile, text);
    if (read == ReadResult::Ok) {
      return OutcomeOf<QByteArray>::Done(QByteArray::fromStdString(text));
    }
    if (read != ReadResult::Missing) {
      return OutcomeOf<QByteArray>::Failed(candidate.toStdString() + " " + ReadFailureText(read));
    }
  }
  return OutcomeOf<QByteArray>::Done(QByteArray());
}

// Writes every monitor's settings file in the profile's folder.
Outcome WriteItems(const QString& profile, const QList<MonitorFile>& files) {
  const QString relative = QStringLiteral("pcmanfm/") + profile;
  const QString folder =
      QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + '/' + relative;
  if (!QDir().mkpath(folder)) {
    return FailedWith(QStringLiteral("the folder %1 cannot be created").arg(folder));
  }
  for (qsizetype n = 0; n < files.size(); ++n) {
    const QString name = QStringLiteral("desktop-items-%1.conf").arg(n);
    const OutcomeOf<QByteArray> text = ReadItems(folder + '/' + name, relative + '/' + name);
    if (!text.ok()) {
      return Outcome::Failed(text.reason());
    }
    QSaveFile out(folder + '/' + name);
    if (!out.open(QIODevice::WriteOnly) ||
        out.write(PcmanfmDesktopItems(text.value(), files[n].file)) < 0 || !out.commit()) {
      return FailedWith(
          QStringLiteral("%1 cannot be written: %2").arg(out.fileName(), out.errorString()));
    }
  }
  return Outcome::Done();
}

QByteArray ProcFile(qint64 pid, const char* name) {
  QFile f(QStringLiteral("/proc/%1/%2").arg(pid).arg(QLatin1String(name)));
  return f.open(QIODevice::ReadOnly) ? f.read(1024 * 1024) : QByteArray();
}

bool Gone(qint64 pid) {
  ProcessInfo info;
  return !ReadProcess(pid, &info);
}

// Ends the desktop and starts it again as it was started, so that every monitor's window reads
// its settings file. A session that starts it again by itself may be quicker than we are: then
// ours hands its command line to that one and ends.
Outcome Restart(const ProcessInfo& desktop, const QString& profile,
                const QList<MonitorFile>& files) {
  QProcessEnvironment environment;
  for (const QByteArray& entry : ProcFile(desktop.pid, "environ").split('\0')) {
    const qsizetype eq = entry.indexOf('=');
    if (eq > 0) {
      environment.insert(QString::fromLocal8Bit(entry.left(eq)),
                         QString::fromLocal8Bit(entry.mid(eq + 1)));
    }
  }
  if (environment.isEmpty()) {
    environment = QProcessEnvironment::systemEnvironment();
  }
  const QString folder = QFileInfo(QStringLiteral("/proc/%1/cwd").arg(desktop.pid)).symLinkTarget();
  ::kill(static_cast<pid_t>(desktop.pid), SIGTERM);
  QDeadlineTimer ending(PcmanfmWallpaper::kRestartMs);
  while (!Gone(desktop.pid)) {
    if (ending.hasExpired()) {
      return FailedWith(
          QStringLiteral("pcmanfm (pid %1) did not end to show the new settings").arg(desktop.pid));
    }
    QThread::msleep(20);
  }
  // On its way out it may have saved its own settings over ours.
  const Outcome written = WriteItems(profile, files);
  if (!written.ok()) {
    return written;
  }
  QProcess process;
  QStringList arguments;
  for (qsizetype i = 1; i < desktop.arguments.size(); ++i) {
    arguments << QString::fromLocal8Bit(desktop.arguments[i]);
  }
  process.setProgram(QString::fromLocal8Bit(desktop.arguments.first()));
  process.setArguments(arguments);
  process.setProcessEnvironment(environment);
  process.setWorkingDirectory(folder.isEmpty() ? QDir::homePath() : folder);
  process.setStandardInputFile(QProcess::nullDevice());
  process.setStandardOutputFile(QProcess::nullDevice());
  process.setStandardErrorFile(QProcess::nullDevice());
  qint64 pid = 0;
  if (!process.startDetached(&pid)) {
    return FailedWith(QStringLiteral("pcmanfm could not be started again as the desktop"));
  }
  QThread::msleep(PcmanfmWallpaper::kSettleMs);
  if (!RunningDesktop()) {
    return FailedWith(QStringLiteral("pcmanfm did not start again as the desktop"));
  }
  return Outcome::Done();
}

}  // namespace

QByteArray PcmanfmDesktopItems(const QByteArray& text, const QString& file) {
  QList<QByteArray> lines = text.split('\n');
  if (text.isEmpty() || text.endsWith('\n')) {
    lines.removeLast();
  }
  qsizetype begin = -1;
  for (qsizetype i = 0; i < lines.size(); ++i) {
    if (lines[i].trimmed() == "[*]") {
      begin = i + 1;
      break;
    }
  }
  if (begin < 0) {
    lines.prepend("[*]");
    begin = 1;
  }
  qsizetype end = begin;
  while (end < lines.size() && !lines[end].trimmed().startsWith('[')) {
    ++end;
  }
  const auto find = [&](const QByteArray& key) -> qsizetype {
    for (qsizetype i = begin; i < end; ++i) {
      const qsizetype eq = lines[i].indexOf('=');
      if (eq > 0 && lines[i].left(eq).trimmed() == key) {
        return i;
      }
    }
    return -1;
  };
  const auto value = [&](const QByteArray& key) {
    const qsizetype i = find(key);
    return i < 0 ? QByteArray() : lines[i].mid(lines[i].indexOf('=') + 1).trimmed();
  };
  // New keys go after the group's last line that is not blank.
  qsizetype last = end;
  while (last > begin && lines[last - 1].trimmed().isEmpty()) {
    --last;
  }
  const auto set = [&](const QByteArray& key, const QByteArray& v) {
    const qsizetype i = find(key);
    if (i >= 0) {
      lines[i] = key + '=' + v;
    } else {
      lines.insert(last++, key + '=' + v);
      ++end;
    }
  };
  const QByteArray mode = value("wallpaper_mode");
  if (mode.isEmpty() || mode == "color" || mode == "screen") {
    set("wallpaper_mode", "stretch");
  }
  const QByteArray picture = KeyFileValue(file);
  if (value("wallpaper_common") == "0") {
    const int workspaces = value("wallpapers_configured").toInt();
    for (int n = 0; n < workspaces; ++n) {
      set("wallpaper" + QByteArray::number(n), picture);
    }
  }
  set("wallpaper", picture);
  return lines.join('\n') + '\n';
}

// pcmanfm is a GTK program: it decodes with gdk-pixbuf.
bool PcmanfmWallpaper::readsBmp() const {
  return PixbufReadsBmp();
}

Outcome PcmanfmWallpaper::install(const QString& file) {
  if (QStandardPaths::findExecutable(QStringLiteral("pcmanfm")).isEmpty()) {
    return FailedWith(QStringLiteral("pcmanfm is not installed"));
  }
  // Without its desktop, pcmanfm would start one that never ends.
  if (!RunningDesktop()) {
    return FailedWith(NoDesktop());
  }
  return RunCommand(QStringLiteral("pcmanfm"), {QStringLiteral("--set-wallpaper=") + file},
                    kTimeoutMs);
}

Outcome PcmanfmWallpaper::installMonitors(const QList<MonitorFile>& files) {
  if (files.size() == 1) {
    return install(files.front().file);
  }
  if (QStandardPaths::findExecutable(QStringLiteral("pcmanfm")).isEmpty()) {
    return FailedWith(QStringLiteral("pcmanfm is not installed"));
  }
  const std::optional<ProcessInfo> desktop = RunningDesktop();
  if (!desktop) {
    return FailedWith(NoDesktop());
  }
  // pcmanfm numbers the monitors as GTK does, the primary first.
  QList<MonitorFile> ordered;
  for (const MonitorFile& m : files) {
    if (m.primary) {
      ordered.prepend(m);
    } else {
      ordered << m;
    }
  }
  const QString profile = ProfileOf(*desktop);
  const Outcome written = WriteItems(profile, ordered);
  if (!written.ok()) {
    return written;
  }
  return Restart(*desktop, profile, ordered);
}

}  // namespace tessora
