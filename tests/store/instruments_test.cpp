// Whole instruments (an entry of master with its .DAT, .DOP and .CHT files)
// created, copied, moved and deleted, and what the dialogs that do so decide.
#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <ranges>
#include <utility>

#include "primitives/path_list.h"
#include "store/editor_session.h"
#include "store/emaster_follower.h"
#include "store/instrument_dialogs.h"
#include "store/instrument_ops.h"
#include "store/master_file.h"
#include "store/messages.h"
#include "store/record_ops.h"
#include "store/temporary_files.h"
#include "store_fixture.h"

namespace store_test {
namespace {

MasterRecord NewRecord() {
  return MasterEntry{.fileNumber = 0, .fieldCount = 6, .name = "NEW", .symbol = "NW"}.Record();
}

class InstrumentsTest : public ::testing::Test {
 protected:
  void SetUp() override { KillPathList(); }
  void TearDown() override { KillPathList(); }
  // A subdirectory's core text, and the snapshot of everything.
  std::string In(const std::string& sub) const { return dir_.Dir() + sub + "\\"; }
  Snapshot Now() const { return TakeSnapshot(dir_.Path("")); }
  TempDir dir_;
};

// (numbers listed, last number handed out) -> the new number, or none (-1) for
// a directory without room: a copy or a move into it fails as well.
TEST_F(InstrumentsTest, NewInstrumentsCountOnFromTheLastNumberThenFillGaps) {
  const std::tuple<std::vector<int>, int, int> cases[] = {
      {{1, 2, 3}, 3, 4},      {{254}, 254, 255},
      {{1, 2, 4, 5}, 255, 3}, {{1, 2, 3}, 255, 4},
      {{}, 255, 1},           {{0, 1, 1, 3}, 255, 2},
      {{1, 2}, 300, 3},       {Ids(1, 254), 255, 255},
      {Ids(1, 255), 255, -1}, {std::vector<int>(300, 1), 255, -1}};
  for (const auto& [numbers, last, expected] : cases) {
    const std::string what = std::to_string(numbers.size()) + " listed, last " + std::to_string(last);
    for (int count : {std::min(int(numbers.size()), 200), 255}) {  // a header count of 255 leaves no room
      TempDir dir;
      WriteMaster(dir, Numbered(numbers, count, last));
      WriteSoundDirectory(dir.Path("src"), {7});
      const Snapshot before = TakeSnapshot(dir.Path(""));
      MasterRecord record = NewRecord(), seven = IdEntry(7).Record();
      const int number = count == 255 ? -1 : expected;
      EXPECT_EQ(CreateInstrument(dir.Dir().c_str(), &record, 0), number) << what;
      if (number < 0) {
        EXPECT_EQ(CopyInstrument(dir.Dir().c_str(), (dir.Dir() + "src\\").c_str(), &seven), 0) << what;
        EXPECT_EQ(MoveInstrument(dir.Dir().c_str(), (dir.Dir() + "src\\").c_str(), &seven), 0) << what;
        EXPECT_EQ(record.FileNumber() + seven.FileNumber(), 7) << what;
        EXPECT_TRUE(TakeSnapshot(dir.Path("")) == before) << what;
        continue;
      }
      const MasterView master = ViewMaster(TakeSnapshot(dir.Path("")));
      EXPECT_EQ(master.headerCount, count + 1) << what;
      EXPECT_EQ(master.lastFileNumber, last < 255 ? last + 1 : last) << what;
      EXPECT_EQ(master.records.back(), Bytes(record.raw, record.raw + 53)) << what;
      EXPECT_EQ(record.FileNumber(), expected) << what;
      EXPECT_EQ(TakeSnapshot(dir.Path("")).size(), before.size()) << what << ": no files without createFiles";
    }
  }
  WriteMaster(dir_, MasterBuilder().Resize(20));
  MasterRecord record = NewRecord();
  EXPECT_EQ(CreateInstrument(dir_.Dir().c_str(), &record, 1), -1) << "no whole header";
  EXPECT_EQ(ReadBytes(dir_.Path("master")).size(), 20u);
  WriteMaster(dir_, Numbered({1}, 1, 1).Resize(2 * 53 + 20));  // a partial last record is overwritten
  EXPECT_EQ(CreateInstrument(dir_.Dir().c_str(), &record, 0), 2);
  EXPECT_EQ(ViewMaster(Now()).Numbers(), (std::vector<int>{1, 2}));
}

// Create, copy and move pass over numbers XMASTER names or MWD files or unlisted data files have, leaving
// those files untouched:
// (master numbers, last number, XMASTER numbers, files) -> the new number and the header's last number.
TEST_F(InstrumentsTest, NewNumbersPassOverThoseOtherFilesUse) {
  using X = std::vector<IndexEntry>;
  const std::tuple<std::vector<int>, int, X, std::vector<std::string>, int, int> cases[] = {
      {{1, 2}, 2, X{{.fileNumber = 3}, {.fileNumber = 256}}, {"F3.MWD", "F256.MWD"}, 4, 4},
      {{1, 2}, 2, {}, {"f3.mwd", "F4.Mwd", "F05.MWD", "F6.MWD.BAK"}, 5, 5},
      {{1, 2}, 2, {}, {"F3.DAT", "f4.dat", "F5.DAT.BAK"}, 5, 5},
      {{1, 2, 5}, 255, X{{.fileNumber = 3}}, {}, 4, 255},
      {{1, 2}, 253, {}, {"F254.MWD", "F255.MWD"}, 3, 255},
      {{}, -1, {}, {"F1.MWD"}, 2, 2},  // no master yet
      {{1, 2}, 2, {}, {}, 3, 3}};
  for (const auto& [numbers, last, xmaster, mwds, expected, expectedLast] : cases) {
    for (int op = 0; op < 3; ++op) {  // create, copy, move
      TempDir dir;
      if (last >= 0) WriteMaster(dir, Numbered(numbers, int(numbers.size()), last));
      if (!xmaster.empty()) WriteBytes(dir.Path("XMASTER"), XmasterFile(xmaster));
      for (const std::string& mwd : mwds) WriteBytes(dir.Path(mwd), {1, 2, 3});
      WriteSoundDirectory(dir.Path("src"), {7});
      const Snapshot before = TakeSnapshot(dir.Path(""));
      MasterRecord record = op == 0 ? NewRecord() : IdEntry(7).Record();
      const std::string to = dir.Dir(), from = to + "src\\";
      EXPECT_TRUE(op == 0   ? CreateInstrument(to.c_str(), &record, 1) == expected
                  : op == 1 ? CopyInstrument(to.c_str(), from.c_str(), &record)
                            : MoveInstrument(to.c_str(), from.c_str(), &record))
          << expected << op;
      const Snapshot now = TakeSnapshot(dir.Path(""));
      const MasterView master = ViewMaster(now);
      EXPECT_EQ(std::pair(master.Listed(expected), master.lastFileNumber), std::pair(1, expectedLast)) << op;
      EXPECT_TRUE(StateOf(now, DatName(expected))) << expected << op;
      for (const auto& [name, bytes] : before)  // XMASTER and the MWD files as they were
        EXPECT_TRUE(name.find('/') != name.npos || name == "master" || StateOf(now, name) == bytes) << name;
    }
  }
}

// Data files no master lists are listed under their own numbers, laid out as their contents say (an empty one
// by its length) and named as EMASTER names them, if it does. A second pass finds none.
TEST_F(InstrumentsTest, UnlistedDataFilesAreListedUnderTheirOwnNumbers) {
  WriteSoundDirectory(dir_.Path(""), {1, 2, 9});
  const Bytes emaster = EmasterOf(ReadBytes(dir_.Path("master")));
  ASSERT_EQ(DeleteInstrument(dir_.Dir().c_str(), IdEntry(9).Record(), 0), 1);
  WriteBytes(dir_.Path("EMASTER"), emaster);  // still naming F9, as a delete stopped before EMASTER followed
  WriteDat(dir_, 9, Series::Intraday(2, 20).Dat(8, 'I'));
  WriteDat(dir_, 4, DatBuilder::ForFields(5));
  EXPECT_EQ(ListUnlistedDataFiles(dir_.Dir().c_str()), (std::vector<std::string>{"F4.DAT", "F9.DAT"}));
  const MasterView master = ViewMaster(Now());
  EXPECT_EQ(std::tuple(master.Numbers(), master.headerCount, master.lastFileNumber),
            std::tuple(std::vector<int>{1, 2, 4, 9}, 4, 9));
  for (const auto& [at, symbol, name, period, fields] : {std::tuple(2, "F4", "RECOVERED F4", 'D', 5),
                                                          std::tuple(3, "S9", "INSTR9", 'I', 8)}) {
    MasterRecord record;
    std::ranges::copy(master.records[at], record.raw);
    EXPECT_EQ(std::tuple(record.Symbol(), record.Name(), record.Period(), int(record.FieldCount()),
                         int(record.RecordLength())),
              std::tuple(std::string(symbol), std::string(name), period, fields, 4 * fields));
  }
  EXPECT_TRUE(ListUnlistedDataFiles(dir_.Dir().c_str()).empty());
}

// The fault sweep checks that EMASTER follows every operation; here: a long name stays with its record and
// goes with a copy, a move or a split when it begins with master's name (src's third names another
// instrument), a directory without EMASTER gets none, and an EMASTER that disagrees (a symbol) is left as it
// was until the master repair brings it in step.
TEST_F(InstrumentsTest, EmasterIsFollowedOnlyWhereItAgreedAndKeepsLongNames) {
  const auto named = [](const std::string& master, const std::vector<std::pair<int, std::string>>& names) {
    Bytes emaster = EmasterOf(ReadBytes(master));
    for (const auto& [record, name] : names) std::ranges::copy(name, emaster.begin() + 192 * record + 139);
    return emaster;
  };
  const std::string kOne = "INSTR1 ONE", kSeven = "INSTR7 SEVEN", kEight = "INSTR8 EIGHT",
                    kNot = "NOT INSTR9";
  for (const char kind : {'a', 'n', 'd'}) {  // agreeing, none, disagreeing
    TempDir dir;
    WriteSoundDirectory(dir.Path(""), {1, 2});
    WriteSoundDirectory(dir.Path("src"), {7, 8, 9});
    WriteBytes(dir.Path("src/EMASTER"), named(dir.Path("src/master"), {{1, kSeven}, {2, kEight}, {3, kNot}}));
    Bytes emaster = named(dir.Path("master"), {{1, kOne}});
    emaster[192 * 2 + 11] += kind == 'd';
    if (kind != 'n') WriteBytes(dir.Path("EMASTER"), emaster);
    const std::string to = dir.Dir(), from = to + "src\\";
    MasterRecord created = NewRecord(), one = IdEntry(1).Record();
    ASSERT_EQ(GetMetaStockMasterRecord(to.c_str(), 1, &one), 1);
    one.SetSymbol("NEWSYM");
    EXPECT_EQ(CreateInstrument(to.c_str(), &created, 0), 3);
    EXPECT_EQ(UpdateMetaStockMasterRecord(to.c_str(), 1, one), 1);
    for (MasterRecord copied : {IdEntry(7).Record(), IdEntry(8).Record(), IdEntry(9).Record()})  // F8 moved
      EXPECT_EQ(
          (copied.FileNumber() == 8 ? MoveInstrument : CopyInstrument)(to.c_str(), from.c_str(), &copied), 1);
    MasterRecord split;  // its first 10 records become F7 here
    ASSERT_EQ(GetMetaStockMasterRecord(from.c_str(), 7, &split), 1);
    FileGuard seven(SOpenFile((from + "F7.DAT").c_str(), kOpenReadWrite, kOpenShared, 28, 0));
    EXPECT_EQ(SplitFile(seven.Get(), from.c_str(), 7, &split, to.c_str(), 10, 0, 0, 0), 1);
    const Bytes agreeing = named(dir.Path("master"), {{1, kOne}, {4, kSeven}, {5, kEight}, {7, kSeven}});
    const auto expected = kind == 'n' ? std::nullopt : std::optional(kind == 'd' ? emaster : agreeing);
    EXPECT_EQ(StateOf(TakeSnapshot(dir.Path("")), "EMASTER"), expected) << kind;
    EXPECT_EQ(ReadBytes(dir.Path("src/EMASTER")), named(dir.Path("src/master"), {{1, kSeven}, {2, kNot}}));
    // The master repair brings the one that disagreed in step, keeping the long name that begins with master's.
    EXPECT_EQ(BringEmasterInStep(to.c_str()), kind == 'd') << kind;
    if (kind == 'd') {
      EXPECT_EQ(ReadBytes(dir.Path("EMASTER")), named(dir.Path("master"), {{1, kOne}}));
    }
  }
}

// A move is a copy listed in the destination, then the source let go. One that cannot finish takes the copy
// away again while the source has all it had; once the source has lost a file the instrument stays listed in
// both.
TEST_F(InstrumentsTest, AMoveThatCannotFinishPutsBackWhatItCan) {
  using C = platform::Call;
  // faults -> the result, the numbers a and b list afterwards
  const std::tuple<std::vector<std::pair<C, int>>, int, std::vector<int>, std::vector<int>> cases[] = {
      {{{C::Copy, 2}}, 0, {7, 9}, {1, 2}},        // the .DOP's copy
      {{{C::Rename, 1}}, 0, {7, 9}, {1, 2}},      // the source master's replacement
      {{{C::Delete, 3}}, 0, {9, 7}, {1, 2, 3}}};  // the source's .DAT, after its .DOP and .CHT
  for (const auto& [calls, result, a, b] : cases) {
    TempDir dir;
    WriteSoundDirectory(dir.Path("a"), {7, 9});
    WriteBytes(dir.Path("a/F7.CHT"), {7, 7});
    WriteSoundDirectory(dir.Path("b"), {1, 2});
    const Snapshot before = TakeSnapshot(dir.Path(""));
    MasterRecord seven = IdEntry(7).Record();
    FaultScope faults;
    for (auto [call, nth] : calls) platform::FailNthCall(call, nth);
    EXPECT_EQ(MoveInstrument((dir.Dir() + "b\\").c_str(), (dir.Dir() + "a\\").c_str(), &seven), result);
    platform::ResetFaults();
    const Snapshot now = TakeSnapshot(dir.Path(""));
    EXPECT_EQ(ViewMaster(now, "a").Numbers(), a);
    EXPECT_EQ(ViewMaster(now, "b").Numbers(), b);
    for (const char* sub : {"a", "b"}) EXPECT_EQ(LostOrUnlisted(before, result ? now : before, now, sub), "");
    EXPECT_EQ(StateOf(now, b.size() == 2 ? "a/F7.CHT" : "b/F3.CHT"), StateOf(before, "a/F7.CHT"));
  }
}

// A deletion whose data file stays (its removal, the third after the .DOP's and .CHT's, fails) lists again
// every entry it took out, even where master listed the number twice.
TEST_F(InstrumentsTest, ADeletionThatCannotRemoveTheDataFileListsItsEntriesAgain) {
  WriteMaster(dir_, MasterBuilder().Add({.fileNumber = 2}).Add({.fileNumber = 5}).Add({.fileNumber = 2}));
  WriteDat(dir_, 2, DatBuilder::ForFields(7));
  MasterRecord two = MasterEntry{.fileNumber = 2}.Record();
  FaultScope faults;
  platform::FailNthCall(platform::Call::Delete, 3);
  EXPECT_EQ(DeleteInstrument(dir_.Dir().c_str(), two, 1), 0);
  EXPECT_TRUE(StateOf(Now(), "F2.DAT"));
  const MasterView master = ViewMaster(Now());
  EXPECT_EQ(std::pair(master.Numbers(), master.headerCount), std::pair(std::vector<int>{5, 2, 2}, 3));
}

// Before a directory changes (master, a data file rewritten, the editor's writes), temporaries left behind go
// (any case; a record temporary made an hour ago or ahead, MSTTMP last written an hour ago). Those that may
// still be written (made or written this minute or minutes ahead, or held here while the file layer gave its
// handle back) stay, as do look-alikes.
TEST_F(InstrumentsTest, EachChangeFirstRemovesTheTemporariesLeftBehind) {
  const auto now = std::chrono::system_clock::now();
  const auto hour = std::chrono::hours(1);
  const auto leaf = [](auto at, uint32_t n) { return RecordTempFileName("", NewRecordTempTag(at, n)); };
  const Texts gone = {leaf(now - hour, 1).substr(0, 11) + ".tmp", leaf(now + hour, 2), "MSTTMP"};
  const std::string held = leaf(now - hour, 3);
  const Texts kept = {held,     leaf(now, 4), leaf(now + hour / 12, 5), "QVX1.TMP", "notes.tmp", "msttmp.bak",
                      "emsttmp",    "QVX0000000G.TMP"};
  for (int change = 0; change < 3; ++change) {
    IdInstrument instrument({1, 2});
    const std::string d = instrument.dir.Dir();
    for (const Texts& names : {gone, kept})
      for (const std::string& name : names) WriteBytes(instrument.dir.Path(name), {1});
    std::filesystem::last_write_time(instrument.dir.Path("MSTTMP"),
                                     std::filesystem::file_time_type::clock::now() - hour);
    FileGuard file(SOpenFile((d + held).c_str(), kOpenReadOnly, kOpenShared, 1, 0));
    ReleaseHandle(file.Get());
    ScriptedInteraction ui;
    EditorSession session;
    EXPECT_EQ(change == 0 ? UpdateMetaStockMasterRecord(d.c_str(), 1, IdEntry(1).Record())
              : change == 1
                  ? InsertRecord(OpenDat(d, 1, kL).Get(), (d + "F1.DAT").c_str(), 0, IdEntry(1).Record())
                  : OpenEditorSession(&session, d.c_str(), 1, ui),
              1);
    file.Close();
    Snapshot left = TakeSnapshot(instrument.dir.Path(""));
    left.erase("master"), left.erase("F1.DAT");
    EXPECT_TRUE(std::ranges::is_permutation(std::views::keys(left), kept)) << change;
  }
}

// Create's entries as typed and selected: the record built, or the message.
TEST_F(InstrumentsTest, CreateBuildsTheRecordFromTheEntriesOrSaysWhatIsMissing) {
  const std::string kBlank = "You MUST supply a name which contains something other than just spaces.",
                    kUnknown = "An unknown error occurred!",
                    kNoBase = "You MUST supply a time base for IntraDay files";
  const char* const kAlpha = "ABCDEFGHIJKLMNOP";  // 16 letters
  const std::string kAlpha14(kAlpha, 14), kAlpha15 = std::string(kAlpha, 15) + " ";
  // entries -> name, symbol and time base stored, or the message
  const std::tuple<CreateEntries, std::string, std::string, int, std::string> cases[] = {
      {{.name = kAlpha, .symbol = "ABC"}, kAlpha15, "ABC           ", 0, ""},
      {{.name = "W", .period = 'W', .fieldCount = 6, .timeBase = "30"}, "W", "", 0, ""},
      {{.name = "M", .symbol = kAlpha, .period = 'M', .fieldCount = 7}, "M", kAlpha14, 0, ""},
      {{.name = "I", .period = 'I', .fieldCount = 4, .timeBase = "5x"}, "I", "", 5, ""},
      {{.name = "I", .period = 'I', .fieldCount = 8, .timeBase = "abc"}, "I", "", 0, ""},
      {{.name = "I", .period = 'I', .fieldCount = 7, .timeBase = "1440"}, "I", "", 144, ""},
      {{}, "", "", 0, "The Instrument name MUST contain a name so that it can be identified"},
      {{.name = "   "}, "", "", 0, kBlank},
      {{.name = "               X"}, "", "", 0, kBlank},
      {{.name = "N", .period = 'I', .fieldCount = 4}, "", "", 0, kNoBase},
      {{.name = "N", .period = 'D', .fieldCount = 4}, "", "", 0, kUnknown},
      {{.name = "N", .period = 'd', .fieldCount = 5}, "", "", 0, kUnknown}};
  for (const auto& [entries, name, symbol, timeBase, message] : cases) {
    ScriptedInteraction ui;
    MasterRecord record;
    std::fill(std::begin(record.raw), std::end(record.raw), 0xAA);
    EXPECT_EQ(BuildCreateRecord(entries, ui, &record), message.empty()) << entries.name;
    EXPECT_EQ(ui.notices, message.empty() ? Texts{} : Texts{message}) << entries.name;
    MasterEntry expected{.fileNumber = 0, .name = name, .period = entries.period, .symbol = symbol};
    expected.fieldCount = uint8_t(entries.fieldCount), expected.timeBase = uint16_t(timeBase);
    EXPECT_TRUE(!message.empty() || Bytes(record.raw, record.raw + 53) == expected.Encode()) << entries.name;
  }
  for (char period : {'D', 'W', 'M', 'I'}) EXPECT_EQ(CreateTimeBaseEnabled(period), period == 'I');
}

// The dialogs one after another on two directories, as a user would.
TEST_F(InstrumentsTest, DialogsTellTheUserAndKeepOrEndAsTheyShould) {
  ScriptedInteraction ui;
  int16_t number = 0;
  std::string made;
  EXPECT_EQ(MakeDirApply(dir_.Dir().c_str(), "", ui, &made), kDialogStaysOpen);
  EXPECT_EQ(MakeDirApply(dir_.Dir().c_str(), "a", ui, &made), kDialogEnds);
  EXPECT_EQ(made, In("a"));
  EXPECT_EQ(StateOf(Now(), "a/master"), Bytes(53, 0));
  EXPECT_EQ(MakeDirApply(dir_.Dir().c_str(), "a", ui, &made), kDialogStaysOpen);
  {
    FaultScope faults;
    platform::FailNthCall(platform::Call::Open, 1);
    EXPECT_EQ(MakeDirApply(dir_.Dir().c_str(), "x", ui, &made), kDialogStaysOpen);
  }
  EXPECT_FALSE(StateOf(Now(), "x/master")) << "no part of a master is left";
  EXPECT_EQ(std::exchange(ui.notices, {}),
            (Texts{"You must provide at least one character for a directory name.",
                   "Unable to create Directory", GetError(kUnknownErrorMessage)}));
  for (const char* name : {"ONE", "TWO", "THREE"})
    EXPECT_EQ(CreateApply(In("a").c_str(), {.name = name, .symbol = name, .fieldCount = 7}, ui, &number),
              kDialogEnds);
  EXPECT_EQ(number, 3);
  EXPECT_EQ(StateOf(Now(), "a/F3.DAT"), DatBuilder::ForFields(7).Build());
  EXPECT_EQ(StateOf(Now(), "a/F3.DOP"), Bytes(kDailyDop, kDailyDop + std::strlen(kDailyDop)));
  WriteMaster(dir_, Numbered({1}, 255, 255));
  EXPECT_EQ(CreateApply(dir_.Dir().c_str(), {.name = "N"}, ui, &number), kDialogEnds);
  EXPECT_EQ(number, -1);
  EXPECT_EQ(std::exchange(ui.notices, {}), Texts{"Unable to create instrument"});

  MasterRecord two;
  ASSERT_EQ(GetMetaStockMasterRecord(In("a").c_str(), 2, &two), 1);
  for (auto [typed, stored] :
       {std::pair{"", ""}, {"NEWSYM", "NEWSYM"}, {"ABCDEFGHIJKLMNOPQ", "ABCDEFGHIJKLMN"}}) {
    MasterRecord record = two;
    EXPECT_EQ(ChangeSymbolApply(In("a").c_str(), &record, typed, ui), kDialogEnds);
    Bytes expected(two.raw, two.raw + 53);
    std::fill(expected.begin() + 36, expected.begin() + 50, ' ');
    std::copy(stored, stored + std::strlen(stored), expected.begin() + 36);
    EXPECT_EQ(ViewMaster(Now(), "a").records[1], expected) << typed;
  }
  MasterRecord gone = two;
  gone.SetFileNumber(9);
  EXPECT_EQ(ChangeSymbolApply(In("a").c_str(), &gone, "X", ui), kDialogStaysOpen);
  EXPECT_EQ(std::exchange(ui.notices, {}), Texts{GetError(kFileAccessMessage)});

  std::string path;
  WriteBytes(dir_.Path("plain"), {1});
  for (const std::string& typed : {std::string(""), std::string("\\"), In("missing"), dir_.Dir() + "plain"})
    EXPECT_EQ(SelectDriveApply(typed.c_str(), ui, &path), kDialogStaysOpen) << typed;
  EXPECT_EQ(std::exchange(ui.notices, {}), Texts(4, GetError(kInvalidPathMessage)));
  EXPECT_EQ(PathList, nullptr);
  EXPECT_EQ(SelectDriveApply((dir_.Dir() + "a").c_str(), ui, &path), kDialogEnds);
  EXPECT_EQ(path, In("a"));
  AddPath("Q:\\ELSEWHERE\\");
  EXPECT_EQ(InitialDestination(dir_.Dir().c_str()), In("a")) << "the latest path below the source";
  EXPECT_EQ(InitialDestination("q:\\else"), "Q:\\ELSEWHERE\\") << "letter case ignored";
  EXPECT_EQ(InitialDestination("q:\\elsewhere\\x"), "");

  std::vector<MasterRecord> chosen;
  const int16_t bad[] = {1, 4}, all[] = {1, 2, 3};
  EXPECT_EQ(SelectInstruments(In("a").c_str(), bad, 2, ui, &chosen), 0);
  EXPECT_EQ(ui.notices, Texts{"An error occured whilst selecting instruments."});
  ASSERT_EQ(SelectInstruments(In("a").c_str(), all, 3, ui, &chosen), 1);
  Texts lines;
  for (const MasterRecord& record : chosen) lines.push_back(InstrumentLine(record));
  EXPECT_EQ(lines, (Texts{"THREE\tTHREE\tF3", "TWO\tABCDEFGHIJKLMN\tF2", "ONE\tONE\tF1"}));
  ASSERT_EQ(SelectInstruments(In("a").c_str(), all + 1, 1, ui, &chosen), 1);
  EXPECT_EQ(chosen.size(), 1u) << "a new choice replaces the last";
}

// Copy, Move and Delete's OK over F3, F2, F1 of directory a (the dialog's
// order, the reverse of master's).
TEST_F(InstrumentsTest, TransfersAskAboutRoomAndFailuresAndGoOnOnlyOnYes) {
  const auto room = [](const std::string& verb) {
    return "There is not enough room to " + verb + " all of the files into the directory, do you want to " +
           verb + " as many as will fit?";
  };
  const std::string kCopyRoom = room("copy"), kMoveRoom = room("move");
  const std::string kCopyFailed = "A problem occured during copying, do you wish to attempt to continue ?";
  const std::string kDeleteFailed = "An error occured whilst deleting, do you wish to continue ?";
  const std::string kNew = GetError(kCreateDirectoryQuestion), kFull = GetError(kDirectoryFullMessage),
                    kUnmade = GetError(kCannotCreateDirectoryMessage);
  enum Kind { Copy, Move, Delete };
  struct Case {
    const char* rule;
    Kind kind;
    std::string to;  // the destination typed, below the scratch directory
    int present;     // instruments already in the destination's master (-1: no master)
    bool holdF2;     // another program holds F2.DAT without sharing
    int answer;      // to the one question asked
    int result, done, failed;
    Texts notices, questions;
    std::vector<int> listed;  // by the destination's master (the source's for Delete)
  };
  const Case cases[] = {
      {"no destination", Copy, "", -1, false, 0, 0, 0, 0, {GetError(kInvalidPathMessage)}, {}, {}},
      {"new directory, No", Copy, "b/new", -1, false, 0, 0, 0, 0, {}, {kNew}, {}},
      {"new directory, Yes", Copy, "b/new", -1, false, 1, 1, 3, 0, {}, {kNew}, {1, 2, 3}},
      {"an unmakable directory", Move, "plain/new/", -1, false, 1, 0, 0, 0, {kUnmade}, {kNew}, {}},
      {"a full directory", Copy, "b", 255, false, 1, 0, 0, 0, {kFull}, {}, Ids(1, 255)},
      {"too little room, No", Copy, "b", 253, false, 0, 0, 0, 0, {}, {kCopyRoom}, Ids(1, 253)},
      {"too little room, Yes", Copy, "b", 253, false, 1, 1, 2, 1, {kFull}, {kCopyRoom}, Ids(1, 255)},
      {"too little room to move", Move, "b", 253, false, 0, 0, 0, 0, {}, {kMoveRoom}, Ids(1, 253)},
      {"a failure, No", Copy, "b", 0, true, 0, 1, 1, 1, {}, {kCopyFailed}, {1}},
      {"a failure, Yes", Copy, "b", 0, true, 1, 1, 2, 1, {}, {kCopyFailed}, {1, 2}},
      {"into the source", Copy, "a", 3, false, 0, 1, 3, 0, {}, {}, Ids(1, 6)},
      {"moved", Move, "b", 0, false, 0, 1, 3, 0, {}, {}, {1, 2, 3}},
      {"deleted", Delete, "", 0, false, 0, 1, 3, 0, {}, {}, {}},
      {"a deletion fails, No", Delete, "", 0, true, 0, 1, 1, 1, {}, {kDeleteFailed}, {1, 2}},
      {"a deletion fails, Yes", Delete, "", 0, true, 1, 1, 2, 1, {}, {kDeleteFailed}, {2}},
  };
  for (const Case& c : cases) {
    KillPathList();
    TempDir dir;
    WriteSoundDirectory(dir.Path("a"), {1, 2, 3});
    WriteBytes(dir.Path("plain"), {1});
    std::filesystem::create_directory(dir.Path("b"));
    if (c.present >= 0 && c.to != "a" && c.kind != Delete) {
      std::filesystem::create_directories(dir.Path(c.to));
      WriteBytes(dir.Path(c.to + "/master"), Numbered(Ids(1, c.present), c.present, c.present).Build());
    }
    const Snapshot start = TakeSnapshot(dir.Path(""));
    std::string typed = c.to;
    std::replace(typed.begin(), typed.end(), '/', '\\');
    typed = c.to.empty() ? "" : dir.Dir() + typed;
    const std::string source = dir.Dir() + "a\\";
    std::vector<MasterRecord> instruments;
    const int16_t all[] = {1, 2, 3};
    ScriptedInteraction ui;
    ASSERT_EQ(SelectInstruments(source.c_str(), all, 3, ui, &instruments), 1);
    std::optional<HeldFile> held;
    if (c.holdF2) held.emplace(source + "F2.DAT", platform::OpenRequest{.shareRead = false});
    ui = ScriptedInteraction{c.answer == 1};
    InstrumentTally tally{9, 9};
    std::string used;
    const int result = c.kind == Delete
                           ? DeleteApply(source.c_str(), instruments, ui, &tally)
                           : TransferApply(c.kind == Copy ? TransferKind::Copy : TransferKind::Move,
                                           source.c_str(), instruments, typed.c_str(), ui, &tally, &used);
    held.reset();
    EXPECT_EQ(std::tuple(result, tally.done, tally.failed), std::tuple(c.result, c.done, c.failed)) << c.rule;
    EXPECT_EQ(std::pair(ui.notices, ui.questions), std::pair(c.notices, c.questions)) << c.rule;
    const Snapshot now = TakeSnapshot(dir.Path(""));
    const std::string to = c.kind == Delete ? "a" : c.to;
    EXPECT_EQ(ViewMaster(now, to).Numbers(), c.listed) << c.rule;
    if (c.kind != Delete && c.done > 0) {
      const std::string first = to + "/F" + std::to_string(std::max(c.present, 0) + 1) + ".DAT";
      EXPECT_EQ(StateOf(now, first), StateOf(start, "a/F3.DAT")) << c.rule;
      EXPECT_EQ(PathList ? PathList->path : "", typed + "\\") << c.rule;
    }
    EXPECT_EQ(std::filesystem::exists(dir.Path("b/new")), c.to == "b/new" && c.answer) << c.rule;
  }
}

}  // namespace
}  // namespace store_test
