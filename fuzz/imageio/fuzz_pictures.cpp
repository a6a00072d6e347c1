// Feeds arbitrary bytes to the picture readers through the format table (picture_formats.h):
// each must fail with ImageError or succeed, never crash, hang or leak.
//
// The input's last byte chooses the row (its value modulo the number of rows, in the table's
// order) and the bytes before it are the file. The choice sits at the end so that the file's
// start, where every format keeps its signature, is the input's start too. With
// TESSORA_FUZZ_FORMAT set to a row's key (png, jpeg, gif, bmp, webp, avif, heif, tiff, jxl) the
// whole input is a file for that row instead: ctest replays each format's seeds and crashers
// (fuzz/seeds/<key>/, fuzz/crashers/<key>/) so, and a fuzz run can be held to one format.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "engine/bitmap.h"
#include "fuzz_limits.h"
#include "imageio/image_error.h"
#include "imageio/picture_formats.h"

namespace {

using tessora::PictureFormatRow;

// The row TESSORA_FUZZ_FORMAT names, or nullptr when it is not set. A name no row has stops the
// run: replaying a corpus through the wrong reader would pass unnoticed.
const PictureFormatRow* namedRow() {
  const char* key = std::getenv("TESSORA_FUZZ_FORMAT");
  if (key == nullptr || *key == '\0') {
    return nullptr;
  }
  for (const PictureFormatRow& row : tessora::PictureFormats()) {
    if (std::strcmp(row.key, key) == 0) {
      return &row;
    }
  }
  std::fprintf(stderr, "TESSORA_FUZZ_FORMAT=%s names no picture format\n", key);
  std::abort();
}

void readFile(const PictureFormatRow& row, const std::uint8_t* data, std::size_t size) {
  // A bitmap with content, so that blending and size changes start from something.
  tessora::Bitmap bitmap(5, 3);
  try {
    row.read(data, size, bitmap, kFuzzLimits);
  } catch (const tessora::ImageError&) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const PictureFormatRow* const named = namedRow();
  if (named != nullptr) {
    readFile(*named, data, size);
    return 0;
  }
  if (size == 0) {
    return 0;
  }
  const std::size_t fileSize = size - 1;
  const PictureFormatRow& row =
      tessora::PictureFormats()[data[fileSize] % tessora::kPictureFormatCount];
  // The file in a block of its own size, so that AddressSanitizer sees a read past its end.
  const std::unique_ptr<std::uint8_t[]> file(new std::uint8_t[fileSize]);
  std::memcpy(file.get(), data, fileSize);
  readFile(row, file.get(), fileSize);
  return 0;
}
