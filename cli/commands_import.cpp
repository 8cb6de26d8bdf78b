// import: price records from a text file into an instrument's data file
// (store/record_import.h). create --from, the other way in, is with create.
#include <CLI/CLI.hpp>

#include <iostream>
#include <memory>
#include <string>

#include "cli_common.h"
#include "commands.h"
#include "primitives/code_page.h"
#include "store/messages.h"
#include "store/record_import.h"

namespace qvx {
namespace {

struct ImportOptions {
  std::string dir;
  int fileNumber = 0;
  std::string file;
  bool append = false;
  bool replace = false;
  std::string encoding = "windows-1252";
};

int RunImport(const ImportOptions& options) {
  if (std::string cause = MissingListedCause(options.dir, options.fileNumber); !cause.empty())
    return Fail(GetError(kInvalidInstrumentMessage), cause);
  const ImportMode mode = options.append    ? ImportMode::Append
                          : options.replace ? ImportMode::Replace
                                            : ImportMode::IntoEmpty;
  const std::string directory = CoreDirectory(options.dir);
  ImportResult result;
  std::string fault;
  const bool imported = ImportRecords(directory.c_str(), options.fileNumber, options.file.c_str(), mode,
                                      *CodePageNamed(options.encoding), &result, &fault);
  ReportWarnings(result.warnings);
  if (!imported) return Fail("qvx import: " + fault);
  std::cout << result.imported << " records imported, F" << options.fileNumber << " holds " << result.held
            << '\n';
  return kExitSuccess;
}

}  // namespace

CLI::Validator CodePageName() {
  return CLI::Validator(
      [](std::string& text) {
        return CodePageNamed(text) ? std::string()
                                   : "\"" + text + "\" is no code page (windows-1252 or iso-8859-1)";
      },
      "windows-1252 or iso-8859-1");
}

void AddJsonEncodingOption(CLI::App* command, std::string* encoding) {
  command->add_option("--encoding", *encoding, "The code page names are stored in (for --json)")
      ->check(CodePageName());
}

CodePage EncodingPage(const std::string& encoding) {
  return CodePageNamed(encoding).value_or(CodePage::Windows1252);
}

void ReportWarnings(const std::vector<std::string>& warnings) {
  // The first ones in full; a file of many gaps says how many more.
  constexpr size_t kShown = 20;
  for (size_t i = 0; i < warnings.size() && i < kShown; ++i) std::cerr << "warning: " << warnings[i] << '\n';
  if (warnings.size() > kShown)
    std::cerr << "warning: " << warnings.size() - kShown << " more empty fields\n";
}

void RegisterImportCommands(CLI::App& app, int* status) {
  auto options = std::make_shared<ImportOptions>();
  CLI::App* command = app.add_subcommand(
      "import",
      "Reads price records from a text file (export's table or metastock layout, or bare columns) "
      "into an instrument; without --append or --replace only into one that holds no records");
  command->add_option("DIR", options->dir, "Data directory")->required();
  command->add_option("N", options->fileNumber, "File number (F<N>)")
      ->required()
      ->check(ChangeableFileNumber());
  command->add_option("FILE", options->file, "The text file (CSV with a header line, UTF-8)")->required();
  CLI::Option* append =
      command->add_flag("--append", options->append, "Add the records after those the instrument holds");
  CLI::Option* replace =
      command->add_flag("--replace", options->replace, "Replace every record the instrument holds");
  append->excludes(replace);
  command->add_option("--encoding", options->encoding, "The code page names are checked against")
      ->check(CodePageName());
  command->callback([=] { *status = RunImport(*options); });
}

}  // namespace qvx
