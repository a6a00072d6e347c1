#include "settings/text_helpers.h"

#include <gtest/gtest.h>

namespace tessora {
namespace {

TEST(TextToBool, OnlyTheFourTrueWordsInAnyCase) {
  for (const char* yes : {"TRUE", "yes", "On", ".t."}) {
    EXPECT_TRUE(TextToBool(yes)) << yes;
  }
  for (const char* no : {"1", "T", "TRUE.", " TRUE", "", "FALSE"}) {
    EXPECT_FALSE(TextToBool(no)) << no;
  }
  EXPECT_TRUE(TextToBool(BoolToText(true)));
  EXPECT_FALSE(TextToBool(BoolToText(false)));
}

std::string repeat(const std::string& unit, int times) {
  std::string s;
  for (int i = 0; i < times; ++i) {
    s += unit;
  }
  return s;
}

TEST(ShortenText, FitsUnchangedOneMoreGetsTheEllipsis) {
  std::string text;
  for (int i = 0; i < 75; ++i) {
    text += static_cast<char>('0' + i % 10);
  }
  EXPECT_EQ(ShortenText(text.substr(0, 74), 74), text.substr(0, 74));
  const std::string shortened = ShortenText(text, 74);
  EXPECT_EQ(shortened, text.substr(0, 46) + " ... " + text.substr(75 - 23));
  // (55 - 5) * 0.67 = 33.5: the head rounds to the even 34.
  EXPECT_EQ(ShortenText(repeat("a", 60), 55).find(' '), 34u);
}

// "é" is two bytes and "€" three; each counts as one character and is never cut.
TEST(ShortenText, CountsUtf8Characters) {
  const std::string pair = "\xC3\xA9\xE2\x82\xAC";
  EXPECT_EQ(ShortenText(repeat(pair, 37), 74), repeat(pair, 37));
  EXPECT_EQ(ShortenText(repeat(pair, 37) + "x", 74),
            repeat(pair, 23) + " ... " + repeat(pair, 11) + "x");
  EXPECT_EQ(ShortenText(repeat("\xC3\xA9", 3), 2), repeat("\xC3\xA9", 2));  // below 20: a plain cut
  // A stray continuation byte stays with the character before it.
  EXPECT_EQ(ShortenText(repeat("a", 30) + "\x80" + repeat("b", 30), 40),
            repeat("a", 23) + " ... " + repeat("b", 12));
}

}  // namespace
}  // namespace tessora
