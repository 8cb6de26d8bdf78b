// The rules every data record keeps, in one place for the two that apply
// them: the DAT test (integrity/dat_checks.h), which reports each record of a
// file that breaks one, and the import (store/record_import.h), which refuses
// a row of text that would break one, so that an imported file is one the
// DAT test finds nothing in.
//
// Values are native floats as MBF_IEEE reads them: kCorruptNumber, the one
// negative value it gives, marks a value that cannot be read. Only the
// corrupt-number rule (code 0) reports such a value; every other rule passes
// over it.
#pragma once

#include <cstdint>

// A rule and the defect that breaks it share the code.
enum class DATErrorCode : int32_t {
  CorruptNumbers = 0,       // recorded on the corrupt column
  HighBelowLow = 1,         // on the Low column
  CloseAboveHigh = 2,       // on the Close column
  CloseBelowLow = 3,        // on the Low column
  OpenBelowLow = 4,         // on the Open column; an open of 0 (none) passes
  OpenAboveHigh = 5,        // on the Open column; an open of 0 (none) passes
  InvalidDates = 6,         // on the Date column
  InvalidTimes = 7,         // on the Time column
  DatesOutOfOrder = 8,      // on column 0
  DateTimesOutOfOrder = 9,  // on column 0
  NotAnError = 10,          // never produced
};

inline constexpr int kDATTestCount = 10;

// The name of a code ("Corrupt Numbers" ... "Not an Error!"); codes outside
// 0 ... 10 give the name of 10.
const char* GetDATError(int32_t code);
inline const char* GetDATError(DATErrorCode code) {
  return GetDATError(static_cast<int32_t>(code));
}

inline bool IsCorruptValue(float value) {
  return value < 0.0f;
}

// Codes 1-3: low above high (High < Low), close above high (Close > High),
// low above close (Close < Low). A corrupt value breaks none of them.
inline bool ValueExceeds(float a, float b) {
  return !IsCorruptValue(a) && !IsCorruptValue(b) && a > b;
}
// Codes 4 and 5: low above open (Open < Low), open above high (Open > High).
// An open of 0 is no open price, as data from before opens were recorded
// carries it: there is nothing to compare.
inline bool OpenExceeds(float open, float a, float b) {
  return open != 0.0f && ValueExceeds(a, b);
}

// Code 8: a record's date against the date of the record before it (as
// StoredDateOf reads it). Daily, weekly and monthly records take a later date
// each; several records of one day are normal in intraday data.
inline bool DatesOutOfOrder(float previousDate, float date, bool intraday) {
  return intraday ? previousDate > date : previousDate >= date;
}
// Code 9, intraday: an earlier date, or within one day an earlier time than
// the record before; a previous time that is not a time cannot order the pair.
inline bool DateTimesOutOfOrder(float previousDate, bool previousTimeValid, float previousTime, float date,
                                float time) {
  if (previousDate != date) return previousDate > date;
  return previousTimeValid && previousTime > time;
}

// The date and time of a stored record as the order rules take the record
// before the one under test: its column's 4 stored bytes (a corrupt number as
// 0), taken apart and made again from the parts. False when they are no valid
// date (a time: no valid time).
bool StoredDateOf(const unsigned char* column, float* date);
bool StoredTimeOf(const unsigned char* column, float* time);
