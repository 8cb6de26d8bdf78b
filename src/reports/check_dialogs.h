// The Test and Repair DAT File and Test and Repair Master File dialogs: the
// user picks tests (and, for master, the repair options); OK creates the
// report window, runs the test into it and closes the dialog, leaving the
// report with the results.
#pragma once

#include <windows.h>

#include <cstdint>

// Runs the DAT dialog modally over parent for instrument fileNumber of
// directory (ending in a backslash). 1 when the dialog was shown; 0 when
// master holds no record with that number ("Unable to find Instrument" is
// shown, owned by parent).
int TestDAT(HWND parent, const char* directory, int16_t fileNumber);
INT_PTR CALLBACK TestDATDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Runs the master dialog modally over parent for the directory's master
// file. Returns 0.
int TestMaster(HWND parent, const char* directory);
INT_PTR CALLBACK TestMasterDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
