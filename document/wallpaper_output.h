#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "common/outcome.h"
#include "document/wallpaper_recipe.h"
#include "engine/bitmap.h"
#include "engine/color.h"
#include "engine/monitor_layout.h"
#include "engine/wallpaper_service.h"

namespace tessora {

/// The wallpaper files "Set as Wallpaper" writes in the service's folder, and their handing
/// over to the desktop: one picture for one monitor; with several, each monitor's own picture
/// and the whole virtual desktop in one, for desktops that take that instead.
class WallpaperOutput {
 public:
  /// The file of the one picture, and with several monitors of the whole virtual desktop.
  static constexpr const char* kWallpaperFileName = "Tessora Wallpaper.bmp";
  /// The file of monitor `index` (from 0) when there are several: "Tessora Wallpaper monitor
  /// 2.bmp" for the second.
  static std::string MonitorFileName(std::size_t index);

  /// Output to the folder of `service`, which must outlive this object.
  explicit WallpaperOutput(WallpaperSetter& service) : service_(service) {}

  /// The service's folder, with its trailing separator, or why there is none.
  OutcomeOf<std::string> folder() const { return service_.wallpaperFolder(); }
  /// Writes `picture` as the one file in `folder` (the monitors' files of an earlier set go),
  /// then the recipe of what `made` composes for `layout`, and hands it over. A failed write
  /// passes on as ImageError.
  Outcome setOne(const std::string& folder, const Bitmap& picture, const CompositionInputs& made,
                 const MonitorLayout& layout);
  /// Writes each monitor's picture and the whole desktop (`pictures` spanned over `layout`, the
  /// rest in the deep background colour) in `folder`, then the recipe of what `made` composes,
  /// and hands them all over. A failed write passes on as ImageError.
  Outcome setMonitors(const std::string& folder, const MonitorLayout& layout,
                      const std::vector<Bitmap>& pictures, const CompositionInputs& made);
  /// Hands the files the last set left in `folder` over again, as they are: the monitors' own
  /// files when there is one for each monitor of `layout`, else the one file.
  Outcome restore(const std::string& folder, const MonitorLayout& layout);

 private:
  static void RemoveMonitorFiles(const std::string& folder, std::size_t from);

  WallpaperSetter& service_;
};

}  // namespace tessora
