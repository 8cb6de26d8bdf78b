// The store against data directories written by other programs (read in
// place, never copied): every instrument's record length and period, as its
// master record states them, must be what the probes find in its data file.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "fixtures.h"
#include "primitives/dates.h"
#include "store/dat_file.h"
#include "store/master_file.h"

namespace {

// The core's directory text for a real directory, or "" when it is absent.
std::string RealDirectory(const std::string& name) {
  const char* fromEnvironment = std::getenv("QUORVEX_REALDATA");
  std::string root = fromEnvironment && *fromEnvironment ? fromEnvironment : QUORVEX_REALDATA_DIR;
#ifdef _WIN32
  // Under Wine the Linux file system is drive Z:.
  if (!root.empty() && root[0] == '/') root = "Z:" + root;
#endif
  const std::filesystem::path path = std::filesystem::path(root) / name;
  std::error_code error;
  if (!std::filesystem::is_directory(path, error)) return "";
  std::string text = path.string();
  for (char& c : text) {
    if (c == '/') c = '\\';
  }
  return text + "\\";
}

// Every master record of the directory, in file order.
std::vector<MasterRecord> MasterRecords(const std::string& dir) {
  fixtures::RecordingListBox box;
  ListInstruementsInDirectory(box, dir.c_str());
  std::vector<MasterRecord> records;
  for (const auto& item : box.items) {
    MasterRecord record = {};
    if (GetMetaStockMasterRecord(dir.c_str(), item.data, &record)) records.push_back(record);
  }
  return records;
}

struct RealCase {
  const char* directory;
  size_t instruments;
  int intraday;
};

void PrintTo(const RealCase& c, std::ostream* os) {
  *os << c.directory;
}

class RealDataTest : public ::testing::TestWithParam<RealCase> {};

TEST_P(RealDataTest, ProbesAgreeWithEveryMasterRecord) {
  const RealCase& c = GetParam();
  const std::string dir = RealDirectory(c.directory);
  if (dir.empty()) {
    GTEST_SKIP() << "real data directory " << c.directory << " not found under " << QUORVEX_REALDATA_DIR
                 << " (set QUORVEX_REALDATA to its parent to run this test)";
  }
  const std::vector<MasterRecord> records = MasterRecords(dir);
  ASSERT_EQ(records.size(), c.instruments);
  for (const MasterRecord& record : records) {
    const int n = record.FileNumber();
    SCOPED_TRACE("F" + std::to_string(n) + " " + record.Name());
    EXPECT_EQ(AscertainRecordLength(dir.c_str(), n), record.RecordLength());
    EXPECT_EQ(IsIntra(dir.c_str(), n), record.Period() == 'I' ? 1 : 0);
    EXPECT_EQ(IsIntra(dir.c_str(), n), c.intraday);
    DATLayout layout;
    EXPECT_EQ(AssignFieldTypes(&layout, record), 1);
    const float first = GetDATStartDate(dir.c_str(), n, record);
    const float last = GetDATEndDate(dir.c_str(), n, record);
    EXPECT_EQ(IsValidFloatDate(first), 1) << first;
    EXPECT_EQ(IsValidFloatDate(last), 1) << last;
    EXPECT_LE(first, last);
  }
}

INSTANTIATE_TEST_SUITE_P(Directories, RealDataTest,
                         ::testing::Values(RealCase{"bbfinance", 40, 0}, RealCase{"stooq", 1, 1},
                                           RealCase{"equis_b", 2, 0}),
                         [](const ::testing::TestParamInfo<RealCase>& param) {
                           return std::string(param.param.directory);
                         });

}  // namespace
