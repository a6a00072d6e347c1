#include "settings/text_helpers.h"

#include <cmath>
#include <cstddef>
#include <vector>

namespace tessora {
namespace {

bool isContinuationByte(char c) {
  return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// Byte offsets at which characters start, plus the text's size as a final sentinel. A stray
// continuation byte stays with the character before it, so malformed input is never split
// further than well-formed input would be.
std::vector<std::size_t> characterStarts(std::string_view text) {
  std::vector<std::size_t> starts;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (i == 0 || !isContinuationByte(text[i])) {
      starts.push_back(i);
    }
  }
  starts.push_back(text.size());
  return starts;
}

char upperAscii(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

}  // namespace

std::string ShortenText(std::string_view text, int maxLength) {
  const std::vector<std::size_t> starts = characterStarts(text);
  const std::size_t length = starts.size() - 1;
  if (maxLength < 0) {
    maxLength = 0;
  }
  const auto max = static_cast<std::size_t>(maxLength);
  if (length <= max) {
    return std::string(text);
  }
  if (maxLength < 20) {
    return std::string(text.substr(0, starts[max]));
  }
  // The head takes two thirds of the room, rounded half to even like every other rounding.
  const auto head = static_cast<std::size_t>(std::nearbyint((maxLength - 5) * 0.67));
  const std::size_t tail = max - head - 5;
  const std::size_t tailStart = starts[length - tail];
  return std::string(text.substr(0, starts[head])) + " ... " + std::string(text.substr(tailStart));
}

bool TextToBool(std::string_view text) {
  std::string upper(text);
  for (char& c : upper) {
    c = upperAscii(c);
  }
  return upper == "TRUE" || upper == "ON" || upper == "YES" || upper == ".T.";
}

std::string BoolToText(bool value) {
  return value ? "TRUE" : "FALSE";
}

}  // namespace tessora
