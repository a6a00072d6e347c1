#include "imageio/picture_formats.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "imageio/image_error.h"
#include "imageio/image_files.h"
#include "support/files.h"

namespace tessora::testing {
namespace {

// What the row's reader gives as the reason for refusing `bytes`, or "" when it reads them.
std::string refusal(const PictureFormatRow& row, const Bytes& bytes, const ImageLimits& limits) {
  Bitmap bitmap(3, 2);
  try {
    row.read(bytes.data(), bytes.size(), bitmap, limits);
    return "";
  } catch (const ImageError& e) {
    EXPECT_STREQ(e.what(), "Error Reading File!") << row.key;
    return e.detail();
  }
}

// Each row's reader says itself why it refuses the plainest bad files: none at all, another
// format, the start of a whole file (its first seed that is not a bomb, a file promising more
// than it holds), and a whole file whose header declares more than the limits allow (small
// limits, so that the seed will do). The table and the loader's list of formats agree.
TEST(PictureFormats, EveryReaderSaysWhyItRefusesAFile) {
  const std::string text = "not a picture, only text";
  ImageLimits small;
  small.maxDimension = 1;
  for (const PictureFormatRow& row : PictureFormats()) {
    EXPECT_EQ(&RowOf(row.format), &row) << row.key;
    EXPECT_EQ(FormatOfExtension(row.extensions[0]), row.format) << row.key;
    const std::string folder = std::string(TESSORA_FUZZ_SEEDS_DIR) + "/" + row.key;
    const std::vector<std::string> seeds = filesIn(folder, "");
    const auto seed = std::find_if(seeds.begin(), seeds.end(), [](const std::string& name) {
      return name.rfind("bomb-", 0) != 0;
    });
    ASSERT_NE(seed, seeds.end()) << row.key;
    const Bytes whole = readBytes(folder + "/" + *seed);
    EXPECT_EQ(refusal(row, {}, {}), "empty file") << row.key;
    EXPECT_EQ(refusal(row, Bytes(text.begin(), text.end()), {}), row.notThisFormat);
    EXPECT_EQ(refusal(row, Bytes(whole.begin(), whole.begin() + 16), {}), "truncated") << row.key;
    const std::string tooLarge = refusal(row, whole, small);
    EXPECT_EQ(tooLarge.rfind("picture of ", 0), 0u) << row.key << ": " << tooLarge;
    // Only the bound the picture passes is named.
    const std::string side = " is larger than 1 x 1";
    EXPECT_EQ(tooLarge.substr(tooLarge.size() - std::min(tooLarge.size(), side.size())), side)
        << row.key << ": " << tooLarge;
  }
  EXPECT_EQ(LoadableFormatsText(), "PNG, JPEG, GIF, BMP, WebP, AVIF, HEIF/HEIC, TIFF and JPEG XL");
  EXPECT_EQ(FormatOfExtension(".txt"), std::nullopt);
}

}  // namespace
}  // namespace tessora::testing
