#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/bitmap.h"
#include "engine/color.h"
#include "imageio/image_limits.h"

namespace tessora {

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
/// FileName + "!" or "Error Writing PNG File! " + FileName, each followed by the system's reason
/// when there is one (see WithReason); a file already there stays intact then.
void WritePngFile(const std::string& FileName, const Bitmap& bitmap, TColor TransparentColor);

}  // namespace tessora
