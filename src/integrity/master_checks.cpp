#include "integrity/master_checks.h"

#include <algorithm>
#include <bitset>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "filelayer/file_guard.h"
#include "filelayer/platform_file.h"
#include "integrity/error_list.h"
#include "integrity/integrity_internal.h"
#include "primitives/mbf.h"
#include "primitives/text_fields.h"
#include "store/dat_file.h"
#include "store/dat_probe.h"
#include "store/emaster_follower.h"
#include "store/master_file.h"
#include "store/messages.h"
#include "store/temporary_files.h"

using integrity_detail::CloseWithNotice;
using integrity_detail::Deliver;

namespace {

constexpr const char* kMasterErrorNames[] = {
    "Missing DAT File",
    "Missing DOP File",
    "Bad Master FileType",
    "Inconsistent DAT Record Length",
    "Starting Date not synchronised with DAT file",
    "Ending Date not synchronized with DAT file",
    "Invalid IntraDay Time-Base Specified",
    "Invalid Data Format",
    "Too many files reported",
    "Too few files reported",
    "Unknown File Format",
    "Invalid DAT Record Length",
    "Not an Error!",
};
constexpr int kMasterErrorNameCount = sizeof kMasterErrorNames / sizeof kMasterErrorNames[0];

// Spelling and spacing are the program's own.
constexpr const char* kRepairQuestions[] = {
    "Missing DAT File, Create empty replacement file ?",
    "Missing DOP File, Create empty replacement file ?",
    "Master file has a bad file type, Correct ?",
    "Master file has an inconstent record length, Correct ?",
    "The Master record and DAT file start dates are out of sync, Correct ?",
    "The Master record and DAT file end dates are out of sync, Correct ?",
    "Master file has an invalid intraday time base, Correct ?",
    "Master file has an invalid data format, Correct ?",
    "Too Many files reported in directory, Correct ?",
    "Too few files reported in directory, Correct ?",
    "Master file has an unknown file format, Correct ?",
    "Master file has an inconstent record length, Correct ?",
};
constexpr int kRepairQuestionCount = sizeof kRepairQuestions / sizeof kRepairQuestions[0];

// A record is tested again only after a pass whose corrections took effect.
// Each correction writes a constant or what the data file says (and repairs
// only ever create a data file), and only the record length, field count,
// period and the data file's presence change what another test reads: a
// made file gives codes 3, 7 and 11 something to read, code 11's length
// exposes code 3, the settled length moves the dates, the period exposes
// code 6. So a record settles within five passes; the bound holds should a
// file change under the test.
constexpr int kMaxRecordPasses = 8;

using Code = MasterErrorCode;
constexpr int32_t C(Code code) {
  return static_cast<int32_t>(code);
}

// The record length of F<n>.DAT judged from its contents, or 0 when it cannot
// be determined: such a length is never written into master.
uint8_t DeterminedRecordLength(const char* directory, int fileNumber) {
  const uint16_t length = AscertainRecordLength(directory, fileNumber);
  switch (length) {
    case 16:
    case 20:
    case 24:
    case 28:
    case 32:
      return static_cast<uint8_t>(length);
    default:
      return 0;
  }
}

// Whether the directory holds an entry of that name (matched without regard
// to case), readable or not. The "create empty replacement" repairs of codes
// 0 and 1 run only when it does not: a data file that exists but cannot be
// opened for reading at the moment (held by another program, no read
// permission, a passing failure) must never be emptied. A directory that
// cannot be listed counts as holding it.
bool Present(const char* directory, const std::string& name) {
  bool found = false;
  const bool listed = platform::ListDirectory(directory, [&](const platform::DirectoryEntry& entry) {
    found = EqualNoCase(entry.name, name);
    return !found;
  });
  return found || !listed;
}

// Whether F<n>.DAT holds intraday records, as IsIntra judges it; nothing when
// the file cannot be read, so that the code 7 correction does not take
// unread data for daily data.
std::optional<bool> IntradayData(const char* directory, int fileNumber) {
  FileGuard dat(SOpenFile(DATFileName(directory, fileNumber).c_str(), kOpenReadOnly, kOpenShared, 1, 0));
  if (!dat.Valid()) return std::nullopt;
  const int32_t length = FileLength(dat.Get());
  std::vector<uint8_t> bytes(static_cast<size_t>(std::max(length, 0)));
  if (length > 0 && !ReadBlock(dat.Get(), bytes.data(), static_cast<uint32_t>(length), 0, 0))
    return std::nullopt;
  const uint16_t recordLength = RecordLengthOfContents(bytes);
  return recordLength != kUnknownRecordLength && IntradayContents(bytes, recordLength) != 0;
}

// Makes the missing F<n>.DAT (dop: F<n>.DOP) of the record. The file is
// written whole under a temporary name that then takes its place, and counts
// as made only then: its header or text is all there. When it cannot be made
// whole, what was made is taken away again, so that the directory is as it
// was and the defect counts as not repaired.
bool CreateMissingFile(const char* directory, const MasterRecord& record, bool dop) {
  const std::string name =
      dop ? DOPFileName(directory, record.FileNumber()) : DATFileName(directory, record.FileNumber());
  // Asked of the directory as it is now, not of a listing taken before.
  platform::ListingScope::Forget();
  if (Present(directory, name.substr(std::strlen(directory)))) return false;
  if ((dop ? CreateDOPFile(directory, record) : CreateDATFile(directory, record)) != 0) return true;
  platform::RemoveFile(name);
  return false;
}

bool IsKnownRecordLength(uint8_t length) {
  return length == 16 || length == 20 || length == 24 || length == 28 || length == 32;
}

// The stored bytes of the first and last data records' dates of the
// instrument's data file, each with whether it could be read. Neither can be
// when there is no date to compare: the file cannot be opened with the
// record's length, or holds no whole data record.
struct DATDateWords {
  bool found[2] = {false, false};  // [0] first, [1] last
  uint32_t words[2] = {0, 0};
};

DATDateWords ReadDATDateWords(const char* directory, const MasterRecord& record,
                              const std::map<int, DataFileEnds>* known) {
  DATDateWords dates;
  const int32_t recordLength = record.RecordLength();
  if (recordLength < 4) return dates;
  if (known != nullptr) {
    const auto found = known->find(record.FileNumber());
    if (found != known->end() && found->second.recordLength == recordLength &&
        found->second.fileLength >= 0) {
      const DataFileEnds& ends = found->second;
      if (ends.fileLength < 2 * recordLength) return dates;
      if (ends.firstDateWord && ends.lastDateWord) {
        dates = {{true, true}, {*ends.firstDateWord, *ends.lastDateWord}};
        return dates;
      }
    }
  }
  FileGuard dat(SOpenFile(DATFileName(directory, record.FileNumber()).c_str(), kOpenReadOnly, kOpenShared,
                          static_cast<uint32_t>(recordLength), 0));
  if (!dat.Valid()) return dates;
  const int32_t length = FileLength(dat.Get());
  if (length < 2 * recordLength) return dates;
  // Both dates in one read when they lie close together (copying a longer
  // span costs more than a second read).
  unsigned char span[512];
  const int32_t spanBytes = length - 2 * recordLength + 4;
  if (spanBytes <= static_cast<int32_t>(sizeof span) &&
      ReadBlock(dat.Get(), span, static_cast<uint32_t>(spanBytes), recordLength, 0)) {
    dates = {{true, true}, {LoadMbfWord(span), LoadMbfWord(span + spanBytes - 4)}};
    return dates;
  }
  for (int last = 0; last < 2; ++last) {
    unsigned char bytes[4];
    if (!ReadBlock(dat.Get(), bytes, 4, last ? length - recordLength : recordLength, 0)) continue;
    dates.found[last] = true;
    dates.words[last] = LoadMbfWord(bytes);
  }
  return dates;
}

// The defect of this code found last on the entry.
MasterDefect* LatestDefect(const MasterErrorEntry& entry, int32_t code) {
  for (const ListNode* d = entry.defects ? entry.defects->first : nullptr; d != nullptr; d = d->next) {
    if (MasterDefectOf(d)->errorCode == code) return MasterDefectOf(d);
  }
  return nullptr;
}

// The tests, their questions and repairs over an open master.
class MasterScan {
 public:
  MasterScan(const char* directory, ReportTarget& report, FileHandle master, int repair, int prompt,
             int create, const std::map<int, DataFileEnds>* known)
      : directory_(directory),
        report_(report),
        master_(master),
        repair_(repair),
        prompt_(prompt),
        create_(create),
        known_(known) {}

  // False when memory ran out.
  bool TestHeader(int32_t code, MasterHeader& header, uint32_t actualCount, MasterErrorEntry* entry) {
    if (code != C(Code::TooManyFiles) && code != C(Code::TooFewFiles)) return true;
    // The count is stored signed; with its top bit set it counts as too many.
    const auto reported =
        static_cast<uint32_t>(static_cast<int32_t>(static_cast<int16_t>(header.InstrumentCount())));
    const bool found = code == C(Code::TooManyFiles) ? actualCount < reported : reported < actualCount;
    if (!found) return true;
    return Found(code, entry, [&] {
      MasterHeader corrected = header;
      corrected.SetInstrumentCount(static_cast<uint16_t>(actualCount));
      if (!WriteBlock(master_, corrected.raw, kMasterRecordSize, 0, 0)) return false;
      header = corrected;
      return true;
    });
  }

  // Called before the tests of each record.
  void BeginRecord() {
    pass_ = -1;
    correctedInPass_ = false;
    found_.reset();
    agreed_.reset();
  }

  // Called before each pass of the record's tests: whether to make it. The
  // first is always made; another only when the last one's corrections took
  // effect, and never beyond the bound.
  bool BeginPass() {
    if (++pass_ > 0 && (!correctedInPass_ || pass_ == kMaxRecordPasses)) return false;
    correctedInPass_ = false;
    dateWords_.reset();
    return true;
  }

  // record was read from offset; a correction rewrites it there.
  bool TestRecord(int32_t code, MasterRecord& record, int32_t offset, MasterErrorEntry* entry) {
    auto rewrite = [&](auto change) {
      return [&, change] {
        MasterRecord corrected = record;
        if (!change(corrected)) return false;
        if (!WriteBlock(master_, corrected.raw, kMasterRecordSize, offset, 0)) return false;
        record = corrected;
        return true;
      };
    };
    switch (static_cast<Code>(code)) {
      case Code::MissingDATFile:
        if (Exists(DATFileName(directory_, record.FileNumber()).c_str())) return true;
        return Found(code, entry, [&] { return CreateMissingFile(directory_, record, false); });
      case Code::MissingDOPFile:
        if (Exists(DOPFileName(directory_, record.FileNumber()).c_str())) return true;
        return Found(code, entry, [&] { return CreateMissingFile(directory_, record, true); });
      case Code::BadFileType:
        if (record.FileType() == kMasterFileType) return true;
        return Found(code, entry, rewrite([](MasterRecord& r) {
                       r.SetFileType(kMasterFileType);
                       return true;
                     }));
      case Code::InconsistentRecordLength:
        if (record.RecordLength() == 4 * record.FieldCount()) return true;
        return Found(code, entry, rewrite([this](MasterRecord& r) {
                       const uint8_t length = DeterminedRecordLength(directory_, r.FileNumber());
                       if (length == 0) return false;
                       r.SetRecordLength(length);
                       r.SetFieldCount(static_cast<uint8_t>(length / 4));
                       return true;
                     }));
      case Code::StartDateOutOfSync:
      case Code::EndDateOutOfSync: {
        const bool last = code == C(Code::EndDateOutOfSync);
        if (record.FieldCount() < 4 || record.FieldCount() > 8) return true;
        // Both date tests of a record read the data file once.
        if (!dateWords_) dateWords_ = ReadDATDateWords(directory_, record, known_);
        if (!dateWords_->found[last ? 1 : 0]) return true;
        const uint32_t datWord = dateWords_->words[last ? 1 : 0];
        const uint32_t masterWord = last ? record.LastDateWord() : record.FirstDateWord();
        // Two corrupt dates both read as the marker and agree.
        if (MBF_IEEE(datWord) == MBF_IEEE(masterWord)) return true;
        return Found(code, entry, rewrite([last, datWord](MasterRecord& r) {
                       if (last) {
                         r.SetLastDateWord(datWord);
                       } else {
                         r.SetFirstDateWord(datWord);
                       }
                       return true;
                     }));
      }
      case Code::InvalidTimeBase: {
        const char period = record.Period();
        const auto timeBase = static_cast<int16_t>(record.TimeBase());
        const bool invalid = (period == 'I' && timeBase < 0) ||
                             ((period == 'D' || period == 'W' || period == 'M') && timeBase != 0);
        if (!invalid) return true;
        return Found(code, entry, rewrite([](MasterRecord& r) {
                       r.SetTimeBase(0);
                       return true;
                     }));
      }
      case Code::InvalidDataFormat: {
        const char period = record.Period();
        if (period == 'I' || period == 'D' || period == 'W' || period == 'M') return true;
        return Found(code, entry, rewrite([this](MasterRecord& r) {
                       const std::optional<bool> intraday = IntradayData(directory_, r.FileNumber());
                       if (!intraday) return false;
                       r.SetPeriod(*intraday ? 'I' : 'D');
                       return true;
                     }));
      }
      case Code::UnknownFileFormat:
        if (record.Reserved() == 0) return true;
        return Found(code, entry, rewrite([](MasterRecord& r) {
                       r.SetReserved(0);
                       return true;
                     }));
      case Code::InvalidRecordLength:
        if (IsKnownRecordLength(record.RecordLength())) return true;
        return Found(code, entry, rewrite([this](MasterRecord& r) {
                       const uint8_t length = DeterminedRecordLength(directory_, r.FileNumber());
                       if (length == 0) return false;
                       r.SetRecordLength(length);
                       return true;
                     }));
      default:
        return true;
    }
  }

 private:
  // The repair step every test shares once it has found its defect: repair
  // when allowed (and, with prompting, agreed), then record the defect. A
  // defect that a later pass finds again on the record is neither asked about
  // nor listed twice: one the user let be stays so, one agreed to is corrected
  // again (its correction failed, or read what a later one mended) and counts
  // as repaired once a correction of it took effect.
  template <typename Correction>
  bool Found(int32_t code, MasterErrorEntry* entry, Correction correct) {
    if (pass_ > 0 && found_.test(static_cast<size_t>(code))) {
      if (agreed_.test(static_cast<size_t>(code))) LatestDefect(*entry, code)->repaired |= Correct(correct);
      return true;
    }
    found_.set(static_cast<size_t>(code));
    int32_t repaired = 0;
    const bool needsCreate = code == C(Code::MissingDATFile) || code == C(Code::MissingDOPFile);
    if (repair_ && (!needsCreate || create_) &&
        (!prompt_ || report_.AskYesNo(GetMasterRepairQuestion(code)))) {
      agreed_.set(static_cast<size_t>(code));
      repaired = Correct(correct);
    }
    return AddMasterError(code, repaired, entry) != 0;
  }

  template <typename Correction>
  int32_t Correct(Correction correct) {
    const bool done = correct();
    // The correction may have changed the record or its files.
    dateWords_.reset();
    correctedInPass_ = correctedInPass_ || done;
    return done ? 1 : 0;
  }

  const char* directory_;
  ReportTarget& report_;
  FileHandle master_;
  int repair_;
  int prompt_;
  int create_;
  const std::map<int, DataFileEnds>* known_;  // what the caller read of the data files, or null
  std::optional<DATDateWords> dateWords_;     // of the record under test, once read
  int pass_ = 0;                              // over the record under test, from 0
  bool correctedInPass_ = false;
  std::bitset<kMasterTestCount> found_;   // codes found on the record
  std::bitset<kMasterTestCount> agreed_;  // codes whose correction it was allowed to make
};

// Adds a finished entry to the list (it then owns the defects); false when
// memory ran out.
bool AddEntry(List* errors, MasterErrorEntry& entry) {
  ListPtr defects(entry.defects);
  if (!defects) return true;
  if (!AddItem(errors, &entry, sizeof entry)) return false;
  (void)defects.release();
  return true;
}

MasterDefect* FindDefect(const List* errorList, int32_t fileNumber, int32_t code) {
  if (errorList == nullptr) return nullptr;
  for (const ListNode* node = errorList->first; node != nullptr; node = node->next) {
    const MasterErrorEntry* entry = MasterEntryOf(node);
    if (entry->fileNumber == fileNumber) return LatestDefect(*entry, code);
  }
  return nullptr;
}

}  // namespace

const char* GetMasterError(int32_t code) {
  return code >= 0 && code < kMasterErrorNameCount ? kMasterErrorNames[code]
                                                   : kMasterErrorNames[kMasterErrorNameCount - 1];
}

const char* GetMasterRepairQuestion(int32_t code) {
  return code >= 0 && code < kRepairQuestionCount ? kRepairQuestions[code] : nullptr;
}

int TestMasterFile(const char* directory, ReportTarget& report, const int32_t* testCodes, int testCount,
                   int repair, int prompt, int create, const std::map<int, DataFileEnds>* known) {
  // Whether each record's data files exist, and under which spelling, from one listing.
  const platform::ListingScope listing(directory);
  ErrorListPtr errors(CreateList());
  if (!errors) {
    CloseWithNotice(report, GetError(kOutOfMemoryMessage));
    return 0;
  }
  // Repairs rewrite master's records in place; an EMASTER that agreed with
  // master follows them once the test is done.
  std::optional<EmasterFollower> emaster;
  if (repair) emaster.emplace(directory);
  if (emaster && !emaster->Ready()) {
    CloseWithNotice(report, GetError(kFileAccessMessage));
    return 0;
  }
  // A test that repairs nothing only reads, so a read-only master is tested too.
  FileGuard master(SOpenFile(MasterFileName(directory).c_str(), repair ? kOpenReadWrite : kOpenReadOnly,
                             kOpenShared, kMasterRecordSize, 0));
  if (!master.Valid()) {
    CloseWithNotice(report, GetError(kFileAccessMessage));
    return 0;
  }
  MasterHeader header;
  if (!ReadBlock(master.Get(), header.raw, kMasterRecordSize, 0, 0)) {
    CloseWithNotice(report, kMasterTooShortText);
    return 0;
  }
  const auto actualCount =
      static_cast<uint32_t>((FileLength(master.Get()) - kMasterRecordSize) / kMasterRecordSize);
  // Repairs change the files: ends read before hold only for a test that only reads.
  MasterScan scan(directory, report, master.Get(), repair, prompt, create, repair ? nullptr : known);

  bool memoryLeft = true;
  MasterErrorEntry headerEntry{0, nullptr};
  for (int i = 0; i < testCount && memoryLeft; ++i) {
    memoryLeft = scan.TestHeader(testCodes[i], header, actualCount, &headerEntry);
  }
  memoryLeft = AddEntry(errors.get(), headerEntry) && memoryLeft;

  std::vector<MasterRecord> records = ReadMasterRecords(master.Get());
  for (size_t n = 0; n < records.size() && memoryLeft; ++n) {
    MasterRecord& record = records[n];
    const auto offset = static_cast<int32_t>((n + 1) * kMasterRecordSize);
    MasterErrorEntry entry{record.FileNumber(), nullptr};
    scan.BeginRecord();
    while (memoryLeft && scan.BeginPass()) {
      for (int i = 0; i < testCount && memoryLeft; ++i) {
        memoryLeft = scan.TestRecord(testCodes[i], record, offset, &entry);
      }
    }
    memoryLeft = AddEntry(errors.get(), entry) && memoryLeft;
  }
  master.Close();
  // EMASTER could not follow: master is as it was, and no repair stands.
  if (emaster && !emaster->Follow()) {
    CloseWithNotice(report, GetError(kFileAccessMessage));
    return 0;
  }
  if (!memoryLeft) {
    CloseWithNotice(report, GetError(kOutOfMemoryMessage));
    return 0;
  }
  Deliver(report, std::move(errors));
  return 0;
}

int RepairMasterError(const char* directory, int32_t fileNumber, int32_t code) {
  // Not every repair changes master through an EMASTER follower, which would do this.
  RemoveLeftoverTemporaries(directory);
  if (fileNumber == 0) {
    // The header has only its count to correct.
    if (code != C(Code::TooManyFiles) && code != C(Code::TooFewFiles)) return 0;
    return UpdateMasterHeader(directory, code) ? 1 : 0;
  }
  MasterRecord record;
  if (!GetMetaStockMasterRecord(directory, fileNumber, &record)) return 0;
  switch (static_cast<Code>(code)) {
    case Code::MissingDATFile:
      return CreateMissingFile(directory, record, false) ? 1 : 0;
    case Code::MissingDOPFile:
      return CreateMissingFile(directory, record, true) ? 1 : 0;
    case Code::BadFileType:
      record.SetFileType(kMasterFileType);
      break;
    case Code::InconsistentRecordLength:
    case Code::InvalidRecordLength: {
      const uint8_t length = DeterminedRecordLength(directory, fileNumber);
      if (length == 0) return 0;
      record.SetRecordLength(length);
      if (code == C(Code::InconsistentRecordLength)) record.SetFieldCount(static_cast<uint8_t>(length / 4));
      break;
    }
    case Code::StartDateOutOfSync:
    case Code::EndDateOutOfSync: {
      const bool last = code == C(Code::EndDateOutOfSync);
      const float date = last ? GetDATEndDate(directory, fileNumber, record)
                              : GetDATStartDate(directory, fileNumber, record);
      if (date == -1.0f) return 0;
      if (last) {
        record.SetLastDate(date);
      } else {
        record.SetFirstDate(date);
      }
      break;
    }
    case Code::InvalidTimeBase:
      record.SetTimeBase(0);
      break;
    case Code::InvalidDataFormat:
      if (!IsIntra(directory, fileNumber)) return 0;
      record.SetPeriod('I');
      break;
    case Code::UnknownFileFormat:
      record.SetReserved(0);
      break;
    default:
      return 0;
  }
  if (!UpdateMetaStockMasterRecord(directory, fileNumber, record)) return 0;
  // The update reports only that the record was found; read it back to learn
  // whether the write took.
  MasterRecord written;
  if (!GetMetaStockMasterRecord(directory, fileNumber, &written)) return 0;
  return std::memcmp(written.raw, record.raw, kMasterRecordSize) == 0 ? 1 : 0;
}

int IsMasterErrorRepaired(const List* errorList, int32_t fileNumber, int32_t code) {
  const MasterDefect* defect = FindDefect(errorList, fileNumber, code);
  return defect != nullptr && defect->repaired != 0 ? 1 : 0;
}

int MarkMasterErrorRepaired(List* errorList, int32_t fileNumber, int32_t code) {
  MasterDefect* defect = FindDefect(errorList, fileNumber, code);
  if (defect == nullptr) return 0;
  defect->repaired = 1;
  return 1;
}
