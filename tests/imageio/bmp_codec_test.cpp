#include "imageio/bmp_codec.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include "codec_checks.h"
#include "image_makers.h"
#include "imageio/image_error.h"
#include "support/files.h"
#include "support/pictures.h"
#include "support/temp_dir.h"

namespace tessora::testing {
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

// Pixels the codes skip show the palette's first colour; `rows` are the indices, bottom row first.
TEST(BmpRead, RunLengthCodesThatSkipPixels) {
  struct Case {
    const char* what;
    int bitsPerPixel;
    Bytes codes;
    std::vector<std::vector<int>> rows;
  };
  const Case cases[] = {
      {"delta right 1, up 1", 8, {2, 5, 0, 2, 1, 1, 1, 6, 0, 1}, {{5, 5, 0, 0}, {0, 0, 0, 6}}},
      {"early end of line", 8, {1, 7, 0, 0, 4, 8, 0, 1}, {{7, 0, 0, 0}, {8, 8, 8, 8}}},
      {"early end of bitmap", 8, {4, 9, 0, 1}, {{9, 9, 9, 9}}},
      {"delta past the top, no end code", 8, {2, 3, 0, 2, 0, 9}, {{3, 3, 0, 0}}},
      {"delta past the right edge, run cut there",
       8,
       {0, 2, 9, 0, 2, 4, 0, 0, 1, 4, 0, 1},
       {{0, 0, 0, 0}, {4, 0, 0, 0}}},
      {"rle4 delta into a run cut at the edge",
       4,
       {3, 0x12, 0, 2, 0, 1, 2, 0x34, 0, 1},
       {{1, 2, 1, 0}, {0, 0, 0, 3}}},
      {"rle4 absolute run, then end of line", 4, {0, 3, 0x56, 0x70, 0, 0, 0, 1}, {{5, 6, 7, 0}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    BmpRecipe s;
    s.width = 4;
    s.height = 3;
    s.bitsPerPixel = c.bitsPerPixel;
    s.compression = c.bitsPerPixel == 8 ? 1 : 2;
    s.palette = palette(16);
    s.pixels = c.codes;
    Bitmap expected(4, 3);
    for (int row = 0; row < 3; ++row) {
      for (int x = 0; x < 4; ++x) {
        const int i = row < static_cast<int>(c.rows.size()) ? c.rows[row][x] : 0;
        expected.setPixel(x, 2 - row, fromRgb(s.palette[i]));
      }
    }
    EXPECT_TRUE(SamePicture(read(MakeBmp(s)), expected));
  }
}

// For every field width: the field's place in the pixel and the pixel's size do not matter, no
// value gets darker than a smaller one, values up to 8 bits stay apart, the usual 5- to 8-bit
// fields reach white, and fields beyond 16 bits are read by their top 16 bits.
TEST(BmpRead, BitFieldsOfEveryWidth) {
  const auto fieldFile = [](int bpp, std::uint32_t red, std::uint32_t green,
                            const std::vector<std::uint32_t>& pixels) {
    BmpRecipe s;
    s.width = static_cast<int>(pixels.size());
    s.height = 1;
    s.bitsPerPixel = bpp;
    s.compression = 3;
    s.masks = {red, green, 0};
    s.pixels = PackBmpRows(s.width, 1, bpp, pixels);
    return read(MakeBmp(s));
  };
  for (int bits = 1; bits <= 32; ++bits) {
    SCOPED_TRACE(::testing::Message() << bits << " bits");
    const std::uint64_t top = (std::uint64_t{1} << bits) - 1;
    std::vector<std::uint32_t> fields;  // ascending from 0 to the top value
    for (std::uint64_t k = 0; k <= 40; ++k) {
      fields.push_back(static_cast<std::uint32_t>(top * k / 40));
    }
    if (bits > 16) {
      std::vector<std::uint32_t> high;  // the same values in a 16-bit field
      for (std::uint32_t f : fields) {
        high.push_back(f >> (bits - 16));
      }
      EXPECT_TRUE(SamePicture(fieldFile(32, static_cast<std::uint32_t>(top), 0, fields),
                              fieldFile(32, 0xFFFF, 0, high)));
      continue;
    }
    std::vector<std::uint32_t> wide;  // red at the top of a 32-bit pixel, green at the bottom
    std::vector<std::uint32_t> narrow;
    for (std::uint32_t f : fields) {
      wide.push_back(f << (32 - bits) | f);
      narrow.push_back(f << (16 - bits) | f);
    }
    const std::uint32_t mask = static_cast<std::uint32_t>(top);
    const Bitmap b = fieldFile(32, mask << (32 - bits), mask, wide);
    if (bits <= 8) {
      EXPECT_TRUE(SamePicture(fieldFile(16, mask << (16 - bits), mask, narrow), b));
    }
    for (int x = 0; x < b.width(); ++x) {
      const TColor c = b.pixel(x, 0);
      ASSERT_EQ(GetRValue(c), GetGValue(c)) << x;
      ASSERT_EQ(GetBValue(c), 0) << "a zero mask reads 0";
      if (x > 0) {
        const int before = GetRValue(b.pixel(x - 1, 0));
        ASSERT_TRUE(bits <= 8 && fields[x] != fields[x - 1] ? GetRValue(c) > before
                                                            : GetRValue(c) >= before)
            << x;
      }
    }
    EXPECT_EQ(b.pixel(0, 0), clBlack);
    if (bits >= 5 && bits <= 8) {
      EXPECT_EQ(GetRValue(b.pixel(b.width() - 1, 0)), 255);
    }
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
  rle.pixels = {4, 1, 0, 0, 2, 2};
  fails(MakeBmp(rle), "run-length data ends early");
  rle.pixels = {4, 1, 0, 0, 0, 2, 1};
  fails(MakeBmp(rle), "run-length delta cut short");
  rle.pixels = {0, 4, 1, 2};
  fails(MakeBmp(rle), "absolute run cut short");

  BmpRecipe fields = s;
  fields.bitsPerPixel = 16;
  fields.compression = 3;
  fields.masks = {0x7C00, 0x03E0, 0x0015};
  fields.pixels = PackBmpRows(kW, kH, 16, values(0xFFFF));
  fails(MakeBmp(fields), "blue mask with gaps");
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

// A picture without pixels is written as the headers alone.
TEST(BmpWrite, RoundTripsEveryRowPadding) {
  TempDir folder;
  const std::string name = folder.file("out.bmp");
  for (int w = 0; w <= 5; ++w) {
    for (int h : {1, 3}) {
      SCOPED_TRACE(::testing::Message() << w << " x " << h);
      const Bitmap original = PatternBitmap(w, h, w);
      SaveBmpFile(name, original);
      const Bytes file = readBytes(name);
      const std::size_t stride = (static_cast<std::size_t>(w) * 3 + 3) / 4 * 4;
      EXPECT_EQ(file.size(), 54 + stride * h);
      EXPECT_EQ(file[28], 24);
      EXPECT_EQ(file[22], h) << "positive height: rows bottom-up";
      if (w == 0) {
        continue;
      }
      Bitmap back;
      LoadBmpFile(name, back);
      EXPECT_TRUE(SamePicture(back, original));
    }
  }
}

TEST(BmpWrite, CannotCreateNamesTheFileAndLeavesNothing) {
  TempDir folder;
  const std::string name = folder.file("none/out.bmp");
  EXPECT_TRUE(FailsWith([&] { SaveBmpFile(name, PatternBitmap(2, 2)); },
                        "Cannot create file " + name + ": " + std::strerror(ENOENT)));
  EXPECT_TRUE(filesIn(folder.path(), "").empty());
}

}  // namespace
}  // namespace tessora::testing
