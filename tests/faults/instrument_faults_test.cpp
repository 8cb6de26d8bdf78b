// Instrument operations under a failure of every platform call, counted for
// each operation (and under writes cut short, as on a full disk): creating an
// instrument with its files, copying one, moving and deleting several through
// the dialogs' logic, changing a symbol and making a data directory. Every
// data file that was listed stays listed exactly once, whole.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "faults_scenes.h"
#include "faults_support.h"
#include "store/instrument_dialogs.h"
#include "store/instrument_ops.h"

namespace faults_test {
namespace {

// Answers every question Yes: create the directory, fit what fits, keep going.
class YesToAll : public UserInteraction {
 public:
  void ShowNotice(const char*) override {}
  bool AskYesNo(const char*) override { return true; }
};

std::string Sub(const std::string& directory, const std::string& path) {
  return directory.empty() ? path : directory + "/" + path;
}

// How many times each data file's bytes are listed, over the directories:
// a data file is listed when its directory's master lists its number.
std::map<Bytes, int> ListedData(const Snapshot& snapshot, const std::vector<std::string>& directories) {
  std::map<Bytes, int> listed;
  for (const std::string& directory : directories) {
    for (int n : ViewMaster(snapshot, directory).Numbers()) {
      const std::optional<Bytes> bytes = StateOf(snapshot, Sub(directory, "F" + std::to_string(n) + ".DAT"));
      if (bytes) ++listed[*bytes];
    }
  }
  return listed;
}

// Every data file listed before is listed exactly once now, somewhere.
void ExpectEachListedOnce(const Outcome& o, const std::vector<std::string>& directories) {
  const std::map<Bytes, int> now = ListedData(o.now, directories);
  for (const auto& [bytes, count] : ListedData(o.before, directories)) {
    const auto found = now.find(bytes);
    EXPECT_EQ(found == now.end() ? 0 : found->second, count) << "a data file of " << bytes.size() << " bytes";
  }
}

MasterRecord NewRecord() {
  return fixtures::MasterEntry{.fileNumber = 0, .fieldCount = 6, .name = "NEW", .symbol = "NW"}.Record();
}

void CheckCreate(const Outcome& o) {
  EXPECT_EQ(LostOrUnlisted(o.before, o.after, o.now), "");
  EXPECT_TRUE(ViewMaster(o.now).whole) << "master is not whole";
  if (o.result == -1) {
    EXPECT_EQ(o.now, o.before);
  } else {
    EXPECT_EQ(o.result, 3);
    EXPECT_EQ(ViewMaster(o.now).Listed(3), 1);
  }
}

TEST(InstrumentFaults, CreatingWithFilesAddsTheInstrumentOrNothing) {
  for (bool shortWrites : {false, true}) {
    const int failed =
        SweepEveryCall({.name = shortWrites ? "create on a full disk" : "create",
                        .build =
                            [](const TempDir& dir) {
                              WriteSoundDirectory(dir.Path(""), {1, 2});
                            },
                        .run =
                            [](const TempDir& dir) {
                              MasterRecord record = NewRecord();
                              return static_cast<int>(CreateInstrument(dir.Dir().c_str(), &record, 1));
                            },
                        .check = CheckCreate,
                        .succeededResult = 3,
                        .shortWrites = shortWrites});
    EXPECT_GT(failed, 0);
  }
}

TEST(InstrumentFaults, CopyingAddsTheInstrumentWithAllItsBytesOrNothing) {
  for (bool shortWrites : {false, true}) {
    const int failed = SweepEveryCall(
        {.name = shortWrites ? "copy on a full disk" : "copy",
         .build =
             [](const TempDir& dir) {
               WriteSoundDirectory(dir.Path("src"), {4, 7});
               WriteSoundDirectory(dir.Path("dest"), {1});
             },
         .run =
             [](const TempDir& dir) {
               MasterRecord record;
               if (!GetMetaStockMasterRecord((dir.Dir() + "src\\").c_str(), 7, &record)) return 0;
               return CopyInstrument((dir.Dir() + "dest\\").c_str(), (dir.Dir() + "src\\").c_str(), &record);
             },
         .check =
             [](const Outcome& o) {
               for (const char* directory : {"src", "dest"}) {
                 EXPECT_EQ(LostOrUnlisted(o.before, o.after, o.now, directory), "") << directory;
               }
               // The copied data file is listed once more when the copy went through.
               const Bytes copied = StateOf(o.before, "src/F7.DAT").value_or(Bytes());
               EXPECT_EQ(ListedData(o.now, {"src", "dest"})[copied], o.result == 1 ? 2 : 1);
               EXPECT_EQ(StateOf(o.now, "src/master"), StateOf(o.before, "src/master"));
               const std::vector<int> listed = ViewMaster(o.now, "dest").Numbers();
               EXPECT_EQ(listed, (o.result == 1 ? std::vector<int>{1, 2} : std::vector<int>{1}));
               if (o.kind != platform::Call::Delete) {
                 EXPECT_TRUE(Leftovers(o.now).empty());
               }
             },
         .shortWrites = shortWrites});
    EXPECT_GT(failed, 0);
  }
}

TEST(InstrumentFaults, MovingTwoInstrumentsIntoANewDirectoryKeepsEachListedExactlyOnce) {
  SweepEveryCall({.name = "move two",
                  .build =
                      [](const TempDir& dir) {
                        WriteSoundDirectory(dir.Path("src"), {2, 5, 9});
                      },
                  .run =
                      [](const TempDir& dir) {
                        YesToAll ui;
                        const std::string source = dir.Dir() + "src\\";
                        std::vector<MasterRecord> instruments;
                        const int16_t numbers[] = {5, 9};
                        if (!SelectInstruments(source.c_str(), numbers, 2, ui, &instruments)) return 0;
                        InstrumentTally tally;
                        std::string destination;
                        MoveApply(source.c_str(), instruments, (dir.Dir() + "new").c_str(), ui, &tally,
                                  &destination);
                        return tally.done == 2 && tally.failed == 0 ? 1 : 0;
                      },
                  .check =
                      [](const Outcome& o) {
                        ExpectEachListedOnce(o, {"src", "new"});
                        for (const char* directory : {"src", "new"}) {
                          EXPECT_EQ(LostOrUnlisted(o.before, o.after, o.now, directory), "") << directory;
                        }
                        EXPECT_EQ(ViewMaster(o.now, "src").Listed(2), 1);
                        if (o.kind != platform::Call::Delete) {
                          EXPECT_TRUE(Leftovers(o.now).empty());
                        }
                      }});
}

TEST(InstrumentFaults, DeletingTwoInstrumentsLeavesEachListedOrGoneWithItsFiles) {
  SweepEveryCall({.name = "delete two",
                  .build =
                      [](const TempDir& dir) {
                        WriteSoundDirectory(dir.Path(""), {2, 5, 9});
                      },
                  .run =
                      [](const TempDir& dir) {
                        YesToAll ui;
                        std::vector<MasterRecord> instruments;
                        const int16_t numbers[] = {5, 9};
                        if (!SelectInstruments(dir.Dir().c_str(), numbers, 2, ui, &instruments)) return 0;
                        InstrumentTally tally;
                        DeleteApply(dir.Dir().c_str(), instruments, ui, &tally);
                        return tally.done == 2 && tally.failed == 0 ? 1 : 0;
                      },
                  .check =
                      [](const Outcome& o) {
                        EXPECT_EQ(LostOrUnlisted(o.before, o.after, o.now), "");
                        const MasterView master = ViewMaster(o.now);
                        EXPECT_EQ(master.Listed(2), 1);
                        for (int n : {5, 9}) {
                          // Listed with its data file as before, or gone with it.
                          const std::string dat = "F" + std::to_string(n) + ".DAT";
                          if (master.Listed(n) == 1) {
                            EXPECT_EQ(StateOf(o.now, dat), StateOf(o.before, dat)) << dat;
                          } else {
                            EXPECT_EQ(master.Listed(n), 0);
                            EXPECT_FALSE(StateOf(o.now, dat)) << dat << " left unlisted";
                          }
                        }
                        if (o.kind != platform::Call::Delete) {
                          EXPECT_TRUE(Leftovers(o.now).empty());
                        }
                      }});
}

TEST(InstrumentFaults, ChangingASymbolRewritesTheRecordOrNothing) {
  SweepEveryCall({.name = "symbol",
                  .build =
                      [](const TempDir& dir) {
                        WriteSoundDirectory(dir.Path(""), {1, 2, 3});
                      },
                  .run =
                      [](const TempDir& dir) {
                        YesToAll ui;
                        MasterRecord record;
                        if (!GetMetaStockMasterRecord(dir.Dir().c_str(), 2, &record)) return 0;
                        return ChangeSymbolApply(dir.Dir().c_str(), &record, "NEWSYM", ui) == kDialogEnds ? 1
                                                                                                          : 0;
                      },
                  .check =
                      [](const Outcome& o) {
                        EXPECT_EQ(NeitherBeforeNorAfter(o.before, o.after, o.now), "");
                        if (o.result == 1) {
                          EXPECT_EQ(o.now, o.after);
                        }
                      }});
}

TEST(InstrumentFaults, MakingADataDirectoryLeavesNoHalfWrittenMaster) {
  SweepEveryCall({.name = "make directory",
                  .build = [](const TempDir&) {},
                  .run =
                      [](const TempDir& dir) {
                        YesToAll ui;
                        std::string created;
                        return MakeDirApply(dir.Dir().c_str(), "DATA", ui, &created) == kDialogEnds ? 1 : 0;
                      },
                  .check =
                      [](const Outcome& o) {
                        // No master, or a whole one holding only its header.
                        const std::optional<Bytes> master = StateOf(o.now, "DATA/master");
                        if (master) {
                          EXPECT_EQ(*master, Bytes(53, 0));
                        }
                        if (o.result == 1) {
                          EXPECT_TRUE(master.has_value());
                        }
                      }});
}

}  // namespace
}  // namespace faults_test
