#include "platform/bitmap_qimage.h"

#include <cstring>

namespace tessora {

// Bitmap rows are packed R, G, B bytes, which is QImage::Format_RGB888's layout apart from
// QImage's 4-byte row alignment; copy row by row.
QImage ToQImage(const Bitmap& bitmap) {
  if (bitmap.empty()) {
    return QImage();
  }
  QImage image(bitmap.width(), bitmap.height(), QImage::Format_RGB888);
  for (int y = 0; y < bitmap.height(); ++y) {
    std::memcpy(image.scanLine(y), bitmap.scanLine(y), bitmap.stride());
  }
  return image;
}

QImage BitmapView(const Bitmap& bitmap) {
  if (bitmap.empty()) {
    return QImage();
  }
  return QImage(bitmap.scanLine(0), bitmap.width(), bitmap.height(),
                static_cast<qsizetype>(bitmap.stride()), QImage::Format_RGB888);
}

Bitmap FromQImage(const QImage& image) {
  Bitmap bitmap;
  if (image.isNull()) {
    return bitmap;
  }
  const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
  bitmap.setSize(rgb.width(), rgb.height());
  for (int y = 0; y < rgb.height(); ++y) {
    std::memcpy(bitmap.scanLine(y), rgb.constScanLine(y), bitmap.stride());
  }
  return bitmap;
}

}  // namespace tessora
