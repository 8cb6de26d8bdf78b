// The bundled sample tree: the DAT and master tests find every defect its
// Damaged directories carry where the tree says and nothing else, without
// changing a byte; repairing its damaged master repairs every defect.
#include <gtest/gtest.h>

#include <set>

#include "integrity/dat_test.h"
#include "integrity/master_test.h"
#include "report_fixture.h"
#include "sample_data.h"
#include "store/master_file.h"
#include "support/scenes.h"

TEST(SampleTree, TheTestsFindExactlyTheDefectsTheTreeCarries) {
  const testing_support::TempDir root;
  std::string error;
  ASSERT_TRUE(sample::WriteSampleData(root.Path(""), &error)) << error;
  const fixtures::Snapshot before = fixtures::TakeSnapshot(root.Path(""));
  const sample::SampleTree& tree = sample::GetSampleTree();
  // {directory, file number, record, column, code}; master defects have no record or column.
  std::multiset<std::tuple<std::string, int, int, int, int>> expected, found;
  std::set<std::pair<std::string, int>> damagedInMaster;
  for (const auto& d : tree.datDefects)
    expected.insert({d.directory, d.fileNumber, d.record, d.column, d.code});
  for (const auto& d : tree.masterDefects) {
    expected.insert({d.directory, d.fileNumber, -1, -1, d.code});
    damagedInMaster.insert({d.directory, d.fileNumber});
  }
  std::set<std::string> directories;
  for (const sample::SampleInstrument& instrument : tree.instruments) {
    const std::string dir = root.Dir() + instrument.directory + "\\";
    MasterRecord record{};
    integrity_testing::Report report;
    if (directories.insert(instrument.directory).second) {
      TestMasterFile(dir.c_str(), report, kMasterDialogOrder, kMasterTestCount, 0, 0, 0);
      for (const auto& [n, code, repaired] : report.Found(true))
        found.insert({instrument.directory, n, -1, -1, code});
    }
    // A record damaged in master may read its data file wrongly.
    if (!instrument.hasDatFile || damagedInMaster.count({instrument.directory, instrument.fileNumber}))
      continue;
    integrity_testing::Report dat;
    ASSERT_TRUE(GetMetaStockMasterRecord(dir.c_str(), instrument.fileNumber, &record));
    TestDATFile(dir.c_str(), dat, kDATDialogOrder, kDATTestCount, record);
    for (const auto& [r, code, column] : dat.Found(false))
      found.insert({instrument.directory, instrument.fileNumber, r, column, code});
  }
  EXPECT_EQ(found, expected);
  EXPECT_EQ(fixtures::TakeSnapshot(root.Path("")), before);
  integrity_testing::Report repairing;
  TestMasterFile((root.Dir() + "Damaged/Master\\").c_str(), repairing, kMasterDialogOrder, kMasterTestCount,
                 1, 0, 1);
  ASSERT_GT(repairing.Found(true).size(), 10u);
  for (const auto& [n, code, repaired] : repairing.Found(true))
    EXPECT_EQ(repaired, 1) << "F" << n << " code " << code;
}
