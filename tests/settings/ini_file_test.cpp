#include "settings/ini_file.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace tessora {
namespace {

TEST(IniFileRead, CaseBlanksDefaultsAndFirstOccurrence) {
  const IniFile ini(
      "k=outside\r\n[General]\r\n  Top Of Form =  -40 \t\r\nempty=\r\n;c=1\r\n"
      "top of form=2\r\n[general]\r\nx=3\r\n");
  EXPECT_EQ(ini.readString("general", "TOP OF FORM", "5"), "-40");
  EXPECT_EQ(ini.readString("general", "empty", "d"), "");
  EXPECT_EQ(ini.readString("general", ";c", "d"), "d");
  EXPECT_EQ(ini.readString("general", "x", "d"), "d");  // a second [general] is never consulted
  EXPECT_EQ(ini.readString("other", "k", "d"), "d");
}

TEST(IniFileWrite, ReplacesInPlaceAndAppendsKeepingEveryOtherByte) {
  IniFile ini("; mine\r\n[a]\r\n Key = old \r\nzz=1\r\n; note\r\n\r\n[b]\r\nk=2");
  ini.writeString("A", "key", "new");
  ini.writeString("a", "added", "n");
  ini.writeString("b", "k", "2");  // same value: the line stays as it was
  ini.writeString("b", "z", "3");
  ini.writeString("c", "w", "4");
  EXPECT_EQ(ini.text(),
            "; mine\r\n[a]\r\n Key =new\r\nzz=1\r\nadded=n\r\n; note\r\n\r\n[b]\r\nk=2\r\nz=3\r\n"
            "\r\n[c]\r\nw=4\r\n");
  for (const char* text : {"", "\r", "\r\n\n\r", "[a\nk=v", "no end"}) {
    EXPECT_EQ(IniFile(text).text(), text);
  }
}

TEST(IniFileWrite, RefusesWhatWouldBreakTheFile) {
  IniFile ini;
  EXPECT_THROW(ini.writeString("a]", "k", "v"), std::invalid_argument);
  EXPECT_THROW(ini.writeString("a", "k=", "v"), std::invalid_argument);
  EXPECT_THROW(ini.writeString("a", " k", "v"), std::invalid_argument);
  EXPECT_THROW(ini.writeString("a", "k", "v\nw"), std::invalid_argument);
  EXPECT_EQ(ini.text(), "");
}

}  // namespace
}  // namespace tessora
