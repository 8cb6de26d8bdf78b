// The reading commands: list, tree, show, find, and sample.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <iostream>
#include <memory>
#include <optional>
#include <string>

#include "browser/directory_scan.h"
#include "cli_common.h"
#include "commands.h"
#include "filelayer/file_layer.h"
#include "integrity/messages.h"
#include "primitives/dates.h"
#include "primitives/list.h"
#include "sample_data.h"
#include "store/dat_file.h"
#include "store/file_guard.h"
#include "store/master_file.h"
#include "store/record_search.h"
#include "terminal_interaction.h"

namespace qvx {
namespace {

// Message numbers of the general message table.
constexpr int kReadOnlyMessage = 2;
constexpr int kInvalidPathMessage = 3;
constexpr int kUnknownFormatMessage = 9;
constexpr int kInvalidDateMessage = 17;
constexpr int kInvalidTimeMessage = 18;

// A data directory or tree root as the Select Path dialog accepts it.
std::optional<std::string> SearchableDirectory(const std::string& dir) {
  std::string core = CoreDirectory(dir);
  if (core.empty() || core == "\\" || IsValidPath(core.c_str()) == 0) return std::nullopt;
  return core;
}

class PrintingListBox : public InstrumentListBox {
 public:
  void ResetContent() override { count_ = 0; }
  int AddString(const char* text) override {
    std::cout << text << '\n';
    return count_++;
  }
  void SetItemData(int, int32_t) override {}
  void SetHorizontalExtent(int) override {}
  void SelectRange(int, int) override {}
  void SetFocus() override {}

 private:
  int count_ = 0;
};

int RunList(const std::string& dir) {
  std::optional<std::string> directory = SearchableDirectory(dir);
  if (!directory) return Fail(GetError(kInvalidPathMessage));
  PrintingListBox box;
  ListInstruementsInDirectory(box, directory->c_str());
  return kExitSuccess;
}

struct NodeListDeleter {
  void operator()(List* nodes) const {
    KillTreeData(nodes);
    KillList(nodes);
  }
};

int RunTree(const std::string& root) {
  std::optional<std::string> directory = SearchableDirectory(root);
  if (!directory) return Fail(GetError(kInvalidPathMessage));
  std::unique_ptr<List, NodeListDeleter> nodes(CreateList());
  if (!nodes || ScanRootDirectory(nodes.get(), directory->c_str()) == 0) return Fail(GetError(1));
  PruneDirTree(nodes.get());
  WalkDirTree(nodes.get(), [](const DirNode& node, int depth) {
    std::cout << std::string(2 * static_cast<size_t>(depth), ' ') << node.name << '\n';
  });
  return kExitSuccess;
}

// An instrument's data file opened as the editor opens it (read-only here:
// these commands change nothing), with its layout.
struct OpenInstrument {
  MasterRecord record{};
  DATLayout layout{};
  FileGuard file{kClosedHandle};
};

// 0 and *instrument ready, or the exit status of the failure (its message
// printed).
int OpenForReading(const std::string& dir, int fileNumber, OpenInstrument* instrument) {
  std::string directory = CoreDirectory(dir);
  if (directory.empty() ||
      GetMetaStockMasterRecord(directory.c_str(), fileNumber, &instrument->record) == 0) {
    return Fail(GetError(kReadOnlyMessage));
  }
  std::string name = DATFileName(directory.c_str(), fileNumber);
  if (Exists(name.c_str()) == 0) return Fail(GetError(kReadOnlyMessage));
  instrument->file = FileGuard(SOpenFile(name.c_str(), 0, 1, instrument->record.RecordLength(), 0));
  if (!instrument->file.Valid()) return Fail(GetError(kReadOnlyMessage));
  DATHeader header{};
  TerminalInteraction ui;
  if (GetDATFileType(instrument->file.Get(), name.c_str(), instrument->record, &instrument->layout, &header,
                     ui) == 0) {
    return Fail(GetError(kUnknownFormatMessage));
  }
  return kExitSuccess;
}

// The editor's cell text for a value read with ReadField.
std::string CellText(FieldType type, float value) {
  switch (type) {
    case FieldType::Date:
      return StrDate(value);
    case FieldType::Time:
      return StrTime(value);
    default: {
      char text[64];
      std::snprintf(text, sizeof text, "%.2f", static_cast<double>(value));
      return text;
    }
  }
}

int RunShow(const std::string& dir, int fileNumber, int32_t from, std::optional<int32_t> count) {
  OpenInstrument instrument;
  if (int failure = OpenForReading(dir, fileNumber, &instrument); failure != kExitSuccess) return failure;
  const int fields = instrument.record.FieldCount();
  const int length = instrument.record.RecordLength();
  for (int c = 0; c < fields; ++c)
    std::cout << (c > 0 ? "\t" : "") << EnumerateFieldType(instrument.layout.fieldTypes[c]);
  std::cout << '\n';
  // Rows run, as in the editor, until a record cannot be read whole.
  for (int32_t r = from; !count || r - from < *count; ++r) {
    std::string line = std::to_string(r);
    for (int c = 0; c < fields; ++c) {
      float value = ReadField(instrument.file.Get(), r + 1, c, length);
      if (value == -1.0f) return kExitSuccess;
      line += '\t';
      line += CellText(instrument.layout.fieldTypes[c], value);
    }
    std::cout << line << '\n';
  }
  return kExitSuccess;
}

int RunFind(const std::string& dir, int fileNumber, const std::string& dateText,
            const std::optional<std::string>& timeText) {
  OpenInstrument instrument;
  if (int failure = OpenForReading(dir, fileNumber, &instrument); failure != kExitSuccess) return failure;
  const bool intraday = instrument.record.Period() == 'I';
  if (timeText && !intraday) return Fail("qvx find: only intraday instruments are searched by time");
  float date = MakeDateFromString(dateText.c_str());
  if (date == -1.0f) return Fail(GetError(kInvalidDateMessage));
  int16_t day = 0, month = 0, year = 0;
  ExtractDate(date, &day, &month, &year);
  int32_t found = -1;
  if (timeText) {
    float time = MakeTimeFromString(timeText->c_str());
    if (time == -1.0f) return Fail(GetError(kInvalidTimeMessage));
    int16_t hour = 0, minute = 0, second = 0;
    ExtractTime(time, &hour, &minute, &second);
    found = GetRecordNumberFromDateTime(instrument.file.Get(), instrument.record, day, month, year, hour,
                                        minute, second);
  } else {
    found = GetRecordNumberFromDate(instrument.file.Get(), instrument.record, day, month, year);
  }
  if (found < 0) {
    std::cout << "Not Found!\n";
    return kExitFound;
  }
  std::cout << found << '\n';
  return kExitSuccess;
}

int RunSample(const std::string& dir) {
  std::string error;
  if (!sample::WriteSampleData(dir, &error)) return Fail(error);
  return kExitSuccess;
}

}  // namespace

void RegisterReadCommands(CLI::App& app, int* status) {
  auto dir = std::make_shared<std::string>();
  auto fileNumber = std::make_shared<int>(0);

  CLI::App* list = app.add_subcommand("list", "One line per listed instrument, in master order");
  list->add_option("DIR", *dir, "Data directory")->required();
  list->callback([=] { *status = RunList(*dir); });

  CLI::App* tree = app.add_subcommand("tree", "The pruned directory tree below ROOT");
  tree->add_option("ROOT", *dir, "Root directory")->required();
  tree->callback([=] { *status = RunTree(*dir); });

  auto from = std::make_shared<int32_t>(0);
  auto count = std::make_shared<int32_t>(-1);
  CLI::App* show = app.add_subcommand("show", "An instrument's records as the editor shows them");
  show->add_option("DIR", *dir, "Data directory")->required();
  show->add_option("N", *fileNumber, "File number (F<N>)")->required()->check(CLI::Range(1, 255));
  show->add_option("--from", *from, "First record, counted from 0")->check(CLI::NonNegativeNumber);
  show->add_option("--count", *count, "How many records (default: all)")->check(CLI::NonNegativeNumber);
  show->callback([=] {
    *status = RunShow(*dir, *fileNumber, *from, *count < 0 ? std::nullopt : std::optional<int32_t>(*count));
  });

  auto dateText = std::make_shared<std::string>();
  auto timeText = std::make_shared<std::string>();
  CLI::App* find = app.add_subcommand("find", "The Goto search: the record on or after a date (and time)");
  find->add_option("DIR", *dir, "Data directory")->required();
  find->add_option("N", *fileNumber, "File number (F<N>)")->required()->check(CLI::Range(1, 255));
  find->add_option("DATE", *dateText, "DD/MM/YY")->required();
  CLI::Option* time = find->add_option("TIME", *timeText, "HH:MM:SS (intraday instruments)");
  find->callback([=] {
    *status = RunFind(*dir, *fileNumber, *dateText,
                      time->count() > 0 ? std::optional<std::string>(*timeText) : std::nullopt);
  });

  CLI::App* sampleCommand = app.add_subcommand("sample", "Writes the bundled sample data tree into DIR");
  sampleCommand->add_option("DIR", *dir, "Directory to write into (created when missing)")->required();
  sampleCommand->callback([=] { *status = RunSample(*dir); });
}

}  // namespace qvx
