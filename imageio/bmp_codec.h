#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/bitmap.h"
#include "imageio/image_limits.h"

namespace tessora {

/// Reads a Windows bitmap file: 1, 2, 4, 8, 16, 24 and 32 bits per pixel, RLE4 and RLE8 (pixels
/// the codes skip show the palette's first colour), bit fields of any contiguous width, top-down
/// rows, OS/2 core and version 2 headers, info headers up to version 5. Alpha is ignored. Throws
/// ImageError "Error Opening File " + FileName + "!" or "Error Reading File!"; the bitmap is
/// unchanged then.
void LoadBmpFile(const std::string& FileName, Bitmap& bitmap, const ImageLimits& limits = {});
void ReadBmpMemory(const std::uint8_t* data, std::size_t size, Bitmap& bitmap,
                   const ImageLimits& limits = {});

/// Writes a 24-bit bottom-up bitmap file. Throws ImageError "Cannot create file " + FileName or
/// "Unable to write to " + FileName, each followed by the system's reason when there is one; a
/// file already there stays intact then.
void SaveBmpFile(const std::string& FileName, const Bitmap& bitmap);

}  // namespace tessora
