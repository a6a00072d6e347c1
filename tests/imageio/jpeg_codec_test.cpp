#include "imageio/jpeg_codec.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>
#include <cstring>

#include "codec_checks.h"
#include "image_makers.h"
#include "imageio/image_error.h"
#include "support/files.h"
#include "support/pictures.h"
#include "support/temp_dir.h"

namespace tessora::testing {
namespace {

// A smooth picture: JPEG keeps it within a few levels.
Bitmap smooth(int w, int h) {
  Bitmap b(w, h);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      b.setPixel(x, y, RGB(x * 255 / (w - 1), y * 255 / (h - 1), (x + y) * 255 / (w + h - 2)));
    }
  }
  return b;
}

double meanError(const Bitmap& a, const Bitmap& b) {
  double sum = 0;
  for (int y = 0; y < a.height(); ++y) {
    for (int x = 0; x < a.width() * 3; ++x) {
      sum += std::abs(a.scanLine(y)[x] - b.scanLine(y)[x]);
    }
  }
  return sum / (a.width() * a.height() * 3.0);
}

// The first value of the first quantisation table, and whether a progressive frame is present.
std::pair<int, bool> firstQuantAndProgressive(const Bytes& f) {
  int quant = -1;
  bool progressive = false;
  for (std::size_t i = 0; i + 5 < f.size(); ++i) {
    if (f[i] == 0xFF && f[i + 1] == 0xDB && quant < 0) {
      quant = f[i + 5];
    }
    progressive = progressive || (f[i] == 0xFF && f[i + 1] == 0xC2);
  }
  return {quant, progressive};
}

TEST(JpegWrite, BaselineQuality77RoundTrip) {
  TempDir folder;
  const std::string name = folder.file("out.jpg");
  const Bitmap original = smooth(61, 47);
  SaveJpegFile(name, original);
  const Bytes file = readBytes(name);
  const auto [quant, progressive] = firstQuantAndProgressive(file);
  // Quality 77 scales the standard luminance table by 46%: its first entry 16 becomes 7.
  EXPECT_EQ(quant, 7);
  EXPECT_FALSE(progressive);
  Bitmap back;
  LoadJpegFile(name, back);
  ASSERT_EQ(back.width(), 61);
  ASSERT_EQ(back.height(), 47);
  EXPECT_LT(meanError(back, original), 3.0);
}

TEST(JpegRead, GrayAndProgressiveFiles) {
  Bitmap gray;
  const Bytes g = MakeJpeg(32, 16, true, false);
  ReadJpegMemory(g.data(), g.size(), gray);
  ASSERT_EQ(gray.width(), 32);
  for (int x = 0; x < 32; x += 5) {
    const TColor c = gray.pixel(x, 0);
    EXPECT_EQ(GetRValue(c), GetGValue(c));
    EXPECT_EQ(GetGValue(c), GetBValue(c));
    EXPECT_NEAR(GetRValue(c), x * 255 / 31, 6);
  }
  Bitmap plain;
  Bitmap progressive;
  const Bytes p = MakeJpeg(40, 24, false, false);
  const Bytes q = MakeJpeg(40, 24, false, true);
  ReadJpegMemory(p.data(), p.size(), plain);
  ReadJpegMemory(q.data(), q.size(), progressive);
  EXPECT_LT(meanError(plain, progressive), 1.0);
}

TEST(JpegRead, LargeFilesDecodedInBandsGiveThePixelsOfOnePass) {
  struct Layout {
    bool gray;
    int h, v, restartRows;
  };
  // 4:4:4, 4:2:2, 4:2:0 and 4:4:0, with and without restart markers, and gray; heights that end
  // inside an MCU row.
  for (const Layout& l : {Layout{false, 1, 1, 0}, Layout{false, 2, 1, 0}, Layout{false, 2, 2, 0},
                          Layout{false, 1, 2, 3}, Layout{false, 2, 2, 5}, Layout{true, 1, 1, 0}}) {
    const Bytes file = MakeSampledJpeg(1201, 907, l.gray, l.h, l.v, l.restartRows);
    Bitmap whole;
    ReadJpegMemory(file.data(), file.size(), whole, {}, 1);
    for (unsigned threads : {2u, 3u, 4u}) {
      Bitmap banded;
      ReadJpegMemory(file.data(), file.size(), banded, {}, threads);
      EXPECT_TRUE(SamePicture(banded, whole))
          << (l.gray ? "gray" : "colour") << " " << l.h << "x" << l.v << " sampling, restart "
          << l.restartRows << ", " << threads << " threads";
    }
  }
  // A cut file fails in bands as it does in one pass, or gives the same picture.
  const Bytes file = MakeSampledJpeg(1201, 907, false, 2, 2, 0);
  for (std::size_t keep : {file.size() / 3, file.size() - 300}) {
    const Bytes cut(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(keep));
    Bitmap whole;
    Bitmap banded;
    bool wholeRead = true;
    bool bandedRead = true;
    try {
      ReadJpegMemory(cut.data(), cut.size(), whole, {}, 1);
    } catch (const ImageError&) {
      wholeRead = false;
    }
    try {
      ReadJpegMemory(cut.data(), cut.size(), banded, {}, 2);
    } catch (const ImageError&) {
      bandedRead = false;
    }
    ASSERT_EQ(bandedRead, wholeRead) << keep;
    if (wholeRead) {
      EXPECT_TRUE(SamePicture(banded, whole)) << keep;
    }
  }
}

TEST(JpegRead, FailuresLeaveTheBitmap) {
  const Bitmap before = PatternBitmap(3, 3);
  Bitmap b = before;
  const Bytes garbage(200, 0xD8);
  EXPECT_TRUE(
      FailsWith([&] { ReadJpegMemory(garbage.data(), garbage.size(), b); }, "Error Reading File!"));
  EXPECT_TRUE(FailsWith([&] { ReadJpegMemory(nullptr, 0, b); }, "Error Reading File!"));
  const Bytes wide = MakeJpeg(16385, 8, true, false);
  ImageLimits narrow;
  narrow.maxDimension = 16384;
  EXPECT_TRUE(FailsWith([&] { ReadJpegMemory(wide.data(), wide.size(), b, narrow); },
                        "Error Reading File!"));
  EXPECT_TRUE(SamePicture(b, before));
  // A file cut short shows what arrived, padded as libjpeg does; it must not crash or hang.
  Bytes cut = MakeJpeg(64, 64, false, true);
  cut.resize(cut.size() / 2);
  try {
    ReadJpegMemory(cut.data(), cut.size(), b);
    EXPECT_EQ(b.width(), 64);
  } catch (const ImageError& e) {
    EXPECT_STREQ(e.what(), "Error Reading File!");
  }
}

// Every scan is a pass over the blocks it codes, however few bytes it takes to skip them all. A
// file may make as many passes as real encoders need, and some more; beyond that it is refused.
TEST(JpegRead, ScansAreBoundedByThePassesTheyMakeOverThePicture) {
  for (const auto& [scans, loads] : {std::pair{8, true}, {40, false}, {250, false}}) {
    const Bytes file = MakeHandMadeJpeg(64, scans, false);
    Bitmap b;
    if (loads) {
      EXPECT_NO_THROW(ReadJpegMemory(file.data(), file.size(), b)) << scans;
      EXPECT_EQ(b.width(), 64);
    } else {
      EXPECT_TRUE(
          FailsWith([&] { ReadJpegMemory(file.data(), file.size(), b); }, "Error Reading File!"))
          << scans;
    }
  }
}

TEST(JpegWrite, FailuresNameTheFileAndKeepTheOldOne) {
  TempDir folder;
  const std::string noFolder = folder.file("none/out.jpg");
  EXPECT_TRUE(FailsWith([&] { SaveJpegFile(noFolder, PatternBitmap(2, 2)); },
                        "Cannot create file " + noFolder + ": " + std::strerror(ENOENT)));
  const std::string name = folder.file("kept.jpg");
  ASSERT_TRUE(writeBytes(name, Bytes{9, 8, 7}));
  EXPECT_TRUE(FailsWith([&] { SaveJpegFile(name, Bitmap()); }, "Unable to write to " + name));
  EXPECT_EQ(readBytes(name), (Bytes{9, 8, 7}));
  // JPEG holds rows of at most 65,500 pixels; a wider picture fails like any write.
  EXPECT_TRUE(
      FailsWith([&] { SaveJpegFile(name, Bitmap(65501, 1)); }, "Unable to write to " + name));
  EXPECT_EQ(readBytes(name), (Bytes{9, 8, 7}));
  EXPECT_EQ(filesIn(folder.path(), ""), std::vector<std::string>{"kept.jpg"});
  const std::string widest = folder.file("widest.jpg");
  SaveJpegFile(widest, Bitmap(65500, 1));
  Bitmap back;
  LoadJpegFile(widest, back);
  EXPECT_EQ(back.width(), 65500);
}

}  // namespace
}  // namespace tessora::testing
