// Editing an instrument from the browser, end to end: the browser opens the
// editor (Edit or a double-click), the keys and clicks of a person change a
// cell and append a record, the editor is closed, and the data file's bytes,
// its header and master are read from the disk afterwards.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "browser/browser_fixture.h"
#include "editor/editor_fixture.h"
#include "editor/editor_model.h"
#include "filelayer/file_layer.h"
#include "fixtures.h"
#include "harness/wait.h"
#include "integrity/messages.h"
#include "resource.h"
#include "shell/shell_globals.h"
#include "store/master_file.h"

namespace {

using editor_gui::Backspace;
using editor_gui::ClickCell;
using editor_gui::HeaderCount;
using editor_gui::Key;
using editor_gui::State;
using editor_gui::Type;
using editor_gui::Word;
using fixtures::MbfWord;
using fixtures::StoredDate;
using testing_support::Bytes;

// Stocks/F3: CYGNUS SOFTWARE, 7 fields of 4 bytes, 779 records.
constexpr int kFileNumber = 3;
constexpr char kName[] = "CYGNUS SOFTWARE";
constexpr int kLength = 28;
constexpr int kFields = 7;
constexpr int32_t kRecords = 779;

// The open editors, oldest first.
std::vector<HWND> OpenEditors() {
  std::vector<HWND> editors;
  for (HWND child = GetWindow(MDIhwnd, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
    char className[32] = {};
    GetClassNameA(child, className, sizeof className);
    if (std::string(className) == "MdiEditChild") editors.insert(editors.begin(), child);
  }
  return editors;
}

class BrowserEditorTest : public BrowserTest {
 protected:
  // A browser on Stocks with the instrument's line selected (and under the
  // list's caret).
  HWND BrowseToInstrument() {
    const HWND browser = OpenBrowserOn("Stocks");
    const int line = LineStartingWith(List(browser), kName);
    EXPECT_GE(line, 0) << "no line for " << kName;
    SelectLines(List(browser), {line});
    SendMessageA(List(browser), LB_SETCARETINDEX, static_cast<WPARAM>(line), FALSE);
    return browser;
  }
  static void DoubleClickList(HWND browser) {
    SendMessageA(browser, WM_COMMAND, MAKEWPARAM(IDC_FILER_LIST, LBN_DBLCLK),
                 reinterpret_cast<LPARAM>(List(browser)));
  }
  // The one editor open, shown and painted as the message loop would.
  static HWND OnlyEditor() {
    const std::vector<HWND> editors = OpenEditors();
    if (editors.size() != 1) {
      ADD_FAILURE() << editors.size() << " editors open, one expected";
      return nullptr;
    }
    UpdateWindow(editors[0]);
    gui_harness::DrainMessages();
    return editors[0];
  }
  // Closes an editor as its close box does.
  static void CloseEditor(HWND editor) {
    SendMessageA(editor, WM_CLOSE, 0, 0);
    gui_harness::DrainMessages();
    EXPECT_FALSE(IsWindow(editor));
  }
  MasterRecord MasterEntry() {
    MasterRecord record{};
    EXPECT_EQ(GetMetaStockMasterRecord(Dir("Stocks").c_str(), kFileNumber, &record), 1);
    return record;
  }
  Bytes DataFile() const { return testing_support::ReadBytes(NativePath("Stocks/F3.DAT")); }
};

TEST_F(BrowserEditorTest, EditFromTheBrowserStoresATypedCellAndANewRecordWithItsCountAndLastDate) {
  const Bytes before = DataFile();
  const uint32_t firstDate = MasterEntry().FirstDateWord();
  const HWND browser = BrowseToInstrument();
  Command(browser, IDM_EDIT);
  const HWND editor = OnlyEditor();
  ASSERT_NE(editor, nullptr);
  EXPECT_EQ(gui_harness::WindowText(editor), Dir("Stocks") + "F3.DAT [CYGNUS SOFTWARE]");
  EditorState& state = State(editor);
  ASSERT_TRUE(IsMeasured(state)) << "the editor was painted";

  // Record 2's high price: two rows down, two fields on.
  Key(editor, VK_DOWN);
  Key(editor, VK_DOWN);
  Type(editor, "\t\t");
  ASSERT_EQ(state.currentRecord, 2);
  ASSERT_EQ(state.currentColumn, 2);
  Backspace(editor, 12);
  Type(editor, "23.75\t");
  EXPECT_EQ(state.currentColumn, 3);

  // The view to the bottom, one line further for the new-record row, and a
  // click into its date cell.
  Key(editor, VK_END);
  SendMessageA(editor, WM_VSCROLL, SB_LINEDOWN, 0);
  UpdateWindow(editor);
  const int newRow = NewRecordRow(state) - state.topRecord;
  ASSERT_GE(newRow, 0);
  ASSERT_LT(newRow, RowsAvailable(state)) << "the new-record row is in view";
  ClickCell(editor, newRow, 0, 10);
  ASSERT_EQ(state.currentRecord, kRecords) << "the cursor is on the new-record row";
  ASSERT_EQ(state.currentColumn, 0);
  Type(editor, "4/1/05\t20\t21.5\t19.25\t20.75\t5000\t7\t");
  EXPECT_EQ(state.session.layout.recordCount, kRecords + 2) << "the complete record was appended";
  CloseEditor(editor);

  const Bytes after = DataFile();
  ASSERT_EQ(after.size(), before.size() + kLength);
  EXPECT_EQ(HeaderCount(after), kRecords + 2);
  for (int32_t record = 0; record < kRecords; ++record) {
    for (int field = 0; field < kFields; ++field) {
      const uint32_t expected =
          record == 2 && field == 2 ? MbfWord(23.75f) : Word(before, kLength, record, field);
      ASSERT_EQ(Word(after, kLength, record, field), expected) << "record " << record << " field " << field;
    }
  }
  const float appended[kFields] = {StoredDate(2005, 1, 4), 20, 21.5f, 19.25f, 20.75f, 5000, 7};
  for (int field = 0; field < kFields; ++field) {
    EXPECT_EQ(Word(after, kLength, kRecords, field), MbfWord(appended[field])) << "field " << field;
  }
  const MasterRecord master = MasterEntry();
  EXPECT_EQ(master.LastDateWord(), MbfWord(StoredDate(2005, 1, 4)));
  EXPECT_EQ(master.FirstDateWord(), firstDate);
  EXPECT_EQ(ListLines(List(browser)).size(), 6u) << "the browser is still there with its list";
}

// The data file is held by the open editor, which the store refuses to open
// a second time for writing: the second editor says why and goes, the first
// keeps the cell being typed and writes it when it closes, and the file is
// free for a new editor afterwards.
TEST_F(BrowserEditorTest, ASecondOpenOfAnInstrumentBeingEditedIsRefusedAndTheOpenEditorKeepsItsEdits) {
  const Bytes before = DataFile();
  const HWND browser = BrowseToInstrument();
  DoubleClickList(browser);
  const HWND editor = OnlyEditor();
  ASSERT_NE(editor, nullptr);
  EditorState& state = State(editor);
  Type(editor, "\t");  // record 0's open price
  Backspace(editor, 12);
  Type(editor, "11.5");

  for (const bool byDoubleClick : {false, true}) {
    SCOPED_TRACE(byDoubleClick ? "double-click" : "Edit");
    responder_.Expect(GetError(2), IDOK, kName);
    if (byDoubleClick) {
      DoubleClickList(browser);
    } else {
      Command(browser, IDM_EDIT);
    }
    EXPECT_EQ(responder_.Outstanding(), 0u) << "the refusal was shown";
    EXPECT_EQ(OpenEditors(), std::vector<HWND>{editor}) << "no second editor";
    EXPECT_EQ(state.editText, "11.5") << "the text being typed is kept";
    EXPECT_EQ(IsFileOpen((Dir("Stocks") + "F3.DAT").c_str()), 1) << "the first editor still has its file";
  }
  Type(editor, "\t");
  CloseEditor(editor);

  const Bytes after = DataFile();
  ASSERT_EQ(after.size(), before.size());
  EXPECT_EQ(HeaderCount(after), kRecords + 1);
  EXPECT_EQ(Word(after, kLength, 0, 1), MbfWord(11.5f));
  EXPECT_EQ(Word(after, kLength, 0, 2), Word(before, kLength, 0, 2));

  Command(browser, IDM_EDIT);
  const HWND again = OnlyEditor();
  ASSERT_NE(again, nullptr) << "the closed editor left the file free";
  EXPECT_EQ(State(again).editText, "02/01/02");
  CloseEditor(again);
}

}  // namespace
