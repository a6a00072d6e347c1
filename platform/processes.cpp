#include "platform/processes.h"

#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace tessora {
namespace {

// A command line longer than this is cut: the programs looked for are known by their first words.
constexpr qint64 kMaxCommandLine = 64 * 1024;

QByteArray ReadProcFile(qint64 pid, const char* name, qint64 max) {
  QFile f(QStringLiteral("/proc/%1/%2").arg(pid).arg(QLatin1String(name)));
  return f.open(QIODevice::ReadOnly) ? f.read(max) : QByteArray();
}

}  // namespace

QByteArray ProcessInfo::program() const {
  if (arguments.isEmpty()) {
    return {};
  }
  const QByteArray& first = arguments.first();
  return first.mid(first.lastIndexOf('/') + 1);
}

bool ProcessInfo::hasArgument(const QByteArray& argument) const {
  for (qsizetype i = 1; i < arguments.size(); ++i) {
    if (arguments[i] == argument) {
      return true;
    }
  }
  return false;
}

QByteArray EnvironmentOf(qint64 pid, const QByteArray& name) {
  const QByteArray prefix = name + '=';
  for (const QByteArray& entry : ReadProcFile(pid, "environ", 1024 * 1024).split('\0')) {
    if (entry.startsWith(prefix)) {
      return entry.mid(prefix.size());
    }
  }
  return {};
}

bool InThisSession(qint64 pid) {
  for (const char* name : {"WAYLAND_DISPLAY", "DISPLAY"}) {
    const QByteArray ours = qgetenv(name);
    if (!ours.isEmpty()) {
      return EnvironmentOf(pid, name) == ours;
    }
  }
  return true;
}

bool ReadProcess(qint64 pid, ProcessInfo* info) {
  if (pid <= 0 ||
      QFileInfo(QStringLiteral("/proc/%1").arg(pid)).ownerId() != static_cast<uint>(::getuid())) {
    return false;
  }
  // "pid (name) S ppid ...": the name may hold blanks and parentheses, the last ')' ends it.
  const QByteArray stat = ReadProcFile(pid, "stat", 4096);
  const qsizetype end = stat.lastIndexOf(')');
  const QList<QByteArray> fields = end < 0 ? QList<QByteArray>() : stat.mid(end + 2).split(' ');
  if (fields.size() < 2 || fields[0] == "Z" || fields[0] == "X") {
    return false;
  }
  QByteArray cmdline = ReadProcFile(pid, "cmdline", kMaxCommandLine);
  if (cmdline.endsWith('\0')) {
    cmdline.chop(1);
  }
  if (cmdline.isEmpty()) {
    return false;  // a kernel thread, or gone meanwhile
  }
  info->pid = pid;
  info->parent = fields[1].toLongLong();
  info->arguments = cmdline.split('\0');
  return true;
}

QList<ProcessInfo> UserProcesses() {
  QList<ProcessInfo> processes;
  const QStringList entries =
      QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
  for (const QString& entry : entries) {
    bool number = false;
    const qint64 pid = entry.toLongLong(&number);
    ProcessInfo info;
    if (number && ReadProcess(pid, &info)) {
      processes << info;
    }
  }
  return processes;
}

}  // namespace tessora
