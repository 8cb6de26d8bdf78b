#include "browser/message_boxes.h"

#include "shell/shell_globals.h"

void ShowStopMessage(HWND owner, const char* text) {
  MessageBoxA(owner, text, AppName, MB_OK | MB_ICONSTOP | MB_TASKMODAL);
}

void MessageBoxInteraction::ShowNotice(const char* text) {
  ShowStopMessage(owner_, text);
}

bool MessageBoxInteraction::AskYesNo(const char* text) {
  return MessageBoxA(owner_, text, AppName, MB_YESNO | MB_ICONQUESTION | MB_TASKMODAL) == IDYES;
}

WaitCursor::WaitCursor() {
  SetCursor(LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_WAIT)));
}

WaitCursor::~WaitCursor() {
  SetCursor(LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW)));
}
