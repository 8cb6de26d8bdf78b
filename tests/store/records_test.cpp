// The record commands (insert, delete the selection, truncate both ways,
// split, a typed cell, an appended record) as the editor gives them, against
// a model of what each does to the ids of the records; then the refusals and
// messages the model does not state.
#include <cstring>
#include <functional>
#include <random>
#include <set>
#include <tuple>

#include "primitives/dates.h"
#include "primitives/path_list.h"
#include "store/editor_session.h"
#include "store/messages.h"
#include "store/record_ops.h"
#include "store_fixture.h"

namespace store_test {
namespace {

// A record of the model: the id its date was made from, and the id in its prices.
using Rec = std::pair<int, int>;

std::vector<Rec> RecordsOf(const Bytes& dat) {
  const std::vector<int> dates = IdsOf(dat, 0), ids = IdsOf(dat);
  std::vector<Rec> records;
  for (size_t r = 0; r < ids.size(); ++r) records.emplace_back(dates[r], ids[r]);
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
    const int n = static_cast<int>(recs.size()), command = Pick(0, files_.size() < 24 ? 5 : 4);
    // A row (for insert the new-record row too), flags, a destination, a new id.
    const int r = Pick(0, command == 0 ? n : std::max(n - 1, 0)), a = Pick(0, 1), b = Pick(0, 1);
    const int c = Pick(0, 1), d = Pick(0, 1), id = NextId();
    const std::string date = StrDate(IdDate(id));
    const std::string what = "command " + std::to_string(command) + " at " + std::to_string(r);
    if (n == 0 && command != 0 && command != 3) return;
    ScriptedInteraction ui({true});
    EditorSession session;
    ASSERT_EQ(OpenEditorSession(&session, dirs_[key.first].c_str(), key.second, ui), 1);
    bool counted = false;  // the command writes the header count itself
    switch (command) {
      case 0:
        ASSERT_EQ(EditorInsertRecord(&session, r, ui), n > 0 ? 1 : 0) << what;
        if (n > 0) recs.insert(recs.begin() + std::min(r, n - 1) + 1, recs[size_t(std::min(r, n - 1))]);
        counted = n > 0;
        break;
      case 1: {  // some numbers before or beyond the file
        std::set<int> rows;
        for (int k = Pick(1, 4); k > 0; --k) rows.insert(Pick(-1, n + 2));
        Select(session.selection.get(), {rows.begin(), rows.end()});
        ASSERT_EQ(EditorDeleteSelection(&session, ui), 1) << what;
        for (auto row = rows.rbegin(); row != rows.rend(); ++row)
          if (*row >= 0 && *row < n) recs.erase(recs.begin() + *row);
        counted = true;
        break;
      }
      case 2:  // after (a), including the row (b)
        Select(session.selection.get(), {r});
        ASSERT_EQ(EditorTruncate(&session, a, b, ui), 1) << what;
        if (a) recs.resize(size_t(b ? r : r + 1));
        if (!a) recs.erase(recs.begin(), recs.begin() + (b ? r + 1 : r));
        counted = true;
        break;
      case 3:  // a new record typed cell by cell
        for (int column = 0; column < 5; ++column) {
          const std::string text = column == 0 ? date : std::to_string(column == 4 ? 100 * id : id);
          ASSERT_EQ(CommitCellText(&session, n, column, text.c_str()), CellCommit::Pending);
        }
        ASSERT_EQ(AppendPendingRecord(&session), 1);
        recs.push_back({id, id});
        break;
      case 4:  // the date (a = 0) or the id of a record typed over
        ASSERT_EQ(CommitCellText(&session, r, a, (a ? std::to_string(id) : date).c_str()), CellCommit::Stored)
            << what;
        (a ? recs[size_t(r)].second : recs[size_t(r)].first) = id;
        break;
      case 5: {  // the first portion with the row (a), the last with it (b), leaving F intact (c), into d
        Select(session.selection.get(), {r});
        const size_t listed = ViewMaster(TakeSnapshot(root_.Path("")), natives_[d]).records.size();
        ASSERT_EQ(EditorSplit(&session, dirs_[d].c_str(), a, b, c, ui), SplitDialogResult::Split) << what;
        const std::vector<int> numbers = ViewMaster(TakeSnapshot(root_.Path("")), natives_[d]).Numbers();
        ASSERT_EQ(numbers.size(), listed + (c ? 2 : 1)) << what;
        files_[{d, numbers[listed]}] = std::vector<Rec>(recs.begin(), recs.begin() + r + a);
        const std::vector<Rec> lastPortion(recs.begin() + (b ? r : r + 1), recs.end());
        if (c) files_[{d, numbers[listed + 1]}] = lastPortion;
        recs = c ? recs : lastPortion;
        counted = !c;
        break;
      }
    }
    // Before the editor writes back: the records, and a count left alone unless the command wrote it.
    const Bytes now = ReadBytes(NativePath(key));
    EXPECT_EQ(RecordsOf(now), recs) << what;
    EXPECT_EQ(GetU16(now, 2), counted ? static_cast<int>(recs.size()) + 1 : n + 1) << what;
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
        EXPECT_EQ(GetU16(dat, 2), static_cast<int>(recs.size()) + 1) << what;
        EXPECT_EQ(GetU32(entry, 25), recs.empty() ? 0 : MbfWord(IdDate(recs.front().first))) << what;
        EXPECT_EQ(GetU32(entry, 29), recs.empty() ? 0 : MbfWord(IdDate(recs.back().first))) << what;
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

// What the editor makes of a typed cell text (the characters each column takes
// are tested with the editor).
TEST(EditorTest, CellsStoreOnlyValidTexts) {
  using C = CellCommit;
  // Times go into a 4-field intraday file, the rest into a 5-field daily one.
  using Commit = std::tuple<int, int, const char*, C, float>;  // record, column, text -> result, value
  const Commit commits[] = {{1, 0, "1/2/3/4/5", C::NotTypable, 0},
                            {1, 4, "", C::Stored, 0},
                            {1, 5, "1", C::NoSuchCell, 0},
                            {1, -1, "1", C::NoSuchCell, 0},
                            {4, 1, "1", C::NoSuchCell, 0},
                            {-1, 1, "1", C::NoSuchCell, 0},
                            {3, 1, "7", C::Pending, 0},
                            {0, 1, "25:00:00", C::InvalidTime, 0},
                            {0, 1, "1:2:3:4:5", C::NotTypable, 0},
                            {0, 1, "16:45:30", C::Stored, 164530}};
  for (const auto& [record, column, text, result, value] : commits) {
    const bool timed = std::strchr(text, ':') != nullptr;
    IdInstrument instrument(Ids(1, 3));
    if (timed) {
      WriteMaster(instrument.dir, MasterBuilder().Add({.fieldCount = 4, .period = 'I'}));
      WriteDat(instrument.dir, 1, DatBuilder::ForFields(4).Values({1100104, 93000, 10, 100}));
    }
    Bytes expected = instrument.Dat();
    if (result == C::Stored)
      PutU32(expected, size_t((record + 1) * (timed ? 16 : kL) + 4 * column), MbfWord(value));
    ScriptedInteraction ui;
    EditorSession session;
    ASSERT_EQ(OpenEditorSession(&session, instrument.dir.Dir().c_str(), 1, ui), 1);
    EXPECT_EQ(CommitCellText(&session, record, column, text), result) << text;
    EXPECT_TRUE(result != C::Pending || AppendPendingRecord(&session) == 0) << "a part of a new row";
    ASSERT_EQ(CloseEditorSession(&session), 1) << "and closing drops it";
    EXPECT_EQ(instrument.Dat(), expected) << text;
  }
}

// The editor's record commands with the dialogs' answers, on F1.
TEST(EditorTest, RecordCommandsSayWhatWentWrong) {
  using Command = std::function<int(EditorSession&, UserInteraction&, const TempDir&)>;
  using C = platform::Call;
  auto split = [](const std::string& to, int intact = 0, int instruments = -1) -> Command {
    return [=](EditorSession& s, UserInteraction& ui, const TempDir& d) {
      if (instruments > 0)  // the destination's master, when given
        d.MakeSubdir(to), WriteBytes(d.Path(to + "/master"),
                                     Numbered(Ids(1, instruments), instruments, instruments).Build());
      return static_cast<int>(EditorSplit(&s, (to == "none" ? "" : d.Dir() + to).c_str(), 1, 0, intact, ui));
    };
  };
  const Command insert = [](auto& s, auto& ui, auto&) { return EditorInsertRecord(&s, 1, ui); };
  const Command erase = [](auto& s, auto& ui, auto&) { return EditorDeleteSelection(&s, ui); };
  const Command truncate = [](auto& s, auto& ui, auto&) { return EditorTruncate(&s, 1, 0, ui); };
  const std::string kDelete = "Are you sure you want to delete the selection ?",
                    kMake = GetError(kCreateDirectoryQuestion),
                    kUnmade = GetError(kCannotCreateDirectoryMessage),
                    kFull = GetError(kDirectoryFullMessage), kNone = GetError(kSelectAtLeastOneRecordMessage),
                    kTwo = GetError(kSelectOnlyOneRecordMessage), kNoPath = GetError(kInvalidPathMessage);
  const std::string kCut = "Errors occured during truncation, file may be left in an inconsistent state!";
  const std::string kSplit = "Errors occured during split, Files may be left in an inconsistent state!";
  struct Case {
    const char* rule;
    std::vector<int32_t> selected;
    Command command;
    int answer;  // to the one question asked
    Texts questions;
    C fault;  // List: none
    int result;
    Texts notices;
    std::vector<int> ids;  // F1's records afterwards
    int selectedAfter;
    const char* remembered = nullptr;  // the destination added to the path history
    std::vector<int> start = {1, 2, 3, 4};
  };
  const std::vector<int> all = {1, 2, 3, 4};
  const Case cases[] = {
      {"insert into no records", {}, insert, 0, {}, C::List, 0, {"Unable to insert record"}, {}, 0, 0, {}},
      {"delete without a selection", {}, erase, 0, {}, C::List, 0, {kNone}, all, 0},
      {"delete answered No", {1, 3}, erase, 0, {kDelete}, C::List, 0, {}, all, 2},
      {"delete fails", {0}, erase, 1, {kDelete}, C::Rename, 0, {"Errors occured during deletion!"}, all, 1},
      {"truncate without a selection", {}, truncate, 0, {}, C::List, 0, {kNone}, all, 0},
      {"truncate with two selected", {0, 2}, truncate, 0, {}, C::List, 0, {kTwo}, all, 2},
      {"truncate fails", {2}, truncate, 0, {}, C::Truncate, 0, {kCut}, all, 0},
      {"split with two selected", {0, 2}, split("x"), 0, {}, C::List, 0, {kTwo}, all, 2},
      {"split to no destination", {1}, split("none"), 0, {}, C::List, 0, {kNoPath}, all, 1},
      {"split to a new directory, No", {1}, split("new"), 0, {kMake}, C::List, 0, {}, all, 1},
      {"split to a new directory", {1}, split("new"), 1, {kMake}, C::List, 1, {}, {3, 4}, 0, "new\\"},
      {"split to an unmade one", {1}, split("new"), 1, {kMake}, C::CreateDirectory, 0, {kUnmade}, all, 1},
      {"split to a full directory", {1}, split("full", 0, 255), 0, {}, C::List, 0, {kFull}, all, 1, "full\\"},
      {"split intact, one slot", {1}, split("one", 1, 254), 0, {}, C::List, 2, {kSplit}, all, 0, "one\\"},
  };
  for (const Case& c : cases) {
    KillPathList();
    IdInstrument instrument(c.start);
    ScriptedInteraction ui{c.answer == 1};
    EditorSession session;
    ASSERT_EQ(OpenEditorSession(&session, instrument.dir.Dir().c_str(), 1, ui), 1);
    Select(session.selection.get(), c.selected);
    {
      FaultScope faults;
      if (c.fault != C::List) platform::FailNthCall(c.fault, 1);
      EXPECT_EQ(c.command(session, ui, instrument.dir), c.result) << c.rule;
    }
    EXPECT_EQ(std::pair(ui.notices, ui.questions), std::pair(c.notices, c.questions)) << c.rule;
    EXPECT_EQ(std::tuple(DataRecordCount(session), CountListItems(session.selection.get()),
                         session.masterRecord.FileNumber()),
              std::tuple(int32_t(c.ids.size()), c.selectedAfter, 1))
        << c.rule;
    EXPECT_EQ(PathList ? PathList->path : "none", c.remembered ? instrument.dir.Dir() + c.remembered : "none")
        << c.rule;
    ASSERT_EQ(CloseEditorSession(&session), 1);
    EXPECT_EQ(IdsOf(instrument.Dat()), c.ids) << c.rule;
  }
  KillPathList();
}

}  // namespace
}  // namespace store_test
