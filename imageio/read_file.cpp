#include "imageio/read_file.h"

#include <cerrno>
#include <cstring>

#include "common/read_file.h"

namespace tessora {

std::vector<std::uint8_t> ReadFileBytes(const std::string& fileName, std::uint64_t maxBytes) {
  std::vector<std::uint8_t> bytes;
  const ReadResult result = ReadWholeFile(fileName, maxBytes, bytes);
  // Taken at once, before anything else can touch it.
  const int error = errno;
  switch (result) {
    case ReadResult::Ok:
      return bytes;
    case ReadResult::Missing:
      throw ImageError("Error Opening File " + fileName + "!", ReadFailureText(result));
    case ReadResult::CannotOpen:
      throw ImageError("Error Opening File " + fileName + "!",
                       std::string(ReadFailureText(result)) + ": " + std::strerror(error));
    case ReadResult::NotRegular:
    case ReadResult::TooLarge:
      break;
    case ReadResult::Failed:
      throw ImageError("Error Reading File!",
                       std::string(ReadFailureText(result)) + ": " + std::strerror(error));
  }
  throw ImageError("Error Reading File!", ReadFailureText(result));
}

}  // namespace tessora
