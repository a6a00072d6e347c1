#include "document/wallpaper_recipe.h"

#include <cstdio>
#include <filesystem>
#include <sstream>
#include <system_error>

#include "common/atomic_file.h"
#include "common/read_file.h"
#include "common/text_fields.h"
#include "imageio/image_error.h"
#include "imageio/image_files.h"

namespace tessora {
namespace {

constexpr const char* kFirstLine = "tessora wallpaper recipe 1";
constexpr std::uint64_t kMaxRecipeBytes = 1 << 20;

std::string Hex(TColor c) {
  char text[16];
  std::snprintf(text, sizeof text, "%08X", c);
  return text;
}

// The colours and transparency a picture file does not keep.
std::string PictureLine(const char* key, const Bitmap& b) {
  return std::string(key) + " " + Hex(b.fillColor()) + " " + (b.transparent() ? "1" : "0") + " " +
         Hex(b.transparentColor()) + "\n";
}

std::string MonitorLine(const Monitor& m, bool primary) {
  std::ostringstream s;
  s << "monitor " << (primary ? 1 : 0) << ' ' << m.rect.Left << ' ' << m.rect.Top << ' '
    << m.rect.Right << ' ' << m.rect.Bottom << ' ' << m.workArea.Left << ' ' << m.workArea.Top
    << ' ' << m.workArea.Right << ' ' << m.workArea.Bottom << ' ' << (m.workAreaKnown ? 1 : 0)
    << ' ' << m.name << '\n';
  return s.str();
}

bool ReadPicture(std::istream& in, Bitmap& b) {
  TColor fill = 0;
  TColor transparentColor = 0;
  int transparent = 0;
  if (!ReadField(in, fill, 16) || !ReadField(in, transparent) ||
      !ReadField(in, transparentColor, 16)) {
    return false;
  }
  b.setFillColor(fill);
  b.setTransparent(transparent != 0);
  b.setTransparentColor(transparentColor);
  return true;
}

bool ReadMonitor(std::istream& in, MonitorLayout& layout) {
  Monitor m;
  int primary = 0;
  int known = 0;
  if (!ReadField(in, primary) || !ReadField(in, m.rect.Left) || !ReadField(in, m.rect.Top) ||
      !ReadField(in, m.rect.Right) || !ReadField(in, m.rect.Bottom) ||
      !ReadField(in, m.workArea.Left) || !ReadField(in, m.workArea.Top) ||
      !ReadField(in, m.workArea.Right) || !ReadField(in, m.workArea.Bottom) ||
      !ReadField(in, known)) {
    return false;
  }
  in >> std::ws;
  std::getline(in, m.name);
  m.workAreaKnown = known != 0;
  if (primary != 0) {
    layout.primary = layout.monitors.size();
  }
  layout.monitors.push_back(std::move(m));
  return true;
}

// One line of the recipe's text; false for a line that is not one.
bool ReadLine(const std::string& line, WallpaperRecipe& r, std::string& steps, bool& generated,
              bool& centerPicture) {
  std::istringstream in(line);
  std::string key;
  in >> key;
  if (key == "step") {
    std::getline(in >> std::ws, key);
    steps += key + "\n";
    return true;
  }
  int flag = 0;
  if (key == "deep") {
    return ReadField(in, r.sizing.deepBackgroundColor, 16);
  }
  if (key == "sizing") {
    return ReadField(in, r.sizing.widthFraction) && ReadField(in, r.sizing.heightFraction);
  }
  if (key == "entire-area" || key == "generated" || key == "center-picture") {
    const bool ok = ReadField(in, flag);
    (key == "generated"        ? generated
     : key == "center-picture" ? centerPicture
                               : r.sizing.entireArea) = flag != 0;
    return ok;
  }
  if (key == "preview") {
    return ReadField(in, r.sizing.previewWidth) && ReadField(in, r.sizing.previewHeight);
  }
  if (key == "tile" || key == "center") {
    return ReadPicture(in, key == "tile" ? r.tile : r.center);
  }
  return key == "monitor" && ReadMonitor(in, r.layout);
}

// The picture the background starts from: a generated one's base, else the tile itself.
const Bitmap& TilePicture(const CompositionInputs& in) {
  return in.generated != nullptr ? in.generated->base() : in.tile;
}

}  // namespace

CompositionInputs WallpaperRecipe::inputs() const {
  return CompositionInputs{tile, generated ? &*generated : nullptr, center, sizing};
}

std::string WallpaperRecipeText(const CompositionInputs& in, const MonitorLayout& layout) {
  const CompositionSizing& sizing = in.sizing;
  std::string text = std::string(kFirstLine) + "\n";
  text += "deep " + Hex(sizing.deepBackgroundColor) + "\n";
  text +=
      "sizing " + FloatText(sizing.widthFraction) + " " + FloatText(sizing.heightFraction) + "\n";
  text += std::string("entire-area ") + (sizing.entireArea ? "1" : "0") + "\n";
  text += "preview " + std::to_string(sizing.previewWidth) + " " +
          std::to_string(sizing.previewHeight) + "\n";
  text += PictureLine("tile", TilePicture(in));
  text += PictureLine("center", in.center);
  text += std::string("center-picture ") + (in.center.empty() ? "0" : "1") + "\n";
  for (std::size_t i = 0; i < layout.monitors.size(); ++i) {
    text += MonitorLine(layout.monitors[i], i == layout.primary);
  }
  text += std::string("generated ") + (in.generated != nullptr ? "1" : "0") + "\n";
  if (in.generated != nullptr) {
    std::istringstream steps(in.generated->stepsText());
    for (std::string line; std::getline(steps, line);) {
      text += "step " + line + "\n";
    }
  }
  return text;
}

std::optional<WallpaperRecipe> ParseWallpaperRecipe(const std::string& text, Bitmap tile,
                                                    Bitmap center) {
  bool centerPicture = false;
  std::istringstream lines(text);
  std::string line;
  if (!std::getline(lines, line) || line != kFirstLine) {
    return std::nullopt;
  }
  WallpaperRecipe r;
  r.tile = std::move(tile);
  r.center = std::move(center);
  std::string steps;
  bool generated = false;
  while (std::getline(lines, line)) {
    if (!ReadLine(line, r, steps, generated, centerPicture)) {
      return std::nullopt;
    }
  }
  if (centerPicture == r.center.empty()) {
    return std::nullopt;
  }
  if (generated) {
    r.generated = BackgroundRecipe::FromText(r.tile, steps);
    if (!r.generated) {
      return std::nullopt;
    }
  }
  return r;
}

void WriteWallpaperRecipe(const std::string& folder, const CompositionInputs& in,
                          const MonitorLayout& layout) {
  SaveComposed(folder + kRecipeTileFileName, SaveFormat::Bmp, TilePicture(in));
  const std::string centerPath = folder + kRecipeCenterFileName;
  if (in.center.empty()) {
    std::error_code ignored;
    std::filesystem::remove(centerPath, ignored);
  } else {
    SaveComposed(centerPath, SaveFormat::Bmp, in.center);
  }
  const std::string path = folder + kRecipeFileName;
  const std::string text = WallpaperRecipeText(in, layout);
  AtomicFile file(path);
  if (!(file.open() && file.write(text.data(), text.size()) && file.commit())) {
    throw ImageError(WithReason("Cannot create file " + path, file.failureReason()));
  }
}

std::optional<MonitorLayout> ReadRecipeLayout(const std::string& folder) {
  std::string text;
  if (ReadWholeFile(folder + kRecipeFileName, kMaxRecipeBytes, text) != ReadResult::Ok) {
    return std::nullopt;
  }
  MonitorLayout layout;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    std::istringstream in(line);
    std::string key;
    in >> key;
    if (key == "monitor" && !ReadMonitor(in, layout)) {
      return std::nullopt;
    }
  }
  return layout;
}

OutcomeOf<WallpaperRecipe> ReadWallpaperRecipe(const std::string& folder) {
  using Result = OutcomeOf<WallpaperRecipe>;
  std::string text;
  if (ReadWholeFile(folder + kRecipeFileName, kMaxRecipeBytes, text) != ReadResult::Ok) {
    return Result::Failed("no recipe of the last wallpaper");
  }
  Bitmap tile;
  Bitmap center;
  const Outcome tileRead = LoadImageFile(folder + kRecipeTileFileName, tile);
  std::error_code error;
  const std::string centerPath = folder + kRecipeCenterFileName;
  const Outcome centerRead = std::filesystem::exists(centerPath, error)
                                 ? LoadImageFile(centerPath, center)
                                 : Outcome::Done();
  if (!tileRead || !centerRead) {
    return Result::Failed("the last wallpaper's pictures cannot be read: " +
                          (tileRead ? centerRead : tileRead).reason());
  }
  std::optional<WallpaperRecipe> r = ParseWallpaperRecipe(text, std::move(tile), std::move(center));
  if (!r) {
    return Result::Failed("the recipe of the last wallpaper is damaged");
  }
  return Result::Done(std::move(*r));
}

}  // namespace tessora
