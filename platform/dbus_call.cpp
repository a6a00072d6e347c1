#include "platform/dbus_call.h"

#include <QDBusPendingCall>
#include <QDBusPendingCallWatcher>
#include <QDBusReply>
#include <QEventLoop>
#include <QStringList>

namespace tessora {

QDBusMessage CallAndWait(const QDBusConnection& bus, const QDBusMessage& call, int timeoutMs) {
  QDBusPendingCall pending = bus.asyncCall(call, timeoutMs);
  if (!pending.isFinished()) {
    QDBusPendingCallWatcher watcher(pending);
    QEventLoop loop;
    QObject::connect(&watcher, &QDBusPendingCallWatcher::finished, &loop, &QEventLoop::quit);
    // The pending call ends with an error reply at its own timeout, so this loop ends too.
    if (!pending.isFinished()) {
      loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
  }
  return pending.reply();
}

bool ServiceAvailable(const QDBusConnection& bus, const QString& name) {
  if (!bus.isConnected()) {
    return false;
  }
  auto ask = [&bus](const char* method, const QVariantList& args) {
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QLatin1String(method));
    call.setArguments(args);
    return CallAndWait(bus, call);
  };
  const QDBusMessage owned = ask("NameHasOwner", {name});
  if (owned.type() == QDBusMessage::ReplyMessage && owned.arguments().value(0).toBool()) {
    return true;
  }
  const QDBusMessage activatable = ask("ListActivatableNames", {});
  return activatable.type() == QDBusMessage::ReplyMessage &&
         activatable.arguments().value(0).toStringList().contains(name);
}

}  // namespace tessora
