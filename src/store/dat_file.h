// Data files F<n>.DAT and column-description files F<n>.DOP.
//
// F<n>.DAT is a run of R-byte records, R = 4 x field count from the
// instrument's MasterRecord. Record 0 is the header (bytes 2-3: the record
// count including the header, 16-bit little-endian); data record k is physical
// record k + 1 at byte offset (k + 1) x R. Column c lies at offset 4 x c and
// holds an MBF float; column 0 is the date (YYMMDD, or CYYMMDD), and in
// intraday layouts column 1 is the time (HHMMSS).
//
// None of these functions shows a message, except GetDATFileType, which asks
// its questions through the given UserInteraction.
#pragma once

#include <cstdint>
#include <string>

#include "filelayer/file_layer.h"
#include "store/file_names.h"
#include "store/master_file.h"
#include "store/user_interaction.h"

// The meaning of a column of a DAT record.
enum class FieldType : uint8_t {
  None = 0,
  Date = 1,
  Time = 2,
  Open = 3,
  Low = 4,
  High = 5,
  Close = 6,
  Volume = 7,
  OpenInterest = 8,
};

inline constexpr int kMaxFields = 8;

// An open DAT file's shape, filled by GetDATFileType and kept by the editor.
struct DATLayout {
  int32_t recordCount;               // file length / R, header included
  FieldType fieldTypes[kMaxFields];  // columns past the field count are None
};

// Bytes 2-3 of the header hold the record count as an unsigned 16-bit
// number, as the files' own writers store it (a 64,885-record file carries
// 64,886); a count that does not fit is written as 0.
inline constexpr int32_t kHeaderCountLimit = 65535;

// The first 4 bytes of a DAT header, as GetDATFileType copies them.
struct DATHeader {
  uint8_t raw[4];

  uint16_t Unused() const { return static_cast<uint16_t>(raw[0] | (raw[1] << 8)); }
  uint16_t RecordCount() const { return static_cast<uint16_t>(raw[2] | (raw[3] << 8)); }
  // The count of records, header included; 0 beyond kHeaderCountLimit.
  void SetRecordCount(int32_t count) {
    const uint16_t stored = count > kHeaderCountLimit ? 0 : static_cast<uint16_t>(count);
    raw[2] = static_cast<uint8_t>(stored);
    raw[3] = static_cast<uint8_t>(stored >> 8);
  }
};

// A column's 4 stored bytes as a native float, the corrupt-number marker
// shown as 0.0, as the editor shows it.
float ColumnValue(const unsigned char* bytes);
// The 4 bytes of column `column` of physical record p (data record k is
// p = k + 1) as a native float: -1.0 when the read is refused or fails, 0.0
// for a corrupt number, else the value. Never any other negative value.
float ReadField(FileHandle handle, int32_t p, int column, int recordLength);
// Writes the value's MBF bytes at the same place without moving the handle's
// position. 1 when written, else 0.
int WriteField(FileHandle handle, float value, int32_t p, int column, int recordLength);

// Data record k's date parts (year since 1900). 1 when the date is valid; 0
// when it is not or the read failed. The parts are written whenever the read
// succeeded.
int GetDate(FileHandle handle, const MasterRecord& record, int32_t k, int16_t* day, int16_t* month,
            int16_t* year);
// Columns 0 and 1 of data record k in one read. 0 when the read fails or the
// date is invalid; otherwise 1 with the date's and the time's parts (the time
// is not validated: 25:00:00 gives hour 25).
int GetDateTime(FileHandle handle, const MasterRecord& record, int32_t k, int16_t* day, int16_t* month,
                int16_t* year, int16_t* hour, int16_t* minute, int16_t* second);

// Puts the record count (0 when it is more than 65,535) into header bytes 2-3,
// keeping bytes 0-1. The result of the write (1 or 0); 0 when the header
// cannot be read.
int UpdateDATHeader(FileHandle handle, int32_t recordCount);

// Checks the caller's open DAT file and fills *layout and *header. Asks "File
// is an inconsistent size. Ignore ?" when the length is not a whole number of
// records, and "Invalid DAT file. Do you wish to re-create it ?" when the file
// is empty; a Yes to the latter writes a fresh header through the caller's own
// handle (which must then be open for writing) and "Create Failed!" is shown
// when that fails. 1 when the file is usable and its layout known, else 0
// (at once, without questions, when the record's record length is 0).
int GetDATFileType(FileHandle handle, const char* fileName, const MasterRecord& record, DATLayout* layout,
                   DATHeader* header, UserInteraction& ui);

// 1 and the eight column types written for the record's field count and
// period character; 0 (layout untouched) when no layout has them.
int AssignFieldTypes(DATLayout* layout, const MasterRecord& record);

// "Date", "Time", "Open", "Low", "High", "Close", "Volume", "O I"; "Unknown"
// for every other code. Static texts.
const char* EnumerateFieldType(int code);
inline const char* EnumerateFieldType(FieldType type) {
  return EnumerateFieldType(static_cast<int>(type));
}

// Creates (or empties) F<n>.DAT holding only its header: bytes 0-1 zero,
// bytes 2-3 = 1, then R - 4 zero bytes. 1 once the file is created, even if
// the header write then fails; 0 when it cannot be created.
int CreateDATFile(const char* directory, const MasterRecord& record);
// Creates (or empties) F<n>.DOP: one "%s, %d, %d,\r\n" line per column of the
// layout, then an empty line. For a field count and period without a layout
// every line reads "Error, 0, 0,". 1 when written, else 0.
int CreateDOPFile(const char* directory, const MasterRecord& record);

// The date of data record 0 (bytes R ... R + 3 of F<n>.DAT) as MBF_IEEE gives
// it, kCorruptNumber included; -1.0 when the file cannot be opened or holds
// no data record.
float GetDATStartDate(const char* directory, int fileNumber, const MasterRecord& record);
// Likewise the date of the last record (bytes L - R ... L - R + 3).
float GetDATEndDate(const char* directory, int fileNumber, const MasterRecord& record);

// 1 when F<n>.DAT holds intraday records (a time column), judged from the
// file's contents alone; 0 otherwise, and when the file cannot be opened.
int IsIntra(const char* directory, int fileNumber);
// The record length of F<n>.DAT in bytes (16, 20, 24, 28 or 32), judged from
// the file's contents alone; 0xFFFF when the file cannot be opened, and when
// no length fits the contents.
uint16_t AscertainRecordLength(const char* directory, int fileNumber);
