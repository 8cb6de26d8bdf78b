#include "store/dat_probe.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "fixtures.h"
#include "primitives/mbf.h"
#include "store/dat_file.h"
#include "support/temp_dir.h"

namespace {

using fixtures::Bar;
using fixtures::DatBuilder;
using fixtures::MasterEntry;
using fixtures::MbfWord;
using fixtures::Series;
using fixtures::StoredDate;
using fixtures::StoredTime;
using testing_support::Bytes;
using testing_support::TempDir;

class DatProbeTest : public ::testing::Test {
 protected:
  void Write(const DatBuilder& dat, int fileNumber = 1) { fixtures::WriteDat(dir_, fileNumber, dat); }
  void Write(const Bytes& bytes, int fileNumber = 1) { fixtures::WriteDat(dir_, fileNumber, bytes); }
  int Length(int fileNumber = 1) { return AscertainRecordLength(dir_.Dir().c_str(), fileNumber); }
  int Intra(int fileNumber = 1) { return IsIntra(dir_.Dir().c_str(), fileNumber); }

  TempDir dir_;
};

struct Layout {
  int fields;
  char period;
};
const Layout kLayouts[] = {{4, 'I'}, {5, 'D'}, {5, 'W'}, {5, 'M'}, {6, 'D'}, {6, 'W'},
                           {6, 'M'}, {7, 'I'}, {7, 'D'}, {7, 'W'}, {7, 'M'}, {8, 'I'}};

Series SeriesFor(const Layout& layout, int records) {
  return layout.period == 'I' ? Series::Intraday((records + 5) / 6, 6) : Series::Daily(records);
}

TEST_F(DatProbeTest, EveryLayoutAtEverySize) {
  for (const Layout& layout : kLayouts) {
    for (int records : {1, 2, 3, 4, 5, 8, 40, 251}) {
      Series series = SeriesFor(layout, records);
      series.bars.resize(static_cast<size_t>(records));
      Write(series.Dat(layout.fields, layout.period));
      const std::string what = std::to_string(layout.fields) + layout.period + " x" + std::to_string(records);
      EXPECT_EQ(Length(), 4 * layout.fields) << what;
      EXPECT_EQ(Intra(), layout.period == 'I' ? 1 : 0) << what;
    }
  }
}

TEST_F(DatProbeTest, HeaderOnlyFilesHaveTheirOwnLength) {
  for (int fields = 4; fields <= 8; ++fields) {
    Write(DatBuilder::ForFields(fields));
    EXPECT_EQ(Length(), 4 * fields) << fields;
    // Only the field count speaks: 4 and 8 fields exist only intraday.
    EXPECT_EQ(Intra(), fields == 4 || fields == 8 ? 1 : 0) << fields;
  }
}

TEST_F(DatProbeTest, EmptyMissingAndUnfittingFilesHaveNoLength) {
  EXPECT_EQ(Length(), 0xFFFF) << "missing";
  EXPECT_EQ(Intra(), 0);
  Write(Bytes{});
  EXPECT_EQ(Length(), 0xFFFF) << "empty";
  EXPECT_EQ(Intra(), 0);
  Write(Series::Daily(9).Dat(7, 'D').Append(Bytes(6, 0)));
  EXPECT_EQ(Length(), 0xFFFF) << "a partial record: no length gives a whole number of records";
  EXPECT_EQ(Intra(), 0);
  Write(Bytes(12, 0));
  EXPECT_EQ(Length(), 0xFFFF) << "shorter than any header";
}

TEST_F(DatProbeTest, ContentsWithoutDatesHaveNoLengthUnlessTheHeaderConfirmsOne) {
  // 120 bytes fit 20, 24 and 30 (not a length); nothing in them is a date.
  DatBuilder garbage(24);
  for (int i = 0; i < 4; ++i) garbage.Values({120.5f, 3, 4, 5, 6, 7});
  Write(garbage.HeaderCount(0));
  EXPECT_EQ(Length(), 0xFFFF);
  Write(garbage.HeaderCount(5));  // 120 / 24
  EXPECT_EQ(Length(), 24);
}

TEST_F(DatProbeTest, AFewCorruptRecordsDoNotChangeTheAnswer) {
  for (const Layout& layout : kLayouts) {
    DatBuilder dat = SeriesFor(layout, 40).Dat(layout.fields, layout.period);
    dat.SetWord(3, 0, fixtures::kStoredMinusOne);   // corrupt date
    dat.SetWord(17, 0, 0);                          // zero date
    dat.SetValue(25, 0, StoredDate(2099, 12, 31));  // a valid date far out of order
    dat.SetWord(30, 1, fixtures::HugeWord());       // corrupt time or price
    dat.SetWord(31, 0, fixtures::HugeWord());
    Write(dat);
    const std::string what = std::to_string(layout.fields) + layout.period;
    EXPECT_EQ(Length(), 4 * layout.fields) << what;
    EXPECT_EQ(Intra(), layout.period == 'I' ? 1 : 0) << what;
  }
}

// Walking back from the end, a naive scan takes the first two date-like
// values it meets as consecutive dates. Here the last volume (960115) looks
// like a date, 16 bytes after the last real date, and 160 bytes fit 16, 20
// and 32: the naive answer would be 16.
TEST_F(DatProbeTest, AVolumeThatLooksLikeADateDoesNotShortenTheRecord) {
  DatBuilder dat = Series::Daily(7, 1996, 1, 2).Dat(5, 'D');
  dat.SetValue(6, 4, 960115);
  Write(dat);
  ASSERT_EQ(dat.Build().size(), 160u);
  EXPECT_EQ(Length(), 20);
  EXPECT_EQ(Intra(), 0);
}

TEST_F(DatProbeTest, VolumesAndOpenInterestThatLookLikeDatesInEveryRecord) {
  Series series = Series::Daily(19, 2005, 3, 1);
  for (size_t i = 0; i < series.bars.size(); ++i) {
    series.bars[i].volume = StoredDate(2005, 3, 1) + static_cast<float>(i);
    series.bars[i].openInterest = StoredDate(2006, 1, 1) + static_cast<float>(i);
  }
  Write(series.Dat(7, 'D'));  // 560 bytes: fits 16, 20 and 28
  EXPECT_EQ(Length(), 28);
  EXPECT_EQ(Intra(), 0);
}

TEST_F(DatProbeTest, SixteenByteRecordsAreNotReadAsThirtyTwo) {
  // Every other date of a 16-byte file lies 32 bytes apart, header included.
  for (int records : {1, 3, 7, 39}) {
    Write(Series::Intraday(7, 6).Dat(4, 'I').Truncate(16u * (records + 1)));
    EXPECT_EQ(Length(), 16) << records;
    EXPECT_EQ(Intra(), 1) << records;
  }
}

TEST_F(DatProbeTest, ThirtyTwoByteRecordsAreNotReadAsSixteen) {
  for (int records : {1, 2, 6}) {
    Series series = Series::Intraday(1, records);
    Write(series.Dat(8, 'I'));
    EXPECT_EQ(Length(), 32) << records;
  }
}

TEST_F(DatProbeTest, AStaleHeaderCountDoesNotOutweighTheDates) {
  Write(Series::Daily(10).Dat(6, 'D').HeaderCount(3));
  EXPECT_EQ(Length(), 24);
}

TEST_F(DatProbeTest, DatesOfBothCenturiesAreInOrder) {
  Write(Series::Daily(30, 1999, 12, 15).Dat(6, 'D'));  // 1999 as 99MMDD, 2000 as 100MMDD
  EXPECT_EQ(Length(), 24);
}

TEST_F(DatProbeTest, WholeNumberOpensAreNotTimes) {
  // Column 1 of a 7-field daily file holds the open: 49.0 is 00:00:49 as a
  // time, and 10500 (an index) is 01:05:00.
  Write(DatBuilder::ForFields(7).Values({StoredDate(2000, 11, 6), 49, 49, 45, 48.5f, 3462700, 0}));
  EXPECT_EQ(Intra(), 0) << "one record";
  DatBuilder index = DatBuilder::ForFields(7);
  for (int day = 1; day <= 20; ++day) {
    const float open = 10500 + 100 * static_cast<float>(day % 3);
    index.Values({StoredDate(2001, 3, day), open, open + 150, open - 120, open + 20, 0, 0});
  }
  Write(index);
  EXPECT_EQ(Length(), 28);
  EXPECT_EQ(Intra(), 0) << "an index with whole-number opens";
}

TEST_F(DatProbeTest, PricesThatPassATimeTestAreNotTimes) {
  // 120.5 formats as 000121, a valid time; so does every small price.
  Series series = Series::Daily(12);
  for (Bar& bar : series.bars) {
    bar.open = 120.5f;
    bar.high = 121.25f;
    bar.low = 119.75f;
    bar.close = 120.5f;
  }
  Write(series.Dat(7, 'D'));
  EXPECT_EQ(Intra(), 0);
}

TEST_F(DatProbeTest, MissingOpensOfADailyFileAreNotMidnight) {
  // Sources without opens store 0 (a valid time, 00:00:00), with flat prices.
  DatBuilder dat = DatBuilder::ForFields(7);
  dat.Values({StoredDate(1985, 1, 2), 0, 2.3327f, 2.3327f, 2.3327f, 446737.47f, 0});
  dat.Values({StoredDate(1985, 1, 3), 0, 2.3237f, 2.3237f, 2.3237f, 549741.25f, 0});
  Write(dat);
  EXPECT_EQ(Length(), 28);
  EXPECT_EQ(Intra(), 0);
}

TEST_F(DatProbeTest, DuplicatedDailyRecordsAreNotIntraday) {
  Series series = Series::Daily(10);
  for (Bar& bar : series.bars) {
    bar.open = 12;  // a whole number, so column 1 passes as a time
    bar.low = 12;
  }
  std::vector<Bar> doubled;
  for (const Bar& bar : series.bars) doubled.insert(doubled.end(), {bar, bar});
  series.bars = doubled;
  Write(series.Dat(7, 'D'));
  EXPECT_EQ(Length(), 28);
  EXPECT_EQ(Intra(), 0);
}

TEST_F(DatProbeTest, RevisedDaysAppendedAgainAreNotIntraday) {
  // Whole-yen prices pass as times, and a day appended again after a
  // revision repeats its date with a higher "time" (the revised open).
  DatBuilder dat = DatBuilder::ForFields(7);
  for (int day = 1; day <= 20; ++day) {
    const float open = 1500 + 10 * static_cast<float>(day);
    dat.Values({StoredDate(2004, 3, day), open, open + 30, open - 20, open + 10, 125000, 0});
    if (day % 7 == 0)
      dat.Values({StoredDate(2004, 3, day), open + 5, open + 30, open - 20, open + 10, 125500, 0});
  }
  Write(dat);
  EXPECT_EQ(Length(), 28);
  EXPECT_EQ(Intra(), 0);
}

TEST_F(DatProbeTest, RepeatedDatesWithPricesInColumnOneAreNotIntraday) {
  // A 5-field file whose days were each stored twice, the second time with
  // a higher high: the values rise, but prices with cents are not times.
  DatBuilder dat = DatBuilder::ForFields(5);
  for (int day = 1; day <= 12; ++day) {
    dat.Values({StoredDate(2004, 3, day), 120.25f, 119.5f, 120, 9000});
    dat.Values({StoredDate(2004, 3, day), 120.75f, 119.5f, 120, 9000});
  }
  Write(dat);
  EXPECT_EQ(Length(), 20);
  EXPECT_EQ(Intra(), 0);
  // The same with whole-second times in column 1 is intraday.
  DatBuilder timed = DatBuilder::ForFields(5);
  for (int day = 1; day <= 12; ++day) {
    timed.Values({StoredDate(2004, 3, day), StoredTime(10, 0, 0), 119.5f, 120, 9000});
    timed.Values({StoredDate(2004, 3, day), StoredTime(14, 0, 0), 119.5f, 120, 9000});
  }
  Write(timed);
  EXPECT_EQ(Intra(), 1);
}

TEST_F(DatProbeTest, IntradayWithOneBarADayIsStillIntraday) {
  Series series = Series::Daily(15);
  for (Bar& bar : series.bars) bar.time = StoredTime(16, 0, 0);
  Write(series.Dat(7, 'I'));
  EXPECT_EQ(Intra(), 1);
}

TEST_F(DatProbeTest, ASingleIntradayRecord) {
  Write(
      DatBuilder::ForFields(7).Values({StoredDate(2013, 11, 15), 90500, 8.585f, 8.65f, 8.585f, 8.65f, 1713}));
  EXPECT_EQ(Length(), 28);
  EXPECT_EQ(Intra(), 1);
}

TEST_F(DatProbeTest, IntradayAcrossMidnightStartsEachDayAfresh) {
  DatBuilder dat = DatBuilder::ForFields(7);
  for (int day = 14; day <= 16; ++day) {
    for (int hour : {0, 6, 12, 18}) {
      dat.Values({StoredDate(2013, 11, day), StoredTime(hour, 0, 0), 1.1f, 1.2f, 1.0f, 1.15f, 500});
    }
  }
  Write(dat);
  EXPECT_EQ(Intra(), 1);
}

TEST_F(DatProbeTest, FiveFieldRecordsWithATimeColumnAreIntraday) {
  // No layout has them, but the records do carry times.
  Series series = Series::Intraday(3, 8);
  Write(series.Dat({fixtures::Col::Date, fixtures::Col::Time, fixtures::Col::High, fixtures::Col::Low,
                    fixtures::Col::Close}));
  EXPECT_EQ(Length(), 20);
  EXPECT_EQ(Intra(), 1);
}

TEST_F(DatProbeTest, ProbesReadWithoutChangingOrHoldingTheFile) {
  const Bytes bytes = Series::Intraday(2, 5).Dat(7, 'I').Build();
  Write(bytes);
  const MasterRecord record = MasterEntry{.fileNumber = 1, .fieldCount = 7, .period = 'I'}.Record();
  Length();
  Intra();
  GetDATStartDate(dir_.Dir().c_str(), 1, record);
  GetDATEndDate(dir_.Dir().c_str(), 1, record);
  EXPECT_EQ(testing_support::ReadBytes(dir_.Path("F1.DAT")), bytes);
  EXPECT_EQ(IsFileOpen(DATFileName(dir_.Dir().c_str(), 1).c_str()), 0);
}

TEST_F(DatProbeTest, StartAndEndDatesAreTheFirstAndLastDateColumns) {
  Series series = Series::Daily(5, 1999, 12, 29);
  Write(series.Dat(6, 'D'));
  const MasterRecord record = MasterEntry{.fileNumber = 1, .fieldCount = 6}.Record();
  EXPECT_EQ(GetDATStartDate(dir_.Dir().c_str(), 1, record), 991229.0f);
  EXPECT_EQ(GetDATEndDate(dir_.Dir().c_str(), 1, record), series.bars.back().date);
  EXPECT_GT(series.bars.back().date, 1000000.0f);
}

TEST_F(DatProbeTest, StartAndEndDatesUseTheRecordLengthTheyAreGiven) {
  Write(DatBuilder::ForFields(4).Values({960101, 93000, 5, 6}).Values({960102, 94000, 7, 8}));  // 48 bytes
  const MasterRecord wrong = MasterEntry{.fileNumber = 1, .fieldCount = 6}.Record();
  EXPECT_EQ(GetDATStartDate(dir_.Dir().c_str(), 1, wrong), 5.0f) << "bytes 24-27";
  EXPECT_EQ(GetDATEndDate(dir_.Dir().c_str(), 1, wrong), 5.0f) << "bytes 48 - 24 = 24 again";
}

TEST_F(DatProbeTest, StartAndEndDatesOfCorruptHeaderOnlyAndMissingFiles) {
  const MasterRecord record = MasterEntry{.fileNumber = 1, .fieldCount = 5}.Record();
  const char* dir = dir_.Dir().c_str();
  EXPECT_EQ(GetDATStartDate(dir, 1, record), -1.0f) << "missing";
  EXPECT_EQ(GetDATEndDate(dir, 1, record), -1.0f) << "missing";
  Write(DatBuilder::ForFields(5));
  EXPECT_EQ(GetDATStartDate(dir, 1, record), -1.0f) << "no data record: nothing to read";
  EXPECT_EQ(GetDATEndDate(dir, 1, record), -1.0f) << "no data record: the header is not a date";
  Write(DatBuilder::ForFields(5).Words({fixtures::kStoredMinusOne}).Words({fixtures::HugeWord()}));
  EXPECT_EQ(GetDATStartDate(dir, 1, record), kCorruptNumber);
  EXPECT_EQ(GetDATEndDate(dir, 1, record), kCorruptNumber);
}

TEST(RecordLengthOfContentsTest, AgreesWithTheFileProbe) {
  const Bytes bytes = Series::Daily(6).Dat(5, 'D').Build();
  EXPECT_EQ(RecordLengthOfContents(bytes), 20);
  EXPECT_EQ(IntradayContents(bytes, 20), 0);
  EXPECT_EQ(RecordLengthOfContents(std::span<const uint8_t>()), kUnknownRecordLength);
}

}  // namespace
