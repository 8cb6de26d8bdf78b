// The Test and Repair DAT File and Test and Repair Master File dialogs, as the
// browser opens them with its Test (514) and Test Master File (515) commands.
//
// Pending: the dialogs land with the integrity windows. Until then these show
// the program's "This "feature" is not yet ready!" notice over parent and
// return 0; the windows that bring the dialogs replace this file and its .cpp.
#pragma once

#include <windows.h>

#include <cstdint>

// Tests the data file of instrument fileNumber in directory (ending in a
// backslash). 1 when the dialog was shown, else 0.
int TestDAT(HWND parent, const char* directory, int16_t fileNumber);
// Tests directory's master file. Always 0.
int TestMaster(HWND parent, const char* directory);
