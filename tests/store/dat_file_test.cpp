#include "store/dat_file.h"

#include <filesystem>

#include "primitives/mbf.h"
#include "store/dat_probe.h"
#include "store/record_search.h"
#include "store_fixture.h"

namespace store_test {
namespace {

class DatFileTest : public ::testing::Test {
 protected:
  Bytes Dat() const { return ReadBytes(dir_.Path("F1.DAT")); }
  FileGuard Open(int recordLength, int mode = 1) const { return OpenDat(dir_.Dir(), 1, recordLength, mode); }
  const char* Dir() const { return dir_.Dir().c_str(); }
  TempDir dir_;
};

TEST_F(DatFileTest, HeaderCountIsStoredWhileItFitsSixteenBitsAndTheFirstFieldKept) {
  for (auto [count, stored] :
       {std::pair{12, 12}, {40000, 40000}, {65535, 65535}, {65536, 0}, {32767, 32767}, {0, 0}}) {
    WriteDat(dir_, 1, DatBuilder::ForFields(5).HeaderFirst(0xA1B2).HeaderCount(9).Values({1}));
    FileGuard dat = Open(20);
    SSeek(dat.Get(), 7, 0);
    EXPECT_EQ(UpdateDATHeader(dat.Get(), count), 1) << count;
    EXPECT_EQ(SSeek(dat.Get(), 0, 1), 7) << "the position stays";
    dat.Close();
    EXPECT_EQ(Dat(),
              DatBuilder::ForFields(5).HeaderFirst(0xA1B2).HeaderCount(uint16_t(stored)).Values({1}).Build());
  }
  WriteBytes(dir_.Path("F1.DAT"), Bytes{0, 0, 1});
  EXPECT_EQ(UpdateDATHeader(Open(20).Get(), 5), 0);
  EXPECT_EQ(Dat(), (Bytes{0, 0, 1}));
}

// The column file names each column of the layout, prices with 3 decimals; a layout that does not exist
// has every column an error.
TEST_F(DatFileTest, ColumnFilesFollowTheLayout) {
  const std::string names[] = {"Date", "Time", "Open", "High", "Low", "Close", "Volume", "OI"};
  for (const auto& [fields, period] : {std::pair{4, 'I'}, {5, 'W'}, {6, 'M'}, {7, 'D'}, {8, 'I'}, {6, 'I'}}) {
    ASSERT_EQ(CreateDOPFile(Dir(), MasterEntry{.fieldCount = uint8_t(fields), .period = period}.Record()), 1);
    const std::vector<Col> columns = LayoutColumns(fields, period);
    std::string expected;
    for (int c = 0; c < fields; ++c) {
      const int k = columns.empty() ? -1 : int(columns[size_t(c)]);
      expected += (k < 0 ? "Error" : names[k]) +
                  (k >= int(Col::Open) && k <= int(Col::Close) ? ", 3" : ", 0") + ", 0,\r\n";
    }
    const Bytes dop = ReadBytes(dir_.Path("F1.DOP"));
    EXPECT_EQ(std::string(dop.begin(), dop.end()), expected + "\r\n") << fields << period;
  }
}

TEST_F(DatFileTest, OpeningChecksTheSizeAndOffersToRecreateAnEmptyFile) {
  const Bytes six = Series::Daily(3).Dat(6, 'D').HeaderFirst(0x0102).Build(), none;
  Bytes ragged = six;
  ragged.resize(100);
  const std::string kRagged = "File is an inconsistent size. Ignore ?",
                    kEmpty = "Invalid DAT file. Do you wish to re-create it ?";
  // file, field count, period, answer (-1: none), mode -> result, record count, question, notice, file after
  const std::tuple<Bytes, int, char, int, int, int, int, std::string, const char*, Bytes> cases[] = {
      {six, 6, 'D', -1, 1, 1, 4, "", nullptr, six},
      {ragged, 6, 'D', 1, 1, 1, 4, kRagged, nullptr, ragged},
      {ragged, 6, 'D', 0, 1, 0, 4, kRagged, nullptr, ragged},
      {none, 7, 'D', 0, 1, 0, -7, kEmpty, nullptr, none},
      {none, 7, 'I', 1, 1, 1, 1, kEmpty, nullptr, DatBuilder::ForFields(7).Build()},
      {none, 7, 'D', 1, 0, 0, -7, kEmpty, "Create Failed!", none},  // through a read-only handle
      {six, 6, 'I', -1, 1, 0, 4, "", nullptr, six},                 // no such layout
      {six, 0, 'D', 1, 1, 0, -7, "", nullptr, six}};                // no record length
  for (const auto& [file, fields, period, answer, mode, result, count, question, notice, after] : cases) {
    WriteBytes(dir_.Path("F1.DAT"), file);
    ScriptedInteraction ui;
    if (answer >= 0) ui = ScriptedInteraction{answer == 1};
    DATLayout layout{-7, {}};
    DATHeader header{};
    const MasterRecord record = MasterEntry{.fieldCount = uint8_t(fields), .period = period}.Record();
    EXPECT_EQ(GetDATFileType(Open(std::max(4 * fields, 4), mode).Get(), "", record, &layout, &header, ui),
              result);
    EXPECT_EQ(layout.recordCount, count) << file.size();
    EXPECT_EQ(ui.questions, question.empty() ? Texts{} : Texts{question}) << file.size();
    EXPECT_EQ(ui.notices, notice ? Texts{notice} : Texts{}) << file.size();
    EXPECT_EQ(Dat(), after) << file.size();
    EXPECT_TRUE(!result || GetU32(after, 0) == GetU32(Bytes(header.raw, header.raw + 4), 0)) << file.size();
  }
  EXPECT_EQ(CreateDATFile((dir_.Dir() + "missing\\").c_str(), MasterEntry{}.Record()), 0);
}

// The first records of a file, counted in its header.
Bytes Cut(const DatBuilder& dat, int records) {
  Bytes bytes = dat.Build();
  bytes.resize(size_t((records + 1) * dat.RecordLength()));
  bytes[2] = uint8_t(records + 1), bytes[3] = uint8_t((records + 1) >> 8);
  return bytes;
}

TEST_F(DatFileTest, ProbesJudgeTheRecordLengthAndIntradayFromTheBytesAlone) {
  std::vector<std::tuple<std::string, Bytes, int, int>> cases;  // rule, file, length (0xFFFF: none), intraday
  for (int fields = 4; fields <= 8; ++fields) {
    for (const char* p = "DWMI"; *p; ++p) {
      if (LayoutColumns(fields, *p).empty()) continue;
      const std::string layout = std::to_string(fields) + *p;
      DatBuilder dat = (*p == 'I' ? Series::Intraday(42, 6) : Series::Daily(251)).Dat(fields, *p);
      for (int records : {1, 2, 3, 5, 40, 251})
        cases.push_back({layout + " x" + std::to_string(records), Cut(dat, records), 4 * fields, *p == 'I'});
      dat.SetWord(3, 0, kStoredMinusOne).SetWord(17, 0, 0).SetValue(25, 0, StoredDate(2099, 12, 31));
      dat.SetWord(30, 1, kHugeWord).SetWord(31, 0, kHugeWord);
      cases.push_back({layout + " with corrupt records", Cut(dat, 40), 4 * fields, *p == 'I'});
    }
    cases.push_back(
        {"header only", DatBuilder::ForFields(fields).Build(), 4 * fields, fields == 4 || fields == 8});
  }
  auto rows = [](int fields, const std::vector<std::vector<float>>& values) {
    DatBuilder dat = DatBuilder::ForFields(fields);
    for (const auto& row : values) dat.Values(row);
    return dat.Build();
  };
  std::vector<std::vector<float>> index, twice, cents, timed;
  for (int day = 1; day <= 20; ++day) {
    const float open = 10500 + 100 * float(day % 3), price = 12 + float(day % 4);
    index.push_back({StoredDate(2001, 3, day), open, open + 150, open - 120, open + 20, 0, 0});
    for (int k = 0; k < 2; ++k) {
      twice.push_back(
          {StoredDate(2004, 3, day), 12, price + 1, 12, price, 900, 0});  // opens that pass for times
      cents.push_back({StoredDate(2004, 3, day), 120.25f + 0.5f * k, 119.5f, 120, 9000});
      timed.push_back({StoredDate(2004, 3, day), StoredTime(10 + 4 * k, 0, 0), 119.5f, 120, 9000});
    }
  }
  DatBuilder volumeLikeDate = Series::Daily(7, 1996, 1, 2).Dat(5, 'D');
  volumeLikeDate.SetValue(6, 4, 960115);  // 16 bytes after the last date; 160 bytes fit 16, 20 and 32
  Series oneBarADay = Series::Daily(15);
  for (Bar& bar : oneBarADay.bars) bar.time = StoredTime(16, 0, 0);
  Series smallPrices = Series::Daily(12);  // 120.5 formats as 000121, a valid time
  for (Bar& bar : smallPrices.bars)
    bar.open = 120.5f, bar.high = 121.25f, bar.low = 119.75f, bar.close = 120.5f;
  std::vector<std::vector<float>> revised, midnight;
  for (int day = 1; day <= 20; ++day) {  // whole-yen prices; a revised day appended again
    const float open = 1500 + 10 * float(day);
    for (int k = 0; k < (day % 7 ? 1 : 2); ++k)
      revised.push_back({StoredDate(2004, 3, day), open + 5 * k, open + 30, open - 20, open + 10, 125000, 0});
    for (int hour = 0; day <= 3 && hour < 24; hour += 6)
      midnight.push_back({StoredDate(2013, 11, day), StoredTime(hour, 0, 0), 1.1f, 1.2f, 1.0f, 1.15f, 500});
  }
  Series dated = Series::Daily(19, 2005, 3, 1);  // 560 bytes: fit 16, 20 and 28
  for (size_t i = 0; i < dated.bars.size(); ++i)
    dated.bars[i].volume = StoredDate(2005, 3, 1) + float(i),
    dated.bars[i].openInterest = StoredDate(2006, 1, 1) + float(i);
  const std::vector<Col> timedFive = {Col::Date, Col::Time, Col::High, Col::Low, Col::Close};
  DatBuilder garbage(24);
  for (int i = 0; i < 4; ++i) garbage.Values({120.5f, 3, 4, 5, 6, 7});
  const std::tuple<std::string, Bytes, int, int> special[] = {
      {"partial record", Series::Daily(9).Dat(7, 'D').Append(Bytes(6, 0)).Build(), 0xFFFF, 0},
      {"shorter than a header", Bytes(12, 0), 0xFFFF, 0},
      {"no dates", garbage.HeaderCount(0).Build(), 0xFFFF, 0},
      {"no dates, the count confirms 24", garbage.HeaderCount(5).Build(), 24, 0},
      {"a volume like a date", volumeLikeDate.Build(), 20, 0},
      {"empty", Bytes{}, 0xFFFF, 0},
      {"across the century", Series::Daily(30, 1999, 12, 15).Dat(6, 'D').Build(), 24, 0},
      {"small prices", smallPrices.Dat(7, 'D').Build(), 28, 0},
      {"volumes and open interest like dates", dated.Dat(7, 'D').Build(), 28, 0},
      {"one record, counted 0", DatBuilder::ForFields(6).Values({1001106, 49}).HeaderCount(0).Build(), 24, 0},
      {"missing opens",
       rows(7, {{StoredDate(1985, 1, 2), 0, 2.33f, 2.33f, 2.33f, 446737.47f, 0},
                {StoredDate(1985, 1, 3), 0, 2.32f, 2.32f, 2.32f, 549741.25f, 0}}),
       28, 0},
      {"a revised day appended again", rows(7, revised), 28, 0},
      {"intraday across midnight", rows(7, midnight), 28, 1},
      {"five fields with times", Series::Intraday(3, 8).Dat(timedFive).Build(), 20, 1},
      {"a stale count", Series::Daily(10).Dat(6, 'D').HeaderCount(3).Build(), 24, 0},
      {"whole-number prices", rows(7, {{StoredDate(2000, 11, 6), 49, 49, 45, 48.5f, 3462700, 0}}), 28, 0},
      {"an index", rows(7, index), 28, 0},
      {"days stored twice", rows(7, twice), 28, 0},
      {"repeated dates, prices in column 1", rows(5, cents), 20, 0},
      {"repeated dates, times in column 1", rows(5, timed), 20, 1},
      {"intraday, one bar a day", oneBarADay.Dat(7, 'I').Build(), 28, 1},
      {"one intraday record",
       rows(7, {{StoredDate(2013, 11, 15), 90500, 8.585f, 8.65f, 8.585f, 8.65f, 1713}}), 28, 1}};
  cases.insert(cases.end(), std::begin(special), std::end(special));
  for (int n : {1, 2, 3, 6, 7, 39}) {  // every other date of a 16-byte file lies 32 bytes apart
    cases.push_back({"16 not 32, x" + std::to_string(n), Cut(Series::Intraday(7, 6).Dat(4, 'I'), n), 16, 1});
    cases.push_back({"32 not 16, x" + std::to_string(n), Series::Intraday(1, n).Dat(8, 'I').Build(), 32, 1});
  }
  for (const auto& [rule, file, length, intraday] : cases) {
    WriteBytes(dir_.Path("F1.DAT"), file);
    EXPECT_EQ(RecordLengthOfContents(file), length) << rule;
    EXPECT_EQ(AscertainRecordLength(Dir(), 1), length) << rule;
    EXPECT_EQ(IsIntra(Dir(), 1), intraday) << rule;
    EXPECT_EQ(Dat(), file) << rule << ": probes only read";
  }
  EXPECT_EQ(IsFileOpen((dir_.Dir() + "F1.DAT").c_str()), 0);
  std::filesystem::remove(dir_.Path("F1.DAT"));
  EXPECT_EQ(AscertainRecordLength(Dir(), 1) + IsIntra(Dir(), 1), 0xFFFF) << "no file";
}

// Dates as the searches take them: years since 1900.
TEST_F(DatFileTest, GotoFindsTheFirstRecordAtOrAfterADateOrMoment) {
  DatBuilder daily = DatBuilder::ForFields(5);
  for (float date : {980105, 981231, 1000103, 1000104, 1000110})
    daily.Values({date, 12.5f, 1010315, 1010315, 3400});
  daily.SetWord(1, 0, kStoredMinusOne);  // passed over; and prices that look like dates are never compared
  daily.HeaderCount(0xA000);             // nor is the header, though its first word reads as 2^31
  WriteDat(dir_, 1, daily);
  FileGuard file = Open(20);
  const std::pair<std::vector<int>, int> dates[] = {{{5, 1, 98}, 0}, {{4, 1, 100}, 3},   {{10, 1, 100}, 4},
                                                    {{6, 1, 98}, 2}, {{1, 6, 99}, 2},    {{5, 1, 100}, 4},
                                                    {{1, 1, 90}, 0}, {{11, 1, 100}, -1}, {{30, 2, 100}, -1}};
  for (const auto& [d, expected] : dates)
    EXPECT_EQ(GetRecordNumberFromDate(file.Get(), MasterEntry{.fieldCount = 5}.Record(), d[0], d[1], d[2]),
              expected)
        << d[0] << "/" << d[1];
  const MasterRecord noLength = MasterEntry{.recordLength = 0}.Record();
  EXPECT_EQ(GetRecordNumberFromDate(file.Get(), noLength, 1, 1, 90) +
                GetRecordNumberFromDateTime(file.Get(), noLength, 1, 1, 90, 9, 0, 0),
            -2);

  const std::pair<float, float> moments[] = {{991231, 155500}, {991231, 160000}, {1000103, 93500},
                                             {1000103, 94000}, {1000103, 94500}, {1000104, 93500}};
  auto search = [&](int records, std::vector<int> m) {
    DatBuilder dat = DatBuilder::ForFields(7);
    for (int i = 0; i < records; ++i)
      dat.Values({moments[i].first, moments[i].second, 20, 21, 19, 20.5f, 800});
    WriteDat(dir_, 2, dat.HeaderCount(0xA000));
    const MasterRecord seven = MasterEntry{.fieldCount = 7, .period = 'I'}.Record();
    return GetRecordNumberFromDateTime(OpenDat(dir_.Dir(), 2, 28).Get(), seven, m[0], m[1], m[2], m[3], m[4],
                                       m[5]);
  };
  const std::pair<std::vector<int>, int> cases[] = {{{3, 1, 100, 9, 40, 0}, 3},  {{3, 1, 100, 9, 37, 30}, 3},
                                                    {{31, 12, 99, 9, 0, 0}, 0},  {{31, 12, 99, 16, 30, 0}, 2},
                                                    {{1, 1, 100, 12, 0, 0}, 2},  {{4, 1, 100, 9, 35, 0}, 5},
                                                    {{4, 1, 100, 10, 0, 0}, 5},  {{1, 1, 110, 0, 0, 0}, 5},
                                                    {{3, 1, 100, 25, 0, 0}, -1}, {{32, 1, 100, 9, 0, 0}, -1}};
  for (const auto& [m, expected] : cases)
    EXPECT_EQ(search(6, m), expected) << m[0] << "/" << m[1] << " " << m[3];
  EXPECT_EQ(search(1, {1, 1, 100, 0, 0, 0}), -1) << "after the only record";
  EXPECT_EQ(search(1, {31, 12, 99, 15, 55, 0}), 0);
  EXPECT_EQ(search(0, {1, 1, 100, 0, 0, 0}), -1);
}

}  // namespace
}  // namespace store_test
