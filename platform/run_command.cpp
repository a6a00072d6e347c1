#include "platform/run_command.h"

#include <QEventLoop>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>

namespace tessora {

Outcome RunCommand(const QString& program, const QStringList& arguments, int timeoutMs) {
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

}  // namespace tessora
