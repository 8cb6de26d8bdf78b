// The browser window: opening through Select Path, its panes, the tree of data
// directories, the instrument list, the menu bar, the refresh commands and
// the selection rules of its instrument commands.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "browser/browser_fixture.h"
#include "harness/wait.h"
#include "primitives/memory.h"
#include "resource.h"
#include "shell/frame_window.h"
#include "shell/shell_globals.h"
#include "store/instrument_ops.h"

namespace {

using gui_harness::MessageBoxText;
using gui_harness::PressButton;

constexpr char kAtLeastOne[] = "Please select AT LEAST one instrument and try again.";
constexpr char kOnlyOne[] = "Please select ONLY one instrument and try again.";
constexpr char kInvalidPath[] = "The path specified was not valid.";
constexpr char kOutOfMemory[] = "Unable to allocate memory! Cannot continue this operation.";

// The subdirectories of a directory in the order the system's directory
// search returns them, which is the order the tree must show.
std::vector<std::string> SearchOrder(const std::string& directory) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA found;
  const HANDLE search = FindFirstFileA((directory + "*.*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) names.push_back(found.cFileName);
  } while (FindNextFileA(search, &found));
  FindClose(search);
  return names;
}

// The expected tree lines: for each directory that should be shown, its
// label (its name cut to 29 characters), with siblings in the order the
// search returns their names.
struct ExpectedNode {
  std::string name;
  std::vector<ExpectedNode> children;
};

void AppendExpected(const std::string& directory, const std::vector<ExpectedNode>& nodes, int depth,
                    std::vector<std::string>* lines) {
  const std::vector<std::string> order = SearchOrder(directory);
  std::vector<const ExpectedNode*> sorted;
  for (const ExpectedNode& node : nodes) sorted.push_back(&node);
  auto position = [&](const ExpectedNode* node) { return std::find(order.begin(), order.end(), node->name); };
  std::sort(sorted.begin(), sorted.end(), [&](auto* a, auto* b) { return position(a) < position(b); });
  for (const ExpectedNode* node : sorted) {
    lines->push_back(std::string(2 * depth, ' ') + node->name.substr(0, 29));
    AppendExpected(directory + node->name + "\\", node->children, depth + 1, lines);
  }
}

RECT ChildRect(HWND child) {
  RECT rect{};
  GetWindowRect(child, &rect);
  MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

TEST_F(BrowserTest, SelectPathOpensABrowserTitledWithThePathOnTheSampleTree) {
  const HWND browser = OpenBrowser(Root());
  ASSERT_NE(browser, nullptr);
  char title[MAX_PATH] = {};
  GetWindowTextA(browser, title, sizeof title);
  EXPECT_EQ(title, Root());
  EXPECT_EQ(TreeItemText(Tree(browser), TreeView_GetSelection(Tree(browser))), Root().substr(0, 29))
      << "the root item is selected and labelled with the path cut to 29 characters";
  EXPECT_TRUE(ListLines(List(browser)).empty()) << "the root holds no master";
}

TEST_F(BrowserTest, SelectPathAddsTheMissingBackslashAndOffersThePathsUsedBefore) {
  std::string typed = Root().substr(0, Root().size() - 1);
  const HWND first = OpenBrowser(typed);
  char title[MAX_PATH] = {};
  GetWindowTextA(first, title, sizeof title);
  EXPECT_EQ(title, Root());

  OpenBrowser(Dir("Stocks"));
  std::vector<std::string> offered;
  responder_.ExpectDialog("Select Path", [&](HWND dialog) {
    const HWND combo = GetDlgItem(dialog, 101);
    for (int i = 0; i < SendMessageA(combo, CB_GETCOUNT, 0, 0); ++i) {
      char text[MAX_PATH] = {};
      SendMessageA(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
      offered.push_back(text);
    }
    EXPECT_EQ(ControlTextOf(dialog, 101), "") << "the edit field starts empty";
    PressButton(dialog, IDCANCEL);
  });
  SendMessageA(MDIFrame, WM_COMMAND, IDM_SELECT_PATH, 0);
  EXPECT_EQ(offered, (std::vector<std::string>{Dir("Stocks"), Root()})) << "most recent first";
}

TEST_F(BrowserTest, SelectPathRefusesWhatIsNotADirectoryAndCancelOpensNothing) {
  for (const std::string& typed : {std::string(), std::string("\\"), Dir("NoSuchDirectory")}) {
    SCOPED_TRACE("typed \"" + typed + "\"");
    HWND dialog = nullptr;
    responder_
        .ExpectDialog("Select Path",
                      [&](HWND d) {
                        dialog = d;
                        SetDlgItemTextA(d, 101, typed.c_str());
                        PressButton(d, IDOK);
                      })
        .ExpectDialog("Quorvex", [&](HWND box) {
          EXPECT_EQ(MessageBoxText(box), kInvalidPath);
          PressButton(box, IDOK);
          PressButton(dialog, IDCANCEL);
        });
    SendMessageA(MDIFrame, WM_COMMAND, IDM_SELECT_PATH, 0);
    EXPECT_TRUE(Children().empty()) << "no browser after Cancel";
  }
}

TEST_F(BrowserTest, StartPathOpensABrowserAndRefusesAPathThatIsNotADirectory) {
  const HWND browser = OpenStartPathBrowser(Dir("Stocks"));
  ASSERT_NE(browser, nullptr);
  EXPECT_EQ(ListLines(List(browser)).size(), 6u);

  responder_.Expect(kInvalidPath, IDOK);
  EXPECT_EQ(OpenStartPathBrowser(Dir("Missing")), nullptr);
  EXPECT_EQ(Children().size(), 1u);
}

TEST_F(BrowserTest, ThePanesHaveTheirIdentifiersStylesAndFont) {
  const HWND browser = OpenBrowser(Root());
  const HWND tree = Tree(browser);
  const HWND list = List(browser);
  ASSERT_NE(tree, nullptr);
  ASSERT_NE(list, nullptr);
  char className[32] = {};
  GetClassNameA(tree, className, sizeof className);
  EXPECT_STREQ(className, "SysTreeView32");
  GetClassNameA(list, className, sizeof className);
  EXPECT_STRCASEEQ(className, "listbox");

  const auto treeStyle = static_cast<DWORD>(GetWindowLongA(tree, GWL_STYLE));
  // The scroll bar bits come and go with the contents, so they are not
  // checked here.
  const DWORD treeBits[] = {WS_CHILD,        WS_VISIBLE,          WS_BORDER,
                            WS_TABSTOP,      TVS_HASBUTTONS,      TVS_HASLINES,
                            TVS_LINESATROOT, TVS_DISABLEDRAGDROP, TVS_SHOWSELALWAYS};
  for (DWORD bit : treeBits) {
    EXPECT_EQ(treeStyle & bit, bit) << "tree style bit " << std::hex << bit;
  }
  const auto listStyle = static_cast<DWORD>(GetWindowLongA(list, GWL_STYLE));
  const DWORD listBits[] = {WS_CHILD,        WS_VISIBLE,      WS_TABSTOP,      LBS_NOTIFY,          LBS_SORT,
                            LBS_MULTIPLESEL, LBS_EXTENDEDSEL, LBS_USETABSTOPS, LBS_NOINTEGRALHEIGHT};
  for (DWORD bit : listBits) {
    EXPECT_EQ(listStyle & bit, bit) << "list style bit " << std::hex << bit;
  }
  EXPECT_EQ(reinterpret_cast<HGDIOBJ>(SendMessageA(list, WM_GETFONT, 0, 0)),
            GetStockObject(DEFAULT_GUI_FONT));
  EXPECT_EQ(GetWindowLongA(browser, GWL_STYLE) & WS_CLIPCHILDREN, WS_CLIPCHILDREN);
  EXPECT_EQ(reinterpret_cast<HIMAGELIST>(SendMessageA(tree, TVM_GETIMAGELIST, TVSIL_NORMAL, 0)), hImageList);
}

TEST_F(BrowserTest, ThePanesSplitTheClientAreaOneThirdToTwoThirds) {
  const HWND browser = OpenBrowser(Root());
  SendMessageA(MDIhwnd, WM_MDIRESTORE, reinterpret_cast<WPARAM>(browser), 0);
  struct Case {
    int width, height;
    RECT tree, list;
  };
  // Client sizes set through WM_SIZE as the window manager sends it.
  for (const Case& c : {Case{600, 400, {0, 0, 200, 400}, {201, 0, 599, 400}},
                        Case{601, 301, {0, 0, 200, 301}, {201, 0, 599, 301}},
                        Case{302, 100, {0, 0, 100, 100}, {101, 0, 299, 100}}}) {
    SCOPED_TRACE(std::to_string(c.width) + " x " + std::to_string(c.height));
    RECT frame{0, 0, c.width, c.height};
    AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongA(browser, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongA(browser, GWL_EXSTYLE)));
    SetWindowPos(browser, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER);
    RECT client{};
    GetClientRect(browser, &client);
    ASSERT_EQ(client.right, c.width);
    ASSERT_EQ(client.bottom, c.height);
    const RECT tree = ChildRect(Tree(browser));
    const RECT list = ChildRect(List(browser));
    EXPECT_EQ(std::vector<LONG>({tree.left, tree.top, tree.right, tree.bottom}),
              std::vector<LONG>({c.tree.left, c.tree.top, c.tree.right, c.tree.bottom}));
    EXPECT_EQ(std::vector<LONG>({list.left, list.top, list.right, list.bottom}),
              std::vector<LONG>({c.list.left, c.list.top, c.list.right, c.list.bottom}));
  }
}

TEST_F(BrowserTest, TheTreeShowsOnlyDataDirectoriesAndTheWayToThemInSearchOrder) {
  // A directory whose only subdirectory holds no data keeps its button.
  std::filesystem::create_directories(NativePath("Stocks/Old"));
  const HWND browser = OpenBrowser(Root());
  const HWND tree = Tree(browser);

  std::vector<std::string> expected{Root().substr(0, 29)};
  AppendExpected(Root(),
                 {{"Damaged", {{"Data", {}}, {"Header", {}}, {"Master", {}}}},
                  {"Empty", {}},
                  {"Intraday", {}},
                  {"Nested", {{"a", {{"b", {{"c", {}}}}}}, {"Archive of International Equities", {}}}},
                  {"Stocks", {}}},
                 1, &expected);
  EXPECT_EQ(TreeLines(tree), expected);

  const std::map<std::vector<std::string>, bool> buttons{
      {{}, true},         {{"Damaged"}, true},     {{"Damaged", "Data"}, false},       {{"Empty"}, false},
      {{"Nested"}, true}, {{"Nested", "a"}, true}, {{"Nested", "a", "b", "c"}, false}, {{"Stocks"}, true},
  };
  for (const auto& [labels, button] : buttons) {
    const HTREEITEM item = FindTreeItem(tree, labels);
    ASSERT_NE(item, nullptr) << (labels.empty() ? "root" : labels.back());
    EXPECT_EQ(TreeItemHasButton(tree, item), button) << (labels.empty() ? "root" : labels.back());
  }
}

// A directory whose name begins with a full stop hides its whole subtree,
// data directories included; a label cut to 29 characters still leads to the
// directory's full path.
TEST_F(BrowserTest, HiddenDirectoriesHideTheirSubtreesAndCutLabelsKeepTheWholePath) {
  for (const char* hidden : {".cache/Inner", "Stocks/.old/Deeper", "Nested/.backup/Again"}) {
    std::filesystem::create_directories(NativePath(hidden));
    testing_support::WriteBytes(NativePath(std::string(hidden) + "/master"),
                                testing_support::Bytes(kMasterRecordSize, 0));
  }
  const HWND browser = OpenBrowser(Root());
  const HWND tree = Tree(browser);
  const std::vector<std::string> lines = TreeLines(tree);
  ASSERT_FALSE(lines.empty());
  // The root's label is the root path; below it no label may name a hidden
  // directory or anything inside one.
  for (auto line = lines.begin() + 1; line != lines.end(); ++line) {
    EXPECT_EQ(line->find('.'), std::string::npos) << "shown: " << *line;
    for (const char* name : {"Inner", "Deeper", "Again"}) {
      EXPECT_EQ(line->find(name), std::string::npos) << "shown: " << *line;
    }
  }
  EXPECT_FALSE(TreeItemHasButton(tree, FindTreeItem(tree, {"Stocks"})))
      << "a hidden subdirectory is not counted for the expand button";

  const std::string label = std::string("Archive of International Equities").substr(0, 29);
  SelectTreeItem(tree, {"Nested", label});
  EXPECT_EQ(ListLines(List(browser)),
            std::vector<std::string>{"KESTREL AG\tKSTL\tF1\tDaily File\tFile Exists"});
}

TEST_F(BrowserTest, ABrowserOnADirectoryWithoutDataBelowShowsItsRootAlone) {
  const std::string lonely = temp_.MakeSubdir("lonely");
  const HWND browser = OpenBrowser(lonely);
  EXPECT_EQ(TreeLines(Tree(browser)), std::vector<std::string>{lonely.substr(0, 29)});
  EXPECT_FALSE(TreeItemHasButton(Tree(browser), TreeView_GetRoot(Tree(browser))));
}

TEST_F(BrowserTest, SelectingADirectoryListsItsInstrumentsWithTheExactLines) {
  const HWND browser = OpenBrowserOn("Stocks");
  const HWND list = List(browser);
  EXPECT_EQ(ListLines(list), (std::vector<std::string>{
                                 "ACME INDUSTRIES\tACME\tF1\tDaily File\tFile Exists",
                                 "BOREALIS MINING\tBRML\tF2\tDaily File\tFile Exists",
                                 "CYGNUS SOFTWARE\tCYGS\tF3\tDaily File\tFile Exists",
                                 "DELTA AIRWAYS\tDLTA\tF4\tWeekly File\tFile Exists",
                                 "EQUINOX FUND\tEQNX\tF5\tMonthly File\tFile Exists",
                                 "FENWICK HOLDINGS\tFNWK\tF6\tDaily File\tNon-Existant",
                             }));
  EXPECT_EQ(ListItemData(list), (std::vector<LPARAM>{1, 2, 3, 4, 5, 6}));
  EXPECT_EQ(SelectedLines(list), std::vector<int>{0}) << "the first line is selected";
  EXPECT_EQ(GetFocus(), list);

  SelectTreeItem(Tree(browser), {"Intraday"});
  EXPECT_EQ(ListLines(list), (std::vector<std::string>{
                                 "HALCYON ENERGY\tHLCN\tF1\tIntraDay File\tFile Exists",
                                 "IRONWOOD TECH\tIRWD\tF2\tIntraDay File\tFile Exists",
                                 "S&P 500 MAR05\tSPH5\tF3\tIntraDay File\tFile Exists",
                             }));
  SelectTreeItem(Tree(browser), {"Empty"});
  EXPECT_TRUE(ListLines(list).empty());
}

TEST_F(BrowserTest, TheListIsSortedByNameWhateverTheOrderInMaster) {
  const HWND browser = OpenBrowserOn("Damaged\\Data");
  const HWND list = List(browser);
  EXPECT_EQ(ListLines(list), (std::vector<std::string>{
                                 "CLOSE ABOVE HIGH\tCABH\tF3\tDaily File\tFile Exists",
                                 "CLOSE BELOW LOW\tCBLW\tF4\tDaily File\tFile Exists",
                                 "CORRUPT NUMBERS\tCRPT\tF1\tDaily File\tFile Exists",
                                 "DATES OUT ORDER\tDOOO\tF9\tDaily File\tFile Exists",
                                 "HIGH BELOW LOW\tHBLW\tF2\tDaily File\tFile Exists",
                                 "INVALID DATES\tINVD\tF7\tDaily File\tFile Exists",
                                 "INVALID TIMES\tINVT\tF8\tIntraDay File\tFile Exists",
                                 "OPEN ABOVE HIGH\tOABH\tF6\tDaily File\tFile Exists",
                                 "OPEN BELOW LOW\tOBLW\tF5\tDaily File\tFile Exists",
                                 "TIMES OUT ORDER\tTOOO\tF10\tIntraDay File\tFile Exists",
                             }));
  EXPECT_EQ(ListItemData(list), (std::vector<LPARAM>{3, 4, 1, 9, 2, 7, 8, 6, 5, 10}));
}

TEST_F(BrowserTest, TheBrowserPutsItsMenuBarOnTheFrameWhileActive) {
  const HWND first = OpenBrowser(Root());
  EXPECT_EQ(GetMenu(MDIFrame), hMenuFiler);
  const HWND second = OpenBrowser(Dir("Stocks"));
  EXPECT_EQ(GetMenu(MDIFrame), hMenuFiler);
  SendMessageA(MDIhwnd, WM_MDIDESTROY, reinterpret_cast<WPARAM>(second), 0);
  EXPECT_EQ(GetMenu(MDIFrame), hMenuFiler) << "the other browser became active";
  SendMessageA(MDIhwnd, WM_MDIDESTROY, reinterpret_cast<WPARAM>(first), 0);
  EXPECT_EQ(GetMenu(MDIFrame), hMenuInit) << "no child left: the initial bar is back";
}

TEST_F(BrowserTest, RefreshContentsRereadsTheListFromTheDisk) {
  const HWND browser = OpenBrowserOn("Stocks");
  MasterRecord record{};
  record.SetName("ZEBRA TRADING");
  record.SetSymbol("ZBRA");
  record.SetPeriod('D');
  record.SetFieldCount(5);
  record.SetRecordLength(20);
  record.SetFileType(101);
  ASSERT_EQ(CreateInstrument(Dir("Stocks").c_str(), &record, 0), 7);
  EXPECT_EQ(ListLines(List(browser)).size(), 6u) << "the list does not follow the disk by itself";
  Command(browser, IDM_REFRESH_CONTENTS);
  EXPECT_EQ(ListLines(List(browser)).back(), "ZEBRA TRADING\tZBRA\tF7\tDaily File\tNon-Existant");
}

TEST_F(BrowserTest, RefreshTreeRebuildsFromTheDiskAndListsTheRoot) {
  const HWND browser = OpenBrowserOn("Stocks");
  ASSERT_FALSE(ListLines(List(browser)).empty());
  std::filesystem::create_directories(NativePath("Late/Arrival"));
  testing_support::WriteBytes(NativePath("Late/Arrival/master"),
                              testing_support::Bytes(kMasterRecordSize, 0));
  EXPECT_EQ(FindTreeItem(Tree(browser), {"Late"}), nullptr) << "the tree does not follow the disk by itself";

  Command(browser, IDM_REFRESH_TREE);
  const HWND tree = Tree(browser);
  EXPECT_NE(FindTreeItem(tree, {"Late", "Arrival"}), nullptr);
  EXPECT_EQ(TreeView_GetSelection(tree), TreeView_GetRoot(tree));
  EXPECT_TRUE(ListLines(List(browser)).empty()) << "the root's (empty) list is shown";
  SelectTreeItem(tree, {"Stocks"});
  EXPECT_EQ(ListLines(List(browser)).size(), 6u) << "the new tree's nodes lead to their directories";
}

// The new tree's node list cannot be made: the memory message, an empty
// tree, and a later refresh builds the whole tree again.
TEST_F(BrowserTest, RefreshTreeThatRunsOutOfMemorySaysSoAndTheNextRefreshRebuilds) {
  const HWND browser = OpenBrowserOn("Stocks");
  responder_.Expect(kOutOfMemory, IDOK);
  FailNthAllocation(1);
  Command(browser, IDM_REFRESH_TREE);
  FailNthAllocation(0);
  EXPECT_EQ(responder_.Outstanding(), 0u) << "the memory message";
  EXPECT_EQ(TreeView_GetCount(Tree(browser)), 0u) << "no tree without its nodes";

  Command(browser, IDM_REFRESH_TREE);
  const HWND tree = Tree(browser);
  EXPECT_NE(FindTreeItem(tree, {"Nested", "a", "b", "c"}), nullptr);
  SelectTreeItem(tree, {"Stocks"});
  EXPECT_EQ(ListLines(List(browser)).size(), 6u);
}

// Every instrument command with no line selected, in a directory with
// instruments and in one without.
TEST_F(BrowserTest, InstrumentCommandsWithoutASelectionAskForOne) {
  for (const char* directory : {"Stocks", "Empty"}) {
    const HWND browser = OpenBrowserOn(directory);
    SelectLines(List(browser), {});
    for (int command : {IDM_DELETE, IDM_MOVE, IDM_COPY, IDM_EDIT, IDM_TEST, IDM_CHANGE_SYMBOL}) {
      SCOPED_TRACE(std::string(directory) + ", command " + std::to_string(command));
      responder_.Expect(kAtLeastOne, IDOK);
      Command(browser, command);
      EXPECT_EQ(responder_.Outstanding(), 0u);
    }
  }
  EXPECT_EQ(Children().size(), 2u) << "no editor or other window was opened";
}

// The browser's own messages are errors: the stop icon and OK alone.
TEST_F(BrowserTest, TheBrowsersMessagesCarryTheStopIconAndOk) {
  std::filesystem::create_directories(NativePath("Full"));
  testing_support::Bytes master(kMasterRecordSize, 0);
  testing_support::PutU16(master, 0, 255);
  testing_support::WriteBytes(NativePath("Full/master"), master);
  struct Case {
    const char* directory;
    std::vector<int> selected;
    int command;
    const char* message;
  };
  for (const Case& c :
       {Case{"Stocks", {}, IDM_COPY, kAtLeastOne}, Case{"Stocks", {0, 1}, IDM_TEST, kOnlyOne},
        Case{"Full", {}, IDM_CREATE, "Unable to insert file, the directory is already full!"}}) {
    SCOPED_TRACE(c.message);
    const HWND browser = OpenBrowserOn(c.directory);
    SelectLines(List(browser), c.selected);
    std::string text;
    HICON icon = nullptr;
    bool hasOk = false, hasCancel = false, hasNo = false;
    responder_.ExpectDialog("Quorvex", [&](HWND box) {
      text = MessageBoxText(box);
      icon = MessageBoxIcon(box);
      hasOk = GetDlgItem(box, IDOK) != nullptr;
      hasCancel = GetDlgItem(box, IDCANCEL) != nullptr;
      hasNo = GetDlgItem(box, IDNO) != nullptr;
      PressButton(box, IDOK);
    });
    Command(browser, c.command);
    EXPECT_EQ(text, c.message);
    EXPECT_EQ(icon, LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_HAND)));
    EXPECT_TRUE(hasOk);
    EXPECT_FALSE(hasCancel);
    EXPECT_FALSE(hasNo);
    SendMessageA(MDIhwnd, WM_MDIDESTROY, reinterpret_cast<WPARAM>(browser), 0);
  }
}

TEST_F(BrowserTest, TestAndChangeSymbolTakeOnlyOneInstrument) {
  const HWND browser = OpenBrowserOn("Stocks");
  SelectLines(List(browser), {1, 3});
  for (int command : {IDM_TEST, IDM_CHANGE_SYMBOL}) {
    SCOPED_TRACE("command " + std::to_string(command));
    responder_.Expect(kOnlyOne, IDOK);
    Command(browser, command);
    EXPECT_EQ(responder_.Outstanding(), 0u);
  }
  EXPECT_EQ(SelectedLines(List(browser)), (std::vector<int>{1, 3})) << "the selection is left as it was";
}

TEST_F(BrowserTest, InstrumentsThatLeftMasterSinceTheListingAreReported) {
  const HWND browser = OpenBrowserOn("Stocks");
  MasterRecord record{};
  ASSERT_EQ(GetMetaStockMasterRecord(Dir("Stocks").c_str(), 2, &record), 1);
  ASSERT_EQ(DeleteInstrument(Dir("Stocks").c_str(), record, 0), 1);
  SelectLines(List(browser), {0, 1});
  for (int command : {IDM_DELETE, IDM_MOVE, IDM_COPY}) {
    SCOPED_TRACE("command " + std::to_string(command));
    responder_.Expect("An error occured whilst selecting instruments.", IDOK);
    Command(browser, command);
    EXPECT_EQ(responder_.Outstanding(), 0u) << "the message, and no dialog";
  }
}

// The titles of the open editors, oldest first.
std::vector<std::string> EditorTitles() {
  std::vector<std::string> titles;
  for (HWND child = GetWindow(MDIhwnd, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
    char className[32] = {};
    GetClassNameA(child, className, sizeof className);
    if (std::string(className) != "MdiEditChild") continue;
    char title[MAX_PATH] = {};
    GetWindowTextA(child, title, sizeof title);
    titles.insert(titles.begin(), title);
  }
  return titles;
}

TEST_F(BrowserTest, EditOpensOneEditorPerSelectedInstrumentInListOrder) {
  const HWND browser = OpenBrowserOn("Damaged\\Data");
  // Lines 0, 2, 4, 6, 8 of the sorted list.
  SelectLines(List(browser), {0, 2, 4, 6, 8});
  Command(browser, IDM_EDIT);
  const std::string dir = Dir("Damaged\\Data");
  EXPECT_EQ(EditorTitles(), (std::vector<std::string>{
                                dir + "F3.DAT [CLOSE ABOVE HIGH]",
                                dir + "F1.DAT [CORRUPT NUMBERS]",
                                dir + "F2.DAT [HIGH BELOW LOW]",
                                dir + "F8.DAT [INVALID TIMES]",
                                dir + "F5.DAT [OPEN BELOW LOW]",
                            }));
}

TEST_F(BrowserTest, DoubleClickOpensOnlyTheLineUnderTheCaret) {
  const HWND browser = OpenBrowserOn("Stocks");
  const HWND list = List(browser);
  SelectLines(list, {1, 3});
  SendMessageA(list, LB_SETCARETINDEX, 3, FALSE);
  SendMessageA(browser, WM_COMMAND, MAKEWPARAM(IDC_FILER_LIST, LBN_DBLCLK), reinterpret_cast<LPARAM>(list));
  EXPECT_EQ(EditorTitles(), std::vector<std::string>{Dir("Stocks") + "F4.DAT [DELTA AIRWAYS]"});
  SendMessageA(browser, WM_COMMAND, MAKEWPARAM(IDC_FILER_LIST, LBN_SELCHANGE),
               reinterpret_cast<LPARAM>(list));
  EXPECT_EQ(EditorTitles().size(), 1u) << "other notifications from the list open nothing";

  // An empty list has no caret line: a double-click there opens nothing and
  // says nothing (the responder fails on any box).
  SelectTreeItem(Tree(browser), {"Empty"});
  ASSERT_TRUE(ListLines(list).empty());
  const size_t dialogsBefore = responder_.Seen().size();
  SendMessageA(browser, WM_COMMAND, MAKEWPARAM(IDC_FILER_LIST, LBN_DBLCLK), reinterpret_cast<LPARAM>(list));
  gui_harness::DrainMessages();
  EXPECT_EQ(EditorTitles().size(), 1u);
  EXPECT_EQ(responder_.Seen().size(), dialogsBefore);
}

TEST_F(BrowserTest, CreateInAFullDirectorySaysSoWithoutADialog) {
  std::filesystem::create_directories(NativePath("Full"));
  testing_support::Bytes master(kMasterRecordSize, 0);
  testing_support::PutU16(master, 0, 255);
  testing_support::WriteBytes(NativePath("Full/master"), master);
  const HWND browser = OpenBrowser(Dir("Full"));
  responder_.Expect("Unable to insert file, the directory is already full!", IDOK);
  Command(browser, IDM_CREATE);
  EXPECT_EQ(testing_support::ReadBytes(NativePath("Full/master")), master);
}

TEST_F(BrowserTest, UnknownCommandsAreIgnored) {
  const HWND browser = OpenBrowserOn("Stocks");
  EXPECT_EQ(SendMessageA(browser, WM_COMMAND, 9999, 0), 0);
  EXPECT_EQ(ListLines(List(browser)).size(), 6u);
}

}  // namespace
