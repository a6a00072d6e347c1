#pragma once

#include <string>
#include <string_view>

namespace tessora {

/// How a text file of the user's is stored: UTF-8, with or without a byte-order mark, or UTF-16
/// with one, as some editors write "Unicode" text.
enum class TextEncoding { Utf8, Utf8Bom, Utf16Le, Utf16Be };

/// A file's text as UTF-8, without its byte-order mark.
struct DecodedText {
  std::string utf8;
  TextEncoding encoding = TextEncoding::Utf8;
  /// Whether EncodeText gives back the file's bytes: false for UTF-16 that breaks its own rules
  /// (an odd length, an unpaired surrogate), whose faults read as U+FFFD.
  bool exact = true;
};

/// Tells the encoding by the byte-order mark; text without one is taken as UTF-8, as it is.
DecodedText DecodeText(std::string_view bytes);
/// The UTF-8 text in `encoding`, byte-order mark included. Bytes that are not UTF-8 are kept as
/// they are in UTF-8 and read as U+FFFD in UTF-16.
std::string EncodeText(std::string_view utf8, TextEncoding encoding);

}  // namespace tessora
