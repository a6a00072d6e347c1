#include "settings/recent_list.h"

#include <sys/stat.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "settings/encoded_text.h"
#include "settings/settings_error.h"
#include "support/file_size_limit.h"
#include "support/files.h"
#include "support/temp_dir.h"

namespace tessora {
namespace {

using ::testing::ElementsAre;
using testing::readFile;
using ::testing::ThrowsMessage;
using testing::writeFile;

class RecentListTest : public ::testing::Test {
 protected:
  std::string image(const std::string& name) {
    writeFile(dir_.file(name), "img");
    return dir_.file(name);
  }
  void push(std::initializer_list<const char*> oldestFirst) {
    for (const char* name : oldestFirst) {
      PushRecentEntry(list_, list_file_, image(name));
    }
  }
  // The box shows one name per entry and selects within them, whatever happened before.
  void expectConsistent() const {
    EXPECT_EQ(list_.displayNames().size(), list_.entries().size());
    EXPECT_LT(list_.selectedIndex(), list_.count());
  }

  testing::TempDir dir_;
  const std::string list_file_ = dir_.file("PATHS to tiles.txt");
  RecentList list_;
};

TEST(RecentListText, FormatAndDisplayNames) {
  EXPECT_THAT(ParseRecentListText("a\r\nb\nc\rd\r\n\r\n"), ElementsAre("a", "b", "c", "d", ""));
  EXPECT_EQ(FormatRecentListText({"/x/a.jpg", ""}), "/x/a.jpg\r\n\r\n");
  EXPECT_EQ(FormatRecentListText({}), "");
  EXPECT_EQ(RecentDisplayName("/p.d/stone.old.jpg", true), "stone");
  EXPECT_EQ(RecentDisplayName("/p.d/stone.old.jpg", false), "stone.old.jpg");
  EXPECT_EQ(RecentDisplayName("/p.d/.png", true), ".png");
}

TEST_F(RecentListTest, LoadPrunesVanishedFilesAndFolders) {
  const std::string a = image("a.tile.jpg"), c = image("c.png");
  ASSERT_EQ(::mkdir(dir_.file("folder.jpg").c_str(), 0755), 0);
  writeFile(list_file_, a + "\r\n" + dir_.file("gone.jpg") + "\n" + c + "\r\n" +
                            dir_.file("folder.jpg") + "\r\n");
  LoadRecentList(list_, list_file_);
  EXPECT_THAT(list_.entries(), ElementsAre(a, c));
  EXPECT_THAT(list_.displayNames(), ElementsAre("a", "c"));
  EXPECT_EQ(list_.selectedIndex(), -1);
  EXPECT_EQ(readFile(list_file_), a + "\r\n" + c + "\r\n");

  writeFile(list_file_, dir_.file("gone") + "\r\n\r\n");
  LoadRecentList(list_, list_file_);
  EXPECT_EQ(list_.count(), 0);
  EXPECT_EQ(readFile(list_file_), "");
}

TEST_F(RecentListTest, MissingFileIsCreatedEmptyIntactFileLeftAlone) {
  LoadRecentList(list_, list_file_);
  EXPECT_EQ(dir_.entryCount(), 1u);
  EXPECT_EQ(readFile(list_file_), "");
  writeFile(list_file_, image("a.jpg") + "\n");
  LoadRecentList(list_, list_file_);
  EXPECT_EQ(readFile(list_file_), dir_.file("a.jpg") + "\n");
}

TEST_F(RecentListTest, PushKeepsDuplicatesPickMovesToTop) {
  push({"a.jpg", "a.jpg"});
  EXPECT_THAT(list_.displayNames(), ElementsAre("a.jpg", "a.jpg"));
  EXPECT_EQ(list_.selectedIndex(), 0);
  push({"3.jpg", "2.jpg", "1.jpg"});
  EXPECT_EQ(SelectRecentEntry(list_, list_file_, 2), dir_.file("3.jpg"));
  EXPECT_THAT(list_.displayNames(), ElementsAre("3.jpg", "1.jpg", "2.jpg", "a.jpg", "a.jpg"));
  EXPECT_EQ(list_.selectedIndex(), 0);
  EXPECT_EQ(readFile(list_file_), FormatRecentListText(list_.entries()));
}

TEST_F(RecentListTest, RemoveSelectsThePreviousOrAfterTheFirstTheLast) {
  push({"3.jpg", "2.jpg", "1.jpg"});
  RemoveRecentEntry(list_, list_file_);
  EXPECT_THAT(list_.displayNames(), ElementsAre("2.jpg", "3.jpg"));
  EXPECT_EQ(list_.selectedIndex(), 1);
  RemoveRecentEntry(list_, list_file_);
  EXPECT_EQ(list_.selectedIndex(), 0);
  RemoveRecentEntry(list_, list_file_);
  EXPECT_EQ(list_.selectedIndex(), -1);
  EXPECT_EQ(readFile(list_file_), "");
  EXPECT_THAT([&] { RemoveRecentEntry(list_, list_file_); },
              ThrowsMessage<SettingsError>("List index out of bounds (-1)"));
  EXPECT_THAT([&] { list_.select(0); },
              ThrowsMessage<SettingsError>("List index out of bounds (0)"));
}

// A list in any encoding an editor writes is read, and rewritten in that encoding; one that is
// no text is reported and never written over, neither when it is loaded nor when a picture is
// added.
TEST_F(RecentListTest, ListsAreKeptInTheirEncodingAndWhatIsNoTextIsLeftAlone) {
  const std::string a = image("caf\xC3\xA9.jpg"), b = image("b.png");
  const std::u32string folder(dir_.path().begin(), dir_.path().end());
  const std::u32string a32 = folder + U"/caf\u00E9.jpg", b32 = folder + U"/b.png";
  for (const testing::TextForm& form : testing::kTextForms) {
    writeFile(list_file_, testing::encodedText(a32 + U"\r\n" + folder + U"/gone.png\r\n", form));
    LoadRecentList(list_, list_file_);
    EXPECT_THAT(list_.entries(), ElementsAre(a)) << form.name;
    EXPECT_EQ(readFile(list_file_), testing::encodedText(a32 + U"\r\n", form)) << form.name;
    PushRecentEntry(list_, list_file_, b);
    EXPECT_EQ(readFile(list_file_), testing::encodedText(b32 + U"\r\n" + a32 + U"\r\n", form))
        << form.name;
  }

  const std::string noText = a + "\r\n" + std::string(6, '\0');
  writeFile(list_file_, noText);
  EXPECT_THAT([&] { LoadRecentList(list_, list_file_); },
              ThrowsMessage<SettingsError>(
                  "The file " + list_file_ +
                  " cannot be read: it holds NUL bytes but is neither UTF-16 nor UTF-32 text"));
  EXPECT_THAT([&] { PushRecentEntry(list_, list_file_, b); },
              ThrowsMessage<SettingsError>(
                  ::testing::StartsWith("Cannot create file " + list_file_ + ": it holds NUL")));
  EXPECT_EQ(readFile(list_file_), noText);
  expectConsistent();
}

TEST_F(RecentListTest, FailuresKeepTheOldFileAndTheBoxInStep) {
  push({"a.jpg"});
  const std::string old = readFile(list_file_);
  {
    const testing::FileSizeLimit diskFull(old.size());
    EXPECT_THAT([&] { push({"a-much-longer-name.jpg"}); },
                ThrowsMessage<SettingsError>("Cannot create file " + list_file_));
  }
  EXPECT_EQ(readFile(list_file_), old);
  EXPECT_EQ(dir_.entryCount(), 3u);  // two images and the list: no temporary file
  EXPECT_EQ(list_.count(), 2);
  expectConsistent();

  const std::string nowhere = dir_.file("a.jpg") + "/list.txt";
  EXPECT_THROW(RemoveRecentEntry(list_, nowhere), SettingsError);
  EXPECT_EQ(list_.count(), 1);
  expectConsistent();

  EXPECT_THAT([&] { LoadRecentList(list_, dir_.path()); },
              ThrowsMessage<SettingsError>("Cannot open file " + dir_.path() +
                                           ": it is not a regular file"));
  EXPECT_EQ(list_.count(), 0);
  expectConsistent();
}

}  // namespace
}  // namespace tessora
