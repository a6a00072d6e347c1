// The shared helpers are what every other test trusts: a comparison that passes wrongly, or a
// failure message that points at the wrong pixel, would mislead them all.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "support/files.h"
#include "support/pictures.h"
#include "support/temp_dir.h"
#include "support/wait.h"

namespace tessora::testing {
namespace {

using ::testing::HasSubstr;

std::string Shown(TColor c) {
  return "RGB(" + std::to_string(GetRValue(c)) + ", " + std::to_string(GetGValue(c)) + ", " +
         std::to_string(GetBValue(c)) + ")";
}

TEST(SamePicture, NamesTheFirstDifferingPixelInReadingOrder) {
  const Bitmap expected = PatternBitmap(7, 5, 3);
  EXPECT_TRUE(SamePicture(expected, expected));
  std::mt19937 rng(11);
  for (int round = 0; round < 40; ++round) {
    Bitmap actual = expected;
    int first = 7 * 5;
    for (int n = 0; n <= round % 3; ++n) {
      const int i = static_cast<int>(rng() % 35);
      actual.setPixel(i % 7, i / 7, expected.pixel(i % 7, i / 7) ^ 0x808080);
      first = std::min(first, i);
    }
    const int x = first % 7;
    const int y = first / 7;
    const ::testing::AssertionResult r = SamePicture(actual, expected);
    ASSERT_FALSE(r);
    EXPECT_THAT(r.message(),
                HasSubstr("pixel (" + std::to_string(x) + ", " + std::to_string(y) + ") is " +
                          Shown(actual.pixel(x, y)) + ", expected " + Shown(expected.pixel(x, y))));
    EXPECT_THAT(r.message(), HasSubstr("7 x 5"));
  }
}

TEST(SamePicture, ToleranceHoldsForEachChannelAndSizesMustMatch) {
  const Bitmap grey = Solid(2, 2, RGB(100, 100, 100));
  const struct {
    TColor changed;
    int tolerance;
    bool same;
  } rows[] = {
      {RGB(103, 100, 100), 3, true}, {RGB(104, 100, 100), 3, false}, {RGB(100, 96, 100), 3, false},
      {RGB(100, 100, 97), 3, true},  {RGB(100, 100, 101), 0, false}, {RGB(97, 103, 97), 3, true},
  };
  for (const auto& row : rows) {
    Bitmap b = grey;
    b.setPixel(1, 1, row.changed);
    EXPECT_EQ(static_cast<bool>(SamePicture(b, grey, row.tolerance)), row.same)
        << Shown(row.changed) << " within " << row.tolerance;
  }
  const ::testing::AssertionResult r = SamePicture(Solid(3, 2, clWhite), Solid(2, 3, clWhite));
  EXPECT_FALSE(r);
  EXPECT_THAT(r.message(), HasSubstr("size 3 x 2, expected 2 x 3"));
}

TEST(TempDir, IsNewAndGoesWithEverythingInIt) {
  std::string kept;
  {
    TempDir a;
    TempDir b;
    EXPECT_NE(a.path(), b.path());
    kept = a.path();
    std::filesystem::create_directories(a.file("x/y"));
    ASSERT_TRUE(writeFile(a.file("x/y/z.txt"), "z"));
    ASSERT_TRUE(writeFile(a.file("top.txt"), "t"));
    EXPECT_EQ(a.entryCount(), 2U);
  }
  EXPECT_FALSE(std::filesystem::exists(kept));
}

TEST(Files, ContentsComeBackByteForByteAndListsAreSorted) {
  TempDir dir;
  Bytes all(256);
  for (std::size_t i = 0; i < all.size(); ++i) {
    all[i] = static_cast<std::uint8_t>(255 - i);
  }
  ASSERT_TRUE(writeBytes(dir.file("b.bin"), all));
  EXPECT_EQ(readBytes(dir.file("b.bin")), all);
  ASSERT_TRUE(writeFile(dir.file("a.txt"), "line\r\nend"));
  EXPECT_EQ(readFile(dir.file("a.txt")), "line\r\nend");
  EXPECT_EQ(readFile(dir.file("missing")), "");
  EXPECT_FALSE(writeFile(dir.file("no/such/folder"), "x"));
  ASSERT_TRUE(writeScript(dir.file("run.sh"), "exit 0\n"));
  EXPECT_EQ(::access(dir.file("run.sh").c_str(), X_OK), 0);
  EXPECT_EQ(filesIn(dir.path(), ""), (std::vector<std::string>{"a.txt", "b.bin", "run.sh"}));
  EXPECT_EQ(filesIn(dir.path(), ".txt"), std::vector<std::string>{"a.txt"});
  EXPECT_TRUE(filesIn(dir.file("missing"), "").empty());
}

// A wait ends when its condition holds, runs the idle step between checks, and fails only when
// the condition still does not hold at the end of its time.
TEST(WaitFor, EndsWhenTheConditionHoldsAndFailsOnlyWhenItNeverDid) {
  const struct {
    int holdsFromCheck;  // 0: never
    int timeoutMs;
    bool held;
    int checksAtLeast;
  } rows[] = {{1, 0, true, 1}, {5, 10000, true, 5}, {0, 50, false, 2}, {1000000, 30, false, 2}};
  for (const auto& row : rows) {
    int checks = 0;
    int idles = 0;
    const auto start = std::chrono::steady_clock::now();
    const bool held =
        WaitFor([&] { return ++checks >= row.holdsFromCheck && row.holdsFromCheck > 0; },
                row.timeoutMs, [&] { ++idles; });
    const auto took = std::chrono::steady_clock::now() - start;
    SCOPED_TRACE(row.holdsFromCheck);
    EXPECT_EQ(held, row.held);
    EXPECT_GE(checks, row.checksAtLeast);
    EXPECT_GE(idles, checks - 2);
    if (!row.held) {
      EXPECT_GE(took, std::chrono::milliseconds(row.timeoutMs));
    } else {
      EXPECT_LT(took, std::chrono::milliseconds(10000)) << "it waited past its condition";
    }
  }
}

}  // namespace
}  // namespace tessora::testing
