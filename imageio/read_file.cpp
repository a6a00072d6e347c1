#include "imageio/read_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "common/file_descriptor.h"
#include "imageio/image_error.h"

namespace tessora {
std::vector<std::uint8_t> ReadFileBytes(const std::string& fileName, std::uint64_t maxBytes) {
  // Non-blocking so that a FIFO given as an image cannot stall the open; it is refused below.
  FileDescriptor fd(::open(fileName.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (fd.get() < 0) {
    throw ImageError("Error Opening File " + fileName + "!");
  }
  struct stat info {};
  if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_size < 0 ||
      static_cast<std::uint64_t>(info.st_size) > maxBytes) {
    throw ImageError("Error Reading File!");
  }
  // The size is only a hint: the file may change while it is read, so the loop trusts read().
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(info.st_size));
  std::size_t done = 0;
  for (;;) {
    if (done == bytes.size()) {
      if (bytes.size() >= maxBytes) {
        break;
      }
      bytes.resize(std::min<std::uint64_t>(maxBytes, bytes.size() + 65536));
    }
    const ssize_t n = ::read(fd.get(), bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n < 0) {
      throw ImageError("Error Reading File!");
    }
    if (n == 0) {
      break;
    }
    done += static_cast<std::size_t>(n);
  }
  bytes.resize(done);
  return bytes;
}

}  // namespace tessora
