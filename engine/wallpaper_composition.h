#pragma once

#include <cstddef>
#include <functional>
#include <vector>

#include "engine/background_recipe.h"
#include "engine/bitmap.h"
#include "engine/color.h"
#include "engine/composition.h"
#include "engine/monitor_layout.h"

namespace tessora {

/// Where the center image lands on a wallpaper: nowhere, at its own size, or stretched.
struct CenterPlacement {
  enum Kind { None, AsIs, Stretched } kind = None;
  Point at{};
  Box64 box{};
};

/// How a wallpaper is composed besides its pictures: the center's sizing, the deep background
/// colour, and what the size of each monitor's wallpaper follows.
struct CompositionSizing {
  float widthFraction = 0;
  float heightFraction = 0;
  TColor deepBackgroundColor = clBlack;
  /// Whether a monitor's wallpaper covers its panels too ("part of wallpaper under taskbar").
  bool entireArea = false;
  /// The preview's size: a halo's rings follow the center's place in it.
  int previewWidth = 0;
  int previewHeight = 0;
};

/// What a wallpaper is composed of, whatever its size: the background source (a picture, or
/// the recipe that generates one for each size), the center image and the sizing. It refers to
/// pictures it does not own.
struct CompositionInputs {
  const Bitmap& tile;
  /// Set when the background is generated: then it is made anew for each size.
  const BackgroundRecipe* generated = nullptr;
  const Bitmap& center;
  CompositionSizing sizing;
};

/// Where the center image of `in` lands on a w x h wallpaper.
CenterPlacement PlaceCenterImage(const CompositionInputs& in, int w, int h);

/// Composes `in` into `out` at out's size, with `tile` as the background source.
void ComposeInto(const CompositionInputs& in, Bitmap& out, const Bitmap& tile);

/// The background source a single-monitor desktop of w x h gets.
Bitmap BackgroundFor(const CompositionInputs& in, int w, int h);

/// The picture each monitor of `layout` gets: what a single-monitor desktop of that monitor's
/// geometry composes, a generated background generated anew at its size.
std::vector<Bitmap> ComposeForMonitors(const CompositionInputs& in, const MonitorLayout& layout);

/// The picture one monitor gets, as ComposeForMonitors composes it.
Bitmap ComposeForMonitor(const CompositionInputs& in, const Monitor& monitor);

/// The whole virtual desktop (SpanMonitors of ComposeForMonitors), composed one monitor at a
/// time: each monitor's picture is composed, handed to `each` (when given) with its index, drawn
/// on the whole picture and dropped, so that only one monitor's picture is held at any time.
/// Monitors come in SpanOrder.
Bitmap ComposeSpanning(const CompositionInputs& in, const MonitorLayout& layout,
                       const std::function<void(std::size_t, const Bitmap&)>& each = nullptr);

}  // namespace tessora
