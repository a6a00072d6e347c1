#include "engine/monitor_layout.h"

#include <algorithm>
#include <stdexcept>

namespace tessora {

DesktopGeometry MonitorGeometry(const Monitor& monitor) {
  DesktopGeometry g;
  g.screenWidth = monitor.rect.Right - monitor.rect.Left;
  g.screenHeight = monitor.rect.Bottom - monitor.rect.Top;
  g.workArea = monitor.workArea;
  g.workAreaKnown = monitor.workAreaKnown;
  return g;
}

MonitorLayout SingleMonitorLayout(const DesktopGeometry& desktop) {
  Monitor m;
  m.rect = Rect{0, 0, desktop.screenWidth, desktop.screenHeight};
  m.workArea = desktop.workArea;
  m.workAreaKnown = desktop.workAreaKnown;
  return MonitorLayout{{m}, 0};
}

Rect LayoutBounds(const MonitorLayout& layout) {
  if (layout.monitors.empty()) {
    return Rect{};
  }
  Rect box = layout.monitors.front().rect;
  for (const Monitor& m : layout.monitors) {
    box.Left = std::min(box.Left, m.rect.Left);
    box.Top = std::min(box.Top, m.rect.Top);
    box.Right = std::max(box.Right, m.rect.Right);
    box.Bottom = std::max(box.Bottom, m.rect.Bottom);
  }
  return box;
}

Bitmap BlankSpan(const MonitorLayout& layout, TColor background) {
  const Rect box = LayoutBounds(layout);
  Bitmap span(box.Right - box.Left, box.Bottom - box.Top);
  span.setFillColor(background);
  span.fill();
  return span;
}

std::vector<std::size_t> SpanOrder(const MonitorLayout& layout) {
  std::vector<std::size_t> order;
  for (std::size_t i = 0; i < layout.monitors.size(); ++i) {
    if (i != layout.primary) {
      order.push_back(i);
    }
  }
  if (layout.primary < layout.monitors.size()) {
    order.push_back(layout.primary);
  }
  return order;
}

void DrawOnSpan(Bitmap& span, const MonitorLayout& layout, std::size_t index,
                const Bitmap& picture) {
  const Rect box = LayoutBounds(layout);
  const Rect& r = layout.monitors.at(index).rect;
  const std::int64_t x = std::int64_t{r.Left} - box.Left;
  const std::int64_t y = std::int64_t{r.Top} - box.Top;
  if (picture.width() <= r.Right - r.Left && picture.height() <= r.Bottom - r.Top) {
    span.draw(x, y, picture);
    return;
  }
  // A picture never spills onto a neighbour: a monitor shows only its own.
  Bitmap own(std::min(picture.width(), r.Right - r.Left),
             std::min(picture.height(), r.Bottom - r.Top));
  own.draw(0, 0, picture);
  span.draw(x, y, own);
}

Bitmap SpanMonitors(const MonitorLayout& layout, const std::vector<Bitmap>& pictures,
                    TColor background) {
  if (pictures.size() != layout.monitors.size()) {
    throw std::invalid_argument("one picture per monitor");
  }
  Bitmap span = BlankSpan(layout, background);
  for (const std::size_t i : SpanOrder(layout)) {
    DrawOnSpan(span, layout, i, pictures[i]);
  }
  return span;
}

}  // namespace tessora
