#include "settings/text_encoding.h"

#include <cstdint>
#include <optional>

namespace tessora {
namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeMark = "\xFF\xFE";
constexpr std::string_view kUtf16BeMark = "\xFE\xFF";
constexpr std::string_view kUtf32LeMark("\xFF\xFE\0\0", 4);
constexpr std::string_view kUtf32BeMark("\0\0\xFE\xFF", 4);
constexpr char32_t kReplacement = 0xFFFD;

bool startsWith(std::string_view text, std::string_view start) {
  return text.substr(0, start.size()) == start;
}

void appendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

std::size_t unitSize(TextEncoding encoding) {
  switch (encoding) {
    case TextEncoding::Utf16Le:
    case TextEncoding::Utf16Be:
      return 2;
    case TextEncoding::Utf32Le:
    case TextEncoding::Utf32Be:
      return 4;
    case TextEncoding::Utf8:
      break;
  }
  return 1;
}

bool littleEnd(TextEncoding encoding) {
  return encoding == TextEncoding::Utf16Le || encoding == TextEncoding::Utf32Le;
}

std::string_view markOf(TextEncoding encoding) {
  switch (encoding) {
    case TextEncoding::Utf8:
      return kUtf8Mark;
    case TextEncoding::Utf16Le:
      return kUtf16LeMark;
    case TextEncoding::Utf16Be:
      return kUtf16BeMark;
    case TextEncoding::Utf32Le:
      return kUtf32LeMark;
    case TextEncoding::Utf32Be:
      return kUtf32BeMark;
  }
  return {};
}

bool isSurrogate(char32_t c) {
  return c >= 0xD800 && c < 0xE000;
}

// The code unit of `size` bytes at `at`.
char32_t unitAt(std::string_view bytes, std::size_t at, std::size_t size, bool little) {
  char32_t u = 0;
  for (std::size_t i = 0; i < size; ++i) {
    const auto byte = static_cast<unsigned char>(bytes[at + (little ? size - 1 - i : i)]);
    u = u << 8 | byte;
  }
  return u;
}

void appendUnit(std::string& out, char32_t u, std::size_t size, bool little) {
  for (std::size_t i = 0; i < size; ++i) {
    const std::size_t shift = 8 * (little ? i : size - 1 - i);
    out += static_cast<char>((u >> shift) & 0xFF);
  }
}

void appendUnits(std::string& out, char32_t c, TextEncoding encoding) {
  const std::size_t size = unitSize(encoding);
  const bool little = littleEnd(encoding);
  if (size == 2 && c >= 0x10000) {
    appendUnit(out, 0xD800 + ((c - 0x10000) >> 10), size, little);
    appendUnit(out, 0xDC00 + ((c - 0x10000) & 0x3FF), size, little);
  } else {
    appendUnit(out, c, size, little);
  }
}

// The next character of UTF-8 text at `at`, or U+FFFD for one byte that does not start one.
char32_t nextUtf8(std::string_view text, std::size_t& at) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(at);
  int length = 0;
  if (lead < 0x80) {
    length = 1;
  } else if (lead >= 0xC2 && lead < 0xE0) {
    length = 2;
  } else if (lead >= 0xE0 && lead < 0xF0) {
    length = 3;
  } else if (lead >= 0xF0 && lead < 0xF5) {
    length = 4;
  }
  if (length == 0 || at + static_cast<std::size_t>(length) > text.size()) {
    ++at;
    return kReplacement;
  }
  char32_t c = length == 1 ? lead : lead & (0x7F >> length);
  for (int i = 1; i < length; ++i) {
    const unsigned char next = byte(at + static_cast<std::size_t>(i));
    if ((next & 0xC0) != 0x80) {
      ++at;
      return kReplacement;
    }
    c = (c << 6) | (next & 0x3F);
  }
  const bool overlong = (length == 3 && c < 0x800) || (length == 4 && c < 0x10000);
  if (overlong || (c >= 0xD800 && c < 0xE000) || c > 0x10FFFF) {
    ++at;
    return kReplacement;
  }
  at += static_cast<std::size_t>(length);
  return c;
}

// UTF-16 or UTF-32 text; what breaks the encoding's rules reads as U+FFFD and makes it inexact.
DecodedText fromUnits(std::string_view bytes, TextEncoding encoding, bool marked) {
  DecodedText out;
  out.encoding = encoding;
  out.marked = marked;
  const std::size_t size = unitSize(encoding);
  const bool little = littleEnd(encoding);
  const char* fault = nullptr;
  std::size_t at = 0;
  for (; at + size <= bytes.size(); at += size) {
    char32_t c = unitAt(bytes, at, size, little);
    if (size == 2 && c >= 0xD800 && c < 0xDC00 && at + 2 * size <= bytes.size()) {
      const char32_t low = unitAt(bytes, at + size, size, little);
      if (low >= 0xDC00 && low < 0xE000) {
        c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
        at += size;
      }
    }
    if (isSurrogate(c) || c > 0x10FFFF) {
      c = kReplacement;
      fault = size == 2 ? "an unpaired surrogate" : "a unit that is no character";
    }
    appendUtf8(out.utf8, c);
  }
  if (at < bytes.size()) {
    appendUtf8(out.utf8, kReplacement);
    fault = "a length that is no whole number of units";
  }
  if (fault != nullptr) {
    out.exact = false;
    out.fault =
        std::string("holds damaged ") + (size == 2 ? "UTF-16" : "UTF-32") + " text (" + fault + ")";
  }
  return out;
}

// UTF-32 without a mark: every four bytes are one character, none of them U+0000. Only
// characters of the first 17 planes exist, so the high byte of every unit is NUL: text in another
// encoding hardly ever passes.
bool isUtf32(std::string_view bytes, bool little) {
  if (bytes.empty() || bytes.size() % 4 != 0) {
    return false;
  }
  for (std::size_t at = 0; at < bytes.size(); at += 4) {
    const char32_t c = unitAt(bytes, at, 4, little);
    if (c == 0 || c > 0x10FFFF || isSurrogate(c)) {
      return false;
    }
  }
  return true;
}

// UTF-16 without a mark, told by its NUL bytes: Latin letters, digits and line ends have a NUL
// high byte, other characters rarely a NUL low byte, and no text holds U+0000. The encoding is
// taken as certain when at least a quarter of the units have a NUL on one side and that side has
// more than twice as many as the other; nothing when the NUL bytes say neither.
std::optional<TextEncoding> utf16ByNulBytes(std::string_view bytes) {
  std::size_t units = 0, evenNul = 0, oddNul = 0;
  for (std::size_t at = 0; at + 1 < bytes.size(); at += 2, ++units) {
    const bool even = bytes[at] == '\0';
    const bool odd = bytes[at + 1] == '\0';
    if (even && odd) {
      return std::nullopt;
    }
    evenNul += even ? 1 : 0;
    oddNul += odd ? 1 : 0;
  }
  const auto telling = [units](std::size_t side, std::size_t other) {
    return side > 0 && side * 4 >= units && side > 2 * other;
  };
  if (telling(oddNul, evenNul)) {
    return TextEncoding::Utf16Le;
  }
  if (telling(evenNul, oddNul)) {
    return TextEncoding::Utf16Be;
  }
  return std::nullopt;
}

}  // namespace

DecodedText DecodeText(std::string_view bytes) {
  if (startsWith(bytes, kUtf8Mark)) {
    DecodedText out;
    out.utf8 = std::string(bytes.substr(kUtf8Mark.size()));
    out.marked = true;
    return out;
  }
  // UTF-32's little-endian mark begins with UTF-16's.
  for (const TextEncoding encoding : {TextEncoding::Utf32Le, TextEncoding::Utf32Be,
                                      TextEncoding::Utf16Le, TextEncoding::Utf16Be}) {
    if (startsWith(bytes, markOf(encoding))) {
      return fromUnits(bytes.substr(markOf(encoding).size()), encoding, true);
    }
  }
  if (bytes.find('\0') == std::string_view::npos) {
    DecodedText out;
    out.utf8 = std::string(bytes);
    return out;
  }
  for (const TextEncoding encoding : {TextEncoding::Utf32Le, TextEncoding::Utf32Be}) {
    if (isUtf32(bytes, littleEnd(encoding))) {
      return fromUnits(bytes, encoding, false);
    }
  }
  if (const auto utf16 = utf16ByNulBytes(bytes)) {
    return fromUnits(bytes, *utf16, false);
  }
  DecodedText out;
  out.readable = false;
  out.exact = false;
  out.fault = bytes.find_first_not_of('\0') == std::string_view::npos
                  ? "holds nothing but NUL bytes"
                  : "holds NUL bytes but is neither UTF-16 nor UTF-32 text";
  return out;
}

std::string EncodeText(std::string_view utf8, TextEncoding encoding, bool marked) {
  std::string out(marked ? markOf(encoding) : std::string_view());
  if (encoding == TextEncoding::Utf8) {
    return out.append(utf8);
  }
  out.reserve(out.size() + utf8.size() * unitSize(encoding));
  for (std::size_t at = 0; at < utf8.size();) {
    appendUnits(out, nextUtf8(utf8, at), encoding);
  }
  if (marked) {
    return out;
  }
  // Text without a mark is told by its NUL bytes alone; what would no longer be told as this
  // encoding (a save that took most of the Latin text out of mostly Chinese UTF-16) gets the
  // mark, so that it is never read as something else.
  const DecodedText back = DecodeText(out);
  const bool told = back.readable && back.exact && !back.marked && back.encoding == encoding;
  return told || utf8.empty() ? out : EncodeText(utf8, encoding, true);
}

}  // namespace tessora
