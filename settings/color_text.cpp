#include "settings/color_text.h"

#include <cstdio>
#include <optional>

#include "settings/settings_error.h"

namespace tessora {

const std::array<ColorIdent, 49> ColorIdentTable = {{
    {"clBlack", 0x00000000},
    {"clMaroon", 0x00000080},
    {"clGreen", 0x00008000},
    {"clOlive", 0x00008080},
    {"clNavy", 0x00800000},
    {"clPurple", 0x00800080},
    {"clTeal", 0x00808000},
    {"clGray", 0x00808080},
    {"clSilver", 0x00C0C0C0},
    {"clRed", 0x000000FF},
    {"clLime", 0x0000FF00},
    {"clYellow", 0x0000FFFF},
    {"clBlue", 0x00FF0000},
    {"clFuchsia", 0x00FF00FF},
    {"clAqua", 0x00FFFF00},
    {"clWhite", 0x00FFFFFF},
    {"clMoneyGreen", 0x00C0DCC0},
    {"clSkyBlue", 0x00F0CAA6},
    {"clCream", 0x00F0FBFF},
    {"clMedGray", 0x00A4A0A0},
    {"clActiveBorder", SystemColor(10)},
    {"clActiveCaption", SystemColor(2)},
    {"clAppWorkSpace", SystemColor(12)},
    {"clBackground", SystemColor(1)},
    {"clBtnFace", SystemColor(15)},
    {"clBtnHighlight", SystemColor(20)},
    {"clBtnShadow", SystemColor(16)},
    {"clBtnText", SystemColor(18)},
    {"clCaptionText", SystemColor(9)},
    {"clDefault", clDefault},
    {"clGradientActiveCaption", SystemColor(27)},
    {"clGradientInactiveCaption", SystemColor(28)},
    {"clGrayText", SystemColor(17)},
    {"clHighlight", SystemColor(13)},
    {"clHighlightText", SystemColor(14)},
    {"clInactiveBorder", SystemColor(11)},
    {"clInactiveCaption", SystemColor(3)},
    {"clInactiveCaptionText", SystemColor(19)},
    {"clInfoBk", SystemColor(24)},
    {"clInfoText", SystemColor(23)},
    {"clMenu", SystemColor(4)},
    {"clMenuText", SystemColor(7)},
    {"clNone", clNone},
    {"clScrollBar", SystemColor(0)},
    {"cl3DDkShadow", SystemColor(21)},
    {"cl3DLight", SystemColor(22)},
    {"clWindow", SystemColor(5)},
    {"clWindowFrame", SystemColor(6)},
    {"clWindowText", SystemColor(8)},
}};

namespace {

[[noreturn]] void throwNotAnInteger(std::string_view text) {
  throw SettingsError("'" + std::string(text) + "' is not a valid integer value");
}

int digitValue(char c, int base) {
  int v = 16;
  if (c >= '0' && c <= '9') {
    v = c - '0';
  } else if (c >= 'a' && c <= 'f') {
    v = c - 'a' + 10;
  } else if (c >= 'A' && c <= 'F') {
    v = c - 'A' + 10;
  }
  return v < base ? v : -1;
}

// The magnitude of `digits` in `base`, or nothing when a character is no digit or the value
// exceeds `limit`. Checking against the limit digit by digit keeps leading zeros harmless.
std::optional<std::int64_t> parseMagnitude(std::string_view digits, int base, std::int64_t limit) {
  if (digits.empty()) {
    return std::nullopt;
  }
  std::int64_t value = 0;
  for (char c : digits) {
    const int d = digitValue(c, base);
    if (d < 0) {
      return std::nullopt;
    }
    value = value * base + d;
    if (value > limit) {
      return std::nullopt;
    }
  }
  return value;
}

bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) {
    return false;
  }
  for (std::size_t i = 0; i < a.size(); ++i) {
    const auto lower = [](char c) {
      return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    };
    if (lower(a[i]) != lower(b[i])) {
      return false;
    }
  }
  return true;
}

}  // namespace

std::int32_t TextToInt(std::string_view text) {
  std::string_view rest = text;
  while (!rest.empty() && (rest.front() == ' ' || rest.front() == '\t')) {
    rest.remove_prefix(1);
  }
  bool negative = false;
  if (!rest.empty() && (rest.front() == '+' || rest.front() == '-')) {
    negative = rest.front() == '-';
    rest.remove_prefix(1);
  }
  int base = 10;
  if (rest.size() >= 2 && rest[0] == '0' && (rest[1] == 'x' || rest[1] == 'X')) {
    base = 16;
    rest.remove_prefix(2);
  } else if (!rest.empty() && (rest[0] == '$' || rest[0] == 'x' || rest[0] == 'X')) {
    base = 16;
    rest.remove_prefix(1);
  }
  const std::int64_t limit = base == 16 ? 0xFFFFFFFFLL : (negative ? 0x80000000LL : 0x7FFFFFFFLL);
  const std::optional<std::int64_t> magnitude = parseMagnitude(rest, base, limit);
  if (!magnitude) {
    throwNotAnInteger(text);
  }
  std::int64_t value = negative ? -*magnitude : *magnitude;
  // Hexadecimal texts spell a 32-bit pattern; fold it into the signed range the caller gets.
  if (value > 0x7FFFFFFFLL) {
    value -= 0x100000000LL;
  } else if (value < -0x80000000LL) {
    value += 0x100000000LL;
  }
  return static_cast<std::int32_t>(value);
}

std::string ColorToText(TColor color) {
  for (const ColorIdent& row : ColorIdentTable) {
    if (row.value == color) {
      return row.name;
    }
  }
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "$%08X", static_cast<unsigned>(color));
  return buffer;
}

TColor TextToColor(std::string_view text) {
  for (const ColorIdent& row : ColorIdentTable) {
    if (equalsIgnoringAsciiCase(text, row.name)) {
      return row.value;
    }
  }
  return static_cast<TColor>(TextToInt(text));
}

}  // namespace tessora
