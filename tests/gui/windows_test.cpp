// The browser, the record editor, the test dialogs and reports in this process, one scenario each over the
// sample tree: each command, key and dialog a person uses, with what it shows, passes on and leaves on disk.
#include "gui_harness.h"
#include <commctrl.h>

#include "editor/editor_window.h"
#include "integrity/report_windows.h"
#include "integrity/test_dialogs.h"
#include "support/fixtures.h"
#include "support/scenes.h"

namespace {

using fixtures::MbfWord;
using testing_support::Bytes;
using testing_support::ReadBytes;
constexpr int kLength = 28;  // a daily record of 7 fields of 4 bytes
int beeps = 0;

// Selects the root's subdirectory of this name in the tree, as a click does.
void Choose(HWND browser, const std::string& name) {
  const HWND tree = GetDlgItem(browser, IDC_FILER_TREE);
  char text[64] = {};
  TVITEMA item{TVIF_TEXT, nullptr, 0, 0, text, sizeof text, 0, 0, 0, 0};
  item.hItem = TreeView_GetChild(tree, TreeView_GetRoot(tree));
  while (item.hItem != nullptr && !(TreeView_GetItem(tree, &item) && name == text))
    item.hItem = TreeView_GetNextSibling(tree, item.hItem);
  ASSERT_NE(item.hItem, nullptr) << name;
  TreeView_SelectItem(tree, item.hItem);
}

void Select(HWND list, std::initializer_list<int> lines) {  // exactly these lines
  SendMessageA(list, LB_SETSEL, FALSE, -1);
  for (int line : lines) SendMessageA(list, LB_SETSEL, TRUE, line);
}

TEST(Browser, SelectPathTreeListAndEveryCommandWithItsDialog) {
  gui::Sample sample;
  gui::Frame frame;
  const std::string root = sample.Dir(), stocks = sample.Dir("Stocks"), copied = root + "Copied\\";
  const auto command = [](HWND window, int id) { SendMessageA(window, WM_COMMAND, id, 0); };
  gui::Responder r;

  // Select Path refuses what is not a directory, then takes the root typed without its backslash.
  r.Dialog("Select Path", {}, {{IDC_SELECT_PATH, root + "Missing"}}, IDOK)
      .Box("The path specified was not valid.", IDOK, {{IDC_SELECT_PATH, root.substr(0, root.size() - 1)}},
           IDOK);
  command(MDIFrame, IDM_SELECT_PATH);
  const HWND browser = frame.Active(), list = GetDlgItem(browser, IDC_FILER_LIST);
  EXPECT_EQ(gui::Text(browser), root);
  // The root, Damaged (3), Empty, Intraday, Nested (a, b, c, the long-named one), Stocks; not the hidden one.
  EXPECT_EQ(TreeView_GetCount(GetDlgItem(browser, IDC_FILER_TREE)), 13u);
  Choose(browser, "Stocks");
  EXPECT_EQ(gui::Lines(list).size(), 6u);
  gui::Shot("browser-sample-tree");

  // Test and Change Symbol take the one instrument selected, Test Master the directory.
  Select(list, {0, 1});
  r.Box("Please select ONLY one instrument and try again.", IDOK)
      .Dialog("Test and Repair DAT File", {{IDC_TEST_FILE, "BOREALIS MINING"}}, {}, IDCANCEL)
      .Dialog("Test and Repair Master File", {{IDC_TEST_FILE, stocks}}, {}, IDCANCEL)
      .Dialog("Change Symbol", {{IDC_SYMBOL_INSTRUMENT, "BOREALIS MINING"}, {IDC_SYMBOL_PRESENT, "BRML"}},
              {{IDC_SYMBOL_NEW, "BRMX"}}, IDOK);
  command(browser, IDM_TEST);
  Select(list, {1});
  for (int id : {IDM_TEST, IDM_TEST_MASTER, IDM_CHANGE_SYMBOL}) command(browser, id);
  EXPECT_EQ(gui::Lines(list)[1].substr(0, 24), "BOREALIS MINING\tBRMX\tF2\t");

  // Copy into a new directory, which Move is offered next from the path history; then Delete.
  Select(list, {0, 1});
  r.Dialog("Copy", {{IDC_TRANSFER_SOURCE, stocks}}, {{IDC_TRANSFER_DESTINATION, copied}}, IDOK, [](HWND d) {
     EXPECT_EQ(gui::Lines(GetDlgItem(d, IDC_TRANSFER_LIST)),
               (gui::Texts{"ACME INDUSTRIES\tACME\tF1", "BOREALIS MINING\tBRMX\tF2"}));
   }).Box("This directory does not exist, do you want to attempt to create it ?", IDYES);
  command(browser, IDM_COPY);
  EXPECT_EQ(ReadBytes(sample.Path("Copied/F1.DAT")), ReadBytes(sample.Path("Stocks/F2.DAT")));
  Select(list, {3});
  r.Dialog("Move", {}, {}, IDOK, [&](HWND d) {
    SendDlgItemMessageA(d, IDC_TRANSFER_DESTINATION, CB_SETCURSEL, 0, 0);
    EXPECT_EQ(gui::Item(d, IDC_TRANSFER_DESTINATION), copied);
  });
  command(browser, IDM_MOVE);
  MasterRecord moved{};
  EXPECT_TRUE(GetMetaStockMasterRecord(copied.c_str(), 3, &moved) && moved.Name() == "DELTA AIRWAYS");
  Select(list, {4});
  r.Dialog("Delete", {{IDC_DELETE_DIRECTORY, stocks}}, {}, IDOK, [](HWND d) {
    EXPECT_EQ(gui::Lines(GetDlgItem(d, IDC_DELETE_LIST)), gui::Texts{"FENWICK HOLDINGS\tFNWK\tF6"});
  });
  command(browser, IDM_DELETE);
  EXPECT_EQ(gui::Lines(list).size(), 4u) << "the list follows each command";
  EXPECT_FALSE(testing_support::FileExistsNative(sample.Path("Stocks/F6.DOP")));

  // Edit opens every selected instrument, a double-click the line under the caret.
  Select(list, {0, 2});
  command(browser, IDM_EDIT);
  SendMessageA(list, LB_SETCARETINDEX, 3, FALSE);
  gui::Notify(browser, IDC_FILER_LIST, LBN_DBLCLK);
  gui::Texts titles;
  for (HWND editor : frame.Children("MdiEditChild")) titles.push_back(gui::Text(editor));
  EXPECT_EQ(titles, (gui::Texts{stocks + "F1.DAT [ACME INDUSTRIES]", stocks + "F3.DAT [CYGNUS SOFTWARE]",
                                stocks + "F5.DAT [EQUINOX FUND]"}));

  // In Empty: Create, refusing an empty name; then a directory, with the tree read again after Yes.
  Choose(browser, "Empty");
  const gui::Items intraday{{IDC_CREATE_PERIOD, "IntraDay"}, {IDC_CREATE_FIELDS, "Eight"}};
  r.Dialog("Create", {}, intraday, IDOK)
      .Box("The Instrument name MUST contain a name so that it can be identified", IDOK,
           {{IDC_CREATE_NAME, "NEW ONE"}, {IDC_CREATE_SYMBOL, "NEWS"}, {IDC_CREATE_TIME_BASE, "15"}}, IDOK)
      .Dialog("Create Directory", {{IDC_MAKE_DIR_PARENT, sample.Dir("Empty")}},
              {{IDC_MAKE_DIR_NAME, "Fresh"}}, IDOK)
      .Box("Directory will not be visible until you re-scan the directory tree, rescan now ?", IDYES, {}, 0,
           IDI_EXCLAMATION);
  command(browser, IDM_CREATE);
  EXPECT_EQ(gui::Lines(list), gui::Texts{"NEW ONE\tNEWS\tF1\tIntraDay File\tFile Exists"});
  MasterRecord made{};
  EXPECT_TRUE(GetMetaStockMasterRecord(sample.Dir("Empty").c_str(), 1, &made));
  EXPECT_EQ(std::pair(int{made.FieldCount()}, int{made.TimeBase()}), std::pair(8, 15)) << "intraday fields";
  command(browser, IDM_CREATE_DIRECTORY);
  EXPECT_EQ(ReadBytes(sample.Path("Empty/Fresh/master")), Bytes(53, 0));
  EXPECT_TRUE(gui::Pump("the tree read again, with Copied and Fresh",
                        [&] { return TreeView_GetCount(GetDlgItem(browser, IDC_FILER_TREE)) == 15; }));
}

uint32_t Word(const Bytes& file, int record, int field) {  // of a data record
  uint32_t word = 0;
  const size_t at = size_t((record + 1) * kLength + 4 * field);
  if (at + 4 <= file.size()) std::memcpy(&word, &file[at], 4);
  return word;
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
  void Keys(std::initializer_list<WPARAM> keys) const {
    for (WPARAM key : keys) SendMessageA(window, WM_KEYDOWN, key, 1);
  }
  void Click(int row, int x = 10) const {  // x 10: the row's gutter box
    const EditorState& s = State();
    SendMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON,
                 MAKELPARAM(x, s.titleHeight + row * s.rowHeight + s.rowHeight / 2));
  }
  void Close() const { SendMessageA(MDIhwnd, WM_MDIDESTROY, reinterpret_cast<WPARAM>(window), 0); }
  HWND window;
};

TEST(Editor, KeysClicksCommandsAndDialogsReachTheFileWhichAnIdleEditorLetsGo) {
  gui::Sample sample;
  gui::Frame frame;
  SetEditorBeep([] { ++beeps; });
  const std::string stocks = sample.Dir("Stocks"), file = sample.Path("Stocks/F3.DAT");
  const Bytes before = ReadBytes(file);
  const Editor editor(stocks, 3);
  EditorState& state = editor.State();
  EXPECT_EQ(gui::Text(editor.window), stocks + "F3.DAT [CYGNUS SOFTWARE]");
  EXPECT_TRUE(GetMenu(MDIFrame) == hMenuEdit && IsMeasured(state)) << "its menu bar; painted";

  // Idle for a tick of its timer, the editor lets another program write the file.
  EXPECT_FALSE(fixtures::HeldFile(stocks + "F3.DAT").Holds()) << "held while it works";
  EXPECT_TRUE(gui::Pump("the file let go", [&] { return fixtures::HeldFile(stocks + "F3.DAT").Holds(); }));

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
  editor.Keys({VK_DOWN, VK_DOWN});
  editor.Type("\t\t\b23.75\t");
  editor.Command(IDM_GOTO_RECORD_COLUMN, 5, 0);
  editor.Command(IDM_INSERT_RECORD);  // a copy of record 5
  // Records 0 and 1 selected in the gutter and deleted.
  editor.Keys({VK_HOME});
  for (int row : {0, 1}) editor.Click(row);
  editor.Click(3, 280);  // a cell again: record 3's High
  EXPECT_EQ(editor.Cursor(), std::pair(3, 2));
  gui::Shot("editor-daily");
  responder.Box("Are you sure you want to delete the selection ?", IDYES);
  editor.Command(IDM_DELETE_RECORD);
  // The new-record row takes a whole record, refusing a colon in its date.
  editor.Command(IDM_GOTO_RECORD_COLUMN, NewRecordRow(state), 0);
  editor.Type(":4/1/05\t20\t21.5\t19.25\t20.75\t5000\t7\t");
  EXPECT_EQ(beeps, 1);
  editor.Close();
  const Bytes after = ReadBytes(file);
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
  again.Click(5);
  const gui::Items split{{IDC_SPLIT_DESTINATION, sample.Dir() + "Portions"}, {IDC_SPLIT_LAST_INCLUDE, "1"}};
  responder.Dialog("Split File", {}, split, IDOK)
      .Box("This directory does not exist, do you want to attempt to create it ?", IDYES);
  again.Command(IDM_SPLIT);  // records 5 on stay
  again.Click(1);
  responder.Dialog("Truncate File", {}, {}, IDOK, [](HWND d) {
    EXPECT_TRUE(IsDlgButtonChecked(d, IDC_TRUNCATE_FROM_CURRENT)) << "by default";
  });
  again.Command(IDM_TRUNCATE);
  again.Close();
  const Bytes source = ReadBytes(file), part = ReadBytes(sample.Path("Portions/F1.DAT"));
  EXPECT_EQ((std::vector{source.size(), part.size(), size_t{Word(source, 1, 4)}, size_t{Word(part, 4, 4)}}),
            (std::vector<size_t>{3 * kLength, 6 * kLength, Word(after, 6, 4), Word(after, 4, 4)}))
      << "records 5 and 6 stay, 0 to 4 went";

  // An intraday instrument's Goto (every 15 minutes from 14/02/05 09:45) takes a time.
  const Editor intraday(sample.Dir("Intraday"), 3);
  responder.Dialog("Goto", {{IDC_GOTO_DAY, "14"}, {IDC_GOTO_HOURS, "9"}, {IDC_GOTO_MINUTES, "45"}},
                   {{IDC_GOTO_HOURS, "10"}, {IDC_GOTO_MINUTES, "20"}}, IDOK);
  intraday.Command(IDM_GOTO);
  EXPECT_EQ(intraday.Cursor(), std::pair(3, 0)) << "10:30";
  gui::Shot("editor-intraday");
}

// Explain Error shows the problem; Save Errors writes the report (heading first) to the file named in Save
// As.
void ExplainAndSave(gui::Responder& responder, HWND report, const char* problem, const std::string& saved,
                    const std::string& heading) {
  responder.Dialog("Error Explanation", {{IDC_EXPLAIN_PROBLEM, problem}}, {}, IDOK)
      .Dialog("Save As", {}, {}, IDOK, [&](HWND d) {  // the file name's combo box, or its edit
        SetWindowTextA(GetDlgItem(d, GetDlgItem(d, 0x47c) != nullptr ? 0x47c : 0x480), saved.c_str());
      });
  gui::Notify(report, IDC_EXPLAIN_ERROR, BN_CLICKED);
  gui::Notify(report, IDC_SAVE_ERRORS, BN_CLICKED);
  const Bytes bytes = ReadBytes(saved);
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()).substr(0, heading.size()), heading);
}

TEST(Integrity, TheTestDialogsRunTheChosenTestsIntoReportsThatSteerCorrectExplainAndSave) {
  gui::Sample sample;
  gui::Frame frame;
  const std::string data = sample.Dir("Damaged\\Data"), master = sample.Dir("Damaged\\Master");
  gui::Responder r;
  r.Dialog("Test and Repair DAT File", {{IDC_TEST_FILE, "CORRUPT NUMBERS"}}, {}, IDOK)  // no test chosen
      .Box("Please select AT LEAST one test to perform and try again.", IDOK,
           {{IDC_TEST_LIST, "Corrupt Numbers"}}, IDOK);
  EXPECT_EQ(TestDAT(MDIFrame, data.c_str(), 1), 1);
  HWND report = nullptr;
  ASSERT_NE(report = FindWindowA("#32770", "DAT File Errors"), nullptr) << "the report outlives the dialog";
  EXPECT_EQ(gui::Lines(GetDlgItem(report, IDC_RECORD_LIST)),
            (gui::Texts{"00000010", "00000020", "00000030"}));
  EXPECT_EQ(gui::Lines(GetDlgItem(report, IDC_PROBLEM_LIST)), gui::Texts{"Close : Corrupt Numbers"});
  const HWND editor = hwndEdit;  // opened by the report on its instrument
  EXPECT_EQ(gui::Text(editor), data + "F1.DAT [CORRUPT NUMBERS]");
  gui::Shot("integrity-dat-report");
  gui::Pick(report, IDC_RECORD_LIST, 1);
  gui::Notify(report, IDOK, BN_CLICKED);  // Goto: the record and its problem's column (Volume)
  const EditorState& state = *AttachedState<EditorState>(editor);
  EXPECT_EQ(std::pair(state.currentRecord, int{state.currentColumn}), std::pair(20, 5));
  EXPECT_EQ(GetFocus(), editor);
  gui::Pick(report, IDC_RECORD_LIST, 0, true);  // a record's double-click: the column stays
  EXPECT_EQ(std::pair(state.currentRecord, int{state.currentColumn}), std::pair(10, 5));
  ExplainAndSave(r, report, "Corrupt Numbers", sample.temp.Path("f1.txt"),
                 "Quorvex\n\r\n\rErrors Found in DAT file (F1.DAT) in directory  '" + data + "'\n\r");
  gui::Notify(report, IDCANCEL, BN_CLICKED);
  EXPECT_TRUE(DATReportWindowOpen == 0 && IsWindow(editor)) << "the report closed, its editor stays";

  // Repair on, no prompt, no files created: the header repaired at once, the missing data file by Correct.
  const gui::Items tests{{IDC_TEST_LIST, "Missing DAT File"}, {IDC_TEST_LIST, "Too many files reported"}};
  r.Dialog("Test and Repair Master File", {{IDC_TEST_FILE, master}}, tests, IDOK, [](HWND d) {
    EXPECT_TRUE(IsDlgButtonChecked(d, IDC_TEST_CREATE_FILES)) << "by default";
    gui::Enter(d, {{IDC_TEST_CREATE_FILES, "0"}, {IDC_TEST_REPAIR, "1"}});
  });
  TestMaster(MDIFrame, master.c_str());
  ASSERT_NE(report = FindWindowA("#32770", "Master File Errors"), nullptr);
  const Bytes bytes = ReadBytes(sample.Path("Damaged/Master/master"));
  EXPECT_EQ(bytes[0] | bytes[1] << 8, 11) << "the header counts the records now";
  gui::Enter(report, {{IDC_INSTRUMENT_LIST, "F1 : MISSING DATA"}});
  EXPECT_FALSE(testing_support::FileExistsNative(sample.Path("Damaged/Master/F1.DAT")));
  gui::Pick(report, IDC_PROBLEM_LIST, 0, true);  // a double-click corrects
  EXPECT_EQ(gui::Lines(GetDlgItem(report, IDC_PROBLEM_LIST)), gui::Texts{"Repaired     : Missing DAT File"});
  EXPECT_TRUE(testing_support::FileExistsNative(sample.Path("Damaged/Master/F1.DAT")));
  r.Box("This error has already been repaired", IDOK);
  gui::Notify(report, IDOK, BN_CLICKED);  // Correct again
  ExplainAndSave(r, report, "Missing DAT File", sample.temp.Path("master.txt"),
                 "Quorvex\n\r\n\rErrors Found in Master file for directory  '" + master + "'\n\r");
  gui::Notify(report, IDCANCEL, BN_CLICKED);
  EXPECT_EQ(MasterReportWindowOpen, 0);
}

}  // namespace
