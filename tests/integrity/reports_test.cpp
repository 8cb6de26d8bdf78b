// The saved reports byte for byte (lines end in LF CR), and the catalogues'
// texts beyond their tables.
#include "integrity/error_reports.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>

#include "integrity/explanations.h"
#include "store/messages.h"
#include "report_fixture.h"
#include "support/fixtures.h"

namespace {

using namespace fixtures;

// Entries and defects added in the order a test finds them.
struct Found : integrity_testing::Report {
  Found& DAT(int32_t record, std::vector<std::pair<uint8_t, int32_t>> defects) {
    DATErrorEntry entry{record, nullptr};
    for (auto [column, code] : defects) AddDATError(column, code, &entry);
    return AddItem(list ? list : (list = CreateList()), &entry, sizeof entry), *this;
  }
  Found& Master(int32_t fileNumber, std::vector<std::pair<int32_t, int32_t>> defects) {
    MasterErrorEntry entry{fileNumber, nullptr};
    for (auto [code, repaired] : defects) AddMasterError(code, repaired, &entry);
    return AddItem(list ? list : (list = CreateList()), &entry, sizeof entry), *this;
  }
};

std::string Saved(const TempDir& dir, const std::string& name) {
  const Bytes bytes = testing_support::ReadBytes(dir.Path(name));
  return std::string(bytes.begin(), bytes.end());
}

// One directory: F3's DAT report gives each faulty record after the previous date; the master report runs
// from the header in master order; a file at fault is named and no report written.
TEST(Reports, SavedByteForByteOrTheFileAtFaultNamed) {
  TempDir dir;
  WriteMaster(dir, MasterBuilder()
                       .Add({.fileNumber = 2, .name = "BETA"})
                       .Add({.fileNumber = 3, .fieldCount = 6, .name = "ACME WIDGETS"})
                       .Add({.fileNumber = 4})
                       .Add({.fileNumber = 12, .name = "GAMMA"}));
  DatBuilder dat = DatBuilder::ForFields(6);
  for (float date : {960112.0f, 960115.0f, StoredDate(2010, 1, 5), StoredDate(2010, 1, 6)})
    dat.Values({date, 10, 12, 9, 11, 100});
  WriteDat(dir, 3, dat);
  Found found, master;
  // Record 9 is gone (deleted since the test): nothing to read its predecessor from.
  found.DAT(0, {{1, 0}, {4, 0}}).DAT(2, {{3, 1}}).DAT(3, {{0, 8}, {7, 0}}).DAT(9, {{5, 0}});
  std::string failed;
  ASSERT_EQ(WriteDATErrorReport(dir.Path("r.txt").c_str(), dir.Dir().c_str(), 3, found.list, &failed), 1);
  const std::string report =
      "Quorvex\n\r\n\rErrors Found in DAT file (F3.DAT) in directory  '" + dir.Dir() +
      "'\n\rInstrument name : ACME WIDGETS\n\r\n\rRecord Number :      0\n\rFirst Record\n\r"
      "Close : Corrupt Numbers\n\rOpen : Corrupt Numbers\n\r\n\rRecord Number :      2\n\r"
      "Previous Record's Date : 15:01:96\n\rLow : High < Low\n\r\n\rRecord Number :      3\n\r"
      "Previous Record's Date : 05:01:10\n\rUnknown : Corrupt Numbers\n\rDate : Dates out of order\n\r\n\r"
      "Record Number :      9\n\rPrevious Record's Date : 00:00:00\n\rVolume : Corrupt Numbers\n\r\n\r";
  EXPECT_EQ(Saved(dir, "r.txt"), report);
  master.Master(0, {{8, 1}}).Master(2, {{0, 1}, {2, 0}}).Master(12, {{6, 0}}).Master(7, {{10, 0}});
  const std::string text =
      "Quorvex\n\r\n\rErrors Found in Master file for directory  '" + dir.Dir() +
      "'\n\r\n\rHeader Record Errors : \n\rRepaired     : Too many files reported\n\r\n\r"
      "MasterRecord For File F2.dat (BETA) Errors :\n\rNot Repaired : Bad Master FileType\n\r"
      "Repaired     : Missing DAT File\n\r\n\rMasterRecord For File F12.dat (GAMMA) Errors :\n\r"
      "Not Repaired : Invalid IntraDay Time-Base Specified\n\r\n\r"
      "MasterRecord For File F7.dat () Errors :\n\rNot Repaired : Unknown File Format\n\r\n\r";
  ASSERT_EQ(WriteMasterErrorReport(dir.Path("m.txt").c_str(), dir.Dir().c_str(), master.list, &failed), 1);
  EXPECT_EQ(Saved(dir, "m.txt"), text);
  // As qvx prints it: each LF CR a plain LF.
  EXPECT_EQ(PlainLineEnds("a\n\r\n\rb\r\n\n"), "a\n\nb\r\n\n");
  for (int fileNumber : {4, 5}) {  // no data file; no master record
    EXPECT_EQ(
        WriteDATErrorReport(dir.Path("n.txt").c_str(), dir.Dir().c_str(), fileNumber, found.list, &failed),
        0);
    EXPECT_EQ(failed, dir.Dir() + "F" + std::to_string(fileNumber) + ".dat");
  }
  EXPECT_FALSE(testing_support::FileExistsNative(dir.Path("n.txt")));
  const std::string unwritable = dir.Path("no such directory/m.txt");
  EXPECT_EQ(WriteMasterErrorReport(unwritable.c_str(), dir.Dir().c_str(), master.list, &failed), 0);
  EXPECT_EQ(failed, unwritable);
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
