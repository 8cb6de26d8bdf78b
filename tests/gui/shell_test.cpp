// The frame in the test's own process: each mode's menus and keys, the
// commands it passes to the active child, the window commands over its
// children; and the window thunk and GDI guards.
#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "gui_harness.h"
#include "primitives/memory.h"
#include "resource.h"
#include "shell/gdi_guards.h"
#include "shell/window_thunk.h"

namespace {

// A key as the program's loop takes it: the modifiers in the thread's key
// state, the message through the frame's translation.
void Type(const gui::Frame& frame, UINT message, WPARAM key, std::initializer_list<int> modifiers = {}) {
  BYTE keys[256] = {};
  for (int modifier : modifiers) keys[modifier] = 0x80;
  SetKeyboardState(keys);
  MSG typed{MDIFrame, message, key, keys[VK_MENU] != 0 ? 0x20000001 : 1, 0, {0, 0}};
  TranslateFrameMessage(typed, frame.accelerators);
  std::fill(std::begin(keys), std::end(keys), 0);
  SetKeyboardState(keys);
}

HWND OpenBrowser(const std::string& directory) {
  auto* path = static_cast<char*>(MemAllocate(directory.size() + 1));
  return OpenBrowserWindow(static_cast<char*>(std::memcpy(path, directory.c_str(), directory.size() + 1)));
}

TEST(Frame, EachModeHasItsMenusAndKeys) {
  gui::Sample sample;
  // The dialog each key opens over a browser on Stocks (its first line
  // selected) in each mode; null: nothing.
  const struct {
    UINT message;
    WPARAM key;
    std::initializer_list<int> modifiers;
    const char *interactive, *utility;
  } keys[] = {
      {WM_KEYDOWN, VK_F1, {}, "About Quorvex", "About Quorvex"},
      {WM_CHAR, 15, {VK_CONTROL}, "Select Path", nullptr},
      {WM_KEYDOWN, VK_RETURN, {VK_SHIFT}, "Test and Repair DAT File", nullptr},
      {WM_KEYDOWN, VK_F8, {}, "Copy", nullptr},
      {WM_KEYDOWN, VK_F7, {}, "Move", nullptr},
      {WM_KEYDOWN, VK_DELETE, {}, "Delete", nullptr},  // greyed in the utility bar: no command
      {WM_KEYDOWN, VK_INSERT, {}, "Create", nullptr},
      {WM_KEYDOWN, VK_RETURN, {}, nullptr, nullptr},  // opens an editor, interactive only
  };
  for (const bool utility : {false, true}) {
    SCOPED_TRACE(utility ? "utility mode" : "interactive mode");
    gui::Frame frame(utility ? "AUTOTEST TESTMASTER" : "");
    EXPECT_TRUE(IsZoomed(MDIFrame));
    EXPECT_EQ(GetMenu(MDIFrame), hMenuInit);
    for (HMENU bar : {hMenuInit, hMenuFiler, hMenuEdit})
      EXPECT_EQ(GetMenuState(bar, IDM_SELECT_PATH, MF_BYCOMMAND) & MF_GRAYED, utility ? MF_GRAYED : 0u);
    OpenBrowser(sample.Dir("Stocks"));
    EXPECT_EQ(GetMenu(MDIFrame), hMenuFiler);
    for (const auto& k : keys) {
      gui::Responder responder;
      if (const char* caption = utility ? k.utility : k.interactive)
        responder.Dialog(caption, {}, {}, IDCANCEL);
      Type(frame, k.message, k.key, k.modifiers);
      gui::Drain();
    }
    EXPECT_EQ(frame.Children("MdiEditChild").size(), utility ? 0u : 1u);
  }
}

TEST(Frame, WindowCommandsListArrangeAndCloseTheChildren) {
  testing_support::TempDir empty;
  gui::Frame frame;
  const HWND first = OpenBrowser(empty.Dir()), second = OpenBrowser(empty.Dir());
  const HMENU windowMenu = GetSubMenu(GetMenu(MDIFrame), 3);  // the list, from 1000 on
  EXPECT_EQ(GetMenuItemID(windowMenu, GetMenuItemCount(windowMenu) - 1), IDM_FIRST_CHILD + 1u);
  SendMessageA(MDIFrame, WM_COMMAND, IDM_FIRST_CHILD, 0);
  EXPECT_EQ(frame.Active(), first);
  const auto same = [&] {  // whether the two have the same top, left and width
    RECT a{}, b{};
    GetWindowRect(first, &a);
    GetWindowRect(second, &b);
    return std::vector<bool>{a.top == b.top, a.left == b.left, a.right - a.left == b.right - b.left};
  };
  SendMessageA(MDIFrame, WM_COMMAND, IDM_TILE_VERTICALLY, 0);
  EXPECT_EQ(same(), (std::vector<bool>{true, false, true})) << "side by side";
  Type(frame, WM_KEYDOWN, VK_F4, {VK_SHIFT});
  EXPECT_EQ(same(), (std::vector<bool>{false, true, true})) << "one above the other";
  Type(frame, WM_KEYDOWN, VK_F5, {VK_SHIFT});
  EXPECT_EQ(same(), (std::vector<bool>{false, false, true})) << "cascaded";
  Type(frame, WM_KEYDOWN, VK_F2, {VK_SHIFT});
  Type(frame, WM_SYSCHAR, 'a', {VK_MENU});
  RECT icon{}, area{};
  GetWindowRect(first, &icon);
  GetWindowRect(MDIhwnd, &area);
  EXPECT_TRUE(IsIconic(first) && IsIconic(second) && icon.top > (area.top + area.bottom) / 2)
      << "arranged icons";

  SendMessageA(MDIFrame, WM_COMMAND, IDM_CLOSE, 0);
  EXPECT_EQ(frame.Children("MdiFilerChild").size(), 1u) << "Close: the active child only";
  Type(frame, WM_KEYDOWN, VK_F4, {VK_CONTROL, VK_SHIFT});
  EXPECT_TRUE(frame.Children("MdiFilerChild").empty()) << "Close All";
  EXPECT_EQ(GetMenu(MDIFrame), hMenuInit);
  Type(frame, WM_SYSCHAR, 'x', {VK_MENU});
  MSG quit{};
  EXPECT_FALSE(IsWindow(MDIFrame)) << "Alt+X ends the program";
  EXPECT_TRUE(PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) && quit.wParam == 0);
}

struct Counted {  // a window's state that counts its instances; refuses WM_CREATE when asked
  static inline int alive = 0;
  bool refuse = false;
  Counted() { ++alive; }
  ~Counted() { --alive; }
};

LRESULT HandleCounted(HWND window, Counted& state, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CREATE && state.refuse) throw std::runtime_error("refused");
  return message == WM_USER ? reinterpret_cast<LRESULT>(&state)
                            : DefWindowProcA(window, message, wParam, lParam);
}

LRESULT CALLBACK CountedProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return RunWindowProcedure<Counted>(window, message, wParam, lParam, AdoptTicket<Counted>, HandleCounted,
                                     DefWindowProcA);
}

TEST(WindowSupport, TheWindowOwnsItsStateNoExceptionLeavesItsProcedureAndGdiGuardsDeleteOnce) {
  WNDCLASSA windowClass{0,       CountedProc, 0,       0,       GetModuleHandleA(nullptr),
                        nullptr, nullptr,     nullptr, nullptr, "QuorvexThunkTest"};
  ASSERT_NE(RegisterClassA(&windowClass), 0);
  for (const int kind : {0, 1, 2}) {  // with state, refusing WM_CREATE, without state
    StateTicket<Counted> ticket{kind == 2 ? nullptr : std::make_unique<Counted>()};
    if (kind == 1) ticket.state->refuse = true;
    const LRESULT state = reinterpret_cast<LRESULT>(ticket.state.get());
    const HWND window = CreateWindowExA(0, windowClass.lpszClassName, "", 0, 0, 0, 9, 9, nullptr, nullptr,
                                        windowClass.hInstance, &ticket);
    EXPECT_EQ(window == nullptr, kind == 1) << kind;
    EXPECT_EQ(window != nullptr ? SendMessageA(window, WM_USER, 0, 0) : state, state) << kind;
    DestroyWindow(window);
    EXPECT_TRUE(ticket.state == nullptr && Counted::alive == 0) << "the window took the state and freed it";
  }

  ScopedMemoryDC dc(nullptr);
  const HGDIOBJ original = GetCurrentObject(dc.get(), OBJ_FONT);
  HFONT font = nullptr;
  {
    ScopedFont made(CreateFontA(20, 0, 0, 0, FW_NORMAL, 0, 0, 0, 0, 0, 0, 0, 0, "Arial")),
        owner(std::move(made));
    ScopedSelectObject selected(dc.get(), font = owner.get()), moved(std::move(selected));
    EXPECT_TRUE(GetCurrentObject(dc.get(), OBJ_FONT) == font && !made);
  }
  EXPECT_EQ(GetCurrentObject(dc.get(), OBJ_FONT), original) << "the selection undone";
  EXPECT_EQ(GetObjectType(font), 0u) << "then the font deleted";
}

}  // namespace
