// The real program opening a browser on the sample tree from its command line
// (PATH:"..."), driven from outside as a person would use it: expand the
// tree, pick a directory, read the list. Saves the screenshot of a browser on
// the sample tree.
#include <windows.h>
#include <commctrl.h>

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
using gui_harness::Program;
using gui_harness::WaitUntil;

constexpr auto kStartLimit = 30s;
constexpr auto kStepLimit = 15s;

// Another process's tree view answers TVM_GETITEMA only into its own memory.
class RemoteTreeReader {
 public:
  explicit RemoteTreeReader(DWORD processId)
      : process_(OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId)) {
    if (process_ != nullptr) {
      memory_ = VirtualAllocEx(process_, nullptr, sizeof(TVITEMA) + kTextSize, MEM_COMMIT, PAGE_READWRITE);
    }
  }
  ~RemoteTreeReader() {
    if (memory_ != nullptr) VirtualFreeEx(process_, memory_, 0, MEM_RELEASE);
    if (process_ != nullptr) CloseHandle(process_);
  }
  RemoteTreeReader(const RemoteTreeReader&) = delete;
  RemoteTreeReader& operator=(const RemoteTreeReader&) = delete;

  bool Ready() const { return memory_ != nullptr; }

  std::string Text(HWND tree, HTREEITEM item) const {
    char* remoteText = static_cast<char*>(memory_) + sizeof(TVITEMA);
    TVITEMA query{};
    query.mask = TVIF_TEXT | TVIF_HANDLE;
    query.hItem = item;
    query.pszText = remoteText;
    query.cchTextMax = kTextSize;
    WriteProcessMemory(process_, memory_, &query, sizeof query, nullptr);
    SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(memory_));
    char text[kTextSize] = {};
    ReadProcessMemory(process_, remoteText, text, sizeof text - 1, nullptr);
    return text;
  }

  // The child of parent with this label, or null.
  HTREEITEM Child(HWND tree, HTREEITEM parent, const std::string& label) const {
    for (HTREEITEM item = TreeView_GetChild(tree, parent); item != nullptr;
         item = TreeView_GetNextSibling(tree, item)) {
      if (Text(tree, item) == label) return item;
    }
    return nullptr;
  }

 private:
  static constexpr int kTextSize = 260;
  HANDLE process_;
  void* memory_ = nullptr;
};

// Another process's list box writes LB_GETTEXT as UTF-16 whatever the call.
std::string RemoteListLine(HWND list, int line) {
  wchar_t text[512] = {};
  if (SendMessageW(list, LB_GETTEXTLEN, line, 0) >= 511) return {};
  SendMessageW(list, LB_GETTEXT, line, reinterpret_cast<LPARAM>(text));
  char narrow[1024] = {};
  WideCharToMultiByte(CP_ACP, 0, text, -1, narrow, sizeof narrow, nullptr, nullptr);
  return narrow;
}

// Keys typed through the system's input queue go to the foreground window.
void BringToFront(HWND frame) {
  EXPECT_TRUE(WaitUntil(
      "the frame to become the foreground window",
      [&] {
        if (GetForegroundWindow() == frame) return true;
        SetForegroundWindow(frame);
        return false;
      },
      kStepLimit));
}

TEST(ProgramBrowser, AStartWithAPathOpensABrowserOnItsDataDirectories) {
  testing_support::TempDir temp;
  const std::string root = temp.Path("sample");
  std::string error;
  ASSERT_TRUE(sample::WriteSampleData(root, &error)) << error;

  Program program(QUORVEX_PROGRAM, "PATH:\"" + root + "\"");
  HWND frame = nullptr;
  ASSERT_TRUE(WaitUntil(
      "the frame window (class QuorvexMDIFrame)", [&] { return (frame = program.Frame()) != nullptr; },
      kStartLimit));
  const HWND client = FindWindowExA(frame, nullptr, "MDIClient", nullptr);
  HWND browser = nullptr;
  ASSERT_TRUE(WaitUntil(
      "a browser (class MdiFilerChild) titled " + root + "\\",
      [&] {
        return (browser = FindWindowExA(client, nullptr, "MdiFilerChild", (root + "\\").c_str())) != nullptr;
      },
      kStepLimit));
  const HWND tree = GetDlgItem(browser, IDC_FILER_TREE);
  const HWND list = GetDlgItem(browser, IDC_FILER_LIST);
  // The root, Damaged with Data, Header and Master, Empty, Intraday, Nested
  // with a, b, c and the long-named archive, and Stocks.
  EXPECT_EQ(SendMessageA(tree, TVM_GETCOUNT, 0, 0), 13);
  EXPECT_EQ(SendMessageA(list, LB_GETCOUNT, 0, 0), 0) << "the root holds no master";

  RemoteTreeReader reader(program.Id());
  ASSERT_TRUE(reader.Ready());
  const HTREEITEM rootItem = TreeView_GetRoot(tree);
  EXPECT_EQ(reader.Text(tree, rootItem), (root + "\\").substr(0, 29));
  TreeView_Expand(tree, rootItem, TVE_EXPAND);
  const HTREEITEM nested = reader.Child(tree, rootItem, "Nested");
  ASSERT_NE(nested, nullptr);
  TreeView_Expand(tree, nested, TVE_EXPAND);
  const HTREEITEM stocks = reader.Child(tree, rootItem, "Stocks");
  ASSERT_NE(stocks, nullptr);
  TreeView_SelectItem(tree, stocks);
  ASSERT_EQ(SendMessageA(list, LB_GETCOUNT, 0, 0), 6);
  EXPECT_EQ(RemoteListLine(list, 0), "ACME INDUSTRIES\tACME\tF1\tDaily File\tFile Exists");
  EXPECT_EQ(RemoteListLine(list, 5), "FENWICK HOLDINGS\tFNWK\tF6\tDaily File\tNon-Existant");

  // Let everything repaint before the picture.
  SendMessageTimeoutA(frame, WM_NULL, 0, 0, SMTO_NORMAL, 5000, nullptr);
  RedrawWindow(frame, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  SendMessageTimeoutA(frame, WM_NULL, 0, 0, SMTO_NORMAL, 5000, nullptr);
  EXPECT_FALSE(gui_harness::SaveScreenshot("browser-sample-tree").empty());

  // The keys reach the browser through the frame's accelerators: Delete
  // opens the Delete dialog on the selected line, Enter an editor on it.
  BringToFront(frame);
  gui_harness::PressChord({VK_DELETE});
  HWND dialog = nullptr;
  ASSERT_TRUE(WaitUntil(
      "the Delete dialog after the Delete key",
      [&] { return (dialog = gui_harness::FindProgramDialog(program, "Delete")) != nullptr; }, kStepLimit));
  gui_harness::PressButton(dialog, IDCANCEL);
  ASSERT_TRUE(WaitUntil(
      "the Delete dialog to close", [&] { return !IsWindow(dialog); }, kStepLimit));
  BringToFront(frame);
  gui_harness::PressChord({VK_RETURN});
  const std::string editorTitle = root + "\\Stocks\\F1.DAT [ACME INDUSTRIES]";
  EXPECT_TRUE(WaitUntil(
      "an editor titled " + editorTitle + " after the Enter key",
      [&] { return FindWindowExA(client, nullptr, "MdiEditChild", editorTitle.c_str()) != nullptr; },
      kStepLimit));

  PostMessageA(frame, WM_COMMAND, IDM_EXIT, 0);
  DWORD code = 12345;
  ASSERT_TRUE(program.WaitForExit(code, kStepLimit));
  EXPECT_EQ(code, 0u);
}

TEST(ProgramBrowser, AStartWithAPathThatIsNotADirectorySaysSoAndOpensNothing) {
  testing_support::TempDir temp;
  Program program(QUORVEX_PROGRAM, "PATH:\"" + temp.Path("missing") + "\"");
  HWND box = nullptr;
  ASSERT_TRUE(WaitUntil(
      "the box \"The path specified was not valid.\"",
      [&] { return (box = gui_harness::FindProgramDialog(program, "Quorvex")) != nullptr; }, kStartLimit));
  EXPECT_EQ(gui_harness::MessageBoxText(box), "The path specified was not valid.");
  gui_harness::PressButton(box, IDOK);
  HWND frame = nullptr;
  ASSERT_TRUE(WaitUntil(
      "the frame window", [&] { return (frame = program.Frame()) != nullptr && !IsWindow(box); },
      kStepLimit));
  const HWND client = FindWindowExA(frame, nullptr, "MDIClient", nullptr);
  EXPECT_EQ(FindWindowExA(client, nullptr, "MdiFilerChild", nullptr), nullptr);
  PostMessageA(frame, WM_COMMAND, IDM_EXIT, 0);
  DWORD code = 12345;
  ASSERT_TRUE(program.WaitForExit(code, kStepLimit));
  EXPECT_EQ(code, 0u);
}

}  // namespace
