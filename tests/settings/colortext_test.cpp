#include "settings/colortext.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "settings/settingserror.h"

namespace tessora {
namespace {

using ::testing::ThrowsMessage;

TEST(TextToInt, DecimalAndTheFiveHexPrefixes) {
  EXPECT_EQ(textToInt("-40"), -40);
  EXPECT_EQ(textToInt("+7"), 7);
  EXPECT_EQ(textToInt("  12"), 12);
  EXPECT_EQ(textToInt("$20"), 32);
  EXPECT_EQ(textToInt("x1f"), 31);
  EXPECT_EQ(textToInt("X1F"), 31);
  EXPECT_EQ(textToInt("0x10"), 16);
  EXPECT_EQ(textToInt("0X10"), 16);
  EXPECT_EQ(textToInt("-$10"), -16);
  EXPECT_EQ(textToInt("0"), 0);
}

TEST(TextToInt, RangeLimits) {
  EXPECT_EQ(textToInt("2147483647"), 2147483647);
  EXPECT_EQ(textToInt("-2147483648"), -2147483647 - 1);
  EXPECT_EQ(textToInt("$FFFFFFFF"), -1);
  EXPECT_EQ(textToInt("$80000001"), -2147483647);
  EXPECT_EQ(textToInt("$000000000000FF"), 255);  // leading zeros are not significant
  EXPECT_EQ(textToInt("0000000000000000000042"), 42);
  for (const char* bad : {"2147483648", "-2147483649", "$100000000", "99999999999999999999"}) {
    EXPECT_THROW(textToInt(bad), SettingsError) << bad;
  }
}

TEST(TextToInt, RejectsWithTheOffendingTextQuoted) {
  EXPECT_THAT([] { textToInt(""); },
              ThrowsMessage<SettingsError>("'' is not a valid integer value"));
  EXPECT_THAT([] { textToInt("12px"); },
              ThrowsMessage<SettingsError>("'12px' is not a valid integer value"));
  for (const char* bad : {"$", "0x", "-", "+-1", "- 1", "1 ", "1.5", "$G", "0x$1", "x", "١"}) {
    EXPECT_THROW(textToInt(bad), SettingsError) << bad;
  }
}

TEST(ColorIdentTable, FortyNineRowsInFileOrder) {
  ASSERT_EQ(ColorIdentTable.size(), 49u);
  EXPECT_STREQ(ColorIdentTable[0].name, "clBlack");
  EXPECT_STREQ(ColorIdentTable[19].name, "clMedGray");
  EXPECT_EQ(ColorIdentTable[19].value, 0x00A4A0A0u);
  EXPECT_STREQ(ColorIdentTable[23].name, "clBackground");
  EXPECT_EQ(ColorIdentTable[23].value, 0x80000001u);
  EXPECT_STREQ(ColorIdentTable[29].name, "clDefault");
  EXPECT_EQ(ColorIdentTable[29].value, clDefault);
  EXPECT_STREQ(ColorIdentTable[42].name, "clNone");
  EXPECT_EQ(ColorIdentTable[42].value, clNone);
  EXPECT_STREQ(ColorIdentTable[48].name, "clWindowText");
  EXPECT_EQ(ColorIdentTable[48].value, 0x80000008u);
}

TEST(ColorText, NamesAndNumbersReadTheSameColour) {
  EXPECT_EQ(TextToColor("clRed"), 0x000000FFu);
  EXPECT_EQ(TextToColor("CLRED"), 0x000000FFu);
  EXPECT_EQ(TextToColor("255"), 0x000000FFu);
  EXPECT_EQ(TextToColor("16711680"), 0x00FF0000u);
  EXPECT_EQ(TextToColor("$00A56E3A"), 0x00A56E3Au);
  EXPECT_EQ(TextToColor("clBackground"), 0x80000001u);
  EXPECT_EQ(TextToColor("$80000001"), 0x80000001u);
  EXPECT_EQ(TextToColor("-1"), 0xFFFFFFFFu);
  EXPECT_THAT([] { TextToColor("clReddish"); },
              ThrowsMessage<SettingsError>("'clReddish' is not a valid integer value"));
}

TEST(ColorText, WrittenAsTheFirstMatchingNameElseEightHexDigits) {
  EXPECT_EQ(ColorToText(TextToColor("clRed")), "clRed");
  EXPECT_EQ(ColorToText(TextToColor("255")), "clRed");
  EXPECT_EQ(ColorToText(0x80000001), "clBackground");
  EXPECT_EQ(ColorToText(0), "clBlack");
  EXPECT_EQ(ColorToText(0x00A56E3A), "$00A56E3A");
  EXPECT_EQ(ColorToText(0x00000001), "$00000001");
  EXPECT_EQ(ColorToText(0xFFFFFFFF), "$FFFFFFFF");
  EXPECT_EQ(TextToColor(ColorToText(0x00A56E3A)), 0x00A56E3Au);
}

}  // namespace
}  // namespace tessora
