// The DAT test: one instrument's data file checked record by record against a
// chosen set of defect tests, the rules of store/record_rules.h (which also
// holds the codes and their names). It never writes to the file; what it
// finds goes to the report as an ErrorList of DATErrorEntry items.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "integrity/report_target.h"
#include "store/dat_file.h"
#include "store/master_file.h"
#include "store/record_rules.h"

// The tests in the order the test dialog lists them (by name, without regard
// to case); qvx runs them in this order by default.
inline constexpr int32_t kDATDialogOrder[kDATTestCount] = {3, 2, 0, 9, 8, 1, 6, 7, 4, 5};

// The text shown when the master record's field count and period match no
// layout this program knows, or its record length cannot hold a single column.
inline constexpr const char* kUnknownDATFormatText = "Unable to test files of this format.";

// The data file's ends as the DAT test read them: what the master test's
// date tests compare with master. The last date is the first four bytes of
// the file's last record length of bytes (as the master test reads it),
// known when those bytes make a whole record the test read.
struct DataFileEnds {
  int32_t recordLength = 0;  // the length the file was read with
  int64_t fileLength = -1;   // -1: the file could not be opened
  std::optional<uint32_t> firstDateWord, lastDateWord;
};

// What the DAT report prints beside the ErrorList, kept by the test as it
// reads so that the report need not read master or the data file again.
struct DATReadings {
  // The data file's 8 bytes from the start of the record before a faulty
  // record: that record's date and, in intraday files, time columns (in
  // records shorter than 8 bytes they run into the faulty record).
  struct PreviousRecord {
    int32_t recordNumber;  // of the faulty record, 1 or more
    std::array<unsigned char, 8> bytes;
  };
  MasterRecord record{};                 // the record the test was given
  std::string fileName;                  // the data file's own name: "F12.DAT", "F256.MWD"
  int64_t fileRecords = 0;               // whole records the file holds, header included
  std::vector<PreviousRecord> previous;  // ascending, one per faulty record after record 0
  int32_t headerCount = -1;              // header bytes 2-3; -1 when they cannot be read
  DataFileEnds ends;

  // Whether the header counts other than the records the file holds. Beyond
  // 65,535 records it can hold only 0, which is no disagreement. Programs
  // that trust the count see records that are not there, or miss some.
  bool HeaderDisagrees() const {
    return headerCount >= 0 && headerCount != (fileRecords > kHeaderCountLimit ? 0 : fileRecords);
  }
};

// Tests "%sF%d.DAT" (directory ending in a backslash, the record's file
// number) with the record's record length, field count and period. The tests
// run on each data record in the order of testCodes; a code given twice runs
// twice, a code outside 0 ... 9 does nothing. Columns that do not fit wholly
// inside the record length are left out, as if the layout had none.
//
// The result reaches the report only: ErrorListReady with the findings, or a
// notice and Close — "No Errors Found"; kUnknownDATFormatText; message 1 when
// memory ran out; message 2 when the data file cannot be opened. A read that
// fails ends the scan as if the file ended there. readings, when given, is
// filled before the list is handed over. Always returns 0.
int TestDATFile(const char* directory, ReportTarget& report, const int32_t* testCodes, int testCount,
                const MasterRecord& record, DATReadings* readings = nullptr);
// The same for the data file fileName (its own name, "F256.MWD") of an
// instrument whose record describes the layout but cannot hold its number.
int TestDataFile(const char* directory, const char* fileName, ReportTarget& report, const int32_t* testCodes,
                 int testCount, const MasterRecord& record, DATReadings* readings = nullptr);
