#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "common/color.h"

namespace tessora {

/// One named colour of the settings file.
struct ColorIdent {
  const char* name;
  TColor value;
};

/// The named colours, first match wins when a colour is written: 20 RGB colours, then the
/// system colours with clDefault and clNone among them.
extern const std::array<ColorIdent, 49> ColorIdentTable;

/// The integer form of the settings file: optional blanks, optional sign, then decimal digits or
/// hexadecimal digits behind "$", "x", "X", "0x" or "0X", and nothing after them. Decimal values
/// must fit 32 signed bits; hexadecimal ones may use all 32 bits (they wrap into the negative).
/// Throws SettingsError "'<text>' is not a valid integer value".
std::int32_t TextToInt(std::string_view text);

/// The first row's name whose value is `color`, else "$" and eight upper-case hex digits.
std::string ColorToText(TColor color);

/// A row name (ASCII case ignored) or the integer form. Throws SettingsError like TextToInt.
TColor TextToColor(std::string_view text);

}  // namespace tessora
