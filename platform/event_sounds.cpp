#include "platform/event_sounds.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>

#include "platform/dbus_call.h"
#include "platform/gsettings_wallpaper.h"

namespace tessora {
namespace {

// A desktop without a switch of its own.
class AlwaysOn : public EventSounds {
 public:
  void ask(std::function<void(bool)> answer) override { answer(true); }
};

// GNOME, Cinnamon and MATE keep the switch in GSettings, read from dconf's local database
// without a round trip to any service, so it is read anew for each cue.
class GSettingsSwitch : public EventSounds {
 public:
  explicit GSettingsSwitch(QByteArray schema) : schema_(std::move(schema)) {}
  void ask(std::function<void(bool)> answer) override {
    answer(ReadGSettingsBool(schema_, "event-sounds").value_or(true));
  }

 private:
  QByteArray schema_;
};

// XFCE hands its "xsettings" channel to GTK programs as XSETTINGS; the switch is asked of
// xfconfd over D-Bus without waiting for the reply.
class XfconfSwitch : public EventSounds {
 public:
  explicit XfconfSwitch(QDBusConnection bus) : bus_(std::move(bus)) {}
  void ask(std::function<void(bool)> answer) override {
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.xfce.Xfconf"), QStringLiteral("/org/xfce/Xfconf"),
        QStringLiteral("org.xfce.Xfconf"), QStringLiteral("GetProperty"));
    call.setArguments({QStringLiteral("xsettings"), QStringLiteral("/Net/EnableEventSounds")});
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call, kDBusTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [watcher, answer = std::move(answer)] {
              const QDBusPendingReply<QDBusVariant> reply = *watcher;
              const QVariant value = reply.isValid() ? reply.value().variant() : QVariant();
              answer(value.typeId() == QMetaType::Bool ? value.toBool() : true);
              watcher->deleteLater();
            });
  }

 private:
  QDBusConnection bus_;
};

}  // namespace

std::unique_ptr<EventSounds> DesktopEventSounds(DesktopKind desktop, const QDBusConnection& bus) {
  switch (desktop) {
    case DesktopKind::Gnome:
      return std::make_unique<GSettingsSwitch>("org.gnome.desktop.sound");
    case DesktopKind::Cinnamon:
      return std::make_unique<GSettingsSwitch>("org.cinnamon.desktop.sound");
    case DesktopKind::Mate:
      return std::make_unique<GSettingsSwitch>("org.mate.sound");
    case DesktopKind::Xfce:
      return std::make_unique<XfconfSwitch>(bus);
    default:
      return std::make_unique<AlwaysOn>();
  }
}

}  // namespace tessora
