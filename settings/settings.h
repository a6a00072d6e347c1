#pragma once

#include <optional>
#include <string>

#include "common/color.h"

namespace tessora {

/// What the program remembers between runs. The member defaults are the state of a window before
/// any settings are applied.
struct Settings {
  int top = 5;
  int left = 5;
  bool hideTileDirectoryBar = false;     ///< the tile list bar starts a row of its own
  bool hideTessoraDirectoryBar = false;  ///< the center list bar starts a row of its own
  bool useSoundEffects = true;
  bool useEntireDesktopArea = false;
  bool retainAspectRatio = false;
  bool showAllTools = false;
  /// Nothing when the file names none: the desktop's own colour then.
  std::optional<TColor> DeepBackgroundColor;
};

/// How a read of the settings file went.
struct SettingsLoad {
  bool existed = false;  ///< the file was there: a first run centres the window
  /// The first value that did not convert ("'<value>' is not a valid integer value"), or why an
  /// existing file could not be read: told to the user, the rest of the settings still apply.
  std::optional<std::string> warning;
};

/// Reads the settings file at `path` into `settings`, key by key in the order of the key table.
/// The file may be UTF-8, UTF-16 or UTF-32 (see DecodeText); one that is none of them is read as
/// an empty one, with the warning "The file <path> cannot be read: it ...".
/// A missing file or key yields the key's default; a missing or empty "deep background color"
/// none (the desktop colour). A value that does not convert gives its key the default and the
/// other keys are read all the same.
SettingsLoad LoadSettings(const std::string& path, Settings& settings);

/// Writes all nine keys, keeping every other line of an existing file. The file is replaced as a
/// whole, so a failed write changes nothing on disk; it throws SettingsError
/// "Unable to write to <path>". An existing file that cannot be read, or whose text cannot be
/// written back as it was (bytes that are no text, damaged UTF-16), is not overwritten; a file in
/// UTF-16 or UTF-32 is written back in its own encoding, never in a mixture.
void SaveSettings(const std::string& path, const Settings& settings);

}  // namespace tessora
