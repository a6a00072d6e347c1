#include "picture_bombs.h"

#include <tiffio.h>

#include <algorithm>
#include <array>
#include <cstdint>

namespace tessora::testing {
namespace {

void put(Bytes& b, std::uint32_t v, int n) {
  for (int i = 0; i < n; ++i) {
    b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
  }
}

// Bits packed from the least significant one up, as WebP's lossless and JPEG XL's headers are.
struct BitWriter {
  Bytes bytes;
  int used = 0;
  void bits(std::uint32_t v, int n) {
    for (int i = 0; i < n; ++i, ++used) {
      if (used % 8 == 0) {
        bytes.push_back(0);
      }
      bytes.back() |= static_cast<std::uint8_t>(((v >> i) & 1) << (used % 8));
    }
  }
};

Bytes chunk(const char* tag, const Bytes& data) {
  Bytes c(tag, tag + 4);
  put(c, static_cast<std::uint32_t>(data.size()), 4);
  c.insert(c.end(), data.begin(), data.end());
  if (data.size() % 2 != 0) {
    c.push_back(0);
  }
  return c;
}

Bytes riff(const Bytes& chunks) {
  Bytes f{'R', 'I', 'F', 'F'};
  put(f, static_cast<std::uint32_t>(chunks.size() + 4), 4);
  f.insert(f.end(), {'W', 'E', 'B', 'P'});
  f.insert(f.end(), chunks.begin(), chunks.end());
  return f;
}

// A lossless bitstream's header, with alpha; `solid` adds the codes of a picture of one colour:
// no transform, no colour cache, and five prefix codes of a single symbol, which cost no bits.
Bytes losslessBitstream(int width, int height, bool solid) {
  BitWriter w;
  w.bits(0x2F, 8);
  w.bits(static_cast<std::uint32_t>(width - 1), 14);
  w.bits(static_cast<std::uint32_t>(height - 1), 14);
  w.bits(1, 1);
  w.bits(0, 3);
  if (solid) {
    w.bits(0, 3);
    for (const std::uint32_t symbol : {200u, 30u, 60u, 255u}) {  // green, red, blue, alpha
      w.bits(1, 1);                                              // simple code of one 8-bit symbol
      w.bits(0, 1);
      w.bits(1, 1);
      w.bits(symbol, 8);
    }
    w.bits(0b0001, 4);  // distance: one 1-bit symbol
  }
  return w.bytes;
}

// A lossy key frame's header for a picture of width x height, then `data` zero bytes.
Bytes lossyBitstream(int width, int height, std::uint32_t data) {
  Bytes b;
  put(b, (data << 5) | 0x10, 3);  // key frame, version 0, shown, first partition of `data` bytes
  b.insert(b.end(), {0x9D, 0x01, 0x2A});
  put(b, static_cast<std::uint32_t>(width), 2);
  put(b, static_cast<std::uint32_t>(height), 2);
  b.resize(b.size() + data);
  return b;
}

Bytes animatedWebp(int canvasWidth, int canvasHeight, const Bytes& frame, int frameSide) {
  Bytes vp8x{0x12, 0, 0, 0};  // animation and alpha
  put(vp8x, static_cast<std::uint32_t>(canvasWidth - 1), 3);
  put(vp8x, static_cast<std::uint32_t>(canvasHeight - 1), 3);
  Bytes anmf;
  put(anmf, 0, 3);  // at 0, 0
  put(anmf, 0, 3);
  put(anmf, static_cast<std::uint32_t>(frameSide - 1), 3);
  put(anmf, static_cast<std::uint32_t>(frameSide - 1), 3);
  put(anmf, 100, 3);
  anmf.push_back(0);
  const Bytes image = chunk("VP8L", frame);
  anmf.insert(anmf.end(), image.begin(), image.end());
  Bytes chunks = chunk("VP8X", vp8x);
  for (const Bytes& c : {chunk("ANIM", Bytes(6, 0)), chunk("ANMF", anmf)}) {
    chunks.insert(chunks.end(), c.begin(), c.end());
  }
  return riff(chunks);
}

// A JPEG XL codestream's size header and default metadata, and nothing after them.
Bytes jxlHeader(std::uint32_t width, std::uint32_t height) {
  BitWriter w;
  w.bits(0x0AFF, 16);
  w.bits(0, 1);  // not a small size
  const auto side = [&w](std::uint32_t v) {
    const int widths[] = {9, 13, 18, 30};
    int selector = 0;
    while ((v - 1) >> widths[selector] != 0) {
      ++selector;
    }
    w.bits(static_cast<std::uint32_t>(selector), 2);
    w.bits(v - 1, widths[selector]);
  };
  side(height);
  w.bits(0, 3);  // no fixed ratio: the width follows
  side(width);
  w.bits(1, 1);  // all metadata default
  return w.bytes;
}

// A little-endian TIFF of one directory whose `strips` strips all hold the same bytes, or with
// `tileSide` its tiles of that side; with `step` each strip or tile starts that many bytes after
// the one before, so that they overlap.
struct HandMadeTiff {
  std::uint32_t width;
  std::uint32_t height;
  int bits;
  int samples;
  int photometric;
  int compression;
  Bytes strip;
  std::uint32_t strips = 1;
  std::uint32_t tileSide = 0;
  std::uint32_t step = 0;
};

Bytes tiffOf(HandMadeTiff t) {
  if (t.tileSide > 0) {
    t.strips = (t.width + t.tileSide - 1) / t.tileSide * ((t.height + t.tileSide - 1) / t.tileSide);
    t.strip.resize(t.strip.size() + std::size_t{t.step} * (t.strips - 1));
  }
  Bytes f{'I', 'I', 42, 0};
  const std::uint32_t stripAt = 8;
  const std::uint32_t arraysAt = stripAt + static_cast<std::uint32_t>(t.strip.size() + 1) / 2 * 2;
  const std::uint32_t countsAt = arraysAt + 4 * t.strips;
  const std::uint32_t bitsAt = countsAt + 4 * t.strips;
  const std::uint32_t directoryAt = bitsAt + 2 * static_cast<std::uint32_t>(t.samples) + 2;
  put(f, directoryAt, 4);
  f.insert(f.end(), t.strip.begin(), t.strip.end());
  f.resize(arraysAt);
  for (std::uint32_t s = 0; s < t.strips; ++s) {
    put(f, stripAt + s * t.step, 4);
  }
  for (std::uint32_t s = 0; s < t.strips; ++s) {
    put(f, static_cast<std::uint32_t>(t.strip.size() - std::size_t{t.step} * (t.strips - 1)), 4);
  }
  for (int s = 0; s < t.samples + 1; ++s) {
    put(f, static_cast<std::uint32_t>(t.bits), 2);
  }
  const bool arrays = t.strips > 1;
  const bool bitsArray = t.samples > 2;
  std::vector<std::array<std::uint32_t, 4>> entries = {
      {256, 4, 1, t.width},
      {257, 4, 1, t.height},
      {258, 3, static_cast<std::uint32_t>(t.samples),
       bitsArray ? bitsAt : static_cast<std::uint32_t>(t.bits)},
      {259, 3, 1, static_cast<std::uint32_t>(t.compression)},
      {262, 3, 1, static_cast<std::uint32_t>(t.photometric)},
      {277, 3, 1, static_cast<std::uint32_t>(t.samples)},
  };
  const std::uint32_t counts = arrays ? countsAt : static_cast<std::uint32_t>(t.strip.size());
  if (t.tileSide > 0) {
    entries.push_back({322, 4, 1, t.tileSide});
    entries.push_back({323, 4, 1, t.tileSide});
    entries.push_back({324, 4, t.strips, arrays ? arraysAt : stripAt});
    entries.push_back({325, 4, t.strips, counts});
  } else {
    entries.push_back({273, 4, t.strips, arrays ? arraysAt : stripAt});
    entries.push_back({278, 4, 1, (t.height + t.strips - 1) / t.strips});
    entries.push_back({279, 4, t.strips, counts});
  }
  std::sort(entries.begin(), entries.end());
  put(f, static_cast<std::uint32_t>(entries.size()), 2);
  for (const auto& e : entries) {
    put(f, e[0], 2);
    put(f, e[1], 2);
    put(f, e[2], 4);
    put(f, e[3], 4);
  }
  put(f, 0, 4);
  return f;
}

}  // namespace

std::vector<PictureBomb> PictureBombs() {
  const std::string tooShort = "file is too short for a picture of ";
  const std::string ownBytes = " bytes of their own, too few for a picture of ";
  Bytes lossless = losslessBitstream(16383, 16383, false);
  lossless.resize(lossless.size() + 8);
  // Eleven bytes of a zlib stream of zeros.
  const Bytes deflated{0x78, 0x9C, 0x63, 0x60, 0x60, 0x00, 0x00, 0x00, 0x03, 0x00, 0x01};
  Bytes kilobyte = deflated;
  kilobyte.resize(1000);
  return {
      {"lossless-16383x16383-in-8-bytes", "webp", riff(chunk("VP8L", lossless)),
       "damaged or not supported"},
      {"lossy-16383x16383-in-40-bytes", "webp",
       riff(chunk("VP8 ", lossyBitstream(16383, 16383, 30))), tooShort + "16383 x 16383"},
      {"canvas-65535x8192-of-a-1x1-frame", "webp",
       animatedWebp(65535, 8192, losslessBitstream(1, 1, true), 1),
       "animation canvas of 65535 x 8192 is too large for its first frame of 1 x 1"},
      {"header-65535x8192-alone", "jxl", jxlHeader(65535, 8192),
       "picture of 65535 x 8192 needs more memory than "},
      {"header-16384x16384-alone", "jxl", jxlHeader(16384, 16384), "truncated"},
      {"deflate-1-bit-23170x23170-in-11-bytes", "tiff",
       tiffOf({23170, 23170, 1, 1, PHOTOMETRIC_MINISBLACK, COMPRESSION_ADOBE_DEFLATE, deflated}),
       tooShort + "23170 x 23170"},
      {"jpeg-16383x16383-in-4-bytes", "tiff",
       tiffOf({16383, 16383, 8, 3, PHOTOMETRIC_RGB, COMPRESSION_JPEG, {0xFF, 0xD8, 0xFF, 0xD9}}),
       tooShort + "16383 x 16383"},
      {"plain-20000x20000-strips-sharing-1000-bytes", "tiff",
       tiffOf({20000, 20000, 8, 1, PHOTOMETRIC_MINISBLACK, COMPRESSION_NONE, Bytes(1000, 7), 2}),
       tooShort + "20000 x 20000"},
      // Chunks naming a few bytes again and again: their offset table is most of the file.
      {"deflate-tiled-2048x2048-tiles-sharing-11-bytes", "tiff",
       tiffOf(
           {2048, 2048, 8, 1, PHOTOMETRIC_MINISBLACK, COMPRESSION_ADOBE_DEFLATE, deflated, 1, 32}),
       "4096 tiles hold only 11" + ownBytes + "2048 x 2048"},
      {"deflate-2048x2048-strips-of-a-row-sharing-11-bytes", "tiff",
       tiffOf({2048, 2048, 8, 3, PHOTOMETRIC_RGB, COMPRESSION_ADOBE_DEFLATE, deflated, 2048}),
       "2048 strips hold only 11" + ownBytes + "2048 x 2048"},
      {"deflate-tiled-2048x2048-tiles-of-1000-bytes-one-byte-apart", "tiff",
       tiffOf({2048, 2048, 8, 1, PHOTOMETRIC_MINISBLACK, COMPRESSION_ADOBE_DEFLATE, kilobyte, 1, 64,
               1}),
       "1024 tiles hold only 2023" + ownBytes + "2048 x 2048"},
      {"lzw-20000x20000-strips-sharing-1000-bytes", "tiff",
       tiffOf({20000, 20000, 8, 3, PHOTOMETRIC_RGB, COMPRESSION_LZW, Bytes(1000, 0x80), 2}),
       tooShort + "20000 x 20000"},
  };
}

}  // namespace tessora::testing
