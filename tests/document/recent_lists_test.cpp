// The lists of recent pictures as document commands: what a drop, a pick and a step back do to
// the list, its file and the source, without a window.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "document/document.h"
#include "settings/settings_error.h"
#include "support/files.h"
#include "support/recording_feedback.h"
#include "support/temp_dir.h"

namespace tessora {
namespace {

using testing::readFile;
using testing::writeFile;

class RecentLists : public ::testing::Test, public DocumentView {
 protected:
  RecentLists() {
    doc.setView(this);
    // Files whose name starts with "bad" exist but do not load.
    doc.setImageLoader([this](const std::string& path, Bitmap& target) {
      loads.push_back(path);
      if (path.find("/bad") != std::string::npos) {
        return Outcome::Failed("not a picture");
      }
      target = Bitmap(8, 6);
      return Outcome::Done();
    });
  }
  void Changed(DocumentParts parts) override { listsTold += (parts & kRecentLists) != 0; }

  std::string picture(const std::string& name) const {
    writeFile(dir.file(name), "x");
    return dir.file(name);
  }
  void start() {
    StartState s;
    s.desktop = DesktopGeometry{64, 48, Rect{0, 0, 64, 48}};
    s.listFolder = dir.path() + "/";
    doc.Activate(s);
    loads.clear();
  }
  std::vector<std::string> entries(Source source) const { return doc.recentList(source).entries(); }

  testing::TempDir dir;
  testing::RecordingFeedback fb;
  Document doc{fb};
  std::vector<std::string> loads;
  int listsTold = 0;
};

TEST_F(RecentLists, StartReadsBothListsAndLoadsTheNewestOfEach) {
  const std::string a = picture("a.png");
  const std::string b = picture("b.png");
  const std::string c = picture("c.png");
  writeFile(dir.file("PATHS to tiles.txt"), a + "\r\n" + dir.file("gone.png") + "\r\n" + b);
  writeFile(dir.file("PATHS to tessoras.txt"), c + "\r\n");
  StartState s;
  s.desktop = DesktopGeometry{64, 48, Rect{0, 0, 64, 48}};
  s.listFolder = dir.path() + "/";
  doc.Activate(s);
  EXPECT_EQ(loads, (std::vector<std::string>{a, c})) << "the tile's first";
  EXPECT_EQ(entries(Source::Tile), (std::vector<std::string>{a, b})) << "gone files are dropped";
  EXPECT_EQ(doc.tileCaption(), a);
  EXPECT_EQ(doc.centerCaption(), c);
  EXPECT_EQ(readFile(dir.file("PATHS to tiles.txt")), a + "\r\n" + b + "\r\n");

  // Pictures that no longer load leave the list at the start that finds them so, the file too;
  // the next that loads is the tile, and the next start reads nothing it refused before.
  const std::string bad1 = picture("bad1.png");
  const std::string bad2 = picture("bad2.png");
  writeFile(dir.file("PATHS to tiles.txt"), bad1 + "\r\n" + bad2 + "\r\n" + b + "\r\n");
  doc.Activate(s);
  EXPECT_EQ(loads, (std::vector<std::string>{a, c, bad1, bad2, b, c}));
  EXPECT_EQ(entries(Source::Tile), (std::vector<std::string>{b}));
  EXPECT_EQ(readFile(dir.file("PATHS to tiles.txt")), b + "\r\n");
  EXPECT_EQ(doc.tileCaption(), b);
  EXPECT_TRUE(std::filesystem::exists(bad1));
}

// Each row: the commands after a start with the tile list {b, a}, then the list, what was
// loaded and the tile's caption.
TEST_F(RecentLists, DropPickAndStepBack) {
  const std::string a = picture("a.png");
  const std::string b = picture("b.png");
  const std::string bad = picture("bad.png");
  const std::string n = picture("n.png");
  const struct {
    const char* what;
    std::function<void()> commands;
    std::vector<std::string> list;
    std::vector<std::string> loaded;
    std::string caption;
  } rows[] = {
      {"drop",
       [&] {
         doc.dropFiles(Source::Tile, {n, a});
       },
       {n, b, a},
       {n},
       n},
      {"drop a bad file", [&] { doc.dropFiles(Source::Tile, {bad}); }, {b, a}, {bad}, b},
      {"drop nothing", [&] { doc.dropFiles(Source::Tile, {}); }, {b, a}, {}, b},
      {"pick", [&] { doc.pickRecent(Source::Tile, 1); }, {a, b}, {a}, a},
      {"step back", [&] { doc.stepBack(Source::Tile); }, {a}, {a}, a},
      {"step back twice",
       [&] { doc.stepBack(Source::Tile), doc.stepBack(Source::Tile); },
       {},
       {a},
       a},
  };
  for (const auto& row : rows) {
    writeFile(dir.file("PATHS to tiles.txt"), b + "\r\n" + a + "\r\n");
    start();
    row.commands();
    EXPECT_EQ(entries(Source::Tile), row.list) << row.what;
    EXPECT_EQ(loads, row.loaded) << row.what;
    EXPECT_EQ(doc.tileCaption(), row.caption) << row.what;
    EXPECT_TRUE(entries(Source::Center).empty()) << row.what;
  }
  EXPECT_FALSE(doc.tileToolsEnabled()) << "with the list empty, the tile is cleared";
}

TEST_F(RecentLists, AFolderIsFoundAndAnUnwritableListIsToldAndReported) {
  const std::string a = picture("a.png");
  start();
  EXPECT_EQ(doc.selectedFolder(Source::Center), std::nullopt);
  ASSERT_TRUE(doc.dropFiles(Source::Center, {a}));
  EXPECT_EQ(doc.selectedFolder(Source::Center), dir.path() + "/");
  // A folder in the list file's place: the list changes, the file cannot, and the view hears.
  std::filesystem::remove(dir.file("PATHS to tiles.txt"));
  ASSERT_EQ(::mkdir(dir.file("PATHS to tiles.txt").c_str(), 0755), 0);
  const int told = listsTold;
  EXPECT_THROW(doc.dropFiles(Source::Tile, {a}), SettingsError);
  EXPECT_EQ(entries(Source::Tile), std::vector<std::string>{a});
  EXPECT_EQ(listsTold, told + 1);
}

}  // namespace
}  // namespace tessora
