// The test dialogs and the two report windows in the test's own process over
// the sample's Damaged directories: what each dialog passes to its test, what
// the report lists, and its buttons (Goto into the editor, Correct, Explain
// Error, Save Errors, Close).
#include "editor/editor_model.h"
#include "gui_harness.h"
#include "integrity/report_windows.h"
#include "integrity/test_dialogs.h"
#include "resource.h"
#include "shell/window_thunk.h"

namespace {

using Lines = std::vector<std::string>;

// Explain Error shows the problem; Save Errors writes the report to the file
// named in the system's Save dialog, whose text is returned.
std::string ExplainAndSave(gui::Responder& responder, HWND report, const char* problem,
                           const std::string& saved) {
  responder.Dialog("Error Explanation", {{IDC_EXPLAIN_PROBLEM, problem}}, {}, IDOK)
      .Dialog("Save As", {}, {}, IDOK, [&](HWND d) {  // the file name's combo box, or its edit
        SetWindowTextA(GetDlgItem(d, GetDlgItem(d, 0x47c) != nullptr ? 0x47c : 0x480), saved.c_str());
      });
  gui::Notify(report, IDC_EXPLAIN_ERROR, BN_CLICKED);
  gui::Notify(report, IDC_SAVE_ERRORS, BN_CLICKED);
  const testing_support::Bytes bytes = testing_support::ReadBytes(saved);
  return std::string(bytes.begin(), bytes.end());
}

TEST(Integrity, TheTestDialogsRunTheChosenTestsIntoReportsThatSteerCorrectExplainAndSave) {
  gui::Sample sample;
  gui::Frame frame;
  const std::string data = sample.Dir("Damaged\\Data"), master = sample.Dir("Damaged\\Master");
  gui::Responder r;
  r.Ignore("Testing : Please Wait...").Ignore("DAT File Errors").Ignore("Testing : Please Wait");
  r.Ignore("Master File Errors");
  r.Dialog("Test and Repair DAT File", {{IDC_TEST_FILE, "CORRUPT NUMBERS"}}, {}, IDOK)  // no test chosen
      .Box("Please select AT LEAST one test to perform and try again.", IDOK,
           {{IDC_TEST_LIST, "Corrupt Numbers"}}, IDOK);
  EXPECT_EQ(TestDAT(MDIFrame, data.c_str(), 1), 1);
  HWND report = FindWindowA("#32770", "DAT File Errors");
  ASSERT_NE(report, nullptr) << "the report outlives the dialog";
  EXPECT_EQ(gui::Lines(GetDlgItem(report, IDC_RECORD_LIST)), (Lines{"00000010", "00000020", "00000030"}));
  EXPECT_EQ(gui::Lines(GetDlgItem(report, IDC_PROBLEM_LIST)), Lines{"Close : Corrupt Numbers"});
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
  std::string heading = "Quorvex\n\r\n\rErrors Found in DAT file (F1.DAT) in directory  '" + data + "'\n\r";
  EXPECT_EQ(
      ExplainAndSave(r, report, "Corrupt Numbers", sample.temp.Path("f1.txt")).substr(0, heading.size()),
      heading);
  gui::Notify(report, IDCANCEL, BN_CLICKED);
  EXPECT_TRUE(DATReportWindowOpen == 0 && IsWindow(editor)) << "the report closed, its editor stays";

  // Repair on, no prompt, no files created: the header is repaired without a
  // question, the missing data file is not until Correct.
  r.Dialog("Test and Repair Master File", {{IDC_TEST_FILE, master}},
           {{IDC_TEST_CREATE_FILES, "0"},
            {IDC_TEST_REPAIR, "1"},
            {IDC_TEST_LIST, "Missing DAT File"},
            {IDC_TEST_LIST, "Too many files reported"}},
           IDOK, [](HWND d) { EXPECT_TRUE(IsDlgButtonChecked(d, IDC_TEST_CREATE_FILES)) << "by default"; });
  TestMaster(MDIFrame, master.c_str());
  report = FindWindowA("#32770", "Master File Errors");
  ASSERT_NE(report, nullptr);
  const testing_support::Bytes bytes = testing_support::ReadBytes(sample.Path("Damaged/Master/master"));
  EXPECT_EQ(bytes[0] | bytes[1] << 8, 11) << "the header counts the records now";
  gui::Enter(report, {{IDC_INSTRUMENT_LIST, "F1 : MISSING DATA"}});
  EXPECT_FALSE(testing_support::FileExistsNative(sample.Path("Damaged/Master/F1.DAT")));
  gui::Pick(report, IDC_PROBLEM_LIST, 0, true);  // a double-click corrects
  EXPECT_EQ(gui::Lines(GetDlgItem(report, IDC_PROBLEM_LIST)), Lines{"Repaired     : Missing DAT File"});
  EXPECT_TRUE(testing_support::FileExistsNative(sample.Path("Damaged/Master/F1.DAT")));
  r.Box("This error has already been repaired", IDOK);
  gui::Notify(report, IDOK, BN_CLICKED);  // Correct again
  heading = "Quorvex\n\r\n\rErrors Found in Master file for directory  '" + master +
            "'\n\r\n\rHeader Record Errors : \n\rRepaired     : Too many files reported\n\r";
  EXPECT_EQ(
      ExplainAndSave(r, report, "Missing DAT File", sample.temp.Path("master.txt")).substr(0, heading.size()),
      heading);
  gui::Notify(report, IDCANCEL, BN_CLICKED);
  EXPECT_EQ(MasterReportWindowOpen, 0);
}

}  // namespace
