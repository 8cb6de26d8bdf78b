#include "store/master_file.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "filelayer/file_guard.h"
#include "filelayer/platform_file.h"
#include "primitives/mbf.h"
#include "primitives/text_fields.h"
#include "store/emaster_follower.h"
#include "store/file_names.h"

namespace {

// MakeInstrumentList opens master without the temporary attribute; every
// other operation asks for it.
FileGuard OpenMaster(const char* directory, int mode, int temporary) {
  return FileGuard(
      SOpenFile(MasterFileName(directory).c_str(), mode, kOpenShared, kMasterRecordSize, temporary));
}

// The field's bytes in a buffer one longer than the field, cut at the first
// zero byte, trailing blanks removed.
std::string TextField(const uint8_t* field, size_t width) {
  char buffer[master_offset::kNameWidth + 1] = {};
  std::memcpy(buffer, field, width);
  buffer[width] = '\0';
  RTrim(buffer, static_cast<int>(width));
  return std::string(buffer);
}

void SetTextField(uint8_t* field, size_t width, const char* text) {
  size_t length = text ? std::min(std::strlen(text), width) : 0;
  std::memset(field, ' ', width);
  std::memcpy(field, text, length);
}

// Reads records after the header into *record until pred accepts one; the
// handle is then positioned just after it. False at the end of the file.
template <typename Pred>
bool ReadUntil(FileHandle handle, MasterRecord* record, Pred pred) {
  while (ReadRecord(handle, record->raw, 1)) {
    if (pred(*record)) return true;
  }
  return false;
}

// Rewrites the record just read, leaving the position after it.
int RewriteLastRead(FileHandle handle, const MasterRecord& record) {
  if (SSeek(handle, -kMasterRecordSize, 1) < 0) return 0;
  return WriteRecord(handle, record.raw, 1);
}

}  // namespace

float MasterRecord::FirstDate() const {
  return MBF_IEEE(FirstDateWord());
}
void MasterRecord::SetFirstDate(float date) {
  SetFirstDateWord(IEEE_MBF(date));
}
float MasterRecord::LastDate() const {
  return MBF_IEEE(LastDateWord());
}
void MasterRecord::SetLastDate(float date) {
  SetLastDateWord(IEEE_MBF(date));
}

std::string MasterRecord::Name() const {
  return TextField(raw + master_offset::kName, master_offset::kNameWidth);
}
void MasterRecord::SetName(const char* text) {
  SetTextField(raw + master_offset::kName, master_offset::kNameWidth, text);
}
std::string MasterRecord::Symbol() const {
  return TextField(raw + master_offset::kSymbol, master_offset::kSymbolWidth);
}
void MasterRecord::SetSymbol(const char* text) {
  SetTextField(raw + master_offset::kSymbol, master_offset::kSymbolWidth, text);
}

int CreateEmptyMasterFile(const char* directory) {
  // Written whole as "msttmp" first: a stop half-way leaves master as it was.
  const std::string tempName = MasterTempFileName(directory);
  FileGuard temp(SOpenFile(tempName.c_str(), kOpenCreate, kOpenShared, kMasterRecordSize, kOpenTemporary));
  MasterHeader header = {};
  const bool written = temp.Valid() && WriteRecord(temp.Get(), header.raw, 1);
  temp.Close();
  if (written && platform::ReplaceFileWith(tempName, MasterFileName(directory))) return 1;
  platform::RemoveFile(tempName);
  return 0;
}

uint16_t GetFreeInstrumentCount(const char* directory) {
  FileGuard master = OpenMaster(directory, kOpenReadOnly, kOpenTemporary);
  if (!master.Valid()) return kMaxInstruments;
  MasterHeader header = {};
  if (!ReadRecord(master.Get(), header.raw, 1)) return kMaxInstruments;
  return static_cast<uint16_t>(kMaxInstruments - header.InstrumentCount());
}

int GetMetaStockMasterRecord(const char* directory, int fileNumber, MasterRecord* record) {
  FileGuard master = OpenMaster(directory, kOpenReadOnly, kOpenTemporary);
  if (!master.Valid()) return 0;
  if (SSeek(master.Get(), kMasterRecordSize, 0) != kMasterRecordSize) return 0;
  return ReadUntil(master.Get(), record, [&](const MasterRecord& r) { return r.FileNumber() == fileNumber; })
             ? 1
             : 0;
}

std::vector<MasterRecord> ReadMasterRecords(const char* directory) {
  FileGuard master = OpenMaster(directory, kOpenReadOnly, kOpenTemporary);
  return master.Valid() ? ReadMasterRecords(master.Get()) : std::vector<MasterRecord>();
}

std::vector<MasterRecord> ReadMasterRecords(FileHandle master) {
  static_assert(sizeof(MasterRecord) == kMasterRecordSize);
  constexpr int32_t kBlockRecords = 256;  // a full master in one read
  std::vector<MasterRecord> records;
  for (int32_t offset = kMasterRecordSize;;) {
    const int32_t count = std::min((FileLength(master) - offset) / kMasterRecordSize, kBlockRecords);
    if (count <= 0) return records;
    const size_t at = records.size();
    records.resize(at + static_cast<size_t>(count));
    if (!ReadBlock(master, records[at].raw, static_cast<uint32_t>(count * kMasterRecordSize), offset, 0)) {
      records.resize(at);
      MasterRecord record;
      for (; ReadBlock(master, record.raw, kMasterRecordSize, offset, 0); offset += kMasterRecordSize)
        records.push_back(record);
      return records;
    }
    offset += count * kMasterRecordSize;
  }
}

int UpdateMetaStockMasterRecord(const char* directory, int fileNumber, const MasterRecord& record) {
  EmasterFollower emaster(directory);
  if (!emaster.Ready()) return 0;
  FileGuard master = OpenMaster(directory, kOpenReadWrite, kOpenTemporary);
  if (!master.Valid()) return 0;
  if (SSeek(master.Get(), kMasterRecordSize, 0) != kMasterRecordSize) return 0;
  MasterRecord found;
  if (!ReadUntil(master.Get(), &found, [&](const MasterRecord& r) { return r.FileNumber() == fileNumber; })) {
    return 0;
  }
  // The caller learns only that the record was found; a failed write shows
  // up as unchanged data.
  RewriteLastRead(master.Get(), record);
  master.Close();
  return emaster.Follow() ? 1 : 0;
}

int UpdateMaster(FileHandle datHandle, const char* directory, const MasterRecord& record) {
  const int32_t length = FileLength(datHandle);
  const int32_t recordLength = record.RecordLength();
  uint32_t firstWord = 0;
  uint32_t lastWord = 0;
  if (length > recordLength) {
    // A date that reads as corrupt is stored as 0. One that cannot be read
    // at all leaves master alone: storing 0 would overwrite good dates
    // because of a failed read.
    auto dateAt = [&](int32_t offset, uint32_t* word) {
      unsigned char bytes[4];
      if (!ReadBlock(datHandle, bytes, 4, offset, 0)) return false;
      float date = MBF_IEEE(LoadMbfWord(bytes));
      *word = date < 0.0f ? IEEE_MBF(0.0f) : IEEE_MBF(date);
      return true;
    };
    if (!dateAt(recordLength, &firstWord) || !dateAt(length - recordLength, &lastWord)) return 0;
  }

  EmasterFollower emaster(directory);
  if (!emaster.Ready()) return 0;
  FileGuard master = OpenMaster(directory, kOpenReadWrite, kOpenTemporary);
  if (!master.Valid()) return 0;
  if (SSeek(master.Get(), kMasterRecordSize, 0) != kMasterRecordSize) return 0;
  int result = 0;
  MasterRecord current;
  // Every duplicate entry of the file number is brought up to date.
  while (ReadUntil(master.Get(), &current,
                   [&](const MasterRecord& r) { return r.FileNumber() == record.FileNumber(); })) {
    current.SetFirstDateWord(firstWord);
    current.SetLastDateWord(lastWord);
    result = RewriteLastRead(master.Get(), current);
  }
  master.Close();
  return emaster.Follow() ? result : 0;
}

int UpdateMasterHeader(const char* directory, int masterErrorCode) {
  FileGuard master = OpenMaster(directory, kOpenReadWrite, kOpenTemporary);
  if (!master.Valid()) return 0;
  MasterHeader header;
  if (!ReadRecord(master.Get(), header.raw, 0)) return 0;
  if (masterErrorCode == 8 || masterErrorCode == 9) {
    const int32_t records = (FileLength(master.Get()) - kMasterRecordSize) / kMasterRecordSize;
    header.SetInstrumentCount(static_cast<uint16_t>(records));
  }
  return WriteRecord(master.Get(), header.raw, 0);
}

int MakeInstrumentList(List* list, const char* directory, const int16_t* fileNumbers, int howMany) {
  int added = 0;
  FileGuard master = OpenMaster(directory, kOpenReadOnly, kOpenNotTemporary);
  if (master.Valid() && SSeek(master.Get(), kMasterRecordSize, 0) == kMasterRecordSize) {
    const int16_t* end = fileNumbers + std::max(howMany, 0);
    MasterRecord record;
    while (ReadRecord(master.Get(), record.raw, 1)) {
      if (std::find(fileNumbers, end, static_cast<int16_t>(record.FileNumber())) == end) continue;
      if (AddItem(list, &record, kMasterRecordSize)) ++added;
    }
  }
  return added == howMany ? 1 : 0;
}

const char* FileTypeText(char period) {
  switch (period) {
    case 'D':
      return "Daily File";
    case 'W':
      return "Weekly File";
    case 'M':
      return "Monthly File";
    case 'I':
      return "IntraDay File";
    case 'd':
    case 'w':
    case 'm':
    case 'i':
      return "Composite File";
    default:
      return "Unknown File Type";
  }
}
