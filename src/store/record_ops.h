// The operations that change the records of one open F<n>.DAT as a whole:
// inserting a record, deleting the selected records, truncating the file
// before or after a record, and splitting it into two instruments.
//
// Each works through the file access layer on the FileHandle the editor keeps
// open (mode 1, share 1, the MasterRecord's record length L). Data record r is
// file record r + 1 at byte offset (r + 1) x L; record 0 is the header, whose
// bytes 2-3 hold the number of records including the header (0 when that is
// more than 65,535). None of them shows a message: each returns 1 or 0 and the
// caller reports.
//
// Files are rewritten through a temporary file created with a unique name
// (temporary_files.h) beside the file it will replace (so the final
// replacement is one rename on one volume), which then takes the data file's
// place in one step (SUpdateFile). Until that step the data file is
// untouched; when anything fails before it the temporary file is removed and
// the result is 0. After a replacement the caller's FileHandle refers to the
// new file; the caller's record count, cursor and selection are its own to
// adjust.
#pragma once

#include <cstdint>

#include "filelayer/file_layer.h"
#include "primitives/list.h"
#include "store/master_file.h"

// A List of 4-byte signed record numbers kept ascending with
// EditRecordNumberCompare; owned by the editor.
using RecordSelection = List;

// Inserts a copy of data record r directly after it. r may be one past the
// last record (the editor's new-record row): a copy of the last record is then
// appended. The header, count included, is copied unchanged. 0 (file
// untouched) when r is negative, the file holds no data record, or any step
// before the replacement fails; 1 when the file was replaced.
int InsertRecord(FileHandle handle, const char* fileName, int32_t r, const MasterRecord& record);

// Drops every data record whose number is in the selection and removes those
// numbers from it; numbers beyond the end of the file stay. The header is
// always kept, unchanged. A selection naming no record rewrites the file
// unchanged. 1 when the file was replaced; 0 and file and selection untouched
// otherwise.
int DeleteSelectedDATRecords(FileHandle handle, const char* fileName, RecordSelection* selection,
                             const MasterRecord& record);

// fromCurrent set: deletes the records from r (includeCurrent set) or from
// r + 1 (clear) to the end by cutting the file in place, then writes the new
// count into the header. fromCurrent clear: deletes the records before r, and
// r itself when includeCurrent is set, by rewriting the file; the header count
// becomes the new file's length / L. The selection is emptied in every case.
// 0 (file untouched) when r is not a data record of the file or the cut or
// replacement fails; 0 also when the in-place cut succeeded but the header
// count could not be written (the file is then shorter, its count stale). The
// fileName is the data file's full name, so that the temporary file goes
// beside it.
int TruncateFile(FileHandle handle, const char* fileName, int32_t r, int fromCurrent, int includeCurrent,
                 RecordSelection* selection, const MasterRecord& record);

// Divides the data at r into a first portion (records before r) and a last
// portion (records after r); record r goes into each portion whose
// include-current flag is set. The first portion becomes a new instrument in
// the destination directory (CreateInstrument, the entry being the given
// MasterRecord's fields with the portion's own first and last dates). With
// leaveIntact the last portion becomes a second new instrument and the source
// file is not changed; without it the last portion replaces the source file.
// Each portion's header count is its length / L. The destination may be the
// source directory. A data file already present under a newly handed-out
// number is not listed in master (the number was free), so it is stale and is
// replaced.
//
// record's file-number byte receives the last number handed out (the caller
// puts its own back). 1 when every portion was written and stored. 0 when r
// is not a data record, the destination lacks room for the new instruments
// (nothing is changed), or any step fails: then every instrument this call
// added is removed again, its data file with it, and the source file is
// unchanged.
int SplitFile(FileHandle handle, const char* sourceDirectory, int sourceFileNumber, MasterRecord* record,
              const char* destinationDirectory, int32_t r, int firstIncludeCurrent, int lastIncludeCurrent,
              int leaveIntact);
