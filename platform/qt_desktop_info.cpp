#include "platform/qt_desktop_info.h"

#include <QColor>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QScreen>

#include "platform/gsettings_wallpaper.h"

namespace tessora {
DesktopGeometry PhysicalGeometry(const QRect& full, const QRect& available, qreal ratio) {
  // Device pixels, so that a scaled screen gets a full-resolution picture; rounded, since
  // truncating 853 x 1.5 loses a pixel.
  auto physical = [ratio](int v) { return qRound(v * ratio); };
  DesktopGeometry g;
  g.screenWidth = physical(full.width());
  g.screenHeight = physical(full.height());
  g.workArea = Rect{
      physical(available.left() - full.left()), physical(available.top() - full.top()),
      physical(available.right() + 1 - full.left()), physical(available.bottom() + 1 - full.top())};
  return g;
}

DesktopGeometry QtDesktopInfo::geometry() const {
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) {
    DesktopGeometry unknown;
    unknown.workAreaKnown = false;
    return unknown;
  }
  // Panels are known only on X11 (_NET_WORKAREA); elsewhere the work area is the whole screen.
  return PhysicalGeometry(screen->geometry(), screen->availableGeometry(),
                          screen->devicePixelRatio());
}

MonitorLayout QtDesktopInfo::monitors() const {
  MonitorLayout layout;
  const QList<QScreen*> screens = QGuiApplication::screens();
  for (const QScreen* screen : screens) {
    const QRect full = screen->geometry();
    const DesktopGeometry g =
        PhysicalGeometry(full, screen->availableGeometry(), screen->devicePixelRatio());
    Monitor m;
    m.name = screen->name().toStdString();
    // Qt keeps each screen's top-left native and scales only its size.
    m.rect =
        Rect{full.left(), full.top(), full.left() + g.screenWidth, full.top() + g.screenHeight};
    m.workArea = g.workArea;
    m.workAreaKnown = g.workAreaKnown;
    if (screen == QGuiApplication::primaryScreen()) {
      layout.primary = layout.monitors.size();
    }
    layout.monitors.push_back(std::move(m));
  }
  return layout;
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
    return kDefaultDesktopColor;
  }
  return RGB(color.red(), color.green(), color.blue());
}

bool QtDesktopInfo::fontInstalled(const std::string& family) const {
  return QFontDatabase::families().contains(QString::fromStdString(family), Qt::CaseInsensitive);
}

}  // namespace tessora
