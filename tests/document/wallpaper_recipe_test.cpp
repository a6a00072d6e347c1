#include "document/wallpaper_recipe.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "support/files.h"
#include "support/peak_memory.h"
#include "support/pictures.h"
#include "support/temp_dir.h"

namespace tessora {
namespace {

namespace fs = std::filesystem;

WallpaperRecipe Sample() {
  WallpaperRecipe r;
  r.center = Bitmap(3, 2);
  r.center.setTransparent(true);
  r.center.setTransparentColor(RGB(1, 2, 3));
  Bitmap base(4, 4);
  base.setFillColor(clBtnFace);
  r.generated = BackgroundRecipe(base);
  BackgroundRecipe::Step halo;
  halo.kind = BackgroundKind::Halo;
  halo.color0 = RGB(9, 8, 7);
  halo.color1 = clActiveCaption;
  halo.halo = CenterStretch{3, 2, 0, 0.618034F};
  r.generated->add(halo);
  r.sizing.widthFraction = 0.25F;
  r.sizing.deepBackgroundColor = RGB(10, 20, 30);
  r.sizing.entireArea = true;
  r.sizing.previewWidth = 344;
  r.sizing.previewHeight = 231;
  r.layout.monitors = {Monitor{"DP-1", Rect{0, 0, 1920, 1080}, Rect{0, 0, 1920, 1050}, true},
                       Monitor{"Virtual 2", Rect{1920, -200, 3000, 1720}, Rect{}, false}};
  r.layout.primary = 1;
  return r;
}

TEST(WallpaperRecipe, ItsTextReadsBackAndDamagedTextIsRefused) {
  const WallpaperRecipe r = Sample();
  const std::string text = WallpaperRecipeText(r.inputs(), r.layout);
  const OutcomeOf<WallpaperRecipe> read = ParseWallpaperRecipe(text, r.generated->base(), r.center);
  ASSERT_TRUE(read.ok()) << read.reason() << "\n" << text;
  const WallpaperRecipe& back = read.value();
  EXPECT_EQ(back.layout, r.layout);
  EXPECT_EQ(back.generated->steps(), r.generated->steps());
  EXPECT_EQ(back.generated->base().fillColor(), clBtnFace);
  EXPECT_EQ(back.center.transparentColor(), RGB(1, 2, 3));
  EXPECT_TRUE(back.center.transparent());
  EXPECT_EQ(back.sizing.widthFraction, 0.25F);
  EXPECT_EQ(back.sizing.deepBackgroundColor, RGB(10, 20, 30));
  EXPECT_TRUE(back.sizing.entireArea);
  EXPECT_EQ(WallpaperRecipeText(back.inputs(), back.layout), text);

  for (const char* damage : {"sizing 0.25\n", "deep blue\n", "monitor 1 0 0\n", "what 1\n",
                             "step generate plaid 0 0\n", "center-picture 0\n"}) {
    EXPECT_FALSE(ParseWallpaperRecipe(text + damage, r.generated->base(), r.center)) << damage;
  }
  EXPECT_FALSE(ParseWallpaperRecipe("tessora wallpaper recipe 2\n", Bitmap(), Bitmap()));
}

// A recipe left in a folder by a set: a halo over a center picture, or a plain tile picture.
struct RecipeFolder {
  explicit RecipeFolder(bool generated) {
    const WallpaperRecipe r = Sample();
    const Bitmap tile = testing::PatternBitmap(6, 5);
    const CompositionInputs in{tile, generated ? &*r.generated : nullptr, r.center, r.sizing};
    WriteWallpaperRecipe(folder(), in, MonitorLayout{{At800x600()}, 0});
    text = testing::readFile(file(kRecipeFileName));
  }
  static Monitor At800x600() { return Monitor{"A", Rect{0, 0, 800, 600}, Rect{}, false}; }
  std::string folder() const { return dir.file(""); }
  std::string file(const char* name) const { return dir.file(name); }
  void replace(const char* name, const std::string& contents) const {
    fs::remove_all(file(name));
    ASSERT_TRUE(testing::writeFile(file(name), contents));
  }
  // The recipe's text with its background steps replaced by `steps`.
  std::string withSteps(const std::string& steps) const {
    return text.substr(0, text.find("step ")) + steps;
  }

  testing::TempDir dir;
  std::string text;
};

std::string Repeated(const std::string& line, int times) {
  std::string text;
  for (int i = 0; i < times; ++i) {
    text += line;
  }
  return text;
}

// A picture file of `side` x `side` pixels whose pixels are a hole: it takes no room on the disk.
void WriteSparseBmp(const std::string& path, std::uint32_t side) {
  const std::uint32_t row = side * 3;
  const std::uint32_t size = 54 + row * side;
  std::uint8_t header[54] = {'B', 'M'};
  auto put = [&header](int at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
      header[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
    }
  };
  put(2, size);
  put(10, 54);
  put(14, 40);
  put(18, side);
  put(22, side);
  header[26] = 1;
  header[28] = 24;
  put(34, row * side);
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(header), 54);
  fs::resize_file(path, size);
}

// Every hostile or damaged recipe is refused with its reason before it costs a picture's memory
// or a replay's; a recipe that needs no picture copy does not read it, however large it claims
// to be.
TEST(WallpaperRecipe, AHostileRecipeIsRefusedWithItsReasonCheaply) {
  const MonitorLayout screen{{RecipeFolder::At800x600()}, 0};
  const std::string halo = "step generate halo 00FF0000 000000FF\n";
  const struct {
    const char* what;
    bool generated;
    std::function<void(const RecipeFolder&)> damage;
    const char* reason;  // what the refusal says; nothing for a recipe that is used
  } rows[] = {
      {"bad text", true, [](auto& f) { f.replace(kRecipeFileName, "\x01\x02\xff\xfe junk"); },
       "is damaged: it is not text"},
      {"NUL bytes", true,
       [](auto& f) { f.replace(kRecipeFileName, f.text + std::string("deep 0\0 1\n", 10)); },
       "is damaged: it holds NUL bytes"},
      {"a line not understood", true, [](auto& f) { f.replace(kRecipeFileName, f.text + "x 1\n"); },
       "line 12 is not understood"},
      {"missing center copy", true, [](auto& f) { fs::remove(f.file(kRecipeCenterFileName)); },
       "center.bmp cannot be read: "},
      {"unreadable tile copy", false,
       [](auto& f) {
         fs::remove(f.file(kRecipeTileFileName));
         fs::create_directory(f.file(kRecipeTileFileName));
       },
       "tile.bmp cannot be read: "},
      {"a FIFO", true,
       [](auto& f) {
         fs::remove(f.file(kRecipeFileName));
         ASSERT_EQ(::mkfifo(f.file(kRecipeFileName).c_str(), 0600), 0);
       },
       "recipe.txt is not a regular file"},
      {"a folder", true,
       [](auto& f) {
         fs::remove(f.file(kRecipeFileName));
         fs::create_directory(f.file(kRecipeFileName));
       },
       "recipe.txt is not a regular file"},
      {"/dev/zero", true,
       [](auto& f) {
         fs::remove(f.file(kRecipeFileName));
         fs::create_symlink("/dev/zero", f.file(kRecipeFileName));
       },
       "recipe.txt is not a regular file"},
      {"100 MB", true, [](auto& f) { fs::resize_file(f.file(kRecipeFileName), 100 << 20); },
       "recipe.txt is too large"},
      {"30 doublings", true,
       [&](auto& f) {
         f.replace(kRecipeFileName, f.withSteps(halo + Repeated("step scale 2\n", 30)));
       },
       "step 4 makes a background of 6400 x 4800 pixels, more than the 16777216"},
      {"one scaling by 30", true,
       [&](auto& f) { f.replace(kRecipeFileName, f.withSteps(halo + "step scale 30\n")); },
       "step 2 makes a background of 24000 x 18000 pixels"},
      {"27000 halos", true,
       [&](auto& f) { f.replace(kRecipeFileName, f.withSteps(Repeated(halo, 27000))); },
       "it has 27000 steps, more than the 256 a window makes"},
      {"growing and shrinking", true,
       [&](auto& f) {
         f.replace(kRecipeFileName,
                   f.withSteps(halo + Repeated("step scale 4\nstep scale 0.25\n", 127)));
       },
       "paint more than the 134217728 pixels"},
      {"no factor", true,
       [&](auto& f) { f.replace(kRecipeFileName, f.withSteps(halo + "step scale nan\n")); },
       "step 2 scales by nan, which is no size"},
      {"a sparse 16384 x 16384 tile copy under a halo", true,
       [](auto& f) { WriteSparseBmp(f.file(kRecipeTileFileName), 16384); }, nullptr},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    const RecipeFolder f(row.generated);
    row.damage(f);
    std::string refusal;
    const std::int64_t extra = testing::ExtraPeakKilobytes([&] {
      const OutcomeOf<WallpaperRecipe> read = ReadWallpaperRecipe(f.folder());
      refusal = read ? RecipeReplayProblem(read.value(), screen) : read.reason();
    });
    if (row.reason == nullptr) {
      EXPECT_EQ(refusal, "");
    } else {
      EXPECT_NE(refusal.find(row.reason), std::string::npos) << refusal;
    }
    if (testing::kResidentMemoryTellsTheReadersCost && !testing::kFreedMemoryIsKept) {
      EXPECT_LT(extra, 16 << 10) << "KiB";
    }
  }
}

}  // namespace
}  // namespace tessora
