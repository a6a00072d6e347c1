#include "settings/texthelpers.h"

#include <gtest/gtest.h>

#include <string>

namespace tessora {
namespace {

TEST(TextToBool, OnlyTheFourTrueWordsInAnyCase) {
  for (const char* yes : {"TRUE", "true", "On", "yes", ".t.", ".T."}) {
    EXPECT_TRUE(TextToBool(yes)) << yes;
  }
  for (const char* no : {"1", "T", "TRUE.", " TRUE", "TRUE ", "", "FALSE", "Y", "tru\xC3\xA9"}) {
    EXPECT_FALSE(TextToBool(no)) << no;
  }
}

TEST(BoolToText, UpperCaseWords) {
  EXPECT_EQ(BoolToText(true), "TRUE");
  EXPECT_EQ(BoolToText(false), "FALSE");
  EXPECT_TRUE(TextToBool(BoolToText(true)));
  EXPECT_FALSE(TextToBool(BoolToText(false)));
}

std::string digits(std::size_t n) {
  std::string s;
  for (std::size_t i = 0; i < n; ++i) {
    s += static_cast<char>('0' + i % 10);
  }
  return s;
}

TEST(ShortenText, FitsUnchangedOneMoreGetsTheEllipsis) {
  const std::string fits = digits(74);
  EXPECT_EQ(ShortenText(fits, 74), fits);

  const std::string longer = digits(75);
  const std::string shortened = ShortenText(longer, 74);
  ASSERT_EQ(shortened.size(), 74u);
  EXPECT_EQ(shortened.substr(0, 46), longer.substr(0, 46));
  EXPECT_EQ(shortened.substr(46, 5), " ... ");  // characters 47 to 51
  EXPECT_EQ(shortened.substr(51), longer.substr(75 - 23));
}

TEST(ShortenText, HeadRoundsHalfToEven) {
  // (55 - 5) * 0.67 = 33.5: the head takes 34 characters, the tail 16.
  const std::string shortened = ShortenText(digits(100), 55);
  ASSERT_EQ(shortened.size(), 55u);
  EXPECT_EQ(shortened.substr(34, 5), " ... ");
}

// "é" is two bytes, "€" three: both count as one character and are never cut.
TEST(ShortenText, CountsUtf8Characters) {
  std::string seventyFour;
  for (int i = 0; i < 37; ++i) {
    seventyFour += "\xC3\xA9\xE2\x82\xAC";
  }
  EXPECT_EQ(ShortenText(seventyFour, 74), seventyFour);

  const std::string seventyFive = seventyFour + "x";
  const std::string shortened = ShortenText(seventyFive, 74);
  std::string expected;
  for (int i = 0; i < 23; ++i) {
    expected += "\xC3\xA9\xE2\x82\xAC";
  }
  expected += " ... ";
  std::string tail = "x";  // the last 23 characters: eleven pairs, then the x
  for (int i = 0; i < 11; ++i) {
    tail = "\xC3\xA9\xE2\x82\xAC" + tail;
  }
  EXPECT_EQ(shortened, expected + tail);
}

TEST(ShortenText, SmallMaximumsCutWithoutEllipsis) {
  EXPECT_EQ(ShortenText("abcdefghijklmnopqrstuvwxyz", 10), "abcdefghij");
  EXPECT_EQ(ShortenText("\xC3\xA9\xC3\xA9\xC3\xA9", 2), "\xC3\xA9\xC3\xA9");
  EXPECT_EQ(ShortenText("abc", -1), "");
  EXPECT_EQ(ShortenText("", 0), "");
}

// Stray continuation bytes stay with the character before them instead of being cut loose.
TEST(ShortenText, MalformedUtf8IsNotSplitFurther) {
  std::string text(30, 'a');
  text += "\x80\x80";
  text += std::string(30, 'b');
  const std::string shortened = ShortenText(text, 40);
  EXPECT_EQ(shortened, std::string(23, 'a') + " ... " + std::string(12, 'b'));
}

}  // namespace
}  // namespace tessora
