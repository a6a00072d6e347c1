#include "common/atomic_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/magic.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cstring>
#include <memory>
#include <string_view>
#include <utility>

#include "common/file_descriptor.h"

namespace tessora {
namespace {

constexpr std::size_t kBufferSize = 1 << 16;
// The kernel's own limit on links followed while opening a path.
constexpr int kMaxLinks = 40;
constexpr std::string_view kTempEnding = ".tmp";
// Stands in for the target's name in temporary names that would otherwise be too long.
constexpr std::string_view kShortTempStem = ".tessora.";

std::atomic<unsigned> tempCounter{0};

std::string folderOf(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string baseOf(const std::string& path) {
  return path.substr(folderOf(path).size());
}

const char* orHere(const std::string& folder) {
  return folder.empty() ? "." : folder.c_str();
}

struct LinkEnd {
  std::string path;
  bool openFile = false;  // a link of /proc that names an open file rather than a path
  std::string refused;    // the link the kernel would not follow, when there is one
  int error = 0;          // what stopped the walk: too many links, a link that cannot be read
};

// The kernel's rule for entries in a sticky folder that everyone may write to (/tmp and the
// like): another user's link there is followed (fs.protected_symlinks), and another user's FIFO
// there opened to be created (fs.protected_fifos), only when the folder's owner made it. Such an
// entry could otherwise make our write replace, or create, a file of their choosing wherever we
// may write, or hang the write for as long as they like. The rule holds here whatever the
// system's setting, since we follow links ourselves and look at a FIFO before opening it.
bool PlantedByAnother(const std::string& path, const struct stat& entry) {
  struct stat folder {};
  if (::stat(orHere(folderOf(path)), &folder) != 0) {
    return false;
  }
  const bool shared = (folder.st_mode & S_ISVTX) != 0 && (folder.st_mode & S_IWOTH) != 0;
  return shared && entry.st_uid != ::geteuid() && entry.st_uid != folder.st_uid;
}

// The names of `path` in order, without the empty ones and ".".
std::vector<std::string> namesOf(const std::string& path) {
  std::vector<std::string> names;
  for (std::size_t start = 0; start <= path.size();) {
    const std::size_t stop = std::min(path.find('/', start), path.size());
    std::string name = path.substr(start, stop - start);
    if (!name.empty() && name != ".") {
      names.push_back(std::move(name));
    }
    start = stop + 1;
  }
  return names;
}

// The folder above `walked` ("/a/b/" gives "/a/"): `walked` holds no link, so ".." may be taken
// by its name. A relative path climbs above where it started.
std::string parentOf(const std::string& walked) {
  if (walked == "/") {
    return walked;
  }
  const std::size_t slash =
      walked.empty() ? std::string::npos : walked.rfind('/', walked.size() - 2);
  const std::size_t start = slash == std::string::npos ? 0 : slash + 1;
  if (walked.empty() || walked.compare(start, std::string::npos, "../") == 0) {
    return walked + "../";
  }
  return walked.substr(0, start);
}

// Follows symbolic links as open() would, name by name, so that a new file is created where a
// plain write would create it and a dangling link stays a link; another user's link in a shared
// sticky folder is not followed, wherever it stands in the path (see PlantedByAnother). The
// path returned holds no link then. The links under /proc (/dev/stdout and its kin) name open
// files, not paths: the walk stops at the last one, and the caller writes through it.
LinkEnd followLinks(const std::string& target) {
  std::vector<std::string> left = namesOf(target);  // still to walk, the next name last
  std::reverse(left.begin(), left.end());
  std::string walked = target.front() == '/' ? "/" : "";
  std::string link(PATH_MAX, '\0');
  int hops = 0;
  while (!left.empty()) {
    const std::string name = std::move(left.back());
    left.pop_back();
    if (name == "..") {
      walked = parentOf(walked);
      continue;
    }
    std::string path = walked + name;
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) {
      // Nothing more to follow: a new file, or a path that opening it fails on with the reason.
      for (auto rest = left.rbegin(); rest != left.rend(); ++rest) {
        path += "/" + *rest;
      }
      return {path, false, {}, 0};
    }
    if (!S_ISLNK(st.st_mode)) {
      walked = left.empty() ? path : path + "/";
      continue;
    }
    struct statfs fs {};
    if (left.empty() && ::statfs(orHere(walked), &fs) == 0 && fs.f_type == PROC_SUPER_MAGIC) {
      return {path, true, {}, 0};
    }
    if (PlantedByAnother(path, st)) {
      return {path, false, path, 0};
    }
    const ssize_t n = ::readlink(path.c_str(), link.data(), link.size());
    if (n <= 0 || static_cast<std::size_t>(n) >= link.size() || ++hops > kMaxLinks) {
      return {path, false, {}, n <= 0 ? errno : hops > kMaxLinks ? ELOOP : ENAMETOOLONG};
    }
    const std::string to = link.substr(0, static_cast<std::size_t>(n));
    if (to.front() == '/') {
      walked = "/";
    }
    const std::vector<std::string> names = namesOf(to);
    left.insert(left.end(), names.rbegin(), names.rend());
  }
  return {walked, false, {}, 0};
}

// Our temporary names: ".<target name>.<pid>.<n>.tmp", or ".tessora.<pid>.<n>.tmp" when the
// first is too long for the file system.
std::string tempName(const std::string& path, unsigned n, bool shortForm) {
  const std::string stem = shortForm ? std::string(kShortTempStem) : "." + baseOf(path) + ".";
  return folderOf(path) + stem + std::to_string(::getpid()) + "." + std::to_string(n) +
         std::string(kTempEnding);
}

// Gives a new file one of our temporary names beside `path`: `make` creates the entry and fails
// with EEXIST when the name is taken. `name` is left empty unless an entry was made.
template <typename Make>
bool nameUniquely(const std::string& path, std::string& name, Make make) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    const unsigned n = tempCounter.fetch_add(1);
    name = tempName(path, n, false);
    bool made = make(name);
    if (!made && errno == ENAMETOOLONG) {
      name = tempName(path, n, true);
      made = make(name);
    }
    if (made) {
      return true;
    }
    if (errno != EEXIST) {
      break;
    }
  }
  name.clear();
  return false;
}

// The writer's process number when `entry` is one of our temporary names for `base`.
bool temporaryOwner(std::string_view entry, const std::string& base, pid_t& pid) {
  for (const std::string& stem : {"." + base + ".", std::string(kShortTempStem)}) {
    if (entry.substr(0, stem.size()) != stem) {
      continue;
    }
    const char* const end = entry.data() + entry.size();
    const auto [afterPid, pidError] = std::from_chars(entry.data() + stem.size(), end, pid);
    unsigned counter = 0;
    if (pidError != std::errc() || pid <= 0 || afterPid == end || *afterPid != '.') {
      return false;
    }
    const auto [afterCounter, counterError] = std::from_chars(afterPid + 1, end, counter);
    return counterError == std::errc() &&
           std::string_view(afterCounter, static_cast<std::size_t>(end - afterCounter)) ==
               kTempEnding;
  }
  return false;
}

// A writer holds a lock on its temporary file while it lives. A file whose lock can be taken and
// whose process is gone is left over from a writer that was killed, or from a machine that went
// down. (The lock covers writers in another PID namespace sharing the folder; the process check
// covers file systems without locks.) Only our own user's files are ours to clear: in a folder
// shared with others, a process number says nothing of their writers, which may live in another
// PID namespace or on another machine sharing the folder.
void removeIfAbandoned(int folder, const char* entry, pid_t owner) {
  if (owner == ::getpid() || ::kill(owner, 0) == 0 || errno != ESRCH) {
    return;
  }
  const FileDescriptor file(
      ::openat(folder, entry, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  struct stat st {};
  if (file.get() >= 0 && ::fstat(file.get(), &st) == 0 && S_ISREG(st.st_mode) &&
      st.st_uid == ::geteuid() &&
      (::flock(file.get(), LOCK_EX | LOCK_NB) == 0 || errno != EWOULDBLOCK)) {
    ::unlinkat(folder, entry, 0);
  }
}

void removeStaleTemporaries(const std::string& path) {
  const std::unique_ptr<DIR, int (*)(DIR*)> folder(::opendir(orHere(folderOf(path))), ::closedir);
  if (folder == nullptr) {
    return;
  }
  const std::string base = baseOf(path);
  while (const dirent* entry = ::readdir(folder.get())) {
    pid_t owner = 0;
    if (temporaryOwner(entry->d_name, base, owner)) {
      removeIfAbandoned(::dirfd(folder.get()), entry->d_name, owner);
    }
  }
}

// An unnamed file is linked into place through its /proc entry; without /proc it cannot be.
bool canLinkUnnamedFiles() {
  return ::access("/proc/self/fd", X_OK) == 0;
}

bool writeAll(int fd, const std::uint8_t* p, std::size_t n) {
  while (n > 0) {
    const ssize_t done = ::write(fd, p, n);
    if (done < 0 && errno == EINTR) {
      continue;
    }
    if (done <= 0) {
      if (done == 0) {
        errno = EIO;
      }
      return false;
    }
    p += done;
    n -= static_cast<std::size_t>(done);
  }
  return true;
}

// The extended attribute that holds a file's access control list, beyond its mode bits.
constexpr const char* kAccessAcl = "system.posix_acl_access";

// A replaced file keeps what says who may use it: its owner and group where the writer may set
// them (root may; a user may keep a group they belong to), its permissions, and its access list
// where the file system keeps one. Without this a save by root would hand the user's file to root
// and lock the user out of it. Changing the owner clears set-id bits, so the mode comes after it.
// Only a failure of the mode fails the write: the rest is kept where the system allows.
bool keepAccess(int fd, const std::string& path, const struct stat& old) {
  if ((old.st_uid != ::geteuid() || old.st_gid != ::getegid()) &&
      ::fchown(fd, old.st_uid, old.st_gid) != 0) {
    static_cast<void>(::fchown(fd, static_cast<uid_t>(-1), old.st_gid));
  }
  std::vector<char> acl(4096);
  const ssize_t n = ::getxattr(path.c_str(), kAccessAcl, acl.data(), acl.size());
  if (n <= 0) {
    // Nor a list the folder's default list gave the new file.
    static_cast<void>(::fremovexattr(fd, kAccessAcl));
  }
  if (::fchmod(fd, old.st_mode & 07777) != 0) {
    return false;
  }
  if (n > 0) {
    static_cast<void>(::fsetxattr(fd, kAccessAcl, acl.data(), static_cast<std::size_t>(n), 0));
  }
  return true;
}

// Best effort: a rename is durable only once its folder is synced.
void syncFolder(const std::string& path) {
  const FileDescriptor folder(::open(orHere(folderOf(path)), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (folder.get() >= 0) {
    static_cast<void>(::fsync(folder.get()));
  }
}

// strerror_r comes in two forms: GNU's returns the text, POSIX's fills the buffer.
[[maybe_unused]] const char* errorText(const char* text, const char* /*buffer*/) {
  return text;
}
[[maybe_unused]] const char* errorText(int /*status*/, const char* buffer) {
  return buffer;
}

}  // namespace

AtomicFile::AtomicFile(std::string target) : target_(std::move(target)) {}

AtomicFile::~AtomicFile() {
  discard();
}

bool AtomicFile::open() {
  if (fd_ >= 0 || failed_) {
    return fd_ >= 0;
  }
  if (target_.empty() || target_.back() == '/') {
    return fail(target_.empty() ? ENOENT : EISDIR);
  }
  const LinkEnd end = followLinks(target_);
  path_ = end.path;
  if (!end.refused.empty()) {
    refusal_ = end.refused +
               " is a link another user made in a folder everyone may write to: it is not followed";
    return fail(EACCES);
  }
  if (end.error != 0) {
    return fail(end.error);
  }
  if (path_.empty() || path_.back() == '/') {
    return fail(EISDIR);  // the path names a folder ("x/..")
  }
  struct stat st {};
  if (::stat(path_.c_str(), &st) != 0) {
    return errno == ENOENT && !end.openFile ? openReplacement(nullptr) : fail(errno);
  }
  // Decided before opening, which for a FIFO waits for a reader: a planted one may have none.
  if (!end.openFile && S_ISFIFO(st.st_mode) && PlantedByAnother(path_, st)) {
    refusal_ = path_ +
               " is a FIFO another user made in a folder everyone may write to: it is not written"
               " into";
    return fail(EACCES);
  }
  // Renaming over a device or a pipe would take it from everyone else who uses it (/dev/null,
  // for root): such a target is written into, as any program writes to a path.
  if (end.openFile || !S_ISREG(st.st_mode)) {
    return openDirect();
  }
  return openReplacement(&st);
}

bool AtomicFile::openDirect() {
  fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOCTTY | O_CLOEXEC, 0666);
  if (fd_ < 0) {
    return fail(errno);
  }
  direct_ = true;
  buffer_.reserve(kBufferSize);
  return true;
}

bool AtomicFile::openReplacement(const struct stat* old) {
  if (old != nullptr) {
    // Opening the file for writing (without truncating it) asks exactly what a plain write
    // would ask: with the effective user, and with the file system's own rules (read-only
    // mounts, immutable files) that mode bits and access() know nothing of.
    if (FileDescriptor(::open(path_.c_str(), O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC)).get() <
        0) {
      return fail(errno);
    }
  }
  removeStaleTemporaries(path_);
  if (!createTemporary()) {
    // The file itself may be writable: it is its folder that takes no new file.
    if (errno == EACCES || errno == EPERM || errno == EROFS) {
      deniedFolder_ = orHere(folderOf(path_));
    }
    return fail(errno);
  }
  // Tells removeIfAbandoned that this file's writer lives; where locks are not supported the
  // process check alone decides.
  static_cast<void>(::flock(fd_, LOCK_EX | LOCK_NB));
  // A file that is replaced keeps its owner and permissions; a new one gets what the umask allows.
  if (old != nullptr && !keepAccess(fd_, path_, *old)) {
    fail(errno);
    discard();
    return false;
  }
  buffer_.reserve(kBufferSize);
  return true;
}

// An unnamed file vanishes with its writer however the process ends; it gets a name only for the
// moment between linking it and renaming it over the target. The mode lets the umask decide the
// final permissions, as for any file the user creates (mkstemp would force 0600).
bool AtomicFile::createTemporary() {
  fd_ = ::open(orHere(folderOf(path_)), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
  if (fd_ >= 0 && canLinkUnnamedFiles()) {
    unnamed_ = true;
    return true;
  }
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  } else if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
    return false;  // the folder's own answer: missing, not writable, full, read-only
  }
  return nameUniquely(path_, tempName_, [this](const std::string& name) {
    fd_ = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    return fd_ >= 0;
  });
}

bool AtomicFile::giveTemporaryAName() {
  const std::string self = "/proc/self/fd/" + std::to_string(fd_);
  return nameUniquely(path_, tempName_, [&self](const std::string& name) {
    return ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0;
  });
}

bool AtomicFile::flushBuffer() {
  if (!failed_ && !buffer_.empty() && !writeAll(fd_, buffer_.data(), buffer_.size())) {
    fail(errno);
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
      return writeAll(fd_, p, size) || fail(errno);
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
  if (direct_) {
    return finishDirect();
  }
  // Without the sync a crash after the rename could leave an empty file where a good one was.
  // The file stays open (and locked) until it has its final name; once synced, closing it has
  // nothing left to report.
  if (::fsync(fd_) != 0 || (unnamed_ && !giveTemporaryAName()) ||
      ::rename(tempName_.c_str(), path_.c_str()) != 0) {
    fail(errno);
    discard();
    return false;
  }
  tempName_.clear();
  discard();
  syncFolder(path_);
  return true;
}

// Pipes and terminals cannot be synced (EINVAL): what they do with the bytes is theirs.
bool AtomicFile::finishDirect() {
  if (::fsync(fd_) != 0 && errno != EINVAL && errno != EROFS) {
    fail(errno);
  }
  if (::close(fd_) != 0) {
    fail(errno);
  }
  fd_ = -1;
  return !failed_;
}

bool AtomicFile::fail(int error) {
  if (!failed_) {
    failed_ = true;
    error_ = error;
  }
  return false;
}

std::string AtomicFile::failureReason() const {
  if (!refusal_.empty()) {
    return refusal_;
  }
  if (error_ == 0) {
    return std::string();
  }
  char buffer[256] = {};
  const std::string system = errorText(::strerror_r(error_, buffer, sizeof buffer), buffer);
  return deniedFolder_.empty() ? system
                               : "the folder " + deniedFolder_ + " takes no new files: " + system;
}

void AtomicFile::discard() {
  if (!tempName_.empty()) {
    ::unlink(tempName_.c_str());
    tempName_.clear();
  }
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
}

}  // namespace tessora
