#include "image_makers.h"

#include <gif_lib.h>
#include <png.h>
#include <zlib.h>

// jpeglib.h needs FILE and size_t declared before it.
#include <jpeglib.h>
#include <cstdio>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <stdexcept>

namespace tessora::testing {
namespace {

[[noreturn]] void pngFailed(png_structp png, png_const_charp) {
  png_longjmp(png, 1);
}

void appendPng(png_structp png, png_bytep data, png_size_t n) {
  auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + n);
}

void noFlush(png_structp) {}

int channelsOf(int colorType) {
  switch (colorType) {
    case 0:
    case 3:
      return 1;
    case 2:
      return 3;
    case 4:
      return 2;
    default:
      return 4;
  }
}

std::uint32_t maxOf(int bitDepth) {
  return (1u << bitDepth) - 1;
}

// Raw samples of the pattern, one uint32 per sample.
std::vector<std::uint32_t> rawSamples(const PngRecipe& s) {
  if (!s.samples.empty()) {
    return s.samples;
  }
  const int ch = channelsOf(s.colorType);
  std::vector<std::uint32_t> v;
  for (int y = 0; y < s.height; ++y) {
    for (int x = 0; x < s.width; ++x) {
      for (int c = 0; c < ch; ++c) {
        v.push_back(PatternSample(x, y, c, maxOf(s.bitDepth)));
      }
    }
  }
  return v;
}

png_color paletteEntry(int i) {
  return png_color{static_cast<png_byte>(i * 73), static_cast<png_byte>(i * 151 + 7),
                   static_cast<png_byte>(i * 29 + 100)};
}

png_byte paletteAlpha(int i) {
  return static_cast<png_byte>(i * 97);
}

Bytes packRows(const PngRecipe& s) {
  const int ch = channelsOf(s.colorType);
  const std::vector<std::uint32_t> v = rawSamples(s);
  const std::size_t rowBits = static_cast<std::size_t>(s.width) * ch * s.bitDepth;
  const std::size_t rowBytes = (rowBits + 7) / 8;
  Bytes rows(rowBytes * s.height, 0);
  std::size_t i = 0;
  for (int y = 0; y < s.height; ++y) {
    std::uint8_t* row = rows.data() + rowBytes * y;
    for (std::size_t k = 0; k < static_cast<std::size_t>(s.width) * ch; ++k, ++i) {
      const std::uint32_t value = v[i];
      if (s.bitDepth == 16) {
        row[2 * k] = static_cast<std::uint8_t>(value >> 8);
        row[2 * k + 1] = static_cast<std::uint8_t>(value);
      } else if (s.bitDepth == 8) {
        row[k] = static_cast<std::uint8_t>(value);
      } else {
        const std::size_t bit = k * s.bitDepth;
        row[bit / 8] =
            static_cast<std::uint8_t>(row[bit / 8] | (value << (8 - s.bitDepth - bit % 8)));
      }
    }
  }
  return rows;
}

bool writePngGuarded(png_structp png, png_infop info, const PngRecipe* s, png_bytepp rows,
                     png_colorp palette, png_bytep alphas, png_color_16p trnsColor) {
  if (setjmp(png_jmpbuf(png)) != 0) {
    return false;
  }
  png_set_IHDR(png, info, s->width, s->height, s->bitDepth, s->colorType,
               s->interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (s->colorType == 3) {
    png_set_PLTE(png, info, palette, 1 << s->bitDepth);
    if (s->trns) {
      png_set_tRNS(png, info, alphas, 1 << s->bitDepth, nullptr);
    }
  } else if (s->trns) {
    png_set_tRNS(png, info, nullptr, 0, trnsColor);
  }
  png_write_info(png, info);
  if (s->interlaced) {
    png_set_interlace_handling(png);
  }
  png_write_image(png, rows);
  png_write_end(png, info);
  return true;
}

}  // namespace

std::uint32_t PatternSample(int x, int y, int channel, std::uint32_t maxValue) {
  std::uint32_t h = static_cast<std::uint32_t>(x) * 73856093u ^
                    static_cast<std::uint32_t>(y) * 19349663u ^
                    static_cast<std::uint32_t>(channel + 1) * 83492791u;
  h ^= h >> 13;
  h *= 0x5bd1e995u;
  h ^= h >> 15;
  return h % (maxValue + 1);
}

Bytes MakePng(const PngRecipe& s) {
  Bytes out;
  Bytes packed = packRows(s);
  const std::size_t rowBytes = packed.size() / s.height;
  std::vector<png_bytep> rows;
  for (int y = 0; y < s.height; ++y) {
    rows.push_back(packed.data() + rowBytes * y);
  }
  std::vector<png_color> palette;
  std::vector<png_byte> alphas;
  for (int i = 0; i < 256; ++i) {
    palette.push_back(paletteEntry(i));
    alphas.push_back(paletteAlpha(i));
  }
  png_color_16 trns{};
  const std::vector<std::uint32_t> raw = rawSamples(s);
  const int ch = channelsOf(s.colorType);
  if (s.trns && raw.size() < 2u * ch) {
    throw std::runtime_error("a tRNS colour needs a second pixel");
  }
  if (s.trns) {
    trns.gray = static_cast<png_uint_16>(raw[ch]);
  }
  if (s.trns && ch >= 3) {
    trns.red = static_cast<png_uint_16>(raw[ch]);
    trns.green = static_cast<png_uint_16>(raw[ch + 1]);
    trns.blue = static_cast<png_uint_16>(raw[ch + 2]);
  }
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, pngFailed, nullptr);
  png_infop info = png_create_info_struct(png);
  png_set_write_fn(png, &out, appendPng, noFlush);
  const bool ok = writePngGuarded(png, info, &s, rows.data(), palette.data(), alphas.data(), &trns);
  png_destroy_write_struct(&png, &info);
  if (!ok) {
    throw std::runtime_error("libpng could not write the test image");
  }
  return out;
}

std::vector<std::uint8_t> PngExpectedRgba(const PngRecipe& s) {
  const int ch = channelsOf(s.colorType);
  const std::vector<std::uint32_t> raw = rawSamples(s);
  const std::uint32_t maxValue = maxOf(s.bitDepth);
  auto to8 = [&](std::uint32_t v) {
    return static_cast<std::uint8_t>(s.bitDepth == 16 ? v >> 8 : v * 255 / maxValue);
  };
  std::vector<std::uint8_t> out;
  const std::size_t n = static_cast<std::size_t>(s.width) * s.height;
  for (std::size_t p = 0; p < n; ++p) {
    const std::uint32_t* v = raw.data() + p * ch;
    std::uint8_t rgba[4] = {0, 0, 0, 255};
    if (s.colorType == 3) {
      const png_color c = paletteEntry(static_cast<int>(v[0]));
      rgba[0] = c.red;
      rgba[1] = c.green;
      rgba[2] = c.blue;
      rgba[3] = s.trns ? paletteAlpha(static_cast<int>(v[0])) : 255;
    } else {
      const bool gray = ch <= 2;
      for (int c = 0; c < 3; ++c) {
        rgba[c] = to8(v[gray ? 0 : c]);
      }
      if (ch == 2 || ch == 4) {
        rgba[3] = to8(v[ch - 1]);
      } else if (s.trns) {
        bool same = true;
        for (int c = 0; c < ch; ++c) {
          same = same && v[c] == raw[static_cast<std::size_t>(ch + c)];
        }
        rgba[3] = same ? 0 : 255;
      }
    }
    out.insert(out.end(), rgba, rgba + 4);
  }
  return out;
}

std::vector<double> PngExpectedUnit(const PngRecipe& s) {
  const std::vector<std::uint8_t> rgba8 = PngExpectedRgba(s);
  std::vector<double> out(rgba8.begin(), rgba8.end());
  for (double& v : out) {
    v /= 255.0;
  }
  if (s.bitDepth != 16) {
    return out;
  }
  const int ch = channelsOf(s.colorType);
  const std::vector<std::uint32_t> raw = rawSamples(s);
  for (std::size_t p = 0; p < out.size() / 4; ++p) {
    const std::uint32_t* v = raw.data() + p * ch;
    for (int c = 0; c < 3; ++c) {
      out[4 * p + c] = v[ch <= 2 ? 0 : c] / 65535.0;
    }
    if (ch == 2 || ch == 4) {
      out[4 * p + 3] = v[ch - 1] / 65535.0;
    }
  }
  return out;
}

namespace {

int appendGif(GifFileType* gif, const GifByteType* data, int n) {
  auto* out = static_cast<Bytes*>(gif->UserData);
  out->insert(out->end(), data, data + n);
  return n;
}

ColorMapObject* makeMap(const std::vector<std::uint32_t>& colors) {
  std::vector<GifColorType> c;
  for (std::uint32_t rgb : colors) {
    c.push_back(GifColorType{static_cast<GifByteType>(rgb >> 16),
                             static_cast<GifByteType>(rgb >> 8), static_cast<GifByteType>(rgb)});
  }
  return GifMakeMapObject(static_cast<int>(c.size()), c.data());
}

}  // namespace

Bytes MakeGif(int screenWidth, int screenHeight, const std::vector<std::uint32_t>& globalColors,
              const std::vector<GifFrame>& frames) {
  Bytes out;
  int error = 0;
  GifFileType* gif = EGifOpen(&out, appendGif, &error);
  if (gif == nullptr) {
    throw std::runtime_error("giflib could not start");
  }
  EGifSetGifVersion(gif, true);
  ColorMapObject* global = globalColors.empty() ? nullptr : makeMap(globalColors);
  bool ok = EGifPutScreenDesc(gif, screenWidth, screenHeight, 8, 0, global) == GIF_OK;
  GifFreeMapObject(global);
  for (const GifFrame& f : frames) {
    if (f.transparentIndex >= 0) {
      GraphicsControlBlock gcb{};
      gcb.TransparentColor = f.transparentIndex;
      gcb.DisposalMode = DISPOSAL_UNSPECIFIED;
      GifByteType ext[4];
      const std::size_t len = EGifGCBToExtension(&gcb, ext);
      ok =
          ok && EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(len), ext) == GIF_OK;
    }
    ColorMapObject* local = f.localColors.empty() ? nullptr : makeMap(f.localColors);
    ok = ok &&
         EGifPutImageDesc(gif, f.left, f.top, f.width, f.height, f.interlaced, local) == GIF_OK;
    GifFreeMapObject(local);
    std::vector<int> order;
    if (f.interlaced) {
      const int start[] = {0, 4, 2, 1};
      const int step[] = {8, 8, 4, 2};
      for (int p = 0; p < 4; ++p) {
        for (int y = start[p]; y < f.height; y += step[p]) {
          order.push_back(y);
        }
      }
    } else {
      for (int y = 0; y < f.height; ++y) {
        order.push_back(y);
      }
    }
    for (int y : order) {
      std::vector<GifByteType> line(f.indices.begin() + y * f.width,
                                    f.indices.begin() + (y + 1) * f.width);
      ok = ok && EGifPutLine(gif, line.data(), f.width) == GIF_OK;
    }
  }
  if (EGifCloseFile(gif, &error) != GIF_OK || !ok) {
    throw std::runtime_error("giflib could not write the test image");
  }
  return out;
}

Bytes PngChunk(const std::string& type, const Bytes& data) {
  Bytes chunk(8 + data.size() + 4);
  png_save_uint_32(chunk.data(), static_cast<png_uint_32>(data.size()));
  std::copy(type.begin(), type.end(), chunk.begin() + 4);
  std::copy(data.begin(), data.end(), chunk.begin() + 8);
  const uLong crc = crc32(0, chunk.data() + 4, static_cast<uInt>(4 + data.size()));
  png_save_uint_32(chunk.data() + 8 + data.size(), static_cast<png_uint_32>(crc));
  return chunk;
}

Bytes AssemblePng(int width, int height, bool interlaced, const std::vector<Bytes>& chunks) {
  Bytes file{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  Bytes header(13, 0);
  png_save_uint_32(header.data(), static_cast<png_uint_32>(width));
  png_save_uint_32(header.data() + 4, static_cast<png_uint_32>(height));
  header[8] = 8;
  header[9] = 2;
  header[12] = interlaced ? 1 : 0;
  const Bytes ihdr = PngChunk("IHDR", header);
  file.insert(file.end(), ihdr.begin(), ihdr.end());
  for (const Bytes& chunk : chunks) {
    file.insert(file.end(), chunk.begin(), chunk.end());
  }
  return file;
}

Bytes ZlibStream(int emptyBlocks, const Bytes& data) {
  Bytes out{0x78, 0x01};
  for (int i = 0; i < emptyBlocks; ++i) {
    out.insert(out.end(), {0x00, 0x00, 0x00, 0xFF, 0xFF});  // stored, length 0
  }
  // Raw deflate after the hand-made header and blocks; runs code as matches, quickly.
  z_stream z{};
  deflateInit2(&z, 9, Z_DEFLATED, -15, 8, Z_RLE);
  const std::size_t at = out.size();
  out.resize(at + deflateBound(&z, data.size()));
  z.next_in = const_cast<Bytef*>(data.data());
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = out.data() + at;
  z.avail_out = static_cast<uInt>(out.size() - at);
  deflate(&z, Z_FINISH);
  out.resize(at + z.total_out);
  deflateEnd(&z);
  const uLong adler = adler32(adler32(0, nullptr, 0), data.data(), static_cast<uInt>(data.size()));
  for (int shift = 24; shift >= 0; shift -= 8) {
    out.push_back(static_cast<std::uint8_t>(adler >> shift));
  }
  return out;
}

Bytes MakeHandMadeJpeg(int side, int skippingScans, bool impossibleScan) {
  Bytes f{0xFF, 0xD8};
  auto segment = [&f](std::uint8_t marker, const Bytes& data) {
    const std::size_t n = data.size() + 2;
    f.insert(f.end(),
             {0xFF, marker, static_cast<std::uint8_t>(n >> 8), static_cast<std::uint8_t>(n)});
    f.insert(f.end(), data.begin(), data.end());
  };
  Bytes quant(65, 1);
  quant[0] = 0;
  segment(0xDB, quant);
  const auto hi = static_cast<std::uint8_t>(side >> 8);
  const auto lo = static_cast<std::uint8_t>(side);
  segment(0xC2, {8, hi, lo, hi, lo, 1, 1, 0x11, 0});
  // First coefficients: codes 00 (no change) and 01 (a step of one). Others: the one code 00, a
  // run of 2^14 empty blocks and more as told by 14 further bits.
  segment(0xC4, {0x00, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,   1,  //
                 0x10, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xE0});
  const int blocks = (side / 8) * (side / 8);
  segment(0xDA, {1, 1, 0x00, 0, 0, 0});
  // 01 1 (up), 01 0 (down): eight blocks in three bytes.
  for (int i = 0; i < blocks / 8; ++i) {
    f.insert(f.end(), {0x69, 0xA6, 0x9A});
  }
  // Runs of 2^14 + 0b10101010101010 = 27306 empty blocks, two bytes each: 00 10101010101010.
  Bytes runs;
  for (int run = 0; run < blocks; run += 27306) {
    runs.insert(runs.end(), {0x2A, 0xAA});
  }
  for (int i = 0; i < skippingScans; ++i) {
    segment(0xDA, {1, 1, 0x00, 1, 63, 0});
    f.insert(f.end(), runs.begin(), runs.end());
  }
  if (impossibleScan) {
    segment(0xDA, {1, 1, 0x00, 1, 0, 0});
  }
  f.insert(f.end(), {0xFF, 0xD9});
  return f;
}

}  // namespace tessora::testing

namespace tessora::testing {
namespace {

void putLE(Bytes& b, std::size_t at, std::uint32_t v, int n) {
  for (int i = 0; i < n; ++i) {
    b.at(at + i) = static_cast<std::uint8_t>(v >> (8 * i));
  }
}

}  // namespace

Bytes MakeBmp(const BmpRecipe& s) {
  const bool core = s.headerSize == 12;
  const std::size_t maskBytes =
      s.headerSize == 40 && (s.compression == 3 || s.compression == 6) ? 4 * s.masks.size() : 0;
  const std::size_t paletteBytes = s.palette.size() * (core ? 3 : 4);
  const std::size_t offBits = 14 + s.headerSize + maskBytes + paletteBytes;
  Bytes b(offBits + s.pixels.size(), 0);
  putLE(b, 0, 0x4D42, 2);  // "BM"
  putLE(b, 2, static_cast<std::uint32_t>(b.size()), 4);
  putLE(b, 10, static_cast<std::uint32_t>(offBits), 4);
  putLE(b, 14, static_cast<std::uint32_t>(s.headerSize), 4);
  if (core) {
    putLE(b, 18, static_cast<std::uint32_t>(s.width), 2);
    putLE(b, 20, static_cast<std::uint32_t>(s.height), 2);
    putLE(b, 22, 1, 2);
    putLE(b, 24, static_cast<std::uint32_t>(s.bitsPerPixel), 2);
  } else {
    putLE(b, 18, static_cast<std::uint32_t>(s.width), 4);
    putLE(b, 22, static_cast<std::uint32_t>(s.height), 4);
    putLE(b, 26, 1, 2);
    putLE(b, 28, static_cast<std::uint32_t>(s.bitsPerPixel), 2);
    putLE(b, 30, s.compression, 4);
    putLE(b, 34, static_cast<std::uint32_t>(s.pixels.size()), 4);
    putLE(b, 46, static_cast<std::uint32_t>(s.palette.size()), 4);
    for (std::size_t i = 0; i < s.masks.size(); ++i) {
      putLE(b, 54 + 4 * i, s.masks[i], 4);
    }
  }
  std::size_t at = 14 + s.headerSize + maskBytes;
  for (std::uint32_t c : s.palette) {
    b[at] = static_cast<std::uint8_t>(c);
    b[at + 1] = static_cast<std::uint8_t>(c >> 8);
    b[at + 2] = static_cast<std::uint8_t>(c >> 16);
    at += core ? 3 : 4;
  }
  std::copy(s.pixels.begin(), s.pixels.end(), b.begin() + static_cast<std::ptrdiff_t>(offBits));
  return b;
}

Bytes PackBmpRows(int width, int rows, int bpp, const std::vector<std::uint32_t>& values) {
  const std::size_t stride = (static_cast<std::size_t>(width) * bpp + 31) / 32 * 4;
  Bytes out(stride * rows, 0);
  for (int y = 0; y < rows; ++y) {
    for (int x = 0; x < width; ++x) {
      const std::uint32_t v = values[static_cast<std::size_t>(y) * width + x];
      std::uint8_t* row = out.data() + stride * y;
      if (bpp >= 8) {
        for (int i = 0; i < bpp / 8; ++i) {
          row[x * (bpp / 8) + i] = static_cast<std::uint8_t>(v >> (8 * i));
        }
      } else {
        const std::size_t bit = static_cast<std::size_t>(x) * bpp;
        row[bit / 8] = static_cast<std::uint8_t>(row[bit / 8] | (v << (8 - bpp - bit % 8)));
      }
    }
  }
  return out;
}

namespace {

struct JpegSettings {
  bool gray = false;
  bool progressive = false;
  int quality = 90;
  int hSamp = 2;
  int vSamp = 2;
  int restartRows = 0;
};

// Encodes with libjpeg the picture whose sample (x, y, component) is `sample`.
Bytes EncodeJpeg(int width, int height, const JpegSettings& s,
                 const std::function<int(int, int, int)>& sample) {
  jpeg_compress_struct info{};
  jpeg_error_mgr errors{};
  info.err = jpeg_std_error(&errors);
  jpeg_CreateCompress(&info, JPEG_LIB_VERSION, sizeof(info));
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&info, &buffer, &size);
  info.image_width = static_cast<JDIMENSION>(width);
  info.image_height = static_cast<JDIMENSION>(height);
  info.input_components = s.gray ? 1 : 3;
  info.in_color_space = s.gray ? JCS_GRAYSCALE : JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, s.quality, TRUE);
  if (!s.gray) {
    info.comp_info[0].h_samp_factor = s.hSamp;
    info.comp_info[0].v_samp_factor = s.vSamp;
  }
  info.restart_in_rows = s.restartRows;
  if (s.progressive) {
    jpeg_simple_progression(&info);
  }
  jpeg_start_compress(&info, TRUE);
  std::vector<JSAMPLE> row(static_cast<std::size_t>(width) * info.input_components);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      for (int c = 0; c < info.input_components; ++c) {
        row[static_cast<std::size_t>(x) * info.input_components + c] =
            static_cast<JSAMPLE>(sample(x, y, c) & 0xFF);
      }
    }
    JSAMPROW r = row.data();
    jpeg_write_scanlines(&info, &r, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  Bytes out(buffer, buffer + size);
  std::free(buffer);
  return out;
}

}  // namespace

Bytes MakeJpeg(int width, int height, bool gray, bool progressive) {
  JpegSettings s;
  s.gray = gray;
  s.progressive = progressive;
  return EncodeJpeg(width, height, s, [width](int x, int y, int c) {
    return x * 255 / std::max(1, width - 1) + c * 60 + y * 3;
  });
}

Bytes MakeSampledJpeg(int width, int height, bool gray, int hSamp, int vSamp, int restartRows) {
  JpegSettings s;
  s.gray = gray;
  s.quality = 88;
  s.hSamp = hSamp;
  s.vSamp = vSamp;
  s.restartRows = restartRows;
  std::uint32_t noise = 99;
  return EncodeJpeg(width, height, s, [&noise](int x, int y, int c) {
    noise = noise * 1664525u + 1013904223u;
    const int wave = ((x / (7 + c)) ^ (y / (5 + c))) & 1 ? 70 : 0;
    return x + 2 * y + c * 50 + wave + static_cast<int>(noise >> 28);
  });
}

}  // namespace tessora::testing
