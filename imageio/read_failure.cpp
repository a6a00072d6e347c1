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

std::string StoredSizeText(std::int64_t width, std::int64_t height, std::int64_t storedWidth,
                           std::int64_t storedHeight) {
  const bool smaller = storedWidth <= width && storedHeight <= height;
  return "picture of " + std::to_string(width) + " x " + std::to_string(height) + " is stored as " +
         (smaller ? "only " : "") + std::to_string(storedWidth) + " x " +
         std::to_string(storedHeight);
}

std::string RepeatedTileText(std::int64_t times) {
  return "grid repeats one coded tile " + std::to_string(times) + " times";
}

}  // namespace tessora
