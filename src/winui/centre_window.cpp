#include "winui/centre_window.h"

void CentreWindow(HWND window) {
  RECT desktop{};
  RECT rect{};
  GetWindowRect(GetDesktopWindow(), &desktop);
  GetWindowRect(window, &rect);
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  MoveWindow(window, desktop.right / 2 - width / 2, desktop.bottom / 2 - height / 2, width, height, TRUE);
}
