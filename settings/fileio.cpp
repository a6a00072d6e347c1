#include "settings/fileio.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "common/atomic_file.h"
#include "common/file_descriptor.h"

namespace tessora {
ReadResult readWholeFile(const std::string& path, std::string& contents) {
  contents.clear();
  FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) {
    return (errno == ENOENT || errno == ENOTDIR) ? ReadResult::Missing : ReadResult::Failed;
  }
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n < 0) {
      contents.clear();
      return ReadResult::Failed;  // also EISDIR: a folder where the file should be
    }
    if (n == 0) {
      return ReadResult::Ok;
    }
    contents.append(buffer, static_cast<std::size_t>(n));
  }
}

bool writeFileAtomically(const std::string& path, std::string_view contents) {
  AtomicFile file(path);
  return file.open() && file.write(contents.data(), contents.size()) && file.commit();
}

bool isExistingFile(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace tessora
