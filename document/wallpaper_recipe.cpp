#include "document/wallpaper_recipe.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <system_error>
#include <vector>

#include "common/atomic_file.h"
#include "common/read_file.h"
#include "common/text_fields.h"
#include "engine/desktop_geometry.h"
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

// Whether `text` is text: UTF-8 (monitor names may be in any script) without control
// characters but the line ends.
bool IsText(const std::string& text) {
  for (std::size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
      if ((c < 0x20 && c != '\n') || c == 0x7F) {
        return false;
      }
      ++i;
      continue;
    }
    const std::size_t length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 ? 2 : 0;
    if (length == 0 || c > 0xF4 || i + length > text.size()) {
      return false;
    }
    std::uint32_t code = c & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) {
      const auto more = static_cast<unsigned char>(text[i + k]);
      if ((more & 0xC0) != 0x80) {
        return false;
      }
      code = (code << 6) | (more & 0x3F);
    }
    // No overlong forms, no surrogates, nothing past U+10FFFF.
    const std::uint32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < least[length] || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) {
      return false;
    }
    i += length;
  }
  return true;
}

// A recipe's text read: the recipe with its pictures' colours and transparency but no pixels
// yet, its background's steps, and which pictures it names.
struct RecipeText {
  WallpaperRecipe recipe;
  std::string stepsText;
  std::vector<BackgroundRecipe::Step> steps;
  bool generated = false;
  bool centerPicture = false;
  std::string failure;  ///< why it cannot be read, when it cannot
};

// Why `text` is no recipe; empty when it is one.
std::string ParseText(const std::string& text, RecipeText& parsed) {
  if (text.find('\0') != std::string::npos) {
    return "it holds NUL bytes";
  }
  if (!IsText(text)) {
    return "it is not text";
  }
  std::istringstream lines(text);
  std::string line;
  if (!std::getline(lines, line) || line != kFirstLine) {
    return std::string("its first line is not \"") + kFirstLine + "\"";
  }
  for (int number = 2; std::getline(lines, line); ++number) {
    if (!ReadLine(line, parsed.recipe, parsed.stepsText, parsed.generated, parsed.centerPicture)) {
      return "line " + std::to_string(number) + " is not understood";
    }
  }
  if (parsed.generated) {
    const std::optional<BackgroundRecipe> steps =
        BackgroundRecipe::FromText(Bitmap(), parsed.stepsText);
    if (!steps) {
      return "its background steps are not understood";
    }
    parsed.steps = steps->steps();
  }
  return std::string();
}

// Reads and parses the recipe's text in `folder`; a text that is no recipe counts as Failed.
// Why it failed, naming the file, is left in parsed.failure.
ReadResult ReadRecipeText(const std::string& folder, RecipeText& parsed) {
  const std::string path = folder + kRecipeFileName;
  std::string text;
  const ReadResult read = ReadWholeFile(path, kMaxRecipeBytes, text);
  if (read != ReadResult::Ok) {
    parsed.failure = path + " " + ReadFailureText(read);
    return read;
  }
  const std::string wrong = ParseText(text, parsed);
  if (!wrong.empty()) {
    parsed.failure = path + " is damaged: " + wrong;
    return ReadResult::Failed;
  }
  return ReadResult::Ok;
}

// Gives `target` the pixels of `picture`, keeping its own colours and transparency.
void TakePixels(Bitmap& target, Bitmap&& picture) {
  picture.setFillColor(target.fillColor());
  picture.setTransparent(target.transparent());
  picture.setTransparentColor(target.transparentColor());
  target = std::move(picture);
}

// Reads a picture copy of the recipe into `target`, or says why it cannot, naming the file.
Outcome LoadCopy(const std::string& path, Bitmap& target) {
  Bitmap picture;
  const Outcome loaded = LoadImageFile(path, picture);
  if (!loaded) {
    return Outcome::Failed(path + " cannot be read: " + loaded.reason());
  }
  TakePixels(target, std::move(picture));
  return Outcome::Done();
}

// The recipe the text and its pictures make. A generated background's starting picture is held
// by its recipe alone.
WallpaperRecipe Finish(RecipeText&& parsed) {
  WallpaperRecipe r = std::move(parsed.recipe);
  if (parsed.generated) {
    BackgroundRecipe background(std::move(r.tile));
    r.tile = Bitmap();
    for (const BackgroundRecipe::Step& step : parsed.steps) {
      background.add(step);
    }
    r.generated = std::move(background);
  }
  return r;
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

OutcomeOf<WallpaperRecipe> ParseWallpaperRecipe(const std::string& text, Bitmap tile,
                                                Bitmap center) {
  using Result = OutcomeOf<WallpaperRecipe>;
  RecipeText parsed;
  const std::string wrong = ParseText(text, parsed);
  if (!wrong.empty()) {
    return Result::Failed(wrong);
  }
  if (parsed.centerPicture == center.empty()) {
    return Result::Failed(parsed.centerPicture ? "it names a center picture, and there is none"
                                               : "it names no center picture, and there is one");
  }
  TakePixels(parsed.recipe.tile, std::move(tile));
  TakePixels(parsed.recipe.center, std::move(center));
  return Result::Done(Finish(std::move(parsed)));
}

void WriteWallpaperRecipe(const std::string& folder, const CompositionInputs& in,
                          const MonitorLayout& layout) {
  // A generated background's starting picture read without its pixels (no replay reads them,
  // see ReadWallpaperRecipe) is kept as one pixel of its fill colour.
  const Bitmap& tile = TilePicture(in);
  if (tile.empty()) {
    Bitmap standIn(1, 1);
    standIn.setFillColor(tile.fillColor());
    standIn.fill();
    SaveComposed(folder + kRecipeTileFileName, SaveFormat::Bmp, standIn);
  } else {
    SaveComposed(folder + kRecipeTileFileName, SaveFormat::Bmp, tile);
  }
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

OutcomeOf<std::optional<MonitorLayout>> ReadRecipeLayout(const std::string& folder) {
  using Result = OutcomeOf<std::optional<MonitorLayout>>;
  RecipeText parsed;
  const ReadResult read = ReadRecipeText(folder, parsed);
  if (read == ReadResult::Missing) {
    return Result::Done(std::nullopt);
  }
  if (read != ReadResult::Ok) {
    return Result::Failed(parsed.failure);
  }
  return Result::Done(std::move(parsed.recipe.layout));
}

OutcomeOf<WallpaperRecipe> ReadWallpaperRecipe(const std::string& folder) {
  using Result = OutcomeOf<WallpaperRecipe>;
  RecipeText parsed;
  if (ReadRecipeText(folder, parsed) != ReadResult::Ok) {
    return Result::Failed(parsed.failure);
  }
  // The text is checked before any picture is read: a damaged recipe costs no picture's memory.
  if (parsed.centerPicture) {
    const Outcome loaded = LoadCopy(folder + kRecipeCenterFileName, parsed.recipe.center);
    if (!loaded) {
      return Result::Failed(loaded.reason());
    }
  }
  if (!parsed.generated || BackgroundRecipe::ReadsBasePixels(parsed.steps)) {
    const Outcome loaded = LoadCopy(folder + kRecipeTileFileName, parsed.recipe.tile);
    if (!loaded) {
      return Result::Failed(loaded.reason());
    }
  }
  return Result::Done(Finish(std::move(parsed)));
}

std::string RecipeReplayProblem(const WallpaperRecipe& recipe, const MonitorLayout& layout) {
  if (!recipe.generated) {
    return std::string();
  }
  for (std::size_t i = 0; i < layout.monitors.size(); ++i) {
    const Size size =
        DesktopTargetSize(MonitorGeometry(layout.monitors[i]), recipe.sizing.entireArea);
    const std::string problem = recipe.generated->replayProblem(
        size.width, size.height, recipe.sizing.previewWidth, recipe.sizing.previewHeight);
    if (!problem.empty()) {
      return layout.monitors.size() > 1 ? "for monitor " + std::to_string(i + 1) + ", " + problem
                                        : problem;
    }
  }
  return std::string();
}

}  // namespace tessora
