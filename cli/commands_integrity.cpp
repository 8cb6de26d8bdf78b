// The integrity commands: test-dat, test-master and correct (check has a
// file of its own).
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
#include "integrity/dat_checks.h"
#include "integrity/error_list.h"
#include "integrity/error_reports.h"
#include "integrity/index_checks.h"
#include "integrity/master_checks.h"
#include "findings_output.h"
#include "integrity/report_target.h"
#include "json_output.h"
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
    PrintJson(*json);
  } else if (findings) {
    std::cout << ReportText(lines, "\n");
  } else {
    std::cout << kNoErrorsFoundText << '\n';
  }
  return findings ? kExitFound : kExitSuccess;
}

struct TestOptions {
  std::vector<int32_t> tests;
  std::string reportFile;
  bool json = false;
  std::string encoding = "windows-1252";
  // test-master only
  bool repair = false;
  bool prompt = false;
  bool create = false;

  CodePage Page() const { return EncodingPage(encoding); }
};

int RunTestDat(const std::string& dir, int fileNumber, const TestOptions& options) {
  const std::string directory = CoreDirectory(dir);
  const std::optional<DirectoryInstrument> listed =
      directory.empty() ? std::nullopt : FindDirectoryInstrument(directory.c_str(), fileNumber);
  if (!listed) return Fail(kNoInstrumentText, MissingInstrumentCause(dir, fileNumber));
  const MasterRecord& record = listed->layout;
  const std::string dataFile = listed->dataFileName.substr(directory.size());
  TerminalInteraction ui;
  CollectingReport report(ui);
  DATReadings readings;
  TestDataFile(directory.c_str(), dataFile.c_str(), report, options.tests.data(),
               static_cast<int>(options.tests.size()), record, &readings);
  if (report.Failed()) return Fail(report.Notice(), MissingInstrumentCause(dir, fileNumber));

  Json out;
  if (options.json) {
    out["directory"] = PathTextUtf8(directory.c_str(), options.Page());
    out["file_number"] = fileNumber;
    out["instrument"] = ToUtf8(listed->name, options.Page());
    out["tests"] = options.tests;
    out["findings"] = DefectsJson(DATDefects(report.Findings(), record, fileNumber), nullptr, options.Page());
    AddHeaderCount(out, readings);
  }
  const int status =
      Conclude(report.Findings(), FormatDATErrorReport(directory.c_str(), report.Findings(), readings),
               options.reportFile, options.json ? &out : nullptr);
  // The header's count in a line of its own, after the report of the ten tests.
  if (!readings.HeaderDisagrees()) return status;
  if (!options.json) std::cout << MiscountText(readings) << '\n';
  return std::max(status, kExitFound);
}

int RunTestMaster(const std::string& dir, const TestOptions& options) {
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
  TestMasterFile(directory.c_str(), report, options.tests.data(), static_cast<int>(options.tests.size()),
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
  if (options.json) {
    out["directory"] = PathTextUtf8(directory.c_str(), options.Page());
    out["tests"] = options.tests;
    out["repair"] = options.repair;
    out["prompt"] = options.prompt;
    out["create"] = options.create;
    out["findings"] = DefectsJson(MasterDefects(report.Findings()), &names, options.Page());
    out["index_findings"] = IndexFindingsJson(index, options.Page());
    out["temporary_files"] = TemporaryFilesJson(temporaries);
    out["unlisted_data_files"] = unlisted;
    out["recovered_data_files"] = recovered;
    out["emaster_brought_in_step"] = emasterInStep;
  }
  const int status =
      Conclude(report.Findings(), FormatMasterErrorReport(directory.c_str(), report.Findings(), names),
               options.reportFile, options.json ? &out : nullptr);
  // The index files' findings and the temporary files in lines of their own, after the report of the
  // twelve tests.
  if (!options.json) {
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

}  // namespace

void RegisterIntegrityCommands(CLI::App& app, int* status) {
  auto dir = std::make_shared<std::string>();
  auto fileNumber = std::make_shared<int>(0);
  auto options = std::make_shared<TestOptions>();
  const auto common = [options](CLI::App* command) {
    command->add_option("--report", options->reportFile,
                        "Also write the saved report (LF CR line ends) to FILE");
    command->add_flag("--json", options->json, "The findings as JSON, each with its severity");
    AddJsonEncodingOption(command, &options->encoding);
  };

  CLI::App* testDat = app.add_subcommand("test-dat", "The DAT test of instrument N's data file");
  testDat->add_option("DIR", *dir, "Data directory")->required();
  testDat->add_option("N", *fileNumber, "File number (F<N>)")->required()->check(CLI::Range(1, 65535));
  testDat
      ->add_option("--tests", options->tests,
                   "Comma-separated test codes, run in that order (default: all ten)")
      ->delimiter(',')
      ->check(CLI::Range(0, kDATTestCount - 1));
  testDat->footer(DATCodes());
  common(testDat);
  testDat->callback([=] {
    if (options->tests.empty()) options->tests.assign(std::begin(kDATDialogOrder), std::end(kDATDialogOrder));
    *status = RunTestDat(*dir, *fileNumber, *options);
  });

  CLI::App* testMaster = app.add_subcommand("test-master", "The master test, with its repair options");
  testMaster->add_option("DIR", *dir, "Data directory")->required();
  testMaster->add_option("--tests", options->tests, "Comma-separated test codes (default: all twelve)")
      ->delimiter(',')
      ->check(CLI::Range(0, kMasterTestCount - 1));
  testMaster->footer(MasterCodes());
  testMaster->add_flag("--repair", options->repair, "Repair errors where possible");
  testMaster->add_flag("--prompt", options->prompt, "Ask on the terminal before each repair");
  testMaster->add_flag("--create", options->create, "Create data and DOP files where none exist");
  common(testMaster);
  testMaster->callback([=] {
    if (options->tests.empty())
      options->tests.assign(std::begin(kMasterDialogOrder), std::end(kMasterDialogOrder));
    *status = RunTestMaster(*dir, *options);
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
}

}  // namespace qvx
