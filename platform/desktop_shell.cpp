#include "platform/desktop_shell.h"

#include <QDBusMessage>
#include <QEventLoop>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>
#include <QUrl>

#include "platform/dbus_call.h"

namespace tessora {
namespace {

const QString kFileManager = QStringLiteral("org.freedesktop.FileManager1");

QUrl UrlOf(const QString& pathOrUrl) {
  return pathOrUrl.contains(QLatin1String("://")) ? QUrl(pathOrUrl)
                                                  : QUrl::fromLocalFile(pathOrUrl);
}

// Some xdg-open handlers stay until the opened application quits: still running at the
// timeout counts as opened, and the process is left to finish on its own.
bool XdgOpen(const QUrl& url) {
  if (QStandardPaths::findExecutable(QStringLiteral("xdg-open")).isEmpty()) {
    return false;
  }
  auto* process = new QProcess;
  QObject::connect(process, &QProcess::finished, process, &QObject::deleteLater);
  QEventLoop loop;
  QObject::connect(process, &QProcess::finished, &loop, &QEventLoop::quit);
  QObject::connect(process, &QProcess::errorOccurred, &loop, &QEventLoop::quit);
  QTimer::singleShot(DesktopShell::kTimeoutMs, &loop, &QEventLoop::quit);
  process->start(QStringLiteral("xdg-open"), {url.toString(QUrl::FullyEncoded)});
  if (process->state() == QProcess::NotRunning) {
    process->deleteLater();
    return false;
  }
  loop.exec(QEventLoop::ExcludeUserInputEvents);
  if (process->state() != QProcess::NotRunning) {
    return true;
  }
  return process->exitStatus() == QProcess::NormalExit && process->exitCode() == 0;
}

}  // namespace

bool DesktopShell::openFolder(const std::string& folder) {
  const QUrl url = UrlOf(QString::fromStdString(folder));
  if (ServiceAvailable(bus_, kFileManager)) {
    QDBusMessage call = QDBusMessage::createMethodCall(
        kFileManager, QStringLiteral("/org/freedesktop/FileManager1"), kFileManager,
        QStringLiteral("ShowFolders"));
    call.setArguments({QStringList{url.toString(QUrl::FullyEncoded)}, QString()});
    if (CallAndWait(bus_, call).type() == QDBusMessage::ReplyMessage) {
      return true;
    }
  }
  return XdgOpen(url);
}

bool DesktopShell::openDocument(const std::string& pathOrUrl) {
  return XdgOpen(UrlOf(QString::fromStdString(pathOrUrl)));
}

}  // namespace tessora
