#include "fuzz_bodies.h"

#include <cstring>
#include <filesystem>

#include "editor/editor_model.h"
#include "integrity/dat_test.h"
#include "integrity/error_list.h"
#include "integrity/master_test.h"
#include "primitives/dates.h"
#include "primitives/mbf.h"
#include "sample_data.h"
#include "shell/command_line.h"
#include "store/dat_probe.h"
#include "store/record_search.h"
#include "support/temp_dir.h"

namespace fuzz {
namespace {

using testing_support::Bytes;
using testing_support::ReadBytes;
using testing_support::WriteBytes;

// One scratch directory for the whole run, emptied before each input.
const testing_support::TempDir& Fresh() {
  static testing_support::TempDir scratch;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(scratch.Path(""), error))
    std::filesystem::remove_all(entry.path(), error);
  return scratch;
}

const Bytes& SampleFile(const std::string& path) {
  static const Bytes none;
  for (const sample::SampleFile& file : sample::GetSampleTree().files) {
    if (file.path == path) return file.bytes;
  }
  return none;
}

// The report of a test: a list, or a notice and Close, never both.
class Report : public ReportTarget {
 public:
  explicit Report(bool master) : master_(master) {}
  void ErrorListReady(List* list) override {
    ++lists;
    for (const ListNode* node = list->first; node != nullptr; node = node->next) {
      const auto* entry = static_cast<const DATErrorEntry*>(node->item);
      keys.push_back(entry->recordNumber);
      for (const ListNode* d = entry->defects->first; d != nullptr; d = d->next) {
        codes.push_back(master_ ? MasterDefectOf(d)->errorCode : DATDefectOf(d)->errorCode);
        if (!master_) columns.push_back(DATDefectOf(d)->columnIndex);
      }
    }
    KillErrorList(list);
  }
  void Close() override { ++closes; }
  void ShowNotice(const char*) override { ++notices; }
  // Goes on past an inconsistent size, and never re-creates a file.
  bool AskYesNo(const char* text) override {
    return std::string(text) == "File is an inconsistent size. Ignore ?";
  }
  std::string Ending() const {
    if ((lists == 1 && closes == 0 && notices == 0) || (lists == 0 && closes == 1 && notices == 1)) return "";
    return "the report got " + std::to_string(lists) + " lists, " + std::to_string(notices) +
           " notices and " + std::to_string(closes) + " closes";
  }

  int lists = 0, closes = 0, notices = 0;
  std::vector<int32_t> keys, codes, columns;

 private:
  bool master_;
};

class LineCounter : public InstrumentListBox {
 public:
  void ResetContent() override { lines = 0; }
  int AddString(const char*) override { return lines++; }
  void SetItemData(int, int32_t) override {}
  void SetHorizontalExtent(int) override {}
  void SelectRange(int, int) override {}
  void SetFocus() override {}
  int lines = 0;
};

}  // namespace

std::string MasterFile(const uint8_t* data, size_t size) {
  const auto& dir = Fresh();
  const Bytes master(data, data + size), &daily = SampleFile("Stocks/F1.DAT"),
                                         &intraday = SampleFile("Intraday/F1.DAT");
  WriteBytes(dir.Path("master"), master);
  WriteBytes(dir.Path("F1.DAT"), daily);
  WriteBytes(dir.Path("F2.DAT"), intraday);
  WriteBytes(dir.Path("F1.DOP"), SampleFile("Stocks/F1.DOP"));
  LineCounter box;
  ListInstruementsInDirectory(box, dir.Dir().c_str());
  if (static_cast<size_t>(box.lines) > (size >= kMasterRecordSize ? size / kMasterRecordSize - 1 : 0))
    return "the listing shows more lines than master has records";
  Report report(true);
  TestMasterFile(dir.Dir().c_str(), report, kMasterDialogOrder, kMasterTestCount, 1, 0, 1);
  if (std::string ending = report.Ending(); !ending.empty()) return "master test: " + ending;
  if (!report.codes.empty()) RepairMasterError(dir.Dir().c_str(), report.keys.back(), report.codes.back());
  if (ReadBytes(dir.Path("F1.DAT")) != daily || ReadBytes(dir.Path("F2.DAT")) != intraday)
    return "a repair changed an existing data file";
  const Bytes after = ReadBytes(dir.Path("master"));
  if (after.size() != master.size()) return "the repairs changed master's length";
  if (size < kMasterRecordSize && after != master) return "a master too short for its header was written to";
  return "";
}

std::string DataFile(const uint8_t* data, size_t size) {
  const auto& dir = Fresh();
  MasterRecord record{};
  std::memcpy(record.raw, data, std::min<size_t>(size, kMasterRecordSize));
  const Bytes dat(data + std::min<size_t>(size, kMasterRecordSize), data + size);
  const int n = record.FileNumber();
  Bytes master(kMasterRecordSize, 0);
  master[0] = 1;
  master.insert(master.end(), std::begin(record.raw), std::end(record.raw));
  WriteBytes(dir.Path("master"), master);
  const std::string datPath = dir.Path("F" + std::to_string(n) + ".DAT");
  WriteBytes(datPath, dat);

  Report report(false);
  TestDATFile(dir.Dir().c_str(), report, kDATDialogOrder, kDATTestCount, record);
  if (std::string ending = report.Ending(); !ending.empty()) return "DAT test: " + ending;
  const int32_t length = record.RecordLength();
  const int64_t wholeRecords = length > 0 ? static_cast<int64_t>(dat.size()) / length - 1 : 0;
  for (int32_t key : report.keys) {
    if (key < 0 || key >= wholeRecords) return "the DAT test reported record " + std::to_string(key);
  }
  for (int32_t code : report.codes) {
    if (code < 0 || code > 9) return "the DAT test reported code " + std::to_string(code);
  }
  for (int32_t column : report.columns) {
    if (column >= std::min<int>(record.FieldCount(), kMaxFields))
      return "a defect on column " + std::to_string(column);
  }
  const uint16_t probed = AscertainRecordLength(dir.Dir().c_str(), n);
  if (probed != RecordLengthOfContents(dat)) return "the record length of the file and of its bytes differ";
  if (probed != kUnknownRecordLength && (probed < 16 || probed > 32 || probed % 4 != 0))
    return "record length " + std::to_string(probed);
  if (const int intraday = IsIntra(dir.Dir().c_str(), n); intraday != 0 && intraday != 1)
    return "IsIntra gave " + std::to_string(intraday);
  {
    EditorState state;
    Report ui(false);
    if (OpenEditorSession(&state.session, dir.Dir().c_str(), n, ui)) {
      for (int32_t r = 0; r < std::min<int32_t>(DataRecordCount(state.session), 300); ++r) {
        for (int c = 0; c < FieldCount(state); ++c) {
          state.currentRecord = r;
          state.currentColumn = static_cast<uint16_t>(c);
          if (LoadCellEdit(state) && state.editText.size() > 23) return "a cell text of " + state.editText;
        }
      }
      // The searches read only the bytes they compare: a record is searched
      // when its first 4 (or 8) bytes are in the file.
      const FileHandle file = state.session.file.Get();
      const auto lastSearched = [&](int64_t bytes) {
        return length > 0 && static_cast<int64_t>(dat.size()) >= length + bytes
                   ? (static_cast<int64_t>(dat.size()) - bytes) / length - 1
                   : -1;
      };
      if (const int32_t found = GetRecordNumberFromDate(file, record, 1, 1, 110);
          found < -1 || found > lastSearched(4))
        return "date search gave " + std::to_string(found);
      if (const int32_t timed = GetRecordNumberFromDateTime(file, record, 1, 1, 110, 12, 0, 0);
          timed < -1 || timed > lastSearched(8))
        return "date and time search gave " + std::to_string(timed);
      int16_t day = 0, month = 0, year = 0, hour = 0, minute = 0, second = 0;
      GetDateTime(file, record, 0, &day, &month, &year, &hour, &minute, &second);
    }
  }
  if (ReadBytes(datPath) != dat || ReadBytes(dir.Path("master")) != master) return "reading changed a file";
  return "";
}

std::string DateTimeText(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  if (const float date = MakeDateFromString(text.c_str()); date != -1.0f) {
    if (!IsValidFloatDate(date)) return "a typed date that is not valid";
    if (MakeDateFromString(StrDate(date)) != date)
      return std::string("the date ") + StrDate(date) + " does not read back";
  }
  if (const float time = MakeTimeFromString(text.c_str()); time != -1.0f) {
    if (!IsValidFloatTime(time)) return "a typed time that is not valid";
    if (MakeTimeFromString(StrTime(time)) != time)
      return std::string("the time ") + StrTime(time) + " does not read back";
  }
  if (size < 4) return "";
  float value = 0;
  uint32_t word = 0;
  std::memcpy(&value, data, sizeof value);
  std::memcpy(&word, data, sizeof word);
  int16_t day = 0, month = 0, year = 0, hour = 0, minute = 0, second = 0;
  const int valid = ExtractDate(value, &day, &month, &year);
  if (valid != IsValidFloatDate(value)) return "ExtractDate and IsValidFloatDate disagree";
  float again = 0;
  int16_t d2 = 0, m2 = 0, y2 = 0;
  if (valid && (!MakeDate(&again, day, month, year) || !ExtractDate(again, &d2, &m2, &y2) || d2 != day ||
                m2 != month || y2 != year))
    return "a valid date's parts do not make the same date";
  ExtractTime(value, &hour, &minute, &second);
  if (IsValidTime(hour, minute, second) != IsValidFloatTime(value))
    return "ExtractTime and IsValidFloatTime disagree";
  if (std::strlen(StrDate(value)) > 23 || std::strlen(StrTime(value)) > 23) return "a text form overran";
  const float stored = MBF_IEEE(word);
  if (stored != kCorruptNumber && !(stored >= 0.0f && stored <= kMbfCeiling))
    return "MBF_IEEE gave a value out of range";
  if (stored >= 0.0f && MBF_IEEE(IEEE_MBF(stored)) != stored)
    return "an MBF value does not survive a round trip";
  return "";
}

std::string CommandLine(const uint8_t* data, size_t size) {
  const std::string_view line(reinterpret_cast<const char*>(data), size);
  const auto has = [&](std::string_view token) { return line.find(token) != std::string_view::npos; };
  if (IsUtilityCommandLine(line) != (has("AUTOTEST") && (has("TESTDAT") || has("TESTMASTER"))))
    return "the utility-mode decision disagrees with the tokens";
  const PathPart path = ExtractTestPath(line);
  const size_t token = line.find("PATH:\"");
  if (path.status == PathPartStatus::kFound) {
    if (token == std::string_view::npos || path.directory.empty() || path.directory.back() != '\\')
      return "a found path part without its token or its backslash";
    const std::string inner = path.directory.substr(0, path.directory.size() - 1);
    if (inner.find('"') != std::string::npos || line.substr(token + 6, inner.size() + 1) != inner + "\"")
      return "the path part is not the quoted text";
    const std::optional<std::string> browse = ExtractBrowsePath(line);
    if (inner.empty() == browse.has_value()) return "browse path and test path disagree";
    if (browse && (browse->back() != '\\' || browse->rfind(inner, 0) != 0))
      return "a browse path not ending in one backslash";
  } else if ((path.status == PathPartStatus::kMissing) != (token == std::string_view::npos) ||
             (token != std::string_view::npos && line.find('"', token + 6) != std::string_view::npos)) {
    return "a path part reported missing or unclosed wrongly";
  }
  const FilePart file = ExtractFileNumber(line);
  const size_t fileToken = line.find("FILE:");
  if (file.present != (fileToken != std::string_view::npos)) return "FILE: reported wrongly";
  if (!file.present) return "";
  long long number = 0;
  size_t digits = 0;
  for (size_t at = fileToken + 5; at < line.size() && line[at] >= '0' && line[at] <= '9' && number <= 32767;
       ++at, ++digits)
    number = number * 10 + (line[at] - '0');
  const bool fits = digits > 0 && number <= 32767;
  if (fits != file.fileNumber.has_value() || (fits && *file.fileNumber != number))
    return "the file number is not the digits after FILE:";
  return "";
}

std::map<std::string, std::vector<uint8_t>> SampleSeeds(const std::string& target) {
  std::map<std::string, Bytes> seeds;
  const auto text = [](const std::string& t) { return Bytes(t.begin(), t.end()); };
  const sample::SampleTree& tree = sample::GetSampleTree();
  for (const sample::SampleFile& file : tree.files) {
    const size_t slash = file.path.find('/');
    const std::string directory = file.path.substr(0, slash), name = file.path.substr(slash + 1);
    if (target == "master" && name == "master") seeds[directory] = file.bytes;
    int number = 0;
    if (target != "datafile" || std::sscanf(name.c_str(), "F%d.DA", &number) != 1 ||
        name != "F" + std::to_string(number) + ".DAT")
      continue;
    // The data file behind its own master record, cut to 60 records: enough
    // for every test of a record and its predecessor, quick to run.
    const Bytes& master = SampleFile(directory + "/master");
    for (size_t at = kMasterRecordSize; at + kMasterRecordSize <= master.size(); at += kMasterRecordSize) {
      if (master[at] != number) continue;
      Bytes seed(master.begin() + static_cast<long>(at),
                 master.begin() + static_cast<long>(at + kMasterRecordSize));
      const size_t keep = std::min(file.bytes.size(), std::max<size_t>(master[at + 3], 1) * 61);
      seed.insert(seed.end(), file.bytes.begin(), file.bytes.begin() + static_cast<long>(keep));
      seeds[directory + "_" + name] = seed;
      break;
    }
  }
  if (target == "datetime") {
    for (const char* typed :
         {"4/1/10", "31/12/99", "29/2/00", "29/02/01", "1/1/49", "1/1/50", "23:59:59", "9:5:0", "  7/ 8/ 9",
          "12/13/14", "00:00:60", "1//", "::", "\x48\x4a\x86\x49", "\x40\x4a\x06\x95"})
      seeds[std::string("typed_") + std::to_string(seeds.size())] = text(typed);
  }
  if (target == "commandline") {
    for (const char* line : {"quorvex.exe AUTOTEST TESTDAT PATH:\"C:\\DATA\\STOCKS\" FILE:12",
                             "AUTOTEST TESTMASTER PATH:\"Z:\\tmp\\x\\\"",
                             "AUTOTEST PATH:\"unclosed FILE:99999", "FILE:0007 PATH:\"\" TESTDAT", ""})
      seeds["line_" + std::to_string(seeds.size())] = text(line);
  }
  return seeds;
}

}  // namespace fuzz
