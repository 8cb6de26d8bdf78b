// The record editor's modal dialogs (Goto for daily and intraday data, Split
// File, Truncate File).
//
// Each dialog function passes its inputs to its dialog procedure as the
// dialog's context (winui/dialogs.h) and returns the dialog's result; the
// decisions are the portable functions of goto_logic.h and
// store/editor_session.h.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "filelayer/file_layer.h"
#include "store/master_file.h"
#include "store/record_ops.h"

// The Goto dialogs (templates 110 and 111) over the editor's open file,
// starting from the current record's date (and time). The record found, or
// -1 when the dialog was cancelled or the search found nothing and the user
// gave up.
int32_t GotoDaily(HWND window, const char* fileName, int32_t currentRecord, const MasterRecord& masterRecord,
                  FileHandle file);
int32_t GotoIntra(HWND window, const char* fileName, int32_t currentRecord, const MasterRecord& masterRecord,
                  FileHandle file);

// The Split File dialog (template 116) at the selected record. 1 once OK went
// through to the split (whether it succeeded or not: the editor reads the
// file again either way), 0 after Cancel. masterRecord's file-number byte is
// changed by the split; the caller puts its own back.
int Split(HWND window, const char* sourceDirectory, int fileNumber, MasterRecord* masterRecord,
          int32_t record, FileHandle file);

// The Truncate File dialog (template 119) at the selected record; fileName is
// the data file's full name (the rewrite's temporary file goes beside it).
// 1 after OK, whether the truncation succeeded or not; 0 after Cancel.
int Truncate(HWND window, int32_t record, RecordSelection* selection, const MasterRecord& masterRecord,
             FileHandle file, const char* fileName);

INT_PTR CALLBACK GotoDailyDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK GotoIntraDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK SplitDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK TruncateDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
