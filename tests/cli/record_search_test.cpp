#include "store/record_search.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fixtures.h"
#include "store/dat_file.h"
#include "store/file_guard.h"
#include "support/temp_dir.h"

namespace {

using fixtures::DatBuilder;
using fixtures::MasterEntry;
using fixtures::StoredDate;
using fixtures::StoredTime;

// Years as the searches take them: years since 1900.
constexpr int16_t Y(int year) {
  return static_cast<int16_t>(year - 1900);
}

class RecordSearchTest : public ::testing::Test {
 protected:
  // Writes F1.DAT and opens it as the editor does.
  void Open(const DatBuilder& dat, const MasterEntry& entry) {
    fixtures::WriteDat(dir_, 1, dat);
    record_ = entry.Record();
    file_ = FileGuard(SOpenFile(DATFileName(dir_.Dir().c_str(), 1).c_str(), 1, 1, record_.RecordLength(), 0));
    ASSERT_TRUE(file_.Valid());
  }

  // Five-field daily records: 5 Jan 1998, 31 Dec 1998, 3 Jan 2000, 4 Jan 2000,
  // 10 Jan 2000 (dates of this century carry the century digit).
  void OpenDaily() {
    DatBuilder dat = DatBuilder::ForFields(5);
    for (float date : {StoredDate(1998, 1, 5), StoredDate(1998, 12, 31), StoredDate(2000, 1, 3),
                       StoredDate(2000, 1, 4), StoredDate(2000, 1, 10)}) {
      dat.Values({date, 12.5f, 11.75f, 12.25f, 3400});
    }
    Open(dat, MasterEntry{.fieldCount = 5, .period = 'D'});
  }

  // Seven-field intraday records over the turn of the century.
  void OpenIntraday(int records = 6) {
    const std::vector<std::pair<float, float>> moments = {
        {StoredDate(1999, 12, 31), StoredTime(15, 55, 0)}, {StoredDate(1999, 12, 31), StoredTime(16, 0, 0)},
        {StoredDate(2000, 1, 3), StoredTime(9, 35, 0)},    {StoredDate(2000, 1, 3), StoredTime(9, 40, 0)},
        {StoredDate(2000, 1, 3), StoredTime(9, 45, 0)},    {StoredDate(2000, 1, 4), StoredTime(9, 35, 0)}};
    DatBuilder dat = DatBuilder::ForFields(7);
    for (int i = 0; i < records; ++i)
      dat.Values({moments[i].first, moments[i].second, 20, 21, 19, 20.5f, 800});
    Open(dat, MasterEntry{.fieldCount = 7, .period = 'I', .timeBase = 5});
  }

  int32_t ByDate(int day, int month, int year) {
    return GetRecordNumberFromDate(file_.Get(), record_, static_cast<int16_t>(day),
                                   static_cast<int16_t>(month), Y(year));
  }
  int32_t ByDateTime(int day, int month, int year, int hour, int minute, int second) {
    return GetRecordNumberFromDateTime(file_.Get(), record_, static_cast<int16_t>(day),
                                       static_cast<int16_t>(month), Y(year), static_cast<int16_t>(hour),
                                       static_cast<int16_t>(minute), static_cast<int16_t>(second));
  }

  testing_support::TempDir dir_;
  MasterRecord record_{};
  FileGuard file_{kClosedHandle};
};

struct DateCase {
  const char* rule;
  int day, month, year;
  int32_t expected;
};

TEST_F(RecordSearchTest, DateSearchFindsTheFirstRecordOnOrAfterTheDate) {
  OpenDaily();
  const DateCase cases[] = {
      {"exact hit on the first record", 5, 1, 1998, 0},
      {"exact hit in the middle", 4, 1, 2000, 3},
      {"exact hit on the last record", 10, 1, 2000, 4},
      {"between two records of the same year", 6, 1, 1998, 1},
      {"between 1998 and 2000, across the century", 1, 6, 1999, 2},
      {"between two records of this century", 5, 1, 2000, 4},
      {"before the first record", 1, 1, 1990, 0},
      {"after the last record", 11, 1, 2000, -1},
      {"much later", 1, 1, 2049, -1},
      {"invalid date", 30, 2, 2000, -1},
  };
  for (const DateCase& c : cases) EXPECT_EQ(ByDate(c.day, c.month, c.year), c.expected) << c.rule;
}

TEST_F(RecordSearchTest, DateSearchUsesTheRecordLengthOfTheMasterRecord) {
  // Eight-field records whose prices look like dates: only the date column of
  // each record may be compared.
  DatBuilder dat = DatBuilder::ForFields(8);
  dat.Values({StoredDate(2001, 3, 1), 0, 1010315, 1010315, 1010315, 1010315, 1010315, 1010315});
  dat.Values({StoredDate(2001, 3, 2), 0, 1, 1, 1, 1, 1, 1});
  Open(dat, MasterEntry{.fieldCount = 8, .period = 'I'});
  EXPECT_EQ(ByDate(2, 3, 2001), 1);
  EXPECT_EQ(ByDate(1, 2, 2001), 0);
}

TEST_F(RecordSearchTest, CorruptDatesArePassedOver) {
  DatBuilder dat = DatBuilder::ForFields(5);
  dat.Values({StoredDate(1998, 1, 5), 1, 1, 1, 1});
  dat.Words({fixtures::kStoredMinusOne, 0, 0, 0, 0});
  dat.Values({StoredDate(1998, 1, 7), 1, 1, 1, 1});
  Open(dat, MasterEntry{.fieldCount = 5});
  EXPECT_EQ(ByDate(6, 1, 1998), 2);
}

TEST_F(RecordSearchTest, BothSearchesFindNothingInAFileWithoutDataRecords) {
  Open(DatBuilder::ForFields(7), MasterEntry{.fieldCount = 7, .period = 'I'});
  EXPECT_EQ(ByDate(1, 1, 2000), -1);
  EXPECT_EQ(ByDateTime(1, 1, 2000, 0, 0, 0), -1);
}

TEST_F(RecordSearchTest, ZeroRecordLengthFindsNothingInsteadOfReadingTheHeaderForEver) {
  DatBuilder dat = DatBuilder::ForFields(5);
  dat.Values({StoredDate(1998, 1, 5), 1, 1, 1, 1});
  Open(dat, MasterEntry{.fieldCount = 5, .recordLength = 0});
  EXPECT_EQ(ByDate(1, 1, 1990), -1);
  EXPECT_EQ(ByDateTime(1, 1, 1990, 9, 0, 0), -1);
}

struct MomentCase {
  const char* rule;
  int day, month, year, hour, minute, second;
  int32_t expected;
};

TEST_F(RecordSearchTest, DateTimeSearchFindsTheFirstRecordAtOrAfterTheMoment) {
  OpenIntraday();
  const MomentCase cases[] = {
      {"exact hit", 3, 1, 2000, 9, 40, 0, 3},
      {"between two times of one day", 3, 1, 2000, 9, 37, 30, 3},
      {"before the first record", 31, 12, 1999, 9, 0, 0, 0},
      {"a date whose times are all earlier gives the next date's first record", 31, 12, 1999, 16, 30, 0, 2},
      {"a date between two dates, across the century", 1, 1, 2000, 12, 0, 0, 2},
      {"the last record exactly", 4, 1, 2000, 9, 35, 0, 5},
      {"after the last record: the last record", 4, 1, 2000, 10, 0, 0, 5},
      {"long after the last record: the last record", 1, 1, 2010, 0, 0, 0, 5},
      {"invalid time", 3, 1, 2000, 25, 0, 0, -1},
      {"invalid date", 32, 1, 2000, 9, 0, 0, -1},
  };
  for (const MomentCase& c : cases) {
    EXPECT_EQ(ByDateTime(c.day, c.month, c.year, c.hour, c.minute, c.second), c.expected) << c.rule;
  }
}

TEST_F(RecordSearchTest, DateTimeSearchAfterTheOnlyRecordFindsNothing) {
  OpenIntraday(1);
  EXPECT_EQ(ByDateTime(1, 1, 2000, 0, 0, 0), -1);
  EXPECT_EQ(ByDateTime(31, 12, 1999, 15, 55, 0), 0);
}

TEST_F(RecordSearchTest, DateSearchOfAnIntradayFileFindsTheDaysFirstRecord) {
  OpenIntraday();
  EXPECT_EQ(ByDate(3, 1, 2000), 2);
  EXPECT_EQ(ByDate(5, 1, 2000), -1);
}

}  // namespace
