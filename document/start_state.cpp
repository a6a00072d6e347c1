#include "document/start_state.h"

namespace tessora {

bool TakesDesktopColor(const Settings& settings) {
  const std::optional<TColor>& deep = settings.DeepBackgroundColor;
  return !deep || *deep == clBackground;
}

StartState StartStateFor(const Settings& settings, const DesktopGeometry& desktop,
                         TColor desktopColor) {
  StartState start;
  start.desktop = desktop;
  start.deepBackgroundColor =
      TakesDesktopColor(settings) ? desktopColor : *settings.DeepBackgroundColor;
  start.options.soundEffects = settings.useSoundEffects;
  start.options.useEntireDesktopArea = settings.useEntireDesktopArea;
  start.options.retainAspectRatio = settings.retainAspectRatio;
  start.options.showAllTools = settings.showAllTools;
  return start;
}

}  // namespace tessora
