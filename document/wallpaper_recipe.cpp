#include "document/wallpaper_recipe.h"

#include <charconv>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <system_error>
#include <type_traits>

#include "common/atomic_file.h"
#include "common/read_file.h"
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

std::string Number(float v) {
  char text[32];
  return std::string(text, std::to_chars(text, text + sizeof text, v).ptr);
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

// A field read whole: a number with anything after it is no number.
template <typename T>
bool Read(std::istream& in, T& value, int base = 10) {
  std::string word;
  if (!(in >> word)) {
    return false;
  }
  const char* end = word.data() + word.size();
  std::from_chars_result r{};
  if constexpr (std::is_floating_point_v<T>) {
    (void)base;
    r = std::from_chars(word.data(), end, value);
  } else {
    r = std::from_chars(word.data(), end, value, base);
  }
  return r.ec == std::errc() && r.ptr == end;
}

bool ReadPicture(std::istream& in, Bitmap& b) {
  TColor fill = 0;
  TColor transparentColor = 0;
  int transparent = 0;
  if (!Read(in, fill, 16) || !Read(in, transparent) || !Read(in, transparentColor, 16)) {
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
  if (!Read(in, primary) || !Read(in, m.rect.Left) || !Read(in, m.rect.Top) ||
      !Read(in, m.rect.Right) || !Read(in, m.rect.Bottom) || !Read(in, m.workArea.Left) ||
      !Read(in, m.workArea.Top) || !Read(in, m.workArea.Right) || !Read(in, m.workArea.Bottom) ||
      !Read(in, known)) {
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
    return Read(in, r.deepBackgroundColor, 16);
  }
  if (key == "sizing") {
    return Read(in, r.widthFraction) && Read(in, r.heightFraction);
  }
  if (key == "entire-area" || key == "generated" || key == "center-picture") {
    const bool ok = Read(in, flag);
    (key == "generated"        ? generated
     : key == "center-picture" ? centerPicture
                               : r.entireArea) = flag != 0;
    return ok;
  }
  if (key == "preview") {
    return Read(in, r.previewWidth) && Read(in, r.previewHeight);
  }
  if (key == "tile" || key == "center") {
    return ReadPicture(in, key == "tile" ? r.tile : r.center);
  }
  return key == "monitor" && ReadMonitor(in, r.layout);
}

}  // namespace

CompositionInputs WallpaperRecipe::inputs() const {
  CompositionInputs in{tile, generated ? &*generated : nullptr, center};
  in.widthFraction = widthFraction;
  in.heightFraction = heightFraction;
  in.deepBackgroundColor = deepBackgroundColor;
  in.entireArea = entireArea;
  in.previewWidth = previewWidth;
  in.previewHeight = previewHeight;
  return in;
}

std::string WallpaperRecipeText(const WallpaperRecipe& r) {
  std::string text = std::string(kFirstLine) + "\n";
  text += "deep " + Hex(r.deepBackgroundColor) + "\n";
  text += "sizing " + Number(r.widthFraction) + " " + Number(r.heightFraction) + "\n";
  text += std::string("entire-area ") + (r.entireArea ? "1" : "0") + "\n";
  text +=
      "preview " + std::to_string(r.previewWidth) + " " + std::to_string(r.previewHeight) + "\n";
  text += PictureLine("tile", r.generated ? r.generated->base() : r.tile);
  text += PictureLine("center", r.center);
  text += std::string("center-picture ") + (r.center.empty() ? "0" : "1") + "\n";
  for (std::size_t i = 0; i < r.layout.monitors.size(); ++i) {
    text += MonitorLine(r.layout.monitors[i], i == r.layout.primary);
  }
  text += std::string("generated ") + (r.generated ? "1" : "0") + "\n";
  if (r.generated) {
    std::istringstream steps(r.generated->stepsText());
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

void WriteWallpaperRecipe(const std::string& folder, const WallpaperRecipe& r) {
  SaveComposed(folder + kRecipeTileFileName, SaveFormat::Bmp,
               r.generated ? r.generated->base() : r.tile);
  const std::string centerPath = folder + kRecipeCenterFileName;
  if (r.center.empty()) {
    std::error_code ignored;
    std::filesystem::remove(centerPath, ignored);
  } else {
    SaveComposed(centerPath, SaveFormat::Bmp, r.center);
  }
  const std::string path = folder + kRecipeFileName;
  const std::string text = WallpaperRecipeText(r);
  AtomicFile file(path);
  if (!(file.open() && file.write(text.data(), text.size()) && file.commit())) {
    throw ImageError(WithReason("Cannot create file " + path, file.failureReason()));
  }
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
