#pragma once

#include <string>
#include <string_view>

namespace tessora {

/// How a text file of the user's is stored: UTF-8, or UTF-16 or UTF-32 with either byte first, as
/// some editors write "Unicode" text; each with or without a byte-order mark.
enum class TextEncoding { Utf8, Utf16Le, Utf16Be, Utf32Le, Utf32Be };

/// A file's text as UTF-8, without its byte-order mark.
struct DecodedText {
  std::string utf8;
  TextEncoding encoding = TextEncoding::Utf8;
  bool marked = false;  ///< the bytes began with a byte-order mark
  /// Whether `utf8` holds the file's text at all: false for bytes that are text in no encoding
  /// that can be told for certain (NUL bytes without the pattern of UTF-16 or UTF-32); `utf8` is
  /// then empty.
  bool readable = true;
  /// Whether EncodeText gives back the file's bytes: false for UTF-16 or UTF-32 that breaks its
  /// own rules (a length that is not a whole number of units, an unpaired surrogate, a unit
  /// beyond Unicode), whose faults read as U+FFFD, and for unreadable bytes.
  bool exact = true;
  /// Why the text is not exact or not readable, to follow "it": "holds ...". Empty when it is.
  std::string fault;
};

/// Tells the encoding by the byte-order mark. Without one, text with NUL bytes is UTF-32 when
/// every four bytes are one character, and UTF-16 when the NUL bytes fall mostly on one side of
/// two-byte units, as the high bytes of Latin text do; other text with NUL bytes is unreadable,
/// and text without any is taken as UTF-8, as it is.
DecodedText DecodeText(std::string_view bytes);
/// The UTF-8 text in `encoding`, with a byte-order mark when `marked`. Bytes that are not UTF-8
/// are kept as they are in UTF-8 and read as U+FFFD in UTF-16 and UTF-32.
std::string EncodeText(std::string_view utf8, TextEncoding encoding, bool marked);

}  // namespace tessora
