// The master test, its repairs and the master report's Correct: one defect per instrument found report-only,
// refused, repaired in one run and corrected, also under a failure of each call; and the rules' edges.
#include "integrity/master_checks.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <set>

#include "filelayer/platform_file.h"
#include "integrity/dat_checks.h"
#include "integrity/index_checks.h"
#include "sample_data.h"
#include "store/emaster_follower.h"
#include "store/index_files.h"
#include "support/fixtures.h"
#include "support/report_fixture.h"
#include "support/scenes.h"

namespace {

using namespace fixtures;
using namespace integrity_testing;

const std::vector<int32_t> kEvery = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};

// Instrument n: 7-field daily data seeded by n or intraday data, its DOP file, and master dates that agree.
Series DataOf(int n, bool intraday) {
  return intraday ? Series::Intraday(3, 12) : Series::Daily(30, 2009, 12, 28, static_cast<uint32_t>(n));
}

// What a defect's damage may reach.
struct Plant {
  MasterEntry& e;
  MasterBuilder& m;
  const TempDir& dir;
  void Drop(const char* extension) const {
    std::filesystem::remove(dir.Path("F" + std::to_string(e.fileNumber) + extension));
  }
};

const auto kLengthNoLayoutHas = [](Plant& p) { p.e.fieldCount = 9, p.e.recordLength = 36; };
const auto kNoDataFieldsOff = [](Plant& p) { p.Drop(".DAT"), p.e.fieldCount = 9, p.e.recordLength = 28; };

struct Defect {
  const char* name;
  int32_t code;
  std::function<void(Plant&)> damage;
  bool intraday = false;
  bool correctable = true;                                // Correct repairs it
  std::function<void(MasterEntry&)> corrected = nullptr;  // Correct leaves the sound entry so; null: sound
  int Key() const { return code == 8 || code == 9 ? 0 : 1; }
};

const std::vector<Defect> kDefects = {
    {"MissingDataFile", 0, [](Plant& p) { p.Drop(".DAT"); }},
    {"MissingDopFile", 1, [](Plant& p) { p.Drop(".DOP"); }},
    {"BadFileType", 2, [](Plant& p) { p.e.fileType = 0x6500; }},
    {"FieldCountOffItsLength", 3, [](Plant& p) { p.e.recordLength = 28, p.e.fieldCount = 6; }},
    {"FirstDateOff", 4, [](Plant& p) { p.e.firstDateWord = MbfWord(StoredDate(2009, 1, 2)); }},
    {"LastDateOff", 5, [](Plant& p) { p.e.lastDateWord = 0; }},
    {"DailyTimeBase", 6, [](Plant& p) { p.e.timeBase = 5; }},
    {"UnknownPeriodOverDaily", 7, [](Plant& p) { p.e.period = 'X'; }, false, false},
    {"UnknownPeriodOverIntraday", 7, [](Plant& p) { p.e.period = 'Z'; }, true},
    {"HeaderCountsTooMany", 8, [](Plant& p) { p.m.HeaderCount(200); }},
    {"ReservedBytesSet", 10, [](Plant& p) { p.e.reserved = 0x0100; }},
    {"LengthNoLayoutHas", 11, kLengthNoLayoutHas, false, true,
     [](MasterEntry& e) { e.fieldCount = 9, e.recordLength = 28; }},
};

// Instrument n carries the nth defect; returns master as the test's repairs (byCorrect: Correct) leave it.
// withEmaster: beside master an EMASTER that agrees with it, for the repairs to keep in step.
Bytes Build(const TempDir& dir, const std::vector<Defect>& defects, bool byCorrect = false,
            bool withEmaster = false) {
  MasterBuilder master, repaired;
  for (int n = 1; n <= static_cast<int>(defects.size()); ++n) {
    const Defect& d = defects[static_cast<size_t>(n - 1)];
    MasterEntry entry = DataOf(n, d.intraday).Entry(n, 7, d.intraday ? 'I' : 'D'), fixed = entry;
    WriteDat(dir, n, DataOf(n, d.intraday).Dat(7, d.intraday ? 'I' : 'D'));
    WriteText(dir.Path("F" + std::to_string(n) + ".DOP"), kDailyDop);
    Plant plant{entry, master, dir};
    d.damage(plant);
    if (byCorrect && d.corrected) d.corrected(fixed);
    master.Add(entry), repaired.Add(fixed);
  }
  WriteMaster(dir, master.LastFileNumber(static_cast<uint16_t>(defects.size())));
  if (withEmaster) testing_support::WriteBytes(dir.Path("EMASTER"), EmasterOf(master.Build()));
  return repaired.LastFileNumber(static_cast<uint16_t>(defects.size())).Build();
}
const auto kBuildDamaged = [](const TempDir& dir) { Build(dir, kDefects); };

// The damaged scene as the repairs leave it: master repaired, F1's empty data file and F2's DOP file made.
Snapshot Repaired(Snapshot scene, const Bytes& master) {
  scene["master"] = master, scene["F1.DAT"] = DatBuilder(28).Build();
  scene["F2.DOP"] = Bytes(kDailyDop, kDailyDop + std::strlen(kDailyDop));
  if (scene.contains("EMASTER")) scene["EMASTER"] = EmasterOf(master);
  return scene;
}
void RunTest(const TempDir& dir, Report& report, const std::vector<int32_t>& codes, int repair = 0,
             int prompt = 0, int create = 0) {
  TestMasterFile(dir.Dir().c_str(), report, codes.data(), static_cast<int>(codes.size()), repair, prompt,
                 create);
}

// At the edges of the rules: what is found, and nothing written unless a finding says it was repaired (where
// a row allows repairs, most cannot be made); later tests see what earlier ones repaired, and in the same run
// what a repair brings to light.
struct Border {
  const char* name;
  std::function<void(Plant&)> damage;
  std::vector<int32_t> codes;
  Findings found;  // {file number, code, repaired}
  int repair = 0;
  std::string notice = "";
  int create = 0;
  std::vector<bool> answers = {true, true};
};

void CorruptDatesOnBothSides(Plant& p) {
  WriteDat(p.dir, 1, DataOf(1, 0).Dat(7, 'D').SetWord(29, 0, kStoredMinusOne));
  p.e.lastDateWord = kHugeWord;
}

const Border kBorders[] = {
    {"WeeklyNegativeTimeBase", [](auto& p) { p.e.period = 'W', p.e.timeBase = 0xFFFF; }, {6, 7}, {{1, 6, 0}}},
    {"IntradayTimeBase", [](auto& p) { p.e.period = 'I', p.e.timeBase = 5; }, {6, 7}, {}},
    {"IntradayNegativeTimeBase", [](auto& p) { p.e.period = 'I', p.e.timeBase = 0xFFFB; }, {6}, {{1, 6, 0}}},
    {"TimeBaseOfX", [](auto& p) { p.e.period = 'X', p.e.timeBase = 5; }, {6, 7}, {{1, 7, 1}, {1, 6, 1}}, 1},
    {"CountTooFew", [](auto& p) { p.m.HeaderCount(0); }, {8, 9}, {{0, 9, 0}}},
    {"CountWithTheTopBitSet", [](auto& p) { p.m.HeaderCount(0xFFFF); }, {9, 8}, {{0, 8, 0}}},
    {"FourFields20Bytes", [](auto& p) { p.e.fieldCount = 4, p.e.recordLength = 20; }, {3, 11}, {{1, 3, 0}}},
    {"NoCreate", [](auto& p) { p.Drop(".DAT"), p.Drop(".DOP"); }, {0, 1}, {{1, 0, 0}, {1, 1, 0}}, 1},
    {"NoDataNoDates", [](auto& p) { p.Drop(".DAT"), p.e.lastDateWord = 7; }, {4, 5}, {}, 1},
    {"EmptyData", [](auto& p) { WriteDat(p.dir, 1, DatBuilder(28)), p.e.lastDateWord = 7; }, {5}, {}, 1},
    {"CorruptOnBothSides", CorruptDatesOnBothSides, {5}, {}},
    {"NoData", [](auto& p) { p.Drop(".DAT"), p.e.recordLength = 36; }, {3, 11}, {{1, 3, 0}, {1, 11, 0}}, 1},
    {"ShortMaster", [](auto& p) { p.m.Resize(52); }, {8, 9, 2}, {}, 1, kMasterTooShortText},
    {"LengthRepairedFirst", [](auto& p) { p.e.recordLength = 36; }, {3, 11}, {{1, 3, 1}}, 1},
    {"LayoutRepairedFirst", [](auto& p) { p.e.recordLength = 36; }, {11, 3}, {{1, 11, 1}}, 1},
    {"FieldsLeftWhenDeclined", kLengthNoLayoutHas, {3, 11}, {{1, 11, 1}, {1, 3, 0}}, 1, "", 0, {true, false}},
    {"LengthFromTheMadeFile", kNoDataFieldsOff, {3, 0}, {{1, 3, 1}, {1, 0, 1}}, 1, "", 1},
};

class MasterBorders : public ::testing::TestWithParam<Border> {};

TEST_P(MasterBorders, FindsOnlyWhatTheRuleSaysAndWritesOnlyWhatItRepairs) {
  const Border& b = GetParam();
  TempDir dir;
  Build(dir, {{"", 0, b.damage}});
  const Snapshot before = TakeSnapshot(dir.Path(""));
  Report report(b.answers);
  RunTest(dir, report, b.codes, b.repair, 1, b.create);
  EXPECT_EQ(report.Found(true), b.found);
  EXPECT_TRUE(b.notice.empty() || (report.events == std::vector<std::string>{b.notice, "close"}));
  // One question for each defect it may repair (none twice), and the files changed when one was repaired.
  size_t asked = 0, repaired = 0;
  for (const auto& [n, code, fixed] : b.found) asked += b.repair && (code > 1 || b.create), repaired += fixed;
  EXPECT_EQ(std::pair(report.questions.size(), TakeSnapshot(dir.Path("")) == before),
            std::pair(asked, !repaired));
}

INSTANTIATE_TEST_SUITE_P(Rules, MasterBorders, ::testing::ValuesIn(kBorders),
                         [](const auto& p) { return std::string(p.param.name); });

// A caller that tested the data file first hands its ends over: the date tests find the same without opening
// the file again, and open it when the ends it read are not the ones they compare.
TEST(MasterChecks, DateTestsFindTheSameFromTheEndsTheDATTestRead) {
  const std::vector<int32_t> dates = {4, 5};
  const Bytes partial = {1, 2, 3, 4, 5};
  const struct {
    const char* name;
    std::function<void(Plant&)> damage;
    Findings found;
    int opens;  // with the ends: master, and the data file when they cannot answer
  } kCases[] = {
      {"Agreeing", [](Plant&) {}, {}, 1},
      {"FirstOff", [](Plant& p) { p.e.firstDateWord = MbfWord(StoredDate(2009, 1, 2)); }, {{1, 4, 0}}, 1},
      {"LastOff", [](Plant& p) { p.e.lastDateWord = 0; }, {{1, 5, 0}}, 1},
      {"HeaderOnly", [](Plant& p) { WriteDat(p.dir, 1, DatBuilder(28)), p.e.lastDateWord = 7; }, {}, 1},
      {"PartialRecordLast",
       [&](Plant& p) { WriteDat(p.dir, 1, DataOf(1, false).Dat(7, 'D').Append(partial)); },
       {{1, 5, 0}},
       2},
      {"NoLayoutToRead",
       [](Plant& p) { p.e.fieldCount = 5, p.e.recordLength = 22; },
       {{1, 4, 0}, {1, 5, 0}},
       2},
  };
  for (const auto& c : kCases) {
    TempDir dir;
    Build(dir, {{"", 0, c.damage}});
    Report alone, dat, given;
    RunTest(dir, alone, dates);
    DATReadings readings;
    const MasterRecord record = ReadMasterRecords(dir.Dir().c_str()).at(0);
    TestDATFile(dir.Dir().c_str(), dat, kDATDialogOrder, kDATTestCount, record, &readings);
    const std::map<int, DataFileEnds> ends = {{1, readings.ends}};
    platform::ResetFaults();
    TestMasterFile(dir.Dir().c_str(), given, dates.data(), 2, 0, 0, 0, &ends);
    EXPECT_EQ(std::tuple(alone.Found(true), given.Found(true), platform::CallCount(platform::Call::Open)),
              std::tuple(c.found, c.found, c.opens))
        << c.name;
  }
}

// Every defect at once: found in order; refused, nothing changes; Correct refuses what it cannot make; the
// report marks a repair; repaired in place, EMASTER with it. A missing master is named as not opened.
TEST(MasterChecks, EveryDefectAtOnceFoundRefusedMarkedAndRepaired) {
  TempDir dir;
  Report missing;
  RunTest(dir, missing, kEvery);
  EXPECT_EQ(missing.events.at(0).rfind("File is read only or has been opened by another process", 0), 0u);
  const Bytes repaired = Build(dir, kDefects, false, true);
  const Snapshot before = TakeSnapshot(dir.Path(""));
  Findings found;  // the header first, then master order
  std::multiset<std::string> asked;
  for (int n = 1; n <= static_cast<int>(kDefects.size()); ++n) {
    const Defect& d = kDefects[static_cast<size_t>(n - 1)];
    found.insert(d.Key() ? found.end() : found.begin(), {d.Key() * n, d.code, 0});
    asked.insert(GetMasterRepairQuestion(d.code));
  }
  Report reportOnly, refused;
  RunTest(dir, reportOnly, kEvery);
  RunTest(dir, refused, kEvery, 1, 1, 1);
  EXPECT_EQ(std::tuple(reportOnly.Found(true), refused.Found(true), reportOnly.questions.size()),
            std::tuple(found, found, size_t{0}));
  EXPECT_EQ(std::multiset<std::string>(refused.questions.begin(), refused.questions.end()), asked);
  // Correct refuses what it cannot make: F1 has no data file to read a length or dates from, F3's data file
  // exists, F8 holds daily data; a code without a correction; no F99; the header has only its count.
  const int unmade[][2] = {{1, 3}, {1, 4}, {1, 5}, {3, 0}, {8, 7}, {3, 8}, {99, 2}, {0, 0}, {0, 2}};
  for (const auto& [n, code] : unmade)
    EXPECT_EQ(RepairMasterError(dir.Dir().c_str(), n, code), 0) << n << code;
  EXPECT_EQ(TakeSnapshot(dir.Path("")), before);
  List* const listed = reportOnly.list.get();
  EXPECT_EQ(IsMasterErrorRepaired(listed, 2, 1), 0);
  EXPECT_EQ(MarkMasterErrorRepaired(listed, 2, 1) + IsMasterErrorRepaired(listed, 2, 1), 2);
  EXPECT_EQ(MarkMasterErrorRepaired(listed, 2, 2) + MarkMasterErrorRepaired(listed, 99, 1), 0);
  Report agreed(std::vector<bool>(20, true));
  RunTest(dir, agreed, kEvery, 1, 1, 1);
  for (auto& finding : found) std::get<2>(finding) = 1;
  found.push_back({12, 3, 1});  // F12's field count, off the record length its repair read from the data file
  EXPECT_EQ(agreed.Found(true), found);
  EXPECT_EQ(TakeSnapshot(dir.Path("")), Repaired(before, repaired));
}

// What a correction on file number n changes: the header, the file a code 0 or 1 repair makes, or the record.
std::optional<Bytes> Part(const Snapshot& snapshot, int n, int code) {
  const Bytes master = StateOf(snapshot, "master").value_or(Bytes());
  if (n == 0) return Bytes(master.begin(), master.begin() + std::min<size_t>(53, master.size()));
  if (code <= 1) return StateOf(snapshot, "F" + std::to_string(n) + (code ? ".DOP" : ".DAT"));
  const std::vector<Bytes> records = ViewMaster(snapshot).records;
  const auto record = std::find_if(records.begin(), records.end(), [n](const Bytes& r) { return r[0] == n; });
  return record == records.end() ? std::nullopt : std::optional(*record);
}

// Each record, the header and each file a repair makes is as before or as repaired, and repaired exactly when
// the findings say so; a record whose later repair failed keeps what the earlier ones wrote; EMASTER follows.
TEST(MasterChecks, UnderAFailingCallARepairIsMarkedExactlyWhenItIsInTheFiles) {
  Report last;  // the report of the latest run
  int unrepaired = 0;
  const auto run = [&last](const TempDir& dir) {
    last.list.reset();
    TestMasterFile(dir.Dir().c_str(), last, kMasterDialogOrder, kMasterTestCount, 1, 0, 1);
    return last.list ? 1 : 0;
  };
  const auto check = [&](const Outcome& o) {
    const Findings found = last.Found(true);
    for (int n = 0; n <= static_cast<int>(kDefects.size()); ++n) {
      int fixed = 0, left = 0;
      for (const auto& [number, code, repaired] : found) (repaired ? fixed : left) += number == n && code > 1;
      const Bytes now = *Part(o.now, n, 2), before = *Part(o.before, n, 2), after = *Part(o.after, n, 2);
      for (size_t i = 0; i < now.size(); ++i)
        EXPECT_TRUE((fixed && now[i] == after[i]) || ((left || !fixed) && now[i] == before[i])) << "F" << n;
    }
    for (const auto& [n, code, repaired] : found) {
      unrepaired += !repaired;
      if (code > 1) continue;  // a record, as above
      EXPECT_EQ(Part(o.now, n, code), Part(repaired ? o.after : o.before, n, code)) << "F" << n;
    }
    EXPECT_TRUE(!o.now.contains("EMASTER") || o.now.at("EMASTER") == EmasterOf(o.now.at("master")));
  };
  for (const bool emaster : {false, true}) {
    const auto build = [emaster](const TempDir& dir) { Build(dir, kDefects, false, emaster); };
    const char* name = emaster ? "with EMASTER" : "master test";
    SweepEveryCall({.name = name, .build = build, .run = run, .check = check, .allOrNothing = false});
  }
  EXPECT_GT(unrepaired, 5);  // the faults did reach the repairs
  // Stopped after any change (the report is lost with the program), each data and column file is as before
  // or as made by the repair (a record may be repaired a field at a time), and a second run finishes it, as
  // test-master --repair runs it: then EMASTER is brought in step with what the master test left.
  const auto eachAsBeforeOrAfter = [](const Outcome& o) {
    for (int n = 1; n <= static_cast<int>(kDefects.size()); ++n) {
      for (int code : {0, 1}) {
        const auto now = Part(o.now, n, code);
        EXPECT_TRUE(now == Part(o.before, n, code) || now == Part(o.after, n, code))
            << "F" << n << ", " << code;
      }
    }
  };
  const auto repair = [&](const TempDir& dir) {
    const int result = run(dir);
    BringEmasterInStep(dir.Dir().c_str());
    return result;
  };
  for (const bool emaster : {false, true}) {
    EXPECT_GT(
        SweepEveryStop({.name = emaster ? "repair stopped with EMASTER" : "repair stopped",
                        .build = [emaster](const TempDir& dir) { Build(dir, kDefects, false, emaster); },
                        .run = repair,
                        .check = eachAsBeforeOrAfter,
                        .directories = {},
                        .putRightByRunningAgain = true}),
        10);
  }
}

// Correct on each defect, also under a failure of each call: what the repair of that defect alone makes (and
// says so without faults), else as before or that (the read-back that confirms a rewrite may fail after the
// rewrite took effect).
TEST(MasterChecks, CorrectRepairsItsDefectAloneOrLeavesItAsItWas) {
  TempDir built;
  const Bytes master = Build(built, kDefects, true);
  const Snapshot repaired = Repaired(TakeSnapshot(built.Path("")), master);
  for (size_t i = 0; i < kDefects.size(); ++i) {
    const Defect& d = kDefects[i];
    const int n = d.Key() * static_cast<int>(i + 1);
    if (!d.correctable) continue;  // among the refusals of the scene above
    const auto run = [n, &d](const TempDir& dir) { return RepairMasterError(dir.Dir().c_str(), n, d.code); };
    const auto check = [&](const Outcome& o) {
      EXPECT_EQ(Part(o.after, n, d.code), Part(repaired, n, d.code)) << d.name;
      EXPECT_TRUE(o.now == o.after || (o.result != 1 && o.now == o.before)) << d.name;
    };
    EXPECT_GT(
        SweepEveryCall(
            {.name = d.name, .build = kBuildDamaged, .run = run, .check = check, .allOrNothing = false}),
        0);
  }
}

// One repair run reaches a fixed point: a second run with the same options changes no byte, in any order of
// the tests, with or without making files (scene % 2), over (scene / 2) the sample's Damaged/Master, every
// defect at once and each row of the rules' edges. On the sample's odd record size the record length repaired
// from the data file brings the field count to light, which the same run repairs and lists.
TEST(MasterChecks, AfterOneRepairRunNothingIsLeftThatARepairCouldMend) {
  const std::string kSample = "Damaged/Master/";
  const std::vector<int32_t> dialogOrder(kMasterDialogOrder, kMasterDialogOrder + kMasterTestCount);
  for (const auto& codes : {dialogOrder, kEvery, std::vector<int32_t>(kEvery.rbegin(), kEvery.rend())}) {
    for (size_t scene = 0; scene < 2 * std::size(kBorders) + 4; ++scene) {
      TempDir dir;
      for (const sample::SampleFile& f : sample::GetSampleTree().files) {
        if (scene < 2 && f.path.rfind(kSample, 0) == 0)
          testing_support::WriteBytes(dir.Path(f.path.substr(kSample.size())), f.bytes);
      }
      if (scene >= 2)
        Build(dir, scene < 4 ? kDefects : std::vector<Defect>{{"", 0, kBorders[scene / 2 - 2].damage}});
      Report first, second;
      RunTest(dir, first, codes, 1, 0, scene % 2);
      const Snapshot repaired = TakeSnapshot(dir.Path(""));
      RunTest(dir, second, codes, 1, 0, scene % 2);
      EXPECT_EQ(TakeSnapshot(dir.Path("")), repaired) << "scene " << scene << ", codes from " << codes[0];
      if (scene >= 2) continue;
      const Findings found = first.Found(true), f10 = {{10, 11, 1}, {10, 3, 1}};
      EXPECT_NE(std::search(found.begin(), found.end(), f10.begin(), f10.end()), found.end());
      EXPECT_EQ(ViewMaster(repaired).records.at(9)[3], 4 * ViewMaster(repaired).records.at(9)[4]);
    }
  }
}

// Beside the twelve tests: EMASTER against master, and a damaged XMASTER; reported, never changed.
TEST(MasterChecks, IndexFilesAreComparedWithMasterAndLeftAsTheyAre) {
  TempDir dir;
  WriteMaster(dir, MasterBuilder()
                       .Add({.fileNumber = 1})
                       .Add({.fileNumber = 2, .symbol = "OURS"})
                       .Add({.fileNumber = 3, .lastDateWord = MbfWord(StoredDate(2014, 6, 27))})
                       .Add({.fileNumber = 4}));
  testing_support::WriteBytes(dir.Path("Emaster"),
                              EmasterFile({{.fileNumber = 1, .period = 'I', .timeBase = 5, .fieldBits = 0x3F},
                                           {.fileNumber = 2, .symbol = "THEIRS"},
                                           {.fileNumber = 3, .lastDate = StoredDate(2014, 2, 12)},
                                           {.fileNumber = 9}}));
  const Bytes text = {'t', 'e', 'x', 't'};
  testing_support::WriteBytes(dir.Path("XMASTER"), text);
  const Snapshot before = TakeSnapshot(dir.Path(""));
  std::vector<std::string> found;
  for (const IndexCheckFinding& f : CheckIndexFiles(dir.Dir().c_str()))
    found.push_back(f.file + " " + std::to_string(f.fileNumber) + " " + f.text);
  EXPECT_EQ(found, (std::vector<std::string>{
                       "EMASTER 1 F1: EMASTER's field count \"6\" is not master's \"7\"",
                       "EMASTER 1 F1: EMASTER's period \"I\" is not master's \"D\"",
                       "EMASTER 1 F1: EMASTER's time base \"5\" is not master's \"0\"",
                       "EMASTER 2 F2: EMASTER's symbol \"THEIRS\" is not master's \"OURS\"",
                       "EMASTER 3 F3: EMASTER's last date \"1140212\" is not master's \"1140627\"",
                       "EMASTER 4 F4 is in master but not in EMASTER",
                       "EMASTER 9 F9 is in EMASTER but not in master",
                       "XMASTER 0 " + DecodeXmaster(text).findings.at(0).text}));
  EXPECT_TRUE(TakeSnapshot(dir.Path("")) == before);
  std::filesystem::remove(dir.Path("Emaster")), std::filesystem::remove(dir.Path("XMASTER"));
  EXPECT_TRUE(CheckIndexFiles(dir.Dir().c_str()).empty());
}

}  // namespace
