#include "settings/file_io.h"

#include <sys/stat.h>

#include <cerrno>

#include "common/atomic_file.h"

namespace tessora {

ReadResult ReadTextFile(const std::string& path, std::string& contents) {
  return ReadWholeFile(path, kMaxTextFileBytes, contents);
}

bool WriteFileAtomically(const std::string& path, std::string_view contents) {
  // A file we would not read is not ours to replace: a FIFO or a device in its place, or
  // something far larger than any settings or list file.
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0 &&
      (!S_ISREG(st.st_mode) || static_cast<std::uint64_t>(st.st_size) > kMaxTextFileBytes)) {
    errno = 0;
    return false;
  }
  int error = 0;
  {
    AtomicFile file(path);
    if (file.open() && file.write(contents.data(), contents.size()) && file.commit()) {
      return true;
    }
    error = file.error();
  }
  errno = error;  // after the clean-up, which may have changed it
  return false;
}

bool IsExistingFile(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace tessora
