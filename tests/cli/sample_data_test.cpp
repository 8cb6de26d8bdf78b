#include "sample_data.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "browser/directory_scan.h"
#include "fixtures.h"
#include "primitives/dates.h"
#include "primitives/mbf.h"
#include "store/dat_file.h"
#include "store/master_file.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using fixtures::Col;
using testing_support::Bytes;

// The tree written once for the whole suite.
class SampleDataTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    root_ = new testing_support::TempDir;
    std::string error;
    ASSERT_TRUE(sample::WriteSampleData(root_->Dir(), &error)) << error;
  }
  static void TearDownTestSuite() {
    delete root_;
    root_ = nullptr;
  }

  static std::string Native(const std::string& relative) { return root_->Path(relative); }
  static std::string CoreDir(const std::string& relative) {
    std::string dir = root_->Dir();
    for (char c : relative) dir += c == '/' ? '\\' : c;
    return dir + "\\";
  }
  static Bytes Read(const std::string& relative) { return testing_support::ReadBytes(Native(relative)); }
  static std::string DatName(const sample::SampleInstrument& i) {
    return i.directory + "/F" + std::to_string(i.fileNumber) + ".DAT";
  }

  static testing_support::TempDir* root_;
};
testing_support::TempDir* SampleDataTest::root_ = nullptr;

float ValueAt(const Bytes& dat, int recordLength, int record, int column) {
  return MBF_IEEE(LoadMbfWord(&dat[static_cast<size_t>((record + 1) * recordLength + 4 * column)]));
}

using DatFinding = std::tuple<int32_t, int, int>;  // record, column, code

// The DAT defect rules, written out independently of the integrity code, so
// that the sample's table of who carries what can be checked on its own.
std::set<DatFinding> FindDatDefects(const Bytes& dat, int fieldCount, char period) {
  const std::vector<Col> columns = fixtures::LayoutColumns(fieldCount, period);
  const int length = 4 * fieldCount;
  auto at = [&](Col col) {
    auto it = std::find(columns.begin(), columns.end(), col);
    return it == columns.end() ? -1 : static_cast<int>(it - columns.begin());
  };
  const int date = at(Col::Date), time = at(Col::Time), open = at(Col::Open), high = at(Col::High),
            low = at(Col::Low), close = at(Col::Close);
  std::set<DatFinding> found;
  const int records = static_cast<int>(dat.size()) / length - 1;
  for (int r = 0; r < records; ++r) {
    std::vector<float> v(columns.size());
    for (size_t c = 0; c < columns.size(); ++c) v[c] = ValueAt(dat, length, r, static_cast<int>(c));
    for (size_t c = 0; c < columns.size(); ++c) {
      if (v[c] < 0) found.insert({r, static_cast<int>(c), 0});
    }
    auto above = [&](int a, int b) { return a >= 0 && b >= 0 && v[a] >= 0 && v[b] >= 0 && v[a] > v[b]; };
    if (above(low, high)) found.insert({r, low, 1});
    if (above(close, high)) found.insert({r, close, 2});
    if (above(low, close)) found.insert({r, low, 3});
    if (above(low, open)) found.insert({r, open, 4});
    if (above(open, high)) found.insert({r, open, 5});
    if (v[date] >= 0 && !IsValidFloatDate(v[date])) found.insert({r, date, 6});
    if (time >= 0 && v[time] >= 0 && !IsValidFloatTime(v[time])) found.insert({r, time, 7});
    if (r == 0) continue;
    const float previousDate = ValueAt(dat, length, r - 1, date);
    if (!IsValidFloatDate(previousDate)) continue;
    if (v[date] >= 0 && (period == 'I' ? previousDate > v[date] : previousDate >= v[date])) {
      found.insert({r, 0, 8});
    }
    if (period == 'I') {
      const float previousTime = ValueAt(dat, length, r - 1, time);
      if (previousDate > v[date] ||
          (previousDate == v[date] && IsValidFloatTime(previousTime) && previousTime > v[time])) {
        found.insert({r, 0, 9});
      }
    }
  }
  return found;
}

using MasterFinding = std::pair<int, int>;  // file number (0: header), code

// The master defect rules, likewise written out on their own.
std::set<MasterFinding> FindMasterDefects(const std::string& nativeDir, const Bytes& master) {
  std::set<MasterFinding> found;
  const int actual = static_cast<int>(master.size()) / 53 - 1;
  const int reported = static_cast<int16_t>(master[0] | master[1] << 8);
  if (reported < 0 || reported > actual) found.insert({0, 8});
  if (reported >= 0 && reported < actual) found.insert({0, 9});
  for (int i = 1; i <= actual; ++i) {
    const uint8_t* rec = &master[static_cast<size_t>(53 * i)];
    const int n = rec[0], length = rec[3], fields = rec[4];
    const char period = static_cast<char>(rec[33]);
    const int16_t timeBase = static_cast<int16_t>(rec[34] | rec[35] << 8);
    const std::string dat = nativeDir + "/F" + std::to_string(n) + ".DAT";
    if (!fs::exists(dat)) found.insert({n, 0});
    if (!fs::exists(nativeDir + "/F" + std::to_string(n) + ".DOP")) found.insert({n, 1});
    if ((rec[1] | rec[2] << 8) != 101) found.insert({n, 2});
    if (length != 4 * fields) found.insert({n, 3});
    if (fields >= 4 && fields <= 8 && fs::exists(dat)) {
      Bytes data = testing_support::ReadBytes(dat);
      if (MBF_IEEE(LoadMbfWord(&data[length])) != MBF_IEEE(LoadMbfWord(rec + 25))) found.insert({n, 4});
      if (MBF_IEEE(LoadMbfWord(&data[data.size() - length])) != MBF_IEEE(LoadMbfWord(rec + 29))) {
        found.insert({n, 5});
      }
    }
    if ((period == 'I' && timeBase < 0) ||
        (std::string("DWM").find(period) != std::string::npos && timeBase != 0)) {
      found.insert({n, 6});
    }
    if (std::string("IDWM").find(period) == std::string::npos) found.insert({n, 7});
    if (rec[5] != 0 || rec[6] != 0) found.insert({n, 10});
    if (length != 16 && length != 20 && length != 24 && length != 28 && length != 32) found.insert({n, 11});
  }
  return found;
}

TEST_F(SampleDataTest, BuildingTwiceGivesTheSameBytes) {
  sample::SampleTree first = sample::BuildSampleTree();
  sample::SampleTree second = sample::BuildSampleTree();
  ASSERT_EQ(first.files.size(), second.files.size());
  for (size_t i = 0; i < first.files.size(); ++i) {
    EXPECT_EQ(first.files[i].path, second.files[i].path);
    EXPECT_TRUE(first.files[i].bytes == second.files[i].bytes) << first.files[i].path;
  }
}

// The same value natively and under Wine shows that the tree depends on no
// platform (no std:: distributions, no libm). A deliberate change of the
// sample changes this digest too.
TEST_F(SampleDataTest, TreeDigestIsTheSameOnEveryPlatform) {
  uint64_t digest = 14695981039346656037ull;
  auto mix = [&](uint8_t byte) { digest = (digest ^ byte) * 1099511628211ull; };
  for (const sample::SampleFile& file : sample::GetSampleTree().files) {
    for (char c : file.path) mix(static_cast<uint8_t>(c));
    for (uint8_t b : file.bytes) mix(b);
  }
  EXPECT_EQ(digest, 0xa11e2a3bc8ab8ddbull) << std::hex << digest;
}

TEST_F(SampleDataTest, WrittenFilesHoldTheTreesBytesAndAbsentFilesAreAbsent) {
  for (const sample::SampleFile& file : sample::GetSampleTree().files) {
    EXPECT_TRUE(Read(file.path) == file.bytes) << file.path;
  }
  for (const std::string& absent : sample::GetSampleTree().absentFiles)
    EXPECT_FALSE(fs::exists(Native(absent)));
  EXPECT_TRUE(fs::is_directory(Native("Nested/a/Scratch")));
}

TEST_F(SampleDataTest, TreeShowsEveryDataDirectoryAndHidesTheRest) {
  List* nodes = CreateList();
  ASSERT_EQ(ScanRootDirectory(nodes, root_->Dir().c_str()), 1);
  PruneDirTree(nodes);
  std::set<std::string> shown;
  WalkDirTree(nodes, [&](const DirNode& node, int) { shown.insert(node.path); });
  KillTreeData(nodes);
  KillList(nodes);
  std::set<std::string> expected = {root_->Dir()};
  for (const char* dir :
       {"Stocks", "Intraday", "Damaged", "Damaged/Data", "Damaged/Master", "Damaged/Header", "Nested",
        "Nested/a", "Nested/a/b", "Nested/a/b/c", "Nested/Archive of International Equities", "Empty"}) {
    expected.insert(CoreDir(dir));
  }
  EXPECT_EQ(shown, expected);
}

TEST_F(SampleDataTest, EmptyMasterHoldsOnlyAZeroHeader) {
  EXPECT_TRUE(Read("Empty/master") == Bytes(53, 0));
}

TEST_F(SampleDataTest, StocksAndIntradayCoverEveryLayoutAskedFor) {
  std::map<std::string, std::set<std::pair<int, char>>> layouts;
  for (const char* dir : {"Stocks", "Intraday"}) {
    Bytes master = Read(std::string(dir) + "/master");
    for (size_t offset = 53; offset + 53 <= master.size(); offset += 53) {
      layouts[dir].insert({master[offset + 4], static_cast<char>(master[offset + 33])});
    }
  }
  const std::set<std::pair<int, char>> stocks = {{5, 'D'}, {6, 'D'}, {7, 'D'}, {6, 'W'}, {5, 'M'}};
  const std::set<std::pair<int, char>> intraday = {{4, 'I'}, {7, 'I'}, {8, 'I'}};
  EXPECT_EQ(layouts["Stocks"], stocks);
  EXPECT_EQ(layouts["Intraday"], intraday);
}

TEST_F(SampleDataTest, StocksHoldDatesOfBothCenturies) {
  bool before2000 = false, after2000 = false;
  for (const sample::SampleInstrument& i : sample::GetSampleTree().instruments) {
    if (i.directory != "Stocks" || !i.hasDatFile) continue;
    Bytes dat = Read(DatName(i));
    for (int r = 0; r < i.records; ++r) {
      float date = ValueAt(dat, 4 * i.fieldCount, r, 0);
      (date < 1000000 ? before2000 : after2000) = true;
    }
  }
  EXPECT_TRUE(before2000);
  EXPECT_TRUE(after2000);
}

TEST_F(SampleDataTest, IntradayTimesLieWithinTradingHours) {
  for (const sample::SampleInstrument& i : sample::GetSampleTree().instruments) {
    if (i.directory != "Intraday") continue;
    Bytes dat = Read(DatName(i));
    ASSERT_GT(i.records, 20) << i.name;
    for (int r = 0; r < i.records; ++r) {
      float time = ValueAt(dat, 4 * i.fieldCount, r, 1);
      EXPECT_TRUE(time > 93000 && time <= 160000) << i.name << " record " << r;
    }
  }
}

TEST_F(SampleDataTest, DataFilesCarryExactlyTheDefectsTheTableNames) {
  std::map<std::pair<std::string, int>, std::set<DatFinding>> table;
  for (const sample::SampleDatDefect& d : sample::GetSampleTree().datDefects) {
    table[{d.directory, d.fileNumber}].insert({d.record, d.column, d.code});
  }
  std::set<int> codes;
  for (const sample::SampleInstrument& i : sample::GetSampleTree().instruments) {
    if (!i.hasDatFile) continue;
    std::set<DatFinding> found = FindDatDefects(Read(DatName(i)), i.fieldCount, i.period);
    EXPECT_EQ(found, (table[{i.directory, i.fileNumber}])) << DatName(i);
    for (const DatFinding& f : found) codes.insert(std::get<2>(f));
  }
  EXPECT_EQ(codes, (std::set<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
}

TEST_F(SampleDataTest, MasterFilesCarryExactlyTheDefectsTheTableNames) {
  std::map<std::string, std::set<MasterFinding>> table;
  for (const sample::SampleMasterDefect& d : sample::GetSampleTree().masterDefects) {
    table[d.directory].insert({d.fileNumber, d.code});
  }
  std::set<int> codes;
  for (const sample::SampleFile& file : sample::GetSampleTree().files) {
    if (fs::path(file.path).filename() != "master") continue;
    std::string dir = fs::path(file.path).parent_path().generic_string();
    std::set<MasterFinding> found = FindMasterDefects(Native(dir), file.bytes);
    EXPECT_EQ(found, table[dir]) << dir;
    for (const MasterFinding& f : found) codes.insert(f.second);
  }
  EXPECT_EQ(codes, (std::set<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}));
}

TEST_F(SampleDataTest, DataHeadersCountTheirRecords) {
  for (const sample::SampleInstrument& i : sample::GetSampleTree().instruments) {
    if (!i.hasDatFile) continue;
    Bytes dat = Read(DatName(i));
    EXPECT_EQ(dat.size(), static_cast<size_t>((i.records + 1) * 4 * i.fieldCount)) << DatName(i);
    EXPECT_EQ(dat[2] | dat[3] << 8, i.records + 1) << DatName(i);
  }
}

TEST_F(SampleDataTest, ColumnFilesAreWhatTheStoreWritesForTheLayout) {
  testing_support::TempDir scratch;
  for (const sample::SampleInstrument& i : sample::GetSampleTree().instruments) {
    if (!i.hasDopFile) continue;
    fixtures::MasterEntry entry{.fileNumber = static_cast<uint8_t>(i.fileNumber),
                                .fieldCount = static_cast<uint8_t>(i.fieldCount),
                                .period = i.period};
    ASSERT_EQ(CreateDOPFile(scratch.Dir().c_str(), entry.Record()), 1);
    std::string name = "F" + std::to_string(i.fileNumber) + ".DOP";
    EXPECT_TRUE(Read(i.directory + "/" + name) == testing_support::ReadBytes(scratch.Path(name)))
        << i.directory << "/" << name;
  }
}

TEST_F(SampleDataTest, ContentProbesAgreeWithEveryLayout) {
  for (const sample::SampleInstrument& i : sample::GetSampleTree().instruments) {
    if (!i.hasDatFile) continue;
    std::string dir = CoreDir(i.directory);
    EXPECT_EQ(IsIntra(dir.c_str(), i.fileNumber), i.period == 'I' ? 1 : 0) << DatName(i);
    EXPECT_EQ(AscertainRecordLength(dir.c_str(), i.fileNumber), 4 * i.fieldCount) << DatName(i);
  }
}

TEST_F(SampleDataTest, ListingShowsTheMissingDataFile) {
  fixtures::RecordingListBox box;
  ListInstruementsInDirectory(box, CoreDir("Stocks").c_str());
  ASSERT_EQ(box.items.size(), 6u);
  EXPECT_EQ(box.items[5].text, "FENWICK HOLDINGS\tFNWK\tF6\tDaily File\tNon-Existant");
  EXPECT_EQ(box.items[0].text, "ACME INDUSTRIES\tACME\tF1\tDaily File\tFile Exists");
}

}  // namespace
