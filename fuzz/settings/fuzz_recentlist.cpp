// Feeds any bytes to the list-file reader: the entries must survive a write and a second read
// unchanged, and the texts the combo box and the path label show are derived without cutting a
// character or reaching outside the entry.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "settings/recent_list.h"
#include "settings/text_helpers.h"

namespace {

void check(bool ok) {
  if (!ok) {
    std::abort();
  }
}

std::size_t characterCount(std::string_view s) {
  std::size_t n = 0;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (i == 0 || (static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) {
      ++n;
    }
  }
  return n;
}

bool endsWith(std::string_view s, std::string_view tail) {
  return s.size() >= tail.size() && s.substr(s.size() - tail.size()) == tail;
}

void checkDisplayNames(const std::string& entry) {
  const std::string whole = tessora::RecentDisplayName(entry, false);
  const std::string cut = tessora::RecentDisplayName(entry, true);
  check(whole.find('/') == std::string::npos && endsWith(entry, whole));
  check(whole.compare(0, cut.size(), cut) == 0);
}

void checkShortened(const std::string& entry, int maxLength) {
  const std::string shown = tessora::ShortenText(entry, maxLength);
  const std::size_t length = characterCount(entry);
  if (length <= static_cast<std::size_t>(maxLength)) {
    check(shown == entry);
    return;
  }
  check(characterCount(shown) == static_cast<std::size_t>(maxLength));
  if (maxLength >= 20) {
    // The entry may hold " ... " itself, so any occurrence may be the inserted one.
    bool split = false;
    for (std::size_t gap = shown.find(" ... "); gap != std::string::npos && !split;
         gap = shown.find(" ... ", gap + 1)) {
      split = entry.compare(0, gap, shown, 0, gap) == 0 &&
              endsWith(entry, std::string_view(shown).substr(gap + 5));
    }
    check(split);
  } else {
    check(entry.compare(0, shown.size(), shown) == 0);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::vector<std::string> entries = tessora::ParseRecentListText(text);
  for (const std::string& entry : entries) {
    check(entry.find_first_of("\r\n") == std::string::npos);
  }
  const std::string written = tessora::FormatRecentListText(entries);
  check(tessora::ParseRecentListText(written) == entries);
  check(entries.empty() == written.empty());

  // The last byte picks the label width, so that small and large maximums are both explored.
  const int maxLength = size == 0 ? 74 : data[size - 1] % 90;
  for (const std::string& entry : entries) {
    checkDisplayNames(entry);
    checkShortened(entry, maxLength);
  }
  return 0;
}
