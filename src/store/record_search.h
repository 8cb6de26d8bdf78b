// The Goto searches over an open F<n>.DAT: the record that belongs to a date,
// or to a date and time. Linear scans from the first data record that read
// only the 4 or 8 bytes they compare. Neither shows a message.
//
// Years are years since 1900 (0 ... 199), as the date functions pass them;
// the stored dates they are compared with are (year - 1900) * 10000 +
// MM * 100 + DD, so the order holds across 1999 and 2000.
#pragma once

#include <cstdint>

#include "filelayer/file_layer.h"
#include "store/master_file.h"

// The first data record whose date is on or after the given date; -1 when the
// date is not valid, no record is that late, or the file holds no data record.
int32_t GetRecordNumberFromDate(FileHandle handle, const MasterRecord& record, int16_t day, int16_t month,
                                int16_t year);

// The first data record whose date is the given date with a time at or after
// the given time, or whose date is later. When no record qualifies: the last
// record if the file holds at least two data records, else -1. -1 also when
// the date or the time is not valid.
int32_t GetRecordNumberFromDateTime(FileHandle handle, const MasterRecord& record, int16_t day, int16_t month,
                                    int16_t year, int16_t hours, int16_t minutes, int16_t seconds);
