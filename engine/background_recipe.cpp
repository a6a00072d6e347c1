#include "engine/background_recipe.h"

#include <cstdio>
#include <sstream>

#include "common/text_fields.h"
#include "engine/composition.h"
#include "engine/gradients.h"

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

Bitmap BackgroundRecipe::replay(int w, int h, int previewWidth, int previewHeight) const {
  Bitmap tile = base_;
  for (const Step& step : steps_) {
    Rect halo;
    if (step.halo) {
      const CenterStretch& c = *step.halo;
      halo = ToPreviewRect(
          StretchedCenterBox(w, h, c.width, c.height, c.widthFraction, c.heightFraction), w, h,
          previewWidth, previewHeight);
    }
    Apply(tile, step, w, h, halo);
  }
  return tile;
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
