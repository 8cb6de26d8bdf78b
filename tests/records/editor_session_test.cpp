#include "store/editor_session.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "filelayer/file_layer.h"
#include "fixtures.h"
#include "integrity/messages.h"
#include "primitives/path_list.h"
#include "records_support.h"

namespace {

using namespace records_test;
using fixtures::MbfWord;
using fixtures::ScriptedInteraction;
using fixtures::StoredDate;
using fixtures::StoredTime;

// An instrument open in an editor session; closed (without write-back) at the
// end unless the test closed it.
struct OpenEditor {
  explicit OpenEditor(const std::vector<int>& ids) : instrument(ids) {
    EXPECT_EQ(OpenEditorSession(&session, instrument.dir.Dir().c_str(), 1, ui), 1);
  }
  void Select(std::initializer_list<int32_t> records) {
    for (int32_t r : records) AddNewItem(session.selection.get(), &r, sizeof r, EditRecordNumberCompare);
  }
  Instrument instrument;
  ScriptedInteraction ui;
  EditorSession session;
};

uint32_t StoredWord(const Instrument& instrument, int dataRecord, int column) {
  const Bytes bytes = ReadBytes(instrument.DatPath());
  const size_t offset = static_cast<size_t>((dataRecord + 1) * kL + 4 * column);
  return static_cast<uint32_t>(bytes[offset]) | static_cast<uint32_t>(bytes[offset + 1]) << 8 |
         static_cast<uint32_t>(bytes[offset + 2]) << 16 | static_cast<uint32_t>(bytes[offset + 3]) << 24;
}

// ---- Opening and closing --------------------------------------------------

TEST(OpenEditorSessionTest, OpensTheDataFileWithItsLayout) {
  OpenEditor editor(Ids(1, 3));
  EXPECT_EQ(editor.session.layout.recordCount, 4);
  EXPECT_EQ(DataRecordCount(editor.session), 3);
  EXPECT_EQ(editor.session.layout.fieldTypes[0], FieldType::Date);
  EXPECT_EQ(ColumnCount(editor.session), kFields);
  EXPECT_EQ(IsFileOpen(editor.instrument.DatName().c_str()), 1);
  EXPECT_TRUE(editor.ui.notices.empty());
}

TEST(OpenEditorSessionTest, RefusalsShowTheEditorsMessagesAndLeaveNothingOpen) {
  struct Case {
    std::string what;
    std::function<void(Instrument&)> damage;
    std::string message;
  };
  const std::vector<Case> cases = {
      {"no data file", [](Instrument& i) { std::filesystem::remove(i.DatPath()); }, GetError(2)},
      {"no master entry",
       [](Instrument& i) {
         fixtures::WriteMaster(i.dir, fixtures::MasterBuilder().Add(Instrument::Entry(2)));
       },
       GetError(2)},
      {"unknown layout",
       [](Instrument& i) {
         fixtures::WriteMaster(
             i.dir, fixtures::MasterBuilder().Add({.fileNumber = 1, .fieldCount = 5, .period = 'I'}));
       },
       GetError(9)},
      {"inconsistent size, not ignored",
       [](Instrument& i) {
         fixtures::WriteDat(i.dir, 1, IdRecords({1, 2}).Append({1, 2, 3}));
       },
       GetError(9)},
  };
  for (const Case& c : cases) {
    Instrument instrument(Ids(1, 2));
    c.damage(instrument);
    ScriptedInteraction ui;
    EditorSession session;
    EXPECT_EQ(OpenEditorSession(&session, instrument.dir.Dir().c_str(), 1, ui), 0) << c.what;
    EXPECT_EQ(ui.notices, std::vector<std::string>{c.message}) << c.what;
    EXPECT_EQ(IsFileOpen(instrument.DatName().c_str()), 0) << c.what;
  }
}

TEST(CloseEditorSessionTest, WritesTheCountAndTheMasterDatesEvenWhenNothingWasEdited) {
  Instrument instrument(Ids(1, 3));
  // Stale values everywhere.
  fixtures::WriteDat(instrument.dir, 1, IdRecords(Ids(1, 3)).HeaderCount(77));
  fixtures::MasterEntry stale = Instrument::Entry(1);
  stale.firstDateWord = MbfWord(991231);
  stale.lastDateWord = MbfWord(991231);
  fixtures::WriteMaster(instrument.dir, fixtures::MasterBuilder().Add(stale));
  ScriptedInteraction ui;
  EditorSession session;
  ASSERT_EQ(OpenEditorSession(&session, instrument.dir.Dir().c_str(), 1, ui), 1);
  EXPECT_EQ(CloseEditorSession(&session), 1);
  EXPECT_EQ(IsFileOpen(instrument.DatName().c_str()), 0);
  EXPECT_EQ(instrument.Contents().headerCount, 4);
  const std::vector<Listed> master = ReadMaster(instrument.dir.Path("master"));
  EXPECT_EQ(master[0].firstDateWord, MbfWord(IdDate(1)));
  EXPECT_EQ(master[0].lastDateWord, MbfWord(IdDate(3)));
}

// ---- Cell texts ---------------------------------------------------------

TEST(ClassifyTypedCharTest, TheCellsTypingRules) {
  struct Case {
    FieldType type;
    std::string text;
    char ch;
    TypedChar expected;
  };
  const std::vector<Case> cases = {
      {FieldType::Date, "1/2", '/', TypedChar::Accepted},
      {FieldType::Date, "1/2/3", '/', TypedChar::Accepted},  // a third slash is still taken
      {FieldType::Date, "1/2/3/", '/', TypedChar::Refused},  // a fourth is not
      {FieldType::Date, "1", ':', TypedChar::Refused},
      {FieldType::Date, "1", '.', TypedChar::Refused},
      {FieldType::Time, "1:2:3", ':', TypedChar::Accepted},
      {FieldType::Time, "1:2:3:", ':', TypedChar::Refused},
      {FieldType::Time, "1", '/', TypedChar::Refused},
      {FieldType::Time, "1", '.', TypedChar::Refused},
      {FieldType::Close, "1.2", '.', TypedChar::Accepted},
      {FieldType::Close, "1.2.", '.', TypedChar::Refused},
      {FieldType::Volume, "12", '/', TypedChar::Accepted},
      {FieldType::Volume, "12", '-', TypedChar::Refused},  // no negative values
      {FieldType::Volume, "12", 'e', TypedChar::Refused},
      {FieldType::Volume, "12345678", '9', TypedChar::Ignored},  // a ninth character
      {FieldType::Date, "12/12/12", '/', TypedChar::Ignored},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ClassifyTypedChar(c.type, c.text, c.ch), c.expected)
        << EnumerateFieldType(c.type) << " \"" << c.text << "\" + " << c.ch;
  }
}

struct CommitCase {
  int column;
  std::string text;
  CellCommit result;
  float stored;  // the value in the file afterwards
};

TEST(CommitCellTextTest, StoresWhatTheEditorAcceptsAndNothingElse) {
  const std::vector<CommitCase> cases = {
      {0, "04/01/10", CellCommit::Stored, 1100104.0f},
      {0, "4/1/10", CellCommit::Stored, 1100104.0f},
      {0, "31/12/99", CellCommit::Stored, 991231.0f},  // typed 99 is 1999
      {0, "29/2/96", CellCommit::Stored, 960229.0f},
      {0, "31/02/10", CellCommit::InvalidDate, IdDate(2)},
      {0, "1/2/3/4", CellCommit::InvalidDate, IdDate(2)},  // typable, yet no date
      {0, "", CellCommit::InvalidDate, IdDate(2)},
      {0, "1/2/3/4/5", CellCommit::NotTypable, IdDate(2)},
      {1, "12.5", CellCommit::Stored, 12.5f},
      {1, "1.2.3", CellCommit::Stored, 1.2f},
      {4, "", CellCommit::Stored, 0.0f},
      {4, "-5", CellCommit::NotTypable, 200.0f},
      {4, "123456789", CellCommit::NotTypable, 200.0f},
  };
  for (const CommitCase& c : cases) {
    OpenEditor editor(Ids(1, 3));
    EXPECT_EQ(CommitCellText(&editor.session, 1, c.column, c.text.c_str()), c.result) << c.text;
    editor.session.file.Close();
    EXPECT_EQ(StoredWord(editor.instrument, 1, c.column), MbfWord(c.stored)) << c.text;
    // The neighbours are untouched.
    EXPECT_EQ(StoredWord(editor.instrument, 0, c.column), StoredWord(Instrument(Ids(1, 3)), 0, c.column));
  }
}

TEST(CommitCellTextTest, TimeCellsTakeValidTimesOnly) {
  TempDir dir;
  fixtures::WriteMaster(dir,
                        fixtures::MasterBuilder().Add({.fileNumber = 1, .fieldCount = 4, .period = 'I'}));
  fixtures::WriteDat(dir, 1, fixtures::DatBuilder::ForFields(4).Values({1100104, 93000, 10, 100}));
  ScriptedInteraction ui;
  EditorSession session;
  ASSERT_EQ(OpenEditorSession(&session, dir.Dir().c_str(), 1, ui), 1);
  EXPECT_EQ(CommitCellText(&session, 0, 1, "25:00:00"), CellCommit::InvalidTime);
  EXPECT_EQ(CommitCellText(&session, 0, 1, "1:2:3:4:5"), CellCommit::NotTypable);
  EXPECT_EQ(CommitCellText(&session, 0, 1, "16:45:30"), CellCommit::Stored);
  EXPECT_EQ(ReadField(session.file.Get(), 1, 1, 16), 164530.0f);
}

TEST(CommitCellTextTest, CellsOutsideTheGridAreRefused) {
  OpenEditor editor(Ids(1, 3));
  const Bytes before = ReadBytes(editor.instrument.DatPath());
  EXPECT_EQ(CommitCellText(&editor.session, 0, kFields, "1"), CellCommit::NoSuchCell);
  EXPECT_EQ(CommitCellText(&editor.session, 0, -1, "1"), CellCommit::NoSuchCell);
  EXPECT_EQ(CommitCellText(&editor.session, 4, 1, "1"), CellCommit::NoSuchCell);  // beyond the new-record row
  EXPECT_EQ(CommitCellText(&editor.session, -1, 1, "1"), CellCommit::NoSuchCell);
  EXPECT_EQ(ReadBytes(editor.instrument.DatPath()), before);
}

// ---- The new-record row -----------------------------------------------------

TEST(AppendPendingRecordTest, ACompleteRowIsAppendedAndWrittenBackOnClose) {
  OpenEditor editor(Ids(1, 2));
  const int32_t newRow = DataRecordCount(editor.session);
  const std::vector<std::string> texts = {"05/03/10", "7", "6", "6.5", "1000"};
  for (size_t c = 0; c + 1 < texts.size(); ++c) {
    ASSERT_EQ(CommitCellText(&editor.session, newRow, static_cast<int>(c), texts[c].c_str()),
              CellCommit::Pending);
    EXPECT_EQ(AppendPendingRecord(&editor.session), 0) << "incomplete after column " << c;
  }
  ASSERT_EQ(CommitCellText(&editor.session, newRow, 4, "1000"), CellCommit::Pending);
  ASSERT_EQ(AppendPendingRecord(&editor.session), 1);
  EXPECT_EQ(DataRecordCount(editor.session), 3);
  EXPECT_EQ(editor.session.pending[0].set, 0) << "the row is cleared";
  EXPECT_EQ(CloseEditorSession(&editor.session), 1);
  const Bytes bytes = ReadBytes(editor.instrument.DatPath());
  EXPECT_EQ(bytes.size(), static_cast<size_t>(4 * kL));
  EXPECT_EQ(StoredWord(editor.instrument, 2, 0), MbfWord(StoredDate(2010, 3, 5)));
  EXPECT_EQ(StoredWord(editor.instrument, 2, 3), MbfWord(6.5f));
  EXPECT_EQ(editor.instrument.Contents().headerCount, 4);
  const std::vector<Listed> master = ReadMaster(editor.instrument.dir.Path("master"));
  EXPECT_EQ(master[0].lastDateWord, MbfWord(StoredDate(2010, 3, 5)));
}

TEST(AppendPendingRecordTest, APartlyTypedRowIsLostOnClose) {
  OpenEditor editor(Ids(1, 2));
  const Bytes before = ReadBytes(editor.instrument.DatPath());
  ASSERT_EQ(CommitCellText(&editor.session, 2, 0, "05/03/10"), CellCommit::Pending);
  ASSERT_EQ(CommitCellText(&editor.session, 2, 1, "7"), CellCommit::Pending);
  EXPECT_EQ(CloseEditorSession(&editor.session), 1);
  EXPECT_EQ(ReadBytes(editor.instrument.DatPath()), before);
}

TEST(AppendPendingRecordTest, AFailedWriteKeepsTheRowAndTheFile) {
  FaultScope faults;
  OpenEditor editor(Ids(1, 2));
  for (int c = 0; c < kFields; ++c) CommitCellText(&editor.session, 2, c, "1");
  platform::FailNthCall(platform::Call::Write, 1);
  EXPECT_EQ(AppendPendingRecord(&editor.session), 0);
  EXPECT_EQ(DataRecordCount(editor.session), 2);
  EXPECT_EQ(editor.session.pending[4].set, 1);
  EXPECT_EQ(FileLength(editor.session.file.Get()), 3 * kL);
}

// ---- Record commands ------------------------------------------------------

TEST(EditorRecordCommandsTest, InsertRaisesTheCountAndEmptiesTheSelection) {
  OpenEditor editor(Ids(1, 3));
  editor.Select({2});
  ASSERT_EQ(EditorInsertRecord(&editor.session, 1, editor.ui), 1);
  EXPECT_EQ(DataRecordCount(editor.session), 4);
  EXPECT_TRUE(ListEmpty(editor.session.selection.get()));
  CloseEditorSession(&editor.session);
  EXPECT_EQ(editor.instrument.Contents().ids, (std::vector<int>{1, 2, 2, 3}));
  EXPECT_EQ(editor.instrument.Contents().headerCount, 5);
}

TEST(EditorRecordCommandsTest, InsertIntoAnEmptyFileIsRefusedWithItsMessage) {
  OpenEditor editor({});
  EXPECT_EQ(EditorInsertRecord(&editor.session, 0, editor.ui), 0);
  EXPECT_EQ(editor.ui.notices, std::vector<std::string>{"Unable to insert record"});
  EXPECT_EQ(DataRecordCount(editor.session), 0);
}

TEST(EditorRecordCommandsTest, DeleteAsksFirstAndRereadsTheCount) {
  struct Case {
    std::vector<int32_t> selected;
    bool yes;
    std::vector<int> remaining;
    std::vector<std::string> notices;
  };
  const std::vector<Case> cases = {
      {{}, true, {1, 2, 3, 4}, {GetError(8)}},
      {{1, 3}, false, {1, 2, 3, 4}, {}},
      {{1, 3}, true, {1, 3}, {}},
      {{2, 3}, true, {1, 2}, {}},  // the last records: the new-record row follows the rest
  };
  for (const Case& c : cases) {
    Instrument instrument(Ids(1, 4));
    ScriptedInteraction ui({c.yes});
    EditorSession session;
    ASSERT_EQ(OpenEditorSession(&session, instrument.dir.Dir().c_str(), 1, ui), 1);
    for (int32_t r : c.selected) AddNewItem(session.selection.get(), &r, sizeof r, EditRecordNumberCompare);
    EXPECT_EQ(EditorDeleteSelection(&session, ui), c.yes && !c.selected.empty() ? 1 : 0);
    EXPECT_EQ(ui.notices, c.notices);
    if (!c.selected.empty()) {
      EXPECT_EQ(ui.questions, std::vector<std::string>{"Are you sure you want to delete the selection ?"});
    }
    EXPECT_EQ(DataRecordCount(session), static_cast<int32_t>(c.remaining.size()));
    CloseEditorSession(&session);
    EXPECT_EQ(instrument.Contents().ids, c.remaining);
    EXPECT_EQ(instrument.Contents().headerCount, c.remaining.size() + 1);
  }
}

TEST(EditorRecordCommandsTest, AFailedDeletionIsReported) {
  FaultScope faults;
  OpenEditor editor(Ids(1, 4));
  editor.Select({0});
  ScriptedInteraction ui({true});
  platform::FailNthCall(platform::Call::Rename, 1);
  EXPECT_EQ(EditorDeleteSelection(&editor.session, ui), 0);
  EXPECT_EQ(ui.notices, std::vector<std::string>{"Errors occured during deletion!"});
  EXPECT_EQ(DataRecordCount(editor.session), 4);
}

TEST(EditorRecordCommandsTest, TruncateAndSplitNeedExactlyOneSelectedRecord) {
  struct Case {
    std::vector<int32_t> selected;
    std::string message;
  };
  for (const Case& c : {Case{{}, GetError(8)}, Case{{0, 2}, GetError(10)}}) {
    OpenEditor editor(Ids(1, 4));
    const Bytes before = ReadBytes(editor.instrument.DatPath());
    for (int32_t r : c.selected)
      AddNewItem(editor.session.selection.get(), &r, sizeof r, EditRecordNumberCompare);
    EXPECT_EQ(EditorTruncate(&editor.session, 1, 0, editor.ui), 0);
    EXPECT_EQ(EditorSplit(&editor.session, editor.instrument.dir.Dir().c_str(), 1, 1, 0, editor.ui),
              SplitDialogResult::StayOpen);
    EXPECT_EQ(editor.ui.notices, (std::vector<std::string>{c.message, c.message}));
    EXPECT_EQ(ReadBytes(editor.instrument.DatPath()), before);
    EXPECT_EQ(ReadMaster(editor.instrument.dir.Path("master")).size(), 1u);
  }
}

TEST(EditorRecordCommandsTest, TruncateWithTheDialogsDefaultsKeepsTheSelectedRecord) {
  OpenEditor editor(Ids(1, 5));
  editor.Select({2});
  // "From Current Record" checked, "Include current" clear.
  EXPECT_EQ(EditorTruncate(&editor.session, 1, 0, editor.ui), 1);
  EXPECT_EQ(DataRecordCount(editor.session), 3);
  EXPECT_TRUE(ListEmpty(editor.session.selection.get()));
  CloseEditorSession(&editor.session);
  EXPECT_EQ(editor.instrument.Contents().ids, (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(ReadMaster(editor.instrument.dir.Path("master"))[0].lastDateWord, MbfWord(IdDate(3)));
}

TEST(EditorRecordCommandsTest, AFailedTruncationIsReported) {
  FaultScope faults;
  OpenEditor editor(Ids(1, 5));
  editor.Select({2});
  platform::FailNthCall(platform::Call::Truncate, 1);
  EXPECT_EQ(EditorTruncate(&editor.session, 1, 0, editor.ui), 0);
  EXPECT_EQ(editor.ui.notices,
            std::vector<std::string>{
                "Errors occured during truncation, file may be left in an inconsistent state!"});
  EXPECT_EQ(DataRecordCount(editor.session), 5);
}

// ---- The Split File dialog --------------------------------------------------

class SplitDialogTest : public ::testing::Test {
 protected:
  void SetUp() override { KillPathList(); }
  void TearDown() override { KillPathList(); }

  SplitDialogResult Ok(const std::string& destination, ScriptedInteraction& ui, int leaveIntact = 0) {
    FlushList(editor.session.selection.get());
    editor.Select({1});
    return EditorSplit(&editor.session, destination.c_str(), 1, 0, leaveIntact, ui);
  }
  OpenEditor editor{Ids(1, 4)};
};

TEST_F(SplitDialogTest, AnEmptyDestinationIsNotAPath) {
  ScriptedInteraction ui;
  EXPECT_EQ(Ok("", ui), SplitDialogResult::StayOpen);
  EXPECT_EQ(ui.notices, std::vector<std::string>{GetError(3)});
  EXPECT_EQ(DataRecordCount(editor.session), 4);
  EXPECT_EQ(CountListItems(editor.session.selection.get()), 1) << "nothing happened";
}

TEST_F(SplitDialogTest, ADestinationWithoutItsBackslashWorksTheSame) {
  std::string destination = editor.instrument.dir.MakeSubdir("dest");
  destination.pop_back();
  ScriptedInteraction ui;
  ASSERT_EQ(Ok(destination, ui), SplitDialogResult::Split);
  EXPECT_EQ(ReadContents(editor.instrument.dir.Path("dest/F1.DAT")).ids, (std::vector<int>{1, 2}));
  EXPECT_EQ(DataRecordCount(editor.session), 2) << "the count is read again";
  EXPECT_EQ(editor.session.masterRecord.FileNumber(), 1) << "the editor keeps its own number";
  EXPECT_TRUE(ListEmpty(editor.session.selection.get()));
  ASSERT_NE(PathList, nullptr);
  EXPECT_EQ(std::string(PathList->path), destination + "\\");
  CloseEditorSession(&editor.session);
  EXPECT_EQ(editor.instrument.Contents().ids, (std::vector<int>{3, 4}));
  EXPECT_EQ(ReadMaster(editor.instrument.dir.Path("master"))[0].firstDateWord, MbfWord(IdDate(3)));
}

TEST_F(SplitDialogTest, AMissingDirectoryIsCreatedOnlyOnYes) {
  const std::string destination = editor.instrument.dir.Dir() + "fresh\\";
  ScriptedInteraction no({false});
  EXPECT_EQ(Ok(destination, no), SplitDialogResult::StayOpen);
  EXPECT_EQ(no.questions, std::vector<std::string>{GetError(20)});
  EXPECT_FALSE(std::filesystem::exists(editor.instrument.dir.Path("fresh")));
  ScriptedInteraction yes({true});
  EXPECT_EQ(Ok(destination, yes), SplitDialogResult::Split);
  EXPECT_EQ(ReadMaster(editor.instrument.dir.Path("fresh/master")).size(), 1u);
}

TEST_F(SplitDialogTest, ADirectoryThatCannotBeCreatedKeepsTheDialogOpen) {
  FaultScope faults;
  platform::FailNthCall(platform::Call::CreateDirectory, 1);
  ScriptedInteraction yes({true});
  EXPECT_EQ(Ok(editor.instrument.dir.Dir() + "fresh", yes), SplitDialogResult::StayOpen);
  EXPECT_EQ(yes.notices, std::vector<std::string>{GetError(19)});
}

TEST_F(SplitDialogTest, AFullDestinationKeepsTheDialogOpen) {
  fixtures::MasterBuilder full;
  for (int n = 1; n <= 255; ++n) full.Add(Instrument::Entry(static_cast<uint8_t>(n)));
  const std::string destination = editor.instrument.dir.MakeSubdir("full");
  testing_support::WriteBytes(editor.instrument.dir.Path("full/master"), full.LastFileNumber(255).Build());
  ScriptedInteraction ui;
  EXPECT_EQ(Ok(destination, ui), SplitDialogResult::StayOpen);
  EXPECT_EQ(ui.notices, std::vector<std::string>{GetError(14)});
}

TEST_F(SplitDialogTest, LeaveIntactWithOneFreeSlotFailsWithoutAddingAnything) {
  fixtures::MasterBuilder almost;
  for (int n = 1; n <= 254; ++n) almost.Add(Instrument::Entry(static_cast<uint8_t>(n)));
  const std::string destination = editor.instrument.dir.MakeSubdir("almost");
  testing_support::WriteBytes(editor.instrument.dir.Path("almost/master"),
                              almost.LastFileNumber(254).Build());
  ScriptedInteraction ui;
  EXPECT_EQ(Ok(destination, ui, 1), SplitDialogResult::Failed);
  EXPECT_EQ(ui.notices, std::vector<std::string>{
                            "Errors occured during split, Files may be left in an inconsistent state!"});
  EXPECT_EQ(ReadMaster(editor.instrument.dir.Path("almost/master")).size(), 254u);
  EXPECT_EQ(DataRecordCount(editor.session), 4);
}

TEST_F(SplitDialogTest, TheSourceDirectoryItselfTakesTheNewInstrument) {
  ScriptedInteraction ui;
  ASSERT_EQ(Ok(editor.instrument.dir.Dir(), ui), SplitDialogResult::Split);
  CloseEditorSession(&editor.session);
  const std::vector<Listed> master = ReadMaster(editor.instrument.dir.Path("master"));
  ASSERT_EQ(master.size(), 2u);
  EXPECT_EQ(master[1].fileNumber, 2);
  EXPECT_EQ(ReadContents(editor.instrument.dir.Path("F2.DAT")).ids, (std::vector<int>{1, 2}));
  EXPECT_EQ(editor.instrument.Contents().ids, (std::vector<int>{3, 4}));
}

}  // namespace
