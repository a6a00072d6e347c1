#include "engine/background_recipe.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sstream>

#include "common/text_fields.h"
#include "engine/composition.h"
#include "engine/gradients.h"
#include "engine/rounding.h"

namespace tessora {
namespace {

constexpr const char* kKindNames[] = {"tile", "vertical", "centered", "halo", "corner"};

bool ReadKind(std::istream& in, BackgroundKind& kind) {
  std::string word;
  in >> word;
  for (std::size_t i = 0; i < std::size(kKindNames); ++i) {
    if (word == kKindNames[i]) {
      kind = static_cast<BackgroundKind>(i);
      return true;
    }
  }
  return false;
}

bool ReadHalo(std::istream& in, std::optional<CenterStretch>& halo) {
  std::string word;
  if (!(in >> word)) {
    return true;
  }
  CenterStretch c;
  if (word != "halo" || !ReadField(in, c.width) || !ReadField(in, c.height) ||
      !ReadField(in, c.widthFraction) || !ReadField(in, c.heightFraction)) {
    return false;
  }
  halo = c;
  return true;
}

std::optional<BackgroundRecipe::Step> ReadStep(const std::string& line) {
  std::istringstream in(line);
  std::string verb;
  in >> verb;
  BackgroundRecipe::Step step;
  if (verb == "scale") {
    step.generate = false;
    return ReadField(in, step.factor) && !(in >> verb) ? std::optional(step) : std::nullopt;
  }
  if (verb != "generate" || !ReadKind(in, step.kind) || !ReadField(in, step.color0, 16) ||
      !ReadField(in, step.color1, 16) || !ReadHalo(in, step.halo) || (in >> verb)) {
    return std::nullopt;
  }
  return step;
}

using Step = BackgroundRecipe::Step;

// Whether `step` paints every pixel of the w x h background it makes, whatever was there before,
// and sets its fill colour: the ellipses and the corner's nested boxes start from the whole
// bitmap; the vertical gradient's bands are two rows high, so an odd last row keeps its pixels.
bool PaintsAll(const Step& step, int w, int h) {
  if (!step.generate || w <= 0 || h <= 0) {
    return false;
  }
  switch (step.kind) {
    case BackgroundKind::Centered:
    case BackgroundKind::Halo:
    case BackgroundKind::Corner:
      return true;
    case BackgroundKind::Vertical:
      return h % 2 == 0;
    case BackgroundKind::Tile:
      break;
  }
  return false;
}

// The step replaying starts from: the last that paints every pixel, else the first.
std::size_t FirstReplayed(const std::vector<Step>& steps, int w, int h) {
  for (std::size_t i = steps.size(); i-- > 0;) {
    if (PaintsAll(steps[i], w, h)) {
      return i;
    }
  }
  return 0;
}

// The rectangle, in preview pixels, that a halo's rings follow on a w x h wallpaper.
Rect HaloRect(const Step& step, int w, int h, int previewWidth, int previewHeight) {
  if (!step.halo) {
    return Rect{};
  }
  const CenterStretch& c = *step.halo;
  return ToPreviewRect(
      StretchedCenterBox(w, h, c.width, c.height, c.widthFraction, c.heightFraction), w, h,
      previewWidth, previewHeight);
}

std::string SizeText(long double w, long double h) {
  return std::to_string(static_cast<std::int64_t>(w)) + " x " +
         std::to_string(static_cast<std::int64_t>(h));
}

}  // namespace

// Only what a step uses counts: a scaling has no colours, a generated background no factor.
bool operator==(const BackgroundRecipe::Step& a, const BackgroundRecipe::Step& b) {
  if (a.generate != b.generate) {
    return false;
  }
  if (!a.generate) {
    return a.factor == b.factor;
  }
  return a.kind == b.kind && a.color0 == b.color0 && a.color1 == b.color1 && a.halo == b.halo;
}

void BackgroundRecipe::Apply(Bitmap& tile, const Step& step, int w, int h, const Rect& halo) {
  if (!step.generate) {
    ScaleBitmap(tile, step.factor);
    return;
  }
  tile.setSize(w, h);
  switch (step.kind) {
    case BackgroundKind::Vertical:
      VerticalGradient(tile, step.color0, step.color1);
      break;
    case BackgroundKind::Centered:
      EllipseGradient(tile, step.color0, step.color1, Rect{}, true);
      break;
    case BackgroundKind::Halo:
      EllipseGradient(tile, step.color0, step.color1, halo, false);
      break;
    case BackgroundKind::Corner:
      CornerGradient(tile, step.color0, step.color1);
      break;
    case BackgroundKind::Tile:
      break;
  }
}

// Replaying from a step that paints every pixel needs none of the base's pixels, only the
// transparency the background has by then: the base's, which a scaling drops (a scaled picture
// is opaque), and the transparent colour, which every step keeps.
Bitmap BackgroundRecipe::replay(int w, int h, int previewWidth, int previewHeight) const {
  const std::size_t first = FirstReplayed(steps_, w, h);
  Bitmap tile;
  if (first < steps_.size() && PaintsAll(steps_[first], w, h)) {
    bool transparent = base_.transparent();
    for (std::size_t i = 0; i < first; ++i) {
      transparent = transparent && steps_[i].generate;
    }
    tile.setFillColor(base_.fillColor());
    tile.setTransparent(transparent);
    tile.setTransparentColor(base_.transparentColor());
  } else {
    tile = base_;
  }
  for (std::size_t i = first; i < steps_.size(); ++i) {
    const Step& step = steps_[i];
    Apply(tile, step, w, h, HaloRect(step, w, h, previewWidth, previewHeight));
  }
  return tile;
}

std::string BackgroundRecipe::replayProblem(int w, int h, int previewWidth,
                                            int previewHeight) const {
  if (steps_.size() > kMaxSteps) {
    return "it has " + std::to_string(steps_.size()) + " steps, more than the " +
           std::to_string(kMaxSteps) + " a window makes";
  }
  const std::int64_t wallpaper = std::int64_t{w} * h;
  const std::int64_t most = std::max(kReplayGrowth * wallpaper, kReplayFloorPixels);
  const long double workLimit = static_cast<long double>(kReplayWork) * most;
  const std::size_t first = FirstReplayed(steps_, w, h);
  long double width = base_.width();
  long double height = base_.height();
  long double work = 0;
  for (std::size_t i = first; i < steps_.size(); ++i) {
    const Step& step = steps_[i];
    const std::string which = "step " + std::to_string(i + 1);
    if (step.generate) {
      width = w;
      height = h;
      work += static_cast<long double>(wallpaper);
      if (step.kind == BackgroundKind::Halo || step.kind == BackgroundKind::Centered) {
        // Each ring is measured on each row it may reach.
        const Rect halo = step.kind == BackgroundKind::Halo
                              ? HaloRect(step, w, h, previewWidth, previewHeight)
                              : Rect{};
        work += static_cast<long double>(Round(EllipseGradientExtent(h, halo))) * h;
      }
    } else {
      if (!std::isfinite(step.factor) || step.factor < 0) {
        return which + " scales by " + FloatText(step.factor) + ", which is no size";
      }
      width = std::nearbyint(width * step.factor);
      height = std::nearbyint(height * step.factor);
      work += width * height;
    }
    if (width > Bitmap::kMaxDimension || height > Bitmap::kMaxDimension ||
        width * height > static_cast<long double>(most)) {
      return which + " makes a background of " + SizeText(width, height) +
             " pixels, more than the " + std::to_string(most) + " a wallpaper of " +
             SizeText(w, h) + " allows";
    }
    if (work > workLimit) {
      return "its steps up to step " + std::to_string(i + 1) + " paint more than the " +
             std::to_string(static_cast<std::int64_t>(workLimit)) + " pixels a wallpaper of " +
             SizeText(w, h) + " allows";
    }
  }
  return std::string();
}

bool BackgroundRecipe::ReadsBasePixels(const std::vector<Step>& steps) {
  for (const Step& step : steps) {
    if (step.generate && step.kind != BackgroundKind::Vertical &&
        step.kind != BackgroundKind::Tile) {
      return false;
    }
  }
  return true;
}

std::string BackgroundRecipe::stepsText() const {
  std::string text;
  char colors[32];
  for (const Step& step : steps_) {
    if (!step.generate) {
      text += "scale " + FloatText(step.factor) + "\n";
      continue;
    }
    std::snprintf(colors, sizeof colors, " %08X %08X", step.color0, step.color1);
    text += std::string("generate ") + kKindNames[static_cast<int>(step.kind)] + colors;
    if (step.halo) {
      const CenterStretch& c = *step.halo;
      text += " halo " + std::to_string(c.width) + " " + std::to_string(c.height) + " " +
              FloatText(c.widthFraction) + " " + FloatText(c.heightFraction);
    }
    text += "\n";
  }
  return text;
}

std::optional<BackgroundRecipe> BackgroundRecipe::FromText(Bitmap base, std::string_view text) {
  BackgroundRecipe recipe(std::move(base));
  std::istringstream in{std::string(text)};
  for (std::string line; std::getline(in, line);) {
    const std::optional<Step> step = ReadStep(line);
    if (!step) {
      return std::nullopt;
    }
    recipe.add(*step);
  }
  return recipe;
}

}  // namespace tessora
