// The reading commands: list, tree, show, find, and sample.
#include <CLI/CLI.hpp>

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli_common.h"
#include "commands.h"
#include "filelayer/file_guard.h"
#include "filelayer/file_layer.h"
#include "integrity/master_checks.h"
#include "json_output.h"
#include "primitives/dates.h"
#include "primitives/list.h"
#include "primitives/mbf.h"
#include "sample_data.h"
#include "store/dat_file.h"
#include "store/directory_scan.h"
#include "store/directory_instruments.h"
#include "store/editor_session.h"
#include "store/file_names.h"
#include "store/master_file.h"
#include "store/messages.h"
#include "store/record_search.h"
#include "terminal_interaction.h"

namespace qvx {
namespace {

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

// Every instrument of the directory with what the index files say of it.
void PrintInstrumentsJson(const std::string& directory, const DirectoryInstruments& model, CodePage page) {
  Json instruments = Json::array();
  for (const DirectoryInstrument& listed : model.instruments) {
    std::string fields;
    for (int c = 0; c < listed.fieldCount && c < kMaxFields; ++c)
      fields += std::string(c > 0 ? "," : "") + EnumerateFieldType(listed.fieldTypes[c]);
    Json object;
    object["file_number"] = listed.fileNumber;
    object["index"] = listed.source == InstrumentSource::Master ? "master" : "XMASTER";
    object["name"] = ToUtf8(listed.name, page);
    object["symbol"] = ToUtf8(listed.symbol, page);
    object["period"] = ToUtf8(std::string(1, listed.period), page);
    object["time_base"] = listed.timeBase;
    object["fields"] = fields;
    object["first_date"] = static_cast<int64_t>(listed.firstDate);
    object["last_date"] = static_cast<int64_t>(listed.lastDate);
    object["data_file"] = PathTextUtf8(listed.dataFileName.c_str(), page);
    object["exists"] = Exists(listed.dataFileName.c_str()) != 0;
    instruments.push_back(std::move(object));
  }
  Json out;
  out["directory"] = PathTextUtf8(directory.c_str(), page);
  out["instruments"] = std::move(instruments);
  PrintJson(out);
}

int RunList(const std::string& dir, bool json, const std::string& encoding) {
  std::optional<std::string> directory = SearchableDirectory(dir);
  if (!directory) return Fail(GetError(kInvalidPathMessage), MissingDirectoryCause(dir));
  // A master too short for its header would list nothing, as an empty one does.
  const std::string master = MasterFileName(directory->c_str());
  const FileGuard file(
      SOpenFile(master.c_str(), kOpenReadOnly, kOpenShared, kMasterRecordSize, kOpenNotTemporary));
  if (file.Valid() && FileLength(file.Get()) < int32_t{kMasterRecordSize}) return Fail(kMasterTooShortText);
  const DirectoryInstruments model = ReadDirectoryInstruments(directory->c_str());
  for (const IndexFinding& finding : model.xmaster.findings)
    std::cerr << "qvx list: " << finding.text << '\n';
  if (json) {
    PrintInstrumentsJson(*directory, model, EncodingPage(encoding));
    return kExitSuccess;
  }
  PrintingListBox box;
  ListDirectoryInstruments(box, directory->c_str(), model);
  return kExitSuccess;
}

int RunTree(const std::string& root) {
  std::optional<std::string> directory = SearchableDirectory(root);
  if (!directory) return Fail(GetError(kInvalidPathMessage), MissingDirectoryCause(root));
  NodeListPtr nodes(CreateList());
  if (!nodes || ScanRootDirectory(nodes.get(), directory->c_str()) == 0)
    return Fail(GetError(kOutOfMemoryMessage));
  PruneDirTree(nodes.get());
  // The root's label is its path as given; below it, names as the system has them.
  WalkDirTree(nodes.get(), [](const DirNode& node, int depth) {
    std::cout << std::string(2 * static_cast<size_t>(depth), ' ')
              << (depth == 0 ? node.name : NativePath(node.name)) << '\n';
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
  if (std::string cause = MissingInstrumentCause(dir, fileNumber); !cause.empty())
    return Fail(GetError(kFileAccessMessage), cause);
  const std::optional<DirectoryInstrument> listed = FindDirectoryInstrument(directory.c_str(), fileNumber);
  if (!listed) return Fail(GetError(kFileAccessMessage));
  // XMASTER's instruments: their F<n>.MWD read as data files, by the layout
  // the field bits give.
  if (listed->source == InstrumentSource::Xmaster && !listed->layoutKnown)
    return Fail(GetError(kUnknownFormatMessage), "its fields are in no layout qvx reads");
  instrument->record = listed->layout;
  const std::string& name = listed->dataFileName;
  instrument->file = FileGuard(SOpenFile(name.c_str(), kOpenReadOnly, kOpenShared,
                                         instrument->record.RecordLength(), kOpenNotTemporary));
  if (!instrument->file.Valid()) return Fail(GetError(kFileAccessMessage));
  DATHeader header{};
  TerminalInteraction ui;
  if (GetDATFileType(instrument->file.Get(), name.c_str(), instrument->record, &instrument->layout, &header,
                     ui) == 0) {
    return Fail(GetError(kUnknownFormatMessage));
  }
  return kExitSuccess;
}

// The rows of qvx show, read ahead a block of records at a time. Row r is the
// first 4 x fields bytes of data record r: what reading each of its cells on
// its own (ReadField) would read, and readable exactly when all of them are.
class ShowRows {
 public:
  ShowRows(FileHandle file, int32_t recordLength, int32_t fields)
      : file_(file), length_(recordLength), rowBytes_(4 * int64_t{fields}) {}

  // The row's bytes, or null when they cannot be read.
  const unsigned char* Row(int32_t r) {
    if (r >= first_ && r - first_ < rows_) return block_.data() + (int64_t{r} - first_) * length_;
    const int64_t offset = (int64_t{r} + 1) * length_;
    const int64_t spare = int64_t{FileLength(file_)} - offset - rowBytes_;
    if (r < 0 || length_ <= 0 || spare < 0) return nullptr;
    const int64_t fit = spare / length_ + 1;  // rows from r on that the file holds
    // The block, and when it cannot be read (a failing disk) the row alone.
    for (int64_t rows : {std::min<int64_t>(fit, kBlockBytes / length_ + 1), int64_t{1}}) {
      const int64_t size = (rows - 1) * length_ + rowBytes_;
      block_.resize(static_cast<size_t>(size));
      if (ReadBlock(file_, block_.data(), static_cast<uint32_t>(size), static_cast<int32_t>(offset), 0)) {
        first_ = r;
        rows_ = rows;
        return block_.data();
      }
    }
    first_ = rows_ = 0;
    return nullptr;
  }

 private:
  static constexpr int64_t kBlockBytes = 32768;
  FileHandle file_;
  int64_t length_;
  int64_t rowBytes_;
  std::vector<unsigned char> block_;
  int64_t first_ = 0;
  int64_t rows_ = 0;
};

int RunShow(const std::string& dir, int fileNumber, int32_t from, std::optional<int32_t> count) {
  OpenInstrument instrument;
  if (int failure = OpenForReading(dir, fileNumber, &instrument); failure != kExitSuccess) return failure;
  const int fields = instrument.record.FieldCount();
  const int length = instrument.record.RecordLength();
  StdoutSink sink;
  TextOutput out(sink);
  for (int c = 0; c < fields; ++c) {
    if (c > 0) out.Append("\t");
    out.Append(EnumerateFieldType(instrument.layout.fieldTypes[c]));
  }
  out.Append("\n");
  // Rows run, as in the editor, until a record cannot be read whole.
  ShowRows rows(instrument.file.Get(), length, fields);
  const size_t rowRoom = 12 + static_cast<size_t>(fields) * (1 + kCellTextRoom) + 1;
  for (int32_t r = from; !count || r - from < *count; ++r) {
    const unsigned char* bytes = rows.Row(r);
    if (bytes == nullptr) break;
    char* line = out.Reserve(rowRoom);
    line = std::to_chars(line, line + 12, r).ptr;
    for (int c = 0; c < fields; ++c) {
      *line++ = '\t';
      // As ReadField gives it: the corrupt-number marker shows as 0.
      const float value = std::max(MBF_IEEE(LoadMbfWord(bytes + 4 * c)), 0.0f);
      line = WriteCellText(line, instrument.layout.fieldTypes[c], value);
    }
    *line++ = '\n';
    out.Commit(line);
  }
  return out.Flush() ? kExitSuccess : Fail("qvx show: the records could not be written");
}

int RunFind(const std::string& dir, int fileNumber, const std::string& dateText,
            const std::optional<std::string>& timeText) {
  OpenInstrument instrument;
  if (int failure = OpenForReading(dir, fileNumber, &instrument); failure != kExitSuccess) return failure;
  const bool intraday = instrument.record.Period() == 'I';
  if (timeText && !intraday) return Fail("qvx find: only intraday instruments are searched by time");
  float date = DateArgument(dateText);
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
  if (!sample::WriteSampleData(dir, &error)) return Fail("qvx sample: " + error);
  return kExitSuccess;
}

}  // namespace

void RegisterReadCommands(CLI::App& app, int* status) {
  auto dir = std::make_shared<std::string>();
  auto fileNumber = std::make_shared<int>(0);

  auto json = std::make_shared<bool>(false);
  CLI::App* list = app.add_subcommand(
      "list", "One line per instrument: master's in master order, then XMASTER's, marked XMASTER");
  list->add_option("DIR", *dir, "Data directory")->required();
  list->add_flag("--json", *json, "Every instrument with what the index files hold of it, as JSON");
  auto encoding = std::make_shared<std::string>("windows-1252");
  AddJsonEncodingOption(list, encoding.get());
  list->callback([=] { *status = RunList(*dir, *json, *encoding); });

  CLI::App* tree = app.add_subcommand("tree", "The pruned directory tree below ROOT");
  tree->add_option("ROOT", *dir, "Root directory")->required();
  tree->callback([=] { *status = RunTree(*dir); });

  auto from = std::make_shared<int32_t>(0);
  auto count = std::make_shared<int32_t>(-1);
  CLI::App* show = app.add_subcommand("show", "An instrument's records as the editor shows them");
  show->add_option("DIR", *dir, "Data directory")->required();
  show->add_option("N", *fileNumber, "File number (F<N>)")->required()->check(CLI::Range(1, 65535));
  show->add_option("--from", *from, "First record, counted from 0")->check(NonNegative());
  CLI::Option* counted =
      show->add_option("--count", *count, "How many records (default: all)")->check(NonNegative());
  show->callback([=] {
    *status = RunShow(*dir, *fileNumber, *from,
                      counted->count() > 0 ? std::optional<int32_t>(*count) : std::nullopt);
  });

  auto dateText = std::make_shared<std::string>();
  auto timeText = std::make_shared<std::string>();
  CLI::App* find = app.add_subcommand("find", "The Goto search: the record on or after a date (and time)");
  find->add_option("DIR", *dir, "Data directory")->required();
  find->add_option("N", *fileNumber, "File number (F<N>)")->required()->check(CLI::Range(1, 65535));
  find->add_option("DATE", *dateText, "DD/MM/YY or YYYY-MM-DD")->required();
  CLI::Option* time = find->add_option("TIME", *timeText, "HH:MM:SS (intraday instruments)");
  find->callback([=] {
    *status = RunFind(*dir, *fileNumber, *dateText,
                      time->count() > 0 ? std::optional<std::string>(*timeText) : std::nullopt);
  });

  CLI::App* sampleCommand = app.add_subcommand("sample", "Writes the bundled sample data tree into DIR");
  sampleCommand->add_option("DIR", *dir, "An empty or new directory to write into")->required();
  sampleCommand->callback([=] { *status = RunSample(*dir); });
}

}  // namespace qvx
