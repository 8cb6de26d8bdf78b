#include "winui/message_boxes.h"

#include "winui/app_globals.h"

void ShowStopMessage(HWND owner, const char* text, const char* caption) {
  MessageBoxA(owner, text, caption != nullptr ? caption : AppName, MB_OK | MB_ICONSTOP | MB_TASKMODAL);
}

std::string MessageBoxInteraction::AppCaption() {
  return AppName;
}

void MessageBoxInteraction::ShowNotice(const char* text) {
  ShowStopMessage(owner_, text, caption_.c_str());
}

bool MessageBoxInteraction::AskYesNo(const char* text) {
  return MessageBoxA(owner_, text, caption_.c_str(), MB_YESNO | MB_ICONQUESTION | MB_TASKMODAL) == IDYES;
}

WaitCursor::WaitCursor() : previous_(SetCursor(LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_WAIT)))) {}

WaitCursor::~WaitCursor() {
  SetCursor(previous_ != nullptr ? previous_ : LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW)));
}
