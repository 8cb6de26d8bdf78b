// The shell: the frame in the test's own process (each mode's menus and keys, the window commands), the
// window thunk and GDI guards; and the real quorvex.exe driven from outside as a person and a program sending
// test requests would: the start in each mode, a key through its loop, each request's answer and effects.
#include <stdexcept>

#include "gui_harness.h"
#include "primitives/memory.h"
#include "shell/gdi_guards.h"
#include "support/scenes.h"

namespace {

// A key through the frame's translation, its modifiers in the key state (Ctrl+letter: a control character).
void Type(const gui::Frame& frame, WPARAM key, std::initializer_list<int> modifiers = {}) {
  BYTE keys[256] = {}, none[256] = {};
  for (int modifier : modifiers) keys[modifier] = 0x80;
  SetKeyboardState(keys);
  const bool control = keys[VK_CONTROL] != 0 && key >= 'A' && key <= 'Z', alt = keys[VK_MENU] != 0;
  const UINT message = control ? WM_CHAR : alt ? WM_SYSCHAR : WM_KEYDOWN;
  MSG typed{MDIFrame, message, control ? key - '@' : key, alt ? 0x20000001 : 1, 0, {}};
  TranslateFrameMessage(typed, frame.accelerators);
  SetKeyboardState(none);
}

HWND OpenBrowser(const std::string& directory) {
  auto* path = static_cast<char*>(MemAllocate(directory.size() + 1));
  return OpenBrowserWindow(static_cast<char*>(std::memcpy(path, directory.c_str(), directory.size() + 1)));
}

TEST(Frame, EachModeHasItsMenusAndKeys) {
  gui::Sample sample;
  // The dialog each key opens over a browser on Stocks (its first line selected) in each mode; null: nothing.
  const std::tuple<WPARAM, std::initializer_list<int>, const char*, const char*> keys[] = {
      {VK_F1, {}, "About Quorvex", "About Quorvex"},
      {'O', {VK_CONTROL}, "Select Path", nullptr},
      {VK_RETURN, {VK_SHIFT}, "Test and Repair DAT File", nullptr},
      {VK_F8, {}, "Copy", nullptr},
      {VK_F7, {}, "Move", nullptr},
      {VK_DELETE, {}, "Delete", nullptr},  // greyed in the utility bar: no command
      {VK_INSERT, {}, "Create", nullptr},
      {VK_RETURN, {}, nullptr, nullptr},  // opens an editor, interactive only
  };
  for (const bool utility : {false, true}) {
    SCOPED_TRACE(utility ? "utility mode" : "interactive mode");
    gui::Frame frame(utility ? "AUTOTEST TESTMASTER" : "");
    EXPECT_EQ(GetMenu(MDIFrame), hMenuInit);
    for (HMENU bar : {hMenuInit, hMenuFiler, hMenuEdit})
      EXPECT_EQ(GetMenuState(bar, IDM_SELECT_PATH, MF_BYCOMMAND) & MF_GRAYED, utility ? MF_GRAYED : 0u);
    OpenBrowser(sample.Dir("Stocks"));
    EXPECT_EQ(GetMenu(MDIFrame), hMenuFiler);
    for (const auto& [key, modifiers, interactively, inUtilityMode] : keys) {
      gui::Responder responder;
      if (const char* caption = utility ? inUtilityMode : interactively)
        responder.Dialog(caption, {}, {}, IDCANCEL);
      Type(frame, key, modifiers);
      gui::Drain();
    }
    EXPECT_EQ(frame.Children("MdiEditChild").size(), utility ? 0u : 1u);
  }
}

TEST(Frame, WindowCommandsListArrangeAndCloseTheChildren) {
  testing_support::TempDir empty;
  gui::Frame frame;
  const HWND first = OpenBrowser(empty.Dir()), second = OpenBrowser(empty.Dir());
  const HMENU list = GetSubMenu(GetMenu(MDIFrame), 3);  // the Window menu, its last item the second child
  EXPECT_EQ(GetMenuItemID(list, GetMenuItemCount(list) - 1), IDM_FIRST_CHILD + 1u);
  SendMessageA(MDIFrame, WM_COMMAND, IDM_FIRST_CHILD, 0);
  EXPECT_EQ(frame.Active(), first);
  RECT a{}, b{};
  const auto same = [&] {  // whether the two have the same top, left and width
    GetWindowRect(first, &a);
    GetWindowRect(second, &b);
    return std::vector<bool>{a.top == b.top, a.left == b.left, a.right - a.left == b.right - b.left};
  };
  SendMessageA(MDIFrame, WM_COMMAND, IDM_TILE_VERTICALLY, 0);
  EXPECT_EQ(same(), (std::vector<bool>{true, false, true})) << "side by side";
  Type(frame, VK_F4, {VK_SHIFT});
  EXPECT_EQ(same(), (std::vector<bool>{false, true, true})) << "one above the other";
  Type(frame, VK_F5, {VK_SHIFT});
  EXPECT_EQ(same(), (std::vector<bool>{false, false, true})) << "cascaded";
  Type(frame, VK_F2, {VK_SHIFT});
  SetWindowPos(first, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER);  // an icon moved out of the row
  Type(frame, 'a', {VK_MENU});
  EXPECT_TRUE(IsIconic(first) && IsIconic(second)) << "all minimised";
  EXPECT_EQ(same(), (std::vector<bool>{true, false, true})) << "the icons arranged in a row";

  SendMessageA(MDIFrame, WM_COMMAND, IDM_CLOSE, 0);
  EXPECT_EQ(frame.Children("MdiFilerChild").size(), 1u) << "Close: the active child only";
  Type(frame, VK_F4, {VK_CONTROL, VK_SHIFT});
  EXPECT_TRUE(frame.Children("MdiFilerChild").empty()) << "Close All";
  EXPECT_EQ(GetMenu(MDIFrame), hMenuInit);
  Type(frame, 'x', {VK_MENU});
  MSG quit{};
  EXPECT_FALSE(IsWindow(MDIFrame)) << "Alt+X ends the program";
  EXPECT_TRUE(PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) && quit.wParam == 0);
}

struct Counted {  // a window's state that counts its instances; refuses WM_CREATE when asked
  static inline int alive = 0;
  bool refuse;
  explicit Counted(bool refusing) : refuse(refusing) { ++alive; }
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
    StateTicket<Counted> ticket{kind == 2 ? nullptr : std::make_unique<Counted>(kind == 1)};
    const LRESULT state = reinterpret_cast<LRESULT>(ticket.state.get());
    const HWND window = CreateWindowExA(0, windowClass.lpszClassName, "", 0, 0, 0, 9, 9, nullptr, nullptr,
                                        windowClass.hInstance, &ticket);
    EXPECT_EQ(window == nullptr, kind == 1) << kind;
    EXPECT_EQ(SendMessageA(window, WM_USER, 0, 0), window ? state : 0) << kind;
    DestroyWindow(window);
    EXPECT_TRUE(ticket.state == nullptr && Counted::alive == 0) << "the window took the state and freed it";
  }

  ScopedMemoryDC dc(nullptr);
  const HGDIOBJ original = GetCurrentObject(dc.get(), OBJ_PEN);
  HPEN pen = nullptr;
  {
    ScopedPen made(CreatePen(PS_SOLID, 2, RGB(255, 0, 0))), owner(std::move(made));
    ScopedSelectObject selected(dc.get(), pen = owner.get()), moved(std::move(selected));
    EXPECT_TRUE(GetCurrentObject(dc.get(), OBJ_PEN) == pen && !made);
  }
  EXPECT_EQ(GetCurrentObject(dc.get(), OBJ_PEN), original) << "the selection undone";
  EXPECT_EQ(GetObjectType(pen), 0u) << "then the pen deleted";
}

std::string PathPart(const std::string& directory) {  // without its backslash, as a command line names it
  return "PATH:\"" + directory.substr(0, directory.size() - 1) + "\"";
}
std::string AnswerBox(const gui::Program& program) {  // the box the program shows now, closed by OK
  const HWND box = program.WaitFor("#32770", "Quorvex");
  const std::string text = gui::Item(box, 0xFFFF);
  gui::Click(box, IDOK);
  EXPECT_TRUE(gui::Pump("the box to close", [&] { return !IsWindow(box); }));
  return text;
}

LRESULT Answer(const std::shared_future<LRESULT>& answer) {
  EXPECT_TRUE(gui::Pump("the request's answer", [&] {
    return answer.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
  }));
  return answer.get();
}

TEST(Program, AnInteractiveStartShowsTheBannerThenTheFrameWithItsBrowserAndAnswersOnlyTestRequests) {
  gui::Sample sample;
  const auto started = std::chrono::steady_clock::now();
  gui::Program program(PathPart(sample.Dir()));
  const HWND banner = program.WaitFor("#32770");
  RECT area{};
  EXPECT_TRUE(GetClientRect(banner, &area) && area.right == 539 && area.bottom == 272) << "its picture";
  EXPECT_EQ(program.Find("QuorvexMDIFrame"), nullptr) << "the frame waits for the banner";
  gui::Shot("shell-banner");
  const HWND frame = program.WaitFor("QuorvexMDIFrame", "Quorvex");
  EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::seconds(3)) << "the banner's time";
  EXPECT_TRUE(IsZoomed(frame) && !IsWindow(banner));
  const HWND client = FindWindowExA(frame, nullptr, "MDIClient", nullptr);
  EXPECT_TRUE(gui::Pump("a browser on the command line's path", [&] {
    return FindWindowExA(client, nullptr, "MdiFilerChild", sample.Dir().c_str()) != nullptr;
  }));
  gui::Shot("shell-frame");
  PostMessageA(frame, WM_KEYDOWN, VK_F1, 1);  // through the program's accelerators
  const HWND about = program.WaitFor("#32770", "About Quorvex");
  gui::Shot("shell-about");
  gui::Click(about, IDOK);
  EXPECT_TRUE(gui::Pump("About to close", [&] { return !IsWindow(about); }));

  EXPECT_EQ(Answer(gui::Send(frame, "KXUTILINIT")), 0) << "not a test request: default processing";
  const auto master = gui::Send(frame, "KXUTILTESTMASTER");
  EXPECT_EQ(AnswerBox(program), "A bad command line was specified!");
  EXPECT_EQ(Answer(master), -1);
  EXPECT_EQ(Answer(gui::Send(frame, "KXUTILTESTDAT")), -1) << "the program still open after a master request";
  EXPECT_EQ(program.ExitCode(), 0u) << "a DAT request to an interactive instance closes it";
}

TEST(Program, AMasterRequestShowsItsReportAndRepairsNothingThenADATRequestEndsTheProgram) {
  gui::Sample sample;
  const std::string directory = sample.Dir("Damaged\\Master");
  const fixtures::Snapshot before = fixtures::TakeSnapshot(sample.Path("Damaged/Master"));
  gui::Program program("AUTOTEST TESTDAT " + PathPart(directory) + " FILE:1");
  HWND frame = nullptr, banner = nullptr;
  EXPECT_TRUE(gui::Pump("the frame", [&] {
    banner = banner ? banner : program.Find("#32770");
    return (frame = program.Find("QuorvexMDIFrame")) != nullptr;
  }));
  EXPECT_TRUE(banner == nullptr && IsZoomed(frame)) << "no banner; maximised";

  const auto master = gui::Send(frame, "KXUTILTESTMASTER");
  EXPECT_EQ(AnswerBox(program), directory);
  const HWND report = program.WaitFor("#32770", "Master File Errors");
  EXPECT_EQ(gui::Lines(GetDlgItem(report, IDC_INSTRUMENT_LIST)).size(), 12u) << "11 instruments, the header";
  EXPECT_EQ(gui::Lines(GetDlgItem(report, IDC_PROBLEM_LIST)), gui::Texts{"Not Repaired : Missing DAT File"});
  gui::Shot("integrity-master-report");
  EXPECT_EQ(master.wait_for(std::chrono::seconds(0)), std::future_status::timeout) << "the sender waits";
  // Closed by a message sent from here: the program's wait sees it at once.
  EXPECT_TRUE(SendMessageTimeoutA(report, WM_CLOSE, 0, 0, SMTO_NORMAL, 20000, nullptr));
  EXPECT_EQ(Answer(master), -1);
  EXPECT_TRUE(fixtures::TakeSnapshot(sample.Path("Damaged/Master")) == before)
      << "a remote test repairs nothing";

  const auto dat = gui::Send(frame, "KXUTILTESTDAT");  // F1 has no data file
  EXPECT_EQ(
      AnswerBox(program),
      "File is read only or has been opened by another process, check permissions for this file and/or close "
      "the file in any applications that are using it.");
  EXPECT_EQ(Answer(dat), -1);
  EXPECT_EQ(program.ExitCode(), 0u);
}

}  // namespace
