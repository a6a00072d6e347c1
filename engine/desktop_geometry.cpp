#include "engine/desktop_geometry.h"

#include <algorithm>

namespace tessora {

Size DesktopTargetSize(const DesktopGeometry& desktop, bool useEntireDesktopArea) {
  const Size screen{desktop.screenWidth, desktop.screenHeight};
  if (useEntireDesktopArea || !desktop.workAreaKnown || desktop.workArea.Right <= 0 ||
      desktop.workArea.Bottom <= 0) {
    return screen;
  }
  return Size{desktop.workArea.Right, desktop.workArea.Bottom};
}

void SizeToDesktop(Bitmap& bmp, const DesktopGeometry& desktop, bool useEntireDesktopArea) {
  const Size s = DesktopTargetSize(desktop, useEntireDesktopArea);
  bmp.setWidth(std::max(s.width, 0));
  bmp.setHeight(std::max(s.height, 0));
}

}  // namespace tessora
