#pragma once

#include <QDBusConnection>
#include <QDBusMessage>

namespace tessora {

/// How long a D-Bus method call may take before we give up on the service.
constexpr int kDBusTimeoutMs = 5000;

/// Sends the call and waits for its reply (or an error reply after timeoutMs) while the event
/// loop keeps running: services living in this process, and the portal's requests back to us,
/// must still be served while we wait.
QDBusMessage CallAndWait(const QDBusConnection& bus, const QDBusMessage& call,
                         int timeoutMs = kDBusTimeoutMs);

/// Whether a bus name has an owner now or can be started on demand.
bool ServiceAvailable(const QDBusConnection& bus, const QString& name);

}  // namespace tessora
