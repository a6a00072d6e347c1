#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// The picture size a coded stream states in its own headers, which is what its decoder allocates
// for, whatever the container says: HEVC's sequence parameter sets (in HEIF) and AV1's sequence
// headers (in AVIF).
namespace tessora::coded_size {

struct Size {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  bool operator==(const Size& o) const { return width == o.width && height == o.height; }
};

/// Bytes of the file, for the readers below.
struct Bytes {
  const std::uint8_t* data = nullptr;
  std::size_t size = 0;
};

/// The sizes of the HEVC sequence parameter sets of an 'hvcC' payload and of the item's data
/// (NAL units, each after its length), before the conformance window crops them. A set that is
/// cut or malformed is left out.
std::vector<Size> HevcSizes(Bytes config, Bytes data);

/// The size of the first frame of an AV1 stream, its sequence headers in an 'av1C' payload and
/// the item's data (OBUs), or when it holds no frame the largest sizes its sequence headers
/// allow. A header that is cut or malformed is left out.
std::vector<Size> Av1Sizes(Bytes config, Bytes data);

}  // namespace tessora::coded_size
