#include "integrity/dat_test.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <functional>
#include <string>
#include <vector>

#include "fixtures.h"
#include "integrity/messages.h"
#include "integrity_test_support.h"
#include "support/temp_dir.h"

namespace {

using Findings = std::vector<integrity_testing::DATFinding>;
using fixtures::DatBuilder;
using fixtures::MasterEntry;
using fixtures::StoredDate;
using fixtures::StoredTime;
using integrity_testing::DATFinding;
using integrity_testing::DATFoundOrder;
using integrity_testing::DATListOrder;
using integrity_testing::RecordingReport;
using testing_support::Bytes;
using testing_support::ReadBytes;
using testing_support::TempDir;

const std::vector<std::string> kNothingFound = {"notice: No Errors Found", "close"};

// Columns of the 6-field daily layout and the 7-field intraday layout.
enum Daily6 { kDate, kOpen, kHigh, kLow, kClose, kVolume };
enum Intra7 { kIDate, kITime, kIOpen, kIHigh, kILow, kIClose, kIVolume };

// Three sound daily bars: 4, 5 and 6 January 2010, Open 10, High 12, Low 9,
// Close 11.
DatBuilder SoundDaily() {
  DatBuilder dat = DatBuilder::ForFields(6);
  for (int day = 4; day <= 6; ++day) dat.Values({StoredDate(2010, 1, day), 10, 12, 9, 11, 500});
  return dat;
}

// Three sound intraday bars on 14 November 2013 at 10:00, 10:05, 10:10.
DatBuilder SoundIntraday() {
  DatBuilder dat = DatBuilder::ForFields(7);
  for (int minute = 0; minute <= 10; minute += 5) {
    dat.Values({StoredDate(2013, 11, 14), StoredTime(10, minute, 0), 10, 12, 9, 11, 500});
  }
  return dat;
}

class DATTest : public ::testing::Test {
 protected:
  // Writes the data file of instrument 1 and runs the given tests on it.
  void Run(const MasterEntry& entry, const DatBuilder& dat, const std::vector<int32_t>& codes) {
    fixtures::WriteDat(dir_, entry.fileNumber, dat);
    RunOnly(entry, codes);
  }
  void RunOnly(const MasterEntry& entry, const std::vector<int32_t>& codes) {
    TestDATFile(dir_.Dir().c_str(), report_, codes.data(), static_cast<int>(codes.size()), entry.Record());
  }
  std::vector<DATFinding> Found() const { return DATFoundOrder(report_.list); }

  static MasterEntry Daily() { return {.fileNumber = 1, .fieldCount = 6, .period = 'D'}; }
  static MasterEntry Intraday() { return {.fileNumber = 1, .fieldCount = 7, .period = 'I'}; }

  TempDir dir_;
  RecordingReport report_;
};

struct DetectionCase {
  const char* rule;
  bool intraday;
  std::function<void(DatBuilder&)> damage;  // applied to record 1 of the sound file
  int32_t code;
  int column;
};

void PrintTo(const DetectionCase& c, std::ostream* out) {
  *out << c.rule;
}

class DATDetectionTest : public DATTest, public ::testing::WithParamInterface<DetectionCase> {};

TEST_P(DATDetectionTest, FindsTheDefectOnItsColumnAndNothingElse) {
  const DetectionCase& c = GetParam();
  DatBuilder dat = c.intraday ? SoundIntraday() : SoundDaily();
  c.damage(dat);
  Run(c.intraday ? Intraday() : Daily(), dat, {c.code});
  ASSERT_EQ(report_.events, std::vector<std::string>{"list"});
  EXPECT_EQ(Found(), (Findings{{1, c.column, c.code}}));
}

INSTANTIATE_TEST_SUITE_P(
    EveryCode, DATDetectionTest,
    ::testing::Values(
        DetectionCase{"CorruptHigh", false,
                      [](DatBuilder& d) { d.SetWord(1, kHigh, fixtures::kStoredMinusOne); }, 0, kHigh},
        DetectionCase{"CorruptDate", false, [](DatBuilder& d) { d.SetWord(1, kDate, fixtures::HugeWord()); },
                      0, kDate},
        DetectionCase{"LowAboveHigh", false,
                      [](DatBuilder& d) { d.SetValue(1, kLow, 12.6f).SetValue(1, kHigh, 12.5f); }, 1, kLow},
        DetectionCase{"CloseAboveHigh", false, [](DatBuilder& d) { d.SetValue(1, kClose, 12.01f); }, 2,
                      kClose},
        DetectionCase{"CloseBelowLow", false, [](DatBuilder& d) { d.SetValue(1, kClose, 8.99f); }, 3, kLow},
        DetectionCase{"OpenBelowLow", false, [](DatBuilder& d) { d.SetValue(1, kOpen, 8.5f); }, 4, kOpen},
        DetectionCase{"OpenAboveHigh", false, [](DatBuilder& d) { d.SetValue(1, kOpen, 12.5f); }, 5, kOpen},
        DetectionCase{"DayThirtyTwo", false, [](DatBuilder& d) { d.SetValue(1, kDate, 1100132.0f); }, 6,
                      kDate},
        DetectionCase{"MinuteSixty", true, [](DatBuilder& d) { d.SetValue(1, kITime, 106000.0f); }, 7,
                      kITime},
        DetectionCase{"DateOfThePreviousRecord", false,
                      [](DatBuilder& d) { d.SetValue(1, kDate, StoredDate(2010, 1, 4)); }, 8, 0},
        DetectionCase{"EarlierTimeSameDay", true,
                      [](DatBuilder& d) { d.SetValue(1, kITime, StoredTime(9, 59, 59)); }, 9, 0},
        DetectionCase{"EarlierDate", true,
                      [](DatBuilder& d) { d.SetValue(1, kIDate, StoredDate(2013, 11, 13)); }, 9, 0}),
    [](const auto& param) { return std::string(param.param.rule); });

TEST_F(DATTest, SoundFilesPassEveryTest) {
  const std::vector<int32_t> all(std::begin(kDATDialogOrder), std::end(kDATDialogOrder));
  Run(Daily(), SoundDaily(), all);
  EXPECT_EQ(report_.events, kNothingFound);
  RecordingReport intraday;
  fixtures::WriteDat(dir_, 1, SoundIntraday());
  TestDATFile(dir_.Dir().c_str(), intraday, all.data(), 10, Intraday().Record());
  EXPECT_EQ(intraday.events, kNothingFound);
}

TEST_F(DATTest, HeaderOnlyFileFindsNothingAndClosesTheReport) {
  Run(Daily(), DatBuilder::ForFields(6), {0, 1, 2, 3, 4, 5, 6, 7, 8, 9});
  EXPECT_EQ(report_.events, kNothingFound);
}

TEST_F(DATTest, EqualPricesPassEveryRelation) {
  Run(Daily(), DatBuilder::ForFields(6).Values({StoredDate(2010, 1, 4), 12.5f, 12.5f, 12.5f, 12.5f, 1}),
      {1, 2, 3, 4, 5});
  EXPECT_EQ(report_.events, kNothingFound);
}

TEST_F(DATTest, CorruptHighIsLeftToCorruptNumbers) {
  Run(Daily(), SoundDaily().SetWord(2, kHigh, fixtures::kStoredMinusOne).SetValue(2, kLow, 50.0f),
      {0, 1, 2, 5});
  EXPECT_EQ(Found(), (Findings{{2, kHigh, 0}}));
}

TEST_F(DATTest, SameDateIsOutOfOrderInDailyFiles) {
  DatBuilder dat = DatBuilder::ForFields(6);
  for (int day : {4, 5, 6, 7, 8, 8, 11}) dat.Values({StoredDate(2010, 1, day), 10, 12, 9, 11, 1});
  Run(Daily(), dat, {8});
  EXPECT_EQ(Found(), (Findings{{5, 0, 8}}));
}

TEST_F(DATTest, SameDateIntradayPassesCodeEightAndIsOrderedByTime) {
  DatBuilder dat = SoundIntraday().SetValue(2, kITime, StoredTime(10, 0, 0));
  Run(Intraday(), dat, {8, 9});
  // Record 2 repeats 10:00 after 10:05: only code 9 finds it. Equal times pass.
  EXPECT_EQ(Found(), (Findings{{2, 0, 9}}));
}

TEST_F(DATTest, OrderHoldsAcrossTheCentury) {
  DatBuilder dat = DatBuilder::ForFields(6)
                       .Values({StoredDate(1999, 12, 31), 10, 12, 9, 11, 1})
                       .Values({StoredDate(2000, 1, 3), 10, 12, 9, 11, 1})
                       .Values({StoredDate(1999, 12, 30), 10, 12, 9, 11, 1});
  Run(Daily(), dat, {8});
  EXPECT_EQ(Found(), (Findings{{2, 0, 8}}));
}

TEST_F(DATTest, FirstRecordIsNeverOutOfOrder) {
  DatBuilder dat = SoundDaily().SetValue(0, kDate, StoredDate(2011, 1, 1));
  Run(Daily(), dat, {8});
  EXPECT_EQ(Found(), (Findings{{1, 0, 8}}));
}

TEST_F(DATTest, InvalidPreviousDateSkipsTheOrderTests) {
  // Record 1 holds 32/01/10: record 2 has no date to follow. Code 6 says why.
  DatBuilder dat = SoundDaily().SetValue(1, kDate, 1100132.0f);
  Run(Daily(), dat, {8, 6});
  EXPECT_EQ(Found(), (Findings{{1, 0, 6}}));
}

TEST_F(DATTest, InvalidPreviousTimeOnTheSameDatePassesCodeNine) {
  DatBuilder dat = SoundIntraday().SetValue(1, kITime, 250000.0f);
  Run(Intraday(), dat, {9, 7});
  EXPECT_EQ(Found(), (Findings{{1, kITime, 7}}));
}

TEST_F(DATTest, TrailingPartialRecordIsIgnored) {
  Run(Daily(), SoundDaily().Append(Bytes(23, 0xFF)), {0, 6, 8});
  EXPECT_EQ(report_.events, kNothingFound);
}

TEST_F(DATTest, OpenTestsFindNothingWithoutAnOpenColumn) {
  // Five fields: Date High Low Close Volume. Any column taken for Open fails.
  DatBuilder dat = DatBuilder::ForFields(5).Values({StoredDate(2010, 1, 4), 12, 9, 11, 5000});
  Run({.fileNumber = 1, .fieldCount = 5, .period = 'D'}, dat, {4, 5});
  EXPECT_EQ(report_.events, kNothingFound);
}

TEST_F(DATTest, ColumnsBeyondTheRecordLengthAreLeftOut) {
  // Seven daily fields claimed, 20-byte records: Volume (5) and OI (6) do not
  // fit. Read past the record, record 0's would be record 1's corrupt date.
  DatBuilder dat(20);
  dat.Values({StoredDate(2010, 1, 4), 10, 12, 9, 11}).Words({fixtures::kStoredMinusOne, 0, 0, 0, 0});
  const MasterEntry entry{.fileNumber = 1, .fieldCount = 7, .recordLength = 20, .period = 'D'};
  Run(entry, dat, {0});
  EXPECT_EQ(Found(), (Findings{{1, 0, 0}}));
}

TEST_F(DATTest, UnknownLayoutOrTooShortRecordsAreRefused) {
  for (const MasterEntry& entry : {MasterEntry{.fileNumber = 1, .fieldCount = 6, .period = 'I'},
                                   MasterEntry{.fileNumber = 1, .fieldCount = 9, .period = 'D'},
                                   MasterEntry{.fileNumber = 1, .fieldCount = 6, .recordLength = 0}}) {
    RecordingReport report;
    fixtures::WriteDat(dir_, 1, SoundDaily());
    const int32_t code = 0;
    TestDATFile(dir_.Dir().c_str(), report, &code, 1, entry.Record());
    EXPECT_EQ(report.events,
              (std::vector<std::string>{std::string("notice: ") + kUnknownDATFormatText, "close"}));
  }
}

TEST_F(DATTest, MissingDataFileShowsTheOpenMessage) {
  RunOnly(Daily(), {0});
  EXPECT_EQ(report_.events, (std::vector<std::string>{std::string("notice: ") + GetError(2), "close"}));
}

TEST_F(DATTest, ListRunsBackwardsAndRepeatedCodesRunTwice) {
  DatBuilder dat = SoundDaily().SetValue(0, kOpen, 13.0f).SetValue(2, kClose, 13.0f);
  Run(Daily(), dat, {5, 2, 5, 99, -1, 10});
  // Record 2 first, its last defect first; record 0's two Open defects last.
  EXPECT_EQ(DATListOrder(report_.list), (Findings{{2, kClose, 2}, {0, kOpen, 5}, {0, kOpen, 5}}));
}

TEST_F(DATTest, DefectsOfOneRecordRunInSelectionOrder) {
  DatBuilder dat = SoundDaily().SetValue(1, kOpen, 13.0f).SetWord(1, kVolume, fixtures::kStoredMinusOne);
  Run(Daily(), dat, {5, 0});
  EXPECT_EQ(Found(), (Findings{{1, kOpen, 5}, {1, kVolume, 0}}));
}

TEST_F(DATTest, TheTestNeverChangesTheDataFile) {
  DatBuilder dat = SoundDaily().SetValue(1, kOpen, 13.0f).SetValue(2, kDate, StoredDate(2009, 1, 1));
  fixtures::WriteDat(dir_, 1, dat);
  const Bytes before = ReadBytes(dir_.Path("F1.DAT"));
  RunOnly(Daily(), {0, 1, 2, 3, 4, 5, 6, 7, 8, 9});
  EXPECT_EQ(ReadBytes(dir_.Path("F1.DAT")), before);
  EXPECT_EQ(report_.events, std::vector<std::string>{"list"});
}

TEST(DATErrorNames, EveryCodeHasItsName) {
  const char* const expected[] = {
      "Corrupt Numbers", "High < Low",    "Close > High",  "Close < Low",        "Open < Low",
      "Open > High",     "Invalid Dates", "Invalid Times", "Dates out of order", "Date/Times out of order",
      "Not an Error!"};
  for (int32_t code = 0; code <= 10; ++code) EXPECT_STREQ(GetDATError(code), expected[code]) << code;
  EXPECT_STREQ(GetDATError(11), "Not an Error!");
  EXPECT_STREQ(GetDATError(-1), "Not an Error!");
}

TEST(DATErrorNames, DialogOrderIsTheNamesSortedWithoutRegardToCase) {
  std::vector<std::string> names;
  for (int32_t code : kDATDialogOrder) names.emplace_back(GetDATError(code));
  std::vector<std::string> sorted = names;
  std::sort(sorted.begin(), sorted.end(), [](const std::string& a, const std::string& b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [](char x, char y) { return std::tolower(x) < std::tolower(y); });
  });
  EXPECT_EQ(names, sorted);
}

}  // namespace
