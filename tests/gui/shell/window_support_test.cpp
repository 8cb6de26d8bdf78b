// The window plumbing every window of the program shares: the procedure
// thunk, the GDI guards, CentreWindow.
#include <windows.h>

#include <gtest/gtest.h>

#include <stdexcept>

#include "shell/centre_window.h"
#include "shell/gdi_guards.h"
#include "shell/window_thunk.h"

namespace {

struct CountedState {
  static int alive;
  int messages = 0;
  bool throwOnCreate = false;
  bool throwOnPaint = false;
  CountedState() { ++alive; }
  ~CountedState() { --alive; }
};
int CountedState::alive = 0;

LRESULT HandleCounted(HWND window, CountedState& state, UINT message, WPARAM wParam, LPARAM lParam) {
  ++state.messages;
  if (message == WM_CREATE && state.throwOnCreate) throw std::runtime_error("refused");
  if (message == WM_USER && state.throwOnPaint) throw std::runtime_error("failed");
  if (message == WM_USER + 1) return state.messages;
  return DefWindowProcA(window, message, wParam, lParam);
}

LRESULT CALLBACK CountedWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return RunWindowProcedure<CountedState>(window, message, wParam, lParam, AdoptTicket<CountedState>,
                                          HandleCounted, DefWindowProcA);
}

HWND CreateCounted(StateTicket<CountedState>& ticket) {
  static bool registered = false;
  if (!registered) {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = CountedWndProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "QuorvexThunkTest";
    registered = RegisterClassA(&windowClass) != 0;
  }
  return CreateWindowExA(0, "QuorvexThunkTest", "", WS_OVERLAPPED, 0, 0, 50, 50, nullptr, nullptr,
                         GetModuleHandleA(nullptr), &ticket);
}

TEST(WindowThunk, TheWindowOwnsItsStateFromCreationToNcDestroy) {
  StateTicket<CountedState> ticket{std::make_unique<CountedState>()};
  CountedState* state = ticket.state.get();
  const HWND window = CreateCounted(ticket);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(ticket.state, nullptr) << "the window took the state";
  EXPECT_EQ(AttachedState<CountedState>(window), state);
  EXPECT_GE(SendMessageA(window, WM_USER + 1, 0, 0), 2) << "creation messages reached the handler";
  DestroyWindow(window);
  EXPECT_EQ(CountedState::alive, 0) << "the state was freed with the window";
}

TEST(WindowThunk, NoExceptionCrossesIntoTheSystem) {
  {
    StateTicket<CountedState> ticket{std::make_unique<CountedState>()};
    ticket.state->throwOnCreate = true;
    EXPECT_EQ(CreateCounted(ticket), nullptr) << "a throwing WM_CREATE refuses the window";
  }
  EXPECT_EQ(CountedState::alive, 0) << "the refused window's state was freed";

  StateTicket<CountedState> ticket{std::make_unique<CountedState>()};
  ticket.state->throwOnPaint = true;
  const HWND window = CreateCounted(ticket);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(SendMessageA(window, WM_USER, 0, 0), 0) << "the message got default processing";
  EXPECT_TRUE(IsWindow(window));
  DestroyWindow(window);
  EXPECT_EQ(CountedState::alive, 0);
}

TEST(WindowThunk, AWindowCreatedWithoutTicketGetsDefaultProcessing) {
  StateTicket<CountedState> empty{};
  const HWND window = CreateCounted(empty);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(AttachedState<CountedState>(window), nullptr);
  EXPECT_EQ(SendMessageA(window, WM_USER + 1, 0, 0), 0);
  DestroyWindow(window);
}

HFONT MakeFont() {
  return CreateFontA(20, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, 0, 0, 0, 0, 0, "Arial");
}

TEST(GdiGuards, ASelectionIsUndoneBeforeTheObjectIsDeleted) {
  ScopedMemoryDC dc(nullptr);
  ASSERT_TRUE(dc);
  const HGDIOBJ original = GetCurrentObject(dc.get(), OBJ_FONT);
  HFONT raw = nullptr;
  {
    ScopedFont font(MakeFont());
    raw = font.get();
    ScopedSelectObject selected(dc.get(), font.get());
    EXPECT_EQ(GetCurrentObject(dc.get(), OBJ_FONT), raw);
  }
  EXPECT_EQ(GetCurrentObject(dc.get(), OBJ_FONT), original);
  EXPECT_EQ(GetObjectType(raw), 0u) << "the font was deleted";
}

TEST(GdiGuards, MovingPassesOwnershipExactlyOnce) {
  ScopedFont first(MakeFont());
  const HFONT raw = first.get();
  ScopedFont second(std::move(first));
  EXPECT_FALSE(first);
  EXPECT_EQ(second.get(), raw);
  ScopedFont third;
  third = std::move(second);
  EXPECT_EQ(third.get(), raw);
  EXPECT_NE(GetObjectType(raw), 0u) << "moving deleted nothing";
  third = ScopedFont(MakeFont());
  EXPECT_EQ(GetObjectType(raw), 0u) << "assignment deleted the font it replaced";

  const HFONT kept = ScopedFont(MakeFont()).release();
  EXPECT_NE(GetObjectType(kept), 0u) << "release keeps the object";
  DeleteObject(kept);
}

TEST(GdiGuards, AMovedSelectionIsUndoneOnce) {
  ScopedMemoryDC dc(nullptr);
  const HGDIOBJ original = GetCurrentObject(dc.get(), OBJ_FONT);
  ScopedFont font(MakeFont());
  {
    ScopedSelectObject first(dc.get(), font.get());
    ScopedSelectObject second(std::move(first));
    EXPECT_EQ(GetCurrentObject(dc.get(), OBJ_FONT), font.get());
  }
  EXPECT_EQ(GetCurrentObject(dc.get(), OBJ_FONT), original);
}

TEST(CentreWindow, PutsTheWindowsCentreOnTheDesktopsCentre) {
  const HWND window = CreateWindowExA(0, "STATIC", "", WS_POPUP, 3, 7, 201, 101, nullptr, nullptr,
                                      GetModuleHandleA(nullptr), nullptr);
  CentreWindow(window);
  RECT rect{}, desktop{};
  GetWindowRect(window, &rect);
  GetWindowRect(GetDesktopWindow(), &desktop);
  EXPECT_EQ(rect.left, desktop.right / 2 - 201 / 2);
  EXPECT_EQ(rect.top, desktop.bottom / 2 - 101 / 2);
  EXPECT_EQ(rect.right - rect.left, 201);
  EXPECT_EQ(rect.bottom - rect.top, 101);
  DestroyWindow(window);
}

}  // namespace
