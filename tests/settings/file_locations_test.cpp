#include "settings/file_locations.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include <gtest/gtest.h>

#include "settings/file_io.h"
#include "support/files.h"
#include "support/temp_dir.h"

namespace tessora {
namespace {

TEST(FileLocations, ProgramFolderWhenWritableElseTheUsersConfig) {
  const std::string program = ProgramDirectory();
  EXPECT_EQ(::access((program + "tessora_settings_tests").c_str(), X_OK), 0);

  testing::TempDir dir;
  EXPECT_EQ(ChooseFileDirectory(dir.path(), "/unused", "/unused"), dir.path() + "/");
  // Root may write everywhere, so a missing program folder stands in for one under /usr.
  const std::string usrBin = dir.file("usr/bin");
  EXPECT_EQ(ChooseFileDirectory(usrBin, dir.file("xdg"), "/unused"), dir.file("xdg/tessora/"));
  EXPECT_EQ(ChooseFileDirectory(usrBin, "relative", dir.path()), dir.file(".config/tessora/"));
  struct stat st {};
  EXPECT_EQ(::stat(dir.file("xdg/tessora").c_str(), &st), 0);
  EXPECT_EQ(::stat(dir.file(".config/tessora").c_str(), &st), 0);
}

TEST(FileLocations, OwnFilesBesideTheProgramElseInTheInstallationsDataFolder) {
  testing::TempDir dir;
  // Files beside the program ("own") win over an installation around it (share/tessora).
  for (const char* folder :
       {"own/wav", "share/tessora", "readme-only", "usr/bin", "usr/share/tessora", "lone/bin"}) {
    std::filesystem::create_directories(dir.file(folder));
  }
  testing::writeFile(dir.file("readme-only/readme.txt"), "");
  const std::pair<std::string, std::string> cases[] = {
      {dir.file("own"), dir.file("own/")},
      {dir.file("readme-only/"), dir.file("readme-only/")},
      {dir.file("usr/bin"), dir.file("usr/bin/../share/tessora/")},
      {dir.file("lone/bin"), dir.file("lone/bin/")},
      {"", ""},
  };
  for (const auto& [program, expected] : cases) {
    EXPECT_EQ(ChooseDataDirectory(program), expected) << program;
  }
}

// A settings or list file that is not a plain file of sensible size is there but unusable: it
// is never waited for, read into memory or written over.
TEST(ReadTextFile, OnlyRegularFilesOfBoundedSizeAreRead) {
  testing::TempDir dir;
  std::string text = "left over";
  EXPECT_EQ(ReadTextFile(dir.file("missing.ini"), text), ReadResult::Missing);
  EXPECT_EQ(text, "");
  testing::writeFile(dir.file("plain.ini"), "[general]\n");
  EXPECT_EQ(ReadTextFile(dir.file("plain.ini"), text), ReadResult::Ok);
  EXPECT_EQ(text, "[general]\n");
  ASSERT_EQ(::mkfifo(dir.file("fifo.ini").c_str(), 0600), 0);
  ASSERT_EQ(::mkdir(dir.file("folder.ini").c_str(), 0700), 0);
  testing::writeFile(dir.file("huge.ini"), std::string(kMaxTextFileBytes + 1, '\n'));
  const std::pair<const char*, ReadResult> unusable[] = {{"fifo.ini", ReadResult::NotRegular},
                                                         {"folder.ini", ReadResult::NotRegular},
                                                         {"huge.ini", ReadResult::TooLarge}};
  for (const auto& [name, result] : unusable) {
    EXPECT_EQ(ReadTextFile(dir.file(name), text), result) << name;
    EXPECT_EQ(text, "") << name;
    // Nor is it written over.
    struct stat before {};
    ASSERT_EQ(::stat(dir.file(name).c_str(), &before), 0);
    EXPECT_FALSE(WriteFileAtomically(dir.file(name), "x")) << name;
    struct stat after {};
    ASSERT_EQ(::stat(dir.file(name).c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino) << name;
    EXPECT_EQ(after.st_size, before.st_size) << name;
  }
}

TEST(AtomicWrite, KeepsLinksAndPermissionsLeavesNoTemporaryFile) {
  testing::TempDir dir;
  const std::string real = dir.file("real.ini");
  testing::writeFile(real, "old");
  ASSERT_EQ(::chmod(real.c_str(), 0640), 0);
  ASSERT_EQ(::symlink(real.c_str(), dir.file("link.ini").c_str()), 0);
  ASSERT_TRUE(WriteFileAtomically(dir.file("link.ini"), "new"));
  EXPECT_EQ(testing::readFile(real), "new");
  struct stat st {};
  ASSERT_EQ(::lstat(dir.file("link.ini").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  ASSERT_EQ(::stat(real.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);

  ASSERT_EQ(::mkdir(dir.file("folder").c_str(), 0755), 0);
  EXPECT_FALSE(WriteFileAtomically(dir.file("folder"), "x"));
  EXPECT_EQ(dir.entryCount(), 3u);
}

}  // namespace
}  // namespace tessora
