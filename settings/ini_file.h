#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessora {

/// An INI text held line by line, so that writing one value leaves every other byte as it was:
/// comments, unknown keys, other sections, blank lines and each line's own line end. The lines
/// are spans of one buffer, some 16 bytes each, so that a file of many short lines stays small.
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
  /// How a line ends: nothing (a last line), "\n", "\r\n" or "\r".
  enum class End : std::uint8_t { None, Lf, CrLf, Cr };
  struct Line {
    std::size_t start;  // of its content in buffer_, without its line end
    std::uint32_t size;
    End end;
  };

  std::string_view content(std::size_t line) const;
  void setContent(std::size_t line, std::string_view text);
  std::optional<std::size_t> findSection(std::string_view section) const;
  std::optional<std::size_t> findKey(std::size_t sectionLine, std::string_view key) const;
  std::size_t insertLine(std::size_t index, std::string_view content);

  std::string buffer_;  // the text as read; contents written later are appended
  std::vector<Line> lines_;
  End newline_ = End::Lf;  // the line end of new lines: the first one the text used
};

}  // namespace tessora
