#include "reports/report_window_support.h"

#include <commdlg.h>

#include <algorithm>

#include "integrity/error_list.h"
#include "winui/message_boxes.h"
#include "winui/app_globals.h"

namespace integrity_windows {

namespace {

// Room for the chosen report file's name, as the Save dialog is given it.
constexpr DWORD kReportFileNameSize = 260;
constexpr char kReportFilters[] = "Text Files (*.TXT)\0*.txt\0All Files (*.*)\0*.*\0";
constexpr char kReportExtension[] = "txt";
// Between a report window and the edges of its owner's client area.
constexpr int kReportMargin = 8;

}  // namespace

int AddListItem(HWND list, const std::string& text, LPARAM data) {
  const LRESULT index = SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
  if (index < 0) return -1;
  SendMessageA(list, LB_SETITEMDATA, static_cast<WPARAM>(index), data);
  return static_cast<int>(index);
}

std::optional<LPARAM> SelectedItemData(HWND list) {
  const LRESULT index = SendMessageA(list, LB_GETCURSEL, 0, 0);
  if (index == LB_ERR) return std::nullopt;
  return static_cast<LPARAM>(SendMessageA(list, LB_GETITEMDATA, static_cast<WPARAM>(index), 0));
}

void SelectFirstItem(HWND list) {
  if (SendMessageA(list, LB_GETCOUNT, 0, 0) > 0) SendMessageA(list, LB_SETCURSEL, 0, 0);
}

ListRefill::ListRefill(HWND list) : list_(list) {
  SendMessageA(list_, WM_SETREDRAW, FALSE, 0);
  SendMessageA(list_, LB_RESETCONTENT, 0, 0);
}

ListRefill::~ListRefill() {
  SendMessageA(list_, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(list_, nullptr, TRUE);
}

void ShowReportWindow(HWND report) {
  const HWND owner = GetWindow(report, GW_OWNER);
  if (owner != nullptr) {
    RECT area{};
    GetClientRect(owner, &area);
    MapWindowPoints(owner, nullptr, reinterpret_cast<POINT*>(&area), 2);
    RECT window{};
    GetWindowRect(report, &window);
    const int width = window.right - window.left;
    const int x = std::max(area.left, area.right - width - kReportMargin);
    SetWindowPos(report, nullptr, x, area.top + kReportMargin, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  ShowWindow(report, SW_SHOW);
  UpdateWindow(report);
}

std::optional<std::string> AskReportFileName(HWND owner, const std::string& directory) {
  char fileName[kReportFileNameSize] = {};
  OPENFILENAMEA request{};
  request.lStructSize = sizeof(request);
  request.hwndOwner = owner;
  request.lpstrFilter = kReportFilters;
  request.nFilterIndex = 1;
  request.lpstrFile = fileName;
  request.nMaxFile = kReportFileNameSize;
  request.lpstrInitialDir = directory.c_str();
  request.lpstrDefExt = kReportExtension;
  request.Flags = OFN_OVERWRITEPROMPT | OFN_CREATEPROMPT | OFN_HIDEREADONLY | OFN_NOREADONLYRETURN |
                  OFN_NOCHANGEDIR | OFN_LONGNAMES;
  if (!GetSaveFileNameA(&request)) return std::nullopt;
  return std::string(fileName);
}

HWND ReportWindowTarget::Owner() const {
  return IsWindow(report_) ? report_ : nullptr;
}

void ReportWindowTarget::ErrorListReady(List* errorList) {
  if (!IsWindow(report_)) {
    KillErrorList(errorList);
    return;
  }
  SendMessageA(report_, WM_COMMAND, MAKEWPARAM(kErrorListReadyCommand, 0),
               reinterpret_cast<LPARAM>(errorList));
}

void ReportWindowTarget::Close() {
  if (IsWindow(report_)) SendMessageA(report_, WM_CLOSE, 0, 0);
}

void ReportWindowTarget::ShowNotice(const char* text) {
  ShowStopMessage(Owner(), text);
}

bool ReportWindowTarget::AskYesNo(const char* text) {
  return MessageBoxA(Owner(), text, AppName, MB_YESNO | MB_ICONQUESTION | MB_TASKMODAL) == IDYES;
}

}  // namespace integrity_windows
