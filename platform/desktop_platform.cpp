// The one place that puts the desktop services of a session together.
#include <QDBusConnection>

#include "platform/cue_player.h"
#include "platform/desktop_shell.h"
#include "platform/desktop_wallpaper_setter.h"
#include "platform/qt_clipboard.h"
#include "platform/qt_desktop_info.h"
#include "platform/services.h"
#include "platform/session.h"

namespace tessora {

Platform CreateDesktopPlatform() {
  const Session session = CurrentSession();
  Platform p;
  p.sound = std::make_unique<CuePlayer>(
      DesktopEventSounds(session.desktop, QDBusConnection::sessionBus()));
  p.clipboard = std::make_unique<QtImageClipboard>();
  p.wallpaper = std::make_unique<DesktopWallpaperSetter>(WallpaperMethodsFor(session));
  p.desktop = std::make_unique<QtDesktopInfo>(session.desktop);
  p.shell = std::make_unique<DesktopShell>(QDBusConnection::sessionBus());
  return p;
}

}  // namespace tessora
