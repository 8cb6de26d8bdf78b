// Text files of price records, as import reads them: comma-separated values
// with a header line naming the columns.
//
// Two layouts come from export, and import reads both:
//   table:     directory,file,symbol,name,period,date,time,open,high,low,close,volume,open_interest
//              dates YYYY-MM-DD, times HH:MM:SS, an absent column empty;
//   metastock: <TICKER>,<PER>,<DTYYYYMMDD>,<TIME>,<OPEN>,<HIGH>,<LOW>,<CLOSE>,<VOL>,<OPENINT>
//              dates YYYYMMDD, times HHMMSS, <PER> the period letter.
// Besides them, any header naming the columns below in any order: the bare
// date,[time,]open,high,low,close,volume[,open_interest] of other programs
// too. Names are taken without regard to case, with or without the angle
// brackets; dates as YYYY-MM-DD or YYYYMMDD, times as HH:MM:SS or HHMMSS in
// either layout; a period as its letter or as the minutes of an intraday bar.
// Numbers are decimal text as std::from_chars reads it, which gives back
// exactly the float whose shortest text export writes.
//
// The text is UTF-8 (a byte order mark is passed over), lines end in LF or CR
// LF, fields may be quoted with double quotes ("" for a quote inside) and are
// trimmed of blanks and tabs outside the quotes. Blank lines are passed over.
// A file names one instrument: where it has directory, file, symbol, name or
// period columns, every row gives the same text in each.
//
// Reading checks each field on its own (a date that is a date, a number that
// a data file can hold); store/record_import.h checks the rows against an
// instrument's layout and the rules of its records. Every fault names its
// line: "line 7: 2023-02-31 is not a date".
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// The columns a price text may name. The value columns come first, in the
// order of a data record's columns.
enum class TextColumn : uint8_t {
  Date,
  Time,
  Open,
  High,
  Low,
  Close,
  Volume,
  OpenInterest,
  Directory,
  File,
  Symbol,
  Name,
  Period,
};
inline constexpr int kValueColumns = 8;
inline constexpr int kTextColumns = 13;

// The column's name in messages: its table layout name ("open_interest").
const char* TextColumnName(TextColumn column);

// A data file's header counts its records and itself in 16 bits: no more
// rows than this are read from one text.
inline constexpr int32_t kMaxTextRows = 65534;

// The longest line read, in bytes without its line end; a longer one is a
// fault (no line of either layout comes near it).
inline constexpr size_t kMaxTextLine = 8192;

struct PriceRow {
  int32_t line = 0;
  // By value column (TextColumn's first kValueColumns); set where given.
  // Dates are stored dates (CYYMMDD), times HHMMSS.
  std::array<float, kValueColumns> values{};
  uint8_t given = 0;  // bit c: value column c held a value

  bool Given(TextColumn column) const { return (given >> static_cast<int>(column) & 1) != 0; }
  float Value(TextColumn column) const { return values[static_cast<size_t>(column)]; }
};

struct PriceText {
  int32_t headerLine = 0;
  std::array<bool, kTextColumns> named{};    // the header names the column
  std::array<bool, kValueColumns> filled{};  // some row gives the value column
  // What the rows say of their instrument, each as the first row gives it
  // (UTF-8, as written); "" where the file has no such column.
  std::string directory, file, symbol, name;
  // The period: 'D', 'W', 'M' or 'I' as written (a lower-case letter marks
  // a composite); 'I' with minutes when the column gives the minutes of an
  // intraday bar; 0 when the file gives none.
  char period = 0;
  uint16_t minutes = 0;
  std::vector<PriceRow> rows;

  bool Named(TextColumn column) const { return named[static_cast<size_t>(column)]; }
  bool Filled(TextColumn column) const { return filled[static_cast<size_t>(column)]; }
};

// Reads the text file (a core file name) through the file layer. True and
// *text; false and *fault, the first fault found (a file that cannot be read,
// an empty file, a header that names an unknown column or a column twice or
// no date, a line too long, a quote not closed, a row with another number of
// fields than the header, a field that is not what its column holds, a row
// of another instrument, no row at all, more than kMaxTextRows rows).
bool ReadPriceText(const char* fileName, PriceText* text, std::string* fault);

// A stored date as YYYY-MM-DD, and HHMMSS as HH:MM:SS, for messages.
std::string IsoDateText(float date);
std::string TimeText(float time);
