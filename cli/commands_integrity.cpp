// The integrity commands: test-dat, test-master, correct and check.
#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "cli_common.h"
#include "commands.h"
#include "filelayer/file_layer.h"
#include "filelayer/platform_file.h"
#include "integrity/dat_checks.h"
#include "integrity/error_list.h"
#include "integrity/error_reports.h"
#include "integrity/index_checks.h"
#include "integrity/master_checks.h"
#include "integrity/report_target.h"
#include "json_writer.h"
#include "primitives/list.h"
#include "store/dat_file.h"
#include "store/directory_instruments.h"
#include "store/emaster_follower.h"
#include "store/file_names.h"
#include "store/instrument_dialogs.h"
#include "store/master_file.h"
#include "store/messages.h"
#include "store/temporary_files.h"
#include "terminal_interaction.h"

namespace qvx {
namespace {

constexpr const char* kNoInstrumentText = "Unable to find Instrument";

// The result of one test as a report window would have seen it: the list,
// or the notice it was closed with. Questions go to the terminal.
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
  bool Failed() const { return !list_ && notice_ != kNoErrorsFoundText; }
  const std::string& Notice() const { return notice_; }

 private:
  UserInteraction& ui_;
  ErrorListPtr list_;
  std::string notice_;
};

// The findings of a DAT ErrorList in the order of the saved report: records
// ascending, each record's problems from the last found to the first.
void WriteDATFindings(Json& json, const List* errors, const MasterRecord& record) {
  DATLayout layout{};
  AssignFieldTypes(&layout, record);
  json.BeginArray();
  for (const ListNode* node = errors ? errors->last : nullptr; node != nullptr; node = node->previous) {
    const DATErrorEntry* entry = DATEntryOf(node);
    for (const ListNode* d = entry->defects->first; d != nullptr; d = d->next) {
      const DATDefect* defect = DATDefectOf(d);
      const FieldType type =
          defect->columnIndex < kMaxFields ? layout.fieldTypes[defect->columnIndex] : FieldType::None;
      json.BeginObject()
          .Int("record", entry->recordNumber)
          .Int("column", defect->columnIndex)
          .Text("column_name", EnumerateFieldType(type))
          .Int("code", defect->errorCode)
          .Text("code_name", GetDATError(defect->errorCode))
          .EndObject();
    }
  }
  json.EndArray();
}

// The findings of a master ErrorList in the order of the saved report: the
// header, then the records in master order.
void WriteMasterFindings(Json& json, const List* errors, const InstrumentNames& names) {
  json.BeginArray();
  for (const ListNode* node = errors ? errors->last : nullptr; node != nullptr; node = node->previous) {
    const MasterErrorEntry* entry = MasterEntryOf(node);
    const std::string& name = names.Name(entry->fileNumber);
    for (const ListNode* d = entry->defects->first; d != nullptr; d = d->next) {
      const MasterDefect* defect = MasterDefectOf(d);
      json.BeginObject()
          .Int("file_number", entry->fileNumber)
          .Text("instrument", name)
          .Int("code", defect->errorCode)
          .Text("code_name", GetMasterError(defect->errorCode))
          .Flag("repaired", defect->repaired != 0)
          .EndObject();
    }
  }
  json.EndArray();
}

int64_t CountDefects(const List* errors) {
  int64_t count = 0;
  for (const ListNode* node = errors ? errors->first : nullptr; node != nullptr; node = node->next) {
    count += CountListItems(DATEntryOf(node)->defects);
  }
  return count;
}

std::string Plural(int64_t count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

// "F3.DAT: header counts 120 records, the file holds 118".
std::string MiscountText(const DATReadings& readings) {
  std::string text = readings.fileName;
  text.append(": header counts ").append(Plural(readings.headerCount, "record", "records"));
  return text.append(", the file holds ").append(std::to_string(readings.fileRecords));
}

void WriteHeaderCount(Json& json, const DATReadings& readings) {
  json.CountOrNull("header_count", readings.headerCount)
      .Int("file_records", readings.fileRecords)
      .Flag("miscounted", readings.HeaderDisagrees());
}

// "leftover temporary file QVX04591BAE.TMP (2,097,152 bytes)"; without the
// size when the file could not be opened to tell.
std::string LeftoverText(const TemporaryFile& file) {
  std::string text = "leftover temporary file " + file.name;
  if (file.bytes < 0) return text;
  std::string digits = std::to_string(file.bytes);
  for (size_t at = digits.size(); at > 3; at -= 3) digits.insert(at - 3, ",");
  return text.append(" (").append(digits).append(file.bytes == 1 ? " byte)" : " bytes)");
}

std::string UnlistedText(const std::string& file) {
  return "data file " + file + " is listed by no master";
}

void WriteTemporaryFiles(Json& json, const std::vector<TemporaryFile>& files) {
  json.BeginArray();
  for (const TemporaryFile& file : files)
    json.BeginObject().Text("file", file.name).CountOrNull("bytes", file.bytes).EndObject();
  json.EndArray();
}

int ReportFileFailure(const std::string& name) {
  const size_t slash = name.find_last_of("/\\");
  const std::string folder = slash == std::string::npos ? "." : name.substr(0, std::max<size_t>(slash, 1));
  return Fail(name + ": " + GetError(kFileAccessMessage), MissingDirectoryCause(folder));
}

// How test-dat and test-master end: the saved report written when asked for
// and there are findings, then the JSON document, the report's lines or that
// nothing was found. The exit status.
int Conclude(const List* findings, const ReportLines& lines, const std::string& reportFile,
             const Json* json) {
  if (findings && !reportFile.empty() && !WriteReportFile(reportFile.c_str(), lines)) {
    return ReportFileFailure(reportFile);
  }
  if (json) {
    std::cout << json->Document() << '\n';
  } else if (findings) {
    std::cout << ReportText(lines, "\n");
  } else {
    std::cout << kNoErrorsFoundText << '\n';
  }
  return findings ? kExitFound : kExitSuccess;
}

int RunTestDat(const std::string& dir, int fileNumber, const std::vector<int32_t>& tests,
               const std::string& reportFile, bool json) {
  const std::string directory = CoreDirectory(dir);
  const std::optional<DirectoryInstrument> listed =
      directory.empty() ? std::nullopt : FindDirectoryInstrument(directory.c_str(), fileNumber);
  if (!listed) return Fail(kNoInstrumentText, MissingInstrumentCause(dir, fileNumber));
  const MasterRecord& record = listed->layout;
  const std::string& name = listed->name;
  const std::string dataFile = listed->dataFileName.substr(directory.size());
  TerminalInteraction ui;
  CollectingReport report(ui);
  DATReadings readings;
  TestDataFile(directory.c_str(), dataFile.c_str(), report, tests.data(), static_cast<int>(tests.size()),
               record, &readings);
  if (report.Failed()) return Fail(report.Notice(), MissingInstrumentCause(dir, fileNumber));

  Json out;
  if (json) {
    out.BeginObject()
        .Text("directory", directory)
        .Int("file_number", fileNumber)
        .Text("instrument", name)
        .Ints("tests", tests)
        .Key("findings");
    WriteDATFindings(out, report.Findings(), record);
    WriteHeaderCount(out, readings);
    out.EndObject();
  }
  const int status =
      Conclude(report.Findings(), FormatDATErrorReport(directory.c_str(), report.Findings(), readings),
               reportFile, json ? &out : nullptr);
  // The header's count in a line of its own, after the report of the ten tests.
  if (!readings.HeaderDisagrees()) return status;
  if (!json) std::cout << MiscountText(readings) << '\n';
  return std::max(status, kExitFound);
}

struct MasterOptions {
  bool repair = false;
  bool prompt = false;
  bool create = false;
};

void WriteIndexFindings(Json& json, const std::vector<IndexCheckFinding>& findings) {
  json.BeginArray();
  for (const IndexCheckFinding& finding : findings)
    json.BeginObject()
        .Text("file", finding.file)
        .Int("file_number", finding.fileNumber)
        .Text("text", finding.text)
        .EndObject();
  json.EndArray();
}

int RunTestMaster(const std::string& dir, const std::vector<int32_t>& tests, const MasterOptions& options,
                  const std::string& reportFile, bool json) {
  const std::string directory = CoreDirectory(dir);
  if (directory.empty() || !Exists(MasterFileName(directory.c_str()).c_str())) {
    return Fail(GetError(kNoSuchFileMessage), MissingMasterCause(dir));
  }
  TerminalInteraction ui;
  ui.SetPrompt(options.prompt);
  CollectingReport report(ui);
  // Data files no master lists are listed first, so that the tests and their repairs see them.
  const std::vector<std::string> recovered =
      options.repair ? ListUnlistedDataFiles(directory.c_str()) : std::vector<std::string>{};
  TestMasterFile(directory.c_str(), report, tests.data(), static_cast<int>(tests.size()),
                 options.repair ? 1 : 0, options.prompt ? 1 : 0, options.create ? 1 : 0);
  if (report.Failed()) return Fail(report.Notice());
  // Last, as master now stands: what a stop between master and EMASTER left.
  const bool emasterInStep = options.repair && BringEmasterInStep(directory.c_str());

  // Named as master holds them after the repairs.
  const InstrumentNames names(directory.c_str());
  const std::vector<IndexCheckFinding> index = CheckIndexFiles(directory.c_str());
  const std::vector<TemporaryFile> temporaries = ListTemporaryFiles(directory.c_str());
  const std::vector<std::string> unlisted = UnlistedDataFiles(directory.c_str());
  Json out;
  if (json) {
    out.BeginObject()
        .Text("directory", directory)
        .Ints("tests", tests)
        .Flag("repair", options.repair)
        .Flag("prompt", options.prompt)
        .Flag("create", options.create)
        .Key("findings");
    WriteMasterFindings(out, report.Findings(), names);
    WriteIndexFindings(out.Key("index_findings"), index);
    WriteTemporaryFiles(out.Key("temporary_files"), temporaries);
    out.Key("unlisted_data_files").Strings(unlisted);
    out.Key("recovered_data_files").Strings(recovered);
    out.Flag("emaster_brought_in_step", emasterInStep);
    out.EndObject();
  }
  const int status =
      Conclude(report.Findings(), FormatMasterErrorReport(directory.c_str(), report.Findings(), names),
               reportFile, json ? &out : nullptr);
  // The index files' findings and the temporary files in lines of their own, after the report of the
  // twelve tests.
  if (!json) {
    for (const IndexCheckFinding& finding : index) std::cout << finding.file << ": " << finding.text << '\n';
    for (const TemporaryFile& file : temporaries) std::cout << LeftoverText(file) << '\n';
    for (const std::string& file : unlisted) std::cout << UnlistedText(file) << '\n';
    for (const std::string& file : recovered)
      std::cout << "data file " << file << " was listed by no master: listed now, under its own number\n";
    if (emasterInStep) std::cout << "EMASTER disagreed with master: brought in step with it\n";
  }
  return index.empty() && temporaries.empty() && unlisted.empty() ? status : std::max(status, kExitFound);
}

int RunCorrect(const std::string& dir, int fileNumber, int code) {
  const std::string directory = CoreDirectory(dir);
  if (directory.empty() || !RepairMasterError(directory.c_str(), fileNumber, code)) {
    std::cerr << GetError(kRepairFailedMessage) << '\n';
    return kExitFound;
  }
  return kExitSuccess;
}

// What check learned about one instrument's data file.
struct DATCheck {
  MasterRecord record{};  // the layout the data file is read by
  int fileNumber = 0;
  std::string name;
  std::string fileName;  // the data file's own name: F<n>.DAT, or F<n>.MWD for XMASTER's instruments
  std::string failure;   // why the data file was not tested; empty when it was
  ErrorListPtr findings;
  DATReadings readings;  // the counts only, none of the report's previous records

  // More records than its header can count: programs that trust it see none.
  bool Uncounted() const { return readings.fileRecords > kHeaderCountLimit; }
};

// What check learned about one data directory.
struct DirectoryCheck {
  std::string directory;  // relative to the root, '/'-separated; "." for the root
  std::string path;       // the core's directory text
  std::string failure;    // why master was not tested; empty when it was
  ErrorListPtr masterFindings;
  std::vector<IndexCheckFinding> indexFindings;
  std::vector<TemporaryFile> temporaries;
  std::vector<std::string> unlisted;
  std::vector<DATCheck> instruments;

  template <typename Count>
  int64_t Sum(Count count) const {
    int64_t sum = 0;
    for (const DATCheck& dat : instruments) sum += count(dat);
    return sum;
  }
  int64_t MasterDefects() const { return CountDefects(masterFindings.get()); }
  int64_t IndexFindings() const { return static_cast<int64_t>(indexFindings.size()); }
  int64_t DATDefects() const {
    return Sum([](const DATCheck& d) { return CountDefects(d.findings.get()); });
  }
  int64_t FaultyDataFiles() const {
    return Sum([](const DATCheck& d) { return d.findings ? 1 : 0; });
  }
  int64_t UntestedDataFiles() const {
    return Sum([](const DATCheck& d) { return d.failure.empty() ? 0 : 1; });
  }
  int64_t MiscountedOrUncountedDataFiles() const {
    return Sum([](const DATCheck& d) { return d.Uncounted() || d.readings.HeaderDisagrees() ? 1 : 0; });
  }
  const char* Status() const {
    if (!failure.empty()) return "failed";
    const int64_t found =
        MasterDefects() + DATDefects() + IndexFindings() + std::ssize(temporaries) + std::ssize(unlisted);
    return found + UntestedDataFiles() + MiscountedOrUncountedDataFiles() > 0 ? "defects" : "ok";
  }
};

DirectoryCheck CheckDirectory(const std::string& root, const std::string& path) {
  DirectoryCheck check;
  check.path = path;
  // '/'-separated on every system, a backslash inside a name kept.
  std::string relative = path.substr(root.size());
  std::replace(relative.begin(), relative.end(), '\\', '/');
  relative = NativePath(relative.c_str());
  while (!relative.empty() && relative.back() == '/') relative.pop_back();
  check.directory = relative.empty() ? "." : relative;

  // Report only: the checks answer every question No and change no file.
  TerminalInteraction ui;
  // Every test below asks of the directory's names: one listing answers them all.
  const platform::ListingScope listing(path);
  {
    CollectingReport report(ui);
    TestMasterFile(path.c_str(), report, kMasterDialogOrder, kMasterTestCount, 0, 0, 0);
    if (report.Failed()) {
      check.failure = report.Notice();
      return check;
    }
    check.masterFindings = report.TakeFindings();
  }
  const DirectoryInstruments model = ReadDirectoryInstruments(path.c_str());
  check.indexFindings = CheckIndexFiles(path.c_str(), model.emaster, model.xmaster);
  check.temporaries = ListTemporaryFiles(path.c_str());
  check.unlisted = UnlistedDataFiles(path.c_str());
  const auto add = [&](const MasterRecord& layout, int fileNumber, const std::string& name,
                       std::string file) {
    DATCheck& dat = check.instruments.emplace_back();
    dat.record = layout, dat.fileNumber = fileNumber, dat.name = name, dat.fileName = std::move(file);
  };
  for (const MasterRecord& record : ReadMasterRecords(path.c_str()))
    add(record, record.FileNumber(), record.Name(), DATFileName("", record.FileNumber()));
  for (const DirectoryInstrument& listed : model.instruments) {
    if (listed.source == InstrumentSource::Xmaster)
      add(listed.layout, listed.fileNumber, listed.name, MWDFileName("", listed.fileNumber));
  }
  for (DATCheck& dat : check.instruments) {
    const std::string name = path + dat.fileName;
    if (!Exists(name.c_str())) {
      dat.failure = GetError(kNoSuchFileMessage);
      continue;
    }
    CollectingReport report(ui);
    TestDataFile(path.c_str(), dat.fileName.c_str(), report, kDATDialogOrder, kDATTestCount, dat.record,
                 &dat.readings);
    dat.readings.previous = {};
    if (report.Failed()) {
      dat.failure = report.Notice();
      continue;
    }
    dat.findings = report.TakeFindings();
  }
  return check;
}

void PrintSummary(const std::vector<DirectoryCheck>& checks) {
  size_t width = 1;
  for (const DirectoryCheck& check : checks) width = std::max(width, check.directory.size());
  int64_t ok = 0, withDefects = 0, failed = 0, masterDefects = 0, datDefects = 0, untested = 0;
  for (const DirectoryCheck& check : checks) {
    std::string status = check.Status();
    std::string line = status == "ok" ? "OK       " : status == "failed" ? "FAILED   " : "DEFECTS  ";
    line += check.directory + std::string(width - check.directory.size() + 2, ' ');
    if (!check.failure.empty()) {
      line += "master not tested: " + check.failure;
      ++failed;
    } else {
      line += Plural(static_cast<int64_t>(check.instruments.size()), "instrument", "instruments");
      if (status == "ok") {
        ++ok;
      } else {
        ++withDefects;
        line += ", " + Plural(check.MasterDefects(), "master defect", "master defects");
        line += ", " + Plural(check.DATDefects(), "DAT defect", "DAT defects");
        if (check.DATDefects() > 0)
          line += " in " + Plural(check.FaultyDataFiles(), "data file", "data files");
        if (check.UntestedDataFiles() > 0) {
          line += ", " + Plural(check.UntestedDataFiles(), "data file", "data files") + " not tested";
        }
        if (check.IndexFindings() > 0)
          line += ", " + Plural(check.IndexFindings(), "index file finding", "index file findings");
        for (const DATCheck& dat : check.instruments) {
          if (dat.Uncounted()) line += ", " + dat.fileName + " holds more records than its header can count";
        }
      }
    }
    masterDefects += check.MasterDefects();
    datDefects += check.DATDefects();
    untested += check.UntestedDataFiles();
    std::cout << line << '\n';
    const std::string indent(9, ' ');
    for (const IndexCheckFinding& finding : check.indexFindings)
      std::cout << indent << finding.file << ": " << finding.text << '\n';
    for (const DATCheck& dat : check.instruments) {
      if (dat.readings.HeaderDisagrees()) std::cout << indent << MiscountText(dat.readings) << '\n';
    }
    for (const TemporaryFile& file : check.temporaries) std::cout << indent << LeftoverText(file) << '\n';
    for (const std::string& file : check.unlisted) std::cout << indent << UnlistedText(file) << '\n';
  }
  std::cout << "Total: " << Plural(static_cast<int64_t>(checks.size()), "directory", "directories") << " ("
            << ok << " ok, " << withDefects << " with defects, " << failed << " failed), "
            << Plural(masterDefects, "master defect", "master defects") << ", "
            << Plural(datDefects, "DAT defect", "DAT defects") << ", "
            << Plural(untested, "data file", "data files") << " not tested\n";
}

void PrintJson(const std::string& root, const std::vector<DirectoryCheck>& checks) {
  Json out;
  int64_t ok = 0, withDefects = 0, failed = 0, masterDefects = 0, datDefects = 0, untested = 0;
  out.BeginObject().Key("root").String(root).Key("directories").BeginArray();
  for (const DirectoryCheck& check : checks) {
    const std::string status = check.Status();
    ok += status == "ok";
    withDefects += status == "defects";
    failed += status == "failed";
    masterDefects += check.MasterDefects();
    datDefects += check.DATDefects();
    untested += check.UntestedDataFiles();
    out.BeginObject()
        .Text("directory", check.directory)
        .Text("path", check.path)
        .Text("status", status)
        .TextOrNull("failure", check.failure)
        .Int("instruments", static_cast<int64_t>(check.instruments.size()))
        .Int("master_defects", check.MasterDefects())
        .Int("dat_defects", check.DATDefects())
        .Key("master_findings");
    WriteMasterFindings(out, check.masterFindings.get(), InstrumentNames(check.path.c_str()));
    WriteIndexFindings(out.Key("index_findings"), check.indexFindings);
    WriteTemporaryFiles(out.Key("temporary_files"), check.temporaries);
    out.Key("unlisted_data_files").Strings(check.unlisted);
    out.Key("data_files").BeginArray();
    for (const DATCheck& dat : check.instruments) {
      out.BeginObject()
          .Int("file_number", dat.fileNumber)
          .Text("instrument", dat.name)
          .TextOrNull("failure", dat.failure)
          .Flag("uncounted", dat.Uncounted());
      WriteHeaderCount(out, dat.readings);
      WriteDATFindings(out.Key("findings"), dat.findings.get(), dat.record);
      out.EndObject();
    }
    out.EndArray().EndObject();
  }
  out.EndArray()
      .Key("totals")
      .BeginObject()
      .Int("directories", static_cast<int64_t>(checks.size()))
      .Int("ok", ok)
      .Int("with_defects", withDefects)
      .Int("failed", failed)
      .Int("master_defects", masterDefects)
      .Int("dat_defects", datDefects)
      .Int("untested_data_files", untested)
      .EndObject()
      .EndObject();
  std::cout << out.Document() << '\n';
}

int RunCheck(const std::string& rootArgument, bool json) {
  const std::optional<std::string> searchable = SearchableDirectory(rootArgument);
  if (!searchable) return Fail(GetError(kInvalidPathMessage), MissingDirectoryCause(rootArgument));
  const std::string& root = *searchable;
  std::vector<std::string> directories;
  if (!DataDirectoriesBelow(root, &directories)) return Fail(GetError(kOutOfMemoryMessage));
  std::vector<DirectoryCheck> checks;
  for (const std::string& path : directories) checks.push_back(CheckDirectory(root, path));
  if (json) {
    PrintJson(root, checks);
  } else {
    PrintSummary(checks);
  }
  for (const DirectoryCheck& check : checks) {
    if (std::string(check.Status()) != "ok") return kExitFound;
  }
  return kExitSuccess;
}

// The codes a --help lists, in the test dialog's order, each with its name.
std::string CodeTable(const char* title, const int32_t* codes, int count, const char* (*name)(int32_t)) {
  std::string table = std::string(title) + ", in the test dialog's order:\n";
  for (int i = 0; i < count; ++i) {
    const std::string code = std::to_string(codes[i]);
    table += "  " + code + std::string(4 - code.size(), ' ') + name(codes[i]) + "\n";
  }
  return table;
}

const std::string& DATCodes() {
  static const std::string table = CodeTable("DAT test codes", kDATDialogOrder, kDATTestCount, GetDATError);
  return table;
}

const std::string& MasterCodes() {
  static const std::string table =
      CodeTable("Master test codes", kMasterDialogOrder, kMasterTestCount, GetMasterError);
  return table;
}

}  // namespace

void RegisterIntegrityCommands(CLI::App& app, int* status) {
  auto dir = std::make_shared<std::string>();
  auto fileNumber = std::make_shared<int>(0);
  auto reportFile = std::make_shared<std::string>();
  auto json = std::make_shared<bool>(false);

  auto datTests = std::make_shared<std::vector<int32_t>>();
  CLI::App* testDat = app.add_subcommand("test-dat", "The DAT test of instrument N's data file");
  testDat->add_option("DIR", *dir, "Data directory")->required();
  testDat->add_option("N", *fileNumber, "File number (F<N>)")->required()->check(CLI::Range(1, 65535));
  testDat
      ->add_option("--tests", *datTests, "Comma-separated test codes, run in that order (default: all ten)")
      ->delimiter(',')
      ->check(CLI::Range(0, kDATTestCount - 1));
  testDat->footer(DATCodes());
  testDat->add_option("--report", *reportFile, "Also write the saved report (LF CR line ends) to FILE");
  testDat->add_flag("--json", *json, "The findings as JSON");
  testDat->callback([=] {
    std::vector<int32_t> tests =
        datTests->empty() ? std::vector<int32_t>(std::begin(kDATDialogOrder), std::end(kDATDialogOrder))
                          : *datTests;
    *status = RunTestDat(*dir, *fileNumber, tests, *reportFile, *json);
  });

  auto masterTests = std::make_shared<std::vector<int32_t>>();
  auto options = std::make_shared<MasterOptions>();
  CLI::App* testMaster = app.add_subcommand("test-master", "The master test, with its repair options");
  testMaster->add_option("DIR", *dir, "Data directory")->required();
  testMaster->add_option("--tests", *masterTests, "Comma-separated test codes (default: all twelve)")
      ->delimiter(',')
      ->check(CLI::Range(0, kMasterTestCount - 1));
  testMaster->footer(MasterCodes());
  testMaster->add_flag("--repair", options->repair, "Repair errors where possible");
  testMaster->add_flag("--prompt", options->prompt, "Ask on the terminal before each repair");
  testMaster->add_flag("--create", options->create, "Create data and DOP files where none exist");
  testMaster->add_option("--report", *reportFile, "Also write the saved report (LF CR line ends) to FILE");
  testMaster->add_flag("--json", *json, "The findings as JSON");
  testMaster->callback([=] {
    std::vector<int32_t> tests = masterTests->empty() ? std::vector<int32_t>(std::begin(kMasterDialogOrder),
                                                                             std::end(kMasterDialogOrder))
                                                      : *masterTests;
    *status = RunTestMaster(*dir, tests, *options, *reportFile, *json);
  });

  auto code = std::make_shared<int>(0);
  CLI::App* correct = app.add_subcommand("correct", "The master report's Correct for one defect");
  correct->add_option("DIR", *dir, "Data directory")->required();
  correct->add_option("N", *fileNumber, "File number (0: the header)")->required()->check(CLI::Range(0, 255));
  correct->add_option("CODE", *code, "Master error code")
      ->required()
      ->check(CLI::Range(0, kMasterTestCount - 1));
  correct->footer(MasterCodes());
  correct->callback([=] { *status = RunCorrect(*dir, *fileNumber, *code); });

  CLI::App* check = app.add_subcommand(
      "check", "Every test, report only, on every data directory below ROOT; changes no file");
  check->add_option("ROOT", *dir, "Root directory")->required();
  check->add_flag("--json", *json,
                  "One JSON document: a directory object each, with its findings, and totals");
  check->footer(MasterCodes() + DATCodes());
  check->callback([=] { *status = RunCheck(*dir, *json); });
}

}  // namespace qvx
