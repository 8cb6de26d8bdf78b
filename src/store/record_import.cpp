#include "store/record_import.h"

#include <algorithm>
#include <charconv>
#include <optional>
#include <tuple>

#include "filelayer/file_guard.h"
#include "filelayer/file_layer.h"
#include "filelayer/platform_file.h"
#include "primitives/dates.h"
#include "primitives/mbf.h"
#include "primitives/text_fields.h"
#include "store/dat_file.h"
#include "store/file_names.h"
#include "store/index_files.h"
#include "store/instrument_dialogs.h"
#include "store/instrument_ops.h"
#include "store/messages.h"
#include "store/record_rules.h"
#include "store/temporary_files.h"

namespace {

constexpr int kColumnBytes = 4;

// The text column of each FieldType code (None has none).
constexpr TextColumn kTextColumnOfType[] = {TextColumn::Date,  TextColumn::Date,   TextColumn::Time,
                                            TextColumn::Open,  TextColumn::Low,    TextColumn::High,
                                            TextColumn::Close, TextColumn::Volume, TextColumn::OpenInterest};

std::string Line(int32_t line) {
  return JoinParts({"line ", std::to_string(line), ": "});
}

// A value as its shortest decimal text.
std::string Number(float value) {
  char text[32];
  return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}

std::string PeriodName(char period) {
  switch (LowerAscii(period)) {
    case 'd':
      return "daily";
    case 'w':
      return "weekly";
    case 'm':
      return "monthly";
    case 'i':
      return "intraday";
    default:
      return JoinParts({"period ", std::string(1, period)});
  }
}

// An instrument's layout as the rows are checked against it.
struct Layout {
  int fields = 0;
  TextColumn columns[kMaxFields] = {};
  int at[kValueColumns] = {-1, -1, -1, -1, -1, -1, -1, -1};  // by value column: its place, -1 where none
  bool intraday = false;
  std::string described;  // "date, high, low, close, volume"

  int Place(TextColumn column) const { return at[static_cast<size_t>(column)]; }
  bool Has(TextColumn column) const { return Place(column) >= 0; }
};

bool LayoutOf(const MasterRecord& record, Layout* layout) {
  DATLayout types{};
  if (!AssignFieldTypes(&types, record) || record.RecordLength() != kColumnBytes * record.FieldCount())
    return false;
  layout->fields = record.FieldCount();
  layout->intraday = record.Period() == 'I';
  for (int c = 0; c < layout->fields; ++c) {
    const TextColumn column = kTextColumnOfType[static_cast<size_t>(types.fieldTypes[c])];
    layout->columns[c] = column;
    layout->at[static_cast<size_t>(column)] = c;
    layout->described.append(c == 0 ? "" : ", ").append(TextColumnName(column));
  }
  return true;
}

// The rows checked one after the other, each against the one before.
class RowChecker {
 public:
  RowChecker(const Layout& layout, const std::string& instrument, CheckedRecords* checked, std::string* fault)
      : layout_(layout), instrument_(instrument), checked_(checked), fault_(fault) {}

  // The stored record the first row is to follow, as the DAT test reads the
  // record before the one it tests.
  void Follow(const unsigned char* previous) {
    previousValid_ = StoredDateOf(previous, &previousDate_);
    if (layout_.intraday) previousTimeValid_ = StoredTimeOf(previous + kColumnBytes, &previousTime_);
    previousLine_ = 0;
  }

  bool Check(const PriceRow& row) {
    float values[kMaxFields] = {};
    for (int c = 0; c < layout_.fields; ++c) {
      const TextColumn column = layout_.columns[c];
      if (row.Given(column)) {
        values[c] = row.Value(column);
      } else if (column == TextColumn::Date || column == TextColumn::Time) {
        return Fail(row.line, JoinParts({"no ", TextColumnName(column)}));
      } else {
        values[c] = kCorruptNumber;
        checked_->warnings.push_back(JoinParts({Line(row.line), "no ", TextColumnName(column),
                                                ": stored as the corrupt-number marker, which the DAT "
                                                "test reports (Corrupt Numbers)"}));
      }
    }
    if (!Prices(row.line, values) || !Order(row.line, values)) return false;
    const size_t at = checked_->bytes.size();
    checked_->bytes.resize(at + static_cast<size_t>(kColumnBytes * layout_.fields));
    for (int c = 0; c < layout_.fields; ++c)
      StoreMbfWord(&checked_->bytes[at + static_cast<size_t>(kColumnBytes * c)], IEEE_MBF(values[c]));
    if (checked_->count++ == 0) checked_->firstDate = values[0];
    checked_->lastDate = values[0];
    return true;
  }

 private:
  bool Fail(int32_t line, const std::string& what) {
    *fault_ = JoinParts({Line(line), what});
    return false;
  }

  // Codes 1-5, in the order of their codes.
  bool Prices(int32_t line, const float* values) {
    const auto value = [&](TextColumn column) {
      const int c = layout_.Place(column);
      return c < 0 ? kCorruptNumber : values[c];
    };
    const float open = value(TextColumn::Open), high = value(TextColumn::High), low = value(TextColumn::Low),
                close = value(TextColumn::Close);
    const bool hasOpen = layout_.Has(TextColumn::Open);
    struct Rule {
      bool broken;
      const char* a;
      float aValue;
      const char* relation;
      const char* b;
      float bValue;
      DATErrorCode code;
    };
    const Rule rules[] = {
        {ValueExceeds(low, high), "low", low, "above", "high", high, DATErrorCode::HighBelowLow},
        {ValueExceeds(close, high), "close", close, "above", "high", high, DATErrorCode::CloseAboveHigh},
        {ValueExceeds(low, close), "close", close, "below", "low", low, DATErrorCode::CloseBelowLow},
        {hasOpen && OpenExceeds(open, low, open), "open", open, "below", "low", low,
         DATErrorCode::OpenBelowLow},
        {hasOpen && OpenExceeds(open, open, high), "open", open, "above", "high", high,
         DATErrorCode::OpenAboveHigh},
    };
    for (const Rule& rule : rules) {
      if (!rule.broken) continue;
      return Fail(line, JoinParts({rule.a, " ", Number(rule.aValue), " is ", rule.relation, " ", rule.b, " ",
                                   Number(rule.bValue), " (", GetDATError(rule.code), ")"}));
    }
    return true;
  }

  // Codes 8 and 9 against the row (or stored record) before.
  bool Order(int32_t line, const float* values) {
    const float date = values[0], time = layout_.intraday ? values[1] : 0.0f;
    if (previousValid_) {
      const bool dates = DatesOutOfOrder(previousDate_, date, layout_.intraday);
      const bool times = layout_.intraday &&
                         DateTimesOutOfOrder(previousDate_, previousTimeValid_, previousTime_, date, time);
      if (dates || times) {
        const std::string before = previousLine_ == 0 ? JoinParts({"the last record of ", instrument_})
                                                      : JoinParts({"line ", std::to_string(previousLine_)});
        const bool sameDay = previousDate_ == date;
        std::string what = IsoDateText(date), was = IsoDateText(previousDate_);
        if (times && sameDay)
          what.append(" ").append(TimeText(time)), was.append(" ").append(TimeText(previousTime_));
        return Fail(line, JoinParts({what, layout_.intraday ? " comes before " : " does not come after ", was,
                                     " (", before, "): ",
                                     GetDATError(dates ? DATErrorCode::DatesOutOfOrder
                                                       : DATErrorCode::DateTimesOutOfOrder)}));
      }
    }
    previousValid_ = true;
    previousDate_ = date;
    previousTimeValid_ = true;
    previousTime_ = time;
    previousLine_ = line;
    return true;
  }

  const Layout& layout_;
  const std::string& instrument_;
  CheckedRecords* checked_;
  std::string* fault_;
  bool previousValid_ = false;
  bool previousTimeValid_ = false;
  float previousDate_ = 0.0f;
  float previousTime_ = 0.0f;
  int32_t previousLine_ = 0;
};

// The text's columns against the layout, and its period against the
// instrument's.
bool CheckColumns(const PriceText& text, const Layout& layout, const MasterRecord& record,
                  const std::string& instrument, std::string* fault) {
  for (int c = 0; c < layout.fields; ++c) {
    if (text.Named(layout.columns[c])) continue;
    *fault = JoinParts({Line(text.headerLine), "no ", TextColumnName(layout.columns[c]), " column, which ",
                        instrument, "'s layout has (", layout.described, ")"});
    return false;
  }
  for (int v = 0; v < kValueColumns; ++v) {
    const auto column = static_cast<TextColumn>(v);
    if (layout.Has(column) || !text.Filled(column)) continue;
    const auto row = std::ranges::find_if(text.rows, [&](const PriceRow& r) { return r.Given(column); });
    *fault = JoinParts({Line(row->line), "a value in the ", TextColumnName(column), " column, which ",
                        instrument, "'s layout has not (", layout.described, ")"});
    return false;
  }
  const int32_t first = text.rows.front().line;
  if (text.period != 0 && LowerAscii(text.period) != LowerAscii(record.Period())) {
    *fault = JoinParts({Line(first), "period ", std::string(1, text.period), ", but ", instrument, " is ",
                        PeriodName(record.Period())});
    return false;
  }
  if (text.minutes != 0 && record.TimeBase() != 0 && text.minutes != record.TimeBase()) {
    *fault = JoinParts({Line(first), "bars of ", std::to_string(text.minutes), " minutes, but ", instrument,
                        "'s time base is ", std::to_string(record.TimeBase())});
    return false;
  }
  return true;
}

// The name of a file as messages give it.
std::string ShownName(const std::string& name) {
  return NativePath(name.c_str());
}

std::string InstrumentName(int fileNumber) {
  return JoinParts({"F", std::to_string(fileNumber)});
}

// A data file's header of R bytes, all zero but the count.
std::vector<uint8_t> NewHeader(int32_t recordLength) {
  return std::vector<uint8_t>(static_cast<size_t>(recordLength), 0);
}

// The count of whole records, header included, into the header that begins the bytes.
void CountRecords(std::vector<uint8_t>* bytes, int32_t recordLength) {
  DATHeader header;
  std::copy_n(bytes->begin(), sizeof header.raw, header.raw);
  header.SetRecordCount(static_cast<int32_t>(bytes->size() / static_cast<size_t>(recordLength)));
  std::copy_n(header.raw, sizeof header.raw, bytes->begin());
}

// What an import keeps of the instrument's data file: its header (a new one
// where the file is missing or shorter than one) and, for an append, its
// records.
struct KeptDataFile {
  std::vector<uint8_t> bytes;
  int32_t held = 0;   // whole records after the header
  int32_t after = 0;  // bytes after the header
};

bool ReadKept(const std::string& name, int32_t recordLength, bool whole, KeptDataFile* kept,
              std::string* fault) {
  kept->bytes = NewHeader(recordLength);
  // A file that cannot be opened is not taken for a missing one: its records would go.
  if (!FilePresent(name)) return true;
  FileGuard file(SOpenFile(name.c_str(), kOpenReadOnly, kOpenShared, 1, kOpenNotTemporary));
  const int32_t length = file.Valid() ? FileLength(file.Get()) : -1;
  if (length >= 0 && length < recordLength) return true;
  if (length >= 0) {
    kept->after = length - recordLength;
    kept->held = kept->after / recordLength;
    kept->bytes.resize(static_cast<size_t>(whole ? length : recordLength));
    if (ReadBlock(file.Get(), kept->bytes.data(), static_cast<uint32_t>(kept->bytes.size()), 0, 0))
      return true;
  }
  *fault = JoinParts({ShownName(name), " cannot be read"});
  return false;
}

// Writes the bytes whole as a new record temporary of the directory, which
// then takes the file's place in one step.
bool WriteWhole(const char* directory, const std::string& file, const std::vector<uint8_t>& bytes) {
  const std::string temp = CreateRecordTempFile(directory);
  return !temp.empty() && ReplaceWholeFile(temp, file, bytes);
}

// Keeps the one notice BuildCreateRecord may show.
class NoticeKept : public UserInteraction {
 public:
  void ShowNotice(const char* text) override { notice = text; }
  bool AskYesNo(const char*) override { return false; }
  std::string notice;
};

// The field count and period the given values and the file make: one of the
// twelve layouts, its columns the value columns the file fills.
bool LayoutOfText(const PriceText& text, const CreateFromText& given, CreateEntries* entries,
                  std::string* fault) {
  char period = given.period;
  if (text.period != 0) {
    const char written = static_cast<char>(text.period - (text.period >= 'a' ? 'a' - 'A' : 0));
    if (period != 0 && period != written) {
      *fault = JoinParts({Line(text.rows.front().line), "period ", std::string(1, text.period), ", but ",
                          PeriodName(period), " was asked for"});
      return false;
    }
    period = written;
  }
  if (period == 0) period = text.Filled(TextColumn::Time) ? 'I' : 'D';
  int filled = 0;
  for (int v = 0; v < kValueColumns; ++v) filled += text.Filled(static_cast<TextColumn>(v)) ? 1 : 0;
  const int fields = given.fieldCount != 0 ? given.fieldCount : filled;
  MasterRecord probe{};
  probe.SetPeriod(period);
  probe.SetFieldCount(static_cast<uint8_t>(fields));
  probe.SetRecordLength(static_cast<uint8_t>(kColumnBytes * fields));
  Layout layout;
  bool matches = LayoutOf(probe, &layout);
  for (int v = 0; v < kValueColumns && matches; ++v) {
    const auto column = static_cast<TextColumn>(v);
    matches = !text.Filled(column) || layout.Has(column);
  }
  if (!matches) {
    std::string columns;
    for (int v = 0; v < kValueColumns; ++v)
      if (text.Filled(static_cast<TextColumn>(v)))
        columns.append(columns.empty() ? "" : ", ").append(TextColumnName(static_cast<TextColumn>(v)));
    *fault = JoinParts({Line(text.headerLine), "no ", PeriodName(period), " layout of ",
                        std::to_string(fields), " fields holds the columns the file fills (", columns, ")"});
    return false;
  }
  entries->period = period;
  entries->fieldCount = fields;
  entries->timeBase = given.timeBase;
  if (period == 'I' && entries->timeBase.empty() && text.minutes != 0)
    entries->timeBase = std::to_string(text.minutes);
  return true;
}

// A name for a field of width characters: the given one, or the file's in the
// code page.
bool NameFor(const std::string& given, const std::string& stored, const char* what, size_t width,
             int32_t line, std::string* name, std::string* fault) {
  *name = given.empty() ? stored : given;
  if (!given.empty() || stored.size() <= width) return true;
  *fault = JoinParts({Line(line), "the ", what, " \"", stored, "\" is longer than ", std::to_string(width),
                      " characters: give --", what});
  return false;
}

}  // namespace

bool CheckRows(const PriceText& text, const MasterRecord& record, const std::string& instrument,
               const unsigned char* previous, int32_t kept, CheckedRecords* checked, std::string* fault) {
  checked->count = 0;
  checked->warnings.clear();
  Layout layout;
  if (!LayoutOf(record, &layout)) {
    *fault = JoinParts({instrument, ": ", GetError(kUnknownFormatMessage)});
    return false;
  }
  if (!CheckColumns(text, layout, record, instrument, fault)) return false;
  RowChecker rows(layout, instrument, checked, fault);
  if (previous != nullptr) rows.Follow(previous);
  checked->bytes.reserve(checked->bytes.size() +
                         text.rows.size() * static_cast<size_t>(kColumnBytes * layout.fields));
  for (const PriceRow& row : text.rows) {
    if (kept + checked->count == kMaxImportedRecords) {
      *fault = JoinParts(
          {Line(row.line), "a data file holds at most ", std::to_string(kMaxImportedRecords), " records",
           kept > 0 ? JoinParts({" (", instrument, " holds ", std::to_string(kept), ")"}) : std::string()});
      return false;
    }
    if (!rows.Check(row)) return false;
  }
  return true;
}

bool StoredNames(const PriceText& text, CodePage page, std::string* symbol, std::string* name,
                 std::string* fault) {
  const char* const pageName = page == CodePage::Windows1252 ? "Windows-1252" : "ISO 8859-1";
  for (auto [utf8, stored, what] :
       {std::tuple(&text.symbol, symbol, "symbol"), std::tuple(&text.name, name, "name")}) {
    const std::optional<std::string> converted = FromUtf8(*utf8, page);
    if (!converted) {
      *fault = JoinParts({Line(text.rows.front().line), "the ", what, " \"", *utf8, "\" holds a character ",
                          pageName, " has not (or is not UTF-8)"});
      return false;
    }
    *stored = *converted;
  }
  return true;
}

bool ImportRecords(const char* directory, int fileNumber, const char* textFile, ImportMode mode,
                   CodePage page, ImportResult* result, std::string* fault) {
  *result = ImportResult{};
  const std::string instrument = InstrumentName(fileNumber);
  MasterRecord record;
  if (fileNumber < 1 || fileNumber > kMaxInstruments ||
      !GetMetaStockMasterRecord(directory, fileNumber, &record)) {
    *fault = JoinParts({GetError(kInvalidInstrumentMessage), " (no instrument ", instrument,
                        " in the master file of ", ShownName(directory), ")"});
    return false;
  }
  const int32_t recordLength = record.RecordLength();
  if (recordLength == 0) {
    *fault = JoinParts({instrument, ": ", GetError(kUnknownFormatMessage)});
    return false;
  }
  const std::string dataFile = DATFileName(directory, fileNumber);
  KeptDataFile old;
  if (!ReadKept(dataFile, recordLength, mode == ImportMode::Append, &old, fault)) return false;
  PriceText text;
  std::string symbol, name;
  if (!ReadPriceText(textFile, &text, fault) || !StoredNames(text, page, &symbol, &name, fault)) return false;

  if (mode == ImportMode::IntoEmpty && old.held > 0) {
    *fault =
        JoinParts({instrument, " holds ", std::to_string(old.held),
                   " records: give --append to add the file's after them, or --replace to replace them"});
    return false;
  }
  if (mode == ImportMode::IntoEmpty && old.after > 0) {
    *fault = JoinParts({ShownName(dataFile), " holds ", std::to_string(old.after),
                        " bytes after its header, less than a record: give --replace to replace them"});
    return false;
  }
  if (mode == ImportMode::Append && old.after % recordLength != 0) {
    *fault = JoinParts(
        {ShownName(dataFile), " ends in a partial record, which an append would lose (see qvx test-dat)"});
    return false;
  }
  // The record the first row follows, apart: the records go on behind it.
  const int32_t kept = mode == ImportMode::Append ? old.held : 0;
  const std::vector<uint8_t> last(old.bytes.end() - (kept > 0 ? recordLength : 0), old.bytes.end());
  CheckedRecords checked;
  checked.bytes = std::move(old.bytes);
  if (!CheckRows(text, record, instrument, kept > 0 ? last.data() : nullptr, kept, &checked, fault))
    return false;
  if (mode == ImportMode::Check) {
    *result = {checked.count, old.held, std::move(checked.warnings)};
    return true;
  }
  CountRecords(&checked.bytes, recordLength);
  if (!WriteWhole(directory, dataFile, checked.bytes)) {
    *fault = JoinParts({ShownName(dataFile), " could not be replaced: ", GetError(kFileAccessMessage)});
    return false;
  }
  result->imported = checked.count;
  result->held = kept + checked.count;
  result->warnings = std::move(checked.warnings);
  FileGuard written(SOpenFile(dataFile.c_str(), kOpenReadOnly, kOpenShared,
                              static_cast<uint32_t>(recordLength), kOpenNotTemporary));
  if (!written.Valid() || UpdateMaster(written.Get(), directory, record) == 0) {
    *fault =
        JoinParts({"the records are in ", ShownName(dataFile), ", but master's dates could not be written"});
    return false;
  }
  return true;
}

int16_t CreateInstrumentFromText(const char* directory, const char* textFile, const CreateFromText& given,
                                 ImportResult* result, std::string* fault) {
  *result = ImportResult{};
  PriceText text;
  std::string symbol, name;
  if (!ReadPriceText(textFile, &text, fault) || !StoredNames(text, given.page, &symbol, &name, fault))
    return -1;
  CreateEntries entries;
  const int32_t first = text.rows.front().line;
  if (!LayoutOfText(text, given, &entries, fault) ||
      !NameFor(given.symbol, symbol, "symbol", master_offset::kSymbolWidth, first, &entries.symbol, fault) ||
      !NameFor(given.name, name.empty() ? symbol : name, "name", kNameKept, first, &entries.name, fault)) {
    return -1;
  }
  if (entries.name.empty()) {
    *fault = JoinParts(
        {Line(text.headerLine), "the file names no instrument (no name or symbol column): give --name"});
    return -1;
  }
  NoticeKept notice;
  MasterRecord record;
  if (BuildCreateRecord(entries, notice, &record) == 0) {
    *fault = notice.notice;
    return -1;
  }
  CheckedRecords checked;
  checked.bytes = NewHeader(record.RecordLength());
  if (!CheckRows(text, record, "the new instrument", nullptr, 0, &checked, fault)) return -1;
  CountRecords(&checked.bytes, record.RecordLength());
  record.SetFirstDate(checked.firstDate);
  record.SetLastDate(checked.lastDate);

  const int16_t number = NextFileNumber(directory);
  if (number == -1) {
    *fault = GetError(kDirectoryFullMessage);
    return -1;
  }
  MasterRecord entry = record;
  entry.SetFileNumber(static_cast<uint8_t>(number));
  const std::string dataFile = DATFileName(directory, number);
  if (!WriteWhole(directory, dataFile, checked.bytes)) {
    *fault = JoinParts({ShownName(dataFile), " could not be written"});
    return -1;
  }
  CreateDOPFile(directory, entry);
  if (CreateInstrument(directory, &record, 0, {}, number) != number) {
    for (InstrumentFile file : {InstrumentFile::DAT, InstrumentFile::DOP})
      platform::RemoveFile(InstrumentFileName(directory, number, file));
    *fault = JoinParts(
        {"Unable to create instrument (master of ", ShownName(directory), " could not be written)"});
    return -1;
  }
  result->imported = result->held = checked.count;
  result->warnings = std::move(checked.warnings);
  return number;
}
