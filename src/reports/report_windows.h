// The DAT File Errors and Master File Errors report windows: modeless
// dialogs that are created just before a test runs, show "Testing : Please
// Wait" until the test hands them its ErrorList (WM_COMMAND 101, the list as
// long parameter) or closes them (WM_CLOSE), and from then on own the list.
//
// Each report window keeps its own copy of the directory text, so the
// caller's text need not outlive it, and its own list: several reports may be
// open at once, each working on its own results.
#pragma once

#include <windows.h>

#include <cstdint>

#include "store/master_file.h"

// 1 while at least one DAT (master) report window is open, else 0. The
// frame's remote test requests dispatch messages until theirs drops to 0;
// every way of closing a report clears it once no other report of its kind is
// left.
extern int DATReportWindowOpen;
extern int MasterReportWindowOpen;

// Creates the DAT File Errors window for instrument fileNumber of directory
// (ending in a backslash), owned by parent, modeless and shown. The window, or
// null when it could not be created (the caller reports that). Goto and the
// double-clicks steer the record editor that the report opens when its list
// arrives (CreateEditWindow in the MDI client MDIhwnd), or the editor already
// open on the same data file.
HWND ReportDATErrors(HWND parent, const char* directory, int16_t fileNumber);
INT_PTR CALLBACK ReportDATErrorsDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Creates the Master File Errors window for directory, owned by parent,
// modeless and shown; null when it could not be created. Correct repairs the
// selected defect in the directory's files at once.
HWND ReportMasterErrors(HWND parent, const char* directory);
INT_PTR CALLBACK ReportMasterErrorsDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// The tests run into a report window created by the functions above: the
// findings arrive in the window, and every box and question of the test is
// owned by it. Both return 0, as the tests do. fileName is the data file's
// own name ("F3.DAT", or "F256.MWD" with the XMASTER instrument's layout).
int TestDataFile(const char* directory, const char* fileName, HWND reportWindow, const int32_t* testCodes,
                 int testCount, const MasterRecord& record);
int TestMasterFile(const char* directory, HWND reportWindow, const int32_t* testCodes, int testCount,
                   int repair, int prompt, int create);
