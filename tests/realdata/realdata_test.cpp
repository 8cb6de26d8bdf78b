// Data directories written by other programs (below QUORVEX_REALDATA, else the
// build's default), each copied to a scratch directory as the originals may be
// read-only: probed and tested report-only, the master test finding exactly
// the defects the bytes show, and no byte changed; every instrument listed;
// every value exported as stored.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <set>
#include <sstream>
#include <tuple>

#include "filelayer/file_guard.h"
#include "integrity/dat_checks.h"
#include "integrity/master_checks.h"
#include "primitives/dates.h"
#include "primitives/mbf.h"
#include "store/dat_file.h"
#include "store/directory_instruments.h"
#include "store/master_file.h"
#include "store/record_import.h"
#include "support/export_rows.h"
#include "support/fixtures.h"
#include "support/program_runner.h"
#include "support/report_fixture.h"
#include "support/scenes.h"

namespace {

namespace fs = std::filesystem;
using namespace fixtures;

fs::path Root() {
  const char* set = std::getenv("QUORVEX_REALDATA");
  return testing_support::HostPath(set && *set ? set : QUORVEX_REALDATA_DIR);
}

std::vector<std::string> Directories() {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& directory : fs::directory_iterator(Root(), error)) {
    if (directory.is_directory() && StateOf(TakeSnapshot(directory.path().string()), "master"))
      names.push_back(directory.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

void CopyDirectory(const std::string& directory, const TempDir& copy) {
  for (const auto& file : fs::directory_iterator(Root() / directory)) {
    const std::string name = copy.Path(file.path().filename().string());
    fs::copy_file(file.path(), name), fs::permissions(name, fs::perms::owner_read | fs::perms::owner_write);
  }
}

class RealDirectory : public ::testing::TestWithParam<std::string> {};

TEST_P(RealDirectory, IsProbedShownAndTestedAsItsBytesSay) {
  TempDir copy;
  CopyDirectory(GetParam(), copy);
  const char* dir = copy.Dir().c_str();
  const Snapshot before = TakeSnapshot(copy.Path(""));
  std::set<std::pair<int, int>> shown, found;  // {file number, master code}
  for (const Bytes& raw : ViewMaster(before).records) {
    MasterRecord record;
    std::copy(raw.begin(), raw.end(), record.raw);
    const int n = record.FileNumber();
    SCOPED_TRACE("F" + std::to_string(n) + " " + record.Name());
    const std::optional<Bytes> data = StateOf(before, "F" + std::to_string(n) + ".DAT");
    if (!StateOf(before, "F" + std::to_string(n) + ".DOP")) shown.insert({n, 1});
    if (!data) {
      shown.insert({n, 0});
      continue;
    }
    const size_t length = record.RecordLength();
    const auto date = [&](size_t r) { return MBF_IEEE(LoadMbfWord(&data->at(r * length))); };
    if (date(1) != MBF_IEEE(record.FirstDateWord())) shown.insert({n, 4});
    if (date(data->size() / length - 1) != MBF_IEEE(record.LastDateWord())) shown.insert({n, 5});
    EXPECT_EQ(AscertainRecordLength(dir, n), length);
    EXPECT_EQ(IsIntra(dir, n), record.Period() == 'I' ? 1 : 0);
    const float first = GetDATStartDate(dir, n, record), last = GetDATEndDate(dir, n, record);
    EXPECT_TRUE(IsValidFloatDate(first) && IsValidFloatDate(last) && first <= last) << first << " " << last;
    integrity_testing::Report datTest;
    TestDATFile(dir, datTest, kDATDialogOrder, kDATTestCount, record);
    EXPECT_EQ(datTest.events, integrity_testing::kNothingFound);
  }
  integrity_testing::Report masterTest;
  TestMasterFile(dir, masterTest, kMasterDialogOrder, kMasterTestCount, 0, 0, 0);
  for (const auto& [n, code, repaired] : masterTest.Found(true)) found.insert({n, code});
  EXPECT_EQ(found, shown);
  EXPECT_EQ(TakeSnapshot(copy.Path("")), before);
}

// Every record of every instrument exported, each value reading back as the float stored, nothing reported.
TEST_P(RealDirectory, ExportsEveryValueAsStored) {
  TempDir copy;
  CopyDirectory(GetParam(), copy);
  const Snapshot files = TakeSnapshot(copy.Path(""));
  int64_t records = 0;
  for (const DirectoryInstrument& i : ReadDirectoryInstruments(copy.Dir().c_str()).instruments) {
    const std::optional<Bytes> data = StateOf(files, i.dataFileName.substr(copy.Dir().size()));
    records += data ? int64_t(data->size()) / i.layout.RecordLength() - 1 : 0;
  }
  std::vector<std::string> warnings;
  EXPECT_EQ(testing_support::ExpectRowsAsStored(testing_support::ExportedText({copy.Dir()}, {}, &warnings)),
            records);
  EXPECT_EQ(warnings, std::vector<std::string>());
  // Each of master's instruments exported alone (the two layouts in turn) and imported into a second copy
  // whose data files keep their header alone: every data file comes back byte for byte.
  TempDir again;
  CopyDirectory(GetParam(), again);
  int imported = 0;
  for (const MasterRecord& record : ReadMasterRecords(copy.Dir().c_str())) {
    const int n = record.FileNumber();
    const std::optional<Bytes> data = StateOf(files, "F" + std::to_string(n) + ".DAT");
    if (!data) continue;
    testing_support::WriteBytes(again.Path("F" + std::to_string(n) + ".DAT"),
                                Bytes(data->begin(), data->begin() + record.RecordLength()));
    const ExportOptions options{.layout = imported++ % 2 ? TextLayout::MetaStock : TextLayout::Table};
    WriteText(copy.Path("out.csv"), testing_support::ExportedText({copy.Dir()}, options, &warnings, n));
    ImportResult result;
    std::string fault;
    EXPECT_TRUE(ImportRecords(again.Dir().c_str(), n, copy.Name("out.csv").c_str(), ImportMode::Replace,
                              CodePage::Windows1252, &result, &fault))
        << "F" << n << ": " << fault;
  }
  const Snapshot after = TakeSnapshot(again.Path(""));
  for (const auto& [name, bytes] : files) {
    if (!name.ends_with(".DAT")) continue;
    EXPECT_TRUE(StateOf(after, name) == bytes) << name << ": not every byte came back";
  }
  EXPECT_GT(imported, 0);
}

INSTANTIATE_TEST_SUITE_P(Directories, RealDirectory, ::testing::ValuesIn(Directories()),
                         [](const auto& p) { return p.param; });
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(RealDirectory);

// equis_b: each instrument, with the records of its data file read of all; bbfinance: master's.
TEST(RealData, IndexFilesListEveryInstrument) {
  if (!fs::is_directory(Root() / "equis_b") || !fs::is_directory(Root() / "bbfinance")) GTEST_SKIP();
  TempDir indexed, bbfinance;
  CopyDirectory("equis_b", indexed), CopyDirectory("bbfinance", bbfinance);
  const DirectoryInstruments model = ReadDirectoryInstruments(indexed.Dir().c_str());
  std::vector<std::string> listed;
  for (const DirectoryInstrument& i : model.instruments) {
    const int length = i.layout.RecordLength();
    FileGuard data(SOpenFile(i.dataFileName.c_str(), kOpenReadOnly, kOpenShared, uint32_t(length), 0));
    int16_t day, month, year;
    int32_t k = 0;
    while (GetDate(data.Get(), i.layout, k, &day, &month, &year)) ++k;
    listed.push_back("F" + std::to_string(i.fileNumber) + " " + i.symbol + "|" + i.name + " " +
                     std::to_string(k) + "/" + std::to_string(FileLength(data.Get()) / length - 1));
  }
  EXPECT_EQ(listed,
            (std::vector<std::string>{"F1 .DJX|1/100 Dow Jones INDU 1/1", "F2 .FCHI|CAC 40 INDICE 2/2",
                                      "F256 AZM.L|AZM.L 1/1", "F2853 .N225|NIKKEI 225 INDEX 2/2"}));
  EXPECT_TRUE(model.emaster.Sound() && model.xmaster.Sound());
  const DirectoryInstruments refused = ReadDirectoryInstruments(bbfinance.Dir().c_str());
  ASSERT_EQ(refused.xmaster.findings.size(), 1u);
  EXPECT_EQ(std::tuple(refused.instruments.size(), refused.xmaster.findings[0].text),
            std::tuple(40u, "XMASTER is not an XMASTER file (it starts with text)"));
}

// qvx check of them all: what today's writers leave out (DOP files) or let lag (master's dates) weighs as
// "Problems Possible", so only --fail-on possible or any fails on it; bbfinance's EMASTER lags master and its
// XMASTER is a line of text, which --ignore index leaves out.
TEST(RealData, CheckFailsOnlyOnTheLevelAskedFor) {
  if (Directories().empty()) GTEST_SKIP();
  const std::pair<std::string, int> runs[] = {{"", 0},
                                              {"--fail-on any", 1},
                                              {"--ignore master:1,master:4,master:5 --fail-on any", 1},
                                              {"--ignore master:1,master:4,master:5,index --fail-on any", 0}};
  for (const auto& [options, status] : runs) {
    std::vector<std::string> args{"check", Root().string()};
    std::istringstream words(options);
    for (std::string word; words >> word;) args.push_back(word);
    const testing_support::ProgramRun run = testing_support::RunProgram(QVX_PROGRAM, args);
    EXPECT_EQ(std::tie(run.status, run.err), std::tie(status, "")) << options;
    EXPECT_NE(run.out.find("\nBy severity: 0 Problems Always, "), std::string::npos) << options << run.out;
  }
}

TEST(RealData, DirectoriesArePresent) {
  if (!fs::is_directory(Root()))
    GTEST_SKIP() << "no real data: set QUORVEX_REALDATA (" << Root() << " is not there)";
  EXPECT_FALSE(Directories().empty()) << Root() << " holds no directory with a master file";
}

}  // namespace
