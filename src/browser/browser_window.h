// The directory browser window (class "MdiFilerChild") and the Select Path
// dialog, as the frame uses them.
#pragma once

#include <windows.h>

// The browser's window procedure, registered with the class "MdiFilerChild".
// Its creation parameter (the MDICREATESTRUCT's lParam) is the directory text
// (ending in a backslash, allocated with MemAllocate), which the browser owns
// from then on and frees with the window. A browser created without one is a
// plain MDI child.
LRESULT CALLBACK FilerWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Runs the Select Path dialog over parent. The chosen directory, ending in a
// backslash and allocated with MemAllocate (the caller owns it), or null when
// the dialog was cancelled.
char* SelectDrive(HWND parent);
