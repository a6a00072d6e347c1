#pragma once

#include <string>

#include "engine/color.h"

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
  TColor DeepBackgroundColor = clBlack;
};

/// Reads the settings file at `path` into `settings`, key by key in the order of the key table.
/// A missing file or key yields the key's default; a missing or empty "deep background color"
/// the desktop colour. Returns whether the file existed, so that a first run can centre the
/// window. A value that does not convert gives its key the default, the other keys are read all
/// the same, and then SettingsError "'<value>' is not a valid integer value" for the first such
/// value is thrown.
bool LoadSettings(const std::string& path, Settings& settings);

/// Writes all nine keys, keeping every other line of an existing file. The file is replaced as a
/// whole, so a failed write changes nothing on disk; it throws SettingsError
/// "Unable to write to <path>". An existing file that cannot be read is not overwritten.
void SaveSettings(const std::string& path, const Settings& settings);

}  // namespace tessora
