// The record commands (insert, delete the selection, truncate both ways,
// split, a typed cell, an appended record) as the editor gives them, against
// a model of what each does to the ids of the records; then the refusals and
// messages the model does not state.
#include <cstdio>
#include <functional>
#include <tuple>
#include <filesystem>
#include <random>
#include <set>

#include "integrity/messages.h"
#include "primitives/path_list.h"
#include "store/editor_session.h"
#include "store/record_ops.h"
#include "store_fixture.h"

namespace store_test {
namespace {

// A record of the model: the id its date was made from, and the id in its prices.
struct Rec {
  int date, id;
  bool operator==(const Rec&) const = default;
};

std::string DateText(int id) {
  const int value = static_cast<int>(IdDate(id));
  char text[16];
  std::snprintf(text, sizeof text, "%02d/%02d/%02d", value % 100, value / 100 % 100, value / 10000 % 100);
  return text;
}

std::vector<Rec> RecordsOf(const Bytes& dat) {
  static const std::map<uint32_t, int> byDate = [] {
    std::map<uint32_t, int> words;
    for (int i = 1; i <= kMaxId; ++i) words[MbfWord(IdDate(i))] = i;
    return words;
  }();
  const std::vector<int> ids = IdsOf(dat);
  std::vector<Rec> records;
  for (size_t r = 0; r < ids.size(); ++r) {
    const auto date = byDate.find(WordAt(dat, (r + 1) * kL));
    records.push_back({date == byDate.end() ? -1 : date->second, ids[r]});
  }
  return records;
}

class RecordModel {
 public:
  explicit RecordModel(uint32_t seed) : random_(seed) {
    WriteMaster(root_, MasterBuilder().Add(IdEntry(1)).LastFileNumber(1));
    std::vector<int> ids;
    for (int i = 0; i < 12; ++i) ids.push_back(NextId()), files_[{0, 1}].push_back({ids.back(), ids.back()});
    WriteDat(root_, 1, IdRecords(ids));
  }

  void Step() {
    auto chosen = files_.begin();
    std::advance(chosen, Pick(0, static_cast<int>(files_.size()) - 1));
    const auto key = chosen->first;
    std::vector<Rec> recs = chosen->second;
    const int n = static_cast<int>(recs.size());
    ScriptedInteraction ui({true});
    EditorSession session;
    ASSERT_EQ(OpenEditorSession(&session, dirs_[key.first].c_str(), key.second, ui), 1);
    auto select = [&](int32_t r) {
      AddNewItem(session.selection.get(), &r, sizeof r, EditRecordNumberCompare);
    };
    bool counted = false;  // the command writes the header count itself
    std::string what;
    switch (Pick(0, files_.size() < 24 ? 5 : 4)) {
      case 0: {  // any row, the new-record row included
        const int r = Pick(0, n), copied = std::min(r, n - 1);
        what = "insert at " + std::to_string(r);
        ASSERT_EQ(EditorInsertRecord(&session, r, ui), n > 0 ? 1 : 0) << what;
        if (n > 0) recs.insert(recs.begin() + copied + 1, recs[static_cast<size_t>(copied)]);
        break;
      }
      case 1: {  // some numbers before or beyond the file
        std::set<int> chosenRecords;
        for (int k = Pick(1, 4); k > 0; --k) chosenRecords.insert(Pick(-1, n + 2));
        what = "delete " + std::to_string(chosenRecords.size()) + " from " +
               std::to_string(*chosenRecords.begin());
        for (int r : chosenRecords) select(r);
        ASSERT_EQ(EditorDeleteSelection(&session, ui), 1) << what;
        std::vector<Rec> kept;
        for (int r = 0; r < n; ++r)
          if (!chosenRecords.count(r)) kept.push_back(recs[static_cast<size_t>(r)]);
        recs = kept;
        break;
      }
      case 2: {
        if (n == 0) break;
        const int r = Pick(0, n - 1), after = Pick(0, 1), include = Pick(0, 1);
        what = std::string(after ? "truncate after " : "truncate before ") + std::to_string(r) +
               (include ? "+" : "");
        select(r);
        ASSERT_EQ(EditorTruncate(&session, after, include, ui), 1) << what;
        if (after) recs.resize(static_cast<size_t>(include ? r : r + 1));
        if (!after) recs.erase(recs.begin(), recs.begin() + (include ? r + 1 : r));
        counted = true;
        break;
      }
      case 3: {  // a new record typed cell by cell
        const int id = NextId();
        const std::string texts[] = {DateText(id), std::to_string(id), std::to_string(id), std::to_string(id),
                                     std::to_string(100 * id)};
        what = "append " + std::to_string(id);
        for (int c = 0; c < 5; ++c)
          ASSERT_EQ(CommitCellText(&session, n, c, texts[c].c_str()), CellCommit::Pending);
        ASSERT_EQ(AppendPendingRecord(&session), 1);
        recs.push_back({id, id});
        break;
      }
      case 4: {  // the date or the id of a record typed over
        if (n == 0) break;
        const int r = Pick(0, n - 1), column = Pick(0, 1), id = NextId();
        what = "type " + std::to_string(id) + " into column " + std::to_string(column) + " of " +
               std::to_string(r);
        const std::string text = column == 0 ? DateText(id) : std::to_string(id);
        ASSERT_EQ(CommitCellText(&session, r, column, text.c_str()), CellCommit::Stored) << what;
        (column == 0 ? recs[static_cast<size_t>(r)].date : recs[static_cast<size_t>(r)].id) = id;
        break;
      }
      case 5: {
        if (n == 0) break;
        const int r = Pick(0, n - 1), first = Pick(0, 1), last = Pick(0, 1), intact = Pick(0, 1);
        const int destination = Pick(0, 1);
        what = "split at " + std::to_string(r) + " " + std::to_string(first) + std::to_string(last) +
               std::to_string(intact) + " into " + std::to_string(destination);
        select(r);
        const std::vector<int> before =
            ViewMaster(TakeSnapshot(root_.Path("")), natives_[destination]).Numbers();
        ASSERT_EQ(EditorSplit(&session, dirs_[destination].c_str(), first, last, intact, ui),
                  SplitDialogResult::Split);
        std::vector<int> added = ViewMaster(TakeSnapshot(root_.Path("")), natives_[destination]).Numbers();
        added.erase(added.begin(), added.begin() + static_cast<long>(before.size()));
        ASSERT_EQ(added.size(), intact ? 2u : 1u) << what;
        files_[{destination, added[0]}] = std::vector<Rec>(recs.begin(), recs.begin() + r + first);
        const std::vector<Rec> lastPortion(recs.begin() + (last ? r : r + 1), recs.end());
        if (intact) files_[{destination, added[1]}] = lastPortion;
        recs = intact ? recs : lastPortion;
        counted = !intact;
        break;
      }
    }
    // Before the editor writes back: the records, and a count left alone unless the command wrote it.
    const Bytes now = ReadBytes(NativePath(key));
    EXPECT_EQ(RecordsOf(now), recs) << what;
    EXPECT_EQ(HeaderCountOf(now), counted ? static_cast<int>(recs.size()) + 1 : n + 1) << what;
    ASSERT_EQ(CloseEditorSession(&session), 1) << what;
    files_[key] = recs;
    Check(what);
  }

  // Every directory's master lists exactly the model's instruments with their
  // dates, each data file holds the model's records and counts them.
  void Check(const std::string& what) {
    const Snapshot now = TakeSnapshot(root_.Path(""));
    ASSERT_EQ(Leftovers(now), Texts{}) << what;
    for (int d = 0; d < 2; ++d) {
      const std::string& dir = natives_[static_cast<size_t>(d)];
      ASSERT_EQ(LostOrUnlisted(now, now, now, dir), "") << what;
      const MasterView master = ViewMaster(now, dir);
      EXPECT_EQ(master.headerCount, static_cast<int>(master.records.size())) << what;
      std::set<int> listed;
      for (const Bytes& entry : master.records) {
        const int number = entry[0];
        listed.insert(number);
        const std::vector<Rec>& recs = files_.at({d, number});
        const Bytes dat = StateOf(now, (dir.empty() ? "" : dir + "/") + DatName(number)).value();
        ASSERT_EQ(RecordsOf(dat), recs) << what << ": F" << number;
        EXPECT_EQ(dat.size(), (recs.size() + 1) * kL) << what;
        EXPECT_EQ(HeaderCountOf(dat), static_cast<int>(recs.size()) + 1) << what;
        EXPECT_EQ(WordAt(entry, 25), recs.empty() ? 0 : MbfWord(IdDate(recs.front().date))) << what;
        EXPECT_EQ(WordAt(entry, 29), recs.empty() ? 0 : MbfWord(IdDate(recs.back().date))) << what;
        Bytes fields = entry, source = IdEntry(1).Encode();
        for (Bytes* b : {&fields, &source}) std::fill(b->begin() + 25, b->begin() + 33, 0), (*b)[0] = 0;
        EXPECT_EQ(fields, source) << what << ": the entry carries the instrument's fields";
      }
      for (const auto& [key, recs] : files_) EXPECT_TRUE(key.first != d || listed.count(key.second)) << what;
    }
  }

 private:
  int Pick(int from, int to) { return std::uniform_int_distribution<int>(from, to)(random_); }
  int NextId() { return nextId_ = nextId_ % kMaxId + 1; }
  std::string NativePath(std::pair<int, int> key) const {
    return root_.Path((key.first ? "second/" : "") + DatName(key.second));
  }

  std::mt19937 random_;
  TempDir root_;
  std::vector<std::string> dirs_{root_.Dir(), root_.MakeSubdir("second")};
  std::vector<std::string> natives_{"", "second"};
  std::map<std::pair<int, int>, std::vector<Rec>> files_;
  int nextId_ = 0;
};

TEST(RecordsTest, RandomCommandSequencesDoWhatTheModelSays) {
  for (uint32_t seed : {7u, 2024u}) {
    KillPathList();
    RecordModel model(seed);
    for (int step = 0; step < 150; ++step) {
      SCOPED_TRACE("seed " + std::to_string(seed) + ", step " + std::to_string(step));
      ASSERT_NO_FATAL_FAILURE(model.Step());
    }
  }
  KillPathList();
}

// A file of 32768 data records: counts of 32767 and more are stored as 0.
TEST(RecordsTest, LargeCountsAreStoredAsZero) {
  const std::pair<std::vector<int>, int> cases[] = {
      {{1, 32765}, 0}, {{1, 32764}, 32766}, {{0, 0}, 0}, {{0, 2}, 0}, {{0, 3}, 32766}};
  for (const auto& [c, count] : cases) {
    IdInstrument instrument({});
    WriteBytes(instrument.dir.Path("F1.DAT"), Bytes(32769 * kL, 0));
    FileGuard file = OpenDat(instrument.dir.Dir(), 1, kL);
    ASSERT_EQ(
        TruncateFile(file.Get(), instrument.Name().c_str(), c[1], c[0], 0, nullptr, instrument.Record()), 1);
    file.Close();
    EXPECT_EQ(HeaderCountOf(instrument.Dat()), count) << c[0] << " " << c[1];
  }
}

TEST(RecordsTest, RefusalsLeaveTheFileAndTheSelectionAlone) {
  using Op = std::function<int(const IdInstrument&, FileHandle, List*)>;
  const std::tuple<const char*, std::vector<int>, Op> cases[] = {
      {"insert into a file without records",
       {},
       [](const IdInstrument& i, FileHandle f, List*) {
         return InsertRecord(f, i.Name().c_str(), 0, i.Record());
       }},
      {"insert at -1", Ids(1, 2),
       [](const IdInstrument& i, FileHandle f, List*) {
         return InsertRecord(f, i.Name().c_str(), -1, i.Record());
       }},
      {"truncate at -1", Ids(1, 5),
       [](const IdInstrument& i, FileHandle f, List* s) {
         return TruncateFile(f, i.Name().c_str(), -1, 1, 0, s, i.Record());
       }},
      {"truncate beyond the file", Ids(1, 5),
       [](const IdInstrument& i, FileHandle f, List* s) {
         return TruncateFile(f, i.Name().c_str(), 5, 0, 0, s, i.Record());
       }},
      {"split beyond the file", Ids(1, 4),
       [](const IdInstrument& i, FileHandle f, List*) {
         MasterRecord r = i.Record();
         return SplitFile(f, i.dir.Dir().c_str(), 1, &r, i.dir.Dir().c_str(), 4, 1, 1, 0);
       }},
      {"split without room for both portions", Ids(1, 4),
       [](const IdInstrument& i, FileHandle f, List*) {
         MasterRecord r = i.Record();
         return SplitFile(f, i.dir.Dir().c_str(), 1, &r, i.dir.Dir().c_str(), 1, 1, 0, 1);
       }},
  };
  for (const auto& [rule, ids, op] : cases) {
    IdInstrument instrument(ids);
    MasterBuilder full;  // 254 instruments: one free slot
    for (int n = 1; n <= 254; ++n) full.Add(IdEntry(n));
    WriteMaster(instrument.dir, full.LastFileNumber(254));
    const Snapshot before = TakeSnapshot(instrument.dir.Path(""));
    FileGuard file = OpenDat(instrument.dir.Dir(), 1, kL);
    Selection selection{1};
    EXPECT_EQ(op(instrument, file.Get(), selection.list), 0) << rule;
    file.Close();
    EXPECT_EQ(IdsOf(instrument.Dat()), ids) << rule;
    EXPECT_TRUE(TakeSnapshot(instrument.dir.Path("")) == before) << rule;
    EXPECT_EQ(selection.Items().size(), std::string(rule).find("truncate") == 0 ? 0u : 1u) << rule;
  }
}

TEST(RecordsTest, APartialLastRecordIsCarriedAlongAndAStaleFileReplaced) {
  IdInstrument instrument(Ids(1, 3));
  WriteDat(instrument.dir, 1, IdRecords(Ids(1, 3)).Append({1, 2, 3, 4, 5, 6, 7}));
  WriteBytes(instrument.dir.Path("F2.DAT"), Bytes(333, 0xEE));  // not listed: stale
  FileGuard file = OpenDat(instrument.dir.Dir(), 1, kL);
  ASSERT_EQ(InsertRecord(file.Get(), instrument.Name().c_str(), 0, instrument.Record()), 1);
  EXPECT_EQ(FileLength(file.Get()), 5 * kL + 7) << "the handle follows the new file";
  MasterRecord record = instrument.Record();
  ASSERT_EQ(SplitFile(file.Get(), instrument.dir.Dir().c_str(), 1, &record, instrument.dir.Dir().c_str(), 1,
                      1, 0, 0),
            1);
  EXPECT_EQ(record.FileNumber(), 2);
  file.Close();
  EXPECT_EQ(instrument.Dat().size(), 3 * kL + 7u);
  EXPECT_EQ(IdsOf(instrument.Dat()), (std::vector<int>{2, 3}));
  EXPECT_EQ(ReadBytes(instrument.dir.Path("F2.DAT")), IdRecords({1, 1}).Build());
}

// With the replacement and the clean-up failing, each temporary file is left
// where it was made: beside the file it was to replace.
TEST(RecordsTest, TemporaryFilesAreMadeBesideTheFileTheyReplace) {
  FaultScope faults;
  using Op = std::function<int(const IdInstrument&, FileHandle, const std::string&)>;
  const std::pair<Op, std::vector<int>> cases[] = {
      {[](const IdInstrument& i, FileHandle f, const std::string&) {
         return InsertRecord(f, i.Name().c_str(), 1, i.Record());
       },
       {1, 0}},
      {[](const IdInstrument& i, FileHandle f, const std::string&) {
         Selection selection{1};
         return DeleteSelectedDATRecords(f, i.Name().c_str(), selection.list, i.Record());
       },
       {1, 0}},
      {[](const IdInstrument& i, FileHandle f, const std::string&) {
         return TruncateFile(f, i.Name().c_str(), 1, 0, 0, nullptr, i.Record());
       },
       {1, 0}},
      {[](const IdInstrument& i, FileHandle f, const std::string& dest) {
         MasterRecord r = i.Record();
         return SplitFile(f, i.dir.Dir().c_str(), 1, &r, dest.c_str(), 1, 1, 0, 0);
       },
       {1, 1}},
  };
  for (const auto& [op, left] : cases) {
    IdInstrument instrument(Ids(1, 4));
    const std::string dest = instrument.dir.MakeSubdir("dest");
    FileGuard file = OpenDat(instrument.dir.Dir(), 1, kL);
    platform::ResetFaults();
    platform::FailNthCall(platform::Call::Rename, 1);
    for (int n = 1; n <= 2; ++n) platform::FailNthCall(platform::Call::Delete, n);
    EXPECT_EQ(op(instrument, file.Get(), dest), 0);
    platform::ResetFaults();
    file.Close();
    EXPECT_EQ(Leftovers(TakeSnapshot(instrument.dir.Path(""))).size(), left[0] + left[1]);
    EXPECT_EQ(Leftovers(TakeSnapshot(instrument.dir.Path("dest"))).size(), static_cast<size_t>(left[1]));
  }
}

TEST(EditorTest, OpeningRefusesWithTheEditorsMessagesAndKeepsNothingOpen) {
  const std::pair<std::function<void(const TempDir&)>, int> cases[] = {
      {[](const TempDir& d) { std::filesystem::remove(d.Path("F1.DAT")); }, 2},
      {[](const TempDir& d) { WriteMaster(d, MasterBuilder().Add(IdEntry(2))); }, 2},
      {[](const TempDir& d) {
         WriteMaster(d, MasterBuilder().Add({.fileNumber = 1, .fieldCount = 5, .period = 'I'}));
       },
       9},
      {[](const TempDir& d) {
         WriteDat(d, 1, IdRecords({1, 2}).Append({1, 2, 3}));
       },
       9},
  };
  for (const auto& [damage, message] : cases) {
    IdInstrument instrument(Ids(1, 2));
    damage(instrument.dir);
    ScriptedInteraction ui;
    EditorSession session;
    EXPECT_EQ(OpenEditorSession(&session, instrument.dir.Dir().c_str(), 1, ui), 0) << message;
    EXPECT_EQ(ui.notices, Texts{GetError(message)});
    EXPECT_EQ(IsFileOpen(instrument.Name().c_str()), 0);
  }
}

TEST(EditorTest, CellsTakeWhatCanBeTypedAndStoreOnlyValidTexts) {
  using F = FieldType;
  using T = TypedChar;
  const std::tuple<F, const char*, char, T> typing[] = {
      {F::Date, "1/2/3", '/', T::Accepted},  {F::Date, "1/2/3/", '/', T::Refused},
      {F::Date, "1", ':', T::Refused},       {F::Date, "1", '.', T::Refused},
      {F::Time, "1:2:3", ':', T::Accepted},  {F::Time, "1:2:3:", ':', T::Refused},
      {F::Time, "1", '/', T::Refused},       {F::Time, "1", '.', T::Refused},
      {F::Close, "1.2", '.', T::Accepted},   {F::Close, "1.2.", '.', T::Refused},
      {F::Volume, "12", '/', T::Accepted},   {F::Volume, "12", '-', T::Refused},
      {F::Volume, "12", 'e', T::Refused},    {F::Volume, "12345678", '9', T::Ignored},
      {F::Date, "12/12/12", '/', T::Ignored}};
  for (const auto& [type, text, ch, expected] : typing)
    EXPECT_EQ(ClassifyTypedChar(type, text, ch), expected)
        << EnumerateFieldType(type) << " \"" << text << "\" + " << ch;

  const std::tuple<int, int, const char*, CellCommit, float> commits[] = {
      {1, 0, "04/01/10", CellCommit::Stored, 1100104},
      {1, 0, "4/1/10", CellCommit::Stored, 1100104},
      {1, 0, "31/12/99", CellCommit::Stored, 991231},
      {1, 0, "29/2/96", CellCommit::Stored, 960229},
      {1, 0, "31/02/10", CellCommit::InvalidDate, 0},
      {1, 0, "1/2/3/4", CellCommit::InvalidDate, 0},
      {1, 0, "", CellCommit::InvalidDate, 0},
      {1, 0, "1/2/3/4/5", CellCommit::NotTypable, 0},
      {1, 1, "12.5", CellCommit::Stored, 12.5f},
      {1, 1, "1.2.3", CellCommit::Stored, 1.2f},
      {1, 4, "", CellCommit::Stored, 0},
      {1, 4, "-5", CellCommit::NotTypable, 0},
      {1, 4, "123456789", CellCommit::NotTypable, 0},
      {1, 5, "1", CellCommit::NoSuchCell, 0},
      {1, -1, "1", CellCommit::NoSuchCell, 0},
      {4, 1, "1", CellCommit::NoSuchCell, 0},
      {-1, 1, "1", CellCommit::NoSuchCell, 0},
      {3, 1, "7", CellCommit::Pending, 0}};
  for (const auto& [record, column, text, result, value] : commits) {
    IdInstrument instrument(Ids(1, 3));
    Bytes expected = instrument.Dat();
    if (result == CellCommit::Stored)
      PutU32(expected, static_cast<size_t>((record + 1) * kL + 4 * column), MbfWord(value));
    ScriptedInteraction ui;
    EditorSession session;
    ASSERT_EQ(OpenEditorSession(&session, instrument.dir.Dir().c_str(), 1, ui), 1);
    EXPECT_EQ(CommitCellText(&session, record, column, text), result) << text;
    session.file.Close();
    EXPECT_EQ(instrument.Dat(), expected) << text;
  }

  TempDir dir;
  WriteMaster(dir, MasterBuilder().Add({.fileNumber = 1, .fieldCount = 4, .period = 'I'}));
  WriteDat(dir, 1, DatBuilder::ForFields(4).Values({1100104, 93000, 10, 100}));
  ScriptedInteraction ui;
  EditorSession session;
  ASSERT_EQ(OpenEditorSession(&session, dir.Dir().c_str(), 1, ui), 1);
  EXPECT_EQ(CommitCellText(&session, 0, 1, "25:00:00"), CellCommit::InvalidTime);
  EXPECT_EQ(CommitCellText(&session, 0, 1, "1:2:3:4:5"), CellCommit::NotTypable);
  EXPECT_EQ(CommitCellText(&session, 0, 1, "16:45:30"), CellCommit::Stored);
  EXPECT_EQ(ReadField(session.file.Get(), 1, 1, 16), 164530.0f);
}

TEST(EditorTest, OnlyACompleteNewRowIsAppendedAndAPartOfOneIsLostOnClose) {
  IdInstrument instrument(Ids(1, 2));
  const Bytes before = instrument.Dat();
  ScriptedInteraction ui;
  EditorSession session;
  ASSERT_EQ(OpenEditorSession(&session, instrument.dir.Dir().c_str(), 1, ui), 1);
  for (int c = 0; c < 4; ++c) {
    ASSERT_EQ(CommitCellText(&session, 2, c, c == 0 ? "05/03/10" : "7"), CellCommit::Pending);
    EXPECT_EQ(AppendPendingRecord(&session), 0) << "incomplete after column " << c;
  }
  EXPECT_EQ(CloseEditorSession(&session), 1);
  EXPECT_EQ(instrument.Dat(), before);
}

// The editor's record commands with the dialogs' answers, on F1.
TEST(EditorTest, RecordCommandsSayWhatWentWrong) {
  using Command = std::function<int(EditorSession&, UserInteraction&, const TempDir&)>;
  auto split = [](const std::string& to, int intact = 0) -> Command {
    return [to, intact](EditorSession& s, UserInteraction& ui, const TempDir& d) {
      return static_cast<int>(EditorSplit(&s, (to == "none" ? "" : d.Dir() + to).c_str(), 1, 0, intact, ui));
    };
  };
  auto withMaster = [](const std::string& sub, int instruments, const Command& then) -> Command {
    return [=](EditorSession& s, UserInteraction& ui, const TempDir& d) {
      MasterBuilder master;
      for (int n = 1; n <= instruments; ++n) master.Add(IdEntry(n));
      if (!sub.empty()) d.MakeSubdir(sub);
      WriteBytes(d.Path(sub.empty() ? "master" : sub + "/master"),
                 master.LastFileNumber(static_cast<uint16_t>(instruments)).Build());
      return then(s, ui, d);
    };
  };
  const Command insert = [](EditorSession& s, UserInteraction& ui, const TempDir&) {
    return EditorInsertRecord(&s, 1, ui);
  };
  const Command erase = [](EditorSession& s, UserInteraction& ui, const TempDir&) {
    return EditorDeleteSelection(&s, ui);
  };
  const Command truncate = [](EditorSession& s, UserInteraction& ui, const TempDir&) {
    return EditorTruncate(&s, 1, 0, ui);
  };
  const std::string kDelete = "Are you sure you want to delete the selection ?", kMake = GetError(20);
  const platform::Call none = platform::Call::List;
  struct Case {
    const char* rule;
    std::vector<int32_t> selected;
    Command command;
    int answer;  // to the one question asked
    Texts questions;
    platform::Call fault;
    int result;
    Texts notices;
    std::vector<int> ids;  // F1's records afterwards
    int selectedAfter;
    const char* remembered = nullptr;  // the destination added to the path history
    std::vector<int> start = {1, 2, 3, 4};
  };
  const Case cases[] = {
      {"insert", {2}, insert, 0, {}, none, 1, {}, {1, 2, 2, 3, 4}, 0},
      {"insert into no records", {}, insert, 0, {}, none, 0, {"Unable to insert record"}, {}, 0, nullptr, {}},
      {"delete without a selection", {}, erase, 0, {}, none, 0, {GetError(8)}, {1, 2, 3, 4}, 0},
      {"delete answered No", {1, 3}, erase, 0, {kDelete}, none, 0, {}, {1, 2, 3, 4}, 2},
      {"delete answered Yes", {1, 3}, erase, 1, {kDelete}, none, 1, {}, {1, 3}, 0},
      {"delete that fails",
       {0},
       erase,
       1,
       {kDelete},
       platform::Call::Rename,
       0,
       {"Errors occured during deletion!"},
       {1, 2, 3, 4},
       1},
      {"truncate without a selection", {}, truncate, 0, {}, none, 0, {GetError(8)}, {1, 2, 3, 4}, 0},
      {"truncate with two selected", {0, 2}, truncate, 0, {}, none, 0, {GetError(10)}, {1, 2, 3, 4}, 2},
      {"truncate after the selected record", {2}, truncate, 0, {}, none, 1, {}, {1, 2, 3}, 0},
      {"truncate that fails",
       {2},
       truncate,
       0,
       {},
       platform::Call::Truncate,
       0,
       {"Errors occured during truncation, file may be left in an inconsistent state!"},
       {1, 2, 3, 4},
       0},
      {"split with two selected", {0, 2}, split("x"), 0, {}, none, 0, {GetError(10)}, {1, 2, 3, 4}, 2},
      {"split to no destination", {1}, split("none"), 0, {}, none, 0, {GetError(3)}, {1, 2, 3, 4}, 1},
      {"split to a new directory, No", {1}, split("new"), 0, {kMake}, none, 0, {}, {1, 2, 3, 4}, 1},
      {"split to a new directory, Yes", {1}, split("new"), 1, {kMake}, none, 1, {}, {3, 4}, 0, "new\\"},
      {"split to a directory that cannot be made",
       {1},
       split("new"),
       1,
       {kMake},
       platform::Call::CreateDirectory,
       0,
       {GetError(19)},
       {1, 2, 3, 4},
       1},
      {"split to a full directory",
       {1},
       withMaster("full", 255, split("full")),
       0,
       {},
       none,
       0,
       {GetError(14)},
       {1, 2, 3, 4},
       1,
       "full\\"},
      {"split leaving the source, one free slot",
       {1},
       withMaster("almost", 254, split("almost", 1)),
       0,
       {},
       none,
       2,
       {"Errors occured during split, Files may be left in an inconsistent state!"},
       {1, 2, 3, 4},
       0,
       "almost\\"},
      {"split into the directory itself",
       {1},
       withMaster("", 1, split("")),
       0,
       {},
       none,
       1,
       {},
       {3, 4},
       0,
       ""},
  };
  for (const Case& c : cases) {
    KillPathList();
    IdInstrument instrument(c.start);
    ScriptedInteraction ui{c.answer == 1};
    EditorSession session;
    ASSERT_EQ(OpenEditorSession(&session, instrument.dir.Dir().c_str(), 1, ui), 1);
    for (int32_t r : c.selected) AddNewItem(session.selection.get(), &r, sizeof r, EditRecordNumberCompare);
    {
      FaultScope faults;
      if (c.fault != none) platform::FailNthCall(c.fault, 1);
      EXPECT_EQ(c.command(session, ui, instrument.dir), c.result) << c.rule;
    }
    EXPECT_EQ(ui.notices, c.notices) << c.rule;
    EXPECT_EQ(ui.questions, c.questions) << c.rule;
    EXPECT_EQ(DataRecordCount(session), static_cast<int32_t>(c.ids.size())) << c.rule;
    EXPECT_EQ(CountListItems(session.selection.get()), c.selectedAfter) << c.rule;
    EXPECT_EQ(session.masterRecord.FileNumber(), 1) << c.rule;
    EXPECT_EQ(PathList ? PathList->path : "none", c.remembered ? instrument.dir.Dir() + c.remembered : "none")
        << c.rule;
    ASSERT_EQ(CloseEditorSession(&session), 1);
    EXPECT_EQ(IdsOf(instrument.Dat()), c.ids) << c.rule;
  }
  KillPathList();
}

}  // namespace
}  // namespace store_test
