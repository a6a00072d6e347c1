#include "settings/recentlist.h"

#include <sys/stat.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "settings/settingserror.h"
#include "tempdir.h"

namespace tessora {
namespace {

using ::testing::ElementsAre;
using testing::FileSizeLimit;
using ::testing::IsEmpty;
using testing::readFile;
using testing::TempDir;
using ::testing::ThrowsMessage;
using testing::writeFile;

// Index for index, the box must show one name per entry and select within them.
void expectConsistent(const RecentList& list) {
  EXPECT_EQ(list.displayNames().size(), list.entries().size());
  EXPECT_GE(list.selectedIndex(), -1);
  EXPECT_LT(list.selectedIndex(), list.count());
}

class RecentListTest : public ::testing::Test {
 protected:
  // Creates image files a.jpg, b.old.png, ... in the folder and returns their paths.
  std::string image(const std::string& name) {
    writeFile(dir_.file(name), "img");
    return dir_.file(name);
  }
  std::string listFile() const { return dir_.file("PATHS to tiles.txt"); }

  TempDir dir_;
  RecentList list_;
};

TEST(RecentListText, AnyLineEndReadCrLfWritten) {
  EXPECT_THAT(parseRecentListText("a\r\nb\nc\rd"), ElementsAre("a", "b", "c", "d"));
  EXPECT_THAT(parseRecentListText("a\r\n\r\n"), ElementsAre("a", ""));
  EXPECT_THAT(parseRecentListText("\n\r"), ElementsAre("", ""));
  EXPECT_THAT(parseRecentListText(""), IsEmpty());
  EXPECT_EQ(formatRecentListText({"/x/a.jpg", "/y/b.png"}), "/x/a.jpg\r\n/y/b.png\r\n");
  EXPECT_EQ(formatRecentListText({}), "");
}

TEST(RecentListText, DisplayNames) {
  EXPECT_EQ(recentDisplayName("/p/stone.old.jpg", true), "stone");
  EXPECT_EQ(recentDisplayName("/p/stone.old.jpg", false), "stone.old.jpg");
  EXPECT_EQ(recentDisplayName("/p/.png", true), ".png");
  EXPECT_EQ(recentDisplayName("/p.d/noext", true), "noext");
  EXPECT_EQ(recentDisplayName("relative.gif", true), "relative");
}

TEST_F(RecentListTest, LoadPrunesVanishedFilesAndRewritesOnce) {
  const std::string a = image("a.tile.jpg");
  const std::string c = image("c.png");
  ASSERT_EQ(::mkdir(dir_.file("folder.jpg").c_str(), 0755), 0);
  writeFile(listFile(), a + "\r\n" + dir_.file("gone.jpg") + "\r\n" + c + "\r\n" +
                            dir_.file("folder.jpg") + "\n");
  LoadRecentList(listFile(), list_);
  EXPECT_THAT(list_.entries(), ElementsAre(a, c));
  EXPECT_THAT(list_.displayNames(), ElementsAre("a", "c"));
  EXPECT_EQ(list_.selectedIndex(), -1);
  EXPECT_EQ(readFile(listFile()), a + "\r\n" + c + "\r\n");
}

TEST_F(RecentListTest, LoadLeavesAnIntactFileAlone) {
  const std::string a = image("a.jpg");
  writeFile(listFile(), a + "\n");  // LF only: still the same list, so not rewritten
  LoadRecentList(listFile(), list_);
  EXPECT_THAT(list_.entries(), ElementsAre(a));
  EXPECT_EQ(readFile(listFile()), a + "\n");
}

TEST_F(RecentListTest, MissingOrAllGoneGivesAnEmptyFile) {
  LoadRecentList(listFile(), list_);
  EXPECT_EQ(list_.count(), 0);
  EXPECT_EQ(readFile(listFile()), "");
  EXPECT_TRUE(std::ifstream(listFile()).good());

  writeFile(listFile(), dir_.file("gone1") + "\r\n\r\n" + dir_.file("gone2") + "\r\n");
  LoadRecentList(listFile(), list_);
  EXPECT_EQ(list_.count(), 0);
  EXPECT_EQ(readFile(listFile()), "");
}

TEST_F(RecentListTest, PushKeepsDuplicatesAndShowsWholeNames) {
  const std::string a = image("a.jpg");
  PushRecentEntry(a, listFile(), list_);
  PushRecentEntry(a, listFile(), list_);
  EXPECT_THAT(list_.entries(), ElementsAre(a, a));
  EXPECT_THAT(list_.displayNames(), ElementsAre("a.jpg", "a.jpg"));
  EXPECT_EQ(list_.selectedIndex(), 0);
  EXPECT_EQ(readFile(listFile()), a + "\r\n" + a + "\r\n");
}

TEST_F(RecentListTest, RemoveSelectsThePreviousOrTheLast) {
  for (const char* name : {"3.jpg", "2.jpg", "1.jpg"}) {
    PushRecentEntry(image(name), listFile(), list_);
  }
  list_.select(1);
  RemoveRecentEntry(list_, listFile());
  EXPECT_THAT(list_.displayNames(), ElementsAre("1.jpg", "3.jpg"));
  EXPECT_EQ(list_.selectedIndex(), 0);

  PushRecentEntry(dir_.file("0.jpg"), listFile(), list_);  // 0, 1, 3 with 0 selected
  RemoveRecentEntry(list_, listFile());
  EXPECT_THAT(list_.displayNames(), ElementsAre("1.jpg", "3.jpg"));
  EXPECT_EQ(list_.selectedIndex(), 1);
  EXPECT_EQ(readFile(listFile()), dir_.file("1.jpg") + "\r\n" + dir_.file("3.jpg") + "\r\n");

  RemoveRecentEntry(list_, listFile());
  RemoveRecentEntry(list_, listFile());
  EXPECT_EQ(list_.selectedIndex(), -1);
  EXPECT_EQ(readFile(listFile()), "");
}

TEST_F(RecentListTest, RemoveWithNothingSelectedChangesNothing) {
  PushRecentEntry(image("a.jpg"), listFile(), list_);
  list_.select(-1);
  const std::string before = readFile(listFile());
  EXPECT_THAT([&] { RemoveRecentEntry(list_, listFile()); },
              ThrowsMessage<SettingsError>("List index out of bounds (-1)"));
  EXPECT_EQ(list_.count(), 1);
  EXPECT_EQ(readFile(listFile()), before);
  EXPECT_THAT([&] { list_.select(1); },
              ThrowsMessage<SettingsError>("List index out of bounds (1)"));
}

TEST_F(RecentListTest, PickingMovesTheEntryToTheTop) {
  for (const char* name : {"5.jpg", "4.jpg", "3.jpg", "2.jpg", "1.jpg"}) {
    PushRecentEntry(dir_.file(name), listFile(), list_);
  }
  EXPECT_EQ(selectRecentEntry(list_, 2, listFile()), dir_.file("3.jpg"));
  EXPECT_THAT(list_.displayNames(), ElementsAre("3.jpg", "1.jpg", "2.jpg", "4.jpg", "5.jpg"));
  EXPECT_EQ(list_.selectedIndex(), 0);
  EXPECT_EQ(readFile(listFile()), formatRecentListText(list_.entries()));
}

TEST_F(RecentListTest, FailedWritesKeepTheOldFileAndAConsistentBox) {
  PushRecentEntry(image("a.jpg"), listFile(), list_);
  const std::string old = readFile(listFile());
  const std::string longPath = dir_.file(std::string(100, 'b') + ".jpg");
  {
    const FileSizeLimit diskFull(old.size());
    EXPECT_THAT([&] { PushRecentEntry(longPath, listFile(), list_); },
                ThrowsMessage<SettingsError>("Cannot create file " + listFile()));
  }
  EXPECT_EQ(readFile(listFile()), old);
  EXPECT_EQ(testing::entryCount(dir_.path()), 2u);  // a.jpg and the list, no temporary file
  expectConsistent(list_);
  EXPECT_EQ(list_.count(), 2);

  const std::string nowhere = dir_.file("a.jpg") + "/list.txt";  // parent is a regular file
  list_.select(1);
  EXPECT_THAT([&] { RemoveRecentEntry(list_, nowhere); },
              ThrowsMessage<SettingsError>("Cannot create file " + nowhere));
  expectConsistent(list_);
  EXPECT_EQ(list_.count(), 1);
  EXPECT_EQ(list_.selectedIndex(), 0);
}

TEST_F(RecentListTest, UnreadableListFileLeavesAnEmptyList) {
  PushRecentEntry(image("a.jpg"), listFile(), list_);
  ASSERT_EQ(::mkdir(dir_.file("dir.txt").c_str(), 0755), 0);
  EXPECT_THAT([&] { LoadRecentList(dir_.file("dir.txt"), list_); },
              ThrowsMessage<SettingsError>("Cannot open file " + dir_.file("dir.txt")));
  EXPECT_EQ(list_.count(), 0);
  expectConsistent(list_);
}

}  // namespace
}  // namespace tessora
