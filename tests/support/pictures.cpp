#include "support/pictures.h"

#include <cstdlib>
#include <ostream>

#include "imageio/image_files.h"

namespace tessora::testing {

namespace {

struct ShownColour {
  TColor colour;
};

std::ostream& operator<<(std::ostream& out, ShownColour c) {
  return out << "RGB(" << GetRValue(c.colour) << ", " << GetGValue(c.colour) << ", "
             << GetBValue(c.colour) << ")";
}

bool Near(TColor a, TColor b, int tolerance) {
  return std::abs(GetRValue(a) - GetRValue(b)) <= tolerance &&
         std::abs(GetGValue(a) - GetGValue(b)) <= tolerance &&
         std::abs(GetBValue(a) - GetBValue(b)) <= tolerance;
}

}  // namespace

Bitmap Numbered(int w, int h, int blue) {
  Bitmap b(w, h);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      b.setPixel(x, y, RGB(x, y, blue));
    }
  }
  return b;
}

Bitmap Solid(int w, int h, TColor c) {
  Bitmap b(w, h);
  b.setFillColor(c);
  b.fill();
  return b;
}

Bitmap PatternBitmap(int width, int height, int seed) {
  Bitmap b(width, height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      b.setPixel(x, y, RGB(x * 7 + seed, y * 13 + 2 * seed, (x + y) * 5 + 3 * seed));
    }
  }
  return b;
}

Bitmap LoadPicture(const std::string& path) {
  Bitmap b;
  const Outcome loaded = LoadImageFile(path, b);
  EXPECT_TRUE(loaded.ok()) << path << ": " << loaded.reason();
  return b;
}

::testing::AssertionResult SamePicture(const Bitmap& actual, const Bitmap& expected,
                                       int tolerance) {
  if (actual.width() != expected.width() || actual.height() != expected.height()) {
    return ::testing::AssertionFailure()
           << "size " << actual.width() << " x " << actual.height() << ", expected "
           << expected.width() << " x " << expected.height();
  }
  for (int y = 0; y < actual.height(); ++y) {
    for (int x = 0; x < actual.width(); ++x) {
      const TColor a = actual.pixel(x, y);
      const TColor e = expected.pixel(x, y);
      if (!Near(a, e, tolerance)) {
        return ::testing::AssertionFailure()
               << "pixel (" << x << ", " << y << ") is " << ShownColour{a} << ", expected "
               << ShownColour{e} << " (both " << actual.width() << " x " << actual.height() << ")";
      }
    }
  }
  return ::testing::AssertionSuccess();
}

}  // namespace tessora::testing
