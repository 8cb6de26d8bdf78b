// Placeholders for the parts of the browser window that the frame calls,
// until that window lands (its own issue). Each is named in its header in
// src/browser or src/shell; this file goes away when it exists.
//
// What they do meanwhile: the window procedure is a plain MDI child, Select
// Path is never shown (it returns no path, so command 517 opens nothing), and
// an interactive start with PATH:"..." opens no browser.
#include <windows.h>

#include <string>

#include "browser/browser_window.h"
#include "shell/frame_window.h"

LRESULT CALLBACK FilerWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefMDIChildProcA(window, message, wParam, lParam);
}

char* SelectDrive(HWND) {
  return nullptr;
}

// With the browser this becomes AddPath(directory) and OpenBrowserWindow on a
// MemAllocate copy of it.
void OpenStartPathBrowser(const std::string&) {}
