#include "settings/fileio.h"

#include <sys/stat.h>

#include <cerrno>

#include "common/atomic_file.h"

namespace tessora {

ReadResult readTextFile(const std::string& path, std::string& contents) {
  return ReadWholeFile(path, kMaxTextFileBytes, contents);
}

bool writeFileAtomically(const std::string& path, std::string_view contents) {
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

bool isExistingFile(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace tessora
