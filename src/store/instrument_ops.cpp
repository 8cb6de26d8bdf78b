#include "store/instrument_ops.h"

#include <array>
#include <bitset>
#include <string>
#include <vector>

#include "filelayer/file_guard.h"
#include "filelayer/file_layer.h"
#include "filelayer/platform_file.h"
#include "primitives/text_fields.h"
#include "store/dat_file.h"
#include "store/emaster_follower.h"
#include "store/file_names.h"
#include "store/index_files.h"
#include "store/temporary_files.h"

namespace {

// File numbers are one byte; numbering from the header's last file number
// stops here and new instruments then fill gaps.
constexpr int kTopFileNumber = 255;

// The three files of an instrument, in the order they are copied, moved and
// deleted.
constexpr std::array<InstrumentFile, 3> kInstrumentFiles = {InstrumentFile::DAT, InstrumentFile::DOP,
                                                            InstrumentFile::CHT};

FileGuard OpenMaster(const char* directory, int mode, int temporary) {
  return FileGuard(
      SOpenFile(MasterFileName(directory).c_str(), mode, kOpenShared, kMasterRecordSize, temporary));
}

int32_t WholeRecordsAfterHeader(FileHandle master) {
  const int32_t length = FileLength(master);
  return length < kMasterRecordSize ? 0 : (length - kMasterRecordSize) / kMasterRecordSize;
}


// Whether nobody else holds the file: not in this process's file table (an
// editor may have given back its platform handle for a while) and openable
// without sharing. With forWriting the open asks for write access too, which a
// read-only file refuses.
bool FileIsFree(const std::string& name, bool forWriting) {
  if (IsFileOpen(name.c_str())) return false;
  platform::OpenRequest request;
  request.access = forWriting ? platform::Access::ReadWrite : platform::Access::Read;
  request.shareRead = false;
  platform::FileRef file = platform::Open(name, request);
  if (file == nullptr) return false;
  platform::Close(file);
  return true;
}

// Where a new instrument goes in an open master: its number, the header to
// write back, and the offset of the record (just after the last whole record,
// so that a partial record at the end cannot shift the new one out of line).
struct Addition {
  int16_t fileNumber = -1;
  MasterHeader original{};
  MasterHeader header{};
  int32_t recordOffset = 0;
};

using TakenNumbers = std::bitset<kTopFileNumber + 1>;

int16_t LowestFreeNumber(const TakenNumbers& taken) {
  for (int n = 1; n <= kTopFileNumber; ++n) {
    if (!taken.test(static_cast<size_t>(n))) return static_cast<int16_t>(n);
  }
  return -1;
}

// The lowest number 1 ... 255 that no record of master uses and that is not
// taken; -1 when the records cannot be read or every number is taken.
int16_t LowestUnusedNumber(FileHandle master, int32_t records, TakenNumbers taken) {
  MasterRecord record;
  for (int32_t i = 1; i <= records; ++i) {
    if (!ReadBlock(master, record.raw, kMasterRecordSize, i * kMasterRecordSize, 0)) return -1;
    taken.set(record.FileNumber());
  }
  return LowestFreeNumber(taken);
}

// Whether a record of master (or one that cannot be read) has the number.
bool ListsNumber(FileHandle master, int number) {
  MasterRecord record;
  const int32_t records = WholeRecordsAfterHeader(master);
  for (int32_t i = 1; i <= records; ++i) {
    if (!ReadBlock(master, record.raw, kMasterRecordSize, i * kMasterRecordSize, 0) ||
        record.FileNumber() == number)
      return true;
  }
  return false;
}

// false when master's header cannot be read or no number is left. Numbers
// XMASTER or MWD files use (taken) are passed over.
bool PlanAddition(FileHandle master, const TakenNumbers& taken, Addition* plan) {
  if (!ReadBlock(master, plan->original.raw, kMasterRecordSize, 0, 0)) return false;
  plan->header = plan->original;
  const int32_t records = WholeRecordsAfterHeader(master);
  plan->recordOffset = (records + 1) * kMasterRecordSize;
  MasterHeader& header = plan->header;
  // No more than 255 instruments fit, whichever counter shows it; a header
  // whose last file number lags behind its count must not let a 256th in.
  if (static_cast<int16_t>(header.InstrumentCount()) >= kMaxInstruments || records >= kMaxInstruments) {
    return false;
  }
  // A last file number beyond the top (a damaged header) is treated as the
  // top: counting on from it would hand out a number that does not fit.
  int next = header.LastFileNumber() + 1;
  while (next <= kTopFileNumber && taken.test(static_cast<size_t>(next))) ++next;
  if (header.LastFileNumber() < kTopFileNumber && next <= kTopFileNumber) {
    header.SetLastFileNumber(static_cast<uint16_t>(next));
    header.SetInstrumentCount(static_cast<uint16_t>(header.InstrumentCount() + 1));
    plan->fileNumber = static_cast<int16_t>(next);
    return true;
  }
  plan->fileNumber = LowestUnusedNumber(master, records, taken);
  if (plan->fileNumber < 0) return false;
  // Counting on passed the top over taken numbers: numbering has reached it.
  if (header.LastFileNumber() < kTopFileNumber) header.SetLastFileNumber(kTopFileNumber);
  header.SetInstrumentCount(static_cast<uint16_t>(header.InstrumentCount() + 1));
  return true;
}

// The numbers a new entry may not take; the required one (its files were put
// in place under it for this entry) is not among them.
TakenNumbers NumbersTakenFor(const char* directory, int16_t required) {
  TakenNumbers taken = NumbersTakenBeyondMaster(directory);
  if (required >= 0) taken.reset(static_cast<size_t>(required));
  return taken;
}

// Copies the file whole over a new temporary of the directory, which then
// takes the destination's name in one step: a copy is no single step on a
// disk, and a stop half-way must leave a temporary, never part of a file
// under its name. False when it could not be copied or put in place (the
// temporary is then removed).
bool CopyWhole(const char* directory, const std::string& from, const std::string& to) {
  const std::string temp = CreateRecordTempFile(directory);
  if (temp.empty()) return false;
  if (platform::CopyFileTo(from, temp, false) && platform::ReplaceFileWith(temp, to)) return true;
  platform::RemoveFile(temp);
  return false;
}

// A directory's first master, written whole as "msttmp" and then given its
// name, so that a stop half-way leaves no master rather than a part of one.
int16_t CreateMasterWith(const char* directory, MasterRecord* record, int16_t required) {
  const int16_t number = LowestFreeNumber(NumbersTakenFor(directory, required));
  if (number < 0 || (required >= 0 && number != required)) return -1;
  const std::string tempName = MasterTempFileName(directory);
  MasterHeader header = {};
  header.SetInstrumentCount(1);
  header.SetLastFileNumber(static_cast<uint16_t>(number));
  MasterRecord entry = *record;
  entry.SetFileNumber(static_cast<uint8_t>(number));
  FileGuard temp(SOpenFile(tempName.c_str(), kOpenCreate, kOpenShared, kMasterRecordSize, kOpenTemporary));
  const bool written =
      temp.Valid() && WriteRecord(temp.Get(), header.raw, 1) && WriteRecord(temp.Get(), entry.raw, 1);
  temp.Close();
  // The rename refuses a master that appeared meanwhile.
  if (!written || !platform::RenameFile(tempName, MasterFileName(directory))) {
    platform::RemoveFile(tempName);
    return -1;
  }
  *record = entry;
  return number;
}

// longName: the EMASTER long name the new record is to keep (EmasterFollower::CarryLongName).
// required: the number the entry must take (its files are in place under it), or -1; the one a new
// entry would take, unless anyNumber: then any number no record lists.
int16_t AddToMaster(const char* directory, MasterRecord* record, const std::string& longName,
                    int16_t required = -1, bool anyNumber = false) {
  FileGuard master = OpenMaster(directory, kOpenReadWrite, kOpenNotTemporary);
  if (!master.Valid()) {
    // Creating would empty a master that is merely held by someone else or
    // read-only.
    if (FilePresent(MasterFileName(directory))) return -1;
    return CreateMasterWith(directory, record, required);
  }
  EmasterFollower emaster(directory);
  Addition plan;
  if (!emaster.Ready() || !PlanAddition(master.Get(), NumbersTakenFor(directory, required), &plan)) return -1;
  if (required >= 0 && plan.fileNumber != required) {
    if (!anyNumber || ListsNumber(master.Get(), required)) return -1;
    plan.fileNumber = required;
    plan.header = plan.original;
    plan.header.SetInstrumentCount(static_cast<uint16_t>(plan.original.InstrumentCount() + 1));
    if (plan.original.LastFileNumber() < required) plan.header.SetLastFileNumber(static_cast<uint16_t>(required));
  }
  emaster.CarryLongName(plan.fileNumber, longName);
  MasterRecord entry = *record;
  entry.SetFileNumber(static_cast<uint8_t>(plan.fileNumber));
  // Header first: should the record then be lost, the count is one too high
  // (which the master test reports) rather than a number being handed out
  // twice.
  const int32_t oldLength = FileLength(master.Get());
  if (!WriteBlock(master.Get(), plan.header.raw, kMasterRecordSize, 0, 0)) return -1;
  if (!WriteBlock(master.Get(), entry.raw, kMasterRecordSize, plan.recordOffset, 0)) {
    WriteBlock(master.Get(), plan.original.raw, kMasterRecordSize, 0, 0);
    // A write cut short (a full disk) leaves part of a record: cut it away.
    if (FileLength(master.Get()) > oldLength) STruncateFile(master.Get(), oldLength);
    return -1;
  }
  master.Close();
  if (!emaster.Follow()) return -1;
  *record = entry;
  return plan.fileNumber;
}

// Copies master's header and every record not of the file number into temp,
// lowering the count for each record left out (kept in *removed), and writes
// the header last. false unless every whole record was read and every write
// went through.
bool CopyMasterWithout(FileHandle master, FileHandle temp, int fileNumber,
                       std::vector<MasterRecord>* removed) {
  MasterHeader header;
  if (!ReadRecord(master, header.raw, 1)) return false;
  if (!WriteRecord(temp, header.raw, 1)) return false;
  const int32_t records = WholeRecordsAfterHeader(master);
  MasterRecord record;
  for (int32_t i = 0; i < records; ++i) {
    if (!ReadRecord(master, record.raw, 1)) return false;
    if (record.FileNumber() == fileNumber) {
      header.SetInstrumentCount(static_cast<uint16_t>(header.InstrumentCount() - 1));
      removed->push_back(record);
    } else if (!WriteRecord(temp, record.raw, 1)) {
      return false;
    }
  }
  return WriteBlock(temp, header.raw, kMasterRecordSize, 0, 0) != 0;
}

// Appends the records to master again, raising the count by one for each.
bool Relist(const char* directory, const std::vector<MasterRecord>& records) {
  FileGuard master = OpenMaster(directory, kOpenReadWrite, kOpenTemporary);
  if (!master.Valid()) return false;
  MasterHeader header;
  if (!ReadBlock(master.Get(), header.raw, kMasterRecordSize, 0, 0)) return false;
  header.SetInstrumentCount(static_cast<uint16_t>(header.InstrumentCount() + records.size()));
  int32_t offset = (WholeRecordsAfterHeader(master.Get()) + 1) * kMasterRecordSize;
  if (!WriteBlock(master.Get(), header.raw, kMasterRecordSize, 0, 0)) return false;
  for (const MasterRecord& record : records) {
    if (!WriteBlock(master.Get(), record.raw, kMasterRecordSize, offset, 0)) return false;
    offset += kMasterRecordSize;
  }
  return true;
}

}  // namespace

bool FilePresent(const std::string& name) {
  if (Exists(name.c_str())) return true;
  const size_t cut = name.find_last_of("\\/");
  const std::string directory = cut == std::string::npos ? std::string() : name.substr(0, cut + 1);
  const std::string leaf = cut == std::string::npos ? name : name.substr(cut + 1);
  bool found = false;
  const bool listed = platform::ListDirectory(directory, [&](const platform::DirectoryEntry& entry) {
    found = EqualNoCase(entry.name, leaf);
    return !found;
  });
  return !listed || found;
}

int ListUnderNumber(const char* directory, MasterRecord* record, int fileNumber) {
  if (fileNumber < 1 || fileNumber > kTopFileNumber) return 0;
  return AddToMaster(directory, record, {}, static_cast<int16_t>(fileNumber), true) == fileNumber ? 1 : 0;
}

int16_t NextFileNumber(const char* directory) {
  FileGuard master = OpenMaster(directory, kOpenReadOnly, kOpenTemporary);
  const TakenNumbers taken = NumbersTakenBeyondMaster(directory);
  if (!master.Valid()) return FilePresent(MasterFileName(directory)) ? -1 : LowestFreeNumber(taken);
  Addition plan;
  return PlanAddition(master.Get(), taken, &plan) ? plan.fileNumber : -1;
}

std::string EmasterLongName(const char* directory, int fileNumber) {
  for (const EmasterRecord& record : ReadEmaster(directory).records) {
    if (record.FileNumber() == fileNumber) return record.LongName();
  }
  return {};
}

int16_t CreateInstrument(const char* directory, MasterRecord* record, int createFiles,
                         const std::string& longName, int16_t number) {
  if (createFiles == 0) return AddToMaster(directory, record, longName, number);
  // The files first, under the number the entry is to take: a stop between
  // leaves them unlisted, never an instrument listed without its data.
  const int16_t next = NextFileNumber(directory);
  if (next == -1) return -1;
  MasterRecord entry = *record;
  entry.SetFileNumber(static_cast<uint8_t>(next));
  CreateDATFile(directory, entry);
  CreateDOPFile(directory, entry);
  const int16_t fileNumber = AddToMaster(directory, record, longName, next);
  if (fileNumber == -1) {
    for (InstrumentFile file : {InstrumentFile::DAT, InstrumentFile::DOP})
      platform::RemoveFile(InstrumentFileName(directory, next, file));
  }
  return fileNumber;
}

int CopyInstrument(const char* destination, const char* source, MasterRecord* record) {
  const int sourceNumber = record->FileNumber();
  const int16_t number = NextFileNumber(destination);
  if (number == -1) return 0;
  // The files first, under the number the entry is to take: a stop between
  // leaves them unlisted, never an instrument listed without its data.
  std::array<std::string, 3> copied;
  size_t copies = 0;
  const auto removeCopies = [&] {
    for (size_t i = 0; i < copies; ++i) platform::RemoveFile(copied[i]);
  };
  for (InstrumentFile file : kInstrumentFiles) {
    const std::string from = InstrumentFileName(source, sourceNumber, file);
    const std::string to = InstrumentFileName(destination, number, file);
    if (!FilePresent(from)) continue;
    if (!CopyWhole(destination, from, to)) {
      removeCopies();
      return 0;
    }
    copied[copies++] = to;
  }
  MasterRecord entry = *record;
  if (AddToMaster(destination, &entry, EmasterLongName(source, sourceNumber), number) == -1) {
    removeCopies();
    return 0;
  }
  *record = entry;
  return 1;
}

int MoveInstrument(const char* destination, const char* source, MasterRecord* record) {
  // The source master must take the rewrite that removes the entry (it may
  // be read-only), and its files must be free to go, before anything is made.
  if (!FileIsFree(MasterFileName(source), true)) return 0;
  std::array<bool, 3> present{};
  for (size_t i = 0; i < kInstrumentFiles.size(); ++i) {
    const std::string name = InstrumentFileName(source, record->FileNumber(), kInstrumentFiles[i]);
    present[i] = FilePresent(name);
    if (present[i] && !FileIsFree(name, true)) return 0;
  }
  // A copy, whole and listed in the destination, before the source lets the
  // instrument go: at every step each data file is listed somewhere, at
  // worst twice, and its bytes are whole.
  MasterRecord moved = *record;
  if (CopyInstrument(destination, source, &moved) == 0) return 0;
  if (DeleteInstrument(source, *record, 1) == 1) return 1;
  // The copy goes again where the source still has all it had; where the
  // source lost a file on the way, the instrument stays listed in both.
  for (size_t i = 0; i < kInstrumentFiles.size(); ++i) {
    if (present[i] && !FilePresent(InstrumentFileName(source, record->FileNumber(), kInstrumentFiles[i])))
      return 0;
  }
  DeleteInstrument(destination, moved, 1);
  return 0;
}

int DeleteInstrument(const char* directory, const MasterRecord& record, int deleteFiles) {
  const int fileNumber = record.FileNumber();
  if (deleteFiles != 0) {
    for (InstrumentFile file : kInstrumentFiles) {
      const std::string name = InstrumentFileName(directory, fileNumber, file);
      if (FilePresent(name) && !FileIsFree(name, true)) return 0;
    }
  }

  const std::string masterName = MasterFileName(directory);
  const std::string tempName = MasterTempFileName(directory);
  EmasterFollower emaster(directory);
  if (!emaster.Ready()) return 0;
  std::vector<MasterRecord> removed;
  {
    FileGuard master(
        SOpenFile(masterName.c_str(), kOpenReadOnly, kOpenShared, kMasterRecordSize, kOpenTemporary));
    if (!master.Valid()) return 0;
    FileGuard temp(SOpenFile(tempName.c_str(), kOpenCreate, kOpenShared, kMasterRecordSize, kOpenTemporary));
    if (!temp.Valid()) return 0;
    const bool whole = CopyMasterWithout(master.Get(), temp.Get(), fileNumber, &removed);
    temp.Close();
    master.Close();
    if (!whole) {
      platform::RemoveFile(tempName);
      return 0;
    }
  }
  // One step: master is either the old file or the new one, never missing.
  if (!platform::ReplaceFileWith(tempName, masterName)) {
    platform::RemoveFile(tempName);
    return 0;
  }
  if (!emaster.Follow()) return 0;

  if (deleteFiles != 0) {
    // The data file goes last: should another deletion fail, the instrument
    // is listed again with its data still there.
    for (InstrumentFile file : {InstrumentFile::DOP, InstrumentFile::CHT, InstrumentFile::DAT}) {
      const std::string name = InstrumentFileName(directory, fileNumber, file);
      if (platform::RemoveFile(name) || !FilePresent(name)) continue;
      // A file left behind must not lose its entry.
      EmasterFollower relisted(directory);
      Relist(directory, removed);
      relisted.Follow();
      return 0;
    }
  }
  return 1;
}
