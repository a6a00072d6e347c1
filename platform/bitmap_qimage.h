#pragma once

#include <QImage>

#include "engine/bitmap.h"

namespace tessora {

/// A deep copy of the bitmap as a QImage (RGB888, rows top to bottom).
QImage ToQImage(const Bitmap& bitmap);

/// A bitmap holding the image's pixels; alpha is dropped.
Bitmap FromQImage(const QImage& image);

}  // namespace tessora
