// Price records brought in from text (store/price_text.h) into an
// instrument's data file: qvx import and create --from, and the browser's
// Import command, call these functions and show their messages as they are.
//
// Every row is checked before anything is written: against the instrument's
// layout (the file names each of its columns and gives no value in a column
// it lacks), its period, and the rules its records keep (store/record_rules.h:
// prices in order, dates and times in order), so that the DAT test finds
// nothing in what import writes. A fault names the line and the rule:
// "line 9: close 12.5 is above high 12 (Close > High)".
//
// An empty field in a column of the layout is the one exception: it is
// stored as the corrupt-number marker (MBF_IEEE's kCorruptNumber, the bytes
// 00 00 80 82), as export writes that marker as an empty field, so that
// exporting and importing gives back the same bytes; a warning names each
// such field, and the DAT test reports it. A date or a time must be given.
//
// Each value is stored as IEEE_MBF of the float the text gives; a value read
// from a data file and written as its shortest decimal text comes back to the
// same 4 bytes, except the bytes 00 00 00 02 (MBF's exponent 2 without a
// fraction, which reads as 0 and is written back as 00 00 00 00) and a
// corrupt number other than the marker's bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "primitives/code_page.h"
#include "store/master_file.h"
#include "store/price_text.h"

enum class ImportMode {
  IntoEmpty,  // the default: only into a data file that holds no record, or none at all
  Append,     // after the records the file holds; the first row must follow the last record in order
  Replace,    // in place of every record the file holds
  Check,      // every check of Replace, and nothing written: what the browser asks about first
};

// Rows checked against an instrument's layout: its data file's records.
struct CheckedRecords {
  std::vector<uint8_t> bytes;  // the records, one record length each
  int32_t count = 0;
  float firstDate = 0.0f;
  float lastDate = 0.0f;
  std::vector<std::string> warnings;  // "line 7: no close: stored as the corrupt-number marker, ..."
};

// No more data records go into one data file (price_text.h).
inline constexpr int32_t kMaxImportedRecords = kMaxTextRows;

// Checks the rows against the record's layout (field count, period, time
// base, record length 4 x field count; an instrument whose layout the DAT
// readers do not know is refused) and the rules of its records. instrument
// names it in messages ("F7"). previous: the stored record the first row must
// follow (an append), else null; kept: the records that stay before the rows.
// The records go on behind what checked->bytes holds already (the header,
// and the records an append keeps). True and *checked; false and *fault, the
// first fault: a column of the
// layout the file does not name, a value in a column the layout lacks,
// another period (another time base where the instrument has one), a row
// without a date or (intraday) a time, prices that break a rule (codes 1-5),
// a row out of order after the one before (codes 8 and 9), more than
// kMaxImportedRecords records in all.
bool CheckRows(const PriceText& text, const MasterRecord& record, const std::string& instrument,
               const unsigned char* previous, int32_t kept, CheckedRecords* checked, std::string* fault);

// The file's symbol and name (UTF-8) in the code page. False and *fault,
// naming the line, when it cannot hold a character of one, or the text is
// not UTF-8.
bool StoredNames(const PriceText& text, CodePage page, std::string* symbol, std::string* name,
                 std::string* fault);

struct ImportResult {
  int32_t imported = 0;  // records the text gave
  int32_t held = 0;      // records the data file holds now
  std::vector<std::string> warnings;
};

// The text file's records into instrument fileNumber (master's, 1 ... 255) of
// the directory (ending in a backslash), as the mode says. The names of the
// file are checked against the code page, never stored.
//
// Steps: the instrument, its data file and the text are read and checked
// whole; nothing is written until all is well. Then the data file is written
// whole as a record temporary (temporary_files.h) that takes its place in one
// step: its header the old header's bytes (a new header when the file was
// missing or shorter than one) with the new count, then the records kept (an
// append) and the new ones. Last, master's first and last dates, and
// EMASTER's where it follows master (UpdateMaster). A stop leaves the old
// data file or the new one, never part of one; stopped before the last step
// it leaves master's dates of before, which the editor's close or the master
// test's repairs set right.
//
// True and *result. False and *fault: nothing changed, except when only the
// dates could not be written (the fault says so: the records are in place).
// Check writes nothing; its result's held is what the data file holds now.
bool ImportRecords(const char* directory, int fileNumber, const char* textFile, ImportMode mode,
                   CodePage page, ImportResult* result, std::string* fault);

// What create --from is told beside the file; empty or 0 where the file is
// to tell.
struct CreateFromText {
  std::string name{};      // else the file's name column, else its symbol
  std::string symbol{};    // else the file's symbol column
  char period = 0;         // 'D', 'W', 'M', 'I'; else the file's period, else intraday when it gives times
  int fieldCount = 0;      // else the number of value columns the file fills
  std::string timeBase{};  // intraday, as typed in the Create dialog; else the file's minutes
  CodePage page = CodePage::Windows1252;
};

// A new instrument of the directory holding the text file's records, its
// record built as the Create dialog builds it (BuildCreateRecord) with the
// dates of the first and last record. Everything is checked before anything
// is created: a layout that the given and the filled columns make (one of
// the twelve), names the code page holds that fit their fields, the rows.
// Then the data file is written whole under the number the new instrument
// takes (a temporary that takes its name), its column file is written, and
// last master lists it (EMASTER following): a stop leaves no instrument or a
// data file that no master lists, which the master repair lists again; a
// failure takes the files away again. The new number, or -1 and *fault.
int16_t CreateInstrumentFromText(const char* directory, const char* textFile, const CreateFromText& given,
                                 ImportResult* result, std::string* fault);
