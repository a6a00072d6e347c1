#include "settings/recent_list.h"

#include "settings/file_io.h"
#include "settings/settings_error.h"
#include "settings/text_encoding.h"

namespace tessora {
namespace {

[[noreturn]] void throwOutOfBounds(int index) {
  throw SettingsError("List index out of bounds (" + std::to_string(index) + ")");
}

// The list is written in the encoding of the file it replaces, byte-order mark and all; a file
// whose text cannot be read, or written back as it was, is left alone.
void writeListFile(const std::string& listFile, const std::vector<std::string>& entries) {
  std::string old;
  const DecodedText form =
      ReadTextFile(listFile, old) == ReadResult::Ok ? DecodeText(old) : DecodedText();
  if (!form.exact) {
    throw SettingsError("Cannot create file " + listFile + ": it " + form.fault);
  }
  if (!WriteFileAtomically(listFile,
                           EncodeText(FormatRecentListText(entries), form.encoding, form.marked))) {
    throw SettingsError("Cannot create file " + listFile);
  }
}

std::vector<std::string> displayNamesOf(const std::vector<std::string>& entries, bool cutAtDot) {
  std::vector<std::string> names;
  names.reserve(entries.size());
  for (const std::string& entry : entries) {
    names.push_back(RecentDisplayName(entry, cutAtDot));
  }
  return names;
}

}  // namespace

void RecentList::select(int index) {
  if (index < -1 || index >= count()) {
    throwOutOfBounds(index);
  }
  selected_ = index;
}

void LoadRecentList(RecentList& list, const std::string& listFile) {
  list = RecentList();
  std::string text;
  const ReadResult result = ReadTextFile(listFile, text);
  if (IsUnusable(result)) {
    throw SettingsError("Cannot open file " + listFile + ": it " + ReadFailureText(result));
  }
  const DecodedText decoded = DecodeText(text);
  if (!decoded.readable) {
    throw SettingsError("The file " + listFile + " cannot be read: it " + decoded.fault);
  }
  bool mustWrite = result == ReadResult::Missing;
  for (std::string& entry : ParseRecentListText(decoded.utf8)) {
    if (IsExistingFile(entry)) {
      list.entries_.push_back(std::move(entry));
    } else {
      mustWrite = true;
    }
  }
  list.displayNames_ = displayNamesOf(list.entries_, true);
  if (mustWrite) {
    writeListFile(listFile, list.entries_);
  }
}

void PushRecentEntry(RecentList& list, const std::string& listFile, const std::string& path) {
  list.entries_.insert(list.entries_.begin(), path);
  list.displayNames_ = displayNamesOf(list.entries_, false);
  list.selected_ = 0;
  writeListFile(listFile, list.entries_);
}

void RemoveRecentEntry(RecentList& list, const std::string& listFile) {
  const int i = list.selected_;
  if (i < 0 || i >= list.count()) {
    throwOutOfBounds(i);
  }
  const auto at = static_cast<std::ptrdiff_t>(i);
  list.entries_.erase(list.entries_.begin() + at);
  list.displayNames_.erase(list.displayNames_.begin() + at);
  if (list.entries_.empty()) {
    list.selected_ = -1;
  } else {
    list.selected_ = i >= 1 ? i - 1 : list.count() - 1;
  }
  writeListFile(listFile, list.entries_);
}

std::string SelectRecentEntry(RecentList& list, const std::string& listFile, int index) {
  if (index < 0 || index >= list.count()) {
    throwOutOfBounds(index);
  }
  const auto at = static_cast<std::ptrdiff_t>(index);
  std::string path = list.entries_[static_cast<std::size_t>(index)];
  list.entries_.erase(list.entries_.begin() + at);
  list.displayNames_.erase(list.displayNames_.begin() + at);
  PushRecentEntry(list, listFile, path);
  return path;
}

std::vector<std::string> ParseRecentListText(std::string_view text) {
  std::vector<std::string> entries;
  std::size_t pos = 0;
  while (pos < text.size()) {
    const std::size_t stop = text.find_first_of("\r\n", pos);
    if (stop == std::string_view::npos) {
      entries.emplace_back(text.substr(pos));
      break;
    }
    entries.emplace_back(text.substr(pos, stop - pos));
    const bool crlf = text[stop] == '\r' && stop + 1 < text.size() && text[stop + 1] == '\n';
    pos = stop + (crlf ? 2 : 1);
  }
  return entries;
}

std::string FormatRecentListText(const std::vector<std::string>& entries) {
  std::string text;
  for (const std::string& entry : entries) {
    text += entry;
    text += "\r\n";
  }
  return text;
}

std::string RecentDisplayName(std::string_view path, bool cutAtDot) {
  const std::size_t slash = path.rfind('/');
  std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
  if (cutAtDot) {
    const std::size_t dot = name.find('.');
    if (dot != std::string_view::npos && dot > 0) {
      name = name.substr(0, dot);
    }
  }
  return std::string(name);
}

}  // namespace tessora
