#include "imageio/png_deflate.h"

#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <cstring>
#include <set>
#include <vector>

namespace tessora::testing {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Bands of rows of different content, so that each filter wins somewhere: flat, horizontal and
// vertical ramps, a smooth curve, noise and a diagonal ramp.
struct Picture {
  int width = 0;
  int height = 0;
  int bpp = 3;
  Bytes data;
  std::vector<std::uint8_t*> rows;

  Picture(int w, int h, int bytesPerPixel, unsigned seed)
      : width(w), height(h), bpp(bytesPerPixel) {
    const std::size_t rowBytes = static_cast<std::size_t>(w * bpp);
    data.resize(rowBytes * static_cast<std::size_t>(h));
    unsigned state = seed * 2654435761u + 1;
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        for (int c = 0; c < bpp; ++c) {
          state = state * 1664525u + 1013904223u;
          int v = 0;
          switch ((y / 4) % 6) {
            case 0:
              v = 90 + c;
              break;
            case 1:
              v = x * 3 + c * 17;
              break;
            case 2:
              v = y * 5 + c * 31;
              break;
            case 3:
              v = (x * x + 3 * y * y) / 32 + c;
              break;
            case 4:
              v = static_cast<int>(state >> 24);
              break;
            default:
              v = ((x + y) / 2) * 3 + (x % 2) + c;
              break;
          }
          data[static_cast<std::size_t>(y) * rowBytes + static_cast<std::size_t>(x * bpp + c)] =
              static_cast<std::uint8_t>(v);
        }
      }
    }
    for (int y = 0; y < h; ++y) {
      rows.push_back(data.data() + static_cast<std::size_t>(y) * rowBytes);
    }
  }
  std::size_t rowBytes() const { return static_cast<std::size_t>(width * bpp); }
};

Bytes Inflate(const Bytes& stream) {
  z_stream z{};
  EXPECT_EQ(inflateInit(&z), Z_OK);
  Bytes out(1 << 16);
  z.next_in = const_cast<Bytef*>(stream.data());
  z.avail_in = static_cast<uInt>(stream.size());
  int rc = Z_OK;
  std::size_t size = 0;
  while (rc == Z_OK) {
    if (out.size() - size < 4096) {
      out.resize(out.size() * 2);
    }
    z.next_out = out.data() + size;
    z.avail_out = static_cast<uInt>(out.size() - size);
    rc = inflate(&z, Z_NO_FLUSH);
    size = out.size() - z.avail_out;
  }
  // Z_STREAM_END only comes after the checksum at the end matched.
  EXPECT_EQ(rc, Z_STREAM_END);
  EXPECT_EQ(z.avail_in, 0u) << "bytes after the end of the stream";
  inflateEnd(&z);
  out.resize(size);
  return out;
}

void Append(png_structp png, png_bytep data, png_size_t size) {
  auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + size);
}
void Flush(png_structp) {}

// The zlib stream of the IDAT chunks libpng writes for the picture with its default settings.
Bytes LibpngStream(const Picture& p) {
  Bytes file;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    ADD_FAILURE() << "libpng failed";
    return {};
  }
  png_set_write_fn(png, &file, Append, Flush);
  png_set_IHDR(png, info, static_cast<png_uint_32>(p.width), static_cast<png_uint_32>(p.height), 8,
               p.bpp == 4 ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (std::uint8_t* row : p.rows) {
    png_write_row(png, row);
  }
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);

  Bytes stream;
  for (std::size_t pos = 8; pos + 12 <= file.size();) {
    const std::size_t length = (std::size_t{file[pos]} << 24) | (std::size_t{file[pos + 1]} << 16) |
                               (std::size_t{file[pos + 2]} << 8) | file[pos + 3];
    if (std::memcmp(file.data() + pos + 4, "IDAT", 4) == 0) {
      stream.insert(stream.end(), file.begin() + static_cast<std::ptrdiff_t>(pos + 8),
                    file.begin() + static_cast<std::ptrdiff_t>(pos + 8 + length));
    }
    pos += 12 + length;
  }
  return stream;
}

Bytes FilterAll(const Picture& p) {
  const std::size_t line = p.rowBytes() + 1;
  Bytes out(line * p.rows.size());
  for (std::size_t y = 0; y < p.rows.size(); ++y) {
    FilterPngRow(p.rows[y], y > 0 ? p.rows[y - 1] : nullptr, p.rowBytes(), p.bpp,
                 out.data() + y * line);
  }
  return out;
}

TEST(PngDeflate, RowsAreFilteredAsLibpngFiltersThem) {
  for (const Picture& p :
       {Picture(301, 97, 3, 1), Picture(256, 64, 4, 2), Picture(1, 9, 3, 3), Picture(2, 5, 4, 4)}) {
    const Bytes expected = Inflate(LibpngStream(p));
    const Bytes actual = FilterAll(p);
    ASSERT_EQ(actual.size(), expected.size());
    std::set<int> filters;
    const std::size_t line = p.rowBytes() + 1;
    for (std::size_t y = 0; y < p.rows.size(); ++y) {
      filters.insert(expected[y * line]);
      ASSERT_EQ(0, std::memcmp(actual.data() + y * line, expected.data() + y * line, line))
          << p.width << "x" << p.height << " row " << y << ": filter " << int{actual[y * line]}
          << ", libpng " << int{expected[y * line]};
    }
    if (p.width > 100) {
      EXPECT_EQ(filters.size(), 5u) << "the picture does not make every filter win somewhere";
    }
  }
}

TEST(PngDeflate, OnePieceIsNoLargerThanLibpngsOwnStream) {
  const Picture p(640, 200, 3, 5);
  Bytes ours;
  ASSERT_TRUE(DeflatePngRows(p.rows, p.rowBytes(), p.bpp, ours, 1));
  EXPECT_EQ(Inflate(ours), FilterAll(p));
  EXPECT_LT(static_cast<double>(ours.size()), static_cast<double>(LibpngStream(p).size()) * 1.02);
}

TEST(PngDeflate, PiecesCompressedSideBySideJoinIntoOneValidStream) {
  // 6.5 MB of rows: enough for several pieces.
  const Picture p(1800, 1200, 3, 6);
  Bytes single;
  ASSERT_TRUE(DeflatePngRows(p.rows, p.rowBytes(), p.bpp, single, 1));
  const Bytes filtered = FilterAll(p);
  EXPECT_EQ(Inflate(single), filtered);
  for (unsigned threads : {2u, 3u, 16u}) {
    Bytes pieced;
    ASSERT_TRUE(DeflatePngRows(p.rows, p.rowBytes(), p.bpp, pieced, threads));
    EXPECT_NE(pieced, single) << "expected " << threads << " threads to cut the rows into pieces";
    EXPECT_EQ(Inflate(pieced), filtered) << threads << " threads";
    // Pieces of a megabyte or more lose little by starting afresh.
    EXPECT_LT(static_cast<double>(pieced.size()), static_cast<double>(single.size()) * 1.01);
  }
}

TEST(PngDeflate, EmptyInputIsRefused) {
  Bytes out{1, 2, 3};
  EXPECT_FALSE(DeflatePngRows({}, 12, 3, out));
  EXPECT_TRUE(out.empty());
}

}  // namespace
}  // namespace tessora::testing
