#include "store/master_file.h"

#include "store_fixture.h"

namespace store_test {
namespace {

TEST(MasterRecordTest, FieldsAreReadAndWrittenAtTheirOffsets) {
  MasterEntry entry{.fileNumber = 201, .fileType = 0x1234, .fieldCount = 6, .recordLength = 28};
  entry.reserved = 0x0506, entry.name = "Acme Widgets", entry.firstDateWord = MbfWord(1100104);
  entry.lastDateWord = MbfWord(991231), entry.period = 'I', entry.timeBase = 0xBEEF, entry.symbol = "ACW.L";
  MasterRecord r = {};
  r.SetFileNumber(201), r.SetFileType(0x1234), r.SetRecordLength(28), r.SetFieldCount(6);
  r.SetReserved(0x0506), r.SetName("Acme Widgets"), r.SetFirstDate(1100104), r.SetLastDate(991231);
  r.SetPeriod('I'), r.SetTimeBase(0xBEEF), r.SetSymbol("ACW.L"), r.raw[50] = r.raw[51] = ' ';
  EXPECT_EQ(Bytes(r.raw, r.raw + 53), entry.Encode());
  r = entry.Record();
  EXPECT_EQ(
      std::tuple(r.FileNumber(), r.FileType(), r.RecordLength(), r.FieldCount(), r.Reserved(), r.TimeBase(),
                 r.FirstDate(), r.LastDate(), r.Name() + "|" + r.Symbol() + "|" + r.Period()),
      std::tuple(201, 0x1234, 28, 6, 0x0506, 0xBEEF, 1100104.0f, 991231.0f, "Acme Widgets|ACW.L|I"));
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
  void TearDown() override { EXPECT_EQ(IsFileOpen(dir_.Name("MASTER").c_str()), 0); }
  const char* Dir() const { return dir_.Dir().c_str(); }
  TempDir dir_;
};

// Without a master nothing is found or made but by CreateEmptyMasterFile.
TEST_F(MasterFileTest, ListingShowsEveryVisibleEntryInMasterOrder) {
  RecordingListBox empty;
  MasterRecord record = {};
  EXPECT_EQ(ListInstruementsInDirectory(empty, Dir()), 1);
  EXPECT_EQ(empty.calls, Texts{"reset"}) << "no selection or focus without a master";
  EXPECT_EQ(GetMetaStockMasterRecord(Dir(), 1, &record) + UpdateMetaStockMasterRecord(Dir(), 1, record), 0);
  EXPECT_FALSE(testing_support::FileExistsNative(dir_.Path("master")));
  EXPECT_EQ(CreateEmptyMasterFile(Dir()), 1);
  EXPECT_EQ(ReadBytes(dir_.Path("master")), Bytes(53, 0));
  WriteMaster(dir_, MasterBuilder()
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
}

}  // namespace
}  // namespace store_test
