// The editor window under Wine: opening and refusing, painting, typing into
// cells, the new-record row, insertion, the gutter selection and deletion,
// scrolling, the caret, the go-to-record commands, the idle release of the
// data file and the write-back on close. Every change is checked in the
// file's bytes after the editor closed.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "editor/editor_window.h"
#include "editor_fixture.h"
#include "fixtures.h"
#include "harness/dialog_responder.h"
#include "harness/screenshot.h"
#include "harness/wait.h"
#include "integrity/messages.h"
#include "resource.h"
#include "shell/shell_globals.h"

namespace editor_gui {
namespace {

using fixtures::MbfWord;
using fixtures::StoredDate;
using fixtures::StoredTime;
using gui_harness::DialogResponder;

constexpr int kDailyLength = 28;     // 7 fields
constexpr int kIntradayLength = 32;  // 8 fields
constexpr int32_t kDailyRecords = 779;

bool IsInk(COLORREF colour) {
  return GetRValue(colour) < 128 && GetGValue(colour) < 128 && GetBValue(colour) < 128;
}

// Whether anything dark was painted in a rectangle of the editor's client
// area (as a person sees it on the screen).
bool HasInk(HWND editor, int left, int top, int right, int bottom) {
  HDC dc = GetDC(editor);
  bool ink = false;
  for (int y = top; y < bottom && !ink; ++y) {
    for (int x = left; x < right && !ink; ++x) ink = IsInk(GetPixel(dc, x, y));
  }
  ReleaseDC(editor, dc);
  return ink;
}

// Whether row `row` shows anything in visible column `column`, inside the
// grid lines.
bool CellHasInk(HWND editor, const EditorState& state, int row, int column) {
  const int top = state.titleHeight + row * state.rowHeight + 2;
  const int left = GutterWidth + column * ColumnWidth + TextIndent + 2;
  return HasInk(editor, left, top, left + ColumnWidth - 6, top + state.rowHeight - 4);
}

TEST_F(EditorWindowTest, OpensOverTheInstrumentWithItsTitleScrollRangesAndMenu) {
  const HWND editor = Open(Directory("Stocks"), kDailyFile);
  ASSERT_NE(editor, nullptr);
  EXPECT_EQ(gui_harness::WindowText(editor), Directory("Stocks") + "F3.DAT [CYGNUS SOFTWARE]");
  char className[32] = {};
  GetClassNameA(editor, className, sizeof className);
  EXPECT_STREQ(className, "MdiEditChild");
  EXPECT_EQ(GetWindowLongPtrA(editor, GWL_STYLE) & (WS_VSCROLL | WS_HSCROLL), WS_VSCROLL | WS_HSCROLL);
  EXPECT_EQ(GetMenu(MDIFrame), hMenuEdit);

  const EditorState& state = State(editor);
  EXPECT_EQ(state.session.layout.recordCount, kDailyRecords + 1);
  EXPECT_EQ(state.editText, "02/01/02") << "the first cell is loaded";
  int low = -1, high = -1;
  GetScrollRange(editor, SB_VERT, &low, &high);
  EXPECT_EQ(high, kDailyRecords - 1);
  GetScrollRange(editor, SB_HORZ, &low, &high);
  EXPECT_EQ(high, 6);

  const HWND second = Open(Directory("Intraday"), kIntradayFile);
  EXPECT_EQ(GetMenu(MDIFrame), hMenuEdit);
  Close(second);
  Close(editor);
  EXPECT_EQ(GetMenu(MDIFrame), hMenuInit) << "the initial menu is back with the last editor";
  EXPECT_EQ(hwndEdit, nullptr) << "no dangling handle to a closed editor";
}

TEST_F(EditorWindowTest, RefusesFilesItCannotEditAndSaysWhy) {
  {
    DialogResponder responder;
    responder.Expect(GetError(2), IDOK);
    EXPECT_EQ(CreateEditWindow(MDIFrame, MDIhwnd, hInst, Directory("Stocks").c_str(), 6), 0) << "no F6.DAT";
  }
  testing_support::WriteBytes(NativePath("Stocks/F9.DAT"), FileBytes("Stocks/F1.DAT"));
  {
    DialogResponder responder;
    responder.Expect(GetError(2), IDOK);
    EXPECT_EQ(CreateEditWindow(MDIFrame, MDIhwnd, hInst, Directory("Stocks").c_str(), 9), 0)
        << "no master entry";
  }
  testing_support::WriteBytes(NativePath("Stocks/F2.DAT"), {});
  {
    DialogResponder responder;
    responder.Expect("Invalid DAT file. Do you wish to re-create it ?", IDNO);
    responder.Expect(GetError(9), IDOK, "BOREALIS MINING");
    hwndEdit = nullptr;
    EXPECT_EQ(CreateEditWindow(MDIFrame, MDIhwnd, hInst, Directory("Stocks").c_str(), 2), 1);
    EXPECT_EQ(hwndEdit, nullptr);
  }
  EXPECT_EQ(GetWindow(MDIhwnd, GW_CHILD), nullptr) << "a refused editor leaves no window";
  EXPECT_EQ(IsFileOpen((Directory("Stocks") + "F2.DAT").c_str()), 0) << "and no open file";
}

TEST_F(EditorWindowTest, PaintsRowsGutterBoxesAndTheNewRecordRowBelowTheLastRecord) {
  const HWND editor = Open(Directory("Stocks"), kDailyFile);
  ASSERT_NE(editor, nullptr);
  EditorState& state = State(editor);
  EXPECT_GT(state.titleHeight, state.rowHeight) << "the title font is the larger";
  EXPECT_GT(state.characterWidth, 0);
  EXPECT_TRUE(CellHasInk(editor, state, 0, 1)) << "record 0's open price";
  EXPECT_TRUE(HasInk(editor, 5, state.titleHeight, 15, state.titleHeight + 1)) << "the gutter box's top edge";

  Key(editor, VK_END);  // the last record at the bottom
  const int rows = RowsAvailable(state);
  ASSERT_EQ(state.topRecord, kDailyRecords - rows);
  SendMessageA(editor, WM_VSCROLL, SB_LINEDOWN, 0);  // and the new-record row below it
  UpdateWindow(editor);
  const int newRow = kDailyRecords - state.topRecord;  // the new-record row's place
  ASSERT_EQ(newRow, rows - 1);
  EXPECT_TRUE(CellHasInk(editor, state, newRow - 1, 0)) << "the last record";
  for (int column = 0; column < 6; ++column) {
    EXPECT_FALSE(CellHasInk(editor, state, newRow, column)) << "the new-record row starts empty: " << column;
  }
  const int newRowTop = state.titleHeight + newRow * state.rowHeight;
  EXPECT_TRUE(HasInk(editor, 5, newRowTop - state.rowHeight, 15, newRowTop - state.rowHeight + 1));
  EXPECT_FALSE(HasInk(editor, 3, newRowTop + 1, 17, newRowTop + state.rowHeight - 1))
      << "no gutter box on the new-record row";

  Command(editor, IDM_GOTO_RECORD, kDailyRecords);
  Type(editor, "3/1/05\t20\t");
  UpdateWindow(editor);
  EXPECT_TRUE(CellHasInk(editor, state, 0, 0)) << "a pending date shows in its cell";
  EXPECT_TRUE(CellHasInk(editor, state, 0, 1));
  EXPECT_FALSE(CellHasInk(editor, state, 0, 3)) << "a cell not yet typed stays empty";
  Close(editor);
}

TEST_F(EditorWindowTest, TypedCellsAreStoredAndRefusedTextsKeepTheCursor) {
  const Bytes before = FileBytes("Stocks/F3.DAT");
  const HWND editor = Open(Directory("Stocks"), kDailyFile);
  ASSERT_NE(editor, nullptr);
  const EditorState& state = State(editor);

  GoTo(editor, 10, 0);
  Backspace(editor, 8);
  Type(editor, "5/3/12\t");
  EXPECT_EQ(state.currentColumn, 1) << "a valid date lets the cursor go on";

  GoTo(editor, 11, 0);
  const std::string loaded = state.editText;
  Backspace(editor, 8);
  Type(editor, "31/2/02\t");
  EXPECT_EQ(state.currentColumn, 0) << "31 February keeps the cursor in the cell";
  EXPECT_EQ(state.editText, "31/2/02");
  Key(editor, VK_DOWN);
  EXPECT_EQ(state.currentRecord, 11);
  Key(editor, VK_ESCAPE);
  EXPECT_EQ(state.editText, loaded) << "Escape reloads the stored date";

  const int beepsBefore = Beeps();
  Backspace(editor, 8);
  Type(editor, "1/1/1//");
  EXPECT_EQ(state.editText, "1/1/1/") << "a third slash is taken, a fourth refused";
  Type(editor, ":.");
  EXPECT_EQ(Beeps() - beepsBefore, 3) << "each refused character beeps";
  Key(editor, VK_ESCAPE);

  GoTo(editor, 12, 1);
  Backspace(editor, 8);
  Type(editor, "123456789");
  EXPECT_EQ(state.editText, "12345678") << "a ninth character is ignored";
  EXPECT_EQ(Beeps() - beepsBefore, 3) << "without a beep";
  Type(editor, "\t");

  GoTo(editor, 13, 4);
  Backspace(editor, 8);
  Type(editor, "42.5");
  Command(editor, IDM_GOTO_RECORD, 0);  // commits before it moves
  Close(editor);

  const Bytes after = FileBytes("Stocks/F3.DAT");
  EXPECT_EQ(Word(after, kDailyLength, 10, 0), MbfWord(StoredDate(2012, 3, 5)));
  EXPECT_EQ(Word(after, kDailyLength, 11, 0), Word(before, kDailyLength, 11, 0));
  EXPECT_EQ(Word(after, kDailyLength, 12, 1), MbfWord(12345678.0f));
  EXPECT_EQ(Word(after, kDailyLength, 13, 4), MbfWord(42.5f));
  EXPECT_EQ(after.size(), before.size());
}

TEST_F(EditorWindowTest, TimesAreCheckedAsTheyAreCommitted) {
  const HWND editor = Open(Directory("Intraday"), kIntradayFile);
  ASSERT_NE(editor, nullptr);
  const EditorState& state = State(editor);
  GoTo(editor, 2, 1);
  Backspace(editor, 8);
  Type(editor, "25:00:00\t");
  EXPECT_EQ(state.currentColumn, 1) << "hour 25 is refused";
  const int beepsBefore = Beeps();
  Backspace(editor, 8);
  Type(editor, "/");
  EXPECT_EQ(Beeps() - beepsBefore, 1);
  Backspace(editor, 8);
  Type(editor, "9:5:30\t");
  EXPECT_EQ(state.currentColumn, 2);
  Close(editor);
  EXPECT_EQ(Word(FileBytes("Intraday/F3.DAT"), kIntradayLength, 2, 1), MbfWord(StoredTime(9, 5, 30)));
}

TEST_F(EditorWindowTest, TheNewRecordRowAppendsACompleteRecordAndDropsAPartialOne) {
  const HWND editor = Open(Directory("Stocks"), kDailyFile);
  ASSERT_NE(editor, nullptr);
  const EditorState& state = State(editor);
  Command(editor, IDM_GOTO_RECORD, kDailyRecords);
  ASSERT_EQ(state.currentRecord, kDailyRecords);
  Type(editor, "3/1/05\t20\t21.5\t19.25\t20.75\t5000\t7\t");
  EXPECT_EQ(state.session.layout.recordCount, kDailyRecords + 2);
  EXPECT_EQ(state.currentRecord, kDailyRecords + 1) << "the cursor moves on to the new new-record row";
  EXPECT_EQ(state.currentColumn, 0);
  Type(editor, "4/1/05\t30\t");
  Close(editor);

  const Bytes after = FileBytes("Stocks/F3.DAT");
  ASSERT_EQ(after.size(), static_cast<size_t>((kDailyRecords + 2) * kDailyLength)) << "one record appended";
  EXPECT_EQ(HeaderCount(after), kDailyRecords + 2);
  const float expected[7] = {StoredDate(2005, 1, 3), 20, 21.5f, 19.25f, 20.75f, 5000, 7};
  for (int column = 0; column < 7; ++column) {
    EXPECT_EQ(Word(after, kDailyLength, kDailyRecords, column), MbfWord(expected[column])) << column;
  }
  EXPECT_EQ(MasterLastDateWord(Directory("Stocks"), kDailyFile), MbfWord(StoredDate(2005, 1, 3)));
}

TEST_F(EditorWindowTest, InsertCopiesTheCurrentRecordAndTheCursorFollowsItsData) {
  const Bytes before = FileBytes("Stocks/F3.DAT");
  const HWND editor = Open(Directory("Stocks"), kDailyFile);
  ASSERT_NE(editor, nullptr);
  const EditorState& state = State(editor);
  GoTo(editor, 2, 3);
  Command(editor, IDM_INSERT_RECORD);
  EXPECT_EQ(state.currentRecord, 3);
  EXPECT_EQ(state.session.layout.recordCount, kDailyRecords + 2);
  Command(editor, IDM_CREATE);  // the Insert key's accelerator
  EXPECT_EQ(state.currentRecord, 4);
  Close(editor);

  const Bytes after = FileBytes("Stocks/F3.DAT");
  ASSERT_EQ(after.size(), before.size() + 2 * kDailyLength);
  EXPECT_EQ(HeaderCount(after), kDailyRecords + 3);
  for (int column = 0; column < 7; ++column) {
    for (int32_t copy : {3, 4}) {
      EXPECT_EQ(Word(after, kDailyLength, copy, column), Word(before, kDailyLength, 2, column)) << copy;
    }
    EXPECT_EQ(Word(after, kDailyLength, 5, column), Word(before, kDailyLength, 3, column));
  }
}

TEST_F(EditorWindowTest, GutterClicksSelectRecordsThatDeleteRemoves) {
  const Bytes before = FileBytes("Stocks/F3.DAT");
  const HWND editor = Open(Directory("Stocks"), kDailyFile);
  ASSERT_NE(editor, nullptr);
  const EditorState& state = State(editor);
  {
    DialogResponder responder;
    responder.Expect("Please select AT LEAST one record and try again.", IDOK);
    Command(editor, IDM_DELETE_RECORD);
  }
  ClickGutter(editor, 1);
  EXPECT_EQ(state.currentColumn, kNoColumn) << "a gutter click leaves no current cell";
  ClickGutter(editor, 3);
  ClickGutter(editor, 5);
  ClickGutter(editor, 5);  // toggled off again
  UpdateWindow(editor);
  // Inside the gutter box: the mark of a selected record, or nothing.
  const auto boxHasInk = [&](int row) {
    const int top = state.titleHeight + row * state.rowHeight;
    return HasInk(editor, 3, top + 2, GutterWidth - 4, top + state.rowHeight - 2);
  };
  EXPECT_TRUE(boxHasInk(1)) << "a selected record is marked in the gutter";
  EXPECT_TRUE(boxHasInk(3));
  EXPECT_FALSE(boxHasInk(5)) << "a record selected twice is not";
  EXPECT_FALSE(boxHasInk(2));
  {
    DialogResponder responder;
    responder.Expect("Are you sure you want to delete the selection ?", IDNO);
    Command(editor, IDM_DELETE_RECORD);
  }
  EXPECT_EQ(state.session.layout.recordCount, kDailyRecords + 1) << "No deletes nothing";
  {
    DialogResponder responder;
    responder.Expect("Are you sure you want to delete the selection ?", IDYES);
    Command(editor, IDM_DELETE_RECORD);
  }
  EXPECT_EQ(state.session.layout.recordCount, kDailyRecords - 1);
  Close(editor);

  const Bytes after = FileBytes("Stocks/F3.DAT");
  ASSERT_EQ(after.size(), before.size() - 2 * kDailyLength);
  EXPECT_EQ(HeaderCount(after), kDailyRecords - 1);
  const int32_t kept[] = {0, 2, 4, 5};
  for (int32_t i = 0; i < 4; ++i) {
    EXPECT_EQ(Word(after, kDailyLength, i, 0), Word(before, kDailyLength, kept[i], 0)) << i;
  }
}

TEST_F(EditorWindowTest, KeysScrollTheViewAndTheCaretFollowsTheCursor) {
  const HWND editor = Open(Directory("Stocks"), kDailyFile);
  ASSERT_NE(editor, nullptr);
  const EditorState& state = State(editor);
  const int rows = RowsAvailable(state);
  Key(editor, VK_NEXT);
  EXPECT_EQ(state.topRecord, rows);
  EXPECT_EQ(GetScrollPos(editor, SB_VERT), rows);
  Key(editor, VK_PRIOR);
  EXPECT_EQ(state.topRecord, 0);
  Key(editor, VK_END);
  EXPECT_EQ(state.topRecord, kDailyRecords + 1 - rows - 1);
  Key(editor, VK_HOME);
  EXPECT_EQ(state.topRecord, 0);
  SendMessageA(editor, WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, 300), 0);
  EXPECT_EQ(state.topRecord, 300);
  SendMessageA(editor, WM_HSCROLL, SB_LINERIGHT, 0);
  EXPECT_EQ(state.firstColumn, 1);
  EXPECT_EQ(GetScrollPos(editor, SB_HORZ), 1);
  EXPECT_EQ(state.currentRecord, 0) << "scrolling does not move the cursor";

  SetFocus(editor);
  GoTo(editor, 302, 2);
  UpdateWindow(editor);  // the caret is placed as the view is painted
  POINT caret{};
  GetCaretPos(&caret);
  const CaretPlacement expected = PlaceCaretAt(state);
  ASSERT_TRUE(expected.visible);
  EXPECT_EQ(caret.x, expected.x);
  EXPECT_EQ(caret.y, expected.y);
  EXPECT_EQ(caret.y, state.titleHeight) << "command 528 puts the record at the top";
  Key(editor, VK_LEFT);
  GetCaretPos(&caret);
  EXPECT_EQ(caret.x, expected.x - state.characterWidth);
  Key(editor, VK_DOWN);
  GetCaretPos(&caret);
  EXPECT_EQ(caret.y, state.titleHeight + state.rowHeight);
  Close(editor);
}

TEST_F(EditorWindowTest, NoCaretBeforeTheFirstPaint) {
  ASSERT_EQ(CreateEditWindow(MDIFrame, MDIhwnd, hInst, Directory("Stocks").c_str(), kDailyFile), 1);
  const HWND editor = hwndEdit;
  ASSERT_NE(editor, nullptr);
  EditorState& state = State(editor);
  ASSERT_FALSE(IsMeasured(state)) << "not painted yet";
  SetFocus(editor);
  EXPECT_EQ(state.flags & kCaretCreated, 0);
  UpdateWindow(editor);
  EXPECT_NE(state.flags & kCaretCreated, 0) << "the first paint with the focus creates it";
  Close(editor);
}

TEST_F(EditorWindowTest, GoToRecordCommandsMoveToTheRecordAndField) {
  const HWND editor = Open(Directory("Stocks"), kDailyFile);
  ASSERT_NE(editor, nullptr);
  const EditorState& state = State(editor);
  GoTo(editor, 5, 4);
  Command(editor, IDM_GOTO_RECORD, 100);
  EXPECT_EQ(state.topRecord, 100);
  EXPECT_EQ(state.currentRecord, 100);
  EXPECT_EQ(state.currentColumn, 4) << "527 keeps the field";
  EXPECT_EQ(GetScrollPos(editor, SB_VERT), 100);
  SendMessageA(editor, WM_HSCROLL, SB_RIGHT, 0);
  Command(editor, IDM_GOTO_RECORD_COLUMN, 200, 2);
  EXPECT_EQ(state.currentRecord, 200);
  EXPECT_EQ(state.currentColumn, 2);
  EXPECT_EQ(state.firstColumn, 2) << "the field comes into view";
  EXPECT_EQ(GetScrollPos(editor, SB_HORZ), 2) << "and the horizontal scroll bar follows";
  Command(editor, IDM_GOTO_RECORD_COLUMN, -1, 5);
  EXPECT_EQ(state.currentRecord, 200) << "-1 changes nothing";
  EXPECT_EQ(state.currentColumn, 2);
  Backspace(editor, 12);
  Type(editor, "77");
  Command(editor, IDM_GOTO_RECORD, 0);
  Close(editor);
  EXPECT_EQ(Word(FileBytes("Stocks/F3.DAT"), kDailyLength, 200, 2), MbfWord(77.0f));
}

TEST_F(EditorWindowTest, ClosingWritesTheHeaderCountAndMasterDatesEvenWithoutEdits) {
  Bytes dat = FileBytes("Stocks/F3.DAT");
  testing_support::PutU16(dat, 2, 5);
  testing_support::WriteBytes(NativePath("Stocks/F3.DAT"), dat);
  MasterRecord record{};
  ASSERT_EQ(GetMetaStockMasterRecord(Directory("Stocks").c_str(), kDailyFile, &record), 1);
  record.SetFirstDateWord(0);
  record.SetLastDateWord(0);
  ASSERT_EQ(UpdateMetaStockMasterRecord(Directory("Stocks").c_str(), kDailyFile, record), 1);

  Close(Open(Directory("Stocks"), kDailyFile));
  const Bytes after = FileBytes("Stocks/F3.DAT");
  EXPECT_EQ(HeaderCount(after), kDailyRecords + 1);
  EXPECT_EQ(MasterFirstDateWord(Directory("Stocks"), kDailyFile), Word(after, kDailyLength, 0, 0));
  EXPECT_EQ(MasterLastDateWord(Directory("Stocks"), kDailyFile),
            Word(after, kDailyLength, kDailyRecords - 1, 0));
}

TEST_F(EditorWindowTest, AnIdleEditorLetsOthersWriteTheFileWithinASecond) {
  const std::string file = NativePath("Stocks/F3.DAT");
  const auto openForWriting = [&] {
    return CreateFileA(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  };
  const HWND editor = Open(Directory("Stocks"), kDailyFile);
  ASSERT_NE(editor, nullptr);
  GoTo(editor, 4, 1);
  const auto touched = std::chrono::steady_clock::now();
  HANDLE other = openForWriting();
  EXPECT_EQ(other, INVALID_HANDLE_VALUE) << "the editor holds the file while it works on it";
  if (other != INVALID_HANDLE_VALUE) CloseHandle(other);

  ASSERT_TRUE(gui_harness::PumpUntil(
      "another open of the data file for writing",
      [&] {
        other = openForWriting();
        return other != INVALID_HANDLE_VALUE;
      },
      std::chrono::milliseconds(3000)));
  const auto waited = std::chrono::steady_clock::now() - touched;
  EXPECT_GE(waited, std::chrono::milliseconds(400)) << "released only after an idle tick";
  EXPECT_LE(waited, std::chrono::milliseconds(1500));
  CloseHandle(other);

  Backspace(editor, 8);
  Type(editor, "55\t");  // the editor opens the file again by itself
  Close(editor);
  EXPECT_EQ(Word(FileBytes("Stocks/F3.DAT"), kDailyLength, 4, 1), MbfWord(55.0f));
}

TEST_F(EditorWindowTest, ScreenshotsOfADailyAndAnIntradayInstrument) {
  const HWND daily = Open(Directory("Stocks"), kDailyFile);
  ASSERT_NE(daily, nullptr);
  ClickGutter(daily, 2);
  ClickGutter(daily, 4);
  ClickCell(daily, 6, 4, 80);
  SetFocus(daily);
  UpdateWindow(daily);
  gui_harness::DrainMessages();
  EXPECT_FALSE(gui_harness::SaveScreenshot("editor_daily").empty());
  Close(daily);

  const HWND intraday = Open(Directory("Intraday"), kIntradayFile);
  ASSERT_NE(intraday, nullptr);
  const EditorState& state = State(intraday);
  const int32_t newRow = state.session.layout.recordCount - 1;
  Command(intraday, IDM_GOTO_RECORD_COLUMN, newRow, 0);
  // The last records above the new-record row.
  SendMessageA(intraday, WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, newRow - RowsAvailable(state) + 1), 0);
  Type(intraday, "21/2/05\t16:00:00\t1190.5\t");
  SetFocus(intraday);
  UpdateWindow(intraday);
  gui_harness::DrainMessages();
  EXPECT_FALSE(gui_harness::SaveScreenshot("editor_intraday").empty());
  Close(intraday);
}

}  // namespace
}  // namespace editor_gui
