// Create, Create Directory, Change Symbol and Select Path.
#include <cstring>
#include <string>

#include "browser/browser_dialogs.h"
#include "browser/browser_window.h"
#include "winui/dialogs.h"
#include "winui/message_boxes.h"
#include "primitives/memory.h"
#include "primitives/path_list.h"
#include "resource.h"
#include "winui/window_thunk.h"
#include "store/instrument_dialogs.h"
#include "store/master_file.h"

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

void LimitText(HWND dialog, int control, int characters) {
  SendDlgItemMessageA(dialog, control, EM_LIMITTEXT, characters, 0);
}

// The item data of a single-selection list's selected line, or -1 without one.
LRESULT SelectedItemData(HWND dialog, int control) {
  const LRESULT index = SendDlgItemMessageA(dialog, control, LB_GETCURSEL, 0, 0);
  if (index < 0) return -1;
  return SendDlgItemMessageA(dialog, control, LB_GETITEMDATA, index, 0);
}

void FillFieldCounts(HWND dialog, char period) {
  const HWND list = GetDlgItem(dialog, IDC_CREATE_FIELDS);
  SendMessageA(list, LB_RESETCONTENT, 0, 0);
  for (const FieldCountChoice& choice : CreateFieldCountChoices(period)) {
    AddListLine(list, choice.text, choice.fieldCount);
  }
  SendMessageA(list, LB_SETCURSEL, 0, 0);
}

void InitCreate(HWND dialog) {
  const HWND periods = GetDlgItem(dialog, IDC_CREATE_PERIOD);
  for (const PeriodChoice& choice : CreatePeriodChoices()) {
    AddListLine(periods, choice.text, static_cast<unsigned char>(choice.period));
  }
  SendMessageA(periods, LB_SETCURSEL, 0, 0);
  FillFieldCounts(dialog, CreatePeriodChoices().front().period);
  LimitText(dialog, IDC_CREATE_NAME, kNameLimit);
  LimitText(dialog, IDC_CREATE_SYMBOL, kSymbolLimit);
  // The time base edit starts enabled; choosing a period decides from then on.
  EnableWindow(GetDlgItem(dialog, IDC_CREATE_TIME_BASE), TRUE);
}

void OnPeriodChanged(HWND dialog) {
  const LRESULT period = SelectedItemData(dialog, IDC_CREATE_PERIOD);
  if (period < 0) return;
  FillFieldCounts(dialog, static_cast<char>(period));
  EnableWindow(GetDlgItem(dialog, IDC_CREATE_TIME_BASE), CreateTimeBaseEnabled(static_cast<char>(period)));
}

void OnCreateOk(HWND dialog, const CreateContext& context) {
  CreateEntries entries;
  entries.name = ControlText(dialog, IDC_CREATE_NAME);
  entries.symbol = ControlText(dialog, IDC_CREATE_SYMBOL);
  entries.period = static_cast<char>(SelectedItemData(dialog, IDC_CREATE_PERIOD));
  entries.fieldCount = static_cast<int>(SelectedItemData(dialog, IDC_CREATE_FIELDS));
  entries.timeBase = ControlText(dialog, IDC_CREATE_TIME_BASE);
  MessageBoxInteraction ui(dialog);
  int16_t fileNumber = -1;
  if (CreateApply(context.directory, entries, ui, &fileNumber) == kDialogEnds) EndDialog(dialog, 1);
}

void OnMakeDirOk(HWND dialog, const MakeDirContext& context) {
  const std::string name = ControlText(dialog, IDC_MAKE_DIR_NAME);
  MessageBoxInteraction ui(dialog);
  std::string created;
  if (MakeDirApply(context.parent, name.c_str(), ui, &created) == kDialogEnds) EndDialog(dialog, 1);
}

void InitChangeSymbol(HWND dialog, const ChangeSymbolContext& context) {
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

void InitSelectDrive(HWND dialog) {
  const HWND combo = GetDlgItem(dialog, IDC_SELECT_PATH);
  SendMessageA(combo, CB_RESETCONTENT, 0, 0);
  for (const PathNode* node = PathList; node != nullptr; node = node->next) {
    SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(node->path));
  }
  SetWindowTextA(combo, "");
}

void OnSelectDriveOk(HWND dialog, SelectDriveContext& context) {
  const std::string text = ControlText(dialog, IDC_SELECT_PATH);
  MessageBoxInteraction ui(dialog);
  if (SelectDriveApply(text.c_str(), ui, &context.path) == kDialogEnds) EndDialog(dialog, 1);
}

// The commands every one of these dialogs shares: OK runs onOk, Cancel ends
// the dialog with 0.
template <class OnOk>
INT_PTR OkOrCancel(HWND dialog, WPARAM wParam, OnOk&& onOk) {
  switch (LOWORD(wParam)) {
    case IDOK:
      onOk();
      return TRUE;
    case IDCANCEL:
      EndDialog(dialog, 0);
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

INT_PTR CALLBACK CreateDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  return RunDialogProcedure([&]() -> INT_PTR {
    auto* context = DialogContext<CreateContext>(dialog, message, lParam);
    if (context == nullptr) return FALSE;
    switch (message) {
      case WM_INITDIALOG:
        InitCreate(dialog);
        return TRUE;
      case WM_COMMAND:
        if (LOWORD(wParam) == IDC_CREATE_PERIOD) {
          if (HIWORD(wParam) == LBN_SELCHANGE) OnPeriodChanged(dialog);
          return TRUE;
        }
        return OkOrCancel(dialog, wParam, [&] { OnCreateOk(dialog, *context); });
      default:
        return FALSE;
    }
  });
}

INT_PTR CALLBACK MakeDirDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  return RunDialogProcedure([&]() -> INT_PTR {
    auto* context = DialogContext<MakeDirContext>(dialog, message, lParam);
    if (context == nullptr) return FALSE;
    switch (message) {
      case WM_INITDIALOG:
        SetDlgItemTextA(dialog, IDC_MAKE_DIR_PARENT, context->parent);
        LimitText(dialog, IDC_MAKE_DIR_NAME, kDirectoryNameLimit);
        return TRUE;
      case WM_COMMAND:
        return OkOrCancel(dialog, wParam, [&] { OnMakeDirOk(dialog, *context); });
      default:
        return FALSE;
    }
  });
}

INT_PTR CALLBACK ChangeSymbolDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  return RunDialogProcedure([&]() -> INT_PTR {
    auto* context = DialogContext<ChangeSymbolContext>(dialog, message, lParam);
    if (context == nullptr) return FALSE;
    switch (message) {
      case WM_INITDIALOG:
        InitChangeSymbol(dialog, *context);
        return TRUE;
      case WM_COMMAND:
        return OkOrCancel(dialog, wParam, [&] { OnChangeSymbolOk(dialog, *context); });
      default:
        return FALSE;
    }
  });
}

INT_PTR CALLBACK SelectDriveDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  return RunDialogProcedure([&]() -> INT_PTR {
    auto* context = DialogContext<SelectDriveContext>(dialog, message, lParam);
    if (context == nullptr) return FALSE;
    switch (message) {
      case WM_INITDIALOG:
        InitSelectDrive(dialog);
        return TRUE;
      case WM_COMMAND:
        return OkOrCancel(dialog, wParam, [&] { OnSelectDriveOk(dialog, *context); });
      default:
        return FALSE;
    }
  });
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

char* SelectDrive(HWND parent) {
  SelectDriveContext context;
  if (RunDialog(parent, IDD_SELECT_PATH, SelectDriveDlgProc, &context) == 0 || context.path.empty()) {
    return nullptr;
  }
  auto* path = static_cast<char*>(MemAllocate(context.path.size() + 1));
  if (path != nullptr) std::memcpy(path, context.path.c_str(), context.path.size() + 1);
  return path;
}
