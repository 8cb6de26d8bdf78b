// The record editor without its window, over real data files: the grid's layout, what keys, typed characters,
// clicks, scrolling and the record commands do to the cursor, the cell and the file, and the Goto logic.
#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "editor/editor_model.h"
#include "editor/goto_logic.h"
#include "primitives/list.h"
#include "support/fixtures.h"

namespace {

using namespace fixtures;
using K = EditorKey;
using Cursor = std::pair<int32_t, int>;  // record, column (-1: no current cell)

// Fonts as a paint measures them: 10 whole rows under the title, 8 pixels a character; 6 columns fit.
constexpr int kTitle = 30, kRow = 20, kChar = 8;

class EditorTest : public ::testing::Test {
 protected:
  // Record i: 4 Jan 2010 + i days, open 10 + i, high 12 + i, low 9 + i, close 11 + i, volume 1000 (i + 1),
  // open interest i; intraday, 14 Nov 2013 + i / 4 days at 09:00 + 15 (i % 4) minutes for date and open.
  void Open(int records, char period = 'D', void (*damage)(DatBuilder&) = nullptr) {
    DatBuilder dat = DatBuilder::ForFields(7);
    for (float i = 0; i < records; ++i) {
      std::vector<float> v{StoredDate(2010, 1, 4 + i), 10 + i, 12 + i, 9 + i, 11 + i, 1000 * (i + 1), i};
      if (period == 'I') v[0] = StoredDate(2013, 11, 14 + i / 4), v[1] = 90000 + 1500 * (int(i) % 4);
      dat.Values(v);
    }
    if (damage != nullptr) damage(dat);
    WriteMaster(dir_, MasterBuilder().Add({.fileNumber = 1, .period = period}));
    WriteDat(dir_, 1, dat);
    ASSERT_EQ(OpenEditorSession(&state_.session, dir_.Dir().c_str(), 1, ui_), 1);
    state_.titleHeight = kTitle, state_.rowHeight = kRow, state_.characterWidth = kChar;
    state_.clientWidth = GutterWidth + 6 * ColumnWidth, state_.clientHeight = kTitle + 10 * kRow + 5;
    LoadCellEdit(state_);
  }
  Cursor At() const { return {state_.currentRecord, HasCurrentCell(state_) ? state_.currentColumn : -1}; }
  void Put(int32_t record, int column) {
    state_.currentRecord = record, state_.currentColumn = static_cast<uint16_t>(column);
    ASSERT_EQ(LoadCellEdit(state_), 1) << record << "," << column;
  }
  void Type(const std::string& text, bool erase = false) {
    if (erase) TypeCharacter(state_, 8, 20);
    for (char ch : text) TypeCharacter(state_, static_cast<unsigned char>(ch), 1);
  }
  void Press(K key, int times = 1) {
    while (times-- > 0) PressKey(state_, key);
  }
  // A click in the middle of a visible row: in the gutter (visibleColumn -1) or xIn into a column.
  EditOutcome Click(int row, int visibleColumn, int xIn = ColumnWidth / 2) {
    const int x = visibleColumn < 0 ? GutterWidth / 2 : GutterWidth + visibleColumn * ColumnWidth + xIn;
    return ClickAt(state_, x, kTitle + row * kRow + kRow / 2, ui_);
  }
  // The stored word of (data record, column) from the file's bytes; beyond its end, an exception.
  uint32_t Word(int32_t record, int column) const {
    return testing_support::GetU32(testing_support::ReadBytes(dir_.Path("F1.DAT")),
                                   size_t((record + 1) * 28 + 4 * column));
  }
  std::vector<int32_t> Selected() const {  // RecordSelection is a List of record numbers
    std::vector<int32_t> records;
    for (const ListNode* n = state_.session.selection->first; n; n = n->next)
      records.push_back(*static_cast<const int32_t*>(n->item));
    return records;
  }
  testing_support::TempDir dir_;
  ScriptedInteraction ui_;
  EditorState state_;
};

TEST_F(EditorTest, ColumnsRowsTextsGridLinesHitsAndScrollTargetsFollowTheLayout) {
  Open(20);
  state_.clientWidth = 2000, state_.firstColumn = 6;
  const GridLines lines = ComputeGridLines(state_, 3);  // one column shown
  EXPECT_EQ(std::tie(lines.verticalX, lines.horizontalY, lines.verticalBottom, lines.horizontalRight),
            std::tuple(std::vector{122}, std::vector{30, 50, 70, 90}, 90, 122));
  // Titles centred, dates left-aligned, numbers ending at the column's right edge.
  EXPECT_EQ(std::tuple(TitleX(2, 60), CellTextX(FieldType::Date, 1, 64), CellTextX(FieldType::Close, 1, 40)),
            std::tuple(240, 122, 180));
  auto framed = [&](int top) { return state_.topRecord = top, RecordRowsToFrame(state_); };
  EXPECT_EQ((std::vector{framed(0), framed(15), framed(20)}), (std::vector{10, 5, 0}));
  using H = HitArea;
  state_.topRecord = 4;
  const std::vector<std::tuple<int, int, int16_t, H, int, int>> hits{
      {50, 30, 0, H::Title, 0, 0}, {10, 31, 0, H::Gutter, 4, 0}, {20, 55, 0, H::Gutter, 5, 0},
      {21, 31, 0, H::Cell, 4, 0},  {120, 31, 0, H::Cell, 4, 1},  {121, 229, 2, H::Cell, 13, 3}};
  for (auto [x, y, first, area, record, column] : hits) {
    state_.firstColumn = first;
    const GridHit h = HitTest(state_, x, y);
    EXPECT_EQ(std::tuple(h.area, h.record, h.column), std::tuple(area, record, column)) << x << "," << y;
  }
  // Scroll requests: record count 21, 10 rows, 7 columns.
  using R = ScrollRequest;
  const std::vector<std::tuple<char, int16_t, R, int, int>> requests{
      {'V', 0, R::LineUp, 0, 0},     {'V', 19, R::LineDown, 0, 19},    {'V', 5, R::PageUp, 0, 0},
      {'V', 15, R::PageUp, 0, 5},    {'V', 10, R::PageDown, 0, 20},    {'V', 15, R::PageDown, 0, 9},
      {'V', 19, R::PageDown, 0, 19}, {'V', 3, R::ThumbPosition, 7, 7}, {'V', 3, R::ThumbTrack, 7, 3},
      {'V', 12, R::Top, 0, 0},       {'V', 0, R::Bottom, 0, 10},       {'H', 3, R::PageUp, 0, 2},
      {'H', 6, R::LineDown, 0, 6},   {'H', 1, R::Top, 0, 0},           {'H', 1, R::Bottom, 0, 6}};
  for (auto [axis, from, request, thumb, expected] : requests) {
    state_.topRecord = from, state_.firstColumn = from;
    const int target = axis == 'V' ? VerticalScrollTarget(state_, int(request), thumb)
                                   : HorizontalScrollTarget(state_, int(request), thumb);
    EXPECT_EQ(target, expected) << axis << from << " request " << int(request);
  }
  state_.rowHeight = kNotMeasured;
  EXPECT_EQ(std::pair(RowsAvailable(state_), HitTest(state_, 50, 100).area), std::pair(0, H::Title));
}

TEST_F(EditorTest, ClicksCommitFirstThenPickACellUnderThePointerOrToggleARecordsSelection) {
  Open(5);
  const std::vector<std::array<int, 5>> clicks{
      {0, 0, 30, 3, 46},  {0, 0, 95, 8, 86},  {1, 0, 1, 0, 22},     // "04/01/10" left-aligned
      {1, 2, 60, 0, 280}, {1, 2, 90, 4, 312}, {2, 5, 99, 7, 620}};  // "13.00", "3000.00" right-aligned
  for (auto [row, column, xIn, caret, caretX] : clicks) {
    EXPECT_TRUE(Click(row, column, xIn).cursorMoved);
    const CaretPlacement at = PlaceCaretAt(state_);
    EXPECT_EQ(std::tuple(At(), state_.caretPosition, at.visible, at.x, at.y),
              std::tuple(Cursor{row, column}, caret, true, caretX, kTitle + row * kRow));
  }
  Put(2, 2);
  Click(10, 0), Click(7, 0), state_.firstColumn = 3, Click(0, 4);  // below the rows, records, fields
  EXPECT_EQ(std::pair(At(), PlaceCaretAt(state_).visible), std::pair(Cursor{2, 2}, false));
  Click(5, 0);
  EXPECT_EQ(At(), Cursor(5, 3)) << "the new-record row";
  state_.firstColumn = 0;
  Put(0, 0);
  Type("9/1/10", true);
  EXPECT_TRUE(Click(3, -1).cursorMoved);
  EXPECT_EQ(std::pair(At(), Word(0, 0)), std::pair(Cursor{3, -1}, MbfWord(StoredDate(2010, 1, 9))));
  for (int row : {0, 4, 3, 5, 8}) Click(row, -1);  // 5 is the new-record row, 8 below it
  EXPECT_EQ(std::pair(Selected(), At()), std::pair(std::vector<int32_t>{0, 4}, Cursor{3, -1}));
  EXPECT_EQ(std::tuple(TypeCharacter(state_, '5', 1).beep, EditBackspace(state_), EditDeleteChar(state_)),
            std::tuple(true, 0, 0));
  for (K key : {K::Left, K::Right, K::Next, K::Down, K::Up, K::Down}) Press(key);
  EXPECT_EQ(At(), Cursor(4, -1)) << "only Up and Down move without a current cell";
}

TEST_F(EditorTest, CellsLoadAsShownAndTypedTextsAreStoredOrAppendedOnceARecordIsComplete) {
  Open(3, 'I', [](DatBuilder& d) { d.SetWord(1, 3, kHugeWord); });
  const std::vector<std::tuple<int, int, std::string>> loads{
      {1, 0, "14/11/13"}, {1, 5, "2000.00"}, {1, 3, "0.00"}, {3, 2, ""}};  // a corrupt number as 0.00
  for (auto [record, column, text] : loads) {
    Put(record, column);
    EXPECT_EQ(std::pair(state_.editText, state_.caretPosition), std::pair(text, int16_t(text.size())));
  }
  state_.currentRecord = 4;
  EXPECT_EQ(LoadCellEdit(state_), 0) << "beyond the new-record row";
  Put(1, 3);
  Press(K::Next);
  EXPECT_EQ(Word(1, 3), kHugeWord) << "leaving an untouched cell must not repair it";
  Put(2, 0);
  for (const char* text : {"5/3/12", "9:5:30", "15.25"}) Type(text, true), Press(K::Next);
  EXPECT_EQ(std::tuple(At(), Word(2, 0), Word(2, 1), Word(2, 2)),
            std::tuple(Cursor{2, 3}, MbfWord(StoredDate(2012, 3, 5)), MbfWord(90530.f), MbfWord(15.25f)));
  Put(1, 0);  // a refused date holds the cursor until Escape
  const std::string loaded = state_.editText;
  const uint32_t before = Word(1, 0);
  Type("31/2/10", true);
  for (K key : {K::Next, K::Right, K::Down, K::Up}) EXPECT_FALSE(PressKey(state_, key).cursorMoved);
  EXPECT_FALSE(Click(0, 3).cursorMoved || Click(0, -1).cursorMoved);
  EXPECT_EQ(std::tuple(At(), state_.editText, Selected().size()), std::tuple(Cursor{1, 0}, "31/2/10", 0u));
  Press(K::Escape);
  EXPECT_EQ(state_.editText, loaded);
  Press(K::Next);
  EXPECT_EQ(std::pair(At(), Word(1, 0)), std::pair(Cursor{1, 1}, before));
  Put(3, 0);  // the new-record row
  for (const char* text : {"16/11/13", "10:0:0", "22.5"}) Type(text), Press(K::Next);
  Press(K::Up), Press(K::Down);
  EXPECT_EQ(std::pair(At(), DataRecordCount(state_.session)), std::pair(Cursor{3, 3}, 3))
      << "a partly typed record waits";
  Put(3, 2);
  EXPECT_EQ(state_.editText, "22.50");
  // A price shows as "%.2f" prints it, whatever bits it holds (halfway cases round as their binary value); a
  // NaN as "nan" with its sign, which C libraries' printf gives or drops.
  std::mt19937 bits(7);
  for (int i = 0; i < 30000; ++i) {
    const float value = i < 5 ? std::array{0.125f, 0.375f, 2.675f, -0.005f, 1e-3f}[i]
                              : std::bit_cast<float>(static_cast<uint32_t>(bits()));
    char printed[64];
    std::snprintf(printed, sizeof printed, "%.2f", static_cast<double>(value));
    ASSERT_EQ(FormatCellText(FieldType::Close, value),
              std::isnan(value) ? (std::signbit(value) ? "-nan" : "nan") : printed)
        << value;
  }
  Put(3, 3);
  for (const char* text : {"19", "21", "20", "7"}) Type(text), Press(K::Next);
  EXPECT_EQ(std::tuple(At(), DataRecordCount(state_.session), Word(3, 0), Word(3, 2), Word(3, 6)),
            std::tuple(Cursor{4, 0}, 4, MbfWord(StoredDate(2013, 11, 16)), MbfWord(22.5f), MbfWord(7.f)));
}

TEST_F(EditorTest, EachColumnTakesOnlyItsCharactersAtTheCaret) {
  Open(2, 'I');
  // Per column kind: Taken, Refused with a beep, Ignored (a full text; codes that are never cell text).
  const std::vector<std::tuple<int, std::string, char, char>> typed{
      {0, "4", ':', 'R'},        {0, "4/1/10", '/', 'T'}, {1, "9", '/', 'R'},
      {1, "9:3:1", ':', 'T'},    {2, "1.2", '.', 'T'},    {2, "1.2.3", '.', 'R'},
      {2, "12345678", '9', 'I'}, {2, "1", '-', 'I'},      {2, "1", 'a', 'I'}};
  for (auto [column, before, ch, result] : typed) {
    Put(0, column);
    state_.editText = before, state_.caretPosition = static_cast<int16_t>(before.size());
    const bool beep = TypeCharacter(state_, static_cast<unsigned char>(ch), 1).beep;
    EXPECT_EQ(std::pair(beep, state_.editText),
              std::pair(result == 'R', result == 'T' ? before + ch : before))
        << column << ": " << before << " + " << ch;
  }
  Put(0, 2);  // "12.00"
  state_.caretPosition = 2;
  Type("5\b\b");  // "125.00", then "1.00"
  EXPECT_EQ(EditDeleteChar(state_), 1);
  EXPECT_EQ(std::tuple(state_.editText, state_.caretPosition, state_.modified), std::tuple("100", 1, 1));
  state_.caretPosition = 3;
  EXPECT_EQ(EditDeleteChar(state_), 0) << "nothing after the caret";
  state_.caretPosition = 0;
  EXPECT_EQ(EditBackspace(state_), 0) << "nothing before the caret";
}

TEST_F(EditorTest, KeysAndRecordCommandsMoveTheCursorAndTheViewFollows) {
  Open(30);  // record 30 is the new-record row
  const std::vector<std::tuple<Cursor, K, Cursor>> moves{
      {{2, 3}, K::Next, {2, 4}},   {{1, 6}, K::Next, {2, 0}},  {{29, 6}, K::Right, {30, 0}},
      {{30, 6}, K::Next, {30, 0}}, {{2, 0}, K::Left, {1, 6}},  {{0, 0}, K::Left, {0, 6}},
      {{1, 1}, K::Left, {1, 0}},   {{0, 2}, K::Up, {0, 2}},    {{2, 2}, K::Up, {1, 2}},
      {{29, 5}, K::Down, {30, 5}}, {{30, 5}, K::Down, {30, 5}}};
  for (auto [from, key, to] : moves) {
    Put(from.first, from.second);
    if (key == K::Left) state_.caretPosition = 0;
    Press(key);
    EXPECT_EQ(At(), to) << "from " << testing::PrintToString(from) << " key " << static_cast<int>(key);
  }
  Put(1, 1);  // "11.00"
  EXPECT_TRUE(PressKey(state_, K::Left).cursorMoved) << "the caret moved";
  Press(K::Left, 2), Press(K::Right);
  EXPECT_EQ(std::pair(At(), state_.caretPosition), std::pair(Cursor{1, 1}, int16_t{3}));
  state_.topRecord = 5, state_.firstColumn = 3;
  Put(14, 3);  // the last whole row
  Press(K::Down, 2);
  const int32_t topAfterDown = state_.topRecord;
  Put(7, 3);
  Press(K::Up);
  state_.caretPosition = 0;
  Press(K::Left);
  EXPECT_EQ(std::tuple(topAfterDown, state_.topRecord, state_.firstColumn), std::tuple(7, 6, int16_t{2}));
  // The record commands leave the cursor and the view on the records.
  state_.topRecord = 0, state_.firstColumn = 0;
  Put(0, 5);
  ASSERT_TRUE(GoToRecord(state_, 12));
  EXPECT_EQ(std::tuple(state_.topRecord, At(), state_.editText), std::tuple(12, Cursor{12, 5}, "13000.00"));
  state_.firstColumn = 4;
  EXPECT_TRUE(GoToRecord(state_, 20, 2) && GoToRecord(state_, 21, 3));
  EXPECT_FALSE(GoToRecord(state_, -1) || GoToRecord(state_, 31) || GoToRecord(state_, 5, 7));
  EXPECT_EQ(std::pair(At(), state_.firstColumn), std::pair(Cursor{21, 3}, int16_t{2})) << "field 2 into view";
  EXPECT_TRUE(GoToRecord(state_, 0) && GoToRecord(state_, 30)) << "the first record, the new-record row";
  ScriptedInteraction yes({true, true});
  const std::vector<std::tuple<Cursor, std::vector<int32_t>, Cursor, std::string>> deletions{
      {{29, 1}, {28, 29}, {28, 1}, ""}, {{2, 1}, {5}, {2, 1}, "12.00"}};
  for (auto [cursor, deleted, after, text] : deletions) {
    Select(state_.session.selection.get(), deleted);
    Put(cursor.first, cursor.second);
    ASSERT_EQ(EditorDeleteSelection(&state_.session, yes), 1);
    SettleAfterDeletion(state_);
    EXPECT_EQ(std::pair(At(), state_.editText), std::pair(after, text)) << "the cell reloaded";
  }
  ASSERT_EQ(EditorInsertRecord(&state_.session, state_.currentRecord, ui_), 1);
  FollowInsertedRecord(state_);
  EXPECT_EQ(std::pair(At(), LoadCellEdit(state_) ? state_.editText : ""),
            std::pair(Cursor{3, 1}, std::string("12.00")));
  state_.topRecord = 10, state_.firstColumn = 1;
  Click(5, -1);  // record 15
  Put(12, 3);
  ASSERT_EQ(EditorTruncate(&state_.session, 1, 0, ui_), 1);
  ResetAfterTruncateOrSplit(state_);
  EXPECT_EQ(std::tuple(NewRecordRow(state_), state_.topRecord, At(), state_.firstColumn, state_.editText),
            std::tuple(16, 0, Cursor{0, 0}, int16_t{1}, std::string("04/01/10")));
}

TEST_F(EditorTest, GotoSearchesTheTypedDateAndTimeAndOpensOnTheCurrentRecords) {
  std::vector<int> since1900;
  for (long year : {0, 49, 50, 99, -1, 100}) since1900.push_back(TypedYearSince1900(year));
  EXPECT_EQ(since1900, (std::vector{100, 149, 50, 99, -1, -1}));
  using G = GotoOutcome;
  const auto search = [&](const GotoInput& in, bool intraday) {  // minutes 15
    const GotoResult r = SearchGoto(state_.session.file.Get(), state_.session.masterRecord, in, intraday);
    return std::pair(r.outcome, r.record);
  };
  GotoInput f, none;
  const auto read = [&](int32_t record, bool intraday, GotoInput* fields) {
    return CurrentRecordFields(state_.session.file.Get(), state_.session.masterRecord, record, intraday,
                               fields);
  };
  Open(8, 'I', [](DatBuilder& d) { d.SetValue(7, 0, 1001340); });  // record 7 in month 13
  const std::vector<std::tuple<std::string, std::string, std::string, bool, G, int>> searches{
      {"14", "13", "9", false, G::Found, 1},   {"15", "13", "23", true, G::Found, 4},
      {"14", "49", "", true, G::NotFound, -1}, {"14", "13", "24", false, G::InvalidTime, -1},
      {"14", "13", "24", true, G::Found, 0},   {"31", "13", "24", false, G::InvalidDate, -1}};
  for (auto [day, year, hours, byDate, outcome, record] : searches) {
    EXPECT_EQ(search({day, 11, year, hours, "15", "0", byDate}, true), std::pair(outcome, record))
        << day << "/11/" << year << " " << hours;
  }
  EXPECT_FALSE(read(7, false, &none) || read(8, true, &none));  // 8: the new-record row
  EXPECT_TRUE(read(1, true, &f));
  EXPECT_EQ(std::tie(f.day, f.month, f.year, f.hours, f.minutes, none.day, none.month, none.hours),
            std::tuple("14", 11, "13", "9", "15", "", 0, ""));
}

}  // namespace
