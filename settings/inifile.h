#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessora {

/// An INI text held line by line, so that writing one value leaves every other byte as it was:
/// comments, unknown keys, other sections, blank lines and each line's own line end.
///
/// "[name]" opens a section; "key=value" holds a value. Section and key names match without
/// regard to ASCII case and with surrounding blanks removed; values are read trimmed. When a
/// section or key occurs twice, the first one counts. Lines before the first section belong to
/// no section and are never matched.
class IniFile {
 public:
  IniFile() = default;
  /// Takes any bytes; there is no malformed INI text, only lines that hold no value.
  explicit IniFile(std::string_view text);

  /// The value of `key` in `section`, trimmed, or `defaultValue` when either is missing.
  std::string readString(std::string_view section, std::string_view key,
                         std::string_view defaultValue) const;

  /// Replaces the value in place, or appends the key to its section (after the section's last
  /// key) or the section to the end of the text. Names must be non-empty, trimmed and hold no
  /// line end ("]" is also barred from sections, "=" from keys); values hold no line end.
  /// Throws std::invalid_argument otherwise.
  void writeString(std::string_view section, std::string_view key, std::string_view value);

  /// The whole text; byte for byte the parsed text when nothing was written.
  std::string text() const;

 private:
  struct Line {
    std::string content;  // without its line end
    std::string end;      // "\n", "\r\n", "\r" or "" for a last line without one
  };

  std::optional<std::size_t> findSection(std::string_view section) const;
  std::optional<std::size_t> findKey(std::size_t sectionLine, std::string_view key) const;
  std::size_t insertLine(std::size_t index, std::string content);

  std::vector<Line> lines_;
  std::string newline_ = "\n";  // the line end of new lines: the first one the text used
};

}  // namespace tessora
