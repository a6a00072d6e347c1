#include "settings/ini_file.h"

#include <stdexcept>

namespace tessora {
namespace {

bool isBlank(char c) {
  return c == ' ' || c == '\t';
}

std::string_view trim(std::string_view s) {
  while (!s.empty() && isBlank(s.front())) {
    s.remove_prefix(1);
  }
  while (!s.empty() && isBlank(s.back())) {
    s.remove_suffix(1);
  }
  return s;
}

char lowerAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool sameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) {
    return false;
  }
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (lowerAscii(a[i]) != lowerAscii(b[i])) {
      return false;
    }
  }
  return true;
}

// The name of a section header line, or nothing when the line is none. A header without its
// closing bracket still opens a section, so a typo does not merge its keys into the section above.
std::optional<std::string_view> sectionName(std::string_view line) {
  line = trim(line);
  if (line.empty() || line.front() != '[') {
    return std::nullopt;
  }
  line.remove_prefix(1);
  const std::size_t close = line.find(']');
  return trim(line.substr(0, close));
}

bool isComment(std::string_view line) {
  line = trim(line);
  return !line.empty() && (line.front() == ';' || line.front() == '#');
}

// The key of a "key=value" line; comments and lines without "=" hold no key.
std::optional<std::string_view> keyName(std::string_view line) {
  const std::size_t eq = line.find('=');
  if (eq == std::string_view::npos || isComment(line)) {
    return std::nullopt;
  }
  return trim(line.substr(0, eq));
}

bool hasLineEnd(std::string_view s) {
  return s.find_first_of("\r\n") != std::string_view::npos;
}

void checkName(std::string_view name, std::string_view barred) {
  if (name.empty() || trim(name) != name || hasLineEnd(name) ||
      name.find_first_of(barred) != std::string_view::npos) {
    throw std::invalid_argument("IniFile: unusable name '" + std::string(name) + "'");
  }
}

}  // namespace

IniFile::IniFile(std::string_view text) : buffer_(text) {
  if (text.size() > UINT32_MAX) {
    throw std::length_error("IniFile: text too long");
  }
  std::size_t pos = 0;
  bool newlineSeen = false;
  while (pos < text.size()) {
    const std::size_t stop = text.find_first_of("\r\n", pos);
    Line line{pos, 0, End::None};
    if (stop == std::string_view::npos) {
      pos = text.size();
    } else {
      const bool crlf = text[stop] == '\r' && stop + 1 < text.size() && text[stop + 1] == '\n';
      line.end = crlf ? End::CrLf : text[stop] == '\r' ? End::Cr : End::Lf;
      pos = stop + (crlf ? 2 : 1);
      if (!newlineSeen) {
        newline_ = line.end;
        newlineSeen = true;
      }
    }
    line.size =
        static_cast<std::uint32_t>((stop == std::string_view::npos ? pos : stop) - line.start);
    lines_.push_back(line);
  }
}

std::string_view IniFile::content(std::size_t line) const {
  return std::string_view(buffer_).substr(lines_[line].start, lines_[line].size);
}

void IniFile::setContent(std::size_t line, std::string_view text) {
  const std::size_t start = buffer_.size();
  buffer_ += text;
  lines_[line].start = start;
  lines_[line].size = static_cast<std::uint32_t>(text.size());
}

std::optional<std::size_t> IniFile::findSection(std::string_view section) const {
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    const auto name = sectionName(content(i));
    if (name && sameName(*name, section)) {
      return i;
    }
  }
  return std::nullopt;
}

std::optional<std::size_t> IniFile::findKey(std::size_t sectionLine, std::string_view key) const {
  for (std::size_t i = sectionLine + 1; i < lines_.size(); ++i) {
    if (sectionName(content(i))) {
      break;
    }
    const auto name = keyName(content(i));
    if (name && sameName(*name, key)) {
      return i;
    }
  }
  return std::nullopt;
}

std::string IniFile::readString(std::string_view section, std::string_view key,
                                std::string_view defaultValue) const {
  const auto sectionLine = findSection(trim(section));
  const auto keyLine = sectionLine ? findKey(*sectionLine, trim(key)) : std::nullopt;
  if (!keyLine) {
    return std::string(defaultValue);
  }
  const std::string_view line = content(*keyLine);
  return std::string(trim(line.substr(line.find('=') + 1)));
}

std::size_t IniFile::insertLine(std::size_t index, std::string_view text) {
  // A last line without a line end must get one before anything can follow it.
  if (index > 0 && lines_[index - 1].end == End::None) {
    lines_[index - 1].end = newline_;
  }
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(index), Line{0, 0, newline_});
  setContent(index, text);
  return index;
}

void IniFile::writeString(std::string_view section, std::string_view key, std::string_view value) {
  checkName(section, "]");
  checkName(key, "=");
  if (hasLineEnd(value)) {
    throw std::invalid_argument("IniFile: a value cannot hold a line end");
  }
  std::optional<std::size_t> sectionLine = findSection(section);
  if (!sectionLine) {
    if (!lines_.empty()) {
      insertLine(lines_.size(), "");
    }
    sectionLine = insertLine(lines_.size(), "[" + std::string(section) + "]");
  }
  if (const auto keyLine = findKey(*sectionLine, key)) {
    const std::string_view line = content(*keyLine);
    const std::size_t valueStart = line.find('=') + 1;
    // An unchanged value keeps its line byte for byte; a new one keeps the key as spelled.
    if (trim(line.substr(valueStart)) != value) {
      setContent(*keyLine, std::string(line.substr(0, valueStart)) + std::string(value));
    }
    return;
  }
  std::size_t after = *sectionLine;
  for (std::size_t i = *sectionLine + 1; i < lines_.size() && !sectionName(content(i)); ++i) {
    if (keyName(content(i))) {
      after = i;
    }
  }
  insertLine(after + 1, std::string(key) + "=" + std::string(value));
}

std::string IniFile::text() const {
  static constexpr std::string_view kEnds[] = {"", "\n", "\r\n", "\r"};
  std::string out;
  out.reserve(buffer_.size());
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    out += content(i);
    out += kEnds[static_cast<std::size_t>(lines_[i].end)];
  }
  return out;
}

}  // namespace tessora
