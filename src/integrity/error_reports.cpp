#include "integrity/error_reports.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <memory>

#include "integrity/error_list.h"
#include "integrity/master_checks.h"
#include "primitives/dates.h"
#include "store/dat_file.h"
#include "store/master_file.h"

namespace {

constexpr const char* kApplicationName = "Quorvex";

#if defined(__GNUC__)
__attribute__((format(printf, 2, 3)))
#endif
void AddLine(ReportLines* lines, const char* format, ...) {
  va_list arguments;
  va_list again;
  va_start(arguments, format);
  va_copy(again, arguments);
  const int length = std::vsnprintf(nullptr, 0, format, arguments);
  va_end(arguments);
  std::string line(static_cast<size_t>(std::max(length, 0)), '\0');
  if (length > 0) std::vsnprintf(line.data(), line.size() + 1, format, again);
  va_end(again);
  lines->push_back(std::move(line));
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

const DATReadings::PreviousRecord* FindPreviousRecord(const DATReadings& readings, int32_t recordNumber) {
  const auto found = std::lower_bound(
      readings.previous.begin(), readings.previous.end(), recordNumber,
      [](const DATReadings::PreviousRecord& kept, int32_t number) { return kept.recordNumber < number; });
  return found != readings.previous.end() && found->recordNumber == recordNumber ? &*found : nullptr;
}

// The line that places a faulty record after the one before it. The parts are
// those of the kept bytes whether or not they make a valid date or time.
void AddPreviousRecordLine(ReportLines* lines, const DATReadings& readings, int32_t recordNumber) {
  if (recordNumber == 0) {
    lines->emplace_back("First Record");
    return;
  }
  int16_t day = 0, month = 0, year = 0, hour = 0, minute = 0, second = 0;
  if (const DATReadings::PreviousRecord* previous = FindPreviousRecord(readings, recordNumber)) {
    ExtractDate(ColumnValue(previous->bytes.data()), &day, &month, &year);
    ExtractTime(ColumnValue(previous->bytes.data() + 4), &hour, &minute, &second);
  }
  if (readings.record.Period() != 'I') {
    AddLine(lines, "Previous Record's Date : %02d:%02d:%02d", day, month, TwoDigitYear(year));
  } else {
    AddLine(lines, "Previous Record's Date/Time : %02d/%02d/%02d @ %02d:%02d:%02d", day, month,
            TwoDigitYear(year), hour, minute, second);
  }
}

}  // namespace

InstrumentNames::InstrumentNames(const char* directory) {
  for (const MasterRecord& record : ReadMasterRecords(directory)) {
    if (record.FileNumber() != 0) names_.emplace(record.FileNumber(), record.Name());
  }
}

const std::string& InstrumentNames::Name(int32_t fileNumber) const {
  static const std::string kNone;
  const auto found = names_.find(fileNumber);
  return found != names_.end() ? found->second : kNone;
}

ReportLines FormatDATErrorReport(const char* directory, const List* errorList, const DATReadings& readings) {
  DATLayout layout{};
  AssignFieldTypes(&layout, readings.record);
  ReportLines lines{kApplicationName, ""};
  AddLine(&lines, "Errors Found in DAT file (%s) in directory  '%s'", readings.fileName.c_str(), directory);
  AddLine(&lines, "Instrument name : %s", readings.record.Name().c_str());
  lines.emplace_back();
  for (const ListNode* node = errorList ? errorList->last : nullptr; node != nullptr; node = node->previous) {
    const DATErrorEntry* entry = DATEntryOf(node);
    AddLine(&lines, "Record Number : %6d", static_cast<int>(entry->recordNumber));
    AddPreviousRecordLine(&lines, readings, entry->recordNumber);
    for (const ListNode* d = entry->defects ? entry->defects->first : nullptr; d != nullptr; d = d->next) {
      const DATDefect* defect = DATDefectOf(d);
      const FieldType type =
          defect->columnIndex < kMaxFields ? layout.fieldTypes[defect->columnIndex] : FieldType::None;
      AddLine(&lines, "%s : %s", EnumerateFieldType(type), GetDATError(defect->errorCode));
    }
    lines.emplace_back();
  }
  return lines;
}

ReportLines FormatMasterErrorReport(const char* directory, const List* errorList,
                                    const InstrumentNames& names) {
  ReportLines lines{kApplicationName, ""};
  AddLine(&lines, "Errors Found in Master file for directory  '%s'", directory);
  lines.emplace_back();
  for (const ListNode* node = errorList ? errorList->last : nullptr; node != nullptr; node = node->previous) {
    const MasterErrorEntry* entry = MasterEntryOf(node);
    if (entry->fileNumber == 0) {
      lines.emplace_back("Header Record Errors : ");
    } else {
      AddLine(&lines, "MasterRecord For File F%d.dat (%s) Errors :", static_cast<int>(entry->fileNumber),
              names.Name(entry->fileNumber).c_str());
    }
    for (const ListNode* d = entry->defects ? entry->defects->first : nullptr; d != nullptr; d = d->next) {
      const MasterDefect* defect = MasterDefectOf(d);
      AddLine(&lines, "%s : %s", defect->repaired ? "Repaired    " : "Not Repaired",
              GetMasterError(defect->errorCode));
    }
    lines.emplace_back();
  }
  return lines;
}

std::string ReportText(const ReportLines& lines, const char* lineEnd) {
  std::string text;
  for (const std::string& line : lines) text.append(line).append(lineEnd);
  return text;
}

int WriteReportFile(const char* fileName, const ReportLines& lines) {
  return WriteWholeFile(fileName, ReportText(lines, "\n\r")) ? 1 : 0;
}
