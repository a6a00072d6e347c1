#include "settings/settings.h"

#include <array>
#include <optional>
#include <variant>

#include "settings/colortext.h"
#include "settings/fileio.h"
#include "settings/inifile.h"
#include "settings/settingserror.h"
#include "settings/texthelpers.h"

namespace tessora {
namespace {

using Field = std::variant<int Settings::*, bool Settings::*, TColor Settings::*>;

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
                 [&](int Settings::*m) { settings.*m = textToInt(text); },
                 [&](bool Settings::*m) { settings.*m = TextToBool(text); },
                 [&](TColor Settings::*m) {
                   settings.*m = text.empty() ? GetSysColor(COLOR_BACKGROUND) : TextToColor(text);
                 },
             },
             key.field);
}

std::string valueText(const Key& key, const Settings& settings) {
  return std::visit(Overloaded{
                        [&](int Settings::*m) { return std::to_string(settings.*m); },
                        [&](bool Settings::*m) { return BoolToText(settings.*m); },
                        [&](TColor Settings::*m) { return ColorToText(settings.*m); },
                    },
                    key.field);
}

}  // namespace

bool LoadSettings(const std::string& path, Settings& settings) {
  std::string text;
  const ReadResult result = readTextFile(path, text);
  // An unreadable file reads as an empty one, every key its default, so the program still starts.
  const IniFile ini(text);
  // A bad value is reported, but only its own key falls back to the default: the keys after it
  // are still read, so that one typo does not cost the user the rest of their settings.
  std::optional<SettingsError> firstError;
  if (isUnusable(result)) {
    firstError = SettingsError("Cannot open file " + path + ": it " + ReadFailureText(result));
  }
  for (const Key& key : kKeys) {
    try {
      applyValue(key, ini.readString(key.section, key.name, key.defaultText), settings);
    } catch (const SettingsError& e) {
      applyValue(key, key.defaultText, settings);
      if (!firstError) {
        firstError = e;
      }
    }
  }
  if (firstError) {
    throw *firstError;
  }
  return result != ReadResult::Missing;
}

void SaveSettings(const std::string& path, const Settings& settings) {
  std::string text;
  const ReadResult read = readTextFile(path, text);
  if (isUnusable(read)) {
    throw SettingsError("Unable to write to " + path + ": it " + ReadFailureText(read));
  }
  IniFile ini(text);
  for (const Key& key : kKeys) {
    ini.writeString(key.section, key.name, valueText(key, settings));
  }
  if (!writeFileAtomically(path, ini.text())) {
    throw SettingsError("Unable to write to " + path);
  }
}

}  // namespace tessora
