// The directory browser window (class "MdiFilerChild") and the Select Path
// dialog, as the frame uses them.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

// The browser's window procedure, registered with the class "MdiFilerChild".
// A browser created without the state CreateBrowserWindow gives it is a plain
// MDI child.
LRESULT CALLBACK FilerWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Opens a browser on directory (ending in a backslash) in the MDI client:
// titled with the path, default position and size. The new window, or null.
HWND CreateBrowserWindow(HWND mdiClient, HINSTANCE instance, const std::string& directory);

// Runs the Select Path dialog over parent. The chosen directory, ending in a
// backslash, or nothing when the dialog was cancelled.
std::optional<std::string> SelectDrive(HWND parent);
