#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "engine/bitmap.h"
#include "engine/color.h"
#include "engine/desktop_geometry.h"
#include "engine/rect.h"

namespace tessora {

/// One monitor of the desktop, in device pixels.
struct Monitor {
  std::string name;  ///< the output's connector name ("DP-1"); may be empty
  Rect rect;         ///< where it lies on the virtual desktop
  Rect workArea;     ///< the monitor minus its panels, relative to the monitor's top-left
  bool workAreaKnown = true;

  friend bool operator==(const Monitor& a, const Monitor& b) {
    return a.name == b.name && a.rect == b.rect && a.workArea == b.workArea &&
           a.workAreaKnown == b.workAreaKnown;
  }
};

/// The monitors in the desktop's own order (the order a desktop numbers its screens in), and
/// which of them is the primary one. Empty means unknown: one monitor is assumed.
struct MonitorLayout {
  std::vector<Monitor> monitors;
  std::size_t primary = 0;

  friend bool operator==(const MonitorLayout& a, const MonitorLayout& b) {
    return a.monitors == b.monitors && a.primary == b.primary;
  }
  friend bool operator!=(const MonitorLayout& a, const MonitorLayout& b) { return !(a == b); }
};

/// A monitor as a desktop of its own: what a single-monitor session on it would report.
DesktopGeometry MonitorGeometry(const Monitor& monitor);

/// A layout of one monitor with the given geometry, at the origin.
MonitorLayout SingleMonitorLayout(const DesktopGeometry& desktop);

/// The smallest rectangle holding every monitor.
Rect LayoutBounds(const MonitorLayout& layout);

/// The whole virtual desktop's picture before any monitor is drawn on it: the layout's bounding
/// box in `background`.
Bitmap BlankSpan(const MonitorLayout& layout, TColor background);

/// The order monitors are drawn on the whole virtual desktop: the primary last, so that it is the
/// one seen where mirrored monitors overlap.
std::vector<std::size_t> SpanOrder(const MonitorLayout& layout);

/// Draws monitor `index`'s picture at the monitor's place on `span` (made by BlankSpan), clipped
/// to the monitor.
void DrawOnSpan(Bitmap& span, const MonitorLayout& layout, std::size_t index,
                const Bitmap& picture);

/// One picture for the whole virtual desktop: each monitor's picture at the monitor's place
/// (clipped to the monitor), the rest of the bounding box in `background`. Where mirrored
/// monitors overlap, the primary monitor's picture is the one seen.
Bitmap SpanMonitors(const MonitorLayout& layout, const std::vector<Bitmap>& pictures,
                    TColor background);

}  // namespace tessora
