#include "integrity_fixture.h"

#include "harness/dialog_responder.h"

#include "harness/wait.h"
#include "integrity/report_windows.h"
#include "resource.h"
#include "sample_data.h"
#include "shell/shell_globals.h"

namespace {

constexpr int kSaveFileNameCombo = 0x47c;  // cmb13 of the system file dialogs
constexpr int kSaveFileNameEdit = 0x480;   // edt1

struct ThreadDialogSearch {
  std::string caption;
  HWND found = nullptr;
};

BOOL CALLBACK MatchThreadDialog(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<ThreadDialogSearch*>(data);
  char className[16] = {};
  GetClassNameA(window, className, sizeof className);
  char caption[256] = {};
  GetWindowTextA(window, caption, sizeof caption);
  if (std::string(className) == "#32770" && search->caption == caption) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

std::vector<std::function<void()>>& PendingTasks() {
  static std::vector<std::function<void()>> tasks;
  return tasks;
}

void CALLBACK RunPendingTasks(HWND, UINT, UINT_PTR timer, DWORD) {
  KillTimer(nullptr, timer);
  std::vector<std::function<void()>> tasks;
  tasks.swap(PendingTasks());
  for (auto& task : tasks) task();
}

void Notify(HWND dialog, int id, int code) {
  SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

}  // namespace

namespace integrity_gui {

ReportResponder::ReportResponder() {
  for (const char* caption :
       {"Testing : Please Wait...", "DAT File Errors", "Testing : Please Wait", "Master File Errors"}) {
    IgnoreCaption(caption);
  }
}

void IntegrityWindowTest::SetUp() {
  std::string error;
  ASSERT_TRUE(sample::WriteSampleData(root_.Path(""), &error)) << error;
  BuildFrame("");
}

void IntegrityWindowTest::TearDown() {
  FrameTest::TearDown();
  EXPECT_EQ(DATReportWindowOpen, 0) << "a DAT report outlived the frame that owned it";
  EXPECT_EQ(MasterReportWindowOpen, 0) << "a master report outlived the frame that owned it";
}

std::vector<std::string> ListTexts(HWND list) {
  std::vector<std::string> texts;
  const LRESULT count = SendMessageA(list, LB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    std::string text(static_cast<size_t>(SendMessageA(list, LB_GETTEXTLEN, i, 0)) + 1, '\0');
    SendMessageA(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text.data()));
    text.resize(text.size() - 1);
    texts.push_back(text);
  }
  return texts;
}

std::vector<LPARAM> ListData(HWND list) {
  std::vector<LPARAM> data;
  const LRESULT count = SendMessageA(list, LB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) data.push_back(SendMessageA(list, LB_GETITEMDATA, i, 0));
  return data;
}

std::string SelectedText(HWND list) {
  const LRESULT index = SendMessageA(list, LB_GETCURSEL, 0, 0);
  if (index == LB_ERR) return "";
  return ListTexts(list).at(static_cast<size_t>(index));
}

std::vector<int> SelectedIndexes(HWND list) {
  std::vector<int> indexes;
  const LRESULT count = SendMessageA(list, LB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    if (SendMessageA(list, LB_GETSEL, i, 0) > 0) indexes.push_back(static_cast<int>(i));
  }
  return indexes;
}

std::string ControlText(HWND dialog, int id) {
  char text[1024] = {};
  GetDlgItemTextA(dialog, id, text, sizeof text);
  return text;
}

void SelectItem(HWND dialog, int listId, int index) {
  SendDlgItemMessageA(dialog, listId, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
  Notify(dialog, listId, LBN_SELCHANGE);
}

void DoubleClickItem(HWND dialog, int listId, int index) {
  SelectItem(dialog, listId, index);
  Notify(dialog, listId, LBN_DBLCLK);
}

void ClickButton(HWND dialog, int buttonId) {
  Notify(dialog, buttonId, BN_CLICKED);
}

void SelectItemByText(HWND dialog, int listId, const std::string& text) {
  const std::vector<std::string> texts = ListTexts(GetDlgItem(dialog, listId));
  for (size_t i = 0; i < texts.size(); ++i) {
    if (texts[i] == text) {
      SelectItem(dialog, listId, static_cast<int>(i));
      return;
    }
  }
  ADD_FAILURE() << "list " << listId << " has no item \"" << text << "\"";
}

void SelectTests(HWND dialog, const std::vector<std::string>& names) {
  const HWND list = GetDlgItem(dialog, IDC_TEST_LIST);
  for (const std::string& name : names) {
    const LRESULT index = SendMessageA(list, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                       reinterpret_cast<LPARAM>(name.c_str()));
    if (index == LB_ERR) {
      ADD_FAILURE() << "the test list has no test \"" << name << "\"";
      continue;
    }
    SendMessageA(list, LB_SETSEL, TRUE, index);
  }
}

DirectorySnapshot SnapshotDirectory(const std::string& directory) {
  DirectorySnapshot snapshot;
  WIN32_FIND_DATAA found{};
  const HANDLE search = FindFirstFileA((directory + "*.*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return snapshot;
  do {
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    snapshot.names.push_back(found.cFileName);
    snapshot.contents.push_back(testing_support::ReadBytes(directory + found.cFileName));
  } while (FindNextFileA(search, &found));
  FindClose(search);
  return snapshot;
}

HWND FindThreadDialog(const std::string& caption) {
  ThreadDialogSearch search{caption};
  EnumThreadWindows(GetCurrentThreadId(), MatchThreadDialog, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

void RunFromMessageLoop(std::function<void()> task) {
  PendingTasks().push_back(std::move(task));
  SetTimer(nullptr, 0, 0, RunPendingTasks);
}

void AnswerSaveDialog(HWND dialog, const std::string& fileName) {
  const HWND combo = GetDlgItem(dialog, kSaveFileNameCombo);
  const HWND field = combo != nullptr ? combo : GetDlgItem(dialog, kSaveFileNameEdit);
  if (field == nullptr) {
    ADD_FAILURE() << "the Save dialog has no file name field";
    gui_harness::CloseDialog(dialog);
    return;
  }
  SetWindowTextA(field, fileName.c_str());
  gui_harness::PressButton(dialog, IDOK);
}

}  // namespace integrity_gui
