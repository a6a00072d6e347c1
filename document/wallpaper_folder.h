#pragma once

#include <string>

#include "common/outcome.h"

namespace tessora {

/// The sets of files "Set as Wallpaper" keeps in the wallpaper folder, each one whole or not
/// there. A set is written into a numbered folder of its own, `sets/N/`. The link `current` names
/// the set the desktop last took: restores read it. The well-known names in the wallpaper folder
/// ("Tessora Wallpaper.bmp", "Tessora Wallpaper monitor 1.bmp", the recipe's files) are links
/// through the link `latest`, so they always show one set: the current one, or while a set is
/// handed to the desktop, that set. Each link is replaced in a single step (a new link renamed
/// over it). A set goes: written whole, `latest` switched to it, the desktop handed the
/// well-known names, and only once the desktop has taken it `current` switched to it; a set
/// stopped at any moment before leaves the set before current, and the next object in the folder
/// points `latest` back at it and removes what the stopped set left.
///
/// Only entries this program makes are followed, written through or removed: `sets` and the
/// numbered sets must be folders (not links) of this user's or of the wallpaper folder's owner,
/// `current` and `latest` links naming such a set, the files of a set regular files. A folder
/// where one of them is not is refused with the reason, and the entry is left alone. The folder
/// is walked from one descriptor of it, never through a path that a link could divert.
///
/// A folder written before sets were kept this way (the files in the wallpaper folder itself, no
/// `current`) is read where it lies; the next set keeps those files as a set of their own and
/// replaces them by the links. A folder whose names link through `current` (before `latest` was
/// kept) is read through `current` and relinked as it is locked.
/// One object works in a folder at a time, across processes: lock() waits for any other to end.
class WallpaperFolder {
 public:
  /// The link naming the current set, the link the well-known names go through, and the folder
  /// the sets are in.
  static constexpr const char* kCurrentLink = "current";
  static constexpr const char* kLatestLink = "latest";
  static constexpr const char* kSetsFolder = "sets";

  /// The wallpaper folder `folder`, with its trailing separator.
  explicit WallpaperFolder(std::string folder);
  WallpaperFolder(const WallpaperFolder&) = delete;
  WallpaperFolder& operator=(const WallpaperFolder&) = delete;
  /// Removes a set started and not settled, and lets the next object in.
  ~WallpaperFolder();

  /// Waits until no other object works in the folder, then holds it until destroyed, and tidies
  /// what a stopped set left (see tidy()); fails with the reason when an entry is not one of this
  /// program's. A folder that does not exist is not waited for.
  Outcome lock();
  /// Where the current set's files are, with the trailing separator: its numbered folder, or the
  /// wallpaper folder itself for a folder of the earlier kind (or one without any set).
  std::string currentSet() const;
  /// Starts a new set in an empty numbered folder, and yields that folder (with its separator).
  OutcomeOf<std::string> startSet();
  /// Makes the well-known names show the set started, for the desktop to be handed them; the
  /// current set stays current until settle().
  Outcome switchToStarted();
  /// Ends a set switched to: when the desktop took it (`shown`), it becomes the current one;
  /// else the well-known names show the current one again. Then the sets no longer current go. A
  /// folder without an earlier set keeps the new one either way.
  void settle(bool shown);
  /// Makes the well-known names show the current set, and removes what older sets and stopped
  /// ones left behind; fails with the reason when an entry is not one of this program's. A
  /// folder of the earlier kind is left as it is.
  Outcome tidy();

 private:
  struct Current;
  Current readLink(int dir, const char* link) const;
  Outcome pointLatest(const std::string& set);
  Outcome pointCurrent(const std::string& set);
  Outcome point(const std::string& link, const std::string& target);
  Outcome linkNames(const std::string& set);
  void unlinkNamesNotIn(int set);
  Outcome adoptEarlierKind();
  void removeOtherSets(const std::string& keep);
  void forgetLatest();

  std::string folder_;
  std::string started_;  // the number of a set started and not yet settled
  int fd_ = -1;          // the wallpaper folder, locked
};

}  // namespace tessora
