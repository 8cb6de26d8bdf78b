#include "integrity/error_reports.h"

#include <cstdarg>
#include <cstdio>
#include <memory>

#include "integrity/dat_checks.h"
#include "integrity/error_list.h"
#include "integrity/master_checks.h"
#include "primitives/dates.h"
#include "store/dat_file.h"
#include "filelayer/file_guard.h"
#include "store/master_file.h"

namespace {

constexpr const char* kApplicationName = "Quorvex";
constexpr int kReadOnly = 0;
constexpr int kShare = 1;

#if defined(__GNUC__)
__attribute__((format(printf, 2, 3)))
#endif
void Appendf(std::string* out, const char* format, ...) {
  char line[1024];
  va_list arguments;
  va_start(arguments, format);
  const int length = std::vsnprintf(line, sizeof line, format, arguments);
  va_end(arguments);
  if (length > 0)
    out->append(line,
                static_cast<size_t>(length) < sizeof line ? static_cast<size_t>(length) : sizeof line - 1);
}

// The two-digit year of the text forms.
int TwoDigitYear(int16_t yearSince1900) {
  return (yearSince1900 % 100 + 100) % 100;
}

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

// Replaces the file with the bytes; false when it cannot be created or
// written whole.
bool WriteWholeFile(const char* fileName, const std::string& bytes) {
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(fileName, "wb"));
  if (!file) return false;
  bool written = std::fwrite(bytes.data(), 1, bytes.size(), file.get()) == bytes.size();
  written = std::fflush(file.get()) == 0 && written;
  return std::fclose(file.release()) == 0 && written;
}

// The line that places a faulty record after the one before it.
void AppendPreviousRecord(std::string* text, FileHandle dat, const MasterRecord& record,
                          int32_t recordNumber) {
  if (recordNumber == 0) {
    text->append("First Record\n\r");
    return;
  }
  int16_t day = 0, month = 0, year = 0;
  if (record.Period() != 'I') {
    GetDate(dat, record, recordNumber - 1, &day, &month, &year);
    Appendf(text, "Previous Record's Date : %02d:%02d:%02d\n\r", day, month, TwoDigitYear(year));
    return;
  }
  int16_t hour = 0, minute = 0, second = 0;
  if (!GetDateTime(dat, record, recordNumber - 1, &day, &month, &year, &hour, &minute, &second)) {
    // An invalid previous date leaves the time unsplit; the stored time is
    // still worth showing.
    const float time = ReadField(dat, recordNumber, 1, record.RecordLength());
    if (time >= 0.0f) ExtractTime(time, &hour, &minute, &second);
  }
  Appendf(text, "Previous Record's Date/Time : %02d/%02d/%02d @ %02d:%02d:%02d\n\r", day, month,
          TwoDigitYear(year), hour, minute, second);
}

}  // namespace

int FormatDATErrorReport(const char* directory, int fileNumber, const List* errorList, std::string* text,
                         std::string* failedName) {
  const std::string datName = std::string(directory) + "F" + std::to_string(fileNumber) + ".dat";
  MasterRecord record{};
  if (!GetMetaStockMasterRecord(directory, fileNumber, &record)) {
    *failedName = datName;
    return 0;
  }
  // Opened by the name text that the record editor and the DAT test use: the
  // file layer then shares an editor's open entry instead of asking the
  // system for a second handle, which an editor's write access refuses.
  FileGuard dat(
      SOpenFile(DATFileName(directory, fileNumber).c_str(), kReadOnly, kShare, record.RecordLength(), 0));
  if (!dat.Valid()) {
    *failedName = datName;
    return 0;
  }
  DATLayout layout{};
  AssignFieldTypes(&layout, record);

  text->clear();
  Appendf(text, "%s\n\r\n\rErrors Found in DAT file (F%d.DAT) in directory  '%s'\n\r", kApplicationName,
          fileNumber, directory);
  Appendf(text, "Instrument name : %s\n\r\n\r", record.Name().c_str());
  for (const ListNode* node = errorList ? errorList->last : nullptr; node != nullptr; node = node->previous) {
    const DATErrorEntry* entry = DATEntryOf(node);
    Appendf(text, "Record Number : %6d\n\r", static_cast<int>(entry->recordNumber));
    AppendPreviousRecord(text, dat.Get(), record, entry->recordNumber);
    for (const ListNode* d = entry->defects ? entry->defects->first : nullptr; d != nullptr; d = d->next) {
      const DATDefect* defect = DATDefectOf(d);
      const FieldType type =
          defect->columnIndex < kMaxFields ? layout.fieldTypes[defect->columnIndex] : FieldType::None;
      Appendf(text, "%s : %s\n\r", EnumerateFieldType(type), GetDATError(defect->errorCode));
    }
    text->append("\n\r");
  }
  return 1;
}

int WriteDATErrorReport(const char* reportFileName, const char* directory, int fileNumber,
                        const List* errorList, std::string* failedName) {
  std::string text;
  if (!FormatDATErrorReport(directory, fileNumber, errorList, &text, failedName)) return 0;
  if (!WriteWholeFile(reportFileName, text)) {
    *failedName = reportFileName;
    return 0;
  }
  return 1;
}

std::string FormatMasterErrorReport(const char* directory, const List* errorList) {
  std::string text;
  Appendf(&text, "%s\n\r\n\rErrors Found in Master file for directory  '%s'\n\r\n\r", kApplicationName,
          directory);
  for (const ListNode* node = errorList ? errorList->last : nullptr; node != nullptr; node = node->previous) {
    const MasterErrorEntry* entry = MasterEntryOf(node);
    if (entry->fileNumber == 0) {
      text.append("Header Record Errors : \n\r");
    } else {
      MasterRecord record{};
      const bool found = GetMetaStockMasterRecord(directory, entry->fileNumber, &record) != 0;
      Appendf(&text, "MasterRecord For File F%d.dat (%s) Errors :\n\r", static_cast<int>(entry->fileNumber),
              found ? record.Name().c_str() : "");
    }
    for (const ListNode* d = entry->defects ? entry->defects->first : nullptr; d != nullptr; d = d->next) {
      const MasterDefect* defect = MasterDefectOf(d);
      Appendf(&text, "%s : %s\n\r", defect->repaired ? "Repaired    " : "Not Repaired",
              GetMasterError(defect->errorCode));
    }
    text.append("\n\r");
  }
  return text;
}

int WriteMasterErrorReport(const char* reportFileName, const char* directory, const List* errorList,
                           std::string* failedName) {
  if (!WriteWholeFile(reportFileName, FormatMasterErrorReport(directory, errorList))) {
    *failedName = reportFileName;
    return 0;
  }
  return 1;
}

std::string PlainLineEnds(const std::string& reportText) {
  std::string plain;
  plain.reserve(reportText.size());
  for (size_t i = 0; i < reportText.size(); ++i) {
    plain.push_back(reportText[i]);
    if (reportText[i] == '\n' && i + 1 < reportText.size() && reportText[i + 1] == '\r') ++i;
  }
  return plain;
}
