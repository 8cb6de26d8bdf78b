// The browser's Test (514) and Test Master File (515) commands open the test
// dialogs on the browser's selection and directory, and a test run from there
// leaves its report and an editor on the instrument.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "integrity_fixture.h"
#include "primitives/memory.h"
#include "resource.h"
#include "shell/frame_window.h"
#include "shell/shell_globals.h"

namespace {

using namespace integrity_gui;

class BrowserCommandsTest : public IntegrityWindowTest {
 protected:
  // A browser on the directory with the instrument of that name selected.
  HWND BrowserWithSelection(const std::string& directory, const std::string& name) {
    auto* path = static_cast<char*>(MemAllocate(directory.size() + 1));
    std::memcpy(path, directory.c_str(), directory.size() + 1);
    const HWND browser = OpenBrowserWindow(path);
    EXPECT_NE(browser, nullptr);
    const HWND list = GetDlgItem(browser, IDC_FILER_LIST);
    SendMessageA(list, LB_SETSEL, FALSE, -1);
    const LRESULT line =
        SendMessageA(list, LB_FINDSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(name.c_str()));
    EXPECT_NE(line, LB_ERR) << "the browser lists no " << name;
    SendMessageA(list, LB_SETSEL, TRUE, line);
    return browser;
  }
};

TEST_F(BrowserCommandsTest, TestOpensTheDATDialogOnTheSelectedInstrumentAndTestMasterOnTheDirectory) {
  const HWND browser = BrowserWithSelection(DataDir(), "DATES OUT ORDER");
  std::string instrument, directory;
  ReportResponder responder;
  responder.ExpectDialog("Test and Repair DAT File", [&](HWND dialog) {
    instrument = ControlText(dialog, IDC_TEST_FILE);
    gui_harness::PressButton(dialog, IDCANCEL);
  });
  responder.ExpectDialog("Test and Repair Master File", [&](HWND dialog) {
    directory = ControlText(dialog, IDC_TEST_FILE);
    gui_harness::PressButton(dialog, IDCANCEL);
  });
  SendMessageA(browser, WM_COMMAND, IDM_TEST, 0);
  SendMessageA(browser, WM_COMMAND, IDM_TEST_MASTER, 0);
  EXPECT_EQ(instrument, "DATES OUT ORDER");
  EXPECT_EQ(directory, DataDir());
}

// The typical request: test from the browser, the report lists the faulty
// records, and Goto takes an editor on the instrument to the first of them.
TEST_F(BrowserCommandsTest, ATestRunFromTheBrowserLeavesTheReportAndAnEditorAtTheFaultyRecord) {
  const HWND browser = BrowserWithSelection(DataDir(), "INVALID DATES");
  ReportResponder responder;
  responder.ExpectDialog("Test and Repair DAT File", [](HWND dialog) {
    SelectTests(dialog, {"Invalid Dates"});
    gui_harness::PressButton(dialog, IDOK);
  });
  SendMessageA(browser, WM_COMMAND, IDM_TEST, 0);
  const HWND report = FindThreadDialog("DAT File Errors");
  ASSERT_NE(report, nullptr);
  EXPECT_EQ(ListTexts(GetDlgItem(report, IDC_RECORD_LIST)), std::vector<std::string>{"00000040"});
  ClickButton(report, IDOK);
  const HWND editor = GetFocus();
  char className[32] = {};
  GetClassNameA(editor, className, sizeof className);
  EXPECT_STREQ(className, szEditClass) << "Goto gives the editor the focus";
  EXPECT_NE(gui_harness::WindowText(editor).find("[INVALID DATES]"), std::string::npos);
}

}  // namespace
