#include <gtest/gtest.h>

#include <functional>

#include "image_makers.h"
#include "imageio/image_error.h"
#include "imageio/iso_media.h"
#include "imageio/iso_media_check.h"
#include "imageio/photo_codecs.h"
#include "imageio/png_unit.h"
#include "iso_media_makers.h"
#include "support/peak_memory.h"
#include "support/pictures.h"

namespace tessora::testing {
namespace {

using Reader = void (*)(const std::uint8_t*, std::size_t, Bitmap&, const ImageLimits&);

// The reason a read gives for refusing, or "" when it loads.
std::string reasonOf(const std::function<void()>& read) {
  try {
    read();
  } catch (const ImageError& e) {
    return e.detail();
  }
  return "";
}

// A picture of `side` pixels square coded by libheif or libavif.
Bytes heicTile(int side) {
  return MakeHeif(MakePhotoPicture(side, side, false, 8));
}

// Each file promises a picture of hundreds of megabytes to gigabytes that its few kilobytes do
// not hold; each is refused for what it is before the library allocates for it.
TEST(IsoMediaBombs, AreRefusedForWhatTheyAreAtLittleCost) {
  if (!kResidentMemoryTellsTheReadersCost) {
    GTEST_SKIP() << "resident memory includes the thread sanitizer's shadow";
  }
  const Bytes tile128 = heicTile(128);
  const Bytes tile256 = heicTile(256);
  const Bytes avifTile = MakeAvif(MakePhotoPicture(64, 64, false, 8));
  const struct {
    const char* what;
    Reader read;
    Bytes file;
    std::string reason;
  } bombs[] = {
      {"avif sized far beyond its coded frame", ReadAvifMemory,
       WithIspe(MakeAvif(MakePhotoPicture(64, 48, true, 16)), 16384, 16384),
       "picture of 16384 x 16384 is stored as only 64 x 48"},
      {"heic sized far beyond its coded frame", ReadHeifMemory,
       WithIspe(MakeHeif(MakePhotoPicture(64, 48, true, 8)), 16384, 16384),
       "picture of 16384 x 16384 is stored as only 64 x 48"},
      {"heic coded far beyond its size", ReadHeifMemory, WithIspe(tile256, 16, 16),
       "picture of 16 x 16 is stored as 256 x 256"},
      {"heic grid naming one tile in every cell", ReadHeifMemory,
       GridOfOneTile("heic", tile128, 128, 128, 128, 16384, 16384, false),
       "grid repeats one coded tile 16384 times"},
      {"avif grid of items sharing one tile's data", ReadAvifMemory,
       GridOfOneTile("avif", avifTile, 64, 32, 32, 2048, 2048, true),
       "grid repeats one coded tile 1024 times"},
      {"heic grid of 65535 x 8192 over one tile", ReadHeifMemory,
       GridOfOneTile("heic", tile256, 256, 32, 256, 65535, 8192, false),
       "grid repeats one coded tile 8192 times"},
      {"heic grid far larger than its tiles", ReadHeifMemory,
       GridOfOneTile("heic", tile128, 128, 1, 1, 16384, 16384, false),
       "picture of 16384 x 16384 is stored as only 128 x 128"},
  };
  for (const auto& b : bombs) {
    SCOPED_TRACE(b.what);
    Bitmap bitmap = PatternBitmap(2, 2);
    std::string reason;
    const std::int64_t extra = ExtraPeakKilobytes([&] {
      reason = reasonOf([&] { b.read(b.file.data(), b.file.size(), bitmap, ImageLimits{}); });
    });
    EXPECT_EQ(reason, b.reason);
    EXPECT_LT(extra, 64 * 1024);
    EXPECT_TRUE(SamePicture(bitmap, PatternBitmap(2, 2)));
  }
}

// A grid of tiles coded one by one, as phones store their photos, shows as the whole picture,
// its last row and column of tiles cut to the picture's size.
TEST(IsoMediaBombs, RealGridsLoad) {
  const PhotoPicture picture = MakePhotoPicture(4 * 64 - 10, 3 * 64 - 7, false, 8);
  const Bytes file = HeifGridOf(picture, 64);
  const Bytes png = MakePng(PngOf(picture));
  Bitmap expected;
  ReadPngMemory(png.data(), png.size(), expected);
  Bitmap loaded;
  EXPECT_EQ(reasonOf([&] { ReadHeifMemory(file.data(), file.size(), loaded); }), "");
  EXPECT_TRUE(SamePicture(loaded, expected, 2));
}

// The box reader holds every box and field to its container.
TEST(IsoMediaBombs, BoxesThatDoNotFitAreRefused) {
  IsoFileRecipe recipe{"heic", 1, {IspeBox(3, 2)}, {{1, "hvc1", Bytes(40, 9), 0, {1}, {}}}};
  const Bytes file = AssembleIsoFile(recipe);
  const auto media = iso_media::ReadMedia(file.data(), file.size());
  ASSERT_TRUE(media.has_value());
  const iso_media::Item* item = media->find(media->primary);
  ASSERT_NE(item, nullptr);
  EXPECT_EQ(item->width, 3u);
  EXPECT_EQ(item->height, 2u);
  ASSERT_EQ(item->extents.size(), 1u);
  EXPECT_EQ(item->extents[0].offset + item->extents[0].size, file.size());

  recipe.items[0].properties = {1, 2};
  const Bytes missingProperty = AssembleIsoFile(recipe);
  const Bytes cut(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(file.size() / 2));
  Bytes shortBox = file;
  shortBox[3] = 4;  // 'ftyp' of four bytes, less than its own header
  Bytes longBox = file;
  longBox[2] = 0x7F;  // 'ftyp' reaching far past the end
  const struct {
    const char* what;
    const Bytes* file;
    bool reads;
    std::string reason;
  } cases[] = {
      {"whole", &file, true, ""},
      {"cut inside 'meta'", &cut, false, "damaged or not supported"},
      {"box shorter than its header", &shortBox, false, "damaged or not supported"},
      {"box longer than the file", &longBox, false, "damaged or not supported"},
      {"property past 'ipco'", &missingProperty, false, "damaged or not supported"},
      // The data of the only item then ends past the file's end.
      {"cut inside 'mdat'", nullptr, true, "truncated"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const Bytes& f = c.file != nullptr ? *c.file : file;
    const std::size_t size = c.file != nullptr ? f.size() : f.size() - 1;
    EXPECT_EQ(iso_media::ReadMedia(f.data(), size).has_value(), c.reads);
    EXPECT_EQ(reasonOf([&] { CheckIsoMediaCost(f.data(), size, ImageLimits{}); }), c.reason);
  }
}

}  // namespace
}  // namespace tessora::testing
