#pragma once

#include <optional>
#include <string>

#include "settings/recent_list.h"

namespace tessora {

/// The two sources of a composition, each with its panel and its list of recent pictures.
enum class Source { Tile, Center };

/// The lists of recent pictures of both sources and the folder their files are kept in. Every
/// change rewrites the list's file and throws SettingsError when that fails, the list changed
/// all the same (RecentList's rules).
class RecentPictures {
 public:
  /// The folder of the two list files, with its trailing separator; "" keeps no lists, and the
  /// changes below then touch no file.
  void setFolder(std::string folder) { folder_ = std::move(folder); }
  bool kept() const { return !folder_.empty(); }
  const RecentList& list(Source source) const;
  /// The file a source's list is kept in ("" while no list is kept).
  std::string file(Source source) const;

  /// Reads a source's list from its file.
  void load(Source source);
  /// Puts `path` on top of a source's list.
  void push(Source source, const std::string& path);
  /// Moves entry `index` to the top; returns its path.
  std::string pick(Source source, int index);
  /// Forgets the selected entry and selects the one before it.
  void removeSelected(Source source);
  /// The folder of the selected entry, selecting the first one when none is; nothing for an empty
  /// list.
  std::optional<std::string> selectedFolder(Source source);

 private:
  RecentList& edit(Source source);

  std::string folder_;
  RecentList tile_;
  RecentList center_;
};

}  // namespace tessora
