#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tessora {

/// One panel's list of recently used image files, newest first, together with what its combo box
/// shows: a display name per entry and the selected index. Keeping all three here means the box
/// cannot drift from the list; the window mirrors displayNames() and selectedIndex() into its
/// combo box after every call below, including one that throws. Each of them takes the list
/// first and its file second, then what else it needs.
class RecentList {
 public:
  const std::vector<std::string>& entries() const { return entries_; }
  const std::vector<std::string>& displayNames() const { return displayNames_; }
  /// -1 when nothing is selected (the box then shows its "no paths stored" text).
  int selectedIndex() const { return selected_; }
  int count() const { return static_cast<int>(entries_.size()); }

  /// The user picked item `index` (-1 for none). Throws SettingsError
  /// "List index out of bounds (<index>)" for an index that names no item.
  void select(int index);

 private:
  friend void LoadRecentList(RecentList& list, const std::string& listFile);
  friend void PushRecentEntry(RecentList& list, const std::string& listFile,
                              const std::string& path);
  friend void RemoveRecentEntry(RecentList& list, const std::string& listFile);
  friend std::string SelectRecentEntry(RecentList& list, const std::string& listFile, int index);

  std::vector<std::string> entries_;
  std::vector<std::string> displayNames_;
  int selected_ = -1;
};

/// Fills `list` from the list file, dropping entries whose files are gone (or are folders) and
/// rewriting the file when something was dropped or the file was missing. Display names are cut
/// at the first "." of the file name; nothing is selected. The file may be UTF-8, UTF-16 or UTF-32
/// (see DecodeText), and is rewritten in its own encoding; one whose text cannot be read, or
/// written back as it was (damaged UTF-16), is never written over. Throws SettingsError
/// "Cannot open file <listFile>: it ..." or "The file <listFile> cannot be read: it ..." (the
/// list is then empty) or "Cannot create file <listFile>" (the list then holds the surviving
/// entries).
void LoadRecentList(RecentList& list, const std::string& listFile);

/// Puts `path` on top (duplicates are kept), shows whole file names and selects item 0, then
/// rewrites the file. Throws SettingsError "Cannot create file <listFile>"; the list keeps the
/// new entry and the old file stays.
void PushRecentEntry(RecentList& list, const std::string& listFile, const std::string& path);

/// Removes the selected entry and selects the one before it, or the last one when the first was
/// removed, then rewrites the file. Throws SettingsError "List index out of bounds (-1)" with
/// nothing selected (nothing changes), or "Cannot create file <listFile>" (the entry stays
/// removed from the list and the old file stays).
void RemoveRecentEntry(RecentList& list, const std::string& listFile);

/// The list part of a pick in the combo box: entry `index` moves to the top as by
/// PushRecentEntry. Returns its path, for the window to load. Throws like select() and
/// PushRecentEntry.
std::string SelectRecentEntry(RecentList& list, const std::string& listFile, int index);

/// The entries of a list file's text: one per line, any of CR LF, LF and CR ending a line.
std::vector<std::string> ParseRecentListText(std::string_view text);

/// The text of a list file: every entry followed by CR LF; nothing for an empty list.
std::string FormatRecentListText(const std::vector<std::string>& entries);

/// The file name part of `path`; with `cutAtDot`, cut before its first "." unless that "." is
/// the name's first character (stone.old.jpg gives stone, .png stays .png).
std::string RecentDisplayName(std::string_view path, bool cutAtDot);

}  // namespace tessora
