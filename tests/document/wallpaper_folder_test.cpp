// The wallpaper folder as a set stopped half-way leaves it: the set before stays current.
#include "document/wallpaper_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "document/document.h"
#include "document/wallpaper_output.h"
#include "support/fake_wallpaper_setter.h"
#include "support/files.h"
#include "support/pictures.h"
#include "support/recording_feedback.h"
#include "support/temp_dir.h"

namespace tessora {
namespace {

namespace fs = std::filesystem;

Monitor At(int left, int top, int width, int height) {
  Monitor m;
  m.rect = Rect{left, top, left + width, top + height};
  m.workArea = Rect{0, 0, width, height};
  return m;
}

// A document with a center picture over a halo of `color`, and a wallpaper folder of its own.
struct Wallpapers {
  Wallpapers() {
    fs::create_directory(folder);
    setter.folder = folder;
    StartState start;
    start.desktop = DesktopGeometry{64, 40, Rect{0, 0, 64, 40}};
    doc.Activate(start);
    doc.pasteCenter(&center);
  }
  // Sets a halo of `color` through `to`.
  bool set(TColor color, WallpaperSetter& to) {
    doc.setColor1(color);
    doc.generateBackground(BackgroundKind::Halo);
    return doc.setAsWallpaper(&to, layout);
  }
  // What the desktop was handed last, and what the current set holds, monitor by monitor (a
  // digest of each file, 0 for none).
  std::vector<std::size_t> handed() const {
    std::vector<std::size_t> files;
    for (const MonitorPicture& m : setter.installedMonitors.back().monitors) {
      files.push_back(Digest(m.path));
    }
    return files;
  }
  std::vector<std::size_t> current() const {
    std::vector<std::size_t> files;
    const std::string set = WallpaperFolder(folder).currentSet();
    for (std::size_t i = 0; i < layout.monitors.size(); ++i) {
      files.push_back(Digest(set + WallpaperOutput::MonitorFileName(i)));
    }
    return files;
  }
  static std::size_t Digest(const std::string& path) {
    const std::string bytes = testing::readFile(path);
    return bytes.empty() ? 0 : std::hash<std::string>()(bytes);
  }

  testing::TempDir dir;
  const std::string folder = dir.file("tessora/");
  const MonitorLayout layout{{At(0, 0, 64, 40), At(64, 0, 30, 52)}, 0};
  FakeWallpaperSetter setter;
  testing::RecordingFeedback fb;
  Document doc{fb};
  const Bitmap center = testing::PatternBitmap(20, 30);
};

// A desktop whose process is killed as it is handed the pictures.
class DyingSetter : public FakeWallpaperSetter {
 public:
  Outcome setMonitorWallpapers(const MonitorPictures& /*pictures*/) override { std::_Exit(0); }
};

// A set stopped (the process killed) while the desktop is being handed it: the set before stays
// current, and the next restore hands that over again, as the desktop still shows it. Without a
// set before, there is none to restore.
TEST(WallpaperFolder, ASetKilledWhileTheDesktopIsHandedItLeavesTheSetBeforeCurrent) {
  // The set dies in a copy of this process, in the same folder.
  ::testing::FLAGS_gtest_death_test_style = "fast";
  for (const bool first : {false, true}) {
    SCOPED_TRACE(first ? "no set before" : "a set before");
    Wallpapers w;
    DyingSetter dying;
    dying.folder = w.folder;
    if (!first) {
      ASSERT_TRUE(w.set(RGB(200, 30, 30), w.setter));
    }
    const std::vector<std::size_t> shown = first ? std::vector<std::size_t>{0, 0} : w.current();
    EXPECT_EXIT(w.set(RGB(30, 200, 30), dying), ::testing::ExitedWithCode(0), "");
    if (!first) {
      EXPECT_EQ(w.current(), shown);
    }
    const bool restored = w.doc.restoreWallpaper(&w.setter, w.layout);
    EXPECT_EQ(restored, !first) << w.fb.lastInfo();
    EXPECT_EQ(w.current(), shown);
    if (!first) {
      EXPECT_EQ(w.handed(), shown);
    }
    EXPECT_EQ(testing::filesIn(w.folder + "sets", ""),
              first ? std::vector<std::string>{} : std::vector<std::string>{"1"});
  }
}

// The entries of the wallpaper folder itself, each link with what it names.
std::vector<std::string> Entries(const std::string& folder) {
  std::vector<std::string> entries;
  for (const auto& entry : fs::directory_iterator(folder)) {
    entries.push_back(entry.path().filename().string() +
                      (entry.is_symlink() ? " -> " + fs::read_symlink(entry.path()).string() : ""));
  }
  std::sort(entries.begin(), entries.end());
  return entries;
}

// A folder of the version before `latest`, its names linking through `current`, restores as it
// is, writing nothing; the next set puts the names through `latest`.
TEST(WallpaperFolder, NamesThroughCurrentRestoreAsTheyAreUntilTheNextSet) {
  Wallpapers w;
  ASSERT_TRUE(w.set(RGB(200, 30, 30), w.setter));
  fs::remove(w.folder + WallpaperFolder::kLatestLink);
  for (const auto& entry : fs::directory_iterator(w.folder)) {
    const std::string target = entry.is_symlink() ? fs::read_symlink(entry.path()).string() : "";
    if (target.rfind("latest/", 0) == 0) {
      fs::remove(entry.path());
      fs::create_symlink("current/" + target.substr(7), entry.path());
    }
  }
  const std::vector<std::string> before = Entries(w.folder);
  const std::vector<std::size_t> shown = w.current();
  ASSERT_TRUE(w.doc.restoreWallpaper(&w.setter, w.layout)) << w.fb.lastInfo();
  EXPECT_EQ(w.handed(), shown);
  EXPECT_EQ(Entries(w.folder), before);
  ASSERT_TRUE(w.set(RGB(30, 200, 30), w.setter));
  EXPECT_EQ(fs::read_symlink(w.folder + WallpaperOutput::kWallpaperFileName).string(),
            std::string("latest/") + WallpaperOutput::kWallpaperFileName);
  EXPECT_NE(w.current(), shown);
  EXPECT_EQ(w.handed(), w.current());
}

}  // namespace
}  // namespace tessora
