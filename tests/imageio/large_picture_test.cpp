#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <functional>
#include <map>

#include "codec_checks.h"
#include "image_makers.h"
#include "imageio/bmp_codec.h"
#include "imageio/gif_codec.h"
#include "imageio/image_files.h"
#include "imageio/jpeg_codec.h"
#include "imageio/png_unit.h"
#include "imageio/read_file.h"
#include "support/files.h"
#include "support/peak_memory.h"
#include "support/pictures.h"
#include "support/temp_dir.h"

namespace tessora::testing {
namespace {

const std::vector<std::uint32_t> kColors{0x000000, 0xFF0000, 0x00FF00, 0x0000FF,
                                         0xFFFF00, 0x00FFFF, 0xFF00FF, 0xFFFFFF};

void putBE(Bytes& b, std::size_t at, std::uint32_t v, int n) {
  for (int i = 0; i < n; ++i) {
    b.at(at + static_cast<std::size_t>(i)) = static_cast<std::uint8_t>(v >> (8 * (n - 1 - i)));
  }
}

void putLE(Bytes& b, std::size_t at, std::uint32_t v, int n) {
  for (int i = 0; i < n; ++i) {
    b.at(at + static_cast<std::size_t>(i)) = static_cast<std::uint8_t>(v >> (8 * i));
  }
}

// A small valid file whose header is changed to promise w x h pixels; the data stays as small.
Bytes promising(const std::string& format, std::uint32_t w, std::uint32_t h) {
  if (format == "png") {
    Bytes f = MakePng(PngRecipe{});
    putBE(f, 16, w, 4);
    putBE(f, 20, h, 4);
    putBE(f, 29, static_cast<std::uint32_t>(crc32(0, f.data() + 12, 17)), 4);
    return f;
  }
  if (format == "gif") {
    GifFrame frame;
    frame.indices.assign(12, 1);
    Bytes f = MakeGif(4, 3, kColors, {frame});
    const std::size_t descriptor = 6 + 7 + 3 * kColors.size();
    EXPECT_EQ(f.at(descriptor), 0x2C);
    putLE(f, 6, w, 2);
    putLE(f, 8, h, 2);
    putLE(f, descriptor + 5, w, 2);
    putLE(f, descriptor + 7, h, 2);
    return f;
  }
  if (format == "bmp") {
    BmpRecipe s;
    s.width = 3;
    s.height = 2;
    s.pixels = PackBmpRows(3, 2, 24, std::vector<std::uint32_t>(6, 0x123456));
    Bytes f = MakeBmp(s);
    putLE(f, 18, w, 4);
    putLE(f, 22, h, 4);
    return f;
  }
  Bytes f = MakeJpeg(16, 16, false, false);
  std::size_t sof = 2;
  while (sof + 9 < f.size() && !(f[sof] == 0xFF && f[sof + 1] == 0xC0)) {
    ++sof;
  }
  putBE(f, sof + 5, h, 2);
  putBE(f, sof + 7, w, 2);
  return f;
}

using Reader = std::function<void(const Bytes&, Bitmap&)>;
const std::map<std::string, Reader> kReaders = {
    {"png", [](const Bytes& f, Bitmap& b) { ReadPngMemory(f.data(), f.size(), b); }},
    {"gif", [](const Bytes& f, Bitmap& b) { ReadGifMemory(f.data(), f.size(), b); }},
    {"bmp", [](const Bytes& f, Bitmap& b) { ReadBmpMemory(f.data(), f.size(), b); }},
    {"jpg", [](const Bytes& f, Bitmap& b) { ReadJpegMemory(f.data(), f.size(), b); }},
};

// A side x side picture whose file ends a tenth before its image data does. Its rows are
// sparse enough to pack thirty to one, not so much that the file looks too short at once.
Bytes cutPng(int side) {
  Bytes rows(static_cast<std::size_t>(side) * (3 * side + 1), 0);
  for (std::size_t i = 0; i < rows.size(); i += 97) {
    rows[i] = 1;  // a sample, or a row's filter type (sub)
  }
  const Bytes stream = ZlibStream(0, rows);
  std::vector<Bytes> chunks;
  for (std::size_t at = 0; at < stream.size(); at += 8192) {
    chunks.push_back(PngChunk("IDAT", Bytes(stream.begin() + static_cast<std::ptrdiff_t>(at),
                                            stream.begin() + static_cast<std::ptrdiff_t>(std::min(
                                                                 at + 8192, stream.size())))));
  }
  Bytes file = AssemblePng(side, side, false, chunks);
  file.resize(file.size() * 9 / 10);
  return file;
}

// A GIF of `count` frames of one pixel each.
Bytes gifOfTinyFrames(int count) {
  GifFrame dot;
  dot.width = 1;
  dot.height = 1;
  dot.indices = {1};
  const Bytes one = MakeGif(1, 1, kColors, {dot});
  const Bytes two = MakeGif(1, 1, kColors, {dot, dot});
  // The second file is the first with one more frame record before the trailer.
  const Bytes frame(two.begin() + static_cast<std::ptrdiff_t>(one.size()) - 1, two.end() - 1);
  Bytes file(one.begin(), one.end() - 1);
  for (int i = 0; i < count; ++i) {
    file.insert(file.end(), frame.begin(), frame.end());
  }
  file.push_back(0x3B);
  return file;
}

TEST(LargePictures, WideThinPicturesLoadInEveryFormat) {
  constexpr int kWide = 20000;
  TempDir folder;
  const Bitmap pattern = PatternBitmap(kWide, 2);
  // JPEG keeps a smooth picture within a few levels.
  Bitmap smooth(kWide, 2);
  for (int x = 0; x < kWide; ++x) {
    smooth.setPixel(x, 0, RGB(x * 255 / (kWide - 1), 90, 200));
    smooth.setPixel(x, 1, RGB(x * 255 / (kWide - 1), 90, 200));
  }
  GifFrame frame;
  frame.width = kWide;
  frame.height = 2;
  Bitmap indexed(kWide, 2);
  for (int i = 0; i < 2 * kWide; ++i) {
    frame.indices.push_back(static_cast<std::uint8_t>(PatternSample(i, 3, 0, 7)));
    const std::uint32_t c = kColors[frame.indices.back()];
    indexed.setPixel(i % kWide, i / kWide, RGB(c >> 16, c >> 8, c));
  }
  WritePngFile(folder.file("wide.png"), pattern, clNone);
  SaveBmpFile(folder.file("wide.bmp"), pattern);
  SaveJpegFile(folder.file("wide.jpg"), smooth);
  ASSERT_TRUE(writeBytes(folder.file("wide.gif"), MakeGif(kWide, 2, kColors, {frame})));
  const std::tuple<const char*, const Bitmap*, int> files[] = {
      {"wide.png", &pattern, 0},
      {"wide.bmp", &pattern, 0},
      {"wide.jpg", &smooth, 8},
      {"wide.gif", &indexed, 0},
  };
  for (const auto& [name, expected, tolerance] : files) {
    Bitmap loaded;
    EXPECT_TRUE(LoadImageFile(folder.file(name), loaded)) << name;
    EXPECT_TRUE(SamePicture(loaded, *expected, tolerance)) << name;
  }
}

// Over the pixel limit the header alone refuses the file; within it, a file too short to hold
// what its header promises is refused before the picture's memory is taken.
TEST(LargePictures, HeadersPromisingMoreThanTheFileHoldsAreRefusedUntouched) {
  for (const auto& [format, read] : kReaders) {
    for (const std::uint32_t side : {65500u, 20000u}) {
      const Bytes file = promising(format, side, side);
      const Bitmap before = PatternBitmap(2, 2);
      Bitmap b = before;
      const std::int64_t extra = ExtraPeakKilobytes([&, &read = read] {
        EXPECT_TRUE(FailsWith([&] { read(file, b); }, "Error Reading File!")) << format << side;
      });
      // The picture would take 1.2 GB and more: far less was touched.
      EXPECT_LT(extra, 64 * 1024) << format << " " << side;
      EXPECT_TRUE(SamePicture(b, before));
    }
  }
}

// A file that ends inside its image data, or fails after its first scan, is refused before the
// picture's memory is taken; a GIF's later frames cost nothing however many there are.
TEST(LargePictures, HostileFilesCostLittleMemory) {
  if (!kResidentMemoryTellsTheReadersCost) {
    GTEST_SKIP() << "resident memory includes the thread sanitizer's shadow";
  }
  constexpr int kSide = 3000;
  constexpr std::int64_t kPictureKilobytes = std::int64_t{kSide} * kSide * 3 / 1024;
  const struct {
    const char* what;
    const char* format;
    Bytes file;
    bool loads;
    std::int64_t maxKilobytes;
  } cases[] = {
      {"png cut inside its image data", "png", cutPng(kSide), false, kPictureKilobytes / 4},
      // libjpeg keeps two bytes of every sample; the picture would add three more.
      {"jpeg failing after its first scan", "jpg", MakeHandMadeJpeg(kSide, 0, true), false,
       kPictureKilobytes},
      {"gif of a million tiny frames", "gif", gifOfTinyFrames(1 << 20), true, 16 * 1024},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Bitmap b = PatternBitmap(2, 2);
    const std::int64_t extra = ExtraPeakKilobytes([&] {
      if (c.loads) {
        EXPECT_NO_THROW(kReaders.at(c.format)(c.file, b));
      } else {
        EXPECT_TRUE(FailsWith([&] { kReaders.at(c.format)(c.file, b); }, "Error Reading File!"));
      }
    });
    EXPECT_LT(extra, c.maxKilobytes);
  }
}

// The whole file is read into memory before a reader looks at it: once, not into a buffer twice
// its size when the read finds the file's end.
TEST(LargePictures, AFileIsReadIntoMemoryOnce) {
  if (!kResidentMemoryTellsTheReadersCost) {
    GTEST_SKIP() << "resident memory includes the thread sanitizer's shadow";
  }
  constexpr std::size_t kBytes = std::size_t{32} << 20;
  TempDir folder;
  const std::string path = folder.file("big.png");
  ASSERT_TRUE(writeBytes(path, Bytes(kBytes, 7)));
  Bytes read;
  const std::int64_t extra =
      ExtraPeakKilobytes([&] { read = ReadFileBytes(path, std::uint64_t{1} << 30); });
  EXPECT_EQ(read.size(), kBytes);
  EXPECT_LT(extra, static_cast<std::int64_t>(kBytes / 1024 * 5 / 4));
}

}  // namespace
}  // namespace tessora::testing
