#include "child_process.h"

#include <QFile>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDeadlineTimer>
#include <QStandardPaths>
#include <QUuid>

#include "platform/dbus_call.h"
#include "support/files.h"

namespace tessora::testing {

bool ChildProcess::start(const QString& program, const QStringList& arguments,
                         const QProcessEnvironment& environment) {
  process_ = std::make_unique<QProcess>();
  process_->setProcessEnvironment(environment);
  process_->setProcessChannelMode(QProcess::SeparateChannels);
  process_->setStandardErrorFile(QProcess::nullDevice());
  process_->start(program, arguments);
  return process_->waitForStarted(kPatientMs);
}

QString ChildProcess::firstLine(int timeoutMs) {
  QDeadlineTimer deadline(timeoutMs);
  while (process_ && !process_->canReadLine() && !deadline.hasExpired() &&
         process_->state() == QProcess::Running) {
    process_->waitForReadyRead(static_cast<int>(qMax<qint64>(1, deadline.remainingTime())));
  }
  return process_ && process_->canReadLine() ? QString::fromUtf8(process_->readLine()).trimmed()
                                             : QString();
}

bool ChildProcess::waitForExit(int timeoutMs) {
  return process_ == nullptr || process_->state() == QProcess::NotRunning ||
         process_->waitForFinished(timeoutMs);
}

void ChildProcess::stop() {
  if (process_ == nullptr || process_->state() == QProcess::NotRunning) {
    return;
  }
  process_->terminate();  // SIGTERM to this process id only
  if (!process_->waitForFinished(3000)) {
    process_->kill();
    process_->waitForFinished(3000);
  }
}

XServer::XServer(int width, int height) {
  int channel[2];
  if (::pipe(channel) != 0) {
    return;
  }
  // -displayfd: the server picks a free display number and prints it; -noreset: without it
  // the server resets, dropping the root pixmap, when its last ordinary client leaves.
  const std::string fd = std::to_string(channel[1]);
  const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
  const char* argv[] = {"Xvfb",         "-displayfd", fd.c_str(), "-screen",  "0",
                        screen.c_str(), "-nolisten",  "tcp",      "-noreset", nullptr};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addclose(&actions, channel[0]);
  pid_t pid = 0;
  if (posix_spawnp(&pid, "Xvfb", &actions, nullptr, const_cast<char* const*>(argv), environ) == 0) {
    pid_ = pid;
  }
  posix_spawn_file_actions_destroy(&actions);
  ::close(channel[1]);
  std::string number;
  pollfd waiting{channel[0], POLLIN, 0};
  char c = 0;
  while (pid_ != 0 && ::poll(&waiting, 1, kPatientMs) > 0 && ::read(channel[0], &c, 1) == 1 &&
         c != '\n') {
    number += c;
  }
  ::close(channel[0]);
  if (!number.empty()) {
    display_ = ":" + number;
  }
}

XServer::~XServer() {
  if (pid_ != 0) {
    ::kill(pid_, SIGTERM);
    ::waitpid(pid_, nullptr, 0);
  }
}

namespace {

// Whether a process has ended: gone, or a zombie its parent has not reaped yet.
bool Ended(pid_t pid) {
  QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
  if (!stat.open(QIODevice::ReadOnly)) {
    return true;
  }
  const QByteArray text = stat.readAll();
  const qsizetype state = text.lastIndexOf(')') + 2;  // "pid (name) S ..."
  return state < 2 || state >= text.size() || text[state] == 'Z' || text[state] == 'X';
}

}  // namespace

PrivateBus::PrivateBus(const QProcessEnvironment& environment) {
  if (!daemon_.start(QStringLiteral("dbus-daemon"),
                     {QStringLiteral("--session"), QStringLiteral("--nofork"),
                      QStringLiteral("--print-address=1")},
                     environment)) {
    return;
  }
  address_ = daemon_.firstLine(kPatientMs);
  if (!address_.isEmpty()) {
    connection_ = connect(QStringLiteral("main"));
  }
}

QDBusConnection PrivateBus::connect(const QString& connectionName) {
  const QString name =
      connectionName + QLatin1Char('-') + QUuid::createUuid().toString(QUuid::WithoutBraces);
  connectionNames_ << name;
  return QDBusConnection::connectToBus(address_, name);
}

PrivateBus::~PrivateBus() {
  // Services the bus started on demand are its children, not ours: ask the bus for their ids.
  QList<uint> pids;
  if (connection_.isConnected()) {
    const QStringList names = connection_.interface()->registeredServiceNames().value();
    for (const QString& name : names) {
      if (name.startsWith(QLatin1Char(':')) || name == QLatin1String("org.freedesktop.DBus")) {
        continue;
      }
      const uint pid = connection_.interface()->servicePid(name).value();
      if (pid != 0 && static_cast<qint64>(pid) != QCoreApplication::applicationPid()) {
        pids << pid;
      }
    }
  }
  for (const QString& name : connectionNames_) {
    QDBusConnection::disconnectFromBus(name);
  }
  for (uint pid : pids) {
    ::kill(static_cast<pid_t>(pid), SIGTERM);
  }
  for (uint pid : pids) {
    WaitFor([pid] { return Ended(static_cast<pid_t>(pid)); });
  }
  daemon_.stop();
}

QString PrivateBus::activate(const QString& name, int timeoutMs) {
  QDBusMessage start = QDBusMessage::createMethodCall(
      QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
      QStringLiteral("org.freedesktop.DBus"), QStringLiteral("StartServiceByName"));
  start.setArguments({name, 0U});
  // The bus answers once the service owns the name, or has failed to start; the event loop runs
  // meanwhile, for services that call back into this process as they start.
  const QDBusMessage reply = CallAndWait(connection_, start, timeoutMs);
  if (reply.type() == QDBusMessage::ErrorMessage) {
    return QStringLiteral("%1 was not started: %2").arg(name, reply.errorMessage());
  }
  return WaitUntil([this, &name] { return connection_.interface()->isServiceRegistered(name); },
                   timeoutMs)
             ? QString()
             : QStringLiteral("%1 has no owner after %2 ms").arg(name).arg(timeoutMs);
}

namespace {

bool RunXrandr(const QStringList& arguments) {
  QProcess xrandr;
  xrandr.start(QStringLiteral("xrandr"), arguments);
  return xrandr.waitForFinished(10000) && xrandr.exitStatus() == QProcess::NormalExit &&
         xrandr.exitCode() == 0;
}

}  // namespace

bool RandrMonitors::available() {
  return !QStandardPaths::findExecutable(QStringLiteral("xrandr")).isEmpty();
}

RandrMonitors::RandrMonitors(const QStringList& names, const QList<QRect>& rects) : names_(names) {
  for (int i = 0; i < names.size() && ok_; ++i) {
    const QRect& r = rects[i];
    // Millimetres do not matter here; a monitor needs some. The first takes the server's one
    // output, so that the whole screen is no monitor of its own any more.
    const QString geometry = QStringLiteral("%1/%2x%3/%4+%5+%6")
                                 .arg(r.width())
                                 .arg(r.width() / 4)
                                 .arg(r.height())
                                 .arg(r.height() / 4)
                                 .arg(r.x())
                                 .arg(r.y());
    ok_ = RunXrandr({QStringLiteral("--setmonitor"), (i == 0 ? "*" : "") + names[i], geometry,
                     i == 0 ? QStringLiteral("screen") : QStringLiteral("none")});
  }
}

RandrMonitors::~RandrMonitors() {
  for (const QString& name : names_) {
    RunXrandr({QStringLiteral("--delmonitor"), name});
  }
}

bool WaitUntil(const std::function<bool()>& done, int timeoutMs) {
  return WaitFor(done, timeoutMs,
                 [] { QCoreApplication::processEvents(QEventLoop::AllEvents, 20); });
}

StandInCommands::StandInCommands() : oldPath_(qgetenv("PATH")) {
  qputenv("PATH", QFile::encodeName(dir_.path()) + ":" + oldPath_);
}

StandInCommands::~StandInCommands() {
  qputenv("PATH", oldPath_);
}

bool StandInCommands::add(const QString& name, const QByteArray& body) {
  return writeScript(QFile::encodeName(dir_.filePath(name)).toStdString(), body.toStdString());
}

QString StandInCommands::read(const QString& fileName) const {
  QFile file(dir_.filePath(fileName));
  return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

}  // namespace tessora::testing
