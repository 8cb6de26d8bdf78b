// The editor's record commands through their dialogs under Wine: Truncate
// File both ways, Split File into another directory with and without
// leaving the original intact, and Goto by date and by date and time,
// including the not-found question. Files are checked byte by byte after
// the editor closed.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "editor_fixture.h"
#include "fixtures.h"
#include "harness/dialog_responder.h"
#include "integrity/messages.h"
#include "primitives/list.h"
#include "primitives/mbf.h"
#include "primitives/path_list.h"
#include "resource.h"
#include "shell/shell_globals.h"

namespace editor_gui {
namespace {

using fixtures::StoredDate;
using gui_harness::DialogResponder;
using gui_harness::PressButton;

constexpr int kDailyLength = 28;
constexpr int kIntradayLength = 32;
constexpr int32_t kDailyRecords = 779;

bool Checked(HWND dialog, int id) {
  return IsDlgButtonChecked(dialog, id) == BST_CHECKED;
}

std::string ItemText(HWND dialog, int id) {
  char text[256] = {};
  GetDlgItemTextA(dialog, id, text, sizeof text);
  return text;
}

// The records of a data file whose words equal those of records first ...
// last of another, in order.
void ExpectSameRecords(const Bytes& file, const Bytes& source, int length, int32_t first, int32_t last) {
  ASSERT_EQ(file.size(), static_cast<size_t>((last - first + 2) * length))
      << "records " << first << "-" << last;
  for (int32_t r = first; r <= last; ++r) {
    for (int column = 0; column < length / 4; ++column) {
      ASSERT_EQ(Word(file, length, r - first, column), Word(source, length, r, column))
          << "record " << r << " column " << column;
    }
  }
}

// The first record of a file whose date is on or after date.
int32_t FirstOnOrAfter(const Bytes& file, int length, float date) {
  const int32_t records = static_cast<int32_t>(file.size() / length) - 1;
  for (int32_t r = 0; r < records; ++r) {
    if (MBF_IEEE(Word(file, length, r, 0)) >= date) return r;
  }
  return -1;
}

class RecordCommandTest : public EditorWindowTest {
 protected:
  HWND OpenDaily() { return Open(Directory("Stocks"), kDailyFile); }
};

TEST_F(RecordCommandTest, TruncateAndSplitNeedExactlyOneSelectedRecord) {
  const HWND editor = OpenDaily();
  ASSERT_NE(editor, nullptr);
  for (int command : {IDM_TRUNCATE, IDM_SPLIT}) {
    DialogResponder responder;
    responder.Expect(GetError(8), IDOK);
    Command(editor, command);
  }
  ClickGutter(editor, 1);
  ClickGutter(editor, 2);
  for (int command : {IDM_TRUNCATE, IDM_SPLIT}) {
    DialogResponder responder;
    responder.Expect(GetError(10), IDOK);
    Command(editor, command);
  }
  EXPECT_EQ(State(editor).session.layout.recordCount, kDailyRecords + 1);
  Close(editor);
}

TEST_F(RecordCommandTest, TruncateFromTheSelectedRecordKeepsItByDefault) {
  const Bytes before = FileBytes("Stocks/F3.DAT");
  const HWND editor = OpenDaily();
  ASSERT_NE(editor, nullptr);
  ClickGutter(editor, 1);
  {
    DialogResponder responder;
    responder.ExpectDialog("Truncate File", [](HWND dialog) { PressButton(dialog, IDCANCEL); });
    Command(editor, IDM_TRUNCATE);
  }
  EXPECT_EQ(State(editor).session.layout.recordCount, kDailyRecords + 1) << "Cancel changes nothing";
  ClickGutter(editor, 1);
  ClickGutter(editor, 5);
  GoTo(editor, 3, 3);
  {
    DialogResponder responder;
    responder.ExpectDialog("Truncate File", [](HWND dialog) {
      EXPECT_TRUE(Checked(dialog, IDC_TRUNCATE_FROM_CURRENT));
      EXPECT_FALSE(Checked(dialog, IDC_TRUNCATE_TO_CURRENT));
      EXPECT_FALSE(Checked(dialog, IDC_TRUNCATE_INCLUDE_CURRENT));
      PressButton(dialog, IDOK);
    });
    Command(editor, IDM_TRUNCATE);
  }
  const EditorState& state = State(editor);
  EXPECT_EQ(state.session.layout.recordCount, 7);
  EXPECT_EQ(state.currentRecord, 0);
  EXPECT_EQ(state.currentColumn, 0);
  EXPECT_EQ(state.editText, "02/01/02");
  Close(editor);

  const Bytes after = FileBytes("Stocks/F3.DAT");
  EXPECT_EQ(HeaderCount(after), 7);
  ExpectSameRecords(after, before, kDailyLength, 0, 5);
  EXPECT_EQ(MasterLastDateWord(Directory("Stocks"), kDailyFile), Word(before, kDailyLength, 5, 0));
}

TEST_F(RecordCommandTest, TruncateToTheSelectedRecordCanTakeItToo) {
  const Bytes before = FileBytes("Stocks/F3.DAT");
  const HWND editor = OpenDaily();
  ASSERT_NE(editor, nullptr);
  ClickGutter(editor, 4);
  {
    DialogResponder responder;
    responder.ExpectDialog("Truncate File", [](HWND dialog) {
      CheckRadioButton(dialog, IDC_TRUNCATE_FROM_CURRENT, IDC_TRUNCATE_TO_CURRENT, IDC_TRUNCATE_TO_CURRENT);
      CheckDlgButton(dialog, IDC_TRUNCATE_INCLUDE_CURRENT, BST_CHECKED);
      PressButton(dialog, IDOK);
    });
    Command(editor, IDM_TRUNCATE);
  }
  EXPECT_EQ(State(editor).session.layout.recordCount, kDailyRecords + 1 - 5);
  Close(editor);

  const Bytes after = FileBytes("Stocks/F3.DAT");
  EXPECT_EQ(HeaderCount(after), kDailyRecords - 4);
  ASSERT_EQ(after.size(), before.size() - 5 * kDailyLength);
  EXPECT_EQ(Word(after, kDailyLength, 0, 0), Word(before, kDailyLength, 5, 0));
  EXPECT_EQ(Word(after, kDailyLength, kDailyRecords - 6, 6),
            Word(before, kDailyLength, kDailyRecords - 1, 6));
  EXPECT_EQ(MasterFirstDateWord(Directory("Stocks"), kDailyFile), Word(before, kDailyLength, 5, 0));
}

TEST_F(RecordCommandTest, SplitIntoANewDirectoryReplacesTheSourceWithTheLastPortion) {
  const Bytes before = FileBytes("Stocks/F3.DAT");
  const HWND editor = OpenDaily();
  ASSERT_NE(editor, nullptr);
  ClickGutter(editor, 5);
  const std::string destination = root_ + "Portions";  // no trailing backslash
  {
    DialogResponder responder;
    responder.ExpectDialog("Split File", [&](HWND dialog) {
      EXPECT_FALSE(Checked(dialog, IDC_SPLIT_FIRST_INCLUDE));
      EXPECT_FALSE(Checked(dialog, IDC_SPLIT_LAST_INCLUDE));
      EXPECT_FALSE(Checked(dialog, IDC_SPLIT_LEAVE_INTACT));
      SetDlgItemTextA(dialog, IDC_SPLIT_DESTINATION, destination.c_str());
      CheckDlgButton(dialog, IDC_SPLIT_LAST_INCLUDE, BST_CHECKED);
      PressButton(dialog, IDOK);
    });
    responder.Expect(GetError(20), IDYES);
    Command(editor, IDM_SPLIT);
  }
  const EditorState& state = State(editor);
  EXPECT_EQ(state.session.layout.recordCount, kDailyRecords + 1 - 5);
  EXPECT_EQ(state.session.masterRecord.FileNumber(), kDailyFile) << "the editor keeps its own file number";
  EXPECT_EQ(CountListItems(state.session.selection.get()), 0);
  Close(editor);

  ExpectSameRecords(FileBytes("Portions/F1.DAT"), before, kDailyLength, 0, 4);
  const Bytes source = FileBytes("Stocks/F3.DAT");
  EXPECT_EQ(HeaderCount(source), kDailyRecords - 4);
  ExpectSameRecords(source, before, kDailyLength, 5, kDailyRecords - 1);
  MasterRecord portion{};
  ASSERT_EQ(GetMetaStockMasterRecord(Directory("Portions").c_str(), 1, &portion), 1);
  EXPECT_EQ(portion.Name(), "CYGNUS SOFTWARE");
  EXPECT_EQ(portion.LastDateWord(), Word(before, kDailyLength, 4, 0));
}

TEST_F(RecordCommandTest, SplitLeavingTheOriginalIntactMakesTwoNewInstruments) {
  const Bytes before = FileBytes("Stocks/F3.DAT");
  const std::string destination = root_ + "Portions\\";
  ASSERT_TRUE(CreateDirectoryA(destination.c_str(), nullptr));
  const HWND editor = OpenDaily();
  ASSERT_NE(editor, nullptr);
  ClickGutter(editor, 3);
  {
    DialogResponder responder;
    HWND splitDialog = nullptr;
    responder.ExpectDialog("Split File", [&](HWND dialog) {
      splitDialog = dialog;
      SetDlgItemTextA(dialog, IDC_SPLIT_DESTINATION, "");
      PressButton(dialog, IDOK);
    });
    responder.ExpectDialog("Quorvex", [&](HWND box) {
      EXPECT_EQ(gui_harness::MessageBoxText(box), GetError(3));
      PressButton(box, IDOK);
      // An empty destination kept the dialog open.
      PostMessageA(GetDlgItem(splitDialog, IDCANCEL), BM_CLICK, 0, 0);
    });
    Command(editor, IDM_SPLIT);
  }
  EXPECT_EQ(State(editor).session.layout.recordCount, kDailyRecords + 1);
  ASSERT_EQ(CountListItems(State(editor).session.selection.get()), 1)
      << "a cancelled split keeps the selection";
  {
    DialogResponder responder;
    responder.ExpectDialog("Split File", [&](HWND dialog) {
      SetDlgItemTextA(dialog, IDC_SPLIT_DESTINATION, destination.c_str());
      CheckDlgButton(dialog, IDC_SPLIT_FIRST_INCLUDE, BST_CHECKED);
      CheckDlgButton(dialog, IDC_SPLIT_LEAVE_INTACT, BST_CHECKED);
      PressButton(dialog, IDOK);
    });
    Command(editor, IDM_SPLIT);
  }
  EXPECT_EQ(State(editor).session.layout.recordCount, kDailyRecords + 1);
  EXPECT_EQ(State(editor).currentRecord, 0);
  Close(editor);

  EXPECT_EQ(FileBytes("Stocks/F3.DAT"), before) << "the original is left as it was";
  ExpectSameRecords(FileBytes("Portions/F1.DAT"), before, kDailyLength, 0, 3);
  ExpectSameRecords(FileBytes("Portions/F2.DAT"), before, kDailyLength, 4, kDailyRecords - 1);
}

TEST_F(RecordCommandTest, SplitOffersThePathHistoryWithTheSourceSelected) {
  const HWND editor = OpenDaily();
  ASSERT_NE(editor, nullptr);
  AddPath(Directory("Intraday").c_str());
  AddPath(Directory("Stocks").c_str());
  ClickGutter(editor, 3);
  DialogResponder responder;
  responder.ExpectDialog("Split File", [&](HWND dialog) {
    const HWND combo = GetDlgItem(dialog, IDC_SPLIT_DESTINATION);
    EXPECT_EQ(SendMessageA(combo, CB_GETCOUNT, 0, 0), 2);
    EXPECT_EQ(ItemText(dialog, IDC_SPLIT_DESTINATION), Directory("Stocks"));
    PressButton(dialog, IDCANCEL);
  });
  Command(editor, IDM_SPLIT);
  Close(editor);
}

// ---- Goto --------------------------------------------------------------------------

class GotoDialogTest : public EditorWindowTest {
 protected:
  static void SetDate(HWND dialog, const char* day, int month, const char* year) {
    SetDlgItemTextA(dialog, IDC_GOTO_DAY, day);
    SendDlgItemMessageA(dialog, IDC_GOTO_MONTH, CB_SETCURSEL, static_cast<WPARAM>(month - 1), 0);
    SetDlgItemTextA(dialog, IDC_GOTO_YEAR, year);
  }
  static void SetTime(HWND dialog, const char* hours, const char* minutes, const char* seconds) {
    SetDlgItemTextA(dialog, IDC_GOTO_HOURS, hours);
    SetDlgItemTextA(dialog, IDC_GOTO_MINUTES, minutes);
    SetDlgItemTextA(dialog, IDC_GOTO_SECONDS, seconds);
  }
};

TEST_F(GotoDialogTest, DailyGotoStartsAtTheCurrentDateAndMovesToTheDateFound) {
  const Bytes file = FileBytes("Stocks/F3.DAT");
  const HWND editor = Open(Directory("Stocks"), kDailyFile);
  ASSERT_NE(editor, nullptr);
  GoTo(editor, 3, 2);  // 07/01/02
  {
    DialogResponder responder;
    responder.ExpectDialog("Goto", [](HWND dialog) {
      EXPECT_EQ(ItemText(dialog, IDC_GOTO_DAY), "7");
      EXPECT_EQ(ItemText(dialog, IDC_GOTO_MONTH), "January");
      EXPECT_EQ(ItemText(dialog, IDC_GOTO_YEAR), "2");
      EXPECT_EQ(SendDlgItemMessageA(dialog, IDC_GOTO_MONTH, CB_GETCOUNT, 0, 0), 12);
      EXPECT_EQ(SendDlgItemMessageA(dialog, IDC_GOTO_DAY, EM_GETLIMITTEXT, 0, 0), 2);
      EXPECT_EQ(SendDlgItemMessageA(dialog, IDC_GOTO_YEAR, EM_GETLIMITTEXT, 0, 0), 2);
      SetDate(dialog, "1", 3, "03");
      PressButton(dialog, IDOK);
    });
    Command(editor, IDM_GOTO);
  }
  const int32_t expected = FirstOnOrAfter(file, kDailyLength, StoredDate(2003, 3, 1));
  ASSERT_GT(expected, 0);
  const EditorState& state = State(editor);
  EXPECT_EQ(state.currentRecord, expected);
  EXPECT_EQ(state.topRecord, expected);
  EXPECT_EQ(state.currentColumn, 2);
  EXPECT_EQ(GetScrollPos(editor, SB_VERT), expected);
  Close(editor);
}

TEST_F(GotoDialogTest, InvalidDatesStayInTheDialogAndNotFoundAsksAgain) {
  const Bytes file = FileBytes("Stocks/F3.DAT");
  const HWND editor = Open(Directory("Stocks"), kDailyFile);
  ASSERT_NE(editor, nullptr);
  const EditorState& state = State(editor);
  HWND gotoDialog = nullptr;
  {
    DialogResponder responder;
    responder.ExpectDialog("Goto", [&](HWND dialog) {
      gotoDialog = dialog;
      SetDate(dialog, "31", 2, "04");
      PressButton(dialog, IDOK);
    });
    responder.ExpectDialog("Quorvex", [&](HWND box) {
      EXPECT_EQ(gui_harness::MessageBoxText(box), "An invalid date was specified!");
      PressButton(box, IDOK);
      // The dialog is still open: a date after the last record.
      SetDate(gotoDialog, "1", 1, "49");
      PostMessageA(GetDlgItem(gotoDialog, IDOK), BM_CLICK, 0, 0);
    });
    responder.ExpectDialog("Quorvex", [&](HWND box) {
      EXPECT_EQ(gui_harness::MessageBoxText(box), "Not Found! Do you want to search for another date ?");
      PressButton(box, IDYES);
      SetDate(gotoDialog, "29", 2, "04");  // a leap day, found
      PostMessageA(GetDlgItem(gotoDialog, IDOK), BM_CLICK, 0, 0);
    });
    Command(editor, IDM_GOTO);
  }
  EXPECT_EQ(state.currentRecord, FirstOnOrAfter(file, kDailyLength, StoredDate(2004, 2, 29)));
  const int32_t found = state.currentRecord;
  {
    DialogResponder responder;
    responder.ExpectDialog("Goto", [](HWND dialog) {
      SetDate(dialog, "1", 1, "49");
      PressButton(dialog, IDOK);
    });
    responder.Expect("Not Found! Do you want to search for another date ?", IDNO);
    Command(editor, IDM_GOTO);
  }
  EXPECT_EQ(state.currentRecord, found) << "No leaves the editor where it was";
  Close(editor);
}

TEST_F(GotoDialogTest, OnTheNewRecordRowTheFieldsStartEmpty) {
  const HWND editor = Open(Directory("Stocks"), kDailyFile);
  ASSERT_NE(editor, nullptr);
  Command(editor, IDM_GOTO_RECORD, kDailyRecords);
  DialogResponder responder;
  responder.Expect("Can't find the current record!", IDOK);
  responder.ExpectDialog("Goto", [](HWND dialog) {
    EXPECT_EQ(ItemText(dialog, IDC_GOTO_DAY), "");
    EXPECT_EQ(SendDlgItemMessageA(dialog, IDC_GOTO_MONTH, CB_GETCURSEL, 0, 0), CB_ERR);
    PressButton(dialog, IDCANCEL);
  });
  Command(editor, IDM_GOTO);
  EXPECT_EQ(State(editor).currentRecord, kDailyRecords);
  Close(editor);
}

TEST_F(GotoDialogTest, IntradayGotoSearchesByDateAndTimeOrByDateAlone) {
  const Bytes file = FileBytes("Intraday/F3.DAT");
  const HWND editor = Open(Directory("Intraday"), kIntradayFile);
  ASSERT_NE(editor, nullptr);
  const EditorState& state = State(editor);
  {
    DialogResponder responder;
    responder.ExpectDialog("Goto", [](HWND dialog) {
      EXPECT_EQ(ItemText(dialog, IDC_GOTO_DAY), "14");
      EXPECT_EQ(ItemText(dialog, IDC_GOTO_MONTH), "February");
      EXPECT_EQ(ItemText(dialog, IDC_GOTO_YEAR), "5");
      EXPECT_EQ(ItemText(dialog, IDC_GOTO_HOURS), "9");
      EXPECT_EQ(ItemText(dialog, IDC_GOTO_MINUTES), "45");
      EXPECT_EQ(ItemText(dialog, IDC_GOTO_SECONDS), "0");
      EXPECT_FALSE(Checked(dialog, IDC_GOTO_EXCLUDE_TIME));
      SetTime(dialog, "10", "20", "");
      PressButton(dialog, IDOK);
    });
    Command(editor, IDM_GOTO);
  }
  EXPECT_EQ(state.currentRecord, 3) << "the first bar at or after 10:20 (10:30)";
  HWND gotoDialog = nullptr;
  {
    DialogResponder responder;
    responder.ExpectDialog("Goto", [&](HWND dialog) {
      gotoDialog = dialog;
      EXPECT_EQ(ItemText(dialog, IDC_GOTO_MINUTES), "30");
      SetTime(dialog, "24", "0", "0");
      PressButton(dialog, IDOK);
    });
    responder.ExpectDialog("Quorvex", [&](HWND box) {
      EXPECT_EQ(gui_harness::MessageBoxText(box), "An invalid time was specified!");
      PressButton(box, IDOK);
      SetDate(gotoDialog, "15", 2, "05");
      CheckDlgButton(gotoDialog, IDC_GOTO_EXCLUDE_TIME, BST_CHECKED);  // the hour is no longer read
      PostMessageA(GetDlgItem(gotoDialog, IDOK), BM_CLICK, 0, 0);
    });
    Command(editor, IDM_GOTO);
  }
  const int32_t nextDay = FirstOnOrAfter(file, kIntradayLength, StoredDate(2005, 2, 15));
  ASSERT_GT(nextDay, 3);
  EXPECT_EQ(state.currentRecord, nextDay);
  {
    DialogResponder responder;
    responder.ExpectDialog("Goto", [](HWND dialog) {
      SetDate(dialog, "1", 1, "49");
      SetTime(dialog, "9", "0", "0");
      PressButton(dialog, IDOK);
    });
    Command(editor, IDM_GOTO);
  }
  const int32_t records = static_cast<int32_t>(file.size() / kIntradayLength) - 1;
  EXPECT_EQ(state.currentRecord, records - 1) << "a moment after the last record goes to the last record";
  Close(editor);
}

}  // namespace
}  // namespace editor_gui
