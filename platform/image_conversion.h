#pragma once

#include <QImage>

#include "engine/bitmap.h"

namespace tessora {
namespace platform_detail {

// The window has its own converters in ui/; the platform layer cannot reach up to them.
QImage BitmapToImage(const Bitmap& bitmap);
Bitmap ImageToBitmap(const QImage& image);

}  // namespace platform_detail
}  // namespace tessora
