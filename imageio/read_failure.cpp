#include "imageio/read_failure.h"

#include <algorithm>

#include "imageio/image_error.h"

namespace tessora {

void FailRead(const std::string& why) {
  throw ImageError("Error Reading File!", why);
}

std::string TooLargeText(std::int64_t width, std::int64_t height, const ImageLimits& limits) {
  const std::int64_t side = std::min<std::int64_t>(limits.maxDimension, Bitmap::kMaxDimension);
  const std::int64_t pixels = std::min(limits.maxPixels, Bitmap::kMaxPixels);
  return "picture of " + std::to_string(width) + " x " + std::to_string(height) +
         " is larger than " + std::to_string(side) + " x " + std::to_string(side) + " or " +
         std::to_string(pixels) + " pixels";
}

std::string RefusedSizeText(std::int64_t width, std::int64_t height, const ImageLimits& limits) {
  return width > 0 && height > 0 ? TooLargeText(width, height, limits) : kDamaged;
}

}  // namespace tessora
