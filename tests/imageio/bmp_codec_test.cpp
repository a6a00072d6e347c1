#include "imageio/bmp_codec.h"

#include <gtest/gtest.h>

#include "image_makers.h"
#include "imageio/image_error.h"
#include "test_support.h"

namespace tessora::test {
namespace {

constexpr int kW = 7;
constexpr int kH = 5;

std::vector<std::uint32_t> palette(int count) {
  std::vector<std::uint32_t> p;
  for (int i = 0; i < count; ++i) {
    p.push_back(PatternSample(i, 50, 2, 0xFFFFFF));
  }
  return p;
}

// Values of the pattern in stored row order (bottom row first unless top-down).
std::vector<std::uint32_t> values(std::uint32_t maxValue) {
  std::vector<std::uint32_t> v;
  for (int y = 0; y < kH; ++y) {
    for (int x = 0; x < kW; ++x) {
      v.push_back(PatternSample(x, y, 0, maxValue));
    }
  }
  return v;
}

TColor fromRgb(std::uint32_t rgb) {
  return RGB(rgb >> 16, rgb >> 8, rgb);
}

// The picture the stored values show; `colorOf` maps a stored value to a colour.
template <typename F>
Bitmap picture(const std::vector<std::uint32_t>& stored, bool topDown, F colorOf) {
  Bitmap b(kW, kH);
  for (int row = 0; row < kH; ++row) {
    for (int x = 0; x < kW; ++x) {
      b.setPixel(x, topDown ? row : kH - 1 - row, colorOf(stored[row * kW + x]));
    }
  }
  return b;
}

Bitmap read(const Bytes& file) {
  Bitmap b = PatternBitmap(2, 2);
  ReadBmpMemory(file.data(), file.size(), b);
  return b;
}

TEST(BmpRead, PaletteDepthsAndHeaders) {
  for (int bpp : {1, 2, 4, 8}) {
    for (int headerSize : {12, 40, 108, 124}) {
      SCOPED_TRACE(::testing::Message() << bpp << " bits, header " << headerSize);
      BmpRecipe s;
      s.headerSize = headerSize;
      s.width = kW;
      s.height = kH;
      s.bitsPerPixel = bpp;
      s.palette = palette(1 << bpp);
      const std::vector<std::uint32_t> v = values((1u << bpp) - 1);
      s.pixels = PackBmpRows(kW, kH, bpp, v);
      EXPECT_TRUE(SamePicture(read(MakeBmp(s)), picture(v, false, [&](std::uint32_t i) {
                                return fromRgb(s.palette[i]);
                              })));
    }
  }
}

TEST(BmpRead, DirectColourWithDefaultAndExplicitMasks) {
  const auto scale = [](std::uint32_t v, int bits) {
    return static_cast<int>(v * 255 / ((1u << bits) - 1));
  };
  BmpRecipe s;
  s.width = kW;
  s.height = -kH;  // top-down rows
  s.bitsPerPixel = 24;
  std::vector<std::uint32_t> v = values(0xFFFFFF);
  s.pixels = PackBmpRows(kW, kH, 24, v);
  EXPECT_TRUE(SamePicture(
      read(MakeBmp(s)), picture(v, true, [](std::uint32_t c) { return RGB(c >> 16, c >> 8, c); })));
  s.height = kH;
  s.bitsPerPixel = 16;  // default 5-5-5
  v = values(0x7FFF);
  s.pixels = PackBmpRows(kW, kH, 16, v);
  EXPECT_TRUE(SamePicture(read(MakeBmp(s)), picture(v, false, [&](std::uint32_t c) {
                            return RGB(scale(c >> 10 & 31, 5), scale(c >> 5 & 31, 5),
                                       scale(c & 31, 5));
                          })));
  s.compression = 3;  // 5-6-5 bit fields
  s.masks = {0xF800, 0x07E0, 0x001F};
  v = values(0xFFFF);
  s.pixels = PackBmpRows(kW, kH, 16, v);
  EXPECT_TRUE(SamePicture(read(MakeBmp(s)), picture(v, false, [&](std::uint32_t c) {
                            return RGB(scale(c >> 11, 5), scale(c >> 5 & 63, 6), scale(c & 31, 5));
                          })));
  s.headerSize = 124;  // 8-8-8 fields in a version 5 header, blue high
  s.bitsPerPixel = 32;
  s.masks = {0x000000FF, 0x0000FF00, 0xFF000000, 0x00FF0000};
  v = values(0xFFFFFFFE);
  s.pixels = PackBmpRows(kW, kH, 32, v);
  EXPECT_TRUE(SamePicture(read(MakeBmp(s)), picture(v, false, [](std::uint32_t c) {
                            return RGB(c, c >> 8, c >> 24);
                          })));
  s.headerSize = 40;  // default 32-bit: x8-8-8-8, alpha byte ignored
  s.compression = 0;
  s.masks.clear();
  EXPECT_TRUE(SamePicture(read(MakeBmp(s)), picture(v, false, [](std::uint32_t c) {
                            return RGB(c >> 16, c >> 8, c);
                          })));
}

TEST(BmpRead, RunLengthEncodedRows) {
  BmpRecipe s;
  s.width = 5;
  s.height = 2;
  s.bitsPerPixel = 8;
  s.compression = 1;
  s.palette = palette(256);
  // Bottom row: a run of two 7s, then an absolute run 1, 2, 3 (padded); end of line; top row:
  // absolute 3, 4, 5 (padded), a run of two 9s, end of bitmap.
  s.pixels = {2, 7, 0, 3, 1, 2, 3, 0, 0, 0, 0, 3, 3, 4, 5, 0, 2, 9, 0, 1};
  Bitmap b = read(MakeBmp(s));
  const auto c = [&](int i) { return fromRgb(s.palette[i]); };
  const TColor bottom[] = {c(7), c(7), c(1), c(2), c(3)};
  const TColor top[] = {c(3), c(4), c(5), c(9), c(9)};
  for (int x = 0; x < 5; ++x) {
    EXPECT_EQ(b.pixel(x, 1), bottom[x]) << x;
    EXPECT_EQ(b.pixel(x, 0), top[x]) << x;
  }
  s.bitsPerPixel = 4;
  s.compression = 2;
  s.palette = palette(16);
  // Bottom: run of 5 nibbles alternating 1, 2; end of line; top: absolute 3, 4, 5 (padded to a
  // word), run of two 6s, end of bitmap.
  s.pixels = {5, 0x12, 0, 0, 0, 3, 0x34, 0x50, 2, 0x66, 0, 1};
  b = read(MakeBmp(s));
  const TColor bottom4[] = {c(1), c(2), c(1), c(2), c(1)};
  const TColor top4[] = {c(3), c(4), c(5), c(6), c(6)};
  for (int x = 0; x < 5; ++x) {
    EXPECT_EQ(b.pixel(x, 1), bottom4[x]) << x;
    EXPECT_EQ(b.pixel(x, 0), top4[x]) << x;
  }
}

TEST(BmpRead, HostileHeadersAndDataFailCleanly) {
  BmpRecipe s;
  s.width = kW;
  s.height = kH;
  s.bitsPerPixel = 24;
  s.pixels = PackBmpRows(kW, kH, 24, values(0xFFFFFF));
  const Bytes good = MakeBmp(s);
  const Bitmap before = PatternBitmap(2, 2);
  auto fails = [&](Bytes file, const char* what) {
    SCOPED_TRACE(what);
    Bitmap b = before;
    EXPECT_TRUE(
        FailsWith([&] { ReadBmpMemory(file.data(), file.size(), b); }, "Error Reading File!"));
    EXPECT_TRUE(SamePicture(b, before));
  };
  fails(Bytes(good.begin(), good.end() - 4), "last row cut short");
  fails(Bytes(good.begin(), good.begin() + 20), "header cut short");
  Bytes big = good;
  big[22] = 0x00;
  big[23] = 0x00;
  big[24] = 0x01;  // 65536 rows promised by a file of 150 bytes
  fails(big, "rows beyond the file");
  Bytes wide = good;
  wide[18] = 0xFF;
  wide[19] = 0xFF;
  wide[20] = 0xFF;
  wide[21] = 0x7F;
  fails(wide, "width beyond the limit");
  Bytes zero = good;
  zero[18] = 0;
  fails(zero, "no width");
  Bytes depth = good;
  depth[28] = 7;
  fails(depth, "7 bits per pixel");
  Bytes magic = good;
  magic[0] = 'X';
  fails(magic, "no BM");
  Bytes header = good;
  header[14] = 200;
  fails(header, "header size past the file");

  BmpRecipe rle;
  rle.width = 4;
  rle.height = -2;
  rle.bitsPerPixel = 8;
  rle.compression = 1;
  rle.palette = palette(4);
  rle.pixels = {4, 1, 0, 0, 4, 2, 0, 1};
  fails(MakeBmp(rle), "run-length rows top-down");
  rle.height = 2;
  rle.pixels = {4, 1, 0, 2, 1, 1, 3, 2, 0, 1};
  fails(MakeBmp(rle), "run-length delta leaves a gap");
  rle.pixels = {4, 1, 0, 0, 2, 2};
  fails(MakeBmp(rle), "run-length data ends early");
}

TEST(BmpRead, IndicesOutsideThePaletteShowBlack) {
  BmpRecipe s;
  s.width = 3;
  s.height = 1;
  s.bitsPerPixel = 8;
  s.palette = {0x102030, 0x405060};
  s.pixels = PackBmpRows(3, 1, 8, {1, 200, 0});
  const Bitmap b = read(MakeBmp(s));
  EXPECT_EQ(b.pixel(0, 0), RGB(0x40, 0x50, 0x60));
  EXPECT_EQ(b.pixel(1, 0), clBlack);
  EXPECT_EQ(b.pixel(2, 0), RGB(0x10, 0x20, 0x30));
}

TEST(BmpWrite, RoundTripsEveryRowPadding) {
  TempFolder folder;
  const std::string name = folder.path("out.bmp");
  for (int w = 1; w <= 5; ++w) {
    for (int h : {1, 3}) {
      SCOPED_TRACE(::testing::Message() << w << " x " << h);
      const Bitmap original = PatternBitmap(w, h, w);
      SaveBmpFile(name, original);
      const Bytes file = ReadBytes(name);
      const std::size_t stride = (static_cast<std::size_t>(w) * 3 + 3) / 4 * 4;
      EXPECT_EQ(file.size(), 54 + stride * h);
      EXPECT_EQ(file[28], 24);
      EXPECT_EQ(file[22], h) << "positive height: rows bottom-up";
      Bitmap back;
      LoadBmpFile(name, back);
      EXPECT_TRUE(SamePicture(back, original));
    }
  }
}

TEST(BmpWrite, CannotCreateNamesTheFileAndLeavesNothing) {
  TempFolder folder;
  const std::string name = folder.path("none/out.bmp");
  EXPECT_TRUE(
      FailsWith([&] { SaveBmpFile(name, PatternBitmap(2, 2)); }, "Cannot create file " + name));
  EXPECT_TRUE(FilesIn(folder.path(""), "").empty());
}

}  // namespace
}  // namespace tessora::test
