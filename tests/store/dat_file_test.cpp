#include "store/dat_file.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "fixtures.h"
#include "store/file_guard.h"
#include "support/temp_dir.h"

namespace {

using fixtures::DatBuilder;
using fixtures::MasterEntry;
using fixtures::MbfWord;
using fixtures::ScriptedInteraction;
using fixtures::StoredDate;
using fixtures::StoredTime;
using testing_support::Bytes;
using testing_support::ReadBytes;
using testing_support::TempDir;

using F = FieldType;

struct LayoutCase {
  int fieldCount;
  char period;
  std::vector<FieldType> columns;
};

TEST(AssignFieldTypesTest, TheTwelveLayouts) {
  const std::vector<LayoutCase> cases = {
      {4, 'I', {F::Date, F::Time, F::Close, F::Volume}},
      {5, 'D', {F::Date, F::High, F::Low, F::Close, F::Volume}},
      {5, 'W', {F::Date, F::High, F::Low, F::Close, F::Volume}},
      {5, 'M', {F::Date, F::High, F::Low, F::Close, F::Volume}},
      {6, 'D', {F::Date, F::Open, F::High, F::Low, F::Close, F::Volume}},
      {6, 'W', {F::Date, F::Open, F::High, F::Low, F::Close, F::Volume}},
      {6, 'M', {F::Date, F::Open, F::High, F::Low, F::Close, F::Volume}},
      {7, 'I', {F::Date, F::Time, F::Open, F::High, F::Low, F::Close, F::Volume}},
      {7, 'D', {F::Date, F::Open, F::High, F::Low, F::Close, F::Volume, F::OpenInterest}},
      {7, 'W', {F::Date, F::Open, F::High, F::Low, F::Close, F::Volume, F::OpenInterest}},
      {7, 'M', {F::Date, F::Open, F::High, F::Low, F::Close, F::Volume, F::OpenInterest}},
      {8, 'I', {F::Date, F::Time, F::Open, F::High, F::Low, F::Close, F::Volume, F::OpenInterest}},
  };
  for (const LayoutCase& c : cases) {
    DATLayout layout;
    std::fill(std::begin(layout.fieldTypes), std::end(layout.fieldTypes), F::Volume);
    const MasterRecord record =
        MasterEntry{.fieldCount = static_cast<uint8_t>(c.fieldCount), .period = c.period}.Record();
    ASSERT_EQ(AssignFieldTypes(&layout, record), 1) << c.fieldCount << c.period;
    std::vector<FieldType> expected = c.columns;
    expected.resize(kMaxFields, F::None);
    EXPECT_EQ(std::vector<FieldType>(layout.fieldTypes, layout.fieldTypes + kMaxFields), expected)
        << c.fieldCount << c.period;
  }
}

TEST(AssignFieldTypesTest, UnknownLayoutsLeaveTheLayoutUntouched) {
  const std::vector<std::pair<int, char>> unknown = {{5, 'I'}, {6, 'I'}, {4, 'D'}, {4, 'W'}, {4, 'M'},
                                                     {8, 'D'}, {3, 'I'}, {9, 'I'}, {0, 'D'}, {7, 'd'},
                                                     {7, 'i'}, {5, 'w'}, {6, 'm'}, {7, 'X'}, {7, ' '}};
  for (auto [fields, period] : unknown) {
    DATLayout layout;
    layout.recordCount = 77;
    std::fill(std::begin(layout.fieldTypes), std::end(layout.fieldTypes), F::High);
    const MasterRecord record =
        MasterEntry{.fieldCount = static_cast<uint8_t>(fields), .period = period}.Record();
    EXPECT_EQ(AssignFieldTypes(&layout, record), 0) << fields << period;
    for (FieldType type : layout.fieldTypes) EXPECT_EQ(type, F::High);
    EXPECT_EQ(layout.recordCount, 77);
  }
}

TEST(EnumerateFieldTypeTest, TextsAndUnknownCodes) {
  const std::vector<std::pair<int, std::string>> cases = {
      {1, "Date"},   {2, "Time"}, {3, "Open"},    {4, "Low"},     {5, "High"},     {6, "Close"},
      {7, "Volume"}, {8, "O I"},  {0, "Unknown"}, {9, "Unknown"}, {-1, "Unknown"}, {255, "Unknown"}};
  for (const auto& [code, text] : cases) EXPECT_EQ(EnumerateFieldType(code), text) << code;
  EXPECT_STREQ(EnumerateFieldType(F::OpenInterest), "O I");
}

TEST(DatFileNameTest, NamesAreFormedByAppending) {
  EXPECT_EQ(DATFileName("C:\\DATA\\", 17), "C:\\DATA\\F17.DAT");
  EXPECT_EQ(DOPFileName("C:\\DATA\\", 255), "C:\\DATA\\F255.DOP");
}

class DatFileTest : public ::testing::Test {
 protected:
  std::string DatName(int n) const { return dir_.Name("F" + std::to_string(n) + ".DAT"); }
  Bytes DatBytes(int n) const { return ReadBytes(dir_.Path("F" + std::to_string(n) + ".DAT")); }
  FileGuard Open(int n, int mode, int recordLength) const {
    return FileGuard(SOpenFile(DatName(n).c_str(), mode, 1, static_cast<uint32_t>(recordLength), 0));
  }
  const char* Dir() const { return dir_.Dir().c_str(); }

  TempDir dir_;
};

TEST_F(DatFileTest, NewSixFieldFileIsItsHeaderAlone) {
  ASSERT_EQ(CreateDATFile(Dir(), MasterEntry{.fileNumber = 3, .fieldCount = 6}.Record()), 1);
  Bytes expected(24, 0);
  expected[2] = 1;
  EXPECT_EQ(DatBytes(3), expected);
}

TEST_F(DatFileTest, CreateEmptiesAnExistingFileAndSizesTheHeaderByRecordLength) {
  fixtures::WriteDat(dir_, 5, fixtures::Series::Daily(10).Dat(7, 'D'));
  ASSERT_EQ(CreateDATFile(Dir(), MasterEntry{.fileNumber = 5, .fieldCount = 8, .period = 'I'}.Record()), 1);
  Bytes expected(32, 0);
  expected[2] = 1;
  EXPECT_EQ(DatBytes(5), expected);
}

TEST_F(DatFileTest, CreateFailsWhenTheFileCannotBeCreated) {
  EXPECT_EQ(CreateDATFile((dir_.Dir() + "missing\\").c_str(), MasterEntry{}.Record()), 0);
}

TEST_F(DatFileTest, DopTextOfSixFieldDaily) {
  ASSERT_EQ(CreateDOPFile(Dir(), MasterEntry{.fileNumber = 2, .fieldCount = 6}.Record()), 1);
  const std::string text =
      "Date, 0, 0,\r\nOpen, 3, 0,\r\nHigh, 3, 0,\r\nLow, 3, 0,\r\nClose, 3, 0,\r\nVolume, 0, 0,\r\n\r\n";
  EXPECT_EQ(ReadBytes(dir_.Path("F2.DOP")), Bytes(text.begin(), text.end()));
}

TEST_F(DatFileTest, DopTextsOfIntradayLayouts) {
  ASSERT_EQ(CreateDOPFile(Dir(), MasterEntry{.fileNumber = 4, .fieldCount = 4, .period = 'I'}.Record()), 1);
  const std::string four = "Date, 0, 0,\r\nTime, 0, 0,\r\nClose, 3, 0,\r\nVolume, 0, 0,\r\n\r\n";
  EXPECT_EQ(ReadBytes(dir_.Path("F4.DOP")), Bytes(four.begin(), four.end()));
  ASSERT_EQ(CreateDOPFile(Dir(), MasterEntry{.fileNumber = 8, .fieldCount = 8, .period = 'I'}.Record()), 1);
  const std::string eight =
      "Date, 0, 0,\r\nTime, 0, 0,\r\nOpen, 3, 0,\r\nHigh, 3, 0,\r\nLow, 3, 0,\r\nClose, 3, 0,\r\n"
      "Volume, 0, 0,\r\nOI, 0, 0,\r\n\r\n";
  EXPECT_EQ(ReadBytes(dir_.Path("F8.DOP")), Bytes(eight.begin(), eight.end()));
}

TEST_F(DatFileTest, DopOfAnUnknownLayoutNamesEveryFieldError) {
  ASSERT_EQ(CreateDOPFile(Dir(), MasterEntry{.fileNumber = 6, .fieldCount = 5, .period = 'I'}.Record()), 1);
  std::string text;
  for (int i = 0; i < 5; ++i) text += "Error, 0, 0,\r\n";
  text += "\r\n";
  EXPECT_EQ(ReadBytes(dir_.Path("F6.DOP")), Bytes(text.begin(), text.end()));
}

TEST_F(DatFileTest, DopOfAHugeFieldCountIsWrittenWhole) {
  // 60 lines would not fit the classic 300-byte text buffer.
  ASSERT_EQ(CreateDOPFile(Dir(), MasterEntry{.fileNumber = 6, .fieldCount = 60}.Record()), 1);
  EXPECT_EQ(ReadBytes(dir_.Path("F6.DOP")).size(), 60u * 14 + 2);
}

TEST_F(DatFileTest, CreateDopReplacesAnExistingLongerFile) {
  testing_support::WriteBytes(dir_.Path("F1.DOP"), Bytes(500, 'x'));
  ASSERT_EQ(CreateDOPFile(Dir(), MasterEntry{.fileNumber = 1, .fieldCount = 5}.Record()), 1);
  const std::string text =
      "Date, 0, 0,\r\nHigh, 3, 0,\r\nLow, 3, 0,\r\nClose, 3, 0,\r\nVolume, 0, 0,\r\n\r\n";
  EXPECT_EQ(ReadBytes(dir_.Path("F1.DOP")), Bytes(text.begin(), text.end()));
}

TEST_F(DatFileTest, ReadFieldReadsTheColumnOfThePhysicalRecord) {
  fixtures::WriteDat(dir_, 1,
                     DatBuilder::ForFields(5)
                         .Values({StoredDate(1996, 1, 15), 12.5f, 11, 12, 4000})
                         .Words({MbfWord(960116), fixtures::kStoredMinusOne, fixtures::HugeWord(), 0, 7}));
  FileGuard dat = Open(1, 0, 20);
  ASSERT_TRUE(dat.Valid());
  EXPECT_EQ(ReadField(dat.Get(), 1, 0, 20), 960115.0f);
  EXPECT_EQ(ReadField(dat.Get(), 1, 1, 20), 12.5f);
  EXPECT_EQ(ReadField(dat.Get(), 1, 4, 20), 4000.0f);
  EXPECT_EQ(ReadField(dat.Get(), 2, 1, 20), 0.0f) << "a stored -1.0 is corrupt and shows as 0";
  EXPECT_EQ(ReadField(dat.Get(), 2, 2, 20), 0.0f) << "above the ceiling is corrupt too";
  EXPECT_EQ(ReadField(dat.Get(), 0, 0, 20), 0.0f) << "the header read as a number: its exponent byte is 0";
  EXPECT_EQ(ReadField(dat.Get(), 3, 0, 20), -1.0f) << "beyond the end";
  EXPECT_EQ(ReadField(dat.Get(), 2, 5, 20), -1.0f) << "a column past the last record's end";
}

TEST_F(DatFileTest, RecordNumbersBeyondAnyFileAreRefused) {
  fixtures::WriteDat(dir_, 1, DatBuilder::ForFields(7).Values({StoredDate(2013, 11, 15), 90500}));
  FileGuard dat = Open(1, 1, 28);
  const MasterRecord record = MasterEntry{.fieldCount = 7, .period = 'I'}.Record();
  int16_t d, mo, y, h, mi, s;
  for (int32_t k : {100000000, INT32_MAX - 1, INT32_MAX}) {
    EXPECT_EQ(ReadField(dat.Get(), k, 0, 28), -1.0f) << k;
    EXPECT_EQ(WriteField(dat.Get(), 1.0f, k, 0, 28), 0) << k;
    EXPECT_EQ(GetDate(dat.Get(), record, k, &d, &mo, &y), 0) << k;
    EXPECT_EQ(GetDateTime(dat.Get(), record, k, &d, &mo, &y, &h, &mi, &s), 0) << k;
  }
  EXPECT_EQ(ReadField(dat.Get(), -1, 0, 28), -1.0f);
  EXPECT_EQ(FileLength(dat.Get()), 56) << "nothing was written";
}

TEST_F(DatFileTest, WriteFieldStoresMbfBytesWithoutMovingThePosition) {
  fixtures::WriteDat(dir_, 1, DatBuilder::ForFields(4).Values({1100104, 93000, 10, 5}));
  {
    FileGuard dat = Open(1, 1, 16);
    ASSERT_TRUE(dat.Valid());
    SSeek(dat.Get(), 5, 0);
    ASSERT_EQ(WriteField(dat.Get(), -1.0f, 1, 2, 16), 1);
    ASSERT_EQ(WriteField(dat.Get(), 120.5f, 2, 3, 16), 1) << "writes may extend the file";
    EXPECT_EQ(SSeek(dat.Get(), 0, 1), 5);
  }
  Bytes expected = DatBuilder::ForFields(4)
                       .Words({MbfWord(1100104), MbfWord(93000), fixtures::kStoredMinusOne, MbfWord(5)})
                       .Words({0, 0, 0, MbfWord(120.5f)})
                       .HeaderCount(2)
                       .Build();
  EXPECT_EQ(DatBytes(1), expected);
}

TEST_F(DatFileTest, WriteFieldThroughAReadOnlyHandleFails) {
  fixtures::WriteDat(dir_, 1, DatBuilder::ForFields(4).Values({1100104, 93000, 10, 5}));
  const Bytes before = DatBytes(1);
  FileGuard dat = Open(1, 0, 16);
  EXPECT_EQ(WriteField(dat.Get(), 3.0f, 1, 2, 16), 0);
  dat.Close();
  EXPECT_EQ(DatBytes(1), before);
}

TEST_F(DatFileTest, GetDateSplitsTheDateColumnOfDataRecordK) {
  fixtures::WriteDat(dir_, 1,
                     DatBuilder::ForFields(6)
                         .Values({StoredDate(1999, 12, 31)})
                         .Values({StoredDate(2010, 1, 4)})
                         .Values({StoredDate(2003, 2, 29)})
                         .Words({fixtures::kStoredMinusOne}));
  const MasterRecord record = MasterEntry{.fieldCount = 6}.Record();
  FileGuard dat = Open(1, 0, 24);
  int16_t day = -5, month = -5, year = -5;
  EXPECT_EQ(GetDate(dat.Get(), record, 0, &day, &month, &year), 1);
  EXPECT_EQ((std::vector<int>{day, month, year}), (std::vector<int>{31, 12, 99}));
  EXPECT_EQ(GetDate(dat.Get(), record, 1, &day, &month, &year), 1);
  EXPECT_EQ((std::vector<int>{day, month, year}), (std::vector<int>{4, 1, 110}));
  EXPECT_EQ(GetDate(dat.Get(), record, 2, &day, &month, &year), 0) << "29 Feb 2003 does not exist";
  EXPECT_EQ((std::vector<int>{day, month, year}), (std::vector<int>{29, 2, 103})) << "parts written anyway";
  EXPECT_EQ(GetDate(dat.Get(), record, 3, &day, &month, &year), 0) << "a corrupt date";
  day = month = year = -5;
  EXPECT_EQ(GetDate(dat.Get(), record, 4, &day, &month, &year), 0) << "beyond the end";
  EXPECT_EQ((std::vector<int>{day, month, year}), (std::vector<int>{-5, -5, -5}))
      << "nothing read, nothing written";
}

TEST_F(DatFileTest, GetDateTimeSplitsButDoesNotValidateTheTime) {
  fixtures::WriteDat(dir_, 1,
                     DatBuilder::ForFields(7)
                         .Values({StoredDate(2013, 11, 15), StoredTime(9, 5, 0), 8.5f})
                         .Values({StoredDate(2013, 11, 15), 250000, 8.5f})
                         .Values({StoredDate(2013, 13, 15), StoredTime(9, 15, 0), 8.5f}));
  const MasterRecord record = MasterEntry{.fieldCount = 7, .period = 'I'}.Record();
  FileGuard dat = Open(1, 0, 28);
  int16_t d, mo, y, h, mi, s;
  ASSERT_EQ(GetDateTime(dat.Get(), record, 0, &d, &mo, &y, &h, &mi, &s), 1);
  EXPECT_EQ((std::vector<int>{d, mo, y, h, mi, s}), (std::vector<int>{15, 11, 113, 9, 5, 0}));
  ASSERT_EQ(GetDateTime(dat.Get(), record, 1, &d, &mo, &y, &h, &mi, &s), 1) << "25:00:00 is returned as read";
  EXPECT_EQ(h, 25);
  EXPECT_EQ(GetDateTime(dat.Get(), record, 2, &d, &mo, &y, &h, &mi, &s), 0) << "month 13";
  EXPECT_EQ(GetDateTime(dat.Get(), record, 3, &d, &mo, &y, &h, &mi, &s), 0) << "beyond the end";
}

TEST_F(DatFileTest, GetDateTimeNeedsBothColumnsInTheFile) {
  // The last record is cut after its date: the 8-byte read is refused.
  fixtures::WriteDat(dir_, 1,
                     DatBuilder::ForFields(7).Values({StoredDate(2013, 11, 15), 90500}).Truncate(28 + 6));
  FileGuard dat = Open(1, 0, 28);
  int16_t d, mo, y, h, mi, s;
  EXPECT_EQ(GetDateTime(dat.Get(), MasterEntry{.fieldCount = 7, .period = 'I'}.Record(), 0, &d, &mo, &y, &h,
                        &mi, &s),
            0);
}

TEST_F(DatFileTest, UpdateHeaderWritesTheCountAndKeepsTheFirstField) {
  const std::vector<std::pair<int32_t, uint16_t>> cases = {{12, 12},       {40000, 0}, {32767, 0},
                                                           {32766, 32766}, {1, 1},     {0, 0}};
  for (auto [count, stored] : cases) {
    fixtures::WriteDat(dir_, 1, DatBuilder::ForFields(5).HeaderFirst(0xA1B2).HeaderCount(9).Values({1}));
    {
      FileGuard dat = Open(1, 1, 20);
      ASSERT_EQ(UpdateDATHeader(dat.Get(), count), 1) << count;
    }
    Bytes expected = DatBuilder::ForFields(5).HeaderFirst(0xA1B2).HeaderCount(stored).Values({1}).Build();
    EXPECT_EQ(DatBytes(1), expected) << count;
  }
}

TEST_F(DatFileTest, UpdateHeaderOfAFileShorterThanFourBytesWritesNothing) {
  fixtures::WriteDat(dir_, 1, Bytes{0, 0, 1});
  FileGuard dat = Open(1, 1, 20);
  EXPECT_EQ(UpdateDATHeader(dat.Get(), 5), 0);
  dat.Close();
  EXPECT_EQ(DatBytes(1), (Bytes{0, 0, 1}));
}

class GetDATFileTypeTest : public DatFileTest {
 protected:
  // As the editor opens it: read and write, shared, with the record length.
  int Run(const MasterRecord& record, ScriptedInteraction& ui, int mode = 1) {
    FileGuard dat = Open(record.FileNumber(), mode, record.RecordLength());
    EXPECT_TRUE(dat.Valid());
    layout_.recordCount = -7;
    return GetDATFileType(dat.Get(), DatName(record.FileNumber()).c_str(), record, &layout_, &header_, ui);
  }

  DATLayout layout_ = {};
  DATHeader header_ = {};
};

TEST_F(GetDATFileTypeTest, AWholeNumberOfRecordsAsksNothing) {
  fixtures::WriteDat(dir_, 1, fixtures::Series::Daily(3).Dat(6, 'D').HeaderFirst(0x0102));
  ScriptedInteraction ui;
  ASSERT_EQ(Run(MasterEntry{.fileNumber = 1, .fieldCount = 6}.Record(), ui), 1);
  EXPECT_TRUE(ui.questions.empty());
  EXPECT_EQ(layout_.recordCount, 4) << "96 bytes of 24";
  EXPECT_EQ(layout_.fieldTypes[1], F::Open);
  EXPECT_EQ(header_.Unused(), 0x0102);
  EXPECT_EQ(header_.RecordCount(), 4);
}

TEST_F(GetDATFileTypeTest, AnInconsistentSizeIsIgnoredOnlyOnYes) {
  for (bool yes : {true, false}) {
    fixtures::WriteDat(dir_, 1, fixtures::Series::Daily(3).Dat(6, 'D').Append(Bytes(4, 0)));  // 100 bytes
    ScriptedInteraction ui{yes};
    EXPECT_EQ(Run(MasterEntry{.fileNumber = 1, .fieldCount = 6}.Record(), ui), yes ? 1 : 0);
    EXPECT_EQ(ui.questions, std::vector<std::string>{"File is an inconsistent size. Ignore ?"});
    if (yes) {
      EXPECT_EQ(layout_.recordCount, 4) << "the whole records";
    }
  }
}

TEST_F(GetDATFileTypeTest, AnEmptyFileIsLeftAloneOnNo) {
  fixtures::WriteDat(dir_, 1, Bytes{});
  ScriptedInteraction ui{false};
  EXPECT_EQ(Run(MasterEntry{.fileNumber = 1, .fieldCount = 6}.Record(), ui), 0);
  EXPECT_EQ(ui.questions, std::vector<std::string>{"Invalid DAT file. Do you wish to re-create it ?"});
  EXPECT_TRUE(ui.notices.empty());
  EXPECT_TRUE(DatBytes(1).empty());
}

TEST_F(GetDATFileTypeTest, AnEmptyFileIsRecreatedThroughTheCallersHandleOnYes) {
  fixtures::WriteDat(dir_, 1, Bytes{});
  ScriptedInteraction ui{true};
  ASSERT_EQ(Run(MasterEntry{.fileNumber = 1, .fieldCount = 7, .period = 'I'}.Record(), ui), 1);
  EXPECT_TRUE(ui.notices.empty()) << (ui.notices.empty() ? "" : ui.notices[0]);
  EXPECT_EQ(layout_.recordCount, 1);
  EXPECT_EQ(layout_.fieldTypes[1], F::Time);
  EXPECT_EQ(header_.RecordCount(), 1);
  Bytes expected(28, 0);
  expected[2] = 1;
  EXPECT_EQ(DatBytes(1), expected);
}

TEST_F(GetDATFileTypeTest, RecreationThroughAReadOnlyHandleFailsWithANotice) {
  fixtures::WriteDat(dir_, 1, Bytes{});
  ScriptedInteraction ui{true};
  EXPECT_EQ(Run(MasterEntry{.fileNumber = 1, .fieldCount = 6}.Record(), ui, /*mode=*/0), 0);
  EXPECT_EQ(ui.notices, std::vector<std::string>{"Create Failed!"});
  EXPECT_TRUE(DatBytes(1).empty());
}

TEST_F(GetDATFileTypeTest, AnUnknownLayoutFailsAfterTheChecks) {
  fixtures::WriteDat(dir_, 1, fixtures::Series::Daily(2).Dat(5, 'D'));
  ScriptedInteraction ui;
  EXPECT_EQ(Run(MasterEntry{.fileNumber = 1, .fieldCount = 5, .period = 'I'}.Record(), ui), 0);
  EXPECT_EQ(layout_.recordCount, 3);
}

TEST_F(GetDATFileTypeTest, ARecordLengthOfZeroIsRefusedWithoutQuestions) {
  fixtures::WriteDat(dir_, 1, fixtures::Series::Daily(2).Dat(7, 'D'));
  ScriptedInteraction ui{true, true};
  FileGuard dat = Open(1, 1, 28);
  const MasterRecord record = MasterEntry{.fileNumber = 1, .recordLength = 0}.Record();
  EXPECT_EQ(GetDATFileType(dat.Get(), DatName(1).c_str(), record, &layout_, &header_, ui), 0);
  EXPECT_TRUE(ui.questions.empty());
}

}  // namespace
