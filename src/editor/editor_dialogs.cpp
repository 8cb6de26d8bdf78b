#include "editor/editor_dialogs.h"

#include <string>

#include "editor/goto_logic.h"
#include "primitives/path_list.h"
#include "resource.h"
#include "store/editor_session.h"
#include "winui/dialogs.h"
#include "winui/message_boxes.h"

namespace {

constexpr const char* kCurrentRecordMissing = "Can't find the current record!";
constexpr int kGotoFieldLimit = 2;
constexpr const char* kMonthNames[12] = {"January",   "February", "March",    "April",
                                         "May",       "June",     "July",     "August",
                                         "September", "October",  "November", "December"};

// ---- Goto ----------------------------------------------------------------------

// What a Goto dialog works on while it is open.
struct GotoValues {
  bool intraday = false;
  int32_t currentRecord = -1;  // replaced by the record found
  const MasterRecord* masterRecord = nullptr;
  FileHandle file = kClosedHandle;
};

const int kGotoLimitedFields[] = {IDC_GOTO_DAY, IDC_GOTO_YEAR, IDC_GOTO_HOURS, IDC_GOTO_MINUTES,
                                  IDC_GOTO_SECONDS};

void InitGoto(HWND dialog, GotoValues& values) {
  const bool intraday = values.intraday;
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
  for (int id : kGotoLimitedFields) LimitText(dialog, id, kGotoFieldLimit);
}

GotoInput ReadGotoInput(HWND dialog, bool intraday) {
  GotoInput input;
  input.day = ControlText(dialog, IDC_GOTO_DAY);
  input.year = ControlText(dialog, IDC_GOTO_YEAR);
  const HWND months = GetDlgItem(dialog, IDC_GOTO_MONTH);
  const LRESULT selected = SendMessageA(months, CB_GETCURSEL, 0, 0);
  input.month = selected == CB_ERR ? 0 : static_cast<int>(SendMessageA(months, CB_GETITEMDATA, selected, 0));
  if (intraday) {
    input.hours = ControlText(dialog, IDC_GOTO_HOURS);
    input.minutes = ControlText(dialog, IDC_GOTO_MINUTES);
    input.seconds = ControlText(dialog, IDC_GOTO_SECONDS);
    input.excludeTime = IsDlgButtonChecked(dialog, IDC_GOTO_EXCLUDE_TIME) == BST_CHECKED;
  }
  return input;
}

// The Goto button: an invalid date or time, or a not-found answered Yes,
// keeps the dialog open.
void GotoPressed(HWND dialog, GotoValues& values) {
  MessageBoxInteraction ui(dialog);
  const GotoResult result = SearchGoto(values.file, *values.masterRecord, ReadGotoInput(dialog, values.intraday),
                                       values.intraday);
  switch (result.outcome) {
    case GotoOutcome::InvalidDate:
    case GotoOutcome::InvalidTime:
      ui.ShowNotice(GotoMessage(result.outcome));
      return;
    case GotoOutcome::NotFound:
      if (ui.AskYesNo(GotoMessage(result.outcome))) return;
      EndDialog(dialog, 0);
      return;
    case GotoOutcome::Found:
      values.currentRecord = result.record;
      EndDialog(dialog, 1);
      return;
  }
}

int32_t RunGoto(HWND window, int templateId, DLGPROC procedure, bool intraday, int32_t currentRecord,
                const MasterRecord& masterRecord, FileHandle file) {
  GotoValues values{intraday, currentRecord, &masterRecord, file};
  return RunDialog(window, templateId, procedure, &values) == 1 ? values.currentRecord : -1;
}

// ---- Split File -------------------------------------------------------------------

struct SplitValues {
  const char* sourceDirectory = nullptr;
  int fileNumber = 0;
  MasterRecord* masterRecord = nullptr;
  int32_t record = -1;
  FileHandle file = kClosedHandle;
};

// The history with the source directory selected.
void InitSplit(HWND dialog, SplitValues& split) {
  const HWND destinations = GetDlgItem(dialog, IDC_SPLIT_DESTINATION);
  SendMessageA(destinations, CB_RESETCONTENT, 0, 0);
  AddPathHistory(destinations);
  const LRESULT source = SendMessageA(destinations, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                      reinterpret_cast<LPARAM>(split.sourceDirectory));
  if (source >= 0) SendMessageA(destinations, CB_SETCURSEL, source, 0);
}

void SplitPressed(HWND dialog, SplitValues& split) {
  MessageBoxInteraction ui(dialog);
  const std::string destination = ControlText(dialog, IDC_SPLIT_DESTINATION);
  SplitDialogResult result;
  {
    WaitCursor wait;
    result = SplitDialogOk(
        split.file, split.sourceDirectory, split.fileNumber, split.masterRecord, split.record,
        destination.c_str(), IsChecked(dialog, IDC_SPLIT_FIRST_INCLUDE), IsChecked(dialog, IDC_SPLIT_LAST_INCLUDE),
        IsChecked(dialog, IDC_SPLIT_LEAVE_INTACT), ui);
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

void InitTruncate(HWND dialog, TruncateValues&) {
  CheckRadioButton(dialog, IDC_TRUNCATE_FROM_CURRENT, IDC_TRUNCATE_TO_CURRENT, IDC_TRUNCATE_FROM_CURRENT);
}

void TruncatePressed(HWND dialog, TruncateValues& truncation) {
  MessageBoxInteraction ui(dialog);
  TruncateDialogOk(truncation.file, truncation.fileName, truncation.record,
                   IsChecked(dialog, IDC_TRUNCATE_FROM_CURRENT), IsChecked(dialog, IDC_TRUNCATE_INCLUDE_CURRENT),
                   truncation.selection,
                   *truncation.masterRecord, ui);
  EndDialog(dialog, 1);
}

}  // namespace

int32_t GotoDaily(HWND window, const char*, int32_t currentRecord, const MasterRecord& masterRecord,
                  FileHandle file) {
  return RunGoto(window, IDD_GOTO_DAILY, GotoDailyDlgProc, false, currentRecord, masterRecord, file);
}

int32_t GotoIntra(HWND window, const char*, int32_t currentRecord, const MasterRecord& masterRecord,
                  FileHandle file) {
  return RunGoto(window, IDD_GOTO_INTRA, GotoIntraDlgProc, true, currentRecord, masterRecord, file);
}

int Split(HWND window, const char* sourceDirectory, int fileNumber, MasterRecord* masterRecord,
          int32_t record, FileHandle file) {
  SplitValues split{sourceDirectory, fileNumber, masterRecord, record, file};
  return RunDialog(window, IDD_SPLIT, SplitDlgProc, &split) == 1 ? 1 : 0;
}

int Truncate(HWND window, int32_t record, RecordSelection* selection, const MasterRecord& masterRecord,
             FileHandle file, const char* fileName) {
  TruncateValues truncation{record, selection, &masterRecord, file, fileName};
  return RunDialog(window, IDD_TRUNCATE, TruncateDlgProc, &truncation) == 1 ? 1 : 0;
}

INT_PTR CALLBACK GotoDailyDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  return ModalDialog<GotoValues>{InitGoto, GotoPressed}.Handle(dialog, message, wParam, lParam);
}

INT_PTR CALLBACK GotoIntraDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  return ModalDialog<GotoValues>{InitGoto, GotoPressed}.Handle(dialog, message, wParam, lParam);
}

INT_PTR CALLBACK SplitDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  return ModalDialog<SplitValues>{InitSplit, SplitPressed}.Handle(dialog, message, wParam, lParam);
}

INT_PTR CALLBACK TruncateDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  return ModalDialog<TruncateValues>{InitTruncate, TruncatePressed}.Handle(dialog, message, wParam, lParam);
}
