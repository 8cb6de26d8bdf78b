// Data directories written by other programs, from the directory named by
// QUORVEX_REALDATA (by default ../shared/realdata beside the checkout, when it
// is there): every directory that holds a master is listed, shown as the
// editor shows it, probed, and given a report-only master test and a DAT test
// of every instrument. Consistent data must give no finding; the defects the
// data really has (a master date out of step with its data file, a missing
// column-description file) are worked out here from the bytes and must be
// exactly what the master test reports.
//
// Each directory is copied into a scratch directory first, so that nothing a
// test does can touch the originals (which may also be read-only); the copy
// must come out of the report-only tests unchanged.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "editor/editor_model.h"
#include "fixtures.h"
#include "integrity/dat_test.h"
#include "integrity/error_list.h"
#include "integrity/master_test.h"
#include "primitives/dates.h"
#include "primitives/mbf.h"
#include "store/dat_file.h"
#include "store/editor_session.h"
#include "store/master_file.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using testing_support::Bytes;
using testing_support::TempDir;

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; });
  return text;
}

// The root of the real data directories, or "" when there is none.
std::string RealDataRoot() {
  const char* fromEnvironment = std::getenv("QUORVEX_REALDATA");
  std::string root = fromEnvironment && *fromEnvironment ? fromEnvironment : QUORVEX_REALDATA_DIR;
#ifdef _WIN32
  // Under Wine the Linux file system is drive Z:.
  if (!root.empty() && root[0] == '/') root = "Z:" + root;
#endif
  std::error_code error;
  return fs::is_directory(root, error) ? root : "";
}

// The directories below the root that hold a master (any letter case).
std::vector<std::string> RealDirectories() {
  std::vector<std::string> names;
  const std::string root = RealDataRoot();
  if (root.empty()) return names;
  for (const auto& entry : fs::directory_iterator(root)) {
    if (!entry.is_directory()) continue;
    for (const auto& file : fs::directory_iterator(entry.path())) {
      if (Lower(file.path().filename().string()) == "master")
        names.push_back(entry.path().filename().string());
    }
  }
  std::sort(names.begin(), names.end());
  return names;
}

// The regular files of a directory, by lower-case name, with their bytes.
std::map<std::string, Bytes> FilesOf(const fs::path& directory) {
  std::map<std::string, Bytes> files;
  for (const auto& entry : fs::directory_iterator(directory)) {
    if (entry.is_regular_file())
      files[Lower(entry.path().filename().string())] = testing_support::ReadBytes(entry.path().string());
  }
  return files;
}

uint32_t Word(const Bytes& bytes, size_t at) {
  return static_cast<uint32_t>(bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16) |
         static_cast<uint32_t>(bytes[at + 3]) << 24;
}

// A master test finding, or one worked out from the bytes.
struct Finding {
  int fileNumber;
  int code;
  bool operator<(const Finding& other) const {
    return std::tie(fileNumber, code) < std::tie(other.fileNumber, other.code);
  }
  bool operator==(const Finding& other) const { return fileNumber == other.fileNumber && code == other.code; }
};
std::ostream& operator<<(std::ostream& out, const Finding& f) {
  return out << "{F" << f.fileNumber << " code " << f.code << "}";
}

class Findings : public ReportTarget {
 public:
  void ErrorListReady(List* list) override {
    for (const ListNode* node = list->first; node != nullptr; node = node->next) {
      const auto* entry = static_cast<const MasterErrorEntry*>(node->item);
      const auto* datEntry = static_cast<const DATErrorEntry*>(node->item);
      for (const ListNode* d = entry->defects->first; d != nullptr; d = d->next) {
        if (master)
          found.insert({entry->fileNumber, MasterDefectOf(d)->errorCode});
        else
          datFindings.push_back("record " + std::to_string(datEntry->recordNumber) + " column " +
                                std::to_string(DATDefectOf(d)->columnIndex) + ": " +
                                GetDATError(DATDefectOf(d)->errorCode));
      }
    }
    KillErrorList(list);
  }
  void Close() override {}
  void ShowNotice(const char* text) override { notices.emplace_back(text); }
  bool AskYesNo(const char*) override { return false; }

  bool master = true;
  std::set<Finding> found;
  std::vector<std::string> datFindings;
  std::vector<std::string> notices;
};

class RealDirectoryTest : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    original_ = fs::path(RealDataRoot()) / GetParam();
    for (const auto& [name, bytes] : FilesOf(original_)) {
      // Stored under the original names, whose case the core must cope with.
      for (const auto& entry : fs::directory_iterator(original_)) {
        if (Lower(entry.path().filename().string()) == name)
          testing_support::WriteBytes(copy_.Path(entry.path().filename().string()), bytes);
      }
    }
    files_ = FilesOf(fs::path(copy_.Path("")));
    const Bytes& master = files_.at("master");
    for (size_t at = kMasterRecordSize; at + kMasterRecordSize <= master.size(); at += kMasterRecordSize) {
      MasterRecord record;
      std::copy(master.begin() + static_cast<long>(at),
                master.begin() + static_cast<long>(at + kMasterRecordSize), record.raw);
      records_.push_back(record);
    }
  }
  void TearDown() override {
    // Nothing here changes files.
    EXPECT_EQ(FilesOf(fs::path(copy_.Path(""))), files_);
  }

  const Bytes* DataFile(int fileNumber) const {
    auto found = files_.find("f" + std::to_string(fileNumber) + ".dat");
    return found == files_.end() ? nullptr : &found->second;
  }
  bool HasFile(int fileNumber, const char* extension) const {
    return files_.count("f" + std::to_string(fileNumber) + extension) == 1;
  }

  fs::path original_;
  TempDir copy_;
  std::map<std::string, Bytes> files_;  // of the copy, by lower-case name
  std::vector<MasterRecord> records_;
};

TEST_P(RealDirectoryTest, ListsEveryInstrumentWithWhetherItsDataFileExists) {
  fixtures::RecordingListBox box;
  ListInstruementsInDirectory(box, copy_.Dir().c_str());
  size_t listed = 0;
  for (const MasterRecord& record : records_) {
    if (record.NameIsHidden()) continue;
    ASSERT_LT(listed, box.items.size());
    const auto& item = box.items[listed++];
    EXPECT_EQ(item.data, record.FileNumber());
    const bool exists = DataFile(record.FileNumber()) != nullptr;
    EXPECT_NE(item.text.find(exists ? "\tFile Exists" : "\tNon-Existant"), std::string::npos) << item.text;
    EXPECT_EQ(item.text.rfind(
                  record.Name() + "\t" + record.Symbol() + "\tF" + std::to_string(record.FileNumber()), 0),
              0u)
        << item.text;
  }
  EXPECT_EQ(listed, box.items.size());
}

TEST_P(RealDirectoryTest, TheProbesAgreeWithEveryMasterRecord) {
  for (const MasterRecord& record : records_) {
    if (DataFile(record.FileNumber()) == nullptr) continue;
    SCOPED_TRACE("F" + std::to_string(record.FileNumber()) + " " + record.Name());
    EXPECT_EQ(AscertainRecordLength(copy_.Dir().c_str(), record.FileNumber()), record.RecordLength());
    EXPECT_EQ(IsIntra(copy_.Dir().c_str(), record.FileNumber()), record.Period() == 'I' ? 1 : 0);
  }
}

// Every cell as the editor loads it: dates that read back as themselves
// through the typed form (this century's included), times, and numbers that
// are not corrupt.
TEST_P(RealDirectoryTest, EveryCellShowsAsASoundValue) {
  for (const MasterRecord& record : records_) {
    if (DataFile(record.FileNumber()) == nullptr) continue;
    SCOPED_TRACE("F" + std::to_string(record.FileNumber()));
    EditorState state;
    fixtures::ScriptedInteraction ui;
    ASSERT_EQ(OpenEditorSession(&state.session, copy_.Dir().c_str(), record.FileNumber(), ui), 1);
    ASSERT_GT(DataRecordCount(state.session), 0);
    for (int32_t r = 0; r < DataRecordCount(state.session); ++r) {
      for (int c = 0; c < FieldCount(state); ++c) {
        state.currentRecord = r;
        state.currentColumn = static_cast<uint16_t>(c);
        ASSERT_EQ(LoadCellEdit(state), 1) << "record " << r << " column " << c;
        const std::string& text = state.editText;
        switch (FieldTypeOf(state, c)) {
          case FieldType::Date: {
            const float date = MakeDateFromString(text.c_str());
            ASSERT_NE(date, -1.0f) << "record " << r << ": " << text;
            EXPECT_EQ(StrDate(date), text) << "record " << r;
            break;
          }
          case FieldType::Time:
            ASSERT_NE(MakeTimeFromString(text.c_str()), -1.0f) << "record " << r << ": " << text;
            break;
          default: {
            // Not corrupt in the file, and shown as its value.
            const Bytes& data = *DataFile(record.FileNumber());
            const float value =
                MBF_IEEE(Word(data, (static_cast<size_t>(r) + 1) * record.RecordLength() + 4 * c));
            EXPECT_GE(value, 0.0f) << "record " << r << " column " << c << " is corrupt";
            char shown[64];
            std::snprintf(shown, sizeof shown, "%.2f", static_cast<double>(value));
            EXPECT_EQ(text, shown) << "record " << r << " column " << c;
            break;
          }
        }
      }
    }
  }
}

TEST_P(RealDirectoryTest, TheDATTestFindsNothingInConsistentData) {
  for (const MasterRecord& record : records_) {
    if (DataFile(record.FileNumber()) == nullptr) continue;
    SCOPED_TRACE("F" + std::to_string(record.FileNumber()));
    Findings report;
    report.master = false;
    TestDATFile(copy_.Dir().c_str(), report, kDATDialogOrder, kDATTestCount, record);
    EXPECT_EQ(report.datFindings, std::vector<std::string>{});
    EXPECT_EQ(report.notices, std::vector<std::string>{kNoErrorsFoundText});
  }
}

// The defects the bytes show: a missing data or column file (codes 0, 1), and
// a master first or last date that differs from the data file's (codes 4, 5).
std::set<Finding> DefectsInTheBytes(const std::vector<MasterRecord>& records,
                                    const std::function<const Bytes*(int)>& dataFile,
                                    const std::function<bool(int, const char*)>& hasFile) {
  std::set<Finding> defects;
  for (const MasterRecord& record : records) {
    const int n = record.FileNumber();
    if (!hasFile(n, ".dat")) defects.insert({n, 0});
    if (!hasFile(n, ".dop")) defects.insert({n, 1});
    const Bytes* data = dataFile(n);
    const size_t L = record.RecordLength();
    if (data == nullptr || data->size() < 2 * L || record.FieldCount() < 4 || record.FieldCount() > 8)
      continue;
    if (MBF_IEEE(Word(*data, L)) != MBF_IEEE(record.FirstDateWord())) defects.insert({n, 4});
    if (MBF_IEEE(Word(*data, data->size() - L)) != MBF_IEEE(record.LastDateWord())) defects.insert({n, 5});
  }
  return defects;
}

TEST_P(RealDirectoryTest, TheMasterTestReportsExactlyTheDefectsTheBytesShow) {
  Findings report;
  TestMasterFile(copy_.Dir().c_str(), report, kMasterDialogOrder, kMasterTestCount, 0, 0, 0);
  const std::set<Finding> expected = DefectsInTheBytes(
      records_, [&](int n) { return DataFile(n); }, [&](int n, const char* e) { return HasFile(n, e); });
  EXPECT_EQ(report.found, expected);
  if (expected.empty()) {
    EXPECT_EQ(report.notices, std::vector<std::string>{kNoErrorsFoundText});
  }
}

INSTANTIATE_TEST_SUITE_P(Directories, RealDirectoryTest, ::testing::ValuesIn(RealDirectories()),
                         [](const ::testing::TestParamInfo<std::string>& param) {
                           std::string name = param.param;
                           for (char& c : name) {
                             if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                           }
                           return name;
                         });
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(RealDirectoryTest);

// Real daily files from before opens were recorded carry an open of 0 (no
// open price); the open tests pass it and still judge a real open.
TEST(RealData, AnOpenOfZeroIsNoOpenPriceForTheOpenTests) {
  TempDir dir;
  const fixtures::MasterEntry entry{.fileNumber = 1, .fieldCount = 6};
  fixtures::WriteMaster(dir, fixtures::MasterBuilder().Add(entry));
  fixtures::WriteDat(dir, 1,
                     fixtures::DatBuilder::ForFields(6)
                         .Values({fixtures::StoredDate(1986, 12, 17), 0, 1.25f, 1.2f, 1.22f, 100})
                         .Values({fixtures::StoredDate(1986, 12, 18), 1.1f, 1.25f, 1.2f, 1.22f, 100}));
  Findings report;
  report.master = false;
  const int32_t codes[] = {4, 5};
  TestDATFile(dir.Dir().c_str(), report, codes, 2, entry.Record());
  EXPECT_EQ(report.datFindings, std::vector<std::string>{"record 1 column 1: Open < Low"});
}

TEST(RealData, DirectoriesArePresent) {
  if (RealDataRoot().empty()) {
    GTEST_SKIP() << "no real data: set QUORVEX_REALDATA to a directory of data directories (default "
                 << QUORVEX_REALDATA_DIR << ", which is not there)";
  }
  EXPECT_FALSE(RealDirectories().empty()) << RealDataRoot() << " holds no directory with a master file";
}

}  // namespace
