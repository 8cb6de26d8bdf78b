// The Error Explanation dialogs: the name of a defect, its severity and what
// it does, for a DAT error code or a master error code.
#pragma once

#include <windows.h>

#include <cstdint>

// Runs the dialog modally over owner for the code (codes outside a catalogue
// show its closing entry); OK is the only way to close it. Returns 1.
int ExplainDATErrors(HWND owner, int32_t code);
int ExplainMasterErrors(HWND owner, int32_t code);

INT_PTR CALLBACK ExplainDATErrorsDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK ExplainMasterErrorsDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
