#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/bitmap.h"
#include "imageio/image_limits.h"

namespace tessora {

/// The quality SaveComposed writes JPEG files with.
constexpr int kJpegQuality = 77;
/// The longest side a JPEG file may have (libjpeg's bound, below the format's 65535).
constexpr int kJpegMaxDimension = 65500;

/// Reads a JPEG file at full size with the decoder's best-quality settings (grayscale, YCbCr,
/// CMYK and YCCK files). Throws ImageError "Error Opening File " + FileName + "!" or
/// "Error Reading File!"; the bitmap is unchanged then.
void LoadJpegFile(const std::string& FileName, Bitmap& bitmap, const ImageLimits& limits = {});
/// LoadJpegFile for bytes in memory. Large single-scan files are decoded in bands on up to
/// `threads` threads (0: one a core), with the same pixels as in one pass.
void ReadJpegMemory(const std::uint8_t* data, std::size_t size, Bitmap& bitmap,
                    const ImageLimits& limits = {}, unsigned threads = 0);

/// Writes a baseline JPEG file (quality kJpegQuality, floating-point DCT, three components).
/// Throws ImageError "Cannot create file " + FileName or "Unable to write to " + FileName, each
/// followed by the system's reason when there is one; a file already there stays intact then.
void SaveJpegFile(const std::string& FileName, const Bitmap& bitmap);

}  // namespace tessora
