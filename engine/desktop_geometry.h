#pragma once

#include "engine/bitmap.h"
#include "engine/color.h"
#include "engine/rect.h"

namespace tessora {

/// The background colour of a desktop that keeps none of its own (or only a picture), and of no
/// desktop at all.
constexpr TColor kDefaultDesktopColor = RGB(58, 110, 165);

/// What the desktop layer reports about the primary screen, in physical pixels.
struct DesktopGeometry {
  int screenWidth = 0;
  int screenHeight = 0;
  Rect workArea;  ///< the desktop minus panels and docks
  bool workAreaKnown = true;
};

/// The size of the composed wallpaper: the whole screen, or the work area's right and bottom
/// edges (not its size: a panel at the top or left still gives the full extent).
Size DesktopTargetSize(const DesktopGeometry& desktop, bool useEntireDesktopArea);

/// Gives the bitmap the desktop target size.
void SizeToDesktop(Bitmap& bmp, const DesktopGeometry& desktop, bool useEntireDesktopArea);

}  // namespace tessora
