#include "platform/desktop_wallpaper_setter.h"

#include <QDBusConnection>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QStringList>
#include <optional>

#include "platform/command_wallpaper.h"
#include "platform/drawn_wallpaper.h"
#include "platform/gsettings_wallpaper.h"
#include "platform/pcmanfm_qt_wallpaper.h"
#include "platform/pcmanfm_wallpaper.h"
#include "platform/plasma_wallpaper.h"
#include "platform/portal_wallpaper.h"
#include "platform/swaybg_wallpaper.h"
#include "platform/x11_root_wallpaper.h"
#include "platform/xfce_wallpaper.h"

namespace tessora {
namespace {

QStringList ScreenNames() {
  QStringList names;
  for (const QScreen* screen : QGuiApplication::screens()) {
    names << screen->name();
  }
  return names;
}

// Monitor rectangles in device pixels: Qt keeps each screen's native top-left and divides only
// the size by the scale factor.
QList<QRect> MonitorRects() {
  QList<QRect> rects;
  for (const QScreen* screen : QGuiApplication::screens()) {
    const QRect g = screen->geometry();
    const qreal ratio = screen->devicePixelRatio();
    rects << QRect(g.topLeft(), QSize(qRound(g.width() * ratio), qRound(g.height() * ratio)));
  }
  return rects;
}

QRect ToQRect(const Rect& r) {
  return QRect(r.Left, r.Top, r.Right - r.Left, r.Bottom - r.Top);
}

// The files a method of the given spread is handed.
QList<MonitorFile> FilesFor(MonitorSpread spread, const MonitorPictures& pictures) {
  QList<MonitorFile> files;
  if (spread == MonitorSpread::Spanned) {
    files << MonitorFile{QString(), ToQRect(pictures.bounds),
                         QString::fromStdString(pictures.spanned), true};
    return files;
  }
  for (std::size_t i = 0; i < pictures.monitors.size(); ++i) {
    const MonitorPicture& m = pictures.monitors[i];
    if (spread == MonitorSpread::PerMonitor || i == pictures.primary) {
      files << MonitorFile{QString::fromStdString(m.name), ToQRect(m.rect),
                           QString::fromStdString(m.path), i == pictures.primary};
    }
  }
  return files;
}

// Every method tried, and why each failed. Only the install is told: whether the picture was
// written just now (a set) or long before (a restore) is the caller's to say.
Outcome Failure(const QString& picture, const QStringList& reasons) {
  return FailedWith(QStringLiteral("The wallpaper %1 could not be installed automatically.\n%2")
                        .arg(picture, reasons.join(QLatin1Char('\n'))));
}

// The picture, or the fresh copy the desktop is to be handed, could not be had: no method was
// tried.
Outcome NotHandedOver(const QString& picture, const std::string& reason) {
  return FailedWith(QStringLiteral("The wallpaper %1 could not be handed to the desktop.\n%2")
                        .arg(picture, QString::fromStdString(reason)));
}

// One line of the failure report: the method and why it failed.
QString MethodFailure(const WallpaperMethod& method, const std::string& reason) {
  return QStringLiteral("%1: %2").arg(method.name(), QString::fromStdString(reason));
}

std::unique_ptr<WallpaperMethod> NativeMethod(DesktopKind desktop) {
  switch (desktop) {
    case DesktopKind::Gnome:
      return std::make_unique<GSettingsWallpaper>(GnomeBackground());
    case DesktopKind::Cinnamon:
      return std::make_unique<GSettingsWallpaper>(CinnamonBackground());
    case DesktopKind::Mate:
      return std::make_unique<GSettingsWallpaper>(MateBackground());
    case DesktopKind::Kde:
      return std::make_unique<PlasmaWallpaper>(QDBusConnection::sessionBus());
    case DesktopKind::Xfce:
      return std::make_unique<XfceWallpaper>(QDBusConnection::sessionBus(), ScreenNames());
    case DesktopKind::Lxqt:
      return std::make_unique<PcmanfmQtWallpaper>(QDBusConnection::sessionBus());
    case DesktopKind::Lxde:
      return std::make_unique<PcmanfmWallpaper>();
    case DesktopKind::Sway:
      return std::make_unique<CommandWallpaper>(SwayWallpaper());
    // Deepin keeps the picture in its appearance service, COSMIC in its own settings: the
    // portal speaks to both.
    case DesktopKind::Deepin:
    case DesktopKind::Cosmic:
    case DesktopKind::OtherWlroots:
    case DesktopKind::Unknown:
      break;
  }
  return nullptr;
}

// Whether the program that draws the desktop's setting runs. The file-manager desktops (caja,
// xfdesktop) are looked for by their window: a mapped desktop window on this display is what
// shows the picture, while a caja process may well run without its desktop (a plain file
// manager, or the desktop switched off), and a process may belong to another display. GNOME
// Shell and Cinnamon's csd-background draw without such a window (in the compositor, on the
// root pixmap): for them, and wherever there is no X11 display to look at, the process of
// this user on this display tells.
std::function<bool()> DrawerCheck(const QStringList& programs, bool window, const Session& s) {
  const QByteArray display = s.x11 ? qgetenv("DISPLAY") : QByteArray();
  if (window && s.x11) {
    return [] { return ShownDesktopWindow().has_value(); };
  }
  return [programs, display] { return ProgramRunning(programs, display); };
}

// The program that draws the setting of a desktop whose setting alone shows nothing.
std::optional<WallpaperDrawer> DrawerOf(const Session& s) {
  switch (s.desktop) {
    case DesktopKind::Gnome:
      // GNOME's derivatives draw the same keys with their own window managers.
      return WallpaperDrawer{
          QStringLiteral("gnome-shell"),
          DrawerCheck(
              {QStringLiteral("gnome-shell"), QStringLiteral("gnome-flashback"),
               QStringLiteral("budgie-wm"), QStringLiteral("gala"), QStringLiteral("compiz")},
              false, s)};
    case DesktopKind::Cinnamon:
      return WallpaperDrawer{QStringLiteral("csd-background"),
                             DrawerCheck({QStringLiteral("csd-background")}, false, s)};
    case DesktopKind::Mate:
      return WallpaperDrawer{QStringLiteral("caja's desktop"),
                             DrawerCheck({QStringLiteral("caja")}, true, s)};
    case DesktopKind::Xfce:
      return WallpaperDrawer{QStringLiteral("xfdesktop"),
                             DrawerCheck({QStringLiteral("xfdesktop")}, true, s)};
    default:
      return std::nullopt;
  }
}

// Whether the desktop's own portal back end may set the wallpaper and ask the user. Elsewhere
// xdg-desktop-portal lends another desktop's back end, which may never answer (GNOME's needs a
// running GNOME Shell to ask its question): there the portal comes last.
bool HasOwnPortal(DesktopKind desktop) {
  switch (desktop) {
    case DesktopKind::Gnome:
    case DesktopKind::Kde:
    case DesktopKind::Xfce:
    case DesktopKind::Cinnamon:
    case DesktopKind::Mate:
    case DesktopKind::Deepin:
    case DesktopKind::Cosmic:
      return true;
    default:
      return false;
  }
}

}  // namespace

std::vector<std::unique_ptr<WallpaperMethod>> WallpaperMethodsFor(const Session& session) {
  std::vector<std::unique_ptr<WallpaperMethod>> methods;
  auto portal = [] { return std::make_unique<PortalWallpaper>(QDBusConnection::sessionBus()); };
  if (session.flatpak) {
    methods.push_back(portal());
    return methods;
  }
  if (auto native = NativeMethod(session.desktop)) {
    if (std::optional<WallpaperDrawer> drawer = DrawerOf(session)) {
      // The root window shows the picture while the desktop's program is away.
      std::unique_ptr<WallpaperMethod> root;
      if (session.x11) {
        root = std::make_unique<X11RootWallpaper>(QByteArray(), MonitorRects());
      }
      native =
          std::make_unique<DrawnWallpaper>(std::move(native), std::move(*drawer), std::move(root));
    }
    methods.push_back(std::move(native));
  }
  if (HasOwnPortal(session.desktop)) {
    methods.push_back(portal());
  }
  if (session.wayland &&
      (session.desktop == DesktopKind::OtherWlroots || session.desktop == DesktopKind::Cosmic ||
       session.desktop == DesktopKind::Unknown)) {
    methods.push_back(std::make_unique<SwaybgWallpaper>());
  }
  // A desktop draws its own window over the root window: a root pixmap would not be seen.
  if (session.x11 && session.desktop == DesktopKind::Unknown) {
    methods.push_back(std::make_unique<X11RootWallpaper>(QByteArray(), MonitorRects()));
  }
  if (!HasOwnPortal(session.desktop)) {
    methods.push_back(portal());
  }
  return methods;
}

OutcomeOf<std::string> DesktopWallpaperSetter::wallpaperFolder() const {
  // The base directory rules ask to ignore a relative XDG_DATA_HOME: it would put the folder
  // under whatever folder the program happened to start in.
  const QString dataHome = qEnvironmentVariable("XDG_DATA_HOME");
  const QString folder = QDir::cleanPath(
      (QDir::isAbsolutePath(dataHome) ? dataHome : QDir::homePath() + "/.local/share") +
      "/tessora");
  if (!QDir().mkpath(folder)) {
    return OutcomeOf<std::string>::Failed("the folder " + folder.toStdString() +
                                          " cannot be created");
  }
  return OutcomeOf<std::string>::Done(folder.toStdString() + "/");
}

// A copy that cannot be written fails the set with the system's reason: no method is to blame,
// and the next would fail the same way.
Outcome DesktopWallpaperSetter::setWallpaper(const std::string& path) {
  const QString picture = QString::fromStdString(path);
  if (!QFileInfo(picture).isReadable()) {
    return NotHandedOver(picture, "the file cannot be read");
  }
  QStringList reasons;
  for (const auto& method : methods_) {
    const OutcomeOf<QStringList> fresh = files_.prepare({picture}, !method->readsBmp());
    if (!fresh.ok()) {
      return NotHandedOver(picture, fresh.reason());
    }
    const Outcome installed = method->install(fresh.value().front());
    if (installed.ok()) {
      WallpaperFiles::accepted(fresh.value());
      return Outcome::Done();
    }
    WallpaperFiles::rejected(fresh.value());
    reasons << MethodFailure(*method, installed.reason());
  }
  if (methods_.empty()) {
    reasons << QStringLiteral("no way of setting the wallpaper is known for this session");
  }
  return Failure(picture, reasons);
}

Outcome DesktopWallpaperSetter::installFresh(WallpaperMethod& method,
                                             const QList<MonitorFile>& files,
                                             const QStringList& copies) {
  if (files.isEmpty()) {
    return FailedWith(QStringLiteral("no monitor to set"));
  }
  QList<MonitorFile> fresh;
  for (int i = 0; i < files.size(); ++i) {
    fresh << MonitorFile{files[i].name, files[i].rect, copies[i], files[i].primary};
  }
  const Outcome installed = method.installMonitors(fresh);
  if (installed.ok()) {
    WallpaperFiles::accepted(copies);
  } else {
    WallpaperFiles::rejected(copies);
  }
  return installed;
}

// Every file the desktop is handed gets a fresh name, as a single picture does.
Outcome DesktopWallpaperSetter::setMonitorWallpapers(const MonitorPictures& pictures) {
  const QString spanned = QString::fromStdString(pictures.spanned);
  QStringList reasons;
  for (const auto& method : methods_) {
    const QList<MonitorFile> files = FilesFor(method->spread(), pictures);
    QStringList paths;
    for (const MonitorFile& f : files) {
      paths << f.file;
    }
    const OutcomeOf<QStringList> copies = files_.prepare(paths, !method->readsBmp());
    if (!copies.ok()) {
      return NotHandedOver(spanned, copies.reason());
    }
    const Outcome installed = installFresh(*method, files, copies.value());
    if (installed.ok()) {
      return Outcome::Done();
    }
    reasons << MethodFailure(*method, installed.reason());
  }
  if (methods_.empty()) {
    reasons << QStringLiteral("no way of setting the wallpaper is known for this session");
  }
  return Failure(spanned, reasons);
}

}  // namespace tessora
