// The DAT test: a sound data file, a few values changed, the chosen tests run;
// what is found (record, code, column), and the file is never written.
#include "integrity/dat_checks.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "filelayer/platform_file.h"
#include "store/messages.h"
#include "support/fixtures.h"
#include "support/report_fixture.h"
#include "support/scenes.h"

namespace {

using namespace fixtures;
using namespace integrity_testing;

enum { kDate, kOpen, kHigh, kLow, kClose, kVolume };  // 6-field daily
enum { kTime = 1, kIOpen = 2 };                       // 7-field intraday
const MasterEntry kDaily{.fileNumber = 1, .fieldCount = 6};
const MasterEntry kIntra{.fileNumber = 1, .fieldCount = 7, .period = 'I'};
const std::vector<int32_t> kAll(kDATDialogOrder, kDATDialogOrder + kDATTestCount);

using Edit = std::tuple<int, int, uint32_t>;  // record, column, stored word
Edit V(int record, int column, float value) {
  return {record, column, MbfWord(value)};
}

// Bars of 4, 5, 6 January 2010 (intraday: 14 November 2013 at 10:00, 10:05, 10:10), open 10, high 12, low 9,
// close 11, in the columns of the entry's layout that fit in its records, the edits applied, bytes appended.
Bytes DataFile(const MasterEntry& entry, const std::vector<Edit>& edits, int records = 3, size_t tail = 0) {
  Series series;
  for (int i = 0; i < records; ++i) {
    series.bars.push_back(entry.period == 'I'
                              ? Bar{StoredDate(2013, 11, 14), StoredTime(10, 5 * i, 0), 10, 12, 9, 11, 5}
                              : Bar{StoredDate(2010, 1, 4 + i), 0, 10, 12, 9, 11, 500});
  }
  std::vector<Col> columns = LayoutColumns(entry.fieldCount, entry.period);
  if (columns.empty()) columns = LayoutColumns(6, 'D');  // a layout the test refuses: any data
  columns.resize(
      std::clamp<size_t>(entry.recordLength.value_or(4 * entry.fieldCount) / 4, 1, columns.size()));
  DatBuilder dat = series.Dat(columns);
  for (const auto& [record, column, word] : edits) dat.SetWord(record, column, word);
  return dat.Append(Bytes(tail, 0xFF)).Build();
}

struct Case {
  const char* name;
  MasterEntry entry;
  std::vector<Edit> edits = {};
  std::vector<int32_t> codes;
  Findings found = {};  // {record, code, column} in the order found; none: "No Errors Found"
  int records = 3;
  size_t tail = 0;
  std::vector<int> failingReads = {};  // platform read calls that fail
  std::string notice = "";             // instead of any finding
};

const char* const kUnknown = "Unable to test files of this format.";
const char* const kUnopened = GetError(kFileAccessMessage);
const std::vector<Edit> kTwoBadDates = {V(1, kDate, 1100132), V(2, kDate, 1100132)};

const Case kCases[] = {
    {"SoundDaily", kDaily, {}, kAll, {}},
    {"SoundIntraday", kIntra, {}, kAll, {}},
    {"TrailingPartialRecord", kDaily, {}, {0, 6, 8}, {}, 3, 23},
    {"LowAboveHigh", kDaily, {V(1, kLow, 12.6f), V(1, kHigh, 12.5f)}, {1}, {{1, 1, kLow}}},
    {"CloseAboveHigh", kDaily, {V(1, kClose, 12.01f)}, {2}, {{1, 2, kClose}}},
    {"CloseBelowLow", kDaily, {V(1, kClose, 8.99f)}, {3}, {{1, 3, kLow}}},
    {"OpenBelowLow", kDaily, {V(1, kOpen, 8.5f)}, {4}, {{1, 4, kOpen}}},
    {"OpenAboveHigh", kIntra, {V(1, kIOpen, 12.5f)}, {5}, {{1, 5, kIOpen}}},
    {"EqualPrices", kDaily, {V(1, kOpen, 12), V(1, kLow, 12), V(1, kClose, 12)}, {1, 2, 3, 4, 5}, {}},
    {"OpenOfZeroIsNoOpen", kDaily, {V(1, kOpen, 0)}, {4, 5}, {}},  // as in data from before opens were kept
    {"CorruptHigh", kDaily, {{2, kHigh, kStoredMinusOne}, V(2, kLow, 50)}, {5, 1, 2, 0}, {{2, 0, kHigh}}},
    {"NoOpenColumn", {.fieldCount = 5}, {V(1, 1, 8)}, {4, 5}, {}},
    {"SameDateDaily", kDaily, {V(2, kDate, 1100105)}, {8, 9}, {{2, 8, 0}}},
    {"FirstRecordNeverOutOfOrder", kDaily, {V(0, kDate, 1110101)}, {8}, {{1, 8, 0}}},
    // Records are read 1,365 at a time: record 1,365 is ordered after the last of the block read over.
    {"OrderAcrossBlocks",
     kDaily,
     {V(1364, kDate, 1100301), V(1365, kDate, 1100301)},
     {8},
     {{1365, 8, 0}},
     2731},
    {"Century", kDaily, {V(0, kDate, 991231), V(1, kDate, 1000103), V(2, kDate, 991230)}, {8}, {{2, 8, 0}}},
    {"EarlierTimeSameDay", kIntra, {V(1, kTime, 95959)}, {8, 9}, {{1, 9, 0}}},
    {"EqualTimes", kIntra, {V(2, kTime, 100500)}, {9}, {}},
    {"EarlierDateIntraday", kIntra, {V(2, kDate, 1131113)}, {8, 9}, {{2, 8, 0}, {2, 9, 0}}},
    // A previous date or time that is not one cannot order the next record.
    {"InvalidPreviousDate", kDaily, {V(1, kDate, 1100132)}, {8, 6}, {{1, 6, kDate}}},
    {"InvalidPreviousTime", kIntra, {V(1, kTime, 250000)}, {9, 7}, {{1, 7, kTime}}},
    {"CodesRunInTheirOrder",
     kDaily,
     {V(0, kOpen, 13), V(2, kClose, 13), {2, kVolume, kStoredMinusOne}},
     {5, 2, 5, 99, -1, 10, 0},
     {{0, 5, kOpen}, {0, 5, kOpen}, {2, 2, kClose}, {2, 0, kVolume}}},
    // Were Volume read past the 20-byte record, record 0's would be record 1's corrupt date.
    {"ShortRecords", {.fieldCount = 7, .recordLength = 20}, {{1, 0, kStoredMinusOne}}, {0}, {{1, 0, 0}}},
    // The 8 bytes kept for the report run on into the faulty record.
    {"FourByteIntraday", {.recordLength = 4, .period = 'I'}, {V(2, kDate, 1131113)}, {8}, {{2, 8, 0}}},
    {.name = "Intraday6", .entry = {.fieldCount = 6, .period = 'I'}, .codes = kAll, .notice = kUnknown},
    {.name = "ThreeBytes", .entry = {.fieldCount = 6, .recordLength = 3}, .codes = kAll, .notice = kUnknown},
    {.name = "NoDataFile", .entry = {.fileNumber = 2, .fieldCount = 6}, .codes = kAll, .notice = kUnopened},
    // A block that cannot be read is read again record by record; the scan
    // ends at a record that still cannot be read, as if the file ended there.
    {"BlockUnread", kDaily, kTwoBadDates, kAll, {{1, 6, 0}, {2, 6, 0}}, 3, 0, {1}},
    {"RecordReadAgain", kDaily, kTwoBadDates, kAll, {{1, 6, 0}, {2, 6, 0}}, 3, 0, {1, 4}},
    {"RecordUnread", kDaily, kTwoBadDates, kAll, {{1, 6, 0}}, 3, 0, {1, 4, 5, 6}},
};

class DATChecks : public ::testing::TestWithParam<Case> {};

TEST_P(DATChecks, FindsWhatTheEditsMadeKeepsWhatTheReportShowsAndWritesNothing) {
  const Case& c = GetParam();
  TempDir dir;
  const Bytes bytes = DataFile(c.entry, c.edits, c.records, c.tail);
  testing_support::WriteBytes(dir.Path("F1.DAT"), bytes);
  FaultScope faults;
  for (int n : c.failingReads) platform::FailNthCall(platform::Call::Read, n);
  Report report;
  DATReadings readings;
  TestDATFile(dir.Dir().c_str(), report, c.codes.data(), static_cast<int>(c.codes.size()), c.entry.Record(),
              &readings);
  EXPECT_EQ(report.Found(false), c.found);
  // Each faulty record after the first keeps the file's 8 bytes from the start of the record before it.
  std::vector<std::pair<int, Bytes>> kept, expected;
  for (const auto& p : readings.previous)
    kept.emplace_back(p.recordNumber, Bytes(p.bytes.begin(), p.bytes.end()));
  const auto at = [&](int r) { return bytes.begin() + r * c.entry.Record().RecordLength(); };
  for (const auto& [r, code, column] : c.found) {
    if (r > 0 && (expected.empty() || expected.back().first != r))
      expected.emplace_back(r, Bytes(at(r), at(r) + 8));
  }
  EXPECT_EQ(kept, expected);
  EXPECT_EQ(report.events, (!c.notice.empty() ? std::vector<std::string>{c.notice, "close"}
                            : c.found.empty() ? integrity_testing::kNothingFound
                                              : std::vector<std::string>{"list"}));
  EXPECT_EQ(testing_support::ReadBytes(dir.Path("F1.DAT")), bytes);
}

INSTANTIATE_TEST_SUITE_P(Defects, DATChecks, ::testing::ValuesIn(kCases),
                         [](const auto& p) { return std::string(p.param.name); });

}  // namespace
