// A picture with transparency, loaded into a panel through the document, shows what the panel
// showed before through its transparent pixels, in every format that carries alpha.
#include <gtest/gtest.h>
#include <tiffio.h>

#include <functional>

#include "document/document.h"
#include "image_makers.h"
#include "imageio/image_files.h"
#include "support/pictures.h"
#include "support/recording_feedback.h"
#include "support/temp_dir.h"

namespace tessora {
namespace {

using testing::Bytes;
using testing::PhotoPicture;

struct AlphaFormat {
  const char* name;
  const char* extension;
  int bitDepth;
  std::function<Bytes(const PhotoPicture&)> make;
  int tolerance;  // HEIF rounds through YCbCr; libtiff's tiles come premultiplied
};

const AlphaFormat kFormats[] = {
    {"PNG", ".png", 8, [](const PhotoPicture& p) { return testing::MakePng(testing::PngOf(p)); }, 0},
    {"PNG 16-bit", ".png", 16, [](const PhotoPicture& p) { return testing::MakePng(testing::PngOf(p)); }, 0},
    {"WebP", ".webp", 8, testing::MakeWebp, 0},
    {"AVIF", ".avif", 8, [](const PhotoPicture& p) { return testing::MakeAvif(p); }, 0},
    {"HEIC", ".heic", 8, [](const PhotoPicture& p) { return testing::MakeHeif(p); }, 2},
    {"TIFF", ".tif", 16,
     [](const PhotoPicture& p) { return testing::MakeTiff(p, COMPRESSION_ADOBE_DEFLATE, 3); }, 0},
    {"TIFF tiled", ".tif", 8,
     [](const PhotoPicture& p) { return testing::MakeTiff(p, COMPRESSION_LZW, 0, 16); }, 1},
    {"JPEG XL", ".jxl", 8, testing::MakeJxl, 0},
};

// Each source in turn holds an opaque picture, wider and lower than the one loaded over it; the
// second picture must land as if read into the panel itself: blended over what it held, the rest
// of its area in the panel's fill colour.
TEST(DocumentLoads, TransparentPixelsShowWhatThePanelHeldBefore) {
  testing::TempDir folder;
  const std::string under = folder.file("under.png");
  testing::PngRecipe opaque;
  opaque.width = 9;
  opaque.height = 4;
  ASSERT_TRUE(testing::writeBytes(under, testing::MakePng(opaque)));

  for (const AlphaFormat& f : kFormats) {
    const PhotoPicture picture = testing::MakePhotoPicture(7, 5, true, f.bitDepth);
    const std::string over = folder.file(std::string("over") + f.extension);
    const std::string samePng = folder.file("same.png");
    ASSERT_TRUE(testing::writeBytes(over, f.make(picture))) << f.name;
    ASSERT_TRUE(testing::writeBytes(samePng, testing::MakePng(testing::PngOf(picture)))) << f.name;

    for (const bool tile : {true, false}) {
      SCOPED_TRACE(std::string(f.name) + (tile ? " as the tile" : " as the center"));
      testing::RecordingFeedback fb;
      Document doc(fb);
      StartState start;
      start.desktop = DesktopGeometry{640, 480, Rect{0, 0, 640, 480}};
      start.deepBackgroundColor = clWhite;
      doc.Activate(start);
      const auto assign = [&](const std::string& path) {
        return tile ? doc.AssignTileFile(path) : doc.AssignCenterFile(path);
      };
      const auto held = [&]() -> const Bitmap& {
        return tile ? doc.TileBitmap() : doc.CenterBitmap();
      };
      ASSERT_TRUE(assign(under));
      const Bitmap before = held();
      Bitmap expected = before;
      ASSERT_TRUE(LoadImageFile(samePng, expected));

      ASSERT_TRUE(assign(over)) << ::testing::PrintToString(fb.loadFailures);
      EXPECT_TRUE(testing::SamePicture(held(), expected, f.tolerance));
      // Wholly transparent pixels (every third one) show the earlier picture exactly.
      for (int y = 0; y < before.height(); ++y) {
        for (int x = 0; x < before.width() && x < picture.width; ++x) {
          if ((x + 2 * y) % 3 == 1) {
            EXPECT_EQ(held().pixel(x, y), before.pixel(x, y)) << x << "," << y;
          }
        }
      }
    }
  }
}

}  // namespace
}  // namespace tessora
