#pragma once

#include <QRect>

#include "platform/services.h"
#include "platform/session.h"

namespace tessora {

/// A screen's geometry and work area (in Qt's device-independent pixels) in device pixels.
DesktopGeometry PhysicalGeometry(const QRect& screen, const QRect& available, qreal ratio);

/// Screen geometry from Qt, in device pixels; the desktop colour from the desktop's settings
/// where it keeps one.
class QtDesktopInfo : public DesktopInfo {
 public:
  explicit QtDesktopInfo(DesktopKind desktop) : desktop_(desktop) {}
  DesktopGeometry geometry() const override;
  MonitorLayout monitors() const override;
  TColor desktopColor() const override;
  bool fontInstalled(const std::string& family) const override;

 private:
  DesktopKind desktop_;
};

}  // namespace tessora
