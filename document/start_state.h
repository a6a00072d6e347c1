#pragma once

#include <string>

#include "engine/color.h"
#include "engine/desktop_geometry.h"
#include "settings/settings.h"

namespace tessora {

/// The options of the Options menu.
struct Options {
  bool useEntireDesktopArea = false;  ///< "part of wallpaper under taskbar"
  bool retainAspectRatio = false;     ///< "retain aspect ratio"
  bool showAllTools = false;          ///< "show all tools"
  bool soundEffects = true;           ///< "sound effects"
};

/// How a front end starts the document: the desktop it composes for, the deep background colour,
/// the options, and where the lists of recent pictures are kept.
struct StartState {
  DesktopGeometry desktop;
  TColor deepBackgroundColor = kDefaultDesktopColor;
  Options options;
  /// The folder of the two list files, with its trailing separator; "" keeps no lists.
  std::string listFolder;
};

/// Whether a start with `settings` takes the desktop's own colour: they name no deep background
/// colour, or name the desktop's system colour. A front end asks the desktop only then.
bool TakesDesktopColor(const Settings& settings);

/// The start of a front end with `settings` on a desktop of this geometry and colour: the
/// settings' options and deep background colour, or the desktop's own colour where they name
/// none (or name the desktop's system colour).
StartState StartStateFor(const Settings& settings, const DesktopGeometry& desktop,
                         TColor desktopColor);

}  // namespace tessora
