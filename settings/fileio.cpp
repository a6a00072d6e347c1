#include "settings/fileio.h"

#include <sys/stat.h>

#include "common/atomic_file.h"

namespace tessora {

ReadResult readTextFile(const std::string& path, std::string& contents) {
  return ReadWholeFile(path, kMaxTextFileBytes, contents);
}

bool writeFileAtomically(const std::string& path, std::string_view contents) {
  // Our files are plain files: a FIFO or a device in their place is not ours to write into.
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
    return false;
  }
  AtomicFile file(path);
  return file.open() && file.write(contents.data(), contents.size()) && file.commit();
}

bool isExistingFile(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace tessora
