#include <gtest/gtest.h>
#include <sys/resource.h>
#include <zlib.h>

#include <functional>

#include "image_makers.h"
#include "imageio/bmp_codec.h"
#include "imageio/gif_codec.h"
#include "imageio/image_files.h"
#include "imageio/jpeg_codec.h"
#include "imageio/png_unit.h"
#include "test_support.h"

namespace tessora::test {
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

std::int64_t peakKilobytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

TEST(LargePictures, WideThinPicturesLoadInEveryFormat) {
  constexpr int kWide = 20000;
  TempFolder folder;
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
  WritePngFile(folder.path("wide.png"), pattern, clNone);
  SaveBmpFile(folder.path("wide.bmp"), pattern);
  SaveJpegFile(folder.path("wide.jpg"), smooth);
  ASSERT_TRUE(WriteBytes(folder.path("wide.gif"), MakeGif(kWide, 2, kColors, {frame})));
  const std::tuple<const char*, const Bitmap*, int> files[] = {
      {"wide.png", &pattern, 0},
      {"wide.bmp", &pattern, 0},
      {"wide.jpg", &smooth, 8},
      {"wide.gif", &indexed, 0},
  };
  for (const auto& [name, expected, tolerance] : files) {
    Bitmap loaded;
    EXPECT_TRUE(LoadImageFile(folder.path(name), loaded)) << name;
    EXPECT_TRUE(SamePicture(loaded, *expected, tolerance)) << name;
  }
}

// Over the pixel limit the header alone refuses the file; within it, a file too short to hold
// what its header promises is refused before the picture's memory is taken.
TEST(LargePictures, HeadersPromisingMoreThanTheFileHoldsAreRefusedUntouched) {
  using Reader = std::function<void(const Bytes&, Bitmap&)>;
  const std::pair<const char*, Reader> readers[] = {
      {"png", [](const Bytes& f, Bitmap& b) { ReadPngMemory(f.data(), f.size(), b); }},
      {"gif", [](const Bytes& f, Bitmap& b) { ReadGifMemory(f.data(), f.size(), b); }},
      {"bmp", [](const Bytes& f, Bitmap& b) { ReadBmpMemory(f.data(), f.size(), b); }},
      {"jpg", [](const Bytes& f, Bitmap& b) { ReadJpegMemory(f.data(), f.size(), b); }},
  };
  for (const auto& [format, read] : readers) {
    for (const std::uint32_t side : {65500u, 20000u}) {
      const Bytes file = promising(format, side, side);
      const Bitmap before = PatternBitmap(2, 2);
      Bitmap b = before;
      const std::int64_t peak = peakKilobytes();
      EXPECT_TRUE(FailsWith([&] { read(file, b); }, "Error Reading File!")) << format << side;
      // The picture would take 1.2 GB and more: far less was touched.
      EXPECT_LT(peakKilobytes() - peak, 64 * 1024) << format << " " << side;
      EXPECT_TRUE(SamePicture(b, before));
    }
  }
}

}  // namespace
}  // namespace tessora::test
