#include "fuzz_bodies.h"

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string_view>
#include <system_error>
#include <vector>

#include "editor/editor_model.h"
#include "integrity/dat_test.h"
#include "integrity/error_list.h"
#include "integrity/master_test.h"
#include "primitives/dates.h"
#include "primitives/mbf.h"
#include "sample_data.h"
#include "shell/command_line.h"
#include "store/dat_file.h"
#include "store/dat_probe.h"
#include "store/editor_session.h"
#include "store/master_file.h"
#include "store/record_search.h"

namespace fuzz {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

// One scratch directory for the whole run, emptied before each input.
class Scratch {
 public:
  static Scratch& Get() {
    static Scratch scratch;
    return scratch;
  }
  // Empties the directory; returns the core's text for it.
  const std::string& Fresh() {
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(path_, error)) fs::remove_all(entry.path(), error);
    return core_;
  }
  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  Scratch() {
    std::random_device random;
    path_ = fs::temp_directory_path() / ("quorvex-fuzz-" + std::to_string(random()));
    fs::create_directories(path_);
    core_ = path_.string() + "\\";
  }
  ~Scratch() {
    std::error_code error;
    fs::remove_all(path_, error);
  }
  fs::path path_;
  std::string core_;
};

void Write(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

Bytes Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
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
        if (master_) {
          codes.push_back(MasterDefectOf(d)->errorCode);
        } else {
          codes.push_back(DATDefectOf(d)->errorCode);
          columns.push_back(DATDefectOf(d)->columnIndex);
        }
      }
    }
    KillErrorList(list);
  }
  void Close() override { ++closes; }
  void ShowNotice(const char*) override { ++notices; }
  bool AskYesNo(const char*) override { return false; }

  // "" when the test ended in exactly one of its two ways.
  std::string Ending() const {
    if (lists == 1 && closes == 0 && notices == 0) return "";
    if (lists == 0 && closes == 1 && notices == 1) return "";
    return "the report got " + std::to_string(lists) + " lists, " + std::to_string(notices) +
           " notices and " + std::to_string(closes) + " closes";
  }

  int lists = 0, closes = 0, notices = 0;
  std::vector<int32_t> keys, codes, columns;

 private:
  bool master_;
};

class ListBox : public InstrumentListBox {
 public:
  void ResetContent() override { lines = 0; }
  int AddString(const char*) override { return lines++; }
  void SetItemData(int, int32_t) override {}
  void SetHorizontalExtent(int) override {}
  void SelectRange(int, int) override {}
  void SetFocus() override {}
  int lines = 0;
};

// Goes on past an inconsistent size, and never re-creates the file.
class IgnoreSize : public UserInteraction {
 public:
  void ShowNotice(const char*) override {}
  bool AskYesNo(const char* text) override {
    return std::string_view(text) == "File is an inconsistent size. Ignore ?";
  }
};

}  // namespace

std::string MasterFile(const uint8_t* data, size_t size) {
  Scratch& scratch = Scratch::Get();
  const std::string core = scratch.Fresh();
  const Bytes master(data, data + size);
  const Bytes& daily = SampleFile("Stocks/F1.DAT");
  const Bytes& intraday = SampleFile("Intraday/F1.DAT");
  Write(scratch.File("master"), master);
  Write(scratch.File("F1.DAT"), daily);
  Write(scratch.File("F2.DAT"), intraday);
  Write(scratch.File("F1.DOP"), SampleFile("Stocks/F1.DOP"));

  ListBox box;
  ListInstruementsInDirectory(box, core.c_str());
  const size_t records = size >= kMasterRecordSize ? size / kMasterRecordSize - 1 : 0;
  if (static_cast<size_t>(box.lines) > records) return "the listing shows more lines than master has records";

  Report report(true);
  TestMasterFile(core.c_str(), report, kMasterDialogOrder, kMasterTestCount, 1, 0, 1);
  if (std::string ending = report.Ending(); !ending.empty()) return "master test: " + ending;
  if (!report.codes.empty()) RepairMasterError(core.c_str(), report.keys.back(), report.codes.back());

  if (Read(scratch.File("F1.DAT")) != daily || Read(scratch.File("F2.DAT")) != intraday)
    return "a repair changed an existing data file";
  const Bytes after = Read(scratch.File("master"));
  if (after.size() != master.size()) return "the repairs changed master's length";
  if (size < kMasterRecordSize && after != master) return "a master too short for its header was written to";
  return "";
}

std::string DataFile(const uint8_t* data, size_t size) {
  Scratch& scratch = Scratch::Get();
  const std::string core = scratch.Fresh();
  MasterRecord record{};
  std::memcpy(record.raw, data, std::min<size_t>(size, kMasterRecordSize));
  const Bytes dat(data + std::min<size_t>(size, kMasterRecordSize), data + size);
  const int n = record.FileNumber();
  Bytes master(kMasterRecordSize, 0);
  master[0] = 1;
  master.insert(master.end(), std::begin(record.raw), std::end(record.raw));
  Write(scratch.File("master"), master);
  Write(scratch.File("F" + std::to_string(n) + ".DAT"), dat);

  Report report(false);
  TestDATFile(core.c_str(), report, kDATDialogOrder, kDATTestCount, record);
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

  const uint16_t probed = AscertainRecordLength(core.c_str(), n);
  if (probed != RecordLengthOfContents(dat)) return "the record length of the file and of its bytes differ";
  if (probed != kUnknownRecordLength && (probed < 16 || probed > 32 || probed % 4 != 0))
    return "record length " + std::to_string(probed);
  const int intraday = IsIntra(core.c_str(), n);
  if (intraday != 0 && intraday != 1) return "IsIntra gave " + std::to_string(intraday);

  {
    EditorState state;
    IgnoreSize ui;
    if (OpenEditorSession(&state.session, core.c_str(), n, ui)) {
      const int32_t rows = std::min<int32_t>(DataRecordCount(state.session), 300);
      for (int32_t r = 0; r < rows; ++r) {
        for (int c = 0; c < FieldCount(state); ++c) {
          state.currentRecord = r;
          state.currentColumn = static_cast<uint16_t>(c);
          if (LoadCellEdit(state) && state.editText.size() > 23) return "a cell text of " + state.editText;
        }
      }
      // The searches read only the bytes they compare, so a record is
      // searched when its first 4 (or 8) bytes are in the file.
      const FileHandle file = state.session.file.Get();
      const auto lastSearched = [&](int64_t bytes) {
        return length > 0 && static_cast<int64_t>(dat.size()) >= length + bytes
                   ? (static_cast<int64_t>(dat.size()) - bytes) / length - 1
                   : -1;
      };
      const int32_t found = GetRecordNumberFromDate(file, record, 1, 1, 110);
      if (found < -1 || found > lastSearched(4)) return "date search gave " + std::to_string(found);
      const int32_t timed = GetRecordNumberFromDateTime(file, record, 1, 1, 110, 12, 0, 0);
      if (timed < -1 || timed > lastSearched(8)) return "date and time search gave " + std::to_string(timed);
      int16_t day = 0, month = 0, year = 0, hour = 0, minute = 0, second = 0;
      GetDate(file, record, 0, &day, &month, &year);
      GetDateTime(file, record, 0, &day, &month, &year, &hour, &minute, &second);
    }
  }
  if (Read(scratch.File("F" + std::to_string(n) + ".DAT")) != dat) return "reading changed the data file";
  if (Read(scratch.File("master")) != master) return "reading changed master";
  return "";
}

std::string DateTimeText(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const float date = MakeDateFromString(text.c_str());
  if (date != -1.0f) {
    if (!IsValidFloatDate(date)) return "a typed date that is not valid";
    const std::string shown = StrDate(date);
    if (MakeDateFromString(shown.c_str()) != date)
      return "the date " + shown + " does not read back as itself";
  }
  const float time = MakeTimeFromString(text.c_str());
  if (time != -1.0f) {
    if (!IsValidFloatTime(time)) return "a typed time that is not valid";
    const std::string shown = StrTime(time);
    if (MakeTimeFromString(shown.c_str()) != time)
      return "the time " + shown + " does not read back as itself";
  }
  if (size >= 4) {
    float value = 0;
    std::memcpy(&value, data, sizeof value);
    int16_t day = 0, month = 0, year = 0;
    const int valid = ExtractDate(value, &day, &month, &year);
    if (valid != IsValidFloatDate(value)) return "ExtractDate and IsValidFloatDate disagree";
    if (valid) {
      float again = 0;
      int16_t d2 = 0, m2 = 0, y2 = 0;
      if (!MakeDate(&again, day, month, year) || !ExtractDate(again, &d2, &m2, &y2) || d2 != day ||
          m2 != month || y2 != year) {
        return "a valid date's parts do not make the same date";
      }
    }
    int16_t hour = 0, minute = 0, second = 0;
    ExtractTime(value, &hour, &minute, &second);
    if (IsValidTime(hour, minute, second) != IsValidFloatTime(value))
      return "ExtractTime and IsValidFloatTime disagree";
    if (std::strlen(StrDate(value)) > 23 || std::strlen(StrTime(value)) > 23) return "a text form overran";
    uint32_t word = 0;
    std::memcpy(&word, data, sizeof word);
    const float stored = MBF_IEEE(word);
    if (stored != kCorruptNumber && !(stored >= 0.0f && stored <= kMbfCeiling))
      return "MBF_IEEE gave a value outside its range";
    if (stored >= 0.0f && MBF_IEEE(IEEE_MBF(stored)) != stored)
      return "an MBF value does not survive a round trip";
  }
  return "";
}

std::string CommandLine(const uint8_t* data, size_t size) {
  const std::string_view line(reinterpret_cast<const char*>(data), size);
  const auto has = [&](std::string_view token) { return line.find(token) != std::string_view::npos; };
  if (IsUtilityCommandLine(line) != (has("AUTOTEST") && (has("TESTDAT") || has("TESTMASTER"))))
    return "the utility-mode decision disagrees with the tokens";

  const PathPart path = ExtractTestPath(line);
  const size_t token = line.find("PATH:\"");
  switch (path.status) {
    case PathPartStatus::kFound: {
      if (token == std::string_view::npos || path.directory.empty() || path.directory.back() != '\\')
        return "a found path part without its token or its backslash";
      const std::string inner = path.directory.substr(0, path.directory.size() - 1);
      if (inner.find('"') != std::string::npos) return "a path part holding a quote";
      if (line.substr(token + 6, inner.size() + 1) != inner + "\"")
        return "the path part is not the quoted text";
      const std::optional<std::string> browse = ExtractBrowsePath(line);
      if (inner.empty() != !browse.has_value()) return "browse path and test path disagree";
      if (browse && (browse->back() != '\\' || browse->rfind(inner, 0) != 0))
        return "a browse path not ending in one backslash";
      break;
    }
    case PathPartStatus::kMissing:
      if (token != std::string_view::npos) return "a path part reported missing";
      break;
    case PathPartStatus::kNoClosingQuote:
      if (token == std::string_view::npos || line.find('"', token + 6) != std::string_view::npos)
        return "a path part reported unclosed";
      break;
  }

  const FilePart file = ExtractFileNumber(line);
  const size_t fileToken = line.find("FILE:");
  if (file.present != (fileToken != std::string_view::npos)) return "FILE: reported wrongly";
  if (file.present) {
    long long number = 0;
    size_t digits = 0;
    for (size_t at = fileToken + 5; at < line.size() && line[at] >= '0' && line[at] <= '9' && number <= 32767;
         ++at, ++digits)
      number = number * 10 + (line[at] - '0');
    const bool fits = digits > 0 && number <= 32767;
    if (fits != file.fileNumber.has_value() || (fits && *file.fileNumber != number))
      return "the file number is not the digits after FILE:";
  }
  return "";
}

}  // namespace fuzz
