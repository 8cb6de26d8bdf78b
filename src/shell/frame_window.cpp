#include "shell/frame_window.h"

#include <cstdint>
#include <memory>

#include "browser/browser_window.h"
#include "editor/editor_window.h"
#include "filelayer/file_layer.h"
#include "primitives/path_list.h"
#include "resource.h"
#include "shell/about_banner.h"
#include "shell/remote_requests.h"
#include "shell/shell_globals.h"
#include "store/messages.h"
#include "winui/message_boxes.h"
#include "winui/window_thunk.h"

namespace {

struct FrameState {
  HWND mdiClient = nullptr;
};

LRESULT FrameDefault(HWND frame, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefFrameProcA(frame, MDIhwnd, message, wParam, lParam);
}

HWND ActiveChild() {
  return MDIhwnd != nullptr ? reinterpret_cast<HWND>(SendMessageA(MDIhwnd, WM_MDIGETACTIVE, 0, 0)) : nullptr;
}

LRESULT OnCreate(HWND frame, FrameState& state, const CREATESTRUCTA& create) {
  hInst = create.hInstance;
  CLIENTCREATESTRUCT client{};
  client.hWindowMenu = hMenuInitWindow;
  client.idFirstChild = IDM_FIRST_CHILD;
  state.mdiClient =
      CreateWindowExA(0, "MDICLIENT", nullptr, WS_CHILD | WS_CLIPCHILDREN | WS_VISIBLE, 0, 0, 0, 0, frame,
                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_MDI_CLIENT)), hInst, &client);
  MDIhwnd = state.mdiClient;
  // Without its client the frame would be an empty shell that can open nothing.
  return state.mdiClient != nullptr ? 0 : -1;
}

LRESULT OnDestroy() {
  PostQuitMessage(0);
  return 0;
}

// WM_CLOSE and WM_QUERYENDSESSION: Close All first; a child that refused keeps
// the frame open (or refuses the end of the session).
LRESULT OnCloseRequest(HWND frame, UINT message, WPARAM wParam, LPARAM lParam) {
  SendMessageA(frame, WM_COMMAND, IDM_CLOSE_ALL, 0);
  if (GetWindow(MDIhwnd, GW_CHILD) != nullptr) return 0;
  return FrameDefault(frame, message, wParam, lParam);
}

void OpenEditor(HWND frame, WPARAM wParam, LPARAM lParam) {
  CreateEditWindow(frame, MDIhwnd, hInst, reinterpret_cast<const char*>(lParam),
                   static_cast<int16_t>(HIWORD(wParam)));
}

void SelectPathAndBrowse(HWND frame) {
  if (const auto path = SelectDrive(frame)) OpenBrowserWindow(*path);
}

void CloseActiveChild() {
  const HWND child = ActiveChild();
  if (child == nullptr || !IsWindow(child)) return;
  if (SendMessageA(child, WM_QUERYENDSESSION, 0, 0) != 0) {
    SendMessageA(MDIhwnd, WM_MDIDESTROY, reinterpret_cast<WPARAM>(child), 0);
  }
}

void ExecuteFrameCommand(HWND frame, WORD command, WPARAM wParam, LPARAM lParam) {
  switch (command) {
    case IDM_OPEN_EDITOR:
      return OpenEditor(frame, wParam, lParam);
    case IDM_SELECT_PATH:
      return SelectPathAndBrowse(frame);
    case IDM_ABOUT:
      return About(frame);
    case IDM_CLOSE:
      return CloseActiveChild();
    case IDM_EXIT:
      SendMessageA(frame, WM_CLOSE, 0, 0);
      return;
    case IDM_TILE_VERTICALLY:
      SendMessageA(MDIhwnd, WM_MDITILE, MDITILE_VERTICAL, 0);
      return;
    case IDM_TILE_HORIZONTALLY:
      SendMessageA(MDIhwnd, WM_MDITILE, MDITILE_HORIZONTAL, 0);
      return;
    case IDM_CASCADE:
      SendMessageA(MDIhwnd, WM_MDICASCADE, 0, 0);
      return;
    case IDM_ARRANGE:
      SendMessageA(MDIhwnd, WM_MDIICONARRANGE, 0, 0);
      return;
    case IDM_CLOSE_ALL:
      EnumChildWindows(MDIhwnd, CloseEnumProc, 0);
      return;
    case IDM_MINIMIZE_ALL:
      EnumChildWindows(MDIhwnd, MinimizeEnumProc, 0);
      return;
    default:
      return;
  }
}

LRESULT OnCommand(HWND frame, WPARAM wParam, LPARAM lParam) {
  const WORD command = LOWORD(wParam);
  if (command >= IDM_FIRST_FRAME_COMMAND && command <= IDM_LAST_FRAME_COMMAND) {
    ExecuteFrameCommand(frame, command, wParam, lParam);
    return 0;
  }
  const HWND child = ActiveChild();
  if (child != nullptr && IsWindow(child)) SendMessageA(child, WM_COMMAND, wParam, lParam);
  // The window-list entries (1000 on) activate their child here.
  return FrameDefault(frame, WM_COMMAND, wParam, lParam);
}

LRESULT HandleFrameMessage(HWND frame, FrameState& state, UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT remoteResult = 0;
  if (AnswerRegisteredMessage(frame, message, remoteResult)) return remoteResult;
  switch (message) {
    case WM_CREATE:
      return OnCreate(frame, state, *reinterpret_cast<const CREATESTRUCTA*>(lParam));
    case WM_DESTROY:
      return OnDestroy();
    case WM_CLOSE:
    case WM_QUERYENDSESSION:
      return OnCloseRequest(frame, message, wParam, lParam);
    case WM_COMMAND:
      return OnCommand(frame, wParam, lParam);
    default:
      return FrameDefault(frame, message, wParam, lParam);
  }
}

}  // namespace

LRESULT CALLBACK FrameWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return RunWindowProcedure<FrameState>(window, message, wParam, lParam, AdoptTicket<FrameState>,
                                        HandleFrameMessage, FrameDefault);
}

BOOL CALLBACK CloseEnumProc(HWND window, LPARAM) {
  if (GetWindow(window, GW_OWNER) != nullptr) return TRUE;
  if (SendMessageA(window, WM_QUERYENDSESSION, 0, 0) != 0) {
    SendMessageA(GetParent(window), WM_MDIDESTROY, reinterpret_cast<WPARAM>(window), 0);
  }
  return TRUE;
}

BOOL CALLBACK MinimizeEnumProc(HWND window, LPARAM) {
  // Only the MDI children themselves: a titled control inside a child (a
  // button, say) must not be minimised with it.
  if (GetWindowTextLengthA(window) == 0 || GetParent(window) != MDIhwnd) return TRUE;
  ShowWindow(window, SW_MINIMIZE);
  return TRUE;
}

HWND CreateFrameWindow(HINSTANCE instance) {
  StateTicket<FrameState> ticket{std::make_unique<FrameState>()};
  MDIFrame =
      CreateWindowExA(0, szFrameClass, AppName, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, CW_USEDEFAULT,
                      CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, hMenuInit, instance, &ticket);
  if (MDIFrame == nullptr) MDIhwnd = nullptr;
  return MDIFrame;
}

HWND OpenBrowserWindow(const std::string& directory) {
  return CreateBrowserWindow(MDIhwnd, hInst, directory);
}

HWND OpenStartPathBrowser(const std::string& directory) {
  if (directory.empty() || !IsValidPath(directory.c_str())) {
    ShowStopMessage(MDIFrame, GetError(kInvalidPathMessage));
    return nullptr;
  }
  AddPath(directory.c_str());
  return OpenBrowserWindow(directory);
}
