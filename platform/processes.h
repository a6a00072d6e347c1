#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace tessora {

/// A process of this user, as /proc shows it.
struct ProcessInfo {
  qint64 pid = 0;
  qint64 parent = 0;
  QList<QByteArray> arguments;  ///< its command line; the first is the program as started

  /// The program's file name without its folder ("swaybg" for "/usr/bin/swaybg").
  QByteArray program() const;
  /// Whether one of the arguments after the program is exactly `argument`.
  bool hasArgument(const QByteArray& argument) const;
};

/// This user's processes that are running (zombies and processes gone meanwhile are left out).
QList<ProcessInfo> UserProcesses();

/// The value of a variable in the process's environment ("" when it has none).
QByteArray EnvironmentOf(qint64 pid, const QByteArray& name);

/// Whether the process runs in this session: on the same Wayland display or, without one, the
/// same X display, when there is one.
bool InThisSession(qint64 pid);

/// The process, if it is this user's and running.
bool ReadProcess(qint64 pid, ProcessInfo* info);

}  // namespace tessora
