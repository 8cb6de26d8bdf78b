// The browser's modal dialogs over instruments and directories. Each opening
// function runs its dialog from its template over parent and returns its
// result; the dialog procedures move values between the controls and the
// dialog logic of store/instrument_dialogs.h, which decides and reports.
// Directory texts end in a backslash and stay owned by the caller.
#pragma once

#include <windows.h>

#include <cstdint>

// Create (template 106): a new instrument in directory. 1 when the dialog
// ended with OK (also when creating failed, which it reported), 0 when
// cancelled.
int Create(HWND parent, const char* directory);
// Create Directory (template 105): a new data directory with an empty master
// below parent directory. 1 when a directory was created, 0 when cancelled.
int MakeDir(HWND parent, const char* directory);
// Change Symbol (template 103) for the instrument fileNumber. 1 when a new
// symbol was stored; 0 when cancelled, or at once (no dialog, no message)
// when the instrument's record cannot be read.
int ChangeSymbol(HWND parent, const char* directory, int16_t fileNumber);

// Copy (template 104), Move (112) and Delete (107) of the instruments with the
// count file numbers. 1 when the dialog ended with OK (also after a stop on
// the way, which it reported); 0 when cancelled, or without a dialog after
// "An error occured whilst selecting instruments." when a number is not in
// the directory's master.
int Copy(HWND parent, const char* directory, const int16_t* fileNumbers, int count);
int Move(HWND parent, const char* directory, const int16_t* fileNumbers, int count);
int Delete(HWND parent, const char* directory, const int16_t* fileNumbers, int count);

// Export (the common Save dialog: a file, and the layout by its type) of the
// count instruments, in that order, master's and XMASTER's alike; Import (the
// common Open dialog) of a text file's records into the instrument
// fileNumber, which asks before it replaces records the instrument holds and
// names the line and the rule of a file it refuses. 1 when files may have
// changed, 0 when cancelled or refused.
int ExportInstruments(HWND parent, const char* directory, const int16_t* fileNumbers, int count);
int ImportInstrument(HWND parent, const char* directory, int16_t fileNumber);

INT_PTR CALLBACK CreateDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK MakeDirDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK ChangeSymbolDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK SelectDriveDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK CopyDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK MoveDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK DeleteDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
