#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/bitmap.h"
#include "support/files.h"

// Builders of image files for the tests and the fuzz seeds, made with the libraries' own encoders
// (libpng, giflib) or byte by byte (BMP), so the readers are checked against independent input.
namespace tessora::testing {

/// A PNG of a fixed pseudo-random pattern in any colour type and bit depth.
struct PngRecipe {
  int width = 7;
  int height = 5;
  int colorType = 2;  // 0 gray, 2 RGB, 3 palette, 4 gray+alpha, 6 RGBA
  int bitDepth = 8;
  bool interlaced = false;
  bool trns = false;  // gray/RGB: the colour of pixel (1, 0) is transparent; palette: alphas
  std::vector<std::uint32_t> samples;  // all samples row by row; empty: the pattern
};

/// The file for `recipe`, written by libpng.
Bytes MakePng(const PngRecipe& recipe);
/// What the file holds, as 8-bit RGBA per pixel (16-bit samples cut to their high byte).
std::vector<std::uint8_t> PngExpectedRgba(const PngRecipe& recipe);
/// What the file holds, as RGBA per pixel in 0..1 at the file's full precision.
std::vector<double> PngExpectedUnit(const PngRecipe& recipe);

/// One frame of a GIF.
struct GifFrame {
  int left = 0;
  int top = 0;
  int width = 4;
  int height = 3;
  std::vector<std::uint8_t> indices;  // width * height, rows top down
  int transparentIndex = -1;          // -1: no graphic control block
  bool interlaced = false;
  std::vector<std::uint32_t> localColors;  // 0x00RRGGBB, empty: the global map
};

/// A PNG put together chunk by chunk, for files no encoder writes: the signature, the header of
/// an 8-bit RGB picture, then the chunks as given (made with PngChunk).
Bytes AssemblePng(int width, int height, bool interlaced, const std::vector<Bytes>& chunks);
/// One chunk: length, type, data and checksum.
Bytes PngChunk(const std::string& type, const Bytes& data);
/// A zlib stream of `data` after `emptyBlocks` empty deflate blocks.
Bytes ZlibStream(int emptyBlocks, const Bytes& data);

/// A GIF with a global map of `globalColors` (0x00RRGGBB, a power of two in size) and the frames.
Bytes MakeGif(int screenWidth, int screenHeight, const std::vector<std::uint32_t>& globalColors,
              const std::vector<GifFrame>& frames);

/// A Windows bitmap file put together field by field; `pixels` are the rows as stored.
struct BmpRecipe {
  int headerSize = 40;  // 12 (OS/2 core), 40, 108 or 124
  int width = 0;
  int height = 0;  // negative: top-down rows
  int bitsPerPixel = 24;
  std::uint32_t compression = 0;
  std::vector<std::uint32_t> masks;    // red, green, blue (and alpha) for bit fields
  std::vector<std::uint32_t> palette;  // 0x00RRGGBB
  Bytes pixels;
};
Bytes MakeBmp(const BmpRecipe& recipe);
/// Packs values (palette indices or pixel values) into stored rows of a BMP, padding each row.
Bytes PackBmpRows(int width, int rows, int bitsPerPixel, const std::vector<std::uint32_t>& values);

/// A JPEG written by libjpeg itself: RGB from the pattern, or gray, baseline or progressive.
Bytes MakeJpeg(int width, int height, bool gray, bool progressive);
/// A baseline JPEG of a textured picture: one component (gray) or three with the luma sampled
/// hSamp x vSamp times the chroma, and a restart marker every restartRows MCU rows (0: none).
Bytes MakeSampledJpeg(int width, int height, bool gray, int hSamp, int vSamp, int restartRows);

/// A progressive gray JPEG side x side made by hand, for files no encoder writes: a first scan of
/// each block's first coefficient (blocks going one step up and down in turn), then
/// `skippingScans` scans of the other coefficients that pass over every block as empty, and,
/// when asked, a scan of the coefficients from 1 down to 0, which libjpeg refuses.
Bytes MakeHandMadeJpeg(int side, int skippingScans, bool impossibleScan);

/// A picture for the encoders of the photo formats: RGB or RGBA samples row by row, each in
/// 0..2^bitDepth - 1 (8 or 16), in a pattern whose alpha mixes opaque, fully and partly
/// transparent pixels.
struct PhotoPicture {
  int width;
  int height;
  bool alpha;
  int bitDepth;
  std::vector<std::uint32_t> samples;
};
PhotoPicture MakePhotoPicture(int width, int height, bool alpha, int bitDepth);
/// A PNG of the same samples: what every photo format must read like.
PngRecipe PngOf(const PhotoPicture& picture);

/// Files written by each format's own library, lossless where the format has it. AVIF keeps 12
/// of 16 bits, HEIF 10, and HEIF's lossless mode still rounds through YCbCr. HEIF and AVIF carry
/// `orientation` (the Exif values 1 to 8) as their rotation and mirroring properties.
Bytes MakeWebp(const PhotoPicture& picture);
Bytes MakeAnimatedWebp(const std::vector<PhotoPicture>& frames);
Bytes MakeAvif(const PhotoPicture& picture, int orientation = 1);
/// `quality` 1 to 100 codes a HEIF picture lossy at that quality, as cameras do.
Bytes MakeHeif(const PhotoPicture& picture, int orientation = 1, int quality = 0);
/// TIFF in strips of rowsPerStrip rows, or with tileSide > 0 (8-bit only) in square tiles.
Bytes MakeTiff(const PhotoPicture& picture, int compression, int rowsPerStrip, int tileSide = 0);
Bytes MakeJxl(const PhotoPicture& picture);
/// How MakeOrientedTiff stores the samples: as they are, as CMYK inks of the same colours (no
/// black), or as 32-bit floating-point values of sample / maximum.
enum class TiffSamples { Rgb, Cmyk, Float };
/// An uncompressed TIFF in one strip whose Orientation tag is `orientation` (1 to 8).
Bytes MakeOrientedTiff(const PhotoPicture& picture, int orientation, TiffSamples samples);

/// A deterministic value in 0..maxValue for a pixel sample.
std::uint32_t PatternSample(int x, int y, int channel, std::uint32_t maxValue);

}  // namespace tessora::testing
