#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/bitmap.h"
#include "imageio/image_limits.h"

namespace tessora {

/// Reads the first frame of a GIF file at its own size (its position on the logical screen is not
/// applied). The transparent flag is set when any frame has a transparent colour; the transparent
/// colour is the first frame's, or clNone. Throws ImageError "Error Opening File " + FileName +
/// "!" or "Error Reading File!" (also for a GIF without frames); the bitmap is unchanged then.
void LoadGifFile(const std::string& FileName, Bitmap& bitmap, const ImageLimits& limits = {});
void ReadGifMemory(const std::uint8_t* data, std::size_t size, Bitmap& bitmap,
                   const ImageLimits& limits = {});

}  // namespace tessora
