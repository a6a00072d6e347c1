#include "picture_bombs.h"

#include <gtest/gtest.h>
#include <jxl/encode.h>
#include <tiffio.h>
#include <unistd.h>
#include <webp/encode.h>

#include <map>

#include "image_makers.h"
#include "imageio/image_error.h"
#include "imageio/photo_codecs.h"
#include "support/peak_memory.h"
#include "support/pictures.h"

namespace tessora::testing {
namespace {

using Reader = void (*)(const std::uint8_t*, std::size_t, Bitmap&, const ImageLimits&);
const std::map<std::string, Reader> kReaders = {
    {"webp", ReadWebpMemory}, {"jxl", ReadJxlMemory}, {"tiff", ReadTiffMemory}};

// The reader's reason, or "" when the file loads.
std::string reasonFor(const std::string& format, const Bytes& file, Bitmap& bitmap) {
  try {
    kReaders.at(format)(file.data(), file.size(), bitmap, {});
    return "";
  } catch (const ImageError& e) {
    return e.detail();
  }
}

// Each bomb is refused with its true reason, having touched little memory: the pictures they
// promise would take 4 MB to 5 GB. How fast, bench/hostile.sh measures.
TEST(PictureBombs, AreRefusedForWhatTheyAreAtLittleCost) {
  for (const PictureBomb& bomb : PictureBombs()) {
    Bitmap bitmap = PatternBitmap(2, 2);
    std::string reason;
    const std::int64_t extra =
        ExtraPeakKilobytes([&] { reason = reasonFor(bomb.format, bomb.file, bitmap); });
    EXPECT_EQ(reason.rfind(bomb.reason, 0), 0u) << bomb.name << ": " << reason;
    EXPECT_TRUE(SamePicture(bitmap, PatternBitmap(2, 2))) << bomb.name;
    if (kResidentMemoryTellsTheReadersCost) {
      EXPECT_LT(extra, 64 * 1024) << bomb.name;
    }
  }
}

// The colour of the solid JPEG XL seed.
constexpr std::uint8_t kRed = 40;
constexpr std::uint8_t kGreen = 120;
constexpr std::uint8_t kBlue = 200;

std::vector<std::uint8_t> solidRows(int width, int height) {
  std::vector<std::uint8_t> rgb(static_cast<std::size_t>(width) * height * 3);
  for (std::size_t i = 0; i < rgb.size(); i += 3) {
    rgb[i] = kRed;
    rgb[i + 1] = kGreen;
    rgb[i + 2] = kBlue;
  }
  return rgb;
}

PhotoPicture solidPicture(int side) {
  const std::vector<std::uint8_t> rgb = solidRows(side, side);
  return {side, side, false, 8, std::vector<std::uint32_t>(rgb.begin(), rgb.end())};
}

Bytes solidWebp(int side, bool lossless) {
  const std::vector<std::uint8_t> rgb = solidRows(side, side);
  std::uint8_t* out = nullptr;
  const std::size_t size = lossless ? WebPEncodeLosslessRGB(rgb.data(), side, side, side * 3, &out)
                                    : WebPEncodeRGB(rgb.data(), side, side, side * 3, 90, &out);
  Bytes file(out, out + size);
  WebPFree(out);
  return file;
}

// One strip of side x side pixels of one colour: what each compression packs tightest.
Bytes solidTiff(int side, int compression) {
  char name[] = "/tmp/tessora-solid-XXXXXX";
  ::close(::mkstemp(name));
  TIFF* tif = TIFFOpen(name, "w");
  TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, static_cast<std::uint32_t>(side));
  TIFFSetField(tif, TIFFTAG_IMAGELENGTH, static_cast<std::uint32_t>(side));
  TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 3);
  TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
  TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
  TIFFSetField(tif, TIFFTAG_COMPRESSION, compression);
  TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, static_cast<std::uint32_t>(side));
  std::vector<std::uint8_t> row = solidRows(side, 1);
  for (int y = 0; y < side; ++y) {
    TIFFWriteScanline(tif, row.data(), static_cast<std::uint32_t>(y), 0);
  }
  TIFFClose(tif);
  Bytes file = readBytes(name);
  ::unlink(name);
  return file;
}

// Real pictures keep loading, the most compressible ones included: a solid colour in each
// compression (where the bounds on the data are tightest) and in lossless WebP and JPEG XL, which
// code it in a few bytes however large, and photo-like pictures. Their memory is what the
// decoded picture and the bitmap take.
TEST(PictureBombs, RealPicturesOfTheSameSizesLoad) {
  const PhotoPicture photo = MakePhotoPicture(2000, 1500, false, 8);
  const struct {
    const char* what;
    const char* format;
    Bytes file;
    int side;
    bool solid;
    int tolerance;
    int bytesPerPixel;
  } cases[] = {
      {"solid JPEG XL", "jxl",
       readBytes(std::string(TESSORA_FUZZ_SEEDS_DIR) + "/jxl/solid-8192x8192.jxl"), 8192, true, 0,
       24},
      {"solid lossless WebP", "webp", solidWebp(4096, true), 4096, true, 0, 12},
      {"solid lossy WebP", "webp", solidWebp(4096, false), 4096, true, 3, 12},
      {"photo-like WebP", "webp", MakeWebp(photo), 2000, false, 0, 12},
      {"solid Deflate TIFF", "tiff", solidTiff(4096, COMPRESSION_ADOBE_DEFLATE), 4096, true, 0, 12},
      {"solid LZW TIFF", "tiff", solidTiff(4096, COMPRESSION_LZW), 4096, true, 0, 12},
      {"solid PackBits TIFF", "tiff", solidTiff(4096, COMPRESSION_PACKBITS), 4096, true, 0, 12},
      {"solid JPEG TIFF", "tiff", solidTiff(4096, COMPRESSION_JPEG), 4096, true, 3, 12},
      {"photo-like TIFF", "tiff", MakeTiff(photo, COMPRESSION_ADOBE_DEFLATE, 64), 2000, false, 0,
       12},
      {"solid Deflate TIFF in tiles of 16", "tiff",
       MakeTiff(solidPicture(2048), COMPRESSION_ADOBE_DEFLATE, 0, 16), 2048, true, 0, 12},
      {"photo-like tiled Deflate TIFF", "tiff", MakeTiff(photo, COMPRESSION_ADOBE_DEFLATE, 0, 64),
       2000, false, 0, 12},
  };
  for (const auto& c : cases) {
    Bitmap bitmap;
    std::string reason = "(not read)";
    const std::int64_t extra =
        ExtraPeakKilobytes([&] { reason = reasonFor(c.format, c.file, bitmap); });
    ASSERT_EQ(reason, "") << c.what;
    EXPECT_EQ(bitmap.width(), c.side) << c.what;
    const std::int64_t pixels = std::int64_t{bitmap.width()} * bitmap.height();
    if (kResidentMemoryTellsTheReadersCost) {
      EXPECT_LT(extra, pixels * c.bytesPerPixel / 1024) << c.what;
    }
    if (c.solid) {
      Bitmap corner(1, 1);
      Bitmap expected(1, 1);
      corner.setPixel(0, 0, bitmap.pixel(c.side - 1, c.side - 1));
      expected.setPixel(0, 0, RGB(kRed, kGreen, kBlue));
      EXPECT_TRUE(SamePicture(corner, expected, c.tolerance)) << c.what;
    }
  }
}

}  // namespace
}  // namespace tessora::testing
