#include "imageio/png_unit.h"

#include <gtest/gtest.h>
#include <png.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "codec_checks.h"
#include "image_makers.h"
#include "imageio/image_error.h"
#include "support/files.h"
#include "support/pictures.h"
#include "support/temp_dir.h"

namespace tessora::testing {
namespace {

Bytes onePixelRgba(std::uint32_t r, std::uint32_t g, std::uint32_t b, std::uint32_t a) {
  PngRecipe s;
  s.width = 1;
  s.height = 1;
  s.colorType = 6;
  s.samples = {r, g, b, a};
  return MakePng(s);
}

Bitmap readInto(const Bytes& png, Bitmap bitmap) {
  ReadPngMemory(png.data(), png.size(), bitmap);
  return bitmap;
}

// The chunk types of a PNG file in order, with the texts of its tEXt chunks.
struct Chunks {
  std::vector<std::string> types;
  std::vector<std::string> texts;
};

Chunks chunksOf(const Bytes& file) {
  Chunks out;
  std::size_t pos = 8;
  while (pos + 12 <= file.size()) {
    const std::size_t length = (std::size_t{file[pos]} << 24) | (std::size_t{file[pos + 1]} << 16) |
                               (std::size_t{file[pos + 2]} << 8) | file[pos + 3];
    const std::string type(file.begin() + static_cast<std::ptrdiff_t>(pos) + 4,
                           file.begin() + static_cast<std::ptrdiff_t>(pos) + 8);
    out.types.push_back(type);
    if (type == "tEXt") {
      out.texts.emplace_back(file.begin() + static_cast<std::ptrdiff_t>(pos) + 8,
                             file.begin() + static_cast<std::ptrdiff_t>(pos + 8 + length));
    }
    pos += 12 + length;
  }
  return out;
}

TEST(PngRead, BlendsPartlyTransparentPixelsOverThePreviousContent) {
  Bitmap white(1, 1);
  white.setPixel(0, 0, clWhite);
  EXPECT_EQ(readInto(onePixelRgba(0, 0, 0, 128), white).pixel(0, 0), RGB(127, 127, 127));
  Bitmap before = PatternBitmap(1, 1, 40);
  EXPECT_EQ(readInto(onePixelRgba(9, 99, 199, 0), before).pixel(0, 0), before.pixel(0, 0));
  EXPECT_EQ(readInto(onePixelRgba(9, 99, 199, 255), before).pixel(0, 0), RGB(9, 99, 199));
}

TEST(PngRead, TakesTheFileSizeAndShowsTheOldTopLeftWhereTransparent) {
  PngRecipe s;
  s.width = 2;
  s.height = 2;
  s.colorType = 6;
  s.samples = {1, 2, 3, 0, 4, 5, 6, 255, 7, 8, 9, 255, 10, 11, 12, 0};
  const Bitmap before = PatternBitmap(5, 4);
  const Bitmap after = readInto(MakePng(s), before);
  ASSERT_EQ(after.width(), 2);
  ASSERT_EQ(after.height(), 2);
  EXPECT_EQ(after.pixel(0, 0), before.pixel(0, 0));
  EXPECT_EQ(after.pixel(1, 0), RGB(4, 5, 6));
  EXPECT_EQ(after.pixel(0, 1), RGB(7, 8, 9));
  EXPECT_EQ(after.pixel(1, 1), before.pixel(1, 1));
  EXPECT_FALSE(after.transparent());
}

// Every colour type and bit depth, with and without tRNS, plain and interlaced, against the
// samples the file was made from, blended over a pattern that is larger on one axis and smaller
// on the other (new area takes the fill colour).
TEST(PngRead, EveryLayoutDecodesToItsSamples) {
  const std::vector<std::pair<int, std::vector<int>>> depths = {
      {0, {1, 2, 4, 8, 16}}, {2, {8, 16}}, {3, {1, 2, 4, 8}}, {4, {8, 16}}, {6, {8, 16}}};
  int cases = 0;
  for (const auto& [type, list] : depths) {
    for (int depth : list) {
      for (bool trns : {false, true}) {
        if (trns && (type == 4 || type == 6)) {
          continue;
        }
        for (bool interlaced : {false, true}) {
          PngRecipe s;
          s.width = 11;
          s.height = 9;
          s.colorType = type;
          s.bitDepth = depth;
          s.trns = trns;
          s.interlaced = interlaced;
          SCOPED_TRACE(::testing::Message() << "type " << type << " depth " << depth << " trns "
                                            << trns << " interlaced " << interlaced);
          Bitmap bitmap = PatternBitmap(8, 12, 3);
          bitmap.setFillColor(RGB(1, 2, 3));
          const Bytes file = MakePng(s);
          ASSERT_NO_THROW(ReadPngMemory(file.data(), file.size(), bitmap));
          // 8-bit files blend by the integer rule; deep ones are held to the exact blend of
          // their 16-bit samples, within 1.
          const std::vector<std::uint8_t> rgba = PngExpectedRgba(s);
          const std::vector<double> unit = PngExpectedUnit(s);
          const Bitmap before = PatternBitmap(8, 12, 3);
          Bitmap expected(s.width, s.height);
          for (int y = 0; y < s.height; ++y) {
            for (int x = 0; x < s.width; ++x) {
              const TColor old = x < 8 ? before.pixel(x, y) : RGB(1, 2, 3);
              const int olds[3] = {GetRValue(old), GetGValue(old), GetBValue(old)};
              const std::size_t at = 4 * static_cast<std::size_t>(y * s.width + x);
              int mixed[3];
              for (int c = 0; c < 3; ++c) {
                const int a = rgba[at + 3];
                mixed[c] = depth == 16 ? static_cast<int>(olds[c] * (1 - unit[at + 3]) +
                                                          255 * unit[at + c] * unit[at + 3] + 0.5)
                                       : (olds[c] * (255 - a) + rgba[at + c] * a) / 255;
              }
              expected.setPixel(x, y, RGB(mixed[0], mixed[1], mixed[2]));
            }
          }
          EXPECT_TRUE(SamePicture(bitmap, expected, depth == 16 ? 1 : 0));
          ++cases;
        }
      }
    }
  }
  EXPECT_EQ(cases, 52);
}

TEST(PngRead, FailuresNameTheFileOrSayReadingAndLeaveTheBitmap) {
  TempDir folder;
  const Bitmap before = PatternBitmap(4, 3);
  Bitmap bitmap = before;
  const std::string missing = folder.file("missing.png");
  EXPECT_TRUE(
      FailsWith([&] { ReadPngFile(missing, bitmap); }, "Error Opening File " + missing + "!"));

  const std::string garbage = folder.file("garbage.png");
  ASSERT_TRUE(writeBytes(garbage, Bytes(300, 0x5A)));
  EXPECT_TRUE(FailsWith([&] { ReadPngFile(garbage, bitmap); }, "Error Reading File!"));

  PngRecipe s;
  s.width = 40;
  s.height = 30;
  Bytes cut = MakePng(s);
  cut.resize(cut.size() - 40);
  EXPECT_TRUE(
      FailsWith([&] { ReadPngMemory(cut.data(), cut.size(), bitmap); }, "Error Reading File!"));
  EXPECT_TRUE(FailsWith([&] { ReadPngMemory(nullptr, 0, bitmap); }, "Error Reading File!"));
  EXPECT_TRUE(SamePicture(bitmap, before));
}

TEST(PngRead, RefusesPicturesBeyondTheLimitsBeforeAllocating) {
  PngRecipe wide;
  wide.width = 65536;
  wide.height = 1;
  wide.colorType = 0;
  wide.bitDepth = 1;
  const Bytes file = MakePng(wide);
  Bitmap bitmap;
  EXPECT_TRUE(
      FailsWith([&] { ReadPngMemory(file.data(), file.size(), bitmap); }, "Error Reading File!"));
  // 16-bit RGBA takes 8 bytes a pixel: the decoded size, not the pixel count, decides.
  PngRecipe deep;
  deep.width = 64;
  deep.height = 64;
  deep.colorType = 6;
  deep.bitDepth = 16;
  const Bytes deepFile = MakePng(deep);
  ImageLimits limits;
  limits.maxDecodedBytes = 64 * 64 * 4;
  EXPECT_TRUE(FailsWith([&] { ReadPngMemory(deepFile.data(), deepFile.size(), bitmap, limits); },
                        "Error Reading File!"));
  limits.maxDecodedBytes = 64 * 64 * 8;
  EXPECT_NO_THROW(ReadPngMemory(deepFile.data(), deepFile.size(), bitmap, limits));
}

// The work of a read is bounded by the picture it makes: reading stops once the rows are
// complete, and a file that spends more than its allowance on chunks or compressed data before
// them is refused. The allowances are narrowed here so that small files reach them (libpng reads
// image data 8 KiB at a time: the spare allowance must exceed that).
TEST(PngRead, WorkStopsWithTheRowsAndStaysWithinThePicturesAllowance) {
  ImageLimits limits;
  limits.maxMetadataBytes = 4096;
  limits.maxMetadataChunks = 64;
  limits.spareImageDataBytes = 16384;
  const Bytes row{0, 0x10, 0x20, 0x30};
  // The row, then 48 KB of noise: more compressed data than the allowance covers.
  Bytes noisy = row;
  for (int i = 0; i < 49152; ++i) {
    noisy.push_back(static_cast<std::uint8_t>(PatternSample(i, 1, 0, 255)));
  }
  const Bytes longStream = ZlibStream(0, noisy);
  ASSERT_GT(longStream.size(), 40000u);
  const Bytes firstHalf(longStream.begin(), longStream.begin() + longStream.size() / 2);
  Bytes damaged =
      PngChunk("IDAT", Bytes(longStream.begin() + longStream.size() / 2, longStream.end()));
  damaged.back() ^= 1;
  auto privateChunks = [](std::size_t count, std::size_t bytes) {
    return std::vector<Bytes>(count, PngChunk("prIv", Bytes(bytes, 7)));
  };
  auto withImage = [](std::vector<Bytes> chunks, const Bytes& stream) {
    chunks.push_back(PngChunk("IDAT", stream));
    return chunks;
  };
  const struct {
    const char* what;
    bool interlaced;
    std::vector<Bytes> chunks;
    bool loads;
  } cases[] = {
      {"stream going on after the row", false, {PngChunk("IDAT", longStream)}, true},
      {"stream going on into a damaged chunk", false, {PngChunk("IDAT", firstHalf), damaged}, true},
      {"interlaced, the same", true, {PngChunk("IDAT", firstHalf), damaged}, true},
      {"a few empty blocks first", false, withImage({}, ZlibStream(10, row)), true},
      {"empty blocks beyond the allowance", false, withImage({}, ZlibStream(5000, row)), false},
      {"chunks within the allowance", false, withImage(privateChunks(60, 50), ZlibStream(0, row)),
       true},
      {"too many chunks", false, withImage(privateChunks(65, 0), ZlibStream(0, row)), false},
      {"too many bytes", false, withImage(privateChunks(1, 4096), ZlibStream(0, row)), false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const Bytes file = AssemblePng(1, 1, c.interlaced, c.chunks);
    Bitmap bitmap = PatternBitmap(2, 2);
    if (c.loads) {
      EXPECT_NO_THROW(ReadPngMemory(file.data(), file.size(), bitmap, limits));
      EXPECT_EQ(bitmap.width(), 1);
      EXPECT_EQ(bitmap.pixel(0, 0), RGB(0x10, 0x20, 0x30));
    } else {
      EXPECT_TRUE(FailsWith([&] { ReadPngMemory(file.data(), file.size(), bitmap, limits); },
                            "Error Reading File!"));
    }
  }
}

// Each call has its own working image, so two reads at once cannot mix their pixels.
TEST(PngRead, ReadsMayRunSideBySide) {
  PngRecipe a;
  a.width = 64;
  a.height = 48;
  a.colorType = 6;
  PngRecipe b;
  b.width = 50;
  b.height = 40;
  b.colorType = 0;
  b.bitDepth = 16;
  b.interlaced = true;
  const Bytes fileA = MakePng(a);
  const Bytes fileB = MakePng(b);
  const Bitmap refA = readInto(fileA, Bitmap());
  const Bitmap refB = readInto(fileB, Bitmap());
  std::atomic<int> mismatches{0};
  auto work = [&](const Bytes& file, const Bitmap& ref) {
    for (int i = 0; i < 40; ++i) {
      if (!readInto(file, Bitmap()).samePixels(ref)) {
        ++mismatches;
      }
    }
  };
  std::thread first(work, std::cref(fileA), std::cref(refA));
  std::thread second(work, std::cref(fileB), std::cref(refB));
  first.join();
  second.join();
  EXPECT_EQ(mismatches.load(), 0);
}

TEST(PngWrite, RgbRoundTripWithOneSoftwareTextBeforeTheData) {
  TempDir folder;
  const std::string name = folder.file("out.png");
  for (const auto& [w, h] : std::vector<std::pair<int, int>>{{1, 1}, {3, 2}, {17, 5}}) {
    const Bitmap picture = PatternBitmap(w, h, 9);
    WritePngFile(name, picture, clNone);
    const Bytes file = readBytes(name);
    ASSERT_GT(file.size(), 33u);
    EXPECT_EQ(file[25], 2) << "colour type";
    EXPECT_EQ(file[24], 8) << "bit depth";
    const Chunks chunks = chunksOf(file);
    ASSERT_GE(chunks.types.size(), 4u);
    EXPECT_EQ(chunks.types[0], "IHDR");
    EXPECT_EQ(chunks.types[1], "tEXt");
    EXPECT_EQ(chunks.types[2], "IDAT");
    EXPECT_EQ(chunks.types.back(), "IEND");
    ASSERT_EQ(chunks.texts.size(), 1u);
    EXPECT_EQ(chunks.texts[0], std::string("Software") + '\0' + kPngSoftwareText);
    Bitmap back = PatternBitmap(2, 2);
    ReadPngFile(name, back);
    EXPECT_TRUE(SamePicture(back, picture));
  }
}

// The file as libpng's own reader sees it: 8-bit RGBA, top row first; empty when it refuses it.
Bytes LibpngRgba(const std::string& path, const Bitmap& size) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (png_image_begin_read_from_file(&image, path.c_str()) == 0) {
    return {};
  }
  image.format = PNG_FORMAT_RGBA;
  Bytes pixels(PNG_IMAGE_SIZE(image));
  if (static_cast<int>(image.width) != size.width() ||
      static_cast<int>(image.height) != size.height() ||
      png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr) == 0) {
    png_image_free(&image);
    return {};
  }
  return pixels;
}

// Ramps with bands of noise, so that the data has every kind of deflate block.
Bitmap RampsAndNoise(int width, int height) {
  Bitmap picture = PatternBitmap(width, height, 5);
  unsigned state = 12345;
  for (int y = 0; y < height; y += 1 + (y / 8) % 3 * 2) {
    for (int x = 0; x < width; ++x) {
      state = state * 1664525u + 1013904223u;
      picture.setPixel(x, y, (state >> 8) & 0xFFFFFF);
    }
  }
  return picture;
}

// Large pictures are compressed in pieces on several threads and joined into one stream.
TEST(PngWrite, EveryShapeReadsBackExactlyThroughLibpngAndOurReader) {
  TempDir folder;
  const std::string name = folder.file("shape.png");
  const bool pngcheck = std::system("command -v pngcheck >/dev/null 2>&1") == 0;
  for (const auto& [w, h] : std::vector<std::pair<int, int>>{
           {1, 1}, {1, 300}, {300, 1}, {17, 5}, {301, 97}, {1500, 1400}}) {
    const Bitmap picture = RampsAndNoise(w, h);
    for (const TColor key : {clNone, picture.pixel(w / 2, h / 2)}) {
      SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h) + (key == clNone ? "" : " keyed"));
      WritePngFile(name, picture, key);
      const Bytes rgba = LibpngRgba(name, picture);
      ASSERT_FALSE(rgba.empty()) << "libpng refuses the file";
      Bitmap back = PatternBitmap(w, h, 77);
      Bitmap expected = picture;
      for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
          const TColor c = picture.pixel(x, y);
          const std::uint8_t* p = rgba.data() + (static_cast<std::size_t>(y) * w + x) * 4;
          const bool clear = c == key;
          ASSERT_EQ(RGB(p[0], p[1], p[2]), c) << "libpng, pixel " << x << "," << y;
          ASSERT_EQ(p[3], clear ? 0 : 255) << "libpng, pixel " << x << "," << y;
          if (clear) {
            expected.setPixel(x, y, back.pixel(x, y));
          }
        }
      }
      ReadPngFile(name, back);
      EXPECT_TRUE(SamePicture(back, expected));
      if (pngcheck) {
        EXPECT_EQ(std::system(("pngcheck -q '" + name + "' >/dev/null").c_str()), 0);
      }
    }
  }
}

TEST(PngWrite, TransparentColourBecomesAlphaZeroAndOnlyIt) {
  TempDir folder;
  const std::string name = folder.file("key.png");
  Bitmap picture = PatternBitmap(6, 4);
  picture.setPixel(1, 1, RGB(0, 0, 255));
  picture.setPixel(4, 2, RGB(0, 0, 255));
  picture.setPixel(2, 2, RGB(0, 0, 254));
  WritePngFile(name, picture, 0x00FF0000);
  const Bytes file = readBytes(name);
  EXPECT_EQ(file[25], 6) << "colour type";
  Bitmap back = PatternBitmap(6, 4, 77);
  const Bitmap under = back;
  ReadPngFile(name, back);
  Bitmap expected = picture;
  expected.setPixel(1, 1, under.pixel(1, 1));
  expected.setPixel(4, 2, under.pixel(4, 2));
  EXPECT_TRUE(SamePicture(back, expected));
}

TEST(PngWrite, FailuresKeepTheFileThatWasThere) {
  TempDir folder;
  const std::string noFolder = folder.file("none/out.png");
  EXPECT_TRUE(FailsWith([&] { WritePngFile(noFolder, PatternBitmap(2, 2), clNone); },
                        "Error Opening File " + noFolder + "! " + std::strerror(ENOENT)));
  const std::string name = folder.file("kept.png");
  ASSERT_TRUE(writeBytes(name, Bytes{1, 2, 3}));
  // libpng refuses a picture without pixels after the file is open.
  EXPECT_TRUE(
      FailsWith([&] { WritePngFile(name, Bitmap(), clNone); }, "Error Writing PNG File! " + name));
  EXPECT_EQ(readBytes(name), (Bytes{1, 2, 3}));
  EXPECT_EQ(filesIn(folder.path(), ""), std::vector<std::string>{"kept.png"});
}

}  // namespace
}  // namespace tessora::testing
