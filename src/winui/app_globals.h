// The program's process-wide window handles and names. The shell sets them
// during start-up; the browser, the editor and the report windows read them.
#pragma once

#include <windows.h>
#include <commctrl.h>

extern HINSTANCE hInst;
extern HWND MDIFrame;
extern HWND MDIhwnd;  // the MDI client

// Menu bars of the chosen mode and their window-list popups: the initial bar
// (no child active; its "&File" popup), the browser's ("&Window", fourth) and
// the editor's ("&Window", third).
extern HMENU hMenuInit, hMenuInitWindow;
extern HMENU hMenuFiler, hMenuFilerWindow;
extern HMENU hMenuEdit, hMenuEditWindow;

// The directory tree's folder images (bitmap 129).
extern HIMAGELIST hImageList;

// The editor window created last by CreateEditWindow.
extern HWND hwndEdit;

extern const char AppName[];       // "Quorvex": frame title, message box caption
extern const char szFrameClass[];  // "QuorvexMDIFrame"
extern const char szFilerClass[];  // "MdiFilerChild"
extern const char szEditClass[];   // "MdiEditChild"
