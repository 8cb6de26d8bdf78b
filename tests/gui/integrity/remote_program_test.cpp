// The remote test requests end to end: this program plays the outside
// program, starts the real quorvex.exe in utility mode on the sample tree,
// sends "KXUTILTESTDAT" and "KXUTILTESTMASTER" and checks what a person sees
// (the report windows, their lists, screenshots of both), what the sender
// gets back, and what becomes of the program and the data.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "harness/dialog_responder.h"
#include "harness/program.h"
#include "harness/screenshot.h"
#include "harness/wait.h"
#include "resource.h"
#include "sample_data.h"
#include "support/temp_dir.h"

#ifndef QUORVEX_PROGRAM
#error "QUORVEX_PROGRAM names the program under test"
#endif

namespace {

using namespace std::chrono_literals;
using gui_harness::MessageBoxText;
using gui_harness::Program;
using gui_harness::RemoteRequest;
using gui_harness::WaitUntil;

constexpr auto kStartLimit = 30s;
constexpr auto kStepLimit = 15s;

// Another process's list box, read as the DAT and master reports show it.
// LB_GETTEXT across processes is only faithful in its wide form.
std::vector<std::string> RemoteListTexts(HWND list) {
  std::vector<std::string> texts;
  const LRESULT count = SendMessageA(list, LB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    std::wstring wide(static_cast<size_t>(SendMessageW(list, LB_GETTEXTLEN, i, 0)) + 1, L'\0');
    SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(wide.data()));
    wide.resize(wide.size() - 1);
    texts.emplace_back(wide.begin(), wide.end());
  }
  return texts;
}

std::vector<LPARAM> RemoteListData(HWND list) {
  std::vector<LPARAM> data;
  const LRESULT count = SendMessageA(list, LB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) data.push_back(SendMessageA(list, LB_GETITEMDATA, i, 0));
  return data;
}

struct DirectoryBytes {
  std::vector<std::string> names;
  std::vector<testing_support::Bytes> contents;
  bool operator==(const DirectoryBytes&) const = default;
};

DirectoryBytes ReadDirectory(const std::string& directory) {
  DirectoryBytes bytes;
  WIN32_FIND_DATAA found{};
  const HANDLE search = FindFirstFileA((directory + "*.*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return bytes;
  do {
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    bytes.names.push_back(found.cFileName);
    bytes.contents.push_back(testing_support::ReadBytes(directory + found.cFileName));
  } while (FindNextFileA(search, &found));
  FindClose(search);
  return bytes;
}

class RemoteRequests : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(sample::WriteSampleData(root_.Path(""), &error)) << error;
  }

  // The directory text of a sample directory and its path part, which names
  // it without the trailing backslash.
  std::string Dir(const std::string& relative) const { return root_.Dir() + relative + "\\"; }
  std::string PathPart(const std::string& relative) const {
    return "PATH:\"" + root_.Dir() + relative + "\"";
  }

  HWND StartAndWaitForFrame(Program& program) {
    HWND frame = nullptr;
    EXPECT_TRUE(WaitUntil(
        "the frame of the utility-mode program", [&] { return (frame = program.Frame()) != nullptr; },
        kStartLimit));
    return frame;
  }

  testing_support::TempDir root_;
};

HWND WaitForWindow(const Program& program, const std::string& caption) {
  HWND window = nullptr;
  EXPECT_TRUE(WaitUntil(
      "the window \"" + caption + "\"",
      [&] { return (window = gui_harness::FindProgramDialog(program, caption)) != nullptr; }, kStepLimit));
  return window;
}

// Answers the next message box of the program (caption "Quorvex"), which
// must have this text.
void AnswerBox(const Program& program, const std::string& text) {
  const HWND box = WaitForWindow(program, "Quorvex");
  ASSERT_NE(box, nullptr) << "no box \"" << text << "\"";
  EXPECT_EQ(MessageBoxText(box), text);
  gui_harness::PressButton(box, IDOK);
  ASSERT_TRUE(WaitUntil(
      "the box \"" + text + "\" to close", [&] { return !IsWindow(box); }, kStepLimit));
}

// Waits until the list box has been painted (its middle shows the window
// colour of an empty area or the highlight of a selected item), so that a
// screenshot shows what a person sees.
void WaitUntilPainted(HWND list) {
  RECT area{};
  GetClientRect(list, &area);
  const COLORREF window = GetSysColor(COLOR_WINDOW);
  EXPECT_TRUE(WaitUntil(
      "the report's lists to be painted",
      [&] { return gui_harness::ClientPixel(list, area.right - 4, area.bottom - 4) == window; }, kStepLimit));
}

void ExpectExit(Program& program) {
  DWORD code = 12345;
  ASSERT_TRUE(program.WaitForExit(code, kStepLimit));
  EXPECT_EQ(code, 0u);
}

TEST_F(RemoteRequests, ADATRequestShowsTheReportWaitsForItToCloseThenEndsTheProgram) {
  Program program(QUORVEX_PROGRAM, "AUTOTEST TESTDAT " + PathPart("Damaged\\Data") + " FILE:9");
  const HWND frame = StartAndWaitForFrame(program);
  ASSERT_NE(frame, nullptr);
  RemoteRequest request(frame, "KXUTILTESTDAT");
  const HWND report = WaitForWindow(program, "DAT File Errors");
  ASSERT_NE(report, nullptr);
  const HWND records = GetDlgItem(report, IDC_RECORD_LIST);
  EXPECT_EQ(RemoteListTexts(records), (std::vector<std::string>{"00000030", "00000046"}));
  EXPECT_EQ(RemoteListData(records), (std::vector<LPARAM>{30, 46}));
  EXPECT_EQ(RemoteListTexts(GetDlgItem(report, IDC_PROBLEM_LIST)),
            std::vector<std::string>{"Dates out of order"});
  WaitUntilPainted(records);
  EXPECT_FALSE(gui_harness::SaveScreenshot("integrity-dat-report").empty());

  EXPECT_FALSE(request.Done()) << "the sender waits while the report is open";
  EXPECT_TRUE(program.Running());
  gui_harness::PressButton(report, IDCANCEL);
  ASSERT_TRUE(WaitUntil(
      "the answer to KXUTILTESTDAT", [&] { return request.Done(); }, kStepLimit));
  EXPECT_TRUE(request.Answered());
  EXPECT_EQ(request.Result(), -1);
  ExpectExit(program);
}

// The remote DAT test runs every test but the two Open ones: the open-price
// defects of F5 and F6 are not looked for.
TEST_F(RemoteRequests, ADATRequestLeavesOutTheOpenTests) {
  struct Case {
    const char* file;
    std::vector<std::string> records;
  };
  for (const Case& c : {Case{"FILE:5", {}}, Case{"FILE:6", {}}, Case{"FILE:7", {"00000040"}}}) {
    SCOPED_TRACE(c.file);
    Program program(QUORVEX_PROGRAM, "AUTOTEST TESTDAT " + PathPart("Damaged\\Data") + " " + c.file);
    const HWND frame = StartAndWaitForFrame(program);
    ASSERT_NE(frame, nullptr);
    RemoteRequest request(frame, "KXUTILTESTDAT");
    if (c.records.empty()) {
      AnswerBox(program, "No Errors Found");
    } else {
      const HWND report = WaitForWindow(program, "DAT File Errors");
      ASSERT_NE(report, nullptr);
      EXPECT_EQ(RemoteListTexts(GetDlgItem(report, IDC_RECORD_LIST)), c.records);
      SendMessageA(report, WM_CLOSE, 0, 0);
    }
    ASSERT_TRUE(WaitUntil(
        "the answer to KXUTILTESTDAT", [&] { return request.Done(); }, kStepLimit));
    EXPECT_EQ(request.Result(), -1);
    ExpectExit(program);
  }
}

TEST_F(RemoteRequests, ADATRequestForADataFileThatCannotBeOpenedSaysSoAndEndsTheProgram) {
  // Stocks F6 has a master record but no data file.
  Program program(QUORVEX_PROGRAM, "AUTOTEST TESTDAT " + PathPart("Stocks") + " FILE:6");
  const HWND frame = StartAndWaitForFrame(program);
  ASSERT_NE(frame, nullptr);
  RemoteRequest request(frame, "KXUTILTESTDAT");
  AnswerBox(
      program,
      "File is read only or has been opened by another process, check permissions for this file and/or close "
      "the file in any applications that are using it.");
  ASSERT_TRUE(WaitUntil(
      "the answer to KXUTILTESTDAT", [&] { return request.Done(); }, kStepLimit));
  EXPECT_EQ(request.Result(), -1);
  ExpectExit(program);
}

// A remote master test only reports: no option is on, so not one byte of the
// directory changes, and the program stays open for the user to close.
TEST_F(RemoteRequests, AMasterRequestShowsThePathThenTheReportChangesNothingAndStaysOpen) {
  const std::string directory = Dir("Damaged\\Master");
  const DirectoryBytes before = ReadDirectory(directory);
  Program program(QUORVEX_PROGRAM, "AUTOTEST TESTMASTER " + PathPart("Damaged\\Master"));
  const HWND frame = StartAndWaitForFrame(program);
  ASSERT_NE(frame, nullptr);
  RemoteRequest request(frame, "KXUTILTESTMASTER");
  AnswerBox(program, directory);

  const HWND report = WaitForWindow(program, "Master File Errors");
  ASSERT_NE(report, nullptr);
  const HWND instruments = GetDlgItem(report, IDC_INSTRUMENT_LIST);
  const std::vector<std::string> texts = RemoteListTexts(instruments);
  ASSERT_EQ(texts.size(), 12u);
  EXPECT_EQ(texts.front(), "F1 : MISSING DATA");
  EXPECT_EQ(texts.back(), "File Header");
  EXPECT_EQ(RemoteListTexts(GetDlgItem(report, IDC_PROBLEM_LIST)),
            std::vector<std::string>{"Not Repaired : Missing DAT File"})
      << "nothing is repaired by a remote test";
  WaitUntilPainted(instruments);
  EXPECT_FALSE(gui_harness::SaveScreenshot("integrity-master-report").empty());
  EXPECT_FALSE(request.Done()) << "the sender waits while the report is open";

  gui_harness::PressButton(report, IDCANCEL);
  ASSERT_TRUE(WaitUntil(
      "the answer to KXUTILTESTMASTER", [&] { return request.Done(); }, kStepLimit));
  EXPECT_EQ(request.Result(), -1);
  EXPECT_TRUE(ReadDirectory(directory) == before) << "a remote master test changed the directory";

  ASSERT_TRUE(program.Running()) << "the program must stay open after a master request";
  PostMessageA(frame, WM_COMMAND, IDM_EXIT, 0);
  ExpectExit(program);
}

TEST_F(RemoteRequests, AMasterRequestOnASoundDirectorySaysNoErrorsFoundAndStaysOpen) {
  Program program(QUORVEX_PROGRAM, "AUTOTEST TESTMASTER " + PathPart("Intraday"));
  const HWND frame = StartAndWaitForFrame(program);
  ASSERT_NE(frame, nullptr);
  RemoteRequest request(frame, "KXUTILTESTMASTER");
  AnswerBox(program, Dir("Intraday"));
  AnswerBox(program, "No Errors Found");
  ASSERT_TRUE(WaitUntil(
      "the answer to KXUTILTESTMASTER", [&] { return request.Done(); }, kStepLimit));
  EXPECT_EQ(request.Result(), -1);
  ASSERT_TRUE(program.Running());
  PostMessageA(frame, WM_COMMAND, IDM_EXIT, 0);
  ExpectExit(program);
}

}  // namespace
