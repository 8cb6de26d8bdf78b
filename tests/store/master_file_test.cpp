#include "store/master_file.h"

#include <filesystem>

#include "store_fixture.h"

namespace store_test {
namespace {

TEST(MasterRecordTest, FieldsAreReadAndWrittenAtTheirOffsets) {
  const MasterEntry entry{.fileNumber = 201,
                          .fileType = 0x1234,
                          .fieldCount = 6,
                          .recordLength = 28,
                          .reserved = 0x0506,
                          .name = "Acme Widgets",
                          .firstDateWord = MbfWord(1100104),
                          .lastDateWord = MbfWord(991231),
                          .period = 'I',
                          .timeBase = 0xBEEF,
                          .symbol = "ACW.L"};
  MasterRecord r = {};
  r.SetFileNumber(201), r.SetFileType(0x1234), r.SetRecordLength(28), r.SetFieldCount(6),
      r.SetReserved(0x0506);
  r.SetName("Acme Widgets"), r.SetFirstDate(1100104), r.SetLastDate(991231), r.SetPeriod('I');
  r.SetTimeBase(0xBEEF), r.SetSymbol("ACW.L"), r.raw[50] = r.raw[51] = ' ';
  EXPECT_EQ(Bytes(r.raw, r.raw + 53), entry.Encode());
  r = entry.Record();
  EXPECT_EQ(std::vector<double>({double(r.FileNumber()), double(r.FileType()), double(r.RecordLength()),
                                 double(r.FieldCount()), double(r.Reserved()), r.FirstDate(), r.LastDate(),
                                 double(r.TimeBase())}),
            std::vector<double>({201, 0x1234, 28, 6, 0x0506, 1100104, 991231, 0xBEEF}));
  EXPECT_EQ(r.Name() + "|" + r.Symbol() + "|" + r.Period(), "Acme Widgets|ACW.L|I");
  r = {};
  r.SetName("A name much longer than sixteen"), r.SetSymbol("A symbol longer than fourteen");
  EXPECT_EQ(std::string(r.raw + 7, r.raw + 50),
            "A name much long" + std::string(13, '\0') + "A symbol longe");
  r.SetName("ABC DEF"), r.raw[7 + 3] = 0;  // a zero byte ends the text
  EXPECT_EQ(r.Name(), "ABC");
  r.SetName("");
  EXPECT_EQ(r.Name() + (r.NameIsHidden() ? " hidden" : ""), "") << "an empty name is sixteen blanks";
}

class MasterFileTest : public ::testing::Test {
 protected:
  // Every operation closes master on every path.
  void TearDown() override { EXPECT_EQ(IsFileOpen(MasterFileName(Dir()).c_str()), 0); }
  void Write(const MasterBuilder& master) { WriteMaster(dir_, master); }
  Bytes Master() const { return ReadBytes(dir_.Path("master")); }
  const char* Dir() const { return dir_.Dir().c_str(); }
  TempDir dir_;
};

TEST_F(MasterFileTest, WithoutMasterNothingIsFoundAndNothingCreatedButAnEmptyOne) {
  RecordingListBox box;
  MasterRecord record = {};
  EXPECT_EQ(ListInstruementsInDirectory(box, Dir()), 1);
  EXPECT_EQ(box.calls, Texts{"reset"}) << "no selection or focus without a master";
  EXPECT_EQ(GetFreeInstrumentCount(Dir()), 255);
  EXPECT_EQ(GetMetaStockMasterRecord(Dir(), 1, &record) + UpdateMetaStockMasterRecord(Dir(), 1, record), 0);
  EXPECT_EQ(UpdateMasterHeader(Dir(), 8), 0);
  EXPECT_FALSE(testing_support::FileExistsNative(dir_.Path("master")));
  for (int existing : {0, 1}) {
    if (existing) Write(MasterBuilder().Add({.fileNumber = 1}).LastFileNumber(1));
    EXPECT_EQ(CreateEmptyMasterFile(Dir()), 1);
    EXPECT_EQ(Master(), Bytes(53, 0)) << existing;
  }
}

TEST_F(MasterFileTest, FreeCountIs255MinusTheHeaderCountAsSixteenBits) {
  for (auto [count, free] : {std::pair{0, 255}, {3, 252}, {255, 0}, {256, 0xFFFF}, {0xFFFF, 256}}) {
    Write(MasterBuilder().HeaderCount(uint16_t(count)));
    EXPECT_EQ(GetFreeInstrumentCount(Dir()), free) << count;
  }
  Write(MasterBuilder().HeaderCount(200).Resize(52));
  EXPECT_EQ(GetFreeInstrumentCount(Dir()), 255) << "no whole header";
}

TEST_F(MasterFileTest, RecordsAreFoundAndRewrittenByTheirFirstEntry) {
  // The header's count (9) and a partial record of number 9 at the end are no entries.
  Write(MasterBuilder()
            .HeaderCount(9)
            .Add({.fileNumber = 4})
            .Add({.fileNumber = 3, .name = "Three"})
            .Add({.fileNumber = 3, .name = "Three again"})
            .Add({.fileNumber = 5, .name = "Five"})
            .Poke(5 * 53, 9)
            .Resize(5 * 53 + 20));
  Bytes expected = Master();
  MasterRecord record = {};
  EXPECT_EQ(GetMetaStockMasterRecord(Dir(), 9, &record), 0);
  EXPECT_EQ(record.Name(), "Five") << "a failed search leaves the last record read";
  ASSERT_EQ(GetMetaStockMasterRecord(Dir(), 3, &record), 1);
  EXPECT_EQ(Bytes(record.raw, record.raw + 53), Bytes(expected.begin() + 106, expected.begin() + 159));
  record.SetSymbol("NEW");
  ASSERT_EQ(UpdateMetaStockMasterRecord(Dir(), 3, record), 1);
  std::copy(record.raw, record.raw + 53, expected.begin() + 106);
  EXPECT_EQ(UpdateMetaStockMasterRecord(Dir(), 8, MasterEntry{.fileNumber = 8}.Record()), 0);
  EXPECT_EQ(Master(), expected) << "only the first entry of 3 changes";
}

TEST_F(MasterFileTest, UpdateMasterWritesTheDataFilesDatesIntoEveryEntryOfItsNumber) {
  const std::tuple<DatBuilder, uint8_t, uint32_t, uint32_t> cases[] = {
      // The field count of the record given counts, whatever master says.
      {Series::Daily(3, 1999, 12, 30).Dat(7, 'D'), 7, MbfWord(991230), MbfWord(1000103)},
      {DatBuilder::ForFields(7), 7, 0, 0},  // no data record
      {DatBuilder::ForFields(4).Words({kStoredMinusOne}).Words({kHugeWord}), 4, 0, 0}};
  for (const auto& [dat, fields, first, last] : cases) {
    Write(MasterBuilder()
              .Add({.fileNumber = 2, .fieldCount = 5, .firstDateWord = 5, .lastDateWord = 6})
              .Add({.fileNumber = 7, .firstDateWord = 111, .lastDateWord = 222})
              .Add({.fileNumber = 2, .name = "Two again"}));
    WriteDat(dir_, 2, dat);
    Bytes expected = Master();
    for (size_t r : {1, 3}) PutU32(expected, r * 53 + 25, first), PutU32(expected, r * 53 + 29, last);
    FileGuard file = OpenDat(dir_.Dir(), 2, 4 * fields);
    EXPECT_EQ(UpdateMaster(file.Get(), Dir(), MasterEntry{.fileNumber = 2, .fieldCount = fields}.Record()),
              1);
    EXPECT_EQ(Master(), expected) << int(fields);
  }
  FileGuard file = OpenDat(dir_.Dir(), 2, 16);
  const Bytes before = Master();
  TempDir empty;
  EXPECT_EQ(UpdateMaster(file.Get(), Dir(), MasterEntry{.fileNumber = 9}.Record()), 0) << "no entry of 9";
  EXPECT_EQ(UpdateMaster(file.Get(), empty.Dir().c_str(), MasterEntry{.fileNumber = 2}.Record()), 0);
  EXPECT_EQ(Master(), before);
}

TEST_F(MasterFileTest, UpdateHeaderRecountsTheWholeRecordsForCodes8And9Only) {
  for (int code : {0, 7, 8, 9, 10}) {
    Write(MasterBuilder().HeaderCount(3).LastFileNumber(250).Poke(40, 0xAB).Add({}).Add({}).Resize(3 * 53 +
                                                                                                   30));
    Bytes expected = Master();
    expected[0] = code == 8 || code == 9 ? 2 : 3;
    EXPECT_EQ(UpdateMasterHeader(Dir(), code), 1) << code;
    EXPECT_EQ(Master(), expected) << code;
  }
  Write(MasterBuilder().HeaderCount(4));
  EXPECT_EQ(UpdateMasterHeader(Dir(), 8), 1);
  EXPECT_EQ(Master(), Bytes(53, 0)) << "a header-only master counts 0";
  Write(MasterBuilder().Resize(30));
  EXPECT_EQ(UpdateMasterHeader(Dir(), 9), 0);
  EXPECT_EQ(Master().size(), 30u);
}

TEST_F(MasterFileTest, InstrumentListHoldsByteCopiesOfTheWantedEntriesBackwards) {
  Write(
      MasterBuilder().Add({.fileNumber = 1}).Add({.fileNumber = 5}).Add({.fileNumber = 3, .name = "Three"}));
  const Bytes all = Master();
  auto list = [&](std::vector<int16_t> wanted, int expected) {
    Selection holder;  // any List: it frees it
    EXPECT_EQ(MakeInstrumentList(holder.list, Dir(), wanted.data(), int(wanted.size())), expected);
    std::vector<Bytes> entries;
    MasterRecord entry;
    for (ListNode* n = GetFirstItem(holder.list, &entry, 53); n; n = GetNextItem(n, &entry, 53))
      entries.emplace_back(entry.raw, entry.raw + 53);
    return entries;
  };
  EXPECT_EQ(list({3, 1}, 1), (std::vector<Bytes>{Bytes(all.begin() + 159, all.end()),
                                                 Bytes(all.begin() + 53, all.begin() + 106)}));
  EXPECT_EQ(list({1, 4}, 0).size(), 1u) << "a missing number fails, the others are listed";
  std::filesystem::remove(dir_.Path("master"));
  EXPECT_EQ(list({1}, 0).size() + list({}, 1).size(), 0u) << "without master only an empty request succeeds";
}

TEST_F(MasterFileTest, ListingShowsEveryVisibleEntryInMasterOrder) {
  Write(MasterBuilder()
            .HeaderCount(3)
            .Add({.fileNumber = 12, .name = "Zinc", .period = 'D', .symbol = "ZN"})
            .Add({.fileNumber = 3, .name = "Alpha Fund", .period = 'w', .symbol = "ALF"})
            .Add({.fileNumber = 7, .name = "Hidden", .hidden = true})
            .Add({.fileNumber = 200, .name = "Ticks", .period = 'I', .symbol = "TCK"})
            .Add({.fileNumber = 9, .name = "", .period = 'X', .symbol = ""})
            .Add({.fileNumber = 8, .name = "Monthly", .period = 'M', .symbol = "MON"})
            .Add({.fileNumber = 4, .name = "Weekly", .period = 'W', .symbol = "WK"}));
  WriteDat(dir_, 12, DatBuilder::ForFields(7));
  WriteBytes(dir_.Path("f200.dat"), {});  // found whatever its letter case
  WriteBytes(dir_.Path("F3.DOP"), {});    // not a data file
  RecordingListBox box;
  box.items.push_back({"stale", 1});
  ASSERT_EQ(ListInstruementsInDirectory(box, Dir()), 1);
  Texts lines;
  for (const auto& item : box.items) lines.push_back(item.text + " #" + std::to_string(item.data));
  EXPECT_EQ(lines, (Texts{"Zinc\tZN\tF12\tDaily File\tFile Exists #12",
                          "Alpha Fund\tALF\tF3\tComposite File\tNon-Existant #3",
                          "Ticks\tTCK\tF200\tIntraDay File\tFile Exists #200",
                          "\t\tF9\tUnknown File Type\tNon-Existant #9",
                          "Monthly\tMON\tF8\tMonthly File\tNon-Existant #8",
                          "Weekly\tWK\tF4\tWeekly File\tNon-Existant #4"}));
  EXPECT_EQ(box.calls.front() + " " + box.calls[box.calls.size() - 3], "reset extent 600");
  EXPECT_EQ(Texts(box.calls.end() - 2, box.calls.end()), (Texts{"select 0 0", "focus"}));
  for (char period : {'d', 'm', 'i'}) EXPECT_STREQ(FileTypeText(period), "Composite File");
}

}  // namespace
}  // namespace store_test
