#pragma once

#include <utility>

#include "engine/bitmap.h"

namespace tessora {

/// Gives `target` the size and pixels of a freshly decoded bitmap while it keeps its own fill
/// colour and transparent attributes. Readers decode into a bitmap of their own and hand it over
/// only when everything succeeded, so a failed read leaves the target untouched.
inline void AdoptPixels(Bitmap& target, Bitmap&& decoded) {
  decoded.setFillColor(target.fillColor());
  decoded.setTransparent(target.transparent());
  decoded.setTransparentColor(target.transparentColor());
  target = std::move(decoded);
}

}  // namespace tessora
