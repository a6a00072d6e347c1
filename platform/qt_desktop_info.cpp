#include "platform/qt_desktop_info.h"

#include <QColor>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QScreen>

#include "platform/gsettings_wallpaper.h"

namespace tessora {
namespace {

// For desktops that keep no colour of their own (or only a picture).
constexpr TColor kFixedDesktopColor = RGB(58, 110, 165);

}  // namespace

DesktopGeometry QtDesktopInfo::geometry() const {
  DesktopGeometry g;
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) {
    g.workAreaKnown = false;
    return g;
  }
  // Device pixels, so that a scaled screen gets a full-resolution picture; rounded, since
  // truncating 853 x 1.5 loses a pixel.
  const qreal ratio = screen->devicePixelRatio();
  const QRect full = screen->geometry();
  const QRect available = screen->availableGeometry();
  auto physical = [ratio](int v) { return qRound(v * ratio); };
  g.screenWidth = physical(full.width());
  g.screenHeight = physical(full.height());
  // Panels are known only on X11 (_NET_WORKAREA); elsewhere this is the whole screen.
  g.workArea = Rect{
      physical(available.left() - full.left()), physical(available.top() - full.top()),
      physical(available.right() + 1 - full.left()), physical(available.bottom() + 1 - full.top())};
  return g;
}

TColor QtDesktopInfo::desktopColor() const {
  std::optional<QString> text;
  switch (desktop_) {
    case DesktopKind::Gnome:
      text = ReadGSettingsString(GnomeBackground().schema, GnomeBackground().colorKey);
      break;
    case DesktopKind::Cinnamon:
      text = ReadGSettingsString(CinnamonBackground().schema, CinnamonBackground().colorKey);
      break;
    case DesktopKind::Mate:
      text = ReadGSettingsString(MateBackground().schema, MateBackground().colorKey);
      break;
    default:
      break;
  }
  const QColor color = text ? QColor::fromString(*text) : QColor();
  if (!color.isValid()) {
    return kFixedDesktopColor;
  }
  return RGB(color.red(), color.green(), color.blue());
}

bool QtDesktopInfo::fontInstalled(const std::string& family) const {
  return QFontDatabase::families().contains(QString::fromStdString(family), Qt::CaseInsensitive);
}

}  // namespace tessora
