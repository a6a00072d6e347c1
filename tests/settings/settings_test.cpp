#include "settings/settings.h"

#include <sys/stat.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "settings/settingserror.h"
#include "tempdir.h"

namespace tessora {
namespace {

using testing::FileSizeLimit;
using testing::readFile;
using testing::TempDir;
using ::testing::ThrowsMessage;
using testing::writeFile;

constexpr const char* kNewFile =
    "[general]\n"
    "top of form=-12\n"
    "left of form=300\n"
    "hide tile directory bar=TRUE\n"
    "hide tessora directory bar=FALSE\n"
    "\n"
    "[program parameters]\n"
    "use sound effects=FALSE\n"
    "use entire desktop area=TRUE\n"
    "retain aspect ratio=FALSE\n"
    "show all tools=TRUE\n"
    "deep background color=clRed\n";

Settings sample() {
  Settings s;
  s.top = -12;
  s.left = 300;
  s.hideTileDirectoryBar = true;
  s.useSoundEffects = false;
  s.useEntireDesktopArea = true;
  s.showAllTools = true;
  s.DeepBackgroundColor = clRed;
  return s;
}

// Loads one "deep background color" or "top of form" value through a real file.
Settings loadWith(const TempDir& dir, const std::string& section, const std::string& line) {
  writeFile(dir.file("Tessora.ini"), "[" + section + "]\n" + line + "\n");
  Settings s;
  LoadSettings(dir.file("Tessora.ini"), s);
  return s;
}

TEST(LoadSettings, MissingFileGivesTheDefaults) {
  TempDir dir;
  Settings s;
  s.top = 99;
  EXPECT_FALSE(LoadSettings(dir.file("Tessora.ini"), s));
  EXPECT_EQ(s.top, 5);
  EXPECT_EQ(s.left, 5);
  EXPECT_TRUE(s.useSoundEffects);
  EXPECT_FALSE(s.hideTileDirectoryBar || s.hideTessoraDirectoryBar || s.useEntireDesktopArea ||
               s.retainAspectRatio || s.showAllTools);
  EXPECT_EQ(s.DeepBackgroundColor, GetSysColor(COLOR_BACKGROUND));
}

TEST(LoadSettings, IntegerValues) {
  TempDir dir;
  EXPECT_EQ(loadWith(dir, "general", "top of form=-40").top, -40);
  EXPECT_EQ(loadWith(dir, "general", "TOP OF FORM = $20 ").top, 32);
  EXPECT_THAT([&] { loadWith(dir, "general", "top of form="); },
              ThrowsMessage<SettingsError>("'' is not a valid integer value"));
  EXPECT_THAT([&] { loadWith(dir, "general", "top of form=12px"); },
              ThrowsMessage<SettingsError>("'12px' is not a valid integer value"));
}

TEST(LoadSettings, BooleanValuesNeverFail) {
  TempDir dir;
  for (const char* yes : {"yes", "On", ".t.", "TRUE"}) {
    EXPECT_TRUE(loadWith(dir, "program parameters", std::string("use sound effects=") + yes)
                    .useSoundEffects)
        << yes;
  }
  for (const char* no : {"1", "T", "TRUE.", ""}) {
    EXPECT_FALSE(
        loadWith(dir, "program parameters", std::string("use sound effects=") + no).useSoundEffects)
        << no;
  }
}

TEST(LoadSettings, StopsAtTheFailingKey) {
  TempDir dir;
  writeFile(dir.file("Tessora.ini"),
            "[general]\ntop of form=7\nleft of form=oops\nhide tile directory bar=TRUE\n"
            "[program parameters]\nuse sound effects=FALSE\n");
  Settings s;
  EXPECT_THAT([&] { LoadSettings(dir.file("Tessora.ini"), s); },
              ThrowsMessage<SettingsError>("'oops' is not a valid integer value"));
  EXPECT_EQ(s.top, 7);
  EXPECT_EQ(s.left, Settings().left);
  EXPECT_FALSE(s.hideTileDirectoryBar);
  EXPECT_TRUE(s.useSoundEffects);
  EXPECT_EQ(s.DeepBackgroundColor, clBlack);
}

TEST(SettingsColour, ReadAndWrittenBack) {
  TempDir dir;
  const std::string path = dir.file("Tessora.ini");
  const struct {
    const char* stored;
    TColor read;
    const char* written;
  } cases[] = {
      {"clRed", 0x000000FF, "clRed"},
      {"255", 0x000000FF, "clRed"},
      {"clBackground", 0x80000001, "clBackground"},
      {"$00A56E3A", 0x00A56E3A, "$00A56E3A"},
      {"11234", 11234, "$00002BE2"},
  };
  for (const auto& c : cases) {
    const Settings s =
        loadWith(dir, "program parameters", std::string("deep background color=") + c.stored);
    EXPECT_EQ(s.DeepBackgroundColor, c.read) << c.stored;
    SaveSettings(path, s);
    EXPECT_THAT(readFile(path),
                ::testing::HasSubstr(std::string("deep background color=") + c.written + "\n"));
  }
}

TEST(SettingsColour, MissingOrEmptyMeansTheDesktopColour) {
  TempDir dir;
  SetSysColor(COLOR_BACKGROUND, 0x00123456);
  EXPECT_EQ(loadWith(dir, "program parameters", "deep background color=").DeepBackgroundColor,
            0x00123456u);
  const Settings s = loadWith(dir, "general", "top of form=1");
  EXPECT_EQ(s.DeepBackgroundColor, 0x00123456u);
  SaveSettings(dir.file("Tessora.ini"), s);
  EXPECT_THAT(readFile(dir.file("Tessora.ini")),
              ::testing::HasSubstr("deep background color=$00123456\n"));
  SetSysColor(COLOR_BACKGROUND, RGB(58, 110, 165));
}

TEST(SaveSettings, NewFileHoldsTheNineKeysInOrder) {
  TempDir dir;
  SaveSettings(dir.file("Tessora.ini"), sample());
  EXPECT_EQ(readFile(dir.file("Tessora.ini")), kNewFile);
  Settings back;
  EXPECT_TRUE(LoadSettings(dir.file("Tessora.ini"), back));
  EXPECT_EQ(back.top, -12);
  EXPECT_EQ(back.left, 300);
  EXPECT_TRUE(back.hideTileDirectoryBar && back.useEntireDesktopArea && back.showAllTools);
  EXPECT_FALSE(back.useSoundEffects || back.hideTessoraDirectoryBar || back.retainAspectRatio);
  EXPECT_EQ(back.DeepBackgroundColor, clRed);
}

TEST(SaveSettings, KeepsTheUsersOwnLines) {
  TempDir dir;
  const std::string path = dir.file("Tessora.ini");
  writeFile(path,
            "; written by hand\r\n"
            "[General]\r\n"
            "Top Of Form = 1\r\n"
            "my own key=keep me\r\n"
            "\r\n"
            "[plugins]\r\n"
            "left of form=not mine\r\n");
  SaveSettings(path, sample());
  EXPECT_EQ(readFile(path),
            "; written by hand\r\n"
            "[General]\r\n"
            "Top Of Form =-12\r\n"
            "my own key=keep me\r\n"
            "left of form=300\r\n"
            "hide tile directory bar=TRUE\r\n"
            "hide tessora directory bar=FALSE\r\n"
            "\r\n"
            "[plugins]\r\n"
            "left of form=not mine\r\n"
            "\r\n"
            "[program parameters]\r\n"
            "use sound effects=FALSE\r\n"
            "use entire desktop area=TRUE\r\n"
            "retain aspect ratio=FALSE\r\n"
            "show all tools=TRUE\r\n"
            "deep background color=clRed\r\n");
}

TEST(SaveSettings, FailedWriteKeepsTheOldFile) {
  TempDir dir;
  const std::string path = dir.file("Tessora.ini");
  const std::string old = "[general]\ntop of form=1\n; keep\n";
  writeFile(path, old);
  {
    const FileSizeLimit diskFull(16);
    EXPECT_THAT([&] { SaveSettings(path, sample()); },
                ThrowsMessage<SettingsError>("Unable to write to " + path));
  }
  EXPECT_EQ(readFile(path), old);
  EXPECT_EQ(testing::entryCount(dir.path()), 1u);  // no temporary file left behind
}

TEST(SaveSettings, UnwritableOrUnreadablePlacesFail) {
  TempDir dir;
  writeFile(dir.file("plain"), "x");
  const std::string underFile = dir.file("plain") + "/Tessora.ini";
  EXPECT_THAT([&] { SaveSettings(underFile, sample()); },
              ThrowsMessage<SettingsError>("Unable to write to " + underFile));
  // A folder where the file should be: its contents cannot be read, so it is not replaced.
  ASSERT_EQ(::mkdir(dir.file("Tessora.ini").c_str(), 0755), 0);
  EXPECT_THROW(SaveSettings(dir.file("Tessora.ini"), sample()), SettingsError);
  EXPECT_EQ(testing::entryCount(dir.file("Tessora.ini")), 0u);
}

}  // namespace
}  // namespace tessora
