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

// A later frame's transparent colour, or an index outside the first frame's map, sets the flag
// without giving a colour: drawing the picture then leaves no pixel out, white ones included.
TEST(GifRead, AFlagWithoutAColourLeavesOutNoPixel) {
  GifFrame first = frame(5, 4, 9);
  first.indices[0] = 7;
  GifFrame later = frame(5, 4, 10);
  later.transparentIndex = 7;
  GifFrame outside = first;
  outside.localColors = {0xFFFFFF, 0x112233, 0x445566, 0x778899};
  for (auto& i : outside.indices) {
    i &= 3;
  }
  outside.transparentIndex = 9;
  const std::pair<const char*, Bytes> files[] = {
      {"later frame transparent", MakeGif(5, 4, kColors, {first, later})},
      {"index outside the map", MakeGif(5, 4, kColors, {outside})},
  };
  for (const auto& [what, file] : files) {
    const Bitmap b = read(file);
    EXPECT_TRUE(b.transparent()) << what;
    EXPECT_EQ(b.transparentColor(), clNone) << what;
    Bitmap shown(5, 4);
    shown.setFillColor(clRed);
    shown.fill();
    shown.draw(0, 0, b);
    EXPECT_TRUE(SamePicture(shown, b)) << what;
  }
}

TEST(GifRead, DamageAfterTheFirstFrameStillShowsIt) {
  const GifFrame first = frame(5, 4, 5);
  Bytes file = MakeGif(5, 4, kColors, {first, frame(5, 4, 6)});
  file.resize(file.size() - 6);
  EXPECT_TRUE(SamePicture(read(file), expected(first, kColors)));
}

// Past the first frame the records are only walked for their transparency: a file cut anywhere
// after the first frame still shows it, and is transparent exactly when the cut leaves the
// transparent frame's descriptor whole, with the code size that follows it.
TEST(GifRead, LaterFramesCountUpToWhereTheFileEnds) {
  const GifFrame first = frame(5, 4, 11);
  GifFrame later = frame(5, 4, 12);
  later.transparentIndex = 3;
  const Bytes alone = MakeGif(5, 4, kColors, {first});
  const Bytes file = MakeGif(5, 4, kColors, {first, later, first});
  // After the first frame: the graphic control block (8 bytes), the descriptor (10), code size.
  const std::size_t whole = alone.size() - 1 + 8 + 10 + 1;
  for (std::size_t size = alone.size() - 1; size <= file.size(); ++size) {
    const Bitmap b = read(Bytes(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(size)));
    ASSERT_TRUE(SamePicture(b, expected(first, kColors))) << size;
    EXPECT_EQ(b.transparent(), size >= whole) << size;
  }
}

TEST(GifRead, FailuresLeaveTheBitmap) {
  const Bitmap before = PatternBitmap(3, 3);
  auto fails = [&](const Bytes& file, const char* what, const ImageLimits& limits = {}) {
    SCOPED_TRACE(what);
    Bitmap b = before;
    EXPECT_TRUE(FailsWith([&] { ReadGifMemory(file.data(), file.size(), b, limits); },
                          "Error Reading File!"));
    EXPECT_TRUE(SamePicture(b, before));
  };
  fails(MakeGif(4, 4, kColors, {}), "no frame");
  Bytes cut = MakeGif(30, 30, kColors, {frame(30, 30, 7)});
  cut.resize(cut.size() / 2);
  fails(cut, "first frame cut short");
  fails(Bytes{'G', 'I', 'F', '8', '9', 'a'}, "header only");
  fails(Bytes(100, 0x47), "garbage");
  ImageLimits narrow;
  narrow.maxDimension = 16384;
  fails(MakeGif(20000, 1, kColors, {frame(16385, 1, 8)}), "frame wider than the limit", narrow);
  TempDir folder;
  Bitmap b;
  const std::string missing = folder.file("missing.gif");
  EXPECT_TRUE(FailsWith([&] { LoadGifFile(missing, b); }, "Error Opening File " + missing + "!"));
}

}  // namespace
}  // namespace tessora::testing
