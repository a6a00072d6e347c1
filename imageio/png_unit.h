#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/bitmap.h"
#include "engine/color.h"
#include "imageio/image_limits.h"

namespace tessora {

/// The working image of one PNG read or write: PngHeight rows of PngWidth pixels of
/// PngBytesPerPixel bytes, packed top row first, with PngRows pointing at each row. Every call
/// has its own, so reads and writes may run side by side.
struct PngImage {
  std::unique_ptr<std::uint8_t[]> PngData;
  std::vector<std::uint8_t*> PngRows;
  std::uint32_t PngWidth = 0;
  std::uint32_t PngHeight = 0;
  int PngBitDepth = 0;
  int PngColorType = 0;
  int PngBytesPerPixel = 0;
};

/// A bitmap as a device-independent block: a 40-byte info header, then bottom-up rows of
/// blue, green, red pixels, each row padded to a multiple of 4 bytes.
struct PngCapture {
  std::vector<std::uint8_t> block;
  std::size_t stride = 0;
  int width = 0;
  int height = 0;
  const std::uint8_t* pixels() const { return block.data() + 40; }
};

/// The text of the single "Software" tEXt chunk of every written file.
extern const char* const kPngSoftwareText;

/// Decodes the file and draws it over the bitmap's previous content at its top-left corner, the
/// bitmap taking the image's size. Throws ImageError "Error Opening File " + FileName + "!" or
/// "Error Reading File!"; the bitmap is unchanged then.
void ReadPngFile(const std::string& FileName, Bitmap& bitmap, const ImageLimits& limits = {});
/// ReadPngFile for bytes already in memory.
void ReadPngMemory(const std::uint8_t* data, std::size_t size, Bitmap& bitmap,
                   const ImageLimits& limits = {});

/// Writes the bitmap as 8-bit RGB, or with TransparentColor other than clNone as RGBA where
/// pixels of exactly that colour get alpha 0. Throws ImageError "Error Opening File " +
/// FileName + "!" or "Error Writing PNG File!"; a file already there stays intact then.
void WritePngFile(const std::string& FileName, const Bitmap& bitmap, TColor TransparentColor);

/// Fills the working image from a file (see ReadPngFile for the failures).
void DecodePngFile(const std::string& FileName, PngImage& image, const ImageLimits& limits = {});
void DecodePngMemory(const std::uint8_t* data, std::size_t size, PngImage& image,
                     const ImageLimits& limits = {});
/// (Re)allocates PngData and PngRows for the image's size and bytes per pixel.
void AllocPngBuffers(PngImage& image);
/// Draws the decoded pixels with their top-left corner at (left, top), clipped to the surface,
/// blending by alpha over what the surface shows.
void DrawPngPixels(const PngImage& image, Bitmap& surface, int left, int top);
/// The bitmap's pixels as a capture block.
PngCapture CaptureBitmapPixels(const Bitmap& bitmap);
/// Writes the working image (8-bit RGB or RGBA) as a PNG file.
void EncodePngFile(const std::string& FileName, const PngImage& image);

}  // namespace tessora
