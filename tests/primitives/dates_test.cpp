#include "primitives/dates.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include <gtest/gtest.h>

namespace {

struct DateParts {
  int16_t day;
  int16_t month;
  int16_t year;  // since 1900
};

bool operator==(const DateParts& a, const DateParts& b) {
  return a.day == b.day && a.month == b.month && a.year == b.year;
}

std::ostream& operator<<(std::ostream& out, const DateParts& p) {
  return out << p.day << "/" << p.month << "/" << p.year;
}

struct ExtractCase {
  float value;
  DateParts parts;
  int valid;
  const char* text;  // StrDate
};

const ExtractCase kExtractCases[] = {
    {960115.0f, {15, 1, 96}, 1, "15/01/96"},
    {960115.4f, {15, 1, 96}, 1, "15/01/96"},
    {991231.0f, {31, 12, 99}, 1, "31/12/99"},
    {30305.0f, {5, 3, 3}, 1, "05/03/03"},
    {0.0f, {0, 0, 0}, 0, "00/00/00"},
    // "%06.0f" gives -00001 and -00002: characters 0-1 are "-0".
    {-1.0f, {1, 0, 0}, 0, "01/00/00"},
    {-2.0f, {2, 0, 0}, 0, "02/00/00"},
    {-1234567.0f, {45, 23, -1}, 0, "45/23/-1"},
    // CYYMMDD: the year since 1900 stands before MMDD.
    {1000101.0f, {1, 1, 100}, 1, "01/01/00"},
    {1100104.0f, {4, 1, 110}, 1, "04/01/10"},
    {1991231.0f, {31, 12, 199}, 1, "31/12/99"},
    {1000229.0f, {29, 2, 100}, 1, "29/02/00"},
    {1010229.0f, {29, 2, 101}, 0, "29/02/01"},
    {1000230.0f, {30, 2, 100}, 0, "30/02/00"},
    {2000101.0f, {1, 1, 200}, 0, "01/01/00"},
    {999999.6f, {0, 0, 100}, 0, "00/00/00"},  // rounds up to 1000000
    {1000000000.0f, {0, 0, 32767}, 0, "00/00/00"},
};

TEST(DateSplit, PartsValidityAndTextFollowTheFormattedNumber) {
  for (const ExtractCase& c : kExtractCases) {
    DateParts parts{-99, -99, -99};
    EXPECT_EQ(ExtractDate(c.value, &parts.day, &parts.month, &parts.year), c.valid) << c.value;
    EXPECT_EQ(parts, c.parts) << c.value;
    EXPECT_EQ(IsValidFloatDate(c.value), c.valid) << c.value;
    EXPECT_STREQ(StrDate(c.value), c.text) << c.value;
  }
}

TEST(DateSplit, ValuesWithoutADateNeverOverrunOrValidate) {
  const float cases[] = {
      std::numeric_limits<float>::max(),       -std::numeric_limits<float>::max(),
      std::numeric_limits<float>::infinity(),  -std::numeric_limits<float>::infinity(),
      std::numeric_limits<float>::quiet_NaN(), 1e20f,
  };
  for (const float value : cases) {
    DateParts parts{};
    EXPECT_EQ(ExtractDate(value, &parts.day, &parts.month, &parts.year), 0) << value;
    EXPECT_EQ(IsValidFloatDate(value), 0) << value;
    EXPECT_LE(std::string(StrDate(value)).size(), 15u) << value;
    EXPECT_LE(std::string(StrTime(value)).size(), 15u) << value;
  }
}

struct ValidityCase {
  DateParts parts;
  int valid;
};

TEST(DateValidity, MonthLengthsLeapYearsAndTheYearRange) {
  const ValidityCase cases[] = {
      {{29, 2, 96}, 1},  {{29, 2, 97}, 0},  {{29, 2, 100}, 1}, {{29, 2, 0}, 1},  {{28, 2, 97}, 1},
      {{29, 2, 104}, 1}, {{29, 2, 199}, 0}, {{31, 4, 96}, 0},  {{30, 4, 96}, 1}, {{0, 1, 96}, 0},
      {{1, 0, 96}, 0},   {{1, 13, 96}, 0},  {{32, 1, 96}, 0},  {{31, 1, 96}, 1}, {{31, 3, 96}, 1},
      {{31, 5, 96}, 1},  {{31, 6, 96}, 0},  {{31, 7, 96}, 1},  {{31, 8, 96}, 1}, {{31, 9, 96}, 0},
      {{31, 10, 96}, 1}, {{31, 11, 96}, 0}, {{31, 12, 96}, 1}, {{1, 1, 0}, 1},   {{31, 12, 199}, 1},
      {{1, 1, 200}, 0},  {{1, 1, -1}, 0},   {{-1, 1, 96}, 0},  {{1, -1, 96}, 0},
  };
  for (const ValidityCase& c : cases) {
    EXPECT_EQ(IsValidDate(c.parts.day, c.parts.month, c.parts.year), c.valid) << c.parts;
  }
}

TEST(MakeDate, ComposesYearSince1900MonthDay) {
  const struct {
    DateParts parts;
    float value;
  } cases[] = {
      {{15, 1, 96}, 960115.0f},  {{5, 3, 3}, 30305.0f},       {{1, 1, 100}, 1000101.0f},
      {{4, 1, 110}, 1100104.0f}, {{31, 12, 199}, 1991231.0f},
  };
  for (const auto& c : cases) {
    float value = -5.0f;
    EXPECT_EQ(MakeDate(&value, c.parts.day, c.parts.month, c.parts.year), 1) << c.parts;
    EXPECT_EQ(value, c.value) << c.parts;
  }
}

TEST(MakeDate, InvalidPartsWriteNothing) {
  float value = -5.0f;
  EXPECT_EQ(MakeDate(&value, 29, 2, 97), 0);
  EXPECT_EQ(MakeDate(&value, 1, 1, 200), 0);
  EXPECT_EQ(value, -5.0f);
}

// Every valid date from 1900 to 2099, in calendar order: composing and
// splitting again gives the same parts, and the stored values ascend, so
// comparisons across 1999/2000 are right.
TEST(DateRoundTrip, EveryDateOfTheTwoCenturiesSplitsBackAndSortsInCalendarOrder) {
  float previous = -1.0f;
  int dates = 0;
  for (int16_t year = 0; year <= kMaxYearSince1900; ++year) {
    for (int16_t month = 1; month <= 12; ++month) {
      for (int16_t day = 1; day <= 31; ++day) {
        if (!IsValidDate(day, month, year)) continue;
        float value = 0.0f;
        ASSERT_EQ(MakeDate(&value, day, month, year), 1);
        DateParts back{};
        ASSERT_EQ(ExtractDate(value, &back.day, &back.month, &back.year), 1) << value;
        ASSERT_EQ(back, (DateParts{day, month, year})) << value;
        ASSERT_GT(value, previous) << value;
        previous = value;
        ++dates;
      }
    }
  }
  EXPECT_EQ(dates, 200 * 365 + 50);  // a leap day every fourth year
}

TEST(DateRoundTrip, StoredValuesAcrossTheCenturyComposeToThemselves) {
  const float values[] = {991230.0f, 991231.0f, 1000101.0f, 1000102.0f, 1000229.0f, 1100104.0f};
  for (const float value : values) {
    DateParts parts{};
    ASSERT_EQ(ExtractDate(value, &parts.day, &parts.month, &parts.year), 1) << value;
    float again = 0.0f;
    ASSERT_EQ(MakeDate(&again, parts.day, parts.month, parts.year), 1) << value;
    EXPECT_EQ(again, value);
  }
  EXPECT_LT(991231.0f, 1000101.0f);
}

struct TextCase {
  const char* text;
  float value;
};

TEST(MakeDateFromString, DayMonthTwoDigitYear) {
  const TextCase cases[] = {
      {"15/01/96", 960115.0f}, {"15/1/96", 960115.0f},     {" 15/ 1/ 96", 960115.0f}, {"29/2/96", 960229.0f},
      {"29/2/97", -1.0f},      {"29/2/00", 1000229.0f},    {"31/4/96", -1.0f},        {"0/1/96", -1.0f},
      {"31/12/99", 991231.0f}, {"15/01/96abc", 960115.0f},  // the number ends at the first non-digit
  };
  for (const TextCase& c : cases) {
    EXPECT_EQ(MakeDateFromString(c.text), c.value) << c.text;
  }
}

TEST(MakeDateFromString, TypedYearsBelow50AreThisCentury) {
  const TextCase cases[] = {
      {"1/1/49", 1490101.0f}, {"1/1/50", 500101.0f},  {"5/3/3", 1030305.0f},
      {"4/1/10", 1100104.0f}, {"1/1/00", 1000101.0f}, {"1/1/", 1000101.0f},  // an empty part is 0
  };
  for (const TextCase& c : cases) {
    EXPECT_EQ(MakeDateFromString(c.text), c.value) << c.text;
  }
  EXPECT_STREQ(StrDate(MakeDateFromString("5/3/3")), "05/03/03");
}

TEST(MakeDateFromString, YearsOutsideTwoDigitsAndWrongSeparatorsAreRejected) {
  const char* cases[] = {
      "15/01/1996", "15/01/100", "15/01/-1", "15-01-96", "15/01/96/", "15/0196", "", "/", "//", "-15/1/96",
  };
  for (const char* text : cases) {
    EXPECT_EQ(MakeDateFromString(text), -1.0f) << text;
  }
  EXPECT_EQ(MakeDateFromString(nullptr), -1.0f);
}

TEST(MakeDateFromString, PartsAreLimitedToElevenCharacters) {
  EXPECT_EQ(MakeDateFromString("00000000015/01/96"), 960115.0f);  // day of 11 characters
  EXPECT_EQ(MakeDateFromString("000000000015/01/96"), -1.0f);     // 12
  EXPECT_EQ(MakeDateFromString("15/01/         96"), 960115.0f);  // 11 with the blanks
  EXPECT_EQ(MakeDateFromString("15/01/          96"), -1.0f);     // 12
}

TEST(MakeDateFromString, HostileTextsNeverOverrunAndGiveMinusOne) {
  const std::string digits(100000, '9');
  const std::string separators(100000, '/');
  const std::string cases[] = {
      digits,
      separators,
      digits + "/" + digits + "/" + digits,
      "1/1/" + digits,
      digits + "/1/96",
      "1/1/96" + separators,
      // Numbers that would wrap to a valid date if narrowed to 16 bits.
      "65537/1/96",
      "1/65548/96",
      "1/1/65632",
      "-65535/1/96",
      "99999999999/1/96",
  };
  for (const std::string& text : cases) {
    EXPECT_EQ(MakeDateFromString(text.c_str()), -1.0f) << text.substr(0, 40);
  }
}

struct TimeParts {
  int16_t hour;
  int16_t minute;
  int16_t second;
};

bool operator==(const TimeParts& a, const TimeParts& b) {
  return a.hour == b.hour && a.minute == b.minute && a.second == b.second;
}

std::ostream& operator<<(std::ostream& out, const TimeParts& p) {
  return out << p.hour << ":" << p.minute << ":" << p.second;
}

TEST(TimeSplit, PartsValidityAndText) {
  const struct {
    float value;
    TimeParts parts;
    int valid;
    const char* text;
  } cases[] = {
      {93000.0f, {9, 30, 0}, 1, "09:30:00"},
      {235999.0f, {23, 59, 99}, 1, "23:59:99"},
      {0.0f, {0, 0, 0}, 1, "00:00:00"},
      // The corrupt-number marker and the rejected-text value split into
      // valid times.
      {-1.0f, {0, 0, 1}, 1, "00:00:01"},
      {-2.0f, {0, 0, 2}, 1, "00:00:02"},
      {240000.0f, {24, 0, 0}, 0, "24:00:00"},
      {126000.0f, {12, 60, 0}, 0, "12:60:00"},
      // Times carry no century: characters after the sixth are ignored.
      {1234567.0f, {12, 34, 56}, 1, "12:34:56"},
  };
  for (const auto& c : cases) {
    TimeParts parts{-99, -99, -99};
    EXPECT_EQ(ExtractTime(c.value, &parts.hour, &parts.minute, &parts.second), 1) << c.value;
    EXPECT_EQ(parts, c.parts) << c.value;
    EXPECT_EQ(IsValidFloatTime(c.value), c.valid) << c.value;
    EXPECT_STREQ(StrTime(c.value), c.text) << c.value;
  }
}

TEST(TimeValidity, SecondsRunToNinetyNine) {
  const struct {
    TimeParts parts;
    int valid;
  } cases[] = {
      {{23, 59, 99}, 1}, {{0, 0, 0}, 1},  {{24, 0, 0}, 0}, {{12, 60, 0}, 0},
      {{12, 0, 100}, 0}, {{-1, 0, 0}, 0}, {{0, -1, 0}, 0}, {{0, 0, -1}, 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsValidTime(c.parts.hour, c.parts.minute, c.parts.second), c.valid) << c.parts;
  }
}

TEST(MakeTime, ComposesOrWritesNothing) {
  float value = -5.0f;
  EXPECT_EQ(MakeTime(&value, 9, 30, 0), 1);
  EXPECT_EQ(value, 93000.0f);
  value = -5.0f;
  EXPECT_EQ(MakeTime(&value, 24, 0, 0), 0);
  EXPECT_EQ(value, -5.0f);
}

TEST(MakeTimeFromString, HourMinuteSecond) {
  const TextCase cases[] = {
      {"23:59:99", 235999.0f},
      {"9:30:00", 93000.0f},
      {"0:0:0", 0.0f},
      {"::", 0.0f},
      {"24:00:00", -1.0f},
      {"12:60:00", -1.0f},
      {"12:00:100", -1.0f},
      {"9:30", -1.0f},
      {"9:30:00:", -1.0f},
      {"9.30.00", -1.0f},
      {"", -1.0f},
      {"-1:00:00", -1.0f},
      {"65545:0:0", -1.0f},
      {"00000000009:30:00", 93000.0f},
      {"000000000009:30:00", -1.0f},
  };
  for (const TextCase& c : cases) {
    EXPECT_EQ(MakeTimeFromString(c.text), c.value) << c.text;
  }
  EXPECT_EQ(MakeTimeFromString(nullptr), -1.0f);
  const std::string digits(100000, '7');
  EXPECT_EQ(MakeTimeFromString(digits.c_str()), -1.0f);
  EXPECT_EQ(MakeTimeFromString((digits + ":" + digits + ":" + digits).c_str()), -1.0f);
}

TEST(TextBuffers, EachFunctionOwnsOneBufferReusedByItsNextCall) {
  const char* date = StrDate(960115.0f);
  const char* time = StrTime(93000.0f);
  EXPECT_STREQ(date, "15/01/96");
  EXPECT_STREQ(time, "09:30:00");
  EXPECT_EQ(StrDate(1100104.0f), date);
  EXPECT_STREQ(date, "04/01/10");
  EXPECT_EQ(StrTime(0.0f), time);
  EXPECT_STREQ(time, "00:00:00");
}

}  // namespace
