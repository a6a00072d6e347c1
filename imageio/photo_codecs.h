#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/bitmap.h"
#include "imageio/image_limits.h"

// Readers of the formats today's cameras, phones and web pages produce, each through the system's
// library for it. They behave as the PNG reader does: the bitmap takes the picture's size, alpha
// is blended over the bitmap's previous content, deeper samples are rounded to 8 bits, and a
// failure throws ImageError "Error Reading File!" (with the reason as its detail) and leaves the
// bitmap unchanged. Sizes are checked against the limits before the picture's memory is taken,
// and no reader starts threads of its own. Files are read through LoadPictureFile
// (picture_formats.h).
namespace tessora {

/// WebP, lossy or lossless; of an animation the first frame as it shows on its canvas.
void ReadWebpMemory(const std::uint8_t* data, std::size_t size, Bitmap& bitmap,
                    const ImageLimits& limits = {});

/// AVIF: the primary picture (the first of a sequence), 8 to 12 bits, turned and mirrored as the
/// file says.
void ReadAvifMemory(const std::uint8_t* data, std::size_t size, Bitmap& bitmap,
                    const ImageLimits& limits = {});

/// HEIF/HEIC: the primary picture, turned and mirrored as the file says, so that a phone's photo
/// comes out upright.
void ReadHeifMemory(const std::uint8_t* data, std::size_t size, Bitmap& bitmap,
                    const ImageLimits& limits = {});

/// TIFF: the first page, in any compression and bit depth libtiff decodes, 32-bit and
/// floating-point samples and 16-bit CMYK included, turned as its orientation says.
void ReadTiffMemory(const std::uint8_t* data, std::size_t size, Bitmap& bitmap,
                    const ImageLimits& limits = {});

/// JPEG XL: the first frame, upright as the file's orientation says.
void ReadJxlMemory(const std::uint8_t* data, std::size_t size, Bitmap& bitmap,
                   const ImageLimits& limits = {});

}  // namespace tessora
