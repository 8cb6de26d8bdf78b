// Centring a window on the desktop (the banner, the About box, and the
// browser's dialogs).
#pragma once

#include <windows.h>

// Moves the window, keeping its size, so that its centre lies at the centre of
// the desktop window (halves rounded toward zero), and repaints it.
void CentreWindow(HWND window);
