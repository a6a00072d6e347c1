#include "cli/terminal_text.h"

namespace tessora {
namespace {

// The length of the well-formed UTF-8 sequence starting at p (no overlong forms, surrogates or
// code points past U+10FFFF), or 0.
std::size_t sequenceLength(const unsigned char* p, std::size_t left) {
  const unsigned char lead = p[0];
  std::size_t length = 0;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    low = lead == 0xE0 ? 0xA0 : 0x80;
    high = lead == 0xED ? 0x9F : 0xBF;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    low = lead == 0xF0 ? 0x90 : 0x80;
    high = lead == 0xF4 ? 0x8F : 0xBF;
  }
  if (length == 0 || length > left || p[1] < low || p[1] > high) {
    return 0;
  }
  for (std::size_t i = 2; i < length; ++i) {
    if (p[i] < 0x80 || p[i] > 0xBF) {
      return 0;
    }
  }
  return length;
}

// "\x1b" for a byte, "\u009b" for a code point.
std::string escaped(const char* prefix, unsigned value, int digits) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string text = prefix;
  for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4) {
    text += kHex[(value >> shift) & 0xF];
  }
  return text;
}

}  // namespace

std::string TerminalText(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  for (std::size_t i = 0; i < text.size();) {
    const unsigned char c = p[i];
    if (c == '\n' || c == '\t' || c == '\r') {
      out += c == '\n' ? "\\n" : c == '\t' ? "\\t" : "\\r";
      ++i;
    } else if (c < 0x20 || c == 0x7F) {
      out += escaped("\\x", c, 2);
      ++i;
    } else if (c < 0x80) {
      out += static_cast<char>(c);
      ++i;
    } else if (const std::size_t n = sequenceLength(p + i, text.size() - i); n == 0) {
      out += escaped("\\x", c, 2);
      ++i;
    } else if (c == 0xC2 && p[i + 1] < 0xA0) {
      // U+0080 to U+009F: C1 controls, CSI among them.
      out += escaped("\\u", p[i + 1], 4);
      i += n;
    } else {
      out.append(text, i, n);
      i += n;
    }
  }
  return out;
}

}  // namespace tessora
