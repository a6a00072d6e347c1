#include "settings/inifile.h"

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

IniFile::IniFile(std::string_view text) {
  std::size_t pos = 0;
  bool newlineSeen = false;
  while (pos < text.size()) {
    const std::size_t stop = text.find_first_of("\r\n", pos);
    Line line;
    if (stop == std::string_view::npos) {
      line.content = std::string(text.substr(pos));
      pos = text.size();
    } else {
      line.content = std::string(text.substr(pos, stop - pos));
      const bool crlf = text[stop] == '\r' && stop + 1 < text.size() && text[stop + 1] == '\n';
      line.end = crlf ? "\r\n" : std::string(1, text[stop]);
      pos = stop + line.end.size();
      if (!newlineSeen) {
        newline_ = line.end;
        newlineSeen = true;
      }
    }
    lines_.push_back(std::move(line));
  }
}

std::optional<std::size_t> IniFile::findSection(std::string_view section) const {
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    const auto name = sectionName(lines_[i].content);
    if (name && sameName(*name, section)) {
      return i;
    }
  }
  return std::nullopt;
}

std::optional<std::size_t> IniFile::findKey(std::size_t sectionLine, std::string_view key) const {
  for (std::size_t i = sectionLine + 1; i < lines_.size(); ++i) {
    if (sectionName(lines_[i].content)) {
      break;
    }
    const auto name = keyName(lines_[i].content);
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
  const std::string& content = lines_[*keyLine].content;
  return std::string(trim(std::string_view(content).substr(content.find('=') + 1)));
}

std::size_t IniFile::insertLine(std::size_t index, std::string content) {
  // A last line without a line end must get one before anything can follow it.
  if (index > 0 && lines_[index - 1].end.empty()) {
    lines_[index - 1].end = newline_;
  }
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(index),
                Line{std::move(content), newline_});
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
    std::string& content = lines_[*keyLine].content;
    const std::size_t valueStart = content.find('=') + 1;
    // An unchanged value keeps its line byte for byte; a new one keeps the key as spelled.
    if (trim(std::string_view(content).substr(valueStart)) != value) {
      content.replace(valueStart, std::string::npos, value);
    }
    return;
  }
  std::size_t after = *sectionLine;
  for (std::size_t i = *sectionLine + 1; i < lines_.size() && !sectionName(lines_[i].content);
       ++i) {
    if (keyName(lines_[i].content)) {
      after = i;
    }
  }
  insertLine(after + 1, std::string(key) + "=" + std::string(value));
}

std::string IniFile::text() const {
  std::string out;
  for (const Line& line : lines_) {
    out += line.content;
    out += line.end;
  }
  return out;
}

}  // namespace tessora
