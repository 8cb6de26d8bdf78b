// Create, Change Symbol and Create Directory, driven from a browser: what the
// dialogs show, what they refuse, and the bytes they leave on the disk.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "browser/browser_fixture.h"
#include "harness/wait.h"
#include "resource.h"
#include "shell/shell_globals.h"

namespace {

using gui_harness::MessageBoxText;
using gui_harness::PressButton;
using testing_support::Bytes;
using testing_support::ReadBytes;

constexpr char kRescanQuestion[] =
    "Directory will not be visible until you re-scan the directory tree, rescan now ?";

BOOL CALLBACK CollectText(HWND window, LPARAM lParam) {
  char text[512] = {};
  GetWindowTextA(window, text, sizeof text);
  if (text[0] != '\0') reinterpret_cast<std::vector<std::string>*>(lParam)->push_back(text);
  return TRUE;
}

// Every text the dialog's controls show.
std::vector<std::string> DialogTexts(HWND dialog) {
  std::vector<std::string> texts;
  EnumChildWindows(dialog, CollectText, reinterpret_cast<LPARAM>(&texts));
  return texts;
}

std::vector<std::string> DialogListLines(HWND dialog, int control) {
  return ListLines(GetDlgItem(dialog, control));
}

std::string Field(const MasterRecord& record, size_t offset, size_t width) {
  return std::string(reinterpret_cast<const char*>(record.raw + offset), width);
}

// Answers the message box with text, pressing OK, and then lets then() work
// on the dialog that stays open.
std::function<void(HWND)> AfterNotice(const std::string& text, std::function<void()> then) {
  return [text, then](HWND box) {
    EXPECT_EQ(MessageBoxText(box), text);
    PressButton(box, IDOK);
    then();
  };
}

TEST_F(BrowserTest, CreateOffersThePeriodsAndFieldCountsWithItsLabelsAndNotes) {
  const HWND browser = OpenBrowserOn("Empty");
  responder_.ExpectDialog("Create", [](HWND dialog) {
    EXPECT_EQ(DialogListLines(dialog, IDC_CREATE_PERIOD),
              (std::vector<std::string>{"Daily", "Weekly", "Monthly", "IntraDay"}));
    EXPECT_EQ(SendDlgItemMessageA(dialog, IDC_CREATE_PERIOD, LB_GETCURSEL, 0, 0), 0);
    EXPECT_EQ(DialogListLines(dialog, IDC_CREATE_FIELDS), (std::vector<std::string>{"Five", "Six", "Seven"}));
    EXPECT_EQ(SendDlgItemMessageA(dialog, IDC_CREATE_FIELDS, LB_GETCURSEL, 0, 0), 0);
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, IDC_CREATE_TIME_BASE)))
        << "enabled until a period is chosen";
    EXPECT_EQ(SendDlgItemMessageA(dialog, IDC_CREATE_NAME, EM_GETLIMITTEXT, 0, 0), 16);
    EXPECT_EQ(SendDlgItemMessageA(dialog, IDC_CREATE_SYMBOL, EM_GETLIMITTEXT, 0, 0), 14);
    const std::vector<std::string> texts = DialogTexts(dialog);
    for (const char* label :
         {"New Instrument Name :", "New Symbol :", "Periodity :", "Fields :", "Time Base :", "mins",
          "Creation Notes :",
          "Some programs only support five and seven field Data files.  Files created in other formats will "
          "NOT be able to be used with these programs.",
          "For Tick Data select the IntraDay format and specify a time base of zero.",
          "For all non IntraDay files the time base field is ignored.", "OK", "Cancel"}) {
      EXPECT_NE(std::find(texts.begin(), texts.end(), label), texts.end()) << "missing \"" << label << "\"";
    }

    PickListLine(dialog, IDC_CREATE_PERIOD, 3);
    EXPECT_EQ(DialogListLines(dialog, IDC_CREATE_FIELDS),
              (std::vector<std::string>{"Four", "Seven", "Eight"}));
    EXPECT_EQ(ListItemData(GetDlgItem(dialog, IDC_CREATE_FIELDS)), (std::vector<LPARAM>{4, 7, 8}));
    EXPECT_EQ(SendDlgItemMessageA(dialog, IDC_CREATE_FIELDS, LB_GETCURSEL, 0, 0), 0);
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, IDC_CREATE_TIME_BASE)));
    PickListLine(dialog, IDC_CREATE_PERIOD, 1);
    EXPECT_EQ(DialogListLines(dialog, IDC_CREATE_FIELDS), (std::vector<std::string>{"Five", "Six", "Seven"}));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, IDC_CREATE_TIME_BASE)));
    PressButton(dialog, IDCANCEL);
  });
  const Bytes before = ReadBytes(NativePath("Empty/master"));
  Command(browser, IDM_CREATE);
  EXPECT_EQ(ReadBytes(NativePath("Empty/master")), before) << "Cancel creates nothing";
}

struct CreateCase {
  int periodLine;
  int fieldLine;
  const char* timeBase;
  char period;
  int fieldCount;
  uint16_t storedTimeBase;
  const char* fileType;
};

// Every period with each field count it offers, and the time base rules:
// ignored but for IntraDay, where the digits among the first three
// characters count.
TEST_F(BrowserTest, CreateBuildsTheRecordForEachPeriodAndFieldCount) {
  const HWND browser = OpenBrowserOn("Empty");
  const CreateCase cases[] = {
      {0, 0, "", 'D', 5, 0, "Daily File"},       {0, 1, "", 'D', 6, 0, "Daily File"},
      {0, 2, "", 'D', 7, 0, "Daily File"},       {1, 0, "", 'W', 5, 0, "Weekly File"},
      {1, 1, "15", 'W', 6, 0, "Weekly File"},    {1, 2, "", 'W', 7, 0, "Weekly File"},
      {2, 0, "", 'M', 5, 0, "Monthly File"},     {2, 1, "", 'M', 6, 0, "Monthly File"},
      {2, 2, "60", 'M', 7, 0, "Monthly File"},   {3, 0, "5x", 'I', 4, 5, "IntraDay File"},
      {3, 1, "abc", 'I', 7, 0, "IntraDay File"}, {3, 2, "1440", 'I', 8, 144, "IntraDay File"},
      {3, 0, "0", 'I', 4, 0, "IntraDay File"},
  };
  int fileNumber = 0;
  for (const CreateCase& c : cases) {
    ++fileNumber;
    const std::string name = "CASE " + std::to_string(fileNumber);
    const std::string symbol = "SYM" + std::to_string(fileNumber);
    SCOPED_TRACE(name);
    responder_.ExpectDialog("Create", [&](HWND dialog) {
      SetDlgItemTextA(dialog, IDC_CREATE_NAME, name.c_str());
      SetDlgItemTextA(dialog, IDC_CREATE_SYMBOL, symbol.c_str());
      PickListLine(dialog, IDC_CREATE_PERIOD, c.periodLine);
      PickListLine(dialog, IDC_CREATE_FIELDS, c.fieldLine);
      SetDlgItemTextA(dialog, IDC_CREATE_TIME_BASE, c.timeBase);
      PressButton(dialog, IDOK);
    });
    Command(browser, IDM_CREATE);

    const std::vector<MasterRecord> records = ReadMasterRecords(NativePath("Empty/master"));
    ASSERT_EQ(records.size(), static_cast<size_t>(fileNumber + 1));
    const MasterRecord& made = records.back();
    EXPECT_EQ(made.FileNumber(), fileNumber);
    EXPECT_EQ(made.FileType(), 101);
    EXPECT_EQ(made.Period(), c.period);
    EXPECT_EQ(made.FieldCount(), c.fieldCount);
    EXPECT_EQ(made.RecordLength(), 4 * c.fieldCount);
    EXPECT_EQ(made.TimeBase(), c.storedTimeBase);
    EXPECT_EQ(Field(made, 7, 16), name + std::string(16 - name.size(), ' '));
    EXPECT_EQ(Field(made, 36, 16), symbol + std::string(16 - symbol.size(), ' '));
    EXPECT_EQ(made.raw[52], 0);
    const std::string dat = "Empty/F" + std::to_string(fileNumber);
    EXPECT_TRUE(testing_support::FileExistsNative(NativePath(dat + ".DAT")));
    EXPECT_TRUE(testing_support::FileExistsNative(NativePath(dat + ".DOP")));
    const std::string line =
        name + "\t" + symbol + "\tF" + std::to_string(fileNumber) + "\t" + c.fileType + "\tFile Exists";
    const std::vector<std::string> lines = ListLines(List(browser));
    EXPECT_NE(std::find(lines.begin(), lines.end(), line), lines.end()) << "the list shows " << line;
  }
}

TEST_F(BrowserTest, CreateRefusesMissingEntriesAndStaysOpenUntilTheyAreGiven) {
  const HWND browser = OpenBrowserOn("Empty");
  HWND dialog = nullptr;
  responder_
      .ExpectDialog("Create",
                    [&](HWND d) {
                      dialog = d;
                      PressButton(d, IDOK);
                    })
      .ExpectDialog("Quorvex",
                    AfterNotice("The Instrument name MUST contain a name so that it can be identified",
                                [&] {
                                  SetDlgItemTextA(dialog, IDC_CREATE_NAME, "    ");
                                  PressButton(dialog, IDOK);
                                }))
      .ExpectDialog("Quorvex",
                    AfterNotice("You MUST supply a name which contains something other than just spaces.",
                                [&] {
                                  SetDlgItemTextA(dialog, IDC_CREATE_NAME, "ABCDEFGHIJKLMNOP");
                                  PickListLine(dialog, IDC_CREATE_PERIOD, 3);
                                  PressButton(dialog, IDOK);
                                }))
      .ExpectDialog("Quorvex", AfterNotice("You MUST supply a time base for IntraDay files", [&] {
                      SetDlgItemTextA(dialog, IDC_CREATE_TIME_BASE, "30");
                      PressButton(dialog, IDOK);
                    }));
  Command(browser, IDM_CREATE);
  const std::vector<MasterRecord> records = ReadMasterRecords(NativePath("Empty/master"));
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(Field(records[1], 7, 16), "ABCDEFGHIJKLMNO ") << "the first 15 characters and a blank";
  EXPECT_EQ(Field(records[1], 36, 16), std::string(16, ' '));
  EXPECT_EQ(records[1].TimeBase(), 30);
  EXPECT_EQ(ListLines(List(browser)),
            std::vector<std::string>{"ABCDEFGHIJKLMNO\t\tF1\tIntraDay File\tFile Exists"});
}

TEST_F(BrowserTest, CreateInADirectoryWithoutMasterMakesOne) {
  const std::string bare = temp_.MakeSubdir("bare");
  const HWND browser = OpenBrowser(bare);
  responder_.ExpectDialog("Create", [](HWND dialog) {
    SetDlgItemTextA(dialog, IDC_CREATE_NAME, "FIRST");
    PressButton(dialog, IDOK);
  });
  Command(browser, IDM_CREATE);
  const std::vector<MasterRecord> records = ReadMasterRecords(temp_.Path("bare/master"));
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].raw[0], 1) << "the header counts one instrument";
  EXPECT_EQ(ListLines(List(browser)), std::vector<std::string>{"FIRST\t\tF1\tDaily File\tFile Exists"});
}

TEST_F(BrowserTest, ChangeSymbolShowsTheInstrumentAndStoresTheNewSymbolPadded) {
  const HWND browser = OpenBrowserOn("Stocks");
  const HWND list = List(browser);
  const Bytes before = ReadBytes(NativePath("Stocks/master"));
  struct Case {
    const char* shownSymbol;
    const char* typed;
    std::string stored;
    std::string line;
  };
  for (const Case& c : {Case{"BRML", "BRMX", "BRMX" + std::string(10, ' '), "BOREALIS MINING\tBRMX\tF2"},
                        Case{"BRMX", "", std::string(14, ' '), "BOREALIS MINING\t\tF2"}}) {
    SCOPED_TRACE(std::string("typed \"") + c.typed + "\"");
    SelectLines(list, {LineStartingWith(list, "BOREALIS")});
    // The caret rests elsewhere: the selected line is the one changed.
    SendMessageA(list, LB_SETCARETINDEX, 0, FALSE);
    std::string shownName, shownSymbol;
    responder_.ExpectDialog("Change Symbol", [&](HWND dialog) {
      shownName = ControlTextOf(dialog, IDC_SYMBOL_INSTRUMENT);
      shownSymbol = ControlTextOf(dialog, IDC_SYMBOL_PRESENT);
      EXPECT_EQ(SendDlgItemMessageA(dialog, IDC_SYMBOL_NEW, EM_GETLIMITTEXT, 0, 0), 14);
      const std::vector<std::string> texts = DialogTexts(dialog);
      for (const char* label : {"Instrument", "Symbol", "New Symbol"}) {
        EXPECT_NE(std::find(texts.begin(), texts.end(), label), texts.end()) << label;
      }
      SetDlgItemTextA(dialog, IDC_SYMBOL_NEW, c.typed);
      PressButton(dialog, IDOK);
    });
    Command(browser, IDM_CHANGE_SYMBOL);
    EXPECT_EQ(shownName, "BOREALIS MINING");
    EXPECT_EQ(shownSymbol, c.shownSymbol);
    Bytes expected = before;
    std::memcpy(expected.data() + 2 * kMasterRecordSize + 36, c.stored.data(), 14);
    EXPECT_EQ(ReadBytes(NativePath("Stocks/master")), expected) << "only the symbol field changed";
    EXPECT_EQ(ListLines(list)[1].rfind(c.line, 0), 0u) << ListLines(list)[1];
  }
}

TEST_F(BrowserTest, ChangeSymbolCancelledChangesNothing) {
  const HWND browser = OpenBrowserOn("Stocks");
  SelectLines(List(browser), {0});
  const Bytes before = ReadBytes(NativePath("Stocks/master"));
  responder_.ExpectDialog("Change Symbol", [](HWND dialog) {
    SetDlgItemTextA(dialog, IDC_SYMBOL_NEW, "NOPE");
    PressButton(dialog, IDCANCEL);
  });
  Command(browser, IDM_CHANGE_SYMBOL);
  EXPECT_EQ(ReadBytes(NativePath("Stocks/master")), before);
}

TEST_F(BrowserTest, CreateDirectoryMakesAnEmptyMasterAndOffersToRescan) {
  const HWND browser = OpenBrowser(Root());
  std::string shownParent;
  responder_
      .ExpectDialog("Create Directory",
                    [&](HWND dialog) {
                      shownParent = ControlTextOf(dialog, IDC_MAKE_DIR_PARENT);
                      const std::vector<std::string> texts = DialogTexts(dialog);
                      for (const char* label : {"Instrument", "New Directory", "Create", "Cancel"}) {
                        EXPECT_NE(std::find(texts.begin(), texts.end(), label), texts.end()) << label;
                      }
                      SetDlgItemTextA(dialog, IDC_MAKE_DIR_NAME, "Fresh");
                      PressButton(dialog, IDOK);
                    })
      .Expect(kRescanQuestion, IDNO);
  Command(browser, IDM_CREATE_DIRECTORY);
  EXPECT_EQ(shownParent, Root());
  EXPECT_EQ(ReadBytes(NativePath("Fresh/master")), Bytes(kMasterRecordSize, 0));
  gui_harness::DrainMessages();
  EXPECT_EQ(FindTreeItem(Tree(browser), {"Fresh"}), nullptr) << "No leaves the tree as it was";

  responder_
      .ExpectDialog("Create Directory",
                    [](HWND dialog) {
                      SetDlgItemTextA(dialog, IDC_MAKE_DIR_NAME, "Second");
                      PressButton(dialog, IDOK);
                    })
      .Expect(kRescanQuestion, IDYES);
  Command(browser, IDM_CREATE_DIRECTORY);
  EXPECT_TRUE(gui_harness::PumpUntil("the rebuilt tree to show the new directories", [&] {
    return FindTreeItem(Tree(browser), {"Second"}) != nullptr &&
           FindTreeItem(Tree(browser), {"Fresh"}) != nullptr;
  }));
}

TEST_F(BrowserTest, TheRescanQuestionCarriesTheExclamationIconWithYesAndNo) {
  const HWND browser = OpenBrowser(Root());
  HICON icon = nullptr;
  bool hasYes = false, hasNo = false, hasOk = false;
  responder_
      .ExpectDialog("Create Directory",
                    [](HWND dialog) {
                      SetDlgItemTextA(dialog, IDC_MAKE_DIR_NAME, "Asked");
                      PressButton(dialog, IDOK);
                    })
      .ExpectDialog("Quorvex", [&](HWND box) {
        EXPECT_EQ(MessageBoxText(box), kRescanQuestion);
        icon = MessageBoxIcon(box);
        hasYes = GetDlgItem(box, IDYES) != nullptr;
        hasNo = GetDlgItem(box, IDNO) != nullptr;
        hasOk = GetDlgItem(box, IDOK) != nullptr;
        PressButton(box, IDNO);
      });
  Command(browser, IDM_CREATE_DIRECTORY);
  EXPECT_EQ(icon, LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_EXCLAMATION)));
  EXPECT_TRUE(hasYes);
  EXPECT_TRUE(hasNo);
  EXPECT_FALSE(hasOk);
}

// The controls' kinds the templates give: the Create lists take one line
// each and keep their own order; Select Path's combo box has an edit field;
// the name edit of Create Directory takes 255 characters.
TEST_F(BrowserTest, TheDialogTemplatesGiveTheirControlsTheirStyles) {
  const HWND browser = OpenBrowserOn("Empty");
  responder_.ExpectDialog("Create", [](HWND dialog) {
    for (int control : {IDC_CREATE_PERIOD, IDC_CREATE_FIELDS}) {
      const auto style = static_cast<DWORD>(GetWindowLongA(GetDlgItem(dialog, control), GWL_STYLE));
      EXPECT_EQ(style & (LBS_SORT | LBS_MULTIPLESEL | LBS_EXTENDEDSEL), 0u) << "list " << control;
      EXPECT_EQ(style & LBS_NOTIFY, static_cast<DWORD>(LBS_NOTIFY)) << "list " << control;
    }
    PressButton(dialog, IDCANCEL);
  });
  Command(browser, IDM_CREATE);

  responder_.ExpectDialog("Create Directory", [](HWND dialog) {
    EXPECT_EQ(SendDlgItemMessageA(dialog, IDC_MAKE_DIR_NAME, EM_GETLIMITTEXT, 0, 0), 255);
    PressButton(dialog, IDCANCEL);
  });
  Command(browser, IDM_CREATE_DIRECTORY);

  responder_.ExpectDialog("Select Path", [](HWND dialog) {
    const auto style = static_cast<DWORD>(GetWindowLongA(GetDlgItem(dialog, IDC_SELECT_PATH), GWL_STYLE));
    EXPECT_EQ(style & 3u, static_cast<DWORD>(CBS_DROPDOWN));
    PressButton(dialog, IDCANCEL);
  });
  SendMessageA(MDIFrame, WM_COMMAND, IDM_SELECT_PATH, 0);
  EXPECT_EQ(responder_.Outstanding(), 0u);
}

TEST_F(BrowserTest, CreateDirectoryRefusesAnEmptyOrTakenName) {
  const HWND browser = OpenBrowser(Root());
  HWND dialog = nullptr;
  responder_
      .ExpectDialog("Create Directory",
                    [&](HWND d) {
                      dialog = d;
                      PressButton(d, IDOK);
                    })
      .ExpectDialog("Quorvex", AfterNotice("You must provide at least one character for a directory name.",
                                           [&] {
                                             SetDlgItemTextA(dialog, IDC_MAKE_DIR_NAME, "Stocks");
                                             PressButton(dialog, IDOK);
                                           }))
      .ExpectDialog("Quorvex",
                    AfterNotice("Unable to create Directory", [&] { PressButton(dialog, IDCANCEL); }));
  const Bytes before = ReadBytes(NativePath("Stocks/master"));
  Command(browser, IDM_CREATE_DIRECTORY);
  EXPECT_EQ(ReadBytes(NativePath("Stocks/master")), before) << "the existing directory is left alone";
}

}  // namespace
