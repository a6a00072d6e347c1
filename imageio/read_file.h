#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "imageio/image_error.h"
#include "imageio/image_limits.h"
#include "imageio/read_failure.h"

namespace tessora {

/// The whole content of a file. Throws ImageError "Error Opening File " + fileName + "!" when it
/// cannot be opened and "Error Reading File!" when it cannot be read or is larger than maxBytes,
/// with the system's reason as its detail.
std::vector<std::uint8_t> ReadFileBytes(const std::string& fileName, std::uint64_t maxBytes);

/// Reads a picture file and hands its bytes to `decode` (a reader of `format` taking data and
/// size). When the reader refuses them, its error passes on with the reason the bytes show.
template <typename Decode>
void DecodeFileBytes(const std::string& fileName, PictureFormat format, const ImageLimits& limits,
                     Decode decode) {
  const std::vector<std::uint8_t> bytes = ReadFileBytes(fileName, limits.maxFileBytes);
  try {
    decode(bytes.data(), bytes.size());
  } catch (const ImageError& e) {
    throw ImageError(e.what(),
                     WhyUnreadable(format, bytes.data(), bytes.size(), limits, e.detail()));
  }
}

}  // namespace tessora
