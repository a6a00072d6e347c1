#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "document/document.h"
#include "settings/file_locations.h"
#include "support/files.h"
#include "support/pictures.h"
#include "support/recording_feedback.h"
#include "support/temp_dir.h"

namespace tessora {
namespace {

using testing::SamePicture;
using testing::Solid;

/// Decodes each picture on a thread of its own and lands them when told, newest first: the order
/// in which a large first picture and a small second one arrive.
class ThreadedDecodes : public DecodeRunner {
 public:
  ~ThreadedDecodes() override {
    for (std::thread& t : threads_) {
      t.join();
    }
  }
  void run(Source, std::function<void()> decode, std::function<bool()> land) override {
    threads_.emplace_back(std::move(decode));
    lands_.push_back(std::move(land));
  }
  /// Returns how many landings the document put off; they stay for the next call.
  std::size_t landNewestFirst() {
    for (std::thread& t : threads_) {
      t.join();
    }
    threads_.clear();
    std::vector<std::function<bool()>> lands;
    lands.swap(lands_);  // a landing may start further loads
    std::size_t putOff = 0;
    for (auto it = lands.rbegin(); it != lands.rend(); ++it) {
      if (!(*it)()) {
        lands_.insert(lands_.begin(), *it);
        ++putOff;
      }
    }
    return putOff;
  }

 private:
  std::vector<std::thread> threads_;
  std::vector<std::function<bool()>> lands_;
};

const Bitmap kA = Solid(40, 30, RGB(200, 0, 0));
const Bitmap kB = Solid(20, 10, RGB(0, 200, 0));
const Bitmap kC = Solid(30, 30, RGB(0, 0, 200));

/// A started document that reads on threads, its lists in a folder of its own. Pictures are
/// files named by a letter: "a", "b" and "c" load, "x" and "y" do not.
struct ThreadedDocument {
  explicit ThreadedDocument(const std::vector<const char*>& centerList = {}) {
    std::string list;
    for (const char* name : {"a", "b", "c", "x", "y"}) {
      testing::writeFile(path(name), "x");
    }
    for (const char* name : centerList) {
      list += path(name) + "\r\n";
    }
    testing::writeFile(dir.file(kCenterListFileName), list);
    doc.setImageLoader([this](const std::string& file, Bitmap& target) {
      const auto it = pictures.find(file.substr(file.size() - 1));
      if (it == pictures.end()) {
        return Outcome::Failed("not a picture");
      }
      target = it->second;
      return Outcome::Done();
    });
    doc.setDecodeRunner(&decodes);
    StartState start;
    start.desktop = DesktopGeometry{64, 48, Rect{0, 0, 64, 48}};
    start.listFolder = dir.path() + "/";
    doc.Activate(start);
  }
  std::string path(const char* name) const { return dir.file(name); }
  void drop(Source source, const char* name) { doc.dropFiles(source, {path(name)}); }
  /// The last letters of `paths`; "" stays "".
  static std::vector<std::string> Names(const std::vector<std::string>& paths) {
    std::vector<std::string> names;
    for (const std::string& p : paths) {
      names.push_back(p.empty() ? p : p.substr(p.size() - 1));
    }
    return names;
  }

  testing::TempDir dir;
  const std::map<std::string, Bitmap> pictures = {{"a", kA}, {"b", kB}, {"c", kC}};
  testing::RecordingFeedback fb;
  ThreadedDecodes decodes;
  Document doc{fb};
};

TEST(PictureLoads, OnlyTheLatestCommandOnASourceLandsWhateverOrderTheDecodesEndIn) {
  const Bitmap paste = Solid(5, 5, RGB(9, 9, 9));
  struct Row {
    const char* what;
    std::function<void(ThreadedDocument&)> commands;
    const Bitmap* center;  ///< nullptr: no center picture
    std::vector<std::string> list;
    std::vector<std::string> loading;  ///< the files the front end is told of, "" for none
    std::size_t failures;
  };
  const std::vector<Row> rows = {
      {"the later of two drops",
       [](ThreadedDocument& t) { t.drop(Source::Center, "a"), t.drop(Source::Center, "b"); },
       &kB,
       {"b", "c"},
       {"a", "b", ""},
       0},
      {"a later drop that fails does not bring back the earlier",
       [](ThreadedDocument& t) { t.drop(Source::Center, "a"), t.drop(Source::Center, "x"); },
       &kC,
       {"c"},
       {"a", "x", ""},
       1},
      {"a clear drops the load under way",
       [](ThreadedDocument& t) { t.drop(Source::Center, "a"), t.doc.ClearCenter(); },
       nullptr,
       {"c"},
       {"a", ""},
       0},
      {"so does a paste",
       [&paste](ThreadedDocument& t) { t.drop(Source::Center, "a"), t.doc.pasteCenter(&paste); },
       &paste,
       {"c"},
       {"a", ""},
       0},
      {"and a pick of the list",
       [](ThreadedDocument& t) {
         t.drop(Source::Center, "a"), t.doc.pickRecent(Source::Center, 0);
       },
       &kC,
       {"c"},
       {"a", "c", ""},
       0},
      {"a load on the other source goes on",
       [](ThreadedDocument& t) { t.drop(Source::Center, "a"), t.drop(Source::Tile, "b"); },
       &kA,
       {"a", "c"},
       {"a", "b", ""},
       0},
  };
  for (const Row& row : rows) {
    ThreadedDocument t;
    t.drop(Source::Center, "c");
    t.decodes.landNewestFirst();
    t.fb.loading.clear();
    row.commands(t);
    EXPECT_EQ(t.decodes.landNewestFirst(), 0U) << row.what;
    EXPECT_FALSE(t.doc.loading(Source::Center) || t.doc.loading(Source::Tile)) << row.what;
    EXPECT_EQ(t.doc.centerPictureShown(), row.center != nullptr) << row.what;
    if (row.center != nullptr) {
      EXPECT_TRUE(SamePicture(t.doc.CenterBitmap(), *row.center)) << row.what;
    }
    EXPECT_EQ(t.Names(t.doc.recentList(Source::Center).entries()), row.list) << row.what;
    EXPECT_EQ(t.Names(t.fb.loading), row.loading) << row.what;
    EXPECT_EQ(t.fb.loadFailures.size(), row.failures) << row.what;
  }
}

// At start, a newest picture that no longer loads leaves its list when it lands, and the next is
// read in turn.
TEST(PictureLoads, AtStartAPictureThatDoesNotLoadMakesWayForTheNextWhenItLands) {
  ThreadedDocument t({"x", "y", "b"});
  for (int landing = 0; landing < 3; ++landing) {
    EXPECT_TRUE(t.doc.loading(Source::Center));
    t.decodes.landNewestFirst();
  }
  EXPECT_FALSE(t.doc.loading(Source::Center));
  EXPECT_TRUE(SamePicture(t.doc.CenterBitmap(), kB));
  EXPECT_EQ(t.Names(t.doc.recentList(Source::Center).entries()), std::vector<std::string>{"b"});
  EXPECT_EQ(t.fb.loadFailures.size(), 2U);
}

// A command can wait for the desktop in an event loop of its own; a picture ready then lands
// after the command.
TEST(PictureLoads, APictureReadyDuringACommandLandsAfterIt) {
  struct LandingInCommand : testing::RecordingFeedback {
    void ShowInfo(const std::string& text, InfoStyle style) override {
      RecordingFeedback::ShowInfo(text, style);
      putOff += decodes != nullptr ? std::exchange(decodes, nullptr)->landNewestFirst() : 0;
    }
    ThreadedDecodes* decodes = nullptr;
    std::size_t putOff = 0;
  } fb;
  ThreadedDecodes decodes;
  Document doc{fb};
  doc.setImageLoader(
      [](const std::string&, Bitmap& target) { return target = kA, Outcome::Done(); });
  doc.setDecodeRunner(&decodes);
  doc.AssignCenterFile("a");
  fb.decodes = &decodes;
  doc.sizeGoldenArea();  // tells the center's size
  EXPECT_EQ(fb.putOff, 1U);
  EXPECT_TRUE(doc.CenterBitmap().empty());
  EXPECT_EQ(decodes.landNewestFirst(), 0U);
  EXPECT_TRUE(SamePicture(doc.CenterBitmap(), kA));
}

}  // namespace
}  // namespace tessora
