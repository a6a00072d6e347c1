#pragma once

#include <functional>
#include <iosfwd>
#include <optional>
#include <string>

#include "cli/compose_args.h"
#include "engine/color.h"
#include "engine/desktop_geometry.h"
#include "engine/monitor_layout.h"
#include "engine/wallpaper_service.h"
#include "settings/settings.h"

namespace tessora {

/// What the command-line tool takes from its surroundings, so that tests can supply it.
struct ComposeEnvironment {
  /// The desktop's geometry, or nothing without a display.
  std::function<std::optional<DesktopGeometry>()> desktop;
  /// The desktop's monitors as they are now, or nothing without a display.
  std::function<std::optional<MonitorLayout>()> monitors;
  /// Calls `changed` with the monitors as they are now and again after each change, until the
  /// session ends; for --follow. Why it could not be done, when it could not.
  std::function<Outcome(const std::function<void(const MonitorLayout&)>& changed)> followMonitors;
  /// The desktop's own background colour, or nothing without a display.
  std::function<std::optional<TColor>()> desktopColor;
  /// The desktop's wallpaper service, or nullptr without a desktop session.
  std::function<WallpaperSetter*()> wallpaper;
  /// The window's settings (deep background colour, options), when there are any.
  std::optional<Settings> settings;
};

/// Replays the request on a document started as the window starts. Information texts and
/// errors go to `err`. Returns the exit status: 0, 1 (a file could not be loaded, saved or
/// installed) or 2 (usage).
int RunCompose(const ComposeRequest& request, ComposeEnvironment& env, std::ostream& err);

/// The window's settings for the tool, read from `path`; nothing when there is no such file. A
/// value that does not convert costs only its own key, as in the window: the other keys are used
/// and the error is told on `err` as a warning.
std::optional<Settings> LoadComposeSettings(const std::string& path, std::ostream& err);

}  // namespace tessora
