#include "winui/dialogs.h"

#include "winui/app_globals.h"

int RunDialog(HWND parent, int templateId, DLGPROC procedure, void* context) {
  const INT_PTR result = DialogBoxParamA(hInst, MAKEINTRESOURCEA(templateId), parent, procedure,
                                         reinterpret_cast<LPARAM>(context));
  return result == -1 ? 0 : static_cast<int>(result);
}

std::string ControlText(HWND dialog, int control) {
  const HWND window = GetDlgItem(dialog, control);
  if (window == nullptr) return {};
  std::string text(static_cast<size_t>(GetWindowTextLengthA(window)) + 1, '\0');
  const int length = GetWindowTextA(window, text.data(), static_cast<int>(text.size()));
  text.resize(length > 0 ? static_cast<size_t>(length) : 0);
  return text;
}

int AddListLine(HWND list, const char* text, LPARAM data) {
  const int index = static_cast<int>(SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text)));
  if (index >= 0) SendMessageA(list, LB_SETITEMDATA, index, data);
  return index;
}
