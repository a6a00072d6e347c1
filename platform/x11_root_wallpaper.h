#pragma once

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QRect>
#include <functional>
#include <optional>

#include "platform/wallpaper_method.h"

namespace tessora {

/// A plain X11 session without a desktop: the picture becomes the root window's background
/// pixmap, announced in _XROOTPMAP_ID and ESETROOT_PMAP_ID for compositors and
/// pseudo-transparent terminals, as X11 wallpaper setters do.
class X11RootWallpaper : public WallpaperMethod {
 public:
  /// display: as for XOpenDisplay (empty: $DISPLAY). monitors: rectangles in root pixels, each
  /// of which gets the picture centred; empty: the whole root window.
  explicit X11RootWallpaper(QByteArray display = {}, QList<QRect> monitors = {})
      : display_(std::move(display)), monitors_(std::move(monitors)) {}
  QString name() const override { return QStringLiteral("X11"); }
  Outcome install(const QString& file) override;
  /// The root spans every monitor: each picture goes to its monitor's top-left.
  MonitorSpread spread() const override { return MonitorSpread::PerMonitor; }
  Outcome installMonitors(const QList<MonitorFile>& files) override;

 private:
  /// Sets the root's background to what `paint` makes for the root's size.
  Outcome show(const std::function<QImage(const QSize& root)>& paint);

  QByteArray display_;
  QList<QRect> monitors_;
};

/// The owner ("Xfdesktop", "Caja") of a mapped _NET_WM_WINDOW_TYPE_DESKTOP window on the
/// display (empty: $DISPLAY), which hides the root window; nothing when there is none or the
/// display cannot be opened.
std::optional<QString> ShownDesktopWindow(const QByteArray& display = {});

}  // namespace tessora
