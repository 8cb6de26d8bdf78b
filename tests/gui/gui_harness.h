// What the GUI scenarios share: waits with a time limit, a responder for the dialogs this thread opens,
// the frame built as the program builds it, the real program driven from outside, and screenshots.
#pragma once

#include <windows.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <deque>
#include <filesystem>
#include <functional>
#include <future>
#include <set>
#include <string>
#include <vector>

#include "editor/editor_model.h"
#include "resource.h"
#include "sample_data.h"
#include "shell/frame_window.h"
#include "shell/remote_requests.h"
#include "shell/shell_globals.h"
#include "shell/startup.h"
#include "shell/window_thunk.h"
#include "store/master_file.h"
#include "support/temp_dir.h"

namespace gui {

inline void Drain() {  // WM_QUIT is taken out: it would end the next modal loop
  for (MSG message; PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE);)
    if (message.message != WM_QUIT) DispatchMessageA(&message);
}

// Dispatches this thread's messages until done() holds.
inline testing::AssertionResult Pump(const std::string& what, const std::function<bool()>& done) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  for (Drain(); !done(); Drain()) {
    if (std::chrono::steady_clock::now() > deadline)
      return testing::AssertionFailure() << "timed out: " << what;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
  return testing::AssertionSuccess();
}

inline std::string Text(HWND window) {  // WM_GETTEXT works across processes
  char text[2048] = {};
  SendMessageA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
  return text;
}
inline std::string Item(HWND dialog, int id) {
  return Text(GetDlgItem(dialog, id));
}
inline bool Is(HWND window, const char* className) {
  char name[64] = {};
  GetClassNameA(window, name, sizeof name);
  return lstrcmpiA(name, className) == 0;
}

using Texts = std::vector<std::string>;

// A list box's lines, read in UTF-16: all that another process's list box answers faithfully.
inline Texts Lines(HWND list) {
  Texts lines;
  for (WPARAM i = 0; i < WPARAM(SendMessageA(list, LB_GETCOUNT, 0, 0)); ++i) {
    std::wstring wide(512, L'\0');
    wide.resize(size_t(SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(wide.data()))));
    lines.emplace_back(wide.begin(), wide.end());
  }
  return lines;
}

// What a click delivers: a button's command (posted, as a click is), a list line's selection and
// double-click.
inline void Click(HWND dialog, int button) {
  PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, button)));
}
inline void Notify(HWND dialog, int control, int code) {
  SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(control, code),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, control)));
}
inline void Pick(HWND dialog, int list, int line, bool twice = false) {
  SendDlgItemMessageA(dialog, list, LB_SETCURSEL, WPARAM(line), 0);
  Notify(dialog, list, LBN_SELCHANGE);
  if (twice) Notify(dialog, list, LBN_DBLCLK);
}

// Control texts by identifier: what a dialog shows, or what is entered.
using Items = std::vector<std::pair<int, std::string>>;

// Enters texts as a person would: a check box checked ("1") or cleared, a list's line selected (added to a
// multiple selection), a drop-down list's entry chosen, anything else typed; then clicks button.
inline void Enter(HWND dialog, const Items& entries, int button = 0) {
  for (const auto& [id, text] : entries) {
    const HWND control = GetDlgItem(dialog, id);
    const auto style = GetWindowLongA(control, GWL_STYLE);
    const bool list = Is(control, "ListBox");
    const auto line = SendMessageA(control, list ? LB_FINDSTRINGEXACT : CB_FINDSTRINGEXACT, WPARAM(-1),
                                   reinterpret_cast<LPARAM>(text.c_str()));
    if (Is(control, "Button"))
      CheckDlgButton(dialog, id, text == "1" ? BST_CHECKED : BST_UNCHECKED);
    else if (list && (style & (LBS_MULTIPLESEL | LBS_EXTENDEDSEL)) != 0)
      SendMessageA(control, LB_SETSEL, TRUE, line);
    else if (list)
      Pick(dialog, id, int(line));
    else if (Is(control, "ComboBox") && (style & 3) == CBS_DROPDOWNLIST)
      SendMessageA(control, CB_SETCURSEL, line, 0);
    else
      SetWindowTextA(control, text.c_str());
  }
  if (button != 0) Click(dialog, button);
}

// Answers the dialogs this thread opens in order, each once (a box closing activates it again); one not
// expected next fails the test and is closed, as does an expectation never met.
class Responder {
 public:
  Responder() : hook_(SetWindowsHookExA(WH_CBT, Hook, nullptr, GetCurrentThreadId())) { active = this; }
  ~Responder() {
    UnhookWindowsHookEx(hook_);
    active = nullptr;
    for (const Expected& e : expected_) ADD_FAILURE() << "never shown: \"" << e.caption << "\" " << e.text;
  }
  // A dialog whose controls show `shown`: look (if any) examines it, the entries are entered, button clicked.
  Responder& Dialog(std::string caption, Items shown, Items entries, int button,
                    std::function<void(HWND)> look = {}) {
    return Add(caption, "", [=, this](HWND dialog) {
      for (const auto& [id, text] : shown) EXPECT_EQ(Item(dialog, id), text) << caption << ", control " << id;
      if (look) look(dialog);
      Enter(last_ = dialog, entries, button);
    });
  }
  // A message box with this text: the stop icon and OK for IDOK, else the question icon (or icon) with Yes
  // and No. Then the entries go into the dialog answered last, and again is clicked there.
  Responder& Box(std::string text, int button, Items entries = {}, int again = 0, LPCSTR icon = nullptr) {
    const HICON expected = LoadIconA(nullptr, icon ? icon : button == IDOK ? IDI_HAND : IDI_QUESTION);
    return Add("Quorvex", text, [=, this](HWND box) {
      HWND shown = GetWindow(box, GW_CHILD);
      while (shown != nullptr && (GetWindowLongA(shown, GWL_STYLE) & SS_TYPEMASK) != SS_ICON)
        shown = GetWindow(shown, GW_HWNDNEXT);
      EXPECT_EQ(reinterpret_cast<HICON>(SendMessageA(shown, STM_GETICON, 0, 0)), expected) << text;
      EXPECT_EQ(GetDlgItem(box, IDNO) == nullptr, button == IDOK) << text << ": OK alone, or Yes and No";
      Click(box, button);
      if (again != 0) Enter(last_, entries, again);
    });
  }

 private:
  struct Expected {
    std::string caption, text;  // text: a message box's (control 0xFFFF), "" for other dialogs
    std::function<void(HWND)> act;
  };
  Responder& Add(std::string caption, std::string text, std::function<void(HWND)> act) {
    expected_.push_back({std::move(caption), std::move(text), std::move(act)});
    return *this;
  }
  static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam) {
    const auto window = reinterpret_cast<HWND>(wParam);
    // Answered from inside the dialog's own modal loop; the modeless reports (with a minimise box) are not.
    if (active && code == HCBT_ACTIVATE && Is(window, "#32770") &&
        (GetWindowLongA(window, GWL_STYLE) & WS_MINIMIZEBOX) == 0 && active->seen_.insert(window).second)
      SetTimer(window, 0x7E57, 0, Answer);
    if (active && code == HCBT_DESTROYWND) active->seen_.erase(window);  // its handle may come again
    return CallNextHookEx(nullptr, code, wParam, lParam);
  }
  static void CALLBACK Answer(HWND dialog, UINT, UINT_PTR timer, DWORD) {
    KillTimer(dialog, timer);
    const std::string caption = Text(dialog), text = Item(dialog, 0xFFFF);
    if (active == nullptr) return;
    auto& next = active->expected_;
    if (!next.empty() && next.front().caption == caption &&
        (next.front().text.empty() || next.front().text == text)) {
      const auto act = std::move(next.front().act);
      next.pop_front();
      return act(dialog);
    }
    ADD_FAILURE() << "unexpected dialog \"" << caption << "\" " << text << "; expected "
                  << (next.empty() ? "none" : "\"" + next.front().caption + "\" " + next.front().text);
    Click(dialog, GetDlgItem(dialog, IDNO) != nullptr ? IDNO : IDCANCEL);
  }
  static inline Responder* active = nullptr;
  HHOOK hook_;
  HWND last_ = nullptr;
  std::deque<Expected> expected_;
  std::set<HWND> seen_;
};

// The frame built and maximised as the program does; at the end destroyed and the loop's clean-up run.
struct Frame {
  explicit Frame(const char* commandLine = "") {
    DecideMode(commandLine);
    RegisterWindowClasses(hInst = GetModuleHandleA(nullptr));
    LoadFolderImages(hInst);
    EXPECT_EQ(RegisterRemoteMessages(), 1);
    accelerators = LoadModeMenus(hInst);
    EXPECT_NE(CreateFrameWindow(hInst), nullptr);
    ShowWindow(MDIFrame, SW_SHOWMAXIMIZED);
    UpdateWindow(MDIFrame);
  }
  ~Frame() {
    DestroyWindow(MDIFrame);
    Drain();
    CleanUpAfterLoop(hInst);
    MDIFrame = MDIhwnd = nullptr;
  }
  HWND Active() const { return reinterpret_cast<HWND>(SendMessageA(MDIhwnd, WM_MDIGETACTIVE, 0, 0)); }
  std::vector<HWND> Children(const char* className) const {  // oldest first
    std::vector<HWND> children;
    for (HWND child = GetWindow(MDIhwnd, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT))
      if (Is(child, className)) children.insert(children.begin(), child);
    return children;
  }
  HACCEL accelerators;
};

// The sample tree in a scratch directory; Dir("Stocks") is "<root>\Stocks\".
struct Sample {
  Sample() {
    std::string error;
    EXPECT_TRUE(sample::WriteSampleData(temp.Path("data"), &error)) << error;
  }
  std::string Dir(const std::string& sub = "") const {
    return temp.Dir() + "data\\" + sub + (sub.empty() ? "" : "\\");
  }
  std::string Path(const std::string& relative) const { return temp.Path("data/" + relative); }
  testing_support::TempDir temp;
};

// A build-tree path as the program's system sees it (Wine shows / as Z:).
inline std::string Native(const std::string& unixPath) {
  char path[MAX_PATH] = {};
  GetFullPathNameA(unixPath.c_str(), sizeof path, path, nullptr);
  return path;
}

// A program started with exactly this command line; ended if still running.
class Program {
 public:
  explicit Program(const std::string& arguments) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    std::string line = "\"" + Native(QUORVEX_PROGRAM) + "\" " + arguments;
    EXPECT_TRUE(CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                               &process_));
  }
  ~Program() {
    TerminateProcess(process_.hProcess, 99);  // when still running
    WaitForSingleObject(process_.hProcess, 10000);
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
  }
  // Its visible top-level window of this class (and caption, unless null).
  HWND Find(const char* className, const char* caption = nullptr) const {
    for (HWND w = nullptr; (w = FindWindowExA(nullptr, w, className, caption)) != nullptr;) {
      DWORD owner = 0;
      GetWindowThreadProcessId(w, &owner);
      if (owner == process_.dwProcessId && IsWindowVisible(w)) return w;
    }
    return nullptr;
  }
  HWND WaitFor(const char* className, const char* caption = nullptr) const {
    HWND window = nullptr;
    EXPECT_TRUE(Pump(className, [&] { return (window = Find(className, caption)) != nullptr; })) << caption;
    return window;
  }
  DWORD ExitCode() const {
    DWORD code = STILL_ACTIVE;
    WaitForSingleObject(process_.hProcess, 20000);
    return GetExitCodeProcess(process_.hProcess, &code), code;
  }

 private:
  PROCESS_INFORMATION process_{};
};

// A registered message sent from another thread while the test answers what it opens; 12345: no answer.
inline std::shared_future<LRESULT> Send(HWND frame, const char* name) {
  return std::async(std::launch::async, [frame, message = RegisterWindowMessageA(name)] {
    DWORD_PTR result = 0;
    return SendMessageTimeoutA(frame, message, 0, 0, SMTO_NORMAL, 60000, &result) ? LRESULT(result) : 12345;
  });
}

// Saves the repainted screen as <name>.bmp once two grabs 50 ms apart agree (the run ends making PNGs).
inline void Shot(const std::string& name) {
  RedrawWindow(nullptr, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
  const DWORD offset = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER),
              size = ((width * 3 + 3) & ~3) * height;
  BITMAPINFOHEADER info{sizeof info, width, height, 1, 24, BI_RGB, size, 0, 0, 0, 0};
  const BITMAPFILEHEADER file{0x4D42, offset + size, 0, 0, offset};
  testing_support::Bytes bmp, previous;
  EXPECT_TRUE(Pump("the screen to settle for " + name, [&] {
    Sleep(50);
    previous = std::exchange(bmp, testing_support::Bytes(offset + size));
    std::memcpy(bmp.data(), &file, sizeof file);
    std::memcpy(bmp.data() + sizeof file, &info, sizeof info);
    HDC screen = GetDC(nullptr), memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    DeleteObject(SelectObject(memory, bitmap));
    BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY);
    DeleteDC(memory);
    GetDIBits(screen, bitmap, 0, height, bmp.data() + offset, reinterpret_cast<BITMAPINFO*>(&info),
              DIB_RGB_COLORS);
    DeleteObject(bitmap);
    ReleaseDC(nullptr, screen);
    return bmp == previous;
  }));
  std::filesystem::create_directories(Native(QUORVEX_ARTIFACT_DIR));
  testing_support::WriteBytes(Native(QUORVEX_ARTIFACT_DIR "/" + name + ".bmp"), bmp);
}

}  // namespace gui
