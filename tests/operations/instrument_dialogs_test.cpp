#include "store/instrument_dialogs.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "filelayer/platform_file.h"
#include "fixtures.h"
#include "integrity/messages.h"
#include "operations_support.h"
#include "primitives/path_list.h"
#include "support/temp_dir.h"

namespace {

using fixtures::ScriptedInteraction;
using operations_test::Contents;
using operations_test::FileName;
using operations_test::FilesIn;
using operations_test::Fill;
using operations_test::MasterRead;
using operations_test::NativeFile;
using operations_test::Range;
using operations_test::ReadMaster;
using operations_test::WithRecords;
using testing_support::Bytes;
using testing_support::ReadBytes;
using testing_support::TempDir;
using testing_support::WriteBytes;

using Texts = std::vector<std::string>;

const char* const kCopyRoomQuestion =
    "There is not enough room to copy all of the files into the directory, do you want to copy as many as "
    "will fit?";
const char* const kMoveRoomQuestion =
    "There is not enough room to move all of the files into the directory, do you want to move as many as "
    "will fit?";
const char* const kCopyFailureQuestion =
    "A problem occured during copying, do you wish to attempt to continue ?";
const char* const kDeleteFailureQuestion = "An error occured whilst deleting, do you wish to continue ?";

class DialogsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    KillPathList();
    platform::ResetFaults();
  }
  void TearDown() override {
    KillPathList();
    platform::ResetFaults();
  }

  std::vector<std::string> History() const {
    std::vector<std::string> paths;
    for (const PathNode* node = PathList; node != nullptr; node = node->next) paths.push_back(node->path);
    return paths;
  }

  TempDir a_;
  TempDir b_;
};

// Create

struct BuildCase {
  const char* rule;
  CreateEntries entries;
  const char* name;    // the 16 stored bytes
  const char* symbol;  // the 14 stored bytes
  char period;
  int fieldCount;
  int timeBase;
};
void PrintTo(const BuildCase& c, std::ostream* os) {
  *os << c.rule;
}

class BuildCreateRecordTest : public DialogsTest, public ::testing::WithParamInterface<BuildCase> {};

TEST_P(BuildCreateRecordTest, StoresTheEntriesAsTheDialogDoes) {
  const BuildCase& c = GetParam();
  ScriptedInteraction ui;
  MasterRecord record;
  std::memset(record.raw, 0xAA, sizeof record.raw);
  ASSERT_EQ(BuildCreateRecord(c.entries, ui, &record), 1);
  EXPECT_TRUE(ui.notices.empty());
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(record.raw + 7), 16), c.name);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(record.raw + 36), 14), c.symbol);
  EXPECT_EQ(record.Period(), c.period);
  EXPECT_EQ(record.FieldCount(), c.fieldCount);
  EXPECT_EQ(record.RecordLength(), 4 * c.fieldCount);
  EXPECT_EQ(record.TimeBase(), c.timeBase);
  EXPECT_EQ(record.FileType(), 101);
  // Built from scratch: zero but for the two blanks after the symbol.
  EXPECT_EQ(record.raw[0], 0);
  EXPECT_EQ(record.Reserved(), 0);
  EXPECT_EQ(record.FirstDateWord(), 0u);
  EXPECT_EQ(record.LastDateWord(), 0u);
  EXPECT_EQ(record.raw[23] | record.raw[24], 0);
  EXPECT_EQ(record.raw[50], ' ');
  EXPECT_EQ(record.raw[51], ' ');
  EXPECT_EQ(record.raw[52], 0);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, BuildCreateRecordTest,
    ::testing::Values(BuildCase{"a 16 character name keeps 15 and a blank",
                                {.name = "ABCDEFGHIJKLMNOP", .symbol = "ABC"},
                                "ABCDEFGHIJKLMNO ",
                                "ABC           ",
                                'D',
                                5,
                                0},
                      BuildCase{"weekly six ignores the time base",
                                {.name = "W", .symbol = "", .period = 'W', .fieldCount = 6, .timeBase = "30"},
                                "W               ",
                                "              ",
                                'W',
                                6,
                                0},
                      BuildCase{"a 14 character symbol fills its field",
                                {.name = "M", .symbol = "ABCDEFGHIJKLMN", .period = 'M', .fieldCount = 7},
                                "M               ",
                                "ABCDEFGHIJKLMN",
                                'M',
                                7,
                                0},
                      BuildCase{"intraday reads the leading digits",
                                {.name = "I", .period = 'I', .fieldCount = 4, .timeBase = "5x"},
                                "I               ",
                                "              ",
                                'I',
                                4,
                                5},
                      BuildCase{"intraday time base without digits is 0",
                                {.name = "I", .period = 'I', .fieldCount = 8, .timeBase = "abc"},
                                "I               ",
                                "              ",
                                'I',
                                8,
                                0},
                      BuildCase{"intraday reads three characters only",
                                {.name = "I", .period = 'I', .fieldCount = 7, .timeBase = "1440"},
                                "I               ",
                                "              ",
                                'I',
                                7,
                                144}),
    operations_test::ByRule());

struct RefusedEntries {
  const char* rule;
  CreateEntries entries;
  const char* message;
};
void PrintTo(const RefusedEntries& c, std::ostream* os) {
  *os << c.rule;
}

class CreateRefusesEntriesTest : public DialogsTest, public ::testing::WithParamInterface<RefusedEntries> {};

TEST_P(CreateRefusesEntriesTest, ShowsTheMessageAndStaysOpen) {
  ScriptedInteraction ui;
  int16_t fileNumber = 0;
  EXPECT_EQ(CreateApply(a_.Dir().c_str(), GetParam().entries, ui, &fileNumber), kDialogStaysOpen);
  EXPECT_EQ(fileNumber, -1);
  EXPECT_EQ(ui.notices, Texts{GetParam().message});
  EXPECT_TRUE(ui.questions.empty());
  EXPECT_TRUE(FilesIn(a_.Path("")).empty());
}

INSTANTIATE_TEST_SUITE_P(
    Rules, CreateRefusesEntriesTest,
    ::testing::Values(
        RefusedEntries{
            "empty name", {}, "The Instrument name MUST contain a name so that it can be identified"},
        RefusedEntries{"name of blanks",
                       {.name = "   "},
                       "You MUST supply a name which contains something other than just spaces."},
        // Only the first 15 characters are kept, and they are all blanks.
        RefusedEntries{"name blank in its kept part",
                       {.name = "               X"},
                       "You MUST supply a name which contains something other than just spaces."},
        RefusedEntries{"intraday without time base",
                       {.name = "N", .period = 'I', .fieldCount = 4},
                       "You MUST supply a time base for IntraDay files"},
        RefusedEntries{"a field count not offered for the period",
                       {.name = "N", .period = 'D', .fieldCount = 4},
                       "An unknown error occurred!"},
        RefusedEntries{"a period not offered",
                       {.name = "N", .period = 'd', .fieldCount = 5},
                       "An unknown error occurred!"}),
    operations_test::ByRule());

TEST_F(DialogsTest, CreateOffersThePeriodsAndTheirFieldCounts) {
  Texts periods;
  for (const PeriodChoice& choice : CreatePeriodChoices()) {
    periods.push_back(std::string(choice.text) + "=" + choice.period);
  }
  EXPECT_EQ(periods, (Texts{"Daily=D", "Weekly=W", "Monthly=M", "IntraDay=I"}));
  auto counts = [](char period) {
    Texts texts;
    for (const FieldCountChoice& choice : CreateFieldCountChoices(period)) {
      texts.push_back(std::string(choice.text) + "=" + std::to_string(choice.fieldCount));
    }
    return texts;
  };
  EXPECT_EQ(counts('I'), (Texts{"Four=4", "Seven=7", "Eight=8"}));
  for (char period : {'D', 'W', 'M'}) {
    EXPECT_EQ(counts(period), (Texts{"Five=5", "Six=6", "Seven=7"}));
    EXPECT_FALSE(CreateTimeBaseEnabled(period));
  }
  EXPECT_TRUE(CreateTimeBaseEnabled('I'));
}

TEST_F(DialogsTest, CreateInADirectoryWithoutMasterMakesTheInstrumentAndItsFiles) {
  ScriptedInteraction ui;
  int16_t fileNumber = 0;
  const CreateEntries entries{.name = "ACME", .symbol = "ACM", .period = 'W', .fieldCount = 6};
  EXPECT_EQ(CreateApply(a_.Dir().c_str(), entries, ui, &fileNumber), kDialogEnds);
  EXPECT_EQ(fileNumber, 1);
  EXPECT_TRUE(ui.notices.empty());
  const MasterRead master = ReadMaster(a_.Path(""));
  ASSERT_EQ(master.entries.size(), 1u);
  EXPECT_EQ(master.entries[0].name, "ACME            ");
  EXPECT_EQ(ReadBytes(NativeFile(a_.Path(""), "F1.DAT")).size(), 24u);
  EXPECT_TRUE(testing_support::FileExistsNative(NativeFile(a_.Path(""), "F1.DOP")));
}

TEST_F(DialogsTest, CreateThatFailsSaysSoAndStillEnds) {
  WriteBytes(NativeFile(a_.Path(""), "master"), WithRecords({1, 2}, 255, 255).Build());
  ScriptedInteraction ui;
  int16_t fileNumber = 0;
  EXPECT_EQ(CreateApply(a_.Dir().c_str(), {.name = "N"}, ui, &fileNumber), kDialogEnds);
  EXPECT_EQ(fileNumber, -1);
  EXPECT_EQ(ui.notices, Texts{"Unable to create instrument"});
}

// Create Directory

TEST_F(DialogsTest, MakeDirCreatesTheDirectoryWithAnEmptyMaster) {
  ScriptedInteraction ui;
  std::string created;
  EXPECT_EQ(MakeDirApply(a_.Dir().c_str(), "NEW", ui, &created), kDialogEnds);
  EXPECT_EQ(created, a_.Dir() + "NEW\\");
  EXPECT_EQ(ReadBytes(NativeFile(a_.Path("NEW"), "master")), Bytes(53, 0));
  EXPECT_TRUE(ui.notices.empty());
}

struct MakeDirFailure {
  const char* rule;
  const char* name;
  bool existing;     // NEW is there already
  bool masterFails;  // the master file cannot be created
  const char* message;
  bool directoryAfterwards;  // NEW exists afterwards
};
void PrintTo(const MakeDirFailure& c, std::ostream* os) {
  *os << c.rule;
}

class MakeDirFailureTest : public DialogsTest, public ::testing::WithParamInterface<MakeDirFailure> {};

TEST_P(MakeDirFailureTest, ShowsTheMessageAndStaysOpen) {
  const MakeDirFailure& c = GetParam();
  if (c.existing) a_.MakeSubdir("NEW");
  if (c.masterFails) platform::FailNthCall(platform::Call::Open, 1);
  ScriptedInteraction ui;
  std::string created;
  EXPECT_EQ(MakeDirApply(a_.Dir().c_str(), c.name, ui, &created), kDialogStaysOpen);
  EXPECT_EQ(ui.notices, Texts{c.message});
  EXPECT_EQ(created, "");
  EXPECT_EQ(std::filesystem::is_directory(a_.Path("NEW")), c.directoryAfterwards);
  EXPECT_FALSE(testing_support::FileExistsNative(NativeFile(a_.Path("NEW"), "master")));
}

INSTANTIATE_TEST_SUITE_P(
    Rules, MakeDirFailureTest,
    ::testing::Values(
        MakeDirFailure{"empty name", "", false, false,
                       "You must provide at least one character for a directory name.", false},
        MakeDirFailure{"directory already there", "NEW", true, false, "Unable to create Directory", true},
        MakeDirFailure{"master not written", "NEW", false, true, "An unknown error occurred!", true}),
    operations_test::ByRule());

// Change Symbol

class ChangeSymbolTest : public DialogsTest {
 protected:
  void SetUp() override {
    DialogsTest::SetUp();
    Fill(a_.Path(""), "A", {1, 2}, 2);
    ASSERT_EQ(GetMetaStockMasterRecord(a_.Dir().c_str(), 2, &record_), 1);
  }
  MasterRecord record_{};
};

TEST_F(ChangeSymbolTest, StoresTheTextPaddedToFourteen) {
  for (const auto& [typed, stored] : {std::pair<std::string, std::string>{"", "              "},
                                      {"NEWSYM", "NEWSYM        "},
                                      {"ABCDEFGHIJKLMNOPQ", "ABCDEFGHIJKLMN"}}) {
    ScriptedInteraction ui;
    MasterRecord record = record_;
    EXPECT_EQ(ChangeSymbolApply(a_.Dir().c_str(), &record, typed.c_str(), ui), kDialogEnds);
    const MasterRead master = ReadMaster(a_.Path(""));
    EXPECT_EQ(master.entries[1].symbol, stored) << typed;
    // Nothing but the symbol changed.
    Bytes expected = master.entries[1].raw;
    std::memcpy(expected.data() + 36, record_.raw + 36, 14);
    EXPECT_EQ(expected, Bytes(record_.raw, record_.raw + 53));
    EXPECT_EQ(master.entries[0].symbol, "S1            ");
  }
}

TEST_F(ChangeSymbolTest, AnInstrumentNoLongerInMasterIsReported) {
  Fill(a_.Path(""), "A", {1}, 2);
  ScriptedInteraction ui;
  EXPECT_EQ(ChangeSymbolApply(a_.Dir().c_str(), &record_, "X", ui), kDialogStaysOpen);
  EXPECT_EQ(ui.notices, Texts{GetError(2)});
}

// Select Path

TEST_F(DialogsTest, SelectPathAcceptsADirectoryAndRemembersIt) {
  ScriptedInteraction ui;
  std::string path;
  std::string typed = a_.Dir().substr(0, a_.Dir().size() - 1);
  EXPECT_EQ(SelectDriveApply(typed.c_str(), ui, &path), kDialogEnds);
  EXPECT_EQ(path, a_.Dir());
  EXPECT_EQ(History(), Texts{a_.Dir()});
  EXPECT_TRUE(ui.notices.empty());
}

#ifdef _WIN32
TEST_F(DialogsTest, SelectPathCompletesADriveLetter) {
  ScriptedInteraction ui;
  std::string path;
  EXPECT_EQ(SelectDriveApply("C:", ui, &path), kDialogEnds);
  EXPECT_EQ(path, "C:\\");
}
#endif

TEST_F(DialogsTest, SelectPathRefusesWhatIsNotASearchableDirectory) {
  WriteBytes(a_.Path("plain"), Bytes{1});
  for (const std::string& typed :
       {std::string(""), std::string("\\"), a_.Dir() + "missing", a_.Dir() + "plain"}) {
    ScriptedInteraction ui;
    std::string path = "unchanged";
    EXPECT_EQ(SelectDriveApply(typed.c_str(), ui, &path), kDialogStaysOpen) << typed;
    EXPECT_EQ(ui.notices, Texts{"The path specified was not valid."}) << typed;
    EXPECT_EQ(path, "unchanged");
  }
  EXPECT_TRUE(History().empty());
}

// Copy, Move, Delete: selection

TEST_F(DialogsTest, SelectedInstrumentsComeInReverseMasterOrder) {
  Fill(a_.Path(""), "A", {1, 2, 3}, 3);
  ScriptedInteraction ui;
  std::vector<MasterRecord> instruments;
  const int16_t wanted[] = {1, 3};
  ASSERT_EQ(SelectInstruments(a_.Dir().c_str(), wanted, 2, ui, &instruments), 1);
  Texts lines;
  for (const MasterRecord& record : instruments) lines.push_back(InstrumentLine(record));
  EXPECT_EQ(lines, (Texts{"INSTR3\tS3\tF3", "INSTR1\tS1\tF1"}));
  EXPECT_TRUE(ui.notices.empty());
}

TEST_F(DialogsTest, SelectingANumberNotInMasterIsReported) {
  Fill(a_.Path(""), "A", {1, 2, 3}, 3);
  ScriptedInteraction ui;
  std::vector<MasterRecord> instruments;
  const int16_t wanted[] = {1, 4};
  EXPECT_EQ(SelectInstruments(a_.Dir().c_str(), wanted, 2, ui, &instruments), 0);
  EXPECT_EQ(ui.notices, Texts{"An error occured whilst selecting instruments."});
  EXPECT_TRUE(instruments.empty());
}

TEST_F(DialogsTest, TheOfferedDestinationIsTheLatestPathBelowTheSource) {
  AddPath("Q:\\ELSEWHERE\\");
  AddPath("C:\\DATA\\SUB\\");
  AddPath("c:\\data\\other\\");
  AddPath("D:\\");
  EXPECT_EQ(InitialDestination("C:\\DATA\\"), "c:\\data\\other\\");
  EXPECT_EQ(InitialDestination("E:\\"), "");
}

// Copy and Move

class TransferTest : public DialogsTest {
 protected:
  void SetUp() override {
    DialogsTest::SetUp();
    Fill(a_.Path(""), "A", {1, 2, 3}, 3);
    ScriptedInteraction ui;
    const int16_t all[] = {1, 2, 3};
    ASSERT_EQ(SelectInstruments(a_.Dir().c_str(), all, 3, ui, &instruments_), 1);
  }

  int Transfer(TransferKind kind, const std::string& destination, ScriptedInteraction& ui) {
    return TransferApply(kind, a_.Dir().c_str(), instruments_, destination.c_str(), ui, &tally_, &used_);
  }

  std::vector<MasterRecord> instruments_;
  InstrumentTally tally_;
  std::string used_;
};

TEST_F(TransferTest, EmptyDestinationIsRefused) {
  ScriptedInteraction ui;
  EXPECT_EQ(Transfer(TransferKind::Copy, "", ui), kDialogStaysOpen);
  EXPECT_EQ(ui.notices, Texts{"The path specified was not valid."});
  EXPECT_TRUE(History().empty());
}

TEST_F(TransferTest, MissingDestinationAnsweredNoStaysOpen) {
  ScriptedInteraction ui{false};
  EXPECT_EQ(Transfer(TransferKind::Copy, b_.Dir() + "NEW", ui), kDialogStaysOpen);
  EXPECT_EQ(ui.questions, Texts{"This directory does not exist, do you want to attempt to create it ?"});
  EXPECT_FALSE(std::filesystem::exists(b_.Path("NEW")));
  EXPECT_TRUE(History().empty());
}

TEST_F(TransferTest, MissingDestinationAnsweredYesIsCreatedRememberedAndFilled) {
  ScriptedInteraction ui{true};
  EXPECT_EQ(Transfer(TransferKind::Copy, b_.Dir() + "NEW", ui), kDialogEnds);
  EXPECT_EQ(used_, b_.Dir() + "NEW\\");
  EXPECT_EQ(History(), Texts{b_.Dir() + "NEW\\"});
  EXPECT_EQ(tally_.done, 3);
  const MasterRead master = ReadMaster(b_.Path("NEW"));
  EXPECT_EQ(master.Numbers(), (std::vector<int>{1, 2, 3}));
  // Processed in list order: the reverse of the source master.
  EXPECT_EQ(master.entries[0].name, "INSTR3          ");
  EXPECT_EQ(ReadBytes(NativeFile(b_.Path("NEW"), "F1.DAT")), Contents("A", 3, "DAT"));
  EXPECT_TRUE(ui.notices.empty());
}

TEST_F(TransferTest, ADestinationThatCannotBeCreatedIsReported) {
  WriteBytes(b_.Path("file"), Bytes{1});
  ScriptedInteraction ui{true};
  EXPECT_EQ(Transfer(TransferKind::Move, b_.Dir() + "file\\NEW\\", ui), kDialogStaysOpen);
  EXPECT_EQ(ui.notices,
            Texts{"Unable to create directory, either the path specified was invalid or you may not "
                  "have the appropriate rights to do this!"});
  EXPECT_EQ(ReadMaster(a_.Path("")).Numbers(), (std::vector<int>{1, 2, 3}));
}

TEST_F(TransferTest, AFullDestinationIsRefusedWithoutAQuestion) {
  WriteBytes(NativeFile(b_.Path(""), "master"), WithRecords({1}, 255, 255).Build());
  ScriptedInteraction ui{true};
  EXPECT_EQ(Transfer(TransferKind::Copy, b_.Dir(), ui), kDialogStaysOpen);
  EXPECT_EQ(ui.notices, Texts{"Unable to insert file, the directory is already full!"});
  EXPECT_TRUE(ui.questions.empty());
}

TEST_F(TransferTest, TooLittleRoomAnsweredNoCopiesNothing) {
  WriteBytes(NativeFile(b_.Path(""), "master"), WithRecords(Range(1, 253), 253, 253).Build());
  const Bytes before = ReadBytes(NativeFile(b_.Path(""), "master"));
  ScriptedInteraction ui{false};
  EXPECT_EQ(Transfer(TransferKind::Copy, b_.Dir(), ui), kDialogStaysOpen);
  EXPECT_EQ(ui.questions, Texts{kCopyRoomQuestion});
  EXPECT_EQ(ReadBytes(NativeFile(b_.Path(""), "master")), before);
}

TEST_F(TransferTest, TooLittleRoomAnsweredYesFillsTheDirectoryAndSaysSoOnce) {
  WriteBytes(NativeFile(b_.Path(""), "master"), WithRecords(Range(1, 253), 253, 253).Build());
  ScriptedInteraction ui{true};
  EXPECT_EQ(Transfer(TransferKind::Copy, b_.Dir(), ui), kDialogEnds);
  EXPECT_EQ(ui.questions, Texts{kCopyRoomQuestion});
  EXPECT_EQ(ui.notices, Texts{"Unable to insert file, the directory is already full!"});
  EXPECT_EQ(tally_.done, 2);
  EXPECT_EQ(tally_.failed, 1);
  const MasterRead master = ReadMaster(b_.Path(""));
  EXPECT_EQ(master.count, 255);
  EXPECT_EQ(master.entries[253].name, "INSTR3          ");
  EXPECT_EQ(master.entries[254].name, "INSTR2          ");
}

TEST_F(TransferTest, MoveAsksItsOwnRoomQuestion) {
  WriteBytes(NativeFile(b_.Path(""), "master"), WithRecords(Range(1, 253), 253, 253).Build());
  ScriptedInteraction ui{false};
  EXPECT_EQ(Transfer(TransferKind::Move, b_.Dir(), ui), kDialogStaysOpen);
  EXPECT_EQ(ui.questions, Texts{kMoveRoomQuestion});
}

TEST_F(TransferTest, AFailureWithRoomLeftAsksWhetherToGoOn) {
  // F2 cannot be read while another program holds it; it comes second.
  platform::OpenRequest exclusive;
  exclusive.shareRead = false;
  platform::FileRef held = platform::Open(a_.Dir() + "F2.DAT", exclusive);
  ASSERT_NE(held, nullptr);
  for (bool goOn : {false, true}) {
    TempDir destination;
    ScriptedInteraction ui{goOn};
    EXPECT_EQ(TransferApply(TransferKind::Copy, a_.Dir().c_str(), instruments_, destination.Dir().c_str(), ui,
                            &tally_, &used_),
              kDialogEnds);
    EXPECT_EQ(ui.questions, Texts{kCopyFailureQuestion});
    EXPECT_EQ(tally_.failed, 1);
    EXPECT_EQ(tally_.done, goOn ? 2 : 1);
    EXPECT_EQ(ReadMaster(destination.Path("")).entries.size(), goOn ? 2u : 1u);
  }
  platform::Close(held);
}

TEST_F(TransferTest, CopyIntoTheSourceDirectoryMakesNewNumbers) {
  ScriptedInteraction ui;
  EXPECT_EQ(Transfer(TransferKind::Copy, a_.Dir(), ui), kDialogEnds);
  EXPECT_EQ(ReadMaster(a_.Path("")).Numbers(), (std::vector<int>{1, 2, 3, 4, 5, 6}));
  EXPECT_EQ(ReadBytes(NativeFile(a_.Path(""), "F4.DAT")), Contents("A", 3, "DAT"));
}

TEST_F(TransferTest, MoveLeavesNothingOfTheInstrumentsInTheSource) {
  ScriptedInteraction ui;
  EXPECT_EQ(Transfer(TransferKind::Move, b_.Dir(), ui), kDialogEnds);
  EXPECT_EQ(tally_.done, 3);
  EXPECT_TRUE(ReadMaster(a_.Path("")).entries.empty());
  EXPECT_EQ(FilesIn(a_.Path("")), std::set<std::string>{"MASTER"});
  EXPECT_EQ(ReadBytes(NativeFile(b_.Path(""), "F3.CHT")), Contents("A", 1, "CHT"));
}

// Delete

TEST_F(DialogsTest, DeleteRemovesTheInstrumentsAndTheirFiles) {
  Fill(a_.Path(""), "A", {1, 2, 3}, 3, /*withCht=*/false);
  ScriptedInteraction ui;
  std::vector<MasterRecord> instruments;
  const int16_t wanted[] = {1, 3};
  ASSERT_EQ(SelectInstruments(a_.Dir().c_str(), wanted, 2, ui, &instruments), 1);
  InstrumentTally tally;
  EXPECT_EQ(DeleteApply(a_.Dir().c_str(), instruments, ui, &tally), kDialogEnds);
  EXPECT_EQ(tally.done, 2);
  EXPECT_EQ(ReadMaster(a_.Path("")).Numbers(), std::vector<int>{2});
  EXPECT_EQ(FilesIn(a_.Path("")), (std::set<std::string>{"MASTER", "F2.DAT", "F2.DOP"}));
  EXPECT_TRUE(ui.questions.empty());
}

TEST_F(DialogsTest, DeleteFailureAsksWhetherToGoOn) {
  for (bool goOn : {false, true}) {
    TempDir dir;
    Fill(dir.Path(""), "A", {1, 2, 3}, 3);
    ScriptedInteraction selecting;
    std::vector<MasterRecord> instruments;
    const int16_t all[] = {1, 2, 3};
    ASSERT_EQ(SelectInstruments(dir.Dir().c_str(), all, 3, selecting, &instruments), 1);
    // F2 is held open by another program; the list runs F3, F2, F1.
    platform::FileRef held = platform::Open(dir.Dir() + "F2.DAT", {});
    ASSERT_NE(held, nullptr);
    ScriptedInteraction ui{goOn};
    InstrumentTally tally;
    EXPECT_EQ(DeleteApply(dir.Dir().c_str(), instruments, ui, &tally), kDialogEnds);
    platform::Close(held);
    EXPECT_EQ(ui.questions, Texts{kDeleteFailureQuestion});
    EXPECT_EQ(ReadMaster(dir.Path("")).Numbers(), goOn ? std::vector<int>{2} : (std::vector<int>{1, 2}));
    EXPECT_EQ(tally.done, goOn ? 2 : 1);
  }
}

}  // namespace
