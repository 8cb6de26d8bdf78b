// The DAT File Errors window in-process: its waiting state, the record and
// problem lists of every defect of the sample's Damaged/Data directory,
// explanations, the saved report and every way of closing it.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "harness/dialog_responder.h"
#include "editor/editor_model.h"
#include "harness/wait.h"
#include "integrity/dat_test.h"
#include "integrity/error_list.h"
#include "integrity/error_reports.h"
#include "integrity/explanations.h"
#include "integrity/report_windows.h"
#include "integrity_fixture.h"
#include "resource.h"
#include "sample_data.h"
#include "shell/shell_globals.h"
#include "shell/window_thunk.h"
#include "store/dat_file.h"
#include "store/master_file.h"

namespace {

using namespace integrity_gui;

constexpr char kFileAccessText[] =
    "File is read only or has been opened by another process, check permissions for this file and/or close "
    "the "
    "file in any applications that are using it.";
const std::vector<int32_t> kAllDATTests = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};

class DATReportTest : public IntegrityWindowTest {
 protected:
  // Opens the report on instrument fileNumber of the directory and runs the
  // DAT test with these codes into it.
  HWND Report(int fileNumber, const std::vector<int32_t>& codes, const std::string& dir = "") {
    directory_ = dir.empty() ? DataDir() : dir;
    const HWND report = ReportDATErrors(MDIFrame, directory_.c_str(), static_cast<int16_t>(fileNumber));
    EXPECT_NE(report, nullptr);
    MasterRecord record{};
    EXPECT_TRUE(GetMetaStockMasterRecord(directory_.c_str(), fileNumber, &record));
    TestDATFile(directory_.c_str(), report, codes.data(), static_cast<int>(codes.size()), record);
    return report;
  }

  std::string directory_;
};

// The findings of a DAT test run without a window, as the saved report
// formats them.
class Collector : public ReportTarget {
 public:
  ~Collector() override { KillErrorList(list_); }
  void ErrorListReady(List* errorList) override { list_ = errorList; }
  void Close() override {}
  void ShowNotice(const char*) override {}
  bool AskYesNo(const char*) override { return false; }
  List* list_ = nullptr;
};

std::string ExpectedReport(const std::string& directory, int fileNumber, const std::vector<int32_t>& codes) {
  MasterRecord record{};
  EXPECT_TRUE(GetMetaStockMasterRecord(directory.c_str(), fileNumber, &record));
  Collector collector;
  TestDATFile(directory.c_str(), collector, codes.data(), static_cast<int>(codes.size()), record);
  std::string text, failed;
  EXPECT_TRUE(FormatDATErrorReport(directory.c_str(), fileNumber, collector.list_, &text, &failed));
  return text;
}

HWND Records(HWND report) {
  return GetDlgItem(report, IDC_RECORD_LIST);
}
HWND Problems(HWND report) {
  return GetDlgItem(report, IDC_PROBLEM_LIST);
}

const EditorState& EditorOf(HWND editor) {
  return *AttachedState<EditorState>(editor);
}

std::vector<HWND> Editors() {
  std::vector<HWND> editors;
  for (HWND child = GetWindow(MDIhwnd, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
    char className[32] = {};
    GetClassNameA(child, className, sizeof className);
    if (std::string(className) == szEditClass) editors.push_back(child);
  }
  return editors;
}

// A DAT ErrorList built by hand: one defect (column 0, code 8) per record.
List* ListOfRecords(const std::vector<int32_t>& records) {
  List* list = CreateList();
  for (int32_t record : records) {
    DATErrorEntry entry{record, nullptr};
    AddDATError(0, static_cast<int32_t>(DATErrorCode::DatesOutOfOrder), &entry);
    AddItem(list, &entry, sizeof entry);
  }
  return list;
}

TEST_F(DATReportTest, CaptionSaysTestingUntilTheListArrivesThenDATFileErrors) {
  const HWND report = ReportDATErrors(MDIFrame, DataDir().c_str(), 1);
  ASSERT_NE(report, nullptr);
  EXPECT_TRUE(IsWindowVisible(report));
  EXPECT_EQ(gui_harness::WindowText(report), "Testing : Please Wait...");
  EXPECT_EQ(DATReportWindowOpen, 1);
  SendMessageA(report, WM_COMMAND, IDM_ERROR_LIST_READY, reinterpret_cast<LPARAM>(ListOfRecords({3})));
  EXPECT_EQ(gui_harness::WindowText(report), "DAT File Errors");
}

TEST_F(DATReportTest, RecordsShowAsEightDigitsInAscendingOrderWithTheirNumbersAsData) {
  const HWND report = ReportDATErrors(MDIFrame, DataDir().c_str(), 1);
  ASSERT_NE(report, nullptr);
  SendMessageA(report, WM_COMMAND, IDM_ERROR_LIST_READY,
               reinterpret_cast<LPARAM>(ListOfRecords({100, 9, 10})));
  EXPECT_EQ(ListTexts(Records(report)), (std::vector<std::string>{"00000009", "00000010", "00000100"}));
  EXPECT_EQ(ListData(Records(report)), (std::vector<LPARAM>{9, 10, 100}));
  EXPECT_EQ(SelectedText(Records(report)), "00000009") << "the first record is selected";
  EXPECT_EQ(SelectedText(Problems(report)), "Dates out of order") << "and its first problem";
}

// Every DAT defect that the sample tree plants in Damaged/Data is listed on
// its record, on its column, with the text the report gives its code.
TEST_F(DATReportTest, EverySampleDefectIsListedOnItsRecordAndColumn) {
  const sample::SampleTree& tree = sample::GetSampleTree();
  std::map<int, std::map<int32_t, std::set<std::pair<std::string, LPARAM>>>> expected;
  for (const auto& defect : tree.datDefects) {
    if (defect.directory != "Damaged/Data") continue;
    MasterRecord record{};
    ASSERT_TRUE(GetMetaStockMasterRecord(DataDir().c_str(), defect.fileNumber, &record));
    DATLayout layout{};
    ASSERT_TRUE(AssignFieldTypes(&layout, record));
    std::string text = GetDATError(defect.code);
    if (defect.code == 0)
      text = std::string(EnumerateFieldType(layout.fieldTypes[defect.column])) + " : " + text;
    expected[defect.fileNumber][defect.record].insert({text, defect.column});
  }
  ASSERT_EQ(expected.size(), 10u) << "the sample's ten damaged instruments";

  for (const auto& [fileNumber, records] : expected) {
    SCOPED_TRACE("F" + std::to_string(fileNumber));
    const HWND report = Report(fileNumber, kAllDATTests);
    ASSERT_TRUE(IsWindow(report));
    std::vector<LPARAM> recordNumbers;
    for (const auto& entry : records) recordNumbers.push_back(entry.first);
    EXPECT_EQ(ListData(Records(report)), recordNumbers);
    for (size_t i = 0; i < recordNumbers.size(); ++i) {
      SelectItem(report, IDC_RECORD_LIST, static_cast<int>(i));
      const std::vector<std::string> texts = ListTexts(Problems(report));
      const std::vector<LPARAM> columns = ListData(Problems(report));
      std::set<std::pair<std::string, LPARAM>> shown;
      for (size_t k = 0; k < texts.size(); ++k) shown.insert({texts[k], columns[k]});
      EXPECT_EQ(shown, records.at(static_cast<int32_t>(recordNumbers[i]))) << "record " << recordNumbers[i];
      EXPECT_EQ(SendMessageA(Problems(report), LB_GETCURSEL, 0, 0), 0) << "the first problem is selected";
    }
    ClickButton(report, IDCANCEL);
    EXPECT_FALSE(IsWindow(report));
  }
}

TEST_F(DATReportTest, ProblemsOfARecordAreSortedByText) {
  const HWND report = Report(2, {1, 3});
  EXPECT_EQ(ListTexts(Problems(report)), (std::vector<std::string>{"Close < Low", "High < Low"}));
  EXPECT_EQ(ListData(Problems(report)), (std::vector<LPARAM>{2, 2})) << "both on the Low column";
}

TEST_F(DATReportTest, ANothingFoundTestSaysSoAndClosesTheReport) {
  ReportResponder responder;
  responder.Expect("No Errors Found", IDOK);
  const HWND report = Report(1, {4, 5, 6});
  EXPECT_FALSE(IsWindow(report));
  EXPECT_EQ(DATReportWindowOpen, 0);
}

TEST_F(DATReportTest, AFileThatCannotBeOpenedIsReportedAndClosesTheReport) {
  ASSERT_TRUE(DeleteFileA((DataDir() + "F3.DAT").c_str()));
  ReportResponder responder;
  responder.Expect(kFileAccessText, IDOK);
  const HWND report = Report(3, kAllDATTests);
  EXPECT_FALSE(IsWindow(report));
  EXPECT_EQ(DATReportWindowOpen, 0);
}

TEST_F(DATReportTest, ButtonsOtherThanCloseDoNothingUntilTheListArrives) {
  const HWND report = ReportDATErrors(MDIFrame, DataDir().c_str(), 1);
  ASSERT_NE(report, nullptr);
  ReportResponder responder;  // any box or dialog would fail the test
  for (int button : {IDOK, IDC_EXPLAIN_ERROR, IDC_SAVE_ERRORS}) ClickButton(report, button);
  gui_harness::DrainMessages();
  EXPECT_TRUE(responder.Seen().empty());
  EXPECT_EQ(gui_harness::WindowText(report), "Testing : Please Wait...");
  ClickButton(report, IDCANCEL);
  EXPECT_FALSE(IsWindow(report));
}

TEST_F(DATReportTest, EveryWayOfClosingClearsTheOpenFlag) {
  struct Case {
    const char* how;
    void (*close)(HWND);
  };
  const Case cases[] = {
      {"Close button", [](HWND report) { ClickButton(report, IDCANCEL); }},
      {"WM_CLOSE", [](HWND report) { SendMessageA(report, WM_CLOSE, 0, 0); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.how);
    for (bool withList : {false, true}) {
      const HWND report =
          withList ? Report(9, kAllDATTests) : ReportDATErrors(MDIFrame, DataDir().c_str(), 9);
      ASSERT_TRUE(IsWindow(report));
      EXPECT_EQ(DATReportWindowOpen, 1);
      c.close(report);
      EXPECT_FALSE(IsWindow(report));
      EXPECT_EQ(DATReportWindowOpen, 0) << (withList ? "after the list arrived" : "while testing");
    }
  }
}

TEST_F(DATReportTest, TheFlagStaysUpWhileAnotherDATReportIsOpen) {
  const HWND first = Report(9, kAllDATTests);
  const HWND second = Report(2, kAllDATTests);
  ASSERT_TRUE(IsWindow(first));
  ASSERT_TRUE(IsWindow(second));
  ClickButton(first, IDCANCEL);
  EXPECT_EQ(DATReportWindowOpen, 1);
  EXPECT_EQ(ListData(Records(second)), (std::vector<LPARAM>{15})) << "the second report keeps its own list";
  ClickButton(second, IDCANCEL);
  EXPECT_EQ(DATReportWindowOpen, 0);
}

TEST_F(DATReportTest, ExplainAsksForARecordAndThenForAProblem) {
  const HWND report = Report(2, {1, 3});
  ReportResponder responder;
  responder.Expect("Please select both a record and an associated problem and try again", IDOK);
  responder.Expect("Please select a problem and try again", IDOK);
  SendMessageA(Records(report), LB_SETCURSEL, static_cast<WPARAM>(-1), 0);
  ClickButton(report, IDC_EXPLAIN_ERROR);
  SendMessageA(Records(report), LB_SETCURSEL, 0, 0);
  SendMessageA(Problems(report), LB_SETCURSEL, static_cast<WPARAM>(-1), 0);
  ClickButton(report, IDC_EXPLAIN_ERROR);
}

struct ExplanationSeen {
  std::string problem, severity, details;
};

// Reads the Error Explanation dialog, then checks that only OK closes it.
std::function<void(HWND)> ReadExplanation(ExplanationSeen& seen) {
  return [&seen](HWND dialog) {
    seen = {ControlText(dialog, IDC_EXPLAIN_PROBLEM), ControlText(dialog, IDC_EXPLAIN_SEVERITY),
            ControlText(dialog, IDC_EXPLAIN_DETAILS)};
    SendMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    EXPECT_TRUE(IsWindow(dialog)) << "Escape must not close the explanation";
    gui_harness::PressButton(dialog, IDOK);
  };
}

// Record 15 of F2 has "High < Low" and "Close < Low", both on the Low column:
// Explain Error explains the one found last by the test, which heads the
// record's defect list.
TEST_F(DATReportTest, ExplainShowsTheFirstDefectOfTheRecordOnTheSelectedColumn) {
  struct Case {
    std::vector<int32_t> order;
    int32_t explained;
  };
  for (const Case& c : {Case{{1, 3}, 3}, Case{{3, 1}, 1}}) {
    SCOPED_TRACE("explained code " + std::to_string(c.explained));
    const HWND report = Report(2, c.order);
    ExplanationSeen seen;
    {
      ReportResponder responder;
      responder.ExpectDialog("Error Explanation", ReadExplanation(seen));
      SelectItem(report, IDC_PROBLEM_LIST, 1);
      ClickButton(report, IDC_EXPLAIN_ERROR);
    }
    EXPECT_EQ(seen.problem, GetDATError(c.explained));
    EXPECT_EQ(seen.severity, "Problems Always");
    EXPECT_EQ(seen.details, GetDATExplanation(c.explained).explanation);
    ClickButton(report, IDCANCEL);
  }
}

TEST_F(DATReportTest, ExplainGivesEachCodesSeverity) {
  struct Case {
    int fileNumber;
    int32_t code;
    const char* severity;
  };
  for (const Case& c : {Case{5, 4, "Problems Possible"}, Case{6, 5, "Problems Always"}}) {
    SCOPED_TRACE("code " + std::to_string(c.code));
    const HWND report = Report(c.fileNumber, {c.code});
    ExplanationSeen seen;
    {
      ReportResponder responder;
      responder.ExpectDialog("Error Explanation", ReadExplanation(seen));
      ClickButton(report, IDC_EXPLAIN_ERROR);
    }
    EXPECT_EQ(seen.problem, GetDATError(c.code));
    EXPECT_EQ(seen.severity, c.severity);
    EXPECT_EQ(seen.details, GetDATExplanation(c.code).explanation);
    ClickButton(report, IDCANCEL);
  }
}

TEST_F(DATReportTest, SaveErrorsWritesTheReportBytes) {
  const HWND report = Report(9, kAllDATTests);
  const std::string saved = root_.Name("f9-report.txt");
  {
    ReportResponder responder;
    responder.ExpectDialog("Save As", [&](HWND dialog) { AnswerSaveDialog(dialog, saved); });
    ClickButton(report, IDC_SAVE_ERRORS);
  }
  ASSERT_TRUE(testing_support::FileExistsNative(saved));
  const testing_support::Bytes bytes = testing_support::ReadBytes(saved);
  const std::string text(bytes.begin(), bytes.end());
  EXPECT_EQ(
      text.rfind("Quorvex\n\r\n\rErrors Found in DAT file (F9.DAT) in directory  '" + DataDir() + "'\n\r", 0),
      0u)
      << text;
  EXPECT_NE(text.find("Instrument name : DATES OUT ORDER\n\r\n\rRecord Number :     30\n\r"),
            std::string::npos);
  EXPECT_NE(text.find("Date : Dates out of order\n\r\n\rRecord Number :     46\n\r"), std::string::npos);
  EXPECT_EQ(text, ExpectedReport(DataDir(), 9, kAllDATTests));
}

TEST_F(DATReportTest, SaveNamesADataFileThatCannotBeReadAndWritesNothing) {
  const HWND report = Report(9, kAllDATTests);
  for (HWND editor : Editors()) SendMessageA(MDIhwnd, WM_MDIDESTROY, reinterpret_cast<WPARAM>(editor), 0);
  ASSERT_TRUE(DeleteFileA((DataDir() + "F9.DAT").c_str()));
  const std::string saved = root_.Name("never.txt");
  {
    ReportResponder responder;
    responder.ExpectDialog("Save As", [&](HWND dialog) { AnswerSaveDialog(dialog, saved); });
    responder.Expect(kFileAccessText, IDOK, DataDir() + "F9.dat");
    ClickButton(report, IDC_SAVE_ERRORS);
  }
  EXPECT_FALSE(testing_support::FileExistsNative(saved));
}

TEST_F(DATReportTest, ACancelledSaveWritesNothing) {
  const HWND report = Report(9, kAllDATTests);
  const DirectorySnapshot before = SnapshotDirectory(root_.Dir());
  {
    ReportResponder responder;
    responder.ExpectDialog("Save As", [](HWND dialog) { gui_harness::PressButton(dialog, IDCANCEL); });
    ClickButton(report, IDC_SAVE_ERRORS);
  }
  EXPECT_EQ(SnapshotDirectory(root_.Dir()), before);
}

TEST_F(DATReportTest, TheArrivingListOpensAnEditorOnTheInstrumentWhichOutlivesTheReport) {
  const HWND report = Report(9, kAllDATTests);
  ASSERT_EQ(Editors().size(), 1u);
  const HWND editor = Editors().front();
  EXPECT_EQ(hwndEdit, editor);
  EXPECT_EQ(EditorOf(editor).session.fileName, DATFileName(DataDir().c_str(), 9));
  ClickButton(report, IDCANCEL);
  EXPECT_TRUE(IsWindow(editor));
}

// F1's corrupt numbers: record 10 on Close (column 4), record 20 on Volume
// (5), record 30 on Date (0). Each step starts where the one before left the
// editor: 527 moves only the record, 528 the record and the column.
TEST_F(DATReportTest, GotoAndTheDoubleClicksLandTheEditorOnTheRecordAndColumn) {
  const HWND report = Report(1, {0});
  ASSERT_EQ(Editors().size(), 1u);
  const HWND editor = Editors().front();
  struct Step {
    const char* what;
    void (*act)(HWND report);
    int32_t record;
    uint16_t column;
  };
  const Step steps[] = {
      {"Goto on record 20 and its problem",
       [](HWND r) {
         SelectItem(r, IDC_RECORD_LIST, 1);
         ClickButton(r, IDOK);
       },
       20, 5},
      {"Goto on record 30 without a problem",
       [](HWND r) {
         SelectItem(r, IDC_RECORD_LIST, 2);
         SendDlgItemMessageA(r, IDC_PROBLEM_LIST, LB_SETCURSEL, static_cast<WPARAM>(-1), 0);
         ClickButton(r, IDOK);
       },
       30, 5},
      {"double-click on record 10", [](HWND r) { DoubleClickItem(r, IDC_RECORD_LIST, 0); }, 10, 5},
      {"double-click on record 10's problem", [](HWND r) { DoubleClickItem(r, IDC_PROBLEM_LIST, 0); }, 10, 4},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.what);
    step.act(report);
    EXPECT_EQ(EditorOf(editor).currentRecord, step.record);
    EXPECT_EQ(EditorOf(editor).topRecord, step.record);
    EXPECT_EQ(EditorOf(editor).currentColumn, step.column);
    EXPECT_EQ(GetFocus(), editor) << "the editor takes the keyboard focus";
  }
}

// Testing a file again while its editor is open steers that editor; a second
// editor on the file could not open it.
TEST_F(DATReportTest, ASecondReportOnTheSameFileSteersTheEditorAlreadyOpen) {
  ClickButton(Report(1, {0}), IDCANCEL);
  ASSERT_EQ(Editors().size(), 1u);
  const HWND editor = Editors().front();
  ReportResponder responder;  // a refused second editor would say so in a box
  const HWND report = Report(1, {0});
  EXPECT_EQ(Editors(), std::vector<HWND>{editor});
  SelectItem(report, IDC_RECORD_LIST, 2);
  ClickButton(report, IDOK);
  EXPECT_EQ(EditorOf(editor).currentRecord, 30);
  EXPECT_EQ(EditorOf(editor).currentColumn, 0);
}

TEST_F(DATReportTest, GotoDoesNothingOnceItsEditorHasClosed) {
  const HWND report = Report(1, {0});
  ASSERT_EQ(Editors().size(), 1u);
  SendMessageA(MDIhwnd, WM_MDIDESTROY, reinterpret_cast<WPARAM>(Editors().front()), 0);
  ReportResponder responder;
  ClickButton(report, IDOK);
  DoubleClickItem(report, IDC_RECORD_LIST, 1);
  EXPECT_TRUE(Editors().empty()) << "no editor is opened again";
  EXPECT_TRUE(IsWindow(report));
}

}  // namespace
