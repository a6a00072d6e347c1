#include "platform/image_conversion.h"

#include <cstring>

namespace tessora {
namespace platform_detail {

QImage BitmapToImage(const Bitmap& bitmap) {
  QImage image(bitmap.width(), bitmap.height(), QImage::Format_RGB888);
  for (int y = 0; y < bitmap.height(); ++y) {
    std::memcpy(image.scanLine(y), bitmap.scanLine(y), bitmap.stride());
  }
  return image;
}

Bitmap ImageToBitmap(const QImage& source) {
  const QImage image = source.convertToFormat(QImage::Format_RGB888);
  Bitmap bitmap(image.width(), image.height());
  for (int y = 0; y < bitmap.height(); ++y) {
    std::memcpy(bitmap.scanLine(y), image.constScanLine(y), bitmap.stride());
  }
  return bitmap;
}

}  // namespace platform_detail
}  // namespace tessora
