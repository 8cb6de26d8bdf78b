// The record editor in the test's own process, one scenario over the sample's
// Stocks/F3 (CYGNUS SOFTWARE, 7 fields, 779 daily records) and Intraday/F3:
// the keys, clicks, commands and dialogs a person uses, and the data file as
// it is once the editor has closed.
#include "editor/editor_model.h"
#include "editor/editor_window.h"
#include "gui_harness.h"
#include "resource.h"
#include "shell/window_thunk.h"
#include "store/master_file.h"
#include "support/fixtures.h"

namespace {

using fixtures::MbfWord;
using testing_support::Bytes;
constexpr int kLength = 28;  // 7 fields of 4 bytes
int beeps = 0;

uint32_t Word(const Bytes& file, int record, int field) {  // of a data record
  const size_t at = static_cast<size_t>((record + 1) * kLength + 4 * field);
  return file.size() < at + 4
             ? 0
             : file[at] | file[at + 1] << 8 | file[at + 2] << 16 | uint32_t{file[at + 3]} << 24;
}

// An editor opened through the frame's command, maximised and painted.
struct Editor {
  Editor(const std::string& directory, int fileNumber) {
    SendMessageA(MDIFrame, WM_COMMAND, MAKEWPARAM(IDM_OPEN_EDITOR, fileNumber),
                 reinterpret_cast<LPARAM>(directory.c_str()));
    SendMessageA(MDIhwnd, WM_MDIMAXIMIZE, reinterpret_cast<WPARAM>(window = hwndEdit), 0);
    UpdateWindow(window);
  }
  EditorState& State() const { return *AttachedState<EditorState>(window); }
  std::pair<int32_t, int> Cursor() const { return {State().currentRecord, State().currentColumn}; }
  void Command(int id, LPARAM lParam = 0, int high = 0) const {
    SendMessageA(window, WM_COMMAND, MAKEWPARAM(id, high), lParam);
  }
  void Type(const std::string& text) const {  // '\b': Backspace held for 12 repeats
    for (char c : text) SendMessageA(window, WM_CHAR, c == '\b' ? 8 : c, c == '\b' ? 12 : 1);
  }
  void Key(WPARAM key) const { SendMessageA(window, WM_KEYDOWN, key, 1); }
  void Click(int row, int x) const {  // x 10: the row's gutter box
    SendMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON,
                 MAKELPARAM(x, State().titleHeight + row * State().rowHeight + State().rowHeight / 2));
  }
  void Close() const { SendMessageA(MDIhwnd, WM_MDIDESTROY, reinterpret_cast<WPARAM>(window), 0); }
  HWND window;
};

TEST(Editor, KeysClicksCommandsAndDialogsReachTheFileWhichAnIdleEditorLetsGo) {
  gui::Sample sample;
  gui::Frame frame;
  SetEditorBeep([] { ++beeps; });
  const std::string stocks = sample.Dir("Stocks"), file = sample.Path("Stocks/F3.DAT");
  const Bytes before = testing_support::ReadBytes(file);
  const Editor editor(stocks, 3);
  EditorState& state = editor.State();
  EXPECT_EQ(gui::Text(editor.window), stocks + "F3.DAT [CYGNUS SOFTWARE]");
  EXPECT_TRUE(GetMenu(MDIFrame) == hMenuEdit && IsMeasured(state)) << "its menu bar; painted";

  // Idle for a tick of its timer, the editor lets another program write the file.
  const auto open = [&] {
    return CreateFileA(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       OPEN_EXISTING, 0, nullptr);
  };
  const auto touched = std::chrono::steady_clock::now();
  HANDLE other = open();
  EXPECT_EQ(other, INVALID_HANDLE_VALUE) << "held while it works";
  EXPECT_TRUE(
      gui::Pump("the idle editor to let go", [&] { return (other = open()) != INVALID_HANDLE_VALUE; }));
  EXPECT_GE(std::chrono::steady_clock::now() - touched, std::chrono::milliseconds(400));
  CloseHandle(other);

  // Goto starts at the current record (07/01/02) and goes to the first on or after the date.
  gui::Responder responder;
  editor.Command(IDM_GOTO_RECORD_COLUMN, 3, 2);
  responder.Dialog("Goto", {{IDC_GOTO_DAY, "7"}, {IDC_GOTO_MONTH, "January"}, {IDC_GOTO_YEAR, "2"}},
                   {{IDC_GOTO_DAY, "1"}, {IDC_GOTO_MONTH, "March"}, {IDC_GOTO_YEAR, "03"}}, IDOK);
  editor.Command(IDM_GOTO);
  int32_t found = 0;
  while (Word(before, found, 0) < MbfWord(fixtures::StoredDate(2003, 3, 1))) ++found;
  EXPECT_EQ(std::pair(editor.Cursor(), state.topRecord), std::pair(std::pair(found, 2), found));

  // Record 2's High typed over: from record 0, two rows down, two fields on.
  editor.Command(IDM_GOTO_RECORD_COLUMN, 0, 0);
  editor.Key(VK_DOWN);
  editor.Key(VK_DOWN);
  editor.Type("\t\t\b23.75\t");
  EXPECT_EQ(editor.Cursor(), std::pair(2, 3));
  editor.Command(IDM_GOTO_RECORD_COLUMN, 5, 0);
  editor.Command(IDM_INSERT_RECORD);  // a copy of record 5, which the cursor follows
  EXPECT_EQ(editor.Cursor(), std::pair(6, 0));
  // Records 0 and 1 selected in the gutter and deleted.
  editor.Key(VK_HOME);
  editor.Click(0, 10);
  editor.Click(1, 10);
  editor.Click(3, 280);  // a cell again: record 3's High
  EXPECT_EQ(editor.Cursor(), std::pair(3, 2));
  gui::Shot("editor_daily");
  responder.Box("Are you sure you want to delete the selection ?", IDYES);
  editor.Command(IDM_DELETE_RECORD);
  EXPECT_EQ(state.session.layout.recordCount, 779);
  // The new-record row takes a whole record, refusing a colon in its date.
  editor.Command(IDM_GOTO_RECORD_COLUMN, NewRecordRow(state), 0);
  editor.Type(":4/1/05\t20\t21.5\t19.25\t20.75\t5000\t7\t");
  EXPECT_EQ(beeps, 1);
  editor.Close();
  const Bytes after = testing_support::ReadBytes(file);
  ASSERT_EQ(after.size(), before.size());
  EXPECT_EQ(after[2] | after[3] << 8, 780) << "the header counts the records";
  EXPECT_EQ((std::vector{Word(after, 0, 2), Word(after, 3, 4), Word(after, 4, 4), Word(after, 5, 4)}),
            (std::vector{MbfWord(23.75f), Word(before, 5, 4), Word(before, 5, 4), Word(before, 6, 4)}))
      << "record 2 (now the first), record 5 and its copy";
  MasterRecord master{};
  EXPECT_TRUE(GetMetaStockMasterRecord(stocks.c_str(), 3, &master));
  EXPECT_EQ(master.LastDateWord(), MbfWord(fixtures::StoredDate(2005, 1, 4))) << "the new last record's";

  // Split and Truncate take the one selected record.
  const Editor again(stocks, 3);
  responder.Box("Please select AT LEAST one record and try again.", IDOK);
  again.Command(IDM_SPLIT);
  again.Click(5, 10);
  responder
      .Dialog("Split File", {},
              {{IDC_SPLIT_DESTINATION, sample.Dir() + "Portions"}, {IDC_SPLIT_LAST_INCLUDE, "1"}}, IDOK)
      .Box("This directory does not exist, do you want to attempt to create it ?", IDYES);
  again.Command(IDM_SPLIT);
  EXPECT_EQ(again.State().session.layout.recordCount, 775) << "records 5 on stay";
  again.Click(1, 10);
  responder.Dialog("Truncate File", {}, {}, IDOK, [](HWND d) {
    EXPECT_TRUE(IsDlgButtonChecked(d, IDC_TRUNCATE_FROM_CURRENT)) << "by default";
  });
  again.Command(IDM_TRUNCATE);
  again.Close();
  const Bytes source = testing_support::ReadBytes(file),
              part = testing_support::ReadBytes(sample.Path("Portions/F1.DAT"));
  EXPECT_EQ((std::vector{source.size(), part.size(), size_t{Word(source, 1, 4)}, size_t{Word(part, 4, 4)}}),
            (std::vector<size_t>{3 * kLength, 6 * kLength, Word(after, 6, 4), Word(after, 4, 4)}))
      << "records 5 and 6 stay, 0 to 4 went";

  // An intraday instrument's Goto (every 15 minutes from 14/02/05 09:45) takes a time.
  const Editor intraday(sample.Dir("Intraday"), 3);
  responder.Dialog("Goto", {{IDC_GOTO_DAY, "14"}, {IDC_GOTO_HOURS, "9"}, {IDC_GOTO_MINUTES, "45"}},
                   {{IDC_GOTO_HOURS, "10"}, {IDC_GOTO_MINUTES, "20"}}, IDOK);
  intraday.Command(IDM_GOTO);
  EXPECT_EQ(intraday.Cursor(), std::pair(3, 0)) << "10:30";
  UpdateWindow(intraday.window);
  gui::Shot("editor_intraday");
}

}  // namespace
