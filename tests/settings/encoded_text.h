#pragma once

#include <string>

namespace tessora::testing {

/// A way a text file may be stored: code units of `unit` bytes (1 for UTF-8, 2 for UTF-16, 4 for
/// UTF-32), the little end first or not, after a byte-order mark or not.
struct TextForm {
  const char* name;
  int unit;
  bool little;
  bool mark;
};

inline constexpr TextForm kTextForms[] = {
    {"UTF-8", 1, false, false},
    {"UTF-8 with a mark", 1, false, true},
    {"UTF-16LE with a mark", 2, true, true},
    {"UTF-16BE with a mark", 2, false, true},
    {"UTF-16LE", 2, true, false},
    {"UTF-16BE", 2, false, false},
    {"UTF-32LE with a mark", 4, true, true},
    {"UTF-32BE with a mark", 4, false, true},
    {"UTF-32LE", 4, true, false},
    {"UTF-32BE", 4, false, false},
};

/// `text` as `form` stores it.
inline std::string encodedText(const std::u32string& text, const TextForm& form) {
  std::string out;
  const auto put = [&](char32_t u, int size) {
    for (int i = 0; i < size; ++i) {
      out += static_cast<char>((u >> (8 * (form.little ? i : size - 1 - i))) & 0xFF);
    }
  };
  for (const char32_t c : form.mark ? U"\uFEFF" + text : text) {
    if (form.unit == 2 && c >= 0x10000) {
      put(0xD800 + ((c - 0x10000) >> 10), 2);
      put(0xDC00 + ((c - 0x10000) & 0x3FF), 2);
    } else if (form.unit != 1 || c < 0x80) {
      put(c, form.unit);
    } else {
      const int tail = c < 0x800 ? 1 : c < 0x10000 ? 2 : 3;
      out += static_cast<char>(((0xFF00 >> (tail + 1)) & 0xFF) | (c >> (6 * tail)));
      for (int i = tail - 1; i >= 0; --i) {
        out += static_cast<char>(0x80 | ((c >> (6 * i)) & 0x3F));
      }
    }
  }
  return out;
}

}  // namespace tessora::testing
