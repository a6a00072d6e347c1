#include "engine/wallpaper_composition.h"

#include "engine/desktop_geometry.h"

namespace tessora {

CenterPlacement PlaceCenterImage(const CompositionInputs& in, int w, int h) {
  CenterPlacement place;
  const Bitmap& center = in.center;
  if (center.empty() || w <= 0 || h <= 0) {
    return place;
  }
  if (in.sizing.widthFraction == 0 && in.sizing.heightFraction == 0) {
    place.kind = CenterPlacement::AsIs;
    place.at = AsIsCenterOrigin(w, h, center.width(), center.height());
  } else {
    place.kind = CenterPlacement::Stretched;
    place.box = StretchedCenterBox(w, h, center.width(), center.height(), in.sizing.widthFraction,
                                   in.sizing.heightFraction);
  }
  return place;
}

void ComposeInto(const CompositionInputs& in, Bitmap& out, const Bitmap& tile) {
  out.setFillColor(in.sizing.deepBackgroundColor);
  // The deep colour shows only through a transparent tile; any other tile covers all of it.
  if (!TileFillCoversAll(tile)) {
    out.fill();
  }
  TileFill(tile, out);
  const CenterPlacement place = PlaceCenterImage(in, out.width(), out.height());
  if (place.kind == CenterPlacement::AsIs) {
    out.draw(place.at.x, place.at.y, in.center);
  } else if (place.kind == CenterPlacement::Stretched) {
    out.stretchDraw(place.box.left, place.box.top, place.box.right, place.box.bottom, in.center);
  }
}

// A picture or pasted source is the same on every monitor; only a generated one depends on the
// size it was generated for.
Bitmap BackgroundFor(const CompositionInputs& in, int w, int h) {
  return in.generated != nullptr
             ? in.generated->replay(w, h, in.sizing.previewWidth, in.sizing.previewHeight)
             : in.tile;
}

// The tile itself is drawn from where it is: a copy of a large picture per monitor would cost as
// much as the monitor's own picture.
Bitmap ComposeForMonitor(const CompositionInputs& in, const Monitor& monitor) {
  Bitmap out;
  SizeToDesktop(out, MonitorGeometry(monitor), in.sizing.entireArea);
  if (in.generated != nullptr) {
    ComposeInto(in, out, BackgroundFor(in, out.width(), out.height()));
  } else {
    ComposeInto(in, out, in.tile);
  }
  return out;
}

std::vector<Bitmap> ComposeForMonitors(const CompositionInputs& in, const MonitorLayout& layout) {
  std::vector<Bitmap> pictures;
  pictures.reserve(layout.monitors.size());
  for (const Monitor& monitor : layout.monitors) {
    pictures.push_back(ComposeForMonitor(in, monitor));
  }
  return pictures;
}

Bitmap ComposeSpanning(const CompositionInputs& in, const MonitorLayout& layout,
                       const std::function<void(std::size_t, const Bitmap&)>& each) {
  Bitmap span = BlankSpan(layout, in.sizing.deepBackgroundColor);
  for (const std::size_t i : SpanOrder(layout)) {
    const Bitmap picture = ComposeForMonitor(in, layout.monitors[i]);
    if (each) {
      each(i, picture);
    }
    DrawOnSpan(span, layout, i, picture);
  }
  return span;
}

}  // namespace tessora
