// qvx export: the records of every instrument of the data directories named,
// or of every data directory below each root, as CSV or JSON Lines.
#include <CLI/CLI.hpp>

#include <algorithm>
#include <iostream>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "cli_common.h"
#include "commands.h"
#include "primitives/code_page.h"
#include "store/directory_instruments.h"
#include "store/messages.h"
#include "store/record_export.h"

namespace qvx {
namespace {

struct ExportRequest {
  std::vector<std::string> paths;
  std::vector<int> instruments;  // empty: all of them
  std::string from, to;
  std::string layout = "table";
  std::string format = "csv";
  std::string encoding = "windows-1252";
  std::string output;  // empty: stdout
};

// The stored date of --from or --to, or the failure's exit status (its message printed).
std::optional<float> DateBound(const std::string& option, const std::string& text, int* failure) {
  if (text.empty()) return std::nullopt;
  const float date = DateArgument(text);
  if (date == -1.0f) *failure = Fail(GetError(kInvalidDateMessage), option + " " + text);
  return date;
}

// The refusal of a number that no directory exported lists.
int Unlisted(const std::vector<std::string>& directories, int fileNumber, CodePage page) {
  std::string text = "qvx export: no instrument F" + std::to_string(fileNumber) + " in ";
  if (directories.size() == 1) return Fail(text + PathTextUtf8(directories[0].c_str(), page));
  return Fail(text + "any of the " + std::to_string(directories.size()) + " data directories");
}

int RunExport(const ExportRequest& request) {
  ExportOptions options;
  options.layout = request.layout == "metastock" ? TextLayout::MetaStock : TextLayout::Table;
  options.format = request.format == "jsonl" ? ExportFormat::JsonLines : ExportFormat::Csv;
  if (options.format == ExportFormat::JsonLines && options.layout == TextLayout::MetaStock)
    return Fail("qvx export: JSON Lines carry the table layout's fields; --layout metastock is for CSV");
  options.codePage = EncodingPage(request.encoding);
  int failure = kExitSuccess;
  options.from = DateBound("--from", request.from, &failure);
  options.to = DateBound("--to", request.to, &failure);
  if (failure != kExitSuccess) return failure;

  std::vector<std::string> directories;
  for (const std::string& path : request.paths) {
    const std::optional<std::string> root = SearchableDirectory(path);
    if (!root) return Fail(GetError(kInvalidPathMessage), MissingDirectoryCause(path));
    const size_t before = directories.size();
    if (!DataDirectoriesBelow(*root, &directories)) return Fail(GetError(kOutOfMemoryMessage));
    if (directories.size() == before) return Fail("qvx export: no data directory in or below " + path);
  }
  if (!request.instruments.empty()) {
    std::set<int> listed;
    for (const std::string& directory : directories) {
      for (const DirectoryInstrument& instrument : ReadDirectoryInstruments(directory.c_str()).instruments)
        listed.insert(instrument.fileNumber);
    }
    for (const int fileNumber : request.instruments)
      if (!listed.contains(fileNumber)) return Unlisted(directories, fileNumber, options.codePage);
  }

  ReplacingFileSink file;
  StdoutSink standardOutput;
  if (!request.output.empty() && !file.Open(request.output))
    return Fail("qvx export: cannot write " + request.output);
  TextOutput out(request.output.empty() ? static_cast<ExportSink&>(standardOutput) : file);
  int64_t warnings = 0;
  RecordExporter exporter(out, options, [&warnings](const std::string& text) {
    ++warnings;
    std::cerr << "qvx export: " << text << '\n';
  });
  exporter.WriteHeader();
  for (const std::string& directory : directories) {
    if (out.Failed()) break;
    const DirectoryInstruments model = ReadDirectoryInstruments(directory.c_str());
    for (const IndexFinding& finding : model.xmaster.findings) {
      ++warnings;
      std::cerr << "qvx export: " << PathTextUtf8(directory.c_str(), options.codePage) << ": " << finding.text
                << '\n';
    }
    for (const DirectoryInstrument& instrument : model.instruments) {
      if (request.instruments.empty() ||
          std::ranges::find(request.instruments, instrument.fileNumber) != request.instruments.end())
        exporter.ExportInstrument(directory.c_str(), instrument);
    }
  }
  if (!out.Flush() || (!request.output.empty() && !file.Commit()))
    return Fail("qvx export: cannot write " + (request.output.empty() ? "the output" : request.output));
  return warnings > 0 ? kExitFound : kExitSuccess;
}

}  // namespace

void RegisterExportCommands(CLI::App& app, int* status) {
  auto request = std::make_shared<ExportRequest>();
  CLI::App* command = app.add_subcommand(
      "export", "The records of every instrument of each data directory in and below PATH, as text");
  command->add_option("PATH", request->paths, "Data directory or tree root")->required();
  command
      ->add_option("--instrument", request->instruments,
                   "Only instrument N (F<N>); repeat or list with commas")
      ->allow_extra_args(false)
      ->delimiter(',')
      ->check(CLI::Range(1, 65535));
  command->add_option("--from", request->from, "First date: DD/MM/YY or YYYY-MM-DD");
  command->add_option("--to", request->to, "Last date: DD/MM/YY or YYYY-MM-DD");
  command->add_option("--layout", request->layout, "table (default) or metastock")
      ->check(CLI::IsMember({"table", "metastock"}));
  command->add_option("--format", request->format, "csv (default) or jsonl (JSON Lines, the table's fields)")
      ->check(CLI::IsMember({"csv", "jsonl"}));
  command
      ->add_option("--encoding", request->encoding,
                   "The code page names are stored in: windows-1252 (default) or iso-8859-1")
      ->check(CLI::Validator(
          [](std::string& text) { return CodePageNamed(text) ? std::string() : "unknown code page " + text; },
          "CODEPAGE"));
  command->add_option("--output", request->output, "Write to FILE (whole or not at all) instead of stdout");
  command->footer(
      "Exit status: 0 every value exported as stored; 1 when something was reported on stderr (a corrupt "
      "or invalid value, written empty; a missing or unreadable data file, left out); 2 a refusal.");
  command->callback([=] { *status = RunExport(*request); });
}

}  // namespace qvx
