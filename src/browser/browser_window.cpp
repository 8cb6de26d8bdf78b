#include "browser/browser_window.h"

#include <commctrl.h>

#include <memory>
#include <new>
#include <string>
#include <vector>

#include "browser/browser_dialogs.h"
#include "browser/directory_tree_view.h"
#include "editor/editor_window.h"
#include "primitives/list.h"
#include "reports/check_dialogs.h"
#include "resource.h"
#include "store/directory_instruments.h"
#include "store/directory_scan.h"
#include "store/master_file.h"
#include "store/messages.h"
#include "winui/app_globals.h"
#include "winui/message_boxes.h"
#include "winui/window_thunk.h"

namespace {

constexpr char kRescanQuestion[] =
    "Directory will not be visible until you re-scan the directory tree, rescan now ?";

constexpr DWORD kListStyle = WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_TABSTOP | LBS_NOTIFY | LBS_SORT |
                             LBS_MULTIPLESEL | LBS_EXTENDEDSEL | LBS_USETABSTOPS | LBS_NOINTEGRALHEIGHT;
// The list's columns, in dialog template units.
constexpr int kListTabStops[] = {100, 160, 200, 250, 350, 600, 700, 800, 900, 1000};
// Both panes start at this size and are placed by the first WM_SIZE.
constexpr int kInitialPaneSize = 10;

struct FilerState {
  std::string rootPath;               // ends in a backslash
  const char* currentPath = nullptr;  // the root path, or the selected node's path
  HWND tree = nullptr;
  HWND list = nullptr;
  int16_t width = 0;
  int16_t height = 0;
  NodeListPtr nodes;
  // Set at WM_DESTROY: the panes' last notifications are not acted on.
  bool closing = false;
};

// Shared by every browser, taken at each creation: where the menu bars go.
HWND filerMdiClient = nullptr;
HWND filerFrame = nullptr;

class ListBoxWindow final : public InstrumentListBox {
 public:
  explicit ListBoxWindow(HWND box) : box_(box) {}
  void ResetContent() override { SendMessageA(box_, LB_RESETCONTENT, 0, 0); }
  int AddString(const char* text) override {
    return static_cast<int>(SendMessageA(box_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text)));
  }
  void SetItemData(int index, int32_t fileNumber) override {
    SendMessageA(box_, LB_SETITEMDATA, index, fileNumber);
  }
  void SetHorizontalExtent(int pixels) override { SendMessageA(box_, LB_SETHORIZONTALEXTENT, pixels, 0); }
  void SelectRange(int first, int last) override {
    SendMessageA(box_, LB_SELITEMRANGE, TRUE, MAKELPARAM(first, last));
  }
  void SetFocus() override { ::SetFocus(box_); }

 private:
  HWND box_;
};

LRESULT FilerDefault(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefMDIChildProcA(window, message, wParam, lParam);
}

void ListCurrentPath(FilerState& state) {
  ListBoxWindow box(state.list);
  ListInstruementsInDirectory(box, state.currentPath);
}

HWND CreateInstrumentList(HWND window) {
  const HWND list =
      CreateWindowExA(0, "listbox", "", kListStyle, 0, 0, kInitialPaneSize, kInitialPaneSize, window,
                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_FILER_LIST)), hInst, nullptr);
  if (list == nullptr) return nullptr;
  SendMessageA(list, LB_SETTABSTOPS, std::size(kListTabStops), reinterpret_cast<LPARAM>(kListTabStops));
  SendMessageA(list, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
  return list;
}

LRESULT OnCreate(HWND window, FilerState& state) {
  state.nodes.reset(CreateList());
  if (!state.nodes) return -1;
  SetWindowLongPtrA(window, GWL_STYLE, GetWindowLongPtrA(window, GWL_STYLE) | WS_CLIPCHILDREN);
  filerMdiClient = GetParent(window);
  filerFrame = GetParent(filerMdiClient);
  WaitCursor wait;
  state.list = CreateInstrumentList(window);
  state.tree = CreateDirTreeView(window, 0, 0, kInitialPaneSize, kInitialPaneSize);
  if (state.list == nullptr || state.tree == nullptr) return -1;
  CreateDirTree(state.tree, state.rootPath.c_str(), state.nodes.get());
  ListCurrentPath(state);
  return 0;
}

LRESULT OnSize(HWND window, FilerState& state, WPARAM wParam, LPARAM lParam) {
  state.width = static_cast<int16_t>(LOWORD(lParam));
  state.height = static_cast<int16_t>(HIWORD(lParam));
  const int third = state.width / 3;
  MoveWindow(state.tree, 0, 0, third, state.height, TRUE);
  MoveWindow(state.list, third + 1, 0, 2 * third - 2, state.height, FALSE);
  return FilerDefault(window, WM_SIZE, wParam, lParam);
}

LRESULT OnTreeSelectionChanged(FilerState& state, const NMTREEVIEWA& change) {
  const auto* node = reinterpret_cast<const DirNode*>(change.itemNew.lParam);
  if (node == nullptr) return 0;
  WaitCursor wait;
  state.currentPath = GetPathFromTree(node);
  ListCurrentPath(state);
  return 1;
}

LRESULT OnNotify(HWND window, FilerState& state, WPARAM wParam, LPARAM lParam) {
  const auto& header = *reinterpret_cast<const NMHDR*>(lParam);
  // A tree being replaced by Refresh Tree, or going with the window, has
  // nothing more to say.
  if (header.idFrom != IDC_FILER_TREE || header.hwndFrom != state.tree || state.closing) {
    return FilerDefault(window, WM_NOTIFY, wParam, lParam);
  }
  switch (header.code) {
    case TVN_ITEMEXPANDINGA:
    case TVN_ITEMEXPANDINGW:
      return 0;
    case TVN_SELCHANGEDA:
    case TVN_SELCHANGEDW:
      // The two forms share the layout up to the item parameters read here.
      return OnTreeSelectionChanged(state, *reinterpret_cast<const NMTREEVIEWA*>(lParam));
    default:
      return FilerDefault(window, WM_NOTIFY, wParam, lParam);
  }
}

LRESULT OnMdiActivate(HWND window, LPARAM lParam) {
  const bool activated = reinterpret_cast<HWND>(lParam) == window;
  SendMessageA(filerMdiClient, WM_MDISETMENU, reinterpret_cast<WPARAM>(activated ? hMenuFiler : hMenuInit),
               reinterpret_cast<LPARAM>(activated ? hMenuFilerWindow : hMenuInitWindow));
  DrawMenuBar(filerFrame);
  return 0;
}

// The file numbers of the selected lines, in ascending line order; false
// after the message that says why there are none.
bool SelectedFileNumbers(HWND window, const FilerState& state, std::vector<int16_t>* fileNumbers) {
  const LRESULT count = SendMessageA(state.list, LB_GETSELCOUNT, 0, 0);
  if (count < 1) {
    ShowStopMessage(window, GetError(kSelectAtLeastOneInstrumentMessage));
    return false;
  }
  std::vector<int> lines;
  try {
    lines.resize(static_cast<size_t>(count));
    fileNumbers->resize(static_cast<size_t>(count));
  } catch (const std::bad_alloc&) {
    ShowStopMessage(window, GetError(kOutOfMemoryMessage));
    return false;
  }
  if (SendMessageA(state.list, LB_GETSELITEMS, count, reinterpret_cast<LPARAM>(lines.data())) != count) {
    ShowStopMessage(window, GetError(kUnknownErrorMessage));
    return false;
  }
  for (size_t i = 0; i < lines.size(); ++i) {
    (*fileNumbers)[i] = static_cast<int16_t>(SendMessageA(state.list, LB_GETITEMDATA, lines[i], 0));
  }
  return true;
}

// The file number of the one selected line; false after the message that
// says why there is not exactly one.
bool SingleSelectedFileNumber(HWND window, const FilerState& state, int16_t* fileNumber) {
  const LRESULT count = SendMessageA(state.list, LB_GETSELCOUNT, 0, 0);
  if (count < 1) {
    ShowStopMessage(window, GetError(kSelectAtLeastOneInstrumentMessage));
    return false;
  }
  if (count > 1) {
    ShowStopMessage(window, GetError(kSelectOnlyOneInstrumentMessage));
    return false;
  }
  // The selected line itself, not the caret: the caret can rest on a line
  // that was deselected, and the command must not act on an instrument the
  // user did not select.
  int line = -1;
  if (SendMessageA(state.list, LB_GETSELITEMS, 1, reinterpret_cast<LPARAM>(&line)) != 1) {
    ShowStopMessage(window, GetError(kUnknownErrorMessage));
    return false;
  }
  *fileNumber = static_cast<int16_t>(SendMessageA(state.list, LB_GETITEMDATA, line, 0));
  return true;
}

void RefreshContents(FilerState& state) {
  WaitCursor wait;
  SendMessageA(state.list, WM_SETREDRAW, FALSE, 0);
  ListCurrentPath(state);
  SendMessageA(state.list, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(state.list, nullptr, TRUE);
}

void RefreshTree(HWND window, FilerState& state) {
  WaitCursor wait;
  const HWND oldTree = state.tree;
  state.tree = nullptr;
  DestroyWindow(oldTree);
  // The current path belongs to a node that is about to go.
  state.currentPath = state.rootPath.c_str();
  state.nodes.reset(CreateList());
  state.tree = CreateDirTreeView(window, 0, 0, state.width / 3, state.height);
  if (!state.nodes || state.tree == nullptr) {
    ShowStopMessage(window, GetError(kOutOfMemoryMessage));
    return;
  }
  CreateDirTree(state.tree, state.rootPath.c_str(), state.nodes.get());
  // The root is listed whether or not selecting it was news to the tree.
  ListCurrentPath(state);
}

// XMASTER's instruments are shown and tested, never changed: a command that
// would change one is refused before anything happens. True when refused.
bool RefusedAsXmaster(HWND window, const std::vector<int16_t>& fileNumbers) {
  for (int16_t fileNumber : fileNumbers) {
    if (fileNumber >= kFirstXmasterFileNumber) {
      ShowStopMessage(window, XmasterRefusalText(fileNumber).c_str());
      return true;
    }
  }
  return false;
}

using InstrumentsDialog = int (*)(HWND, const char*, const int16_t*, int);

void RunInstrumentsCommand(HWND window, FilerState& state, InstrumentsDialog dialog) {
  std::vector<int16_t> fileNumbers;
  if (!SelectedFileNumbers(window, state, &fileNumbers) || RefusedAsXmaster(window, fileNumbers)) return;
  if (dialog(window, state.currentPath, fileNumbers.data(), static_cast<int>(fileNumbers.size())) != 0) {
    ListCurrentPath(state);
  }
}

void CreateInstrumentCommand(HWND window, FilerState& state) {
  if (static_cast<int16_t>(GetFreeInstrumentCount(state.currentPath)) < 1) {
    ShowStopMessage(window, GetError(kDirectoryFullMessage));
    return;
  }
  if (Create(window, state.currentPath) != 0) ListCurrentPath(state);
}

void EditSelected(HWND window, const FilerState& state) {
  std::vector<int16_t> fileNumbers;
  if (!SelectedFileNumbers(window, state, &fileNumbers)) return;
  for (int16_t fileNumber : fileNumbers) {
    CreateEditWindow(window, filerMdiClient, hInst, state.currentPath, fileNumber);
  }
}

void EditCaretLine(HWND window, const FilerState& state) {
  const LRESULT caret = SendMessageA(state.list, LB_GETCURSEL, 0, 0);
  if (caret < 0) return;
  const auto fileNumber = static_cast<int16_t>(SendMessageA(state.list, LB_GETITEMDATA, caret, 0));
  CreateEditWindow(window, filerMdiClient, hInst, state.currentPath, fileNumber);
}

void TestSelected(HWND window, const FilerState& state) {
  int16_t fileNumber = 0;
  if (SingleSelectedFileNumber(window, state, &fileNumber)) TestDAT(window, state.currentPath, fileNumber);
}

void ChangeSymbolOfSelected(HWND window, FilerState& state) {
  int16_t fileNumber = 0;
  if (!SingleSelectedFileNumber(window, state, &fileNumber) || RefusedAsXmaster(window, {fileNumber})) return;
  if (ChangeSymbol(window, state.currentPath, fileNumber) != 0) ListCurrentPath(state);
}

void ExportSelected(HWND window, const FilerState& state) {
  std::vector<int16_t> fileNumbers;
  if (SelectedFileNumbers(window, state, &fileNumbers))
    ExportInstruments(window, state.currentPath, fileNumbers.data(), static_cast<int>(fileNumbers.size()));
}

void ImportIntoSelected(HWND window, FilerState& state) {
  int16_t fileNumber = 0;
  if (!SingleSelectedFileNumber(window, state, &fileNumber) || RefusedAsXmaster(window, {fileNumber})) return;
  if (ImportInstrument(window, state.currentPath, fileNumber) != 0) ListCurrentPath(state);
}

void CreateDirectoryCommand(HWND window, const FilerState& state) {
  if (MakeDir(window, state.currentPath) == 0) return;
  if (MessageBoxA(window, kRescanQuestion, AppName, MB_YESNO | MB_ICONEXCLAMATION) == IDYES) {
    PostMessageA(window, WM_COMMAND, IDM_REFRESH_TREE, 0);
  }
}

LRESULT OnCommand(HWND window, FilerState& state, WPARAM wParam) {
  switch (LOWORD(wParam)) {
    case IDC_FILER_LIST:
      if (HIWORD(wParam) == LBN_DBLCLK) EditCaretLine(window, state);
      break;
    case IDM_REFRESH_CONTENTS:
      RefreshContents(state);
      break;
    case IDM_REFRESH_TREE:
      RefreshTree(window, state);
      break;
    case IDM_DELETE:
      RunInstrumentsCommand(window, state, Delete);
      break;
    case IDM_CREATE:
      CreateInstrumentCommand(window, state);
      break;
    case IDM_MOVE:
      RunInstrumentsCommand(window, state, Move);
      break;
    case IDM_COPY:
      RunInstrumentsCommand(window, state, Copy);
      break;
    case IDM_EDIT:
      EditSelected(window, state);
      break;
    case IDM_TEST:
      TestSelected(window, state);
      break;
    case IDM_TEST_MASTER:
      TestMaster(window, state.currentPath);
      break;
    case IDM_CHANGE_SYMBOL:
      ChangeSymbolOfSelected(window, state);
      break;
    case IDM_CREATE_DIRECTORY:
      CreateDirectoryCommand(window, state);
      break;
    case IDM_EXPORT:
      ExportSelected(window, state);
      break;
    case IDM_IMPORT:
      ImportIntoSelected(window, state);
      break;
    default:
      break;
  }
  return 0;
}

LRESULT HandleFilerMessage(HWND window, FilerState& state, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      return OnCreate(window, state);
    case WM_SIZE:
      return OnSize(window, state, wParam, lParam);
    case WM_NOTIFY:
      return OnNotify(window, state, wParam, lParam);
    case WM_MDIACTIVATE:
      return OnMdiActivate(window, lParam);
    case WM_COMMAND:
      return OnCommand(window, state, wParam);
    case WM_DESTROY:
      state.closing = true;
      return 0;
    default:
      return FilerDefault(window, message, wParam, lParam);
  }
}

}  // namespace

LRESULT CALLBACK FilerWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return RunWindowProcedure<FilerState>(window, message, wParam, lParam, AdoptMdiTicket<FilerState>,
                                        HandleFilerMessage, FilerDefault);
}

HWND CreateBrowserWindow(HWND mdiClient, HINSTANCE instance, const std::string& directory) {
  StateTicket<FilerState> ticket{std::make_unique<FilerState>()};
  ticket.state->rootPath = directory;
  ticket.state->currentPath = ticket.state->rootPath.c_str();
  MDICREATESTRUCTA create{};
  create.szClass = szFilerClass;
  create.szTitle = directory.c_str();
  create.hOwner = instance;
  create.x = create.y = create.cx = create.cy = CW_USEDEFAULT;
  create.style = 0;
  create.lParam = reinterpret_cast<LPARAM>(&ticket);
  return reinterpret_cast<HWND>(SendMessageA(mdiClient, WM_MDICREATE, 0, reinterpret_cast<LPARAM>(&create)));
}
