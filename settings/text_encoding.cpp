#include "settings/text_encoding.h"

#include <cstdint>

namespace tessora {
namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeMark = "\xFF\xFE";
constexpr std::string_view kUtf16BeMark = "\xFE\xFF";
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

void appendUtf16(std::string& out, char32_t c, bool little) {
  auto unit = [&](std::uint32_t u) {
    const auto high = static_cast<char>(u >> 8);
    const auto low = static_cast<char>(u & 0xFF);
    out += little ? low : high;
    out += little ? high : low;
  };
  if (c >= 0x10000) {
    unit(0xD800 + ((c - 0x10000) >> 10));
    unit(0xDC00 + ((c - 0x10000) & 0x3FF));
  } else {
    unit(c);
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

DecodedText fromUtf16(std::string_view bytes, bool little) {
  DecodedText out;
  out.encoding = little ? TextEncoding::Utf16Le : TextEncoding::Utf16Be;
  out.exact = bytes.size() % 2 == 0;
  auto unit = [&](std::size_t i) -> std::uint32_t {
    const auto first = static_cast<unsigned char>(bytes[i]);
    const auto second = static_cast<unsigned char>(bytes[i + 1]);
    return little ? first | second << 8 : first << 8 | second;
  };
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const std::uint32_t u = unit(i);
    if (u >= 0xD800 && u < 0xDC00 && i + 3 < bytes.size() && unit(i + 2) >= 0xDC00 &&
        unit(i + 2) < 0xE000) {
      appendUtf8(out.utf8, 0x10000 + ((u - 0xD800) << 10) + (unit(i + 2) - 0xDC00));
      i += 2;
    } else if (u >= 0xD800 && u < 0xE000) {
      appendUtf8(out.utf8, kReplacement);
      out.exact = false;
    } else {
      appendUtf8(out.utf8, u);
    }
  }
  if (bytes.size() % 2 != 0) {
    appendUtf8(out.utf8, kReplacement);
  }
  return out;
}

}  // namespace

DecodedText DecodeText(std::string_view bytes) {
  if (startsWith(bytes, kUtf8Mark)) {
    return {std::string(bytes.substr(kUtf8Mark.size())), TextEncoding::Utf8Bom, true};
  }
  if (startsWith(bytes, kUtf16LeMark)) {
    return fromUtf16(bytes.substr(kUtf16LeMark.size()), true);
  }
  if (startsWith(bytes, kUtf16BeMark)) {
    return fromUtf16(bytes.substr(kUtf16BeMark.size()), false);
  }
  return {std::string(bytes), TextEncoding::Utf8, true};
}

std::string EncodeText(std::string_view utf8, TextEncoding encoding) {
  switch (encoding) {
    case TextEncoding::Utf8:
      return std::string(utf8);
    case TextEncoding::Utf8Bom:
      return std::string(kUtf8Mark) + std::string(utf8);
    case TextEncoding::Utf16Le:
    case TextEncoding::Utf16Be: {
      const bool little = encoding == TextEncoding::Utf16Le;
      std::string out(little ? kUtf16LeMark : kUtf16BeMark);
      out.reserve(2 + utf8.size() * 2);
      for (std::size_t at = 0; at < utf8.size();) {
        appendUtf16(out, nextUtf8(utf8, at), little);
      }
      return out;
    }
  }
  return std::string(utf8);
}

}  // namespace tessora
