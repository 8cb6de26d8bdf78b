// The MDI frame window (class "QuorvexMDIFrame"): it owns the MDI client,
// executes the application's own commands 516-526, passes every other command
// to the active child and answers the registered remote test requests.
#pragma once

#include <windows.h>

#include <string>

LRESULT CALLBACK FrameWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// EnumChildWindows callbacks over the MDI client for Close All and Minimize
// All; both always continue (TRUE).
BOOL CALLBACK CloseEnumProc(HWND window, LPARAM unused);
BOOL CALLBACK MinimizeEnumProc(HWND window, LPARAM unused);

// Creates the frame with its MDI client (the frame class must be registered
// and hMenuInit loaded) and stores both in MDIFrame and MDIhwnd. The frame is
// not shown yet. Null when the window could not be created.
HWND CreateFrameWindow(HINSTANCE instance);

// The frame's half of Select Path: a browser child on directory (ending in a
// backslash). The new window, or null.
HWND OpenBrowserWindow(const std::string& directory);

// An interactive start whose command line names a directory (PATH:"...",
// ending in a backslash) opens a browser on it once the frame is up, as if it
// had been chosen in Select Path: the path joins the path history. A path
// that is not a searchable directory gets "The path specified was not
// valid." and opens nothing. The new window, or null.
HWND OpenStartPathBrowser(const std::string& directory);
