#include "store/record_rules.h"

#include "primitives/dates.h"
#include "store/dat_file.h"

namespace {

constexpr const char* kDATErrorNames[] = {
    "Corrupt Numbers", "High < Low",    "Close > High",  "Close < Low",        "Open < Low",
    "Open > High",     "Invalid Dates", "Invalid Times", "Dates out of order", "Date/Times out of order",
    "Not an Error!",
};
constexpr int kDATErrorNameCount = sizeof kDATErrorNames / sizeof kDATErrorNames[0];

}  // namespace

const char* GetDATError(int32_t code) {
  return code >= 0 && code < kDATErrorNameCount ? kDATErrorNames[code]
                                                : kDATErrorNames[kDATErrorNameCount - 1];
}

bool StoredDateOf(const unsigned char* column, float* date) {
  int16_t day = 0, month = 0, year = 0;
  return ExtractDate(ColumnValue(column), &day, &month, &year) && MakeDate(date, day, month, year);
}

bool StoredTimeOf(const unsigned char* column, float* time) {
  int16_t hour = 0, minute = 0, second = 0;
  ExtractTime(ColumnValue(column), &hour, &minute, &second);
  return MakeTime(time, hour, minute, second) != 0;
}
