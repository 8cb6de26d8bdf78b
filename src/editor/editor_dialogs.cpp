#include "editor/editor_dialogs.h"

#include <string>
#include <vector>

#include "editor/goto_logic.h"
#include "primitives/path_list.h"
#include "resource.h"
#include "winui/message_boxes.h"
#include "winui/app_globals.h"
#include "winui/window_thunk.h"
#include "store/editor_session.h"

namespace {

constexpr const char* kCurrentRecordMissing = "Can't find the current record!";
constexpr int kGotoFieldLimit = 2;
constexpr const char* kMonthNames[12] = {"January",   "February", "March",    "April",
                                         "May",       "June",     "July",     "August",
                                         "September", "October",  "November", "December"};

std::string ItemText(HWND dialog, int id) {
  const HWND control = GetDlgItem(dialog, id);
  const int length = control != nullptr ? GetWindowTextLengthA(control) : 0;
  std::vector<char> text(static_cast<size_t>(length) + 1, '\0');
  if (control != nullptr) GetWindowTextA(control, text.data(), length + 1);
  return text.data();
}

// ---- Goto ----------------------------------------------------------------------

// What one Goto dialog works on while it is open. Daily and intraday keep
// separate sets.
struct GotoValues {
  const char* fileName = nullptr;
  int32_t currentRecord = -1;  // replaced by the record found
  const MasterRecord* masterRecord = nullptr;
  FileHandle file = kClosedHandle;
};
GotoValues gotoDaily;
GotoValues gotoIntra;

const int kGotoLimitedFields[] = {IDC_GOTO_DAY, IDC_GOTO_YEAR, IDC_GOTO_HOURS, IDC_GOTO_MINUTES,
                                  IDC_GOTO_SECONDS};

void InitGoto(HWND dialog, const GotoValues& values, bool intraday) {
  const HWND months = GetDlgItem(dialog, IDC_GOTO_MONTH);
  for (int month = 1; month <= 12; ++month) {
    const LRESULT index =
        SendMessageA(months, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(kMonthNames[month - 1]));
    SendMessageA(months, CB_SETITEMDATA, static_cast<WPARAM>(index), month);
  }
  GotoInput fields;
  if (CurrentRecordFields(values.file, *values.masterRecord, values.currentRecord, intraday, &fields)) {
    SetDlgItemTextA(dialog, IDC_GOTO_DAY, fields.day.c_str());
    SetDlgItemTextA(dialog, IDC_GOTO_YEAR, fields.year.c_str());
    if (intraday) {
      SetDlgItemTextA(dialog, IDC_GOTO_HOURS, fields.hours.c_str());
      SetDlgItemTextA(dialog, IDC_GOTO_MINUTES, fields.minutes.c_str());
      SetDlgItemTextA(dialog, IDC_GOTO_SECONDS, fields.seconds.c_str());
    }
    SendMessageA(months, CB_SETCURSEL, static_cast<WPARAM>(fields.month - 1), 0);
  } else {
    MessageBoxInteraction(dialog).ShowNotice(kCurrentRecordMissing);
  }
  for (int id : kGotoLimitedFields) {
    if (const HWND edit = GetDlgItem(dialog, id)) SendMessageA(edit, EM_LIMITTEXT, kGotoFieldLimit, 0);
  }
}

GotoInput ReadGotoInput(HWND dialog, bool intraday) {
  GotoInput input;
  input.day = ItemText(dialog, IDC_GOTO_DAY);
  input.year = ItemText(dialog, IDC_GOTO_YEAR);
  const HWND months = GetDlgItem(dialog, IDC_GOTO_MONTH);
  const LRESULT selected = SendMessageA(months, CB_GETCURSEL, 0, 0);
  input.month = selected == CB_ERR ? 0 : static_cast<int>(SendMessageA(months, CB_GETITEMDATA, selected, 0));
  if (intraday) {
    input.hours = ItemText(dialog, IDC_GOTO_HOURS);
    input.minutes = ItemText(dialog, IDC_GOTO_MINUTES);
    input.seconds = ItemText(dialog, IDC_GOTO_SECONDS);
    input.excludeTime = IsDlgButtonChecked(dialog, IDC_GOTO_EXCLUDE_TIME) == BST_CHECKED;
  }
  return input;
}

// The Goto button: an invalid date or time, or a not-found answered Yes,
// keeps the dialog open.
void GotoPressed(HWND dialog, GotoValues& values, bool intraday) {
  MessageBoxInteraction ui(dialog);
  const GotoResult result =
      SearchGoto(values.file, *values.masterRecord, ReadGotoInput(dialog, intraday), intraday);
  switch (result.outcome) {
    case GotoOutcome::InvalidDate:
    case GotoOutcome::InvalidTime:
      ui.ShowNotice(GotoMessage(result.outcome));
      return;
    case GotoOutcome::NotFound:
      if (ui.AskYesNo(GotoMessage(result.outcome))) return;
      values.currentRecord = -1;
      EndDialog(dialog, 0);
      return;
    case GotoOutcome::Found:
      values.currentRecord = result.record;
      EndDialog(dialog, 1);
      return;
  }
}

INT_PTR HandleGoto(HWND dialog, UINT message, WPARAM wParam, GotoValues& values, bool intraday) {
  switch (message) {
    case WM_INITDIALOG:
      InitGoto(dialog, values, intraday);
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDOK:
          GotoPressed(dialog, values, intraday);
          return TRUE;
        case IDCANCEL:
          values.currentRecord = -1;
          EndDialog(dialog, 0);
          return TRUE;
        default:
          return FALSE;
      }
    default:
      return FALSE;
  }
}

int32_t RunGoto(HWND window, int templateId, DLGPROC procedure, GotoValues& values, const char* fileName,
                int32_t currentRecord, const MasterRecord& masterRecord, FileHandle file) {
  values = GotoValues{fileName, currentRecord, &masterRecord, file};
  const INT_PTR result = DialogBoxParamA(hInst, MAKEINTRESOURCEA(templateId), window, procedure, 0);
  const int32_t found = result == 1 ? values.currentRecord : -1;
  values = GotoValues{};
  return found;
}

// ---- Split File -------------------------------------------------------------------

struct SplitValues {
  const char* sourceDirectory = nullptr;
  int fileNumber = 0;
  MasterRecord* masterRecord = nullptr;
  int32_t record = -1;
  FileHandle file = kClosedHandle;
};
SplitValues split;

void InitSplit(HWND dialog) {
  const HWND destinations = GetDlgItem(dialog, IDC_SPLIT_DESTINATION);
  SendMessageA(destinations, CB_RESETCONTENT, 0, 0);
  int index = 0;
  for (const PathNode* node = PathList; node != nullptr; node = node->next, ++index) {
    SendMessageA(destinations, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(node->path));
    if (std::string(node->path) == split.sourceDirectory) SendMessageA(destinations, CB_SETCURSEL, index, 0);
  }
}

bool Checked(HWND dialog, int id) {
  return IsDlgButtonChecked(dialog, id) == BST_CHECKED;
}

void SplitPressed(HWND dialog) {
  MessageBoxInteraction ui(dialog);
  const std::string destination = ItemText(dialog, IDC_SPLIT_DESTINATION);
  SplitDialogResult result;
  {
    WaitCursor wait;
    result = SplitDialogOk(
        split.file, split.sourceDirectory, split.fileNumber, split.masterRecord, split.record,
        destination.c_str(), Checked(dialog, IDC_SPLIT_FIRST_INCLUDE) ? 1 : 0,
        Checked(dialog, IDC_SPLIT_LAST_INCLUDE) ? 1 : 0, Checked(dialog, IDC_SPLIT_LEAVE_INTACT) ? 1 : 0, ui);
  }
  if (result != SplitDialogResult::StayOpen) EndDialog(dialog, 1);
}

// ---- Truncate File ----------------------------------------------------------------

struct TruncateValues {
  int32_t record = -1;
  RecordSelection* selection = nullptr;
  const MasterRecord* masterRecord = nullptr;
  FileHandle file = kClosedHandle;
  const char* fileName = nullptr;
};
TruncateValues truncation;

void TruncatePressed(HWND dialog) {
  MessageBoxInteraction ui(dialog);
  TruncateDialogOk(truncation.file, truncation.fileName, truncation.record,
                   Checked(dialog, IDC_TRUNCATE_FROM_CURRENT) ? 1 : 0,
                   Checked(dialog, IDC_TRUNCATE_INCLUDE_CURRENT) ? 1 : 0, truncation.selection,
                   *truncation.masterRecord, ui);
  EndDialog(dialog, 1);
}

// OK and Cancel of Split File and Truncate File.
INT_PTR HandleOkCancel(HWND dialog, UINT message, WPARAM wParam, void (*init)(HWND), void (*ok)(HWND)) {
  switch (message) {
    case WM_INITDIALOG:
      init(dialog);
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDOK:
          ok(dialog);
          return TRUE;
        case IDCANCEL:
          EndDialog(dialog, 0);
          return TRUE;
        default:
          return FALSE;
      }
    default:
      return FALSE;
  }
}

void InitTruncate(HWND dialog) {
  CheckRadioButton(dialog, IDC_TRUNCATE_FROM_CURRENT, IDC_TRUNCATE_TO_CURRENT, IDC_TRUNCATE_FROM_CURRENT);
}

}  // namespace

int32_t GotoDaily(HWND window, const char* fileName, int32_t currentRecord, const MasterRecord& masterRecord,
                  FileHandle file) {
  return RunGoto(window, IDD_GOTO_DAILY, GotoDailyDlgProc, gotoDaily, fileName, currentRecord, masterRecord,
                 file);
}

int32_t GotoIntra(HWND window, const char* fileName, int32_t currentRecord, const MasterRecord& masterRecord,
                  FileHandle file) {
  return RunGoto(window, IDD_GOTO_INTRA, GotoIntraDlgProc, gotoIntra, fileName, currentRecord, masterRecord,
                 file);
}

int Split(HWND window, const char* sourceDirectory, int fileNumber, MasterRecord* masterRecord,
          int32_t record, FileHandle file) {
  split = SplitValues{sourceDirectory, fileNumber, masterRecord, record, file};
  const INT_PTR result = DialogBoxParamA(hInst, MAKEINTRESOURCEA(IDD_SPLIT), window, SplitDlgProc, 0);
  split = SplitValues{};
  return result == 1 ? 1 : 0;
}

int Truncate(HWND window, int32_t record, RecordSelection* selection, const MasterRecord& masterRecord,
             FileHandle file, const char* fileName) {
  truncation = TruncateValues{record, selection, &masterRecord, file, fileName};
  const INT_PTR result = DialogBoxParamA(hInst, MAKEINTRESOURCEA(IDD_TRUNCATE), window, TruncateDlgProc, 0);
  truncation = TruncateValues{};
  return result == 1 ? 1 : 0;
}

INT_PTR CALLBACK GotoDailyDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  return RunDialogProcedure([&] { return HandleGoto(dialog, message, wParam, gotoDaily, false); });
}

INT_PTR CALLBACK GotoIntraDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  return RunDialogProcedure([&] { return HandleGoto(dialog, message, wParam, gotoIntra, true); });
}

INT_PTR CALLBACK SplitDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  return RunDialogProcedure([&] { return HandleOkCancel(dialog, message, wParam, InitSplit, SplitPressed); });
}

INT_PTR CALLBACK TruncateDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  return RunDialogProcedure(
      [&] { return HandleOkCancel(dialog, message, wParam, InitTruncate, TruncatePressed); });
}
