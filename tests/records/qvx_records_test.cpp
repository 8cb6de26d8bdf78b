// End-to-end runs of qvx's record commands: exit statuses, messages, and the
// files afterwards, the editor's write-back on close included. In the Windows
// build the program is qvx.exe, started under Wine by this test.
#include <gtest/gtest.h>

#include "support/program_runner.h"

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "fixtures.h"
#include "integrity/messages.h"
#include "records_support.h"

#ifndef QVX_PROGRAM
#error "QVX_PROGRAM must name the qvx executable"
#endif

namespace {

using namespace records_test;
using fixtures::MbfWord;

using Outcome = testing_support::ProgramRun;

// Runs the qvx built beside this test; stdin is empty.
Outcome Qvx(const std::vector<std::string>& args) { return testing_support::RunProgram(QVX_PROGRAM, args); }

// Instrument F1 with stale header count and master dates, so that every run
// shows the write-back on close.
class QvxRecordsTest : public ::testing::Test {
 protected:
  void Make(const std::vector<int>& ids) {
    fixtures::MasterEntry entry = Instrument::Entry(1);
    entry.firstDateWord = MbfWord(990101);
    entry.lastDateWord = MbfWord(990101);
    fixtures::WriteMaster(instrument.dir, fixtures::MasterBuilder().Add(entry).LastFileNumber(1));
    fixtures::WriteDat(instrument.dir, 1, IdRecords(ids).HeaderCount(99));
  }
  std::string Dir() const { return instrument.dir.Path(""); }
  // The file holds the ids, counted in its header, with master's dates.
  void ExpectWrittenBack(const std::vector<int>& ids) const {
    const DatContents contents = instrument.Contents();
    EXPECT_EQ(contents.ids, ids);
    EXPECT_EQ(contents.headerCount, ids.size() + 1);
    const std::vector<Listed> master = ReadMaster(instrument.dir.Path("master"));
    ASSERT_FALSE(master.empty());
    EXPECT_EQ(master[0].firstDateWord, ids.empty() ? 0u : MbfWord(IdDate(ids.front())));
    EXPECT_EQ(master[0].lastDateWord, ids.empty() ? 0u : MbfWord(IdDate(ids.back())));
  }

  Instrument instrument{std::vector<int>{}};
};

TEST_F(QvxRecordsTest, InsertCopiesTheRecordAndWritesBackOnClose) {
  Make(Ids(1, 3));
  const Outcome run = Qvx({"insert", Dir(), "1", "0"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "");
  ExpectWrittenBack({1, 1, 2, 3});
}

TEST_F(QvxRecordsTest, InsertFailuresExitWithTwo) {
  Make({});
  Outcome run = Qvx({"insert", Dir(), "1", "0"});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err, "Unable to insert record\n");
  Make(Ids(1, 3));
  run = Qvx({"insert", Dir(), "1", "4"});
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("new-record row"), std::string::npos) << run.err;
  EXPECT_EQ(instrument.Contents().ids, Ids(1, 3));
  run = Qvx({"insert", Dir(), "7", "0"});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err, std::string(GetError(2)) + "\n");
}

TEST_F(QvxRecordsTest, DeleteRecordsDeletesTheSelection) {
  Make(Ids(1, 5));
  Outcome run = Qvx({"delete-records", Dir(), "1", "0", "2", "4"});
  EXPECT_EQ(run.status, 0) << run.err;
  ExpectWrittenBack({2, 4});
  // Rows beyond the records take no click: nothing is selected.
  run = Qvx({"delete-records", Dir(), "1", "2", "9"});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err, std::string(GetError(8)) + "\n");
  EXPECT_EQ(instrument.Contents().ids, (std::vector<int>{2, 4}));
}

TEST_F(QvxRecordsTest, TruncateCutsAfterOrBefore) {
  struct Case {
    std::vector<std::string> options;
    std::vector<int> remaining;
  };
  const std::vector<Case> cases = {
      {{"--after"}, {1, 2, 3}},
      {{"--after", "--include"}, {1, 2}},
      {{"--before"}, {3, 4, 5}},
      {{"--before", "--include"}, {4, 5}},
  };
  for (const Case& c : cases) {
    Make(Ids(1, 5));
    std::vector<std::string> args = {"truncate", Dir(), "1", "2"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    const Outcome run = Qvx(args);
    EXPECT_EQ(run.status, 0) << run.err;
    ExpectWrittenBack(c.remaining);
  }
}

TEST_F(QvxRecordsTest, TruncateNeedsOneDirection) {
  Make(Ids(1, 5));
  EXPECT_EQ(Qvx({"truncate", Dir(), "1", "2"}).status, 2);
  EXPECT_EQ(Qvx({"truncate", Dir(), "1", "2", "--after", "--before"}).status, 2);
  EXPECT_EQ(instrument.Contents().ids, Ids(1, 5));
}

TEST_F(QvxRecordsTest, SplitAsksBeforeCreatingTheDestination) {
  Make(Ids(1, 4));
  const std::string destination = instrument.dir.Path("parts");
  Outcome run = Qvx({"split", Dir(), "1", "1", destination});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err, std::string(GetError(20)) + "\n");
  EXPECT_FALSE(std::filesystem::exists(destination));
  EXPECT_EQ(instrument.Contents().ids, Ids(1, 4));

  run = Qvx({"split", Dir(), "1", "1", destination, "--mkdir", "--first-include"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(ReadContents(instrument.dir.Path("parts/F1.DAT")).ids, (std::vector<int>{1, 2}));
  ExpectWrittenBack({3, 4});
}

TEST_F(QvxRecordsTest, SplitLeavingTheSourceIntactAddsTwoInstruments) {
  Make(Ids(1, 4));
  const Outcome run = Qvx({"split", Dir(), "1", "2", Dir(), "--leave-intact", "--last-include"});
  EXPECT_EQ(run.status, 0) << run.err;
  ExpectWrittenBack(Ids(1, 4));
  const std::vector<Listed> master = ReadMaster(instrument.dir.Path("master"));
  ASSERT_EQ(master.size(), 3u);
  EXPECT_EQ(ReadContents(instrument.dir.Path("F2.DAT")).ids, (std::vector<int>{1, 2}));
  EXPECT_EQ(ReadContents(instrument.dir.Path("F3.DAT")).ids, (std::vector<int>{3, 4}));
  EXPECT_EQ(master[2].lastDateWord, MbfWord(IdDate(4)));
}

TEST_F(QvxRecordsTest, SetCommitsWithTheEditorsRules) {
  Make(Ids(1, 3));
  Outcome run = Qvx({"set", Dir(), "1", "1", "0", "31/02/10"});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err, std::string(GetError(17)) + "\n");
  run = Qvx({"set", Dir(), "1", "1", "4", "-3"});
  EXPECT_EQ(run.status, 2);
  run = Qvx({"set", Dir(), "1", "2", "0", "15/06/12"});
  EXPECT_EQ(run.status, 0) << run.err;
  const std::vector<Listed> master = ReadMaster(instrument.dir.Path("master"));
  EXPECT_EQ(master[0].lastDateWord, MbfWord(fixtures::StoredDate(2012, 6, 15)));
  run = Qvx({"show", Dir(), "1", "--from", "2"});
  EXPECT_EQ(run.out, "Date\tHigh\tLow\tClose\tVolume\n2\t15/06/12\t3.00\t3.00\t3.00\t300.00\n");
}

TEST_F(QvxRecordsTest, SetRefusesAnInvalidTime) {
  fixtures::WriteMaster(instrument.dir,
                        fixtures::MasterBuilder().Add({.fileNumber = 1, .fieldCount = 4, .period = 'I'}));
  fixtures::WriteDat(instrument.dir, 1, fixtures::DatBuilder::ForFields(4).Values({1100104, 93000, 10, 100}));
  const Outcome run = Qvx({"set", Dir(), "1", "0", "1", "24:00:00"});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err, std::string(GetError(18)) + "\n");
}

TEST_F(QvxRecordsTest, AppendNeedsEveryField) {
  Make(Ids(1, 2));
  Outcome run = Qvx({"append", Dir(), "1", "03/01/10", "3", "3"});
  EXPECT_EQ(run.status, 1);
  ExpectWrittenBack({1, 2});
  run = Qvx({"append", Dir(), "1", "03/01/10", "3", "3", "3", "300", "9"});
  EXPECT_EQ(run.status, 2);
  run = Qvx({"append", Dir(), "1", "03/01/10", "3", "3", "3", "300"});
  EXPECT_EQ(run.status, 0) << run.err;
  ExpectWrittenBack({1, 2, 3});
}

}  // namespace
