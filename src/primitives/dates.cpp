#include "primitives/dates.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <optional>
#include <string_view>

#include "primitives/text_fields.h"

namespace {

// Room for "%06.0f" of any float: the largest has 39 digits, plus sign and
// terminator. Values read from files never exceed ten digits.
constexpr size_t kNumberTextSize = 48;
// Result buffers of StrDate and StrTime: the text and its terminator.
constexpr size_t kResultTextSize = kDateTextRoom + 1;
// The text conversions copy each part into a work area of this size, so a
// part holds at most 11 characters.
constexpr size_t kPartWorkSize = 12;

constexpr int16_t kDaysInMonth[12] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

// A date value of 1,000,000 or more carries the year since 1900 in front of
// its last four digits (MMDD).
constexpr size_t kMonthDayDigits = 4;
constexpr size_t kSixDigits = 6;

// Typed two-digit years below this pivot belong to 2000-2049.
constexpr long long kTypedYearPivot = 50;

struct SplitNumber {
  int16_t first;          // year or hour
  int16_t second;         // month or minute
  int16_t third;          // day or second
  int16_t yearOfCentury;  // the two-digit year the text forms show
};

struct NumberText {
  char text[kNumberTextSize];
  size_t length;
};

NumberText FormatNumber(float value) {
  NumberText number{};
  const int written = std::snprintf(number.text, sizeof number.text, "%06.0f", static_cast<double>(value));
  number.length = written < 0 ? 0 : std::strlen(number.text);
  return number;
}

// Up to two characters from position pos, converted as strtol converts them
// (a leading minus sign is accepted, the first non-digit ends the number).
int16_t TwoCharacterPart(const NumberText& number, size_t pos) {
  const auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
  if (pos + 1 < number.length && isDigit(number.text[pos]) && isDigit(number.text[pos + 1]))
    return static_cast<int16_t>((number.text[pos] - '0') * 10 + (number.text[pos + 1] - '0'));
  char part[3] = {};
  for (size_t i = 0; i < 2 && pos + i < number.length; ++i) part[i] = number.text[pos + i];
  return static_cast<int16_t>(std::strtol(part, nullptr, 10));
}

// Characters 0-1, 2-3 and 4-5; anything after position 5 is ignored. This is
// how -1.0 and -2.0 ("-00001", "-00002") come to split into 0, 0, 1 and 0, 0, 2.
SplitNumber SplitSixCharacters(const NumberText& number) {
  SplitNumber parts{};
  parts.first = TwoCharacterPart(number, 0);
  parts.second = TwoCharacterPart(number, 2);
  parts.third = TwoCharacterPart(number, 4);
  parts.yearOfCentury = parts.first;
  return parts;
}

bool AllDigits(const NumberText& number) {
  for (size_t i = 0; i < number.length; ++i) {
    if (number.text[i] < '0' || number.text[i] > '9') return false;
  }
  return true;
}

// Whole non-negative values below 2^32, which every stored date and time is,
// split by arithmetic into the parts their "%06.0f" text gives: the tests
// split every date and time of a file, and formatting would dominate their
// time. nullopt for every other value.
std::optional<uint32_t> WholeValue(float value) {
  if (!(value >= 0.0f) || std::signbit(value) || value >= 4294967296.0f || value != std::floor(value))
    return std::nullopt;
  return static_cast<uint32_t>(value);
}

// The first six of the (at least six, zero-padded) digits of n.
uint32_t FirstSixDigits(uint32_t n) {
  while (n >= 1000000) n /= 10;
  return n;
}

SplitNumber SplitSixDigits(uint32_t sixDigits) {
  SplitNumber parts{};
  parts.first = static_cast<int16_t>(sixDigits / 10000);
  parts.second = static_cast<int16_t>(sixDigits / 100 % 100);
  parts.third = static_cast<int16_t>(sixDigits % 100);
  parts.yearOfCentury = parts.first;
  return parts;
}

// The three parts as "%02d<sep>%02d<sep>%02d" prints them, written directly:
// the editor and the reports show every date and time of a file.
char* WriteThreeParts(char* out, int16_t first, int16_t second, int16_t third, char separator) {
  char* const start = out;
  for (const int16_t part : {first, second, third}) {
    if (out != start) *out++ = separator;
    if (part >= 0 && part < 10) *out++ = '0';
    out = std::to_chars(out, start + kDateTextRoom, part).ptr;
  }
  return out;
}

SplitNumber SplitDate(float date) {
  if (const std::optional<uint32_t> whole = WholeValue(date)) {
    if (*whole < 1000000) return SplitSixDigits(*whole);
    SplitNumber parts{};
    parts.first =
        static_cast<int16_t>(std::min<uint32_t>(*whole / 10000, std::numeric_limits<int16_t>::max()));
    parts.second = static_cast<int16_t>(*whole / 100 % 100);
    parts.third = static_cast<int16_t>(*whole % 100);
    parts.yearOfCentury = static_cast<int16_t>(*whole / 10000 % 100);
    return parts;
  }
  const NumberText number = FormatNumber(date);
  if (number.length <= kSixDigits || !AllDigits(number)) return SplitSixCharacters(number);

  // CYYMMDD and beyond: the digits before MMDD are the year since 1900. Years
  // too large for the 16-bit part are capped; they are invalid either way.
  const size_t yearDigits = number.length - kMonthDayDigits;
  int32_t year = 0;
  for (size_t i = 0; i < yearDigits; ++i) {
    year = year * 10 + (number.text[i] - '0');
    if (year > std::numeric_limits<int16_t>::max()) {
      year = std::numeric_limits<int16_t>::max();
      break;
    }
  }
  SplitNumber parts{};
  parts.first = static_cast<int16_t>(year);
  parts.second = TwoCharacterPart(number, yearDigits);
  parts.third = TwoCharacterPart(number, yearDigits + 2);
  parts.yearOfCentury = TwoCharacterPart(number, yearDigits - 2);
  return parts;
}

SplitNumber SplitTime(float time) {
  if (const std::optional<uint32_t> whole = WholeValue(time)) return SplitSixDigits(FirstSixDigits(*whole));
  return SplitSixCharacters(FormatNumber(time));
}

bool FitsInt16(long long value) {
  return value >= std::numeric_limits<int16_t>::min() && value <= std::numeric_limits<int16_t>::max();
}

// The three numbers of "a<sep>b<sep>c". False when the text does not hold
// exactly two separators or a part does not fit the work area. Each part is
// converted as strtol converts it: leading blanks accepted, the first
// non-digit ends the number, an empty part is 0.
bool SplitText(const char* text, char separator, long long (&numbers)[3]) {
  if (text == nullptr || CountOccurences(text, separator) != 2) return false;
  std::string_view rest(text);
  for (long long& number : numbers) {
    const size_t end = rest.find(separator);
    const std::string_view part = rest.substr(0, end);
    if (part.size() >= kPartWorkSize) return false;
    char work[kPartWorkSize] = {};
    part.copy(work, part.size());
    number = std::strtoll(work, nullptr, 10);
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
  }
  return true;
}

float ComposeNumber(int32_t first, int32_t second, int32_t third) {
  // At most 1991231 for a date and 235999 for a time: exact in a float.
  return static_cast<float>(first * 10000 + second * 100 + third);
}

}  // namespace

int IsValidDate(int16_t day, int16_t month, int16_t year) {
  if (year < 0 || year > kMaxYearSince1900) return 0;
  if (month < 1 || month > 12) return 0;
  int16_t lastDay = kDaysInMonth[month - 1];
  // Divisible by 4 is right for every year from 1901 to 2099.
  if (month == 2 && year % 4 != 0) lastDay = 28;
  return day >= 1 && day <= lastDay ? 1 : 0;
}

int MakeDate(float* date, int16_t day, int16_t month, int16_t year) {
  if (!IsValidDate(day, month, year)) return 0;
  *date = ComposeNumber(year, month, day);
  return 1;
}

int ExtractDate(float date, int16_t* day, int16_t* month, int16_t* year) {
  const SplitNumber parts = SplitDate(date);
  *year = parts.first;
  *month = parts.second;
  *day = parts.third;
  return IsValidDate(parts.third, parts.second, parts.first);
}

int IsValidFloatDate(float date) {
  const SplitNumber parts = SplitDate(date);
  return IsValidDate(parts.third, parts.second, parts.first);
}

int RemakeDate(float date, float* remade) {
  if (const std::optional<uint32_t> whole = WholeValue(date)) {
    // SplitDate's parts of a whole value, without its cap on the year (a
    // year beyond it is invalid either way); a valid date is made again as
    // the value it was split from.
    const uint32_t year = *whole / 10000;
    if (year > static_cast<uint32_t>(kMaxYearSince1900) ||
        !IsValidDate(static_cast<int16_t>(*whole % 100), static_cast<int16_t>(*whole / 100 % 100),
                     static_cast<int16_t>(year)))
      return 0;
    *remade = date;
    return 1;
  }
  const SplitNumber parts = SplitDate(date);
  return MakeDate(remade, parts.third, parts.second, parts.first);
}

char* WriteDateText(char* out, float date) {
  const SplitNumber parts = SplitDate(date);
  return WriteThreeParts(out, parts.third, parts.second, parts.yearOfCentury, '/');
}

const char* StrDate(float date) {
  static thread_local char text[kResultTextSize];
  *WriteDateText(text, date) = '\0';
  return text;
}

float MakeDateFromString(const char* text) {
  long long numbers[3];
  if (!SplitText(text, '/', numbers)) return -1.0f;
  const long long day = numbers[0];
  const long long month = numbers[1];
  long long year = numbers[2];
  if (year < 0 || year > 99 || !FitsInt16(day) || !FitsInt16(month)) return -1.0f;
  if (year < kTypedYearPivot) year += 100;
  float date = -1.0f;
  MakeDate(&date, static_cast<int16_t>(day), static_cast<int16_t>(month), static_cast<int16_t>(year));
  return date;
}

float MakeDateFromIsoString(const char* text) {
  const std::string_view typed = text != nullptr ? text : "";
  constexpr std::string_view kDigitsAt = "dddd-dd-dd";
  if (typed.size() != kDigitsAt.size()) return -1.0f;
  for (size_t i = 0; i < typed.size(); ++i) {
    const bool digit = typed[i] >= '0' && typed[i] <= '9';
    if (kDigitsAt[i] == 'd' ? !digit : typed[i] != kDigitsAt[i]) return -1.0f;
  }
  const int year = std::atoi(text) - 1900;
  const int month = std::atoi(text + 5);
  const int day = std::atoi(text + 8);
  float date = -1.0f;
  MakeDate(&date, static_cast<int16_t>(day), static_cast<int16_t>(month), static_cast<int16_t>(year));
  return date;
}

int IsValidTime(int16_t hour, int16_t minute, int16_t second) {
  // Seconds run to 99, as every stored time allows.
  return hour >= 0 && hour <= 23 && minute >= 0 && minute <= 59 && second >= 0 && second <= 99 ? 1 : 0;
}

int MakeTime(float* time, int16_t hour, int16_t minute, int16_t second) {
  if (!IsValidTime(hour, minute, second)) return 0;
  *time = ComposeNumber(hour, minute, second);
  return 1;
}

int ExtractTime(float time, int16_t* hour, int16_t* minute, int16_t* second) {
  const SplitNumber parts = SplitTime(time);
  *hour = parts.first;
  *minute = parts.second;
  *second = parts.third;
  return 1;
}

int IsValidFloatTime(float time) {
  const SplitNumber parts = SplitTime(time);
  return IsValidTime(parts.first, parts.second, parts.third);
}

int RemakeTime(float time, float* remade) {
  if (const std::optional<uint32_t> whole = WholeValue(time)) {
    // SplitTime's parts of a whole value; a valid time is made again as the
    // six digits it was split from.
    const uint32_t six = FirstSixDigits(*whole);
    if (!IsValidTime(static_cast<int16_t>(six / 10000), static_cast<int16_t>(six / 100 % 100),
                     static_cast<int16_t>(six % 100)))
      return 0;
    *remade = static_cast<float>(six);
    return 1;
  }
  const SplitNumber parts = SplitTime(time);
  return MakeTime(remade, parts.first, parts.second, parts.third);
}

char* WriteTimeText(char* out, float time) {
  const SplitNumber parts = SplitTime(time);
  return WriteThreeParts(out, parts.first, parts.second, parts.third, ':');
}

const char* StrTime(float time) {
  static thread_local char text[kResultTextSize];
  *WriteTimeText(text, time) = '\0';
  return text;
}

float MakeTimeFromString(const char* text) {
  long long numbers[3];
  if (!SplitText(text, ':', numbers)) return -1.0f;
  for (const long long number : numbers) {
    if (!FitsInt16(number)) return -1.0f;
  }
  float time = -1.0f;
  MakeTime(&time, static_cast<int16_t>(numbers[0]), static_cast<int16_t>(numbers[1]),
           static_cast<int16_t>(numbers[2]));
  return time;
}
