// The instrument and directory commands: create, mkdir, symbol, copy, move
// and delete, each through the logic its dialog uses. Every question the
// dialog would ask is answered by an option (No without it) and shown on
// stderr with its answer.
#include <CLI/CLI.hpp>

#include <iostream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "cli_common.h"
#include "commands.h"
#include "filelayer/file_layer.h"
#include "primitives/code_page.h"
#include "store/instrument_dialogs.h"
#include "store/master_file.h"
#include "store/messages.h"
#include "store/record_import.h"
#include "terminal_interaction.h"

namespace qvx {
namespace {

// The terminal's answers, each question written to stderr with the answer
// it got, so that a run that stopped at a No says why.
class TranscribedInteraction : public UserInteraction {
 public:
  void Answer(const std::string& question, bool yes) { terminal_.SetAnswer(question, yes); }
  void ShowNotice(const char* text) override { terminal_.ShowNotice(text); }
  bool AskYesNo(const char* text) override {
    const bool yes = terminal_.AskYesNo(text);
    std::cerr << text << (yes ? " Yes" : " No") << '\n';
    return yes;
  }

 private:
  TerminalInteraction terminal_;
};

const std::map<std::string, char> kPeriodNames = {
    {"daily", 'D'}, {"weekly", 'W'}, {"monthly", 'M'}, {"intraday", 'I'}};

struct CreateOptions {
  std::string dir;
  std::string name;
  std::string symbol;
  std::string period;  // empty: daily, or what the --from file says
  int fields = 0;      // 0: the first count offered, or what the --from file fills
  std::string timeBase;
  std::string from;
  std::string encoding = "windows-1252";
};

// create --from: the instrument and its records from the file in one step.
int RunCreateFrom(const std::string& directory, const CreateOptions& options) {
  CreateFromText given;
  given.name = options.name;
  given.symbol = options.symbol;
  given.period = options.period.empty() ? 0 : kPeriodNames.at(options.period);
  given.fieldCount = options.fields;
  given.timeBase = options.timeBase;
  given.page = *CodePageNamed(options.encoding);
  ImportResult result;
  std::string fault;
  const int16_t fileNumber =
      CreateInstrumentFromText(directory.c_str(), options.from.c_str(), given, &result, &fault);
  ReportWarnings(result.warnings);
  if (fileNumber == -1) return Fail("qvx create: " + fault);
  std::cout << fileNumber << '\n';
  return kExitSuccess;
}

int RunCreate(const CreateOptions& options) {
  const std::string directory = CoreDirectory(options.dir);
  if (directory.empty() || IsValidPath(directory.c_str()) == 0)
    return Fail(GetError(kInvalidPathMessage), MissingDirectoryCause(options.dir));
  if (!options.from.empty()) return RunCreateFrom(directory, options);
  if (options.name.empty())
    return Fail("qvx create: --name is required (or --from FILE, whose names it takes)");
  const std::string period = options.period.empty() ? "daily" : options.period;
  CreateEntries entries;
  entries.name = options.name;
  entries.symbol = options.symbol;
  entries.period = kPeriodNames.at(period);
  entries.timeBase = options.timeBase;
  const auto offered = CreateFieldCountChoices(entries.period);
  entries.fieldCount = options.fields == 0 ? offered.front().fieldCount : options.fields;
  bool known = false;
  std::string counts;
  for (size_t i = 0; i < offered.size(); ++i) {
    known = known || offered[i].fieldCount == entries.fieldCount;
    counts += (i == 0 ? "" : i + 1 == offered.size() ? " or " : ", ") + std::to_string(offered[i].fieldCount);
  }
  if (!known)
    return Fail("qvx create: " + std::string(entries.period == 'I' ? "an " : "a ") + period +
                " instrument has " + counts + " fields");

  TranscribedInteraction ui;
  int16_t fileNumber = -1;
  CreateApply(directory.c_str(), entries, ui, &fileNumber);
  if (fileNumber == -1) return kExitFailure;
  std::cout << fileNumber << '\n';
  return kExitSuccess;
}

int RunMakeDir(const std::string& parent, const std::string& name) {
  if (std::string cause = MissingDirectoryCause(parent); !cause.empty())
    return Fail(kMakeDirFailedText, cause);
  TranscribedInteraction ui;
  std::string created;
  const std::string directory = CoreDirectory(parent);
  return MakeDirApply(directory.c_str(), name.c_str(), ui, &created) == kDialogEnds ? kExitSuccess
                                                                                    : kExitFailure;
}

int RunSymbol(const std::string& dir, int fileNumber, const std::string& symbol) {
  const std::string directory = CoreDirectory(dir);
  MasterRecord record;
  if (directory.empty() || GetMetaStockMasterRecord(directory.c_str(), fileNumber, &record) == 0) {
    return Fail(GetError(kInvalidInstrumentMessage), MissingInstrumentCause(dir, fileNumber));
  }
  TranscribedInteraction ui;
  return ChangeSymbolApply(directory.c_str(), &record, symbol.c_str(), ui) == kDialogEnds ? kExitSuccess
                                                                                          : kExitFailure;
}

struct SelectionOptions {
  std::string source;
  std::string destination;
  std::vector<int> fileNumbers;
  bool fit = false;
  bool makeDirectory = false;
  bool keepGoing = false;
};

// The instruments as the dialog is opened on them; false after the message,
// which names the first instrument that is not there.
bool Select(const std::string& dir, const std::vector<int>& fileNumbers, UserInteraction& ui,
            std::vector<MasterRecord>* instruments) {
  for (int fileNumber : fileNumbers) {
    if (std::string cause = MissingListedCause(dir, fileNumber); !cause.empty()) {
      Fail(GetError(kSelectingInstrumentsMessage), cause);
      return false;
    }
  }
  const std::string directory = CoreDirectory(dir);
  const std::vector<int16_t> numbers(fileNumbers.begin(), fileNumbers.end());
  return SelectInstruments(directory.c_str(), numbers.data(), static_cast<int>(numbers.size()), ui,
                           instruments) != 0;
}

int RunTransfer(TransferKind kind, const SelectionOptions& options) {
  const std::string source = CoreDirectory(options.source);
  TranscribedInteraction ui;
  ui.Answer(TransferRoomQuestion(kind), options.fit);
  ui.Answer(GetError(kCreateDirectoryQuestion), options.makeDirectory);
  ui.Answer(TransferFailureQuestion(kind), options.keepGoing);
  std::vector<MasterRecord> instruments;
  if (!Select(options.source, options.fileNumbers, ui, &instruments)) return kExitFailure;
  InstrumentTally tally;
  std::string used;
  const std::string destination = CoreDirectory(options.destination);
  if (TransferApply(kind, source.c_str(), instruments, destination.c_str(), ui, &tally, &used) !=
      kDialogEnds) {
    return kExitFailure;
  }
  return tally.failed == 0 && tally.done == static_cast<int>(instruments.size()) ? kExitSuccess
                                                                                 : kExitFailure;
}

int RunDelete(const SelectionOptions& options) {
  const std::string directory = CoreDirectory(options.source);
  TranscribedInteraction ui;
  ui.Answer(DeleteFailureQuestion(), options.keepGoing);
  std::vector<MasterRecord> instruments;
  if (!Select(options.source, options.fileNumbers, ui, &instruments)) return kExitFailure;
  InstrumentTally tally;
  DeleteApply(directory.c_str(), instruments, ui, &tally);
  return tally.failed == 0 && tally.done == static_cast<int>(instruments.size()) ? kExitSuccess
                                                                                 : kExitFailure;
}

CLI::App* AddTransfer(CLI::App& app, const char* name, const char* description,
                      const std::shared_ptr<SelectionOptions>& options) {
  CLI::App* command = app.add_subcommand(name, description);
  command->add_option("SRC", options->source, "Source data directory")->required();
  command->add_option("DEST", options->destination, "Destination directory")->required();
  command->add_option("N", options->fileNumbers, "File numbers (F<N>)")
      ->required()
      ->check(ChangeableFileNumber());
  command->add_flag("--fit", options->fit, "Yes to the not-enough-room question: as many as will fit");
  command->add_flag("--mkdir", options->makeDirectory, "Yes to creating a missing destination");
  command->add_flag("--keep-going", options->keepGoing, "Yes to going on after an instrument failed");
  return command;
}

}  // namespace

void RegisterInstrumentCommands(CLI::App& app, int* status) {
  auto create = std::make_shared<CreateOptions>();
  CLI::App* createCommand = app.add_subcommand(
      "create",
      "A new instrument, as the Create dialog makes it; with --from, holding a text file's records");
  createCommand->add_option("DIR", create->dir, "Data directory")->required();
  createCommand->add_option("--name", create->name, "Instrument name (with --from: else the file's)")
      ->check(MaxLength(kNameKept));
  createCommand->add_option("--symbol", create->symbol, "Symbol")
      ->check(MaxLength(master_offset::kSymbolWidth));
  createCommand->add_option("--period", create->period, "daily, weekly, monthly or intraday")
      ->check(CLI::IsMember({"daily", "weekly", "monthly", "intraday"}));
  createCommand->add_option("--fields", create->fields, "Field count (default: the first offered)");
  createCommand->add_option("--timebase", create->timeBase, "Intraday time base in minutes, as typed");
  createCommand->add_option("--from", create->from,
                            "A text file of records, as import reads it; the layout from its columns "
                            "where --fields and --period are not given");
  createCommand->add_option("--encoding", create->encoding, "The code page the file's names are stored in")
      ->check(CodePageName());
  createCommand->callback([=] { *status = RunCreate(*create); });

  auto parent = std::make_shared<std::string>();
  auto name = std::make_shared<std::string>();
  CLI::App* mkdir = app.add_subcommand("mkdir", "A new data directory with an empty master");
  mkdir->add_option("PARENT", *parent, "Directory to create it in")->required();
  mkdir->add_option("NAME", *name, "New directory's name")->required();
  mkdir->callback([=] { *status = RunMakeDir(*parent, *name); });

  auto dir = std::make_shared<std::string>();
  auto fileNumber = std::make_shared<int>(0);
  auto symbol = std::make_shared<std::string>();
  CLI::App* symbolCommand = app.add_subcommand("symbol", "A new symbol for an instrument");
  symbolCommand->add_option("DIR", *dir, "Data directory")->required();
  symbolCommand->add_option("N", *fileNumber, "File number (F<N>)")
      ->required()
      ->check(ChangeableFileNumber());
  symbolCommand->add_option("SYMBOL", *symbol, "New symbol (may be empty)")
      ->required()
      ->check(MaxLength(master_offset::kSymbolWidth));
  symbolCommand->callback([=] { *status = RunSymbol(*dir, *fileNumber, *symbol); });

  auto copy = std::make_shared<SelectionOptions>();
  AddTransfer(app, "copy", "Copies instruments as the Copy dialog does", copy)->callback([=] {
    *status = RunTransfer(TransferKind::Copy, *copy);
  });
  auto move = std::make_shared<SelectionOptions>();
  AddTransfer(app, "move", "Moves instruments as the Move dialog does", move)->callback([=] {
    *status = RunTransfer(TransferKind::Move, *move);
  });

  auto remove = std::make_shared<SelectionOptions>();
  CLI::App* deleteCommand = app.add_subcommand("delete", "Deletes instruments and their files");
  deleteCommand->add_option("DIR", remove->source, "Data directory")->required();
  deleteCommand->add_option("N", remove->fileNumbers, "File numbers (F<N>)")
      ->required()
      ->check(ChangeableFileNumber());
  deleteCommand->add_flag("--keep-going", remove->keepGoing, "Yes to going on after an instrument failed");
  deleteCommand->callback([=] { *status = RunDelete(*remove); });
}

}  // namespace qvx
