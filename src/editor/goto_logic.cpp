#include "editor/goto_logic.h"

#include <cstdlib>
#include <string>

#include "primitives/dates.h"
#include "store/dat_file.h"
#include "store/messages.h"
#include "store/record_search.h"

namespace {

// The century pivot of typed years.
constexpr long kFirstTwentiethCenturyYear = 50;

constexpr const char* kNotFoundQuestion = "Not Found! Do you want to search for another date ?";

int16_t Number(const std::string& text) {
  return static_cast<int16_t>(std::strtol(text.c_str(), nullptr, 10));
}

}  // namespace

const char* GotoMessage(GotoOutcome outcome) {
  switch (outcome) {
    case GotoOutcome::InvalidDate:
      return GetError(kInvalidDateMessage);
    case GotoOutcome::InvalidTime:
      return GetError(kInvalidTimeMessage);
    case GotoOutcome::NotFound:
      return kNotFoundQuestion;
    case GotoOutcome::Found:
      break;
  }
  return "";
}

int16_t TypedYearSince1900(long typed) {
  if (typed < 0 || typed > 99) return -1;
  return static_cast<int16_t>(typed < kFirstTwentiethCenturyYear ? typed + 100 : typed);
}

GotoResult SearchGoto(FileHandle file, const MasterRecord& record, const GotoInput& input, bool intraday) {
  GotoResult result;
  const int16_t day = Number(input.day);
  const int16_t month = static_cast<int16_t>(input.month);
  const int16_t year = TypedYearSince1900(std::strtol(input.year.c_str(), nullptr, 10));
  if (IsValidDate(day, month, year) == 0) {
    result.outcome = GotoOutcome::InvalidDate;
    return result;
  }
  if (!intraday || input.excludeTime) {
    result.record = GetRecordNumberFromDate(file, record, day, month, year);
  } else {
    const int16_t hours = Number(input.hours);
    const int16_t minutes = Number(input.minutes);
    const int16_t seconds = Number(input.seconds);
    if (IsValidTime(hours, minutes, seconds) == 0) {
      result.outcome = GotoOutcome::InvalidTime;
      return result;
    }
    result.record = GetRecordNumberFromDateTime(file, record, day, month, year, hours, minutes, seconds);
  }
  result.outcome = result.record == -1 ? GotoOutcome::NotFound : GotoOutcome::Found;
  return result;
}

bool CurrentRecordFields(FileHandle file, const MasterRecord& record, int32_t currentRecord, bool intraday,
                         GotoInput* fields) {
  int16_t day = 0, month = 0, year = 0, hour = 0, minute = 0, second = 0;
  const int read =
      intraday ? GetDateTime(file, record, currentRecord, &day, &month, &year, &hour, &minute, &second)
               : GetDate(file, record, currentRecord, &day, &month, &year);
  if (read == 0) return false;
  fields->day = std::to_string(day);
  fields->month = month;
  fields->year = std::to_string(year % 100);
  if (intraday) {
    fields->hours = std::to_string(hour);
    fields->minutes = std::to_string(minute);
    fields->seconds = std::to_string(second);
  }
  return true;
}
