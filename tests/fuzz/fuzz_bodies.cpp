#include "fuzz_bodies.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <utility>

#include "editor/editor_model.h"
#include "filelayer/memory_file_system.h"
#include "integrity/dat_checks.h"
#include "integrity/master_checks.h"
#include "primitives/dates.h"
#include "sample_data.h"
#include "store/dat_probe.h"
#include "store/record_search.h"
#include "support/fixtures.h"
#include "support/report_fixture.h"

namespace fuzz {
namespace {

using namespace testing_support;

const Bytes& SampleFile(const std::string& path) {
  static const Bytes none;
  const auto& files = sample::GetSampleTree().files;
  const auto found = std::ranges::find(files, path, &sample::SampleFile::path);
  return found != files.end() ? found->bytes : none;
}

// Stocks/F1.DAT cut to 60 records, its header counting them: the master repairs read a data file whole, and
// 60 daily records show its layout and dates as well as the 779 of the sample do.
const Bytes& DailyData() {
  static const Bytes cut = [] {
    const auto& f1 = *std::ranges::find_if(sample::GetSampleTree().instruments, [](const auto& i) {
      return i.directory == "Stocks" && i.fileNumber == 1;
    });
    Bytes bytes = SampleFile("Stocks/F1.DAT");
    bytes.resize(std::min<size_t>(bytes.size(), 61 * 4 * f1.fieldCount));
    bytes[2] = 61;
    bytes[3] = 0;
    return bytes;
  }();
  return cut;
}

// The report of a test, which goes on past an inconsistent size and never re-creates a file.
struct Report : integrity_testing::Report {
  bool AskYesNo(const char* text) override {
    return std::string(text) == "File is an inconsistent size. Ignore ?";
  }
  // A list, or a notice and Close, never both.
  bool EndedOnce() const {
    const auto lists = std::ranges::count(events, "list"), closes = std::ranges::count(events, "close");
    return lists + closes == 1 && 2 * closes == std::ssize(events) - lists;
  }
};

// A run's files, in memory and in use while it lives: a run touches no disk.
struct Scene {
  static constexpr char kDir[] = "C:\\FUZZ\\";
  Scene(std::initializer_list<std::pair<const char*, const Bytes*>> files) {
    for (const auto& [name, bytes] : files) memory.WriteFile(kDir + std::string(name), *bytes);
  }
  // Whether the file is there and holds the bytes.
  bool Holds(const char* name, const Bytes& bytes) const {
    const Bytes* held = memory.FileBytes(kDir + std::string(name));
    return held != nullptr && *held == bytes;
  }
  platform::MemoryFileSystem memory;
  platform::MemoryFileSystemInUse inUse{memory};
};

}  // namespace

std::string MasterFile(const uint8_t* data, size_t size) {
  const Bytes master(data, data + size), &daily = DailyData(), &intraday = SampleFile("Intraday/F1.DAT");
  const Scene scene({{"master", &master},
                     {"F1.DAT", &daily},
                     {"F2.DAT", &intraday},
                     {"F1.DOP", &SampleFile("Stocks/F1.DOP")}});
  fixtures::RecordingListBox box;
  ListInstruementsInDirectory(box, Scene::kDir);
  if (box.items.size() > (size >= kMasterRecordSize ? size / kMasterRecordSize - 1 : 0))
    return "the listing shows more lines than master has records";
  Report report;
  TestMasterFile(Scene::kDir, report, kMasterDialogOrder, kMasterTestCount, 1, 0, 1);
  if (!report.EndedOnce()) return "the master test gave not one list, nor one notice with Close";
  if (const auto found = report.Found(true); !found.empty())
    RepairMasterError(Scene::kDir, std::get<0>(found[0]), std::get<1>(found[0]));
  if (!scene.Holds("F1.DAT", daily) || !scene.Holds("F2.DAT", intraday))
    return "a repair changed an existing data file";
  const Bytes* after = scene.memory.FileBytes(std::string(Scene::kDir) + "master");
  if (after == nullptr || after->size() != master.size()) return "the repairs changed master's length";
  if (size < kMasterRecordSize && *after != master) return "a master too short for its header was written to";
  return "";
}

std::string DataFile(const uint8_t* data, size_t size) {
  MasterRecord record{};
  std::memcpy(record.raw, data, std::min<size_t>(size, kMasterRecordSize));
  const Bytes dat(data + std::min<size_t>(size, kMasterRecordSize), data + size);
  const int n = record.FileNumber();
  Bytes master(kMasterRecordSize, 0);
  master[0] = 1;
  master.insert(master.end(), std::begin(record.raw), std::end(record.raw));
  const std::string datName = "F" + std::to_string(n) + ".DAT";
  const Scene scene({{"master", &master}, {datName.c_str(), &dat}});

  Report report;
  TestDATFile(Scene::kDir, report, kDATDialogOrder, kDATTestCount, record);
  if (!report.EndedOnce()) return "the DAT test gave not one list, nor one notice with Close";
  const int32_t length = record.RecordLength();
  const int64_t wholeRecords = length > 0 ? static_cast<int64_t>(dat.size()) / length - 1 : 0;
  const int fields = std::min<int>(record.FieldCount(), kMaxFields);
  for (const auto& [key, code, column] : report.Found(false)) {
    if (key < 0 || key >= wholeRecords) return "the DAT test reported a record the file does not hold";
    if (column >= fields) return "the DAT test reported a defect on a column the file does not have";
  }
  if (AscertainRecordLength(Scene::kDir, n) != RecordLengthOfContents(dat))
    return "the record length of the file and of its bytes differ";
  {
    EditorState state;
    if (OpenEditorSession(&state.session, Scene::kDir, n, report)) {
      const int fieldCount = FieldCount(state);
      for (int cell = 0; cell < std::min<int32_t>(DataRecordCount(state.session), 300) * fieldCount; ++cell) {
        state.currentRecord = cell / fieldCount;
        state.currentColumn = static_cast<uint16_t>(cell % fieldCount);
        if (LoadCellEdit(state) && state.editText.size() > 23) return "a cell text of " + state.editText;
      }
      // The searches read only the bytes they compare: a record is searched when its first 4 (or 8) bytes
      // are in the file.
      const FileHandle file = state.session.file.Get();
      const int64_t bytes = static_cast<int64_t>(dat.size());
      const auto lastSearched = [&](int64_t read) {
        return length > 0 && bytes >= length + read ? (bytes - read) / length - 1 : -1;
      };
      const int32_t found = GetRecordNumberFromDate(file, record, 1, 1, 110),
                    timed = GetRecordNumberFromDateTime(file, record, 1, 1, 110, 12, 0, 0);
      if (found < -1 || found > lastSearched(4) || timed < -1 || timed > lastSearched(8))
        return "the searches gave " + std::to_string(found) + " and " + std::to_string(timed);
    }
  }
  if (!scene.Holds(datName.c_str(), dat) || !scene.Holds("master", master)) return "reading changed a file";
  return "";
}

std::string DateTimeText(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  if (const float date = MakeDateFromString(text.c_str());
      date != -1.0f && (!IsValidFloatDate(date) || MakeDateFromString(StrDate(date)) != date))
    return std::string("the typed date ") + StrDate(date) + " is not valid or does not read back";
  if (const float time = MakeTimeFromString(text.c_str());
      time != -1.0f && (!IsValidFloatTime(time) || MakeTimeFromString(StrTime(time)) != time))
    return std::string("the typed time ") + StrTime(time) + " is not valid or does not read back";
  if (size < 4) return "";
  // Any stored bits: a valid date or time shows a text that types back to it.
  float value = 0;
  std::memcpy(&value, data, sizeof value);
  int16_t day = 0, month = 0, year = 0, typedDay = 0, typedMonth = 0, typedYear = 0;
  if (ExtractDate(value, &day, &month, &year) &&
      (!ExtractDate(MakeDateFromString(StrDate(value)), &typedDay, &typedMonth, &typedYear) ||
       typedDay != day || typedMonth != month || typedYear % 100 != year % 100))
    return std::string("the stored date ") + StrDate(value) + " does not type back";
  if (IsValidFloatTime(value) && MakeTimeFromString(StrTime(value)) == -1.0f)
    return std::string("the stored time ") + StrTime(value) + " does not type back";
  return "";
}

std::map<std::string, std::vector<uint8_t>> SampleSeeds(const std::string& target) {
  std::map<std::string, Bytes> seeds;
  for (const sample::SampleFile& file : sample::GetSampleTree().files) {
    const size_t slash = file.path.find('/');
    const std::string directory = file.path.substr(0, slash), name = file.path.substr(slash + 1);
    if (target == "master" && name == "master") seeds[directory] = file.bytes;
    if (target != "datafile" || !name.starts_with('F') || !name.ends_with(".DAT")) continue;
    const int number = std::atoi(name.c_str() + 1);
    // The data file behind its own master record, cut to 60 records: enough for every test of a record and
    // its predecessor, quick to run.
    const Bytes& master = SampleFile(directory + "/master");
    for (size_t at = kMasterRecordSize; at + kMasterRecordSize <= master.size(); at += kMasterRecordSize) {
      if (master[at] != number) continue;
      Bytes& seed = seeds[directory + "_" + name];
      seed.assign(&master[at], &master[at] + kMasterRecordSize);
      const size_t keep = std::min(file.bytes.size(), std::max<size_t>(master[at + 3], 1) * 61);
      seed.insert(seed.end(), file.bytes.data(), file.bytes.data() + keep);
      break;
    }
  }
  return seeds;
}

}  // namespace fuzz
