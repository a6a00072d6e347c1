#include "document/start_state.h"

namespace tessora {

StartState StartStateFor(const Settings& settings, const DesktopGeometry& desktop,
                         TColor desktopColor) {
  StartState start;
  start.desktop = desktop;
  const std::optional<TColor>& deep = settings.DeepBackgroundColor;
  start.deepBackgroundColor = !deep || *deep == clBackground ? desktopColor : *deep;
  start.options.soundEffects = settings.useSoundEffects;
  start.options.useEntireDesktopArea = settings.useEntireDesktopArea;
  start.options.retainAspectRatio = settings.retainAspectRatio;
  start.options.showAllTools = settings.showAllTools;
  return start;
}

}  // namespace tessora
