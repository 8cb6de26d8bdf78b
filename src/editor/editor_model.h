// The record editor's grid without its window: the per-window EditorState,
// the layout arithmetic (which rows and columns show, where texts, grid lines
// and the caret go, which cell a click hits), cell editing, the cursor moves
// of the keys and the mouse, the scroll requests, and the cursor and view
// after the record commands. The window (editor_window.cpp) paints from this
// state and turns its messages into these calls; nothing here needs a
// display, so all of it is tested natively.
//
// Record numbers count data records from 0 (data record r is file record
// r + 1); the new-record row is record count - 1, where the record count
// includes the header record.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "store/editor_session.h"
#include "store/user_interaction.h"

// Layout constants, in pixels.
inline constexpr int ColumnWidth = 100;     // every field column
inline constexpr int GutterWidth = 20;      // the selection gutter left of the first column
inline constexpr int TitleFontHeight = 30;  // requested height of the title font
inline constexpr int CellFontHeight = 20;   // requested height of the cell font
inline constexpr int TextIndent = 2;  // left-aligned text and the grid's left edge, from a column's start
inline constexpr int GridTop = 2;     // top end of the vertical grid lines

// currentColumn when no cell is current (after a click in the gutter).
inline constexpr uint16_t kNoColumn = 0xFFFF;
// titleHeight and rowHeight until the first paint has measured the fonts.
inline constexpr uint16_t kNotMeasured = 0xFFFF;

// Bits of EditorState::flags.
inline constexpr uint8_t kCaretCreated = 0x01;
inline constexpr uint8_t kHasFocus = 0x02;

// One editor window's state. The session owns the open data file, the
// selection and the pending new-record values; the window owns the state.
struct EditorState {
  EditorSession session;  // file name, master record, layout, header start, pending record, selection, file
  int16_t clientWidth = 1;
  int16_t clientHeight = 1;
  uint8_t flags = 0;
  // The text of the cell being edited. Typing stops at 8 characters; a value
  // loaded from the file ("%.2f") may be longer.
  std::string editText;
  int16_t caretPosition = 0;  // 0 ... editText.size()
  int32_t modified = 0;       // the text changed since it was loaded
  int32_t topRecord = 0;      // first visible row
  int32_t currentRecord = 0;
  uint16_t currentColumn = 0;  // kNoColumn: no current cell
  int16_t firstColumn = 0;     // leftmost visible field
  uint16_t titleHeight = kNotMeasured;
  uint16_t rowHeight = kNotMeasured;
  int16_t characterWidth = 0;  // average width of the cell font
};

// --- Shape of the grid -----------------------------------------------------

// The columns of a record (the master record's field count, at most 8).
int FieldCount(const EditorState& state);
int32_t NewRecordRow(const EditorState& state);
bool IsMeasured(const EditorState& state);
bool HasCurrentCell(const EditorState& state);
FieldType FieldTypeOf(const EditorState& state, int column);
// Dates and times are left-aligned, numbers right-aligned.
bool IsLeftAligned(FieldType type);

// Columns that fit beside the gutter, none beyond the last field.
int VisibleColumns(const EditorState& state);
// Whole rows below the title line; 0 until the fonts are measured.
int RowsAvailable(const EditorState& state);
// Rows that get a gutter box: the rows available, or fewer when the records
// end before the bottom of the window.
int RecordRowsToFrame(const EditorState& state);
// The top of a row's text.
int RowTop(const EditorState& state, int row);
// Where a text of textWidth pixels starts in visible column i: titles are
// centred, dates and times left-aligned, numbers end at the column's right
// edge.
int TitleX(int visibleColumn, int titleWidth);
int CellTextX(FieldType type, int visibleColumn, int textWidth);

struct GridLines {
  std::vector<int> verticalX;  // one per column, at its right edge
  int verticalTop = GridTop;
  int verticalBottom = 0;
  std::vector<int> horizontalY;  // every row boundary, the title's bottom first
  int horizontalLeft = 0;
  int horizontalRight = 0;
};
// The grid around the given number of framed rows (record rows and the
// new-record row when it was drawn).
GridLines ComputeGridLines(const EditorState& state, int rowsFramed);

// Whether the edit text is drawn: a current cell within the visible rows and
// not left of the first column.
bool EditCellVisible(const EditorState& state);

struct CaretPlacement {
  bool visible = false;
  int x = 0;
  int y = 0;
};
// Where the caret goes (hidden with no current cell, or the cell scrolled out
// of view).
CaretPlacement PlaceCaretAt(const EditorState& state);

enum class HitArea { Title, Gutter, Cell };
struct GridHit {
  HitArea area = HitArea::Title;
  int row = 0;            // visible row, counted from the top record
  int32_t record = 0;     // top record + row
  int column = 0;         // field index
  int visibleColumn = 0;  // column - first column
  int x = 0;              // the click's x, for the caret
};
// What a left click at client point (x, y) lands on.
GridHit HitTest(const EditorState& state, int x, int y);

// --- Cell editing -------------------------------------------------------------

// Loads the current cell into the edit text, caret at its end, modified
// clear: the file's value, or in the new-record row the pending value (empty
// while unset). 0 with no current cell, or when the value cannot be read.
int LoadCellEdit(EditorState& state);
// Stores the edit text of the current cell when it was modified: written
// into an existing record, or kept as the new-record row's pending value.
// 1 when stored or nothing to do; 0 when the text is not a valid date or
// time, or the write failed (the text stays for correction).
int CommitCellEdit(EditorState& state);
// Appends the pending record once every field is set; 1 when appended.
int CommitNewRecord(EditorState& state);
// A typed character at the caret: 1 when taken or ignored (the text already
// holds 8 characters), 0 when refused (no current cell, or the cell's rules).
int EditInsertChar(EditorState& state, char ch);
// 1 when the character before (Backspace) or at (Delete) the caret went.
int EditBackspace(EditorState& state);
int EditDeleteChar(EditorState& state);

// --- Keys and the mouse -----------------------------------------------------------

// What the window does after a key or click: repaint, beep, and whether the
// cursor moved (the window then sets the vertical scroll bar to the top record
// and places the caret).
struct EditOutcome {
  bool repaint = false;
  bool beep = false;
  bool cursorMoved = false;
};

enum class EditorKey {
  Left,
  Right,
  Up,
  Down,
  Next,    // Enter, Tab, line feed
  Escape,  // reload the cell
};
EditOutcome PressKey(EditorState& state, EditorKey key);

// WM_CHAR: Backspace (repeat times), Tab, line feed and Enter (Next), and the
// characters "." "/" "0"-"9" ":"; other codes are ignored.
EditOutcome TypeCharacter(EditorState& state, unsigned code, int repeat);

// WM_LBUTTONDOWN. A gutter click toggles the record in the selection and
// leaves no current cell; a cell click makes the cell current with the caret
// at the character under the click. Both commit the cell being edited first
// (a refusal ends the click) and append a complete pending record. The
// interaction shows "Unable to add record to selection" / "Unable to remove
// item from selection".
EditOutcome ClickAt(EditorState& state, int x, int y, UserInteraction& ui);

// Commits the cell being edited and appends a complete pending record, as
// every command that needs the file does first. False when the commit was
// refused (the command then does nothing).
bool CommitBeforeCommand(EditorState& state, bool* appended = nullptr);

// --- Scrolling --------------------------------------------------------------------

// The scroll bar requests (the values of SB_LINEUP ... SB_ENDSCROLL; the
// horizontal ones share them).
enum class ScrollRequest : int {
  LineUp = 0,
  LineDown = 1,
  PageUp = 2,
  PageDown = 3,
  ThumbPosition = 4,
  ThumbTrack = 5,
  Top = 6,
  Bottom = 7,
  EndScroll = 8,
};
// The top record after a vertical request (thumb: the scroll box position).
// Never beyond the new-record row.
int32_t VerticalScrollTarget(const EditorState& state, int request, int thumb);
// The first column after a horizontal request.
int16_t HorizontalScrollTarget(const EditorState& state, int request, int thumb);

// --- After the record commands ---------------------------------------------------

// Go to record (527), and to a field as well (528, column >= 0), and the
// Goto dialog's result: the record becomes the top and current record. A
// record outside 0 ... new-record row, or a field beyond the last, changes
// nothing and gives false.
bool GoToRecord(EditorState& state, int32_t record, int column = -1);
// After a confirmed Truncate or Split: the record count read again, cursor
// and view at record 0, column 0 (the first column kept).
void ResetAfterTruncateOrSplit(EditorState& state);
// After a deletion was confirmed: the count read again (by the deletion), a
// cursor beyond the new-record row moved onto it, the cell reloaded.
void SettleAfterDeletion(EditorState& state);
// After a record was inserted at the cursor: the cursor follows its data one
// row down.
void FollowInsertedRecord(EditorState& state);
