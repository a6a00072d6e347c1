#pragma once

#include <cstdint>

#include "engine/bitmap.h"
#include "engine/rect.h"

namespace tessora {

/// The fraction of the composed height (or width) the "default" sizing gives the center image.
constexpr float DefaultCenterFraction = 0.618034F;
/// The "full" sizing.
constexpr float FullCenterFraction = 1.0F;

/// Covers `target` with copies of `tile` drawn 1:1 from the top-left corner across and down
/// (honouring the tile's transparency); an empty tile fills the target with the tile's fill
/// colour instead.
void TileFill(const Bitmap& tile, Bitmap& target);

/// Whether TileFill paints every pixel of the target, so that what was there before is lost.
bool TileFillCoversAll(const Bitmap& tile);

/// Where a stretched center image lands on a w x h wallpaper, in wallpaper pixels: symmetric
/// about the wallpaper's centre, negative Left/Top when it overhangs. Exactly one fraction is
/// non-zero. Edges beyond the 32-bit range are clamped.
struct Box64 {
  std::int64_t left, top, right, bottom;
};
Box64 StretchedCenterBox(int w, int h, int cw, int ch, float widthFraction, float heightFraction);

/// Where an unstretched ("as is") center image of cw x ch lands on a w x h wallpaper: centred,
/// but left- or top-aligned when it is at least as wide or tall as the wallpaper.
struct Point {
  std::int64_t x, y;
};
Point AsIsCenterOrigin(int w, int h, int cw, int ch);

/// A wallpaper box expressed in pixels of a preview of pw x ph showing the w x h wallpaper.
Rect ToPreviewRect(const Box64& box, int w, int h, int pw, int ph);

/// Scales the bitmap by `factor` in both directions (sizes rounded half to even), nearest
/// neighbour. Pixels of the transparent colour come out white and the result is opaque; the fill
/// colour stays. On failure (the new size cannot be held) the bitmap is unchanged.
void ScaleBitmap(Bitmap& bmp, float factor);

}  // namespace tessora
