// qvx test-dat, test-master, correct and check, end to end in this process:
// parsed from a command line, printing to stdout and stderr.
#include <CLI/CLI.hpp>
#include <gtest/gtest.h>

#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "commands.h"
#include "integrity/error_reports.h"
#include "integrity_test_support.h"
#include "json_reader.h"
#include "sample_data.h"
#include "support/temp_dir.h"

namespace {

using integrity_testing::JsonValue;
using integrity_testing::ParseJson;
using integrity_testing::Snapshot;
using testing_support::ReadBytes;
using testing_support::TempDir;

struct QvxResult {
  int status = -1;
  std::string out;
  std::string err;
};

// Runs qvx with the integrity commands, as main() does, with input on stdin.
QvxResult Qvx(std::vector<std::string> args, const std::string& input = "") {
  CLI::App app{"qvx", "qvx"};
  app.require_subcommand(1, 1);
  QvxResult result;
  int status = 0;
  qvx::RegisterIntegrityCommands(app, &status);
  std::istringstream in(input);
  std::ostringstream out, err;
  std::streambuf* oldIn = std::cin.rdbuf(in.rdbuf());
  std::streambuf* oldOut = std::cout.rdbuf(out.rdbuf());
  std::streambuf* oldErr = std::cerr.rdbuf(err.rdbuf());
  args.insert(args.begin(), "qvx");
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  try {
    app.parse(static_cast<int>(argv.size()), argv.data());
    result.status = status;
  } catch (const CLI::ParseError& error) {
    result.status = app.exit(error) == 0 ? 0 : 2;
  }
  std::cin.rdbuf(oldIn);
  std::cout.rdbuf(oldOut);
  std::cerr.rdbuf(oldErr);
  result.out = out.str();
  result.err = err.str();
  return result;
}

JsonValue Parsed(const std::string& text) {
  JsonValue value;
  std::string error;
  EXPECT_TRUE(ParseJson(text, &value, &error)) << error << "\n" << text;
  return value;
}

class QvxIntegrityTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(sample::WriteSampleData(root_.Path(""), &error)) << error;
  }
  std::string Dir(const std::string& relative) const { return root_.Path(relative); }

  TempDir root_;
};

TEST_F(QvxIntegrityTest, TestDatPrintsTheReportAndWritesItsExactBytes) {
  const std::string report = root_.Path("f2.txt");
  QvxResult r = Qvx({"test-dat", Dir("Damaged/Data"), "2", "--report", report});
  EXPECT_EQ(r.status, 1);
  const testing_support::Bytes bytes = ReadBytes(report);
  const std::string saved(bytes.begin(), bytes.end());
  EXPECT_NE(saved.find("Record Number :     15\n\rPrevious Record's Date : "), std::string::npos) << saved;
  // Code 3 runs before code 1 in the default order; the last found is listed first.
  EXPECT_NE(saved.find("Low : High < Low\n\rLow : Close < Low\n\r\n\r"), std::string::npos) << saved;
  EXPECT_EQ(r.out, PlainLineEnds(saved));
  EXPECT_EQ(r.out.find('\r'), std::string::npos);
}

TEST_F(QvxIntegrityTest, TestDatOnASoundFileSaysNoErrorsFound) {
  QvxResult r = Qvx({"test-dat", Dir("Stocks/"), "1"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "No Errors Found\n");
}

TEST_F(QvxIntegrityTest, TestDatJsonHoldsEveryFindingWithItsColumn) {
  QvxResult r = Qvx({"test-dat", Dir("Damaged/Data"), "1", "--json"});
  EXPECT_EQ(r.status, 1);
  const JsonValue json = Parsed(r.out);
  EXPECT_EQ(json["file_number"].Int(), 1);
  EXPECT_EQ(json["instrument"].text, "CORRUPT NUMBERS");
  ASSERT_EQ(json["findings"].items.size(), 3u);
  const JsonValue& first = json["findings"][0];
  EXPECT_EQ(first["record"].Int(), 10);
  EXPECT_EQ(first["column"].Int(), 4);
  EXPECT_EQ(first["column_name"].text, "Close");
  EXPECT_EQ(first["code"].Int(), 0);
  EXPECT_EQ(first["code_name"].text, "Corrupt Numbers");
  EXPECT_EQ(json["findings"][2]["column_name"].text, "Date");
}

TEST_F(QvxIntegrityTest, TestDatRunsTheChosenTestsOnly) {
  QvxResult r = Qvx({"test-dat", Dir("Damaged/Data"), "9", "--tests", "6,0", "--json"});
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(Parsed(r.out)["findings"].items.empty());
  EXPECT_EQ(Qvx({"test-dat", Dir("Damaged/Data"), "9", "--tests", "8"}).status, 1);
}

TEST_F(QvxIntegrityTest, FailuresExitTwoWithTheProgramsText) {
  struct Case {
    std::vector<std::string> args;
    std::string err;
  };
  const Case cases[] = {
      {{"test-dat", Dir("Damaged/Data"), "77"}, "Unable to find Instrument\n"},
      {{"test-dat", Dir("Damaged/Master"), "1"},
       "File is read only or has been opened by another process, check permissions for this file and/or "
       "close the "
       "file in any applications that are using it.\n"},
      {{"test-dat", Dir("Damaged/Master"), "8"}, "Unable to test files of this format.\n"},
      {{"test-master", Dir("Nested")}, "File does not exist!\n"},
      {{"test-dat", Dir("Damaged/Data")}, ""},
  };
  for (const Case& c : cases) {
    QvxResult r = Qvx(c.args);
    EXPECT_EQ(r.status, 2) << c.args[0];
    if (!c.err.empty()) {
      EXPECT_EQ(r.err, c.err);
    }
    EXPECT_EQ(r.out, "");
  }
}

TEST_F(QvxIntegrityTest, TestMasterReportsAndSavesTheMasterReport) {
  const std::string report = root_.Path("m.txt");
  QvxResult r = Qvx({"test-master", Dir("Damaged/Header"), "--report", report});
  EXPECT_EQ(r.status, 1);
  const testing_support::Bytes bytes = ReadBytes(report);
  const std::string saved(bytes.begin(), bytes.end());
  EXPECT_EQ(saved, "Quorvex\n\r\n\rErrors Found in Master file for directory  '" + Dir("Damaged/Header") +
                       "\\'\n\r\n\rHeader Record Errors : \n\rNot Repaired : Too few files reported\n\r\n\r");
  EXPECT_EQ(r.out, PlainLineEnds(saved));
}

TEST_F(QvxIntegrityTest, TestMasterPromptAsksOnTheTerminal) {
  const auto before = Snapshot(Dir("Damaged/Header"));
  QvxResult no = Qvx({"test-master", Dir("Damaged/Header"), "--repair", "--prompt"}, "n\n");
  EXPECT_EQ(no.status, 1);
  EXPECT_NE(no.err.find("Too few files reported in directory, Correct ? [y/n]"), std::string::npos) << no.err;
  EXPECT_NE(no.out.find("Not Repaired : Too few files reported"), std::string::npos);
  EXPECT_EQ(Snapshot(Dir("Damaged/Header")), before);

  QvxResult yes = Qvx({"test-master", Dir("Damaged/Header"), "--repair", "--prompt", "--json"}, "y\n");
  EXPECT_EQ(yes.status, 1);
  const JsonValue json = Parsed(yes.out);
  EXPECT_TRUE(json["repair"].boolean);
  EXPECT_EQ(json["findings"][0]["code"].Int(), 9);
  EXPECT_TRUE(json["findings"][0]["repaired"].boolean);
  EXPECT_EQ(Qvx({"test-master", Dir("Damaged/Header")}).out, "No Errors Found\n");
}

TEST_F(QvxIntegrityTest, RepairWithoutPromptOrCreateLeavesMissingFilesMissing) {
  QvxResult r = Qvx({"test-master", Dir("Damaged/Master"), "--tests", "0,2", "--repair", "--json"});
  const JsonValue findings = Parsed(r.out)["findings"];
  ASSERT_EQ(findings.items.size(), 2u);
  EXPECT_EQ(findings[0]["code"].Int(), 0);
  EXPECT_FALSE(findings[0]["repaired"].boolean);
  EXPECT_EQ(findings[1]["code"].Int(), 2);
  EXPECT_TRUE(findings[1]["repaired"].boolean);
  EXPECT_EQ(r.err, "");
}

TEST_F(QvxIntegrityTest, CorrectExitsZeroWhenRepairedAndOneWhenNot) {
  EXPECT_EQ(Qvx({"correct", Dir("Damaged/Master"), "3", "2"}).status, 0);
  EXPECT_EQ(Qvx({"test-master", Dir("Damaged/Master"), "--tests", "2"}).out, "No Errors Found\n");
  // F5's data file holds daily records: Correct will not make it intraday.
  QvxResult refused = Qvx({"correct", Dir("Damaged/Master"), "5", "7"});
  EXPECT_EQ(refused.status, 1);
  EXPECT_EQ(refused.err, "Repair Unsuccessfull\n");
}

TEST_F(QvxIntegrityTest, CheckSummarisesEveryDataDirectoryAndChangesNothing) {
  const auto before = Snapshot(root_.Path(""));
  QvxResult text = Qvx({"check", root_.Path("")});
  EXPECT_EQ(text.status, 1);
  QvxResult json = Qvx({"check", root_.Path(""), "--json"});
  EXPECT_EQ(json.status, 1);
  EXPECT_EQ(Snapshot(root_.Path("")), before);

  const JsonValue document = Parsed(json.out);
  const JsonValue& directories = document["directories"];
  std::vector<std::string> lines;
  std::istringstream stream(text.out);
  for (std::string line; std::getline(stream, line);) lines.push_back(line);
  ASSERT_EQ(lines.size(), directories.items.size() + 1);
  int64_t masterDefects = 0, datDefects = 0;
  for (size_t i = 0; i < directories.items.size(); ++i) {
    const JsonValue& d = directories[i];
    EXPECT_NE(lines[i].find(d["directory"].text), std::string::npos) << lines[i];
    EXPECT_EQ(lines[i].rfind(d["status"].text == "ok" ? "OK" : "DEFECTS", 0), 0u) << lines[i];
    EXPECT_EQ(d["master_defects"].Int(), static_cast<int>(d["master_findings"].items.size()));
    masterDefects += d["master_defects"].Int();
    datDefects += d["dat_defects"].Int();
  }
  EXPECT_EQ(document["totals"]["master_defects"].Int(), masterDefects);
  EXPECT_EQ(document["totals"]["dat_defects"].Int(), datDefects);
  EXPECT_EQ(datDefects, static_cast<int64_t>(sample::GetSampleTree().datDefects.size()));
  EXPECT_EQ(lines.back().rfind("Total: ", 0), 0u);
}

TEST_F(QvxIntegrityTest, CheckOfSoundDataExitsZero) {
  QvxResult r = Qvx({"check", Dir("Intraday"), "--json"});
  EXPECT_EQ(r.status, 0);
  const JsonValue document = Parsed(r.out);
  ASSERT_EQ(document["directories"].items.size(), 1u);
  EXPECT_EQ(document["directories"][0]["directory"].text, ".");
  EXPECT_EQ(document["directories"][0]["status"].text, "ok");
  EXPECT_EQ(document["directories"][0]["data_files"].items.size(), 3u);
}

}  // namespace
