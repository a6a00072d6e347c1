#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "common/outcome.h"
#include "document/wallpaper_folder.h"
#include "document/wallpaper_recipe.h"
#include "engine/bitmap.h"
#include "engine/monitor_layout.h"
#include "engine/wallpaper_composition.h"
#include "engine/wallpaper_service.h"

namespace tessora {

/// The wallpaper files "Set as Wallpaper" writes in the service's folder, and their handing
/// over to the desktop: one picture for one monitor; with several, each monitor's own picture
/// and the whole virtual desktop in one, for desktops that take that instead. Each set is
/// written whole before it replaces the one before (see WallpaperFolder); the desktop is handed
/// the well-known names, which show the current set.
class WallpaperOutput {
 public:
  /// The file of the one picture, and with several monitors of the whole virtual desktop.
  static constexpr const char* kWallpaperFileName = "Tessora Wallpaper.bmp";
  /// The file of monitor `index` (from 0) when there are several: "Tessora Wallpaper monitor
  /// 2.bmp" for the second.
  static std::string MonitorFileName(std::size_t index);

  /// Output through `service`, which must outlive this object, to its folder `folder` (with the
  /// trailing separator).
  WallpaperOutput(WallpaperSetter& service, const std::string& folder)
      : service_(service), folder_(folder), path_(folder) {}

  /// Waits until no other set or restore works in the folder; the folder is then this object's
  /// until it is destroyed. Every other call needs it.
  Outcome lock() { return folder_.lock(); }
  /// Writes `picture` as the one file, with the recipe of what `made` composes for `layout`, as
  /// the new current set, and hands it over. A failed write (of a file, or of the set's folder
  /// and link) passes on as ImageError, and leaves the set before current.
  Outcome setOne(const Bitmap& picture, const CompositionInputs& made, const MonitorLayout& layout);
  /// Composes each monitor's picture of `made` in turn and writes it, and the whole desktop
  /// (the pictures spanned over `layout`, the rest in the deep background colour), and the
  /// recipe, as the new current set; then hands them all over. A failed write passes on as
  /// ImageError, as for setOne, and leaves the set before current.
  Outcome setMonitors(const MonitorLayout& layout, const CompositionInputs& made);
  /// Hands the files of the current set over again, as they are: the monitors' own files when
  /// there is one for each monitor of `layout`, else the one file.
  Outcome restore(const MonitorLayout& layout);
  /// The layout the current set was made for, its pictures left unread; nothing without a
  /// recipe, and why when its recipe cannot be read.
  OutcomeOf<std::optional<MonitorLayout>> lastLayout() const;
  /// The recipe of the current set, or why there is none that can be used.
  OutcomeOf<WallpaperRecipe> lastRecipe() const;

 private:
  WallpaperSetter& service_;
  WallpaperFolder folder_;
  std::string path_;
};

}  // namespace tessora
