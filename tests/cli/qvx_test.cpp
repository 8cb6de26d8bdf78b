// What qvx adds to the core, through the program (qvx.exe under Wine in the Windows build): arguments,
// printed lines and JSON, exit statuses, the options and prompts that answer questions, the sample tree.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <regex>
#include <set>
#include <sstream>
#include <tuple>

#include "integrity/dat_checks.h"
#include "integrity/master_checks.h"
#include "primitives/mbf.h"
#include "sample_data.h"
#include "store/file_names.h"
#include "store/messages.h"
#include "store/temporary_files.h"
#include "support/export_rows.h"
#include "support/fixtures.h"
#include "support/program_runner.h"
#include "support/scenes.h"
#include "terminal_interaction.h"

#ifndef _WIN32
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

using namespace fixtures;
using nlohmann::json;
using namespace testing_support;
using Dirs = std::map<std::string, std::string>;
namespace fs = std::filesystem;

const std::string kAnyText = "<any text>";

#ifdef _WIN32
const std::string kSep = "\\";
#else
const std::string kSep = "/";
#endif

// The text with each $X replaced by its directory.
std::string Expand(std::string text, const Dirs& dirs) {
  for (const auto& [name, dir] : dirs)
    for (size_t at; (at = text.find(name)) != std::string::npos;) text.replace(at, name.size(), dir);
  return text;
}
// The command line split at blanks, each $X replaced by its directory.
ProgramRun Qvx(const std::string& line, const Dirs& dirs) {
  std::vector<std::string> args;
  std::istringstream words(line);
  for (std::string word; words >> word;) args.push_back(Expand(word, dirs));
  return RunProgram(QVX_PROGRAM, args);
}
// A row: the command line, what it prints (kAnyText: any text but none; $X: a directory), what the table
// checks in a and b.
struct Call {
  std::string line;
  int status;
  std::string out, err, a = "", b = "";
  void Check(const Dirs& dirs) const {
    Call{line, status, Expand(out, dirs), Expand(err, dirs)}.Check(Qvx(line, dirs));
  }
  void Check(const ProgramRun& run) const {
    const bool anyOut = out == kAnyText && !run.out.empty(), anyErr = err == kAnyText && !run.err.empty();
    EXPECT_EQ(std::tie(run.status, run.out, run.err),
              std::tie(status, anyOut ? run.out : out, anyErr ? run.err : err))
        << line;
  }
};
std::string Message(int number, const std::string& cause = "") {
  return std::string(GetError(number)) + (cause.empty() ? "" : " (" + cause + ")") + "\n";
}
std::string Refusal(const std::string& argument, const std::string& why) {  // CLI11's words
  return argument + ": " + why + "\nRun with --help for more information.\n";
}
std::string Bare(const TempDir& dir) {  // as a script types it: no trailing separator
  return fs::path(dir.Path("")).parent_path().string();
}

TEST(QvxTest, ReadCommandsPrintTheirLinesAndRefuseBadArguments) {
  TempDir dir;
  WriteMaster(dir, MasterBuilder()
                       .Add({.fileNumber = 1, .fieldCount = 5, .name = "DAILY", .symbol = "DLY"})
                       .Add({.fileNumber = 2, .name = "MINUTES", .period = 'I', .timeBase = 5})
                       .Add({.fileNumber = 3, .fieldCount = 6, .name = "GONE"})
                       .Add({.fileNumber = 4, .fieldCount = 5, .name = "FRAGMENT"}));
  WriteDat(dir, 1,
           DatBuilder::ForFields(5)
               .Values({StoredDate(1996, 1, 15), 12.3f, 11.9f, 12.1f, 1500})
               .Values({StoredDate(2010, 1, 4), 9.87f, 9.12f, 9.5f, 71000})
               .Words({MbfWord(StoredDate(2010, 1, 5)), kStoredMinusOne, MbfWord(9.1f), MbfWord(9.3f), 0}));
  WriteDat(dir, 2,
           DatBuilder::ForFields(7).Values({StoredDate(2013, 11, 14), StoredTime(9, 35, 0), 1, 2, 1, 2, 7}));
  WriteDat(dir, 4, DatBuilder::ForFields(5).Values({StoredDate(1996, 1, 15), 1, 1, 1, 1}).Append({1, 2}));
  fs::create_directory(dir.Path("short"));
  WriteBytes(dir.Path("short") + "/master", Bytes(20, 0));
  const std::string listed =
      "DAILY\tDLY\tF1\tDaily File\tFile Exists\nMINUTES\tSYM\tF2\tIntraDay File\tFile Exists\n"
      "GONE\tSYM\tF3\tDaily File\tNon-Existant\nFRAGMENT\tSYM\tF4\tDaily File\tFile Exists\n";
  const std::string titles = "Date\tHigh\tLow\tClose\tVolume\n",
                    second = "1\t04/01/10\t9.87\t9.12\t9.50\t71000.00\n";
  const Call calls[] = {
      {"list $D", 0, listed, ""},
      {"list $D\\", 0, listed, ""},
      {"list $D/none", 2, "", Message(kInvalidPathMessage, "no such directory: $D/none")},
      {"list $D/short", 2, "", "The master file is too short to hold its header record.\n"},
      {"show $D 1", 0,
       titles + "0\t15/01/96\t12.30\t11.90\t12.10\t1500.00\n" + second +
           "2\t05/01/10\t0.00\t9.10\t9.30\t0.00\n",
       ""},
      {"show $D 1 --from 1 --count 1", 0, titles + second, ""},
      {"show $D 1 --count -1", 2, "", Refusal("--count", "Value -1 not in range 0 to 2147483647")},
      {"show $D 2", 0,
       "Date\tTime\tOpen\tHigh\tLow\tClose\tVolume\n0\t14/11/13\t09:35:00\t1.00\t2.00\t1.00\t2.00\t7.00\n",
       ""},
      {"show $D 3", 2, "", Message(kFileAccessMessage, "no data file $D" + kSep + "F3.DAT")},
      {"show $D 9", 2, "", Message(kFileAccessMessage, "no instrument F9 in the master file of $D")},
      {"show $D 4", 2, "", Message(kUnknownFormatMessage)},
      {"find $D 1 15/01/96", 0, "0\n", ""},
      {"find $D 1 06/01/10", 1, "Not Found!\n", ""},
      {"find $D 1 2010-01-05", 0, "2\n", ""},
      {"find $D 1 31/02/96", 2, "", Message(kInvalidDateMessage)},
      {"find $D 1 15/01/96 10:00:00", 2, "", "qvx find: only intraday instruments are searched by time\n"},
      {"find $D 2 14/11/13 09:31:00", 0, "0\n", ""},
      {"find $D 2 14/11/13 25:00:00", 2, "", Message(kInvalidTimeMessage)},
      {"help nothing", 2, "", "qvx help: no command named nothing\n"},
      {"--version", 0, "qvx " QUORVEX_VERSION "\n", ""}};
  for (const Call& c : calls) c.Check({{"$D", Bare(dir)}});
  // XMASTER's instruments: listed after master's and marked, read through their F<n>.MWD, never made up.
  const std::string x = dir.Path("x");
  WriteSoundDirectory(x, {1}, 1);
  WriteBytes(x + "/XMASTER",
             XmasterFile({{.fileNumber = 256, .symbol = "XS", .name = "WIDE"}, {.fileNumber = 300}}));
  WriteBytes(x + "/EMASTER", EmasterFile({{.fileNumber = 9}}));
  WriteBytes(x + "/F256.MWD",
             DatBuilder::ForFields(7).Values({StoredDate(1949, 3, 20), 1, 3, 1, 2, 9, 4}).Build());
  const ProgramRun listing = Qvx("list $D/x", {{"$D", Bare(dir)}});
  EXPECT_EQ(listing.out.substr(listing.out.find("\nWIDE") + 1),
            "WIDE\tXS\tF256\tDaily File\tFile Exists\tXMASTER\nINSTRUMENT\tSYM\tF300\tDaily "
            "File\tNon-Existant\tXMASTER\n");
  const json entries = json::parse(Qvx("list $D/x --json", {{"$D", Bare(dir)}}).out)["instruments"];
  EXPECT_EQ(json::array({entries.at(1)["file_number"], entries[1]["index"], entries[1]["fields"],
                         entries.at(2)["exists"]}),
            json::array({256, "XMASTER", "Date,Open,High,Low,Close,Volume,O I", false}));
  const Call xmaster[] = {
      {"show $D/x 256", 0,
       "Date\tOpen\tHigh\tLow\tClose\tVolume\tO I\n0\t20/03/49\t1.00\t3.00\t1.00\t2.00\t9.00\t4.00\n", ""},
      {"find $D/x 256 1949-03-20", 0, "0\n", ""},
      {"test-dat $D/x 256", 0, "No Errors Found\n", ""},
      {"insert $D/x 256 0", 2, "",
       Refusal("N", "F256 is an XMASTER instrument, which qvx reads but does not change")},
      {"test-master $D/x", 1,
       "No Errors Found\nEMASTER: F1 is in master but not in EMASTER\nEMASTER: F9 is in EMASTER but not in "
       "master\n",
       ""},
      {"show $D/x 300", 2, "", Message(kFileAccessMessage, "no data file $D/x" + kSep + "F300.MWD")},
      {"show $D/x 301", 2, "",
       Message(kFileAccessMessage, "no instrument F301 in the XMASTER file of $D/x")}};
  for (const Call& c : xmaster) c.Check({{"$D", Bare(dir)}});
  // help alone lists the commands, as --help does (not help's own options).
  EXPECT_EQ(Qvx("help", {}).out, Qvx("--help", {}).out);
  // The commands that take test codes list each with its name.
  const std::string dat = Qvx("help test-dat", {}).out, master = Qvx("test-master --help", {}).out;
  for (int code = 0; code < kMasterTestCount; ++code) {
    const std::string line = "\n  " + std::to_string(code) + std::string(code < 10 ? 3 : 2, ' ');
    EXPECT_NE(master.find(line + GetMasterError(code) + "\n"), std::string::npos) << code;
    EXPECT_TRUE(code >= kDATTestCount || dat.find(line + GetDATError(code) + "\n") != std::string::npos)
        << code;
  }
#ifndef _WIN32
  // A backslash inside a POSIX name is part of it, and a link back up is not followed round again.
  WriteSoundDirectory(dir.Path("a\\b"), {1}, 1);
  fs::create_directory_symlink("..", dir.Path("a\\b") + "/loop");
  const Dirs dirs = {{"$D", Bare(dir)}};
  const std::string label = (Bare(dir) + "\\").substr(0, 29);
  Call{"tree $D", 0, label + "\n  a\\b\n  short\n  x\n", ""}.Check(dirs);
  const ProgramRun checked = Qvx("check $D", dirs);
  EXPECT_NE(checked.out.find("\nOK       a\\b    1 instrument\n"), std::string::npos) << checked.out;
#endif
}

// The days (of January 2010) of a 5-field data file's dates: " 1 2 3"; "" when there is no file.
std::string Days(const std::string& path) {
  const Bytes bytes = fs::exists(path) ? ReadBytes(path) : Bytes();
  std::string days;
  for (size_t at = 20; at + 20 <= bytes.size(); at += 20)
    days += " " + std::to_string(static_cast<int>(MBF_IEEE(LoadMbfWord(&bytes[at]))) % 100);
  return days;
}

// F1 holds days 1-5 with a stale header count, to show the write-back on close. In a: F1's days afterwards
// ("-": every file as built); in b: "file:days" of another data file.
TEST(QvxTest, RecordCommandsEditAndWriteBackOnClose) {
  const Call cases[] = {
      {"insert $D 1 0", 0, "", "", "1 1 2 3 4 5"},
      {"insert $D 1 6", 2, "", "qvx insert: R must lie between 0 and the new-record row, 5\n", "1 2 3 4 5"},
      {"insert $D 7 0", 2, "", Message(kFileAccessMessage, "no instrument F7 in the master file of $D"), "-"},
      {"delete-records $D 1 0 2 4", 0, "", "", "2 4"},
      {"delete-records $D 1 0 7", 2, "",
       "qvx delete-records: record 7 does not exist (records run from 0 to 4)\n", "1 2 3 4 5"},
      {"truncate $D 1 2 --after", 0, "", "", "1 2 3"},
      {"truncate $D 1 2 --before --include", 0, "", "", "4 5"},
      {"truncate $D 1 2", 2, "", "qvx truncate: give --after or --before\n", "-"},
      {"set $D 1 4 0 20/01/10", 0, "", "", "1 2 3 4 20"},
      {"set $D 1 1 0 2010-02-30", 2, "", Message(kInvalidDateMessage), "1 2 3 4 5"},
      {"set $D 1 1 4 -3", 2, "", "qvx: the cell does not take the text \"-3\"\n", "1 2 3 4 5"},
      {"set $D 1 5 0 6/1/10", 2, "",
       "qvx set: record 5 does not exist (append types into the new-record row)\n", "1 2 3 4 5"},
      {"append $D 1 2010-01-06 6 6 6 600", 0, "", "", "1 2 3 4 5 6"},
      {"append $D 1 06/01/10 6 6 6", 1, "", "qvx append: 4 of 5 fields given; nothing appended\n",
       "1 2 3 4 5"},
      {"append $D 1 06/01/10 6 6 6 600 9", 2, "", "qvx append: the record has 5 fields\n", "1 2 3 4 5"},
      {"split $D 1 1 $D/parts", 2, "", Message(kCreateDirectoryQuestion), "1 2 3 4 5", "parts/F1.DAT:"},
      {"split $D 1 1 $D/parts --mkdir --first-include", 0, "", "", "3 4 5", "parts/F1.DAT: 1 2"},
      {"split $D 1 2 $D --leave-intact --last-include", 0, "", "", "1 2 3 4 5", "F3.DAT: 3 4 5"},
  };
  for (const Call& c : cases) {
    TempDir dir;
    DatBuilder dat = DatBuilder::ForFields(5).HeaderCount(99);
    for (float day = 1; day <= 5; ++day)
      dat.Values({StoredDate(2010, 1, static_cast<int>(day)), day, day, day, day});
    WriteDat(dir, 1, dat);
    WriteMaster(dir, MasterBuilder().Add({.fileNumber = 1, .fieldCount = 5}).LastFileNumber(1));
    const Snapshot built = TakeSnapshot(dir.Path(""));
    c.Check({{"$D", Bare(dir)}});
    if (c.a == "-") {
      EXPECT_TRUE(TakeSnapshot(dir.Path("")) == built) << c.line;
      continue;
    }
    const Bytes data = ReadBytes(dir.Path("F1.DAT"));
    EXPECT_EQ(std::pair(Days(dir.Path("F1.DAT")), size_t{data[2]}), std::pair(" " + c.a, data.size() / 20))
        << c.line;
    const std::string other = c.b.empty() ? "F3.DAT:" : c.b;  // by default: no other data file made
    EXPECT_EQ(Days(dir.Path(other.substr(0, other.find(':')))), other.substr(other.find(':') + 1)) << c.line;
  }
  // Beyond 32,767 records the header still counts them all, unsigned, as the files' own writers do; a
  // count beyond 65,535 cannot be stored, and check names the file.
  TempDir dir;
  DatBuilder dat = DatBuilder::ForFields(5);
  for (int r = 0; r < 65533; ++r) dat.Values({StoredDate(2010, 1, 4), 1, 1, 1, 1});
  WriteDat(dir, 1, dat);
  WriteMaster(dir, MasterBuilder().Add({.fileNumber = 1, .fieldCount = 5}).LastFileNumber(1));
  const Dirs dirs = {{"$D", Bare(dir)}};
  for (int count : {65535, 0}) {
    Call{"insert $D 1 0", 0, "", ""}.Check(dirs);
    const Bytes data = ReadBytes(dir.Path("F1.DAT"));
    EXPECT_EQ(std::pair(data[2] | data[3] << 8, data.size() / 20),
              std::pair(count, size_t(count ? count : 65536)));
  }
  EXPECT_NE(Qvx("check $D", dirs).out.find(", F1.DAT holds more records than its header can count\n"),
            std::string::npos);
  json counted = json::parse(Qvx("check $D --json", dirs).out)["directories"][0]["data_files"][0];
  EXPECT_EQ(std::tie(counted["uncounted"], counted["miscounted"]), std::make_tuple(true, false));
  // Other counts disagree: F1's header counts more than the file holds, F2's fewer, F3's none, F4's right.
  // test-dat and check say so; test-master and check list the temporary files. correct's change removes the
  // leftover record temporary, and the editor's close writes the count the length gives.
  const std::string q =
      RecordTempFileName("", NewRecordTempTag(std::chrono::system_clock::now() - std::chrono::hours(1), 7));
  TempDir m;
  WriteSoundDirectory(m.Path(""), {1, 2, 3, 4}, 3);
  for (auto [n, count] : {std::pair{1, 9}, {2, 2}, {3, 0}}) {
    Bytes bytes = ReadBytes(m.Path(DATFileName("", n)));
    PutU16(bytes, 2, uint16_t(count)), WriteBytes(m.Path(DATFileName("", n)), bytes);
  }
  WriteBytes(m.Path(q), Bytes(1234)), WriteBytes(m.Path("msttmp"), Bytes(5)), WriteBytes(m.Path("x.tmp"), {});
  for (const char* data : {"f9.dat", "F09.DAT", "F256.DAT"})
    WriteBytes(m.Path(data), Bytes(20));  // f9.dat unlisted
  const Dirs md = {{"$M", Bare(m)}};
  json checked = json::parse(Qvx("check $M --json", md).out)["directories"][0], counts = json::array();
  json files = checked["data_files"];  // and test-dat's
  files.push_back(json::parse(Qvx("test-dat $M 2 --json", md).out));
  for (json& f : files) counts.push_back({f["header_count"], f["file_records"], f["miscounted"]});
  EXPECT_EQ(counts, json::parse("[[9, 4, true], [2, 4, true], [0, 4, true], [4, 4, false], [2, 4, true]]"));
  const json temporaries = {{{"file", q}, {"bytes", 1234}}, {{"file", "msttmp"}, {"bytes", 5}}};
  json master = json::parse(Qvx("test-master $M --json", md).out);
  for (json* document : {&checked, &master}) {
    EXPECT_EQ((*document)["temporary_files"], temporaries);
    EXPECT_EQ((*document)["unlisted_data_files"], json::array({"f9.dat"}));
  }
  const std::string f1 = "F1.DAT: header counts 9 records, the file holds 4\n", in = "         ",
                    qvx = "leftover temporary file " + q + " (1,234 bytes)\n",
                    msttmp = "leftover temporary file msttmp (5 bytes)\n",
                    f9 = "data file f9.dat is listed by no master\n",
                    row = "DEFECTS  .  4 instruments, 0 master defects, 0 DAT defects\n";
  // Miscounts weigh as "Problems Always", what lies beside the data as "Problems Possible": only the
  // first fail check by default.
  const auto total = [](int always, int possible) {
    return "Total: 1 directory (0 ok, 1 with defects, 0 failed), 0 master defects, 0 DAT defects, 0 data "
           "files not tested\nBy severity: " +
           std::to_string(always) + " Problems Always, " + std::to_string(possible) +
           " Problems Possible, 0 Unlikely to cause problems\n";
  };
  const Call found[] = {{"test-dat $M 1", 1, "No Errors Found\n" + f1, ""},
                        {"test-master $M", 1, "No Errors Found\n" + qvx + msttmp + f9, ""},
                        {"check $M", 1,
                         row + in + f1 + in + "F2.DAT: header counts 2 records, the file holds 4\n" + in +
                             "F3.DAT: header counts 0 records, the file holds 4\n" + in + qvx + in + msttmp +
                             in + f9 + total(3, 3),
                         ""},
                        {"correct $M 0 8", 0, "", ""}};
  for (const Call& c : found) c.Check(md);
  EXPECT_FALSE(fs::exists(m.Path(q)));
  for (std::string n : {"1", "2", "3", "4"}) Call{"set $M " + n + " 2 0 30/12/09", 0, "", ""}.Check(md);
  Call{"check $M", 0, row + in + msttmp + in + f9 + total(0, 2), ""}.Check(md);
}

std::string Listed(const std::string& nativeDir) {  // the master's file numbers; "-": no master
  if (!fs::exists(nativeDir + "/master")) return "-";
  std::string numbers;
  for (int n : ViewMaster(TakeSnapshot(nativeDir)).Numbers()) numbers += std::to_string(n);
  return numbers;
}

// One scene through the group's commands in turn: what each prints, and in a and b the file numbers
// the two masters list afterwards. A/F3.DAT is a directory, which can be neither copied nor deleted.
TEST(QvxTest, InstrumentCommandsAnswerEachQuestionByItsOption) {
  const std::string copying = "A problem occured during copying, do you wish to attempt to continue ?";
  const std::string deleting = "An error occured whilst deleting, do you wish to continue ?";
  const std::string creating = "This directory does not exist, do you want to attempt to create it ?";
  const Call steps[] = {
      {"create $A --name ACME --symbol ACM --period weekly --fields 6", 0, "4\n", "", "1234", "-"},
      {"create $A --name TICKS --period intraday --timebase 1440", 0, "5\n", "", "12345", "-"},
      {"create $A/ --name PLAIN", 0, "6\n", "", "123456", "-"},
      {"create $A --name N --fields 4", 2, "", "qvx create: a daily instrument has 5, 6 or 7 fields\n",
       "123456", "-"},
      {"create $B --name N", 2, "", Message(kInvalidPathMessage, "no such directory: $B"), "123456", "-"},
      {"create $A --name ABCDEFGHIJKLMNOP", 2, "",
       Refusal("--name", "\"ABCDEFGHIJKLMNOP\" is longer than 15 characters"), "123456", "-"},
      {"symbol $A 2 NEWSYM", 0, "", "", "123456", "-"},
      {"symbol $A 2 ABCDEFGHIJKLMNO", 2, "",
       Refusal("SYMBOL", "\"ABCDEFGHIJKLMNO\" is longer than 14 characters"), "123456", "-"},
      {"symbol $A 9 X", 2, "",
       Message(kInvalidInstrumentMessage, "no instrument F9 in the master file of $A"), "123456", "-"},
      {"copy $A $B 1 2", 2, "", creating + " No\n", "123456", "-"},
      {"copy $A $B 1 2 --mkdir", 0, "", creating + " Yes\n", "123456", "12"},
      {"mkdir $S C", 0, "", "", "123456", "12"},
      {"mkdir $S C", 2, "", "Unable to create Directory\n", "123456", "12"},
      {"mkdir $S/none C", 2, "", "Unable to create Directory (no such directory: $S/none)\n", "123456", "12"},
      {"move $A $B 4 5", 0, "", "", "1236", "1234"},
      {"copy $A $B 2 3", 2, "", copying + " No\n", "1236", "1234"},
      {"copy $A $B 2 3 --keep-going", 2, "", copying + " Yes\n", "1236", "12345"},
      {"delete $A 2 3", 2, "", deleting + " No\n", "1236", "12345"},
      {"delete $A 2 3 --keep-going", 2, "", deleting + " Yes\n", "136", "12345"},
      {"delete $A 3 9", 2, "",
       Message(kSelectingInstrumentsMessage, "no instrument F9 in the master file of $A"), "136", "12345"},
      {"delete $A 1 6", 0, "", "", "3", "12345"},
  };
  TempDir scratch;
  const std::string a = scratch.Path("A"), b = scratch.Path("B");
  WriteSoundDirectory(a, {1, 2, 3}, 3);
  fs::remove(a + "/F3.DAT"), fs::create_directory(a + "/F3.DAT");
  for (const Call& step : steps) {
    step.Check({{"$A", a}, {"$B", b}, {"$S", Bare(scratch)}});
    EXPECT_EQ(Listed(a) + " " + Listed(b), step.a + " " + step.b) << step.line;
  }
  // The options' records, in the dialogs' order (the selection's reversed): INSTR2, INSTR1, TICKS, ACME.
  const std::vector<Bytes> copied = ViewMaster(TakeSnapshot(b)).records;
  EXPECT_EQ(std::tuple(std::string(copied.at(0).begin() + 36, copied[0].begin() + 50), copied[0][12],
                       copied.at(2)[4], copied.at(3)[4], copied[3][33]),
            std::tuple("NEWSYM        ", '2', 4, 6, 'W'));
  // A read-only master stays as it is, and a move that cannot take its entry out changes no destination.
  const std::string c = scratch.Path("C");
  WriteSoundDirectory(c, {1, 2}, 2);
  const auto writable = fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
  fs::permissions(c + "/master", writable, fs::perm_options::remove);
  const Snapshot before = TakeSnapshot(scratch.Path(""));
  Call{"delete $C 1", 2, "", deleting + " No\n"}.Check({{"$C", c}});
  Call{"test-master $C", 0, "No Errors Found\n", ""}.Check({{"$C", c}});
  Call{"move $C $B 2", 2, "", "A problem occured during moving, do you wish to attempt to continue ? No\n"}
      .Check({{"$B", b}, {"$C", c}});
  EXPECT_TRUE(TakeSnapshot(scratch.Path("")) == before);
  EXPECT_EQ(fs::status(c + "/master").permissions() & writable, fs::perms::none);
  fs::permissions(c + "/master", writable, fs::perm_options::add);
}

// import and create --from through the program: what each prints; a refused call changes no file.
TEST(QvxTest, ImportAndCreateFromTakeATextFileOrChangeNothing) {
  TempDir dir;
  WriteSoundDirectory(dir.Path("d"), {1}, 3);
  const std::string rows =
      "<TICKER>,<PER>,<DTYYYYMMDD>,<OPEN>,<HIGH>,<LOW>,<CLOSE>,<VOL>,<OPENINT>\n"
      "NEW,D,20200106,1,2,1,2,9,0\nNEW,D,20200107,2,3,1,2.5,8,1\n";
  WriteText(dir.Path("t.csv"), rows);
  WriteText(dir.Path("bad.csv"), rows + "NEW,D,20200231,1,1,1,1,1,1\n");
  const std::string holds =
      "qvx import: F1 holds 3 records: give --append to add the file's after them, or --replace to replace "
      "them\n";
  const Call calls[] = {
      {"import $D/d 1 $D/t.csv", 2, "", holds},
      {"import $D/d 1 $D/t.csv --append --replace", 2, "",
       "--append excludes --replace\nRun with --help for more information.\n"},
      {"import $D/d 1 $D/t.csv --encoding ebcdic", 2, "",
       Refusal("--encoding", "\"ebcdic\" is no code page (windows-1252 or iso-8859-1)")},
      {"import $D/d 256 $D/t.csv", 2, "",
       Refusal("N", "F256 is an XMASTER instrument, which qvx reads but does not change")},
      {"import $D/d 9 $D/t.csv", 2, "",
       Message(kInvalidInstrumentMessage, "no instrument F9 in the master file of $D/d")},
      {"import $D/d 1 $D/bad.csv --replace", 2, "", "qvx import: line 4: 20200231 is not a date\n"},
      {"create $D/d --from $D/bad.csv", 2, "", "qvx create: line 4: 20200231 is not a date\n"},
      {"create $D/d", 2, "", "qvx create: --name is required (or --from FILE, whose names it takes)\n"},
      {"import $D/d 1 $D/t.csv --append", 0, "2 records imported, F1 holds 5\n", ""},
      {"create $D/d --from $D/t.csv --period daily", 0, "2\n", ""},
      {"show $D/d 2", 0,
       "Date\tOpen\tHigh\tLow\tClose\tVolume\tO I\n0\t06/01/20\t1.00\t2.00\t1.00\t2.00\t9.00\t0.00\n"
       "1\t07/01/20\t2.00\t3.00\t1.00\t2.50\t8.00\t1.00\n",
       ""},
      {"test-master $D/d", 0, "No Errors Found\n", ""},
      {"test-dat $D/d 1", 0, "No Errors Found\n", ""},
  };
  for (const Call& c : calls) {
    const Snapshot before = TakeSnapshot(dir.Path(""));
    c.Check({{"$D", Bare(dir)}});
    EXPECT_TRUE(c.status == 0 || TakeSnapshot(dir.Path("")) == before) << c.line;
  }
  EXPECT_EQ(ViewMaster(TakeSnapshot(dir.Path("d"))).records.at(1).at(7), 'N');
}

#ifndef _WIN32
// qvx's stderr when it runs on a pseudo-terminal (stdout discarded).
std::string StderrOnTerminal(const std::vector<std::string>& args) {
  int terminal = -1, side = -1;
  if (openpty(&terminal, &side, nullptr, nullptr, nullptr) != 0) return "no pseudo-terminal";
  const pid_t child = fork();
  if (child == 0) {
    dup2(side, 2), close(terminal), close(side);
    freopen("/dev/null", "w", stdout);
    std::vector<char*> argv{const_cast<char*>(QVX_PROGRAM)};
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    execv(QVX_PROGRAM, argv.data());
    _exit(127);
  }
  close(side);
  std::string text;
  char buffer[4096];
  for (ssize_t n; (n = read(terminal, buffer, sizeof buffer)) > 0;) text.append(buffer, n);
  close(terminal);
  waitpid(child, nullptr, 0);
  return text;
}
#endif

// check weighs each finding by its explanation's level: a missing DOP file and a leftover temporary file are
// "Problems Possible", so only --fail-on possible or any fails on them, and --ignore leaves them out. -j
// changes nothing printed; progress shows on a terminal only.
TEST(QvxTest, CheckWeighsFindingsBySeverityAndTestsDirectoriesAtOnce) {
  TempDir dir;
  WriteSoundDirectory(dir.Path("a"), {1, 2}, 3);
  fs::remove(dir.Path("a/F1.DOP"));
  WriteSoundDirectory(dir.Path("b"), {1}, 3);
  WriteBytes(dir.Path("b/msttmp"), Bytes(5));
  const Dirs dirs = {{"$R", Bare(dir)}};
  const auto summary = [](const std::string& a, const std::string& b, int ok, int possible) {
    return a + "\n" + b + "\nTotal: 2 directories (" + std::to_string(ok) + " ok, " + std::to_string(2 - ok) +
           " with defects, 0 failed), " + (a[0] == 'O' ? "0 master defects" : "1 master defect") +
           ", 0 DAT defects, 0 data files not tested\nBy severity: 0 Problems Always, " +
           std::to_string(possible) + " Problems Possible, 0 Unlikely to cause problems\n";
  };
  const std::string
      a = "DEFECTS  a  2 instruments, 1 master defect, 0 DAT defects",
      okA = "OK       a  2 instruments",
      b = "DEFECTS  b  1 instrument, 0 master defects, 0 DAT defects\n         leftover temporary "
          "file msttmp (5 bytes)",
      okB = "OK       b  1 instrument";
  const Call calls[] = {
      {"check $R", 0, summary(a, b, 0, 2), ""},
      {"check $R --fail-on possible -j 1", 1, summary(a, b, 0, 2), ""},
      {"check $R --fail-on any -j 2", 1, summary(a, b, 0, 2), ""},
      {"check $R --fail-on any --ignore master:1", 1, summary(okA, b, 1, 1), ""},
      {"check $R --fail-on any --ignore MASTER:1,temporary,dat:9 -j 3", 0, summary(okA, okB, 2, 0), ""},
      {"check $R --ignore master:12", 2, "",
       Refusal("--ignore",
               "\"master:12\" is not master:0 ... master:11, dat:0 ... dat:9, index, temporary or "
               "unlisted")},
      {"check $R --ignore 1", 2, "",
       Refusal("--ignore",
               "\"1\" is not master:0 ... master:11, dat:0 ... dat:9, index, temporary or unlisted")},
      {"check $R --fail-on some", 2, "", Refusal("--fail-on", "some not in {always,possible,any}")},
      {"check $R -j 0", 2, "", Refusal("--jobs", "Value 0 not in range 1 to 256")}};
  for (const Call& c : calls) c.Check(dirs);
  // The document: every finding with its place and level, and the exit status it gave.
  const json document = json::parse(Qvx("check $R --json --fail-on possible", dirs).out);
  json found = json::array();
  for (const json& f : document["findings"])
    found.push_back({f["kind"], f["file_number"], f["code"], f["name"], f["severity"], f["severity_text"]});
  EXPECT_EQ(found, json::parse(R"j([["master", 1, 1, "Missing DOP File", 1, "Problems Possible"],
      ["temporary", 0, null, "leftover temporary file msttmp (5 bytes)", 1, "Problems Possible"]])j"));
  EXPECT_EQ(std::tie(document["exit_status"], document["fail_on"]), std::make_tuple(1, "possible"));
  // The sample tree's nine directories, by one thread and by several: the same bytes.
  Call{"sample $R/s", 0, "", ""}.Check(dirs);
  for (const char* format : {"", " --json"}) {
    const ProgramRun one = Qvx("check $R/s -j 1" + std::string(format), dirs);
    for (const char* jobs : {" -j 2", " -j 5"}) {
      const ProgramRun many = Qvx("check $R/s" + std::string(jobs) + format, dirs);
      EXPECT_EQ(std::tie(many.status, many.out, many.err), std::tie(one.status, one.out, one.err))
          << jobs << format;
    }
  }
#ifndef _WIN32
  // A name the system gives in UTF-8 comes out as it is; progress counts the directories on a terminal, then
  // clears its line.
  const std::string unicode =
      "\xC3\x9Cn\xC3\xAF"
      "code";
  fs::rename(dir.Path("b"), dir.Path(unicode));
  const json named = json::parse(Qvx("check $R --json", dirs).out);
  EXPECT_EQ(named["directories"][0]["directory"], unicode);  // sorted as the tree is: letters before digits
  EXPECT_EQ(named["findings"][0]["directory"], dir.Path(unicode));
  const std::string progress = StderrOnTerminal({"check", dir.Path("s"), "-j", "2"});
  EXPECT_NE(progress.find("\r2 of 8 directories checked; now Empty"), std::string::npos) << progress;
  EXPECT_EQ(progress.substr(progress.rfind('\r') - 1, 2), " \r") << progress;
#endif
}

// Without --prompt a question no option answers is No and nothing is read; with it, y or yes in any case.
TEST(QvxTest, APromptTakesYOrYesInAnyLetterCase) {
  const std::vector<std::tuple<const char*, bool, bool>> cases{
      {"y", false, false},   {"YES", true, true}, {"Yes \r\nno", true, true},
      {"yess", true, false}, {"n", true, false},  {"", true, false}};
  for (auto [typed, prompt, yes] : cases) {
    std::istringstream in(typed);
    std::ostringstream out;
    qvx::TerminalInteraction ui(in, out);
    ui.SetPrompt(prompt);
    const bool answer = ui.AskYesNo("Q ?");
    EXPECT_EQ(std::pair(answer, out.str()), std::pair(yes, std::string(prompt ? "Q ? [y/n] " : ""))) << typed;
  }
}

// One scene over the sample tree: written, listed, checked, then tested and repaired directory by directory.
TEST(QvxTest, SampleTreeIsWrittenListedCheckedTestedAndRepaired) {
  TempDir dir;
  const std::string root = dir.Path("sample");
  const Dirs dirs = {{"$S", root}, {"$T", Bare(dir)}};
  Call{"sample $S", 0, "", ""}.Check(dirs);
  // FNV-1a over every path and byte, the same natively and under Wine: the tree depends on no platform.
  uint64_t digest = 14695981039346656037ull;
  Snapshot tree;
  for (const sample::SampleFile& file : sample::GetSampleTree().files) {
    for (char c : file.path) digest = (digest ^ static_cast<uint8_t>(c)) * 1099511628211ull;
    for (uint8_t b : file.bytes) digest = (digest ^ b) * 1099511628211ull;
    tree[file.path] = file.bytes;
  }
  EXPECT_EQ(digest, 0xa11e2a3bc8ab8ddbull) << std::hex << digest;
  EXPECT_TRUE(TakeSnapshot(root) == tree);
  // Never into a directory that holds anything: its names are the names real data has.
  Call{"sample $S/", 2, "",
       "qvx sample: $S is not empty (it holds Damaged, Empty, Intraday and 2 more); the sample is written "
       "only into an empty or new directory\n"}
      .Check(dirs);
  Call{"sample ''", 2, "", "qvx sample: no directory given: name the directory to write the sample into\n"}
      .Check(RunProgram(QVX_PROGRAM, {"sample", ""}));
  EXPECT_TRUE(TakeSnapshot(root) == tree);
  std::istringstream listing(Qvx("tree $S", dirs).out);
  std::multiset<std::string> lines;
  for (std::string line; std::getline(listing, line);) lines.insert(line);
  EXPECT_EQ(lines, (std::multiset<std::string>{(root + "\\").substr(0, 29), "  Stocks", "  Intraday",
                                               "  Damaged", "    Data", "    Master", "    Header",
                                               "  Nested", "    a", "      b", "        c",
                                               "    Archive of International Equi", "  Empty"}))
      << "pruned to data directories and parents, dot names hidden, two blanks a level, cut to 29 characters";
  // check: every data directory below the root, or the root itself; the summary and the JSON agree.
  fs::create_directory(root + "/Broken");
  WriteBytes(root + "/Broken/master", {1, 0, 1, 0});
  const Snapshot unchecked = TakeSnapshot(root);
  const ProgramRun summary = Qvx("check $S", dirs), checked = Qvx("check $S/ --json", dirs);
  EXPECT_EQ(std::make_pair(summary.status, checked.status), std::make_pair(1, 1));
  EXPECT_TRUE(TakeSnapshot(root) == unchecked);
  auto row = [](std::string status, std::string directory, const std::string& counts) {
    status.resize(9, ' '), directory.resize(42, ' ');  // aligned by the longest directory
    return "\n" + status + directory + counts + "\n";
  };
  for (const std::string& line :
       {row("FAILED", "Broken", "master not tested: The master file is too short to hold its header record."),
        row("DEFECTS", "Stocks", "6 instruments, 1 master defect, 0 DAT defects, 1 data file not tested"),
        std::string(
            "\nTotal: 9 directories (4 ok, 4 with defects, 1 failed), 14 master defects, 14 DAT defects, "
            "4 data files not tested\n")}) {
    EXPECT_NE(("\n" + summary.out).find(line), std::string::npos) << line << "in\n" << summary.out;
  }
  const json document = json::parse(checked.out);
  EXPECT_EQ(document["totals"], json::parse(R"({"directories": 9, "ok": 4, "with_defects": 4, "failed": 1,
      "master_defects": 14, "dat_defects": 14, "untested_data_files": 4, "by_severity": [
      {"severity": 2, "severity_text": "Problems Always", "findings": 23},
      {"severity": 1, "severity_text": "Problems Possible", "findings": 9},
      {"severity": 0, "severity_text": "Unlikely to cause problems", "findings": 1}]})"));
  EXPECT_NE(summary.out.find("\nBy severity: 23 Problems Always, 9 Problems Possible, 1 Unlikely to cause "
                             "problems\n"),
            std::string::npos);
  // Each catalogue finding where the tree carries it: [directory, n, code] or [directory, n, record, column,
  // code]; the levels of all of them add up to the totals.
  std::multiset<json> found, table;
  for (const auto& d : sample::GetSampleTree().masterDefects)
    table.insert(json::array({d.directory, d.fileNumber, d.code}));
  for (const auto& d : sample::GetSampleTree().datDefects)
    table.insert(json::array({d.directory, d.fileNumber, d.record, d.column, d.code}));
  std::map<json, json> relative;  // each directory's path to its name below the root
  for (const json& d : document["directories"]) relative[d["path"]] = d["directory"];
  std::map<int, int> levels;
  for (const json& f : document["findings"]) {
    ++levels[f["severity"].get<int>()];
    if (f["kind"] == "master")
      found.insert(json::array({relative[f["directory"]], f["file_number"], f["code"]}));
    if (f["kind"] == "dat")
      found.insert(
          json::array({relative[f["directory"]], f["file_number"], f["record"], f["column"], f["code"]}));
  }
  EXPECT_EQ(found, table);
  EXPECT_EQ(levels, (std::map<int, int>{{0, 1}, {1, 9}, {2, 23}}));
  const ProgramRun sound = Qvx("check $S/Intraday --json", dirs);
  EXPECT_EQ(std::tie(sound.status, json::parse(sound.out)["directories"][0]["directory"]),
            std::make_tuple(0, "."));
  // The printed report is the saved one with plain line ends.
  for (const char* line :
       {"test-dat $S/Damaged/Data 2 --report $T/r", "test-master $S/Damaged/Header --report $T/r"}) {
    const ProgramRun run = Qvx(line, dirs);
    const Bytes bytes = ReadBytes(dir.Path("r"));
    std::string saved(bytes.begin(), bytes.end());
    saved.erase(std::remove(saved.begin(), saved.end(), '\r'), saved.end());
    Call{line, 1, saved, ""}.Check(run);
  }
  const json dat = json::parse(Qvx("test-dat $S/Damaged/Data 1 --json", dirs).out);
  EXPECT_EQ(std::tie(dat["instrument"], dat["tests"][0], dat["findings"][0]),
            std::make_tuple("CORRUPT NUMBERS", 3, json::parse(R"({"record": 10, "column": 4, "code": 0,
                "column_name": "Close", "code_name": "Corrupt Numbers", "severity": 2,
                "severity_text": "Problems Always"})")));
  // Repairs make missing files only with --create, ask only with --prompt (no answer typed: No).
  const ProgramRun repair = Qvx("test-master $S/Damaged/Master --tests 0,10 --repair --json", dirs);
  const json findings = json::parse(repair.out)["findings"];
  EXPECT_EQ(std::tie(repair.err, findings.at(0)["repaired"], findings.at(1)["code"], findings[1]["repaired"]),
            std::make_tuple("", false, 10, true));
  const Call calls[] = {
      {"test-dat $S/Damaged/Data 9 --tests 6,0", 0, "No Errors Found\n", ""},
      {"test-dat $S/Damaged/Data 9 --tests 6,42", 2, "", Refusal("--tests", "Value 42 not in range 0 to 9")},
      {"test-master $S/Damaged/Data --tests 99", 2, "", Refusal("--tests", "Value 99 not in range 0 to 11")},
      {"correct $S/Damaged/Master 3 12", 2, "", Refusal("CODE", "Value 12 not in range 0 to 11")},
      {"test-dat $S/Damaged/Data 77", 2, "",
       "Unable to find Instrument (no instrument F77 in the master file of $S/Damaged/Data)\n"},
      {"test-dat $S/Stocks 6", 2, "",
       Message(kFileAccessMessage, "no data file $S/Stocks" + kSep + "F6.DAT")},
      {"test-master $S/Nested", 2, "", Message(kNoSuchFileMessage, "no master file in $S/Nested")},
      {"test-master $S/Damaged/Header --report $T/no/r", 2, "",
       "$T/no/r: " + Message(kFileAccessMessage, "no such directory: $T/no")},
      {"correct $S/Damaged/Master 5 7", 1, "", "Repair Unsuccessfull\n"},
      {"correct $S/Damaged/Master 3 2", 0, "", ""},
      {"test-master $S/Damaged/Master --tests 0 --repair --create", 1, kAnyText, ""},
      {"test-master $S/Damaged/Master --tests 2,0", 0, "No Errors Found\n", ""},
      {"test-master $S/Damaged/Header --repair --prompt", 1, kAnyText,
       "Too few files reported in directory, Correct ? [y/n] "},
      {"test-master $S/Damaged/Header --repair", 1, kAnyText, ""},
      {"test-master $S/Damaged/Header", 0, "No Errors Found\n", ""}};
  for (const Call& c : calls) c.Check(dirs);
}

}  // namespace

TEST(QvxTest, ExportWritesEveryValueAsStoredAndRefusesWithoutLeavingAFile) {
  TempDir dir;
  const Dirs dirs = {{"$S", dir.Path("sample")}, {"$O", dir.Path("out")}};
  Call{"sample $S", 0, "", ""}.Check(dirs);
  fs::create_directory(dir.Path("out"));
  // The whole tree: its damaged values written empty and reported (exit 1); JSON Lines, a valid object a row.
  const ProgramRun table = Qvx("export $S", dirs), lines = Qvx("export $S --format jsonl", dirs);
  EXPECT_EQ(std::tuple(table.status, lines.status, table.err), std::tuple(1, 1, lines.err));
  const int64_t rows = ExpectRowsAsStored(table.out);
  std::istringstream objects(lines.out);
  int64_t parsed = 0;
  for (std::string line; std::getline(objects, line); ++parsed) EXPECT_TRUE(json::parse(line).is_object());
  EXPECT_EQ(std::tuple(rows > 4000, parsed), std::tuple(true, rows));
  // Two instruments over half a year: their rows only, the same with --output, whole under the name.
  const std::string year = "export $S/Stocks --instrument 1 --instrument 2 --from 1998-06-01 --to 31/12/98";
  const ProgramRun kept = Qvx(year, dirs);
  const std::regex within("[^\n]*,F[12]\\.DAT,[^\n]*,1998-(0[6-9]|1[0-2])-[^\n]*\n");
  EXPECT_EQ(std::regex_replace(kept.out, within, ""), table.out.substr(0, table.out.find('\n') + 1));
  EXPECT_TRUE(kept.out.find(",F1.DAT,") != kept.out.npos && kept.out.find(",F2.DAT,") != kept.out.npos);
  Call{year + " --output $O/out.csv", 0, "", ""}.Check(dirs);
  EXPECT_EQ(ReadBytes(dir.Path("out/out.csv")), Bytes(kept.out.begin(), kept.out.end()));
  // Refused: a message, exit 2, and no file made or changed.
  fs::permissions(dir.Path("out/out.csv"), fs::perms::all, fs::perm_options::remove);
  fs::permissions(dir.Path("out/out.csv"), fs::perms::owner_read, fs::perm_options::add);
  const std::string to = " --output $O/new.csv";
  const Call refusals[] = {
      {"export $S/none" + to, 2, "", Message(kInvalidPathMessage, "no such directory: $S/none")},
      {"export $S/Stocks --instrument 99" + to, 2, "", "qvx export: no instrument F99 in $S/Stocks\n"},
      {"export $S --instrument 300" + to, 2, "",
       "qvx export: no instrument F300 in any of the 8 data directories\n"},
      {"export $S --from 2023-02-30" + to, 2, "", Message(kInvalidDateMessage, "--from 2023-02-30")},
      {"export $S --layout wide" + to, 2, "", Refusal("--layout", "wide not in {table,metastock}")},
      {"export $S --format xml" + to, 2, "", Refusal("--format", "xml not in {csv,jsonl}")},
      {"export $S --encoding koi8" + to, 2, "", Refusal("--encoding", "unknown code page koi8")},
      {"export $S --format jsonl --layout metastock" + to, 2, "",
       "qvx export: JSON Lines carry the table layout's fields; --layout metastock is for CSV\n"},
      {"export $S --output $O/none/new.csv", 2, "", "qvx export: cannot write $O/none/new.csv\n"},
      {"export $S --output $O", 2, "", "qvx export: cannot write $O\n"},
      {"export $S --output $O/out.csv", 2, "", "qvx export: cannot write $O/out.csv\n"}};
  for (const Call& c : refusals) c.Check(dirs);
  EXPECT_EQ(ReadBytes(dir.Path("out/out.csv")), Bytes(kept.out.begin(), kept.out.end()));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path("out")), fs::directory_iterator()), 1);
}
