#include "cli/compose.h"
#include "cli/terminal_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "imageio/image_files.h"
#include "support/fake_wallpaper_setter.h"
#include "support/files.h"
#include "support/pictures.h"
#include "support/temp_dir.h"

namespace tessora {
namespace {

namespace fs = std::filesystem;
using testing::LoadPicture;
using testing::Solid;
using testing::TempDir;

struct Outcome {
  int status;
  std::string err;
};

// Parses and replays a command line with no display and no settings.
Outcome Compose(const std::vector<std::string>& args, ComposeEnvironment env = {}) {
  std::ostringstream err;
  try {
    const ComposeRequest request = ParseComposeArgs(args);
    const int status = RunCompose(request, env, err);
    return Outcome{status, err.str()};
  } catch (const UsageError& e) {
    return Outcome{2, e.what()};
  }
}

class ComposeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SaveComposed(dir.file("center.bmp"), SaveFormat::Bmp, Solid(800, 600, RGB(255, 0, 0)));
  }
  TempDir dir;
};

TEST_F(ComposeTest, DefaultSizingPlacesTheCenterAsTheWindowDoes) {
  const std::string out = dir.file("out.bmp");
  const Outcome r = Compose({"--size", "1024x768", "--deep-color", "#0A141E", "--center",
                             dir.file("center.bmp"), "--sizing", "default", "-o", out});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("tessora: 212x143\n"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("saved: "), std::string::npos);
  const Bitmap b = LoadPicture(out);
  ASSERT_EQ(b.width(), 1024);
  EXPECT_EQ(b.pixel(196, 147), RGB(255, 0, 0));
  EXPECT_EQ(b.pixel(827, 620), RGB(255, 0, 0));
  EXPECT_EQ(b.pixel(195, 147), RGB(10, 20, 30));
  EXPECT_EQ(b.pixel(828, 620), RGB(10, 20, 30));
  EXPECT_EQ(b.pixel(196, 621), RGB(10, 20, 30));
}

TEST_F(ComposeTest, AsIsRoundsHalvesToEven) {
  SaveComposed(dir.file("odd.png"), SaveFormat::Png, Solid(641, 480, RGB(0, 0, 255)));
  const Outcome r = Compose({"--size", "1024x768", "--deep-color", "clBlack", "--center",
                             dir.file("odd.png"), "--sizing", "as-is", "-o", dir.file("o.png")});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("(not stretched)"), std::string::npos);
  const Bitmap b = LoadPicture(dir.file("o.png"));
  EXPECT_EQ(b.pixel(192, 144), RGB(0, 0, 255));
  EXPECT_EQ(b.pixel(191, 144), RGB(0, 0, 0));
}

TEST_F(ComposeTest, TilesScalesAndGeneratesBackgrounds) {
  Bitmap tile = Solid(10, 10, RGB(0, 200, 0));
  tile.fillRect(0, 0, 5, 5, RGB(200, 0, 0));
  SaveComposed(dir.file("tile.bmp"), SaveFormat::Bmp, tile);
  Outcome r = Compose({"--size", "64x48", "--tile", dir.file("tile.bmp"), "--scale-tile", "2", "-o",
                       dir.file("t.bmp")});
  ASSERT_EQ(r.status, 0) << r.err;
  Bitmap b = LoadPicture(dir.file("t.bmp"));
  EXPECT_EQ(b.pixel(9, 9), RGB(200, 0, 0));
  EXPECT_EQ(b.pixel(10, 9), RGB(0, 200, 0));
  EXPECT_EQ(b.pixel(20, 20), RGB(200, 0, 0));  // second copy at x = 20, y = 20

  for (const char* kind : {"tile", "vertical", "centered", "halo", "corner"}) {
    r = Compose({"--size", "64x48", "--color1", "#000000", "--color2", "#FFFFFF", "--background",
                 kind, "--format", "bmp", "-o", dir.file("g")});
    ASSERT_EQ(r.status, 0) << kind << r.err;
    b = LoadPicture(dir.file("g"));  // saved as BMP whatever the name says
    const TColor far = b.pixel(63, std::string(kind) == "vertical" ? 0 : 47);
    EXPECT_EQ(far, RGB(0, 0, 0)) << kind;
  }
}

TEST_F(ComposeTest, TransparentColourShowsTheBackground) {
  Bitmap c = Solid(100, 100, RGB(255, 0, 0));
  c.fillRect(0, 0, 50, 100, RGB(0, 0, 255));
  SaveComposed(dir.file("c.png"), SaveFormat::Png, c);
  const Outcome r =
      Compose({"--size", "100x100", "--deep-color", "#102030", "--center", dir.file("c.png"),
               "--sizing", "full", "--transparent", "clRed", "-o", dir.file("o.bmp")});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("transparent RGB: 255, 0, 0"), std::string::npos);
  const Bitmap b = LoadPicture(dir.file("o.bmp"));
  EXPECT_EQ(b.pixel(80, 50), RGB(16, 32, 48));
  EXPECT_EQ(b.pixel(20, 50), RGB(0, 0, 255));
}

TEST_F(ComposeTest, EveryOutputFormat) {
  const Outcome r = Compose({"--size", "40x30", "--deep-color", "#336699", "-o", dir.file("a.png"),
                             "-o", dir.file("a.jpg"), "-o", dir.file("a.bmp"), "--quiet"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  for (const char* name : {"a.png", "a.jpg", "a.bmp"}) {
    const Bitmap b = LoadPicture(dir.file(name));
    EXPECT_EQ(b.width(), 40) << name;
    const TColor p = b.pixel(20, 15);
    EXPECT_NEAR(GetRValue(p), 0x33, 3) << name;
    EXPECT_NEAR(GetBValue(p), 0x99, 3) << name;
  }
  std::ifstream png(dir.file("a.png"), std::ios::binary);
  char magic[4] = {};
  png.read(magic, 4);
  EXPECT_EQ(std::string(magic + 1, 3), "PNG");
}

TEST_F(ComposeTest, FailuresReportAndExitWithOne) {
  std::ofstream(dir.file("notes.txt")) << "not a picture";
  Outcome r =
      Compose({"--size", "40x30", "--center", dir.file("notes.txt"), "-o", dir.file("x.png")});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "INVALID: " + dir.file("notes.txt") + ": not a BMP file\n");
  EXPECT_FALSE(fs::exists(dir.file("x.png")));
  r = Compose({"--size", "40x30", "-o", dir.file("missing/dir/x.png")});
  EXPECT_EQ(r.status, 1);
  EXPECT_FALSE(r.err.empty());
  r = Compose({"--size", "40x30", "--set-wallpaper"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("Wallpaper could not be set"), std::string::npos);
}

TEST_F(ComposeTest, WallpaperIsWrittenAndInstalled) {
  FakeWallpaperSetter setter;
  setter.folder = dir.file("");
  ComposeEnvironment env;
  env.wallpaper = [&]() -> WallpaperSetter* { return &setter; };
  Outcome r = Compose({"--size", "40x30", "--set-wallpaper"}, env);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("Wallpaper has been set"), std::string::npos);
  ASSERT_EQ(setter.installed.size(), 1U);
  EXPECT_EQ(setter.installed[0], dir.file("Tessora Wallpaper.bmp"));
  EXPECT_EQ(LoadPicture(setter.installed[0]).width(), 40);
  setter.result = tessora::Outcome::Failed("no desktop answered");
  r = Compose({"--size", "40x30", "--set-wallpaper", "--quiet"}, env);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "Wallpaper could not be set: no desktop answered\n");
  // One line for each way that was tried; what is inside a line is still escaped.
  setter.result = tessora::Outcome::Failed("\nPortal: no bus\nX11: cannot read /a\x1b.bmp");
  r = Compose({"--size", "40x30", "--set-wallpaper", "--quiet"}, env);
  EXPECT_EQ(r.err, "Wallpaper could not be set: \nPortal: no bus\nX11: cannot read /a\\x1b.bmp\n");
  // Without a folder nothing is written anywhere, and the reason is told.
  setter.folder.clear();
  setter.installed.clear();
  const fs::path here = fs::current_path();
  fs::create_directory(dir.file("cwd"));
  fs::current_path(dir.file("cwd"));
  r = Compose({"--size", "40x30", "--set-wallpaper"}, env);
  fs::current_path(here);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "Wallpaper could not be set: no folder\n");
  EXPECT_TRUE(setter.installed.empty());
  EXPECT_TRUE(fs::is_empty(dir.file("cwd")));
}

// --restore hands the file the last install wrote to the desktop again, untouched.
TEST_F(ComposeTest, RestoreInstallsTheLastWallpaperFileAgain) {
  FakeWallpaperSetter setter;
  setter.folder = dir.file("");
  ComposeEnvironment env;
  env.wallpaper = [&]() -> WallpaperSetter* { return &setter; };
  Outcome r = Compose({"--restore"}, env);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "Wallpaper could not be restored: no wallpaper has been set yet (" +
                       dir.file("Tessora Wallpaper.bmp") + " does not exist)\n");
  EXPECT_TRUE(setter.installed.empty());
  ASSERT_EQ(Compose({"--size", "40x30", "--set-wallpaper"}, env).status, 0);
  const std::string written = testing::readFile(dir.file("Tessora Wallpaper.bmp"));
  r = Compose({"--restore"}, env);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "Wallpaper has been set\n");
  EXPECT_EQ(setter.installed, std::vector<std::string>(2, dir.file("Tessora Wallpaper.bmp")));
  EXPECT_EQ(testing::readFile(dir.file("Tessora Wallpaper.bmp")), written);
  EXPECT_EQ(Compose({"--restore"}).status, 1);  // no desktop session
}

// --follow restores at once and after each change of the monitors, the same monitors twice in a
// row once; with no wallpaper ever set (none, or only a first one killed before the desktop
// took it) it ends at once and says nothing.
TEST_F(ComposeTest, FollowRestoresAtOnceAndAfterEveryChangeOfTheMonitors) {
  FakeWallpaperSetter setter;
  setter.folder = dir.file("");
  const MonitorLayout one{{Monitor{"A", Rect{0, 0, 40, 30}, Rect{0, 0, 40, 30}, true}}, 0};
  MonitorLayout two = one;
  two.monitors.push_back(Monitor{"B", Rect{40, 0, 70, 50}, Rect{0, 0, 30, 50}, true});
  std::vector<MonitorLayout> changes;
  ComposeEnvironment env;
  env.wallpaper = [&]() -> WallpaperSetter* { return &setter; };
  env.monitors = [&]() -> std::optional<MonitorLayout> { return one; };
  env.desktop = [&]() -> std::optional<DesktopGeometry> {
    return MonitorGeometry(one.monitors[0]);
  };
  env.followMonitors = [&](const std::function<void(const MonitorLayout&)>& changed) {
    for (const MonitorLayout& layout : changes) {
      changed(layout);
    }
    return tessora::Outcome::Done();
  };
  changes = {one};
  Outcome r = Compose({"--follow"}, env);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "") << "nothing was ever set";
  // What a first set killed as the desktop was handed it leaves: its names, through `latest`.
  fs::create_directories(dir.file("sets/1"));
  testing::writeFile(dir.file("sets/1/Tessora Wallpaper.bmp"), "a picture");
  fs::create_symlink("sets/1", dir.file("latest"));
  fs::create_symlink("latest/Tessora Wallpaper.bmp", dir.file("Tessora Wallpaper.bmp"));
  r = Compose({"--follow"}, env);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "") << "a first set was killed";
  EXPECT_TRUE(setter.installed.empty());

  ASSERT_EQ(Compose({"--background", "halo", "--set-wallpaper"}, env).status, 0);
  setter.installed.clear();
  changes = {one, one, two, two, one};
  r = Compose({"--follow"}, env);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(setter.installed.size(), 2U) << "at once, and back on one monitor";
  EXPECT_EQ(setter.installedMonitors.size(), 1U) << "the second monitor plugged in";
  EXPECT_NE(r.err.find("composed again"), std::string::npos) << r.err;
  EXPECT_EQ(Compose({"--follow", "--size", "4x4"}, env).status, 2);
}

TEST_F(ComposeTest, DesktopSizeAndSettingsFromTheEnvironment) {
  ComposeEnvironment env;
  env.desktop = []() -> std::optional<DesktopGeometry> {
    return DesktopGeometry{300, 200, Rect{0, 30, 300, 180}};
  };
  Settings settings;
  settings.DeepBackgroundColor = RGB(1, 2, 3);
  env.settings = settings;
  Outcome r = Compose({"-o", dir.file("d.bmp")}, env);
  ASSERT_EQ(r.status, 0) << r.err;
  const Bitmap b = LoadPicture(dir.file("d.bmp"));
  EXPECT_EQ(b.width(), 300);
  EXPECT_EQ(b.height(), 180);  // the work area's bottom edge
  EXPECT_EQ(b.pixel(5, 5), RGB(1, 2, 3));
  r = Compose({"-o", dir.file("d.bmp")});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("--size"), std::string::npos);
}

// --monitors: each monitor's region of the saved picture is what --size of that monitor gives,
// the rest is the deep background colour; --set-wallpaper hands every monitor its picture, for
// the given layout or, without one, the desktop's.
TEST_F(ComposeTest, MonitorsComposeEachMonitorAsADesktopOfItsOwn) {
  const std::vector<std::string> commands = {
      "--deep-color", "#102030",      "--color1", "#ff0000",  "--color2",
      "#0000ff",      "--background", "corner",   "--center", dir.file("center.bmp")};
  auto with = [&commands](const std::vector<std::string>& rest) {
    std::vector<std::string> args = commands;
    args.insert(args.end(), rest.begin(), rest.end());
    return args;
  };
  Outcome r = Compose(with({"--monitors", "64x40+0+0,30x52+70+0", "-o", dir.file("all.png")}));
  ASSERT_EQ(r.status, 0) << r.err;
  ASSERT_EQ(Compose(with({"--size", "64x40", "-o", dir.file("a.png")})).status, 0);
  ASSERT_EQ(Compose(with({"--size", "30x52", "-o", dir.file("b.png")})).status, 0);
  const Bitmap all = LoadPicture(dir.file("all.png"));
  ASSERT_EQ(all.width(), 100);
  ASSERT_EQ(all.height(), 52);
  const struct {
    Bitmap picture;
    int left;
  } monitors[] = {{LoadPicture(dir.file("a.png")), 0}, {LoadPicture(dir.file("b.png")), 70}};
  for (const auto& m : monitors) {
    Bitmap region(m.picture.width(), m.picture.height());
    region.draw(-m.left, 0, all);
    EXPECT_TRUE(testing::SamePicture(region, m.picture)) << "monitor at " << m.left;
  }
  EXPECT_EQ(all.pixel(66, 20), RGB(0x10, 0x20, 0x30));  // between the monitors
  EXPECT_EQ(all.pixel(10, 45), RGB(0x10, 0x20, 0x30));  // under the first

  FakeWallpaperSetter setter;
  setter.folder = dir.file("");
  ComposeEnvironment env;
  env.wallpaper = [&]() -> WallpaperSetter* { return &setter; };
  r = Compose(with({"--monitors", "64x40+0+0,30x52+70+0", "--set-wallpaper"}), env);
  ASSERT_EQ(r.status, 0) << r.err;
  ASSERT_EQ(setter.installedMonitors.size(), 1U);
  EXPECT_TRUE(testing::SamePicture(LoadPicture(setter.installedMonitors[0].spanned), all));
  EXPECT_TRUE(testing::SamePicture(LoadPicture(setter.installedMonitors[0].monitors[1].path),
                                   monitors[1].picture));
  // Without a layout the desktop's is used; --size stays one monitor.
  env.desktop = []() -> std::optional<DesktopGeometry> {
    return DesktopGeometry{64, 40, Rect{0, 0, 64, 40}};
  };
  env.monitors = []() -> std::optional<MonitorLayout> {
    return ParseMonitorsArg("64x40+0+0,30x52+70+0");
  };
  ASSERT_EQ(Compose(with({"--set-wallpaper"}), env).status, 0);
  ASSERT_EQ(setter.installedMonitors.size(), 2U);
  EXPECT_TRUE(testing::SamePicture(LoadPicture(setter.installedMonitors[1].spanned), all));
  ASSERT_EQ(Compose(with({"--size", "64x40", "--set-wallpaper"}), env).status, 0);
  EXPECT_EQ(setter.installedMonitors.size(), 2U);
  EXPECT_EQ(setter.installed.size(), 1U);
}

TEST(ComposeArgs, MonitorLayouts) {
  const MonitorLayout layout =
      ParseMonitorsArg("1920x1080+0+0,DP-2=1080x1920+1920-420,800x600-800+0");
  ASSERT_EQ(layout.monitors.size(), 3U);
  EXPECT_EQ(layout.primary, 0U);
  EXPECT_EQ(layout.monitors[1].rect, (Rect{1920, -420, 3000, 1500}));
  EXPECT_EQ(layout.monitors[1].name, "DP-2");
  EXPECT_EQ(layout.monitors[0].name, "");
  EXPECT_EQ(layout.monitors[1].workArea, (Rect{0, 0, 1080, 1920}));
  EXPECT_EQ(layout.monitors[2].rect, (Rect{-800, 0, 0, 600}));
}

// The window keeps every other key when one value is bad; so does the tool, and says which.
TEST_F(ComposeTest, SettingsWithABadValueAreUsedWithAWarning) {
  std::ofstream(dir.file("t.ini")) << "[general]\ntop of form=12x\n[program parameters]\n"
                                      "deep background color=clRed\n";
  std::ostringstream warnings;
  ComposeEnvironment env;
  env.settings = LoadComposeSettings(dir.file("t.ini"), warnings);
  EXPECT_EQ(warnings.str(), "tessora-compose: warning: '12x' is not a valid integer value\n");
  const Outcome r = Compose({"--size", "8x8", "-o", dir.file("s.bmp")}, env);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(LoadPicture(dir.file("s.bmp")).pixel(4, 4), RGB(255, 0, 0));
  EXPECT_EQ(LoadComposeSettings(dir.file("none.ini"), warnings), std::nullopt);
}

TEST(TerminalText, EscapesWhatATerminalWouldActOnAndKeepsUtf8) {
  const std::pair<std::string, std::string> cases[] = {
      {"/home/zoë/日本/😀.png", "/home/zoë/日本/😀.png"},
      {"a\nINVALID: b\r\t", "a\\nINVALID: b\\r\\t"},
      {"\x1b[2J\x07\x7f", "\\x1b[2J\\x07\\x7f"},
      {std::string("nul\0", 4), "nul\\x00"},
      {"\xc2\x9b"
       "31m \xc2\x85",
       "\\u009b31m \\u0085"},                                   // C1 controls
      {"caf\xe9 \xff", "caf\\xe9 \\xff"},                       // Latin-1 names
      {"\xc0\xaf \xed\xa0\x80", "\\xc0\\xaf \\xed\\xa0\\x80"},  // overlong, surrogate
      {"end \xe2\x82", "end \\xe2\\x82"},                       // cut short
  };
  for (const auto& [text, shown] : cases) {
    EXPECT_EQ(TerminalText(text), shown) << shown;
  }
  // Whatever two bytes a name holds, no control reaches the terminal, and a byte beyond ASCII
  // only within a whole character that is not a control.
  for (unsigned a = 0; a < 256; ++a) {
    for (unsigned b = 0; b < 256; ++b) {
      const std::string name{static_cast<char>(a), static_cast<char>(b)};
      const std::string shown = TerminalText(name);
      const auto beyondAscii = [](char c) { return static_cast<unsigned char>(c) >= 0x80; };
      for (const char c : shown) {
        ASSERT_TRUE((c >= 0x20 && c != 0x7F) || beyondAscii(c)) << a << " " << b;
      }
      if (std::any_of(shown.begin(), shown.end(), beyondAscii)) {
        const bool printable =
            a >= 0xC2 && a <= 0xDF && b >= 0x80 && b <= 0xBF && (a > 0xC2 || b >= 0xA0);
        ASSERT_TRUE(printable && shown == name) << a << " " << b;
      }
    }
  }
}

TEST(ComposeArgs, UsageErrors) {
  const std::vector<std::vector<std::string>> bad = {
      {"--size"},
      {"--size", "100"},
      {"--size", "0x10"},
      {"--size", "10x10", "--size", "20x20"},
      {"--size", "999999x999999"},
      {"--color1", "#12345"},
      {"--color1", "#GG0000"},
      {"--color2", "purple-ish"},
      {"--deep-color", "clNone"},
      {"--background", "stripes"},
      {"--scale-tile", "0"},
      {"--scale-tile", "-2"},
      {"--scale-tile", "nan"},
      {"--sizing", "huge"},
      {"--sizing", "height=0"},
      {"--sizing", "width=abc"},
      {"--format", "gif"},
      {"--bogus"},
      {"-o"},
      {"--monitors", "1920x1080"},
      {"--monitors", "1920x1080+0"},
      {"--monitors", "1920x1080+0+0,"},
      {"--monitors", "+0+0x1920"},
      {"--monitors", "1x1080+0+0"},
      {"--monitors", "100x100+0+0,100x100+200000+0"},
      {"--monitors", "10x10+0+0", "--size", "10x10"},
      {"--restore", "--set-wallpaper"},
      {"--size", "10x10", "--restore"},
  };
  for (const auto& args : bad) {
    EXPECT_THROW(ParseComposeArgs(args), UsageError) << args[0];
  }
}

TEST(ComposeArgs, ColoursFormatsAndOrder) {
  EXPECT_EQ(ParseColorArg("#FF8000"), RGB(255, 128, 0));
  EXPECT_EQ(ParseColorArg("clRed"), RGB(255, 0, 0));
  EXPECT_EQ(ParseColorArg("$00FF0000"), RGB(0, 0, 255));
  EXPECT_EQ(ParseColorArg("255"), RGB(255, 0, 0));
  EXPECT_EQ(ParseColorArg("0x0000FF00"), RGB(0, 255, 0));
  EXPECT_EQ(FormatForFileName("a.JPEG"), SaveFormat::Jpeg);
  EXPECT_EQ(FormatForFileName("a.bmp"), SaveFormat::Bmp);
  EXPECT_EQ(FormatForFileName("a"), SaveFormat::Png);
  const ComposeRequest r = ParseComposeArgs(
      {"-o", "a.jpg", "--format", "bmp", "-o", "b.png", "--sizing", "height=0.4", "--quiet"});
  ASSERT_EQ(r.steps.size(), 3U);
  EXPECT_EQ(r.steps[0].format, SaveFormat::Jpeg);
  EXPECT_EQ(r.steps[1].format, SaveFormat::Bmp);
  EXPECT_EQ(r.steps[2].sizing, ComposeStep::Sizing::Height);
  EXPECT_FLOAT_EQ(r.steps[2].factor, 0.4F);
  EXPECT_TRUE(r.quiet);
}

}  // namespace
}  // namespace tessora
