#pragma once

#include <QDBusConnection>
#include <QList>
#include <QProcess>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>
#include <memory>
#include <string>

#include "support/wait.h"

namespace tessora::testing {

/// A helper program started by a test and stopped, by its process id, when the test ends.
class ChildProcess {
 public:
  ChildProcess() = default;
  ~ChildProcess() { stop(); }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool start(const QString& program, const QStringList& arguments,
             const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment());
  /// The first line the program prints on its standard output, waiting up to timeoutMs.
  QString firstLine(int timeoutMs);
  /// Waits up to timeoutMs for the program to end by itself.
  bool waitForExit(int timeoutMs);
  void stop();
  qint64 pid() const { return process_ ? process_->processId() : 0; }
  QProcess* process() { return process_.get(); }

 private:
  std::unique_ptr<QProcess> process_;
};

/// Stand-in commands in a temporary folder put first on PATH for the life of the object: each
/// is a small shell script, so a test can see what the code under test ran.
class StandInCommands {
 public:
  StandInCommands();
  ~StandInCommands();
  StandInCommands(const StandInCommands&) = delete;
  StandInCommands& operator=(const StandInCommands&) = delete;

  /// Writes an executable script `name` with the given body (after "#!/bin/sh").
  bool add(const QString& name, const QByteArray& body);
  /// The contents of a file the scripts wrote into the folder ("" when there is none).
  QString read(const QString& fileName) const;

 private:
  QTemporaryDir dir_;
  QByteArray oldPath_;
};

/// An X server of its own (Xvfb, on a free display number it picks itself). Started without
/// Qt, since the application object needs the display before it exists.
class XServer {
 public:
  /// Starts Xvfb with one screen of the given size; display() is empty when it failed.
  XServer(int width, int height);
  ~XServer();
  XServer(const XServer&) = delete;
  XServer& operator=(const XServer&) = delete;
  const std::string& display() const { return display_; }

 private:
  int pid_ = 0;
  std::string display_;
};

/// RandR monitors on the X server of $DISPLAY for the life of the object, as `xrandr
/// --setmonitor` makes them (the first is the primary); they are deleted again at the end.
/// ok() is false where xrandr is missing or refused.
class RandrMonitors {
 public:
  /// Whether xrandr is installed: tests of several monitors skip without it.
  static bool available();
  RandrMonitors(const QStringList& names, const QList<QRect>& rects);
  ~RandrMonitors();
  RandrMonitors(const RandrMonitors&) = delete;
  RandrMonitors& operator=(const RandrMonitors&) = delete;
  bool ok() const { return ok_; }

 private:
  QStringList names_;
  bool ok_ = true;
};

/// A private session bus (dbus-daemon) for one test; services it starts on demand get the
/// given environment. Stopping it also stops, by id, every process that owns a name on it.
class PrivateBus {
 public:
  explicit PrivateBus(
      const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment());
  ~PrivateBus();
  PrivateBus(const PrivateBus&) = delete;
  PrivateBus& operator=(const PrivateBus&) = delete;
  bool ok() const { return connection_.isConnected(); }
  /// A new connection to the bus (a second client, or the connection a fake service uses).
  QDBusConnection connect(const QString& connectionName);
  QDBusConnection connection() const { return connection_; }
  /// The bus's address, for programs a test starts on it.
  const QString& address() const { return address_; }
  /// Starts the service that owns `name` on demand (D-Bus activation) and waits until it owns
  /// it, so that a test's first call does not have to cover a slow start within its own timeout;
  /// "" when it does, else why not.
  QString activate(const QString& name, int timeoutMs = kPatientMs);

 private:
  ChildProcess daemon_;
  QString address_;
  QStringList connectionNames_;
  QDBusConnection connection_{QString()};
};

/// Runs the event loop until done() holds, for up to timeoutMs.
bool WaitUntil(const std::function<bool()>& done, int timeoutMs = kPatientMs);

}  // namespace tessora::testing
