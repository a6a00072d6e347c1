#include "imageio/gif_codec.h"

#include <gtest/gtest.h>

#include "codec_checks.h"
#include "image_makers.h"
#include "imageio/image_error.h"
#include "support/pictures.h"
#include "support/temp_dir.h"

namespace tessora::testing {
namespace {

const std::vector<std::uint32_t> kColors{0x000000, 0xFF0000, 0x00FF00, 0x0000FF,
                                         0xFFFF00, 0x00FFFF, 0xFF00FF, 0xFFFFFF};

GifFrame frame(int width, int height, int seed) {
  GifFrame f;
  f.width = width;
  f.height = height;
  for (int i = 0; i < width * height; ++i) {
    f.indices.push_back(static_cast<std::uint8_t>(PatternSample(i, seed, 0, 7)));
  }
  return f;
}

Bitmap expected(const GifFrame& f, const std::vector<std::uint32_t>& colors) {
  Bitmap b(f.width, f.height);
  for (int y = 0; y < f.height; ++y) {
    for (int x = 0; x < f.width; ++x) {
      const std::uint32_t c = colors[f.indices[static_cast<std::size_t>(y * f.width + x)]];
      b.setPixel(x, y, RGB(c >> 16, c >> 8, c));
    }
  }
  return b;
}

Bitmap read(const Bytes& file) {
  Bitmap b = PatternBitmap(3, 3);
  b.setTransparent(true);
  b.setTransparentColor(RGB(1, 2, 3));
  ReadGifMemory(file.data(), file.size(), b);
  return b;
}

TEST(GifRead, StillPictureWithoutTransparency) {
  for (bool interlaced : {false, true}) {
    GifFrame f = frame(9, 13, 1);
    f.interlaced = interlaced;
    const Bitmap b = read(MakeGif(9, 13, kColors, {f}));
    EXPECT_TRUE(SamePicture(b, expected(f, kColors))) << "interlaced " << interlaced;
    EXPECT_FALSE(b.transparent());
    EXPECT_EQ(b.transparentColor(), clNone);
  }
}

TEST(GifRead, FirstFrameTransparentColourComesFromItsOwnMap) {
  GifFrame f = frame(4, 3, 2);
  f.localColors = {0x112233, 0x445566, 0x778899, 0xAABBCC};
  for (auto& i : f.indices) {
    i &= 3;
  }
  f.transparentIndex = 2;
  const Bitmap b = read(MakeGif(4, 3, kColors, {f}));
  EXPECT_TRUE(SamePicture(b, expected(f, f.localColors)));
  EXPECT_TRUE(b.transparent());
  EXPECT_EQ(b.transparentColor(), RGB(0x77, 0x88, 0x99));
}

TEST(GifRead, AnimationShowsTheFirstFrameAtItsOwnSize) {
  GifFrame first = frame(5, 4, 3);
  first.left = 2;
  first.top = 1;
  GifFrame later = frame(8, 8, 4);
  later.transparentIndex = 5;
  const Bitmap b = read(MakeGif(10, 10, kColors, {first, later, later}));
  EXPECT_TRUE(SamePicture(b, expected(first, kColors)));
  EXPECT_TRUE(b.transparent()) << "a later frame has a transparent colour";
  EXPECT_EQ(b.transparentColor(), clNone) << "the first frame has none";
}

TEST(GifRead, DamageAfterTheFirstFrameStillShowsIt) {
  const GifFrame first = frame(5, 4, 5);
  Bytes file = MakeGif(5, 4, kColors, {first, frame(5, 4, 6)});
  file.resize(file.size() - 6);
  EXPECT_TRUE(SamePicture(read(file), expected(first, kColors)));
}

TEST(GifRead, FailuresLeaveTheBitmap) {
  const Bitmap before = PatternBitmap(3, 3);
  auto fails = [&](const Bytes& file, const char* what) {
    SCOPED_TRACE(what);
    Bitmap b = before;
    EXPECT_TRUE(
        FailsWith([&] { ReadGifMemory(file.data(), file.size(), b); }, "Error Reading File!"));
    EXPECT_TRUE(SamePicture(b, before));
  };
  fails(MakeGif(4, 4, kColors, {}), "no frame");
  Bytes cut = MakeGif(30, 30, kColors, {frame(30, 30, 7)});
  cut.resize(cut.size() / 2);
  fails(cut, "first frame cut short");
  fails(Bytes{'G', 'I', 'F', '8', '9', 'a'}, "header only");
  fails(Bytes(100, 0x47), "garbage");
  fails(MakeGif(20000, 1, kColors, {frame(16385, 1, 8)}), "frame wider than the limit");
  TempDir folder;
  Bitmap b;
  const std::string missing = folder.file("missing.gif");
  EXPECT_TRUE(FailsWith([&] { LoadGifFile(missing, b); }, "Error Opening File " + missing + "!"));
}

}  // namespace
}  // namespace tessora::testing
