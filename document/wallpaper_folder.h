#pragma once

#include <string>

#include "common/outcome.h"

namespace tessora {

/// The sets of files "Set as Wallpaper" keeps in the wallpaper folder, each one whole or not
/// there. A set is written into a numbered folder of its own, `sets/N/`. The well-known names in
/// the wallpaper folder ("Tessora Wallpaper.bmp", "Tessora Wallpaper monitor 1.bmp", the recipe's
/// files) are links through the link `latest`, so they always show one set, and switch to a new
/// one in a single step, when `latest` is renamed to point at it; the desktop is then handed
/// them. The link `current` names the set the desktop last took, and restores read it: it is
/// switched the same way, only once the desktop has taken the set, and only then do the older
/// sets go. A set stopped at any moment before that leaves the set before current, as the
/// desktop still shows it; the next object to lock the folder points `latest` back at the current
/// set and removes what the stopped one left. A folder written before sets were kept this way
/// (the files in the wallpaper folder itself, and no `current`) is read where it lies; the next
/// set first keeps those files as a set of their own, current, then replaces them by the links.
/// Names that link through `current` (before `latest` was kept) are relinked by the next set.
/// Nothing in the folder is followed as a link this program did not make, created through one or
/// removed through one: every entry is reached from the wallpaper folder's own descriptor, and
/// only what this program makes there is removed (a set's folder of this user, with the files and
/// links in it). A folder whose `sets`, `current` or well-known names are not what this program
/// makes (a link to another folder, another user's folder, a file in place of a link) is refused
/// with the reason, and left as it is.
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
  /// what a stopped set left (see tidy()); fails with the reason when an entry of the folder is
  /// not what this program makes there (see above). A folder that does not exist is not waited
  /// for.
  Outcome lock();
  /// Where the current set's files are, with the trailing separator: its numbered folder, or the
  /// wallpaper folder itself for a folder of the earlier kind (or one without any set, or whose
  /// `current` names no folder of this program's own).
  std::string currentSet() const;
  /// Starts a new set in an empty numbered folder, and yields that folder (with its separator).
  OutcomeOf<std::string> startSet();
  /// Makes the well-known names show the set started, for the desktop to be handed them; the set
  /// current until then stays current until settle().
  Outcome switchToStarted();
  /// Ends a set switched to: when the desktop took it (`shown`), it becomes the current one; else
  /// the well-known names show the current one again, so that they and a restore show what the
  /// desktop last showed. Then the sets no longer current go. A folder without an earlier set
  /// keeps the new one either way.
  void settle(bool shown);
  /// Makes the well-known names show the current set, should a set have been stopped before
  /// the desktop took it, and removes what older sets and stopped ones left behind. A folder of
  /// the earlier kind is left as it is; in a folder without a current set, what a stopped first
  /// set left goes.
  Outcome tidy();

 private:
  Outcome checkEntries() const;
  Outcome link(const std::string& name, const char* through);
  void unlink(const std::string& name);
  void removeSet(const std::string& number);
  void removeOtherSets(const std::string& current);
  Outcome point(const char* link, const std::string& number);
  Outcome showNames(const std::string& number, const char* through, bool dropOthers);
  OutcomeOf<std::string> adoptEarlierKind();
  void forgetLatest();

  std::string folder_;
  std::string started_;  // the number of a set started and not yet settled
  int fd_ = -1;          // the wallpaper folder, locked
};

}  // namespace tessora
