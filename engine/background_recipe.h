#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/bitmap.h"
#include "engine/color.h"
#include "engine/rect.h"

namespace tessora {

/// The backgrounds the tile/gradient menu generates.
enum class BackgroundKind { Tile, Vertical, Centered, Halo, Corner };

/// Where a stretched center image was placed, as far as a halo's rings follow it: the image's
/// size and the sizing fractions, which place it anew on a wallpaper of any size.
struct CenterStretch {
  int width = 0;
  int height = 0;
  float widthFraction = 0;
  float heightFraction = 0;
  friend bool operator==(const CenterStretch& a, const CenterStretch& b) {
    return a.width == b.width && a.height == b.height && a.widthFraction == b.widthFraction &&
           a.heightFraction == b.heightFraction;
  }
};

/// How a generated background source was made, so that it can be made again for a wallpaper of
/// another size (each monitor gets one generated for it): the source it started from (a
/// gradient keeps the rows it does not reach, and the colours and transparency), then every step
/// since, a gradient generated or the result scaled. The steps are written to and read from a
/// few lines of text; the source is a picture, kept as one.
class BackgroundRecipe {
 public:
  struct Step {
    bool generate = true;  ///< a generated background, else a scaling
    BackgroundKind kind = BackgroundKind::Vertical;
    TColor color0 = 0;
    TColor color1 = 0;
    /// The halo's rings follow the center image: its placement, when it had one.
    std::optional<CenterStretch> halo;
    float factor = 1;  ///< the scaling's
    friend bool operator==(const Step& a, const Step& b);
  };

  /// The most steps a recipe holds. The document starts a recipe afresh from its background as it
  /// is once one is full, so a recipe with more steps was made by no window.
  static constexpr std::size_t kMaxSteps = 256;
  /// What replaying for a wallpaper of P pixels may cost: no step's background may hold more than
  /// kReplayGrowth * P pixels (and never less than kReplayFloorPixels are allowed, for a small
  /// wallpaper), and all the steps replayed together may write kReplayWork times that.
  static constexpr std::int64_t kReplayGrowth = 4;
  static constexpr std::int64_t kReplayFloorPixels = std::int64_t{1} << 24;
  static constexpr std::int64_t kReplayWork = 8;

  /// A recipe that starts from `source`, with no steps yet.
  explicit BackgroundRecipe(Bitmap source) : base_(std::move(source)) {}

  const std::vector<Step>& steps() const { return steps_; }
  /// Generates `step`'s background into `tile` for a w x h wallpaper (or scales it), as the
  /// document does for its own size; `halo` is the rectangle the halo's rings follow.
  static void Apply(Bitmap& tile, const Step& step, int w, int h, const Rect& halo);
  void add(const Step& step) { steps_.push_back(step); }
  /// The background source a w x h wallpaper gets, its halo placed as in a preview of
  /// previewWidth x previewHeight. Only the steps from the last one that paints every pixel are
  /// replayed: what the steps before it made is painted over.
  Bitmap replay(int w, int h, int previewWidth, int previewHeight) const;
  /// Why replaying for a w x h wallpaper would cost more than the limits above allow (too many
  /// steps, a step whose background would be too large, or too much work in all), worked out from
  /// the sizes alone, before any of it is done; empty when it would not.
  std::string replayProblem(int w, int h, int previewWidth, int previewHeight) const;
  /// Whether replaying reads the base's pixels at some wallpaper size: not when a step paints
  /// every pixel of a background of any size, since replaying starts there.
  static bool ReadsBasePixels(const std::vector<Step>& steps);

  const Bitmap& base() const { return base_; }
  /// The steps as text, a line each; and read back onto `base` (nothing for text that is not
  /// such a list).
  std::string stepsText() const;
  static std::optional<BackgroundRecipe> FromText(Bitmap base, std::string_view text);

 private:
  Bitmap base_;
  std::vector<Step> steps_;
};

}  // namespace tessora
