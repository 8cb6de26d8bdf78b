#include "store/master_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fixtures.h"
#include "primitives/list.h"
#include "store/file_guard.h"
#include "support/temp_dir.h"

namespace {

using fixtures::MasterBuilder;
using fixtures::MasterEntry;
using fixtures::MbfWord;
using fixtures::StoredDate;
using testing_support::Bytes;
using testing_support::ReadBytes;
using testing_support::TempDir;
using testing_support::WriteBytes;

class MasterFileTest : public ::testing::Test {
 protected:
  void Write(const MasterBuilder& master) { fixtures::WriteMaster(dir_, master); }
  Bytes MasterBytes() const { return ReadBytes(dir_.Path("master")); }
  Bytes RecordBytes(int record) const {
    const Bytes all = MasterBytes();
    return Bytes(all.begin() + record * kMasterRecordSize, all.begin() + (record + 1) * kMasterRecordSize);
  }
  const char* Dir() const { return dir_.Dir().c_str(); }

  TempDir dir_;
};

TEST(MasterRecordTest, AccessorsDecodeEveryFieldAtItsOffset) {
  const MasterEntry entry{.fileNumber = 201,
                          .fileType = 0x1234,
                          .fieldCount = 6,
                          .recordLength = 28,
                          .reserved = 0x0506,
                          .name = "Acme Widgets",
                          .firstDateWord = MbfWord(StoredDate(2010, 1, 4)),
                          .lastDateWord = MbfWord(StoredDate(1999, 12, 31)),
                          .period = 'I',
                          .timeBase = 0xBEEF,
                          .symbol = "ACW.L"};
  const MasterRecord record = entry.Record();
  EXPECT_EQ(record.FileNumber(), 201);
  EXPECT_EQ(record.FileType(), 0x1234);
  EXPECT_EQ(record.RecordLength(), 28);
  EXPECT_EQ(record.FieldCount(), 6);
  EXPECT_EQ(record.Reserved(), 0x0506);
  EXPECT_EQ(record.Name(), "Acme Widgets");
  EXPECT_EQ(record.FirstDate(), 1100104.0f);
  EXPECT_EQ(record.LastDate(), 991231.0f);
  EXPECT_EQ(record.Period(), 'I');
  EXPECT_EQ(record.TimeBase(), 0xBEEF);
  EXPECT_EQ(record.Symbol(), "ACW.L");
}

TEST(MasterRecordTest, SettersWriteTheSameBytesAsTheFileFormat) {
  const MasterEntry entry{.fileNumber = 7,
                          .fieldCount = 5,
                          .name = "Gold",
                          .firstDateWord = MbfWord(960115.0f),
                          .lastDateWord = MbfWord(1131115.0f),
                          .period = 'W',
                          .timeBase = 0,
                          .symbol = "XAU"};
  MasterRecord record = {};
  record.SetFileNumber(7);
  record.SetFileType(kMasterFileType);
  record.SetRecordLength(20);
  record.SetFieldCount(5);
  record.SetName("Gold");
  record.SetFirstDate(960115.0f);
  record.SetLastDate(1131115.0f);
  record.SetPeriod('W');
  record.SetSymbol("XAU");
  record.raw[50] = ' ';
  record.raw[51] = ' ';
  EXPECT_EQ(Bytes(record.raw, record.raw + kMasterRecordSize), entry.Encode());
}

TEST(MasterRecordTest, TextsAreBlankPaddedCutAtWidthAndTrimmedOnReading) {
  MasterRecord record = {};
  record.SetName("A name much longer than sixteen");
  EXPECT_EQ(std::string(reinterpret_cast<char*>(record.raw + 7), 16), "A name much long");
  EXPECT_EQ(record.raw[23], 0) << "the byte after the name is not touched";
  record.SetSymbol("AB");
  EXPECT_EQ(std::string(reinterpret_cast<char*>(record.raw + 36), 14), "AB            ");
  EXPECT_EQ(record.Symbol(), "AB");
  record.SetName("");
  EXPECT_EQ(record.Name(), "");
  EXPECT_FALSE(record.NameIsHidden()) << "an empty name is sixteen blanks, not hidden";
  // A zero byte inside the field ends the text.
  record.SetName("ABC DEF");
  record.raw[7 + 3] = 0;
  EXPECT_EQ(record.Name(), "ABC");
}

TEST(MasterRecordTest, HeaderFieldsAreLittleEndian) {
  MasterHeader header = {};
  header.SetInstrumentCount(0x0102);
  header.SetLastFileNumber(255);
  EXPECT_EQ(header.raw[0], 0x02);
  EXPECT_EQ(header.raw[1], 0x01);
  EXPECT_EQ(header.raw[2], 0xFF);
  EXPECT_EQ(header.raw[3], 0x00);
}

TEST(FileTypeTextTest, EveryPeriodCharacterHasItsText) {
  const std::vector<std::pair<char, std::string>> cases = {
      {'D', "Daily File"},         {'W', "Weekly File"},      {'M', "Monthly File"},
      {'I', "IntraDay File"},      {'d', "Composite File"},   {'w', "Composite File"},
      {'m', "Composite File"},     {'i', "Composite File"},   {'X', "Unknown File Type"},
      {'\0', "Unknown File Type"}, {'y', "Unknown File Type"}};
  for (const auto& [period, text] : cases) EXPECT_EQ(FileTypeText(period), text) << "period " << int(period);
}

TEST_F(MasterFileTest, CreateEmptyMasterFileWritesOneZeroHeader) {
  ASSERT_EQ(CreateEmptyMasterFile(Dir()), 1);
  EXPECT_EQ(MasterBytes(), Bytes(53, 0));
}

TEST_F(MasterFileTest, CreateEmptyMasterFileEmptiesAnExistingMaster) {
  Write(MasterBuilder().Add({.fileNumber = 1}).Add({.fileNumber = 2}).LastFileNumber(2));
  ASSERT_EQ(CreateEmptyMasterFile(Dir()), 1);
  EXPECT_EQ(MasterBytes(), Bytes(53, 0));
}

TEST_F(MasterFileTest, DirectoryWithoutMasterHasNothing) {
  fixtures::RecordingListBox box;
  EXPECT_EQ(ListInstruementsInDirectory(box, Dir()), 1);
  EXPECT_TRUE(box.items.empty());
  EXPECT_EQ(box.calls, std::vector<std::string>{"reset"}) << "no selection or focus without a master";
  EXPECT_EQ(GetFreeInstrumentCount(Dir()), 255);
  MasterRecord record = {};
  EXPECT_EQ(GetMetaStockMasterRecord(Dir(), 1, &record), 0);
  EXPECT_EQ(UpdateMetaStockMasterRecord(Dir(), 1, record), 0);
  EXPECT_EQ(UpdateMasterHeader(Dir(), 8), 0);
  EXPECT_FALSE(testing_support::FileExistsNative(dir_.Path("master"))) << "nothing may create it";
}

TEST_F(MasterFileTest, FreeCountIs255MinusTheHeaderCount) {
  const std::vector<std::pair<uint16_t, uint16_t>> cases = {
      {0, 255}, {3, 252}, {255, 0}, {256, 0xFFFF}, {0xFFFF, 256}};
  for (auto [count, free] : cases) {
    Write(MasterBuilder().HeaderCount(count));
    EXPECT_EQ(GetFreeInstrumentCount(Dir()), free) << "header count " << count;
  }
}

TEST_F(MasterFileTest, FreeCountOfAMasterShorterThanItsHeaderIs255) {
  Write(MasterBuilder().HeaderCount(200).Resize(52));
  EXPECT_EQ(GetFreeInstrumentCount(Dir()), 255);
}

TEST_F(MasterFileTest, GetRecordFindsTheFirstOfDuplicateFileNumbers) {
  Write(MasterBuilder()
            .Add({.fileNumber = 4, .name = "Four"})
            .Add({.fileNumber = 9, .name = "First nine"})
            .Add({.fileNumber = 9, .name = "Second nine"}));
  MasterRecord record = {};
  ASSERT_EQ(GetMetaStockMasterRecord(Dir(), 9, &record), 1);
  EXPECT_EQ(record.Name(), "First nine");
  EXPECT_EQ(Bytes(record.raw, record.raw + 53), RecordBytes(2));
}

TEST_F(MasterFileTest, GetRecordOfAnAbsentNumberFailsWithTheLastRecordInTheBuffer) {
  Write(MasterBuilder().Add({.fileNumber = 4, .name = "Four"}).Add({.fileNumber = 5, .name = "Five"}));
  MasterRecord record = {};
  EXPECT_EQ(GetMetaStockMasterRecord(Dir(), 6, &record), 0);
  EXPECT_EQ(record.Name(), "Five");
}

TEST_F(MasterFileTest, GetRecordIgnoresTheHeaderAndAPartialLastRecord) {
  // The header's first byte is 9 (a count of 9), and a partial record of
  // file number 9 trails the file: neither is an instrument record.
  Write(MasterBuilder().HeaderCount(9).Add({.fileNumber = 1}).Poke(106, 9).Resize(106 + 20));
  MasterRecord record = {};
  EXPECT_EQ(GetMetaStockMasterRecord(Dir(), 9, &record), 0);
}

TEST_F(MasterFileTest, UpdateRecordRewritesOnlyTheFirstMatchInPlace) {
  Write(MasterBuilder()
            .Add({.fileNumber = 3, .name = "Three"})
            .Add({.fileNumber = 3, .name = "Three again"})
            .Add({.fileNumber = 5, .name = "Five"}));
  const Bytes before = MasterBytes();
  MasterRecord record = {};
  ASSERT_EQ(GetMetaStockMasterRecord(Dir(), 3, &record), 1);
  record.SetSymbol("NEW");
  ASSERT_EQ(UpdateMetaStockMasterRecord(Dir(), 3, record), 1);

  Bytes expected = before;
  std::copy(record.raw, record.raw + 53, expected.begin() + 53);
  EXPECT_EQ(MasterBytes(), expected);
}

TEST_F(MasterFileTest, UpdateRecordOfAnAbsentNumberChangesNothing) {
  Write(MasterBuilder().Add({.fileNumber = 3}).Add({.fileNumber = 5}));
  const Bytes before = MasterBytes();
  const MasterRecord record = MasterEntry{.fileNumber = 8}.Record();
  EXPECT_EQ(UpdateMetaStockMasterRecord(Dir(), 8, record), 0);
  EXPECT_EQ(MasterBytes(), before);
}

class UpdateMasterTest : public MasterFileTest {
 protected:
  // The data file as the editor holds it: open for reading and writing.
  FileGuard OpenDat(int fileNumber, int recordLength) {
    return FileGuard(SOpenFile(dir_.Name("F" + std::to_string(fileNumber) + ".DAT").c_str(), 1, 1,
                               static_cast<uint32_t>(recordLength), 0));
  }
};

TEST_F(UpdateMasterTest, SetsTheDatesOfEveryRecordOfTheFileNumber) {
  Write(MasterBuilder()
            .Add({.fileNumber = 2, .name = "Two"})
            .Add({.fileNumber = 7, .firstDateWord = 111, .lastDateWord = 222})
            .Add({.fileNumber = 2, .name = "Two again"}));
  fixtures::WriteDat(dir_, 2,
                     fixtures::DatBuilder::ForFields(5)
                         .Values({StoredDate(1999, 12, 30), 2, 1, 1.5f, 100})
                         .Values({StoredDate(1999, 12, 31), 2, 1, 1.5f, 100})
                         .Values({StoredDate(2000, 1, 4), 2, 1, 1.5f, 100}));
  const Bytes before = MasterBytes();
  FileGuard dat = OpenDat(2, 20);
  ASSERT_TRUE(dat.Valid());
  const MasterRecord record = MasterEntry{.fileNumber = 2, .fieldCount = 5}.Record();
  ASSERT_EQ(UpdateMaster(dat.Get(), Dir(), record), 1);

  Bytes expected = before;
  for (int r : {1, 3}) {
    testing_support::PutU32(expected, r * 53 + 25, MbfWord(991230.0f));
    testing_support::PutU32(expected, r * 53 + 29, MbfWord(1000104.0f));
  }
  EXPECT_EQ(MasterBytes(), expected) << "both entries of 2 updated, entry 7 untouched";
}

TEST_F(UpdateMasterTest, HeaderOnlyDataFileGivesZeroDates) {
  Write(MasterBuilder().Add(
      {.fileNumber = 1, .firstDateWord = MbfWord(960115.0f), .lastDateWord = MbfWord(960116.0f)}));
  fixtures::WriteDat(dir_, 1, fixtures::DatBuilder::ForFields(7));
  FileGuard dat = OpenDat(1, 28);
  ASSERT_TRUE(dat.Valid());
  ASSERT_EQ(UpdateMaster(dat.Get(), Dir(), MasterEntry{.fileNumber = 1}.Record()), 1);
  const Bytes record = RecordBytes(1);
  EXPECT_EQ(Bytes(record.begin() + 25, record.begin() + 33), Bytes(8, 0));
}

TEST_F(UpdateMasterTest, CorruptDatesAreStoredAsZero) {
  Write(MasterBuilder().Add({.fileNumber = 1, .firstDateWord = 5, .lastDateWord = 6}));
  fixtures::WriteDat(dir_, 1,
                     fixtures::DatBuilder::ForFields(4)
                         .Words({fixtures::kStoredMinusOne, MbfWord(93000), MbfWord(1), MbfWord(1)})
                         .Words({fixtures::HugeWord(), MbfWord(93500), MbfWord(1), MbfWord(1)}));
  FileGuard dat = OpenDat(1, 16);
  ASSERT_EQ(UpdateMaster(dat.Get(), Dir(), MasterEntry{.fileNumber = 1, .fieldCount = 4}.Record()), 1);
  const Bytes record = RecordBytes(1);
  EXPECT_EQ(Bytes(record.begin() + 25, record.begin() + 33), Bytes(8, 0));
}

TEST_F(UpdateMasterTest, UsesTheRecordLengthOfTheGivenRecord) {
  // 7 fields as the given record says, though master still says 5: the last
  // record starts at L - 28.
  Write(MasterBuilder().Add({.fileNumber = 1, .fieldCount = 5}));
  fixtures::WriteDat(dir_, 1, fixtures::Series::Daily(3).Dat(7, 'D'));
  FileGuard dat = OpenDat(1, 28);
  ASSERT_EQ(UpdateMaster(dat.Get(), Dir(), MasterEntry{.fileNumber = 1, .fieldCount = 7}.Record()), 1);
  MasterRecord stored = {};
  ASSERT_EQ(GetMetaStockMasterRecord(Dir(), 1, &stored), 1);
  const fixtures::Series series = fixtures::Series::Daily(3);
  EXPECT_EQ(stored.FirstDate(), series.bars.front().date);
  EXPECT_EQ(stored.LastDate(), series.bars.back().date);
}

TEST_F(UpdateMasterTest, NoMatchingRecordOrNoMasterIsFailure) {
  fixtures::WriteDat(dir_, 1, fixtures::Series::Daily(3).Dat(7, 'D'));
  FileGuard dat = OpenDat(1, 28);
  const MasterRecord record = MasterEntry{.fileNumber = 1}.Record();
  EXPECT_EQ(UpdateMaster(dat.Get(), Dir(), record), 0) << "no master";
  Write(MasterBuilder().Add({.fileNumber = 2}));
  const Bytes before = MasterBytes();
  EXPECT_EQ(UpdateMaster(dat.Get(), Dir(), record), 0) << "no record of file 1";
  EXPECT_EQ(MasterBytes(), before);
}

TEST_F(MasterFileTest, UpdateHeaderWithCodes8And9CountsTheRecordsPresent) {
  for (int code : {8, 9}) {
    Write(MasterBuilder()
              .HeaderCount(3)
              .LastFileNumber(250)
              .Poke(40, 0xAB)
              .Add({.fileNumber = 1})
              .Add({.fileNumber = 2})
              .Add({.fileNumber = 3})
              .Add({.fileNumber = 4})
              .Add({.fileNumber = 5}));
    Bytes expected = MasterBytes();
    expected[0] = 5;
    ASSERT_EQ(UpdateMasterHeader(Dir(), code), 1) << "code " << code;
    EXPECT_EQ(MasterBytes(), expected) << "code " << code << ": only the count changes";
  }
}

TEST_F(MasterFileTest, UpdateHeaderCountsOnlyWholeRecords) {
  Write(MasterBuilder().HeaderCount(9).Add({.fileNumber = 1}).Add({.fileNumber = 2}).Resize(53 * 3 + 30));
  ASSERT_EQ(UpdateMasterHeader(Dir(), 9), 1);
  EXPECT_EQ(MasterBytes()[0], 2);
  Write(MasterBuilder().HeaderCount(4));
  ASSERT_EQ(UpdateMasterHeader(Dir(), 8), 1);
  EXPECT_EQ(MasterBytes(), Bytes(53, 0)) << "a header-only master counts 0";
}

TEST_F(MasterFileTest, UpdateHeaderWithOtherCodesWritesItBackUnchanged) {
  Write(MasterBuilder().HeaderCount(3).Add({.fileNumber = 1}));
  const Bytes before = MasterBytes();
  for (int code : {0, 7, 10, 12}) {
    EXPECT_EQ(UpdateMasterHeader(Dir(), code), 1) << "code " << code;
    EXPECT_EQ(MasterBytes(), before) << "code " << code;
  }
}

TEST_F(MasterFileTest, UpdateHeaderOfATooShortMasterWritesNothing) {
  Write(MasterBuilder().Resize(30));
  EXPECT_EQ(UpdateMasterHeader(Dir(), 8), 0);
  EXPECT_EQ(MasterBytes().size(), 30u);
}

class MakeInstrumentListTest : public MasterFileTest {
 protected:
  void SetUp() override { list_ = CreateList(); }
  void TearDown() override { KillList(list_); }
  std::vector<int> FileNumbersInList() const {
    std::vector<int> numbers;
    InstrumentEntry entry;
    for (ListNode* node = GetFirstItem(list_, &entry, 53); node; node = GetNextItem(node, &entry, 53)) {
      numbers.push_back(entry.FileNumber());
    }
    return numbers;
  }

  List* list_ = nullptr;
};

TEST_F(MakeInstrumentListTest, CopiesTheWantedRecordsAndTheListRunsBackwards) {
  Write(MasterBuilder()
            .Add({.fileNumber = 1, .name = "One"})
            .Add({.fileNumber = 5, .name = "Five"})
            .Add({.fileNumber = 3, .name = "Three"})
            .Add({.fileNumber = 2, .name = "Two"}));
  const int16_t wanted[] = {3, 1};
  ASSERT_EQ(MakeInstrumentList(list_, Dir(), wanted, 2), 1);
  EXPECT_EQ(FileNumbersInList(), (std::vector<int>{3, 1}));
  InstrumentEntry entry;
  ASSERT_NE(GetFirstItem(list_, &entry, 53), nullptr);
  EXPECT_EQ(Bytes(entry.raw, entry.raw + 53), RecordBytes(3)) << "a byte copy of the master record";
}

TEST_F(MakeInstrumentListTest, AMissingNumberIsFailureButTheOthersAreListed) {
  Write(MasterBuilder().Add({.fileNumber = 1}).Add({.fileNumber = 2}));
  const int16_t wanted[] = {1, 4};
  EXPECT_EQ(MakeInstrumentList(list_, Dir(), wanted, 2), 0);
  EXPECT_EQ(FileNumbersInList(), std::vector<int>{1});
}

TEST_F(MakeInstrumentListTest, WithoutMasterOnlyAnEmptyRequestSucceeds) {
  const int16_t wanted[] = {1};
  EXPECT_EQ(MakeInstrumentList(list_, Dir(), wanted, 1), 0);
  EXPECT_EQ(MakeInstrumentList(list_, Dir(), wanted, 0), 1);
  EXPECT_TRUE(ListEmpty(list_));
}

TEST_F(MasterFileTest, ListingShowsEveryRecordInMasterOrder) {
  Write(MasterBuilder()
            .HeaderCount(3)
            .Add({.fileNumber = 12, .name = "Zinc", .period = 'D', .symbol = "ZN"})
            .Add({.fileNumber = 3, .name = "Alpha Fund", .period = 'w', .symbol = "ALF"})
            .Add({.fileNumber = 7, .name = "Hidden", .hidden = true})
            .Add({.fileNumber = 200, .fieldCount = 4, .name = "Ticks", .period = 'I', .symbol = "TCK"})
            .Add({.fileNumber = 9, .name = "", .period = 'X', .symbol = ""})
            .Add({.fileNumber = 8, .name = "Monthly", .period = 'M', .symbol = "MON"}));
  fixtures::WriteDat(dir_, 12, fixtures::DatBuilder::ForFields(7));
  fixtures::WriteDat(dir_, 200, fixtures::DatBuilder::ForFields(4));
  testing_support::WriteBytes(dir_.Path("F3.DOP"), {});  // a DOP file is not a data file
  fixtures::RecordingListBox box;
  box.items.push_back({"stale", 1});
  ASSERT_EQ(ListInstruementsInDirectory(box, Dir()), 1);

  const std::vector<std::pair<std::string, int>> expected = {
      {"Zinc\tZN\tF12\tDaily File\tFile Exists", 12},
      {"Alpha Fund\tALF\tF3\tComposite File\tNon-Existant", 3},
      {"Ticks\tTCK\tF200\tIntraDay File\tFile Exists", 200},
      {"\t\tF9\tUnknown File Type\tNon-Existant", 9},
      {"Monthly\tMON\tF8\tMonthly File\tNon-Existant", 8},
  };
  ASSERT_EQ(box.items.size(), expected.size()) << "header says 3, all records are listed but the hidden one";
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(box.items[i].text, expected[i].first);
    EXPECT_EQ(box.items[i].data, expected[i].second);
  }
  ASSERT_GE(box.calls.size(), 4u);
  EXPECT_EQ(box.calls.front(), "reset");
  EXPECT_EQ(std::vector<std::string>(box.calls.end() - 3, box.calls.end()),
            (std::vector<std::string>{"extent 600", "select 0 0", "focus"}));
}

TEST_F(MasterFileTest, ListingFindsDataFilesWhateverTheCaseOfTheirNames) {
  Write(MasterBuilder().Add({.fileNumber = 4, .name = "Lower", .symbol = "L"}));
  testing_support::WriteBytes(dir_.Path("f4.dat"), fixtures::DatBuilder::ForFields(7).Build());
  fixtures::RecordingListBox box;
  ListInstruementsInDirectory(box, Dir());
  ASSERT_EQ(box.items.size(), 1u);
  EXPECT_EQ(box.items[0].text, "Lower\tL\tF4\tDaily File\tFile Exists");
}

TEST_F(MasterFileTest, ListingOfAHeaderOnlyMasterIsEmptyButSelects) {
  Write(MasterBuilder());
  fixtures::RecordingListBox box;
  ListInstruementsInDirectory(box, Dir());
  EXPECT_TRUE(box.items.empty());
  EXPECT_EQ(box.calls, (std::vector<std::string>{"reset", "extent 600", "select 0 0", "focus"}));
}

TEST_F(MasterFileTest, OperationsLeaveNoHandleOpen) {
  Write(MasterBuilder().Add({.fileNumber = 1}));
  MasterRecord record = {};
  GetMetaStockMasterRecord(Dir(), 1, &record);
  GetMetaStockMasterRecord(Dir(), 2, &record);
  UpdateMetaStockMasterRecord(Dir(), 1, record);
  UpdateMetaStockMasterRecord(Dir(), 2, record);
  GetFreeInstrumentCount(Dir());
  UpdateMasterHeader(Dir(), 8);
  fixtures::RecordingListBox box;
  ListInstruementsInDirectory(box, Dir());
  List* list = CreateList();
  const int16_t wanted[] = {1, 2};
  MakeInstrumentList(list, Dir(), wanted, 2);
  KillList(list);
  EXPECT_EQ(IsFileOpen(MasterFileName(Dir()).c_str()), 0);
  // Mode 1 needs the file closed by everyone: it would be refused otherwise.
  FileGuard master(SOpenFile(MasterFileName(Dir()).c_str(), 1, 1, 53, 0));
  EXPECT_TRUE(master.Valid());
}

}  // namespace
