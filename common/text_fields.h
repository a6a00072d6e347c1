#pragma once

#include <charconv>
#include <istream>
#include <string>
#include <system_error>
#include <type_traits>

namespace tessora {

/// A float as text that reads back as the same float, whatever the locale.
inline std::string FloatText(float v) {
  char text[32];
  return std::string(text, std::to_chars(text, text + sizeof text, v).ptr);
}

/// Reads the next blank-separated word of `in` as a number (integers in `base`), whole: a word
/// with anything after its number is no number, and the value is then left as it was.
template <typename T>
bool ReadField(std::istream& in, T& value, int base = 10) {
  std::string word;
  if (!(in >> word)) {
    return false;
  }
  const char* end = word.data() + word.size();
  std::from_chars_result r{};
  if constexpr (std::is_floating_point_v<T>) {
    (void)base;
    r = std::from_chars(word.data(), end, value);
  } else {
    r = std::from_chars(word.data(), end, value, base);
  }
  return r.ec == std::errc() && r.ptr == end;
}

}  // namespace tessora
