#include "findings_output.h"

#include "integrity/explanations.h"
#include "integrity/master_checks.h"
#include "store/dat_file.h"
#include "store/record_rules.h"

namespace qvx {

bool CollectingReport::Failed() const {
  return !list_ && notice_ != kNoErrorsFoundText;
}

const char* Defect::Name() const {
  return catalogue == Catalogue::DAT ? GetDATError(code) : GetMasterError(code);
}

int32_t Defect::Severity() const {
  return (catalogue == Catalogue::DAT ? GetDATExplanation(code) : GetMasterExplanation(code)).severity;
}

std::vector<Defect> DATDefects(const List* errors, const MasterRecord& record, int32_t fileNumber) {
  DATLayout layout{};
  AssignFieldTypes(&layout, record);
  std::vector<Defect> defects;
  for (const ListNode* node = errors ? errors->last : nullptr; node != nullptr; node = node->previous) {
    const DATErrorEntry* entry = DATEntryOf(node);
    for (const ListNode* d = entry->defects->first; d != nullptr; d = d->next) {
      const DATDefect* defect = DATDefectOf(d);
      const FieldType type =
          defect->columnIndex < kMaxFields ? layout.fieldTypes[defect->columnIndex] : FieldType::None;
      defects.push_back({.catalogue = Catalogue::DAT,
                         .fileNumber = fileNumber,
                         .record = entry->recordNumber,
                         .column = defect->columnIndex,
                         .columnName = EnumerateFieldType(type),
                         .code = defect->errorCode});
    }
  }
  return defects;
}

std::vector<Defect> MasterDefects(const List* errors) {
  std::vector<Defect> defects;
  for (const ListNode* node = errors ? errors->last : nullptr; node != nullptr; node = node->previous) {
    const MasterErrorEntry* entry = MasterEntryOf(node);
    for (const ListNode* d = entry->defects->first; d != nullptr; d = d->next) {
      const MasterDefect* defect = MasterDefectOf(d);
      defects.push_back({.catalogue = Catalogue::Master,
                         .fileNumber = entry->fileNumber,
                         .code = defect->errorCode,
                         .repaired = defect->repaired != 0});
    }
  }
  return defects;
}

Json DefectsJson(const std::vector<Defect>& defects, const InstrumentNames* names, CodePage page) {
  Json list = Json::array();
  for (const Defect& defect : defects) {
    Json object;
    if (defect.catalogue == Catalogue::DAT) {
      object["record"] = defect.record;
      object["column"] = defect.column;
      object["column_name"] = defect.columnName;
    } else {
      object["file_number"] = defect.fileNumber;
      object["instrument"] = names ? ToUtf8(names->Name(defect.fileNumber), page) : std::string();
    }
    object["code"] = defect.code;
    object["code_name"] = defect.Name();
    if (defect.catalogue == Catalogue::Master) object["repaired"] = defect.repaired;
    object["severity"] = defect.Severity();
    object["severity_text"] = GetSeverityText(defect.Severity());
    list.push_back(std::move(object));
  }
  return list;
}

std::string Plural(int64_t count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

std::string MiscountText(const DATReadings& readings) {
  std::string text = readings.fileName;
  text.append(": header counts ").append(Plural(readings.headerCount, "record", "records"));
  return text.append(", the file holds ").append(std::to_string(readings.fileRecords));
}

std::string LeftoverText(const TemporaryFile& file) {
  std::string text = "leftover temporary file " + file.name;
  if (file.bytes < 0) return text;
  // The digits in groups of three, built by appending (GCC 12 warns falsely of an insert here).
  const std::string digits = std::to_string(file.bytes);
  text.append(" (");
  for (size_t at = 0; at < digits.size(); ++at) {
    if (at > 0 && (digits.size() - at) % 3 == 0) text += ',';
    text += digits[at];
  }
  return text.append(file.bytes == 1 ? " byte)" : " bytes)");
}

std::string UnlistedText(const std::string& file) {
  return "data file " + file + " is listed by no master";
}

void AddHeaderCount(Json& object, const DATReadings& readings) {
  object["header_count"] = CountOrNull(readings.headerCount);
  object["file_records"] = readings.fileRecords;
  object["miscounted"] = readings.HeaderDisagrees();
}

Json IndexFindingsJson(const std::vector<IndexCheckFinding>& findings, CodePage page) {
  Json list = Json::array();
  for (const IndexCheckFinding& finding : findings) {
    list.push_back(
        {{"file", finding.file}, {"file_number", finding.fileNumber}, {"text", ToUtf8(finding.text, page)}});
  }
  return list;
}

Json TemporaryFilesJson(const std::vector<TemporaryFile>& files) {
  Json list = Json::array();
  for (const TemporaryFile& file : files)
    list.push_back({{"file", file.name}, {"bytes", CountOrNull(file.bytes)}});
  return list;
}

namespace {

// The codes a --help lists, in the test dialog's order, each with its name.
std::string CodeTable(const char* title, const int32_t* codes, int count, const char* (*name)(int32_t)) {
  std::string table = std::string(title) + ", in the test dialog's order:\n";
  for (int i = 0; i < count; ++i) {
    const std::string code = std::to_string(codes[i]);
    table += "  " + code + std::string(4 - code.size(), ' ') + name(codes[i]) + "\n";
  }
  return table;
}

}  // namespace

const std::string& DATCodes() {
  static const std::string table = CodeTable("DAT test codes", kDATDialogOrder, kDATTestCount, GetDATError);
  return table;
}

const std::string& MasterCodes() {
  static const std::string table =
      CodeTable("Master test codes", kMasterDialogOrder, kMasterTestCount, GetMasterError);
  return table;
}

}  // namespace qvx
