#include "document/wallpaper_output.h"

#include <filesystem>
#include <system_error>

#include "imageio/image_files.h"

namespace tessora {

std::string WallpaperOutput::MonitorFileName(std::size_t index) {
  return "Tessora Wallpaper monitor " + std::to_string(index + 1) + ".bmp";
}

// Files of monitors unplugged since, or of all monitors once one picture serves them all again,
// would only mislead a script that reads them, and a later restore.
void WallpaperOutput::RemoveMonitorFiles(const std::string& folder, std::size_t from) {
  for (std::size_t i = from;; ++i) {
    std::error_code ignored;
    if (!std::filesystem::remove(folder + MonitorFileName(i), ignored)) {
      break;
    }
  }
}

Outcome WallpaperOutput::setOne(const std::string& folder, const Bitmap& picture,
                                const CompositionInputs& made, const MonitorLayout& layout) {
  const std::string path = folder + kWallpaperFileName;
  SaveComposed(path, SaveFormat::Bmp, picture);
  RemoveMonitorFiles(folder, 0);
  WriteWallpaperRecipe(folder, made, layout);
  return service_.setWallpaper(path);
}

Outcome WallpaperOutput::setMonitors(const std::string& folder, const MonitorLayout& layout,
                                     const std::vector<Bitmap>& pictures,
                                     const CompositionInputs& made) {
  MonitorPictures files;
  files.bounds = LayoutBounds(layout);
  files.primary = layout.primary;
  for (std::size_t i = 0; i < pictures.size(); ++i) {
    const Monitor& m = layout.monitors[i];
    files.monitors.push_back(MonitorPicture{m.name, m.rect, folder + MonitorFileName(i)});
    SaveComposed(files.monitors.back().path, SaveFormat::Bmp, pictures[i]);
  }
  files.spanned = folder + kWallpaperFileName;
  SaveComposed(files.spanned, SaveFormat::Bmp,
               SpanMonitors(layout, pictures, made.sizing.deepBackgroundColor));
  RemoveMonitorFiles(folder, pictures.size());
  WriteWallpaperRecipe(folder, made, layout);
  return service_.setMonitorWallpapers(files);
}

Outcome WallpaperOutput::restore(const std::string& folder, const MonitorLayout& layout) {
  const std::string path = folder + kWallpaperFileName;
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) {
    return Outcome::Failed("no wallpaper has been set yet (" + path + " does not exist)");
  }
  MonitorPictures files;
  files.bounds = LayoutBounds(layout);
  files.primary = layout.primary;
  files.spanned = path;
  for (std::size_t i = 0; layout.monitors.size() > 1 && i < layout.monitors.size(); ++i) {
    const Monitor& m = layout.monitors[i];
    const std::string own = folder + MonitorFileName(i);
    if (!std::filesystem::is_regular_file(own, error)) {
      files.monitors.clear();
      break;
    }
    files.monitors.push_back(MonitorPicture{m.name, m.rect, own});
  }
  return files.monitors.empty() ? service_.setWallpaper(path)
                                : service_.setMonitorWallpapers(files);
}

}  // namespace tessora
