// The Master File Errors window in-process: its lists over the sample's
// Damaged/Master directory, Correct on every defect the sample plants (and
// its two refusals), explanations, the saved report and closing.
#include <windows.h>

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "harness/wait.h"
#include "integrity/error_list.h"
#include "integrity/error_reports.h"
#include "integrity/explanations.h"
#include "integrity/master_test.h"
#include "integrity/messages.h"
#include "integrity/report_windows.h"
#include "integrity_fixture.h"
#include "resource.h"
#include "sample_data.h"
#include "shell/shell_globals.h"

namespace {

using namespace integrity_gui;

const std::vector<int32_t> kAllMasterTests = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};

// A master test run without a window, its findings kept.
class Collector : public ReportTarget {
 public:
  ~Collector() override { KillErrorList(list_); }
  void ErrorListReady(List* errorList) override { list_ = errorList; }
  void Close() override {}
  void ShowNotice(const char* text) override { notice_ = text; }
  bool AskYesNo(const char*) override { return false; }
  List* list_ = nullptr;
  std::string notice_;
};

class MasterReportTest : public IntegrityWindowTest {
 protected:
  HWND Open() {
    const HWND report = ReportMasterErrors(MDIFrame, MasterDir().c_str());
    EXPECT_NE(report, nullptr);
    return report;
  }
  // The report with the findings of every master test, nothing repaired.
  HWND Report() {
    const HWND report = Open();
    TestMasterFile(MasterDir().c_str(), report, kAllMasterTests.data(),
                   static_cast<int>(kAllMasterTests.size()), 0, 0, 0);
    return report;
  }
  // Selects the instrument and the problem, then presses Correct.
  void Correct(HWND report, const std::string& instrument, const std::string& problem) {
    SelectItemByText(report, IDC_INSTRUMENT_LIST, instrument);
    SelectItemByText(report, IDC_PROBLEM_LIST, problem);
    ClickButton(report, IDOK);
  }
  testing_support::Bytes Master() const { return testing_support::ReadBytes(MasterDir() + "master"); }
};

HWND Instruments(HWND report) {
  return GetDlgItem(report, IDC_INSTRUMENT_LIST);
}
HWND Problems(HWND report) {
  return GetDlgItem(report, IDC_PROBLEM_LIST);
}

std::string InstrumentItem(int fileNumber) {
  if (fileNumber == 0) return "File Header";
  for (const auto& instrument : sample::GetSampleTree().instruments) {
    if (instrument.directory == "Damaged/Master" && instrument.fileNumber == fileNumber) {
      return "F" + std::to_string(fileNumber) + " : " + instrument.name;
    }
  }
  return "no such instrument";
}

// The sample's master defects by file number, in the order the test finds
// them.
std::map<int, std::vector<int>> SampleMasterDefects() {
  std::map<int, std::vector<int>> defects;
  for (const auto& defect : sample::GetSampleTree().masterDefects) {
    if (defect.directory == "Damaged/Master") defects[defect.fileNumber].push_back(defect.code);
  }
  return defects;
}

TEST_F(MasterReportTest, CaptionSaysTestingUntilTheListArrivesThenMasterFileErrors) {
  const HWND report = Open();
  EXPECT_EQ(gui_harness::WindowText(report), "Testing : Please Wait");
  EXPECT_EQ(MasterReportWindowOpen, 1);
  TestMasterFile(MasterDir().c_str(), report, kAllMasterTests.data(), 12, 0, 0, 0);
  EXPECT_EQ(gui_harness::WindowText(report), "Master File Errors");
}

// The list box sorts by text: "F10" before "F2", and "File Header" last.
TEST_F(MasterReportTest, InstrumentsAreSortedByTextWithTheirFileNumbersAsData) {
  const HWND report = Report();
  const std::vector<std::string> expected = {
      "F1 : MISSING DATA",    "F10 : ODD RECORD SIZE", "F11 : NEGATIVE BASE", "F2 : MISSING COLUMNS",
      "F3 : BAD FILE TYPE",   "F4 : BAD FIELD COUNT",  "F5 : START DATE OFF", "F6 : END DATE OFF",
      "F7 : DAILY TIME BASE", "F8 : BAD PERIOD",       "F9 : RESERVED BYTES", "File Header"};
  EXPECT_EQ(ListTexts(Instruments(report)), expected);
  EXPECT_EQ(ListData(Instruments(report)), (std::vector<LPARAM>{1, 10, 11, 2, 3, 4, 5, 6, 7, 8, 9, 0}));
  EXPECT_EQ(SelectedText(Instruments(report)), "F1 : MISSING DATA");
  EXPECT_EQ(ListTexts(Problems(report)), std::vector<std::string>{"Not Repaired : Missing DAT File"})
      << "the first instrument's problems are shown";
}

TEST_F(MasterReportTest, EachEntryListsItsDefectsAsNotRepairedWithTheirCodes) {
  const HWND report = Report();
  for (const auto& [fileNumber, codes] : SampleMasterDefects()) {
    SCOPED_TRACE(InstrumentItem(fileNumber));
    SelectItemByText(report, IDC_INSTRUMENT_LIST, InstrumentItem(fileNumber));
    std::vector<std::string> texts;
    std::vector<LPARAM> data;
    for (int code : codes) {
      texts.push_back(std::string("Not Repaired : ") + GetMasterError(code));
      data.push_back(code);
    }
    EXPECT_EQ(ListTexts(Problems(report)), texts);
    EXPECT_EQ(ListData(Problems(report)), data);
  }
}

bool HasDefect(const List* errors, int fileNumber, int code) {
  for (const ListNode* node = errors ? errors->first : nullptr; node != nullptr; node = node->next) {
    if (MasterEntryOf(node)->fileNumber != fileNumber) continue;
    for (const ListNode* d = MasterEntryOf(node)->defects->first; d != nullptr; d = d->next) {
      if (MasterDefectOf(d)->errorCode == code) return true;
    }
  }
  return false;
}

// Correct on every defect the sample plants, each a code with its own
// correction; afterwards the master test finds none of them again. Only the
// odd record size leaves a defect behind: its correction fixes the record
// length and keeps the field count, which then no longer matches it.
TEST_F(MasterReportTest, CorrectRepairsEverySampleDefectAndMarksIt) {
  const HWND report = Report();
  for (const auto& [fileNumber, codes] : SampleMasterDefects()) {
    for (int code : codes) {
      SCOPED_TRACE(InstrumentItem(fileNumber) + ", " + GetMasterError(code));
      const testing_support::Bytes before = Master();
      Correct(report, InstrumentItem(fileNumber), std::string("Not Repaired : ") + GetMasterError(code));
      EXPECT_EQ(SelectedText(Problems(report)), std::string("Repaired     : ") + GetMasterError(code));
      if (code > 1) {
        EXPECT_NE(Master(), before) << "the correction rewrites master";
      }
    }
  }
  EXPECT_TRUE(testing_support::FileExistsNative(MasterDir() + "F1.DAT"));
  EXPECT_TRUE(testing_support::FileExistsNative(MasterDir() + "F2.DOP"));

  Collector retest;
  TestMasterFile(MasterDir().c_str(), retest, kAllMasterTests.data(), 12, 0, 0, 0);
  for (const auto& [fileNumber, codes] : SampleMasterDefects()) {
    for (int code : codes)
      EXPECT_FALSE(HasDefect(retest.list_, fileNumber, code)) << fileNumber << ", " << code;
  }
  ASSERT_NE(retest.list_, nullptr);
  EXPECT_EQ(CountListItems(retest.list_), 1);
  EXPECT_TRUE(HasDefect(retest.list_, 10, static_cast<int>(MasterErrorCode::InconsistentRecordLength)));
}

TEST_F(MasterReportTest, CorrectOnTheHeaderCountsTheRecords) {
  const HWND report = Report();
  Correct(report, "File Header", "Not Repaired : Too many files reported");
  EXPECT_EQ(ListTexts(Problems(report)), std::vector<std::string>{"Repaired     : Too many files reported"});
  const testing_support::Bytes master = Master();
  EXPECT_EQ(master[0] | master[1] << 8, 11);
}

TEST_F(MasterReportTest, CorrectingTwiceSaysTheErrorHasAlreadyBeenRepaired) {
  const HWND report = Report();
  Correct(report, "F3 : BAD FILE TYPE", "Not Repaired : Bad Master FileType");
  const testing_support::Bytes repaired = Master();
  ReportResponder responder;
  responder.Expect("This error has already been repaired", IDOK);
  ClickButton(report, IDOK);
  EXPECT_EQ(Master(), repaired);
}

TEST_F(MasterReportTest, DoubleClickOnAProblemCorrectsIt) {
  const HWND report = Report();
  SelectItemByText(report, IDC_INSTRUMENT_LIST, "F9 : RESERVED BYTES");
  DoubleClickItem(report, IDC_PROBLEM_LIST, 0);
  EXPECT_EQ(ListTexts(Problems(report)), std::vector<std::string>{"Repaired     : Unknown File Format"});
}

// A correction that cannot be made leaves master as it was and the defect
// "Not Repaired", to be tried again.
TEST_F(MasterReportTest, ACorrectionThatCannotBeMadeSaysRepairUnsuccessfull) {
  struct Case {
    const char* what;
    const char* instrument;
    const char* problem;
    void (*spoil)(const std::string& directory);
  };
  const Case cases[] = {
      {"start date of a data file that cannot be opened", "F5 : START DATE OFF",
       "Not Repaired : Starting Date not synchronised with DAT file",
       [](const std::string& dir) { ASSERT_TRUE(DeleteFileA((dir + "F5.DAT").c_str())); }},
      {"data format of a file of daily records", "F8 : BAD PERIOD", "Not Repaired : Invalid Data Format",
       [](const std::string& dir) {
         ASSERT_TRUE(CopyFileA((dir + "F7.DAT").c_str(), (dir + "F8.DAT").c_str(), FALSE));
       }},
  };
  const HWND report = Report();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    c.spoil(MasterDir());
    const testing_support::Bytes before = Master();
    {
      ReportResponder responder;
      responder.Expect("Repair Unsuccessfull", IDOK);
      Correct(report, c.instrument, c.problem);
    }
    EXPECT_EQ(Master(), before);
    EXPECT_EQ(SelectedText(Problems(report)), c.problem);
  }
}

TEST_F(MasterReportTest, ExplainBeforeTheListArrivesAsksForAProblem) {
  const HWND report = Open();
  ReportResponder responder;
  responder.Expect("Please select a problem to explain and then try again.", IDOK);
  ClickButton(report, IDC_EXPLAIN_ERROR);
}

TEST_F(MasterReportTest, ExplainShowsTheSelectedProblem) {
  const HWND report = Report();
  {
    ReportResponder responder;  // no problem selected: nothing happens
    SendMessageA(Problems(report), LB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    ClickButton(report, IDC_EXPLAIN_ERROR);
    gui_harness::DrainMessages();
  }
  struct Case {
    const char* instrument;
    int32_t code;
    const char* severity;
  };
  for (const Case& c : {Case{"F3 : BAD FILE TYPE", 2, "Unlikely to cause problems"},
                        Case{"F2 : MISSING COLUMNS", 1, "Problems Possible"},
                        Case{"F10 : ODD RECORD SIZE", 11, "Problems Always"}}) {
    SCOPED_TRACE(c.instrument);
    SelectItemByText(report, IDC_INSTRUMENT_LIST, c.instrument);
    std::string problem, severity, details;
    {
      ReportResponder responder;
      responder.ExpectDialog("Error Explanation", [&](HWND dialog) {
        problem = ControlText(dialog, IDC_EXPLAIN_PROBLEM);
        severity = ControlText(dialog, IDC_EXPLAIN_SEVERITY);
        details = ControlText(dialog, IDC_EXPLAIN_DETAILS);
        gui_harness::PressButton(dialog, IDOK);
      });
      ClickButton(report, IDC_EXPLAIN_ERROR);
    }
    EXPECT_EQ(problem, GetMasterError(c.code));
    EXPECT_EQ(severity, c.severity);
    EXPECT_EQ(details, GetMasterExplanation(c.code).explanation);
  }
}

TEST_F(MasterReportTest, SaveErrorsWritesTheReportWithTheRepairsAsTheyStand) {
  Collector expected;
  TestMasterFile(MasterDir().c_str(), expected, kAllMasterTests.data(), 12, 0, 0, 0);
  ASSERT_NE(expected.list_, nullptr);
  ASSERT_TRUE(
      MarkMasterErrorRepaired(expected.list_, 0, static_cast<int32_t>(MasterErrorCode::TooManyFiles)));

  const HWND report = Report();
  Correct(report, "File Header", "Not Repaired : Too many files reported");
  const std::string saved = root_.Name("master-report.txt");
  {
    ReportResponder responder;
    responder.ExpectDialog("Save As", [&](HWND dialog) { AnswerSaveDialog(dialog, saved); });
    ClickButton(report, IDC_SAVE_ERRORS);
  }
  const testing_support::Bytes bytes = testing_support::ReadBytes(saved);
  const std::string text(bytes.begin(), bytes.end());
  EXPECT_EQ(text.rfind(
                "Quorvex\n\r\n\rErrors Found in Master file for directory  '" + MasterDir() +
                    "'\n\r\n\rHeader Record Errors : \n\rRepaired     : Too many files reported\n\r\n\r"
                    "MasterRecord For File F1.dat (MISSING DATA) Errors :\n\rNot Repaired : Missing DAT File",
                0),
            0u)
      << text;
  EXPECT_EQ(text, FormatMasterErrorReport(MasterDir().c_str(), expected.list_));
}

TEST_F(MasterReportTest, AReportFileThatCannotBeWrittenIsNamedInTheBoxCaption) {
  const HWND report = Report();
  const std::string saved = root_.Name("held.txt");
  testing_support::WriteBytes(saved, {'x'});
  // Held without sharing, as another program might hold it.
  const HANDLE held = CreateFileA(saved.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  {
    ReportResponder responder;
    responder.ExpectDialog("Save As", [&](HWND dialog) { AnswerSaveDialog(dialog, saved); });
    // The system's own question (here in Wine's words): replace the file?
    responder.Expect("File already exists.\nDo you want to replace it?", IDYES, "Error");
    responder.Expect(GetError(2), IDOK, saved);
    ClickButton(report, IDC_SAVE_ERRORS);
  }
  CloseHandle(held);
  EXPECT_EQ(testing_support::ReadBytes(saved), testing_support::Bytes{'x'});
}

TEST_F(MasterReportTest, EveryWayOfClosingClearsTheOpenFlag) {
  for (bool byButton : {true, false}) {
    for (bool withList : {false, true}) {
      SCOPED_TRACE(std::string(byButton ? "Close" : "WM_CLOSE") +
                   (withList ? " with a list" : " while testing"));
      const HWND report = withList ? Report() : Open();
      EXPECT_EQ(MasterReportWindowOpen, 1);
      if (byButton) {
        ClickButton(report, IDCANCEL);
      } else {
        SendMessageA(report, WM_CLOSE, 0, 0);
      }
      EXPECT_FALSE(IsWindow(report));
      EXPECT_EQ(MasterReportWindowOpen, 0);
    }
  }
}

TEST_F(MasterReportTest, ASoundDirectorySaysNoErrorsFoundAndClosesTheReport) {
  const HWND report = ReportMasterErrors(MDIFrame, Dir("Intraday\\").c_str());
  ReportResponder responder;
  responder.Expect("No Errors Found", IDOK);
  TestMasterFile(Dir("Intraday\\").c_str(), report, kAllMasterTests.data(), 12, 0, 0, 0);
  EXPECT_FALSE(IsWindow(report));
  EXPECT_EQ(MasterReportWindowOpen, 0);
}

}  // namespace
