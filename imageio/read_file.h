#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "imageio/image_error.h"

namespace tessora {

/// The whole content of a file. Throws ImageError "Error Opening File " + fileName + "!" when it
/// cannot be opened and "Error Reading File!" when it cannot be read or is larger than maxBytes,
/// with the system's reason as its detail.
std::vector<std::uint8_t> ReadFileBytes(const std::string& fileName, std::uint64_t maxBytes);

}  // namespace tessora
