// End-to-end runs of qvx's instrument and directory commands: the program
// built beside this test (qvx.exe under Wine in the Windows build), with its
// stdout, stderr and exit status.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "fixtures.h"
#include "operations_support.h"
#include "support/program_runner.h"
#include "support/temp_dir.h"

#ifndef QVX_PROGRAM
#error "QVX_PROGRAM must name the qvx executable"
#endif

namespace {

namespace fs = std::filesystem;
using operations_test::Contents;
using operations_test::FilesIn;
using operations_test::Fill;
using operations_test::MasterRead;
using operations_test::NativeFile;
using operations_test::Range;
using operations_test::ReadMaster;
using operations_test::WithRecords;
using testing_support::Bytes;
using testing_support::ReadBytes;
using testing_support::TempDir;
using testing_support::WriteBytes;

using QvxRun = testing_support::ProgramRun;

// Runs the qvx built beside this test; stdin is empty.
QvxRun Qvx(const std::vector<std::string>& args) { return testing_support::RunProgram(QVX_PROGRAM, args); }

std::string Lines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return text;
}

std::vector<std::string> Names(const MasterRead& master) {
  std::vector<std::string> names;
  for (const auto& entry : master.entries) names.push_back(entry.name);
  return names;
}

class QvxInstrumentsTest : public ::testing::Test {
 protected:
  // Native paths with '/' separators, as a script would type them.
  std::string A() const { return a_.Path(""); }
  std::string B() const { return b_.Path(""); }

  TempDir a_;
  TempDir b_;
};

TEST_F(QvxInstrumentsTest, CreatePrintsTheNewNumberAndMakesTheFiles) {
  QvxRun run =
      Qvx({"create", A(), "--name", "ACME", "--symbol", "ACM", "--period", "weekly", "--fields", "6"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "1\n");
  const MasterRead master = ReadMaster(A());
  ASSERT_EQ(master.entries.size(), 1u);
  EXPECT_EQ(master.entries[0].name, "ACME            ");
  EXPECT_EQ(master.entries[0].raw[33], 'W');
  EXPECT_EQ(master.entries[0].raw[4], 6);
  EXPECT_EQ(ReadBytes(NativeFile(A(), "F1.DAT")).size(), 24u);

  run = Qvx({"create", A(), "--name", "TICKS", "--period", "intraday", "--timebase", "1440"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "2\n");
  const MasterRead after = ReadMaster(A());
  EXPECT_EQ(after.entries[1].raw[4], 4);  // the first count offered for intraday
  EXPECT_EQ(after.entries[1].raw[34], 144);
}

struct CreateRefusal {
  const char* rule;
  std::vector<std::string> options;
  const char* message;
};
void PrintTo(const CreateRefusal& c, std::ostream* os) {
  *os << c.rule;
}

class QvxCreateRefusalTest : public QvxInstrumentsTest,
                             public ::testing::WithParamInterface<CreateRefusal> {};

TEST_P(QvxCreateRefusalTest, ExitsTwoWithTheDialogsMessage) {
  std::vector<std::string> args = {"create", A()};
  args.insert(args.end(), GetParam().options.begin(), GetParam().options.end());
  const QvxRun run = Qvx(args);
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, Lines({GetParam().message}));
  EXPECT_TRUE(FilesIn(A()).empty());
}

INSTANTIATE_TEST_SUITE_P(
    Rules, QvxCreateRefusalTest,
    ::testing::Values(CreateRefusal{"empty name",
                                    {"--name", ""},
                                    "The Instrument name MUST contain a name so that it can be identified"},
                      CreateRefusal{
                          "blank name",
                          {"--name", "   "},
                          "You MUST supply a name which contains something other than just spaces."},
                      CreateRefusal{"intraday without time base",
                                    {"--name", "N", "--period", "intraday"},
                                    "You MUST supply a time base for IntraDay files"},
                      CreateRefusal{"a field count not offered",
                                    {"--name", "N", "--fields", "4"},
                                    "qvx create: a daily instrument has 5, 6 or 7 fields"}),
    operations_test::ByRule());

TEST_F(QvxInstrumentsTest, CreateReportsAFullDirectoryAndAMissingOne) {
  WriteBytes(NativeFile(A(), "master"), WithRecords({1}, 255, 255).Build());
  QvxRun run = Qvx({"create", A(), "--name", "N"});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err, Lines({"Unable to create instrument"}));
  run = Qvx({"create", a_.Path("missing"), "--name", "N"});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err, Lines({"The path specified was not valid."}));
}

TEST_F(QvxInstrumentsTest, MkdirMakesADataDirectoryOnce) {
  QvxRun run = Qvx({"mkdir", A(), "NEW"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(ReadBytes(NativeFile(a_.Path("NEW"), "master")), Bytes(53, 0));
  run = Qvx({"mkdir", A(), "NEW"});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err, Lines({"Unable to create Directory"}));
}

TEST_F(QvxInstrumentsTest, SymbolReplacesTheSymbol) {
  Fill(A(), "A", {1, 2}, 2);
  QvxRun run = Qvx({"symbol", A(), "2", "NEWSYM"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(ReadMaster(A()).entries[1].symbol, "NEWSYM        ");
  run = Qvx({"symbol", A(), "2", ""});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(ReadMaster(A()).entries[1].symbol, std::string(14, ' '));
  run = Qvx({"symbol", A(), "5", "X"});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err, Lines({"The instrument specified was invalid."}));
}

TEST_F(QvxInstrumentsTest, CopyIntoAMissingDirectoryNeedsMkdir) {
  Fill(A(), "A", {1, 2, 3}, 3);
  const std::string destination = b_.Path("NEW") + "/";
  QvxRun run = Qvx({"copy", A(), destination, "1", "3"});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err, Lines({"This directory does not exist, do you want to attempt to create it ? No"}));
  EXPECT_FALSE(fs::exists(b_.Path("NEW")));

  run = Qvx({"copy", A(), destination, "1", "3", "--mkdir"});
  EXPECT_EQ(run.status, 0) << run.err;
  // The dialogs' order: the reverse of the source master.
  EXPECT_EQ(Names(ReadMaster(b_.Path("NEW"))),
            (std::vector<std::string>{"INSTR3          ", "INSTR1          "}));
  EXPECT_EQ(ReadBytes(NativeFile(b_.Path("NEW"), "F2.DAT")), Contents("A", 1, "DAT"));
}

TEST_F(QvxInstrumentsTest, CopyIntoTooSmallARoomNeedsFit) {
  Fill(A(), "A", {1, 2, 3}, 3);
  WriteBytes(NativeFile(B(), "master"), WithRecords(Range(1, 253), 253, 253).Build());
  const char* question =
      "There is not enough room to copy all of the files into the directory, do you want to copy as many as "
      "will "
      "fit?";
  QvxRun run = Qvx({"copy", A(), B(), "1", "2", "3"});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err, std::string(question) + " No\n");
  EXPECT_EQ(ReadMaster(B()).count, 253);

  run = Qvx({"copy", A(), B(), "1", "2", "3", "--fit"});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err, std::string(question) + " Yes\nUnable to insert file, the directory is already full!\n");
  EXPECT_EQ(ReadMaster(B()).count, 255);
}

TEST_F(QvxInstrumentsTest, CopyStopsAtAFailureUnlessKeepGoing) {
  Fill(A(), "A", {1, 2}, 2);
  // F2.DAT cannot be copied: it is a directory. F2 comes first.
  fs::remove(NativeFile(A(), "F2.DAT"));
  fs::create_directory(NativeFile(A(), "F2.DAT"));
  const char* question = "A problem occured during copying, do you wish to attempt to continue ?";
  QvxRun run = Qvx({"copy", A(), B(), "1", "2"});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err, std::string(question) + " No\n");
  // The master the failed copy started is left, without the instrument.
  EXPECT_TRUE(ReadMaster(B()).entries.empty());

  run = Qvx({"copy", A(), B(), "1", "2", "--keep-going"});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err, std::string(question) + " Yes\n");
  EXPECT_EQ(Names(ReadMaster(B())), std::vector<std::string>{"INSTR1          "});
}

TEST_F(QvxInstrumentsTest, MoveTakesTheInstrumentsAway) {
  Fill(A(), "A", {1, 2}, 2);
  Fill(B(), "B", {1}, 1);
  const QvxRun run = Qvx({"move", A(), B(), "2"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(ReadMaster(A()).Numbers(), std::vector<int>{1});
  EXPECT_EQ(FilesIn(A()), (std::set<std::string>{"MASTER", "F1.DAT", "F1.DOP", "F1.CHT"}));
  EXPECT_EQ(ReadBytes(NativeFile(B(), "F2.CHT")), Contents("A", 2, "CHT"));
}

TEST_F(QvxInstrumentsTest, DeleteRemovesInstrumentsAndAsksAfterAFailure) {
  Fill(A(), "A", {1, 2, 3}, 3);
  QvxRun run = Qvx({"delete", A(), "3"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(ReadMaster(A()).Numbers(), (std::vector<int>{1, 2}));
  EXPECT_EQ(FilesIn(A()).count("F3.DAT"), 0u);

  // F2.DAT cannot be deleted: it is a directory. F2 comes first.
  fs::remove(NativeFile(A(), "F2.DAT"));
  fs::create_directory(NativeFile(A(), "F2.DAT"));
  run = Qvx({"delete", A(), "1", "2"});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err, Lines({"An error occured whilst deleting, do you wish to continue ? No"}));
  EXPECT_EQ(ReadMaster(A()).Numbers(), (std::vector<int>{1, 2}));
  run = Qvx({"delete", A(), "1", "2", "--keep-going"});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(ReadMaster(A()).Numbers(), std::vector<int>{2});
}

TEST_F(QvxInstrumentsTest, UnknownOrBadNumbersAreRefused) {
  Fill(A(), "A", {1}, 1);
  QvxRun run = Qvx({"delete", A(), "1", "4"});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err, Lines({"An error occured whilst selecting instruments."}));
  EXPECT_EQ(ReadMaster(A()).Numbers(), std::vector<int>{1});
  run = Qvx({"copy", A(), B(), "0"});
  EXPECT_EQ(run.status, 2);
  EXPECT_FALSE(ReadMaster(B()).present);
}

}  // namespace
