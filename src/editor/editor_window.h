// The record editor window (class "MdiEditChild"), as the frame uses it.
#pragma once

#include <windows.h>

#include <cstdint>

// The editor's window procedure, registered with the class "MdiEditChild".
LRESULT CALLBACK EditWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Opens an editor on the data file of fileNumber in directory (ending in a
// backslash) inside mdiClient; messages are owned by owner. 1 when the
// creation request was sent to the MDI client (the new window is then in
// hwndEdit), 0 after a failure, which it has reported.
int CreateEditWindow(HWND owner, HWND mdiClient, HINSTANCE instance, const char* directory,
                     int16_t fileNumber);
