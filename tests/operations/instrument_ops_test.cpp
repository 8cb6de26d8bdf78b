#include "store/instrument_ops.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <numeric>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "filelayer/file_layer.h"
#include "filelayer/platform_file.h"
#include "fixtures.h"
#include "operations_support.h"
#include "store/dat_file.h"
#include "support/temp_dir.h"

namespace {

using fixtures::MasterBuilder;
using fixtures::MasterEntry;
using operations_test::Contents;
using operations_test::FileName;
using operations_test::FilesIn;
using operations_test::Fill;
using operations_test::Inconsistency;
using operations_test::MasterRead;
using operations_test::NativeFile;
using operations_test::Range;
using operations_test::ReadMaster;
using operations_test::WithRecords;
using testing_support::Bytes;
using testing_support::ReadBytes;
using testing_support::TempDir;
using testing_support::WriteBytes;

// A new instrument's record as the Create dialog builds it (file number 0).
MasterRecord NewRecord(uint8_t fieldCount = 6, char period = 'D') {
  return MasterEntry{
      .fileNumber = 0, .fieldCount = fieldCount, .name = "NEW", .period = period, .symbol = "NW"}
      .Record();
}

MasterRecord EntryRecord(int fileNumber) {
  return MasterEntry{.fileNumber = static_cast<uint8_t>(fileNumber),
                     .fieldCount = 6,
                     .name = "INSTR" + std::to_string(fileNumber),
                     .symbol = "S" + std::to_string(fileNumber)}
      .Record();
}

// Holds a file open as another program or an editor would.
class Holder {
 public:
  Holder(const std::string& coreName, platform::Access access, bool shareRead) {
    platform::OpenRequest request;
    request.access = access;
    request.shareRead = shareRead;
    file_ = platform::Open(coreName, request);
  }
  ~Holder() { platform::Close(file_); }
  Holder(const Holder&) = delete;
  Holder& operator=(const Holder&) = delete;
  bool Held() const { return file_ != nullptr; }

 private:
  platform::FileRef file_ = nullptr;
};

// Every operation closes what it opened: nothing of the directory stays in
// the file table.
void ExpectNothingOpen(const std::string& coreDir) {
  for (const std::string& name : {std::string("master"), std::string("msttmp"), std::string("F1.DAT"),
                                  std::string("F3.DAT"), std::string("F7.DAT")}) {
    EXPECT_EQ(IsFileOpen((coreDir + name).c_str()), 0) << name;
  }
}

class InstrumentOpsTest : public ::testing::Test {
 protected:
  void SetUp() override { platform::ResetFaults(); }
  void TearDown() override { platform::ResetFaults(); }

  std::string A() const { return a_.Dir(); }
  std::string B() const { return b_.Dir(); }
  std::string NativeA() const { return a_.Path(""); }
  std::string NativeB() const { return b_.Path(""); }

  TempDir a_;
  TempDir b_;
};

// ---------------------------------------------------------------------------
// CreateInstrument

struct NumberingCase {
  const char* rule;
  std::vector<int> numbers;  // file numbers of the records present
  int last;                  // header's last file number
  int expected;              // number handed out
  int lastAfter;
};
void PrintTo(const NumberingCase& c, std::ostream* os) {
  *os << c.rule;
}

class CreateNumberingTest : public InstrumentOpsTest, public ::testing::WithParamInterface<NumberingCase> {};

TEST_P(CreateNumberingTest, HandsOutTheNumberAndAppendsAfterTheHeaderUpdate) {
  const NumberingCase& c = GetParam();
  MasterBuilder master;
  for (int n : c.numbers) master.Add(MasterEntry{.fileNumber = static_cast<uint8_t>(n)});
  master.LastFileNumber(static_cast<uint16_t>(c.last));
  WriteBytes(NativeFile(NativeA(), "master"), master.Build());

  MasterRecord record = NewRecord();
  EXPECT_EQ(CreateInstrument(A().c_str(), &record, 0), c.expected) << c.rule;
  EXPECT_EQ(record.FileNumber(), c.expected);

  const MasterRead after = ReadMaster(NativeA());
  EXPECT_EQ(after.count, static_cast<int>(c.numbers.size()) + 1);
  EXPECT_EQ(after.last, c.lastAfter);
  ASSERT_EQ(after.entries.size(), c.numbers.size() + 1);
  EXPECT_EQ(after.entries.back().raw, Bytes(record.raw, record.raw + kMasterRecordSize));
  EXPECT_FALSE(testing_support::FileExistsNative(NativeFile(NativeA(), FileName(c.expected, "DAT"))));
}

INSTANTIATE_TEST_SUITE_P(
    Rules, CreateNumberingTest,
    ::testing::Values(NumberingCase{"counts on from the last number", {1, 2, 3}, 3, 4, 4},
                      NumberingCase{"254 is followed by 255", {254}, 254, 255, 255},
                      NumberingCase{"at the top the lowest gap is taken", {1, 2, 4, 5}, 255, 3, 255},
                      NumberingCase{"at the top without gaps one past the records", {1, 2, 3}, 255, 4, 255},
                      NumberingCase{"at the top with no record F1", {}, 255, 1, 255},
                      NumberingCase{"repeated and zero numbers are no gap", {0, 1, 1, 3}, 255, 2, 255},
                      NumberingCase{"the last free number below the top", Range(1, 254), 255, 255, 255},
                      NumberingCase{"a last number beyond the top searches gaps", {1, 2}, 300, 3, 300}),
    operations_test::ByRule());

TEST_F(InstrumentOpsTest, AfterF255TheNextInstrumentFillsAGap) {
  WriteBytes(NativeFile(NativeA(), "master"), WithRecords({2, 254}, 2, 254).Build());
  MasterRecord first = NewRecord();
  MasterRecord second = NewRecord();
  EXPECT_EQ(CreateInstrument(A().c_str(), &first, 0), 255);
  EXPECT_EQ(CreateInstrument(A().c_str(), &second, 0), 1);
  const MasterRead master = ReadMaster(NativeA());
  EXPECT_EQ(master.Numbers(), (std::vector<int>{2, 254, 255, 1}));
  EXPECT_EQ(master.count, 4);
  EXPECT_EQ(master.last, 255);
}

TEST_F(InstrumentOpsTest, CreateWithoutMasterMakesOneWithF1) {
  MasterRecord record = NewRecord();
  EXPECT_EQ(CreateInstrument(A().c_str(), &record, 0), 1);
  const MasterRead master = ReadMaster(NativeA());
  EXPECT_EQ(master.bytes.size(), 106u);
  EXPECT_EQ(master.count, 1);
  EXPECT_EQ(master.last, 1);
  EXPECT_EQ(master.Numbers(), std::vector<int>{1});
  EXPECT_TRUE(
      std::all_of(master.bytes.begin() + 4, master.bytes.begin() + 53, [](uint8_t b) { return b == 0; }));
}

TEST_F(InstrumentOpsTest, CreateWithFilesMakesEmptyDataAndColumnFiles) {
  MasterRecord record = NewRecord(7, 'I');
  ASSERT_EQ(CreateInstrument(A().c_str(), &record, 1), 1);
  const Bytes dat = ReadBytes(NativeFile(NativeA(), "F1.DAT"));
  ASSERT_EQ(dat.size(), 28u);
  EXPECT_EQ(dat[2], 1);
  const Bytes dop = ReadBytes(NativeFile(NativeA(), "F1.DOP"));
  EXPECT_EQ(std::string(dop.begin(), dop.begin() + 10), "Date, 0, 0");
}

struct FullCase {
  const char* rule;
  MasterBuilder master;
};
void PrintTo(const FullCase& c, std::ostream* os) {
  *os << c.rule;
}

class CreateRefusedTest : public InstrumentOpsTest, public ::testing::WithParamInterface<FullCase> {};

TEST_P(CreateRefusedTest, GivesMinusOneAndLeavesMasterAlone) {
  const Bytes before = GetParam().master.Build();
  WriteBytes(NativeFile(NativeA(), "master"), before);
  MasterRecord record = NewRecord();
  EXPECT_EQ(CreateInstrument(A().c_str(), &record, 1), -1) << GetParam().rule;
  EXPECT_EQ(record.FileNumber(), 0);
  EXPECT_EQ(ReadBytes(NativeFile(NativeA(), "master")), before);
  EXPECT_EQ(FilesIn(NativeA()), std::set<std::string>{"MASTER"});
}

INSTANTIATE_TEST_SUITE_P(
    Rules, CreateRefusedTest,
    ::testing::Values(FullCase{"count 255 at the top", WithRecords({1, 2}, 255, 255)},
                      FullCase{"255 records at the top", WithRecords(Range(1, 255), 200, 255)},
                      FullCase{"count 255 below the top", WithRecords({1, 2}, 255, 10)},
                      // Numbers repeat, so the old walk would have offered 301.
                      FullCase{"300 records never give a number above 255",
                               WithRecords(std::vector<int>(300, 1), 10, 255)},
                      FullCase{"a master without a whole header", MasterBuilder().Resize(20)}),
    operations_test::ByRule());

TEST_F(InstrumentOpsTest, CreateNeverEmptiesAMasterItCannotOpen) {
  Fill(NativeA(), "A", {1, 2}, 2);
  const Bytes before = ReadBytes(NativeFile(NativeA(), "master"));
  {
    Holder holder(A() + "master", platform::Access::ReadWrite, false);
    ASSERT_TRUE(holder.Held());
    MasterRecord record = NewRecord();
    EXPECT_EQ(CreateInstrument(A().c_str(), &record, 0), -1);
  }
  EXPECT_EQ(ReadBytes(NativeFile(NativeA(), "master")), before);
}

TEST_F(InstrumentOpsTest, CreateOverwritesAPartialLastRecordInsteadOfMisaligning) {
  WriteBytes(NativeFile(NativeA(), "master"),
             MasterBuilder().Add(MasterEntry{.fileNumber = 1}).LastFileNumber(1).Resize(106 + 10).Build());
  MasterRecord record = NewRecord();
  EXPECT_EQ(CreateInstrument(A().c_str(), &record, 0), 2);
  const MasterRead master = ReadMaster(NativeA());
  EXPECT_EQ(master.bytes.size(), 159u);
  EXPECT_EQ(master.Numbers(), (std::vector<int>{1, 2}));
}

TEST_F(InstrumentOpsTest, CreateRestoresTheHeaderWhenTheRecordCannotBeWritten) {
  Fill(NativeA(), "A", {1, 2}, 2);
  const Bytes before = ReadBytes(NativeFile(NativeA(), "master"));
  platform::FailNthCall(platform::Call::Write, 2);
  MasterRecord record = NewRecord();
  EXPECT_EQ(CreateInstrument(A().c_str(), &record, 1), -1);
  EXPECT_EQ(ReadBytes(NativeFile(NativeA(), "master")), before);
  EXPECT_FALSE(testing_support::FileExistsNative(NativeFile(NativeA(), "F3.DAT")));
}

TEST_F(InstrumentOpsTest, CreateLeavesNoHalfWrittenNewMaster) {
  platform::FailNthCall(platform::Call::Write, 2);
  MasterRecord record = NewRecord();
  EXPECT_EQ(CreateInstrument(A().c_str(), &record, 0), -1);
  EXPECT_TRUE(FilesIn(NativeA()).empty());
}

TEST_F(InstrumentOpsTest, CreateUnderEveryInjectedFaultAddsTheRecordOrNothing) {
  for (platform::Call kind : {platform::Call::Open, platform::Call::Read, platform::Call::Write,
                              platform::Call::Size, platform::Call::List}) {
    for (int nth = 1; nth <= 6; ++nth) {
      TempDir dir;
      Fill(dir.Path(""), "A", {1, 2}, 2);
      const Bytes before = ReadBytes(NativeFile(dir.Path(""), "master"));
      platform::ResetFaults();
      platform::FailNthCall(kind, nth);
      MasterRecord record = NewRecord();
      const int16_t result = CreateInstrument(dir.Dir().c_str(), &record, 0);
      platform::ResetFaults();
      SCOPED_TRACE("call kind " + std::to_string(static_cast<int>(kind)) + " #" + std::to_string(nth));
      const MasterRead master = ReadMaster(dir.Path(""));
      if (result == -1) {
        EXPECT_EQ(master.bytes, before);
      } else {
        EXPECT_EQ(result, 3);
        EXPECT_EQ(master.Numbers(), (std::vector<int>{1, 2, 3}));
        EXPECT_EQ(master.count, 3);
      }
      ExpectNothingOpen(dir.Dir());
    }
  }
}

// ---------------------------------------------------------------------------
// CopyInstrument

TEST_F(InstrumentOpsTest, CopyAddsTheEntryAndCopiesTheFilesUnderTheNewNumber) {
  Fill(NativeA(), "A", {7}, 7);
  Fill(NativeB(), "B", {1, 2}, 2);
  const Bytes sourceMaster = ReadBytes(NativeFile(NativeA(), "master"));
  MasterRecord record = EntryRecord(7);
  EXPECT_EQ(CopyInstrument(B().c_str(), A().c_str(), &record), 1);
  EXPECT_EQ(record.FileNumber(), 3);
  for (const char* extension : {"DAT", "DOP", "CHT"}) {
    EXPECT_EQ(ReadBytes(NativeFile(NativeB(), FileName(3, extension))), Contents("A", 7, extension))
        << extension;
    EXPECT_EQ(ReadBytes(NativeFile(NativeA(), FileName(7, extension))), Contents("A", 7, extension))
        << extension;
  }
  EXPECT_EQ(ReadMaster(NativeB()).Numbers(), (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(ReadMaster(NativeB()).entries.back().name, ReadMaster(NativeA()).entries[0].name);
  EXPECT_EQ(ReadBytes(NativeFile(NativeA(), "master")), sourceMaster);
}

TEST_F(InstrumentOpsTest, CopyOfAnInstrumentWithoutChtFileCopiesTheOthers) {
  Fill(NativeA(), "A", {7}, 7, /*withCht=*/false);
  Fill(NativeB(), "B", {1, 2}, 2);
  MasterRecord record = EntryRecord(7);
  EXPECT_EQ(CopyInstrument(B().c_str(), A().c_str(), &record), 1);
  EXPECT_EQ(FilesIn(NativeB()), (std::set<std::string>{"MASTER", "F1.DAT", "F1.DOP", "F1.CHT", "F2.DAT",
                                                       "F2.DOP", "F2.CHT", "F3.DAT", "F3.DOP"}));
}

TEST_F(InstrumentOpsTest, CopyIntoTheSameDirectoryMakesACopyUnderANewNumber) {
  Fill(NativeA(), "A", {1, 2}, 2);
  MasterRecord record = EntryRecord(1);
  EXPECT_EQ(CopyInstrument(A().c_str(), A().c_str(), &record), 1);
  EXPECT_EQ(ReadMaster(NativeA()).Numbers(), (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(ReadBytes(NativeFile(NativeA(), "F3.DAT")), Contents("A", 1, "DAT"));
  EXPECT_EQ(ReadBytes(NativeFile(NativeA(), "F1.DAT")), Contents("A", 1, "DAT"));
}

TEST_F(InstrumentOpsTest, CopyIntoADirectoryWithoutMasterStartsOne) {
  Fill(NativeA(), "A", {7}, 7);
  MasterRecord record = EntryRecord(7);
  EXPECT_EQ(CopyInstrument(B().c_str(), A().c_str(), &record), 1);
  EXPECT_EQ(ReadMaster(NativeB()).Numbers(), std::vector<int>{1});
  EXPECT_EQ(ReadBytes(NativeFile(NativeB(), "F1.DOP")), Contents("A", 7, "DOP"));
}

TEST_F(InstrumentOpsTest, CopyOverwritesAStaleFileOfTheNewNumber) {
  Fill(NativeA(), "A", {7}, 7);
  Fill(NativeB(), "B", {1, 2}, 2);
  WriteBytes(NativeFile(NativeB(), "F3.DAT"), Bytes{1, 2, 3});
  MasterRecord record = EntryRecord(7);
  EXPECT_EQ(CopyInstrument(B().c_str(), A().c_str(), &record), 1);
  EXPECT_EQ(ReadBytes(NativeFile(NativeB(), "F3.DAT")), Contents("A", 7, "DAT"));
}

TEST_F(InstrumentOpsTest, CopyIntoAFullDirectoryChangesNothing) {
  Fill(NativeA(), "A", {7}, 7);
  WriteBytes(NativeFile(NativeB(), "master"), WithRecords(Range(1, 3), 255, 255).Build());
  const Bytes before = ReadBytes(NativeFile(NativeB(), "master"));
  MasterRecord record = EntryRecord(7);
  EXPECT_EQ(CopyInstrument(B().c_str(), A().c_str(), &record), 0);
  EXPECT_EQ(record.FileNumber(), 7);
  EXPECT_EQ(ReadBytes(NativeFile(NativeB(), "master")), before);
  EXPECT_EQ(FilesIn(NativeB()), std::set<std::string>{"MASTER"});
}

TEST_F(InstrumentOpsTest, CopyThatCannotReadTheDataFileTakesTheNewEntryAway) {
  Fill(NativeA(), "A", {7}, 7);
  Fill(NativeB(), "B", {1, 2}, 2);
  // Another program holding the data file without sharing refuses the copy
  // its read.
  Holder other(A() + "F7.DAT", platform::Access::Read, false);
  ASSERT_TRUE(other.Held());
  MasterRecord record = EntryRecord(7);
  EXPECT_EQ(CopyInstrument(B().c_str(), A().c_str(), &record), 0);
  EXPECT_EQ(record.FileNumber(), 7);
  EXPECT_EQ(ReadMaster(NativeB()).Numbers(), (std::vector<int>{1, 2}));
  EXPECT_EQ(ReadMaster(NativeB()).count, 2);
  EXPECT_EQ(FilesIn(NativeB()).count("F3.DAT") + FilesIn(NativeB()).count("F3.DOP"), 0u);
}

TEST_F(InstrumentOpsTest, CopyUnderEveryInjectedFaultLeavesBothDirectoriesConsistent) {
  for (platform::Call kind :
       {platform::Call::Open, platform::Call::Read, platform::Call::Write, platform::Call::Rename,
        platform::Call::Delete, platform::Call::Copy, platform::Call::Size, platform::Call::List}) {
    for (int nth = 1; nth <= 8; ++nth) {
      TempDir source, destination;
      Fill(source.Path(""), "A", {7}, 7);
      Fill(destination.Path(""), "B", {1, 2}, 2);
      const Bytes sourceMaster = ReadBytes(NativeFile(source.Path(""), "master"));
      platform::ResetFaults();
      platform::FailNthCall(kind, nth);
      MasterRecord record = EntryRecord(7);
      const int result = CopyInstrument(destination.Dir().c_str(), source.Dir().c_str(), &record);
      platform::ResetFaults();
      SCOPED_TRACE("call kind " + std::to_string(static_cast<int>(kind)) + " #" + std::to_string(nth));
      EXPECT_EQ(Inconsistency(destination.Path("")), "");
      EXPECT_EQ(ReadBytes(NativeFile(source.Path(""), "master")), sourceMaster);
      const MasterRead after = ReadMaster(destination.Path(""));
      if (result == 1) {
        EXPECT_EQ(after.Listed(3), 1);
        for (const char* extension : {"DAT", "DOP", "CHT"}) {
          EXPECT_EQ(ReadBytes(NativeFile(destination.Path(""), FileName(3, extension))),
                    Contents("A", 7, extension));
        }
      } else {
        EXPECT_EQ(after.Numbers(), (std::vector<int>{1, 2}));
      }
      ExpectNothingOpen(destination.Dir());
    }
  }
}

// ---------------------------------------------------------------------------
// MoveInstrument

// Source A holds F7 (and F9); destination B's last file number is 2.
class MoveTest : public InstrumentOpsTest {
 protected:
  void SetUp() override {
    InstrumentOpsTest::SetUp();
    Fill(NativeA(), "A", {7, 9}, 9);
    Fill(NativeB(), "B", {1, 2}, 2);
    sourceMaster_ = ReadBytes(NativeFile(NativeA(), "master"));
    destinationMaster_ = ReadBytes(NativeFile(NativeB(), "master"));
  }

  void ExpectMoved() {
    EXPECT_EQ(ReadMaster(NativeA()).Numbers(), std::vector<int>{9});
    EXPECT_EQ(ReadMaster(NativeB()).Numbers(), (std::vector<int>{1, 2, 3}));
    for (const char* extension : {"DAT", "DOP", "CHT"}) {
      EXPECT_EQ(FilesIn(NativeA()).count(FileName(7, extension)), 0u) << extension;
      EXPECT_EQ(ReadBytes(NativeFile(NativeB(), FileName(3, extension))), Contents("A", 7, extension))
          << extension;
    }
    EXPECT_EQ(Inconsistency(NativeA()), "");
    EXPECT_EQ(Inconsistency(NativeB()), "");
  }

  // Both masters list what they listed before and every file is where it was.
  void ExpectNotMoved() {
    EXPECT_EQ(ReadBytes(NativeFile(NativeA(), "master")), sourceMaster_);
    EXPECT_EQ(ReadMaster(NativeB()).Numbers(), (std::vector<int>{1, 2}));
    EXPECT_EQ(ReadMaster(NativeB()).count, 2);
    for (const char* extension : {"DAT", "DOP", "CHT"}) {
      EXPECT_EQ(ReadBytes(NativeFile(NativeA(), FileName(7, extension))), Contents("A", 7, extension))
          << extension;
      EXPECT_EQ(FilesIn(NativeB()).count(FileName(3, extension)), 0u) << extension;
    }
    EXPECT_EQ(Inconsistency(NativeA()), "");
    EXPECT_EQ(Inconsistency(NativeB()), "");
  }

  int Move() {
    MasterRecord record = EntryRecord(7);
    const int result = MoveInstrument(B().c_str(), A().c_str(), &record);
    EXPECT_EQ(record.FileNumber(), 7);
    return result;
  }

  Bytes sourceMaster_;
  Bytes destinationMaster_;
};

TEST_F(MoveTest, MovesTheEntryAndRenamesTheFilesToTheNewNumber) {
  EXPECT_EQ(Move(), 1);
  ExpectMoved();
}

TEST_F(MoveTest, MoveWithinOneDirectoryRenumbers) {
  MasterRecord record = EntryRecord(7);
  EXPECT_EQ(MoveInstrument(A().c_str(), A().c_str(), &record), 1);
  EXPECT_EQ(ReadMaster(NativeA()).Numbers(), (std::vector<int>{9, 10}));
  EXPECT_EQ(ReadBytes(NativeFile(NativeA(), "F10.DAT")), Contents("A", 7, "DAT"));
  EXPECT_EQ(FilesIn(NativeA()).count("F7.DAT"), 0u);
}

TEST_F(MoveTest, MoveOfAnInstrumentWithMissingFilesMovesWhatIsThere) {
  for (const char* extension : {"DOP", "CHT"})
    std::remove(NativeFile(NativeA(), FileName(7, extension)).c_str());
  EXPECT_EQ(Move(), 1);
  EXPECT_EQ(ReadMaster(NativeB()).Numbers(), (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(FilesIn(NativeB()).count("F3.DOP"), 0u);
  EXPECT_EQ(ReadBytes(NativeFile(NativeB(), "F3.DAT")), Contents("A", 7, "DAT"));
}

TEST_F(MoveTest, RefusedWhenADestinationNameIsTaken) {
  // An unlisted file of the number the move would get; nothing may overwrite it.
  WriteBytes(NativeFile(NativeB(), "f3.cht"), Bytes{9, 9});
  EXPECT_EQ(Move(), 0);
  EXPECT_EQ(ReadBytes(NativeFile(NativeB(), "f3.cht")), (Bytes{9, 9}));
  EXPECT_EQ(ReadBytes(NativeFile(NativeB(), "master")), destinationMaster_);
  EXPECT_EQ(ReadBytes(NativeFile(NativeA(), "master")), sourceMaster_);
}

TEST_F(MoveTest, RefusedWhileASourceFileIsHeld) {
  {
    Holder other(A() + "F7.DOP", platform::Access::Read, false);
    ASSERT_TRUE(other.Held());
    EXPECT_EQ(Move(), 0);
  }
  EXPECT_EQ(ReadBytes(NativeFile(NativeB(), "master")), destinationMaster_);
  ExpectNotMoved();
}

TEST_F(MoveTest, RefusedWhileTheDataFileIsInTheFileTable) {
  FileHandle editor = SOpenFile((A() + "F7.DAT").c_str(), 1, 1, 24, 0);
  ASSERT_GE(editor, 0);
  ReleaseHandle(editor);  // an idle editor gives its platform handle back
  EXPECT_EQ(Move(), 0);
  SCloseFile(editor);
  ExpectNotMoved();
}

TEST_F(MoveTest, RefusedIntoAFullDirectory) {
  WriteBytes(NativeFile(NativeB(), "master"), WithRecords({1, 2}, 255, 255).Build());
  EXPECT_EQ(Move(), 0);
  EXPECT_EQ(ReadBytes(NativeFile(NativeA(), "master")), sourceMaster_);
}

TEST_F(MoveTest, ARefusedRenameFallsBackToCopyAndDelete) {
  platform::FailNthCall(platform::Call::Rename, 2);
  EXPECT_EQ(Move(), 1);
  ExpectMoved();
}

TEST_F(MoveTest, AFileThatCannotBeMovedPutsEverythingBack) {
  platform::FailNthCall(platform::Call::Rename, 2);  // the .DOP rename
  platform::FailNthCall(platform::Call::Copy, 1);    // and its copy
  EXPECT_EQ(Move(), 0);
  ExpectNotMoved();
}

TEST_F(MoveTest, ASourceMasterThatCannotBeRewrittenPutsEverythingBack) {
  platform::FailNthCall(platform::Call::Rename, 4);  // after three file renames: master's replacement
  EXPECT_EQ(Move(), 0);
  ExpectNotMoved();
}

TEST_F(MoveTest, AFileThatCannotBePutBackStaysListedAtTheDestination) {
  platform::FailNthCall(platform::Call::Rename, 4);  // the source master's replacement
  platform::FailNthCall(platform::Call::Rename, 5);  // moving .CHT back
  platform::FailNthCall(platform::Call::Copy, 1);    // and copying it back
  EXPECT_EQ(Move(), 0);
  EXPECT_EQ(ReadMaster(NativeB()).Listed(3), 1);
  EXPECT_EQ(ReadBytes(NativeFile(NativeB(), "F3.CHT")), Contents("A", 7, "CHT"));
  EXPECT_EQ(ReadBytes(NativeFile(NativeA(), "F7.DAT")), Contents("A", 7, "DAT"));
  EXPECT_EQ(Inconsistency(NativeA()), "");
  EXPECT_EQ(Inconsistency(NativeB()), "");
}

TEST_F(InstrumentOpsTest, MoveUnderEveryInjectedFaultKeepsEveryFileListedOnce) {
  for (platform::Call kind :
       {platform::Call::Open, platform::Call::Read, platform::Call::Write, platform::Call::Rename,
        platform::Call::Delete, platform::Call::Copy, platform::Call::Size, platform::Call::List}) {
    // How many calls of the kind a clean move makes.
    int calls = 0;
    {
      TempDir source, destination;
      Fill(source.Path(""), "A", {7, 9}, 9);
      Fill(destination.Path(""), "B", {1, 2}, 2);
      platform::ResetFaults();
      MasterRecord record = EntryRecord(7);
      ASSERT_EQ(MoveInstrument(destination.Dir().c_str(), source.Dir().c_str(), &record), 1);
      calls = platform::CallCount(kind);
    }
    for (int nth = 1; nth <= calls; ++nth) {
      TempDir source, destination;
      Fill(source.Path(""), "A", {7, 9}, 9);
      Fill(destination.Path(""), "B", {1, 2}, 2);
      const Bytes sourceMaster = ReadBytes(NativeFile(source.Path(""), "master"));
      platform::ResetFaults();
      platform::FailNthCall(kind, nth);
      MasterRecord record = EntryRecord(7);
      const int result = MoveInstrument(destination.Dir().c_str(), source.Dir().c_str(), &record);
      platform::ResetFaults();
      SCOPED_TRACE("call kind " + std::to_string(static_cast<int>(kind)) + " #" + std::to_string(nth));
      EXPECT_EQ(Inconsistency(source.Path("")), "");
      EXPECT_EQ(Inconsistency(destination.Path("")), "");
      const MasterRead a = ReadMaster(source.Path(""));
      const MasterRead b = ReadMaster(destination.Path(""));
      EXPECT_EQ(a.Listed(9), 1);
      EXPECT_EQ(b.Listed(1) + b.Listed(2), 2);
      for (const char* extension : {"DAT", "DOP", "CHT"}) {
        // The file's bytes are in exactly one of the two places.
        const bool inSource = FilesIn(source.Path("")).count(FileName(7, extension)) == 1;
        const bool inDestination = FilesIn(destination.Path("")).count(FileName(3, extension)) == 1;
        EXPECT_NE(inSource, inDestination) << extension;
        const std::string where = inSource ? NativeFile(source.Path(""), FileName(7, extension))
                                           : NativeFile(destination.Path(""), FileName(3, extension));
        EXPECT_EQ(ReadBytes(where), Contents("A", 7, extension)) << extension;
      }
      if (result == 1) {
        EXPECT_EQ(a.Listed(7), 0);
        EXPECT_EQ(b.Listed(3), 1);
      } else {
        EXPECT_EQ(ReadBytes(NativeFile(source.Path(""), "master")), sourceMaster);
        EXPECT_EQ(b.Listed(3), 0);
      }
      ExpectNothingOpen(source.Dir());
      ExpectNothingOpen(destination.Dir());
    }
  }
}

// ---------------------------------------------------------------------------
// DeleteInstrument

TEST_F(InstrumentOpsTest, DeleteRemovesTheRecordAndItsFiles) {
  Fill(NativeA(), "A", {1, 2, 3}, 3);
  MasterRecord record = EntryRecord(2);
  EXPECT_EQ(DeleteInstrument(A().c_str(), record, 1), 1);
  const MasterRead master = ReadMaster(NativeA());
  EXPECT_EQ(master.Numbers(), (std::vector<int>{1, 3}));
  EXPECT_EQ(master.count, 2);
  EXPECT_EQ(master.last, 3);
  EXPECT_EQ(FilesIn(NativeA()),
            (std::set<std::string>{"MASTER", "F1.DAT", "F1.DOP", "F1.CHT", "F3.DAT", "F3.DOP", "F3.CHT"}));
}

TEST_F(InstrumentOpsTest, DeleteOfAnInstrumentListedTwiceRemovesBothRecords) {
  WriteBytes(NativeFile(NativeA(), "master"), WithRecords({1, 2, 3, 2}, 4, 3).Build());
  EXPECT_EQ(DeleteInstrument(A().c_str(), EntryRecord(2), 0), 1);
  const MasterRead master = ReadMaster(NativeA());
  EXPECT_EQ(master.Numbers(), (std::vector<int>{1, 3}));
  EXPECT_EQ(master.count, 2);
}

TEST_F(InstrumentOpsTest, DeleteKeepingFilesLeavesThemInPlace) {
  Fill(NativeA(), "A", {1, 2}, 2);
  EXPECT_EQ(DeleteInstrument(A().c_str(), EntryRecord(2), 0), 1);
  EXPECT_EQ(ReadBytes(NativeFile(NativeA(), "F2.DAT")), Contents("A", 2, "DAT"));
}

TEST_F(InstrumentOpsTest, DeletePassesOverMissingFiles) {
  Fill(NativeA(), "A", {1, 2}, 2, /*withCht=*/false);
  std::remove(NativeFile(NativeA(), "F2.DAT").c_str());
  EXPECT_EQ(DeleteInstrument(A().c_str(), EntryRecord(2), 1), 1);
  EXPECT_EQ(FilesIn(NativeA()).count("F2.DOP"), 0u);
}

TEST_F(InstrumentOpsTest, DeleteWithoutMasterFails) {
  EXPECT_EQ(DeleteInstrument(A().c_str(), EntryRecord(2), 1), 0);
  EXPECT_TRUE(FilesIn(NativeA()).empty());
}

TEST_F(InstrumentOpsTest, DeleteReplacesAStaleTemporaryMaster) {
  Fill(NativeA(), "A", {1, 2}, 2);
  WriteBytes(NativeFile(NativeA(), "msttmp"), Bytes(500, 7));
  EXPECT_EQ(DeleteInstrument(A().c_str(), EntryRecord(1), 1), 1);
  EXPECT_EQ(ReadMaster(NativeA()).Numbers(), std::vector<int>{2});
  EXPECT_EQ(Inconsistency(NativeA()), "");
}

struct DeleteFailure {
  const char* rule;
  platform::Call kind;
  int nth;
};
void PrintTo(const DeleteFailure& c, std::ostream* os) {
  *os << c.rule;
}

class DeleteFailureTest : public InstrumentOpsTest, public ::testing::WithParamInterface<DeleteFailure> {};

TEST_P(DeleteFailureTest, LeavesMasterWholeAndUnchanged) {
  Fill(NativeA(), "A", {1, 2, 3}, 3);
  const Bytes before = ReadBytes(NativeFile(NativeA(), "master"));
  platform::FailNthCall(GetParam().kind, GetParam().nth);
  EXPECT_EQ(DeleteInstrument(A().c_str(), EntryRecord(2), 0), 0) << GetParam().rule;
  EXPECT_EQ(ReadBytes(NativeFile(NativeA(), "master")), before);
  EXPECT_EQ(FilesIn(NativeA()).count("MSTTMP"), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, DeleteFailureTest,
    ::testing::Values(DeleteFailure{"master will not open", platform::Call::Open, 1},
                      DeleteFailure{"msttmp will not open", platform::Call::Open, 2},
                      // A read that fails halfway must not pass for the end of master.
                      DeleteFailure{"a record cannot be read", platform::Call::Read, 3},
                      DeleteFailure{"a record cannot be written", platform::Call::Write, 2},
                      DeleteFailure{"the header cannot be written", platform::Call::Write, 4},
                      DeleteFailure{"master cannot be replaced", platform::Call::Rename, 1}),
    operations_test::ByRule());

TEST_F(InstrumentOpsTest, DeleteRefusesWhileADataFileIsHeld) {
  Fill(NativeA(), "A", {1, 2}, 2);
  const Bytes before = ReadBytes(NativeFile(NativeA(), "master"));
  Holder other(A() + "F2.DAT", platform::Access::Read, true);
  ASSERT_TRUE(other.Held());
  EXPECT_EQ(DeleteInstrument(A().c_str(), EntryRecord(2), 1), 0);
  EXPECT_EQ(ReadBytes(NativeFile(NativeA(), "master")), before);
  EXPECT_EQ(ReadBytes(NativeFile(NativeA(), "F2.DOP")), Contents("A", 2, "DOP"));
}

TEST_F(InstrumentOpsTest, DeleteListsTheInstrumentAgainWhenAFileCannotBeDeleted) {
  Fill(NativeA(), "A", {1, 2}, 2);
  platform::FailNthCall(platform::Call::Delete, 1);  // the .DOP file, deleted first
  EXPECT_EQ(DeleteInstrument(A().c_str(), EntryRecord(2), 1), 0);
  const MasterRead master = ReadMaster(NativeA());
  EXPECT_EQ(master.Listed(2), 1);
  EXPECT_EQ(ReadBytes(NativeFile(NativeA(), "F2.DOP")), Contents("A", 2, "DOP"));
  EXPECT_EQ(Inconsistency(NativeA()), "");
}

TEST_F(InstrumentOpsTest, DeleteUnderEveryInjectedFaultLeavesNoFileUnlisted) {
  for (platform::Call kind :
       {platform::Call::Open, platform::Call::Read, platform::Call::Write, platform::Call::Rename,
        platform::Call::Delete, platform::Call::Size, platform::Call::List}) {
    int calls = 0;
    {
      TempDir dir;
      Fill(dir.Path(""), "A", {1, 2, 3}, 3);
      platform::ResetFaults();
      ASSERT_EQ(DeleteInstrument(dir.Dir().c_str(), EntryRecord(2), 1), 1);
      calls = platform::CallCount(kind);
    }
    for (int nth = 1; nth <= calls; ++nth) {
      TempDir dir;
      Fill(dir.Path(""), "A", {1, 2, 3}, 3);
      const Bytes before = ReadBytes(NativeFile(dir.Path(""), "master"));
      platform::ResetFaults();
      platform::FailNthCall(kind, nth);
      const int result = DeleteInstrument(dir.Dir().c_str(), EntryRecord(2), 1);
      platform::ResetFaults();
      SCOPED_TRACE("call kind " + std::to_string(static_cast<int>(kind)) + " #" + std::to_string(nth));
      EXPECT_EQ(Inconsistency(dir.Path("")), "");
      const MasterRead master = ReadMaster(dir.Path(""));
      EXPECT_EQ(master.Listed(1) + master.Listed(3), 2);
      if (result == 1) {
        EXPECT_EQ(master.Listed(2), 0);
        EXPECT_EQ(FilesIn(dir.Path("")).count("F2.DAT"), 0u);
      } else {
        EXPECT_EQ(master.Listed(2), 1);
        // Untouched unless a file deletion failed after the rewrite.
        if (kind != platform::Call::Delete) {
          EXPECT_EQ(master.bytes, before);
        }
      }
      ExpectNothingOpen(dir.Dir());
    }
  }
}

}  // namespace
