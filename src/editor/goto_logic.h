// The Goto dialogs' logic apart from their controls: the fields they open
// with (the current record's date, and time for intraday data) and what the
// Goto button does with the typed texts. The dialogs (editor_dialogs.cpp)
// only move texts between their edits and these functions.
#pragma once

#include <cstdint>
#include <string>

#include "filelayer/file_layer.h"
#include "store/master_file.h"

// The texts a person typed. Numbers are read as strtol reads them (an empty
// text is 0); the month comes from the list's selected entry (0: none).
struct GotoInput {
  std::string day;
  int month = 0;
  std::string year;  // two digits: 00-49 mean 2000-2049, 50-99 mean 1950-1999
  std::string hours;
  std::string minutes;
  std::string seconds;
  bool excludeTime = false;  // intraday: search by the date alone
};

enum class GotoOutcome {
  Found,        // record holds the record number
  InvalidDate,  // "An invalid date was specified!"
  InvalidTime,  // "An invalid time was specified!"
  NotFound,     // "Not Found! Do you want to search for another date ?"
};

struct GotoResult {
  GotoOutcome outcome = GotoOutcome::NotFound;
  int32_t record = -1;
};

// The message for an outcome other than Found: "An invalid date was
// specified!", "An invalid time was specified!" (error icon) or the question
// "Not Found! Do you want to search for another date ?" (Yes/No).
const char* GotoMessage(GotoOutcome outcome);

// A typed two-digit year as a year since 1900; -1 for anything outside 0-99.
int16_t TypedYearSince1900(long typed);

// The daily search (by date) or the intraday one (by date and time, or by
// date alone when the time is excluded) over the open data file.
GotoResult SearchGoto(FileHandle file, const MasterRecord& record, const GotoInput& input, bool intraday);

// The fields the dialog opens with: the current record's day, month, year
// (two digits) and, for intraday data, hours, minutes and seconds, each as
// "%d". False when the record's date (or date and time) cannot be read or is
// not valid: "Can't find the current record!", fields left empty.
bool CurrentRecordFields(FileHandle file, const MasterRecord& record, int32_t currentRecord, bool intraday,
                         GotoInput* fields);
