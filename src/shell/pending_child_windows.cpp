// Placeholders for the parts of the browser and editor windows that the frame
// calls, until those windows land (their own issues). Each is named in its
// header in src/browser or src/editor; this file goes away when they exist.
//
// What they do meanwhile: the two window procedures are plain MDI children,
// Select Path is never shown (it returns no path, so command 517 opens
// nothing), no editor is created for command 516, and an interactive start
// with PATH:"..." opens no browser.
#include <windows.h>

#include <string>

#include "browser/browser_window.h"
#include "editor/editor_window.h"
#include "shell/frame_window.h"

LRESULT CALLBACK FilerWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefMDIChildProcA(window, message, wParam, lParam);
}

LRESULT CALLBACK EditWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefMDIChildProcA(window, message, wParam, lParam);
}

char* SelectDrive(HWND) {
  return nullptr;
}

int CreateEditWindow(HWND, HWND, HINSTANCE, const char*, int16_t) {
  return 0;
}

// With the browser this becomes AddPath(directory) and OpenBrowserWindow on a
// MemAllocate copy of it.
void OpenStartPathBrowser(const std::string&) {}
