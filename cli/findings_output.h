// What test-dat, test-master and check share: the tests' results as a report
// window would have seen them, each defect with its catalogue entry and
// severity, and the texts and JSON of the findings outside the catalogues.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "integrity/dat_checks.h"
#include "integrity/error_list.h"
#include "integrity/error_reports.h"
#include "integrity/index_checks.h"
#include "integrity/report_target.h"
#include "json_output.h"
#include "primitives/code_page.h"
#include "primitives/list.h"
#include "store/master_file.h"
#include "store/temporary_files.h"
#include "store/user_interaction.h"

namespace qvx {

// The result of one test as a report window would have seen it: the list,
// or the notice it was closed with. Questions go to `ui`.
class CollectingReport : public ReportTarget {
 public:
  explicit CollectingReport(UserInteraction& ui) : ui_(ui) {}

  void ErrorListReady(List* errorList) override { list_.reset(errorList); }
  void Close() override {}
  void ShowNotice(const char* text) override { notice_ = text; }
  bool AskYesNo(const char* text) override { return ui_.AskYesNo(text); }

  const List* Findings() const { return list_.get(); }
  // The list, which the caller then owns.
  ErrorListPtr TakeFindings() { return std::move(list_); }
  bool Failed() const;
  const std::string& Notice() const { return notice_; }

 private:
  UserInteraction& ui_;
  ErrorListPtr list_;
  std::string notice_;
};

enum class Catalogue { Master, DAT };

// One defect of an error list, as the saved report orders them.
struct Defect {
  Catalogue catalogue = Catalogue::Master;
  int32_t fileNumber = 0;  // master: the record's file number, 0 for the header
  int32_t record = -1;     // DAT only: the record, counted from 0
  int32_t column = -1;     // DAT only
  const char* columnName = "";
  int32_t code = 0;
  bool repaired = false;  // master only

  const char* Name() const;
  int32_t Severity() const;  // the explanation's level: 0 ... 3
};

// The defects of a DAT test's error list of instrument `fileNumber` read by
// `record`'s layout: records ascending, each record's problems from the last
// found to the first.
std::vector<Defect> DATDefects(const List* errors, const MasterRecord& record, int32_t fileNumber);
// The defects of a master test's error list: the header, then the records in
// master order.
std::vector<Defect> MasterDefects(const List* errors);

// {"record", "column", "column_name", "code", "code_name", "severity",
// "severity_text"} for a DAT defect; {"file_number", "instrument", "code",
// "code_name", "repaired", "severity", "severity_text"} for a master one,
// the instrument named as master names it (`names`, needed for master
// defects only), converted from `page`.
Json DefectsJson(const std::vector<Defect>& defects, const InstrumentNames* names, CodePage page);

std::string Plural(int64_t count, const char* one, const char* many);
// "F3.DAT: header counts 120 records, the file holds 118".
std::string MiscountText(const DATReadings& readings);
// "leftover temporary file QVX04591BAE.TMP (2,097,152 bytes)"; without the
// size when the file could not be opened to tell.
std::string LeftoverText(const TemporaryFile& file);
// "data file F9.DAT is listed by no master".
std::string UnlistedText(const std::string& file);

// "header_count", "file_records" and "miscounted" set in `object`.
void AddHeaderCount(Json& object, const DATReadings& readings);
Json IndexFindingsJson(const std::vector<IndexCheckFinding>& findings, CodePage page);
Json TemporaryFilesJson(const std::vector<TemporaryFile>& files);

// The codes of each catalogue with their names, in the test dialog's order,
// for the commands' --help.
const std::string& DATCodes();
const std::string& MasterCodes();

}  // namespace qvx
