#include "common/read_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

#include "common/file_descriptor.h"

namespace tessora {

namespace {

// read() that goes on after a signal.
ssize_t readRetrying(int fd, void* buffer, std::size_t count) {
  for (;;) {
    const ssize_t n = ::read(fd, buffer, count);
    if (n >= 0 || errno != EINTR) {
      return n;
    }
  }
}

}  // namespace

template <typename Bytes>
ReadResult ReadWholeFile(const std::string& path, std::uint64_t maxBytes, Bytes& contents) {
  contents.clear();
  FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (fd.get() < 0) {
    return (errno == ENOENT || errno == ENOTDIR) ? ReadResult::Missing : ReadResult::CannotOpen;
  }
  struct stat info {};
  if (::fstat(fd.get(), &info) != 0) {
    return ReadResult::Failed;
  }
  if (!S_ISREG(info.st_mode)) {
    return ReadResult::NotRegular;
  }
  if (info.st_size < 0 || static_cast<std::uint64_t>(info.st_size) > maxBytes) {
    return ReadResult::TooLarge;
  }
  // The size is only a hint: the file may change while it is read, so the loop trusts read().
  contents.resize(static_cast<std::size_t>(info.st_size));
  std::size_t done = 0;
  for (;;) {
    char more[4096];
    const bool full = done == contents.size();
    if (full && done >= maxBytes) {
      break;
    }
    // Once the size the file had is read, whether it has grown is asked with a small read before
    // the buffer grows: growing copies the contents into a buffer twice as large, so a file that
    // has simply ended would cost twice its size.
    const ssize_t n =
        full ? readRetrying(fd.get(), more, std::min<std::uint64_t>(sizeof more, maxBytes - done))
             : readRetrying(fd.get(), &contents[done], contents.size() - done);
    if (n < 0) {
      contents.clear();
      return ReadResult::Failed;
    }
    if (n == 0) {
      break;
    }
    if (full) {
      contents.insert(contents.end(), more, more + n);
    }
    done += static_cast<std::size_t>(n);
  }
  contents.resize(done);
  return ReadResult::Ok;
}

const char* ReadFailureText(ReadResult result) {
  switch (result) {
    case ReadResult::Ok:
      return "was read";
    case ReadResult::Missing:
      return "does not exist";
    case ReadResult::CannotOpen:
      return "cannot be opened";
    case ReadResult::NotRegular:
      return "is not a regular file";
    case ReadResult::TooLarge:
      return "is too large";
    case ReadResult::Failed:
      break;
  }
  return "cannot be read";
}

template ReadResult ReadWholeFile(const std::string&, std::uint64_t, std::string&);
template ReadResult ReadWholeFile(const std::string&, std::uint64_t, std::vector<std::uint8_t>&);

}  // namespace tessora
