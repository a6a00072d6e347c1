#pragma once

#include "engine/bitmap.h"

namespace tessora {

/// Takes the composed wallpaper for "Copy to Clipboard": the window's is the system clipboard.
class ClipboardSink {
 public:
  virtual ~ClipboardSink() = default;
  /// Puts an image on the clipboard.
  virtual void setImage(const Bitmap& image) = 0;
};

}  // namespace tessora
