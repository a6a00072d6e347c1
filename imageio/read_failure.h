#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "imageio/image_limits.h"

namespace tessora {

enum class PictureFormat { Bmp, Gif, Jpeg, Png, Webp, Avif, Heif, Tiff, Jxl };

/// Why a reader refused a file's bytes, in a few words: "not a PNG file", "truncated", "picture
/// of 70000 x 70000 is larger than ...", or "damaged or not supported" when nothing plainer
/// shows. Asked only after the reader has failed, it looks at the outline of the file (signature,
/// declared size, where the data ends), so the readers stay one path through a file and need not
/// carry a reason along every way out. The formats read through a library of their own (WebP,
/// AVIF, HEIF, TIFF, JPEG XL) are looked at only as far as their signature: past it, that
/// library knows best, and `readerSays` (the failure's detail) is the reason.
std::string WhyUnreadable(PictureFormat format, const std::uint8_t* data, std::size_t size,
                          const ImageLimits& limits, const std::string& readerSays = {});

/// "picture of W x H is larger than 65535 x 65535 or 536870912 pixels", with the bounds of
/// `limits`.
std::string TooLargeText(std::int64_t width, std::int64_t height, const ImageLimits& limits);

}  // namespace tessora
