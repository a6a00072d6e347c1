#pragma once

#include "engine/bitmap.h"

namespace tessora {

/// A w x h bitmap whose pixel (x, y) is RGB(x, y, blue): every pixel tells where it came from.
inline Bitmap Numbered(int w, int h, int blue = 7) {
  Bitmap b(w, h);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      b.setPixel(x, y, RGB(x, y, blue));
    }
  }
  return b;
}

/// A w x h bitmap of one colour.
inline Bitmap Solid(int w, int h, TColor c) {
  Bitmap b(w, h);
  b.setFillColor(c);
  b.fill();
  return b;
}

}  // namespace tessora
