#include "settings/inifile.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace tessora {
namespace {

TEST(IniFileRead, NamesIgnoreCaseAndBlanksValuesAreTrimmed) {
  const IniFile ini("[General]\r\n  Top Of Form =  -40 \t\r\n[other]\r\ntop of form=1\r\n");
  EXPECT_EQ(ini.readString("general", "top of form", "5"), "-40");
  EXPECT_EQ(ini.readString("GENERAL", "TOP OF FORM", "5"), "-40");
  EXPECT_EQ(ini.readString("other", "top of form", "5"), "1");
}

TEST(IniFileRead, DefaultOnlyWhenKeyOrSectionIsMissing) {
  const IniFile ini("[a]\nempty=\nk=v\n;c=commented\n");
  EXPECT_EQ(ini.readString("a", "empty", "d"), "");
  EXPECT_EQ(ini.readString("a", "missing", "d"), "d");
  EXPECT_EQ(ini.readString("b", "k", "d"), "d");
  EXPECT_EQ(ini.readString("a", ";c", "d"), "d");
  EXPECT_EQ(IniFile().readString("a", "k", "d"), "d");
}

TEST(IniFileRead, KeysBeforeAnySectionAndLaterDuplicates) {
  const IniFile ini("k=outside\n[a]\nk=first\nk=second\n[A]\nk=third\nv=x=y\n");
  EXPECT_EQ(ini.readString("a", "k", "d"), "first");
  EXPECT_EQ(ini.readString("a", "v", "d"), "d");  // the second [A] is never consulted
}

TEST(IniFileWrite, ReplacesInPlaceKeepingEveryOtherByte) {
  const std::string before = "; mine\r\n[a]\r\n Key = old \r\nzz=1\r\n\r\n[b]\r\nk=2";
  IniFile ini(before);
  ini.writeString("A", "key", "new");
  EXPECT_EQ(ini.text(), "; mine\r\n[a]\r\n Key =new\r\nzz=1\r\n\r\n[b]\r\nk=2");
  ini.writeString("b", "k", "2");  // same value: the line stays as it was
  EXPECT_EQ(ini.text(), "; mine\r\n[a]\r\n Key =new\r\nzz=1\r\n\r\n[b]\r\nk=2");
}

TEST(IniFileWrite, AppendsKeysAfterTheLastKeyAndSectionsAtTheEnd) {
  IniFile ini("[a]\nx=1\n; note\n\n[b]\ny=2");
  ini.writeString("a", "new", "n");
  ini.writeString("b", "z", "3");
  ini.writeString("c", "w", "4");
  EXPECT_EQ(ini.text(), "[a]\nx=1\nnew=n\n; note\n\n[b]\ny=2\nz=3\n\n[c]\nw=4\n");
}

TEST(IniFileWrite, NewTextUsesTheFirstLineEndSeen) {
  IniFile ini("[a]\r\nx=1\n");
  ini.writeString("a", "y", "2");
  EXPECT_EQ(ini.text(), "[a]\r\nx=1\ny=2\r\n");

  IniFile empty;
  empty.writeString("s", "k", "v");
  EXPECT_EQ(empty.text(), "[s]\nk=v\n");
}

TEST(IniFileWrite, RefusesNamesAndValuesThatWouldBreakTheFile) {
  IniFile ini;
  EXPECT_THROW(ini.writeString("a]", "k", "v"), std::invalid_argument);
  EXPECT_THROW(ini.writeString("a", "k=", "v"), std::invalid_argument);
  EXPECT_THROW(ini.writeString("a", " k", "v"), std::invalid_argument);
  EXPECT_THROW(ini.writeString("", "k", "v"), std::invalid_argument);
  EXPECT_THROW(ini.writeString("a", "k", "v\nw"), std::invalid_argument);
  EXPECT_EQ(ini.text(), "");
}

TEST(IniFileText, UnwrittenTextRoundTripsExactly) {
  for (const char* text : {"", "\n", "\r", "\r\n\r", "[a\nk=v", "no end", "[a]\r\n\n\rk=v"}) {
    EXPECT_EQ(IniFile(text).text(), text);
  }
}

}  // namespace
}  // namespace tessora
