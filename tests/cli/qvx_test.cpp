// End-to-end runs of the qvx program: exact stdout lines, stderr and exit
// statuses. In the Windows build the program is qvx.exe, started under Wine by
// this test (itself running under Wine).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "filelayer/platform_file.h"
#include "fixtures.h"
#include "integrity/messages.h"
#include "support/program_runner.h"
#include "support/temp_dir.h"

#ifndef QVX_PROGRAM
#error "QVX_PROGRAM must name the qvx executable"
#endif

namespace {

namespace fs = std::filesystem;
using fixtures::DatBuilder;
using fixtures::MasterBuilder;
using fixtures::MasterEntry;
using fixtures::StoredDate;
using fixtures::StoredTime;

using QvxRun = testing_support::ProgramRun;

// Runs the qvx built beside this test; stdin is empty.
QvxRun Qvx(const std::vector<std::string>& args) { return testing_support::RunProgram(QVX_PROGRAM, args); }

std::string Lines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return text;
}

// The sample tree, written once by qvx itself.
class QvxTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    sample_ = new testing_support::TempDir;
    QvxRun run = Qvx({"sample", sample_->Path("tree")});
    ASSERT_EQ(run.status, 0) << run.err;
    ASSERT_EQ(run.out, "");
  }
  static void TearDownTestSuite() {
    delete sample_;
    sample_ = nullptr;
  }
  // A directory of the sample as typed on a command line (native, no
  // trailing separator).
  static std::string Sample(const std::string& relative = "") {
    std::string path = sample_->Path("tree");
    if (!relative.empty()) path = (fs::path(path) / fs::path(relative)).make_preferred().string();
    return path;
  }

  static testing_support::TempDir* sample_;
  testing_support::TempDir scratch_;
};
testing_support::TempDir* QvxTest::sample_ = nullptr;

std::vector<fs::path> FilesBelow(const fs::path& root) {
  std::vector<fs::path> files;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    if (entry.is_regular_file()) files.push_back(fs::relative(entry.path(), root));
  }
  std::sort(files.begin(), files.end());
  return files;
}

TEST_F(QvxTest, SampleWritesTheSameBytesInEveryRun) {
  QvxRun run = Qvx({"sample", scratch_.Path("again")});
  ASSERT_EQ(run.status, 0) << run.err;
  const fs::path first(Sample()), second(scratch_.Path("again"));
  std::vector<fs::path> files = FilesBelow(first);
  ASSERT_EQ(files, FilesBelow(second));
  ASSERT_GT(files.size(), 40u);
  for (const fs::path& file : files) {
    EXPECT_TRUE(testing_support::ReadBytes((first / file).string()) ==
                testing_support::ReadBytes((second / file).string()))
        << file;
  }
}

TEST_F(QvxTest, ListPrintsTheBrowserLinesInMasterOrder) {
  const std::string expected = Lines({
      "ACME INDUSTRIES\tACME\tF1\tDaily File\tFile Exists",
      "BOREALIS MINING\tBRML\tF2\tDaily File\tFile Exists",
      "CYGNUS SOFTWARE\tCYGS\tF3\tDaily File\tFile Exists",
      "DELTA AIRWAYS\tDLTA\tF4\tWeekly File\tFile Exists",
      "EQUINOX FUND\tEQNX\tF5\tMonthly File\tFile Exists",
      "FENWICK HOLDINGS\tFNWK\tF6\tDaily File\tNon-Existant",
  });
  for (const char* suffix : {"", "/", "\\"}) {
    QvxRun run = Qvx({"list", Sample("Stocks") + suffix});
    EXPECT_EQ(run.status, 0) << suffix;
    EXPECT_EQ(run.out, expected) << "DIR typed with '" << suffix << "'";
    EXPECT_EQ(run.err, "");
  }
}

TEST_F(QvxTest, ListShowsPeriodTextsOfDamagedRecords) {
  QvxRun run = Qvx({"list", Sample("Damaged/Master")});
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.out.find("BAD PERIOD\tBPRD\tF8\tUnknown File Type\tFile Exists\n"), std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("MISSING DATA\tMSDT\tF1\tDaily File\tNon-Existant\n"), std::string::npos);
  EXPECT_NE(run.out.find("NEGATIVE BASE\tNGTB\tF11\tIntraDay File\tFile Exists\n"), std::string::npos);
}

TEST_F(QvxTest, ListOfADirectoryWithoutMasterPrintsNothing) {
  for (const char* dir : {"Nested", "Nested/a/Scratch"}) {
    QvxRun run = Qvx({"list", Sample(dir)});
    EXPECT_EQ(run.status, 0) << dir;
    EXPECT_EQ(run.out, "") << dir;
  }
  QvxRun empty = Qvx({"list", Sample("Empty")});
  EXPECT_EQ(empty.status, 0);
  EXPECT_EQ(empty.out, "");
}

TEST_F(QvxTest, ListOrTreeOfAMissingDirectoryFails) {
  for (const char* command : {"list", "tree"}) {
    QvxRun run = Qvx({command, Sample("No Such Directory")});
    EXPECT_EQ(run.status, 2) << command;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, std::string(GetError(3)) + "\n") << command;
  }
}

// The expected tree: the directories that lead to data, in the order of the
// platform's own directory search.
void ExpectedTree(const std::string& coreDir, const std::string& relative, int depth,
                  const std::set<std::string>& kept, std::vector<std::string>* lines) {
  platform::ListDirectory(coreDir, [&](const platform::DirectoryEntry& entry) {
    std::string path = relative.empty() ? entry.name : relative + "/" + entry.name;
    if (entry.isDirectory && kept.count(path) > 0) {
      lines->push_back(std::string(2 * depth, ' ') + entry.name.substr(0, 29));
      ExpectedTree(coreDir + entry.name + "\\", path, depth + 1, kept, lines);
    }
    return true;
  });
}

TEST_F(QvxTest, TreePrintsThePrunedTreeIndentedInTreeOrder) {
  const std::set<std::string> kept = {
      "Stocks",         "Intraday",       "Damaged", "Damaged/Data",
      "Damaged/Master", "Damaged/Header", "Nested",  "Nested/a",
      "Nested/a/b",     "Nested/a/b/c",   "Empty",   "Nested/Archive of International Equities"};
  const std::string root = Sample() + "\\";
  std::vector<std::string> lines = {root.substr(0, 29)};
  ExpectedTree(root, "", 1, kept, &lines);
  ASSERT_EQ(lines.size(), kept.size() + 1);
  for (const std::string& typed : {Sample(), Sample() + "/", Sample() + "\\"}) {
    QvxRun run = Qvx({"tree", typed});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, Lines(lines)) << "ROOT typed as " << typed;
  }
  EXPECT_NE(Lines(lines).find("\n    Archive of International Equi\n"), std::string::npos);
}

class QvxFixtureTest : public QvxTest {
 protected:
  // F1: a five-field daily instrument; F2: a seven-field intraday one; F3 in
  // master without a data file.
  void SetUp() override {
    fixtures::WriteMaster(scratch_,
                          MasterBuilder()
                              .Add({.fileNumber = 1, .fieldCount = 5, .name = "DAILY", .symbol = "DLY"})
                              .Add({.fileNumber = 2,
                                    .fieldCount = 7,
                                    .name = "MINUTES",
                                    .period = 'I',
                                    .timeBase = 5,
                                    .symbol = "MIN"})
                              .Add({.fileNumber = 3, .fieldCount = 6, .name = "GONE"}));
    fixtures::WriteDat(
        scratch_, 1,
        DatBuilder::ForFields(5)
            .Values({StoredDate(1996, 1, 15), 12.3f, 11.9f, 12.1f, 1500})
            .Values({StoredDate(1999, 12, 31), 13.7f, 12.6f, 13.2f, 250400})
            .Values({StoredDate(2010, 1, 4), 9.87f, 9.12f, 9.5f, 71000})
            .Words({fixtures::MbfWord(StoredDate(2010, 1, 5)), fixtures::kStoredMinusOne,
                    fixtures::MbfWord(9.1f), fixtures::MbfWord(9.3f), fixtures::MbfWord(100)}));
    fixtures::WriteDat(
        scratch_, 2,
        DatBuilder::ForFields(7)
            .Values({StoredDate(2013, 11, 14), StoredTime(9, 30, 0), 20.1f, 20.4f, 20, 20.2f, 900})
            .Values({StoredDate(2013, 11, 14), StoredTime(9, 35, 0), 20.2f, 20.3f, 19.8f, 19.9f, 700})
            .Values({StoredDate(2013, 11, 15), StoredTime(9, 30, 0), 19.9f, 20, 19.7f, 19.8f, 300}));
  }
  std::string Dir() const { return scratch_.Path(""); }
};

TEST_F(QvxFixtureTest, ShowPrintsTitlesAndTheEditorsCellTexts) {
  QvxRun run = Qvx({"show", Dir(), "1"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, Lines({
                         "Date\tHigh\tLow\tClose\tVolume",
                         "0\t15/01/96\t12.30\t11.90\t12.10\t1500.00",
                         "1\t31/12/99\t13.70\t12.60\t13.20\t250400.00",
                         "2\t04/01/10\t9.87\t9.12\t9.50\t71000.00",
                         "3\t05/01/10\t0.00\t9.10\t9.30\t100.00",
                     }));
}

TEST_F(QvxFixtureTest, ShowPrintsTimesOfIntradayRecordsFromTheGivenRecord) {
  QvxRun run = Qvx({"show", Dir(), "2", "--from", "1", "--count", "1"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, Lines({"Date\tTime\tOpen\tHigh\tLow\tClose\tVolume",
                            "1\t14/11/13\t09:35:00\t20.20\t20.30\t19.80\t19.90\t700.00"}));
  QvxRun past = Qvx({"show", Dir(), "2", "--from", "3"});
  EXPECT_EQ(past.status, 0);
  EXPECT_EQ(past.out, "Date\tTime\tOpen\tHigh\tLow\tClose\tVolume\n");
}

TEST_F(QvxFixtureTest, ShowWithoutDataFileOrMasterRecordFailsAsTheEditorDoes) {
  for (const char* number : {"3", "4"}) {
    QvxRun run = Qvx({"show", Dir(), number});
    EXPECT_EQ(run.status, 2) << number;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, std::string(GetError(2)) + "\n") << number;
  }
}

TEST_F(QvxFixtureTest, ShowOfAnUnknownLayoutFails) {
  QvxRun run = Qvx({"show", Sample("Damaged/Master"), "10"});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err, std::string(GetError(9)) + "\n");
}

TEST_F(QvxFixtureTest, ShowOfAFileWithATrailingFragmentIsRefused) {
  fixtures::WriteDat(scratch_, 1,
                     DatBuilder::ForFields(5).Values({StoredDate(1996, 1, 15), 1, 1, 1, 1}).Append({1, 2}));
  QvxRun run = Qvx({"show", Dir(), "1"});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err, std::string(GetError(9)) + "\n");
}

struct FindCase {
  const char* rule;
  std::vector<std::string> args;
  int status;
  std::string out;
  std::string err;
};

TEST_F(QvxFixtureTest, FindPrintsTheRecordNumberOrNotFound) {
  const std::string invalidDate = std::string(GetError(17)) + "\n";
  const std::string invalidTime = std::string(GetError(18)) + "\n";
  const FindCase cases[] = {
      {"exact date", {"1", "15/01/96"}, 0, "0\n", ""},
      {"between dates, across the century", {"1", "1/1/00"}, 0, "2\n", ""},
      {"two-digit year 10 is 2010", {"1", "05/01/10"}, 0, "3\n", ""},
      {"after the last record", {"1", "06/01/10"}, 1, "Not Found!\n", ""},
      {"before the first record", {"1", "01/01/60"}, 0, "0\n", ""},
      {"invalid date", {"1", "31/02/96"}, 2, "", invalidDate},
      {"four-digit year", {"1", "15/01/1996"}, 2, "", invalidDate},
      {"intraday by date only", {"2", "15/11/13"}, 0, "2\n", ""},
      {"intraday exact moment", {"2", "14/11/13", "09:35:00"}, 0, "1\n", ""},
      {"intraday between moments", {"2", "14/11/13", "09:31:00"}, 0, "1\n", ""},
      {"intraday after the last moment", {"2", "15/11/13", "16:00:00"}, 0, "2\n", ""},
      {"invalid time", {"2", "14/11/13", "25:00:00"}, 2, "", invalidTime},
      {"missing data file", {"3", "15/01/96"}, 2, "", std::string(GetError(2)) + "\n"},
  };
  for (const FindCase& c : cases) {
    std::vector<std::string> args = {"find", Dir()};
    args.insert(args.end(), c.args.begin(), c.args.end());
    QvxRun run = Qvx(args);
    EXPECT_EQ(run.status, c.status) << c.rule;
    EXPECT_EQ(run.out, c.out) << c.rule;
    EXPECT_EQ(run.err, c.err) << c.rule;
  }
}

TEST_F(QvxTest, FindInTheSampleCrossesTheCentury) {
  // Five-minute bars, 78 a day, from Tuesday 28 December 1999: four days of
  // 1999, then Monday 3 January 2000.
  const std::string dir = Sample("Intraday");
  EXPECT_EQ(Qvx({"find", dir, "2", "03/01/00"}).out, "312\n");
  EXPECT_EQ(Qvx({"find", dir, "2", "31/12/99", "16:30:00"}).out, "312\n");
  EXPECT_EQ(Qvx({"find", dir, "2", "31/12/99", "15:57:00"}).out, "311\n");
  EXPECT_EQ(Qvx({"find", dir, "2", "29/12/99", "09:35:00"}).out, "78\n");
}

TEST_F(QvxTest, UsageErrorsExitWith2) {
  const std::vector<std::vector<std::string>> usages = {
      {},
      {"no-such-command"},
      {"show", Sample("Stocks")},
      {"show", Sample("Stocks"), "0"},
      {"show", Sample("Stocks"), "256"},
      {"show", Sample("Stocks"), "1", "--from", "-1"},
      {"find", Sample("Stocks"), "1"},
      {"find", Sample("Stocks"), "1", "01/01/99", "10:00:00"},
  };
  for (const std::vector<std::string>& args : usages) {
    QvxRun run = Qvx(args);
    EXPECT_EQ(run.status, 2) << ::testing::PrintToString(args);
    EXPECT_EQ(run.out, "") << ::testing::PrintToString(args);
    EXPECT_NE(run.err, "") << ::testing::PrintToString(args);
  }
}

TEST_F(QvxTest, HelpSucceeds) {
  QvxRun run = Qvx({"--help"});
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.out.find("sample"), std::string::npos);
}

}  // namespace
