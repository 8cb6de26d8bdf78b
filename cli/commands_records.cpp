// The editor's record commands: insert, delete-records, truncate, split, set
// and append. Each opens the instrument as the editor does, gives the command
// and closes the editor, so the header count and the master dates are
// written back whatever the command did.
#include <CLI/CLI.hpp>

#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "cli_common.h"
#include "commands.h"
#include "primitives/list.h"
#include "store/editor_session.h"
#include "store/messages.h"
#include "terminal_interaction.h"

namespace qvx {
namespace {

// The editor open on an instrument for the length of one command.
class Editor {
 public:
  Editor(TerminalInteraction& ui, const char* command) : ui_(ui), command_(command) {}
  ~Editor() {
    if (open_) CloseEditorSession(&session_);
  }
  Editor(const Editor&) = delete;
  Editor& operator=(const Editor&) = delete;

  // False after the editor's own message, which names what is missing.
  bool Open(const std::string& dir, int fileNumber) {
    if (std::string cause = MissingInstrumentCause(dir, fileNumber); !cause.empty()) {
      Fail(GetError(kFileAccessMessage), cause);
      return false;
    }
    const std::string directory = CoreDirectory(dir);
    open_ = OpenEditorSession(&session_, directory.c_str(), fileNumber, ui_) != 0;
    return open_;
  }
  // Closing writes back; the command's status stands unless that fails.
  int Close(int status) {
    open_ = false;
    if (CloseEditorSession(&session_) == 0 && status == kExitSuccess) {
      return Fail("qvx: the record count or the master dates could not be written back");
    }
    return status;
  }
  EditorSession& Session() { return session_; }
  TerminalInteraction& Ui() { return ui_; }

  // Clicks in the gutter on each record. The editor's gutter has no rows
  // beyond the file's records, so a record that does not exist is refused
  // (its message printed) and nothing is selected.
  bool Select(const std::vector<int32_t>& records) {
    const int32_t count = DataRecordCount(session_);
    for (int32_t r : records) {
      if (r >= 0 && r < count) continue;
      Fail("qvx " + std::string(command_) + ": record " + std::to_string(r) + " does not exist (" +
           (count == 0 ? std::string("the file holds no records")
                       : "records run from 0 to " + std::to_string(count - 1)) +
           ")");
      return false;
    }
    for (int32_t r : records) {
      if (IsInList(session_.selection.get(), &r, sizeof r, EditRecordNumberCompare)) continue;
      if (!AddNewItem(session_.selection.get(), &r, sizeof r, EditRecordNumberCompare)) {
        Fail("Unable to add record to selection");
        return false;
      }
    }
    return true;
  }

 private:
  TerminalInteraction& ui_;
  const char* command_;
  EditorSession session_;
  bool open_ = false;
};

// Remembers whether the user was told anything and the last question answered
// No, so that a command that stops at a question can say why.
class WatchedInteraction : public UserInteraction {
 public:
  explicit WatchedInteraction(UserInteraction& inner) : inner_(inner) {}
  void ShowNotice(const char* text) override {
    told_ = true;
    inner_.ShowNotice(text);
  }
  bool AskYesNo(const char* text) override {
    const bool yes = inner_.AskYesNo(text);
    if (!yes) declined_ = text;
    return yes;
  }
  bool Told() const { return told_; }
  const std::string& Declined() const { return declined_; }

 private:
  UserInteraction& inner_;
  bool told_ = false;
  std::string declined_;
};

// A cell text given on the command line: as the editor takes it typed, or a
// date as YYYY-MM-DD, which carries its century.
CellCommit CommitArgument(EditorSession* session, int32_t record, int column, const std::string& text) {
  const bool dateColumn =
      column >= 0 && column < ColumnCount(*session) && session->layout.fieldTypes[column] == FieldType::Date;
  if (!dateColumn || text.find('-') == std::string::npos)
    return CommitCellText(session, record, column, text.c_str());
  const float date = DateArgument(text);
  return date == -1.0f ? CellCommit::InvalidDate : CommitCellValue(session, record, column, date);
}

// The exit status of a refused cell text, its message printed.
int CellFailure(CellCommit result, const std::string& text) {
  switch (result) {
    case CellCommit::InvalidDate:
      return Fail(GetError(kInvalidDateMessage));
    case CellCommit::InvalidTime:
      return Fail(GetError(kInvalidTimeMessage));
    case CellCommit::NotTypable:
      return Fail("qvx: the cell does not take the text \"" + text + "\"");
    case CellCommit::NoSuchCell:
      return Fail("qvx: no such cell");
    case CellCommit::WriteFailed:
      return Fail("qvx: the cell could not be written");
    case CellCommit::Stored:
    case CellCommit::Pending:
      break;
  }
  return kExitSuccess;
}

int RunInsert(const std::string& dir, int fileNumber, int32_t record) {
  TerminalInteraction ui;
  Editor editor(ui, "insert");
  if (!editor.Open(dir, fileNumber)) return kExitFailure;
  // The cursor reaches every record and the new-record row, nothing beyond.
  if (record > DataRecordCount(editor.Session())) {
    return editor.Close(Fail("qvx insert: R must lie between 0 and the new-record row, " +
                             std::to_string(DataRecordCount(editor.Session()))));
  }
  const int inserted = EditorInsertRecord(&editor.Session(), record, ui);
  return editor.Close(inserted ? kExitSuccess : kExitFailure);
}

int RunDeleteRecords(const std::string& dir, int fileNumber, const std::vector<int32_t>& records) {
  TerminalInteraction ui;
  // Giving the command is the confirmation.
  ui.SetAnswer("Are you sure you want to delete the selection ?", true);
  Editor editor(ui, "delete-records");
  if (!editor.Open(dir, fileNumber)) return kExitFailure;
  if (!editor.Select(records)) return editor.Close(kExitFailure);
  const int deleted = EditorDeleteSelection(&editor.Session(), ui);
  return editor.Close(deleted ? kExitSuccess : kExitFailure);
}

int RunTruncate(const std::string& dir, int fileNumber, int32_t record, bool after, bool include) {
  TerminalInteraction ui;
  Editor editor(ui, "truncate");
  if (!editor.Open(dir, fileNumber)) return kExitFailure;
  if (!editor.Select({record})) return editor.Close(kExitFailure);
  const int truncated = EditorTruncate(&editor.Session(), after ? 1 : 0, include ? 1 : 0, ui);
  return editor.Close(truncated ? kExitSuccess : kExitFailure);
}

struct SplitOptions {
  std::string destination;
  bool firstInclude = false;
  bool lastInclude = false;
  bool leaveIntact = false;
  bool makeDirectory = false;
};

int RunSplit(const std::string& dir, int fileNumber, int32_t record, const SplitOptions& options) {
  TerminalInteraction ui;
  ui.SetAnswer(GetError(kCreateDirectoryQuestion), options.makeDirectory);
  Editor editor(ui, "split");
  if (!editor.Open(dir, fileNumber)) return kExitFailure;
  if (!editor.Select({record})) return editor.Close(kExitFailure);
  // The dialog's text is the destination as typed; the core's separator is a
  // backslash.
  std::string destination = options.destination;
  if (!destination.empty()) destination = CoreDirectory(destination);
  WatchedInteraction watched(ui);
  const SplitDialogResult result =
      EditorSplit(&editor.Session(), destination.c_str(), options.firstInclude ? 1 : 0,
                  options.lastInclude ? 1 : 0, options.leaveIntact ? 1 : 0, watched);
  // A No to the directory question says nothing by itself.
  if (result == SplitDialogResult::StayOpen && !watched.Told() && !watched.Declined().empty()) {
    return editor.Close(Fail(watched.Declined()));
  }
  return editor.Close(result == SplitDialogResult::Split ? kExitSuccess : kExitFailure);
}

int RunSet(const std::string& dir, int fileNumber, int32_t record, int column, const std::string& text) {
  TerminalInteraction ui;
  Editor editor(ui, "set");
  if (!editor.Open(dir, fileNumber)) return kExitFailure;
  if (record >= DataRecordCount(editor.Session())) {
    return editor.Close(Fail("qvx set: record " + std::to_string(record) +
                             " does not exist (append types into the new-record row)"));
  }
  const CellCommit result = CommitArgument(&editor.Session(), record, column, text);
  return editor.Close(CellFailure(result, text));
}

int RunAppend(const std::string& dir, int fileNumber, const std::vector<std::string>& texts) {
  TerminalInteraction ui;
  Editor editor(ui, "append");
  if (!editor.Open(dir, fileNumber)) return kExitFailure;
  EditorSession& session = editor.Session();
  const int columns = ColumnCount(session);
  if (static_cast<int>(texts.size()) > columns) {
    return editor.Close(Fail("qvx append: the record has " + std::to_string(columns) + " fields"));
  }
  const int32_t newRow = DataRecordCount(session);
  for (size_t c = 0; c < texts.size(); ++c) {
    const CellCommit result = CommitArgument(&session, newRow, static_cast<int>(c), texts[c]);
    if (result != CellCommit::Pending) return editor.Close(CellFailure(result, texts[c]));
  }
  if (AppendPendingRecord(&session) == 0) {
    // A partly typed new record is dropped when the editor closes.
    if (static_cast<int>(texts.size()) < columns) {
      std::cerr << "qvx append: " << texts.size() << " of " << columns << " fields given; nothing appended\n";
      return editor.Close(kExitFound);
    }
    return editor.Close(Fail("qvx append: the record could not be written"));
  }
  return editor.Close(kExitSuccess);
}

}  // namespace

void RegisterRecordCommands(CLI::App& app, int* status) {
  auto dir = std::make_shared<std::string>();
  auto fileNumber = std::make_shared<int>(0);
  auto record = std::make_shared<int32_t>(0);
  auto addInstrument = [&](CLI::App* command) {
    command->add_option("DIR", *dir, "Data directory")->required();
    command->add_option("N", *fileNumber, "File number (F<N>)")->required()->check(ChangeableFileNumber());
  };

  CLI::App* insert = app.add_subcommand("insert", "Inserts a copy of record R after it");
  addInstrument(insert);
  insert->add_option("R", *record, "Record number, counted from 0")->required()->check(NonNegative());
  insert->callback([=] { *status = RunInsert(*dir, *fileNumber, *record); });

  auto records = std::make_shared<std::vector<int32_t>>();
  CLI::App* deleteRecords = app.add_subcommand("delete-records", "Deletes the records R... (the selection)");
  addInstrument(deleteRecords);
  deleteRecords->add_option("R", *records, "Record numbers, counted from 0")
      ->required()
      ->check(NonNegative());
  deleteRecords->callback([=] { *status = RunDeleteRecords(*dir, *fileNumber, *records); });

  auto after = std::make_shared<bool>(false);
  auto before = std::make_shared<bool>(false);
  auto include = std::make_shared<bool>(false);
  CLI::App* truncate = app.add_subcommand("truncate", "Deletes the records after or before record R");
  addInstrument(truncate);
  truncate->add_option("R", *record, "Record number, counted from 0")->required()->check(NonNegative());
  CLI::Option* afterFlag = truncate->add_flag("--after", *after, "From Current Record: the records after R");
  CLI::Option* beforeFlag =
      truncate->add_flag("--before", *before, "To Current Record: the records before R");
  afterFlag->excludes(beforeFlag);
  truncate->add_flag("--include", *include, "Delete record R too");
  truncate->callback([=] {
    if (!*after && !*before) {
      *status = Fail("qvx truncate: give --after or --before");
      return;
    }
    *status = RunTruncate(*dir, *fileNumber, *record, *after, *include);
  });

  auto split = std::make_shared<SplitOptions>();
  CLI::App* splitCommand = app.add_subcommand("split", "Splits the data at record R into two instruments");
  addInstrument(splitCommand);
  splitCommand->add_option("R", *record, "Record number, counted from 0")->required()->check(NonNegative());
  splitCommand->add_option("DEST", split->destination, "Directory for the new files")->required();
  splitCommand->add_flag("--first-include", split->firstInclude, "Record R goes into the first portion");
  splitCommand->add_flag("--last-include", split->lastInclude, "Record R goes into the last portion");
  splitCommand->add_flag("--leave-intact", split->leaveIntact, "Both portions become new instruments");
  splitCommand->add_flag("--mkdir", split->makeDirectory, "Create DEST when it does not exist");
  splitCommand->callback([=] { *status = RunSplit(*dir, *fileNumber, *record, *split); });

  auto column = std::make_shared<int>(0);
  auto text = std::make_shared<std::string>();
  CLI::App* set = app.add_subcommand("set", "Types TEXT into cell (R, COLUMN) and commits it");
  addInstrument(set);
  set->add_option("R", *record, "Record number, counted from 0")->required()->check(NonNegative());
  set->add_option("COLUMN", *column, "Field position, counted from 0")->required()->check(NonNegative());
  set->add_option("TEXT", *text, "The cell text as typed")->required();
  set->callback([=] { *status = RunSet(*dir, *fileNumber, *record, *column, *text); });

  auto texts = std::make_shared<std::vector<std::string>>();
  CLI::App* append = app.add_subcommand("append", "Types one text per field into the new-record row");
  addInstrument(append);
  append->add_option("TEXT", *texts, "Field texts, in column order")->required();
  append->callback([=] { *status = RunAppend(*dir, *fileNumber, *texts); });
}

}  // namespace qvx
