#include "winui/dialogs.h"

#include "primitives/path_list.h"
#include "winui/app_globals.h"

int RunDialog(HWND parent, int templateId, DLGPROC procedure, void* context) {
  const INT_PTR result = DialogBoxParamA(hInst, MAKEINTRESOURCEA(templateId), parent, procedure,
                                         reinterpret_cast<LPARAM>(context));
  return result == -1 ? 0 : static_cast<int>(result);
}

HWND CreateModelessDialog(HWND parent, int templateId, DLGPROC procedure, void* state) {
  return CreateDialogParamA(hInst, MAKEINTRESOURCEA(templateId), parent, procedure,
                            reinterpret_cast<LPARAM>(state));
}

std::string ControlText(HWND dialog, int control) {
  const HWND window = GetDlgItem(dialog, control);
  if (window == nullptr) return {};
  std::string text(static_cast<size_t>(GetWindowTextLengthA(window)) + 1, '\0');
  const int length = GetWindowTextA(window, text.data(), static_cast<int>(text.size()));
  text.resize(length > 0 ? static_cast<size_t>(length) : 0);
  return text;
}

void LimitText(HWND dialog, int control, int characters) {
  SendDlgItemMessageA(dialog, control, EM_LIMITTEXT, characters, 0);
}

int IsChecked(HWND dialog, int control) {
  return IsDlgButtonChecked(dialog, control) == BST_CHECKED ? 1 : 0;
}

void AddPathHistory(HWND combo) {
  for (const PathNode* node = PathList; node != nullptr; node = node->next) {
    SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(node->path));
  }
}

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
