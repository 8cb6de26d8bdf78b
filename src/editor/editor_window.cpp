#include "editor/editor_window.h"

#include <windowsx.h>

#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "editor/editor_dialogs.h"
#include "editor/editor_model.h"
#include "primitives/list.h"
#include "resource.h"
#include "store/dat_file.h"
#include "store/directory_instruments.h"
#include "store/editor_session.h"
#include "store/messages.h"
#include "winui/app_globals.h"
#include "winui/gdi_guards.h"
#include "winui/message_boxes.h"
#include "winui/window_thunk.h"

namespace {

constexpr UINT kIdleReleaseMilliseconds = 500;
constexpr int kCaretWidth = 2;
constexpr int kTitleWeight = 700;
constexpr int kCellWeight = 400;
constexpr char kTitleFace[] = "Times New Roman";
constexpr char kCellFace[] = "Arial";

// Shared by every editor: the MDI client and the frame (taken from the
// parents at each creation, for the menu changes), and the guard that is set
// while the focus message is handled.
HWND editorMdiClient = nullptr;
HWND editorFrame = nullptr;
bool focusGuard = false;
// There is one caret per thread; whether it is shown now, so that Show and
// Hide stay paired.
bool caretShown = false;

void DefaultBeep() {
  MessageBeep(0);
}
EditorBeepFunction beepFunction = DefaultBeep;

LRESULT EditorDefault(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefMDIChildProcA(window, message, wParam, lParam);
}

void Repaint(HWND window) {
  InvalidateRect(window, nullptr, FALSE);
}

// ---- Caret (command 501) --------------------------------------------------------

void ShowTheCaret(HWND window, bool show) {
  if (show == caretShown) return;
  if (show) {
    ShowCaret(window);
  } else {
    HideCaret(window);
  }
  caretShown = show;
}

void MakeCaret(HWND window, EditorState& state) {
  CreateCaret(window, nullptr, kCaretWidth, state.rowHeight);
  state.flags |= kCaretCreated;
  caretShown = false;
}

void PlaceCaret(HWND window, EditorState& state) {
  if (focusGuard) return;
  if ((state.flags & kHasFocus) != 0 && (state.flags & kCaretCreated) == 0 && IsMeasured(state)) {
    MakeCaret(window, state);
  }
  if ((state.flags & kCaretCreated) == 0) return;
  const CaretPlacement caret = PlaceCaretAt(state);
  if (!caret.visible) {
    ShowTheCaret(window, false);
    return;
  }
  SetCaretPos(caret.x, caret.y);
  ShowTheCaret(window, true);
}

// ---- Painting -------------------------------------------------------------------------

ScopedFont MakeFont(int height, int weight, const char* face) {
  return ScopedFont(CreateFontA(height, 0, 0, 0, weight, TRUE, FALSE, FALSE, DEFAULT_CHARSET,
                                OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, PROOF_QUALITY,
                                DEFAULT_PITCH | FF_DONTCARE, face));
}

int TextWidth(HDC dc, const std::string& text) {
  SIZE size{};
  GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &size);
  return size.cx;
}

void DrawText(HDC dc, int x, int y, const std::string& text) {
  TextOutA(dc, x, y, text.c_str(), static_cast<int>(text.size()));
}

// Draws a cell's text in visible column i of a row.
void DrawCell(HDC dc, const EditorState& state, int visibleColumn, int row, const std::string& text) {
  const FieldType type = FieldTypeOf(state, state.firstColumn + visibleColumn);
  DrawText(dc, CellTextX(type, visibleColumn, TextWidth(dc, text)), RowTop(state, row), text);
}

bool IsCurrentCell(const EditorState& state, int32_t record, int field) {
  return record == state.currentRecord && HasCurrentCell(state) && field == state.currentColumn;
}

bool IsSelected(const EditorState& state, int32_t record) {
  return IsInList(state.session.selection.get(), &record, sizeof record, EditRecordNumberCompare) != 0;
}

int PaintRecordRow(HDC dc, const EditorState& state, int row) {
  const int32_t record = state.topRecord + row;
  if (record < NewRecordRow(state) && IsSelected(state, record)) DrawText(dc, 1, RowTop(state, row), "*");
  for (int i = 0; i < VisibleColumns(state); ++i) {
    const int field = state.firstColumn + i;
    const float value =
        ReadField(state.session.file.Get(), record + 1, field, state.session.masterRecord.RecordLength());
    if (value == -1.0f) return 0;
    if (IsCurrentCell(state, record, field)) continue;
    DrawCell(dc, state, i, row, FormatCellText(FieldTypeOf(state, field), value));
  }
  return 1;
}

int PaintNewRecordRow(HDC dc, const EditorState& state, int row) {
  const int32_t record = state.topRecord + row;
  for (int i = 0; i < VisibleColumns(state); ++i) {
    const int field = state.firstColumn + i;
    const PendingValue& pending = state.session.pending[field];
    if (pending.set != 1) continue;
    if (pending.value == -1.0f) return 0;
    if (IsCurrentCell(state, record, field)) continue;
    DrawCell(dc, state, i, row, FormatCellText(FieldTypeOf(state, field), pending.value));
  }
  return 1;
}

void PaintEditCell(HDC dc, const EditorState& state) {
  if (!EditCellVisible(state)) return;
  DrawCell(dc, state, state.currentColumn - state.firstColumn, state.currentRecord - state.topRecord,
           state.editText);
}

void MeasureFont(HDC dc, uint16_t* height, int16_t* averageWidth) {
  TEXTMETRICA metrics{};
  GetTextMetricsA(dc, &metrics);
  *height = static_cast<uint16_t>(metrics.tmHeight + metrics.tmExternalLeading);
  if (averageWidth != nullptr) *averageWidth = static_cast<int16_t>(metrics.tmAveCharWidth);
}

void PaintTitles(HDC dc, EditorState& state) {
  ScopedFont font = MakeFont(TitleFontHeight, kTitleWeight, kTitleFace);
  ScopedSelectObject selected(dc, font.get());
  MeasureFont(dc, &state.titleHeight, nullptr);
  for (int i = 0; i < VisibleColumns(state); ++i) {
    const std::string title = EnumerateFieldType(FieldTypeOf(state, state.firstColumn + i));
    DrawText(dc, TitleX(i, TextWidth(dc, title)), 0, title);
  }
}

// The gutter boxes, the record rows, the new-record row and the edit text;
// returns the rows framed by the grid.
int PaintRows(HDC dc, EditorState& state) {
  ScopedFont font = MakeFont(CellFontHeight, kCellWeight, kCellFace);
  ScopedSelectObject selected(dc, font.get());
  MeasureFont(dc, &state.rowHeight, &state.characterWidth);
  const int rows = RowsAvailable(state);
  for (int row = 0; row < RecordRowsToFrame(state); ++row) {
    RoundRect(dc, 1, RowTop(state, row), GutterWidth - 1, RowTop(state, row + 1), 2, 2);
  }
  int framed = 0;
  for (int row = 0; row < rows; ++row) {
    framed = row + 1;
    if (PaintRecordRow(dc, state, row) == 0) {
      PaintNewRecordRow(dc, state, row);
      break;
    }
  }
  PaintEditCell(dc, state);
  return framed;
}

void PaintGrid(HDC dc, const EditorState& state, int rowsFramed) {
  const GridLines lines = ComputeGridLines(state, rowsFramed);
  for (int x : lines.verticalX) {
    const POINT line[2] = {{x, lines.verticalTop}, {x, lines.verticalBottom}};
    Polyline(dc, line, 2);
  }
  for (int y : lines.horizontalY) {
    const POINT line[2] = {{lines.horizontalLeft, y}, {lines.horizontalRight, y}};
    Polyline(dc, line, 2);
  }
}

LRESULT OnPaint(HWND window, EditorState& state) {
  {
    ScopedPaint paint(window);
    const int width = state.clientWidth > 0 ? state.clientWidth : 1;
    const int height = state.clientHeight > 0 ? state.clientHeight : 1;
    ScopedMemoryDC memory(paint.dc());
    ScopedBitmap bitmap(CreateCompatibleBitmap(paint.dc(), width, height));
    if (memory && bitmap) {
      ScopedSelectObject selected(memory.get(), bitmap.get());
      PatBlt(memory.get(), 0, 0, width, height, WHITENESS);
      SetBkMode(memory.get(), TRANSPARENT);
      PaintTitles(memory.get(), state);
      const int framed = PaintRows(memory.get(), state);
      PaintGrid(memory.get(), state, framed);
      BitBlt(paint.dc(), 0, 0, width, height, memory.get(), 0, 0, SRCCOPY);
    }
    PlaceCaret(window, state);
  }
  return 0;
}

// ---- Scrolling -------------------------------------------------------------------------

// The scroll bars at the view's top record and first column (a move may
// bring a column left of the view into it).
void ShowTopRecord(HWND window, const EditorState& state) {
  SetScrollPos(window, SB_VERT, state.topRecord, TRUE);
  if (GetScrollPos(window, SB_HORZ) != state.firstColumn)
    SetScrollPos(window, SB_HORZ, state.firstColumn, TRUE);
}

LRESULT OnVScroll(HWND window, EditorState& state, int request, int thumb) {
  const int32_t top = VerticalScrollTarget(state, request, thumb);
  const bool moved = top != state.topRecord;
  state.topRecord = top;
  if (moved || GetScrollPos(window, SB_VERT) != top) {
    ShowTopRecord(window, state);
    Repaint(window);
  }
  return 0;
}

LRESULT OnHScroll(HWND window, EditorState& state, int request, int thumb) {
  const int16_t first = HorizontalScrollTarget(state, request, thumb);
  const bool moved = first != state.firstColumn;
  state.firstColumn = first;
  if (moved || GetScrollPos(window, SB_HORZ) != first) {
    SetScrollPos(window, SB_HORZ, first, TRUE);
    Repaint(window);
  }
  return 0;
}

// ---- Creation, focus, activation, idle release, destruction ---------------------------

// While the window is created, the editor's own refusals carry the
// instrument's name as caption; the data file's questions are the program's.
class CreationInteraction : public UserInteraction {
 public:
  CreationInteraction(HWND owner, std::string instrument)
      : owner_(owner), instrument_(std::move(instrument)) {}
  void ShowNotice(const char* text) override {
    const bool own = std::strcmp(text, GetError(kFileAccessMessage)) == 0 ||
                     std::strcmp(text, GetError(kUnknownFormatMessage)) == 0;
    MessageBoxInteraction(owner_, own ? instrument_ : std::string(AppName)).ShowNotice(text);
  }
  bool AskYesNo(const char* text) override { return MessageBoxInteraction(owner_).AskYesNo(text); }

 private:
  HWND owner_;
  std::string instrument_;
};

void SetScrollRanges(HWND window, const EditorState& state) {
  SetScrollRange(window, SB_VERT, 0, std::max(state.session.layout.recordCount - 2, 0), FALSE);
  SetScrollRange(window, SB_HORZ, 0, std::max(FieldCount(state) - 1, 0), FALSE);
  SetScrollPos(window, SB_VERT, 0, TRUE);
  SetScrollPos(window, SB_HORZ, 0, TRUE);
}

LRESULT OnCreate(HWND window, EditorState& state) {
  SetWindowLongPtrA(window, 0, reinterpret_cast<LONG_PTR>(&state));
  editorMdiClient = GetParent(window);
  editorFrame = GetParent(editorMdiClient);
  state.topRecord = state.currentRecord = 0;
  state.currentColumn = 0;
  state.firstColumn = 0;
  state.titleHeight = state.rowHeight = kNotMeasured;
  state.clientWidth = state.clientHeight = 1;
  state.flags = 0;
  const std::string directory = state.session.directory;
  const int fileNumber = state.session.fileNumber;
  CreationInteraction ui(editorFrame, state.session.masterRecord.Name());
  if (OpenEditorSession(&state.session, directory.c_str(), fileNumber, ui) == 0) return -1;
  SetScrollRanges(window, state);
  LoadCellEdit(state);
  SetTimer(window, IDT_EDITOR_IDLE, kIdleReleaseMilliseconds, nullptr);
  return 0;
}

LRESULT OnSetFocus(HWND window, EditorState& state, WPARAM wParam, LPARAM lParam) {
  focusGuard = true;
  if (IsMeasured(state)) MakeCaret(window, state);
  state.flags |= kHasFocus;
  focusGuard = false;
  // Placed once the guard is down, so that the caret shows at once rather
  // than at the next paint.
  PlaceCaret(window, state);
  // An MDI child given the focus becomes the active child.
  return EditorDefault(window, WM_SETFOCUS, wParam, lParam);
}

LRESULT OnKillFocus(HWND window, EditorState& state, WPARAM wParam, LPARAM lParam) {
  if ((state.flags & kCaretCreated) != 0) {
    ShowTheCaret(window, false);
    DestroyCaret();
  }
  state.flags &= static_cast<uint8_t>(~(kCaretCreated | kHasFocus));
  return EditorDefault(window, WM_KILLFOCUS, wParam, lParam);
}

LRESULT OnMdiActivate(HWND window, LPARAM lParam) {
  const bool active = reinterpret_cast<HWND>(lParam) == window;
  SendMessageA(editorMdiClient, WM_MDISETMENU, reinterpret_cast<WPARAM>(active ? hMenuEdit : hMenuInit),
               reinterpret_cast<LPARAM>(active ? hMenuEditWindow : hMenuInitWindow));
  DrawMenuBar(editorFrame);
  return 0;
}

LRESULT OnTimer(EditorState& state) {
  const FileHandle file = state.session.file.Get();
  if (!state.session.file.Valid()) return 0;
  if (FileAccessed(file) == 0) {
    ReleaseHandle(file);
  } else {
    ClearFileAccess(file);
  }
  return 0;
}

LRESULT OnDestroy(HWND window, EditorState& state, WPARAM wParam, LPARAM lParam) {
  KillTimer(window, IDT_EDITOR_IDLE);
  if (state.session.file.Valid()) {
    CommitCellEdit(state);
    CommitNewRecord(state);
    CloseEditorSession(&state.session);
  }
  if (hwndEdit == window) hwndEdit = nullptr;
  return EditorDefault(window, WM_DESTROY, wParam, lParam);
}

// ---- Keys, the mouse and the commands -----------------------------------------------

void Apply(HWND window, EditorState& state, const EditOutcome& outcome) {
  if (outcome.beep) beepFunction();
  if (outcome.cursorMoved) {
    ShowTopRecord(window, state);
    PlaceCaret(window, state);
  }
  if (outcome.repaint) Repaint(window);
}

LRESULT OnKeyDown(HWND window, EditorState& state, WPARAM key, LPARAM lParam) {
  switch (key) {
    case VK_LEFT:
      Apply(window, state, PressKey(state, EditorKey::Left));
      return 0;
    case VK_RIGHT:
      Apply(window, state, PressKey(state, EditorKey::Right));
      return 0;
    case VK_UP:
      Apply(window, state, PressKey(state, EditorKey::Up));
      return 0;
    case VK_DOWN:
      Apply(window, state, PressKey(state, EditorKey::Down));
      return 0;
    case VK_ESCAPE:
      Apply(window, state, PressKey(state, EditorKey::Escape));
      return 0;
    case VK_PRIOR:
      return SendMessageA(window, WM_VSCROLL, SB_PAGEUP, 0);
    case VK_NEXT:
      return SendMessageA(window, WM_VSCROLL, SB_PAGEDOWN, 0);
    case VK_HOME:
      return SendMessageA(window, WM_VSCROLL, SB_TOP, 0);
    case VK_END:
      return SendMessageA(window, WM_VSCROLL, SB_BOTTOM, 0);
    default:
      return EditorDefault(window, WM_KEYDOWN, key, lParam);
  }
}

// An XMASTER instrument is shown, never changed: every change is refused
// with the message before anything happens. True when refused.
bool RefusedAsReadOnly(HWND window, const EditorState& state) {
  if (!state.session.readOnly) return false;
  ShowStopMessage(window, XmasterRefusalText(state.session.fileNumber).c_str());
  return true;
}

LRESULT OnChar(HWND window, EditorState& state, WPARAM code, LPARAM lParam) {
  // Backspace and the characters a cell takes would change the cell.
  if ((code == '\b' || (code >= '.' && code <= ':')) && RefusedAsReadOnly(window, state)) return 0;
  Apply(window, state, TypeCharacter(state, static_cast<unsigned>(code), LOWORD(lParam)));
  return 0;
}

LRESULT OnLeftButtonDown(HWND window, EditorState& state, LPARAM lParam) {
  MessageBoxInteraction ui(window);
  Apply(window, state, ClickAt(state, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam), ui));
  return 0;
}

// After a command moved the view: the scroll bar and the whole grid.
void Refresh(HWND window, EditorState& state) {
  ShowTopRecord(window, state);
  Repaint(window);
}

void TruncateCommand(HWND window, EditorState& state) {
  if (RefusedAsReadOnly(window, state)) return;
  MessageBoxInteraction ui(window);
  EditorSession& session = state.session;
  const int32_t record = SingleSelectedRecord(session, ui);
  if (record < 0 || !CommitBeforeCommand(state)) return;
  Repaint(window);
  if (Truncate(window, record, session.selection.get(), session.masterRecord, session.file.Get(),
               session.fileName.c_str()) == 0) {
    return;
  }
  ResetAfterTruncateOrSplit(state);
  Refresh(window, state);
}

void SplitCommand(HWND window, EditorState& state) {
  if (RefusedAsReadOnly(window, state)) return;
  MessageBoxInteraction ui(window);
  EditorSession& session = state.session;
  const int32_t record = SingleSelectedRecord(session, ui);
  if (record < 0 || !CommitBeforeCommand(state)) return;
  Repaint(window);
  const uint8_t ownNumber = session.masterRecord.FileNumber();
  const int confirmed = Split(window, session.directory.c_str(), session.fileNumber, &session.masterRecord,
                              record, session.file.Get());
  session.masterRecord.SetFileNumber(ownNumber);
  if (confirmed == 0) return;
  FlushList(session.selection.get());
  ResetAfterTruncateOrSplit(state);
  Refresh(window, state);
}

void DeleteCommand(HWND window, EditorState& state) {
  if (RefusedAsReadOnly(window, state)) return;
  if (CommitCellEdit(state) == 0) return;
  MessageBoxInteraction ui(window);
  EditorDeleteSelection(&state.session, ui);
  SettleAfterDeletion(state);
  Refresh(window, state);
}

void InsertCommand(HWND window, EditorState& state) {
  if (RefusedAsReadOnly(window, state)) return;
  MessageBoxInteraction ui(window);
  if (EditorInsertRecord(&state.session, state.currentRecord, ui) == 0) return;
  FollowInsertedRecord(state);
  Repaint(window);
}

void GotoCommand(HWND window, EditorState& state) {
  if (!CommitBeforeCommand(state)) return;
  Repaint(window);
  const EditorSession& session = state.session;
  const auto dialog = session.masterRecord.Period() == 'I' ? GotoIntra : GotoDaily;
  const int32_t found =
      dialog(window, session.fileName.c_str(), state.currentRecord, session.masterRecord, session.file.Get());
  if (found == -1 || !GoToRecord(state, found)) return;
  Refresh(window, state);
}

void GoToRecordCommand(HWND window, EditorState& state, bool withField, WPARAM wParam, LPARAM lParam) {
  if (!CommitBeforeCommand(state)) return;
  Repaint(window);
  const int32_t record = static_cast<int32_t>(lParam);
  if (record == -1) return;
  if (GoToRecord(state, record, withField ? HIWORD(wParam) : -1)) Refresh(window, state);
}

// The Insert key reaches the editor as the browser's Create command (510):
// it inserts a record as the menu's "Insert Record\tInsert" promises, where
// the menu offers that item.
bool MenuOffersInsert() {
  return hMenuEdit != nullptr &&
         (GetMenuState(hMenuEdit, IDM_INSERT_RECORD, MF_BYCOMMAND) & (MF_GRAYED | MF_DISABLED)) == 0;
}

LRESULT OnCommand(HWND window, EditorState& state, WPARAM wParam, LPARAM lParam) {
  switch (LOWORD(wParam)) {
    case IDM_PLACE_CARET:
      PlaceCaret(window, state);
      break;
    case IDM_TRUNCATE:
      TruncateCommand(window, state);
      break;
    case IDM_SPLIT:
      SplitCommand(window, state);
      break;
    case IDM_DELETE_RECORD:
      DeleteCommand(window, state);
      break;
    case IDM_INSERT_RECORD:
      InsertCommand(window, state);
      break;
    case IDM_CREATE:
      if (MenuOffersInsert()) InsertCommand(window, state);
      break;
    case IDM_EDIT:
      // The frame's accelerator turns Enter into this command.
      Apply(window, state, PressKey(state, EditorKey::Next));
      break;
    case IDM_GOTO:
      GotoCommand(window, state);
      break;
    case IDM_DELETE:
      if (RefusedAsReadOnly(window, state)) break;
      if (EditDeleteChar(state) != 0) Apply(window, state, EditOutcome{true, false, true});
      break;
    case IDM_GOTO_RECORD:
      GoToRecordCommand(window, state, false, wParam, lParam);
      break;
    case IDM_GOTO_RECORD_COLUMN:
      GoToRecordCommand(window, state, true, wParam, lParam);
      break;
    default:
      break;
  }
  return 0;
}

LRESULT HandleEditorMessage(HWND window, EditorState& state, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      return OnCreate(window, state);
    case WM_DESTROY:
      return OnDestroy(window, state, wParam, lParam);
    case WM_SIZE:
      state.clientWidth = static_cast<int16_t>(LOWORD(lParam));
      state.clientHeight = static_cast<int16_t>(HIWORD(lParam));
      return EditorDefault(window, message, wParam, lParam);
    case WM_SETFOCUS:
      return OnSetFocus(window, state, wParam, lParam);
    case WM_KILLFOCUS:
      return OnKillFocus(window, state, wParam, lParam);
    case WM_PAINT:
      return OnPaint(window, state);
    case WM_VSCROLL:
      return OnVScroll(window, state, LOWORD(wParam), static_cast<int16_t>(HIWORD(wParam)));
    case WM_HSCROLL:
      return OnHScroll(window, state, LOWORD(wParam), static_cast<int16_t>(HIWORD(wParam)));
    case WM_TIMER:
      return OnTimer(state);
    case WM_MDIACTIVATE:
      return OnMdiActivate(window, lParam);
    case WM_KEYDOWN:
      return OnKeyDown(window, state, wParam, lParam);
    case WM_CHAR:
      return OnChar(window, state, wParam, lParam);
    case WM_LBUTTONDOWN:
      return OnLeftButtonDown(window, state, lParam);
    case WM_COMMAND:
      return OnCommand(window, state, wParam, lParam);
    default:
      return EditorDefault(window, message, wParam, lParam);
  }
}

std::string WindowTitle(const EditorSession& session) {
  return session.fileName + " [" + session.masterRecord.Name().substr(0, master_offset::kNameWidth) + "]" +
         (session.readOnly ? " (XMASTER, read-only)" : "");
}

}  // namespace

LRESULT CALLBACK EditWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return RunWindowProcedure<EditorState>(window, message, wParam, lParam, AdoptMdiTicket<EditorState>,
                                         HandleEditorMessage, EditorDefault);
}

namespace {

// 0 after a failure it has reported; 1 when the creation request was sent,
// *created and hwndEdit then holding the new window or null.
int CreateEditor(HWND owner, HWND mdiClient, HINSTANCE instance, const char* directory, int16_t fileNumber,
                 HWND* created) {
  *created = nullptr;
  // Only a caller's mistake passes no directory; there is nothing to tell the user.
  if (directory == nullptr) return 0;
  MessageBoxInteraction ui(owner);
  StateTicket<EditorState> ticket;
  ticket.state.reset(new (std::nothrow) EditorState);
  if (!ticket.state) {
    ui.ShowNotice(GetError(kOutOfMemoryMessage));
    return 0;
  }
  EditorSession& session = ticket.state->session;
  if (LocateEditorInstrument(&session, directory, fileNumber) == 0) {
    ui.ShowNotice(GetError(kFileAccessMessage));
    return 0;
  }
  const std::string title = WindowTitle(session);
  MDICREATESTRUCTA create{};
  create.szClass = szEditClass;
  create.szTitle = title.c_str();
  create.hOwner = instance;
  create.x = create.y = create.cx = create.cy = CW_USEDEFAULT;
  create.style = WS_VSCROLL | WS_HSCROLL;
  create.lParam = reinterpret_cast<LPARAM>(&ticket);
  *created =
      reinterpret_cast<HWND>(SendMessageA(mdiClient, WM_MDICREATE, 0, reinterpret_cast<LPARAM>(&create)));
  hwndEdit = *created;
  return 1;
}

}  // namespace

int CreateEditWindow(HWND owner, HWND mdiClient, HINSTANCE instance, const char* directory,
                     int16_t fileNumber) {
  HWND created = nullptr;
  return CreateEditor(owner, mdiClient, instance, directory, fileNumber, &created);
}

HWND OpenEditWindow(HWND owner, HWND mdiClient, HINSTANCE instance, const char* directory,
                    int16_t fileNumber) {
  HWND created = nullptr;
  CreateEditor(owner, mdiClient, instance, directory, fileNumber, &created);
  return created;
}

HWND FindEditWindow(HWND mdiClient, const char* directory, int16_t fileNumber) {
  if (mdiClient == nullptr) return nullptr;
  for (HWND child = GetWindow(mdiClient, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
    char className[32] = {};
    GetClassNameA(child, className, sizeof className);
    if (std::string(className) != szEditClass) continue;
    const EditorState* editor = AttachedState<EditorState>(child);
    if (editor != nullptr && editor->session.directory == directory &&
        editor->session.fileNumber == fileNumber)
      return child;
  }
  return nullptr;
}

void MoveEditWindowTo(HWND editor, int32_t record, int column) {
  const WPARAM command =
      column < 0 ? MAKEWPARAM(IDM_GOTO_RECORD, 0) : MAKEWPARAM(IDM_GOTO_RECORD_COLUMN, column);
  SendMessageA(editor, WM_COMMAND, command, static_cast<LPARAM>(record));
  SetFocus(editor);
}

EditorBeepFunction SetEditorBeep(EditorBeepFunction beep) {
  const EditorBeepFunction previous = beepFunction;
  beepFunction = beep != nullptr ? beep : DefaultBeep;
  return previous;
}
