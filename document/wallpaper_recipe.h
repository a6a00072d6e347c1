#pragma once

#include <optional>
#include <string>

#include "common/outcome.h"
#include "engine/background_recipe.h"
#include "engine/bitmap.h"
#include "engine/color.h"
#include "engine/monitor_layout.h"
#include "engine/wallpaper_composition.h"

namespace tessora {

/// What a wallpaper that was set is composed of, kept beside its files so that it can be composed
/// again when the monitors change: lossless copies of the pictures (so that moving or deleting
/// the user's files changes nothing), the sizing and colours, and the layout it was made for.
struct WallpaperRecipe {
  /// The background source; for a generated background, the picture its recipe starts from.
  Bitmap tile;
  std::optional<BackgroundRecipe> generated;
  Bitmap center;  ///< empty when there is no center image
  CompositionSizing sizing;
  /// The monitors it was composed for; empty when they were not known.
  MonitorLayout layout;

  CompositionInputs inputs() const;
};

/// The files of a recipe in the wallpaper folder: the text, and the two pictures.
constexpr const char* kRecipeFileName = "Tessora Wallpaper recipe.txt";
constexpr const char* kRecipeTileFileName = "Tessora Wallpaper tile.bmp";
constexpr const char* kRecipeCenterFileName = "Tessora Wallpaper center.bmp";

/// Writes the recipe of what `in` composes, made for `layout`, into `folder` (with its trailing
/// separator), each file whole or not at all. A failed write passes on as ImageError.
void WriteWallpaperRecipe(const std::string& folder, const CompositionInputs& in,
                          const MonitorLayout& layout);

/// Only the layout the recipe in `folder` was made for, its pictures left unread; nothing when
/// there is no recipe there (a folder of an earlier version), and why when there is one that
/// cannot be read (as ReadWallpaperRecipe tells it).
OutcomeOf<std::optional<MonitorLayout>> ReadRecipeLayout(const std::string& folder);

/// Reads the recipe a set left in `folder`, or says why it cannot be used, naming the file: the
/// text must be a regular file of at most 1 MiB (a FIFO, a folder or a device in its place is not
/// read), text without NUL bytes whose every line is understood, and the picture copies it
/// needs must be there and readable. The copy of a generated background's starting picture is
/// read only when replaying needs its pixels (see BackgroundRecipe::ReadsBasePixels).
OutcomeOf<WallpaperRecipe> ReadWallpaperRecipe(const std::string& folder);

/// Why composing `recipe` again for the monitors of `layout` would cost more than a replay may
/// (see BackgroundRecipe::replayProblem), naming the monitor; empty when it would not.
std::string RecipeReplayProblem(const WallpaperRecipe& recipe, const MonitorLayout& layout);

/// The recipe's text: everything but the pictures' pixels; and read back onto the pictures, or
/// why the text is no recipe (the line that is not understood).
std::string WallpaperRecipeText(const CompositionInputs& in, const MonitorLayout& layout);
OutcomeOf<WallpaperRecipe> ParseWallpaperRecipe(const std::string& text, Bitmap tile,
                                                Bitmap center);

}  // namespace tessora
