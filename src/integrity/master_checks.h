// The master test: a data directory's master file checked against a chosen
// set of defect tests, with repairs as it goes (repair, prompt and create
// options), and the later one-at-a-time corrections of the master report.
#pragma once

#include <cstdint>
#include <map>

#include "integrity/dat_checks.h"
#include "integrity/report_target.h"
#include "primitives/list.h"

// A test and the defect it reports share the code.
enum class MasterErrorCode : int32_t {
  MissingDATFile = 0,
  MissingDOPFile = 1,
  BadFileType = 2,
  InconsistentRecordLength = 3,
  StartDateOutOfSync = 4,
  EndDateOutOfSync = 5,
  InvalidTimeBase = 6,
  InvalidDataFormat = 7,
  TooManyFiles = 8,  // header
  TooFewFiles = 9,   // header
  UnknownFileFormat = 10,
  InvalidRecordLength = 11,
  NotAnError = 12,  // never produced
};

inline constexpr int kMasterTestCount = 12;
// The tests in the order the test dialog lists them (by name, without regard
// to case); qvx runs them in this order by default.
inline constexpr int32_t kMasterDialogOrder[kMasterTestCount] = {2, 5, 3, 11, 7, 6, 0, 1, 4, 9, 8, 10};

// The name of a code ("Missing DAT File" ... "Not an Error!"); codes outside
// 0 ... 12 give the name of 12.
const char* GetMasterError(int32_t code);

// The question asked before repairing a defect of this code when prompting is
// on; null for codes that have none (12 and beyond).
const char* GetMasterRepairQuestion(int32_t code);

// Shown when master is shorter than its 53-byte header: such a file is not
// tested and nothing is written to it.
inline constexpr const char* kMasterTooShortText = "The master file is too short to hold its header record.";

// Tests "%smaster" of the directory (ending in a backslash). Codes 8 and 9 run
// on the header, the others on every instrument record, in the order of
// testCodes (twice when given twice; unknown codes do nothing). Each test sees
// the record as earlier tests of the pass left it.
//
// Repairs reach a fixed point in one run: when a record's corrections took
// effect its tests run again, so that what a repair brings to light (code
// 11's length against the field count, the period against the time base, the
// dates read at the mended length) is found, asked about and repaired in the
// same run, with a line of its own on the record. Unless a question was
// answered No, a second run with the same options finds nothing it could
// repair. A defect found again is neither asked about nor listed again: one
// let be stays so, one agreed to is corrected anew (and counts as repaired
// once a correction of it took effect). Where no repair brings anything to
// light, the findings are those of a single pass.
//
// repair: correct each defect where possible, rewriting the record in place
// (without it master is only read, and may be read-only);
// prompt: ask the report first (only Yes repairs); create: allow making a
// missing F<n>.DAT or F<n>.DOP (codes 0 and 1 repair nothing without it, and
// ask nothing). A file is created only when the directory holds no entry of
// its name: one that exists but cannot be opened for reading is never
// emptied. A defect is marked repaired only when its correction took effect:
// a record length that cannot be determined, a file that could not be
// created or a write that failed leaves it "Not Repaired".
//
// The result reaches the report only: ErrorListReady with the findings, or a
// notice and Close — "No Errors Found"; message 1 when memory ran out;
// message 2 when master cannot be opened for reading and writing;
// kMasterTooShortText. Always returns 0.
//
// known: the ends of data files a caller's DAT tests read already, by file
// number; the date tests take them instead of opening a file again when they
// were read with the record's length.
int TestMasterFile(const char* directory, ReportTarget& report, const int32_t* testCodes, int testCount,
                   int repair, int prompt, int create, const std::map<int, DataFileEnds>* known = nullptr);

// The master report's Correct: repairs the defect of this code on the record
// with this file number (0: the header, codes 8 and 9) through the store's
// own operations. It mends that defect only, never what its correction
// brings to light (code 11 leaves the field count): the report marks the one
// line the user chose, and a new test shows the rest. 1 when the correction
// was made; 0 when it cannot be made (no such record, a date or record length
// that cannot be read from the data file, data that is not intraday for code
// 7, a code without a correction, a file of the name codes 0 and 1 would
// create already there) or the write failed — nothing is then written.
int RepairMasterError(const char* directory, int32_t fileNumber, int32_t code);

// 1 when the first defect of this code in the first entry for this file
// number of a master ErrorList is marked repaired; 0 otherwise (and when there
// is no such defect).
int IsMasterErrorRepaired(const List* errorList, int32_t fileNumber, int32_t code);
// Marks that defect repaired in the list itself. 1 when it was found.
int MarkMasterErrorRepaired(List* errorList, int32_t fileNumber, int32_t code);
