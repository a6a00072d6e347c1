// Feeds any bytes to the INI reader and checks what the settings code relies on: an untouched
// text comes back byte for byte, in every encoding, and after a write in that same encoding;
// values read trimmed, a write is read back without disturbing any other key, and every colour
// that converts is written in a form that converts back to it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "settings/color_text.h"
#include "settings/ini_file.h"
#include "settings/settings_error.h"
#include "settings/text_encoding.h"

namespace {

struct Probe {
  const char* section;
  const char* key;
};

// The program's own keys in odd spellings, plus short names that mutations hit often. All
// differ from each other, so a write must leave every other probe's value alone.
constexpr Probe kProbes[] = {
    {"general", "top of form"},
    {"GENERAL", "Left Of Form"},
    {"program parameters", "deep background color"},
    {"Program Parameters", "use sound effects"},
    {"a", "k"},
    {"A", "x"},
};

void check(bool ok) {
  if (!ok) {
    std::abort();
  }
}

bool isTrimmed(std::string_view s) {
  const auto blank = [](char c) { return c == ' ' || c == '\t'; };
  return s.empty() || (!blank(s.front()) && !blank(s.back()));
}

void checkColourRoundTrip(const std::string& value) {
  try {
    const tessora::TColor colour = tessora::TextToColor(value);
    check(tessora::TextToColor(tessora::ColorToText(colour)) == colour);
  } catch (const tessora::SettingsError&) {
  }
}

// A value the writer accepts, taken from the input so that it varies.
std::string valueFrom(std::string_view text) {
  std::string value;
  for (char c : text.substr(0, 12)) {
    if (c != '\r' && c != '\n') {
      value += c;
    }
  }
  while (!value.empty() && (value.back() == ' ' || value.back() == '\t')) {
    value.pop_back();
  }
  while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) {
    value.erase(0, 1);
  }
  return value;
}

// A save writes the program's own values (digits, words, colour names), keeping the rest.
void checkSavedInOneEncoding(const tessora::DecodedText& decoded, const std::string& value) {
  tessora::IniFile saved(decoded.utf8);
  saved.writeString("general", "top of form", value);
  const std::string bytes = tessora::EncodeText(saved.text(), decoded.encoding, decoded.marked);
  const tessora::DecodedText back = tessora::DecodeText(bytes);
  check(back.readable && back.exact && back.encoding == decoded.encoding);
  check(back.utf8 == saved.text());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  tessora::IniFile ini(text);
  check(ini.text() == text);
  // What a save writes back: the same bytes whenever the decoding said it could, and after a
  // write, text that reads back in the same encoding, never a mixture of two.
  const tessora::DecodedText decoded = tessora::DecodeText(text);
  check(decoded.readable || (decoded.utf8.empty() && !decoded.exact));
  check(decoded.exact == decoded.fault.empty());
  if (decoded.exact) {
    check(tessora::EncodeText(decoded.utf8, decoded.encoding, decoded.marked) == text);
    checkSavedInOneEncoding(decoded, std::to_string(size));
  }

  constexpr std::size_t kCount = sizeof kProbes / sizeof kProbes[0];
  std::string before[kCount];
  for (std::size_t i = 0; i < kCount; ++i) {
    before[i] = ini.readString(kProbes[i].section, kProbes[i].key, "\n");
    check(before[i] == "\n" || isTrimmed(before[i]));
    checkColourRoundTrip(before[i]);
  }

  const std::size_t target = size == 0 ? 0 : data[size - 1] % kCount;
  const std::string value = valueFrom(text);
  ini.writeString(kProbes[target].section, kProbes[target].key, value);
  const tessora::IniFile reread(ini.text());
  for (std::size_t i = 0; i < kCount; ++i) {
    const std::string expected = i == target ? value : before[i];
    check(ini.readString(kProbes[i].section, kProbes[i].key, "\n") == expected);
    check(reread.readString(kProbes[i].section, kProbes[i].key, "\n") == expected);
  }
  return 0;
}
