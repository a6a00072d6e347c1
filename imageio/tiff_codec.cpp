#include <tiffio.h>

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

#include "imageio/byte_order.h"
#include "imageio/photo_codecs.h"
#include "imageio/photo_reader.h"
#include "imageio/picture_formats.h"

namespace tessora {
namespace {

using photo::Fail;

// The file in memory as libtiff's client I/O sees it: read, seek and map, never write.
struct MemoryFile {
  const std::uint8_t* data;
  std::uint64_t size;
  std::uint64_t pos = 0;
};

tmsize_t readMemory(thandle_t h, void* out, tmsize_t count) {
  auto* file = static_cast<MemoryFile*>(h);
  if (count <= 0) {
    return 0;
  }
  const std::uint64_t n =
      std::min<std::uint64_t>(static_cast<std::uint64_t>(count), file->size - file->pos);
  std::memcpy(out, file->data + file->pos, static_cast<std::size_t>(n));
  file->pos += n;
  return static_cast<tmsize_t>(n);
}

tmsize_t writeNothing(thandle_t /*h*/, void* /*data*/, tmsize_t /*count*/) {
  return 0;
}

toff_t seekMemory(thandle_t h, toff_t offset, int whence) {
  auto* file = static_cast<MemoryFile*>(h);
  const std::uint64_t base = whence == SEEK_CUR ? file->pos : whence == SEEK_END ? file->size : 0;
  if (offset > file->size || base + offset > file->size) {
    return static_cast<toff_t>(-1);
  }
  file->pos = base + offset;
  return file->pos;
}

int closeNothing(thandle_t /*h*/) {
  return 0;
}
toff_t sizeOf(thandle_t h) {
  return static_cast<MemoryFile*>(h)->size;
}

// Strips are read in place, without copies.
int mapMemory(thandle_t h, void** base, toff_t* size) {
  auto* file = static_cast<MemoryFile*>(h);
  *base = const_cast<std::uint8_t*>(file->data);
  *size = file->size;
  return 1;
}
void unmapNothing(thandle_t /*h*/, void* /*base*/, toff_t /*size*/) {}

// Messages would only reach stderr; a failure shows in the call's result.
int quiet(TIFF* /*tif*/, void* /*user*/, const char* /*module*/, const char* /*fmt*/,
          va_list /*args*/) {
  return 1;
}

struct TiffClose {
  void operator()(TIFF* t) const { TIFFClose(t); }
};
struct OptionsFree {
  void operator()(TIFFOpenOptions* o) const { TIFFOpenOptionsFree(o); }
};

// Writers often put the first directory after the pictures' strips: a file cut short loses it.
bool directoryPastEnd(const MemoryFile& file) {
  if (file.size < 8) {
    return true;
  }
  const bool little = file.data[0] == 'I';
  const std::uint32_t offset =
      little ? byte_order::ReadLE32(file.data + 4) : byte_order::ReadBE32(file.data + 4);
  const bool big = (little ? file.data[2] : file.data[3]) == 43;
  return big ? file.size < 16 : offset >= file.size - 2;
}

std::unique_ptr<TIFF, TiffClose> open(MemoryFile& file, const ImageLimits& limits) {
  const std::unique_ptr<TIFFOpenOptions, OptionsFree> options(TIFFOpenOptionsAlloc());
  if (options == nullptr) {
    Fail(photo::kDamaged);
  }
  TIFFOpenOptionsSetMaxSingleMemAlloc(options.get(), static_cast<tmsize_t>(std::min<std::uint64_t>(
                                                         limits.maxDecodedBytes, INT64_MAX)));
  TIFFOpenOptionsSetErrorHandlerExtR(options.get(), quiet, nullptr);
  TIFFOpenOptionsSetWarningHandlerExtR(options.get(), quiet, nullptr);
  std::unique_ptr<TIFF, TiffClose> tif(
      TIFFClientOpenExt("memory", "r", &file, readMemory, writeNothing, seekMemory, closeNothing,
                        sizeOf, mapMemory, unmapNothing, options.get()));
  if (tif == nullptr) {
    Fail(directoryPastEnd(file) ? photo::kTruncated : photo::kDamaged);
  }
  return tif;
}

std::uint16_t field16(TIFF* tif, std::uint32_t tag) {
  std::uint16_t value = 0;
  TIFFGetFieldDefaulted(tif, tag, &value);
  return value;
}

// Whether the strips or tiles the directory names end within the file, and how many of the
// file's bytes they hold: each byte once, however many strips or tiles name it, and never the
// bytes of the tables of their offsets and lengths, which are no picture data.
bool chunksInFile(TIFF* tif, std::uint64_t size, std::uint64_t& coded, std::uint64_t& named) {
  std::uint64_t* offsets = nullptr;
  std::uint64_t* counts = nullptr;
  const bool tiled = TIFFIsTiled(tif) != 0;
  if (TIFFGetField(tif, tiled ? TIFFTAG_TILEOFFSETS : TIFFTAG_STRIPOFFSETS, &offsets) == 0 ||
      TIFFGetField(tif, tiled ? TIFFTAG_TILEBYTECOUNTS : TIFFTAG_STRIPBYTECOUNTS, &counts) == 0 ||
      offsets == nullptr || counts == nullptr) {
    coded = named = size;
    return true;
  }
  const std::uint32_t chunks = tiled ? TIFFNumberOfTiles(tif) : TIFFNumberOfStrips(tif);
  named = 0;
  for (std::uint32_t s = 0; s < chunks; ++s) {
    if (offsets[s] > size || counts[s] > size - offsets[s]) {
      return false;
    }
    named = std::min(size, named + counts[s]);
  }
  // The runs in the order of their offsets, as writers put them; sorted apart only when not.
  std::vector<std::uint32_t> order;
  const auto at = [&](std::uint32_t i) { return order.empty() ? i : order[i]; };
  if (!std::is_sorted(offsets, offsets + chunks)) {
    order.resize(chunks);
    for (std::uint32_t s = 0; s < chunks; ++s) {
      order[s] = s;
    }
    std::sort(order.begin(), order.end(),
              [&](std::uint32_t a, std::uint32_t b) { return offsets[a] < offsets[b]; });
  }
  coded = 0;
  std::uint64_t end = 0;  // the end of the bytes counted so far
  for (std::uint32_t i = 0; i < chunks; ++i) {
    const std::uint64_t from = std::max(end, offsets[at(i)]);
    const std::uint64_t to = offsets[at(i)] + counts[at(i)];
    if (to > from) {
      coded += to - from;
      end = to;
    }
  }
  // Each offset and length takes two bytes at least.
  const std::uint64_t tables = std::uint64_t{4} * chunks;
  coded = std::min(coded, size > tables ? size - tables : 0);
  return true;
}

// What the picture's strips or tiles decode to, in bytes, as libtiff hands them out.
std::uint64_t decodedBytes(TIFF* tif, std::uint32_t height) {
  if (TIFFIsTiled(tif) != 0) {
    return TIFFTileSize64(tif) * TIFFNumberOfTiles(tif);
  }
  std::uint32_t rowsPerStrip = 0;
  TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
  rowsPerStrip = std::clamp<std::uint32_t>(rowsPerStrip, 1, height);
  const std::uint32_t rest = height % rowsPerStrip;
  const std::uint64_t plane = TIFFVStripSize64(tif, rowsPerStrip) * (height / rowsPerStrip) +
                              (rest != 0 ? TIFFVStripSize64(tif, rest) : 0);
  const bool separate = field16(tif, TIFFTAG_PLANARCONFIG) == PLANARCONFIG_SEPARATE;
  return plane * (separate ? field16(tif, TIFFTAG_SAMPLESPERPIXEL) : 1);
}

// Whether a JPEG stream starts a frame coded arithmetically (SOF9 to SOF15 but DHT's neighbours).
bool arithmeticJpeg(const std::uint8_t* p, std::uint64_t size) {
  for (std::uint64_t at = 2; at + 4 <= size && p[at] == 0xFF;) {
    const std::uint8_t marker = p[at + 1];
    if (marker >= 0xC9 && marker <= 0xCF && marker != 0xCC) {
      return true;
    }
    if (marker == 0xDA || (marker >= 0xC0 && marker <= 0xC3)) {
      return false;
    }
    at += 2 + byte_order::ReadBE16(p + at + 2);
  }
  return false;
}

// The most decoded bytes `coded` bytes of strips or tiles can yield, by the best ratio of their
// compression, or nullopt for a compression that can describe a plain area in next to no bytes
// (LERC, JBIG, WebP, arithmetic JPEG), whose pictures cost what real ones of their size cost.
std::optional<double> mostDecoded(TIFF* tif, const MemoryFile& file, std::uint64_t coded,
                                  std::uint32_t width, std::uint32_t height,
                                  std::uint64_t decoded) {
  const double bytes = static_cast<double>(coded);
  const double planes = field16(tif, TIFFTAG_PLANARCONFIG) == PLANARCONFIG_SEPARATE
                            ? field16(tif, TIFFTAG_SAMPLESPERPIXEL)
                            : 1.0;
  const double perRow = static_cast<double>(decoded) / (planes * height);
  const double perPixel = perRow / width;
  std::uint64_t* offsets = nullptr;
  switch (field16(tif, TIFFTAG_COMPRESSION)) {
    case COMPRESSION_NONE:
      return bytes;
    case COMPRESSION_PACKBITS:  // two bytes repeat one 128 times
      return bytes * 64;
    case COMPRESSION_LZW:  // a code of 9 bits or more for one of libtiff's 5119 strings at most
      return bytes * 8 / 9 * 5120;
    case COMPRESSION_ADOBE_DEFLATE:
    case COMPRESSION_DEFLATE:  // 258 bytes from two bits, length and distance
      return bytes * 1032;
    case COMPRESSION_LZMA:  // a repeated match of 273 bytes in under a third of a bit
      return bytes * 16384;
    case COMPRESSION_ZSTD:  // a block of 128 KiB repeating one byte in four
      return bytes * 32768;
    case COMPRESSION_CCITTRLE:
    case COMPRESSION_CCITTRLEW:
    case COMPRESSION_CCITTFAX3:
    case COMPRESSION_CCITTFAX4:  // a row like the one above it in one bit
      return bytes * 8 * planes * perRow;
    case COMPRESSION_OJPEG:  // its tables and data may lie anywhere in the file
      return static_cast<double>(file.size) * 512 * planes * perPixel;
    case COMPRESSION_JPEG:  // Huffman codes of one bit at least for every 8 x 8 block
      if (TIFFGetField(tif, TIFFIsTiled(tif) != 0 ? TIFFTAG_TILEOFFSETS : TIFFTAG_STRIPOFFSETS,
                       &offsets) != 0 &&
          offsets != nullptr && offsets[0] < file.size &&
          arithmeticJpeg(file.data + offsets[0], file.size - offsets[0])) {
        return std::nullopt;
      }
      return bytes * 512 * perPixel;
    default:
      return std::nullopt;
  }
}

// Refuses a picture whose strips or tiles cannot hold what the directory promises before any of
// its memory is taken.
void checkCoded(TIFF* tif, const MemoryFile& file, std::uint32_t width, std::uint32_t height) {
  std::uint64_t coded = 0;
  std::uint64_t named = 0;
  if (!chunksInFile(tif, file.size, coded, named)) {
    Fail(photo::kTruncated);
  }
  // Tiles pad the picture to whole tiles; tiles far larger than the picture are no picture.
  const std::uint64_t decoded = decodedBytes(tif, height);
  const std::uint64_t picture = TIFFScanlineSize64(tif) * height *
                                (field16(tif, TIFFTAG_PLANARCONFIG) == PLANARCONFIG_SEPARATE
                                     ? field16(tif, TIFFTAG_SAMPLESPERPIXEL)
                                     : 1);
  if (decoded == 0 || decoded > 4 * picture + (std::uint64_t{16} << 20)) {
    Fail(photo::kDamaged);
  }
  const std::optional<double> most = mostDecoded(tif, file, coded, width, height, decoded);
  if (!most || static_cast<double>(decoded) <= *most) {
    return;
  }
  // Chunks that would hold the picture if their bytes were their own: name what they share.
  const std::optional<double> unshared = mostDecoded(tif, file, named, width, height, decoded);
  if (coded < named && unshared && static_cast<double>(decoded) <= *unshared) {
    const bool tiled = TIFFIsTiled(tif) != 0;
    Fail(SharedChunksText(tiled ? "tiles" : "strips",
                          tiled ? TIFFNumberOfTiles(tif) : TIFFNumberOfStrips(tif), coded, width,
                          height));
  }
  photo::CheckHolds(false, width, height);
}

// How the picture is read: as stored, samples copied (kinds an 8- or 16-bit PNG also has) or
// converted to 16 bits (32-bit and floating-point samples, 16-bit CMYK), or through libtiff's RGBA
// interface for every other kind.
enum class Path { Copied, Converted, Rgba };

struct Kind {
  Path path = Path::Rgba;
  SampleLayout layout = SampleLayout::Rgba8;
  bool cmyk = false;
  int samplesPerPixel = 0;
  int bits = 0;
  std::uint16_t sampleFormat = SAMPLEFORMAT_UINT;
};

Kind kindOf(TIFF* tif) {
  std::uint16_t extraCount = 0;
  std::uint16_t* extra = nullptr;
  TIFFGetFieldDefaulted(tif, TIFFTAG_EXTRASAMPLES, &extraCount, &extra);
  const std::uint16_t photometric = field16(tif, TIFFTAG_PHOTOMETRIC);
  const int samples = field16(tif, TIFFTAG_SAMPLESPERPIXEL);
  const int bits = field16(tif, TIFFTAG_BITSPERSAMPLE);
  const std::uint16_t format = field16(tif, TIFFTAG_SAMPLEFORMAT);
  const bool alpha = extraCount == 1 && extra != nullptr && extra[0] == EXTRASAMPLE_UNASSALPHA;
  const int colors =
      photometric == PHOTOMETRIC_MINISBLACK                                                 ? 1
      : photometric == PHOTOMETRIC_RGB                                                      ? 3
      : photometric == PHOTOMETRIC_SEPARATED && field16(tif, TIFFTAG_INKSET) == INKSET_CMYK ? 4
                                                                                            : 0;
  const bool uintSamples = format == SAMPLEFORMAT_UINT && (bits == 8 || bits == 16 || bits == 32);
  const bool floatSamples = format == SAMPLEFORMAT_IEEEFP && (bits == 32 || bits == 64);
  Kind k;
  if (field16(tif, TIFFTAG_PLANARCONFIG) != PLANARCONFIG_CONTIG || colors == 0 || extraCount > 1 ||
      (extraCount == 1 && !alpha) || samples != colors + extraCount ||
      !(uintSamples || floatSamples) || (colors == 4 && bits == 8)) {
    return k;
  }
  k.cmyk = colors == 4;
  k.samplesPerPixel = samples;
  k.bits = bits;
  k.sampleFormat = format;
  const bool gray = colors == 1;
  const bool deep = bits > 8;
  k.path = deep && (bits != 16 || floatSamples || k.cmyk) ? Path::Converted : Path::Copied;
  k.layout = gray ? (deep ? (alpha ? SampleLayout::GrayAlpha16 : SampleLayout::Gray16)
                          : (alpha ? SampleLayout::GrayAlpha8 : SampleLayout::Gray8))
                  : (deep ? (alpha ? SampleLayout::Rgba16 : SampleLayout::Rgb16)
                          : (alpha ? SampleLayout::Rgba8 : SampleLayout::Rgb8));
  return k;
}

// Calls row(stored, y) for every row of the picture, top down as stored, from strips or tiles
// of contiguous samples decoded one at a time.
template <typename Row>
void forEachStoredRow(TIFF* tif, std::uint32_t width, std::uint32_t height, Row row) {
  const std::uint64_t rowBytes = TIFFScanlineSize64(tif);
  if (TIFFIsTiled(tif) == 0) {
    std::uint32_t rowsPerStrip = 0;
    TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
    rowsPerStrip = std::clamp<std::uint32_t>(rowsPerStrip, 1, height);
    std::vector<std::uint8_t> strip(static_cast<std::size_t>(TIFFStripSize64(tif)));
    for (std::uint32_t top = 0; top < height; top += rowsPerStrip) {
      const std::uint32_t rows = std::min(rowsPerStrip, height - top);
      const auto need = static_cast<tmsize_t>(rowBytes * rows);
      if (TIFFReadEncodedStrip(tif, TIFFComputeStrip(tif, top, 0), strip.data(), need) != need) {
        Fail(photo::kDamaged);
      }
      for (std::uint32_t r = 0; r < rows; ++r) {
        row(strip.data() + rowBytes * r, top + r);
      }
    }
    return;
  }
  std::uint32_t tileWidth = 0;
  std::uint32_t tileHeight = 0;
  TIFFGetField(tif, TIFFTAG_TILEWIDTH, &tileWidth);
  TIFFGetField(tif, TIFFTAG_TILELENGTH, &tileHeight);
  if (tileWidth == 0 || tileHeight == 0) {
    Fail(photo::kDamaged);
  }
  const std::uint64_t tileRowBytes = TIFFTileRowSize64(tif);
  const std::uint64_t pixelBytes = rowBytes / width;
  std::vector<std::uint8_t> tile(static_cast<std::size_t>(TIFFTileSize64(tif)));
  std::vector<std::uint8_t> band(static_cast<std::size_t>(rowBytes * tileHeight));
  for (std::uint32_t top = 0; top < height; top += tileHeight) {
    const std::uint32_t rows = std::min(tileHeight, height - top);
    for (std::uint32_t left = 0; left < width; left += tileWidth) {
      if (TIFFReadEncodedTile(tif, TIFFComputeTile(tif, left, top, 0, 0), tile.data(),
                              static_cast<tmsize_t>(tile.size())) < 0) {
        Fail(photo::kDamaged);
      }
      const std::uint64_t span = pixelBytes * std::min(tileWidth, width - left);
      for (std::uint32_t r = 0; r < rows; ++r) {
        std::memcpy(band.data() + rowBytes * r + pixelBytes * left, tile.data() + tileRowBytes * r,
                    static_cast<std::size_t>(span));
      }
    }
    for (std::uint32_t r = 0; r < rows; ++r) {
      row(band.data() + rowBytes * r, top + r);
    }
  }
}

// Strips decoded straight into the picture, without a copy.
void readStrips(TIFF* tif, std::uint32_t rowsPerStrip, photo::PixelBuffer& out) {
  const auto height = static_cast<std::uint32_t>(out.pixels.height);
  for (std::uint32_t top = 0; top < height; top += rowsPerStrip) {
    const std::uint32_t rows = std::min(rowsPerStrip, height - top);
    const auto bytes = static_cast<tmsize_t>(out.pixels.stride * rows);
    if (TIFFReadEncodedStrip(tif, TIFFComputeStrip(tif, top, 0), out.row(static_cast<int>(top)),
                             bytes) != bytes) {
      Fail(photo::kDamaged);
    }
  }
}

// Samples as stored: strips straight into the picture, tiles through a band of rows.
void readCopied(TIFF* tif, photo::PixelBuffer& out) {
  const auto width = static_cast<std::uint32_t>(out.pixels.width);
  const auto height = static_cast<std::uint32_t>(out.pixels.height);
  std::uint32_t rowsPerStrip = 0;
  TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
  if (TIFFScanlineSize64(tif) != out.pixels.stride || rowsPerStrip == 0) {
    Fail(photo::kDamaged);
  }
  if (TIFFIsTiled(tif) != 0) {
    forEachStoredRow(tif, width, height, [&](const std::uint8_t* stored, std::uint32_t y) {
      std::memcpy(out.row(static_cast<int>(y)), stored, out.pixels.stride);
    });
  } else {
    readStrips(tif, rowsPerStrip, out);
  }
  if (IsDeep(out.pixels.layout)) {
    HostSamplesToLittleEndian(out.samples16(), out.sampleCount16());
  }
}

// Sample i of a stored row as a 16-bit value: integers keep their high bits, floating-point
// samples span 0 to 1.
std::uint16_t sample16(const std::uint8_t* stored, std::size_t i, const Kind& kind) {
  if (kind.sampleFormat == SAMPLEFORMAT_IEEEFP) {
    double v = 0;
    if (kind.bits == 32) {
      float f = 0;
      std::memcpy(&f, stored + 4 * i, 4);
      v = f;
    } else {
      std::memcpy(&v, stored + 8 * i, 8);
    }
    return static_cast<std::uint16_t>(std::isnan(v) ? 0 : std::clamp(v, 0.0, 1.0) * 65535 + 0.5);
  }
  if (kind.bits == 32) {
    std::uint32_t u = 0;
    std::memcpy(&u, stored + 4 * i, 4);
    return static_cast<std::uint16_t>(u >> 16);
  }
  std::uint16_t u = 0;
  std::memcpy(&u, stored + 2 * i, 2);
  return u;
}

// Samples of 32 bits, floating-point samples and 16-bit CMYK (inks taken away from white, as
// libtiff does with 8-bit inks) into 16-bit gray or RGB.
void readConverted(TIFF* tif, const Kind& kind, photo::PixelBuffer& out) {
  const auto width = static_cast<std::uint32_t>(out.pixels.width);
  if (TIFFScanlineSize64(tif) != std::uint64_t{width} * kind.samplesPerPixel * kind.bits / 8) {
    Fail(photo::kDamaged);
  }
  const int channels = BytesPerPixel(out.pixels.layout) / 2;
  forEachStoredRow(
      tif, width, static_cast<std::uint32_t>(out.pixels.height),
      [&](const std::uint8_t* stored, std::uint32_t y) {
        auto* to = reinterpret_cast<std::uint16_t*>(out.row(static_cast<int>(y)));
        for (std::size_t x = 0; x < width; ++x) {
          const std::size_t first = x * static_cast<std::size_t>(kind.samplesPerPixel);
          std::uint16_t* pixel = to + x * static_cast<std::size_t>(channels);
          if (!kind.cmyk) {
            for (int c = 0; c < channels; ++c) {
              pixel[c] = sample16(stored, first + static_cast<std::size_t>(c), kind);
            }
            continue;
          }
          const std::uint32_t white = 65535 - sample16(stored, first + 3, kind);
          for (int c = 0; c < 3; ++c) {
            const std::uint32_t ink = sample16(stored, first + static_cast<std::size_t>(c), kind);
            pixel[c] = static_cast<std::uint16_t>(((65535 - ink) * white + 32767) / 65535);
          }
          if (channels == 4) {
            pixel[3] = sample16(stored, first + 4, kind);
          }
        }
      });
  HostSamplesToLittleEndian(out.samples16(), out.sampleCount16());
}

struct RgbaImageEnd {
  void operator()(TIFFRGBAImage* image) const { TIFFRGBAImageEnd(image); }
};

// Every other kind through libtiff's RGBA interface, rows as stored, which hands out 8-bit
// samples with alpha premultiplied: taken back to straight alpha for the blending.
void readAsRgba(TIFF* tif, photo::PixelBuffer& out) {
  char message[1024] = {};
  TIFFRGBAImage image{};
  if (TIFFRGBAImageOK(tif, message) == 0 || TIFFRGBAImageBegin(&image, tif, 1, message) == 0) {
    Fail(photo::kDamaged);
  }
  const std::unique_ptr<TIFFRGBAImage, RgbaImageEnd> end(&image);
  image.req_orientation = image.orientation;
  auto* raster = reinterpret_cast<std::uint32_t*>(out.bytes.data());
  if (TIFFRGBAImageGet(&image, raster, static_cast<std::uint32_t>(out.pixels.width),
                       static_cast<std::uint32_t>(out.pixels.height)) == 0) {
    Fail(photo::kDamaged);
  }
  for (std::size_t i = 0; i < out.bytes.size() / 4; ++i) {
    const std::uint32_t v = raster[i];
    const std::uint32_t a = TIFFGetA(v);
    std::uint8_t* p = out.bytes.data() + 4 * i;
    for (int c = 0; c < 3; ++c) {
      const std::uint32_t s = (v >> (8 * c)) & 0xFF;
      p[c] = static_cast<std::uint8_t>(
          a == 0 ? 0 : std::min<std::uint32_t>(255, (s * 255 + a / 2) / a));
    }
    p[3] = static_cast<std::uint8_t>(a);
  }
}

// The picture as it is shown, from its rows as stored: the orientation (1 to 8, as in Exif)
// says where the stored first row and column go.
photo::PixelBuffer upright(photo::PixelBuffer stored, std::uint16_t orientation,
                           const ImageLimits& limits) {
  if (orientation <= ORIENTATION_TOPLEFT || orientation > ORIENTATION_LEFTBOT) {
    return stored;
  }
  // Anti-clockwise quarter turns, then a mirror (0 top and bottom, 1 left and right, -1 none).
  const int turns[] = {0, 0, 2, 0, 1, 3, 1, 1};
  const int mirrors[] = {-1, 1, -1, 0, 0, -1, 1, -1};
  return photo::Turned(stored, turns[orientation - 1], mirrors[orientation - 1], limits);
}

}  // namespace

void ReadTiffMemory(const std::uint8_t* data, std::size_t size, Bitmap& bitmap,
                    const ImageLimits& limits) {
  CheckPictureStart(PictureFormat::Tiff, data, size);
  if (data == nullptr) {
    Fail(photo::kDamaged);
  }
  MemoryFile file{data, size};
  const std::unique_ptr<TIFF, TiffClose> tif = open(file, limits);
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  TIFFGetField(tif.get(), TIFFTAG_IMAGEWIDTH, &width);
  TIFFGetField(tif.get(), TIFFTAG_IMAGELENGTH, &height);
  const Kind kind = kindOf(tif.get());
  photo::CheckSize(width, height, BytesPerPixel(kind.layout), limits);
  checkCoded(tif.get(), file, width, height);
  photo::PixelBuffer out(static_cast<int>(width), static_cast<int>(height), kind.layout, limits);
  switch (kind.path) {
    case Path::Copied:
      readCopied(tif.get(), out);
      break;
    case Path::Converted:
      readConverted(tif.get(), kind, out);
      break;
    case Path::Rgba:
      readAsRgba(tif.get(), out);
      break;
  }
  const photo::PixelBuffer shown =
      upright(std::move(out), field16(tif.get(), TIFFTAG_ORIENTATION), limits);
  photo::DrawOver(bitmap, shown.pixels);
}

}  // namespace tessora
