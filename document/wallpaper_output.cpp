#include "document/wallpaper_output.h"

#include "imageio/image_error.h"
#include "imageio/image_files.h"
#include "settings/file_io.h"

namespace tessora {
namespace {

// A set that cannot be made in the folder fails as the write of its files would.
void ThrowUnlessDone(const Outcome& step, const std::string& path) {
  if (!step) {
    throw ImageError(WithReason("Cannot create file " + path, step.reason()));
  }
}

}  // namespace

std::string WallpaperOutput::MonitorFileName(std::size_t index) {
  return "Tessora Wallpaper monitor " + std::to_string(index + 1) + ".bmp";
}

Outcome WallpaperOutput::setOne(const Bitmap& picture, const CompositionInputs& made,
                                const MonitorLayout& layout) {
  const OutcomeOf<std::string> set = folder_.startSet();
  ThrowUnlessDone(set.outcome(), path_ + kWallpaperFileName);
  SaveComposed(set.value() + kWallpaperFileName, SaveFormat::Bmp, picture);
  WriteWallpaperRecipe(set.value(), made, layout);
  ThrowUnlessDone(folder_.switchToStarted(), path_ + kWallpaperFileName);
  const Outcome shown = service_.setWallpaper(path_ + kWallpaperFileName);
  folder_.settle(shown.ok());
  return shown;
}

// Each monitor's picture is written and drawn on the whole desktop's as soon as it is composed,
// then dropped: forty monitors cost the memory of one, and of the whole desktop's picture.
Outcome WallpaperOutput::setMonitors(const MonitorLayout& layout, const CompositionInputs& made) {
  const OutcomeOf<std::string> set = folder_.startSet();
  ThrowUnlessDone(set.outcome(), path_ + kWallpaperFileName);
  const std::string& dir = set.value();
  SaveComposed(dir + kWallpaperFileName, SaveFormat::Bmp,
               ComposeSpanning(made, layout, [&dir](std::size_t i, const Bitmap& picture) {
                 SaveComposed(dir + MonitorFileName(i), SaveFormat::Bmp, picture);
               }));
  WriteWallpaperRecipe(dir, made, layout);
  ThrowUnlessDone(folder_.switchToStarted(), path_ + kWallpaperFileName);
  MonitorPictures files;
  files.bounds = LayoutBounds(layout);
  files.primary = layout.primary;
  files.spanned = path_ + kWallpaperFileName;
  for (std::size_t i = 0; i < layout.monitors.size(); ++i) {
    const Monitor& m = layout.monitors[i];
    files.monitors.push_back(MonitorPicture{m.name, m.rect, path_ + MonitorFileName(i)});
  }
  const Outcome shown = service_.setMonitorWallpapers(files);
  folder_.settle(shown.ok());
  return shown;
}

Outcome WallpaperOutput::restore(const MonitorLayout& layout) {
  const std::string set = folder_.currentSet();
  const std::string path = path_ + kWallpaperFileName;
  if (!IsExistingFile(set + kWallpaperFileName)) {
    return Outcome::Failed("no wallpaper has been set yet (" + path + " does not exist)");
  }
  const Outcome tidied = folder_.tidy();
  if (!tidied) {
    return tidied;
  }
  MonitorPictures files;
  files.bounds = LayoutBounds(layout);
  files.primary = layout.primary;
  files.spanned = path;
  for (std::size_t i = 0; layout.monitors.size() > 1 && i < layout.monitors.size(); ++i) {
    const Monitor& m = layout.monitors[i];
    if (!IsExistingFile(set + MonitorFileName(i))) {
      files.monitors.clear();
      break;
    }
    files.monitors.push_back(MonitorPicture{m.name, m.rect, path_ + MonitorFileName(i)});
  }
  return files.monitors.empty() ? service_.setWallpaper(path)
                                : service_.setMonitorWallpapers(files);
}

OutcomeOf<std::optional<MonitorLayout>> WallpaperOutput::lastLayout() const {
  return ReadRecipeLayout(folder_.currentSet());
}

OutcomeOf<WallpaperRecipe> WallpaperOutput::lastRecipe() const {
  return ReadWallpaperRecipe(folder_.currentSet());
}

}  // namespace tessora
