#pragma once

// For test programs that link Xlib: what the X server's root window shows.

#include "engine/bitmap.h"
#include "platform/x11_headers.h"

namespace tessora::testing {

/// The root window's pixels in the w x h box at (x, y) on the display of $DISPLAY; empty when
/// the display cannot be opened.
inline Bitmap RootRegion(int x, int y, int w, int h) {
  Display* dpy = XOpenDisplay(nullptr);
  if (dpy == nullptr) {
    return Bitmap();
  }
  Bitmap b(w, h);
  XImage* image = XGetImage(dpy, XDefaultRootWindow(dpy), x, y, static_cast<unsigned>(w),
                            static_cast<unsigned>(h), 0xffffffffUL, ZPixmap);
  for (int row = 0; image != nullptr && row < h; ++row) {
    for (int column = 0; column < w; ++column) {
      const unsigned long v = XGetPixel(image, column, row);
      b.setPixel(column, row,
                 RGB(static_cast<int>((v >> 16) & 0xFF), static_cast<int>((v >> 8) & 0xFF),
                     static_cast<int>(v & 0xFF)));
    }
  }
  if (image != nullptr) {
    XDestroyImage(image);
  }
  XCloseDisplay(dpy);
  return b;
}

}  // namespace tessora::testing
