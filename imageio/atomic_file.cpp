#include "imageio/atomic_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

namespace tessora {
namespace {

constexpr std::size_t kBufferSize = 1 << 16;

std::atomic<unsigned> tempCounter{0};

std::string folderOf(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// Opens a new, unique file; the mode lets the umask decide the final permissions, as for any file
// the user creates (mkstemp would force 0600).
int createUnique(const std::string& target, std::string& name) {
  const std::string folder = folderOf(target);
  const std::string base = target.substr(folder.size());
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string suffix =
        "." + std::to_string(::getpid()) + "." + std::to_string(tempCounter.fetch_add(1)) + ".tmp";
    name = folder + "." + base + suffix;
    int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno == ENAMETOOLONG) {
      name = folder + ".tessora" + suffix;
      fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    }
    if (fd >= 0 || errno != EEXIST) {
      return fd;
    }
  }
  return -1;
}

bool writeAll(int fd, const std::uint8_t* p, std::size_t n) {
  while (n > 0) {
    const ssize_t done = ::write(fd, p, n);
    if (done < 0 && errno == EINTR) {
      continue;
    }
    if (done <= 0) {
      return false;
    }
    p += done;
    n -= static_cast<std::size_t>(done);
  }
  return true;
}

}  // namespace

AtomicFile::AtomicFile(std::string target) : target_(std::move(target)) {}

AtomicFile::~AtomicFile() {
  discard();
}

bool AtomicFile::open() {
  if (fd_ >= 0) {
    return true;
  }
  if (target_.empty() || target_.back() == '/') {
    return false;
  }
  fd_ = createUnique(target_, tempName_);
  if (fd_ < 0) {
    return false;
  }
  buffer_.reserve(kBufferSize);
  return true;
}

bool AtomicFile::flushBuffer() {
  if (!failed_ && !buffer_.empty() && !writeAll(fd_, buffer_.data(), buffer_.size())) {
    failed_ = true;
  }
  buffer_.clear();
  return !failed_;
}

bool AtomicFile::write(const void* data, std::size_t size) {
  if (fd_ < 0 || failed_) {
    return false;
  }
  const auto* p = static_cast<const std::uint8_t*>(data);
  if (buffer_.size() + size > kBufferSize) {
    if (!flushBuffer()) {
      return false;
    }
    if (size >= kBufferSize) {
      failed_ = !writeAll(fd_, p, size);
      return !failed_;
    }
  }
  buffer_.insert(buffer_.end(), p, p + size);
  return true;
}

bool AtomicFile::commit() {
  if (fd_ < 0 || !flushBuffer()) {
    discard();
    return false;
  }
  // Without the sync a crash after the rename could leave an empty file where a good one was.
  const bool synced = ::fsync(fd_) == 0;
  const bool closed = ::close(fd_) == 0;
  fd_ = -1;
  if (!synced || !closed || ::rename(tempName_.c_str(), target_.c_str()) != 0) {
    ::unlink(tempName_.c_str());
    tempName_.clear();
    return false;
  }
  tempName_.clear();
  const std::string folder = folderOf(target_);
  const int dir = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    // Best effort: the rename itself is durable only once the folder is synced.
    static_cast<void>(::fsync(dir));
    ::close(dir);
  }
  return true;
}

void AtomicFile::discard() {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
  if (!tempName_.empty()) {
    ::unlink(tempName_.c_str());
    tempName_.clear();
  }
}

}  // namespace tessora
