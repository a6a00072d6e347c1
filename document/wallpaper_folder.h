#pragma once

#include <string>

#include "common/outcome.h"

namespace tessora {

/// The sets of files "Set as Wallpaper" keeps in the wallpaper folder, each one whole or not
/// there. A set is written into a numbered folder of its own, `sets/N/`, and becomes the current
/// one in a single step, when the link `current` is renamed to point at it; only then are the
/// older sets removed. The well-known names in the wallpaper folder ("Tessora Wallpaper.bmp",
/// "Tessora Wallpaper monitor 1.bmp", the recipe's files) are links through `current`, so they
/// always show one set. A folder written before sets were kept this way (the files in the
/// wallpaper folder itself, and no `current`) is read where it lies; the next set replaces those
/// files by the links.
/// Nothing in the folder is followed as a link this program did not make, created through one or
/// removed through one: every entry is reached from the wallpaper folder's own descriptor, and
/// only what this program makes there is removed (a set's folder of this user, with the files and
/// links in it). A folder whose `sets`, `current` or well-known names are not what this program
/// makes (a link to another folder, another user's folder, a file in place of a link) is refused
/// with the reason, and left as it is.
/// One object works in a folder at a time, across processes: lock() waits for any other to end.
class WallpaperFolder {
 public:
  /// The link naming the current set, and the folder the sets are in.
  static constexpr const char* kCurrentLink = "current";
  static constexpr const char* kSetsFolder = "sets";

  /// The wallpaper folder `folder`, with its trailing separator.
  explicit WallpaperFolder(std::string folder);
  WallpaperFolder(const WallpaperFolder&) = delete;
  WallpaperFolder& operator=(const WallpaperFolder&) = delete;
  /// Removes a set started and not switched to, and lets the next object in.
  ~WallpaperFolder();

  /// Waits until no other object works in the folder, then holds it until destroyed; fails with
  /// the reason when an entry of the folder is not what this program makes there (see above). A
  /// folder that does not exist is not waited for.
  Outcome lock();
  /// Where the current set's files are, with the trailing separator: its numbered folder, or the
  /// wallpaper folder itself for a folder of the earlier kind (or one without any set, or whose
  /// `current` names no folder of this program's own).
  std::string currentSet() const;
  /// Starts a new set in an empty numbered folder, and yields that folder (with its separator).
  OutcomeOf<std::string> startSet();
  /// Makes the set started the current one, then tidies the folder (see tidy()); the set current
  /// until then is kept until settle().
  Outcome switchToStarted();
  /// Ends a set switched to: when the desktop did not take it (`shown` false), the set current
  /// before is made current again, so that a restore shows what the desktop last showed; then
  /// the sets no longer current go. A folder without an earlier set keeps the new one.
  void settle(bool shown);
  /// Makes the well-known names show the current set, should a set have been stopped between
  /// its switch and its names, and removes what older sets and stopped ones left behind. A
  /// folder of the earlier kind is left as it is.
  Outcome tidy();

 private:
  Outcome checkEntries() const;
  Outcome link(const std::string& name);
  void unlink(const std::string& name);
  void removeSet(const std::string& number);
  void removeOtherSets(const std::string& current);
  Outcome point(const std::string& number);

  std::string folder_;
  std::string started_;   // the number of a set started and not yet current
  std::string previous_;  // the number of the set current before the switch, until settle()
  int fd_ = -1;           // the wallpaper folder, locked
};

}  // namespace tessora
