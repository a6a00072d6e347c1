#include "settings/settings.h"

#include <sys/stat.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "settings/settings_error.h"
#include "support/file_size_limit.h"
#include "support/files.h"
#include "support/temp_dir.h"

namespace tessora {
namespace {

using ::testing::HasSubstr;
using testing::readFile;
using ::testing::ThrowsMessage;
using testing::writeFile;

class SettingsFile : public ::testing::Test {
 protected:
  Settings loadLine(const std::string& section, const std::string& line) {
    writeFile(path_, "[" + section + "]\n" + line + "\n");
    Settings s;
    warning_ = LoadSettings(path_, s).warning;
    return s;
  }
  std::optional<std::string> warning_;
  Settings loadColour(const std::string& value) {
    return loadLine("program parameters", "deep background color=" + value);
  }

  testing::TempDir dir_;
  const std::string path_ = dir_.file("Tessora.ini");
};

TEST_F(SettingsFile, MissingFileGivesDefaultsAndNoColourOfItsOwn) {
  Settings s;
  s.top = 99;
  const SettingsLoad load = LoadSettings(path_, s);
  EXPECT_FALSE(load.existed);
  EXPECT_FALSE(load.warning.has_value());
  EXPECT_EQ(s.top, 5);
  EXPECT_TRUE(s.useSoundEffects);
  EXPECT_FALSE(s.hideTileDirectoryBar || s.retainAspectRatio || s.showAllTools);
  EXPECT_EQ(s.DeepBackgroundColor, std::nullopt) << "the desktop's colour then";
}

TEST_F(SettingsFile, ValueForms) {
  EXPECT_EQ(loadLine("general", "top of form=-40").top, -40);
  EXPECT_EQ(loadLine("GENERAL", "Top Of Form = $20 ").top, 32);
  loadLine("general", "top of form=");
  EXPECT_EQ(warning_, "'' is not a valid integer value");
  loadLine("general", "top of form=12px");
  EXPECT_EQ(warning_, "'12px' is not a valid integer value");
  EXPECT_TRUE(loadLine("program parameters", "use sound effects=.t.").useSoundEffects);
  EXPECT_FALSE(loadLine("program parameters", "use sound effects=1").useSoundEffects);
}

// One typo must not cost the user the rest of their settings, now or when they are written back.
TEST_F(SettingsFile, ABadValueFallsBackAloneAndIsReported) {
  writeFile(path_,
            "[general]\ntop of form=abc\nleft of form=oops\nhide tile directory bar=TRUE\n"
            "[program parameters]\ndeep background color=$00123456\nshow all tools=TRUE\n");
  Settings s;
  s.top = 99;
  const SettingsLoad load = LoadSettings(path_, s);
  EXPECT_TRUE(load.existed);
  EXPECT_EQ(load.warning, "'abc' is not a valid integer value") << "the first bad value";
  EXPECT_EQ(s.top, 5);
  EXPECT_EQ(s.left, 5);
  EXPECT_TRUE(s.hideTileDirectoryBar);
  EXPECT_TRUE(s.showAllTools);
  EXPECT_EQ(s.DeepBackgroundColor, TColor{0x00123456});
  SaveSettings(path_, s);
  Settings again;
  EXPECT_FALSE(LoadSettings(path_, again).warning.has_value());
  EXPECT_TRUE(again.hideTileDirectoryBar);
  EXPECT_EQ(again.DeepBackgroundColor, TColor{0x00123456});
}

TEST_F(SettingsFile, ColoursAreWrittenBackByNameOrInHex) {
  const struct {
    const char* stored;
    std::optional<TColor> read;
    const char* written;
  } cases[] = {{"clRed", 0xFF, "clRed"},
               {"255", 0xFF, "clRed"},
               {"clBackground", 0x80000001, "clBackground"},
               {"11234", 11234, "$00002BE2"},
               {"", std::nullopt, ""}};
  for (const auto& c : cases) {
    const Settings s = loadColour(c.stored);
    EXPECT_EQ(s.DeepBackgroundColor, c.read) << c.stored;
    SaveSettings(path_, s);
    EXPECT_THAT(readFile(path_), HasSubstr(std::string("color=") + c.written + "\n"));
  }
}

TEST_F(SettingsFile, NewFileHoldsTheNineKeysInOrderAndReadsBack) {
  Settings s;
  s.top = -12;
  s.hideTileDirectoryBar = true;
  s.useSoundEffects = false;
  s.DeepBackgroundColor = clRed;
  SaveSettings(path_, s);
  EXPECT_EQ(readFile(path_),
            "[general]\ntop of form=-12\nleft of form=5\nhide tile directory bar=TRUE\n"
            "hide tessora directory bar=FALSE\n\n[program parameters]\nuse sound effects=FALSE\n"
            "use entire desktop area=FALSE\nretain aspect ratio=FALSE\nshow all tools=FALSE\n"
            "deep background color=clRed\n");
  Settings back;
  EXPECT_TRUE(LoadSettings(path_, back).existed);
  EXPECT_EQ(back.top, -12);
  EXPECT_TRUE(back.hideTileDirectoryBar);
  EXPECT_FALSE(back.useSoundEffects);
}

TEST_F(SettingsFile, UsersOwnLinesSurviveASave) {
  writeFile(path_,
            "; by hand\r\n[General]\r\nTop Of Form = 1\r\nmy key=keep\r\n\r\n[plugins]\r\n"
            "left of form=not mine\r\n");
  SaveSettings(path_, Settings());
  EXPECT_EQ(readFile(path_),
            "; by hand\r\n[General]\r\nTop Of Form =5\r\nmy key=keep\r\nleft of form=5\r\n"
            "hide tile directory bar=FALSE\r\nhide tessora directory bar=FALSE\r\n\r\n[plugins]\r\n"
            "left of form=not mine\r\n\r\n[program parameters]\r\nuse sound effects=TRUE\r\n"
            "use entire desktop area=FALSE\r\nretain aspect ratio=FALSE\r\nshow all tools=FALSE\r\n"
            "deep background color=\r\n")
      << "no colour of its own: the desktop's at the next start";
}

// A file an editor saved with a byte-order mark, or as UTF-16, reads as the same text without
// one, first section included; a save keeps the file's encoding and its mark, and the user's
// own lines. Damaged UTF-16 is not written over: its lines could not be written back as they were.
TEST_F(SettingsFile, ByteOrderMarksAndUtf16AreReadAndKept) {
  const std::string first = "[program parameters]\r\ndeep background color=$00102030\r\n; caf";
  const std::string last = "\r\n[general]\r\ntop of form=-7\r\n";
  auto utf16 = [](const std::string& ascii, bool little) {
    std::string out;
    for (char c : ascii) {
      out += little ? std::string{c, '\0'} : std::string{'\0', c};
    }
    return out;
  };
  // "é 🌄": é is one unit, the picture two (a surrogate pair).
  const std::string comment16le("\xE9\0 \0\x3C\xD8\x04\xDF", 8);
  const std::string comment16be("\0\xE9\0 \xD8\x3C\xDF\x04", 8);
  const struct {
    const char* what;
    std::string bytes;
    std::string mark;
    std::string comment;
  } files[] = {
      {"UTF-8 with a mark", "\xEF\xBB\xBF" + first + "\xC3\xA9 \xF0\x9F\x8C\x84" + last,
       "\xEF\xBB\xBF", "\xC3\xA9 \xF0\x9F\x8C\x84"},
      {"UTF-16, little end first",
       "\xFF\xFE" + utf16(first, true) + comment16le + utf16(last, true), "\xFF\xFE", comment16le},
      {"UTF-16, big end first", "\xFE\xFF" + utf16(first, false) + comment16be + utf16(last, false),
       "\xFE\xFF", comment16be},
  };
  for (const auto& f : files) {
    writeFile(path_, f.bytes);
    Settings s;
    EXPECT_EQ(LoadSettings(path_, s).warning, std::nullopt) << f.what;
    EXPECT_EQ(s.DeepBackgroundColor, std::optional<TColor>(0x00102030)) << f.what;
    EXPECT_EQ(s.top, -7) << f.what;
    s.top = 12;
    SaveSettings(path_, s);
    const std::string saved = readFile(path_);
    EXPECT_EQ(saved.substr(0, f.mark.size()), f.mark) << f.what;
    EXPECT_NE(saved.find(f.comment), std::string::npos) << f.what << ": the comment survives";
    Settings again;
    LoadSettings(path_, again);
    EXPECT_EQ(again.top, 12) << f.what;
    EXPECT_EQ(again.DeepBackgroundColor, s.DeepBackgroundColor) << f.what;
  }
  const std::string damaged("\xFF\xFE[\0g\0]\0\x00\xD8\n\0", 12);  // a lone surrogate
  writeFile(path_, damaged);
  EXPECT_THROW(SaveSettings(path_, Settings()), SettingsError);
  EXPECT_EQ(readFile(path_), damaged);
}

TEST_F(SettingsFile, FailedWritesKeepTheOldFile) {
  const std::string old = "[general]\ntop of form=1\n; keep\n";
  writeFile(path_, old);
  {
    const testing::FileSizeLimit diskFull(16);
    EXPECT_THAT([&] { SaveSettings(path_, Settings()); },
                ThrowsMessage<SettingsError>("Unable to write to " + path_));
  }
  EXPECT_EQ(readFile(path_), old);
  EXPECT_EQ(dir_.entryCount(), 1u);

  const std::string underFile = path_ + "/Tessora.ini";  // the parent is a regular file
  EXPECT_THAT([&] { SaveSettings(underFile, Settings()); },
              ThrowsMessage<SettingsError>("Unable to write to " + underFile));
  // A file that cannot be read is not replaced: its lines would be lost. Reading it says why.
  ASSERT_EQ(::mkdir(dir_.file("dir.ini").c_str(), 0755), 0);
  EXPECT_THROW(SaveSettings(dir_.file("dir.ini"), Settings()), SettingsError);
  Settings s;
  EXPECT_EQ(LoadSettings(dir_.file("dir.ini"), s).warning,
            "Cannot open file " + dir_.file("dir.ini") + ": it is not a regular file");
}

}  // namespace
}  // namespace tessora
