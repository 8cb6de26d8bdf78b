// The record editor's data logic, apart from its window: opening an
// instrument's data file as the editor does, committing a typed cell text,
// appending the new-record row, the record commands (insert, delete the
// selection, truncate, split) with the Split File and Truncate File dialogs'
// OK logic, and the write-back on close. The Windows editor and its dialogs
// move values between their controls and these functions; qvx calls them
// directly. Every message and question goes through the UserInteraction with
// the program's own texts.
//
// Record numbers count data records from 0; the new-record row is the record
// number layout.recordCount - 1 (the record count includes the header).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "filelayer/file_guard.h"
#include "filelayer/file_layer.h"
#include "primitives/list.h"
#include "primitives/number_text.h"
#include "store/dat_file.h"
#include "store/master_file.h"
#include "store/record_ops.h"
#include "store/user_interaction.h"

// One value typed into the new-record row.
struct PendingValue {
  float value;
  int32_t set;  // 1 once a value was committed to this column
};

// One instrument open in an editor. Owns its file handle and selection; the
// destructor closes the file without writing anything back (CloseEditorSession
// does the write-back).
struct EditorSession {
  std::string directory;  // ending in a backslash
  int fileNumber = 0;
  std::string fileName;  // "%sF%d.DAT", or "%sF%d.MWD" for an XMASTER instrument
  // master's record, or the layout of an XMASTER instrument (its file number 0).
  MasterRecord masterRecord{};
  // An XMASTER instrument: its file is opened for reading only, and the
  // windows refuse every change (XmasterRefusalText).
  bool readOnly = false;
  DATLayout layout{};
  DATHeader headerStart{};  // as read at opening
  PendingValue pending[kMaxFields]{};
  ListPtr selection;
  FileGuard file{kClosedHandle};
};

// Fills the session's directory, file number, file name, master record and
// read-only mark for instrument fileNumber of the directory (master's, or
// XMASTER's from 256 on). 0 when no index file lists it or its data file is
// missing; -1 for an XMASTER instrument whose columns the DAT readers would
// take for others (XmasterRecord::LayoutKnown); else 1.
int LocateEditorInstrument(EditorSession* session, const char* directory, int fileNumber);

// Opens the instrument's F<n>.DAT for reading and writing (share 1, record
// size from its master record) and fills the layout with GetDATFileType,
// which may ask its questions. 1 when the session is ready. 0 after showing
// "File is read only or has been opened by another process, ..." (no master
// entry, no data file, or the open refused) or "Unable to edit files of this
// format." (GetDATFileType refused, or an XMASTER layout not known); nothing
// stays open then. An XMASTER instrument's F<n>.MWD is opened for reading only;
// for writing, the directory's leftover temporary files go first
// (temporary_files.h). The layout counts the records the file holds whole,
// whatever its header says; closing writes that count.
int OpenEditorSession(EditorSession* session, const char* directory, int fileNumber, UserInteraction& ui);

// Writes the instrument's first and last dates into master (UpdateMaster)
// and the record count into the header (UpdateDATHeader), then closes the
// file. A partly typed new record is dropped. 1 when both were written; 0 when
// either failed or the session holds no open file. A read-only session writes
// nothing back: 1.
int CloseEditorSession(EditorSession* session);

// The data records of the open file, and the new-record row's number.
inline int32_t DataRecordCount(const EditorSession& session) {
  return session.layout.recordCount - 1;
}
// The columns the grid shows: the master record's field count, at most 8.
int ColumnCount(const EditorSession& session);
// The record count read again from the file (length / record length), as the
// editor does after a deletion, truncation or split.
void RereadRecordCount(EditorSession* session);

// The cell text of a value: DD/MM/YY, HH:MM:SS or "%.2f".
std::string FormatCellText(FieldType type, float value);
// The same written at out (kCellTextRoom bytes at most), without a
// terminator; the end of the text.
inline constexpr size_t kCellTextRoom = kNumberTextRoom;
char* WriteCellText(char* out, FieldType type, float value);

// What typing one character into a cell with the given text does: the cell
// takes ".", "/", "0"-"9" and ":", except that a date refuses ":" and "." and
// a third "/" (a third is accepted while the text holds two, a fourth
// refused), a time likewise with ":" and "/" swapped, and a number refuses
// "." once the text holds two. A ninth character is ignored without refusal.
enum class TypedChar { Accepted, Ignored, Refused };
inline constexpr size_t kMaxTypedChars = 8;
TypedChar ClassifyTypedChar(FieldType type, std::string_view text, char ch);

enum class CellCommit {
  Stored,       // written into the existing record
  Pending,      // kept as the new-record row's value of that column
  InvalidDate,  // not a date: nothing stored ("An invalid date was specified!")
  InvalidTime,  // not a time: nothing stored ("An invalid time was specified!")
  NotTypable,   // a character the cell refuses, or more than 8 characters
  NoSuchCell,   // the column or the record lies outside the grid
  WriteFailed,  // the file refused the write
};
// Commits the text of cell (record, column) as the editor does when the
// cursor leaves a modified cell: dates and times parsed with the typed
// two-digit-year rule, numbers as decimal text (an empty text is 0). An
// existing record is written at once; the new-record row keeps the value as
// pending. A refused text stores nothing.
CellCommit CommitCellText(EditorSession* session, int32_t record, int column, const char* text);
// The same for a value already parsed (a date given with its century, which
// no typed text can carry): Stored, Pending, NoSuchCell or WriteFailed.
CellCommit CommitCellValue(EditorSession* session, int32_t record, int column, float value);

// When every column of the new-record row holds a pending value: appends the
// record (in one write), clears the pending values and raises the record
// count; 1. Otherwise 0, and when the write fails the pending values stay and
// whatever part of the record reached the file (a full disk) is cut away.
int AppendPendingRecord(EditorSession* session);

// Insert Record at the current record: 1 and the selection emptied, the
// record count raised by one; 0 after "Unable to insert record".
int EditorInsertRecord(EditorSession* session, int32_t currentRecord, UserInteraction& ui);

// Delete Record: "Please select AT LEAST one record and try again." for an
// empty selection; else asks "Are you sure you want to delete the selection ?"
// and on Yes deletes ("Errors occured during deletion!" when that fails) and
// reads the record count again. 1 when records were deleted.
int EditorDeleteSelection(EditorSession* session, UserInteraction& ui);

// The one selected record that Truncate and Split need; -1 after "Please
// select AT LEAST one record and try again." or "Please select ONLY one record
// and try again.".
int32_t SingleSelectedRecord(const EditorSession& session, UserInteraction& ui);

// The Truncate File dialog's OK: TruncateFile with the dialog's options,
// "Errors occured during truncation, file may be left in an inconsistent
// state!" when it fails. The dialog closes with 1 either way; the result here
// is TruncateFile's.
int TruncateDialogOk(FileHandle file, const char* fileName, int32_t record, int fromCurrent,
                     int includeCurrent, RecordSelection* selection, const MasterRecord& masterRecord,
                     UserInteraction& ui);

enum class SplitDialogResult {
  StayOpen,  // the destination was refused; the dialog stays for a correction
  Split,     // split done; the dialog closes with 1
  Failed,    // the split error was shown; the dialog closes with 1
};
// The Split File dialog's OK with the combo box's text as the destination:
// an empty text shows "The path specified was not valid."; a backslash is
// added unless the text ends in one; a missing directory asks "This directory
// does not exist, do you want to attempt to create it ?" (No stays; a failed
// creation shows "Unable to create directory, ..."); the directory joins the
// PathList; a destination without a free slot shows "Unable to insert file,
// the directory is already full!"; then SplitFile, and "Errors occured during
// split, Files may be left in an inconsistent state!" when it fails.
SplitDialogResult SplitDialogOk(FileHandle file, const char* sourceDirectory, int fileNumber,
                                MasterRecord* masterRecord, int32_t record, const char* destinationText,
                                int firstIncludeCurrent, int lastIncludeCurrent, int leaveIntact,
                                UserInteraction& ui);

// The editor's Truncate and Split commands with the dialogs' answers: the one
// selected record is required; after a confirmed dialog the record count is
// read again. The split keeps the session's file number in its master record
// and empties the selection. Truncate: 1 when the dialog was confirmed and
// TruncateFile succeeded. Split: the dialog's result (StayOpen also when the
// selection did not hold exactly one record).
int EditorTruncate(EditorSession* session, int fromCurrent, int includeCurrent, UserInteraction& ui);
SplitDialogResult EditorSplit(EditorSession* session, const char* destinationText, int firstIncludeCurrent,
                              int lastIncludeCurrent, int leaveIntact, UserInteraction& ui);
