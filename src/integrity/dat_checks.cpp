#include "integrity/dat_checks.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>
#include <string>
#include <utility>

#include "filelayer/file_guard.h"
#include "integrity/error_list.h"
#include "integrity/integrity_internal.h"
#include "primitives/dates.h"
#include "primitives/mbf.h"
#include "primitives/memory.h"
#include "store/dat_file.h"
#include "store/messages.h"

using integrity_detail::CloseWithNotice;
using integrity_detail::Deliver;

namespace {

constexpr int kColumnBytes = 4;
// Bytes read from the data file at a time.
constexpr int kReadAhead = 32768;

// Where each column type sits among the columns that fit inside a record; -1
// when the layout has none there.
struct Columns {
  int count = 0;
  int date = -1, time = -1, open = -1, low = -1, high = -1, close = -1;
};

Columns TestedColumns(const DATLayout& layout, const MasterRecord& record) {
  Columns columns;
  columns.count =
      std::min({static_cast<int>(record.FieldCount()), record.RecordLength() / kColumnBytes, kMaxFields});
  for (int c = 0; c < columns.count; ++c) {
    switch (layout.fieldTypes[c]) {
      case FieldType::Date:
        columns.date = c;
        break;
      case FieldType::Time:
        columns.time = c;
        break;
      case FieldType::Open:
        columns.open = c;
        break;
      case FieldType::Low:
        columns.low = c;
        break;
      case FieldType::High:
        columns.high = c;
        break;
      case FieldType::Close:
        columns.close = c;
        break;
      default:
        break;
    }
  }
  return columns;
}

// What the date or time tests make of one stored column word: whether it
// is a valid date (time) and the value the order tests take it for, as
// StoredDateOf (StoredTimeOf) reads it; for a word that is no corrupt number
// the first is also what IsValidFloatDate (IsValidFloatTime) says of its
// value. A word recurs (the records of one day share their date; each
// record's date is the next one's previous date), so the answers for the
// two latest words are kept.
class StoredWords {
 public:
  using Reader = bool (*)(const unsigned char* column, float* value);
  explicit StoredWords(Reader read) : read_(read) {}

  // Whether the column's word is valid; *value the value the order tests take.
  bool Of(const unsigned char* column, float* value) {
    const uint32_t word = LoadMbfWord(column);
    Known* known = nullptr;
    for (Known& k : known_) {
      if (k.filled && k.word == word) known = &k;
    }
    if (known == nullptr) {
      known = &known_[next_];
      next_ ^= 1;
      *known = {true, word, false, 0.0f};
      known->valid = read_(column, &known->value);
    }
    *value = known->value;
    return known->valid;
  }

 private:
  struct Known {
    bool filled = false;
    uint32_t word = 0;
    bool valid = false;
    float value = 0.0f;
  };
  Reader read_;
  Known known_[2];
  int next_ = 0;
};

// The stored dates and times of one file's records.
struct StoredDatesAndTimes {
  StoredWords dates{StoredDateOf};
  StoredWords times{StoredTimeOf};
};

// The tests of one record, read into bytes; previous holds the record before
// it (null for record 0). They add to entry.
class RecordTests {
 public:
  RecordTests(const unsigned char* previous, const MasterRecord& record, const Columns& columns,
              const unsigned char* bytes, StoredDatesAndTimes& stored, DATErrorEntry* entry)
      : previous_(previous),
        intraday_(record.Period() == 'I'),
        columns_(columns),
        bytes_(bytes),
        stored_(stored),
        entry_(entry) {
    // Each column is converted once per record, whichever tests read it.
    for (int c = 0; c < columns.count; ++c) {
      values_[c] = MBF_IEEE(LoadMbfWord(bytes + kColumnBytes * c));
      anyCorrupt_ |= IsCorruptValue(values_[c]);
    }
  }

  // The codes as bits (bit c: code c is tested).
  static unsigned Selection(const int32_t* codes, int count) {
    unsigned selected = 0;
    for (int i = 0; i < count; ++i) {
      if (codes[i] >= 0 && codes[i] < kDATTestCount) selected |= 1u << codes[i];
    }
    return selected;
  }

  // Whether no selected test finds anything: the tests then need not run one
  // by one, which is what almost every record of a file comes to. (Each code
  // is a constant here, so each rule is tested in line.)
  bool KeepsEveryRule(unsigned selected) const {
    return [&]<size_t... code>(std::index_sequence<code...>) {
      return ((!(selected >> code & 1u) || BrokenAt(static_cast<DATErrorCode>(code)) < 0) && ...);
    }
    (std::make_index_sequence<kDATTestCount>{});
  }

  // False when memory ran out.
  bool Run(int32_t code) {
    if (code == static_cast<int32_t>(DATErrorCode::CorruptNumbers)) {
      for (int c = 0; c < columns_.count; ++c) {
        if (IsCorruptValue(values_[c]) && !Add(c, code)) return false;
      }
      return true;
    }
    const int column = BrokenAt(static_cast<DATErrorCode>(code));
    return column < 0 || Add(column, code);
  }

 private:
  bool Add(int column, int32_t code) { return AddDATError(static_cast<uint8_t>(column), code, entry_) != 0; }

  // The column a break of the rule is recorded on, or -1 when the record
  // keeps it (and for codes that are no rule). Code 0 is recorded on every
  // corrupt column (Run); here it answers column 0 when there is one.
  int BrokenAt(DATErrorCode code) const {
    const auto at = [](bool broken, int column) { return broken ? column : -1; };
    switch (code) {
      case DATErrorCode::CorruptNumbers:
        return at(anyCorrupt_, 0);
      case DATErrorCode::HighBelowLow:
        return at(Exceeds(columns_.low, columns_.high), columns_.low);
      case DATErrorCode::CloseAboveHigh:
        return at(Exceeds(columns_.close, columns_.high), columns_.close);
      case DATErrorCode::CloseBelowLow:
        return at(Exceeds(columns_.low, columns_.close), columns_.low);
      case DATErrorCode::OpenBelowLow:
        return at(OpenOutside(columns_.low, columns_.open), columns_.open);
      case DATErrorCode::OpenAboveHigh:
        return at(OpenOutside(columns_.open, columns_.high), columns_.open);
      case DATErrorCode::InvalidDates:
        return at(Invalid(columns_.date, stored_.dates), columns_.date);
      case DATErrorCode::InvalidTimes:
        return at(Invalid(columns_.time, stored_.times), columns_.time);
      case DATErrorCode::DatesOutOfOrder:
        return at(DateBeforePrevious(), 0);
      case DATErrorCode::DateTimesOutOfOrder:
        return at(DateTimeBeforePrevious(), 0);
      default:
        return -1;
    }
  }

  // Codes 1-3: the value of column a above that of column b.
  bool Exceeds(int aColumn, int bColumn) const {
    return aColumn >= 0 && bColumn >= 0 && ValueExceeds(values_[aColumn], values_[bColumn]);
  }

  // Codes 4 and 5: an open price outside the range.
  bool OpenOutside(int aColumn, int bColumn) const {
    return columns_.open >= 0 && aColumn >= 0 && bColumn >= 0 &&
           OpenExceeds(values_[columns_.open], values_[aColumn], values_[bColumn]);
  }

  // Codes 6 and 7: a readable value that is no date (time).
  bool Invalid(int column, StoredWords& words) const {
    if (column < 0 || values_[column] < 0.0f) return false;
    float value = 0.0f;
    return !words.Of(bytes_ + kColumnBytes * column, &value);
  }

  // The previous record's date; false when there is none or it is not a
  // valid date.
  bool PreviousDate(float* date) const {
    *date = 0.0f;
    return previous_ != nullptr && stored_.dates.Of(previous_, date);
  }

  bool DateBeforePrevious() const {
    if (columns_.date < 0 || entry_->recordNumber <= 0) return false;
    const float current = values_[columns_.date];
    float previous = 0.0f;
    return current >= 0.0f && PreviousDate(&previous) && DatesOutOfOrder(previous, current, intraday_);
  }

  bool DateTimeBeforePrevious() const {
    if (!intraday_ || columns_.date < 0 || columns_.time < 0 || entry_->recordNumber <= 0) return false;
    float previousDate = 0.0f;
    if (!PreviousDate(&previousDate)) return false;
    // A previous time that is not a time is reported on its record by code 7.
    float previousTime = 0.0f;
    const bool previousTimeValid = stored_.times.Of(previous_ + kColumnBytes, &previousTime);
    return DateTimesOutOfOrder(previousDate, previousTimeValid, previousTime, values_[columns_.date],
                               values_[columns_.time]);
  }

  const unsigned char* previous_;
  bool intraday_;
  const Columns& columns_;
  const unsigned char* bytes_;
  StoredDatesAndTimes& stored_;
  DATErrorEntry* entry_;
  float values_[kMaxFields] = {};
  bool anyCorrupt_ = false;
};

// Reads the records from r on into block, at most blockRecords of them and
// none beyond the last whole record; *count is how many. With header (given
// for r 0), the same read brings the header record into the recordLength
// bytes before block, and *header says so. A block that cannot be read is
// read again record by record (without the header), so that the scan ends
// exactly at the first record that cannot be read. False when not even
// record r can be.
bool ReadAhead(FileHandle dat, int32_t r, int64_t wholeRecords, int32_t blockRecords, int recordLength,
               unsigned char* block, int32_t* count, bool* header) {
  const int64_t want = std::min<int64_t>(blockRecords, wholeRecords - r);
  const int64_t offset = (int64_t{r} + 1) * recordLength;
  if (want <= 0 || offset + want * recordLength > INT32_MAX) return false;
  const int64_t from = header != nullptr ? offset - recordLength : offset;
  if (ReadBlock(dat, block - (offset - from), static_cast<uint32_t>(offset + want * recordLength - from),
                static_cast<int32_t>(from), 0)) {
    *count = static_cast<int32_t>(want);
    if (header != nullptr) *header = true;
    return true;
  }
  int32_t read = 0;
  while (read < want && ReadBlock(dat, block + static_cast<size_t>(read) * static_cast<size_t>(recordLength),
                                  static_cast<uint32_t>(recordLength),
                                  static_cast<int32_t>(offset + int64_t{read} * recordLength), 0)) {
    ++read;
  }
  *count = read;
  return read > 0;
}

// Keeps the bytes the report shows before faulty record r (r > 0) of the
// given length: they start with the previous record and run on into bytes,
// record r, when records are shorter. False when memory ran out.
bool KeepPreviousRecord(DATReadings* readings, int32_t r, const unsigned char* previous,
                        const unsigned char* bytes, int recordLength) {
  if (readings == nullptr || r == 0) return true;
  DATReadings::PreviousRecord kept{r, {}};
  const size_t fromPrevious = std::min(kept.bytes.size(), static_cast<size_t>(recordLength));
  std::memcpy(kept.bytes.data(), previous, fromPrevious);
  std::memcpy(kept.bytes.data() + fromPrevious, bytes, kept.bytes.size() - fromPrevious);
  try {
    readings->previous.push_back(kept);
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

}  // namespace

int TestDATFile(const char* directory, ReportTarget& report, const int32_t* testCodes, int testCount,
                const MasterRecord& record, DATReadings* readings) {
  return TestDataFile(directory, DATFileName("", record.FileNumber()).c_str(), report, testCodes, testCount,
                      record, readings);
}

int TestDataFile(const char* directory, const char* fileName, ReportTarget& report, const int32_t* testCodes,
                 int testCount, const MasterRecord& record, DATReadings* readings) {
  if (readings != nullptr) *readings = DATReadings{record, fileName, 0, {}, -1, {}};
  DATLayout layout{};
  const int recordLength = record.RecordLength();
  if (!AssignFieldTypes(&layout, record) || recordLength < kColumnBytes) {
    CloseWithNotice(report, kUnknownDATFormatText);
    return 0;
  }
  ErrorListPtr errors(CreateList());
  BlockPtr<unsigned char> previous = AllocateBlock(static_cast<size_t>(recordLength));
  if (!errors || !previous) {
    CloseWithNotice(report, GetError(kOutOfMemoryMessage));
    return 0;
  }
  FileGuard dat(SOpenFile((std::string(directory) + fileName).c_str(), kOpenReadOnly, kOpenShared,
                          static_cast<uint32_t>(recordLength), 0));
  if (!dat.Valid()) {
    CloseWithNotice(report, GetError(kFileAccessMessage));
    return 0;
  }
  const Columns columns = TestedColumns(layout, record);
  // The header record is not examined; a trailing partial record cannot be
  // read whole and ends the scan.
  const int32_t fileLength = FileLength(dat.Get());
  const int64_t wholeRecords = fileLength / recordLength - 1;
  // Records are read a block at a time (no larger than the file); the record
  // before the one under test stays in memory for the order tests instead of
  // being read again.
  const auto blockRecords =
      static_cast<int32_t>(std::max<int64_t>(1, std::min<int64_t>(kReadAhead / recordLength, wholeRecords)));
  // (One record more: the first block may bring the header record with it.)
  BlockPtr<unsigned char> block =
      AllocateUnclearedBlock(static_cast<size_t>(blockRecords + 1) * static_cast<size_t>(recordLength));
  if (!block) {
    CloseWithNotice(report, GetError(kOutOfMemoryMessage));
    return 0;
  }
  if (readings != nullptr) {
    readings->fileRecords = wholeRecords + 1;
    readings->ends = {recordLength, fileLength, std::nullopt, std::nullopt};
  }
  unsigned char* const records = block.get() + recordLength;  // after room for the header record
  bool headerRead = false;
  StoredDatesAndTimes stored;
  const unsigned selected = RecordTests::Selection(testCodes, testCount);
  int32_t inBlock = 0;  // records read into the block
  int32_t used = 0;     // of which tested
  // The record before the one under test: in the block, or kept in previous
  // when the next block is read over it.
  const unsigned char* before = nullptr;
  for (int32_t r = 0;; ++r, ++used) {
    if (used == inBlock) {
      if (before != nullptr)
        before = static_cast<unsigned char*>(std::memcpy(previous.get(), before, recordLength));
      if (!ReadAhead(dat.Get(), r, wholeRecords, blockRecords, recordLength, records, &inBlock,
                     r == 0 && readings != nullptr ? &headerRead : nullptr))
        break;
      used = 0;
    }
    const unsigned char* bytes = records + static_cast<size_t>(used) * static_cast<size_t>(recordLength);
    if (readings != nullptr && r == 0) readings->ends.firstDateWord = LoadMbfWord(bytes);
    if (readings != nullptr && r == wholeRecords - 1 && fileLength % recordLength == 0)
      readings->ends.lastDateWord = LoadMbfWord(bytes);
    DATErrorEntry entry{r, nullptr};
    RecordTests tests(before, record, columns, bytes, stored, &entry);
    bool memoryLeft = true;
    if (!tests.KeepsEveryRule(selected)) {
      for (int i = 0; i < testCount && memoryLeft; ++i) memoryLeft = tests.Run(testCodes[i]);
    }
    ListPtr defects(entry.defects);
    if (memoryLeft && defects) {
      memoryLeft = KeepPreviousRecord(readings, r, before, bytes, recordLength) &&
                   AddItem(errors.get(), &entry, sizeof entry) != 0;
    }
    if (!memoryLeft) {
      CloseWithNotice(report, GetError(kOutOfMemoryMessage));
      return 0;
    }
    // The list owns the defects now.
    (void)defects.release();
    before = bytes;
  }
  DATHeader header;
  if (headerRead) std::memcpy(header.raw, block.get(), sizeof header.raw);
  if (readings != nullptr && (headerRead || ReadBlock(dat.Get(), header.raw, sizeof header.raw, 0, 0)))
    readings->headerCount = header.RecordCount();
  dat.Close();
  Deliver(report, std::move(errors));
  return 0;
}
