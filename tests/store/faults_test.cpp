// Every operation that changes files, run once for every platform call it
// makes with that call failing (and, where it writes new bytes, with each
// write meeting a full disk), then against a data file that another open
// holds for writing.
#include <filesystem>
#include <functional>

#include "store/editor_session.h"
#include "store/instrument_dialogs.h"
#include "store/instrument_ops.h"
#include "store/messages.h"
#include "store/record_import.h"
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

// Types a whole new record, and (when close) a close price into record 3 and closes.
int EditAndAppend(const TempDir& dir, bool close) {
  ScriptedInteraction ui;
  EditorSession session;
  if (!OpenEditorSession(&session, dir.Dir().c_str(), 1, ui)) return 0;
  const bool edited = !close || CommitCellText(&session, 3, 4, "123.45") == CellCommit::Stored;
  const char* const typed[] = {"12/03/10", "120.5", "121", "119", "120", "5000", "7"};
  for (int c = 0; c < 7; ++c) CommitCellText(&session, DataRecordCount(session), c, typed[c]);
  const int appended = AppendPendingRecord(&session);
  EXPECT_TRUE(appended || session.pending[6].set == 1) << "the typed record stays to be appended later";
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
  PutU32(counted, 0, (GetU32(counted, 0) & 0xFFFF) | static_cast<uint32_t>(now.size() / kR) << 16);
  EXPECT_TRUE(record(now, 0) == record(before, 0) || record(now, 0) == counted) << "a wrong count";
  EXPECT_TRUE(o.result != 1 || o.now == o.after) << "a success that did not do it all";
  const Bytes entry = ViewMaster(o.now).records.at(0);
  EXPECT_TRUE(StateOf(o.now, "master") == StateOf(o.before, "master") ||
              (GetU32(entry, 25) == GetU32(now, kR) && GetU32(entry, 29) == GetU32(now, now.size() - kR)));
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
    const bool files = StateOf(o.now, DatName(n)) || StateOf(o.now, "F" + std::to_string(n) + ".DOP");
    EXPECT_TRUE(ViewMaster(o.now).Listed(n) != 0 || !files) << n;
  }
}

// Every data file listed before is listed now in one of the directories: once after a success, and at most
// in both where a failed move could not take its copy away again.
void EachListedOnce(const Outcome& o) {
  auto listed = [](const Snapshot& snapshot) {
    std::map<Bytes, int> counts;
    for (const char* dir : {"src", "new"}) {
      for (int n : ViewMaster(snapshot, dir).Numbers())
        ++counts[StateOf(snapshot, std::string(dir) + "/" + DatName(n)).value_or(Bytes())];
    }
    return counts;
  };
  const auto now = listed(o.now), before = listed(o.before);
  EXPECT_TRUE(o.result != 1 || now == before) << "a move that succeeded lists a file twice";
  EXPECT_EQ(now.size(), before.size());
  for (const auto& [bytes, count] : now) EXPECT_TRUE(before.contains(bytes) && count <= 2 * before.at(bytes));
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
      move ? TransferApply(TransferKind::Move, source.c_str(), instruments, (d.Dir() + "new").c_str(), ui,
                           &tally, &used)
           : DeleteApply(source.c_str(), instruments, ui, &tally);
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
    const ListPtr selection(Select(CreateList(), {1, 5, 9}));
    return DeleteSelectedDATRecords(f, (d + "F1.DAT").c_str(), selection.get(), r);
  });
  const auto truncate = [](int fromCurrent) {
    return OnF1([=](const std::string& d, FileHandle f, MasterRecord& r) {
      return TruncateFile(f, (d + "F1.DAT").c_str(), 10, fromCurrent, !fromCurrent, nullptr, r);
    });
  };
  // F1's records replaced by a text's, or a new instrument made of them.
  const auto withText = [](const TempDir& d) {
    WriteSoundDirectory(d.Path(""), {1});
    WriteText(d.Path("in.csv"),
              "date,open,high,low,close,volume,oi\n2020-01-06,1,2,1,2,9,0\n2020-01-07,2,3,1,2,8,1\n");
  };
  const Operation import = [](const TempDir& d) {
    ImportResult result;
    std::string fault;
    return ImportRecords(d.Dir().c_str(), 1, d.Name("in.csv").c_str(), ImportMode::Replace,
                         CodePage::Windows1252, &result, &fault)
               ? 1
               : 0;
  };
  const Operation createFrom = [](const TempDir& d) {
    ImportResult result;
    std::string fault;
    return static_cast<int>(CreateInstrumentFromText(d.Dir().c_str(), d.Name("in.csv").c_str(),
                                                     {.name = "IMPORTED"}, &result, &fault));
  };
  const auto editAppend = [](bool close) -> Operation {
    return [=](const TempDir& d) { return EditAndAppend(d, close); };
  };
  using Check = std::function<void(const Outcome&)>;
  // What a run may leave where no check of its own says more: as before, or as after when the result says so.
  const Check either = [](const Outcome& o) { BeforeOrAfter(o, o.result == 1); };
  const Check eitherOfASplit = [](const Outcome& o) { BeforeOrAfter(o, o.result == 1, true); };
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
      {"copy", twoDirs, copy, either, false, true, {"src", "dest"}},
      {"move two", sound({2, 5, 9}, "src"), transfer(true), EachListedOnce, false, false, {"src", "new"}},
      {"delete two", sound({2, 5, 9}), transfer(false), ListedOrGone, false, false},
      {"symbol", sound({1, 2, 3}), symbol, either, false, false},
      {"make directory", none, makeDir, nullptr, true, false},
      {"insert", sound({1}), insert, nullptr, true, true},
      {"delete records", sound({1}), erase, nullptr, true, true},
      {"truncate before", sound({1}), truncate(0), nullptr, true, true},
      {"truncate after", sound({1}), truncate(1), WholeRecords, false, false, noDirectory},
      {"split here", sound({1}), Split("", 20, 1, 0, 0), eitherOfASplit, false, true},
      {"split there", withDest, Split("dest\\", 0, 1, 1, 0), eitherOfASplit, false, false, two},
      {"split intact", withDest, Split("dest\\", 3, 0, 1, 1), eitherOfASplit, false, false, two},
      {"edit and append", BuildStale, editAppend(true), WholeRecords, false, false, noDirectory},
      {"append", BuildStale, editAppend(false), WholeRecords, false, true},
      {"import", withText, import, WholeRecords, false, true},
      {"create from text", withText, createFrom, Created, false, true, {""}, 2},
  };
  // With an EMASTER beside each master, it is the one that agrees with master after every run.
  const auto in = [](const std::string& sub, const std::string& name) {
    return sub.empty() ? name : sub + "/" + name;
  };
  const auto withEmaster = [&](Row row) {
    if (row.directories.empty()) row.directories = {""};  // master is there all the same
    return std::pair(
        [=](const TempDir& d) {
          row.build(d);
          for (const std::string& sub : row.directories)
            if (std::filesystem::exists(d.Path(in(sub, "master"))))
              WriteBytes(d.Path(in(sub, "EMASTER")), EmasterOf(ReadBytes(d.Path(in(sub, "master")))));
        },
        Check([=](const Outcome& o) {
          Snapshot before = o.before, after = o.after, now = o.now;
          for (Snapshot* s : {&before, &after, &now})
            std::erase_if(*s, [](const auto& file) { return file.first.ends_with("EMASTER"); });
          if (row.check) row.check({o.kind, o.result, o.dir, before, after, now});
          for (const std::string& sub : row.directories) {  // the run without faults too
            for (const Snapshot* s : {&o.after, &o.now}) {
              const auto emaster = StateOf(*s, in(sub, "EMASTER"));
              EXPECT_TRUE(!emaster || *emaster == EmasterOf(*StateOf(*s, in(sub, "master")))) << sub;
            }
          }
        }));
  };
  for (const Row& row : rows) {
    for (const bool emaster : {false, true}) {
      const SweepSpec stops{.name = std::string(row.name) + (emaster ? " stopped with EMASTER" : " stopped"),
                            .build = emaster ? withEmaster(row).first : row.build,
                            .run = row.run,
                            .succeededResult = row.succeededResult,
                            .directories = row.directories};
      EXPECT_GT(SweepEveryStop(stops), 0) << stops.name << ": no change made";
    }
    for (int variant = 0; variant < 3; ++variant) {
      const bool shortWrites = variant == 1, emaster = variant == 2;
      if (shortWrites && !row.onAFullDisk) continue;
      const auto [build, check] = emaster ? withEmaster(row) : std::pair(row.build, row.check);
      const char* const kSuffixes[] = {"", " on a full disk", " with EMASTER"};
      SweepSpec spec{.name = std::string(row.name) + kSuffixes[variant],
                     .build = build,
                     .run = row.run,
                     .check = check,
                     .succeededResult = row.succeededResult,
                     .shortWrites = shortWrites,
                     .allOrNothing = row.allOrNothing,
                     .directories = row.directories};
      EXPECT_GT(SweepEveryCall(spec), 0) << spec.name << ": no fault made it fail";
    }
  }
}

// Each operation on F2 while another open holds it for writing refuses (the
// editor with its message) and leaves every file as it was; a copy reads it.
TEST(HostileTest, ADataFileHeldForWritingByAnotherOpenIsLeftAlone) {
  using Act = std::function<int(const std::string&, MasterRecord&, ScriptedInteraction&)>;
  const Act edit = [](auto& dir, auto&, auto& ui) {
    EditorSession s;
    return OpenEditorSession(&s, dir.c_str(), 2, ui);
  };
  const Act erase = [](auto& dir, auto& r, auto&) { return DeleteInstrument(dir.c_str(), r, 1); };
  const Act move = [](auto& dir, auto& r, auto&) {
    return MoveInstrument((dir + "other\\").c_str(), dir.c_str(), &r);
  };
  const Act copy = [](auto& dir, auto& r, auto&) {
    return CopyInstrument((dir + "other\\").c_str(), dir.c_str(), &r);
  };
  const std::tuple<const char*, Act, int, Texts> cases[] = {
      {"the editor", edit, 0, {GetError(kFileAccessMessage)}},
      {"deleting", erase, 0, {}},
      {"moving", move, 0, {}},
      {"copying", copy, 1, {}}};
  for (const auto& [rule, act, result, notices] : cases) {
    TempDir dir;
    WriteSoundDirectory(dir.Path(""), {1, 2});
    WriteSoundDirectory(dir.Path("other"), {1});
    const Snapshot before = TakeSnapshot(dir.Path(""));
    ScriptedInteraction ui;
    MasterRecord record;
    ASSERT_EQ(GetMetaStockMasterRecord(dir.Dir().c_str(), 2, &record), 1);
    {
      HeldFile held(dir.Name("F2.DAT"));
      ASSERT_TRUE(held.Holds());
      EXPECT_EQ(act(dir.Dir(), record, ui), result) << rule;
    }
    EXPECT_EQ(ui.notices, notices) << rule;
    const Snapshot now = TakeSnapshot(dir.Path(""));
    EXPECT_TRUE(result ? StateOf(now, "other/F2.DAT") == StateOf(now, "F2.DAT") : now == before) << rule;
    for (const auto& [path, bytes] : now) EXPECT_EQ(IsFileOpen((dir.Dir() + path).c_str()), 0) << path;
  }
}

}  // namespace
}  // namespace store_test
