#include "editor/editor_model.h"

#include <algorithm>
#include <cstdlib>

#include "primitives/list.h"

namespace {

constexpr const char* kCannotAddToSelection = "Unable to add record to selection";
constexpr const char* kCannotRemoveFromSelection = "Unable to remove item from selection";

int LastField(const EditorState& state) {
  return FieldCount(state) - 1;
}

void ClearEditText(EditorState& state) {
  state.editText.clear();
  state.caretPosition = 0;
  state.modified = 0;
}

// Keeps the current record in view: above the top it becomes the top; below
// the last whole row the view moves down one row (a move goes one row at a
// time). A current column left of the view becomes the first column.
void ScrollToCursor(EditorState& state) {
  if (state.currentRecord < state.topRecord) {
    state.topRecord = state.currentRecord;
  } else if (IsMeasured(state) && state.currentRecord >= state.topRecord + RowsAvailable(state)) {
    ++state.topRecord;
  }
  if (HasCurrentCell(state) && state.currentColumn < state.firstColumn) {
    state.firstColumn = static_cast<int16_t>(state.currentColumn);
  }
}

// Makes (record, column) current and loads it. A cell that cannot be loaded
// leaves the cursor where it was (reloaded). True when the cursor moved.
bool SetCursor(EditorState& state, int32_t record, uint16_t column) {
  const int32_t previousRecord = state.currentRecord;
  const uint16_t previousColumn = state.currentColumn;
  state.currentRecord = record;
  state.currentColumn = column;
  if (column != kNoColumn && LoadCellEdit(state) == 0) {
    state.currentRecord = previousRecord;
    state.currentColumn = previousColumn;
    LoadCellEdit(state);
    return false;
  }
  if (column == kNoColumn) ClearEditText(state);
  return true;
}

// The cell after the current one: the next column, or column 0 of the next
// row from the last field (of the same row in the new-record row).
void NextCell(const EditorState& state, int32_t* record, uint16_t* column) {
  *record = state.currentRecord;
  *column = static_cast<uint16_t>(state.currentColumn + 1);
  if (state.currentColumn >= LastField(state)) {
    *column = 0;
    if (state.currentRecord < NewRecordRow(state)) ++*record;
  }
}

void PreviousCell(const EditorState& state, int32_t* record, uint16_t* column) {
  *record = state.currentRecord;
  if (state.currentColumn > 0) {
    *column = static_cast<uint16_t>(state.currentColumn - 1);
    return;
  }
  *column = static_cast<uint16_t>(std::max(LastField(state), 0));
  if (state.currentRecord > 0) --*record;
}

// A move that leaves the current cell: commit (a refusal cancels it), append
// a complete pending record, then go to the cell `target` picks, which is
// decided after the append (an appended record moves the new-record row).
template <class Target>
EditOutcome LeaveCell(EditorState& state, Target target) {
  EditOutcome outcome;
  bool appended = false;
  if (!CommitBeforeCommand(state, &appended)) return outcome;
  outcome.repaint = appended;
  int32_t record = state.currentRecord;
  uint16_t column = state.currentColumn;
  if (!target(&record, &column)) return outcome;
  SetCursor(state, record, column);
  ScrollToCursor(state);
  outcome.repaint = true;
  outcome.cursorMoved = true;
  return outcome;
}

EditOutcome MoveCaret(EditorState& state, int delta) {
  state.caretPosition = static_cast<int16_t>(state.caretPosition + delta);
  EditOutcome outcome;
  outcome.cursorMoved = true;
  return outcome;
}

bool ToggleSelection(EditorState& state, int32_t record, UserInteraction& ui) {
  RecordSelection* selection = state.session.selection.get();
  if (IsInList(selection, &record, sizeof record, EditRecordNumberCompare)) {
    if (DeleteItem(selection, &record, sizeof record, EditRecordNumberCompare) == 0) {
      ui.ShowNotice(kCannotRemoveFromSelection);
      return false;
    }
    return true;
  }
  if (AddNewItem(selection, &record, sizeof record, EditRecordNumberCompare) == 0) {
    ui.ShowNotice(kCannotAddToSelection);
    return false;
  }
  return true;
}

// The caret index under a click at x in a loaded cell.
int16_t CaretUnderClick(const EditorState& state, int visibleColumn, int x) {
  const int length = static_cast<int>(state.editText.size());
  const int width = std::max<int>(state.characterWidth, 1);
  int index;
  if (IsLeftAligned(FieldTypeOf(state, state.currentColumn))) {
    const int left = GutterWidth + TextIndent + visibleColumn * ColumnWidth;
    index = std::clamp((x - left) / width, 0, length);
  } else {
    const int right = GutterWidth + (visibleColumn + 1) * ColumnWidth;
    index = std::clamp(length - (right - x) / width, 0, length);
  }
  return static_cast<int16_t>(index);
}

EditOutcome ClickGutter(EditorState& state, const GridHit& hit, UserInteraction& ui) {
  EditOutcome outcome;
  if (hit.record >= NewRecordRow(state)) return outcome;
  if (!CommitBeforeCommand(state)) return outcome;
  state.currentRecord = hit.record;
  state.currentColumn = kNoColumn;
  ClearEditText(state);
  ToggleSelection(state, hit.record, ui);
  outcome.repaint = true;
  outcome.cursorMoved = true;
  return outcome;
}

EditOutcome ClickCell(EditorState& state, const GridHit& hit) {
  EditOutcome outcome;
  bool appended = false;
  if (!CommitBeforeCommand(state, &appended)) return outcome;
  outcome.repaint = appended;
  if (hit.row >= RowsAvailable(state) || hit.column >= FieldCount(state) || hit.record < 0) return outcome;
  if (!SetCursor(state, hit.record, static_cast<uint16_t>(hit.column))) return outcome;
  state.caretPosition = CaretUnderClick(state, hit.visibleColumn, hit.x);
  outcome.repaint = true;
  outcome.cursorMoved = true;
  return outcome;
}

}  // namespace

int FieldCount(const EditorState& state) {
  return ColumnCount(state.session);
}

int32_t NewRecordRow(const EditorState& state) {
  return DataRecordCount(state.session);
}

bool IsMeasured(const EditorState& state) {
  return state.titleHeight != kNotMeasured && state.rowHeight != kNotMeasured && state.rowHeight > 0;
}

bool HasCurrentCell(const EditorState& state) {
  return state.currentColumn != kNoColumn;
}

FieldType FieldTypeOf(const EditorState& state, int column) {
  if (column < 0 || column >= kMaxFields) return FieldType::None;
  return state.session.layout.fieldTypes[column];
}

bool IsLeftAligned(FieldType type) {
  return type == FieldType::Date || type == FieldType::Time;
}

int VisibleColumns(const EditorState& state) {
  const int fit = std::max((state.clientWidth - GutterWidth) / ColumnWidth, 0);
  return std::clamp(FieldCount(state) - state.firstColumn, 0, fit);
}

int RowsAvailable(const EditorState& state) {
  if (!IsMeasured(state)) return 0;
  return std::max((state.clientHeight - state.titleHeight) / state.rowHeight, 0);
}

int RecordRowsToFrame(const EditorState& state) {
  const int rows = RowsAvailable(state);
  const int32_t recordCount = state.session.layout.recordCount;
  if (state.topRecord + rows >= recordCount) return std::max(recordCount - 1 - state.topRecord, 0);
  return rows;
}

int RowTop(const EditorState& state, int row) {
  return row * state.rowHeight + state.titleHeight;
}

int TitleX(int visibleColumn, int titleWidth) {
  return GutterWidth + ColumnWidth * visibleColumn + (ColumnWidth - titleWidth) / 2;
}

int CellTextX(FieldType type, int visibleColumn, int textWidth) {
  if (IsLeftAligned(type)) return GutterWidth + TextIndent + visibleColumn * ColumnWidth;
  return GutterWidth + (visibleColumn + 1) * ColumnWidth - textWidth;
}

GridLines ComputeGridLines(const EditorState& state, int rowsFramed) {
  GridLines lines;
  const int shown = std::max(FieldCount(state) - state.firstColumn, 0);
  lines.verticalBottom = state.titleHeight + state.rowHeight * rowsFramed;
  for (int i = 0; i < shown; ++i) lines.verticalX.push_back((i + 1) * ColumnWidth + GutterWidth + TextIndent);
  lines.horizontalLeft = GutterWidth + TextIndent;
  lines.horizontalRight = lines.horizontalLeft + shown * ColumnWidth;
  for (int k = 0; k <= rowsFramed; ++k) lines.horizontalY.push_back(state.titleHeight + state.rowHeight * k);
  return lines;
}

bool EditCellVisible(const EditorState& state) {
  return HasCurrentCell(state) && IsMeasured(state) && state.currentColumn >= state.firstColumn &&
         state.currentRecord >= state.topRecord &&
         state.currentRecord < state.topRecord + RowsAvailable(state);
}

CaretPlacement PlaceCaretAt(const EditorState& state) {
  CaretPlacement caret;
  if (!EditCellVisible(state)) return caret;
  const int visibleColumn = state.currentColumn - state.firstColumn;
  const int length = static_cast<int>(state.editText.size());
  caret.visible = true;
  caret.y = RowTop(state, state.currentRecord - state.topRecord);
  if (IsLeftAligned(FieldTypeOf(state, state.currentColumn))) {
    caret.x =
        visibleColumn * ColumnWidth + GutterWidth + TextIndent + state.caretPosition * state.characterWidth;
  } else {
    caret.x = (visibleColumn + 1) * ColumnWidth + GutterWidth -
              (length - state.caretPosition) * state.characterWidth;
  }
  return caret;
}

GridHit HitTest(const EditorState& state, int x, int y) {
  GridHit hit;
  if (!IsMeasured(state) || y <= state.titleHeight) return hit;
  hit.x = x;
  hit.row = (y - state.titleHeight) / state.rowHeight;
  hit.record = state.topRecord + hit.row;
  if (x <= GutterWidth) {
    hit.area = HitArea::Gutter;
    return hit;
  }
  hit.area = HitArea::Cell;
  hit.visibleColumn = (x - GutterWidth) / ColumnWidth;
  hit.column = hit.visibleColumn + state.firstColumn;
  return hit;
}

int LoadCellEdit(EditorState& state) {
  if (!HasCurrentCell(state)) return 0;
  const int column = state.currentColumn;
  if (column >= FieldCount(state) || state.currentRecord < 0 || state.currentRecord > NewRecordRow(state)) {
    return 0;
  }
  const FieldType type = FieldTypeOf(state, column);
  if (state.currentRecord == NewRecordRow(state)) {
    const PendingValue& pending = state.session.pending[column];
    if (pending.set == 0) {
      ClearEditText(state);
      return 1;
    }
    state.editText = FormatCellText(type, pending.value);
  } else {
    const float value = ReadField(state.session.file.Get(), state.currentRecord + 1, column,
                                  state.session.masterRecord.RecordLength());
    if (value == -1.0f) return 0;
    state.editText = FormatCellText(type, value);
  }
  state.caretPosition = static_cast<int16_t>(state.editText.size());
  state.modified = 0;
  return 1;
}

int CommitCellEdit(EditorState& state) {
  if (!HasCurrentCell(state) || state.modified == 0) return 1;
  const int column = state.currentColumn;
  const FieldType type = FieldTypeOf(state, column);
  EditorSession& session = state.session;
  if (type == FieldType::Date || type == FieldType::Time) {
    const CellCommit result = CommitCellText(&session, state.currentRecord, column, state.editText.c_str());
    if (result != CellCommit::Stored && result != CellCommit::Pending) return 0;
  } else {
    // Numbers never refuse their text; a value loaded from the file may
    // hold more characters than typing allows, so it is converted here
    // rather than checked as typed text.
    if (column >= FieldCount(state) || state.currentRecord < 0 || state.currentRecord > NewRecordRow(state)) {
      return 0;
    }
    const float value = static_cast<float>(std::strtod(state.editText.c_str(), nullptr));
    if (state.currentRecord < NewRecordRow(state)) {
      if (WriteField(session.file.Get(), value, state.currentRecord + 1, column,
                     session.masterRecord.RecordLength()) == 0) {
        return 0;
      }
    } else {
      session.pending[column] = PendingValue{value, 1};
    }
  }
  state.modified = 0;
  return 1;
}

int CommitNewRecord(EditorState& state) {
  return AppendPendingRecord(&state.session);
}

int EditInsertChar(EditorState& state, char ch) {
  if (!HasCurrentCell(state)) return 0;
  switch (ClassifyTypedChar(FieldTypeOf(state, state.currentColumn), state.editText, ch)) {
    case TypedChar::Ignored:
      return 1;
    case TypedChar::Refused:
      return 0;
    case TypedChar::Accepted:
      break;
  }
  state.caretPosition = static_cast<int16_t>(std::clamp<int>(state.caretPosition, 0, state.editText.size()));
  state.editText.insert(static_cast<size_t>(state.caretPosition), 1, ch);
  ++state.caretPosition;
  state.modified = 1;
  return 1;
}

int EditBackspace(EditorState& state) {
  if (!HasCurrentCell(state) || state.caretPosition <= 0) return 0;
  state.caretPosition = static_cast<int16_t>(std::min<int>(state.caretPosition, state.editText.size()));
  if (state.caretPosition == 0) return 0;
  --state.caretPosition;
  state.editText.erase(static_cast<size_t>(state.caretPosition), 1);
  state.modified = 1;
  return 1;
}

int EditDeleteChar(EditorState& state) {
  if (!HasCurrentCell(state) || state.caretPosition < 0 ||
      static_cast<size_t>(state.caretPosition) >= state.editText.size()) {
    return 0;
  }
  state.editText.erase(static_cast<size_t>(state.caretPosition), 1);
  state.modified = 1;
  return 1;
}

bool CommitBeforeCommand(EditorState& state, bool* appended) {
  if (CommitCellEdit(state) == 0) return false;
  const bool added = CommitNewRecord(state) != 0;
  if (appended != nullptr) *appended = added;
  return true;
}

EditOutcome PressKey(EditorState& state, EditorKey key) {
  const bool cell = HasCurrentCell(state);
  const int length = static_cast<int>(state.editText.size());
  switch (key) {
    case EditorKey::Left:
      if (!cell) return {};
      if (state.caretPosition > 0) return MoveCaret(state, -1);
      return LeaveCell(state, [&](int32_t* record, uint16_t* column) {
        PreviousCell(state, record, column);
        return true;
      });
    case EditorKey::Right:
      if (!cell) return {};
      if (state.caretPosition < length) return MoveCaret(state, +1);
      [[fallthrough]];
    case EditorKey::Next:
      if (!cell) return {};
      return LeaveCell(state, [&](int32_t* record, uint16_t* column) {
        NextCell(state, record, column);
        return true;
      });
    case EditorKey::Up:
      return LeaveCell(state, [&](int32_t* record, uint16_t*) {
        if (state.currentRecord <= 0) return false;
        *record = state.currentRecord - 1;
        return true;
      });
    case EditorKey::Down:
      return LeaveCell(state, [&](int32_t* record, uint16_t*) {
        if (state.currentRecord >= NewRecordRow(state)) return false;
        *record = state.currentRecord + 1;
        return true;
      });
    case EditorKey::Escape: {
      LoadCellEdit(state);
      EditOutcome outcome;
      outcome.repaint = true;
      outcome.cursorMoved = true;
      return outcome;
    }
  }
  return {};
}

EditOutcome TypeCharacter(EditorState& state, unsigned code, int repeat) {
  EditOutcome outcome;
  switch (code) {
    case 8:
      for (int i = 0; i < std::max(repeat, 1); ++i) EditBackspace(state);
      outcome.repaint = true;
      outcome.cursorMoved = true;
      return outcome;
    case 9:
    case 10:
    case 13:
      return PressKey(state, EditorKey::Next);
    default:
      break;
  }
  if (code < '.' || code > ':') return outcome;
  if (EditInsertChar(state, static_cast<char>(code)) == 0) {
    outcome.beep = true;
    return outcome;
  }
  outcome.repaint = true;
  outcome.cursorMoved = true;
  return outcome;
}

EditOutcome ClickAt(EditorState& state, int x, int y, UserInteraction& ui) {
  const GridHit hit = HitTest(state, x, y);
  switch (hit.area) {
    case HitArea::Title:
      return {};
    case HitArea::Gutter:
      return ClickGutter(state, hit, ui);
    case HitArea::Cell:
      return ClickCell(state, hit);
  }
  return {};
}

int32_t VerticalScrollTarget(const EditorState& state, int request, int thumb) {
  const int32_t recordCount = state.session.layout.recordCount;
  const int rows = RowsAvailable(state);
  int32_t top = state.topRecord;
  switch (static_cast<ScrollRequest>(request)) {
    case ScrollRequest::LineUp:
      if (top > 0) --top;
      break;
    case ScrollRequest::LineDown:
      if (top < recordCount - 2) ++top;
      break;
    case ScrollRequest::PageUp:
      if (top > 0) top = std::max(top - rows, 0);
      break;
    case ScrollRequest::PageDown:
      if (top < recordCount - 2) {
        top += rows;
        if (top > recordCount) top = std::max(recordCount - rows - 2, 0);
      }
      break;
    case ScrollRequest::ThumbPosition:
      top = thumb;
      break;
    case ScrollRequest::Top:
      top = 0;
      break;
    case ScrollRequest::Bottom:
      top = std::max(recordCount - rows - 1, 0);
      break;
    default:
      break;
  }
  // A top beyond the new-record row would show that row out of its place.
  return std::clamp(top, 0, std::max(recordCount - 1, 0));
}

int16_t HorizontalScrollTarget(const EditorState& state, int request, int thumb) {
  const int fields = FieldCount(state);
  int first = state.firstColumn;
  switch (static_cast<ScrollRequest>(request)) {
    case ScrollRequest::LineUp:
    case ScrollRequest::PageUp:
      if (first > 0) --first;
      break;
    case ScrollRequest::LineDown:
    case ScrollRequest::PageDown:
      if (first < fields - 1) ++first;
      break;
    case ScrollRequest::ThumbPosition:
      first = thumb;
      break;
    case ScrollRequest::Top:
      first = 0;
      break;
    case ScrollRequest::Bottom:
      first = std::max(fields - 1, 0);
      break;
    default:
      break;
  }
  return static_cast<int16_t>(std::clamp(first, 0, std::max(fields - 1, 0)));
}

bool GoToRecord(EditorState& state, int32_t record, int column) {
  if (record < 0 || record > NewRecordRow(state) || column >= FieldCount(state)) return false;
  state.topRecord = record;
  state.currentRecord = record;
  if (column >= 0) {
    state.currentColumn = static_cast<uint16_t>(column);
    if (state.firstColumn > column) state.firstColumn = static_cast<int16_t>(column);
  }
  if (HasCurrentCell(state)) {
    if (LoadCellEdit(state) == 0) ClearEditText(state);
  } else {
    ClearEditText(state);
  }
  return true;
}

void ResetAfterTruncateOrSplit(EditorState& state) {
  RereadRecordCount(&state.session);
  state.topRecord = 0;
  state.currentRecord = 0;
  state.currentColumn = 0;
  if (LoadCellEdit(state) == 0) ClearEditText(state);
}

void SettleAfterDeletion(EditorState& state) {
  if (state.currentRecord > NewRecordRow(state)) state.currentRecord = NewRecordRow(state);
  if (state.topRecord > NewRecordRow(state)) state.topRecord = NewRecordRow(state);
  if (HasCurrentCell(state) && LoadCellEdit(state) == 0) ClearEditText(state);
}

void FollowInsertedRecord(EditorState& state) {
  ++state.currentRecord;
}
