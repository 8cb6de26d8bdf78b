// The one window-procedure thunk of the program. Each window class keeps its
// named procedure (FrameWndProc, FilerWndProc, EditWndProc), which only calls
// RunWindowProcedure with the window's handler:
//
//   LRESULT CALLBACK FrameWndProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
//     return RunWindowProcedure<FrameState>(w, m, wp, lp, AdoptTicket<FrameState>, HandleFrameMessage,
//                                           FrameDefault);
//   }
//
// The thunk
//   - attaches the window's state object at WM_NCCREATE: the adopt function
//     takes it out of the creation data (for an MDI child, out of the
//     MDICREATESTRUCT) and the window owns it from then on;
//   - hands every message to the handler together with the state, or to the
//     default procedure while the window has no state (before WM_NCCREATE,
//     or when creation supplied none);
//   - frees the state after WM_NCDESTROY;
//   - lets no exception cross into user32: a throwing handler's message gets
//     default processing (WM_CREATE is refused with -1).
#pragma once

#include <windows.h>

#include <memory>
#include <utility>

// What a creator passes as the creation parameter. The window takes the state
// at WM_NCCREATE; when the window is never created, the ticket still owns it
// and frees it when the creator's scope ends.
template <class State>
struct StateTicket {
  std::unique_ptr<State> state;
};

// For windows created with CreateWindowEx(..., &ticket).
template <class State>
std::unique_ptr<State> AdoptTicket(const CREATESTRUCTA& create) {
  auto* ticket = static_cast<StateTicket<State>*>(create.lpCreateParams);
  return ticket != nullptr ? std::move(ticket->state) : nullptr;
}

// For MDI children created with WM_MDICREATE, whose lParam is &ticket.
template <class State>
std::unique_ptr<State> AdoptMdiTicket(const CREATESTRUCTA& create) {
  auto* mdi = static_cast<const MDICREATESTRUCTA*>(create.lpCreateParams);
  auto* ticket = mdi != nullptr ? reinterpret_cast<StateTicket<State>*>(mdi->lParam) : nullptr;
  return ticket != nullptr ? std::move(ticket->state) : nullptr;
}

// The state attached to a window by the thunk, or null.
template <class State>
State* AttachedState(HWND window) {
  return reinterpret_cast<State*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

// Reports an exception stopped at a window or dialog procedure.
void ReportStoppedException(const char* where) noexcept;

template <class State>
LRESULT RunWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                           std::unique_ptr<State> (*adopt)(const CREATESTRUCTA&),
                           LRESULT (*handler)(HWND, State&, UINT, WPARAM, LPARAM),
                           LRESULT (*fallback)(HWND, UINT, WPARAM, LPARAM)) noexcept {
  try {
    if (message == WM_NCCREATE) {
      std::unique_ptr<State> state = adopt(*reinterpret_cast<const CREATESTRUCTA*>(lParam));
      if (state) SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(state.release()));
    }
    State* state = AttachedState<State>(window);
    if (state == nullptr) return fallback(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
      std::unique_ptr<State> owned(state);
      SetWindowLongPtrA(window, GWLP_USERDATA, 0);
      return handler(window, *owned, message, wParam, lParam);
    }
    return handler(window, *state, message, wParam, lParam);
  } catch (...) {
    ReportStoppedException("window procedure");
    if (message == WM_CREATE) return -1;
    if (message == WM_NCCREATE) return FALSE;
    return fallback(window, message, wParam, lParam);
  }
}

// The same barrier for dialog procedures: a throwing handler's message
// counts as not handled.
template <class Handler>
INT_PTR RunDialogProcedure(Handler&& handler) noexcept {
  try {
    return std::forward<Handler>(handler)();
  } catch (...) {
    ReportStoppedException("dialog procedure");
    return FALSE;
  }
}
