#pragma once

#include <QDBusConnection>
#include <QObject>
#include <functional>
#include <memory>

#include "platform/session.h"

namespace tessora {

/// The desktop's own switch for event sounds (GNOME's "event-sounds" key, XFCE's
/// Net/EnableEventSounds, ...): where the user turned it off, programs play no cues.
class EventSounds : public QObject {
 public:
  /// Calls `answer` on this thread, at once or from the event loop, with whether event sounds
  /// may play. A desktop without such a switch, or whose answer cannot be had, allows them.
  /// Answers still due when the object goes are dropped.
  virtual void ask(std::function<void(bool)> answer) = 0;
};

/// The switch of the given desktop; `bus` is the session bus, where XFCE's settings are.
std::unique_ptr<EventSounds> DesktopEventSounds(DesktopKind desktop, const QDBusConnection& bus);

}  // namespace tessora
