#include "store/record_ops.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "records_support.h"
#include "store/dat_file.h"

namespace {

using namespace records_test;
using fixtures::MbfWord;

// ---- Insert -------------------------------------------------------------

struct InsertCase {
  int32_t r;
  std::vector<int> expected;
};

TEST(InsertRecordTest, ACopyOfTheCurrentRecordFollowsIt) {
  const std::vector<InsertCase> cases = {
      {0, {1, 1, 2, 3, 4}},
      {2, {1, 2, 3, 3, 4}},
      {3, {1, 2, 3, 4, 4}},
      // The new-record row, and any row beyond it, copies the last record.
      {4, {1, 2, 3, 4, 4}},
      {9, {1, 2, 3, 4, 4}},
  };
  for (const InsertCase& c : cases) {
    Instrument instrument(Ids(1, 4));
    FileGuard file = instrument.Open();
    ASSERT_EQ(InsertRecord(file.Get(), instrument.DatName().c_str(), c.r, instrument.Record()), 1) << c.r;
    // The handle follows the replacement.
    EXPECT_EQ(FileLength(file.Get()), 6 * kL) << c.r;
    EXPECT_EQ(ReadField(file.Get(), 5, 1, kL), static_cast<float>(c.expected.back())) << c.r;
    file.Close();
    const DatContents contents = instrument.Contents();
    EXPECT_EQ(contents.ids, c.expected) << c.r;
    EXPECT_EQ(contents.headerCount, 5) << "the header is copied unchanged";
    EXPECT_EQ(contents.trailingBytes, 0u);
    EXPECT_TRUE(Leftovers(instrument.dir.Path("")).empty());
  }
}

TEST(InsertRecordTest, TrailingPartialRecordIsCarriedAlong) {
  Instrument instrument(Ids(1, 3));
  fixtures::WriteDat(instrument.dir, 1, IdRecords(Ids(1, 3)).Append({1, 2, 3, 4, 5, 6, 7}));
  FileGuard file = instrument.Open();
  ASSERT_EQ(InsertRecord(file.Get(), instrument.DatName().c_str(), 0, instrument.Record()), 1);
  file.Close();
  const DatContents contents = instrument.Contents();
  EXPECT_EQ(contents.ids, (std::vector<int>{1, 1, 2, 3}));
  EXPECT_EQ(contents.trailingBytes, 7u);
}

TEST(InsertRecordTest, RefusedWithoutADataRecordOrForANegativeRecord) {
  struct Case {
    std::vector<int> ids;
    int32_t r;
  };
  for (const Case& c : {Case{{}, 0}, Case{{}, -1}, Case{{1, 2}, -1}}) {
    Instrument instrument(c.ids);
    const Bytes before = ReadBytes(instrument.DatPath());
    FileGuard file = instrument.Open();
    EXPECT_EQ(InsertRecord(file.Get(), instrument.DatName().c_str(), c.r, instrument.Record()), 0);
    file.Close();
    EXPECT_EQ(ReadBytes(instrument.DatPath()), before);
    EXPECT_TRUE(Leftovers(instrument.dir.Path("")).empty());
  }
}

// ---- Delete -------------------------------------------------------------

TEST(DeleteSelectedDATRecordsTest, DropsTheSelectedRecordsAndTheirNumbers) {
  Instrument instrument(Ids(1, 6));
  Selection selection{0, 2, 5, 9};
  FileGuard file = instrument.Open();
  ASSERT_EQ(
      DeleteSelectedDATRecords(file.Get(), instrument.DatName().c_str(), selection.list, instrument.Record()),
      1);
  EXPECT_EQ(FileLength(file.Get()), 4 * kL);
  file.Close();
  const DatContents contents = instrument.Contents();
  EXPECT_EQ(contents.ids, (std::vector<int>{2, 4, 5}));
  EXPECT_EQ(contents.headerCount, 7) << "the header is copied unchanged";
  EXPECT_EQ(selection.Items(), (std::vector<int32_t>{9})) << "numbers beyond the file stay selected";
}

TEST(DeleteSelectedDATRecordsTest, ASelectionNamingNoRecordRewritesTheFileUnchanged) {
  Instrument instrument(Ids(1, 3));
  const Bytes before = ReadBytes(instrument.DatPath());
  Selection selection{3, 7};
  FileGuard file = instrument.Open();
  EXPECT_EQ(
      DeleteSelectedDATRecords(file.Get(), instrument.DatName().c_str(), selection.list, instrument.Record()),
      1);
  file.Close();
  EXPECT_EQ(ReadBytes(instrument.DatPath()), before);
  EXPECT_EQ(selection.Items(), (std::vector<int32_t>{3, 7}));
}

TEST(DeleteSelectedDATRecordsTest, TheHeaderIsNeverDeleted) {
  Instrument instrument(Ids(1, 3));
  Selection selection{-1, 0, 1, 2};
  FileGuard file = instrument.Open();
  ASSERT_EQ(
      DeleteSelectedDATRecords(file.Get(), instrument.DatName().c_str(), selection.list, instrument.Record()),
      1);
  file.Close();
  const DatContents contents = instrument.Contents();
  EXPECT_TRUE(contents.ids.empty());
  EXPECT_EQ(contents.headerCount, 4);
  EXPECT_EQ(ReadBytes(instrument.DatPath()).size(), static_cast<size_t>(kL));
}

TEST(DeleteSelectedDATRecordsTest, AFailedReplacementKeepsFileAndSelection) {
  FaultScope faults;
  Instrument instrument(Ids(1, 4));
  const Bytes before = ReadBytes(instrument.DatPath());
  Selection selection{0, 2};
  FileGuard file = instrument.Open();
  platform::FailNthCall(platform::Call::Rename, 1);
  EXPECT_EQ(
      DeleteSelectedDATRecords(file.Get(), instrument.DatName().c_str(), selection.list, instrument.Record()),
      0);
  // The handle still works on the old file.
  EXPECT_EQ(ReadField(file.Get(), 4, 1, kL), 4.0f);
  file.Close();
  EXPECT_EQ(ReadBytes(instrument.DatPath()), before);
  EXPECT_EQ(selection.Items(), (std::vector<int32_t>{0, 2}));
  EXPECT_TRUE(Leftovers(instrument.dir.Path("")).empty());
}

// ---- Truncate -----------------------------------------------------------

struct TruncateCase {
  int fromCurrent;
  int includeCurrent;
  int32_t r;
  std::vector<int> expected;
};

TEST(TruncateFileTest, CutsAfterOrBeforeTheCurrentRecordAndCountsTheRest) {
  const std::vector<TruncateCase> cases = {
      {1, 1, 0, {}},
      {1, 0, 0, {1}},
      {1, 1, 2, {1, 2}},
      {1, 0, 2, {1, 2, 3}},
      {1, 0, 4, {1, 2, 3, 4, 5}},
      {0, 1, 4, {}},
      {0, 0, 4, {5}},
      {0, 1, 1, {3, 4, 5}},
      {0, 0, 1, {2, 3, 4, 5}},
      {0, 0, 0, {1, 2, 3, 4, 5}},
  };
  for (const TruncateCase& c : cases) {
    const std::string label = std::string(c.fromCurrent ? "after" : "before") +
                              (c.includeCurrent ? "+include " : " ") + std::to_string(c.r);
    Instrument instrument(Ids(1, 5));
    // A stale count shows that the count is written, not kept.
    fixtures::WriteDat(instrument.dir, 1, IdRecords(Ids(1, 5)).HeaderCount(99));
    Selection selection{c.r, 3};
    FileGuard file = instrument.Open();
    ASSERT_EQ(TruncateFile(file.Get(), instrument.DatName().c_str(), c.r, c.fromCurrent, c.includeCurrent,
                           selection.list, instrument.Record()),
              1)
        << label;
    EXPECT_EQ(FileLength(file.Get()), static_cast<int32_t>(c.expected.size() + 1) * kL) << label;
    file.Close();
    const DatContents contents = instrument.Contents();
    EXPECT_EQ(contents.ids, c.expected) << label;
    EXPECT_EQ(contents.headerCount, c.expected.size() + 1) << label;
    EXPECT_TRUE(selection.Items().empty()) << label;
    EXPECT_TRUE(Leftovers(instrument.dir.Path("")).empty()) << label;
  }
}

TEST(TruncateFileTest, ARecordOutsideTheFileChangesNothingButEmptiesTheSelection) {
  for (int32_t r : {-1, 5, 40}) {
    for (int fromCurrent : {0, 1}) {
      Instrument instrument(Ids(1, 5));
      const Bytes before = ReadBytes(instrument.DatPath());
      Selection selection{1};
      FileGuard file = instrument.Open();
      EXPECT_EQ(TruncateFile(file.Get(), instrument.DatName().c_str(), r, fromCurrent, 0, selection.list,
                             instrument.Record()),
                0);
      file.Close();
      EXPECT_EQ(ReadBytes(instrument.DatPath()), before) << r;
      EXPECT_TRUE(selection.Items().empty());
    }
  }
}

TEST(TruncateFileTest, CountsOf32767OrMoreAreStoredAsZero) {
  struct Case {
    int fromCurrent;
    int32_t r;
    uint16_t expectedCount;
  };
  // 32768 data records; the count includes the header.
  const int32_t records = 32768;
  const std::vector<Case> cases = {
      {1, 32765, 0},      // keeps 32766 records: count 32767
      {1, 32764, 32766},  // keeps 32765 records
      {0, 0, 0},          // keeps all 32768: count 32769
      {0, 2, 0},          // keeps records 2 ... 32767: count 32767
      {0, 3, 32766},      // keeps 32765 records
  };
  for (const Case& c : cases) {
    Instrument instrument({});
    Bytes bytes(static_cast<size_t>(records + 1) * kL, 0);
    fixtures::WriteDat(instrument.dir, 1, bytes);
    Selection selection;
    FileGuard file = instrument.Open();
    ASSERT_EQ(TruncateFile(file.Get(), instrument.DatName().c_str(), c.r, c.fromCurrent, 0, selection.list,
                           instrument.Record()),
              1);
    file.Close();
    EXPECT_EQ(instrument.Contents().headerCount, c.expectedCount) << c.fromCurrent << " " << c.r;
  }
}

// ---- Split --------------------------------------------------------------

struct SplitCase {
  int first;
  int last;
  std::vector<int> firstPortion;
  std::vector<int> lastPortion;
};

TEST(SplitFileTest, TheCurrentRecordGoesWhereTheFlagsSay) {
  const std::vector<SplitCase> cases = {
      {1, 1, {1, 2, 3}, {3, 4, 5}},
      {0, 0, {1, 2}, {4, 5}},
      {1, 0, {1, 2, 3}, {4, 5}},
      {0, 1, {1, 2}, {3, 4, 5}},
  };
  for (const SplitCase& c : cases) {
    Instrument instrument(Ids(1, 5));
    FileGuard file = instrument.Open();
    MasterRecord record = instrument.Record();
    const std::string dir = instrument.dir.Dir();
    ASSERT_EQ(SplitFile(file.Get(), dir.c_str(), 1, &record, dir.c_str(), 2, c.first, c.last, 0), 1);
    EXPECT_EQ(record.FileNumber(), 2) << "the new instrument's number";
    EXPECT_EQ(FileLength(file.Get()), static_cast<int32_t>(c.lastPortion.size() + 1) * kL);
    file.Close();
    const DatContents source = instrument.Contents();
    const DatContents portion = ReadContents(instrument.dir.Path("F2.DAT"));
    EXPECT_EQ(portion.ids, c.firstPortion);
    EXPECT_EQ(portion.headerCount, c.firstPortion.size() + 1);
    EXPECT_EQ(source.ids, c.lastPortion);
    EXPECT_EQ(source.headerCount, c.lastPortion.size() + 1);
    const std::vector<Listed> master = ReadMaster(instrument.dir.Path("master"));
    ASSERT_EQ(master.size(), 2u);
    EXPECT_EQ(master[1].fileNumber, 2);
    EXPECT_EQ(master[1].name, "SPLITME");
    // The new entry carries its own portion's dates.
    EXPECT_EQ(master[1].firstDateWord, MbfWord(IdDate(c.firstPortion.front())));
    EXPECT_EQ(master[1].lastDateWord, MbfWord(IdDate(c.firstPortion.back())));
    EXPECT_TRUE(Leftovers(instrument.dir.Path("")).empty());
  }
}

TEST(SplitFileTest, LeaveIntactAddsTwoInstrumentsElsewhereAndKeepsTheSource) {
  Instrument instrument(Ids(1, 6));
  const Bytes before = ReadBytes(instrument.DatPath());
  const std::string destination = instrument.dir.MakeSubdir("other");
  FileGuard file = instrument.Open();
  MasterRecord record = instrument.Record();
  ASSERT_EQ(SplitFile(file.Get(), instrument.dir.Dir().c_str(), 1, &record, destination.c_str(), 3, 0, 1, 1),
            1);
  EXPECT_EQ(record.FileNumber(), 2) << "the last number handed out";
  file.Close();
  EXPECT_EQ(ReadBytes(instrument.DatPath()), before);
  const std::string native = instrument.dir.Path("other");
  const std::vector<Listed> master = ReadMaster(native + "/master");
  ASSERT_EQ(master.size(), 2u);
  EXPECT_EQ(master[0].fileNumber, 1);
  EXPECT_EQ(master[1].fileNumber, 2);
  EXPECT_EQ(ReadContents(native + "/F1.DAT").ids, (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(ReadContents(native + "/F2.DAT").ids, (std::vector<int>{4, 5, 6}));
  EXPECT_EQ(master[1].firstDateWord, MbfWord(IdDate(4)));
  EXPECT_EQ(master[1].lastDateWord, MbfWord(IdDate(6)));
  EXPECT_EQ(ReadMaster(instrument.dir.Path("master")).size(), 1u);
  EXPECT_TRUE(Leftovers(native).empty());
  EXPECT_TRUE(Leftovers(instrument.dir.Path("")).empty());
}

TEST(SplitFileTest, AnEmptyPortionBecomesAnInstrumentWithoutDataAndZeroDates) {
  Instrument instrument(Ids(1, 3));
  FileGuard file = instrument.Open();
  MasterRecord record = instrument.Record();
  const std::string dir = instrument.dir.Dir();
  ASSERT_EQ(SplitFile(file.Get(), dir.c_str(), 1, &record, dir.c_str(), 0, 0, 1, 0), 1);
  file.Close();
  const DatContents portion = ReadContents(instrument.dir.Path("F2.DAT"));
  EXPECT_TRUE(portion.ids.empty());
  EXPECT_EQ(portion.headerCount, 1);
  EXPECT_EQ(ReadMaster(instrument.dir.Path("master"))[1].firstDateWord, 0u);
  EXPECT_EQ(instrument.Contents().ids, (std::vector<int>{1, 2, 3}));
}

TEST(SplitFileTest, AStaleFileOfTheNewNumberIsReplaced) {
  Instrument instrument(Ids(1, 4));
  // Not listed in master, yet present under the number the split gets next.
  testing_support::WriteBytes(instrument.dir.Path("F2.DAT"), Bytes(333, 0xEE));
  FileGuard file = instrument.Open();
  MasterRecord record = instrument.Record();
  const std::string dir = instrument.dir.Dir();
  ASSERT_EQ(SplitFile(file.Get(), dir.c_str(), 1, &record, dir.c_str(), 1, 1, 0, 0), 1);
  file.Close();
  const DatContents portion = ReadContents(instrument.dir.Path("F2.DAT"));
  EXPECT_EQ(portion.ids, (std::vector<int>{1, 2}));
  EXPECT_EQ(portion.trailingBytes, 0u);
}

TEST(SplitFileTest, WithoutRoomForBothPortionsNothingChanges) {
  Instrument instrument(Ids(1, 4));
  // 254 instruments listed: one free slot, a leave-intact split needs two.
  fixtures::MasterBuilder full;
  for (int n = 1; n <= 254; ++n) full.Add(Instrument::Entry(static_cast<uint8_t>(n)));
  fixtures::WriteMaster(instrument.dir, full.LastFileNumber(254));
  const Bytes master = ReadBytes(instrument.dir.Path("master"));
  const Bytes data = ReadBytes(instrument.DatPath());
  FileGuard file = instrument.Open();
  MasterRecord record = instrument.Record();
  const std::string dir = instrument.dir.Dir();
  EXPECT_EQ(SplitFile(file.Get(), dir.c_str(), 1, &record, dir.c_str(), 1, 1, 0, 1), 0);
  file.Close();
  EXPECT_EQ(ReadBytes(instrument.dir.Path("master")), master);
  EXPECT_EQ(ReadBytes(instrument.DatPath()), data);
  EXPECT_FALSE(testing_support::FileExistsNative(instrument.dir.Path("F255.DAT")));
}

TEST(SplitFileTest, ARecordOutsideTheFileIsRefused) {
  for (int32_t r : {-1, 4}) {
    Instrument instrument(Ids(1, 4));
    const Bytes master = ReadBytes(instrument.dir.Path("master"));
    FileGuard file = instrument.Open();
    MasterRecord record = instrument.Record();
    const std::string dir = instrument.dir.Dir();
    EXPECT_EQ(SplitFile(file.Get(), dir.c_str(), 1, &record, dir.c_str(), r, 1, 1, 0), 0);
    file.Close();
    EXPECT_EQ(ReadBytes(instrument.dir.Path("master")), master);
  }
}

// ---- Where temporary files go --------------------------------------------

// With the final rename and the clean-up both failing, the temporary file
// stays where it was made: beside the file it was to replace.
TEST(TemporaryFilesTest, AreMadeBesideTheFileTheyReplace) {
  FaultScope faults;
  using Op = std::function<int(Instrument&, FileHandle)>;
  const std::vector<std::pair<std::string, Op>> ops = {
      {"insert",
       [](Instrument& i, FileHandle f) { return InsertRecord(f, i.DatName().c_str(), 1, i.Record()); }},
      {"delete",
       [](Instrument& i, FileHandle f) {
         Selection selection{1};
         return DeleteSelectedDATRecords(f, i.DatName().c_str(), selection.list, i.Record());
       }},
      {"truncate",
       [](Instrument& i, FileHandle f) {
         Selection selection{1};
         return TruncateFile(f, i.DatName().c_str(), 1, 0, 0, selection.list, i.Record());
       }},
  };
  for (const auto& [name, op] : ops) {
    Instrument instrument(Ids(1, 4));
    FileGuard file = instrument.Open();
    platform::ResetFaults();
    platform::FailNthCall(platform::Call::Rename, 1);
    platform::FailNthCall(platform::Call::Delete, 1);
    EXPECT_EQ(op(instrument, file.Get()), 0) << name;
    platform::ResetFaults();
    file.Close();
    EXPECT_EQ(Leftovers(instrument.dir.Path("")).size(), 1u) << name;
  }
}

TEST(TemporaryFilesTest, ASplitBuildsTheNewSourceBesideItAndThePortionInTheDestination) {
  FaultScope faults;
  Instrument instrument(Ids(1, 4));
  const std::string destination = instrument.dir.MakeSubdir("dest");
  FileGuard file = instrument.Open();
  MasterRecord record = instrument.Record();
  // The portion's rename into the destination fails, and so does every
  // clean-up of the temporary files.
  platform::FailNthCall(platform::Call::Rename, 1);
  for (int n = 1; n <= 2; ++n) platform::FailNthCall(platform::Call::Delete, n);
  EXPECT_EQ(SplitFile(file.Get(), instrument.dir.Dir().c_str(), 1, &record, destination.c_str(), 1, 1, 0, 0),
            0);
  platform::ResetFaults();
  file.Close();
  EXPECT_EQ(Leftovers(instrument.dir.Path("dest")).size(), 1u);
  EXPECT_EQ(Leftovers(instrument.dir.Path("")).size(), 1u);
}

TEST(TemporaryFilesTest, AFailedCreationLeavesTheFileAlone) {
  FaultScope faults;
  Instrument instrument(Ids(1, 4));
  const Bytes before = ReadBytes(instrument.DatPath());
  FileGuard file = instrument.Open();
  platform::FailNthCall(platform::Call::Open, 1);
  EXPECT_EQ(InsertRecord(file.Get(), instrument.DatName().c_str(), 0, instrument.Record()), 0);
  file.Close();
  EXPECT_EQ(ReadBytes(instrument.DatPath()), before);
}

}  // namespace
