#include "document/wallpaper_folder.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <system_error>

#include "document/wallpaper_output.h"
#include "document/wallpaper_recipe.h"
#include "settings/file_io.h"

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

std::string ReadLink(const std::string& path) {
  char target[256];
  const ssize_t n = ::readlink(path.c_str(), target, sizeof target);
  return n > 0 && static_cast<std::size_t>(n) < sizeof target
             ? std::string(target, static_cast<std::size_t>(n))
             : std::string();
}

// The entries of a folder reach the disk before a link names it, so that a crash cannot leave
// `current` naming a set whose files are lost.
bool SyncFolder(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) {
    return false;
  }
  const bool ok = ::fsync(fd) == 0;
  ::close(fd);
  return ok;
}

}  // namespace

WallpaperFolder::WallpaperFolder(std::string folder) : folder_(std::move(folder)) {}

WallpaperFolder::~WallpaperFolder() {
  if (!started_.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(started_, ignored);
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
  return Outcome::Done();
}

std::string WallpaperFolder::currentSet() const {
  const std::string target = ReadLink(folder_ + kCurrentLink);
  const std::string prefix = std::string(kSetsFolder) + "/";
  std::error_code ignored;
  if (target.rfind(prefix, 0) != 0 || !IsSetNumber(target.substr(prefix.size())) ||
      !std::filesystem::is_directory(folder_ + target, ignored)) {
    return folder_;
  }
  return folder_ + target + "/";
}

OutcomeOf<std::string> WallpaperFolder::startSet() {
  using Result = OutcomeOf<std::string>;
  const std::string sets = folder_ + kSetsFolder;
  if (::mkdir(sets.c_str(), 0755) != 0 && errno != EEXIST) {
    return Result::Failed("the folder " + sets + " cannot be created: " + SystemReason(errno));
  }
  unsigned long number = 0;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(sets, error)) {
    const std::string name = entry.path().filename().string();
    if (IsSetNumber(name)) {
      number = std::max(number, std::stoul(name));
    }
  }
  for (;;) {
    const std::string set = sets + "/" + std::to_string(++number);
    if (::mkdir(set.c_str(), 0755) == 0) {
      started_ = set + "/";
      return Result::Done(started_);
    }
    if (errno != EEXIST) {
      return Result::Failed("the folder " + set + " cannot be created: " + SystemReason(errno));
    }
  }
}

Outcome WallpaperFolder::switchToStarted() {
  if (started_.empty()) {
    return Outcome::Failed("no set was started in " + folder_);
  }
  const std::string set = started_.substr(0, started_.size() - 1);
  if (!SyncFolder(set)) {
    return FailedWithErrno("the folder " + set + " cannot be written");
  }
  const std::string before = currentSet();
  const Outcome pointed = point(set.substr(folder_.size()));
  if (!pointed) {
    return pointed;
  }
  previous_ = before == folder_ ? std::string() : before;
  started_.clear();
  return tidy();
}

void WallpaperFolder::settle(bool shown) {
  if (!shown && !previous_.empty()) {
    const std::string rejected = currentSet();
    const std::string target =
        previous_.substr(folder_.size(), previous_.size() - folder_.size() - 1);
    if (point(target)) {
      std::error_code ignored;
      std::filesystem::remove_all(rejected, ignored);
    }
  }
  previous_.clear();
  static_cast<void>(tidy());
}

// `current` is replaced in one rename, so it always names a whole set.
Outcome WallpaperFolder::point(const std::string& target) {
  const std::string fresh = folder_ + "." + kCurrentLink + ".new";
  const std::string current = folder_ + kCurrentLink;
  ::unlink(fresh.c_str());
  if (::symlink(target.c_str(), fresh.c_str()) != 0) {
    return FailedWithErrno("the link " + fresh + " cannot be made");
  }
  if (::rename(fresh.c_str(), current.c_str()) != 0) {
    const Outcome failed = FailedWithErrno("the link " + current + " cannot be made");
    ::unlink(fresh.c_str());
    return failed;
  }
  if (fd_ >= 0) {
    ::fsync(fd_);
  }
  return Outcome::Done();
}

Outcome WallpaperFolder::tidy() {
  const std::string set = currentSet();
  if (set == folder_) {
    removeOtherSets(std::string());
    return Outcome::Done();
  }
  Outcome made = link(WallpaperOutput::kWallpaperFileName);
  std::size_t monitors = 0;
  for (; made && IsExistingFile(set + WallpaperOutput::MonitorFileName(monitors)); ++monitors) {
    made = link(WallpaperOutput::MonitorFileName(monitors));
  }
  for (std::size_t i = monitors;; ++i) {
    struct stat st {};
    if (::lstat((folder_ + WallpaperOutput::MonitorFileName(i)).c_str(), &st) != 0) {
      break;
    }
    unlink(WallpaperOutput::MonitorFileName(i));
  }
  for (const char* name : {kRecipeFileName, kRecipeTileFileName}) {
    made = made ? link(name) : made;
  }
  if (IsExistingFile(set + kRecipeCenterFileName)) {
    made = made ? link(kRecipeCenterFileName) : made;
  } else {
    unlink(kRecipeCenterFileName);
  }
  removeOtherSets(set);
  return made;
}

// Each name is replaced in one rename, so it is always there: a file of the earlier kind until
// its link takes its place.
Outcome WallpaperFolder::link(const std::string& name) {
  const std::string path = folder_ + name;
  const std::string target = std::string(kCurrentLink) + "/" + name;
  if (ReadLink(path) == target) {
    return Outcome::Done();
  }
  const std::string fresh = folder_ + "." + name + ".new";
  ::unlink(fresh.c_str());
  if (::symlink(target.c_str(), fresh.c_str()) != 0) {
    return FailedWithErrno("the link " + fresh + " cannot be made");
  }
  if (::rename(fresh.c_str(), path.c_str()) != 0) {
    const Outcome failed = FailedWithErrno("the link " + path + " cannot be made");
    ::unlink(fresh.c_str());
    return failed;
  }
  return Outcome::Done();
}

// Only a file or link goes: a folder of that name is the user's.
void WallpaperFolder::unlink(const std::string& name) {
  const std::string path = folder_ + name;
  struct stat st {};
  if (::lstat(path.c_str(), &st) == 0 && (S_ISREG(st.st_mode) || S_ISLNK(st.st_mode))) {
    ::unlink(path.c_str());
  }
}

void WallpaperFolder::removeOtherSets(const std::string& current) {
  const std::string sets = folder_ + kSetsFolder + "/";
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(sets, error)) {
    const std::string name = entry.path().filename().string();
    const std::string set = sets + name + "/";
    if (IsSetNumber(name) && set != current && set != started_ && set != previous_) {
      std::error_code ignored;
      std::filesystem::remove_all(entry.path(), ignored);
    }
  }
  // The links a stopped set made and did not rename yet.
  for (const auto& entry : std::filesystem::directory_iterator(folder_, error)) {
    const std::string name = entry.path().filename().string();
    if (name.front() == '.' && name.size() > 4 && name.compare(name.size() - 4, 4, ".new") == 0 &&
        entry.is_symlink(error)) {
      ::unlink(entry.path().c_str());
    }
  }
}

}  // namespace tessora
