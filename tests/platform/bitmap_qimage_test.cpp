#include "platform/bitmap_qimage.h"

#include <gtest/gtest.h>

#include "support/pictures.h"

namespace tessora {
namespace {

TEST(BitmapQImage, RoundTripKeepsEveryPixelWhateverTheRowPadding) {
  // 5 pixels = 15 bytes a row: QImage pads rows to 16, Bitmap does not.
  Bitmap b(5, 3);
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 5; ++x) {
      b.setPixel(x, y, RGB(x * 40, y * 70, 200 - x));
    }
  }
  const QImage image = ToQImage(b);
  ASSERT_EQ(image.width(), 5);
  EXPECT_EQ(image.pixelColor(4, 2), QColor(160, 140, 196));
  EXPECT_EQ(image.pixelColor(0, 1), QColor(0, 70, 200));
  EXPECT_TRUE(testing::SamePicture(FromQImage(image), b));
}

TEST(BitmapQImage, AlphaIsDroppedAndEmptyStaysEmpty) {
  QImage argb(2, 1, QImage::Format_ARGB32);
  argb.setPixelColor(0, 0, QColor(10, 20, 30, 0));
  argb.setPixelColor(1, 0, QColor(40, 50, 60, 255));
  const Bitmap b = FromQImage(argb);
  EXPECT_EQ(b.pixel(1, 0), RGB(40, 50, 60));
  EXPECT_TRUE(FromQImage(QImage()).empty());
  EXPECT_TRUE(ToQImage(Bitmap()).isNull());
}

}  // namespace
}  // namespace tessora
