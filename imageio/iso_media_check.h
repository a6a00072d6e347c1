#pragma once

#include <cstddef>
#include <cstdint>

#include "imageio/image_limits.h"

namespace tessora {

/// Refuses (ImageError, as the readers do) a HEIF or AVIF file whose picture would cost more than
/// its data holds, before libheif or libavif decodes or allocates anything for it. For the primary
/// picture and the auxiliary ones beside it (alpha), it holds each coded picture's size, as its
/// stream's own headers state it, to the limits and to the size the file gives it ('ispe'): the
/// libraries allocate for the first and scale up to the second. A grid must be covered by its
/// tiles, each one coded data of its own, and stay within the limits. A grid or overlay beyond
/// kFreeDerivedPixels must hold a coded byte for every kPixelsPerCodedByte pixels, each distinct
/// content counted once (image_limits.h). The libraries parse the file first: their reasons for
/// a broken file come first.
void CheckIsoMediaCost(const std::uint8_t* data, std::size_t size, const ImageLimits& limits);

}  // namespace tessora
