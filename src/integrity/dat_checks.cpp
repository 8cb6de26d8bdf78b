#include "integrity/dat_checks.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>
#include <string>

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

// The tests of one record, read into bytes; previous holds the record before
// it (null for record 0). They add to entry.
class RecordTests {
 public:
  RecordTests(const unsigned char* previous, const MasterRecord& record, const Columns& columns,
              const unsigned char* bytes, DATErrorEntry* entry)
      : previous_(previous), record_(record), columns_(columns), bytes_(bytes), entry_(entry) {}

  // False when memory ran out.
  bool Run(int32_t code) {
    switch (code) {
      case 0:
        return CorruptNumbers();
      case 1:
        return Relation(columns_.low, columns_.high, columns_.low, code);
      case 2:
        return Relation(columns_.close, columns_.high, columns_.close, code);
      case 3:
        return Relation(columns_.low, columns_.close, columns_.low, code);
      case 4:
        return OpenRelation(columns_.low, columns_.open, code);
      case 5:
        return OpenRelation(columns_.open, columns_.high, code);
      case 6:
        return InvalidValue(columns_.date, IsValidFloatDate, code);
      case 7:
        return InvalidValue(columns_.time, IsValidFloatTime, code);
      case 8:
        return DatesOutOfOrder();
      case 9:
        return DateTimesOutOfOrder();
      default:
        return true;
    }
  }

 private:
  // Each column is converted once per record, whichever tests read it.
  float Value(int column) {
    if (!(converted_ & (1u << column))) {
      values_[column] = MBF_IEEE(LoadMbfWord(bytes_ + kColumnBytes * column));
      converted_ |= 1u << column;
    }
    return values_[column];
  }
  bool Add(int column, int32_t code) { return AddDATError(static_cast<uint8_t>(column), code, entry_) != 0; }
  bool Intraday() const { return record_.Period() == 'I'; }

  bool CorruptNumbers() {
    for (int c = 0; c < columns_.count; ++c) {
      if (Value(c) < 0.0f && !Add(c, 0)) return false;
    }
    return true;
  }

  bool Relation(int aColumn, int bColumn, int recordedColumn, int32_t code) {
    if (aColumn < 0 || bColumn < 0) return true;
    return ValueExceeds(Value(aColumn), Value(bColumn)) ? Add(recordedColumn, code) : true;
  }

  // The previous record's date; false when there is none or it is not a
  // valid date. Worked out once for both order tests.
  bool PreviousDate(float* date) {
    if (!previousDateKnown_) {
      previousDateValid_ = previous_ != nullptr && StoredDateOf(previous_, &previousDate_);
      previousDateKnown_ = true;
    }
    *date = previousDate_;
    return previousDateValid_;
  }

  bool OpenRelation(int aColumn, int bColumn, int32_t code) {
    if (columns_.open < 0 || aColumn < 0 || bColumn < 0) return true;
    return OpenExceeds(Value(columns_.open), Value(aColumn), Value(bColumn)) ? Add(columns_.open, code)
                                                                             : true;
  }

  bool InvalidValue(int column, int (*isValid)(float), int32_t code) {
    if (column < 0) return true;
    const float value = Value(column);
    if (value < 0.0f || isValid(value)) return true;
    return Add(column, code);
  }

  bool DatesOutOfOrder() {
    if (columns_.date < 0 || entry_->recordNumber <= 0) return true;
    const float current = Value(columns_.date);
    if (current < 0.0f) return true;
    float previous = 0.0f;
    if (!PreviousDate(&previous)) return true;
    return ::DatesOutOfOrder(previous, current, Intraday()) ? Add(0, 8) : true;
  }

  bool DateTimesOutOfOrder() {
    if (!Intraday() || columns_.date < 0 || columns_.time < 0 || entry_->recordNumber <= 0) return true;
    float previousDate = 0.0f;
    if (!PreviousDate(&previousDate)) return true;
    // A previous time that is not a time is reported on its record by code 7.
    float previousTime = 0.0f;
    const bool previousTimeValid = StoredTimeOf(previous_ + kColumnBytes, &previousTime);
    return ::DateTimesOutOfOrder(previousDate, previousTimeValid, previousTime, Value(columns_.date),
                                 Value(columns_.time))
               ? Add(0, 9)
               : true;
  }

  const unsigned char* previous_;
  const MasterRecord& record_;
  const Columns& columns_;
  const unsigned char* bytes_;
  DATErrorEntry* entry_;
  float values_[kMaxFields] = {};
  unsigned converted_ = 0;  // bit c: values_[c] holds column c
  bool previousDateKnown_ = false;
  bool previousDateValid_ = false;
  float previousDate_ = 0.0f;
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
  // Records are read a block at a time; the record before the one under test
  // stays in memory for the order tests instead of being read again.
  const int32_t blockRecords = std::max(1, kReadAhead / recordLength);
  ErrorListPtr errors(CreateList());
  // (One record more: the first block may bring the header record with it.)
  BlockPtr<unsigned char> block =
      AllocateBlock(static_cast<size_t>(blockRecords + 1) * static_cast<size_t>(recordLength));
  BlockPtr<unsigned char> previous = AllocateBlock(static_cast<size_t>(recordLength));
  if (!errors || !block || !previous) {
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
  if (readings != nullptr) {
    readings->fileRecords = wholeRecords + 1;
    readings->ends = {recordLength, fileLength, std::nullopt, std::nullopt};
  }
  unsigned char* const records = block.get() + recordLength;  // after room for the header record
  bool headerRead = false;
  int32_t inBlock = 0;  // records read into the block
  int32_t used = 0;     // of which tested
  for (int32_t r = 0;; ++r, ++used) {
    if (used == inBlock) {
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
    RecordTests tests(r > 0 ? previous.get() : nullptr, record, columns, bytes, &entry);
    bool memoryLeft = true;
    for (int i = 0; i < testCount && memoryLeft; ++i) memoryLeft = tests.Run(testCodes[i]);
    ListPtr defects(entry.defects);
    if (memoryLeft && defects) {
      memoryLeft = KeepPreviousRecord(readings, r, previous.get(), bytes, recordLength) &&
                   AddItem(errors.get(), &entry, sizeof entry) != 0;
    }
    if (!memoryLeft) {
      CloseWithNotice(report, GetError(kOutOfMemoryMessage));
      return 0;
    }
    // The list owns the defects now.
    (void)defects.release();
    std::memcpy(previous.get(), bytes, static_cast<size_t>(recordLength));
  }
  DATHeader header;
  if (headerRead) std::memcpy(header.raw, block.get(), sizeof header.raw);
  if (readings != nullptr && (headerRead || ReadBlock(dat.Get(), header.raw, sizeof header.raw, 0, 0)))
    readings->headerCount = header.RecordCount();
  dat.Close();
  Deliver(report, std::move(errors));
  return 0;
}
