#include "imageio/read_failure.h"

#include <algorithm>

#include "imageio/image_error.h"

namespace tessora {

void FailRead(const std::string& why) {
  throw ImageError("Error Reading File!", why);
}

namespace {

std::string sizeText(std::int64_t width, std::int64_t height) {
  return std::to_string(width) + " x " + std::to_string(height);
}

}  // namespace

std::string TooLargeText(std::int64_t width, std::int64_t height, const ImageLimits& limits) {
  const std::string picture = "picture of " + sizeText(width, height);
  const std::int64_t side = std::min<std::int64_t>(limits.maxDimension, Bitmap::kMaxDimension);
  if (width > side || height > side) {
    return picture + " is larger than " + sizeText(side, side);
  }
  const std::int64_t pixels = std::min(limits.maxPixels, Bitmap::kMaxPixels);
  if (width * height > pixels) {
    return picture + " is larger than " + std::to_string(pixels) + " pixels";
  }
  return picture + " needs more memory than " + std::to_string(limits.maxDecodedBytes) + " bytes";
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

std::string SharedChunksText(const std::string& what, std::uint64_t chunks, std::uint64_t ownBytes,
                             std::int64_t width, std::int64_t height) {
  return std::to_string(chunks) + " " + what + " hold only " + std::to_string(ownBytes) +
         " bytes of their own, too few for a picture of " + sizeText(width, height);
}

std::string ThinDerivedText(const std::string& what, std::int64_t width, std::int64_t height,
                            std::uint64_t codedBytes) {
  return what + " of " + sizeText(width, height) + " holds only " + std::to_string(codedBytes) +
         " bytes of coded pictures, less than one for every " +
         std::to_string(kPixelsPerCodedByte) + " pixels";
}

std::string TooShortText(std::int64_t width, std::int64_t height) {
  return "file is too short for a picture of " + sizeText(width, height);
}

std::string CanvasTooLargeText(std::int64_t canvasWidth, std::int64_t canvasHeight,
                               std::int64_t frameWidth, std::int64_t frameHeight) {
  return "animation canvas of " + sizeText(canvasWidth, canvasHeight) +
         " is too large for its first frame of " + sizeText(frameWidth, frameHeight);
}

}  // namespace tessora
