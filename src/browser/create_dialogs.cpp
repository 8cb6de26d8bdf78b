// Create, Create Directory, Change Symbol and Select Path.
#include <string>

#include "browser/browser_dialogs.h"
#include "browser/browser_window.h"
#include "primitives/path_list.h"
#include "resource.h"
#include "store/instrument_dialogs.h"
#include "store/master_file.h"
#include "winui/dialogs.h"
#include "winui/message_boxes.h"

namespace {

constexpr int kNameLimit = 16;
constexpr int kSymbolLimit = 14;
constexpr int kDirectoryNameLimit = 255;

struct CreateContext {
  const char* directory;
};

struct MakeDirContext {
  const char* parent;
};

struct ChangeSymbolContext {
  const char* directory;
  MasterRecord record;
};

struct SelectDriveContext {
  std::string path;
};

// The item data of a single-selection list's selected line, or -1 without one.
LPARAM SelectedChoice(HWND dialog, int control) {
  return SelectedItemData(GetDlgItem(dialog, control)).value_or(-1);
}

void FillFieldCounts(HWND dialog, char period) {
  const HWND list = GetDlgItem(dialog, IDC_CREATE_FIELDS);
  SendMessageA(list, LB_RESETCONTENT, 0, 0);
  for (const FieldCountChoice& choice : CreateFieldCountChoices(period)) {
    AddListItem(list, choice.text, choice.fieldCount);
  }
  SendMessageA(list, LB_SETCURSEL, 0, 0);
}

void InitCreate(HWND dialog, CreateContext&) {
  const HWND periods = GetDlgItem(dialog, IDC_CREATE_PERIOD);
  for (const PeriodChoice& choice : CreatePeriodChoices()) {
    AddListItem(periods, choice.text, static_cast<unsigned char>(choice.period));
  }
  SendMessageA(periods, LB_SETCURSEL, 0, 0);
  FillFieldCounts(dialog, CreatePeriodChoices().front().period);
  LimitText(dialog, IDC_CREATE_NAME, kNameLimit);
  LimitText(dialog, IDC_CREATE_SYMBOL, kSymbolLimit);
  // The time base edit starts enabled; choosing a period decides from then on.
  EnableWindow(GetDlgItem(dialog, IDC_CREATE_TIME_BASE), TRUE);
}

void OnPeriodChanged(HWND dialog) {
  const LPARAM period = SelectedChoice(dialog, IDC_CREATE_PERIOD);
  if (period < 0) return;
  FillFieldCounts(dialog, static_cast<char>(period));
  EnableWindow(GetDlgItem(dialog, IDC_CREATE_TIME_BASE), CreateTimeBaseEnabled(static_cast<char>(period)));
}

void OnCreateOk(HWND dialog, CreateContext& context) {
  CreateEntries entries;
  entries.name = ControlText(dialog, IDC_CREATE_NAME);
  entries.symbol = ControlText(dialog, IDC_CREATE_SYMBOL);
  entries.period = static_cast<char>(SelectedChoice(dialog, IDC_CREATE_PERIOD));
  entries.fieldCount = static_cast<int>(SelectedChoice(dialog, IDC_CREATE_FIELDS));
  entries.timeBase = ControlText(dialog, IDC_CREATE_TIME_BASE);
  MessageBoxInteraction ui(dialog);
  int16_t fileNumber = -1;
  if (CreateApply(context.directory, entries, ui, &fileNumber) == kDialogEnds) EndDialog(dialog, 1);
}

void InitMakeDir(HWND dialog, MakeDirContext& context) {
  SetDlgItemTextA(dialog, IDC_MAKE_DIR_PARENT, context.parent);
  LimitText(dialog, IDC_MAKE_DIR_NAME, kDirectoryNameLimit);
}

void OnMakeDirOk(HWND dialog, MakeDirContext& context) {
  const std::string name = ControlText(dialog, IDC_MAKE_DIR_NAME);
  MessageBoxInteraction ui(dialog);
  std::string created;
  if (MakeDirApply(context.parent, name.c_str(), ui, &created) == kDialogEnds) EndDialog(dialog, 1);
}

void InitChangeSymbol(HWND dialog, ChangeSymbolContext& context) {
  SetDlgItemTextA(dialog, IDC_SYMBOL_INSTRUMENT, context.record.Name().c_str());
  SetDlgItemTextA(dialog, IDC_SYMBOL_PRESENT, context.record.Symbol().c_str());
  LimitText(dialog, IDC_SYMBOL_NEW, kSymbolLimit);
}

void OnChangeSymbolOk(HWND dialog, ChangeSymbolContext& context) {
  const std::string symbol = ControlText(dialog, IDC_SYMBOL_NEW);
  MessageBoxInteraction ui(dialog);
  if (ChangeSymbolApply(context.directory, &context.record, symbol.c_str(), ui) == kDialogEnds) {
    EndDialog(dialog, 1);
  }
}

void InitSelectDrive(HWND dialog, SelectDriveContext&) {
  const HWND combo = GetDlgItem(dialog, IDC_SELECT_PATH);
  SendMessageA(combo, CB_RESETCONTENT, 0, 0);
  AddPathHistory(combo);
  SetWindowTextA(combo, "");
}

void OnSelectDriveOk(HWND dialog, SelectDriveContext& context) {
  const std::string text = ControlText(dialog, IDC_SELECT_PATH);
  MessageBoxInteraction ui(dialog);
  if (SelectDriveApply(text.c_str(), ui, &context.path) == kDialogEnds) EndDialog(dialog, 1);
}

bool OnCreateCommand(HWND dialog, CreateContext&, int id, int notification) {
  if (id != IDC_CREATE_PERIOD) return false;
  if (notification == LBN_SELCHANGE) OnPeriodChanged(dialog);
  return true;
}

}  // namespace

INT_PTR CALLBACK CreateDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  return ModalDialog<CreateContext>{InitCreate, OnCreateOk, OnCreateCommand}.Handle(dialog, message, wParam,
                                                                                     lParam);
}

INT_PTR CALLBACK MakeDirDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  return ModalDialog<MakeDirContext>{InitMakeDir, OnMakeDirOk}.Handle(dialog, message, wParam, lParam);
}

INT_PTR CALLBACK ChangeSymbolDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  return ModalDialog<ChangeSymbolContext>{InitChangeSymbol, OnChangeSymbolOk}.Handle(dialog, message, wParam,
                                                                                      lParam);
}

INT_PTR CALLBACK SelectDriveDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  return ModalDialog<SelectDriveContext>{InitSelectDrive, OnSelectDriveOk}.Handle(dialog, message, wParam,
                                                                                   lParam);
}

int Create(HWND parent, const char* directory) {
  CreateContext context{directory};
  return RunDialog(parent, IDD_CREATE, CreateDlgProc, &context);
}

int MakeDir(HWND parent, const char* directory) {
  MakeDirContext context{directory};
  return RunDialog(parent, IDD_MAKE_DIR, MakeDirDlgProc, &context);
}

int ChangeSymbol(HWND parent, const char* directory, int16_t fileNumber) {
  ChangeSymbolContext context{directory, {}};
  if (!GetMetaStockMasterRecord(directory, fileNumber, &context.record)) return 0;
  return RunDialog(parent, IDD_CHANGE_SYMBOL, ChangeSymbolDlgProc, &context);
}

std::optional<std::string> SelectDrive(HWND parent) {
  SelectDriveContext context;
  if (RunDialog(parent, IDD_SELECT_PATH, SelectDriveDlgProc, &context) == 0 || context.path.empty()) {
    return std::nullopt;
  }
  return context.path;
}
