// Every platform call an operation makes is failed in turn: afterwards the
// data file holds either its old contents or the complete result, no
// temporary file is left behind (unless its own removal was the call that
// failed), and every data file of a split's destination is listed in master.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "records_support.h"
#include "store/record_ops.h"

namespace {

using namespace records_test;

struct Scenario {
  std::string name;
  std::function<int(Instrument&, FileHandle)> run;
};

// Runs the scenario once cleanly and returns how often each kind of call was
// made, with the clean result's data file.
std::vector<int> CountCalls(const Scenario& scenario, Bytes* expected) {
  Instrument instrument(Ids(1, 6));
  FileGuard file = instrument.Open();
  platform::ResetFaults();
  EXPECT_EQ(scenario.run(instrument, file.Get()), 1) << scenario.name;
  std::vector<int> counts;
  for (platform::Call call : kAllCalls) counts.push_back(platform::CallCount(call));
  platform::ResetFaults();
  file.Close();
  *expected = ReadBytes(instrument.DatPath());
  return counts;
}

std::set<int> DataFileNumbers(const std::string& nativeDir) {
  std::set<int> numbers;
  for (const std::string& name : FilesIn(nativeDir)) {
    int n = 0;
    char tail[8] = {};
    if (std::sscanf(name.c_str(), "F%d.%3s", &n, tail) == 2 && std::string(tail) == "DAT") numbers.insert(n);
  }
  return numbers;
}

std::set<int> ListedNumbers(const std::string& nativeDir) {
  std::set<int> numbers;
  for (const Listed& entry : ReadMaster(nativeDir + "/master")) numbers.insert(entry.fileNumber);
  return numbers;
}

void SweepFaults(const Scenario& scenario, bool inPlace = false) {
  FaultScope faults;
  Bytes expected;
  const std::vector<int> counts = CountCalls(scenario, &expected);
  int refused = 0;
  for (size_t kind = 0; kind < counts.size(); ++kind) {
    const platform::Call call = kAllCalls[kind];
    for (int n = 1; n <= counts[kind]; ++n) {
      const std::string label = scenario.name + ": " + CallName(call) + " call " + std::to_string(n);
      Instrument instrument(Ids(1, 6));
      const Bytes original = ReadBytes(instrument.DatPath());
      FileGuard file = instrument.Open();
      platform::ResetFaults();
      platform::FailNthCall(call, n);
      const int result = scenario.run(instrument, file.Get());
      if (result == 0) ++refused;
      platform::ResetFaults();
      file.Close();
      const Bytes now = ReadBytes(instrument.DatPath());
      if (result == 1) {
        EXPECT_EQ(now, expected) << label;
      } else if (inPlace && now != original) {
        // A cut that went through while the count could not follow: the file
        // is shorter, whole records, count stale.
        Bytes cut = expected;
        std::copy(original.begin() + 2, original.begin() + 4, cut.begin() + 2);
        EXPECT_EQ(now, cut) << label;
      } else {
        EXPECT_EQ(now, original) << label;
      }
      if (call != platform::Call::Delete) {
        EXPECT_TRUE(Leftovers(instrument.dir.Path("")).empty()) << label;
        EXPECT_TRUE(Leftovers(instrument.dir.Path("dest")).empty()) << label;
      }
      EXPECT_EQ(DataFileNumbers(instrument.dir.Path("")), ListedNumbers(instrument.dir.Path(""))) << label;
      EXPECT_EQ(DataFileNumbers(instrument.dir.Path("dest")), ListedNumbers(instrument.dir.Path("dest")))
          << label;
    }
  }
  // The sweep reached the calls that matter: some faults made it fail.
  EXPECT_GT(refused, 2) << scenario.name;
}

// The destination subdirectory, with a master listing nothing yet.
std::string Destination(Instrument& instrument) {
  const std::string dest = instrument.dir.MakeSubdir("dest");
  testing_support::WriteBytes(instrument.dir.Path("dest/master"), Bytes(kMasterRecordSize, 0));
  return dest;
}

TEST(FaultInjectionTest, InsertLeavesTheFileWholeOrReplaced) {
  SweepFaults({"insert", [](Instrument& i, FileHandle f) {
                 Destination(i);
                 return InsertRecord(f, i.DatName().c_str(), 2, i.Record());
               }});
}

TEST(FaultInjectionTest, DeleteLeavesTheFileWholeOrReplaced) {
  SweepFaults({"delete", [](Instrument& i, FileHandle f) {
                 Destination(i);
                 Selection selection{0, 3, 5};
                 return DeleteSelectedDATRecords(f, i.DatName().c_str(), selection.list, i.Record());
               }});
}

TEST(FaultInjectionTest, TruncateBeforeLeavesTheFileWholeOrReplaced) {
  SweepFaults({"truncate before", [](Instrument& i, FileHandle f) {
                 Destination(i);
                 Selection selection{2};
                 return TruncateFile(f, i.DatName().c_str(), 2, 0, 1, selection.list, i.Record());
               }});
}

TEST(FaultInjectionTest, TruncateAfterCutsWholeRecordsOrNothing) {
  SweepFaults({"truncate after",
               [](Instrument& i, FileHandle f) {
                 Destination(i);
                 Selection selection{2};
                 return TruncateFile(f, i.DatName().c_str(), 2, 1, 0, selection.list, i.Record());
               }},
              /*inPlace=*/true);
}

TEST(FaultInjectionTest, SplitIntoTheSameDirectoryIsAllOrNothing) {
  SweepFaults({"split here", [](Instrument& i, FileHandle f) {
                 Destination(i);
                 MasterRecord record = i.Record();
                 const std::string dir = i.dir.Dir();
                 return SplitFile(f, dir.c_str(), 1, &record, dir.c_str(), 2, 1, 0, 0);
               }});
}

TEST(FaultInjectionTest, SplitLeavingTheSourceIntactIsAllOrNothing) {
  SweepFaults({"split intact", [](Instrument& i, FileHandle f) {
                 const std::string dest = Destination(i);
                 MasterRecord record = i.Record();
                 return SplitFile(f, i.dir.Dir().c_str(), 1, &record, dest.c_str(), 3, 0, 1, 1);
               }});
}

TEST(FaultInjectionTest, SplitIntoAnotherDirectoryIsAllOrNothing) {
  SweepFaults({"split there", [](Instrument& i, FileHandle f) {
                 const std::string dest = Destination(i);
                 MasterRecord record = i.Record();
                 return SplitFile(f, i.dir.Dir().c_str(), 1, &record, dest.c_str(), 0, 1, 1, 0);
               }});
}

}  // namespace
