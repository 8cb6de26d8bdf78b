// The GUI's wiring under Wine: keys, commands, dialogs, message boxes, files, screenshots. The windows run in
// this process, the frame built as the program does; the real program is driven from outside.
#include <windows.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <deque>
#include <filesystem>
#include <algorithm>
#include <functional>
#include <future>
#include <string>
#include <vector>

#include "editor/editor_model.h"
#include "editor/editor_window.h"
#include "reports/report_windows.h"
#include "resource.h"
#include "sample_data.h"
#include "shell/frame_window.h"
#include "shell/remote_requests.h"
#include "shell/startup.h"
#include "store/master_file.h"
#include "support/fixtures.h"
#include "support/scenes.h"
#include "support/temp_dir.h"
#include "winui/app_globals.h"
#include "winui/window_thunk.h"

namespace {

using namespace fixtures;
using namespace testing_support;

void Drain() {  // WM_QUIT is taken out: it would end the next modal loop
  for (MSG message; PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE);)
    if (message.message != WM_QUIT) DispatchMessageA(&message);
}

// Dispatches this thread's messages until done() holds.
testing::AssertionResult Pump(const std::string& what, const std::function<bool()>& done) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  for (Drain(); !done(); Drain()) {
    if (std::chrono::steady_clock::now() > deadline)
      return testing::AssertionFailure() << "timed out: " << what;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
  return testing::AssertionSuccess();
}

std::string Text(HWND window) {  // WM_GETTEXT works across processes
  char text[2048] = {};
  SendMessageA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
  return text;
}
bool Is(HWND window, const char* className) {
  char name[64] = {};
  GetClassNameA(window, name, sizeof name);
  return lstrcmpiA(name, className) == 0;
}

// What a dialog's control shows: a check box "1" or "0", a list box its lines, each ended by '\n' (read in
// UTF-16: all that another process's list box answers faithfully), others their text.
std::string Item(HWND dialog, int id) {
  const HWND control = GetDlgItem(dialog, id);
  if (Is(control, "Button")) return std::to_string(IsDlgButtonChecked(dialog, id));
  if (!Is(control, "ListBox")) return Text(control);
  std::string lines;
  for (WPARAM i = 0; i < WPARAM(SendMessageA(control, LB_GETCOUNT, 0, 0)); ++i) {
    std::wstring line(512, L'\0');
    line.resize(size_t(SendMessageW(control, LB_GETTEXT, i, reinterpret_cast<LPARAM>(line.data()))));
    lines += std::string(line.begin(), line.end()) + "\n";
  }
  return lines;
}

// What a click delivers: a button's command, posted as a click's is; a control's notification, sent.
void Click(HWND dialog, int id) {
  PostMessageA(dialog, WM_COMMAND, WPARAM(id), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}
void Notify(HWND dialog, int id, int code = BN_CLICKED) {
  SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}
void Pick(HWND dialog, int list, int line, bool twice = false) {  // twice: a double-click
  SendDlgItemMessageA(dialog, list, LB_SETCURSEL, WPARAM(line), 0);
  Notify(dialog, list, LBN_SELCHANGE);
  if (twice) Notify(dialog, list, LBN_DBLCLK);
}

using Items = std::vector<std::pair<int, std::string>>;  // control texts by identifier: shown or entered
// Enters texts as a person would: a check box checked ("1") or cleared, a list's line selected (added to a
// multiple selection), a combo box's entry chosen, anything else typed; then clicks button.
void Enter(HWND dialog, const Items& entries, int button = 0) {
  for (const auto& [id, text] : entries) {
    const HWND control = GetDlgItem(dialog, id);
    const bool list = Is(control, "ListBox");
    const auto line = SendMessageA(control, list ? LB_FINDSTRINGEXACT : CB_FINDSTRINGEXACT, WPARAM(-1),
                                   reinterpret_cast<LPARAM>(text.c_str()));
    if (Is(control, "Button"))
      CheckDlgButton(dialog, id, text == "1" ? BST_CHECKED : BST_UNCHECKED);
    else if (list && (GetWindowLongA(control, GWL_STYLE) & (LBS_MULTIPLESEL | LBS_EXTENDEDSEL)) != 0)
      SendMessageA(control, LB_SETSEL, TRUE, line);
    else if (list)
      Pick(dialog, id, int(line));
    else if (!Is(control, "ComboBox") || SendMessageA(control, CB_SETCURSEL, line, 0) == CB_ERR)
      SetWindowTextA(control, text.c_str());  // an edit, or a combo box's edit: what is not in its list
  }
  if (button != 0) Click(dialog, button);
}

// Answers the dialogs this thread opens in order, each once (a box closing activates its dialog again): one
// not expected next fails the test and is cancelled, as does an expectation never met.
class Responder {
 public:
  Responder() : hook_(SetWindowsHookExA(WH_CBT, Hook, nullptr, GetCurrentThreadId())) { active = this; }
  ~Responder() {
    UnhookWindowsHookEx(hook_);
    active = nullptr;
    for (const auto& [caption, act] : expected_) ADD_FAILURE() << "never shown: " << caption;
  }
  // A dialog whose controls show `shown`: look (if any) examines it, the entries are entered, button clicked.
  Responder& Dialog(std::string caption, Items shown, Items entries, int button,
                    std::function<void(HWND)> look = {}) {
    expected_.emplace_back(caption, [=, this](HWND dialog) {
      for (const auto& [id, text] : shown) EXPECT_EQ(Item(dialog, id), text) << caption << ", " << id;
      if (look) look(dialog);
      Enter(last_ = dialog, entries, button);
    });
    return *this;
  }
  // A message box with this text: the stop icon and OK for IDOK, else the question icon (or icon) with Yes
  // and No. Then the entries go into the dialog answered last, and again is clicked there.
  Responder& Box(std::string text, int button, Items entries = {}, int again = 0, LPCSTR icon = nullptr) {
    const HICON expected = LoadIconA(nullptr, icon ? icon : button == IDOK ? IDI_HAND : IDI_QUESTION);
    expected_.emplace_back("Quorvex", [=, this](HWND box) {
      const LRESULT shown = SendMessageA(FindWindowExA(box, nullptr, "Static", ""), STM_GETICON, 0, 0);
      EXPECT_EQ(std::tuple(Item(box, 0xFFFF), shown, GetDlgItem(box, IDNO) == nullptr),
                std::tuple(text, reinterpret_cast<LRESULT>(expected), button == IDOK));
      Click(box, button);
      if (again != 0) Enter(last_, entries, again);
    });
    return *this;
  }

 private:
  static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam) {
    const auto window = reinterpret_cast<HWND>(wParam);
    // Answered in its modal loop, once (a property marks it); not the modeless reports (with a minimise box).
    if (active && code == HCBT_ACTIVATE && Is(window, "#32770") && !GetPropA(window, "answered") &&
        (GetWindowLongA(window, GWL_STYLE) & WS_MINIMIZEBOX) == 0) {
      SetPropA(window, "answered", window);
      SetTimer(window, 0x7E57, 0, Answer);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
  }
  static void CALLBACK Answer(HWND dialog, UINT, UINT_PTR timer, DWORD) {
    KillTimer(dialog, timer);
    const std::string caption = Text(dialog);
    if (active == nullptr) return;
    auto& next = active->expected_;
    if (!next.empty() && next.front().first == caption) {
      const auto act = std::move(next.front().second);
      next.pop_front();
      return act(dialog);
    }
    ADD_FAILURE() << "unexpected dialog \"" << caption << "\" " << Item(dialog, 0xFFFF) << "; expected "
                  << (next.empty() ? "none" : next.front().first);
    Click(dialog, GetDlgItem(dialog, IDNO) != nullptr ? IDNO : IDCANCEL);
  }
  static inline Responder* active = nullptr;
  HHOOK hook_;
  HWND last_ = nullptr;
  std::deque<std::pair<std::string, std::function<void(HWND)>>> expected_;
};

// The frame built and maximised as the program does, answering its dialogs; destroyed and cleaned up at the
// end.
struct Frame : Responder {
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
  HACCEL accelerators;
};

// The sample tree in a scratch directory: Dir("Stocks") is "<root>\Stocks\", Path("Stocks/F1.DAT") native.
struct Sample : TempDir {
  Sample() { EXPECT_TRUE(sample::WriteSampleData(Path(""), nullptr)); }
  std::string Dir(std::string sub = "") const { return TempDir::Dir() + (sub.empty() ? sub : sub + "\\"); }
};

// Saves the screen as <name>.bmp once two grabs 50 ms apart agree (the run ends making PNGs).
void Shot(const std::string& name) {
  const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
  const DWORD offset = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER), size = width * height * 4;
  BITMAPINFOHEADER info{sizeof info, width, height, 1, 32, BI_RGB, size, 0, 0, 0, 0};
  const BITMAPFILEHEADER file{0x4D42, offset + size, 0, 0, offset};
  Bytes bmp(offset + size), previous;
  std::memcpy(bmp.data(), &file, sizeof file);
  std::memcpy(bmp.data() + sizeof file, &info, sizeof info);
  EXPECT_TRUE(Pump("the screen to settle for " + name, [&] {
    Sleep(50);
    previous = bmp;
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
  const auto directory = std::filesystem::absolute(QUORVEX_ARTIFACT_DIR);  // as Wine shows it: Z:\...
  std::filesystem::create_directories(directory);
  WriteBytes((directory / (name + ".bmp")).string(), bmp);
}

// A key through the frame's translation, its modifiers in the key state (Ctrl+letter: a control character).
void Type(const Frame& frame, WPARAM key, std::initializer_list<int> modifiers = {}) {
  BYTE keys[256] = {}, none[256] = {};
  for (int modifier : modifiers) keys[modifier] = 0x80;
  SetKeyboardState(keys);
  const bool control = keys[VK_CONTROL] != 0 && key >= 'A' && key <= 'Z', alt = keys[VK_MENU] != 0;
  const UINT message = control ? WM_CHAR : alt ? WM_SYSCHAR : WM_KEYDOWN;
  MSG typed{MDIFrame, message, control ? key - '@' : key, alt ? 0x20000001 : 1, 0, {}};
  TranslateFrameMessage(typed, frame.accelerators);
  SetKeyboardState(none);
}

TEST(Frame, EachModeHasItsMenusAndKeysAndTheWindowCommandsListArrangeAndCloseTheChildren) {
  Sample sample;
  for (const bool utility : {false, true}) {
    SCOPED_TRACE(utility ? "utility mode" : "interactive mode");
    Frame frame(utility ? "AUTOTEST TESTMASTER" : "");
    OpenStartPathBrowser(sample.Dir("Stocks"));  // its first line selected
    // F1 shows About in each mode, Ctrl+O Select Path and Enter an editor only interactively (no command).
    frame.Dialog("About Quorvex", {}, {}, IDCANCEL, [](HWND about) {
      ShowWindow(about, SW_SHOW);  // as its modal loop does once idle, after this answer
      Shot("shell-about");
    });
    if (!utility) frame.Dialog("Select Path", {}, {}, IDCANCEL);
    Type(frame, VK_F1);
    Type(frame, 'O', {VK_CONTROL});
    Type(frame, VK_RETURN);
    Drain();
    EXPECT_EQ(FindWindowExA(MDIhwnd, nullptr, "MdiEditChild", nullptr) == nullptr, utility);
  }
  Frame frame;  // the window commands, over two children
  const HWND first = OpenStartPathBrowser(sample.Dir("Empty")), second = OpenStartPathBrowser(sample.Dir());
  SendMessageA(MDIFrame, WM_COMMAND, IDM_FIRST_CHILD, 0);  // the Window menu's first child
  EXPECT_EQ(SendMessageA(MDIhwnd, WM_MDIGETACTIVE, 0, 0), LRESULT(first));
  SendMessageA(MDIFrame, WM_COMMAND, IDM_TILE_VERTICALLY, 0);
  RECT a{}, b{};
  EXPECT_TRUE(GetWindowRect(first, &a) && GetWindowRect(second, &b) && a.top == b.top && a.left != b.left);
  Type(frame, VK_F2, {VK_SHIFT});
  EXPECT_TRUE(IsIconic(first) && IsIconic(second)) << "all minimised";
  SendMessageA(MDIFrame, WM_COMMAND, IDM_CLOSE, 0);
  EXPECT_NE(IsWindow(first), IsWindow(second)) << "Close: the active child only";
  Type(frame, VK_F4, {VK_CONTROL, VK_SHIFT});
  EXPECT_FALSE(IsWindow(first) || IsWindow(second)) << "Close All";
  Type(frame, 'x', {VK_MENU});
  MSG quit{};
  EXPECT_FALSE(IsWindow(MDIFrame)) << "Alt+X ends the program";
  EXPECT_TRUE(PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) && quit.wParam == 0);
}

// The real program started from outside with these arguments; ended if still running.
struct Program {
  explicit Program(const std::string& arguments) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    std::string line = "\"" + std::filesystem::absolute(QUORVEX_PROGRAM).string() + "\" " + arguments;
    EXPECT_TRUE(CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                               &process));
  }
  ~Program() {
    TerminateProcess(process.hProcess, 99);  // when still running
    WaitForSingleObject(process.hProcess, 10000);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
  // Its visible top-level window of this class (and caption), waited for: no other program shows one.
  static HWND Find(const char* className, const char* caption = nullptr) {
    HWND window = nullptr;
    EXPECT_TRUE(Pump(className, [&] { return IsWindowVisible(window = FindWindowA(className, caption)); }));
    return window;
  }
  static std::string Box() {  // the text of the box it shows, then OK clicked
    const HWND box = Find("#32770", "Quorvex");
    const std::string text = Item(box, 0xFFFF);
    Click(box, IDOK);
    return text;
  }
  PROCESS_INFORMATION process{};
};

// A registered message sent from another thread while this one answers what it opens (12345: no answer).
std::future<LRESULT> Send(HWND frame, const char* name) {
  return std::async(std::launch::async, [frame, message = RegisterWindowMessageA(name)] {
    DWORD_PTR result = 0;
    return SendMessageTimeoutA(frame, message, 0, 0, SMTO_NORMAL, 30000, &result) ? LRESULT(result) : 12345;
  });
}

TEST(Program, StartsWithItsBannerThenAnswersTestRequestsFromAnotherProgramUntilADATRequestEndsIt) {
  Sample sample;
  {  // an interactive start
    const auto started = std::chrono::steady_clock::now();
    Program program("PATH:\"" + sample.Path("Stocks") + "\"");
    const HWND banner = program.Find("#32770");
    EXPECT_FALSE(IsWindowVisible(FindWindowA("QuorvexMDIFrame", nullptr))) << "the banner comes first";
    Shot("shell-banner");
    const HWND frame = program.Find("QuorvexMDIFrame", "Quorvex");
    EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::seconds(3)) << "the banner's time";
    EXPECT_TRUE(IsZoomed(frame) && !IsWindow(banner));
    const HWND client = FindWindowExA(frame, nullptr, "MDIClient", nullptr);
    EXPECT_TRUE(Pump("a browser on the command line's path", [&] {
      return FindWindowExA(client, nullptr, "MdiFilerChild", sample.Dir("Stocks").c_str());
    }));
    Shot("shell-frame");
  }
  const Snapshot before = TakeSnapshot(sample.Path("Damaged/Master"));
  Program program("AUTOTEST TESTDAT PATH:\"" + sample.Path("Damaged\\Master") + "\" FILE:1");
  const HWND frame = program.Find("QuorvexMDIFrame");
  auto master = Send(frame, "KXUTILTESTMASTER");
  EXPECT_EQ(program.Box(), sample.Dir("Damaged\\Master"));
  const HWND report = program.Find("#32770", "Master File Errors");
  EXPECT_EQ(Item(report, IDC_PROBLEM_LIST), "Not Repaired : Missing DAT File\n");
  Shot("integrity-master-report");
  EXPECT_EQ(master.wait_for(std::chrono::seconds(0)), std::future_status::timeout) << "the sender waits";
  EXPECT_TRUE(SendMessageTimeoutA(report, WM_CLOSE, 0, 0, SMTO_NORMAL, 20000, nullptr));  // its wait sees it
  EXPECT_EQ(master.get(), -1);
  EXPECT_TRUE(TakeSnapshot(sample.Path("Damaged/Master")) == before) << "repairs nothing";
  auto dat = Send(frame, "KXUTILTESTDAT");  // F1 has no data file
  EXPECT_EQ(program.Box().rfind("File is read only", 0), 0u);
  EXPECT_EQ(dat.get(), -1);
  DWORD code = STILL_ACTIVE;
  EXPECT_EQ(WaitForSingleObject(program.process.hProcess, 20000), WAIT_OBJECT_0);
  EXPECT_TRUE(GetExitCodeProcess(program.process.hProcess, &code) && code == 0) << code;
}

constexpr int kLength = 28;                                // a daily record of 7 fields of 4 bytes
void Choose(HWND browser, const std::string& directory) {  // the root's subdirectory, chosen as a click does
  const HWND tree = GetDlgItem(browser, IDC_FILER_TREE);
  char name[64] = {};
  TVITEMA item{TVIF_TEXT, TreeView_GetChild(tree, TreeView_GetRoot(tree)), 0, 0, name, 64, 0, 0, 0, 0};
  while (TreeView_GetItem(tree, &item) && directory != name)
    item.hItem = TreeView_GetNextSibling(tree, item.hItem);
  TreeView_SelectItem(tree, item.hItem);
}

// An editor opened through the frame's command, maximised and painted.
struct Editor {
  Editor(const std::string& directory, int fileNumber) {
    SendMessageA(MDIFrame, WM_COMMAND, MAKEWPARAM(IDM_OPEN_EDITOR, fileNumber),
                 reinterpret_cast<LPARAM>(directory.c_str()));
    SendMessageA(MDIhwnd, WM_MDIMAXIMIZE, reinterpret_cast<WPARAM>(window = hwndEdit), 0);
    UpdateWindow(window);
  }
  EditorState& State() const { return *AttachedState<EditorState>(window); }
  void Command(int id, LPARAM lParam = 0, int high = 0) const {
    SendMessageA(window, WM_COMMAND, MAKEWPARAM(id, high), lParam);
  }
  void Type(const std::string& text) const {  // '\b': Backspace held for 12 repeats
    for (char c : text) SendMessageA(window, WM_CHAR, c == '\b' ? 8 : c, c == '\b' ? 12 : 1);
  }
  void Click(int row, int x = 10) const {  // x 10: the row's gutter box
    const int y = State().titleHeight + row * State().rowHeight + State().rowHeight / 2;
    SendMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
  }
  void Key(WPARAM key) const { SendMessageA(window, WM_KEYDOWN, key, 1); }
  HWND window;
};

TEST(Windows, EveryBrowserCommandWithItsDialogThenTheReportsAndAnEditorReachTheFilesWhichAnIdleEditorLetsGo) {
  Sample sample;
  Frame frame;
  const std::string root = sample.Dir(), stocks = sample.Dir("Stocks"), copied = stocks + "Copied\\";
  const auto command = [](HWND window, int id) { SendMessageA(window, WM_COMMAND, id, 0); };
  const auto on = [&](HWND window, const std::vector<int>& lines, int id) {  // exactly these lines selected
    SendDlgItemMessageA(window, IDC_FILER_LIST, LB_SETSEL, FALSE, -1);
    for (int line : lines) SendDlgItemMessageA(window, IDC_FILER_LIST, LB_SETSEL, TRUE, line);
    command(window, id);
  };
  frame.Dialog("Select Path", {}, {{IDC_SELECT_PATH, root.substr(0, root.size() - 1)}}, IDOK);  // typed
  command(MDIFrame, IDM_SELECT_PATH);
  const HWND browser = FindWindowExA(MDIhwnd, nullptr, "MdiFilerChild", nullptr);  // the one opened
  Choose(browser, "Stocks");
  EXPECT_EQ(std::ranges::count(Item(browser, IDC_FILER_LIST), '\n'), 6);
  Shot("browser-sample-tree");
  // Test (run below) and Change Symbol take one instrument. Copy (its list shows the new symbol) into a new
  // subdirectory, which Move offers next from the path history as it lies under the source; then Delete.
  frame.Box("Please select ONLY one instrument and try again.", IDOK)
      .Dialog("Change Symbol", {{IDC_SYMBOL_INSTRUMENT, "BOREALIS MINING"}, {IDC_SYMBOL_PRESENT, "BRML"}},
              {{IDC_SYMBOL_NEW, "BRMX"}}, IDOK)
      .Dialog("Copy",
              {{IDC_TRANSFER_SOURCE, stocks},
               {IDC_TRANSFER_LIST, "ACME INDUSTRIES\tACME\tF1\nBOREALIS MINING\tBRMX\tF2\n"}},
              {{IDC_TRANSFER_DESTINATION, copied}}, IDOK)
      .Box("This directory does not exist, do you want to attempt to create it ?", IDYES)
      .Dialog("Move", {{IDC_TRANSFER_DESTINATION, copied}}, {}, IDOK)
      .Dialog("Delete", {{IDC_DELETE_DIRECTORY, stocks}, {IDC_DELETE_LIST, "FENWICK HOLDINGS\tFNWK\tF6\n"}},
              {}, IDOK);
  on(browser, {0, 1}, IDM_TEST);
  on(browser, {1}, IDM_CHANGE_SYMBOL);
  on(browser, {0, 1}, IDM_COPY);
  on(browser, {3}, IDM_MOVE);
  on(browser, {4}, IDM_DELETE);
  // Export of two instruments as a table; F1's lines alone imported back over its records after the question,
  // giving the same bytes; a file with a wrong date refused by its line.
  const auto records = [&](int n) {
    MasterRecord r{};
    EXPECT_TRUE(GetMetaStockMasterRecord(stocks.c_str(), n, &r));
    return ReadBytes(sample.Path("Stocks/F" + std::to_string(n) + ".DAT")).size() / r.RecordLength() - 1;
  };
  const std::string table = sample.Path("quotes.csv"), one = sample.Path("one.csv"),
                    bad = sample.Path("bad.csv");
  const Bytes acme = ReadBytes(sample.Path("Stocks/F1.DAT"));
  frame.Dialog("Export", {}, {{0x47c, table}, {0x480, table}}, IDOK, [](HWND) { Shot("browser-export"); })
      .Box("Exported " + std::to_string(records(1) + records(2)) + " records of 2 instruments to " + table +
               ".",
           IDOK, {}, 0, IDI_ASTERISK);
  on(browser, {0, 1}, IDM_EXPORT);
  const Bytes exported = ReadBytes(table);
  std::string lines, csv(exported.begin(), exported.end());
  for (size_t at = 0, end; (end = csv.find('\n', at)) != std::string::npos; at = end + 1)
    if (at == 0 || csv.find(",F1.DAT,", at) < end) lines += csv.substr(at, end + 1 - at);
  EXPECT_TRUE(csv.starts_with("directory,file,symbol,name,period,date,time,open,high,low,close,volume,"));
  WriteText(one, lines);
  WriteText(bad, "date,close\n2023-02-31,1\n");
  const std::string count = std::to_string(records(1));
  frame.Dialog("Import", {}, {{0x47c, one}, {0x480, one}}, IDOK, [](HWND) { Shot("browser-import"); })
      .Box("F1 holds " + count + " records. Replace them with the " + count + " records of " + one + " ?",
           IDYES)
      .Box("Imported " + count + " records into F1.", IDOK, {}, 0, IDI_ASTERISK)
      .Dialog("Import", {}, {{0x47c, bad}, {0x480, bad}}, IDOK)
      .Box("line 2: 2023-02-31 is not a date", IDOK);
  on(browser, {0}, IDM_IMPORT);
  on(browser, {0}, IDM_IMPORT);
  EXPECT_EQ(std::tuple(std::ranges::count(lines, '\n'), ReadBytes(sample.Path("Stocks/F1.DAT"))),
            std::tuple(records(1) + 1, acme));
  on(browser, {0, 1}, IDM_EDIT);  // every selected instrument
  EXPECT_EQ(std::ranges::count(Item(browser, IDC_FILER_LIST), '\n'), 4) << "moved and deleted";
  EXPECT_TRUE(FileExistsNative(sample.Path("Stocks/Copied/F1.DAT")) &&
              FileExistsNative(sample.Path("Stocks/Copied/F3.DAT")))
      << "copied, and moved (F4, there F3)";
  // A double-click opens the line under the caret.
  SendDlgItemMessageA(browser, IDC_FILER_LIST, LB_SETCARETINDEX, 3, FALSE);
  Notify(browser, IDC_FILER_LIST, LBN_DBLCLK);
  std::string titles;  // the newest first
  for (HWND e = nullptr; (e = FindWindowExA(MDIhwnd, e, "MdiEditChild", nullptr)) != nullptr;)
    titles += Text(e).substr(stocks.size()) + ", ";
  EXPECT_EQ(titles, "F5.DAT [EQUINOX FUND], F2.DAT [BOREALIS MINING], F1.DAT [ACME INDUSTRIES], ");
  // In Empty: Create; then a directory, with the tree read again after Yes.
  Choose(browser, "Empty");
  frame
      .Dialog("Create", {},
              {{IDC_CREATE_PERIOD, "IntraDay"},
               {IDC_CREATE_FIELDS, "Eight"},
               {IDC_CREATE_NAME, "NEW ONE"},
               {IDC_CREATE_SYMBOL, "NEWS"},
               {IDC_CREATE_TIME_BASE, "15"}},
              IDOK)
      .Dialog("Create Directory", {{IDC_MAKE_DIR_PARENT, sample.Dir("Empty")}},
              {{IDC_MAKE_DIR_NAME, "Fresh"}}, IDOK)
      .Box("Directory will not be visible until you re-scan the directory tree, rescan now ?", IDYES, {}, 0,
           IDI_EXCLAMATION);
  command(browser, IDM_CREATE);
  EXPECT_EQ(Item(browser, IDC_FILER_LIST), "NEW ONE\tNEWS\tF1\tIntraDay File\tFile Exists\n");
  MasterRecord made{};
  EXPECT_TRUE(GetMetaStockMasterRecord(sample.Dir("Empty").c_str(), 1, &made) && made.FieldCount() == 8 &&
              made.TimeBase() == 15);
  command(browser, IDM_CREATE_DIRECTORY);
  EXPECT_TRUE(Pump("the tree read again, with Copied and Fresh",
                   [&] { return TreeView_GetCount(GetDlgItem(browser, IDC_FILER_TREE)) == 15; }));
  // The tests from browsers on the damaged directories: DAT (none chosen: refused), its report opening an
  // editor and steering it; then master.
  const std::string data = sample.Dir("Damaged\\Data"), master = sample.Dir("Damaged\\Master");
  frame.Dialog("Test and Repair DAT File", {{IDC_TEST_FILE, "CORRUPT NUMBERS"}}, {}, IDOK)
      .Box("Please select AT LEAST one test to perform and try again.", IDOK,
           {{IDC_TEST_LIST, "Corrupt Numbers"}}, IDOK);
  on(OpenStartPathBrowser(data), {2}, IDM_TEST);
  HWND report = nullptr;
  ASSERT_NE(report = FindWindowA("#32770", "DAT File Errors"), nullptr) << "the report outlives the dialog";
  EXPECT_EQ(Item(report, IDC_RECORD_LIST) + Item(report, IDC_PROBLEM_LIST),
            "00000010\n00000020\n00000030\nClose : Corrupt Numbers\n");
  const HWND opened = hwndEdit;  // opened by the report on its instrument
  EXPECT_EQ(Text(opened), data + "F1.DAT [CORRUPT NUMBERS]");
  Shot("integrity-dat-report");
  Pick(report, IDC_RECORD_LIST, 1);
  Notify(report, IDOK);  // Goto: the record and its problem's column (Volume)
  const EditorState& at = *AttachedState<EditorState>(opened);
  EXPECT_EQ(std::tuple(at.currentRecord, int{at.currentColumn}, GetFocus()), std::tuple(20, 5, opened));
  Notify(report, IDCANCEL);
  EXPECT_TRUE(DATReportWindowOpen == 0 && IsWindow(opened)) << "the report closed, its editor stays";
  // Repair on, no prompt, no files created: the header repaired at once, the missing data file by Correct.
  const Items tests{{IDC_TEST_LIST, "Missing DAT File"},
                    {IDC_TEST_LIST, "Too many files reported"},
                    {IDC_TEST_CREATE_FILES, "0"},
                    {IDC_TEST_REPAIR, "1"}};
  frame.Dialog("Test and Repair Master File", {{IDC_TEST_FILE, master}, {IDC_TEST_CREATE_FILES, "1"}}, tests,
               IDOK);
  command(OpenStartPathBrowser(master), IDM_TEST_MASTER);
  ASSERT_NE(report = FindWindowA("#32770", "Master File Errors"), nullptr);
  EXPECT_EQ(ReadBytes(sample.Path("Damaged/Master/master")).at(0), 11) << "the header counts the records now";
  Enter(report, {{IDC_INSTRUMENT_LIST, "F1 : MISSING DATA"}});
  Pick(report, IDC_PROBLEM_LIST, 0, true);  // a double-click corrects
  EXPECT_EQ(Item(report, IDC_PROBLEM_LIST), "Repaired     : Missing DAT File\n");
  EXPECT_TRUE(FileExistsNative(sample.Path("Damaged/Master/F1.DAT")));
  // Explain Error shows the problem; Save Errors writes the report to the file named then.
  const std::string saved = sample.Path("master.txt");
  frame.Dialog("Error Explanation", {{IDC_EXPLAIN_PROBLEM, "Missing DAT File"}}, {}, IDOK)
      .Dialog("Save As", {}, {{0x47c, saved}, {0x480, saved}}, IDOK);  // the name's combo box or edit
  Notify(report, IDC_EXPLAIN_ERROR);
  Notify(report, IDC_SAVE_ERRORS);
  const Bytes text = ReadBytes(saved);
  EXPECT_NE(std::string(text.begin(), text.end()).find("directory  '" + master), std::string::npos);
  const Bytes before = ReadBytes(sample.Path("Stocks/F3.DAT"));
  const Editor editor(stocks, 3);
  EditorState& state = editor.State();
  EXPECT_TRUE(GetMenu(MDIFrame) == hMenuEdit && IsMeasured(state)) << "its menu bar; painted";
  // The editor on F3 (held by no other window), idle for a tick of its timer, lets another program write it.
  EXPECT_FALSE(HeldFile(stocks + "F3.DAT").Holds()) << "held while it works";
  EXPECT_TRUE(Pump("the file let go", [&] { return HeldFile(stocks + "F3.DAT").Holds(); }));
  // Goto opens on the current record (07/01/02), then finds the first from 1/3/03: record 301 (03/03/03).
  editor.Command(IDM_GOTO_RECORD_COLUMN, 3, 2);
  frame.Dialog("Goto", {{IDC_GOTO_DAY, "7"}, {IDC_GOTO_MONTH, "January"}, {IDC_GOTO_YEAR, "2"}},
               {{IDC_GOTO_DAY, "1"}, {IDC_GOTO_MONTH, "March"}, {IDC_GOTO_YEAR, "03"}}, IDOK);
  editor.Command(IDM_GOTO);
  EXPECT_EQ(std::pair(state.currentRecord, state.topRecord), std::pair(301, 301)) << "found and shown";
  // Record 2's High typed over: from record 0, two rows down, two fields on.
  editor.Command(IDM_GOTO_RECORD_COLUMN, 0, 0);
  for (WPARAM key : {VK_DOWN, VK_DOWN}) editor.Key(key);
  editor.Type("\t\t\b23.75\t");
  editor.Command(IDM_GOTO_RECORD_COLUMN, 5, 0);
  editor.Command(IDM_INSERT_RECORD);  // a copy of record 5
  // Records 0 and 1 selected in the gutter and deleted.
  editor.Key(VK_HOME);
  for (int row : {0, 1}) editor.Click(row);
  Shot("editor-daily");
  frame.Box("Are you sure you want to delete the selection ?", IDYES);
  editor.Command(IDM_DELETE_RECORD);
  // The new-record row takes a whole record.
  editor.Command(IDM_GOTO_RECORD_COLUMN, NewRecordRow(state), 0);
  editor.Type("4/1/05\t20\t21.5\t19.25\t20.75\t5000\t7\t");
  EXPECT_EQ(NewRecordRow(state), int(before.size() / kLength - 1)) << "one inserted, two deleted, one added";
  // Split and Truncate take the one selected record: records 0 to 4 go to Empty (its F2), 5 and 6 stay.
  editor.Key(VK_HOME);
  editor.Click(5);
  const Items split{{IDC_SPLIT_DESTINATION, sample.Dir("Empty")}, {IDC_SPLIT_LAST_INCLUDE, "1"}};
  frame.Dialog("Split File", {}, split, IDOK);
  editor.Command(IDM_SPLIT);
  editor.Click(1);
  frame.Dialog("Truncate File", {{IDC_TRUNCATE_FROM_CURRENT, "1"}}, {}, IDOK);
  editor.Command(IDM_TRUNCATE);
  SendMessageA(MDIhwnd, WM_MDIDESTROY, reinterpret_cast<WPARAM>(editor.window), 0);
  const Bytes early = ReadBytes(sample.Path("Empty/F2.DAT")), kept = ReadBytes(sample.Path("Stocks/F3.DAT"));
  EXPECT_EQ(
      std::tuple(kept.size(), early.size(), GetU32(early, kLength + 8), GetU32(early, 5 * kLength + 16)),
      std::tuple(3 * size_t{kLength}, 6 * size_t{kLength}, MbfWord(23.75f), GetU32(before, 6 * kLength + 16)))
      << "record 2's High (now the first) and the copy of record 5 went with the early records";
  const Editor intraday(sample.Dir("Intraday"), 3);
  Shot("editor-intraday");
  // XMASTER's instruments: listed with master's, tested, shown read-only; every change refused before
  // anything happens.
  const std::string xm = sample.Dir("Extended"), refusal =
                                                     "F256 is an XMASTER instrument: Quorvex shows and "
                                                     "tests it, but does not change it.";
  WriteSoundDirectory(sample.Path("Extended"), {1});
  WriteBytes(sample.Path("Extended/XMASTER"),
             XmasterFile({{.fileNumber = 256, .symbol = "AZM", .name = "AZIMUT"}}));
  WriteBytes(sample.Path("Extended/F256.MWD"),
             Series::Daily(30).Dat(7, 'D').SetWord(3, 5, MbfWord(-2)).Build());
  const auto files = [&] {
    std::vector<Bytes> all;
    for (const char* name : {"master", "XMASTER", "F1.DAT", "F256.MWD"})
      all.push_back(ReadBytes(sample.Path("Extended/") + name));
    return all;
  };
  const std::vector<Bytes> untouched = files();
  const HWND listing = OpenStartPathBrowser(xm);
  EXPECT_EQ(Item(listing, IDC_FILER_LIST),
            "AZIMUT\tAZM\tF256\tDaily File\tFile Exists\tXMASTER\nINSTR1\tS1\tF1\tDaily File\tFile Exists\n");
  frame.Dialog("Test and Repair DAT File", {{IDC_TEST_FILE, "AZIMUT"}}, {{IDC_TEST_LIST, "Corrupt Numbers"}},
               IDOK);
  on(listing, {0}, IDM_TEST);
  ASSERT_NE(report = FindWindowA("#32770", "DAT File Errors"), nullptr);
  EXPECT_EQ(Item(report, IDC_RECORD_LIST) + Item(report, IDC_PROBLEM_LIST),
            "00000003\nVolume : Corrupt Numbers\n");
  Notify(report, IDCANCEL);
  for (int i = 0; i < 11; ++i) frame.Box(refusal, IDOK);
  for (int id : {IDM_DELETE, IDM_MOVE, IDM_COPY, IDM_CHANGE_SYMBOL}) on(listing, {0}, id);
  const Editor shown(xm, 256);
  EXPECT_EQ(std::tuple(Text(shown.window).substr(xm.size()), NewRecordRow(shown.State())),
            std::tuple("F256.MWD [AZIMUT] (XMASTER, read-only)", 30));
  shown.Type("5\b");
  for (int id : {IDM_DELETE, IDM_INSERT_RECORD, IDM_DELETE_RECORD, IDM_TRUNCATE, IDM_SPLIT})
    shown.Command(id);
  Shot("editor-xmaster");
  SendMessageA(MDIhwnd, WM_MDIDESTROY, reinterpret_cast<WPARAM>(shown.window), 0);
  EXPECT_EQ(files(), untouched);
}

}  // namespace
