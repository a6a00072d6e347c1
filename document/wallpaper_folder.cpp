#include "document/wallpaper_folder.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <system_error>
#include <utility>
#include <vector>

#include "document/wallpaper_output.h"
#include "document/wallpaper_recipe.h"

namespace tessora {
namespace {

std::string SystemReason(int error) {
  return std::generic_category().message(error);
}

Outcome FailedWithErrno(const std::string& what) {
  return Outcome::Failed(what + ": " + SystemReason(errno));
}

// A set's folder is named by its number alone; anything else in `sets` is not ours.
bool IsSetNumber(const std::string& name) {
  return !name.empty() && name.size() < 10 &&
         name.find_first_not_of("0123456789") == std::string::npos;
}

// A descriptor that closes as it goes, and can be handed on.
class Fd {
 public:
  explicit Fd(int fd = -1) : fd_(fd) {}
  Fd(Fd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  Fd& operator=(Fd&& other) noexcept {
    std::swap(fd_, other.fd_);
    return *this;
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  ~Fd() {
    if (fd_ >= 0) {
      ::close(fd_);
    }
  }
  int get() const { return fd_; }

 private:
  int fd_;
};

bool StatAt(int dir, const std::string& name, struct stat& st) {
  return ::fstatat(dir, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
}

std::string ReadLinkAt(int dir, const std::string& name) {
  char target[4096];
  const ssize_t n = ::readlinkat(dir, name.c_str(), target, sizeof target);
  return n > 0 && static_cast<std::size_t>(n) < sizeof target
             ? std::string(target, static_cast<std::size_t>(n))
             : std::string();
}

bool IsRegularFileAt(int dir, const std::string& name) {
  struct stat st {};
  return StatAt(dir, name, st) && S_ISREG(st.st_mode);
}

// The names in a folder, read from its descriptor.
std::vector<std::string> Entries(int dir) {
  std::vector<std::string> names;
  const int fd = ::openat(dir, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  DIR* list = fd >= 0 ? ::fdopendir(fd) : nullptr;
  if (list == nullptr) {
    if (fd >= 0) {
      ::close(fd);
    }
    return names;
  }
  while (const dirent* entry = ::readdir(list)) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") {
      names.push_back(name);
    }
  }
  ::closedir(list);
  return names;
}

// Who may own the folders of ours: this user, or the wallpaper folder's owner (a set made by
// root in a user's folder).
bool MayOwn(uid_t owner, int wallpaperFolder) {
  struct stat st {};
  return owner == ::geteuid() || (::fstat(wallpaperFolder, &st) == 0 && owner == st.st_uid);
}

enum class Entry { Ours, Missing, Foreign };

// Whether `name` in `dir` (shown as `path`) is a folder of ours; why not in `why`.
Entry CheckFolder(int dir, const std::string& name, const std::string& path, int wallpaperFolder,
                  std::string& why) {
  struct stat st {};
  if (!StatAt(dir, name, st)) {
    if (errno == ENOENT) {
      return Entry::Missing;
    }
    why = path + " cannot be read: " + SystemReason(errno);
  } else if (S_ISLNK(st.st_mode)) {
    why = path + " is a link to " + ReadLinkAt(dir, name) +
          ", not a folder of Tessora's: it is left alone";
  } else if (!S_ISDIR(st.st_mode)) {
    why = path + " is not a folder: it is left alone";
  } else if (!MayOwn(st.st_uid, wallpaperFolder)) {
    why = path + " belongs to another user: it is left alone";
  } else {
    return Entry::Ours;
  }
  return Entry::Foreign;
}

// Opens a folder of ours, never through a link; an invalid descriptor when it is missing or not
// ours (`why` then says why, or is empty for a missing one).
Fd OpenOurFolder(int dir, const std::string& name, const std::string& path, int wallpaperFolder,
                 std::string& why) {
  if (CheckFolder(dir, name, path, wallpaperFolder, why) != Entry::Ours) {
    return Fd();
  }
  Fd fd(::openat(dir, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  if (fd.get() < 0) {
    why = path + " cannot be opened: " + SystemReason(errno);
  }
  return fd;
}

// The entries of a folder reach the disk before a link names it, so that a crash cannot leave a
// link naming a set whose files are lost.
bool Sync(int fd) {
  return ::fsync(fd) == 0;
}

// Removes the numbered set `name`: only a folder of ours, and in it only what a set holds
// (files, and links, which are removed themselves); anything else keeps the folder.
void RemoveSet(int sets, const std::string& name, int wallpaperFolder) {
  std::string why;
  const Fd set = OpenOurFolder(sets, name, name, wallpaperFolder, why);
  if (set.get() < 0) {
    return;
  }
  for (const std::string& entry : Entries(set.get())) {
    struct stat st {};
    if (StatAt(set.get(), entry, st) && (S_ISREG(st.st_mode) || S_ISLNK(st.st_mode))) {
      ::unlinkat(set.get(), entry.c_str(), 0);
    }
  }
  ::unlinkat(sets, name.c_str(), AT_REMOVEDIR);
}

// The well-known names a set's files are shown under, monitors' up to `monitors`.
std::vector<std::string> Names(std::size_t monitors) {
  std::vector<std::string> names{WallpaperOutput::kWallpaperFileName, kRecipeFileName,
                                 kRecipeTileFileName, kRecipeCenterFileName};
  for (std::size_t i = 0; i < monitors; ++i) {
    names.push_back(WallpaperOutput::MonitorFileName(i));
  }
  return names;
}

// How many monitors' files there are in `dir`, counted from the first.
std::size_t MonitorFiles(int dir, bool regularOnly) {
  std::size_t n = 0;
  for (struct stat st{}; StatAt(dir, WallpaperOutput::MonitorFileName(n), st) &&
                         (!regularOnly || S_ISREG(st.st_mode));
       ++n) {
  }
  return n;
}

std::string SetOf(const std::string& number) {
  return std::string(WallpaperFolder::kSetsFolder) + "/" + number;
}

}  // namespace

// What `current` or `latest` names: a set of ours ("sets/N"), nothing, or why it cannot be used.
struct WallpaperFolder::Current {
  bool exists = false;  // the link is there, usable or not
  std::string set;      // the set it names, when that is a whole set of ours
  std::string refusal;  // why the folder cannot be used
};

WallpaperFolder::WallpaperFolder(std::string folder) : folder_(std::move(folder)) {}

WallpaperFolder::~WallpaperFolder() {
  if (!started_.empty() && fd_ >= 0) {
    started_.clear();
    static_cast<void>(tidy());
  }
  if (fd_ >= 0) {
    ::close(fd_);
  }
}

// The lock is the folder's own: no lock file is left behind, and a process killed while it holds
// the lock lets it go as it ends. The descriptor is not inherited, so a background program a set
// starts (swaybg) cannot keep the folder locked.
Outcome WallpaperFolder::lock() {
  fd_ = ::open(folder_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  // A folder that is not there holds no set to protect; a set fails as it tries to write there.
  if (fd_ < 0 && errno == ENOENT) {
    return Outcome::Done();
  }
  if (fd_ < 0) {
    return FailedWithErrno("the folder " + folder_ + " cannot be opened");
  }
  while (::flock(fd_, LOCK_EX) != 0) {
    if (errno != EINTR) {
      return FailedWithErrno("the folder " + folder_ + " cannot be locked");
    }
  }
  return tidy();
}

WallpaperFolder::Current WallpaperFolder::readLink(int dir, const char* link) const {
  Current c;
  const std::string path = folder_ + link;
  struct stat st {};
  if (!StatAt(dir, link, st)) {
    c.exists = errno != ENOENT;
    if (c.exists) {
      c.refusal = path + " cannot be read: " + SystemReason(errno);
    }
    return c;
  }
  c.exists = true;
  const std::string target = ReadLinkAt(dir, link);
  const std::string prefix = std::string(kSetsFolder) + "/";
  if (!S_ISLNK(st.st_mode)) {
    c.refusal = path + " is not a link Tessora made: it is left alone";
    return c;
  }
  if (target.rfind(prefix, 0) != 0 || !IsSetNumber(target.substr(prefix.size()))) {
    c.refusal = path + " is a link to " + target + ", not one Tessora made: it is left alone";
    return c;
  }
  const Fd sets = OpenOurFolder(dir, kSetsFolder, folder_ + kSetsFolder, dir, c.refusal);
  if (sets.get() < 0) {
    return c;  // a set that is gone leaves the folder without a current set
  }
  const std::string number = target.substr(prefix.size());
  const std::string setPath = folder_ + target;
  const Fd set = OpenOurFolder(sets.get(), number, setPath, dir, c.refusal);
  if (set.get() < 0) {
    return c;
  }
  // A set holds the files it wrote; anything else in it is not ours to hand over.
  for (const std::string& name : Entries(set.get())) {
    struct stat file {};
    if (StatAt(set.get(), name, file) && !S_ISREG(file.st_mode)) {
      c.refusal = setPath + "/" + name +
                  (S_ISLNK(file.st_mode) ? " is a link to " + ReadLinkAt(set.get(), name) +
                                               ", not a picture of Tessora's"
                                         : " is not a file of Tessora's") +
                  ": it is left alone";
      return c;
    }
  }
  c.set = target;
  return c;
}

std::string WallpaperFolder::currentSet() const {
  Fd own;
  int dir = fd_;
  if (dir < 0) {
    own = Fd(::open(folder_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    dir = own.get();
  }
  const Current c = dir >= 0 ? readLink(dir, kCurrentLink) : Current();
  return c.set.empty() || !c.refusal.empty() ? folder_ : folder_ + c.set + "/";
}

OutcomeOf<std::string> WallpaperFolder::startSet() {
  using Result = OutcomeOf<std::string>;
  const std::string path = folder_ + kSetsFolder;
  if (fd_ < 0) {
    return Result::Failed("the folder " + folder_ + " cannot be opened: " + SystemReason(ENOENT));
  }
  if (::mkdirat(fd_, kSetsFolder, 0755) != 0 && errno != EEXIST) {
    return Result::Failed("the folder " + path + " cannot be created: " + SystemReason(errno));
  }
  std::string why;
  const Fd sets = OpenOurFolder(fd_, kSetsFolder, path, fd_, why);
  if (sets.get() < 0) {
    return Result::Failed("the folder " + why);
  }
  unsigned long number = 0;
  for (const std::string& name : Entries(sets.get())) {
    if (IsSetNumber(name)) {
      number = std::max(number, std::stoul(name));
    }
  }
  for (;;) {
    const std::string name = std::to_string(++number);
    if (::mkdirat(sets.get(), name.c_str(), 0755) == 0) {
      started_ = name;
      return Result::Done(path + "/" + name + "/");
    }
    if (errno != EEXIST) {
      return Result::Failed("the folder " + path + "/" + name +
                            " cannot be created: " + SystemReason(errno));
    }
  }
}

// The files were written by path: the set is only used when that path still leads to the folder
// made for it.
Outcome WallpaperFolder::switchToStarted() {
  if (started_.empty() || fd_ < 0) {
    return Outcome::Failed("no set was started in " + folder_);
  }
  const std::string setPath = folder_ + SetOf(started_);
  std::string why;
  const Fd sets = OpenOurFolder(fd_, kSetsFolder, folder_ + kSetsFolder, fd_, why);
  const Fd set = sets.get() >= 0 ? OpenOurFolder(sets.get(), started_, setPath, fd_, why) : Fd();
  if (set.get() < 0) {
    return Outcome::Failed("the folder " + (why.empty() ? setPath + " is gone" : why));
  }
  struct stat opened {};
  struct stat written {};
  if (::fstat(set.get(), &opened) != 0 || ::stat(setPath.c_str(), &written) != 0 ||
      opened.st_dev != written.st_dev || opened.st_ino != written.st_ino) {
    return Outcome::Failed("the folder " + setPath + " was replaced while the set was written");
  }
  if (!Sync(set.get())) {
    return FailedWithErrno("the folder " + setPath + " cannot be written");
  }
  Current current = readLink(fd_, kCurrentLink);
  if (!current.refusal.empty()) {
    return Outcome::Failed(current.refusal);
  }
  if (!current.exists) {
    const Outcome adopted = adoptEarlierKind();
    if (!adopted) {
      return adopted;
    }
    current = readLink(fd_, kCurrentLink);
  }
  // The names are made to go through `latest` while it still shows the current set, so that
  // they switch together, in one rename.
  Outcome made = current.set.empty() ? Outcome::Done() : pointLatest(current.set);
  made = made ? linkNames(SetOf(started_)) : made;
  made = made ? pointLatest(SetOf(started_)) : made;
  if (made) {
    unlinkNamesNotIn(set.get());
  }
  return made;
}

void WallpaperFolder::settle(bool shown) {
  if (started_.empty() || fd_ < 0) {
    return;
  }
  const std::string set = SetOf(started_);
  if (shown || readLink(fd_, kCurrentLink).set.empty()) {
    static_cast<void>(pointCurrent(set));
  }
  started_.clear();
  static_cast<void>(tidy());
}

Outcome WallpaperFolder::pointLatest(const std::string& set) {
  return ReadLinkAt(fd_, kLatestLink) == set ? Outcome::Done() : point(kLatestLink, set);
}

Outcome WallpaperFolder::pointCurrent(const std::string& set) {
  return point(kCurrentLink, set);
}

// A link is replaced in one rename, so it always names a whole set (or, for a well-known name,
// is always there: a file of the earlier kind until its link takes its place).
Outcome WallpaperFolder::point(const std::string& link, const std::string& target) {
  const std::string fresh = "." + link + ".new";
  ::unlinkat(fd_, fresh.c_str(), 0);
  if (::symlinkat(target.c_str(), fd_, fresh.c_str()) != 0) {
    return FailedWithErrno("the link " + folder_ + fresh + " cannot be made");
  }
  if (::renameat(fd_, fresh.c_str(), fd_, link.c_str()) != 0) {
    const Outcome failed = FailedWithErrno("the link " + folder_ + link + " cannot be made");
    ::unlinkat(fd_, fresh.c_str(), 0);
    return failed;
  }
  ::fsync(fd_);
  return Outcome::Done();
}

// Makes each well-known name of a file `set` holds a link through `latest`.
Outcome WallpaperFolder::linkNames(const std::string& set) {
  std::string why;
  const Fd sets = OpenOurFolder(fd_, kSetsFolder, folder_ + kSetsFolder, fd_, why);
  const std::string number = set.substr(std::string(kSetsFolder).size() + 1);
  const Fd dir =
      sets.get() >= 0 ? OpenOurFolder(sets.get(), number, folder_ + set, fd_, why) : Fd();
  if (dir.get() < 0) {
    return Outcome::Failed("the folder " + why);
  }
  for (const std::string& name : Names(MonitorFiles(dir.get(), true))) {
    const std::string target = std::string(kLatestLink) + "/" + name;
    if (IsRegularFileAt(dir.get(), name) && ReadLinkAt(fd_, name) != target) {
      const Outcome made = point(name, target);
      if (!made) {
        return made;
      }
    }
  }
  return Outcome::Done();
}

// Only a file or link goes: a folder of that name is the user's.
void WallpaperFolder::unlinkNamesNotIn(int set) {
  const std::size_t shown = MonitorFiles(fd_, false);
  for (const std::string& name : Names(std::max(shown, MonitorFiles(set, true)))) {
    struct stat st {};
    if (!IsRegularFileAt(set, name) && StatAt(fd_, name, st) &&
        (S_ISREG(st.st_mode) || S_ISLNK(st.st_mode))) {
      ::unlinkat(fd_, name.c_str(), 0);
    }
  }
}

// The files of a folder of the earlier kind become a set of their own, current, before the first
// set of the new kind replaces them by links: a set stopped on the way leaves them current.
Outcome WallpaperFolder::adoptEarlierKind() {
  if (!IsRegularFileAt(fd_, WallpaperOutput::kWallpaperFileName)) {
    return Outcome::Done();
  }
  std::string why;
  const Fd sets = OpenOurFolder(fd_, kSetsFolder, folder_ + kSetsFolder, fd_, why);
  if (sets.get() < 0) {
    return Outcome::Failed("the folder " + why);
  }
  unsigned long number = 0;
  for (const std::string& name : Entries(sets.get())) {
    if (IsSetNumber(name)) {
      number = std::max(number, std::stoul(name));
    }
  }
  const std::string name = std::to_string(number + 1);
  const std::string path = folder_ + SetOf(name);
  if (::mkdirat(sets.get(), name.c_str(), 0755) != 0) {
    return FailedWithErrno("the folder " + path + " cannot be created");
  }
  const Fd set(::openat(sets.get(), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  for (const std::string& file : Names(MonitorFiles(fd_, true))) {
    if (IsRegularFileAt(fd_, file) &&
        ::linkat(fd_, file.c_str(), set.get(), file.c_str(), 0) != 0) {
      return FailedWithErrno("the file " + folder_ + file + " cannot be kept in " + path);
    }
  }
  if (set.get() < 0 || !Sync(set.get())) {
    return FailedWithErrno("the folder " + path + " cannot be written");
  }
  const Outcome current = pointCurrent(SetOf(name));
  return current ? pointLatest(SetOf(name)) : current;
}

Outcome WallpaperFolder::tidy() {
  if (fd_ < 0) {
    return Outcome::Done();
  }
  std::string why;
  if (CheckFolder(fd_, kSetsFolder, folder_ + kSetsFolder, fd_, why) == Entry::Foreign) {
    return Outcome::Failed("the folder " + why);
  }
  const Current current = readLink(fd_, kCurrentLink);
  const Current latest = readLink(fd_, kLatestLink);
  for (const Current* c : {&current, &latest}) {
    if (!c->refusal.empty()) {
      return Outcome::Failed(c->refusal);
    }
  }
  if (current.set.empty()) {
    if (latest.exists) {
      forgetLatest();
    }
    removeOtherSets(std::string());
    return Outcome::Done();
  }
  Outcome made = pointLatest(current.set);
  made = made ? linkNames(current.set) : made;
  if (made) {
    const Fd sets = OpenOurFolder(fd_, kSetsFolder, folder_ + kSetsFolder, fd_, why);
    const std::string number = current.set.substr(std::string(kSetsFolder).size() + 1);
    const Fd set = OpenOurFolder(sets.get(), number, folder_ + current.set, fd_, why);
    if (set.get() >= 0) {
      unlinkNamesNotIn(set.get());
    }
  }
  removeOtherSets(current.set);
  return made;
}

// A first set stopped before the desktop took it: its names and `latest` go, and the folder is
// without a set again.
void WallpaperFolder::forgetLatest() {
  const std::string through = std::string(kLatestLink) + "/";
  for (const std::string& name : Entries(fd_)) {
    struct stat st {};
    if (StatAt(fd_, name, st) && S_ISLNK(st.st_mode) && ReadLinkAt(fd_, name) == through + name) {
      ::unlinkat(fd_, name.c_str(), 0);
    }
  }
  ::unlinkat(fd_, kLatestLink, 0);
}

void WallpaperFolder::removeOtherSets(const std::string& keep) {
  std::string why;
  const Fd sets = OpenOurFolder(fd_, kSetsFolder, folder_ + kSetsFolder, fd_, why);
  for (const std::string& name :
       sets.get() >= 0 ? Entries(sets.get()) : std::vector<std::string>()) {
    if (IsSetNumber(name) && SetOf(name) != keep && name != started_) {
      RemoveSet(sets.get(), name, fd_);
    }
  }
  // The links a stopped set made and did not rename yet.
  for (const std::string& name : Entries(fd_)) {
    struct stat st {};
    if (name.size() > 5 && name.front() == '.' && name.compare(name.size() - 4, 4, ".new") == 0 &&
        StatAt(fd_, name, st) && S_ISLNK(st.st_mode)) {
      ::unlinkat(fd_, name.c_str(), 0);
    }
  }
}

}  // namespace tessora
