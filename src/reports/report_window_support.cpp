#include "reports/report_window_support.h"

#include <commdlg.h>

#include <algorithm>

#include "integrity/error_list.h"
#include "winui/message_boxes.h"

namespace report_windows {

namespace {

// Room for the chosen report file's name, as the Save dialog is given it.
constexpr DWORD kReportFileNameSize = 260;
constexpr char kReportFilters[] = "Text Files (*.TXT)\0*.txt\0All Files (*.*)\0*.*\0";
constexpr char kReportExtension[] = "txt";
// Between a report window and the edges of its owner's client area.
constexpr int kReportMargin = 8;

}  // namespace

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
  return MessageBoxInteraction(Owner()).AskYesNo(text);
}

}  // namespace report_windows
