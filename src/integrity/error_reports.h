// The text reports of the DAT and master tests, formatted once from what the
// test read: the report windows' Save Errors and qvx --report write them with
// each line ending in the two bytes LF CR, in that order; qvx prints them with
// plain LF line ends.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "integrity/dat_checks.h"
#include "primitives/list.h"

// A report's lines, without line ends.
using ReportLines = std::vector<std::string>;

// The names of a directory's instruments by file number, from one read of
// master as it is now: the first record with a number names it. The header's
// number 0, and a number without a record, have the empty name.
class InstrumentNames {
 public:
  explicit InstrumentNames(const char* directory);
  const std::string& Name(int32_t fileNumber) const;

 private:
  std::map<int32_t, std::string> names_;
};

// The DAT report of the ErrorList and readings of one DAT test of directory:
// name, layout and period come from the readings' master record, each faulty
// record's "Previous Record's Date" from the bytes the test kept (a record
// without them shows zeros).
ReportLines FormatDATErrorReport(const char* directory, const List* errorList, const DATReadings& readings);

// The master report of an ErrorList of directory (an entry whose file number
// has no name keeps its number and shows an empty name).
ReportLines FormatMasterErrorReport(const char* directory, const List* errorList,
                                    const InstrumentNames& names);

// The lines joined, each followed by lineEnd.
std::string ReportText(const ReportLines& lines, const char* lineEnd);

// Writes the report to fileName (a native path, replaced when it exists),
// each line ending in LF CR. 1 when written whole; 0 when the file cannot be
// created or written.
int WriteReportFile(const char* fileName, const ReportLines& lines);
