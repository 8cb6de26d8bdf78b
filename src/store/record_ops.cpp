#include "store/record_ops.h"

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "filelayer/file_guard.h"
#include "filelayer/platform_file.h"
#include "primitives/mbf.h"
#include "store/dat_file.h"
#include "store/file_names.h"
#include "store/instrument_ops.h"
#include "store/temporary_files.h"

namespace {

// Bytes moved at a time when records are copied one by one.
constexpr int32_t kBlockBytes = 32768;
// Names tried before giving up on a directory that seems to hold them all.

// The directory text of a full file name (up to and including its last
// backslash); "" for a bare name, which lies in the current directory.
std::string DirectoryOf(const char* fileName) {
  std::string name = fileName != nullptr ? fileName : "";
  const size_t slash = name.find_last_of('\\');
  return slash == std::string::npos ? std::string() : name.substr(0, slash + 1);
}

// The shape of an open data file: its record length and how many whole data
// records follow the header.
struct Shape {
  int32_t recordLength = 0;
  int32_t length = 0;
  int32_t dataRecords = 0;
};

// False when the record length is 0 or the file does not even hold a header.
bool ShapeOf(FileHandle handle, const MasterRecord& record, Shape* shape) {
  shape->recordLength = record.RecordLength();
  shape->length = FileLength(handle);
  if (shape->recordLength == 0 || shape->length < shape->recordLength) return false;
  shape->dataRecords = shape->length / shape->recordLength - 1;
  return true;
}

// A new file with a unique name in a directory, open for writing through the
// file layer. Removed again when the object goes, unless Keep() was called
// after it took its final place.
class TempFile {
 public:
  TempFile(const std::string& directory, int32_t recordLength)
      : name_(CreateRecordTempFile(directory.c_str())),
        file_(name_.empty()
                  ? kClosedHandle
                  : SOpenFile(name_.c_str(), kOpenCreate, kOpenShared, recordLength, kOpenTemporary)) {}
  ~TempFile() {
    file_.Close();
    if (!name_.empty()) platform::RemoveFile(name_);
  }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;

  bool Valid() const { return file_.Valid(); }
  FileHandle Get() const { return file_.Get(); }
  const std::string& Name() const { return name_; }
  // Closes the file layer's handle: a file is replaced only when closed.
  void Close() { file_.Close(); }
  void Keep() { name_.clear(); }

 private:
  std::string name_;
  FileGuard file_;
};

bool CopyRecordBytes(FileHandle from, int32_t fromOffset, FileHandle to, int32_t toOffset, int32_t count) {
  std::vector<unsigned char> buffer(static_cast<size_t>(count));
  return ReadBlock(from, buffer.data(), static_cast<uint32_t>(count), fromOffset, 0) != 0 &&
         WriteBlock(to, buffer.data(), static_cast<uint32_t>(count), toOffset, 0) != 0;
}

// Copies the source from byte `offset` to its end behind what the temporary
// file holds; true when every byte arrived (the block copy reports nothing,
// so the length tells).
bool CopyTail(FileHandle source, const Shape& shape, int32_t firstDataRecord, FileHandle destination) {
  const int32_t offset = (firstDataRecord + 1) * shape.recordLength;
  const int32_t before = FileLength(destination);
  const int32_t expected = before + (offset < shape.length ? shape.length - offset : 0);
  if (offset < shape.length) {
    if (SSeek(destination, before, 0) != before) return false;
    CopyFromRecord(source, destination, firstDataRecord, 1, 0);
  }
  return FileLength(destination) == expected;
}

// Writes the count of whole records of the file into its own header.
bool WriteOwnCount(FileHandle file, int32_t recordLength) {
  return UpdateDATHeader(file, FileLength(file) / recordLength) != 0;
}

// Closes the temporary file and puts it in the place of the open data file.
bool ReplaceWith(FileHandle handle, TempFile& temp) {
  temp.Close();
  if (SUpdateFile(handle, temp.Name().c_str()) == 0) return false;
  temp.Keep();
  return true;
}

}  // namespace

int InsertRecord(FileHandle handle, const char* fileName, int32_t r, const MasterRecord& record) {
  Shape shape;
  // Without a data record there is nothing to copy.
  if (r < 0 || !ShapeOf(handle, record, &shape) || shape.dataRecords == 0) return 0;
  const int32_t L = shape.recordLength;
  // From the new-record row on, the record copied is the last one.
  const int32_t copied = r < shape.dataRecords ? r : shape.dataRecords - 1;
  TempFile temp(DirectoryOf(fileName), L);
  if (!temp.Valid()) return 0;
  const FileHandle out = temp.Get();
  // Header and records 0 ... copied move record by record; the copy of record
  // `copied` follows them, then the rest of the file as one block.
  if (!CopyRecordBytes(handle, 0, out, 0, (copied + 2) * L)) return 0;
  if (!CopyRecordBytes(handle, (copied + 1) * L, out, (copied + 2) * L, L)) return 0;
  if (!CopyTail(handle, shape, copied + 1, out)) return 0;
  if (FileLength(out) != shape.length + L || !WriteOwnCount(out, L)) return 0;
  return ReplaceWith(handle, temp) ? 1 : 0;
}

int DeleteSelectedDATRecords(FileHandle handle, const char* fileName, RecordSelection* selection,
                             const MasterRecord& record) {
  Shape shape;
  if (selection == nullptr || !ShapeOf(handle, record, &shape)) return 0;
  const int32_t L = shape.recordLength;
  // Every record is looked up in the selection: a sorted copy of its numbers
  // answers at once where walking the List for each record would take a
  // time that grows with the square of the selection.
  std::vector<int32_t> selected;
  for (const ListNode* node = selection->first; node != nullptr; node = node->next) {
    int32_t number = 0;
    if (node->itemSize != sizeof number) continue;  // never equal under EditRecordNumberCompare
    std::memcpy(&number, node->item, sizeof number);
    selected.push_back(number);
  }
  std::sort(selected.begin(), selected.end());
  TempFile temp(DirectoryOf(fileName), L);
  if (!temp.Valid()) return 0;
  const FileHandle out = temp.Get();
  // The header is never a candidate, whatever the selection holds.
  if (!CopyRecordBytes(handle, 0, out, 0, L)) return 0;
  // The records are read and the kept ones written a block at a time.
  const int32_t blockRecords = std::max<int32_t>(1, kBlockBytes / L);
  std::vector<unsigned char> in(static_cast<size_t>(blockRecords) * static_cast<size_t>(L));
  std::vector<unsigned char> kept;
  kept.reserve(in.size());
  int32_t written = 1;
  std::vector<int32_t> deleted;
  for (int32_t first = 0; first < shape.dataRecords; first += blockRecords) {
    const int32_t count = std::min(blockRecords, shape.dataRecords - first);
    if (!ReadBlock(handle, in.data(), static_cast<uint32_t>(count * L), (first + 1) * L, 0)) return 0;
    kept.clear();
    for (int32_t k = first; k < first + count; ++k) {
      if (std::binary_search(selected.begin(), selected.end(), k)) {
        deleted.push_back(k);
        continue;
      }
      const auto at = in.begin() + static_cast<std::ptrdiff_t>(k - first) * L;
      kept.insert(kept.end(), at, at + L);
    }
    if (kept.empty()) continue;
    if (!WriteBlock(out, kept.data(), static_cast<uint32_t>(kept.size()), written * L, 0)) return 0;
    written += static_cast<int32_t>(kept.size()) / L;
  }
  if (FileLength(out) != written * L || !WriteOwnCount(out, L) || !ReplaceWith(handle, temp)) return 0;
  // Only now that the file is replaced do the deleted numbers leave the selection.
  for (int32_t k : deleted) DeleteItem(selection, &k, sizeof k, EditRecordNumberCompare);
  return 1;
}

namespace {

int TruncateInPlace(FileHandle handle, const Shape& shape, int32_t r, int includeCurrent) {
  const int32_t kept = includeCurrent ? r : r + 1;
  // The header first: a stop between leaves it counting fewer records than
  // the file holds, never records that are gone.
  DATHeader header;
  if (!ReadBlock(handle, header.raw, sizeof header.raw, 0, 0)) return 0;
  const DATHeader old = header;
  header.SetRecordCount(kept + 1);
  if (WriteBlock(handle, header.raw, sizeof header.raw, 0, 0) == 0) return 0;
  if (STruncateFile(handle, (kept + 1) * shape.recordLength) != 0) return 1;
  WriteBlock(handle, old.raw, sizeof old.raw, 0, 0);
  return 0;
}

int TruncateBefore(FileHandle handle, const char* fileName, const Shape& shape, int32_t r,
                   int includeCurrent) {
  const int32_t L = shape.recordLength;
  TempFile temp(DirectoryOf(fileName), L);
  if (!temp.Valid()) return 0;
  const FileHandle out = temp.Get();
  if (!CopyRecordBytes(handle, 0, out, 0, L)) return 0;
  if (!CopyTail(handle, shape, includeCurrent ? r + 1 : r, out)) return 0;
  if (!WriteOwnCount(out, L)) return 0;
  return ReplaceWith(handle, temp) ? 1 : 0;
}

}  // namespace

int TruncateFile(FileHandle handle, const char* fileName, int32_t r, int fromCurrent, int includeCurrent,
                 RecordSelection* selection, const MasterRecord& record) {
  Shape shape;
  int result = 0;
  if (ShapeOf(handle, record, &shape) && r >= 0 && r < shape.dataRecords) {
    result = fromCurrent ? TruncateInPlace(handle, shape, r, includeCurrent)
                         : TruncateBefore(handle, fileName, shape, r, includeCurrent);
  }
  if (selection != nullptr) FlushList(selection);
  return result;
}

namespace {

// The dates UpdateMaster would write for the file: the date words of its
// first and last records, 0 for a file without data records or a corrupt date.
void SetPortionDates(FileHandle file, int32_t recordLength, MasterRecord* entry) {
  const int32_t length = FileLength(file);
  auto dateAt = [&](int32_t offset) -> uint32_t {
    unsigned char bytes[4];
    if (length <= recordLength || !ReadBlock(file, bytes, 4, offset, 0)) return 0;
    const float date = MBF_IEEE(LoadMbfWord(bytes));
    return date < 0.0f ? IEEE_MBF(0.0f) : IEEE_MBF(date);
  };
  entry->SetFirstDateWord(dateAt(recordLength));
  entry->SetLastDateWord(dateAt(length - recordLength));
}

// The first portion: header and data records 0 ... count - 1, copied a
// block at a time (copying the whole file and cutting it would move the
// last portion's bytes for nothing).
bool BuildFirstPortion(FileHandle source, const Shape& shape, int32_t count, FileHandle out) {
  const int32_t L = shape.recordLength;
  const int32_t end = (count + 1) * L;
  for (int32_t at = 0; at < end; at += kBlockBytes) {
    if (!CopyRecordBytes(source, at, out, at, std::min(kBlockBytes, end - at))) return false;
  }
  return WriteOwnCount(out, L);
}

// The last portion: header and data records first ... to the end.
bool BuildLastPortion(FileHandle source, const Shape& shape, int32_t first, FileHandle out) {
  const int32_t L = shape.recordLength;
  return CopyRecordBytes(source, 0, out, 0, L) && CopyTail(source, shape, first, out) &&
         WriteOwnCount(out, L);
}

// An instrument this split added to the destination, undone unless the split
// went through.
class AddedInstrument {
 public:
  AddedInstrument(std::string directory, const MasterRecord& entry, std::string longName)
      : directory_(std::move(directory)), entry_(entry), longName_(std::move(longName)) {}
  ~AddedInstrument() {
    if (committed_ || placed_ == 0) return;
    // The data file goes only when master no longer lists it, so that every
    // data file left behind stays listed.
    if (!listed_ || DeleteInstrument(directory_.c_str(), entry_, 0) != 0)
      platform::RemoveFile(DATFileName(directory_.c_str(), placed_));
  }
  AddedInstrument(const AddedInstrument&) = delete;
  AddedInstrument& operator=(const AddedInstrument&) = delete;

  // Moves the portion into place as the data file of the number a new
  // instrument takes (a file already there is stale: master did not list its
  // number), then lists it under that number: a stop between leaves a data
  // file no master lists, never an instrument listed without its data.
  bool Add(TempFile& portion) {
    const int16_t number = NextFileNumber(directory_.c_str());
    if (number < 1) return false;
    portion.Close();
    if (!platform::ReplaceFileWith(portion.Name(), DATFileName(directory_.c_str(), number))) return false;
    portion.Keep();
    placed_ = number;
    if (CreateInstrument(directory_.c_str(), &entry_, 0, longName_, number) != number) return false;
    listed_ = true;
    return true;
  }
  uint8_t FileNumber() const { return entry_.FileNumber(); }
  void Commit() { committed_ = true; }

 private:
  std::string directory_;
  MasterRecord entry_;
  std::string longName_;
  int16_t placed_ = 0;
  bool listed_ = false;
  bool committed_ = false;
};

}  // namespace

int SplitFile(FileHandle handle, const char* sourceDirectory, int sourceFileNumber, MasterRecord* record,
              const char* destinationDirectory, int32_t r, int firstIncludeCurrent, int lastIncludeCurrent,
              int leaveIntact) {
  Shape shape;
  if (record == nullptr || sourceDirectory == nullptr || destinationDirectory == nullptr) return 0;
  if (!ShapeOf(handle, *record, &shape) || r < 0 || r >= shape.dataRecords) return 0;
  // Both new instruments must fit before anything is written.
  const int needed = leaveIntact ? 2 : 1;
  if (static_cast<int16_t>(GetFreeInstrumentCount(destinationDirectory)) < needed) return 0;

  const int32_t L = shape.recordLength;
  const std::string destination = destinationDirectory;
  TempFile first(destination, L);
  // The last portion replaces the source file unless the source stays intact.
  TempFile last(leaveIntact ? destination : std::string(sourceDirectory), L);
  if (!first.Valid() || !last.Valid()) return 0;
  if (!BuildFirstPortion(handle, shape, r + (firstIncludeCurrent ? 1 : 0), first.Get())) return 0;
  if (!BuildLastPortion(handle, shape, lastIncludeCurrent ? r : r + 1, last.Get())) return 0;

  MasterRecord firstEntry = *record;
  SetPortionDates(first.Get(), L, &firstEntry);
  MasterRecord lastEntry = *record;
  SetPortionDates(last.Get(), L, &lastEntry);

  // The new instruments keep the source's EMASTER long name.
  const std::string longName = EmasterLongName(sourceDirectory, sourceFileNumber);
  AddedInstrument firstInstrument(destination, firstEntry, longName);
  if (!firstInstrument.Add(first)) return 0;
  if (leaveIntact) {
    AddedInstrument lastInstrument(destination, lastEntry, longName);
    if (!lastInstrument.Add(last)) return 0;
    lastInstrument.Commit();
    firstInstrument.Commit();
    record->SetFileNumber(lastInstrument.FileNumber());
    return 1;
  }
  if (!ReplaceWith(handle, last)) return 0;
  firstInstrument.Commit();
  record->SetFileNumber(firstInstrument.FileNumber());
  return 1;
}
