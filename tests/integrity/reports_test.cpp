// The saved reports byte for byte (lines end in LF CR), formatted from what
// the tests read, and the catalogues' texts beyond their tables.
#include "integrity/error_reports.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>

#include "integrity/explanations.h"
#include "store/messages.h"
#include "support/fixtures.h"
#include "support/report_fixture.h"

namespace {

using namespace fixtures;

// Entries and defects added in the order a test finds them.
struct Found : integrity_testing::Report {
  Found& Master(int32_t fileNumber, std::vector<std::pair<int32_t, int32_t>> defects) {
    MasterErrorEntry entry{fileNumber, nullptr};
    for (auto [code, repaired] : defects) AddMasterError(code, repaired, &entry);
    if (!list) list.reset(CreateList());
    return AddItem(list.get(), &entry, sizeof entry), *this;
  }
};

std::string Saved(const TempDir& dir, const ReportLines& lines) {
  EXPECT_EQ(WriteReportFile(dir.Path("r.txt").c_str(), lines), 1);
  const Bytes bytes = testing_support::ReadBytes(dir.Path("r.txt"));
  return std::string(bytes.begin(), bytes.end());
}

// One directory: the DAT reports of F3 (daily) and F5 (intraday) give each faulty record after the previous
// record's date (and time) as the test read it, valid or not, though master and the data files have changed
// since; the master report runs from the header in master order, named by the first record of each number.
TEST(Reports, SavedByteForByteFromWhatTheTestsRead) {
  TempDir dir;
  const char* d = dir.Dir().c_str();
  const MasterEntry tested[] = {{.fileNumber = 3, .fieldCount = 6, .name = "ACME WIDGETS"},
                                {.fileNumber = 5, .fieldCount = 7, .name = "TICKS", .period = 'I'}};
  WriteMaster(dir, MasterBuilder()
                       .Add({.fileNumber = 2, .name = "BETA"})
                       .Add(tested[0])
                       .Add(tested[1])
                       .Add({.fileNumber = 12, .name = "GAMMA"})
                       .Add({.fileNumber = 2, .name = "BETA AGAIN"}));
  DatBuilder daily = DatBuilder::ForFields(6);  // Date Open High Low Close Volume
  for (float date : {960112.0f, 960115.0f, 1100105.0f, 1100104.0f}) daily.Values({date, 10, 12, 9, 11, 100});
  WriteDat(dir, 3, daily.SetWord(0, 1, kStoredMinusOne).SetWord(0, 4, kHugeWord).SetValue(2, 3, 12.5f));
  DatBuilder intraday = DatBuilder::ForFields(7);  // Date Time Open High Low Close Volume
  for (float date : {1131114.0f, 1131345.0f, 1131114.0f}) intraday.Values({date, 100000, 10, 12, 9, 11, 5});
  WriteDat(dir, 5, intraday.SetValue(1, 1, 103000).SetWord(2, 5, kStoredMinusOne));
  integrity_testing::Report found[2];
  DATReadings read[2];
  for (int i : {0, 1}) TestDATFile(d, found[i], kDATDialogOrder, kDATTestCount, tested[i].Record(), &read[i]);
  Found checked;
  checked.Master(0, {{8, 1}}).Master(2, {{0, 1}, {2, 0}}).Master(12, {{6, 0}}).Master(7, {{10, 0}});
  EXPECT_EQ(Saved(dir, FormatMasterErrorReport(d, checked.list.get(), InstrumentNames(d))),
            "Quorvex\n\r\n\rErrors Found in Master file for directory  '" + dir.Dir() +
                "'\n\r\n\rHeader Record Errors : \n\rRepaired     : Too many files reported\n\r\n\r"
                "MasterRecord For File F2.dat (BETA) Errors :\n\rNot Repaired : Bad Master FileType\n\r"
                "Repaired     : Missing DAT File\n\r\n\rMasterRecord For File F12.dat (GAMMA) Errors :\n\r"
                "Not Repaired : Invalid IntraDay Time-Base Specified\n\r\n\r"
                "MasterRecord For File F7.dat () Errors :\n\rNot Repaired : Unknown File Format\n\r\n\r");
  WriteMaster(dir, MasterBuilder());
  for (int n : {3, 5}) WriteDat(dir, n, DatBuilder(4));
  const std::string heading = "Quorvex\n\r\n\rErrors Found in DAT file (F";
  EXPECT_EQ(Saved(dir, FormatDATErrorReport(d, found[0].list.get(), read[0])),
            heading + "3.DAT) in directory  '" + dir.Dir() +
                "'\n\rInstrument name : ACME WIDGETS\n\r\n\rRecord Number :      0\n\rFirst Record\n\r"
                "Close : Corrupt Numbers\n\rOpen : Corrupt Numbers\n\r\n\rRecord Number :      2\n\r"
                "Previous Record's Date : 15:01:96\n\rOpen : Open < Low\n\rLow : High < Low\n\r"
                "Low : Close < Low\n\r\n\rRecord Number :      3\n\rPrevious Record's Date : 05:01:10\n\r"
                "Date : Dates out of order\n\r\n\r");
  EXPECT_EQ(Saved(dir, FormatDATErrorReport(d, found[1].list.get(), read[1])),
            heading + "5.DAT) in directory  '" + dir.Dir() +
                "'\n\rInstrument name : TICKS\n\r\n\rRecord Number :      1\n\r"
                "Previous Record's Date/Time : 14/11/13 @ 10:00:00\n\rDate : Invalid Dates\n\r\n\r"
                "Record Number :      2\n\rPrevious Record's Date/Time : 45/13/13 @ 10:30:00\n\r"
                "Close : Corrupt Numbers\n\r\n\r");
  EXPECT_EQ(WriteReportFile(dir.Path("no such directory/r.txt").c_str(), {"text"}), 0);
}

TEST(Catalogues, EveryCodeIsExplainedAndOthersAreInternalErrors) {
  const char* internal = "A serious internal error within the utility has occured.";
  for (const auto& [explain, count] : {std::pair{&GetDATExplanation, 10}, {&GetMasterExplanation, 12}}) {
    for (int32_t code : {-1, 0, count - 1, count})
      EXPECT_EQ(std::strcmp(explain(code).explanation, internal) != 0, code >= 0 && code < count) << code;
  }
  // As the explanation dialog shows a missing data file, and levels beyond.
  EXPECT_STREQ(GetSeverityText(GetMasterExplanation(0).severity), "Problems Always");
  EXPECT_STREQ(GetSeverityText(4), GetSeverityText(3));
  EXPECT_STREQ(GetSeverityText(-1), "Serious Internal Error!");
  for (const int number : {kUnknownErrorMessage, -1, kMessageCount, INT_MIN, INT_MAX})
    EXPECT_STREQ(GetError(number), "An unknown error occurred!") << number;
}

}  // namespace
