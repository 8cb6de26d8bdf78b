// Identifiers of every resource, menu command and dialog control of the
// Windows program. Read by windres and by the C++ code alike, so only plain
// #define lines belong here.
#ifndef QUORVEX_RESOURCES_RESOURCE_H
#define QUORVEX_RESOURCES_RESOURCE_H

/* Dialog templates. 108, 109, 113, 114, 117 and 118 are our numbers for the
   dialogs whose template number the program's design leaves open. */
#define IDD_ABOUT 101
#define IDD_BANNER 102
#define IDD_CHANGE_SYMBOL 103
#define IDD_COPY 104
#define IDD_MAKE_DIR 105
#define IDD_CREATE 106
#define IDD_DELETE 107
#define IDD_TEST_DAT 108
#define IDD_TEST_MASTER 109
#define IDD_GOTO_DAILY 110
#define IDD_GOTO_INTRA 111
#define IDD_MOVE 112
#define IDD_DAT_REPORT 113
#define IDD_MASTER_REPORT 114
#define IDD_SELECT_PATH 115
#define IDD_SPLIT 116
#define IDD_EXPLAIN_DAT 117
#define IDD_EXPLAIN_MASTER 118
#define IDD_TRUNCATE 119

/* Icons of the three window classes. */
#define IDI_FRAME 120
#define IDI_EDITOR 121
#define IDI_BROWSER 122

/* Menu bars: interactive and utility-mode variants. */
#define IDR_MENU_EDIT 123
#define IDR_MENU_EDIT_UTILITY 124
#define IDR_MENU_FILER 125
#define IDR_MENU_FILER_UTILITY 126
#define IDR_MENU_INIT 127
#define IDR_MENU_INIT_UTILITY 128

/* The directory tree's 16-pixel image strip (white is transparent). */
#define IDB_FOLDERS 129

/* Accelerator tables. */
#define IDR_ACCEL 130
#define IDR_ACCEL_UTILITY 131

/* The About and banner picture, 539 x 272. */
#define IDB_PICTURE 700

/* Command identifiers (the WM_COMMAND low word). */
#define IDM_PLACE_CARET 501
#define IDM_TRUNCATE 502
#define IDM_SPLIT 503
#define IDM_DELETE_RECORD 504
#define IDM_INSERT_RECORD 505
#define IDM_GOTO 506
#define IDM_REFRESH_CONTENTS 507
#define IDM_REFRESH_TREE 508
#define IDM_DELETE 509
#define IDM_CREATE 510
#define IDM_MOVE 511
#define IDM_COPY 512
#define IDM_EDIT 513
#define IDM_TEST 514
#define IDM_TEST_MASTER 515
#define IDM_OPEN_EDITOR 516
#define IDM_SELECT_PATH 517
#define IDM_ABOUT 518
#define IDM_CLOSE 519
#define IDM_EXIT 520
#define IDM_TILE_VERTICALLY 521
#define IDM_TILE_HORIZONTALLY 522
#define IDM_CASCADE 523
#define IDM_ARRANGE 524
#define IDM_CLOSE_ALL 525
#define IDM_MINIMIZE_ALL 526
#define IDM_GOTO_RECORD 527
#define IDM_GOTO_RECORD_COLUMN 528
#define IDM_CHANGE_SYMBOL 529
#define IDM_CREATE_DIRECTORY 530
#define IDM_EXPORT 531
#define IDM_IMPORT 532

/* The frame's own commands run from IDM_FIRST_FRAME_COMMAND to
   IDM_LAST_FRAME_COMMAND; every other command goes to the active child. */
#define IDM_FIRST_FRAME_COMMAND 516
#define IDM_LAST_FRAME_COMMAND 526

/* The MDI client's child identifier and the first window-list entry. */
#define IDC_MDI_CLIENT 1
#define IDM_FIRST_CHILD 1000

/* Timer 1 of the banner (3000 ms) and of each editor (500 ms). */
#define IDT_BANNER 1
#define IDT_EDITOR_IDLE 1

/* The command a test sends its report window when the error list is ready. */
#define IDM_ERROR_LIST_READY 101

/* Directory browser panes. */
#define IDC_FILER_LIST 101
#define IDC_FILER_TREE 102

/* DAT File Errors and Master File Errors report windows (Goto / Correct is
   IDOK, Close is IDCANCEL). */
#define IDC_SAVE_ERRORS 102
#define IDC_RECORD_LIST 103
#define IDC_INSTRUMENT_LIST 103
#define IDC_PROBLEM_LIST 104
#define IDC_EXPLAIN_ERROR 105

/* Error Explanation dialogs. */
#define IDC_EXPLAIN_PROBLEM 101
#define IDC_EXPLAIN_SEVERITY 102
#define IDC_EXPLAIN_DETAILS 103

/* Test and Repair DAT File / Master File dialogs. */
#define IDC_TEST_FILE 101
#define IDC_TEST_LIST 102
#define IDC_TEST_CREATE_FILES 103
#define IDC_TEST_REPAIR 104
#define IDC_TEST_PROMPT 105

/* Create dialog. */
#define IDC_CREATE_PERIOD 101
#define IDC_CREATE_FIELDS 102
#define IDC_CREATE_NAME 103
#define IDC_CREATE_SYMBOL 104
#define IDC_CREATE_TIME_BASE 105

/* Create Directory dialog (its Create button is IDOK). */
#define IDC_MAKE_DIR_NAME 101
#define IDC_MAKE_DIR_PARENT 102

/* Change Symbol dialog. */
#define IDC_SYMBOL_NEW 101
#define IDC_SYMBOL_PRESENT 102
#define IDC_SYMBOL_INSTRUMENT 103

/* Select Path dialog. */
#define IDC_SELECT_PATH 101

/* Copy and Move dialogs. */
#define IDC_TRANSFER_SOURCE 101
#define IDC_TRANSFER_LIST 102
#define IDC_TRANSFER_DESTINATION 103

/* Delete dialog. */
#define IDC_DELETE_DIRECTORY 101
#define IDC_DELETE_LIST 102

/* Goto dialogs (daily: day, month, year; intraday adds the time). */
#define IDC_GOTO_DAY 101
#define IDC_GOTO_MONTH 102
#define IDC_GOTO_YEAR 103
#define IDC_GOTO_HOURS 104
#define IDC_GOTO_MINUTES 105
#define IDC_GOTO_SECONDS 106
#define IDC_GOTO_EXCLUDE_TIME 107

/* Split File dialog. */
#define IDC_SPLIT_DESTINATION 101
#define IDC_SPLIT_FIRST_INCLUDE 102
#define IDC_SPLIT_LAST_INCLUDE 103
#define IDC_SPLIT_LEAVE_INTACT 104

/* Truncate File dialog. */
#define IDC_TRUNCATE_FROM_CURRENT 101
#define IDC_TRUNCATE_INCLUDE_CURRENT 102
#define IDC_TRUNCATE_TO_CURRENT 103

#endif
