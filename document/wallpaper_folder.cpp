#include "document/wallpaper_folder.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <system_error>
#include <vector>

#include "common/file_descriptor.h"
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

std::string SetPath(const std::string& number) {
  return std::string(WallpaperFolder::kSetsFolder) + "/" + number;
}

// The number of the set a link to `target` names ("sets/12"), or "" for any other target.
std::string SetNamed(const std::string& target) {
  const std::string prefix = SetPath("");
  return target.rfind(prefix, 0) == 0 && IsSetNumber(target.substr(prefix.size()))
             ? target.substr(prefix.size())
             : std::string();
}

std::string ReadLinkAt(int dir, const std::string& name) {
  char target[256];
  const ssize_t n = ::readlinkat(dir, name.c_str(), target, sizeof target);
  return n > 0 && static_cast<std::size_t>(n) < sizeof target
             ? std::string(target, static_cast<std::size_t>(n))
             : std::string();
}

// The entry itself, a link not followed; false when it is not there.
bool EntryAt(int dir, const std::string& name, struct stat& st) {
  return ::fstatat(dir, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
}

// Why the entry `st` is not a folder this program made, or "" when it is one. Only such a folder
// is opened, written into or cleaned up.
std::string NotOwnFolder(const struct stat& st) {
  if (S_ISLNK(st.st_mode)) {
    return "is a link, not a folder of this program's own";
  }
  if (!S_ISDIR(st.st_mode)) {
    return "is not a folder";
  }
  return st.st_uid == ::geteuid() ? std::string() : "belongs to another user";
}

// The folder `name` in `dir`, opened without following a link, when it is a folder of this
// program's own; -1 otherwise.
int OpenOwnFolder(int dir, const std::string& name) {
  const int fd = ::openat(dir, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  struct stat st {};
  if (fd >= 0 && (::fstat(fd, &st) != 0 || !NotOwnFolder(st).empty())) {
    ::close(fd);
    return -1;
  }
  return fd;
}

// The names in the folder `dir`, without "." and "..".
std::vector<std::string> EntriesOf(int dir) {
  std::vector<std::string> names;
  const int fd = ::openat(dir, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  DIR* listing = fd >= 0 ? ::fdopendir(fd) : nullptr;
  if (listing == nullptr) {
    if (fd >= 0) {
      ::close(fd);
    }
    return names;
  }
  while (const dirent* entry = ::readdir(listing)) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") {
      names.push_back(name);
    }
  }
  ::closedir(listing);
  return names;
}

// The highest number of a set in the folder `sets`; 0 when it holds none.
unsigned long HighestSetNumber(int sets) {
  unsigned long number = 0;
  for (const std::string& name : EntriesOf(sets)) {
    if (IsSetNumber(name)) {
      number = std::max(number, std::stoul(name));
    }
  }
  return number;
}

// Only a file or a link of that name is removed, never what it links to; a folder is the user's.
void RemoveFileAt(int dir, const std::string& name) {
  struct stat st {};
  if (EntryAt(dir, name, st) && (S_ISREG(st.st_mode) || S_ISLNK(st.st_mode))) {
    ::unlinkat(dir, name.c_str(), 0);
  }
}

// Makes `name` in `dir` a link to `target` in one rename, so that the name is always there: what
// it was until the link takes its place.
Outcome LinkAt(int dir, const std::string& target, const std::string& name,
               const std::string& folder) {
  const std::string fresh = "." + name + ".new";
  RemoveFileAt(dir, fresh);
  if (::symlinkat(target.c_str(), dir, fresh.c_str()) != 0) {
    return FailedWithErrno("the link " + folder + fresh + " cannot be made");
  }
  if (::renameat(dir, fresh.c_str(), dir, name.c_str()) != 0) {
    const Outcome failed = FailedWithErrno("the link " + folder + name + " cannot be made");
    ::unlinkat(dir, fresh.c_str(), 0);
    return failed;
  }
  return Outcome::Done();
}

// The number of the set `current` names, when that set is a folder of this program's own; ""
// otherwise.
std::string CurrentSetAt(int folder) {
  const std::string number = SetNamed(ReadLinkAt(folder, WallpaperFolder::kCurrentLink));
  if (number.empty()) {
    return number;
  }
  const FileDescriptor sets(OpenOwnFolder(folder, WallpaperFolder::kSetsFolder));
  struct stat st {};
  return sets.get() >= 0 && EntryAt(sets.get(), number, st) && NotOwnFolder(st).empty()
             ? number
             : std::string();
}

// The well-known names of the files the desktop is handed, and of the recipe's.
std::vector<std::string> WellKnownNames(int folder) {
  std::vector<std::string> names = {WallpaperOutput::kWallpaperFileName, kRecipeFileName,
                                    kRecipeTileFileName, kRecipeCenterFileName};
  struct stat st {};
  for (std::size_t i = 0; EntryAt(folder, WallpaperOutput::MonitorFileName(i), st); ++i) {
    names.push_back(WallpaperOutput::MonitorFileName(i));
  }
  return names;
}

}  // namespace

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
  const Outcome checked = checkEntries();
  return checked ? tidy() : checked;
}

// What this program makes in the folder: `sets` and the sets in it, folders of this user;
// `current` and `latest`, links to one of the sets; the well-known names, the files of the
// earlier kind or links through `latest` (through `current` before `latest` was kept). Anything
// else in their place was put there by another, and is not followed, written through or
// removed: the folder is refused as it is.
Outcome WallpaperFolder::checkEntries() const {
  const auto refused = [this](const std::string& name, const std::string& why) {
    return Outcome::Failed(folder_ + name + " " + why + "; it is left alone");
  };
  struct stat st {};
  if (EntryAt(fd_, kSetsFolder, st) && !NotOwnFolder(st).empty()) {
    return refused(kSetsFolder, NotOwnFolder(st));
  }
  for (const char* link : {kCurrentLink, kLatestLink}) {
    if (!EntryAt(fd_, link, st)) {
      continue;
    }
    const std::string target = ReadLinkAt(fd_, link);
    const std::string number = SetNamed(target);
    if (!S_ISLNK(st.st_mode)) {
      return refused(link, "is not a link this program made");
    }
    if (number.empty()) {
      return refused(link, "links to " + target + ", which is not one of the sets");
    }
    // A set no longer there leaves the names showing nothing, as it always did.
    if (EntryAt(fd_, SetPath(number), st) && !NotOwnFolder(st).empty()) {
      return refused(SetPath(number), NotOwnFolder(st));
    }
  }
  for (const std::string& name : WellKnownNames(fd_)) {
    if (!EntryAt(fd_, name, st) || S_ISREG(st.st_mode)) {
      continue;
    }
    const std::string target = ReadLinkAt(fd_, name);
    if (!S_ISLNK(st.st_mode)) {
      return refused(name, "is not a file");
    }
    if (target != std::string(kLatestLink) + "/" + name &&
        target != std::string(kCurrentLink) + "/" + name) {
      return refused(name, "links to " + target + ", which this program did not make");
    }
  }
  return Outcome::Done();
}

std::string WallpaperFolder::currentSet() const {
  const FileDescriptor opened(
      fd_ >= 0 ? -1 : ::open(folder_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  const int folder = fd_ >= 0 ? fd_ : opened.get();
  const std::string number = folder >= 0 ? CurrentSetAt(folder) : std::string();
  return number.empty() ? folder_ : folder_ + SetPath(number) + "/";
}

OutcomeOf<std::string> WallpaperFolder::startSet() {
  using Result = OutcomeOf<std::string>;
  const std::string sets = folder_ + kSetsFolder;
  if (fd_ < 0) {
    return Result::Failed("the folder " + sets + " cannot be created: " + SystemReason(ENOENT));
  }
  if (::mkdirat(fd_, kSetsFolder, 0755) != 0 && errno != EEXIST) {
    return Result::Failed("the folder " + sets + " cannot be created: " + SystemReason(errno));
  }
  const FileDescriptor setsFd(OpenOwnFolder(fd_, kSetsFolder));
  struct stat st {};
  if (setsFd.get() < 0) {
    const std::string why = EntryAt(fd_, kSetsFolder, st) ? NotOwnFolder(st) : "is not there";
    return Result::Failed(sets + " " + why + "; it is left alone");
  }
  unsigned long number = HighestSetNumber(setsFd.get());
  for (;;) {
    const std::string name = std::to_string(++number);
    if (::mkdirat(setsFd.get(), name.c_str(), 0755) == 0) {
      started_ = name;
      return Result::Done(folder_ + SetPath(name) + "/");
    }
    if (errno != EEXIST) {
      return Result::Failed("the folder " + sets + "/" + name +
                            " cannot be created: " + SystemReason(errno));
    }
  }
}

Outcome WallpaperFolder::switchToStarted() {
  if (started_.empty()) {
    return Outcome::Failed("no set was started in " + folder_);
  }
  const std::string set = folder_ + SetPath(started_);
  const FileDescriptor setsFd(OpenOwnFolder(fd_, kSetsFolder));
  const FileDescriptor setFd(setsFd.get() >= 0 ? OpenOwnFolder(setsFd.get(), started_) : -1);
  if (setFd.get() < 0) {
    return Outcome::Failed("the folder " + set + " is no longer the one this program made");
  }
  // The set's copies are the files written in it, not links to files elsewhere.
  for (const std::string& name : EntriesOf(setFd.get())) {
    struct stat st {};
    if (EntryAt(setFd.get(), name, st) && !S_ISREG(st.st_mode)) {
      return Outcome::Failed(set + "/" + name + " is not a file this program wrote");
    }
  }
  // The set's entries reach the disk before the link names it, so that a crash cannot leave
  // `current` naming a set whose files are lost.
  if (::fsync(setFd.get()) != 0) {
    return FailedWithErrno("the folder " + set + " cannot be written");
  }
  std::string before = CurrentSetAt(fd_);
  struct stat st {};
  if (before.empty() && !EntryAt(fd_, kCurrentLink, st)) {
    const OutcomeOf<std::string> adopted = adoptEarlierKind();
    if (!adopted) {
      return adopted.outcome();
    }
    before = adopted.value();
  }
  // The names are made to go through `latest` while it still shows the set before, so that they
  // all switch together, in the one rename of `latest`.
  Outcome made = before.empty() ? Outcome::Done() : point(kLatestLink, before);
  made = made ? showNames(started_, kLatestLink, false) : made;
  made = made ? point(kLatestLink, started_) : made;
  return made ? showNames(started_, kLatestLink, true) : made;
}

// Only once the desktop has taken the set does `current` name it: a set stopped before that,
// at any moment, leaves the set before current, as the desktop still shows it.
void WallpaperFolder::settle(bool shown) {
  if (started_.empty() || fd_ < 0) {
    return;
  }
  if (shown || CurrentSetAt(fd_).empty()) {
    static_cast<void>(point(kCurrentLink, started_));
  }
  started_.clear();
  static_cast<void>(tidy());
}

// `current` and `latest` are each replaced in one rename, so that each always names a whole set
// and the names through `latest` switch together. Only a link is replaced: anything else of that
// name was not made here.
Outcome WallpaperFolder::point(const char* link, const std::string& number) {
  if (ReadLinkAt(fd_, link) == SetPath(number)) {
    return Outcome::Done();
  }
  struct stat st {};
  if (EntryAt(fd_, link, st) && !S_ISLNK(st.st_mode)) {
    return Outcome::Failed(folder_ + link + " is not a link this program made");
  }
  const Outcome made = LinkAt(fd_, SetPath(number), link, folder_);
  if (made) {
    ::fsync(fd_);
  }
  return made;
}

// Makes a well-known name a link through the link `through` for each file the set `number`
// holds; with `dropOthers`, the names of files it does not hold go.
Outcome WallpaperFolder::showNames(const std::string& number, const char* through,
                                   bool dropOthers) {
  const FileDescriptor sets(OpenOwnFolder(fd_, kSetsFolder));
  const FileDescriptor set(sets.get() >= 0 ? OpenOwnFolder(sets.get(), number) : -1);
  const auto holds = [&set](const std::string& name) {
    struct stat st {};
    return EntryAt(set.get(), name, st) && S_ISREG(st.st_mode);
  };
  Outcome made = link(WallpaperOutput::kWallpaperFileName, through);
  std::size_t monitors = 0;
  for (; made && holds(WallpaperOutput::MonitorFileName(monitors)); ++monitors) {
    made = link(WallpaperOutput::MonitorFileName(monitors), through);
  }
  for (std::size_t i = monitors; dropOthers; ++i) {
    struct stat st {};
    if (!EntryAt(fd_, WallpaperOutput::MonitorFileName(i), st)) {
      break;
    }
    unlink(WallpaperOutput::MonitorFileName(i));
  }
  for (const char* name : {kRecipeFileName, kRecipeTileFileName}) {
    made = made ? link(name, through) : made;
  }
  if (holds(kRecipeCenterFileName)) {
    made = made ? link(kRecipeCenterFileName, through) : made;
  } else if (dropOthers) {
    unlink(kRecipeCenterFileName);
  }
  return made;
}

// The files of a folder of the earlier kind become a set of their own, current, before the first
// set of the new kind replaces them by links: a set stopped on the way leaves them current.
OutcomeOf<std::string> WallpaperFolder::adoptEarlierKind() {
  using Result = OutcomeOf<std::string>;
  struct stat st {};
  if (!EntryAt(fd_, WallpaperOutput::kWallpaperFileName, st) || !S_ISREG(st.st_mode)) {
    return Result::Done(std::string());
  }
  const FileDescriptor sets(OpenOwnFolder(fd_, kSetsFolder));
  const std::string name = std::to_string(HighestSetNumber(sets.get()) + 1);
  const std::string path = folder_ + SetPath(name);
  if (sets.get() < 0 || ::mkdirat(sets.get(), name.c_str(), 0755) != 0) {
    return Result::Failed("the folder " + path + " cannot be created: " + SystemReason(errno));
  }
  const FileDescriptor set(OpenOwnFolder(sets.get(), name));
  for (const std::string& file : WellKnownNames(fd_)) {
    if (EntryAt(fd_, file, st) && S_ISREG(st.st_mode) &&
        ::linkat(fd_, file.c_str(), set.get(), file.c_str(), 0) != 0) {
      return Result::Failed("the file " + folder_ + file + " cannot be kept in " + path + ": " +
                            SystemReason(errno));
    }
  }
  if (::fsync(set.get()) != 0) {
    return Result::Failed("the folder " + path + " cannot be written: " + SystemReason(errno));
  }
  const Outcome current = point(kCurrentLink, name);
  return current ? Result::Done(name) : Result::Failed(current.reason());
}

Outcome WallpaperFolder::tidy() {
  if (fd_ < 0) {
    return Outcome::Done();
  }
  const std::string number = CurrentSetAt(fd_);
  if (number.empty()) {
    forgetLatest();
    removeOtherSets(std::string());
    return Outcome::Done();
  }
  // Names that still go through `current` (a folder of the version before `latest`) show the
  // current set as they are: the next set puts them through `latest`. A restore writes nothing
  // in a folder that shows what it should.
  struct stat st {};
  const bool latest = EntryAt(fd_, kLatestLink, st);
  Outcome made = latest ? point(kLatestLink, number) : Outcome::Done();
  made = made ? showNames(number, latest ? kLatestLink : kCurrentLink, true) : made;
  removeOtherSets(number);
  return made;
}

// Without a current set, what `latest` shows is a first set stopped before the desktop took it:
// its names and `latest` go, and the folder is without a set again.
void WallpaperFolder::forgetLatest() {
  struct stat st {};
  if (!EntryAt(fd_, kLatestLink, st) || !S_ISLNK(st.st_mode)) {
    return;
  }
  for (const std::string& name : WellKnownNames(fd_)) {
    if (ReadLinkAt(fd_, name) == std::string(kLatestLink) + "/" + name) {
      ::unlinkat(fd_, name.c_str(), 0);
    }
  }
  ::unlinkat(fd_, kLatestLink, 0);
}

Outcome WallpaperFolder::link(const std::string& name, const char* through) {
  const std::string target = std::string(through) + "/" + name;
  if (ReadLinkAt(fd_, name) == target) {
    return Outcome::Done();
  }
  return LinkAt(fd_, target, name, folder_);
}

void WallpaperFolder::unlink(const std::string& name) {
  RemoveFileAt(fd_, name);
}

// A set goes with the files and links in it (the links themselves, not what they name). A set
// that is a link, another user's folder, or holds anything else is not one this program left as
// it is: what is not its own stays.
void WallpaperFolder::removeSet(const std::string& number) {
  const FileDescriptor sets(OpenOwnFolder(fd_, kSetsFolder));
  const FileDescriptor set(sets.get() >= 0 ? OpenOwnFolder(sets.get(), number) : -1);
  if (set.get() < 0) {
    return;
  }
  for (const std::string& name : EntriesOf(set.get())) {
    RemoveFileAt(set.get(), name);
  }
  ::unlinkat(sets.get(), number.c_str(), AT_REMOVEDIR);
}

void WallpaperFolder::removeOtherSets(const std::string& current) {
  if (fd_ < 0) {
    return;
  }
  const FileDescriptor sets(OpenOwnFolder(fd_, kSetsFolder));
  const std::vector<std::string> names =
      sets.get() >= 0 ? EntriesOf(sets.get()) : std::vector<std::string>();
  for (const std::string& name : names) {
    if (IsSetNumber(name) && name != current && name != started_) {
      removeSet(name);
    }
  }
  // The links a stopped set made and did not rename yet.
  for (const std::string& name : EntriesOf(fd_)) {
    struct stat st {};
    if (name.front() == '.' && name.size() > 4 && name.compare(name.size() - 4, 4, ".new") == 0 &&
        EntryAt(fd_, name, st) && S_ISLNK(st.st_mode)) {
      ::unlinkat(fd_, name.c_str(), 0);
    }
  }
}

}  // namespace tessora
