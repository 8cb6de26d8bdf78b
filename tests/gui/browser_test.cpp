// The directory browser in the test's own process over the sample tree, one
// scenario through Select Path, the tree and the list, and every command with
// its dialog: what each shows, what it passes on, what it leaves on the disk.
#include "gui_harness.h"

#include <commctrl.h>

#include "resource.h"
#include "store/master_file.h"

namespace {

using Lines = std::vector<std::string>;

// Selects the tree item with these labels below the root, as a click does.
void Choose(HWND browser, const Lines& labels) {
  const HWND tree = GetDlgItem(browser, IDC_FILER_TREE);
  HTREEITEM item = TreeView_GetRoot(tree);
  char text[64] = {};
  TVITEMA query{};
  query.mask = TVIF_TEXT;
  query.pszText = text;
  query.cchTextMax = sizeof text;
  for (const std::string& label : labels) {
    item = TreeView_GetChild(tree, item);
    while (item != nullptr && !((query.hItem = item), TreeView_GetItem(tree, &query) && label == text))
      item = TreeView_GetNextSibling(tree, item);
  }
  ASSERT_NE(item, nullptr) << labels.back();
  TreeView_SelectItem(tree, item);
}

void Select(HWND list, std::initializer_list<int> lines) {  // exactly these lines
  SendMessageA(list, LB_SETSEL, FALSE, -1);
  for (int line : lines) SendMessageA(list, LB_SETSEL, TRUE, line);
}

TEST(Browser, SelectPathTreeListAndEveryCommandWithItsDialog) {
  gui::Sample sample;
  gui::Frame frame;
  const std::string root = sample.Dir(), stocks = sample.Dir("Stocks"), copied = root + "Copied\\";
  const auto command = [](HWND window, int id) { SendMessageA(window, WM_COMMAND, id, 0); };
  gui::Responder r;

  // Select Path refuses what is not a directory, then takes the root typed
  // without its backslash.
  r.Dialog("Select Path", {}, {{IDC_SELECT_PATH, root + "Missing"}}, IDOK)
      .Box("The path specified was not valid.", IDOK, {{IDC_SELECT_PATH, root.substr(0, root.size() - 1)}},
           IDOK);
  command(MDIFrame, IDM_SELECT_PATH);
  const HWND browser = frame.Active(), list = GetDlgItem(browser, IDC_FILER_LIST);
  EXPECT_EQ(gui::Text(browser), root);
  // The root, Damaged with three, Empty, Intraday, Nested with a, b, c and the
  // long-named one, Stocks; not the hidden .backup.
  EXPECT_EQ(TreeView_GetCount(GetDlgItem(browser, IDC_FILER_TREE)), 13u);
  Choose(browser, {"Stocks"});
  EXPECT_EQ(gui::Lines(list), (Lines{"ACME INDUSTRIES\tACME\tF1\tDaily File\tFile Exists",
                                     "BOREALIS MINING\tBRML\tF2\tDaily File\tFile Exists",
                                     "CYGNUS SOFTWARE\tCYGS\tF3\tDaily File\tFile Exists",
                                     "DELTA AIRWAYS\tDLTA\tF4\tWeekly File\tFile Exists",
                                     "EQUINOX FUND\tEQNX\tF5\tMonthly File\tFile Exists",
                                     "FENWICK HOLDINGS\tFNWK\tF6\tDaily File\tNon-Existant"}));
  gui::Shot("browser-sample-tree");

  // Test and Change Symbol take the one instrument selected, Test Master the directory.
  Select(list, {0, 1});
  r.Box("Please select ONLY one instrument and try again.", IDOK)
      .Dialog("Test and Repair DAT File", {{IDC_TEST_FILE, "BOREALIS MINING"}}, {}, IDCANCEL)
      .Dialog("Test and Repair Master File", {{IDC_TEST_FILE, stocks}}, {}, IDCANCEL)
      .Dialog("Change Symbol", {{IDC_SYMBOL_INSTRUMENT, "BOREALIS MINING"}, {IDC_SYMBOL_PRESENT, "BRML"}},
              {{IDC_SYMBOL_NEW, "BRMX"}}, IDOK);
  command(browser, IDM_TEST);
  Select(list, {1});
  for (int id : {IDM_TEST, IDM_TEST_MASTER, IDM_CHANGE_SYMBOL}) command(browser, id);
  EXPECT_EQ(gui::Lines(list)[1].substr(0, 24), "BOREALIS MINING\tBRMX\tF2\t");

  // Copy into a new directory, which Move is offered next from the path
  // history; then Delete.
  Select(list, {0, 1});
  r.Dialog("Copy", {{IDC_TRANSFER_SOURCE, stocks}}, {{IDC_TRANSFER_DESTINATION, copied}}, IDOK, [](HWND d) {
     EXPECT_EQ(gui::Lines(GetDlgItem(d, IDC_TRANSFER_LIST)),
               (Lines{"ACME INDUSTRIES\tACME\tF1", "BOREALIS MINING\tBRMX\tF2"}));
   }).Box("This directory does not exist, do you want to attempt to create it ?", IDYES);
  command(browser, IDM_COPY);
  EXPECT_EQ(testing_support::ReadBytes(sample.Path("Copied/F1.DAT")),
            testing_support::ReadBytes(sample.Path("Stocks/F2.DAT")));
  Select(list, {3});
  r.Dialog("Move", {}, {}, IDOK, [&](HWND d) {
    SendDlgItemMessageA(d, IDC_TRANSFER_DESTINATION, CB_SETCURSEL, 0, 0);
    EXPECT_EQ(gui::Item(d, IDC_TRANSFER_DESTINATION), copied);
  });
  command(browser, IDM_MOVE);
  MasterRecord moved{};
  EXPECT_TRUE(GetMetaStockMasterRecord(copied.c_str(), 3, &moved) && moved.Name() == "DELTA AIRWAYS");
  Select(list, {4});
  r.Dialog("Delete", {{IDC_DELETE_DIRECTORY, stocks}}, {}, IDOK, [](HWND d) {
    EXPECT_EQ(gui::Lines(GetDlgItem(d, IDC_DELETE_LIST)), Lines{"FENWICK HOLDINGS\tFNWK\tF6"});
  });
  command(browser, IDM_DELETE);
  EXPECT_EQ(gui::Lines(list).size(), 4u) << "the list follows each command";
  EXPECT_FALSE(testing_support::FileExistsNative(sample.Path("Stocks/F6.DOP")));

  // Edit opens every selected instrument, a double-click the line under the caret.
  Select(list, {0, 2});
  command(browser, IDM_EDIT);
  SendMessageA(list, LB_SETCARETINDEX, 3, FALSE);
  gui::Notify(browser, IDC_FILER_LIST, LBN_DBLCLK);
  Lines titles;
  for (HWND editor : frame.Children("MdiEditChild")) titles.push_back(gui::Text(editor));
  EXPECT_EQ(titles, (Lines{stocks + "F1.DAT [ACME INDUSTRIES]", stocks + "F3.DAT [CYGNUS SOFTWARE]",
                           stocks + "F5.DAT [EQUINOX FUND]"}));

  // In Empty: Create, refusing an empty name; then a directory, with the
  // tree read again after Yes.
  Choose(browser, {"Empty"});
  r.Dialog("Create", {},
           {{IDC_CREATE_PERIOD, "IntraDay"},
            {IDC_CREATE_FIELDS, "Eight"},
            {IDC_CREATE_SYMBOL, "NEWS"},
            {IDC_CREATE_TIME_BASE, "15"}},
           IDOK)
      .Box("The Instrument name MUST contain a name so that it can be identified", IDOK,
           {{IDC_CREATE_NAME, "NEW ONE"}}, IDOK)
      .Dialog("Create Directory", {{IDC_MAKE_DIR_PARENT, sample.Dir("Empty")}},
              {{IDC_MAKE_DIR_NAME, "Fresh"}}, IDOK)
      .Box("Directory will not be visible until you re-scan the directory tree, rescan now ?", IDYES, {}, 0,
           IDI_EXCLAMATION);
  command(browser, IDM_CREATE);
  EXPECT_EQ(gui::Lines(list), Lines{"NEW ONE\tNEWS\tF1\tIntraDay File\tFile Exists"});
  MasterRecord made{};
  EXPECT_TRUE(GetMetaStockMasterRecord(sample.Dir("Empty").c_str(), 1, &made));
  EXPECT_EQ(std::pair(int{made.FieldCount()}, int{made.TimeBase()}), std::pair(8, 15))
      << "eight fields: an intraday count";
  command(browser, IDM_CREATE_DIRECTORY);
  EXPECT_EQ(testing_support::ReadBytes(sample.Path("Empty/Fresh/master")), testing_support::Bytes(53, 0));
  EXPECT_TRUE(gui::Pump("the tree read again, with Copied and Empty\\Fresh",
                        [&] { return TreeView_GetCount(GetDlgItem(browser, IDC_FILER_TREE)) == 15; }));
}

}  // namespace
