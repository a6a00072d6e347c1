#pragma once

#include "engine/bitmap.h"
#include "engine/color.h"
#include "engine/rect.h"

namespace tessora {

/// Horizontal bands two rows high, from the top colour towards the bottom colour (stopping one
/// step short of it). Rows no band reaches keep their pixels. Leaves the bitmap's fill colour at
/// the last band's colour.
void VerticalGradient(Bitmap& bmp, TColor top, TColor bottom);

/// Fills the bitmap with the outer colour, then paints concentric ellipses shrinking by one pixel
/// per side and ring, their colour moving towards the inner colour. The ring count is the
/// diagonal of `reference`, or half the bitmap height when `reference` has no area. The first
/// ring is inscribed in the whole bitmap, or with `centredSquare` in a square of the bitmap's
/// height centred horizontally. Leaves the fill colour one step past the last ring's colour.
void EllipseGradient(Bitmap& bmp, TColor outer, TColor inner, const Rect& reference,
                     bool centredSquare);
/// How far EllipseGradient's colour ramp reaches on a bitmap `height` high: the diagonal of
/// `reference`, or half the height when it has no area. Its rounding is the ring count.
float EllipseGradientExtent(int height, const Rect& reference);

/// Nested rectangles anchored at the top-left corner, keeping the bitmap's proportions, shrinking
/// towards the corner while their colour moves towards the corner colour. Leaves the fill colour
/// at the colour of the last step.
void CornerGradient(Bitmap& bmp, TColor outer, TColor corner);

/// The colour ramp shared by the gradients: one single-precision running value per channel,
/// advanced by a single-precision increment (second - first) / divisor; a step's colour takes
/// the floor of each running value and keeps its low 8 bits.
class ColorRamp {
 public:
  ColorRamp(TColor first, TColor second, long double divisor);
  TColor color() const;
  void step();

 private:
  float r_, g_, b_;
  float dr_, dg_, db_;
};

}  // namespace tessora
