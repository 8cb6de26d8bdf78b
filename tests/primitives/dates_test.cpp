// Dates (YYMMDD, or CYYMMDD from 2000) and times (HHMMSS) held in floats:
// validity against a small calendar model, the split of stored values, and
// the texts a person types.
#include "primitives/dates.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <tuple>

namespace {

bool ModelValidDate(int day, int month, int year) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (year < 0 || year > 199 || month < 1 || month > 12 || day < 1) return false;
  return day <= kDays[month - 1] + (month == 2 && year % 4 == 0 ? 1 : 0);
}

// Every part from one below to one beyond its range, every year of both
// centuries and one on either side: valid as the calendar says; a valid date
// composes, splits back and sorts in calendar order (so comparisons across
// 1999/2000 are right), an invalid one writes nothing.
TEST(Dates, ValidityFollowsTheCalendarAndValidDatesComposeSplitBackAndSort) {
  float previous = -1.0f;
  for (int16_t year = -1; year <= 200; ++year)
    for (int16_t month = -1; month <= 13; ++month)
      for (int16_t day = -1; day <= 32; ++day) {
        const bool valid = ModelValidDate(day, month, year);
        ASSERT_EQ(IsValidDate(day, month, year), valid ? 1 : 0) << day << "/" << month << "/" << year;
        float value = -5.0f;
        ASSERT_EQ(MakeDate(&value, day, month, year), valid ? 1 : 0);
        ASSERT_EQ(value, valid ? static_cast<float>(year * 10000 + month * 100 + day) : -5.0f);
        if (!valid) continue;
        int16_t d, m, y;
        ASSERT_EQ(ExtractDate(value, &d, &m, &y), 1) << value;
        ASSERT_EQ(std::tie(d, m, y), std::tie(day, month, year)) << value;
        ASSERT_GT(value, previous);
        previous = value;
      }
  for (int16_t hour = -1; hour <= 24; ++hour)
    for (int16_t minute = -1; minute <= 60; ++minute)
      for (int16_t second : {-1, 0, 59, 60, 99, 100})
        ASSERT_EQ(IsValidTime(hour, minute, second),
                  hour >= 0 && hour < 24 && minute >= 0 && minute < 60 && second >= 0 && second < 100)
            << hour << ":" << minute << ":" << second;
}

// Splitting formats the value with "%06.0f" and reads characters 0-1, 2-3,
// 4-5; seven or more digits carry the year since 1900 before MMDD.
TEST(Dates, StoredValuesSplitIntoPartsValidityAndText) {
  // A date (D) or a time (T): its value, the parts, valid, the text. From the seventh character on, a time
  // has no century: ignored.
  const std::tuple<char, float, int16_t, int16_t, int16_t, int, const char*> values[] = {
      {'D', 960115.4f, 15, 1, 96, 1, "15/01/96"},    {'D', 30305.0f, 5, 3, 3, 1, "05/03/03"},
      {'D', 0.0f, 0, 0, 0, 0, "00/00/00"},           {'D', -1.0f, 1, 0, 0, 0, "01/00/00"},
      {'D', -1234567.0f, 45, 23, -1, 0, "45/23/-1"}, {'D', 1000101.0f, 1, 1, 100, 1, "01/01/00"},
      {'D', 1991231.0f, 31, 12, 199, 1, "31/12/99"}, {'D', 2000101.0f, 1, 1, 200, 0, "01/01/00"},
      {'D', 999999.6f, 0, 0, 100, 0, "00/00/00"},    {'D', 1000000000.0f, 0, 0, 32767, 0, "00/00/00"},
      {'T', 235999.0f, 23, 59, 99, 1, "23:59:99"},   {'T', -1.0f, 0, 0, 1, 1, "00:00:01"},
      {'T', 240000.0f, 24, 0, 0, 0, "24:00:00"},     {'T', 1234567.0f, 12, 34, 56, 1, "12:34:56"}};
  for (const auto& [kind, value, first, second, third, valid, text] : values) {
    const bool date = kind == 'D';
    int16_t a = -99, b = -99, c = -99;
    EXPECT_EQ((date ? ExtractDate : ExtractTime)(value, &a, &b, &c), date ? valid : 1) << value;
    EXPECT_EQ(std::tie(a, b, c), std::tie(first, second, third)) << value;
    EXPECT_EQ((date ? IsValidFloatDate : IsValidFloatTime)(value), valid) << value;
    EXPECT_STREQ((date ? StrDate : StrTime)(value), text) << value;
  }
  for (float wild : {std::numeric_limits<float>::max(), -std::numeric_limits<float>::infinity(),
                     std::numeric_limits<float>::quiet_NaN(), 1e20f}) {
    EXPECT_EQ(IsValidFloatDate(wild), 0) << wild;
    EXPECT_LE(std::string(StrDate(wild)).size(), 15u) << wild;
    EXPECT_LE(std::string(StrTime(wild)).size(), 15u) << wild;
  }
}

// The order tests' one call is ExtractDate (ExtractTime) and then MakeDate (MakeTime) of the parts: every
// whole value up to 2,500,000, one in 101 of them negated and plus a half, and the wild values.
TEST(Dates, RemakingIsExtractingThenMaking) {
  const auto agree = [](float value) {
    int16_t a, b, c;
    float made = -5.0f, remade = -5.0f;
    const bool date = ExtractDate(value, &a, &b, &c) && MakeDate(&made, a, b, c);
    ASSERT_EQ(RemakeDate(value, &remade), date ? 1 : 0) << value;
    ASSERT_EQ(remade, made) << value;
    made = remade = -5.0f;
    ExtractTime(value, &a, &b, &c);
    ASSERT_EQ(RemakeTime(value, &remade), MakeTime(&made, a, b, c)) << value;
    ASSERT_EQ(remade, made) << value;
  };
  for (int n = 0; n <= 2500000; ++n) {
    agree(static_cast<float>(n));
    if (n % 101 == 0) {
      agree(-static_cast<float>(n));
      agree(n + 0.5f);
    }
  }
  for (float wild : {std::numeric_limits<float>::max(), -std::numeric_limits<float>::infinity(),
                     std::numeric_limits<float>::quiet_NaN(), 1e20f, 4294967296.0f, -0.0f})
    agree(wild);
}

TEST(Dates, TypedTextsTakeTwoSeparatorsThreePartsAndTwoDigitYears) {
  // Blanks lead a part, the first non-digit ends it, an empty part is 0; a part
  // holds at most 11 characters and must fit 16 bits without wrapping round.
  const std::pair<const char*, float> dates[] = {{" 15/ 1/ 96", 960115.0f},       {"15/01/96abc", 960115.0f},
                                                 {"29/2/00", 1000229.0f},         {"1/1/49", 1490101.0f},
                                                 {"1/1/50", 500101.0f},           {"1/1/", 1000101.0f},
                                                 {"00000000015/01/96", 960115.0f}};
  for (const auto& [text, date] : dates) EXPECT_EQ(MakeDateFromString(text), date) << text;
  const std::string longYear = "1/1/" + std::string(100000, '9');
  const char* const none = nullptr;  // no text at all
  for (const char* refused : {"15/01/100", "15/01/-1", "15/01/96/", "15/0196", "", "000000000015/01/96",
                              "65537/1/96", "1/65548/96", "1/1/65632", longYear.c_str(), none})
    EXPECT_EQ(MakeDateFromString(refused), -1.0f) << std::string(refused ? refused : "none").substr(0, 30);
  // YYYY-MM-DD, its year saying its century, reaches 1900-1949 too; exactly those digits, nothing more.
  const std::pair<const char*, float> iso[] = {
      {"1949-03-20", 490320.0f},  {"2010-03-15", 1100315.0f}, {"1900-01-01", 101.0f},
      {"2099-12-31", 1991231.0f}, {"2100-01-01", -1.0f},      {"1899-12-31", -1.0f},
      {"2010-02-29", -1.0f},      {"10-03-15", -1.0f},        {"2010/03/15", -1.0f},
      {"2010-03-15 ", -1.0f},     {"+010-03-15", -1.0f},      {none, -1.0f}};
  for (const auto& [text, date] : iso) EXPECT_EQ(MakeDateFromIsoString(text), date) << (text ? text : "none");
  const std::pair<const char*, float> times[] = {
      {"23:59:99", 235999.0f}, {"9:30:00", 93000.0f}, {"::", 0.0f}};
  for (const auto& [text, time] : times) EXPECT_EQ(MakeTimeFromString(text), time) << text;
  for (const char* refused : {"12:00:100", "9:30", "9:30:00:", "65545:0:0", "000000000009:30:00", none})
    EXPECT_EQ(MakeTimeFromString(refused), -1.0f) << (refused ? refused : "none");
}

}  // namespace
