#include "settings/settings.h"

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

// A file holding every key, so that a save changes nothing but the value of "top of form".
std::u32string fullFile(const std::u32string& top) {
  return U"; caf\u00E9 \U0001F304\r\n[general]\r\ntop of form=" + top +
         U"\r\nleft of form=5\r\nhide tile directory bar=FALSE\r\n"
         U"hide tessora directory bar=FALSE\r\n\r\n[program parameters]\r\n"
         U"use sound effects=TRUE\r\nuse entire desktop area=FALSE\r\nretain aspect ratio=FALSE\r\n"
         U"show all tools=FALSE\r\ndeep background color=$00102030\r\n";
}

// A file in any of the encodings an editor writes, with a byte-order mark or without, reads as
// the same settings; a save writes it back in that encoding, every other character as it was.
TEST_F(SettingsFile, EveryEncodingIsReadAndWrittenBackInItself) {
  for (const testing::TextForm& form : testing::kTextForms) {
    writeFile(path_, testing::encodedText(fullFile(U"-7"), form));
    Settings s;
    EXPECT_EQ(LoadSettings(path_, s).warning, std::nullopt) << form.name;
    EXPECT_EQ(s.top, -7) << form.name;
    EXPECT_EQ(s.DeepBackgroundColor, std::optional<TColor>(0x00102030)) << form.name;
    s.top = 12;
    SaveSettings(path_, s);
    EXPECT_EQ(readFile(path_), testing::encodedText(fullFile(U"12"), form)) << form.name;
  }
}

// What is no text, or text that could not be written back as it was, is reported and left alone:
// the settings are the defaults, and a save (at the close of the window) neither adds to the file
// nor replaces it.
TEST_F(SettingsFile, WhatCannotBeReadOrWrittenBackIsLeftAlone) {
  const struct {
    const char* what;
    std::string bytes;
    const char* fault;  // said when the file is read; nullptr when it is read, damage and all
  } files[] = {
      {"NUL bytes", std::string(64, '\0'), "it holds nothing but NUL bytes"},
      {"NUL bytes after text", "[general]\ntop of form=-7\n" + std::string(8, '\0'),
       "it holds NUL bytes but is neither UTF-16 nor UTF-32 text"},
      {"UTF-16 with a lone surrogate", std::string("\xFF\xFE[\0g\0]\0\x00\xD8\n\0", 12), nullptr},
      {"UTF-16 without a mark, of odd length", std::string("[\0g\0]\0\n\0[", 9), nullptr},
      {"UTF-32 beyond Unicode", std::string("\xFF\xFE\0\0[\0\0\0\xFF\xFF\xFF\0", 12), nullptr},
  };
  for (const auto& f : files) {
    writeFile(path_, f.bytes);
    Settings s;
    s.top = 99;
    const SettingsLoad load = LoadSettings(path_, s);
    EXPECT_TRUE(load.existed) << f.what;
    if (f.fault != nullptr) {
      EXPECT_EQ(load.warning, "The file " + path_ + " cannot be read: " + f.fault) << f.what;
      EXPECT_EQ(s.top, 5) << f.what;
    }
    EXPECT_THAT(
        [&] { SaveSettings(path_, s); },
        ThrowsMessage<SettingsError>(HasSubstr("Unable to write to " + path_ + ": it holds ")))
        << f.what;
    EXPECT_EQ(readFile(path_), f.bytes) << f.what;
  }
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
