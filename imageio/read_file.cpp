#include "imageio/read_file.h"

#include "common/read_file.h"
#include "imageio/image_error.h"

namespace tessora {

std::vector<std::uint8_t> ReadFileBytes(const std::string& fileName, std::uint64_t maxBytes) {
  std::vector<std::uint8_t> bytes;
  switch (ReadWholeFile(fileName, maxBytes, bytes)) {
    case ReadResult::Ok:
      return bytes;
    case ReadResult::Missing:
    case ReadResult::CannotOpen:
      throw ImageError("Error Opening File " + fileName + "!");
    case ReadResult::NotRegular:
    case ReadResult::TooLarge:
    case ReadResult::Failed:
      break;
  }
  throw ImageError("Error Reading File!");
}

}  // namespace tessora
