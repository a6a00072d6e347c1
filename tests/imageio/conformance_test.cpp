// The readers against the public conformance suites in ../shared/testdata.
#include <gtest/gtest.h>

#include "codec_checks.h"
#include "imageio/bmp_codec.h"
#include "imageio/gif_codec.h"
#include "imageio/image_error.h"
#include "imageio/jpeg_codec.h"
#include "imageio/png_unit.h"
#include "support/files.h"
#include "support/pictures.h"

#include <unistd.h>

namespace tessora::testing {
namespace {

constexpr TColor kFill = RGB(10, 200, 30);

// What ReadPngFile must show for one suite picture read into a 36 x 36 pattern with fill colour
// kFill: the suite's RGBA pixels over the old top-left area, new area filled first. 8-bit pixels
// blend by the integer rule; 16-bit ones (scale 65535) by the exact blend, rounded.
Bitmap blendedExpectation(const std::vector<int>& rgba, int width, int height, int scale) {
  const Bitmap before = PatternBitmap(36, 36);
  Bitmap out(width, height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const TColor old = x < 36 && y < 36 ? before.pixel(x, y) : kFill;
      const int* p = rgba.data() + 4 * (static_cast<std::size_t>(y) * width + x);
      const int a = p[3];
      const int channels[3] = {GetRValue(old), GetGValue(old), GetBValue(old)};
      int mixed[3];
      for (int c = 0; c < 3; ++c) {
        const double alpha = static_cast<double>(a) / scale;
        mixed[c] =
            scale == 255
                ? (channels[c] * (255 - a) + p[c] * a) / 255
                : static_cast<int>(channels[c] * (1 - alpha) + 255.0 * p[c] / scale * alpha + 0.5);
      }
      out.setPixel(x, y, RGB(mixed[0], mixed[1], mixed[2]));
    }
  }
  return out;
}

TEST(PngSuite, EveryFileDecodesToItsPixelsOrFailsWhenCorrupt) {
  const std::string root = ConformanceFolder("pngsuite");
  if (root.empty()) {
    GTEST_SKIP() << "pngsuite not installed";
  }
  const std::vector<std::string> files = filesIn(root + "/png", ".png");
  ASSERT_GT(files.size(), 150u);
  int corrupt = 0;
  for (const std::string& name : files) {
    SCOPED_TRACE(name);
    const std::string path = root + "/png/" + name;
    Bitmap bitmap = PatternBitmap(36, 36);
    bitmap.setFillColor(kFill);
    if (name[0] == 'x') {
      ++corrupt;
      EXPECT_TRUE(FailsWith([&] { ReadPngFile(path, bitmap); }, "Error Reading File!"));
      EXPECT_TRUE(SamePicture(bitmap, PatternBitmap(36, 36)));
      continue;
    }
    const std::string stem = root + "/json/" + name.substr(0, name.size() - 4);
    const bool deep = name.compare(6, 2, "16") == 0;
    const std::vector<int> rgba = ReadJsonNumbers(stem + ".json");
    ASSERT_NO_THROW(ReadPngFile(path, bitmap));
    ASSERT_EQ(rgba.size(), static_cast<std::size_t>(bitmap.width()) * bitmap.height() * 4);
    EXPECT_TRUE(SamePicture(
        bitmap, blendedExpectation(rgba, bitmap.width(), bitmap.height(), deep ? 65535 : 255),
        deep ? 1 : 0));
  }
  EXPECT_EQ(corrupt, 14);
}

TEST(PngSuite, InterlacedFilesGiveThePixelsOfPlainOnes) {
  const std::string root = ConformanceFolder("pngsuite");
  if (root.empty()) {
    GTEST_SKIP() << "pngsuite not installed";
  }
  int pairs = 0;
  for (const std::string& name : filesIn(root + "/png", ".png")) {
    const auto at = name.find('i', 1);
    if ((name.rfind("bas", 0) != 0 && name[0] != 's') || at != 3) {
      continue;
    }
    std::string plain = name;
    plain[3] = 'n';
    SCOPED_TRACE(name);
    Bitmap interlaced;
    Bitmap straight;
    ReadPngFile(root + "/png/" + name, interlaced);
    ReadPngFile(root + "/png/" + plain, straight);
    EXPECT_TRUE(SamePicture(interlaced, straight));
    ++pairs;
  }
  EXPECT_GE(pairs, 30);
}

// bmpsuite's expected pictures are 8-bit RGB PNG files.
Bitmap expectedPicture(const std::string& root, const std::string& prefix,
                       const std::string& name) {
  Bitmap expected;
  ReadPngFile(root + "/expected/" + prefix + name.substr(0, name.size() - 4) + ".png", expected);
  return expected;
}

TEST(BmpSuite, GoodFilesMatchTheirPictures) {
  const std::string root = ConformanceFolder("bmpsuite");
  if (root.empty()) {
    GTEST_SKIP() << "bmpsuite not installed";
  }
  const std::vector<std::string> files = filesIn(root + "/g", ".bmp");
  ASSERT_GT(files.size(), 20u);
  for (const std::string& name : files) {
    SCOPED_TRACE(name);
    Bitmap bitmap;
    ASSERT_NO_THROW(LoadBmpFile(root + "/g/" + name, bitmap));
    EXPECT_TRUE(SamePicture(bitmap, expectedPicture(root, "g-", name)));
  }
}

// A rare file may be refused, but only cleanly, and only when the suite shows no picture for it:
// one that has a picture must give exactly that picture.
TEST(BmpSuite, QuestionableFilesMatchOrFailCleanly) {
  const std::string root = ConformanceFolder("bmpsuite");
  if (root.empty()) {
    GTEST_SKIP() << "bmpsuite not installed";
  }
  int matched = 0;
  for (const std::string& name : filesIn(root + "/q", ".bmp")) {
    SCOPED_TRACE(name);
    const std::string expected = root + "/expected/q-" + name.substr(0, name.size() - 4) + ".png";
    const bool hasPicture = ::access(expected.c_str(), R_OK) == 0;
    Bitmap bitmap = PatternBitmap(3, 3);
    try {
      LoadBmpFile(root + "/q/" + name, bitmap);
    } catch (const ImageError& e) {
      EXPECT_FALSE(hasPicture) << "refused: " << e.what();
      EXPECT_STREQ(e.what(), "Error Reading File!");
      EXPECT_TRUE(SamePicture(bitmap, PatternBitmap(3, 3)));
      continue;
    }
    EXPECT_FALSE(bitmap.empty());
    if (hasPicture) {
      EXPECT_TRUE(SamePicture(bitmap, expectedPicture(root, "q-", name)));
      ++matched;
    }
  }
  EXPECT_GE(matched, 34);
}

TEST(BmpSuite, BadFilesFailCleanlyOrGiveAPicture) {
  const std::string root = ConformanceFolder("bmpsuite");
  if (root.empty()) {
    GTEST_SKIP() << "bmpsuite not installed";
  }
  for (const std::string& name : filesIn(root + "/b", ".bmp")) {
    SCOPED_TRACE(name);
    Bitmap bitmap;
    try {
      LoadBmpFile(root + "/b/" + name, bitmap);
      EXPECT_FALSE(bitmap.empty());
    } catch (const ImageError& e) {
      EXPECT_STREQ(e.what(), "Error Reading File!");
    }
  }
}

// The fuzzers' seeds are valid files of their formats, so every normal test run replays them.
TEST(FuzzSeeds, EveryReaderReadsItsSeeds) {
  const std::string root = TESSORA_FUZZ_SEEDS_DIR;
  const std::vector<
      std::pair<std::string, void (*)(const std::string&, Bitmap&, const ImageLimits&)>>
      readers = {
          {"png", ReadPngFile}, {"jpeg", LoadJpegFile}, {"gif", LoadGifFile}, {"bmp", LoadBmpFile}};
  for (const auto& [kind, reader] : readers) {
    const std::vector<std::string> files = filesIn(root + "/" + kind, "");
    EXPECT_FALSE(files.empty()) << kind;
    for (const std::string& name : files) {
      Bitmap bitmap;
      EXPECT_NO_THROW(reader(root + "/" + kind + "/" + name, bitmap, ImageLimits{}))
          << kind << "/" << name;
      EXPECT_FALSE(bitmap.empty()) << kind << "/" << name;
    }
  }
}

}  // namespace
}  // namespace tessora::testing
