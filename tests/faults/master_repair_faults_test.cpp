// The master test's repairs and the master report's Correct under a failure
// of every platform call they make: master stays whole, each record (and the
// header, and each file a repair creates) is either as it was or as the
// repair leaves it, a defect is marked repaired exactly when its correction
// is in the file, and no data file goes unlisted.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "faults_scenes.h"
#include "faults_support.h"
#include "integrity/error_list.h"
#include "integrity/master_test.h"
#include "integrity/report_target.h"

namespace faults_test {
namespace {

constexpr size_t kRecord = 53;

struct Finding {
  int fileNumber;
  int code;
  bool repaired;
};

// Keeps the findings of a master test.
class FindingsReport : public ReportTarget {
 public:
  void ErrorListReady(List* list) override {
    delivered = true;
    for (const ListNode* node = list->first; node != nullptr; node = node->next) {
      const MasterErrorEntry* entry = MasterEntryOf(node);
      for (const ListNode* d = entry->defects->first; d != nullptr; d = d->next)
        findings.push_back(
            {entry->fileNumber, MasterDefectOf(d)->errorCode, MasterDefectOf(d)->repaired != 0});
    }
    KillErrorList(list);
  }
  void Close() override {}
  void ShowNotice(const char* text) override { notices.emplace_back(text); }
  bool AskYesNo(const char*) override { return true; }

  bool delivered = false;
  std::vector<Finding> findings;
  std::vector<std::string> notices;
};

Bytes Header(const Snapshot& snapshot) {
  const Bytes master = StateOf(snapshot, "master").value_or(Bytes());
  return Bytes(master.begin(), master.begin() + static_cast<long>(std::min(master.size(), kRecord)));
}

// The record of a file number (master order; the planted scene has one each).
Bytes RecordOf(const Snapshot& snapshot, int fileNumber) {
  for (const Bytes& record : ViewMaster(snapshot).records) {
    if (record[0] == fileNumber) return record;
  }
  return {};
}

// The file a code 0 or 1 repair creates.
std::string CreatedFile(int fileNumber, int code) {
  return "F" + std::to_string(fileNumber) + (code == 0 ? ".DAT" : ".DOP");
}

// Whether the correction of a defect is in the files of now.
bool CorrectionIsIn(const Outcome& o, int fileNumber, int code) {
  if (fileNumber == 0) return Header(o.now) == Header(o.after);
  if (code == 0 || code == 1)
    return StateOf(o.now, CreatedFile(fileNumber, code)) == StateOf(o.after, CreatedFile(fileNumber, code));
  return RecordOf(o.now, fileNumber) == RecordOf(o.after, fileNumber);
}
bool UncorrectedIn(const Outcome& o, int fileNumber, int code) {
  if (fileNumber == 0) return Header(o.now) == Header(o.before);
  if (code == 0 || code == 1)
    return StateOf(o.now, CreatedFile(fileNumber, code)) == StateOf(o.before, CreatedFile(fileNumber, code));
  return RecordOf(o.now, fileNumber) == RecordOf(o.before, fileNumber);
}

void ExpectMasterWholeRecordByRecord(const Outcome& o) {
  const MasterView now = ViewMaster(o.now);
  const MasterView before = ViewMaster(o.before);
  const MasterView after = ViewMaster(o.after);
  ASSERT_TRUE(now.present && now.whole);
  ASSERT_EQ(now.records.size(), before.records.size());
  EXPECT_TRUE(Header(o.now) == Header(o.before) || Header(o.now) == Header(o.after));
  for (size_t i = 0; i < now.records.size(); ++i) {
    EXPECT_TRUE(now.records[i] == before.records[i] || now.records[i] == after.records[i])
        << "record " << i + 1 << " is neither as before nor repaired";
  }
}

// What the last run of the master test reported.
struct LastReport {
  bool delivered = false;
  std::vector<Finding> findings;
};

int RunMasterTest(const TempDir& dir, LastReport* last) {
  FindingsReport report;
  TestMasterFile(dir.Dir().c_str(), report, kMasterDialogOrder, kMasterTestCount, 1, 0, 1);
  *last = {report.delivered, report.findings};
  return report.delivered ? 1 : 0;
}

TEST(MasterRepairFaults, AFaultlessRunFindsAndRepairsEveryPlantedDefect) {
  TempDir dir;
  BuildDamagedMaster(dir);
  LastReport last;
  ASSERT_EQ(RunMasterTest(dir, &last), 1);
  ASSERT_EQ(last.findings.size(), PlantedDefects().size());
  for (const PlantedDefect& planted : PlantedDefects()) {
    const bool found = std::any_of(last.findings.begin(), last.findings.end(), [&](const Finding& f) {
      return f.fileNumber == planted.fileNumber && f.code == planted.code && f.repaired;
    });
    EXPECT_TRUE(found) << "F" << planted.fileNumber << " code " << planted.code;
  }
}

TEST(MasterRepairFaults, RepairsMarkRepairedExactlyWhatTheyCorrectedAndLoseNothing) {
  auto last = std::make_shared<LastReport>();
  int unrepaired = 0;
  SweepEveryCall(
      {.name = "master test with repairs",
       .build = BuildDamagedMaster,
       .run = [last](const TempDir& dir) { return RunMasterTest(dir, last.get()); },
       .check =
           [&](const Outcome& o) {
             ExpectMasterWholeRecordByRecord(o);
             EXPECT_EQ(NeitherBeforeNorAfter(o.before, o.after, o.now,
                                             [](const std::string& path) { return path == "master"; }),
                       "");
             EXPECT_EQ(LostOrUnlisted(o.before, o.after, o.now), "");
             if (!last->delivered) {
               // Stopped before any finding: nothing may have changed.
               EXPECT_EQ(o.now, o.before);
               return;
             }
             for (const Finding& f : last->findings) {
               if (f.repaired) {
                 EXPECT_TRUE(CorrectionIsIn(o, f.fileNumber, f.code))
                     << "F" << f.fileNumber << " code " << f.code << " marked repaired but not corrected";
               } else {
                 ++unrepaired;
                 EXPECT_TRUE(UncorrectedIn(o, f.fileNumber, f.code))
                     << "F" << f.fileNumber << " code " << f.code << " marked not repaired but changed";
               }
             }
           }});
  // Faults did leave defects unrepaired: the sweep reached the repairs.
  EXPECT_GT(unrepaired, 5);
}

// One instrument F1 (7-field daily unless intraday), its master entry as given.
void BuildOne(const TempDir& dir, fixtures::MasterEntry entry, bool withData, bool intraday = false) {
  const fixtures::Series series = intraday ? fixtures::Series::Intraday(3, 12) : fixtures::Series::Daily(30);
  entry.firstDateWord = fixtures::MbfWord(series.bars.front().date);
  entry.lastDateWord = fixtures::MbfWord(series.bars.back().date);
  fixtures::WriteMaster(dir, fixtures::MasterBuilder().Add(entry).LastFileNumber(1));
  if (withData) fixtures::WriteDat(dir, 1, series.Dat(7, intraday ? 'I' : 'D'));
}

std::vector<Finding> TestOnly(const TempDir& dir, int32_t code) {
  FindingsReport report;
  TestMasterFile(dir.Dir().c_str(), report, &code, 1, 1, 0, 1);
  return report.findings;
}

TEST(MasterRepairFaults, ADataFileThatCannotBeOpenedForReadingIsReportedButNeverEmptied) {
  FaultScope faults;
  TempDir dir;
  BuildOne(dir, {.fileNumber = 1}, true);
  const Bytes data = testing_support::ReadBytes(dir.Path("F1.DAT"));
  platform::FailNthCall(platform::Call::Open, 2);  // master, then the check of F1.DAT
  const std::vector<Finding> findings = TestOnly(dir, 0);
  ASSERT_EQ(findings.size(), 1u);
  EXPECT_EQ(findings[0].code, 0);
  EXPECT_FALSE(findings[0].repaired);
  EXPECT_EQ(testing_support::ReadBytes(dir.Path("F1.DAT")), data);
}

TEST(MasterRepairFaults, CorrectOfAMissingDataFileThatHasAppearedLeavesItAlone) {
  TempDir dir;
  BuildOne(dir, {.fileNumber = 1}, true);
  const Bytes data = testing_support::ReadBytes(dir.Path("F1.DAT"));
  EXPECT_EQ(RepairMasterError(dir.Dir().c_str(), 1, 0), 0);
  EXPECT_EQ(testing_support::ReadBytes(dir.Path("F1.DAT")), data);
}

TEST(MasterRepairFaults, AReplacementWhoseHeaderCannotBeWrittenIsTakenAwayAndNotRepaired) {
  FaultScope faults;
  TempDir dir;
  BuildOne(dir, {.fileNumber = 1}, false);
  platform::FailNthCall(platform::Call::Write, 1);  // the new file's header
  const std::vector<Finding> findings = TestOnly(dir, 0);
  ASSERT_EQ(findings.size(), 1u);
  EXPECT_FALSE(findings[0].repaired);
  EXPECT_FALSE(testing_support::FileExistsNative(dir.Path("F1.DAT")));
}

TEST(MasterRepairFaults, AnUnknownPeriodOverDataThatCannotBeReadIsNotGuessedDaily) {
  FaultScope faults;
  TempDir dir;
  BuildOne(dir, {.fileNumber = 1, .period = 'X'}, true, /*intraday=*/true);
  const Bytes master = testing_support::ReadBytes(dir.Path("master"));
  platform::FailNthCall(platform::Call::Read, 3);  // header, record, then the data file
  const std::vector<Finding> findings = TestOnly(dir, 7);
  ASSERT_EQ(findings.size(), 1u);
  EXPECT_FALSE(findings[0].repaired);
  EXPECT_EQ(testing_support::ReadBytes(dir.Path("master")), master);
  // Readable, the same data is found intraday.
  platform::ResetFaults();
  EXPECT_TRUE(TestOnly(dir, 7).at(0).repaired);
  EXPECT_EQ(testing_support::ReadBytes(dir.Path("master"))[kRecord + 33], 'I');
}

// The master report's Correct, one defect at a time.
class CorrectFaults : public ::testing::TestWithParam<PlantedDefect> {};

TEST_P(CorrectFaults, CorrectsTheRecordOrLeavesMasterAsItWas) {
  const PlantedDefect defect = GetParam();
  const int refused = SweepEveryCall(
      {.name = "Correct F" + std::to_string(defect.fileNumber) + " code " + std::to_string(defect.code),
       .build = BuildDamagedMaster,
       .run =
           [defect](const TempDir& dir) {
             return RepairMasterError(dir.Dir().c_str(), defect.fileNumber, defect.code);
           },
       .check =
           [defect](const Outcome& o) {
             EXPECT_EQ(NeitherBeforeNorAfter(o.before, o.after, o.now), "");
             EXPECT_EQ(LostOrUnlisted(o.before, o.after, o.now), "");
             // A failure never passes for success. (The other way round is
             // possible: the read-back that confirms a rewrite may fail after
             // the rewrite took effect.)
             if (o.result == 1) {
               EXPECT_TRUE(CorrectionIsIn(o, defect.fileNumber, defect.code)) << "reported corrected";
             }
           }});
  EXPECT_GT(refused, 0);
}

INSTANTIATE_TEST_SUITE_P(EveryPlantedDefect, CorrectFaults, ::testing::ValuesIn(PlantedDefects()),
                         [](const ::testing::TestParamInfo<PlantedDefect>& param) {
                           return "F" + std::to_string(param.param.fileNumber) + "Code" +
                                  std::to_string(param.param.code);
                         });

}  // namespace
}  // namespace faults_test
