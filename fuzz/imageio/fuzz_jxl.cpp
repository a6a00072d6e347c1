// Feeds arbitrary bytes to the JPEG XL reader: it must fail with ImageError or succeed, never
// crash, hang or leak.
#include <cstddef>
#include <cstdint>

#include "engine/bitmap.h"
#include "fuzz_limits.h"
#include "imageio/image_error.h"
#include "imageio/photo_codecs.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // A bitmap with content, so that blending and size changes start from something.
  tessora::Bitmap bitmap(5, 3);
  try {
    tessora::ReadJxlMemory(data, size, bitmap, kFuzzLimits);
  } catch (const tessora::ImageError&) {
    return 0;
  }
  return 0;
}
