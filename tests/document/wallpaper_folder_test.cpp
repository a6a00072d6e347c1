// The wallpaper folder as sets and restores leave it: only entries of its own are followed,
// written through or removed, and a set stopped at any moment leaves the set before current.
#include "document/wallpaper_folder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>

#include "document/document.h"
#include "document/wallpaper_output.h"
#include "imageio/image_error.h"
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
  // Whether a set of a halo of `color` was done; what it said is the last information.
  bool set(TColor color) {
    doc.setColor1(color);
    doc.generateBackground(BackgroundKind::Halo);
    try {
      return doc.setAsWallpaper(&setter, layout);
    } catch (const ImageError& e) {
      fb.ShowFailure(e.what());
      return false;
    }
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

// Every entry under `root`, link or not, with its kind and what it holds or names.
std::map<std::string, std::string> Tree(const std::string& root) {
  std::map<std::string, std::string> tree;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    const std::string path = entry.path().string();
    if (entry.is_symlink()) {
      tree[path] = "link " + fs::read_symlink(entry.path()).string();
    } else if (entry.is_directory()) {
      tree[path] = "folder";
    } else {
      tree[path] = "file of " + std::to_string(std::hash<std::string>()(testing::readFile(path)));
    }
  }
  return tree;
}

// Another user's folder: sets of its own, numbered as ours are, and a picture.
struct Outside {
  Outside() {
    for (const char* set : {"1", "9"}) {
      fs::create_directory(dir.file(set));
      testing::writeFile(dir.file(set) + "/" + WallpaperOutput::kWallpaperFileName, "theirs");
    }
    testing::writeFile(dir.file("picture.bmp"), "their picture");
  }
  testing::TempDir dir;
};

// An entry of the folder replaced by `planted` (the entry's path and the outside folder).
struct Plant {
  const char* what;
  const char* entry;  // relative to the wallpaper folder
  std::function<void(const std::string& entry, const Outside& outside)> plant;
  const char* refusal;  // what the failure says, after the entry's path; "" where sets go on
};

void Replace(const std::string& entry, const std::string& target) {
  fs::remove_all(entry);
  fs::create_symlink(target, entry);
}

// A link planted at any entry of the wallpaper folder is never followed, written through or
// cleaned up through: the outside folder is left as it was, and so is the link. Where the entry
// holds what a set needs, sets and restores are refused with the reason; where it does not, they
// go on with the folder's own files.
TEST(WallpaperFolder, NeverFollowsALinkItDidNotMake) {
  const Plant plants[] = {
      {"sets a link", "sets", [](auto& e, auto& o) { Replace(e, o.dir.path()); }, " is a link to "},
      {"sets a file", "sets", [](auto& e, auto&) { fs::remove_all(e), testing::writeFile(e, "x"); },
       " is not a folder"},
      {"sets another user's", "sets",
       [](auto& e, auto&) { ASSERT_EQ(::chown(e.c_str(), 65534, 65534), 0); },
       " belongs to another user"},
      {"the current set a link", "sets/1", [](auto& e, auto& o) { Replace(e, o.dir.file("9")); },
       " is a link to "},
      {"an old set a link", "sets/7", [](auto& e, auto& o) { Replace(e, o.dir.file("9")); }, ""},
      {"current a link elsewhere", "current", [](auto& e, auto& o) { Replace(e, o.dir.file("1")); },
       " is a link to "},
      {"a picture of the current set a link", "sets/1/Tessora Wallpaper monitor 1.bmp",
       [](auto& e, auto& o) { Replace(e, o.dir.file("picture.bmp")); }, " is a link to "},
      {"the whole picture's name", "Tessora Wallpaper.bmp",
       [](auto& e, auto& o) { Replace(e, o.dir.file("picture.bmp")); }, ""},
      {"a monitor's name", "Tessora Wallpaper monitor 2.bmp",
       [](auto& e, auto& o) { Replace(e, o.dir.file("picture.bmp")); }, ""},
      {"the recipe's name", "Tessora Wallpaper recipe.txt",
       [](auto& e, auto& o) { Replace(e, o.dir.file("picture.bmp")); }, ""},
  };
  for (const Plant& p : plants) {
    SCOPED_TRACE(p.what);
    if (std::string(p.what) == "sets another user's" && ::geteuid() != 0) {
      continue;  // only root can give a folder away
    }
    Wallpapers w;
    ASSERT_TRUE(w.set(RGB(200, 30, 30)));
    const Outside outside;
    const std::string entry = w.folder + p.entry;
    p.plant(entry, outside);
    const auto before = Tree(outside.dir.path());
    const auto planted = fs::symlink_status(entry).type();
    const std::string target = fs::is_symlink(entry) ? fs::read_symlink(entry).string() : "";
    const std::size_t handed = w.setter.installedMonitors.size();
    const bool set = w.set(RGB(30, 200, 30));
    const std::string setSaid = w.fb.lastInfo();
    const bool restored = w.doc.restoreWallpaper(&w.setter, w.layout);
    if (*p.refusal != '\0') {
      EXPECT_FALSE(set);
      EXPECT_FALSE(restored);
      EXPECT_EQ(w.setter.installedMonitors.size(), handed);
      for (const std::string& said : {setSaid, w.fb.lastInfo()}) {
        EXPECT_NE(said.find(entry + p.refusal), std::string::npos) << said;
        EXPECT_NE(said.find("left alone"), std::string::npos) << said;
      }
      EXPECT_EQ(fs::symlink_status(entry).type(), planted);
      if (!target.empty()) {
        EXPECT_EQ(fs::read_symlink(entry).string(), target);
      }
    } else {
      EXPECT_TRUE(set) << setSaid;
      EXPECT_TRUE(restored) << w.fb.lastInfo();
      EXPECT_EQ(w.handed(), w.current());
      const std::vector<Bitmap> each = w.doc.composeForMonitors(w.layout);
      EXPECT_TRUE(testing::SamePicture(
          testing::LoadPicture(w.setter.installedMonitors.back().monitors[0].path), each[0]));
    }
    EXPECT_EQ(Tree(outside.dir.path()), before);
  }
}

// A set stopped (the process killed) while the desktop is being handed it: the set before stays
// current, and the next restore hands that over again, as the desktop still shows it.
class DyingSetter : public FakeWallpaperSetter {
 public:
  Outcome setMonitorWallpapers(const MonitorPictures& pictures) override {
    if (dieAtHandOver) {
      std::_Exit(0);
    }
    return FakeWallpaperSetter::setMonitorWallpapers(pictures);
  }
  bool dieAtHandOver = false;
};

TEST(WallpaperFolder, ASetKilledWhileTheDesktopIsHandedItLeavesTheSetBeforeCurrent) {
  // The set dies in a copy of this process, in the same folder.
  ::testing::FLAGS_gtest_death_test_style = "fast";
  for (const bool first : {false, true}) {
    SCOPED_TRACE(first ? "no set before" : "a set before");
    Wallpapers w;
    DyingSetter dying;
    dying.folder = w.folder;
    if (!first) {
      ASSERT_TRUE(w.set(RGB(200, 30, 30)));
    }
    const std::vector<std::size_t> shown = first ? std::vector<std::size_t>{0, 0} : w.current();
    EXPECT_EXIT(
        {
          dying.dieAtHandOver = true;
          w.doc.setColor1(RGB(30, 200, 30));
          w.doc.generateBackground(BackgroundKind::Halo);
          w.doc.setAsWallpaper(&dying, w.layout);
        },
        ::testing::ExitedWithCode(0), "");
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

}  // namespace
}  // namespace tessora
