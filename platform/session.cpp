#include "platform/session.h"

#include <QFileInfo>
#include <QStringList>

namespace tessora {
namespace {

struct DesktopToken {
  const char* token;  // lower case
  DesktopKind kind;
};

// GNOME derivatives (Unity, Budgie, Flashback, Pantheon) list "GNOME" too or use its schema.
constexpr DesktopToken kTokens[] = {
    {"gnome", DesktopKind::Gnome},
    {"unity", DesktopKind::Gnome},
    {"budgie", DesktopKind::Gnome},
    {"gnome-flashback", DesktopKind::Gnome},
    {"pantheon", DesktopKind::Gnome},  // its window manager draws the GNOME background keys
    {"kde", DesktopKind::Kde},
    {"plasma", DesktopKind::Kde},
    {"plasmawayland", DesktopKind::Kde},
    {"xfce", DesktopKind::Xfce},
    {"x-cinnamon", DesktopKind::Cinnamon},
    {"cinnamon", DesktopKind::Cinnamon},
    {"mate", DesktopKind::Mate},
    {"lxqt", DesktopKind::Lxqt},
    {"lxde", DesktopKind::Lxde},
    {"sway", DesktopKind::Sway},
    {"hyprland", DesktopKind::OtherWlroots},
    {"river", DesktopKind::OtherWlroots},
    {"wayfire", DesktopKind::OtherWlroots},
    {"labwc", DesktopKind::OtherWlroots},
    {"deepin", DesktopKind::Deepin},  // draws its own desktop window over the root
    {"cosmic", DesktopKind::Cosmic},  // Wayland, with layer-shell for swaybg
};

DesktopKind KindOfToken(const QString& token) {
  const QString t = token.trimmed().toLower();
  for (const DesktopToken& entry : kTokens) {
    if (t == QLatin1String(entry.token)) {
      return entry.kind;
    }
  }
  return DesktopKind::Unknown;
}

// XDG_CURRENT_DESKTOP is a colon list ("ubuntu:GNOME"); the first token we know wins.
DesktopKind KindOfList(const QString& list) {
  for (const QString& token : list.split(QLatin1Char(':'), Qt::SkipEmptyParts)) {
    const DesktopKind kind = KindOfToken(token);
    if (kind != DesktopKind::Unknown) {
      return kind;
    }
  }
  return DesktopKind::Unknown;
}

}  // namespace

Session DetectSession(const std::function<QString(const char*)>& env, bool flatpakInfoExists) {
  Session s;
  s.desktop = KindOfList(env("XDG_CURRENT_DESKTOP"));
  for (const char* fallback : {"XDG_SESSION_DESKTOP", "DESKTOP_SESSION", "GDMSESSION"}) {
    if (s.desktop != DesktopKind::Unknown) {
      break;
    }
    s.desktop = KindOfList(env(fallback));
  }
  if (s.desktop == DesktopKind::Unknown && !env("SWAYSOCK").isEmpty()) {
    s.desktop = DesktopKind::Sway;
  }
  s.wayland = !env("WAYLAND_DISPLAY").isEmpty() ||
              env("XDG_SESSION_TYPE").compare(QLatin1String("wayland"), Qt::CaseInsensitive) == 0;
  s.x11 = !s.wayland && !env("DISPLAY").isEmpty();
  s.flatpak = flatpakInfoExists || !env("FLATPAK_ID").isEmpty();
  return s;
}

Session CurrentSession() {
  return DetectSession([](const char* name) { return qEnvironmentVariable(name); },
                       QFileInfo::exists(QStringLiteral("/.flatpak-info")));
}

}  // namespace tessora
