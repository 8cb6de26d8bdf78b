#include "integrity/master_test.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "filelayer/platform_file.h"
#include "fixtures.h"
#include "integrity/messages.h"
#include "integrity_test_support.h"
#include "support/temp_dir.h"

namespace {

using Findings = std::vector<integrity_testing::MasterFinding>;
using fixtures::MasterBuilder;
using fixtures::MasterEntry;
using fixtures::MbfWord;
using fixtures::Series;
using integrity_testing::MasterFinding;
using integrity_testing::MasterFoundOrder;
using integrity_testing::MasterListOrder;
using integrity_testing::RecordingReport;
using integrity_testing::Snapshot;
using testing_support::Bytes;
using testing_support::ReadBytes;
using testing_support::TempDir;
using testing_support::WriteBytes;

const std::vector<std::string> kNothingFound = {"notice: No Errors Found", "close"};
const std::vector<int32_t> kEveryCode = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};

struct Options {
  int repair = 0;
  int prompt = 0;
  int create = 0;
};

// A directory of sound instruments: six-field daily data files with DOP files
// and master dates that match them.
class MasterTest : public ::testing::Test {
 protected:
  MasterEntry Sound(uint8_t fileNumber) {
    const Series series = Series::Daily(5 + fileNumber, 2009, 12, 28, fileNumber);
    fixtures::WriteDat(dir_, fileNumber, series.Dat(6, 'D'));
    WriteBytes(dir_.Path("F" + std::to_string(fileNumber) + ".DOP"), Bytes{'x'});
    return {.fileNumber = fileNumber,
            .fieldCount = 6,
            .firstDateWord = MbfWord(series.bars.front().date),
            .lastDateWord = MbfWord(series.bars.back().date),
            .period = 'D'};
  }
  void Write(const MasterBuilder& master) { fixtures::WriteMaster(dir_, master); }
  void Run(const std::vector<int32_t>& codes, Options options = {}) { Run(report_, codes, options); }
  void Run(RecordingReport& report, const std::vector<int32_t>& codes, Options options = {}) {
    TestMasterFile(dir_.Dir().c_str(), report, codes.data(), static_cast<int>(codes.size()), options.repair,
                   options.prompt, options.create);
  }
  std::vector<MasterFinding> Found() const { return MasterFoundOrder(report_.list); }
  MasterRecord Record(int index) const {
    const Bytes bytes = ReadBytes(dir_.Path("master"));
    MasterRecord record;
    std::memcpy(record.raw, bytes.data() + static_cast<size_t>(index) * kMasterRecordSize, kMasterRecordSize);
    return record;
  }
  uint16_t HeaderCount() const {
    const Bytes bytes = ReadBytes(dir_.Path("master"));
    return static_cast<uint16_t>(bytes[0] | bytes[1] << 8);
  }

  TempDir dir_;
  RecordingReport report_;
};

// One defect per case, on instrument 1 of a one-instrument directory (or on
// its header), with what its repair leaves behind.
struct DefectCase {
  const char* rule;
  int32_t code;
  std::function<void(MasterEntry&, MasterBuilder&, const TempDir&)> damage;
  const char* question;
  std::function<void(const MasterRecord& repaired, uint16_t headerCount, const TempDir&)> expectRepaired;
};

void PrintTo(const DefectCase& c, std::ostream* out) {
  *out << c.rule;
}

const DefectCase kDefectCases[] = {
    {"MissingDataFile", 0,
     [](MasterEntry&, MasterBuilder&, const TempDir& d) { std::remove(d.Path("F1.DAT").c_str()); },
     "Missing DAT File, Create empty replacement file ?",
     [](const MasterRecord&, uint16_t, const TempDir& d) {
       // A header alone: count 1, as long as one 24-byte record.
       EXPECT_EQ(ReadBytes(d.Path("F1.DAT")),
                 (Bytes{0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
     }},
    {"MissingDopFile", 1,
     [](MasterEntry&, MasterBuilder&, const TempDir& d) { std::remove(d.Path("F1.DOP").c_str()); },
     "Missing DOP File, Create empty replacement file ?",
     [](const MasterRecord&, uint16_t, const TempDir& d) {
       EXPECT_TRUE(testing_support::FileExistsNative(d.Path("F1.DOP")));
     }},
    {"BadFileType", 2, [](MasterEntry& e, MasterBuilder&, const TempDir&) { e.fileType = 0x6500; },
     "Master file has a bad file type, Correct ?",
     [](const MasterRecord& r, uint16_t, const TempDir&) { EXPECT_EQ(r.FileType(), 101); }},
    {"LengthNotFourTimesFields", 3,
     [](MasterEntry& e, MasterBuilder&, const TempDir&) {
       e.fieldCount = 5;
       e.recordLength = 24;
     },
     "Master file has an inconstent record length, Correct ?",
     [](const MasterRecord& r, uint16_t, const TempDir&) {
       EXPECT_EQ(r.RecordLength(), 24);
       EXPECT_EQ(r.FieldCount(), 6);
     }},
    {"FirstDateOff", 4,
     [](MasterEntry& e, MasterBuilder&, const TempDir&) { e.firstDateWord = MbfWord(1091227); },
     "The Master record and DAT file start dates are out of sync, Correct ?",
     [](const MasterRecord& r, uint16_t, const TempDir&) { EXPECT_EQ(r.FirstDate(), 1091228.0f); }},
    {"LastDateOff", 5, [](MasterEntry& e, MasterBuilder&, const TempDir&) { e.lastDateWord = 0; },
     "The Master record and DAT file end dates are out of sync, Correct ?",
     [](const MasterRecord& r, uint16_t, const TempDir&) { EXPECT_EQ(r.LastDate(), 1100104.0f); }},
    {"DailyTimeBase", 6, [](MasterEntry& e, MasterBuilder&, const TempDir&) { e.timeBase = 5; },
     "Master file has an invalid intraday time base, Correct ?",
     [](const MasterRecord& r, uint16_t, const TempDir&) { EXPECT_EQ(r.TimeBase(), 0); }},
    {"UnknownPeriod", 7, [](MasterEntry& e, MasterBuilder&, const TempDir&) { e.period = 'X'; },
     "Master file has an invalid data format, Correct ?",
     [](const MasterRecord& r, uint16_t, const TempDir&) { EXPECT_EQ(r.Period(), 'D'); }},
    {"HeaderCountsTooMany", 8, [](MasterEntry&, MasterBuilder& m, const TempDir&) { m.HeaderCount(3); },
     "Too Many files reported in directory, Correct ?",
     [](const MasterRecord&, uint16_t count, const TempDir&) { EXPECT_EQ(count, 1); }},
    {"HeaderCountsTooFew", 9, [](MasterEntry&, MasterBuilder& m, const TempDir&) { m.HeaderCount(0); },
     "Too few files reported in directory, Correct ?",
     [](const MasterRecord&, uint16_t count, const TempDir&) { EXPECT_EQ(count, 1); }},
    {"ReservedBytesSet", 10, [](MasterEntry& e, MasterBuilder&, const TempDir&) { e.reserved = 0x0100; },
     "Master file has an unknown file format, Correct ?",
     [](const MasterRecord& r, uint16_t, const TempDir&) { EXPECT_EQ(r.Reserved(), 0); }},
    {"LengthNoLayoutHas", 11,
     [](MasterEntry& e, MasterBuilder&, const TempDir&) {
       e.fieldCount = 9;
       e.recordLength = 36;
     },
     "Master file has an inconstent record length, Correct ?",
     [](const MasterRecord& r, uint16_t, const TempDir&) {
       EXPECT_EQ(r.RecordLength(), 24);
       EXPECT_EQ(r.FieldCount(), 9);
     }},
};

class MasterDefectTest : public MasterTest, public ::testing::WithParamInterface<DefectCase> {
 protected:
  void SetUp() override {
    MasterEntry entry = Sound(1);
    MasterBuilder master;
    GetParam().damage(entry, master, dir_);
    Write(master.Add(entry));
  }
  int32_t Code() const { return GetParam().code; }
  MasterFinding Finding(int32_t repaired) const {
    return {Code() >= 8 && Code() <= 9 ? 0 : 1, Code(), repaired};
  }
};

TEST_P(MasterDefectTest, ReportOnlyFindsItAloneAndChangesNothing) {
  const auto before = Snapshot(dir_.Path(""));
  Run(kEveryCode);
  EXPECT_EQ(Found(), (Findings{Finding(0)}));
  EXPECT_TRUE(report_.questions.empty());
  EXPECT_EQ(Snapshot(dir_.Path("")), before);
}

TEST_P(MasterDefectTest, AnsweringYesRepairsItSoThatTheTestPassesAfterwards) {
  RecordingReport report({true});
  Run(report, {Code()}, {.repair = 1, .prompt = 1, .create = 1});
  EXPECT_EQ(report.questions, std::vector<std::string>{GetParam().question});
  EXPECT_EQ(MasterFoundOrder(report.list), (Findings{Finding(1)}));
  GetParam().expectRepaired(Record(1), HeaderCount(), dir_);
  Run({Code()});
  EXPECT_EQ(report_.events, kNothingFound);
}

TEST_P(MasterDefectTest, AnsweringNoChangesNothingAndLeavesItNotRepaired) {
  const auto before = Snapshot(dir_.Path(""));
  RecordingReport report({false});
  Run(report, {Code()}, {.repair = 1, .prompt = 1, .create = 1});
  EXPECT_EQ(report.questions.size(), 1u);
  EXPECT_EQ(MasterFoundOrder(report.list), (Findings{Finding(0)}));
  EXPECT_EQ(Snapshot(dir_.Path("")), before);
}

TEST_P(MasterDefectTest, RepairWithoutPromptAsksNothing) {
  Run({Code()}, {.repair = 1, .create = 1});
  EXPECT_TRUE(report_.questions.empty());
  EXPECT_EQ(Found(), (Findings{Finding(1)}));
}

INSTANTIATE_TEST_SUITE_P(EveryCode, MasterDefectTest, ::testing::ValuesIn(kDefectCases),
                         [](const auto& param) { return std::string(param.param.rule); });

// Correct sets the period only to "I" (CorrectSetsThePeriodOnlyFromIntradayData).
class MasterCorrectTest : public MasterDefectTest {};

std::vector<DefectCase> CorrectedLikeTheTest() {
  std::vector<DefectCase> cases;
  for (const DefectCase& c : kDefectCases) {
    if (c.code != 7) cases.push_back(c);
  }
  return cases;
}

TEST_P(MasterCorrectTest, CorrectRepairsItAsTheTestWould) {
  EXPECT_EQ(RepairMasterError(dir_.Dir().c_str(), Finding(0).fileNumber, Code()), 1);
  GetParam().expectRepaired(Record(1), HeaderCount(), dir_);
  Run({Code()});
  EXPECT_EQ(report_.events, kNothingFound);
}

INSTANTIATE_TEST_SUITE_P(EveryCorrectableCode, MasterCorrectTest, ::testing::ValuesIn(CorrectedLikeTheTest()),
                         [](const auto& param) { return std::string(param.param.rule); });

TEST_F(MasterTest, SoundDirectoryFindsNothingAndClosesTheReport) {
  Write(MasterBuilder().Add(Sound(1)).Add(Sound(2)));
  Run(kEveryCode);
  EXPECT_EQ(report_.events, kNothingFound);
}

TEST_F(MasterTest, HeaderCountingFiveOfThreeIsRepairedToThree) {
  Write(MasterBuilder().Add(Sound(1)).Add(Sound(2)).Add(Sound(3)).HeaderCount(5));
  Run({8, 9}, {.repair = 1});
  EXPECT_EQ(Found(), (Findings{{0, 8, 1}}));
  EXPECT_EQ(HeaderCount(), 3);
}

TEST_F(MasterTest, HeaderCountWithTheTopBitSetIsTooManyNeverTooFew) {
  Write(MasterBuilder().Add(Sound(1)).HeaderCount(0xFFFF));
  Run({9, 8});
  EXPECT_EQ(Found(), (Findings{{0, 8, 0}}));
}

TEST_F(MasterTest, MissingFileWithoutCreateIsNeitherAskedNorRepaired) {
  MasterEntry entry = Sound(1);
  std::remove(dir_.Path("F1.DAT").c_str());
  std::remove(dir_.Path("F1.DOP").c_str());
  Write(MasterBuilder().Add(entry));
  RecordingReport report({true, true});
  Run(report, {0, 1}, {.repair = 1, .prompt = 1});
  EXPECT_TRUE(report.questions.empty());
  EXPECT_EQ(MasterFoundOrder(report.list), (Findings{{1, 0, 0}, {1, 1, 0}}));
  EXPECT_FALSE(testing_support::FileExistsNative(dir_.Path("F1.DAT")));
}

TEST_F(MasterTest, LengthTwentyWithFourFieldsIsInconsistentButValid) {
  MasterEntry entry = Sound(1);
  entry.fieldCount = 4;
  entry.recordLength = 20;
  Write(MasterBuilder().Add(entry));
  Run({3, 11});
  EXPECT_EQ(Found(), (Findings{{1, 3, 0}}));
}

TEST_F(MasterTest, LaterTestsSeeEarlierRepairs) {
  MasterEntry entry = Sound(1);
  entry.recordLength = 36;
  Write(MasterBuilder().Add(entry));
  Run({3, 11}, {.repair = 1});
  EXPECT_EQ(Found(), (Findings{{1, 3, 1}}));
  Write(MasterBuilder().Add(entry));
  RecordingReport reversed;
  Run(reversed, {11, 3}, {.repair = 1});
  EXPECT_EQ(MasterFoundOrder(reversed.list), (Findings{{1, 11, 1}}));
}

TEST_F(MasterTest, TimeBaseRulesDependOnThePeriod) {
  struct Case {
    char period;
    uint16_t timeBase;
    std::vector<MasterFinding> found;
  };
  const Case cases[] = {
      {'D', 5, {{1, 6, 0}}},      {'W', 0xFFFF, {{1, 6, 0}}}, {'I', 5, {}},
      {'I', 0xFFFB, {{1, 6, 0}}}, {'X', 5, {{1, 7, 0}}},
  };
  for (const Case& c : cases) {
    MasterEntry entry = Sound(1);
    entry.period = c.period;
    entry.timeBase = c.timeBase;
    Write(MasterBuilder().Add(entry));
    RecordingReport report;
    Run(report, {6, 7});
    EXPECT_EQ(MasterFoundOrder(report.list), c.found) << c.period << " " << c.timeBase;
  }
}

TEST_F(MasterTest, MissingDataFileSilencesTheDateTests) {
  MasterEntry entry = Sound(1);
  entry.firstDateWord = entry.lastDateWord = MbfWord(950101);
  std::remove(dir_.Path("F1.DAT").c_str());
  Write(MasterBuilder().Add(entry));
  Run({4, 5, 0});
  EXPECT_EQ(Found(), (Findings{{1, 0, 0}}));
}

TEST_F(MasterTest, HeaderOnlyDataFileHasNoDatesToCompareOrCopy) {
  MasterEntry entry = Sound(1);
  fixtures::WriteDat(dir_, 1, fixtures::DatBuilder::ForFields(6));
  Write(MasterBuilder().Add(entry));
  const Bytes before = ReadBytes(dir_.Path("master"));
  Run({4, 5}, {.repair = 1});
  EXPECT_EQ(report_.events, kNothingFound);
  EXPECT_EQ(ReadBytes(dir_.Path("master")), before);
}

TEST_F(MasterTest, CorruptDatesOnBothSidesAgree) {
  MasterEntry entry = Sound(1);
  fixtures::WriteDat(dir_, 1, Series::Daily(6).Dat(6, 'D').SetWord(0, 0, fixtures::kStoredMinusOne));
  entry.firstDateWord = fixtures::HugeWord();
  Write(MasterBuilder().Add(entry));
  Run({4});
  EXPECT_EQ(report_.events, kNothingFound);
}

TEST_F(MasterTest, UndeterminableRecordLengthIsNeverWritten) {
  MasterEntry entry = Sound(1);
  entry.recordLength = 36;
  std::remove(dir_.Path("F1.DAT").c_str());
  Write(MasterBuilder().Add(entry));
  const Bytes before = ReadBytes(dir_.Path("master"));
  Run({3, 11}, {.repair = 1});
  EXPECT_EQ(Found(), (Findings{{1, 3, 0}, {1, 11, 0}}));
  EXPECT_EQ(ReadBytes(dir_.Path("master")), before);
}

TEST_F(MasterTest, RepairsInPlaceLeaveTheScanAndOtherBytesAlone) {
  MasterBuilder master;
  for (uint8_t n = 1; n <= 4; ++n) {
    MasterEntry entry = Sound(n);
    if (n != 3) entry.fileType = 0;
    master.Add(entry);
  }
  Write(master);
  Bytes expected = master.Build();
  for (int record : {1, 2, 4}) expected[static_cast<size_t>(record) * kMasterRecordSize + 1] = 101;
  Run({2}, {.repair = 1});
  EXPECT_EQ(Found(), (Findings{{1, 2, 1}, {2, 2, 1}, {4, 2, 1}}));
  EXPECT_EQ(ReadBytes(dir_.Path("master")), expected);
}

TEST_F(MasterTest, FailedRewriteLeavesTheDefectNotRepaired) {
  MasterEntry entry = Sound(1);
  entry.fileType = 0;
  Write(MasterBuilder().Add(entry));
  const Bytes before = ReadBytes(dir_.Path("master"));
  platform::ResetFaults();
  platform::FailNthCall(platform::Call::Write, 1);
  Run({2}, {.repair = 1});
  platform::ResetFaults();
  EXPECT_EQ(Found(), (Findings{{1, 2, 0}}));
  EXPECT_EQ(ReadBytes(dir_.Path("master")), before);
}

TEST_F(MasterTest, ListRunsFromTheLastRecordBackToTheHeader) {
  MasterEntry first = Sound(1);
  first.fileType = 0;
  first.reserved = 1;
  MasterEntry third = Sound(3);
  third.timeBase = 2;
  Write(MasterBuilder().Add(first).Add(Sound(2)).Add(third).HeaderCount(7));
  Run({2, 10, 6, 8});
  EXPECT_EQ(MasterListOrder(report_.list), (Findings{{3, 6, 0}, {1, 10, 0}, {1, 2, 0}, {0, 8, 0}}));
}

TEST_F(MasterTest, RemoteTestOfEveryCodeChangesNoByte) {
  MasterEntry damaged = Sound(1);
  damaged.fileType = 3;
  damaged.recordLength = 36;
  damaged.period = 'Q';
  damaged.reserved = 9;
  damaged.lastDateWord = 0;
  MasterEntry missing = Sound(2);
  std::remove(dir_.Path("F2.DAT").c_str());
  std::remove(dir_.Path("F2.DOP").c_str());
  Write(MasterBuilder().Add(damaged).Add(missing).Add(Sound(3)).HeaderCount(9));
  const auto before = Snapshot(dir_.Path(""));
  Run(kEveryCode);
  EXPECT_EQ(report_.events, std::vector<std::string>{"list"});
  EXPECT_EQ(Snapshot(dir_.Path("")), before);
}

TEST_F(MasterTest, MasterShorterThanItsHeaderIsRefusedUntouched) {
  for (size_t length : {size_t{0}, size_t{30}, size_t{52}}) {
    Write(MasterBuilder().Add(Sound(1)).Resize(length));
    const Bytes before = ReadBytes(dir_.Path("master"));
    RecordingReport report;
    Run(report, kEveryCode, {.repair = 1, .create = 1});
    EXPECT_EQ(report.events,
              (std::vector<std::string>{std::string("notice: ") + kMasterTooShortText, "close"}));
    EXPECT_EQ(ReadBytes(dir_.Path("master")), before) << length;
  }
}

TEST_F(MasterTest, MissingMasterShowsTheOpenMessage) {
  Run(kEveryCode);
  EXPECT_EQ(report_.events, (std::vector<std::string>{std::string("notice: ") + GetError(2), "close"}));
}

TEST_F(MasterTest, CorrectSetsThePeriodOnlyFromIntradayData) {
  MasterEntry daily = Sound(1);
  daily.period = 'X';
  fixtures::WriteDat(dir_, 2, Series::Intraday(2, 6).Dat(7, 'I'));
  const MasterEntry intraday{.fileNumber = 2, .fieldCount = 7, .period = 'Z'};
  Write(MasterBuilder().Add(daily).Add(intraday));
  const Bytes before = ReadBytes(dir_.Path("master"));
  EXPECT_EQ(RepairMasterError(dir_.Dir().c_str(), 1, 7), 0);
  EXPECT_EQ(ReadBytes(dir_.Path("master")), before);
  EXPECT_EQ(RepairMasterError(dir_.Dir().c_str(), 2, 7), 1);
  EXPECT_EQ(Record(2).Period(), 'I');
}

TEST_F(MasterTest, CorrectThatCannotBeMadeWritesNothing) {
  MasterEntry entry = Sound(1);
  entry.recordLength = 36;
  entry.firstDateWord = entry.lastDateWord = 0;
  std::remove(dir_.Path("F1.DAT").c_str());
  Write(MasterBuilder().Add(entry).HeaderCount(4));
  const auto before = Snapshot(dir_.Path(""));
  struct Case {
    int32_t fileNumber;
    int32_t code;
  };
  // No data file to read a length or a date from; codes without a correction;
  // a file number master does not hold; the header has only its count.
  for (const Case& c : {Case{1, 3}, Case{1, 11}, Case{1, 4}, Case{1, 5}, Case{1, 8}, Case{1, 12}, Case{1, -1},
                        Case{9, 2}, Case{0, 0}, Case{0, 2}}) {
    EXPECT_EQ(RepairMasterError(dir_.Dir().c_str(), c.fileNumber, c.code), 0)
        << c.fileNumber << " " << c.code;
  }
  EXPECT_EQ(Snapshot(dir_.Path("")), before);
}

TEST(MasterErrorFlags, MarkingReachesTheFirstMatchingDefectOfTheFirstMatchingEntry) {
  List* list = CreateList();
  for (int32_t fileNumber : {2, 2}) {
    MasterErrorEntry entry{fileNumber, nullptr};
    AddMasterError(3, 0, &entry);
    AddMasterError(3, 0, &entry);
    AddItem(list, &entry, sizeof entry);
  }
  EXPECT_EQ(IsMasterErrorRepaired(list, 2, 3), 0);
  EXPECT_EQ(MarkMasterErrorRepaired(list, 2, 3), 1);
  EXPECT_EQ(IsMasterErrorRepaired(list, 2, 3), 1);
  EXPECT_EQ(MasterListOrder(list), (Findings{{2, 3, 1}, {2, 3, 0}, {2, 3, 0}, {2, 3, 0}}));
  EXPECT_EQ(MarkMasterErrorRepaired(list, 2, 4), 0);
  EXPECT_EQ(MarkMasterErrorRepaired(list, 5, 3), 0);
  EXPECT_EQ(IsMasterErrorRepaired(list, 5, 3), 0);
  EXPECT_EQ(KillErrorList(list), 1);
}

TEST(MasterErrorNames, EveryCodeHasItsNameAndDialogPlace) {
  const char* const expected[] = {"Missing DAT File",
                                  "Missing DOP File",
                                  "Bad Master FileType",
                                  "Inconsistent DAT Record Length",
                                  "Starting Date not synchronised with DAT file",
                                  "Ending Date not synchronized with DAT file",
                                  "Invalid IntraDay Time-Base Specified",
                                  "Invalid Data Format",
                                  "Too many files reported",
                                  "Too few files reported",
                                  "Unknown File Format",
                                  "Invalid DAT Record Length",
                                  "Not an Error!"};
  for (int32_t code = 0; code <= 12; ++code) EXPECT_STREQ(GetMasterError(code), expected[code]) << code;
  EXPECT_STREQ(GetMasterError(13), "Not an Error!");
  std::vector<std::string> names;
  for (int32_t code : kMasterDialogOrder) names.emplace_back(GetMasterError(code));
  EXPECT_TRUE(std::is_sorted(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [](char x, char y) { return std::tolower(x) < std::tolower(y); });
  }));
}

}  // namespace
