#include "settings/color_text.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "settings/settings_error.h"

namespace tessora {
namespace {

using ::testing::ThrowsMessage;

TEST(TextToInt, SignsPrefixesAndRange) {
  EXPECT_EQ(TextToInt("-40"), -40);
  EXPECT_EQ(TextToInt(" +7"), 7);
  EXPECT_EQ(TextToInt("$20"), 32);
  EXPECT_EQ(TextToInt("x1f") + TextToInt("X1F") + TextToInt("0x1F") + TextToInt("0X1f"), 4 * 31);
  EXPECT_EQ(TextToInt("-$10"), -16);
  EXPECT_EQ(TextToInt("-2147483648"), -2147483647 - 1);
  EXPECT_EQ(TextToInt("$FFFFFFFF"), -1);
  EXPECT_EQ(TextToInt("$0000000000FF"), 255);  // leading zeros are not significant
  for (const char* bad :
       {"2147483648", "-2147483649", "$100000000", "$", "0x", "-", "+-1", "1 ", "1.5", "$G"}) {
    EXPECT_THROW(TextToInt(bad), SettingsError) << bad;
  }
  EXPECT_THAT([] { TextToInt("12px"); },
              ThrowsMessage<SettingsError>("'12px' is not a valid integer value"));
}

TEST(ColorText, ReadByNameOrNumberWrittenByFirstName) {
  EXPECT_EQ(ColorIdentTable.size(), 49u);
  EXPECT_EQ(TextToColor("CLRED"), 0x000000FFu);
  EXPECT_EQ(TextToColor("16711680"), 0x00FF0000u);
  EXPECT_EQ(ColorToText(TextToColor("255")), "clRed");
  EXPECT_EQ(TextToColor("clBackground"), 0x80000001u);
  EXPECT_EQ(ColorToText(0x80000001), "clBackground");
  EXPECT_EQ(ColorToText(clNone), "clNone");
  EXPECT_EQ(ColorToText(0x00A56E3A), "$00A56E3A");
  EXPECT_EQ(TextToColor("$00A56E3A"), 0x00A56E3Au);
  EXPECT_EQ(ColorToText(TextToColor("-1")), "$FFFFFFFF");
  EXPECT_THAT([] { TextToColor("clReddish"); },
              ThrowsMessage<SettingsError>("'clReddish' is not a valid integer value"));
}

}  // namespace
}  // namespace tessora
