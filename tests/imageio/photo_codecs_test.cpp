#include "imageio/photo_codecs.h"

#include <gtest/gtest.h>
#include <tiffio.h>

#include <algorithm>
#include <functional>

#include "image_makers.h"
#include "imageio/image_error.h"
#include "imageio/image_files.h"
#include "imageio/png_unit.h"
#include "support/files.h"
#include "support/pictures.h"
#include "support/temp_dir.h"

namespace tessora::testing {
namespace {

using Reader = void (*)(const std::uint8_t*, std::size_t, Bitmap&, const ImageLimits&);

// One way of storing a picture: the format's file name extension, its reader, and how closely it
// keeps the samples (0: exactly; HEIF's lossless mode still rounds through YCbCr).
struct Storage {
  const char* name;
  const char* extension;
  Reader read;
  std::function<Bytes(const PhotoPicture&)> make;
  bool alpha;
  int bitDepth;
  int tolerance;
};

const Storage kStorages[] = {
    {"WebP", ".webp", ReadWebpMemory, MakeWebp, true, 8, 0},
    {"WebP opaque", ".WEBP", ReadWebpMemory, MakeWebp, false, 8, 0},
    {"AVIF", ".avif", ReadAvifMemory, [](const PhotoPicture& p) { return MakeAvif(p); }, true, 8,
     0},
    {"AVIF 12-bit", ".avif", ReadAvifMemory, [](const PhotoPicture& p) { return MakeAvif(p); },
     true, 16, 0},
    {"HEIC", ".heic", ReadHeifMemory, [](const PhotoPicture& p) { return MakeHeif(p); }, true, 8,
     2},
    {"HEIF opaque", ".heif", ReadHeifMemory, [](const PhotoPicture& p) { return MakeHeif(p); },
     false, 8, 2},
    {"HEIF 10-bit", ".heic", ReadHeifMemory, [](const PhotoPicture& p) { return MakeHeif(p); },
     true, 16, 2},
    {"TIFF LZW", ".tif", ReadTiffMemory,
     [](const PhotoPicture& p) { return MakeTiff(p, COMPRESSION_LZW, 2); }, true, 8, 0},
    {"TIFF 16-bit deflate", ".tiff", ReadTiffMemory,
     [](const PhotoPicture& p) { return MakeTiff(p, COMPRESSION_ADOBE_DEFLATE, 3); }, true, 16, 0},
    {"TIFF 16-bit opaque", ".tiff", ReadTiffMemory,
     [](const PhotoPicture& p) { return MakeTiff(p, COMPRESSION_NONE, 1); }, false, 16, 0},
    {"TIFF PackBits", ".tif", ReadTiffMemory,
     [](const PhotoPicture& p) { return MakeTiff(p, COMPRESSION_PACKBITS, 5); }, false, 8, 0},
    // Tiles take libtiff's RGBA path, whose alpha comes premultiplied.
    {"TIFF tiled", ".tif", ReadTiffMemory,
     [](const PhotoPicture& p) { return MakeTiff(p, COMPRESSION_LZW, 0, 16); }, true, 8, 1},
    {"JPEG XL", ".jxl", ReadJxlMemory, MakeJxl, true, 8, 0},
    {"JPEG XL 16-bit", ".jxl", ReadJxlMemory, MakeJxl, true, 16, 0},
};

// What the bitmap showed before: larger than the picture one way, smaller the other, so that
// taking the picture's size shows as well as the blending.
Bitmap previous() {
  return PatternBitmap(9, 4, 3);
}

// Every format reads as a PNG of the same samples does: alpha blended over the previous content,
// deep samples rounded to 8 bits, in the same way.
TEST(PhotoFormats, LoadLikeAPngOfTheSameSamples) {
  TempDir folder;
  for (const Storage& s : kStorages) {
    const PhotoPicture picture = MakePhotoPicture(7, 5, s.alpha, s.bitDepth);
    const Bytes png = MakePng(PngOf(picture));
    Bitmap expected = previous();
    ReadPngMemory(png.data(), png.size(), expected);
    const std::string path = folder.file(std::string("picture") + s.extension);
    ASSERT_TRUE(writeBytes(path, s.make(picture))) << s.name;
    Bitmap loaded = previous();
    const Outcome result = LoadImageFile(path, loaded);
    ASSERT_TRUE(result.ok()) << s.name << ": " << result.reason();
    EXPECT_TRUE(SamePicture(loaded, expected, s.tolerance)) << s.name;
  }
}

TEST(PhotoFormats, AnAnimatedWebpShowsItsFirstFrame) {
  const PhotoPicture first = MakePhotoPicture(6, 4, true, 8);
  PhotoPicture second = first;
  for (std::uint32_t& v : second.samples) {
    v = 255 - v;
  }
  const Bytes animation = MakeAnimatedWebp({first, second});
  const Bytes still = MakeWebp(first);
  Bitmap fromAnimation = previous();
  Bitmap fromStill = previous();
  ReadWebpMemory(animation.data(), animation.size(), fromAnimation);
  ReadWebpMemory(still.data(), still.size(), fromStill);
  EXPECT_TRUE(SamePicture(fromAnimation, fromStill));
}

// Where the stored pixel (x, y) of a w x h picture shows for each Exif orientation.
std::pair<int, int> shownAt(int orientation, int x, int y, int w, int h) {
  switch (orientation) {
    case 2:
      return {w - 1 - x, y};
    case 3:
      return {w - 1 - x, h - 1 - y};
    case 4:
      return {x, h - 1 - y};
    case 5:
      return {y, x};
    case 6:
      return {h - 1 - y, x};
    case 7:
      return {h - 1 - y, w - 1 - x};
    case 8:
      return {y, w - 1 - x};
    default:
      return {x, y};
  }
}

// A phone's photo is stored as the sensor saw it, with the turn that makes it upright, in HEIF
// or AVIF alike.
TEST(PhotoFormats, PicturesComeOutTurnedAndMirroredAsTheFileSays) {
  const PhotoPicture picture = MakePhotoPicture(6, 4, false, 8);
  for (const bool av1 : {false, true}) {
    const Reader read = av1 ? ReadAvifMemory : ReadHeifMemory;
    const auto make = [&](int orientation) {
      return av1 ? MakeAvif(picture, orientation) : MakeHeif(picture, orientation);
    };
    const Bytes plain = make(1);
    Bitmap upright;
    read(plain.data(), plain.size(), upright, {});
    for (int orientation = 2; orientation <= 8; ++orientation) {
      const Bytes file = make(orientation);
      Bitmap turned;
      read(file.data(), file.size(), turned, {});
      const bool swapped = orientation >= 5;
      ASSERT_EQ(turned.width(), swapped ? 4 : 6) << orientation << " AV1 " << av1;
      ASSERT_EQ(turned.height(), swapped ? 6 : 4) << orientation << " AV1 " << av1;
      Bitmap expected(turned.width(), turned.height());
      for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 6; ++x) {
          const auto [tx, ty] = shownAt(orientation, x, y, 6, 4);
          expected.setPixel(tx, ty, upright.pixel(x, y));
        }
      }
      EXPECT_TRUE(SamePicture(turned, expected)) << "orientation " << orientation << " AV1 " << av1;
    }
  }
}

// A TIFF is turned as its orientation says, scans of portraits (5 to 8) included, whether its
// samples are copied as stored, converted (16-bit CMYK, floating point) or read through libtiff's
// RGBA interface (8-bit CMYK); and each kind reads as a PNG of the same colours does.
TEST(PhotoFormats, TiffsOfEverySampleKindComeOutTurnedAsTheFileSays) {
  const struct {
    const char* what;
    TiffSamples samples;
    bool alpha;
    int bitDepth;
  } kinds[] = {
      {"8-bit RGB", TiffSamples::Rgb, false, 8},    {"8-bit CMYK", TiffSamples::Cmyk, false, 8},
      {"16-bit CMYK", TiffSamples::Cmyk, true, 16}, {"float RGB", TiffSamples::Float, false, 16},
      {"float RGBA", TiffSamples::Float, true, 16},
  };
  for (const auto& kind : kinds) {
    const PhotoPicture picture = MakePhotoPicture(6, 4, kind.alpha, kind.bitDepth);
    const Bytes png = MakePng(PngOf(picture));
    Bitmap upright;
    ReadPngMemory(png.data(), png.size(), upright);
    for (int orientation = 1; orientation <= 8; ++orientation) {
      const Bytes file = MakeOrientedTiff(picture, orientation, kind.samples);
      Bitmap turned;
      ASSERT_NO_THROW(ReadTiffMemory(file.data(), file.size(), turned))
          << kind.what << " orientation " << orientation;
      const bool swapped = orientation >= 5;
      ASSERT_EQ(turned.width(), swapped ? 4 : 6) << kind.what << " orientation " << orientation;
      Bitmap expected(turned.width(), turned.height());
      for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 6; ++x) {
          const auto [tx, ty] = shownAt(orientation, x, y, 6, 4);
          expected.setPixel(tx, ty, upright.pixel(x, y));
        }
      }
      EXPECT_TRUE(SamePicture(turned, expected)) << kind.what << " orientation " << orientation;
    }
  }
}

// Damage of every kind fails cleanly, with a reason, and leaves the bitmap as it was: a file of
// another format, every cut of a whole file, bytes overwritten, and a picture beyond the limits,
// which is refused from its header.
TEST(PhotoFormats, DamagedFilesFailCleanlyAndSayWhy) {
  TempDir folder;
  const Bytes png = MakePng(PngRecipe{});
  const struct {
    const Storage& storage;
    const char* notThisFormat;
  } formats[] = {{kStorages[0], "not a WebP file"},
                 {kStorages[2], "not an AVIF file"},
                 {kStorages[4], "not a HEIF file"},
                 {kStorages[7], "not a TIFF file"},
                 {kStorages[12], "not a JPEG XL file"}};
  for (const auto& f : formats) {
    const Storage& s = f.storage;
    const Bytes whole = s.make(MakePhotoPicture(7, 5, s.alpha, s.bitDepth));
    const auto refused = [&](const Bytes& bytes, const ImageLimits& limits = {}) -> std::string {
      Bitmap bitmap = previous();
      try {
        s.read(bytes.data(), bytes.size(), bitmap, limits);
        return "";
      } catch (const ImageError& e) {
        EXPECT_TRUE(SamePicture(bitmap, previous())) << s.name << " changed the bitmap";
        return *e.detail() != '\0' ? e.detail() : "(no reason)";
      }
    };
    const std::string path = folder.file(std::string("png") + s.extension);
    ASSERT_TRUE(writeBytes(path, png));
    Bitmap bitmap;
    EXPECT_EQ(LoadImageFile(path, bitmap).reason(), f.notThisFormat);
    EXPECT_EQ(refused(Bytes(whole.begin(), whole.begin() + whole.size() / 2)), "truncated")
        << s.name;
    for (std::size_t n = 0; n < whole.size(); n += 1 + whole.size() / 40) {
      EXPECT_NE(refused(Bytes(whole.begin(), whole.begin() + n)), "") << s.name << " cut to " << n;
      Bytes overwritten = whole;
      for (std::size_t i = n; i < std::min(n + 8, whole.size()); ++i) {
        overwritten[i] ^= 0x5A;
      }
      refused(overwritten);
    }
    ImageLimits small;
    small.maxDimension = 4;
    EXPECT_EQ(refused(whole, small).rfind("picture of 7 x 5 is larger than 4 x 4", 0), 0u)
        << s.name << ": " << refused(whole, small);
  }
}

}  // namespace
}  // namespace tessora::testing
