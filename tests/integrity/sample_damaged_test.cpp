// The bundled sample tree: every defect its Damaged directories carry is
// found where the tree says, and nothing else is.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <tuple>

#include "integrity/dat_test.h"
#include "integrity/master_test.h"
#include "integrity_test_support.h"
#include "sample_data.h"
#include "store/master_file.h"
#include "support/temp_dir.h"

namespace {

using integrity_testing::DATFoundOrder;
using integrity_testing::MasterFoundOrder;
using integrity_testing::RecordingReport;
using integrity_testing::Snapshot;
using testing_support::TempDir;

class SampleTreeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(sample::WriteSampleData(root_.Path(""), &error)) << error;
  }
  std::string Core(const std::string& directory) const { return root_.Dir() + directory + "\\"; }
  bool HasMasterDefect(const sample::SampleInstrument& instrument) const {
    return std::any_of(tree_.masterDefects.begin(), tree_.masterDefects.end(), [&](const auto& d) {
      return d.directory == instrument.directory && d.fileNumber == instrument.fileNumber;
    });
  }
  std::set<std::string> DataDirectories() const {
    std::set<std::string> directories;
    for (const auto& instrument : tree_.instruments) directories.insert(instrument.directory);
    return directories;
  }
  void RunMaster(RecordingReport& report, const std::string& directory, const std::vector<int32_t>& codes,
                 int repair = 0, int create = 0) {
    TestMasterFile(Core(directory).c_str(), report, codes.data(), static_cast<int>(codes.size()), repair, 0,
                   create);
  }

  TempDir root_;
  const sample::SampleTree& tree_ = sample::GetSampleTree();
};

const std::vector<int32_t> kEveryMasterCode = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};

TEST_F(SampleTreeTest, DATTestFindsExactlyTheDefectsEachDataFileCarries) {
  std::set<int32_t> codes;
  for (const sample::SampleInstrument& instrument : tree_.instruments) {
    if (!instrument.hasDatFile || HasMasterDefect(instrument)) continue;
    MasterRecord record{};
    ASSERT_EQ(GetMetaStockMasterRecord(Core(instrument.directory).c_str(), instrument.fileNumber, &record),
              1);
    RecordingReport report;
    TestDATFile(Core(instrument.directory).c_str(), report, kDATDialogOrder, kDATTestCount, record);
    std::set<std::tuple<int32_t, int, int32_t>> expected, found;
    for (const auto& d : tree_.datDefects) {
      if (d.directory == instrument.directory && d.fileNumber == instrument.fileNumber) {
        expected.insert({d.record, d.column, d.code});
      }
    }
    for (const auto& f : DATFoundOrder(report.list)) {
      found.insert({f.record, f.column, f.code});
      codes.insert(f.code);
    }
    EXPECT_EQ(found, expected) << instrument.directory << " F" << instrument.fileNumber;
  }
  EXPECT_EQ(codes, (std::set<int32_t>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
}

TEST_F(SampleTreeTest, MasterTestFindsExactlyTheDefectsEachDirectoryCarries) {
  std::set<int32_t> codes;
  for (const std::string& directory : DataDirectories()) {
    RecordingReport report;
    RunMaster(report, directory, kEveryMasterCode);
    std::multiset<std::pair<int32_t, int32_t>> expected, found;
    for (const auto& d : tree_.masterDefects) {
      if (d.directory == directory) expected.insert({d.fileNumber, d.code});
    }
    for (const auto& f : MasterFoundOrder(report.list)) {
      found.insert({f.fileNumber, f.code});
      codes.insert(f.code);
    }
    EXPECT_EQ(found, expected) << directory;
  }
  EXPECT_EQ(codes, (std::set<int32_t>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}));
}

TEST_F(SampleTreeTest, RemoteMasterTestsChangeNoByteOfTheTree) {
  const auto before = Snapshot(root_.Path(""));
  for (const std::string& directory : DataDirectories()) {
    RecordingReport report;
    RunMaster(report, directory, kEveryMasterCode);
  }
  EXPECT_EQ(Snapshot(root_.Path("")), before);
}

TEST_F(SampleTreeTest, RepairingDamagedMasterRepairsEveryDefect) {
  RecordingReport report;
  RunMaster(report, "Damaged/Master",
            std::vector<int32_t>(std::begin(kMasterDialogOrder), std::end(kMasterDialogOrder)), 1, 1);
  ASSERT_NE(report.list, nullptr);
  for (const auto& f : MasterFoundOrder(report.list)) EXPECT_EQ(f.repaired, 1) << f;
  EXPECT_TRUE(report.questions.empty());
}

}  // namespace
