#include "primitives/text_fields.h"

#include <cstring>
#include <string>

#include <gtest/gtest.h>

namespace {

// A field of width characters followed by one spare byte and a sentinel, so
// that any write past the spare byte shows.
std::string Field(const std::string& content, size_t width) {
  std::string field = content;
  field.resize(width, '?');
  return field + "#!";
}

TEST(RTrim, CutsTrailingBlanksOnly) {
  const struct {
    std::string content;
    int width;
    std::string expected;
  } cases[] = {
      {"ABC             ", 16, "ABC"},
      {"                ", 16, ""},
      {"ABCDEFGHIJKLMNOP", 16, "ABCDEFGHIJKLMNOP"},
      {"A B           ", 14, "A B"},
      {"ABC\t  ", 6, "ABC\t"},
      {std::string("AB\0  ", 5), 5, "AB"},  // a terminator stops the scan
      {std::string("AB\0 X", 5), 5, std::string("AB\0 X", 5)},
  };
  for (const auto& c : cases) {
    std::string field = Field(c.content, static_cast<size_t>(c.width));
    EXPECT_EQ(RTrim(field.data(), c.width), 1);
    const size_t end = field.find('\0', c.expected.size());
    EXPECT_EQ(field.substr(0, end), c.expected) << c.content;
    EXPECT_EQ(field.substr(static_cast<size_t>(c.width) + 1), "!") << c.content;
  }
}

TEST(RTrim, AFullFieldIsTerminatedAtItsWidth) {
  std::string field = Field("ABCDEFGHIJKLMNOP", 16);
  RTrim(field.data(), 16);
  EXPECT_EQ(field[16], '\0');
  EXPECT_STREQ(field.c_str(), "ABCDEFGHIJKLMNOP");
}

TEST(RPad, FillsWithBlanksUpToTheWidthWithoutATerminator) {
  char text[20];
  std::memset(text, '#', sizeof text);
  std::strcpy(text, "ABC");
  EXPECT_EQ(RPad(text, 16), 1);
  EXPECT_EQ(std::string(text, 16), "ABC             ");
  EXPECT_EQ(text[16], '#');

  std::memset(text, '#', sizeof text);
  text[0] = '\0';
  RPad(text, 14);
  EXPECT_EQ(std::string(text, 15), std::string(14, ' ') + "#");
}

TEST(RPad, TextAtOrBeyondTheWidthIsLeftAlone) {
  char sixteen[] = "ABCDEFGHIJKLMNOP";
  RPad(sixteen, 14);
  EXPECT_STREQ(sixteen, "ABCDEFGHIJKLMNOP");
  char exact[] = "ABCDEFGHIJKLMN";
  RPad(exact, 14);
  EXPECT_STREQ(exact, "ABCDEFGHIJKLMN");
}

TEST(IsBlankOnly, EmptyOrBlanksOnly) {
  EXPECT_EQ(IsBlankOnly(""), 1);
  EXPECT_EQ(IsBlankOnly("   "), 1);
  EXPECT_EQ(IsBlankOnly(" X"), 0);
  EXPECT_EQ(IsBlankOnly("X "), 0);
  EXPECT_EQ(IsBlankOnly("\t"), 0);
}

TEST(CountOccurences, CountsTheCharacterUpToTheTerminator) {
  EXPECT_EQ(CountOccurences("15/01/96", '/'), 2);
  EXPECT_EQ(CountOccurences("///", '/'), 3);
  EXPECT_EQ(CountOccurences("", '/'), 0);
  EXPECT_EQ(CountOccurences("15-01-96", '/'), 0);
  EXPECT_EQ(CountOccurences("a/b", '\0'), 0);
  EXPECT_EQ(CountOccurences("aAa", 'a'), 2);
}

}  // namespace
