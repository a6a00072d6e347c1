#pragma once

#include <string>
#include <string_view>

namespace tessora {

/// `text` cut to `maxLength` characters with " ... " in its middle; unchanged when it already fits.
/// Texts are UTF-8: lengths count characters, and a character is never split. Below 20 the
/// ellipsis would leave too little on either side, so the text is simply cut to `maxLength`.
std::string ShortenText(std::string_view text, int maxLength);

/// True exactly for "TRUE", "ON", "YES" and ".T.", ASCII letters in any case; no blanks allowed.
bool TextToBool(std::string_view text);

/// "TRUE" or "FALSE".
std::string BoolToText(bool value);

}  // namespace tessora
