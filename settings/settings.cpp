#include "settings/settings.h"

#include <array>
#include <optional>
#include <variant>

#include "settings/color_text.h"
#include "settings/file_io.h"
#include "settings/ini_file.h"
#include "settings/settings_error.h"
#include "settings/text_encoding.h"
#include "settings/text_helpers.h"

namespace tessora {
namespace {

using Field = std::variant<int Settings::*, bool Settings::*, std::optional<TColor> Settings::*>;

struct Key {
  const char* section;
  const char* name;
  const char* defaultText;
  Field field;
};

// The file's keys in the order they are read and written; a new file lists them this way.
const std::array<Key, 9> kKeys = {{
    {"general", "top of form", "5", &Settings::top},
    {"general", "left of form", "5", &Settings::left},
    {"general", "hide tile directory bar", "FALSE", &Settings::hideTileDirectoryBar},
    {"general", "hide tessora directory bar", "FALSE", &Settings::hideTessoraDirectoryBar},
    {"program parameters", "use sound effects", "TRUE", &Settings::useSoundEffects},
    {"program parameters", "use entire desktop area", "FALSE", &Settings::useEntireDesktopArea},
    {"program parameters", "retain aspect ratio", "FALSE", &Settings::retainAspectRatio},
    {"program parameters", "show all tools", "FALSE", &Settings::showAllTools},
    {"program parameters", "deep background color", "", &Settings::DeepBackgroundColor},
}};

template <class... Ts>
struct Overloaded : Ts... {
  using Ts::operator()...;
};
template <class... Ts>
Overloaded(Ts...) -> Overloaded<Ts...>;

void applyValue(const Key& key, const std::string& text, Settings& settings) {
  std::visit(Overloaded{
                 [&](int Settings::*m) { settings.*m = TextToInt(text); },
                 [&](bool Settings::*m) { settings.*m = TextToBool(text); },
                 [&](std::optional<TColor> Settings::*m) {
                   settings.*m = text.empty() ? std::nullopt : std::optional(TextToColor(text));
                 },
             },
             key.field);
}

std::string valueText(const Key& key, const Settings& settings) {
  return std::visit(Overloaded{
                        [&](int Settings::*m) { return std::to_string(settings.*m); },
                        [&](bool Settings::*m) { return BoolToText(settings.*m); },
                        [&](std::optional<TColor> Settings::*m) {
                          const std::optional<TColor>& c = settings.*m;
                          return c ? ColorToText(*c) : std::string();
                        },
                    },
                    key.field);
}

}  // namespace

SettingsLoad LoadSettings(const std::string& path, Settings& settings) {
  std::string text;
  const ReadResult result = ReadTextFile(path, text);
  // An unreadable file reads as an empty one, every key its default, so the program still starts;
  // it is named with the reason, and a save leaves it alone.
  const DecodedText decoded = DecodeText(text);
  const IniFile ini(decoded.utf8);
  // A bad value is reported, but only its own key falls back to the default: the keys after it
  // are still read, so that one typo does not cost the user the rest of their settings.
  SettingsLoad load;
  load.existed = result != ReadResult::Missing;
  if (IsUnusable(result)) {
    load.warning = "Cannot open file " + path + ": it " + ReadFailureText(result);
  } else if (!decoded.readable) {
    load.warning = "The file " + path + " cannot be read: it " + decoded.fault;
  }
  for (const Key& key : kKeys) {
    try {
      applyValue(key, ini.readString(key.section, key.name, key.defaultText), settings);
    } catch (const SettingsError& e) {
      applyValue(key, key.defaultText, settings);
      if (!load.warning) {
        load.warning = e.what();
      }
    }
  }
  return load;
}

void SaveSettings(const std::string& path, const Settings& settings) {
  std::string text;
  const ReadResult read = ReadTextFile(path, text);
  if (IsUnusable(read)) {
    throw SettingsError("Unable to write to " + path + ": it " + ReadFailureText(read));
  }
  // The file is written back in the encoding the user's editor wrote it in, byte-order mark and
  // all; one whose text cannot be read, or written back as it was, is left alone.
  const DecodedText decoded = DecodeText(text);
  if (!decoded.exact) {
    throw SettingsError("Unable to write to " + path + ": it " + decoded.fault);
  }
  IniFile ini(decoded.utf8);
  for (const Key& key : kKeys) {
    ini.writeString(key.section, key.name, valueText(key, settings));
  }
  if (!WriteFileAtomically(path, EncodeText(ini.text(), decoded.encoding, decoded.marked))) {
    throw SettingsError("Unable to write to " + path);
  }
}

}  // namespace tessora
