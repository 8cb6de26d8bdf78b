// The master test, its repairs and the master report's Correct: a directory with one defect per instrument,
// found report-only, refused, repaired and corrected, also under a failure of each call; and the rules'
// edges.
#include "integrity/master_checks.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <set>

#include "support/fixtures.h"
#include "support/report_fixture.h"
#include "support/scenes.h"

namespace {

using namespace fixtures;
using namespace integrity_testing;

const std::vector<int32_t> kEvery = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};

// Instrument n: 7-field daily data seeded by n, or intraday data, its DOP
// file and a master entry whose dates agree.
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

struct Defect {
  const char* name;
  int32_t code;
  std::function<void(Plant&)> damage;
  bool intraday = false;
  std::function<void(MasterEntry&)> repaired = nullptr;  // the sound entry changed; null: sound again
  bool correctable = true;                               // Correct repairs it as the test does
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
    {"UnknownPeriodOverDaily", 7, [](Plant& p) { p.e.period = 'X'; }, false, nullptr, false},
    {"UnknownPeriodOverIntraday", 7, [](Plant& p) { p.e.period = 'Z'; }, true},
    {"HeaderCountsTooMany", 8, [](Plant& p) { p.m.HeaderCount(200); }},
    {"ReservedBytesSet", 10, [](Plant& p) { p.e.reserved = 0x0100; }},
    {"LengthNoLayoutHas", 11, [](Plant& p) { p.e.fieldCount = 9, p.e.recordLength = 36; }, false,
     [](MasterEntry& e) { e.fieldCount = 9, e.recordLength = 28; }},
};

// Instrument n carries the nth defect; returns master as the repairs leave it.
Bytes Build(const TempDir& dir, const std::vector<Defect>& defects) {
  MasterBuilder master, repaired;
  for (int n = 1; n <= static_cast<int>(defects.size()); ++n) {
    const Defect& d = defects[static_cast<size_t>(n - 1)];
    MasterEntry entry = DataOf(n, d.intraday).Entry(n, 7, d.intraday ? 'I' : 'D'), fixed = entry;
    WriteDat(dir, n, DataOf(n, d.intraday).Dat(7, d.intraday ? 'I' : 'D'));
    WriteText(dir.Path("F" + std::to_string(n) + ".DOP"), kDailyDop);
    Plant plant{entry, master, dir};
    d.damage(plant);
    if (d.repaired) d.repaired(fixed);
    master.Add(entry), repaired.Add(fixed);
  }
  WriteMaster(dir, master.LastFileNumber(static_cast<uint16_t>(defects.size())));
  return repaired.LastFileNumber(static_cast<uint16_t>(defects.size())).Build();
}
const auto kBuildDamaged = [](const TempDir& dir) { Build(dir, kDefects); };

// The damaged scene as the repairs leave it: master repaired, F1's empty data file and F2's DOP file made.
Snapshot Repaired(Snapshot scene, const Bytes& master) {
  scene["master"] = master, scene["F1.DAT"] = DatBuilder(28).Build();
  scene["F2.DOP"] = Bytes(kDailyDop, kDailyDop + std::strlen(kDailyDop));
  return scene;
}
void RunTest(const TempDir& dir, Report& report, const std::vector<int32_t>& codes, int repair = 0,
             int prompt = 0, int create = 0) {
  TestMasterFile(dir.Dir().c_str(), report, codes.data(), static_cast<int>(codes.size()), repair, prompt,
                 create);
}

// At the edges of the rules: what is found, and nothing written unless a finding says it was repaired (where
// a row allows repairs, most cannot be made); a later test sees what an earlier one repaired.
struct Border {
  const char* name;
  std::function<void(Plant&)> damage;
  std::vector<int32_t> codes;
  Findings found;  // {file number, code, repaired}
  int repair = 0;
  std::string notice = "";
};

void CorruptDatesOnBothSides(Plant& p) {
  WriteDat(p.dir, 1, DataOf(1, 0).Dat(7, 'D').SetWord(29, 0, kStoredMinusOne));
  p.e.lastDateWord = kHugeWord;
}

const Border kBorders[] = {
    {"WeeklyNegativeTimeBase", [](auto& p) { p.e.period = 'W', p.e.timeBase = 0xFFFF; }, {6, 7}, {{1, 6, 0}}},
    {"IntradayTimeBase", [](auto& p) { p.e.period = 'I', p.e.timeBase = 5; }, {6, 7}, {}},
    {"IntradayNegativeTimeBase", [](auto& p) { p.e.period = 'I', p.e.timeBase = 0xFFFB; }, {6}, {{1, 6, 0}}},
    {"UnknownPeriodTimeBase", [](auto& p) { p.e.period = 'X', p.e.timeBase = 5; }, {6}, {}},
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
};

class MasterBorders : public ::testing::TestWithParam<Border> {};

TEST_P(MasterBorders, FindsOnlyWhatTheRuleSaysAndWritesOnlyWhatItRepairs) {
  const Border& b = GetParam();
  TempDir dir;
  Build(dir, {{"", 0, b.damage}});
  const Snapshot before = TakeSnapshot(dir.Path(""));
  Report report({true, true});
  RunTest(dir, report, b.codes, b.repair, 1);
  EXPECT_EQ(report.Found(true), b.found);
  if (!b.notice.empty()) {
    EXPECT_EQ(report.events, (std::vector<std::string>{b.notice, "close"}));
  }
  const bool repaired =
      std::any_of(b.found.begin(), b.found.end(), [](const auto& f) { return std::get<2>(f); });
  EXPECT_EQ(TakeSnapshot(dir.Path("")) == before, !repaired);
}

INSTANTIATE_TEST_SUITE_P(Rules, MasterBorders, ::testing::ValuesIn(kBorders),
                         [](const auto& p) { return std::string(p.param.name); });

// Every defect at once: found in order; refused, nothing changes; Correct refuses what it cannot make; the
// report marks a repair; repaired in place. Before master is there, it is named as not opened.
TEST(MasterChecks, EveryDefectAtOnceFoundRefusedMarkedAndRepaired) {
  TempDir dir;
  Report missing;
  RunTest(dir, missing, kEvery);
  EXPECT_EQ(missing.events.at(0).rfind("File is read only or has been opened by another process", 0), 0u);
  const Bytes repaired = Build(dir, kDefects);
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
  Report agreed(std::vector<bool>(20, true)), again;
  RunTest(dir, agreed, kEvery, 1, 1, 1);
  RunTest(dir, again, kEvery);
  for (auto& finding : found) std::get<2>(finding) = 1;
  // Left to find: F12's field count, off the record length its repair read from the data file.
  EXPECT_EQ(std::pair(agreed.Found(true), again.Found(true)), std::pair(found, Findings{{12, 3, 0}}));
  EXPECT_EQ(TakeSnapshot(dir.Path("")), Repaired(before, repaired));
}

// The bytes a correction on this file number changes: the header, the file
// a code 0 or 1 repair makes, or the instrument's record.
std::optional<Bytes> Part(const Snapshot& snapshot, int n, int code) {
  const Bytes master = StateOf(snapshot, "master").value_or(Bytes());
  if (n == 0)
    return Bytes(master.begin(), master.begin() + std::min<long>(53, static_cast<long>(master.size())));
  if (code <= 1) return StateOf(snapshot, "F" + std::to_string(n) + (code ? ".DOP" : ".DAT"));
  const std::vector<Bytes> records = ViewMaster(snapshot).records;
  const auto record = std::find_if(records.begin(), records.end(), [n](const Bytes& r) { return r[0] == n; });
  return record == records.end() ? std::nullopt : std::optional(*record);
}

// Each record, the header and each file a repair makes is as before or as
// repaired, and repaired exactly when the finding says so.
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
      const bool fixed = std::any_of(found.begin(), found.end(), [n](const auto& f) {
        return std::get<0>(f) == n && std::get<1>(f) > 1 && std::get<2>(f);
      });
      EXPECT_EQ(Part(o.now, n, 2), Part(fixed ? o.after : o.before, n, 2)) << "F" << n;
    }
    for (const auto& [n, code, repaired] : found) {
      unrepaired += !repaired;
      EXPECT_EQ(Part(o.now, n, code), Part(repaired ? o.after : o.before, n, code))
          << "F" << n << " code " << code;
    }
  };
  SweepEveryCall(
      {.name = "master test", .build = kBuildDamaged, .run = run, .check = check, .allOrNothing = false});
  EXPECT_GT(unrepaired, 5);  // the faults did reach the repairs
}

// Correct on each defect, also under a failure of each call: what the test's repair makes (and says so
// without faults), else as before or that (the read-back that confirms a rewrite may fail after the rewrite
// took effect).
TEST(MasterChecks, CorrectRepairsADefectAsTheTestDoesOrLeavesItAsItWas) {
  TempDir built;
  const Bytes master = Build(built, kDefects);
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

}  // namespace
