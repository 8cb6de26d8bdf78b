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
  return RemakeDate(ColumnValue(column), date) != 0;
}

bool StoredTimeOf(const unsigned char* column, float* time) {
  return RemakeTime(ColumnValue(column), time) != 0;
}
