// The Test and Repair DAT File and Test and Repair Master File dialogs
// in-process: what they offer, what their OK runs with which tests and
// options, and their refusals.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "harness/wait.h"
#include "integrity/dat_test.h"
#include "integrity/master_test.h"
#include "integrity/report_windows.h"
#include "integrity/test_dialogs.h"
#include "primitives/memory.h"
#include "integrity_fixture.h"
#include "resource.h"
#include "sample_data.h"
#include "shell/shell_globals.h"

namespace {

using namespace integrity_gui;

using gui_harness::PressButton;

constexpr char kDATCaption[] = "Test and Repair DAT File";
constexpr char kMasterCaption[] = "Test and Repair Master File";
constexpr char kSelectTestText[] = "Please select AT LEAST one test to perform and try again.";
constexpr char kOutOfMemoryText[] = "Unable to allocate memory! Cannot continue this operation.";

const std::vector<std::string> kDATNames = {
    "Close < Low",        "Close > High", "Corrupt Numbers", "Date/Times out of order",
    "Dates out of order", "High < Low",   "Invalid Dates",   "Invalid Times",
    "Open < Low",         "Open > High"};
const std::vector<LPARAM> kDATCodes = {3, 2, 0, 9, 8, 1, 6, 7, 4, 5};
const std::vector<std::string> kMasterNames = {"Bad Master FileType",
                                               "Ending Date not synchronized with DAT file",
                                               "Inconsistent DAT Record Length",
                                               "Invalid DAT Record Length",
                                               "Invalid Data Format",
                                               "Invalid IntraDay Time-Base Specified",
                                               "Missing DAT File",
                                               "Missing DOP File",
                                               "Starting Date not synchronised with DAT file",
                                               "Too few files reported",
                                               "Too many files reported",
                                               "Unknown File Format"};
const std::vector<LPARAM> kMasterCodes = {2, 5, 3, 11, 7, 6, 0, 1, 4, 9, 8, 10};

class TestDialogsTest : public IntegrityWindowTest {
 protected:
  HWND Report(const char* caption) const { return FindThreadDialog(caption); }
};

HWND TestList(HWND dialog) {
  return GetDlgItem(dialog, IDC_TEST_LIST);
}

// Selects the tests and presses OK.
std::function<void(HWND)> RunTests(std::vector<std::string> tests) {
  return [tests](HWND dialog) {
    SelectTests(dialog, tests);
    PressButton(dialog, IDOK);
  };
}

TEST_F(TestDialogsTest, TheDATDialogOffersTheTenTestsByNameNoneSelected) {
  std::string name;
  std::vector<std::string> texts;
  std::vector<LPARAM> codes;
  std::vector<int> selected;
  ReportResponder responder;
  responder.ExpectDialog(kDATCaption, [&](HWND dialog) {
    name = ControlText(dialog, IDC_TEST_FILE);
    texts = ListTexts(TestList(dialog));
    codes = ListData(TestList(dialog));
    selected = SelectedIndexes(TestList(dialog));
    PressButton(dialog, IDCANCEL);
  });
  EXPECT_EQ(TestDAT(MDIFrame, DataDir().c_str(), 7), 1);
  EXPECT_EQ(name, "INVALID DATES");
  EXPECT_EQ(texts, kDATNames);
  EXPECT_EQ(codes, kDATCodes);
  EXPECT_TRUE(selected.empty());
  EXPECT_EQ(DATReportWindowOpen, 0) << "Cancel runs nothing";
}

TEST_F(TestDialogsTest, TheMasterDialogOffersTheTwelveTestsWithOnlyCreateChecked) {
  std::string directory;
  std::vector<std::string> texts;
  std::vector<LPARAM> codes;
  std::map<int, UINT> checks;
  ReportResponder responder;
  responder.ExpectDialog(kMasterCaption, [&](HWND dialog) {
    directory = ControlText(dialog, IDC_TEST_FILE);
    texts = ListTexts(TestList(dialog));
    codes = ListData(TestList(dialog));
    EXPECT_TRUE(SelectedIndexes(TestList(dialog)).empty());
    for (int id : {IDC_TEST_REPAIR, IDC_TEST_PROMPT, IDC_TEST_CREATE_FILES})
      checks[id] = IsDlgButtonChecked(dialog, id);
    PressButton(dialog, IDCANCEL);
  });
  EXPECT_EQ(TestMaster(MDIFrame, MasterDir().c_str()), 0);
  EXPECT_EQ(directory, MasterDir());
  EXPECT_EQ(texts, kMasterNames);
  EXPECT_EQ(codes, kMasterCodes);
  EXPECT_EQ(checks, (std::map<int, UINT>{{IDC_TEST_REPAIR, BST_UNCHECKED},
                                         {IDC_TEST_PROMPT, BST_UNCHECKED},
                                         {IDC_TEST_CREATE_FILES, BST_CHECKED}}));
  EXPECT_EQ(MasterReportWindowOpen, 0);
}

// Memory for the selected tests' codes runs out: the memory message, no
// report, and the dialog stays open with its selection for another try.
TEST_F(TestDialogsTest, OkThatRunsOutOfMemorySaysSoAndTheDialogStaysOpen) {
  struct Case {
    const char* caption;
    const char* test;
    std::function<void()> open;
  };
  const Case cases[] = {
      {kDATCaption, "Invalid Dates", [this] { TestDAT(MDIFrame, DataDir().c_str(), 1); }},
      {kMasterCaption, "Missing DAT File", [this] { TestMaster(MDIFrame, MasterDir().c_str()); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.caption);
    HWND dialog = nullptr;
    bool stayedOpen = false;
    LRESULT stillSelected = 0;
    ReportResponder responder;
    responder.ExpectDialog(c.caption, [&](HWND opened) {
      dialog = opened;
      SelectTests(dialog, {c.test});
      FailNthAllocation(1);
      PressButton(dialog, IDOK);
    });
    responder.ExpectDialog("Quorvex", [&](HWND box) {
      FailNthAllocation(0);
      EXPECT_EQ(gui_harness::MessageBoxText(box), kOutOfMemoryText);
      EXPECT_EQ(GetWindow(box, GW_OWNER), dialog) << "the box belongs to the dialog";
      PressButton(box, IDOK);
      RunFromMessageLoop([&] {
        stayedOpen = IsWindow(dialog) && IsWindowEnabled(dialog);
        stillSelected = SendMessageA(TestList(dialog), LB_GETSELCOUNT, 0, 0);
        PressButton(dialog, IDCANCEL);
      });
    });
    c.open();
    FailNthAllocation(0);
    EXPECT_TRUE(stayedOpen);
    EXPECT_EQ(stillSelected, 1);
    EXPECT_EQ(DATReportWindowOpen + MasterReportWindowOpen, 0) << "no report was opened";
  }
}

TEST_F(TestDialogsTest, OkWithoutATestAsksForOneAndTheDialogStaysOpen) {
  struct Case {
    const char* caption;
    std::function<void()> open;
  };
  const Case cases[] = {
      {kDATCaption, [this] { TestDAT(MDIFrame, DataDir().c_str(), 1); }},
      {kMasterCaption, [this] { TestMaster(MDIFrame, MasterDir().c_str()); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.caption);
    HWND dialog = nullptr;
    bool stayedOpen = false;
    ReportResponder responder;
    responder.ExpectDialog(c.caption, [&](HWND opened) {
      dialog = opened;
      PressButton(dialog, IDOK);
    });
    responder.ExpectDialog("Quorvex", [&](HWND box) {
      EXPECT_EQ(gui_harness::MessageBoxText(box), kSelectTestText);
      EXPECT_EQ(GetWindow(box, GW_OWNER), dialog) << "the box belongs to the dialog";
      PressButton(box, IDOK);
      RunFromMessageLoop([&] {
        stayedOpen = IsWindow(dialog) && IsWindowEnabled(dialog);
        PressButton(dialog, IDCANCEL);
      });
    });
    c.open();
    EXPECT_TRUE(stayedOpen);
    EXPECT_EQ(DATReportWindowOpen + MasterReportWindowOpen, 0) << "no report was opened";
  }
}

// Whatever its place in the list, a test selected alone is the only one run.
TEST_F(TestDialogsTest, TheDATDialogRunsTheSelectedTestsOnly) {
  struct Case {
    int fileNumber;
    std::vector<std::string> tests;
    std::vector<std::string> records;
    std::vector<std::string> firstProblems;
  };
  const Case cases[] = {
      {9, {"Dates out of order"}, {"00000030", "00000046"}, {"Dates out of order"}},
      {2, {"Close < Low"}, {"00000015"}, {"Close < Low"}},
      {2, {"High < Low", "Open > High"}, {"00000015"}, {"High < Low"}},
      {1, {"Corrupt Numbers"}, {"00000010", "00000020", "00000030"}, {"Close : Corrupt Numbers"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("F" + std::to_string(c.fileNumber) + ", " + c.tests.front());
    ReportResponder responder;
    responder.ExpectDialog(kDATCaption, RunTests(c.tests));
    EXPECT_EQ(TestDAT(MDIFrame, DataDir().c_str(), static_cast<int16_t>(c.fileNumber)), 1);
    const HWND report = Report("DAT File Errors");
    ASSERT_NE(report, nullptr) << "the report outlives the dialog";
    EXPECT_EQ(ListTexts(GetDlgItem(report, IDC_RECORD_LIST)), c.records);
    EXPECT_EQ(ListTexts(GetDlgItem(report, IDC_PROBLEM_LIST)), c.firstProblems);
    ClickButton(report, IDCANCEL);
  }
}

// The tests run on each record in the listed order, so the defect found by
// the later-listed test heads the record's defect list, and that is the one
// Explain Error gives for two problems on one column.
TEST_F(TestDialogsTest, AllDATTestsRunInTheListedOrder) {
  ReportResponder responder;
  responder.ExpectDialog(kDATCaption, RunTests(kDATNames));
  std::string explained;
  responder.ExpectDialog("Error Explanation", [&](HWND dialog) {
    explained = ControlText(dialog, IDC_EXPLAIN_PROBLEM);
    PressButton(dialog, IDOK);
  });
  TestDAT(MDIFrame, DataDir().c_str(), 2);
  const HWND report = Report("DAT File Errors");
  ASSERT_NE(report, nullptr);
  ClickButton(report, IDC_EXPLAIN_ERROR);
  EXPECT_EQ(explained, "High < Low");
  ClickButton(report, IDCANCEL);
}

TEST_F(TestDialogsTest, ATestThatFindsNothingLeavesNoReport) {
  ReportResponder responder;
  responder.ExpectDialog(kDATCaption, RunTests({"Open < Low", "Open > High"}));
  responder.Expect("No Errors Found", IDOK);
  EXPECT_EQ(TestDAT(MDIFrame, DataDir().c_str(), 4), 1);  // five fields: no Open column
  EXPECT_EQ(Report("DAT File Errors"), nullptr);
  EXPECT_EQ(DATReportWindowOpen, 0);
}

TEST_F(TestDialogsTest, TestDATForAnInstrumentNotInMasterSaysSoWithoutADialog) {
  ReportResponder responder;
  responder.Expect("Unable to find Instrument", IDOK);
  EXPECT_EQ(TestDAT(MDIFrame, DataDir().c_str(), 77), 0);
}

TEST_F(TestDialogsTest, TheMasterDialogForADirectoryWithoutMasterSaysFileDoesNotExist) {
  ReportResponder responder;
  responder.ExpectDialog(kMasterCaption, RunTests({"Missing DAT File"}));
  responder.Expect("File does not exist!", IDOK);
  EXPECT_EQ(TestMaster(MDIFrame, Dir("Nested\\").c_str()), 0);
  EXPECT_EQ(MasterReportWindowOpen, 0) << "no report window is created";
}

// The default options (only "Create files where none exist") report but
// repair nothing: repair is off.
TEST_F(TestDialogsTest, TheMasterDialogsDefaultsReportWithoutRepairing) {
  const DirectorySnapshot before = SnapshotDirectory(MasterDir());
  ReportResponder responder;
  responder.ExpectDialog(kMasterCaption, RunTests(kMasterNames));
  TestMaster(MDIFrame, MasterDir().c_str());
  const HWND report = Report("Master File Errors");
  ASSERT_NE(report, nullptr);
  EXPECT_EQ(ListTexts(GetDlgItem(report, IDC_INSTRUMENT_LIST)).size(), 12u);
  EXPECT_EQ(ListTexts(GetDlgItem(report, IDC_PROBLEM_LIST)),
            std::vector<std::string>{"Not Repaired : Missing DAT File"});
  EXPECT_TRUE(SnapshotDirectory(MasterDir()) == before) << "the directory changed";
  ClickButton(report, IDCANCEL);
}

// The sample's master defects in the order the test meets them: the header,
// then the records in file order.
std::vector<std::pair<int, int>> SampleMasterDefects() {
  std::map<int, std::vector<int>> byFile;
  for (const auto& defect : sample::GetSampleTree().masterDefects) {
    if (defect.directory == "Damaged/Master") byFile[defect.fileNumber].push_back(defect.code);
  }
  std::vector<std::pair<int, int>> ordered;
  for (const auto& [fileNumber, codes] : byFile) {
    for (int code : codes) ordered.push_back({fileNumber, code});
  }
  return ordered;
}

std::vector<std::string> ProblemsOf(HWND report, const std::string& instrument) {
  SelectItemByText(report, IDC_INSTRUMENT_LIST, instrument);
  return ListTexts(GetDlgItem(report, IDC_PROBLEM_LIST));
}

// Repair with prompting and without creating files: every defect but the two
// missing files is asked about; the one answered No stays as it was.
TEST_F(TestDialogsTest, TheMasterDialogsOptionsRepairAskAndCreateAsChecked) {
  ReportResponder responder;
  responder.ExpectDialog(kMasterCaption, [](HWND dialog) {
    CheckDlgButton(dialog, IDC_TEST_REPAIR, BST_CHECKED);
    CheckDlgButton(dialog, IDC_TEST_PROMPT, BST_CHECKED);
    CheckDlgButton(dialog, IDC_TEST_CREATE_FILES, BST_UNCHECKED);
    RunTests(kMasterNames)(dialog);
  });
  for (const auto& [fileNumber, code] : SampleMasterDefects()) {
    if (code <= 1) continue;
    const bool refuse = code == static_cast<int>(MasterErrorCode::BadFileType);
    responder.Expect(GetMasterRepairQuestion(code), refuse ? IDNO : IDYES);
  }
  TestMaster(MDIFrame, MasterDir().c_str());
  const HWND report = Report("Master File Errors");
  ASSERT_NE(report, nullptr);
  EXPECT_EQ(ProblemsOf(report, "F1 : MISSING DATA"),
            std::vector<std::string>{"Not Repaired : Missing DAT File"});
  EXPECT_EQ(ProblemsOf(report, "F3 : BAD FILE TYPE"),
            std::vector<std::string>{"Not Repaired : Bad Master FileType"});
  EXPECT_EQ(ProblemsOf(report, "F7 : DAILY TIME BASE"),
            std::vector<std::string>{"Repaired     : Invalid IntraDay Time-Base Specified"});
  EXPECT_EQ(ProblemsOf(report, "File Header"),
            std::vector<std::string>{"Repaired     : Too many files reported"});
  EXPECT_FALSE(testing_support::FileExistsNative(MasterDir() + "F1.DAT"));
  const testing_support::Bytes master = testing_support::ReadBytes(MasterDir() + "master");
  EXPECT_EQ(master[0] | master[1] << 8, 11) << "the header now counts the records";
  EXPECT_EQ(master[53 * 3 + 1] | master[53 * 3 + 2] << 8, 0) << "F3's file type is left as it was";
  ClickButton(report, IDCANCEL);
}

TEST_F(TestDialogsTest, RepairWithoutPromptCreatesTheMissingFiles) {
  ReportResponder responder;
  responder.ExpectDialog(kMasterCaption, [](HWND dialog) {
    CheckDlgButton(dialog, IDC_TEST_REPAIR, BST_CHECKED);
    RunTests({"Missing DAT File", "Missing DOP File"})(dialog);
  });
  TestMaster(MDIFrame, MasterDir().c_str());
  const HWND report = Report("Master File Errors");
  ASSERT_NE(report, nullptr);
  EXPECT_EQ(ProblemsOf(report, "F1 : MISSING DATA"),
            std::vector<std::string>{"Repaired     : Missing DAT File"});
  EXPECT_EQ(ProblemsOf(report, "F2 : MISSING COLUMNS"),
            std::vector<std::string>{"Repaired     : Missing DOP File"});
  EXPECT_TRUE(testing_support::FileExistsNative(MasterDir() + "F1.DAT"));
  EXPECT_TRUE(testing_support::FileExistsNative(MasterDir() + "F2.DOP"));
  ClickButton(report, IDCANCEL);
}

}  // namespace
