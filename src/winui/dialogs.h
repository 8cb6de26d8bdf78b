// Small helpers shared by the browser's dialog procedures.
#pragma once

#include <windows.h>

#include <string>

// The dialog's inputs arrive as the DialogBoxParam value at WM_INITDIALOG and
// stay with the dialog (DWLP_USER) for its lifetime. Null before that.
template <class Context>
Context* DialogContext(HWND dialog, UINT message, LPARAM lParam) {
  if (message == WM_INITDIALOG) SetWindowLongPtrA(dialog, DWLP_USER, lParam);
  return reinterpret_cast<Context*>(GetWindowLongPtrA(dialog, DWLP_USER));
}

// Runs the dialog template over parent with the context; its EndDialog
// result, 0 when the dialog could not be shown.
int RunDialog(HWND parent, int templateId, DLGPROC procedure, void* context);

// A control's whole text, whatever its length.
std::string ControlText(HWND dialog, int control);

// A list box line with its item data; the new line's index (negative when it
// could not be added).
int AddListLine(HWND list, const char* text, LPARAM data);
