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

const char* orHere(const std::string& folder) {
  return folder.empty() ? "." : folder.c_str();
}

// The kernel's rule for entries in a sticky folder that everyone may write to (/tmp and the
// like): another user's link there is followed (fs.protected_symlinks), and another user's FIFO
// or file there opened to be created (fs.protected_fifos, fs.protected_regular), only when the
// folder's owner made it. Such an entry could otherwise make our write replace, or create, a file
// of their choosing wherever we may write, hang the write for as long as they like, or leave
// what we wrote in a file that stays theirs. The rule holds here whatever the
// system's setting, since we follow links ourselves and look at a FIFO before opening it.
bool PlantedByAnother(const struct stat& folder, const struct stat& entry) {
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

// The folder above `walked` ("/a/b/" gives "/a/"), for messages: `walked` holds no link, so ".."
// may be taken by its name. A relative path climbs above where it started.
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

int openPath(int folder, const char* name, int flags = 0) {
  return ::openat(folder, name, O_PATH | O_NOFOLLOW | O_CLOEXEC | flags);
}

// Where a walk of the target's path ended.
struct Walk {
  int folder = -1;        // the folder that holds the target's name (O_PATH)
  int entry = -1;         // the target itself when it exists, never followed (O_PATH)
  std::string name;       // the target's name in `folder`; empty when the path names a folder
  std::string path;       // the whole path with its links followed, for messages
  bool openFile = false;  // a link of /proc that names an open file rather than a path
  std::string refused;    // the link the kernel would not follow, when there is one
  int error = 0;          // what stopped the walk, as the kernel would report it

  void close() {
    for (int* fd : {&folder, &entry}) {
      if (*fd >= 0) {
        ::close(*fd);
        *fd = -1;
      }
    }
  }
};

// Follows the path name by name as open() would, each name looked up in the descriptor of the
// folder before it and no link followed by the kernel, so that what was checked is what is
// written: a new file is created where a plain write would create it, a dangling link stays a
// link, and another user's link in a shared sticky folder is not followed wherever it stands in
// the path (see PlantedByAnother). The links under /proc (/dev/stdout and its kin) name open
// files, not paths: the walk stops at the last one, and the caller writes through it.
Walk walkTo(const std::string& target) {
  Walk walk;
  std::vector<std::string> left = namesOf(target);  // still to walk, the next name last
  std::reverse(left.begin(), left.end());
  std::string walked = target.front() == '/' ? "/" : "";
  walk.folder = openPath(AT_FDCWD, walked.empty() ? "." : "/", O_DIRECTORY);
  std::string link(PATH_MAX, '\0');
  int hops = 0;
  const auto stop = [&walk](int error) {
    walk.error = error;
    walk.close();
    return std::move(walk);
  };
  while (!left.empty() && walk.folder >= 0) {
    const std::string name = std::move(left.back());
    left.pop_back();
    const int entry = openPath(walk.folder, name.c_str());
    if (entry < 0) {
      // Only the last name may be missing: it is then a new file.
      if (errno != ENOENT || !left.empty()) {
        return stop(errno);
      }
      walk.name = name;
      walk.path = walked + name;
      return walk;
    }
    struct stat st {};
    struct stat folder {};
    struct statfs fs {};
    if (::fstat(entry, &st) != 0 || ::fstat(walk.folder, &folder) != 0) {
      const int error = errno;
      ::close(entry);
      return stop(error);
    }
    if (S_ISLNK(st.st_mode)) {
      const bool magic =
          left.empty() && ::fstatfs(walk.folder, &fs) == 0 && fs.f_type == PROC_SUPER_MAGIC;
      const ssize_t n = magic ? 0 : ::readlinkat(entry, "", link.data(), link.size());
      const int error = n < 0 ? errno : 0;
      ::close(entry);
      if (magic) {
        walk.name = name;
        walk.path = walked + name;
        walk.openFile = true;
        return walk;
      }
      if (PlantedByAnother(folder, st)) {
        walk.refused = walked + name;
        return stop(EACCES);
      }
      if (n <= 0 || static_cast<std::size_t>(n) >= link.size() || ++hops > kMaxLinks) {
        return stop(n <= 0             ? (error != 0 ? error : ENOENT)
                    : hops > kMaxLinks ? ELOOP
                                       : ENAMETOOLONG);
      }
      const std::string to = link.substr(0, static_cast<std::size_t>(n));
      if (to.front() == '/') {
        ::close(walk.folder);
        walk.folder = openPath(AT_FDCWD, "/", O_DIRECTORY);
        walked = "/";
      }
      const std::vector<std::string> names = namesOf(to);
      left.insert(left.end(), names.rbegin(), names.rend());
      continue;
    }
    if (left.empty() && name != "..") {
      walk.entry = entry;
      walk.name = name;
      walk.path = walked + name;
      return walk;
    }
    if (!S_ISDIR(st.st_mode)) {
      ::close(entry);
      return stop(ENOTDIR);
    }
    ::close(walk.folder);
    walk.folder = entry;
    walked = name == ".." ? parentOf(walked) : walked + name + "/";
  }
  // The path names a folder ("/", "x/.."), or the first folder could not be opened.
  return stop(walk.folder < 0 ? errno : EISDIR);
}

// Our temporary names: ".<target name>.<pid>.<n>.tmp", or ".tessora.<pid>.<n>.tmp" when the
// first is too long for the file system.
std::string tempName(const std::string& base, unsigned n, bool shortForm) {
  const std::string stem = shortForm ? std::string(kShortTempStem) : "." + base + ".";
  return stem + std::to_string(::getpid()) + "." + std::to_string(n) + std::string(kTempEnding);
}

// Gives a new file one of our temporary names beside the target `base`: `make` creates the entry
// and fails with EEXIST when the name is taken. `name` is left empty unless an entry was made.
template <typename Make>
bool nameUniquely(const std::string& base, std::string& name, Make make) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    const unsigned n = tempCounter.fetch_add(1);
    name = tempName(base, n, false);
    bool made = make(name);
    if (!made && errno == ENAMETOOLONG) {
      name = tempName(base, n, true);
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

void removeStaleTemporaries(int folder, const std::string& base) {
  const int listing = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  const std::unique_ptr<DIR, int (*)(DIR*)> entries(listing >= 0 ? ::fdopendir(listing) : nullptr,
                                                    ::closedir);
  if (entries == nullptr) {
    if (listing >= 0) {
      ::close(listing);
    }
    return;
  }
  while (const dirent* entry = ::readdir(entries.get())) {
    pid_t owner = 0;
    if (temporaryOwner(entry->d_name, base, owner)) {
      removeIfAbandoned(folder, entry->d_name, owner);
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
bool keepAccess(int fd, int oldFile, const struct stat& old) {
  if ((old.st_uid != ::geteuid() || old.st_gid != ::getegid()) &&
      ::fchown(fd, old.st_uid, old.st_gid) != 0) {
    static_cast<void>(::fchown(fd, static_cast<uid_t>(-1), old.st_gid));
  }
  std::vector<char> acl(4096);
  const ssize_t n =
      oldFile >= 0 ? ::fgetxattr(oldFile, kAccessAcl, acl.data(), acl.size()) : ssize_t{-1};
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
void syncFolder(int folder) {
  const FileDescriptor synced(::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (synced.get() >= 0) {
    static_cast<void>(::fsync(synced.get()));
  }
}

// Opens the file an O_PATH descriptor holds, for real: the very file that was looked at, whatever
// has become of its name since. Without /proc, by its name in its folder, never through a link.
int reopen(int entry, int folder, const std::string& name, int flags) {
  const int fd = ::open(("/proc/self/fd/" + std::to_string(entry)).c_str(), flags | O_CLOEXEC);
  if (fd >= 0 || errno != ENOENT) {
    return fd;
  }
  return ::openat(folder, name.c_str(), flags | O_NOFOLLOW | O_CLOEXEC);
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
  closeFolder();
}

bool AtomicFile::open() {
  if (fd_ >= 0 || failed_) {
    return fd_ >= 0;
  }
  if (target_.empty() || target_.back() == '/') {
    return fail(target_.empty() ? ENOENT : EISDIR);
  }
  Walk end = walkTo(target_);
  path_ = end.path;
  name_ = end.name;
  folder_ = std::exchange(end.folder, -1);
  entry_ = std::exchange(end.entry, -1);
  if (!end.refused.empty()) {
    refusal_ = end.refused +
               " is a link another user made in a folder everyone may write to: it is not followed";
  }
  if (end.error != 0) {
    return fail(end.error);
  }
  // Renaming over a device or a pipe would take it from everyone else who uses it (/dev/null,
  // for root): such a target is written into, as any program writes to a path.
  if (end.openFile) {
    return openDirect();
  }
  struct stat st {};
  if (entry_ < 0) {
    return openReplacement(nullptr);
  }
  if (::fstat(entry_, &st) != 0) {
    return fail(errno);
  }
  // Decided before opening, which for a FIFO waits for a reader: a planted one may have none.
  // A planted file would stay its maker's, with what we wrote in it.
  struct stat folder {};
  const bool fifo = S_ISFIFO(st.st_mode);
  if ((fifo || S_ISREG(st.st_mode)) && ::fstat(folder_, &folder) == 0 &&
      PlantedByAnother(folder, st)) {
    refusal_ = path_ + (fifo ? " is a FIFO" : " is a file") +
               " another user made in a folder everyone may write to: it is not written into";
    return fail(EACCES);
  }
  return S_ISREG(st.st_mode) ? openReplacement(&st) : openDirect();
}

bool AtomicFile::openDirect() {
  constexpr int kFlags = O_WRONLY | O_TRUNC | O_NOCTTY;
  // A link of /proc is opened through, as the kernel follows it; anything else is the very file
  // the walk found.
  fd_ = entry_ < 0 ? ::openat(folder_, name_.c_str(), kFlags | O_CREAT | O_CLOEXEC, 0666)
                   : reopen(entry_, folder_, name_, kFlags);
  if (fd_ < 0) {
    return fail(errno);
  }
  direct_ = true;
  buffer_.reserve(kBufferSize);
  return true;
}

bool AtomicFile::openReplacement(const struct stat* old) {
  // Opening the file for writing (without truncating it) asks exactly what a plain write would
  // ask: with the effective user, and with the file system's own rules (read-only mounts,
  // immutable files) that mode bits and access() know nothing of. The file stays open to read
  // its access list from.
  const FileDescriptor oldFile(
      old != nullptr ? reopen(entry_, folder_, name_, O_WRONLY | O_NOCTTY | O_NONBLOCK) : -1);
  if (old != nullptr && oldFile.get() < 0) {
    return fail(errno);
  }
  removeStaleTemporaries(folder_, name_);
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
  if (old != nullptr && !keepAccess(fd_, oldFile.get(), *old)) {
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
  fd_ = ::openat(folder_, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
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
  return nameUniquely(name_, tempName_, [this](const std::string& name) {
    fd_ =
        ::openat(folder_, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    return fd_ >= 0;
  });
}

bool AtomicFile::giveTemporaryAName() {
  const std::string self = "/proc/self/fd/" + std::to_string(fd_);
  return nameUniquely(name_, tempName_, [this, &self](const std::string& name) {
    return ::linkat(AT_FDCWD, self.c_str(), folder_, name.c_str(), AT_SYMLINK_FOLLOW) == 0;
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
      ::renameat(folder_, tempName_.c_str(), folder_, name_.c_str()) != 0) {
    fail(errno);
    discard();
    return false;
  }
  tempName_.clear();
  discard();
  syncFolder(folder_);
  closeFolder();
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
  closeFolder();
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
    ::unlinkat(folder_, tempName_.c_str(), 0);
    tempName_.clear();
  }
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
}

void AtomicFile::closeFolder() {
  for (int* fd : {&folder_, &entry_}) {
    if (*fd >= 0) {
      ::close(*fd);
      *fd = -1;
    }
  }
}

}  // namespace tessora
