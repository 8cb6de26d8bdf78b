#include "store/record_search.h"

#include "primitives/dates.h"
#include "primitives/mbf.h"

int32_t GetRecordNumberFromDate(FileHandle handle, const MasterRecord& record, int16_t day, int16_t month,
                                int16_t year) {
  float target = 0.0f;
  if (MakeDate(&target, day, month, year) == 0) return -1;
  const int32_t length = record.RecordLength();
  // A zero record length would read the header's first bytes forever.
  if (length == 0) return -1;
  unsigned char stored[4];
  for (int32_t k = 1; ReadBlock(handle, stored, sizeof stored, length * k, 0) != 0; ++k) {
    if (MBF_IEEE(LoadMbfWord(stored)) >= target) return k - 1;
  }
  return -1;
}

int32_t GetRecordNumberFromDateTime(FileHandle handle, const MasterRecord& record, int16_t day, int16_t month,
                                    int16_t year, int16_t hours, int16_t minutes, int16_t seconds) {
  float targetDate = 0.0f;
  float targetTime = 0.0f;
  if (MakeDate(&targetDate, day, month, year) == 0) return -1;
  if (MakeTime(&targetTime, hours, minutes, seconds) == 0) return -1;
  const int32_t length = record.RecordLength();
  if (length == 0) return -1;
  unsigned char stored[8];
  int32_t k = 1;
  for (; ReadBlock(handle, stored, sizeof stored, length * k, 0) != 0; ++k) {
    float date = MBF_IEEE(LoadMbfWord(stored));
    float time = MBF_IEEE(LoadMbfWord(stored + 4));
    if (date > targetDate || (date == targetDate && time >= targetTime)) return k - 1;
  }
  // k is the first record that could not be read: k - 1 data records.
  return k - 1 >= 2 ? k - 2 : -1;
}
