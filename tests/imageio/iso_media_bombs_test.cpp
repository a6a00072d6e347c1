#include <gtest/gtest.h>

#include <functional>

#include "image_makers.h"
#include "imageio/coded_size.h"
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

// A picture of one colour, `side` pixels square: what each encoder codes in the fewest bytes.
Bytes flatTile(const std::string& brand, int side) {
  PhotoPicture flat{side, side, false, 8, {}};
  for (int i = 0; i < side * side; ++i) {
    flat.samples.insert(flat.samples.end(), {40, 120, 200});
  }
  return brand == "avif" ? MakeAvif(flat) : MakeHeif(flat);
}

const std::string kThinGrid = "grid of 20480 x 20480 holds only ";

// Each file promises a picture of hundreds of megabytes to gigabytes that its few kilobytes do
// not hold; each is refused for what it is before the library allocates for it.
TEST(IsoMediaBombs, AreRefusedForWhatTheyAreAtLittleCost) {
  if (!kResidentMemoryTellsTheReadersCost) {
    GTEST_SKIP() << "resident memory includes the thread sanitizer's shadow";
  }
  const Bytes tile128 = heicTile(128);
  const Bytes tile256 = heicTile(256);
  const Bytes avifTile = MakeAvif(MakePhotoPicture(64, 64, false, 8));
  const Bytes flatHeic = flatTile("heic", 512);
  const Bytes flatAvif = flatTile("avif", 512);
  const struct {
    const char* what;
    Reader read;
    Bytes file;
    std::string reason;  // how the reason starts
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
      {"heic grid of copies of one flat tile", ReadHeifMemory,
       GridOfCopies("heic", flatHeic, 512, 40, 40, 20480, 20480, 1), kThinGrid},
      {"avif grid of copies of one flat tile", ReadAvifMemory,
       GridOfCopies("avif", flatAvif, 512, 32, 32, 16384, 16384, 1),
       "grid of 16384 x 16384 holds only "},
      {"heic grid of distinct nearly empty tiles", ReadHeifMemory,
       GridOfCopies("heic", flatHeic, 512, 40, 40, 20480, 20480, 0), kThinGrid},
      {"avif grid of distinct nearly empty tiles", ReadAvifMemory,
       GridOfCopies("avif", flatAvif, 512, 32, 32, 16384, 16384, 0),
       "grid of 16384 x 16384 holds only "},
      {"heic overlay canvas far larger than its layer", ReadHeifMemory,
       OverlayOf("heic", tile128, 128, 1, 20000, 20000),
       "overlay canvas of 20000 x 20000 holds only "},
      {"heic overlay naming one layer 200 times", ReadHeifMemory,
       OverlayOf("heic", tile128, 128, 200, 24000, 20000),
       "overlay canvas of 24000 x 20000 holds only "},
  };
  for (const auto& b : bombs) {
    SCOPED_TRACE(b.what);
    Bitmap bitmap = PatternBitmap(2, 2);
    std::string reason;
    const std::int64_t extra = ExtraPeakKilobytes([&] {
      reason = reasonOf([&] { b.read(b.file.data(), b.file.size(), bitmap, ImageLimits{}); });
    });
    EXPECT_EQ(reason.rfind(b.reason, 0), 0u) << reason;
    if (!kFreedMemoryIsKept) {
      EXPECT_LT(extra, 64 * 1024);
    }
    EXPECT_TRUE(SamePicture(bitmap, PatternBitmap(2, 2)));
  }
}

// The same constructs holding what honest files hold pass the checks: any picture up to
// 8192 x 4096, and larger ones whose coded data is a photo's. The small ones load. (libavif
// reads no overlays: it refuses them itself.)
TEST(IsoMediaBombs, HonestGridsAndOverlaysPass) {
  const Bytes photoHeic = heicTile(256);
  const Bytes photoAvif = MakeAvif(MakePhotoPicture(256, 256, false, 8));
  // At the quality of a phone's photos: about 4 pixels a byte.
  const Bytes cameraTile = MakeHeif(MakePhotoPicture(256, 256, false, 8), 1, 50);
  const Bytes flatHeic = flatTile("heic", 512);
  const struct {
    const char* what;
    Reader read;  // nullptr: only the checks, the picture is too large to load here
    Bytes file;
  } honest[] = {
      {"heic grid of 8192 x 4096 copies of one flat tile", nullptr,
       GridOfCopies("heic", flatHeic, 512, 8, 16, 8192, 4096, 1)},
      {"heic grid of 8192 x 8192 of distinct lossy photo tiles", nullptr,
       GridOfCopies("heic", cameraTile, 256, 32, 32, 8192, 8192, 0)},
      {"heic grid of copies of one photo tile", ReadHeifMemory,
       GridOfCopies("heic", photoHeic, 256, 2, 3, 700, 500, 1)},
      {"avif grid of copies of one photo tile", ReadAvifMemory,
       GridOfCopies("avif", photoAvif, 256, 2, 3, 700, 500, 1)},
      {"heic overlay of a photo on a larger canvas", ReadHeifMemory,
       OverlayOf("heic", photoHeic, 256, 2, 1024, 768)},
  };
  for (const auto& h : honest) {
    SCOPED_TRACE(h.what);
    EXPECT_EQ(reasonOf([&] { CheckIsoMediaCost(h.file.data(), h.file.size(), ImageLimits{}); }),
              "");
    if (h.read != nullptr) {
      Bitmap bitmap;
      EXPECT_EQ(reasonOf([&] { h.read(h.file.data(), h.file.size(), bitmap, ImageLimits{}); }), "");
      EXPECT_GT(bitmap.width(), 256);
    }
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

// Headers written bit by bit, most significant first.
class BitWriter {
  // Bits above the value's own 64 are zero (a long run of leading zeros in ue(v)).
  static unsigned bitOf(std::uint64_t value, int i) {
    return i < 64 ? static_cast<unsigned>((value >> i) & 1) : 0;
  }

 public:
  BitWriter& put(std::uint64_t value, int bits) {
    for (int i = bits - 1; i >= 0; --i) {
      if (used_ % 8 == 0) {
        bytes_.push_back(0);
      }
      bytes_.back() = static_cast<std::uint8_t>(bytes_.back() | bitOf(value, i) << (7 - used_ % 8));
      ++used_;
    }
    return *this;
  }
  // ue(v) of HEVC, uvlc() of AV1.
  BitWriter& golomb(std::uint32_t value) {
    int bits = 0;
    while ((std::uint64_t{value} + 1) >> (bits + 1) != 0) {
      ++bits;
    }
    return put(0, bits).put(std::uint64_t{value} + 1, bits + 1);
  }
  Bytes bytes() const { return bytes_; }

 private:
  Bytes bytes_;
  int used_ = 0;
};

// An HEVC sequence parameter set NAL unit of width x height with `subLayers` sub-layers, whose
// many zero bits need the bytes that keep start codes out.
Bytes hevcSps(int subLayers, int chromaFormat, std::uint32_t width, std::uint32_t height) {
  BitWriter b;
  b.put(0, 4).put(static_cast<std::uint64_t>(subLayers - 1), 3).put(1, 1).put(0, 96);
  for (int i = 1; i < subLayers; ++i) {
    b.put(3, 2);
  }
  if (subLayers > 1) {
    b.put(0, 2 * (9 - subLayers));
  }
  for (int i = 1; i < subLayers; ++i) {
    b.put(0, 88 + 8);
  }
  b.golomb(0).golomb(static_cast<std::uint32_t>(chromaFormat));
  if (chromaFormat == 3) {
    b.put(0, 1);
  }
  b.golomb(width).golomb(height).put(1, 1);
  Bytes nal{0x42, 0x01};
  int zeros = 0;
  for (const std::uint8_t byte : b.bytes()) {
    if (zeros >= 2 && byte <= 3) {
      nal.push_back(3);
      zeros = 0;
    }
    zeros = byte == 0 ? zeros + 1 : 0;
    nal.push_back(byte);
  }
  return nal;
}

// An 'hvcC' payload holding `nal` in its one array, NAL lengths of 4 bytes.
Bytes hvcConfig(const Bytes& nal) {
  Bytes c(21, 0);
  for (const std::size_t byte : {std::size_t{3}, std::size_t{1}, std::size_t{0xA1}, std::size_t{0},
                                 std::size_t{1}, nal.size() >> 8, nal.size() & 0xFF}) {
    c.push_back(static_cast<std::uint8_t>(byte));
  }
  c.insert(c.end(), nal.begin(), nal.end());
  return c;
}

// An OBU of `type` with its size.
Bytes obu(int type, const Bytes& payload) {
  Bytes o{static_cast<std::uint8_t>(type << 3 | 2), static_cast<std::uint8_t>(payload.size())};
  o.insert(o.end(), payload.begin(), payload.end());
  return o;
}

// An AV1 sequence header OBU, with its size: the reduced one of still pictures, or the full one
// with timing, a decoder model and two operating points.
Bytes av1SequenceHeader(bool reduced, std::uint32_t width, std::uint32_t height) {
  BitWriter b;
  b.put(0, 3).put(reduced ? 1 : 0, 1).put(reduced ? 1 : 0, 1);
  if (reduced) {
    b.put(8, 5);
  } else {
    b.put(1, 1).put(1, 32).put(25, 32).put(1, 1).golomb(0);
    b.put(1, 1).put(9, 5).put(1, 32).put(4, 5).put(4, 5);
    b.put(1, 1).put(1, 5);
    for (int point = 0; point < 2; ++point) {
      b.put(0x101, 12).put(8, 5).put(1, 1).put(1, 1).put(0, 21).put(1, 1).put(3, 4);
    }
  }
  b.put(15, 4).put(15, 4).put(width - 1, 16).put(height - 1, 16);
  if (reduced) {
    b.put(0, 3);
  } else {
    // No frame numbers, the tools, order hints of 7 bits, screen content tools and integer
    // motion vectors chosen by each frame.
    b.put(0, 1).put(0, 3).put(0, 4).put(1, 1).put(0, 2).put(1, 1).put(1, 1).put(6, 3);
  }
  return obu(1, b.put(1, 1).bytes());
}

// A key frame header OBU for the full sequence header above, of its own size.
Bytes av1KeyFrame(std::uint32_t width, std::uint32_t height) {
  BitWriter b;
  b.put(0, 1).put(0, 2).put(1, 1);  // not shown before, a key frame, shown
  b.put(0, 1).put(1, 1).put(0, 1);  // probabilities, screen content tools, motion vectors
  b.put(1, 1).put(5, 7);            // a size of its own, order hint
  b.put(1, 1).put(3, 5).put(4, 5);  // removal times for both operating points
  return obu(3, b.put(width - 1, 16).put(height - 1, 16).put(1, 1).bytes());
}

// The coded sizes are read through every branch of the headers before them.
TEST(IsoMediaBombs, CodedSizesAreReadPastEveryHeaderField) {
  using coded_size::Size;
  const Bytes sps = hevcSps(3, 1, 4032, 3024);
  Bytes lengthAndSps{0, 0, 0, static_cast<std::uint8_t>(sps.size())};
  lengthAndSps.insert(lengthAndSps.end(), sps.begin(), sps.end());
  const Bytes separatePlanes = hvcConfig(hevcSps(1, 3, 64, 48));
  const Bytes inConfig = hvcConfig(sps);
  const Bytes cutConfig(inConfig.begin(), inConfig.end() - 4);
  Bytes av1Config{0x81, 0, 0, 0};
  const Bytes reduced = av1SequenceHeader(true, 64, 48);
  av1Config.insert(av1Config.end(), reduced.begin(), reduced.end());
  Bytes av1Data{0x12, 0};  // a temporal delimiter first
  const Bytes full = av1SequenceHeader(false, 4096, 3000);
  av1Data.insert(av1Data.end(), full.begin(), full.end());
  Bytes smallerFrame = full;
  const Bytes key = av1KeyFrame(64, 48);
  smallerFrame.insert(smallerFrame.end(), key.begin(), key.end());
  const auto bytes = [](const Bytes& b) { return coded_size::Bytes{b.data(), b.size()}; };
  const struct {
    const char* what;
    std::vector<Size> sizes;
    std::vector<Size> expected;
  } cases[] = {
      {"hevc: in the configuration, three sub-layers",
       coded_size::HevcSizes(bytes(inConfig), {}),
       {{4032, 3024}}},
      {"hevc: in the data, after its length",
       coded_size::HevcSizes({}, bytes(lengthAndSps)),
       {{4032, 3024}}},
      {"hevc: colour planes coded apart",
       coded_size::HevcSizes(bytes(separatePlanes), {}),
       {{64, 48}}},
      {"hevc: configuration cut inside the set", coded_size::HevcSizes(bytes(cutConfig), {}), {}},
      {"av1: reduced header in the configuration, full one in the data",
       coded_size::Av1Sizes(bytes(av1Config), bytes(av1Data)),
       {{64, 48}, {4096, 3000}}},
      {"av1: a key frame coded smaller than the largest size",
       coded_size::Av1Sizes({}, bytes(smallerFrame)),
       {{64, 48}}},
      {"av1: data cut inside the header",
       coded_size::Av1Sizes({}, coded_size::Bytes{av1Data.data(), av1Data.size() - 3}),
       {}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.sizes, c.expected) << c.what;
  }
}

}  // namespace
}  // namespace tessora::testing
