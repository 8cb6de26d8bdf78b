// The record editor window (class "MdiEditChild"), as the frame, the browser
// and the DAT error report use it.
#pragma once

#include <windows.h>

#include <cstdint>

// The editor's window procedure, registered with the class "MdiEditChild".
// Besides the menu commands it takes 527 (go to the record in lParam) and
// 528 (the same, and the field in the high word of wParam) from the DAT
// error report; lParam -1 changes nothing.
LRESULT CALLBACK EditWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Opens an editor on the data file of fileNumber in directory (ending in a
// backslash) inside mdiClient; messages are owned by owner. 1 when the
// creation request was sent to the MDI client (hwndEdit then holds the new
// window, or null when the window refused to open, after saying why); 0
// after a failure it has reported (no data file, no master entry), and
// without a word for a null directory.
int CreateEditWindow(HWND owner, HWND mdiClient, HINSTANCE instance, const char* directory,
                     int16_t fileNumber);

// The editor open on the data file of fileNumber in directory among the
// children of mdiClient, or null.
HWND FindEditWindow(HWND mdiClient, const char* directory, int16_t fileNumber);

// CreateEditWindow that answers with the new editor window; null when none
// was opened (after saying why).
HWND OpenEditWindow(HWND owner, HWND mdiClient, HINSTANCE instance, const char* directory, int16_t fileNumber);

// Moves the editor to a data record and, when column is not negative, to that
// column (the 527 and 528 commands), and gives it the keyboard focus.
void MoveEditWindowTo(HWND editor, int32_t record, int column);

// What a refused character sounds like: MessageBeep(0) unless replaced (the
// GUI tests count beeps). Null puts the default back; returns the previous.
using EditorBeepFunction = void (*)();
EditorBeepFunction SetEditorBeep(EditorBeepFunction beep);
