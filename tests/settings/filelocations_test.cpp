#include "settings/filelocations.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "settings/fileio.h"
#include "tempdir.h"

namespace tessora {
namespace {

using testing::readFile;
using testing::TempDir;
using testing::writeFile;

TEST(FileLocations, ProgramDirectoryHoldsThisTest) {
  const std::string dir = programDirectory();
  ASSERT_FALSE(dir.empty());
  EXPECT_EQ(dir.back(), '/');
  EXPECT_EQ(::access((dir + "tessora_settings_tests").c_str(), X_OK), 0);
}

TEST(FileLocations, WritableProgramDirectoryIsUsed) {
  TempDir dir;
  EXPECT_EQ(chooseFileDirectory(dir.path(), "/unused", "/unused"), dir.path() + "/");
}

// As root every existing folder is writable, so a program folder that does not exist stands in
// for one under /usr.
TEST(FileLocations, OtherwiseTheUsersConfigFolderIsCreated) {
  TempDir dir;
  const std::string program = dir.file("usr/bin");
  EXPECT_EQ(chooseFileDirectory(program, dir.file("xdg"), "/unused"), dir.file("xdg/tessora/"));
  EXPECT_TRUE(isExistingFile(dir.file("xdg/tessora/")) == false);
  struct stat st {};
  EXPECT_EQ(::stat(dir.file("xdg/tessora").c_str(), &st), 0);

  // A relative XDG_CONFIG_HOME is ignored, as the base directory rules ask.
  EXPECT_EQ(chooseFileDirectory(program, "relative", dir.path()), dir.file(".config/tessora/"));
  EXPECT_EQ(::stat(dir.file(".config/tessora").c_str(), &st), 0);
  EXPECT_EQ(chooseFileDirectory("", "", dir.path() + "/"), dir.file(".config/tessora/"));
}

TEST(AtomicWrite, ReplacesKeepingModeAndLinks) {
  TempDir dir;
  const std::string real = dir.file("real.ini");
  writeFile(real, "old");
  ASSERT_EQ(::chmod(real.c_str(), 0640), 0);
  ASSERT_EQ(::symlink(real.c_str(), dir.file("link.ini").c_str()), 0);
  ASSERT_TRUE(writeFileAtomically(dir.file("link.ini"), "new"));
  EXPECT_EQ(readFile(real), "new");
  struct stat st {};
  ASSERT_EQ(::lstat(dir.file("link.ini").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  ASSERT_EQ(::stat(real.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_EQ(testing::entryCount(dir.path()), 2u);
}

TEST(AtomicWrite, FolderInTheWayFailsCleanly) {
  TempDir dir;
  ASSERT_EQ(::mkdir(dir.file("target").c_str(), 0755), 0);
  EXPECT_FALSE(writeFileAtomically(dir.file("target"), "x"));
  EXPECT_EQ(testing::entryCount(dir.path()), 1u);
  std::string contents;
  EXPECT_EQ(readWholeFile(dir.file("target"), contents), ReadResult::Failed);
  EXPECT_EQ(readWholeFile(dir.file("none"), contents), ReadResult::Missing);
}

}  // namespace
}  // namespace tessora
