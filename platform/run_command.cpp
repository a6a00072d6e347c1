#include "platform/run_command.h"

#include <QEventLoop>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>

namespace tessora {

OutcomeOf<QString> RunCommandForOutput(const QString& program, const QStringList& arguments,
                                       int timeoutMs) {
  const auto failed = [](const QString& reason) {
    return OutcomeOf<QString>::Failed(reason.toStdString());
  };
  if (QStandardPaths::findExecutable(program).isEmpty()) {
    return failed(QStringLiteral("%1 is not installed").arg(program));
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
    return failed(
        QStringLiteral("%1 did not finish within %2 s").arg(program).arg(timeoutMs / 1000));
  }
  const QString output = QString::fromLocal8Bit(process.readAll()).trimmed();
  if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
    return failed(QStringLiteral("%1 failed (exit code %2)%3")
                      .arg(program)
                      .arg(process.exitCode())
                      .arg(output.isEmpty() ? QString() : QStringLiteral(": ") + output));
  }
  return OutcomeOf<QString>::Done(output);
}

Outcome RunCommand(const QString& program, const QStringList& arguments, int timeoutMs) {
  const OutcomeOf<QString> run = RunCommandForOutput(program, arguments, timeoutMs);
  return run.ok() ? Outcome::Done() : Outcome::Failed(run.reason());
}

}  // namespace tessora
