// Every operation that changes files, run once for every platform call it
// makes with that call failing (and, where it writes new bytes, with each
// write meeting a full disk), then against read-only files and directories
// and a data file that another open holds for writing.
#include <functional>

#include <filesystem>

#ifndef _WIN32
#include <unistd.h>
#endif

#include "integrity/messages.h"
#include "store/editor_session.h"
#include "store/instrument_dialogs.h"
#include "store/instrument_ops.h"
#include "store/record_ops.h"
#include "store_fixture.h"

namespace store_test {
namespace {

constexpr size_t kR = 28;  // the sound directories' 7-field records

class YesToAll : public UserInteraction {
  void ShowNotice(const char*) override {}
  bool AskYesNo(const char*) override { return true; }
};

using Operation = std::function<int(const TempDir&)>;

// A record operation on F1 of the directory (its core text given), open as the editor holds it.
Operation OnF1(const std::function<int(const std::string&, FileHandle, MasterRecord&)>& op) {
  return [op](const TempDir& dir) {
    MasterRecord record;
    if (!GetMetaStockMasterRecord(dir.Dir().c_str(), 1, &record)) return 0;
    FileGuard file = OpenDat(dir.Dir(), 1, kR);
    return file.Valid() ? op(dir.Dir(), file.Get(), record) : 0;
  };
}

Operation Split(const std::string& to, int r, int first, int last, int intact) {
  return OnF1([=](const std::string& d, FileHandle file, MasterRecord& record) {
    return SplitFile(file, d.c_str(), 1, &record, (d + to).c_str(), r, first, last, intact);
  });
}

// Types a close price into record 3 (when edit) and a whole new record, then
// closes (when close).
int EditAndAppend(const TempDir& dir, bool edit, bool close) {
  ScriptedInteraction ui;
  EditorSession session;
  if (!OpenEditorSession(&session, dir.Dir().c_str(), 1, ui)) return 0;
  const bool edited = !edit || CommitCellText(&session, 3, 4, "123.45") == CellCommit::Stored;
  const char* const typed[] = {"12/03/10", "120.5", "121", "119", "120", "5000", "7"};
  for (int c = 0; c < 7; ++c) CommitCellText(&session, DataRecordCount(session), c, typed[c]);
  const int appended = AppendPendingRecord(&session);
  if (!appended) {
    EXPECT_EQ(session.pending[6].set, 1) << "the typed record stays to be appended later";
  }
  const int closed = close ? CloseEditorSession(&session) : 1;
  EXPECT_EQ(IsFileOpen((dir.Dir() + "F1.DAT").c_str()), close ? 0 : 1);
  return edited && appended && closed;
}

// F1 with a stale count and stale master dates, which closing the editor puts right.
void BuildStale(const TempDir& dir) {
  WriteSoundDirectory(dir.Path(""), {1});
  Bytes dat = ReadBytes(dir.Path("F1.DAT")), master = ReadBytes(dir.Path("master"));
  dat[2] = 5, dat[3] = 0;
  std::fill(master.begin() + 53 + 25, master.begin() + 53 + 33, 0);
  WriteBytes(dir.Path("F1.DAT"), dat), WriteBytes(dir.Path("master"), master);
}

// F1.DAT of the length of before or after, each record as before or after,
// its header as before or counting the records; master as before or holding
// the file's present dates; as after when the result says success.
void WholeRecords(const Outcome& o) {
  const Bytes now = StateOf(o.now, "F1.DAT").value(), before = StateOf(o.before, "F1.DAT").value(),
              after = StateOf(o.after, "F1.DAT").value();
  ASSERT_TRUE(now.size() == before.size() || now.size() == after.size()) << now.size() << " bytes";
  auto record = [](const Bytes& bytes, size_t at) {
    return at + kR <= bytes.size() ? Bytes(bytes.begin() + at, bytes.begin() + at + kR) : Bytes();
  };
  for (size_t at = kR; at < now.size(); at += kR)
    EXPECT_TRUE(record(now, at) == record(before, at) || record(now, at) == record(after, at)) << at / kR;
  Bytes counted = record(before, 0);
  PutU32(counted, 0, (WordAt(counted, 0) & 0xFFFF) | static_cast<uint32_t>(now.size() / kR) << 16);
  EXPECT_TRUE(record(now, 0) == record(before, 0) || record(now, 0) == counted) << "a wrong count";
  EXPECT_TRUE(o.result != 1 || o.now == o.after) << "a success that did not do it all";
  const Bytes entry = ViewMaster(o.now).records.at(0);
  EXPECT_TRUE(StateOf(o.now, "master") == StateOf(o.before, "master") ||
              (WordAt(entry, 25) == WordAt(now, kR) && WordAt(entry, 29) == WordAt(now, now.size() - kR)));
}

// As before (but for the last file number of a master's header, which a
// number handed out and taken back again leaves raised) or as after; as after
// when the result says so. datesOfASplit: the new entries' dates are not
// compared: a split that cannot read a portion's date stores 0 and succeeds.
void BeforeOrAfter(const Outcome& o, bool succeeded, bool datesOfASplit = false) {
  Snapshot asBefore = o.now, asAfter = o.now;
  for (auto& [path, bytes] : asBefore) {
    const std::optional<Bytes> was = StateOf(o.before, path);
    if (path.ends_with("master") && was && was->size() == bytes.size() && bytes.size() >= 4)
      std::copy(was->begin() + 2, was->begin() + 4, bytes.begin() + 2);
  }
  for (auto& [path, bytes] : asAfter) {
    const std::optional<Bytes> was = StateOf(o.after, path);
    if (!datesOfASplit || !path.ends_with("master") || !was || was->size() != bytes.size()) continue;
    for (size_t at = 53; at + 53 <= bytes.size(); at += 53)
      std::copy(was->begin() + at + 25, was->begin() + at + 33, bytes.begin() + at + 25);
  }
  EXPECT_TRUE(asAfter == o.after || (!succeeded && asBefore == o.before)) << "neither as before nor as after";
}

// A new instrument listed once, or nothing added.
void Created(const Outcome& o) {
  if (o.result == -1) return BeforeOrAfter(o, false);
  EXPECT_EQ(ViewMaster(o.now).Listed(o.result), 1);
}

// Instruments 5 and 9 listed (their data as before: the sweep checks it) or
// gone with their files.
void ListedOrGone(const Outcome& o) {
  for (int n : {5, 9}) {
    if (ViewMaster(o.now).Listed(n) == 0) {
      EXPECT_FALSE(StateOf(o.now, DatName(n)) || StateOf(o.now, "F" + std::to_string(n) + ".DOP")) << n;
    }
  }
}

// Every data file listed before is listed exactly once now, in one of the directories.
void EachListedOnce(const Outcome& o) {
  auto listed = [](const Snapshot& snapshot) {
    std::map<Bytes, int> counts;
    for (const char* dir : {"src", "new"}) {
      for (int n : ViewMaster(snapshot, dir).Numbers())
        ++counts[StateOf(snapshot, std::string(dir) + "/" + DatName(n)).value_or(Bytes())];
    }
    return counts;
  };
  EXPECT_EQ(listed(o.now), listed(o.before));
}

TEST(FaultsTest, EveryFailingCallLeavesNoDataLostOrUnlisted) {
  const auto sound = [](std::vector<int> numbers, const std::string& sub = "") {
    return [=](const TempDir& d) { WriteSoundDirectory(d.Path(sub), numbers); };
  };
  const auto twoDirs = [](const TempDir& d) {
    WriteSoundDirectory(d.Path("src"), {4, 7}), WriteSoundDirectory(d.Path("dest"), {1});
  };
  const auto withDest = [](const TempDir& d) {
    WriteSoundDirectory(d.Path(""), {1}), WriteSoundDirectory(d.Path("dest"), {});
  };
  const Operation create = [](const TempDir& d) {
    MasterRecord record = MasterEntry{.fileNumber = 0, .fieldCount = 6}.Record();
    return static_cast<int>(CreateInstrument(d.Dir().c_str(), &record, 1));
  };
  const Operation copy = [](const TempDir& d) {
    MasterRecord record;
    if (!GetMetaStockMasterRecord((d.Dir() + "src\\").c_str(), 7, &record)) return 0;
    return CopyInstrument((d.Dir() + "dest\\").c_str(), (d.Dir() + "src\\").c_str(), &record);
  };
  const auto transfer = [](bool move) -> Operation {
    return [move](const TempDir& d) {
      YesToAll ui;
      const std::string source = d.Dir() + (move ? "src\\" : "");
      std::vector<MasterRecord> instruments;
      const int16_t numbers[] = {5, 9};
      if (!SelectInstruments(source.c_str(), numbers, 2, ui, &instruments)) return 0;
      InstrumentTally tally;
      std::string used;
      if (move) MoveApply(source.c_str(), instruments, (d.Dir() + "new").c_str(), ui, &tally, &used);
      if (!move) DeleteApply(source.c_str(), instruments, ui, &tally);
      return tally.done == 2 ? 1 : 0;
    };
  };
  const Operation symbol = [](const TempDir& d) {
    YesToAll ui;
    MasterRecord record;
    return GetMetaStockMasterRecord(d.Dir().c_str(), 2, &record) &&
           ChangeSymbolApply(d.Dir().c_str(), &record, "NEWSYM", ui) == kDialogEnds;
  };
  const Operation makeDir = [](const TempDir& d) {
    YesToAll ui;
    std::string made;
    return static_cast<int>(MakeDirApply(d.Dir().c_str(), "DATA", ui, &made) == kDialogEnds);
  };
  const Operation insert = OnF1([](const std::string& d, FileHandle f, MasterRecord& r) {
    return InsertRecord(f, (d + "F1.DAT").c_str(), 4, r);
  });
  const Operation erase = OnF1([](const std::string& d, FileHandle f, MasterRecord& r) {
    Selection selection{1, 5, 9};
    return DeleteSelectedDATRecords(f, (d + "F1.DAT").c_str(), selection.list, r);
  });
  const auto truncate = [](int fromCurrent) {
    return OnF1([=](const std::string& d, FileHandle f, MasterRecord& r) {
      return TruncateFile(f, (d + "F1.DAT").c_str(), 10, fromCurrent, !fromCurrent, nullptr, r);
    });
  };
  const auto editAppend = [](bool editAndClose) -> Operation {
    return [=](const TempDir& d) { return EditAndAppend(d, editAndClose, editAndClose); };
  };
  const Operation close = [](const TempDir& d) {
    ScriptedInteraction ui;
    EditorSession session;
    return OpenEditorSession(&session, d.Dir().c_str(), 1, ui) && CloseEditorSession(&session);
  };
  using Check = std::function<void(const Outcome&)>;
  struct Row {
    const char* name;
    std::function<void(const TempDir&)> build;
    Operation run;
    Check check;
    bool allOrNothing, onAFullDisk;
    std::vector<std::string> directories = {""};
    int succeededResult = 1;
  };
  const auto none = [](const TempDir&) {};
  const std::vector<std::string> two = {"", "dest"}, noDirectory = {};
  const Row rows[] = {
      {"create", sound({1, 2}), create, Created, false, true, {""}, 3},
      {"create the first", none, create, Created, false, true},
      {"copy", twoDirs, copy, nullptr, false, true, {"src", "dest"}},
      {"move two", sound({2, 5, 9}, "src"), transfer(true), EachListedOnce, false, false, {"src", "new"}},
      {"delete two", sound({2, 5, 9}), transfer(false), ListedOrGone, false, false},
      {"symbol", sound({1, 2, 3}), symbol, nullptr, false, false},
      {"make directory", none, makeDir, nullptr, true, false},
      {"insert", sound({1}), insert, nullptr, true, true},
      {"delete records", sound({1}), erase, nullptr, true, true},
      {"truncate before", sound({1}), truncate(0), nullptr, true, true},
      {"truncate after", sound({1}), truncate(1), WholeRecords, false, false, noDirectory},
      {"split here", sound({1}), Split("", 20, 1, 0, 0), nullptr, false, true},
      {"split there", withDest, Split("dest\\", 0, 1, 1, 0), nullptr, false, false, two},
      {"split intact", withDest, Split("dest\\", 3, 0, 1, 1), nullptr, false, false, two},
      {"editor close", BuildStale, close, WholeRecords, false, false},
      {"edit and append", BuildStale, editAppend(true), WholeRecords, false, false, noDirectory},
      {"append", BuildStale, editAppend(false), WholeRecords, false, true},
  };
  for (const Row& row : rows) {
    for (bool shortWrites : {false, true}) {
      if (shortWrites && !row.onAFullDisk) continue;
      SweepSpec spec{.name = row.name + std::string(shortWrites ? " on a full disk" : ""),
                     .build = row.build,
                     .run = row.run,
                     .succeededResult = row.succeededResult,
                     .shortWrites = shortWrites,
                     .allOrNothing = row.allOrNothing,
                     .directories = row.directories};
      // Whatever failed, nothing stays open; without a check of its own the
      // scene is as before or as after.
      spec.check = [check = row.check, lenient = !row.allOrNothing && !row.check,
                    succeeded = row.succeededResult,
                    split = spec.name.starts_with("split")](const Outcome& o) {
        for (const auto& [path, bytes] : o.now) {
          std::string file = o.dir.Dir() + path;
          std::replace(file.begin(), file.end(), '/', '\\');
          EXPECT_EQ(IsFileOpen(file.c_str()), 0) << file;
        }
        if (check) check(o);
        if (lenient) BeforeOrAfter(o, o.result == succeeded, split);
      };
      EXPECT_GT(SweepEveryCall(spec), 0) << spec.name << ": no fault made it fail";
    }
  }
}

// Takes write permission from a file or directory while in scope.
struct ReadOnly {
  explicit ReadOnly(const std::string& at) : path(at), was(std::filesystem::status(at).permissions()) {
    using P = std::filesystem::perms;
    std::filesystem::permissions(path, P::owner_write | P::group_write | P::others_write,
                                 std::filesystem::perm_options::remove);
  }
  ~ReadOnly() { std::filesystem::permissions(path, was); }
  std::string path;
  std::filesystem::perms was;
};

enum class Condition { HeldF2, ReadOnlyF1, ReadOnlyMaster, ReadOnlyDirectory };
enum class Act { EditF1, EditF2, DeleteF2, MoveF2, CopyF2, Create, RecordOperations, MakeDirectory };

int Perform(Act act, const TempDir& d, ScriptedInteraction& ui) {
  EditorSession s;
  MasterRecord record = MasterEntry{.fileNumber = 0}.Record();
  std::string made;
  const std::string dir = d.Dir(), other = d.Dir() + "other\\";
  switch (act) {
    case Act::EditF1:
    case Act::EditF2:
      return OpenEditorSession(&s, dir.c_str(), act == Act::EditF1 ? 1 : 2, ui);
    case Act::Create:
      return static_cast<int>(CreateInstrument(dir.c_str(), &record, 1));
    case Act::MakeDirectory:
      return MakeDirApply(dir.c_str(), "NEW", ui, &made);
    case Act::RecordOperations: {  // in F1's editor: each needs a new file beside the data file
      if (!OpenEditorSession(&s, dir.c_str(), 1, ui)) return -9;
      const int32_t three = 3;
      AddNewItem(s.selection.get(), &three, sizeof three, EditRecordNumberCompare);
      record = s.masterRecord;
      return InsertRecord(s.file.Get(), s.fileName.c_str(), 0, s.masterRecord) +
             DeleteSelectedDATRecords(s.file.Get(), s.fileName.c_str(), s.selection.get(), s.masterRecord) +
             SplitFile(s.file.Get(), dir.c_str(), 1, &record, dir.c_str(), 5, 1, 0, 0);
    }
    default:
      break;
  }
  if (!GetMetaStockMasterRecord(dir.c_str(), 2, &record)) return -9;
  if (act == Act::DeleteF2) return DeleteInstrument(dir.c_str(), record, 1);
  if (act == Act::MoveF2) return MoveInstrument(other.c_str(), dir.c_str(), &record);
  const int copied = CopyInstrument(other.c_str(), dir.c_str(), &record);  // reads what is there
  const Snapshot now = TakeSnapshot(d.Path(""));
  return copied && StateOf(now, "other/F2.DAT") == StateOf(now, "F2.DAT") ? 2 : 0;
}

struct Hostile {
  const char* rule;
  Condition condition;
  Act act;
  int result;
  Texts notices;
};

// Each operation refuses (with its message where it has one) and leaves every
// file as it was, or does what the condition allows.
void RunHostile(const std::vector<Hostile>& cases) {
  for (const Hostile& c : cases) {
    TempDir dir;
    WriteSoundDirectory(dir.Path(""), {1, 2});
    WriteSoundDirectory(dir.Path("other"), {1});
    const Snapshot before = TakeSnapshot(dir.Path(""));
    ScriptedInteraction ui;
    int result = -9;
    if (c.condition == Condition::HeldF2) {
      HeldFile held(dir.Name("F2.DAT"));
      ASSERT_TRUE(held.Holds());
      result = Perform(c.act, dir, ui);
    }
#ifndef _WIN32
    const char* const paths[] = {"", "F1.DAT", "master", ""};
    if (c.condition != Condition::HeldF2) {
      ReadOnly guard(dir.Path(paths[static_cast<int>(c.condition)]));
      result = Perform(c.act, dir, ui);
    }
#endif
    EXPECT_EQ(result, c.result) << c.rule;
    EXPECT_EQ(ui.notices, c.notices) << c.rule;
    const Snapshot now = TakeSnapshot(dir.Path(""));
    if (c.result > 0) continue;
    EXPECT_TRUE(now == before) << c.rule << ": files changed";
    for (const auto& [path, bytes] : now) EXPECT_EQ(IsFileOpen((dir.Dir() + path).c_str()), 0) << path;
  }
}

TEST(HostileTest, ADataFileHeldForWritingByAnotherOpenIsLeftAlone) {
  RunHostile({{"the editor", Condition::HeldF2, Act::EditF2, 0, {GetError(2)}},
              {"deleting", Condition::HeldF2, Act::DeleteF2, 0, {}},
              {"moving", Condition::HeldF2, Act::MoveF2, 0, {}},
              {"copying", Condition::HeldF2, Act::CopyF2, 2, {}}});
}

TEST(HostileTest, ReadOnlyFilesAndDirectoriesAreLeftAlone) {
#ifdef _WIN32
  GTEST_SKIP() << "read-only files are made with POSIX permissions here";
#else
  if (geteuid() == 0) GTEST_SKIP() << "write permissions do not stop root";
#endif
  RunHostile({{"the editor on a read-only file", Condition::ReadOnlyF1, Act::EditF1, 0, {GetError(2)}},
              {"creating with a read-only master", Condition::ReadOnlyMaster, Act::Create, -1, {}},
              {"record operations", Condition::ReadOnlyDirectory, Act::RecordOperations, 0, {}},
              {"deleting", Condition::ReadOnlyDirectory, Act::DeleteF2, 0, {}},
              {"making a directory",
               Condition::ReadOnlyDirectory,
               Act::MakeDirectory,
               kDialogStaysOpen,
               {"Unable to create Directory"}}});
}

}  // namespace
}  // namespace store_test
