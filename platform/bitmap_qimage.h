#pragma once

#include <QImage>

#include "engine/bitmap.h"

namespace tessora {

/// A deep copy of the bitmap as a QImage (RGB888, rows top to bottom).
QImage ToQImage(const Bitmap& bitmap);

/// A QImage over the bitmap's own pixels, without a copy, for reading them at once (scaling a
/// large picture down for a panel): valid only while the bitmap stays as it is.
QImage BitmapView(const Bitmap& bitmap);

/// A bitmap holding the image's pixels; alpha is dropped.
Bitmap FromQImage(const QImage& image);

}  // namespace tessora
