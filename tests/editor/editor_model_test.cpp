// The editor grid's model: geometry, cell loading and committing, the typed
// character rules, keys, clicks, scrolling and the cursor after commands,
// over real data files.
#include "editor/editor_model.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "editor_test_support.h"
#include "fixtures.h"
#include "primitives/list.h"

namespace editor_test {
namespace {

using fixtures::MbfWord;
using fixtures::StoredDate;

struct Cursor {
  int32_t record;
  int column;
  bool operator==(const Cursor&) const = default;
};
std::ostream& operator<<(std::ostream& out, const Cursor& c) {
  return out << "(" << c.record << ", " << c.column << ")";
}
Cursor At(const EditorState& state) {
  return {state.currentRecord, state.currentColumn == kNoColumn ? -1 : state.currentColumn};
}

// ---- Geometry ----------------------------------------------------------------

class GeometryTest : public EditorFixture {};

TEST_F(GeometryTest, VisibleColumnsFitTheWidthAndStopAtTheLastField) {
  OpenDaily(3);
  struct Case {
    int width;
    int16_t first;
    int expected;
  };
  for (const Case& c : std::vector<Case>{{kClientWidth, 0, 6},
                                         {kClientWidth, 2, 5},
                                         {GutterWidth + ColumnWidth - 1, 0, 0},
                                         {GutterWidth + ColumnWidth, 0, 1},
                                         {2000, 0, 7},
                                         {2000, 6, 1}}) {
    state_.clientWidth = static_cast<int16_t>(c.width);
    state_.firstColumn = c.first;
    EXPECT_EQ(VisibleColumns(state_), c.expected) << "width " << c.width << ", first " << c.first;
  }
}

TEST_F(GeometryTest, RowsWaitForTheFirstPaintToMeasureTheFonts) {
  OpenDaily(3);
  EXPECT_EQ(RowsAvailable(state_), 10);
  state_.rowHeight = kNotMeasured;
  EXPECT_EQ(RowsAvailable(state_), 0);
  EXPECT_FALSE(PlaceCaretAt(state_).visible);
  EXPECT_EQ(HitTest(state_, 50, 100).area, HitArea::Title) << "no click counts before the first paint";
}

TEST_F(GeometryTest, GutterBoxesStopAtTheLastRecord) {
  OpenDaily(20);
  EXPECT_EQ(RecordRowsToFrame(state_), 10);
  state_.topRecord = 15;
  EXPECT_EQ(RecordRowsToFrame(state_), 5);
  state_.topRecord = 20;  // only the new-record row below the top
  EXPECT_EQ(RecordRowsToFrame(state_), 0);
}

TEST_F(GeometryTest, ClicksLandOnTitleGutterOrCell) {
  OpenDaily(20);
  state_.topRecord = 4;
  struct Case {
    int x, y;
    int16_t first;
    HitArea area;
    int32_t record;
    int column;
  };
  for (const Case& c : std::vector<Case>{{50, kTitleHeight, 0, HitArea::Title, 0, 0},
                                         {10, kTitleHeight + 1, 0, HitArea::Gutter, 4, 0},
                                         {GutterWidth, 55, 0, HitArea::Gutter, 5, 0},
                                         {GutterWidth + 1, 31, 0, HitArea::Cell, 4, 0},
                                         {GutterWidth + ColumnWidth, 31, 0, HitArea::Cell, 4, 1},
                                         {GutterWidth + ColumnWidth + 1, 229, 2, HitArea::Cell, 13, 3}}) {
    state_.firstColumn = c.first;
    const GridHit hit = HitTest(state_, c.x, c.y);
    EXPECT_EQ(hit.area, c.area) << c.x << "," << c.y;
    if (hit.area == HitArea::Title) continue;
    EXPECT_EQ(hit.record, c.record) << c.x << "," << c.y;
    if (hit.area == HitArea::Cell) {
      EXPECT_EQ(hit.column, c.column) << c.x << "," << c.y;
    }
  }
}

TEST_F(GeometryTest, TextsAreCentredLeftAlignedOrEndAtTheColumnsRightEdge) {
  EXPECT_EQ(TitleX(0, 40), GutterWidth + 30);
  EXPECT_EQ(TitleX(2, 60), GutterWidth + 200 + 20);
  EXPECT_EQ(CellTextX(FieldType::Date, 1, 64), GutterWidth + TextIndent + 100);
  EXPECT_EQ(CellTextX(FieldType::Time, 0, 64), GutterWidth + TextIndent);
  EXPECT_EQ(CellTextX(FieldType::Close, 1, 40), GutterWidth + 200 - 40);
  EXPECT_EQ(CellTextX(FieldType::Volume, 0, 72), GutterWidth + 100 - 72);
}

TEST_F(GeometryTest, GridLinesFollowTheColumnsShownWhenScrolledRight) {
  OpenDaily(20);
  state_.firstColumn = 2;
  const GridLines lines = ComputeGridLines(state_, 3);
  EXPECT_EQ(lines.verticalX, (std::vector<int>{122, 222, 322, 422, 522}));
  EXPECT_EQ(lines.verticalTop, GridTop);
  EXPECT_EQ(lines.verticalBottom, kTitleHeight + 3 * kRowHeight);
  EXPECT_EQ(lines.horizontalY, (std::vector<int>{30, 50, 70, 90}));
  EXPECT_EQ(lines.horizontalLeft, GutterWidth + TextIndent);
  EXPECT_EQ(lines.horizontalRight, GutterWidth + TextIndent + 5 * ColumnWidth);
}

TEST_F(GeometryTest, CaretSitsAtItsCharacterAndHidesOutsideTheView) {
  OpenDaily(20);
  PutCursor(0, 0);  // "04/01/10", caret at the end
  CaretPlacement caret = PlaceCaretAt(state_);
  EXPECT_TRUE(caret.visible);
  EXPECT_EQ(caret.x, GutterWidth + TextIndent + 8 * kCharWidth);
  EXPECT_EQ(caret.y, kTitleHeight);

  PutCursor(3, 1);  // "13.00", right-aligned
  state_.caretPosition = 2;
  caret = PlaceCaretAt(state_);
  EXPECT_EQ(caret.x, 2 * ColumnWidth + GutterWidth - 3 * kCharWidth);
  EXPECT_EQ(caret.y, kTitleHeight + 3 * kRowHeight);

  state_.firstColumn = 2;
  EXPECT_FALSE(PlaceCaretAt(state_).visible) << "column left of the view";
  state_.firstColumn = 0;
  state_.topRecord = 4;
  EXPECT_FALSE(PlaceCaretAt(state_).visible) << "record above the view";
  state_.topRecord = 0;
  PutCursor(10, 1);
  EXPECT_FALSE(PlaceCaretAt(state_).visible) << "record below the last whole row";
  state_.currentColumn = kNoColumn;
  EXPECT_FALSE(PlaceCaretAt(state_).visible) << "no current cell";
}

// ---- Loading and committing cells -----------------------------------------------

class CellEditTest : public EditorFixture {};

TEST_F(CellEditTest, CellsLoadAsTheGridShowsThemWithTheCaretAtTheEnd) {
  OpenDaily(3);
  PutCursor(1, 0);
  EXPECT_EQ(state_.editText, "05/01/10");
  EXPECT_EQ(state_.caretPosition, 8);
  PutCursor(1, 5);
  EXPECT_EQ(state_.editText, "2000.00");
  PutCursor(3, 2);  // the new-record row, nothing typed
  EXPECT_EQ(state_.editText, "");
  EXPECT_EQ(state_.caretPosition, 0);
  state_.session.pending[2] = PendingValue{12.5f, 1};
  PutCursor(3, 2);
  EXPECT_EQ(state_.editText, "12.50");
  state_.currentRecord = 4;
  EXPECT_EQ(LoadCellEdit(state_), 0) << "beyond the new-record row";
  state_.currentRecord = 0;
  state_.currentColumn = kNoColumn;
  EXPECT_EQ(LoadCellEdit(state_), 0);
}

TEST_F(CellEditTest, TypedDatesFollowTheTwoDigitYearRuleWhenStored) {
  OpenDaily(3);
  struct Case {
    std::string typed;
    float stored;
  };
  for (const Case& c : std::vector<Case>{{"5/3/12", StoredDate(2012, 3, 5)},
                                         {"05/03/49", StoredDate(2049, 3, 5)},
                                         {"5/3/50", StoredDate(1950, 3, 5)},
                                         {"29/2/96", StoredDate(1996, 2, 29)}}) {
    PutCursor(2, 0);
    TypeCharacter(state_, 8, 8);
    Type(c.typed);
    Press(EditorKey::Next);
    EXPECT_EQ(At(state_), (Cursor{2, 1})) << c.typed;
    EXPECT_EQ(StoredWord(2, 0), MbfWord(c.stored)) << c.typed;
  }
}

TEST_F(CellEditTest, RefusedTextsKeepTheCursorInTheCellUntilEscape) {
  Open(7, 'I', IntradayRecords(3));
  struct Case {
    int column;
    std::string typed;
  };
  for (const Case& c : std::vector<Case>{
           {0, "31/2/10"}, {0, "4/1/10/"}, {0, "4/13/10"}, {1, "25:00:00"}, {1, "9:60:00"}, {1, "9:30"}}) {
    PutCursor(1, c.column);
    const std::string loaded = state_.editText;
    const uint32_t before = StoredWord(1, c.column);
    TypeCharacter(state_, 8, 8);
    Type(c.typed);
    for (EditorKey key : {EditorKey::Next, EditorKey::Right, EditorKey::Down, EditorKey::Up}) {
      PressKey(state_, key);
      EXPECT_EQ(At(state_), (Cursor{1, c.column})) << c.typed;
    }
    EXPECT_EQ(ClickCell(0, 3).cursorMoved, false) << c.typed;
    EXPECT_EQ(state_.editText, c.typed);
    EXPECT_EQ(StoredWord(1, c.column), before) << c.typed << ": nothing is stored";
    Press(EditorKey::Escape);
    EXPECT_EQ(state_.editText, loaded) << c.typed;
    Press(EditorKey::Next);
    EXPECT_EQ(At(state_), (Cursor{1, c.column + 1})) << c.typed;
  }
}

TEST_F(CellEditTest, TypedNumbersAndTimesAreStored) {
  Open(7, 'I', IntradayRecords(3));
  PutCursor(2, 1);
  TypeCharacter(state_, 8, 8);
  Type("9:5:30");
  Press(EditorKey::Next);
  TypeCharacter(state_, 8, 8);
  Type("15.25");
  Press(EditorKey::Next);
  EXPECT_EQ(StoredWord(2, 1), MbfWord(90530.0f));
  EXPECT_EQ(StoredWord(2, 2), MbfWord(15.25f));
}

TEST_F(CellEditTest, AValueLoadedLongerThanTypingAllowsCanStillBeEdited) {
  Open(7, 'D', DailyRecords(3).SetValue(0, 5, 123456792.0f));
  PutCursor(0, 5);
  ASSERT_EQ(state_.editText, "123456792.00");
  TypeCharacter(state_, '1', 1);
  EXPECT_EQ(state_.editText, "123456792.00") << "a full text takes no more characters";
  TypeCharacter(state_, 8, 3);
  Press(EditorKey::Next);
  EXPECT_EQ(At(state_), (Cursor{0, 6}));
  EXPECT_EQ(StoredWord(0, 5), MbfWord(123456792.0f));
}

TEST_F(CellEditTest, UnmodifiedCellsAreNotWrittenBack) {
  Open(7, 'D', DailyRecords(3).SetWord(1, 2, fixtures::HugeWord()));
  PutCursor(1, 2);  // a corrupt number loads as 0.00
  EXPECT_EQ(state_.editText, "0.00");
  Press(EditorKey::Next);
  EXPECT_EQ(StoredWord(1, 2), fixtures::HugeWord()) << "leaving an untouched cell must not repair it";
}

// ---- The typed character rules ----------------------------------------------------

class TypingTest : public EditorFixture {};

TEST_F(TypingTest, EachCellTakesOnlyItsCharacters) {
  Open(7, 'I', IntradayRecords(2));
  enum Result { Taken, Refused, Ignored };
  struct Case {
    int column;
    std::string before;
    char ch;
    Result result;
  };
  const std::vector<Case> cases = {
      {0, "4", ':', Refused},        {0, "4", '.', Refused},       {0, "4/1", '/', Taken},
      {0, "4/1/10", '/', Taken},     {0, "4/1/10/", '/', Refused}, {0, "12/12/12", '1', Ignored},
      {0, "12/12/12", ':', Ignored}, {1, "9", '/', Refused},       {1, "9", '.', Refused},
      {1, "9:3:1", ':', Taken},      {1, "9:3:1:", ':', Refused},  {2, "1.2", '.', Taken},
      {2, "1.2.3", '.', Refused},    {2, "1", ':', Taken},         {2, "1234567", '8', Taken},
      {2, "12345678", '9', Ignored}, {2, "", '/', Taken},
  };
  for (const Case& c : cases) {
    PutCursor(0, c.column);
    state_.editText = c.before;
    state_.caretPosition = static_cast<int16_t>(c.before.size());
    const EditOutcome outcome = TypeCharacter(state_, static_cast<unsigned char>(c.ch), 1);
    const std::string what = c.before + " + " + c.ch;
    EXPECT_EQ(outcome.beep, c.result == Refused) << what;
    EXPECT_EQ(state_.editText, c.result == Taken ? c.before + c.ch : c.before) << what;
  }
}

TEST_F(TypingTest, OtherCharactersAreIgnoredWithoutABeep) {
  OpenDaily(2);
  PutCursor(0, 1);
  for (char ch : std::string("-a ,+")) {
    const EditOutcome outcome = TypeCharacter(state_, static_cast<unsigned char>(ch), 1);
    EXPECT_FALSE(outcome.beep) << ch;
  }
  EXPECT_EQ(state_.editText, "10.00") << "a minus sign cannot be typed";
}

TEST_F(TypingTest, CharactersGoInAtTheCaretAndBackspaceAndDeleteRemoveAroundIt) {
  OpenDaily(2);
  PutCursor(0, 1);  // "10.00"
  state_.caretPosition = 2;
  Type("5");
  EXPECT_EQ(state_.editText, "105.00");
  EXPECT_EQ(state_.caretPosition, 3);
  TypeCharacter(state_, 8, 2);
  EXPECT_EQ(state_.editText, "1.00");
  EXPECT_EQ(state_.caretPosition, 1);
  EXPECT_EQ(EditDeleteChar(state_), 1);
  EXPECT_EQ(state_.editText, "100");
  state_.caretPosition = 3;
  EXPECT_EQ(EditDeleteChar(state_), 0) << "nothing after the caret";
  state_.caretPosition = 0;
  EXPECT_EQ(EditBackspace(state_), 0) << "nothing before the caret";
  EXPECT_EQ(state_.modified, 1);
}

TEST_F(TypingTest, WithoutACurrentCellTypingIsRefusedWithABeep) {
  OpenDaily(3);
  ClickGutter(1);
  ASSERT_FALSE(HasCurrentCell(state_));
  EXPECT_TRUE(TypeCharacter(state_, '5', 1).beep);
  EXPECT_EQ(EditBackspace(state_), 0);
  EXPECT_EQ(EditDeleteChar(state_), 0);
}

// ---- The new-record row -------------------------------------------------------------

class NewRecordRowTest : public EditorFixture {};

TEST_F(NewRecordRowTest, EnteringEveryFieldAppendsOneRecordAndMovesTheRowDown) {
  OpenDaily(3);
  PutCursor(3, 0);
  for (const char* text : {"11/1/10", "20", "22.5", "19", "21", "5000", "7"}) {
    Type(text);
    Press(EditorKey::Next);
  }
  EXPECT_EQ(DataRecordsOnDisk(), 4);
  EXPECT_EQ(state_.session.layout.recordCount, 5);
  EXPECT_EQ(At(state_), (Cursor{4, 0})) << "the cursor goes on to the new new-record row";
  EXPECT_EQ(StoredWord(3, 0), MbfWord(StoredDate(2010, 1, 11)));
  EXPECT_EQ(StoredWord(3, 2), MbfWord(22.5f));
  EXPECT_EQ(StoredWord(3, 6), MbfWord(7.0f));
  for (const PendingValue& pending : state_.session.pending) EXPECT_EQ(pending.set, 0);
  ASSERT_EQ(CloseEditorSession(&state_.session), 1);
  EXPECT_EQ(HeaderCountOnDisk(), 5);
}

TEST_F(NewRecordRowTest, APartlyTypedRecordStaysPendingAndIsNotWritten) {
  OpenDaily(3);
  PutCursor(3, 0);
  for (const char* text : {"11/1/10", "20", "22.5"}) {
    Type(text);
    Press(EditorKey::Next);
  }
  Press(EditorKey::Up);
  EXPECT_EQ(DataRecordsOnDisk(), 3);
  EXPECT_EQ(state_.session.pending[1].set, 1);
  EXPECT_EQ(state_.session.pending[3].set, 0);
  Press(EditorKey::Down);
  EXPECT_EQ(At(state_), (Cursor{3, 3}));
  state_.currentColumn = 1;
  LoadCellEdit(state_);
  EXPECT_EQ(state_.editText, "20.00") << "the pending value shows when the cell is loaded again";
  ASSERT_EQ(CloseEditorSession(&state_.session), 1);
  EXPECT_EQ(DataRecordsOnDisk(), 3);
  EXPECT_EQ(HeaderCountOnDisk(), 4);
}

// ---- Keys -----------------------------------------------------------------------------

class KeyTest : public EditorFixture {};

TEST_F(KeyTest, MovesGoWhereTheKeyTableSays) {
  OpenDaily(3);  // record 3 is the new-record row
  struct Case {
    Cursor from;
    EditorKey key;
    Cursor to;
  };
  const std::vector<Case> cases = {
      {{2, 3}, EditorKey::Next, {2, 4}},  {{1, 6}, EditorKey::Next, {2, 0}},
      {{2, 6}, EditorKey::Right, {3, 0}}, {{3, 6}, EditorKey::Right, {3, 0}},
      {{3, 6}, EditorKey::Next, {3, 0}},  {{2, 0}, EditorKey::Left, {1, 6}},
      {{0, 0}, EditorKey::Left, {0, 6}},  {{1, 4}, EditorKey::Left, {1, 3}},
      {{0, 2}, EditorKey::Up, {0, 2}},    {{2, 2}, EditorKey::Up, {1, 2}},
      {{2, 5}, EditorKey::Down, {3, 5}},  {{3, 5}, EditorKey::Down, {3, 5}},
  };
  for (const Case& c : cases) {
    PutCursor(c.from.record, c.from.column);
    if (c.key == EditorKey::Left) state_.caretPosition = 0;
    PressKey(state_, c.key);
    EXPECT_EQ(At(state_), c.to) << "from " << c.from << " key " << static_cast<int>(c.key);
  }
}

TEST_F(KeyTest, LeftAndRightInsideTheTextMoveOnlyTheCaret) {
  OpenDaily(3);
  PutCursor(1, 1);  // "11.00"
  Press(EditorKey::Left, 2);
  EXPECT_EQ(At(state_), (Cursor{1, 1}));
  EXPECT_EQ(state_.caretPosition, 3);
  Press(EditorKey::Right);
  EXPECT_EQ(state_.caretPosition, 4);
  Press(EditorKey::Right, 2);
  EXPECT_EQ(At(state_), (Cursor{1, 2})) << "at the end Right goes to the next cell";
}

TEST_F(KeyTest, WithoutACurrentCellOnlyUpAndDownMoveTheRow) {
  OpenDaily(3);
  ClickGutter(1);
  for (EditorKey key : {EditorKey::Left, EditorKey::Right, EditorKey::Next}) {
    PressKey(state_, key);
    EXPECT_EQ(At(state_), (Cursor{1, -1}));
  }
  Press(EditorKey::Down);
  EXPECT_EQ(At(state_), (Cursor{2, -1}));
  Press(EditorKey::Up, 2);
  EXPECT_EQ(At(state_), (Cursor{0, -1}));
}

TEST_F(KeyTest, EscapeDiscardsWhatWasTyped) {
  OpenDaily(3);
  PutCursor(1, 2);
  Type("99");
  Press(EditorKey::Escape);
  EXPECT_EQ(state_.editText, "13.00");
  EXPECT_EQ(state_.modified, 0);
  Press(EditorKey::Next);
  EXPECT_EQ(StoredWord(1, 2), MbfWord(13.0f));
}

TEST_F(KeyTest, TheViewFollowsTheCursorOneRowAtATime) {
  OpenDaily(30);
  PutCursor(9, 0);  // the last whole row
  Press(EditorKey::Down);
  EXPECT_EQ(state_.topRecord, 1);
  Press(EditorKey::Down);
  EXPECT_EQ(state_.topRecord, 2);
  state_.topRecord = 5;
  PutCursor(5, 0);
  Press(EditorKey::Up);
  EXPECT_EQ(state_.topRecord, 4);
  state_.firstColumn = 3;
  PutCursor(4, 3);
  state_.caretPosition = 0;
  Press(EditorKey::Left);
  EXPECT_EQ(state_.firstColumn, 2) << "a column left of the view becomes the first column";
  PutCursor(4, 6);
  Press(EditorKey::Next);
  EXPECT_EQ(state_.firstColumn, 0);
}

// ---- Scroll requests -----------------------------------------------------------------------

class ScrollTest : public EditorFixture {};

TEST_F(ScrollTest, VerticalRequestsMoveTheTopRecordWithinItsBounds) {
  OpenDaily(20);  // record count 21, 10 rows available
  using R = ScrollRequest;
  struct Case {
    int32_t top;
    R request;
    int thumb;
    int32_t expected;
  };
  const std::vector<Case> cases = {
      {0, R::LineUp, 0, 0},     {5, R::LineUp, 0, 4},     {18, R::LineDown, 0, 19},
      {19, R::LineDown, 0, 19}, {5, R::PageUp, 0, 0},     {15, R::PageUp, 0, 5},
      {0, R::PageDown, 0, 10},  {10, R::PageDown, 0, 20}, {15, R::PageDown, 0, 9},
      {19, R::PageDown, 0, 19}, {11, R::PageDown, 0, 20}, {3, R::ThumbPosition, 7, 7},
      {3, R::ThumbTrack, 7, 3}, {3, R::EndScroll, 0, 3},  {12, R::Top, 0, 0},
      {0, R::Bottom, 0, 10},
  };
  for (const Case& c : cases) {
    state_.topRecord = c.top;
    EXPECT_EQ(VerticalScrollTarget(state_, static_cast<int>(c.request), c.thumb), c.expected)
        << "top " << c.top << " request " << static_cast<int>(c.request);
  }
}

TEST_F(ScrollTest, HorizontalRequestsMoveTheFirstColumnUpToTheLastField) {
  OpenDaily(3);
  using R = ScrollRequest;
  struct Case {
    int16_t first;
    R request;
    int thumb;
    int16_t expected;
  };
  const std::vector<Case> cases = {
      {0, R::LineUp, 0, 0}, {3, R::PageUp, 0, 2}, {5, R::LineDown, 0, 6},      {6, R::PageDown, 0, 6},
      {1, R::Top, 0, 0},    {1, R::Bottom, 0, 6}, {1, R::ThumbPosition, 4, 4}, {1, R::ThumbTrack, 4, 1},
  };
  for (const Case& c : cases) {
    state_.firstColumn = c.first;
    EXPECT_EQ(HorizontalScrollTarget(state_, static_cast<int>(c.request), c.thumb), c.expected)
        << "first " << c.first << " request " << static_cast<int>(c.request);
  }
}

// ---- The mouse ------------------------------------------------------------------------------

class MouseTest : public EditorFixture {};

TEST_F(MouseTest, GutterClicksToggleRecordsInAnAscendingSelection) {
  OpenDaily(5);
  ClickGutter(3);
  EXPECT_EQ(At(state_), (Cursor{3, -1})) << "the cursor leaves the cells";
  ClickGutter(0);
  ClickGutter(4);
  EXPECT_EQ(Selection(), (std::vector<int32_t>{0, 3, 4}));
  ClickGutter(3);
  EXPECT_EQ(Selection(), (std::vector<int32_t>{0, 4}));
  ClickGutter(5);  // the new-record row
  ClickGutter(8);  // below it
  EXPECT_EQ(Selection(), (std::vector<int32_t>{0, 4}));
  EXPECT_EQ(At(state_), (Cursor{3, -1}));
}

TEST_F(MouseTest, CellClicksPutTheCaretUnderThePointer) {
  OpenDaily(5);
  struct Case {
    int row, visibleColumn, xInColumn;
    Cursor cell;
    int caret;
  };
  const std::vector<Case> cases = {
      {0, 0, 30, {0, 0}, (30 - TextIndent) / kCharWidth},  // "04/01/10" left-aligned
      {0, 0, 95, {0, 0}, 8},                               // past the text: its end
      {1, 0, 1, {1, 0}, 0},
      {1, 2, 60, {1, 2}, 0},  // "13.00": 5 characters from the right edge
      {1, 2, 90, {1, 2}, 4},  // 10 pixels from the right edge: one character
      {2, 5, 99, {2, 5}, 7},  // "3000.00"
  };
  for (const Case& c : cases) {
    ClickCell(c.row, c.visibleColumn, c.xInColumn);
    EXPECT_EQ(At(state_), c.cell) << c.row << "," << c.visibleColumn << "+" << c.xInColumn;
    EXPECT_EQ(state_.caretPosition, c.caret) << c.row << "," << c.visibleColumn << "+" << c.xInColumn;
  }
  EXPECT_TRUE(Selection().empty()) << "cell clicks do not select";
}

TEST_F(MouseTest, ClicksOutsideTheRecordsLeaveTheCursor) {
  OpenDaily(5);
  PutCursor(2, 2);
  ClickCell(10, 0);  // below the whole rows
  ClickCell(7, 0);   // below the new-record row
  state_.firstColumn = 3;
  ClickCell(0, 4);  // column 7: beyond the last field
  EXPECT_EQ(At(state_), (Cursor{2, 2}));
  ClickCell(5, 0);  // the new-record row
  EXPECT_EQ(At(state_), (Cursor{5, 3}));
}

TEST_F(MouseTest, AClickCommitsFirstAndARefusedTextKeepsTheCursor) {
  OpenDaily(5);
  PutCursor(0, 0);
  TypeCharacter(state_, 8, 8);
  Type("99/1/10");
  ClickCell(3, 1);
  ClickGutter(3);
  EXPECT_EQ(At(state_), (Cursor{0, 0}));
  EXPECT_TRUE(Selection().empty());
  TypeCharacter(state_, 8, 7);
  Type("9/1/10");
  ClickGutter(3);
  EXPECT_EQ(Selection(), (std::vector<int32_t>{3}));
  EXPECT_EQ(StoredWord(0, 0), MbfWord(StoredDate(2010, 1, 9)));
}

// ---- The cursor after commands ---------------------------------------------------------------

class CommandCursorTest : public EditorFixture {};

TEST_F(CommandCursorTest, GoToRecordMovesTopAndCursorAndBringsTheFieldIntoView) {
  OpenDaily(30);
  PutCursor(0, 5);
  ASSERT_TRUE(GoToRecord(state_, 12));
  EXPECT_EQ(state_.topRecord, 12);
  EXPECT_EQ(At(state_), (Cursor{12, 5}));
  EXPECT_EQ(state_.editText, "13000.00");
  state_.firstColumn = 4;
  ASSERT_TRUE(GoToRecord(state_, 20, 2));
  EXPECT_EQ(At(state_), (Cursor{20, 2}));
  EXPECT_EQ(state_.firstColumn, 2);
  ASSERT_TRUE(GoToRecord(state_, 21, 5));
  EXPECT_EQ(state_.firstColumn, 2) << "a field right of the first column leaves the view";
  for (auto [record, column] : std::vector<std::pair<int32_t, int>>{{-1, -1}, {31, -1}, {5, 7}}) {
    EXPECT_FALSE(GoToRecord(state_, record, column)) << record << "," << column;
    EXPECT_EQ(At(state_), (Cursor{21, 5}));
  }
  EXPECT_TRUE(GoToRecord(state_, 30)) << "the new-record row";
}

TEST_F(CommandCursorTest, AfterADeletionTheCursorStaysWithinTheRecords) {
  OpenDaily(10);
  PutCursor(9, 1);
  ClickGutter(8);
  ClickGutter(9);
  state_.currentColumn = 1;
  fixtures::ScriptedInteraction yes({true});
  ASSERT_EQ(EditorDeleteSelection(&state_.session, yes), 1);
  SettleAfterDeletion(state_);
  EXPECT_EQ(NewRecordRow(state_), 8);
  EXPECT_EQ(At(state_), (Cursor{8, 1})) << "moved onto the new-record row";
  EXPECT_EQ(state_.editText, "");
}

TEST_F(CommandCursorTest, AfterAnInsertionTheCursorFollowsItsData) {
  OpenDaily(5);
  PutCursor(2, 1);
  ASSERT_EQ(EditorInsertRecord(&state_.session, state_.currentRecord, ui_), 1);
  FollowInsertedRecord(state_);
  EXPECT_EQ(At(state_), (Cursor{3, 1}));
  LoadCellEdit(state_);
  EXPECT_EQ(state_.editText, "12.00");
  EXPECT_EQ(DataRecordsOnDisk(), 6);
}

TEST_F(CommandCursorTest, AfterTruncationTheCursorAndViewGoBackToTheStart) {
  OpenDaily(30);
  state_.topRecord = 10;
  state_.firstColumn = 1;
  PutCursor(12, 3);
  ClickGutter(5);  // record 15
  ASSERT_EQ(EditorTruncate(&state_.session, 1, 0, ui_), 1);
  ResetAfterTruncateOrSplit(state_);
  EXPECT_EQ(NewRecordRow(state_), 16);
  EXPECT_EQ(state_.topRecord, 0);
  EXPECT_EQ(At(state_), (Cursor{0, 0}));
  EXPECT_EQ(state_.firstColumn, 1);
  EXPECT_EQ(state_.editText, "04/01/10");
  EXPECT_TRUE(Selection().empty());
}

}  // namespace
}  // namespace editor_test
