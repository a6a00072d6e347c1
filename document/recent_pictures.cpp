#include "document/recent_pictures.h"

#include "settings/file_locations.h"

namespace tessora {

const RecentList& RecentPictures::list(Source source) const {
  return source == Source::Tile ? tile_ : center_;
}

RecentList& RecentPictures::edit(Source source) {
  return source == Source::Tile ? tile_ : center_;
}

std::string RecentPictures::file(Source source) const {
  if (!kept()) {
    return std::string();
  }
  return folder_ + (source == Source::Tile ? kTileListFileName : kCenterListFileName);
}

void RecentPictures::load(Source source) {
  if (kept()) {
    LoadRecentList(edit(source), file(source));
  }
}

void RecentPictures::push(Source source, const std::string& path) {
  if (kept()) {
    PushRecentEntry(edit(source), file(source), path);
  }
}

std::string RecentPictures::pick(Source source, int index) {
  return SelectRecentEntry(edit(source), file(source), index);
}

void RecentPictures::removeSelected(Source source) {
  RemoveRecentEntry(edit(source), file(source));
}

std::optional<std::string> RecentPictures::selectedFolder(Source source) {
  RecentList& entries = edit(source);
  if (entries.count() == 0) {
    return std::nullopt;
  }
  if (entries.selectedIndex() < 0) {
    entries.select(0);
  }
  const std::string& entry = entries.entries()[static_cast<std::size_t>(entries.selectedIndex())];
  return entry.substr(0, entry.rfind('/') + 1);
}

}  // namespace tessora
