// Copy, Move and Delete of several instruments from a browser: the dialogs'
// contents, the questions on the way, and the files and master records left
// on the disk.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "browser/browser_fixture.h"
#include "fixtures.h"
#include "harness/wait.h"
#include "resource.h"
#include "shell/shell_globals.h"

namespace {

using gui_harness::MessageBoxText;
using gui_harness::PressButton;
using testing_support::Bytes;
using testing_support::FileExistsNative;
using testing_support::ReadBytes;

constexpr char kCreateQuestion[] = "This directory does not exist, do you want to attempt to create it ?";
constexpr char kFull[] = "Unable to insert file, the directory is already full!";
constexpr char kCopyRoom[] =
    "There is not enough room to copy all of the files into the directory, do you want to copy as many as "
    "will "
    "fit?";
constexpr char kMoveRoom[] =
    "There is not enough room to move all of the files into the directory, do you want to move as many as "
    "will "
    "fit?";
constexpr char kCopyFailed[] = "A problem occured during copying, do you wish to attempt to continue ?";
constexpr char kMoveFailed[] = "A problem occured during moving, do you wish to attempt to continue ?";
constexpr char kDeleteFailed[] = "An error occured whilst deleting, do you wish to continue ?";

// The Stocks instruments by file number.
const std::map<int, std::string> kStocks{{1, "ACME INDUSTRIES"}, {2, "BOREALIS MINING"},
                                         {3, "CYGNUS SOFTWARE"}, {4, "DELTA AIRWAYS"},
                                         {5, "EQUINOX FUND"},    {6, "FENWICK HOLDINGS"}};

std::vector<std::string> InstrumentNames(const std::vector<MasterRecord>& records) {
  std::vector<std::string> names;
  for (size_t i = 1; i < records.size(); ++i) names.push_back(records[i].Name());
  return names;
}

BOOL CALLBACK CollectText(HWND window, LPARAM lParam) {
  char text[512] = {};
  GetWindowTextA(window, text, sizeof text);
  if (text[0] != '\0') reinterpret_cast<std::vector<std::string>*>(lParam)->push_back(text);
  return TRUE;
}

bool ShowsText(HWND dialog, const std::string& text) {
  std::vector<std::string> texts;
  EnumChildWindows(dialog, CollectText, reinterpret_cast<LPARAM>(&texts));
  return std::find(texts.begin(), texts.end(), text) != texts.end();
}

class TransferTest : public BrowserTest {
 protected:
  // A browser on Stocks with the instruments of these file numbers selected.
  HWND BrowserWithSelected(const std::vector<int>& fileNumbers) {
    const HWND browser = OpenBrowserOn("Stocks");
    std::vector<int> lines;
    for (int n : fileNumbers) lines.push_back(LineStartingWith(List(browser), kStocks.at(n)));
    SelectLines(List(browser), lines);
    return browser;
  }

  // Types the destination into a Copy or Move dialog and presses OK.
  static std::function<void(HWND)> SendTo(const std::string& destination, HWND* dialog = nullptr) {
    return [destination, dialog](HWND d) {
      if (dialog != nullptr) *dialog = d;
      SetDlgItemTextA(d, IDC_TRANSFER_DESTINATION, destination.c_str());
      PressButton(d, IDOK);
    };
  }

  // A data directory whose master lists count instruments (F1 ... Fcount).
  std::string Crowded(int count) {
    std::filesystem::create_directories(NativePath("Crowded"));
    fixtures::MasterBuilder master;
    for (int n = 1; n <= count; ++n) master.Add({.fileNumber = static_cast<uint8_t>(n), .name = "FILLER"});
    master.LastFileNumber(static_cast<uint16_t>(count));
    testing_support::WriteBytes(NativePath("Crowded/master"), master.Build());
    return Dir("Crowded");
  }

  Bytes StocksFile(int fileNumber, const char* extension) const {
    return ReadBytes(NativePath("Stocks/F" + std::to_string(fileNumber) + extension));
  }
};

TEST_F(TransferTest, CopyShowsTheSourceAndTheInstrumentsAndCopiesThemIntoANewDirectory) {
  const HWND browser = BrowserWithSelected({1, 2, 3});
  const Bytes dat1 = StocksFile(1, ".DAT"), dat2 = StocksFile(2, ".DAT"), dat3 = StocksFile(3, ".DAT");
  const Bytes sourceMaster = ReadBytes(NativePath("Stocks/master"));
  const std::string destination = Dir("Stocks\\Copied");
  responder_
      .ExpectDialog(
          "Copy",
          [&](HWND dialog) {
            EXPECT_EQ(ControlTextOf(dialog, IDC_TRANSFER_SOURCE), Dir("Stocks"));
            EXPECT_EQ(ListLines(GetDlgItem(dialog, IDC_TRANSFER_LIST)),
                      (std::vector<std::string>{"ACME INDUSTRIES\tACME\tF1", "BOREALIS MINING\tBRML\tF2",
                                                "CYGNUS SOFTWARE\tCYGS\tF3"}));
            for (const char* label :
                 {"Copy Instruments From :", "Instruments to copy", "Path to copy Instruments to"}) {
              EXPECT_TRUE(ShowsText(dialog, label)) << label;
            }
            EXPECT_EQ(ControlTextOf(dialog, IDC_TRANSFER_DESTINATION), "")
                << "no path used before begins with the source";
            SendTo(destination.substr(0, destination.size() - 1))(dialog);
          })
      .Expect(kCreateQuestion, IDYES);
  Command(browser, IDM_COPY);

  // Processed in the reverse of their master order: F3 arrives first.
  const std::vector<MasterRecord> copied = ReadMasterRecords(NativePath("Stocks/Copied/master"));
  EXPECT_EQ(InstrumentNames(copied), (std::vector<std::string>{kStocks.at(3), kStocks.at(2), kStocks.at(1)}));
  EXPECT_EQ(ReadBytes(NativePath("Stocks/Copied/F1.DAT")), dat3);
  EXPECT_EQ(ReadBytes(NativePath("Stocks/Copied/F2.DAT")), dat2);
  EXPECT_EQ(ReadBytes(NativePath("Stocks/Copied/F3.DAT")), dat1);
  EXPECT_EQ(ReadBytes(NativePath("Stocks/Copied/F3.DOP")), StocksFile(1, ".DOP"));
  EXPECT_EQ(ReadBytes(NativePath("Stocks/master")), sourceMaster) << "a copy leaves the source alone";
  EXPECT_EQ(ListLines(List(browser)).size(), 6u);

  // The destination joined the path history (with its backslash); lying
  // below the source, it is the destination offered next time.
  std::string first, shown;
  responder_.ExpectDialog("Copy", [&](HWND dialog) {
    char text[MAX_PATH] = {};
    SendDlgItemMessageA(dialog, IDC_TRANSFER_DESTINATION, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(text));
    first = text;
    shown = ControlTextOf(dialog, IDC_TRANSFER_DESTINATION);
    PressButton(dialog, IDCANCEL);
  });
  Command(browser, IDM_COPY);
  EXPECT_EQ(first, destination);
  EXPECT_EQ(shown, destination);
}

TEST_F(TransferTest, CopyIntoTheSourceDirectoryMakesCopiesUnderNewNumbers) {
  const HWND browser = BrowserWithSelected({4});
  responder_.ExpectDialog("Copy", SendTo(Dir("Stocks")));
  Command(browser, IDM_COPY);
  EXPECT_EQ(ListLines(List(browser)),
            (std::vector<std::string>{"ACME INDUSTRIES\tACME\tF1\tDaily File\tFile Exists",
                                      "BOREALIS MINING\tBRML\tF2\tDaily File\tFile Exists",
                                      "CYGNUS SOFTWARE\tCYGS\tF3\tDaily File\tFile Exists",
                                      "DELTA AIRWAYS\tDLTA\tF4\tWeekly File\tFile Exists",
                                      "DELTA AIRWAYS\tDLTA\tF7\tWeekly File\tFile Exists",
                                      "EQUINOX FUND\tEQNX\tF5\tMonthly File\tFile Exists",
                                      "FENWICK HOLDINGS\tFNWK\tF6\tDaily File\tNon-Existant"}));
  EXPECT_EQ(StocksFile(7, ".DAT"), StocksFile(4, ".DAT"));
}

TEST_F(TransferTest, CopyAnsweredNoToCreatingTheDirectoryStaysOpen) {
  const HWND browser = BrowserWithSelected({1});
  HWND dialog = nullptr;
  responder_.ExpectDialog("Copy", SendTo(Dir("Nowhere"), &dialog)).ExpectDialog("Quorvex", [&](HWND box) {
    EXPECT_EQ(MessageBoxText(box), kCreateQuestion);
    PressButton(box, IDNO);
    PressButton(dialog, IDCANCEL);
  });
  Command(browser, IDM_COPY);
  EXPECT_FALSE(std::filesystem::exists(NativePath("Nowhere")));
}

TEST_F(TransferTest, CopyIntoAFullDirectoryIsRefusedAndTheDialogStaysOpen) {
  const std::string crowded = Crowded(255);
  const Bytes before = ReadBytes(NativePath("Crowded/master"));
  const HWND browser = BrowserWithSelected({1});
  HWND dialog = nullptr;
  responder_.ExpectDialog("Copy", SendTo(crowded, &dialog)).ExpectDialog("Quorvex", [&](HWND box) {
    EXPECT_EQ(MessageBoxText(box), kFull);
    PressButton(box, IDOK);
    PressButton(dialog, IDCANCEL);
  });
  Command(browser, IDM_COPY);
  EXPECT_EQ(ReadBytes(NativePath("Crowded/master")), before);
}

// Three instruments, two free slots: No keeps the dialog open; Yes copies as
// many as fit and then says once that the directory is full.
TEST_F(TransferTest, CopyWithoutRoomForAllCopiesAsManyAsFitAfterAYes) {
  const std::string crowded = Crowded(253);
  const HWND browser = BrowserWithSelected({1, 2, 3});
  HWND dialog = nullptr;
  responder_.ExpectDialog("Copy", SendTo(crowded, &dialog))
      .ExpectDialog("Quorvex",
                    [&](HWND box) {
                      EXPECT_EQ(MessageBoxText(box), kCopyRoom);
                      PressButton(box, IDNO);
                      PressButton(dialog, IDOK);
                    })
      .Expect(kCopyRoom, IDYES)
      .Expect(kFull, IDOK);
  Command(browser, IDM_COPY);
  const std::vector<MasterRecord> records = ReadMasterRecords(NativePath("Crowded/master"));
  ASSERT_EQ(records.size(), 256u);
  EXPECT_EQ(records[0].raw[0], 255) << "the header counts 255";
  EXPECT_EQ(records[254].Name(), kStocks.at(3));
  EXPECT_EQ(records[255].Name(), kStocks.at(2));
  EXPECT_EQ(records[254].FileNumber(), 254);
  EXPECT_EQ(records[255].FileNumber(), 255);
  EXPECT_EQ(ReadBytes(NativePath("Crowded/F255.DAT")), StocksFile(2, ".DAT"));
}

// An instrument whose data file another program holds cannot be copied;
// Yes goes on with the next, No stops there.
TEST_F(TransferTest, CopyAsksWhetherToContinueAfterAFailure) {
  struct Case {
    int answer;
    std::vector<std::string> arrived;
  };
  for (const Case& c : {Case{IDYES, {kStocks.at(3), kStocks.at(1)}}, Case{IDNO, {kStocks.at(3)}}}) {
    SCOPED_TRACE(c.answer == IDYES ? "Yes" : "No");
    const std::string destination = Dir(c.answer == IDYES ? "GoingOn" : "Stopped");
    const HWND browser = BrowserWithSelected({1, 2, 3});
    {
      HeldFile held(NativePath("Stocks/F2.DAT"));
      ASSERT_TRUE(held.Held());
      responder_.ExpectDialog("Copy", SendTo(destination))
          .Expect(kCreateQuestion, IDYES)
          .Expect(kCopyFailed, c.answer);
      Command(browser, IDM_COPY);
    }
    EXPECT_EQ(InstrumentNames(ReadMasterRecords(destination + "master")), c.arrived);
  }
}

TEST_F(TransferTest, MoveTakesTheInstrumentsAndTheirFilesOutOfTheSource) {
  const HWND browser = BrowserWithSelected({4, 5});
  const Bytes dat4 = StocksFile(4, ".DAT"), dat5 = StocksFile(5, ".DAT");
  responder_
      .ExpectDialog(
          "Move",
          [&](HWND dialog) {
            EXPECT_EQ(ControlTextOf(dialog, IDC_TRANSFER_SOURCE), Dir("Stocks"));
            EXPECT_EQ(ListLines(GetDlgItem(dialog, IDC_TRANSFER_LIST)),
                      (std::vector<std::string>{"DELTA AIRWAYS\tDLTA\tF4", "EQUINOX FUND\tEQNX\tF5"}));
            for (const char* label :
                 {"Move Instruments From :", "Instruments to move", "Path to move Instruments to"}) {
              EXPECT_TRUE(ShowsText(dialog, label)) << label;
            }
            SendTo(Dir("Moved"))(dialog);
          })
      .Expect(kCreateQuestion, IDYES);
  Command(browser, IDM_MOVE);

  EXPECT_EQ(InstrumentNames(ReadMasterRecords(NativePath("Moved/master"))),
            (std::vector<std::string>{kStocks.at(5), kStocks.at(4)}));
  EXPECT_EQ(ReadBytes(NativePath("Moved/F1.DAT")), dat5);
  EXPECT_EQ(ReadBytes(NativePath("Moved/F2.DAT")), dat4);
  EXPECT_EQ(InstrumentNames(ReadMasterRecords(NativePath("Stocks/master"))),
            (std::vector<std::string>{kStocks.at(1), kStocks.at(2), kStocks.at(3), kStocks.at(6)}));
  for (const char* gone : {"Stocks/F4.DAT", "Stocks/F4.DOP", "Stocks/F5.DAT", "Stocks/F5.DOP"}) {
    EXPECT_FALSE(FileExistsNative(NativePath(gone))) << gone;
  }
  EXPECT_EQ(ListLines(List(browser)).size(), 4u) << "the browser lists the source again";
}

TEST_F(TransferTest, MoveWithoutRoomAsksItsOwnQuestionAndAFailureItsOwn) {
  const std::string crowded = Crowded(254);
  const HWND browser = BrowserWithSelected({1, 2});
  {
    HeldFile held(NativePath("Stocks/F2.DAT"));
    responder_.ExpectDialog("Move", SendTo(crowded)).Expect(kMoveRoom, IDYES).Expect(kMoveFailed, IDNO);
    Command(browser, IDM_MOVE);
  }
  EXPECT_EQ(ReadMasterRecords(NativePath("Crowded/master")).size(), 255u) << "nothing arrived";
  EXPECT_EQ(ListLines(List(browser)).size(), 6u) << "nothing left the source";
  EXPECT_TRUE(FileExistsNative(NativePath("Stocks/F2.DAT")));
}

TEST_F(TransferTest, DeleteRemovesTheRecordsAndTheirFiles) {
  const HWND browser = BrowserWithSelected({1, 6});
  responder_.ExpectDialog("Delete", [&](HWND dialog) {
    EXPECT_EQ(ControlTextOf(dialog, IDC_DELETE_DIRECTORY), Dir("Stocks"));
    EXPECT_EQ(ListLines(GetDlgItem(dialog, IDC_DELETE_LIST)),
              (std::vector<std::string>{"ACME INDUSTRIES\tACME\tF1", "FENWICK HOLDINGS\tFNWK\tF6"}));
    for (const char* label : {"Delete Instruments From :", "Instruments to delete"}) {
      EXPECT_TRUE(ShowsText(dialog, label)) << label;
    }
    PressButton(dialog, IDOK);
  });
  Command(browser, IDM_DELETE);
  EXPECT_EQ(InstrumentNames(ReadMasterRecords(NativePath("Stocks/master"))),
            (std::vector<std::string>{kStocks.at(2), kStocks.at(3), kStocks.at(4), kStocks.at(5)}));
  for (const char* gone : {"Stocks/F1.DAT", "Stocks/F1.DOP", "Stocks/F6.DOP"}) {
    EXPECT_FALSE(FileExistsNative(NativePath(gone))) << gone;
  }
  EXPECT_EQ(ListLines(List(browser)),
            (std::vector<std::string>{"BOREALIS MINING\tBRML\tF2\tDaily File\tFile Exists",
                                      "CYGNUS SOFTWARE\tCYGS\tF3\tDaily File\tFile Exists",
                                      "DELTA AIRWAYS\tDLTA\tF4\tWeekly File\tFile Exists",
                                      "EQUINOX FUND\tEQNX\tF5\tMonthly File\tFile Exists"}));
}

// Deleted in the reverse of their master order: with F2 held, the
// instruments after it in that order go only after a Yes.
TEST_F(TransferTest, DeleteAsksWhetherToContinueAfterAFailure) {
  struct Case {
    std::vector<int> selected;
    int answer;
    std::vector<int> left;
  };
  for (const Case& c : {Case{{1, 2, 3}, IDNO, {1, 2, 4, 5, 6}}, Case{{1, 2}, IDYES, {2, 4, 5, 6}}}) {
    SCOPED_TRACE(c.answer == IDYES ? "Yes" : "No");
    const HWND browser = BrowserWithSelected(c.selected);
    {
      HeldFile held(NativePath("Stocks/F2.DAT"));
      responder_.ExpectDialog("Delete", [](HWND dialog) { PressButton(dialog, IDOK); })
          .Expect(kDeleteFailed, c.answer);
      Command(browser, IDM_DELETE);
    }
    const std::vector<MasterRecord> records = ReadMasterRecords(NativePath("Stocks/master"));
    std::vector<int> left;
    for (size_t i = 1; i < records.size(); ++i) left.push_back(records[i].FileNumber());
    EXPECT_EQ(left, c.left);
    EXPECT_FALSE(FileExistsNative(NativePath("Stocks/F3.DAT")));
    EXPECT_TRUE(FileExistsNative(NativePath("Stocks/F2.DAT")));
    SendMessageA(MDIhwnd, WM_MDIDESTROY, reinterpret_cast<WPARAM>(browser), 0);
  }
}

// The instrument lists sort and use tab stops; Copy's and Move's destination
// is a combo box with an edit field.
TEST_F(TransferTest, TheInstrumentListsSortAndTheDestinationCanBeTyped) {
  const HWND browser = BrowserWithSelected({2});
  for (auto [command, caption] :
       {std::pair{IDM_COPY, "Copy"}, std::pair{IDM_MOVE, "Move"}, std::pair{IDM_DELETE, "Delete"}}) {
    SCOPED_TRACE(caption);
    const bool hasDestination = command != IDM_DELETE;
    responder_.ExpectDialog(caption, [hasDestination](HWND dialog) {
      const auto list = static_cast<DWORD>(GetWindowLongA(GetDlgItem(dialog, 102), GWL_STYLE));
      EXPECT_EQ(list & (LBS_SORT | LBS_USETABSTOPS), static_cast<DWORD>(LBS_SORT | LBS_USETABSTOPS));
      if (hasDestination) {
        const auto combo =
            static_cast<DWORD>(GetWindowLongA(GetDlgItem(dialog, IDC_TRANSFER_DESTINATION), GWL_STYLE));
        EXPECT_EQ(combo & 3u, static_cast<DWORD>(CBS_DROPDOWN));
      }
      PressButton(dialog, IDCANCEL);
    });
    Command(browser, command);
    EXPECT_EQ(responder_.Outstanding(), 0u);
  }
}

// A destination left empty, and one whose parent is missing too so that it
// cannot be made, keep the dialog open with their messages.
TEST_F(TransferTest, CopyAndMoveRefuseAnEmptyOrUncreatableDestination) {
  const std::string deep = Dir("Absent\\Deeper");
  for (auto [command, caption] : {std::pair{IDM_COPY, "Copy"}, std::pair{IDM_MOVE, "Move"}}) {
    SCOPED_TRACE(caption);
    const HWND browser = BrowserWithSelected({1});
    const Bytes before = ReadBytes(NativePath("Stocks/master"));
    HWND dialog = nullptr;
    responder_.ExpectDialog(caption, SendTo("", &dialog))
        .ExpectDialog("Quorvex",
                      [&](HWND box) {
                        EXPECT_EQ(MessageBoxText(box), "The path specified was not valid.");
                        PressButton(box, IDOK);
                        SendTo(deep)(dialog);
                      })
        .Expect(kCreateQuestion, IDYES)
        .ExpectDialog("Quorvex", [&](HWND box) {
          EXPECT_EQ(MessageBoxText(box),
                    "Unable to create directory, either the path specified was invalid or you may not have "
                    "the appropriate rights to do this!");
          PressButton(box, IDOK);
          PressButton(dialog, IDCANCEL);
        });
    Command(browser, command);
    EXPECT_EQ(responder_.Outstanding(), 0u);
    EXPECT_FALSE(std::filesystem::exists(NativePath("Absent")));
    EXPECT_EQ(ReadBytes(NativePath("Stocks/master")), before);
    SendMessageA(MDIhwnd, WM_MDIDESTROY, reinterpret_cast<WPARAM>(browser), 0);
  }
}

TEST_F(TransferTest, CancelledDialogsChangeNothing) {
  const HWND browser = BrowserWithSelected({1, 2});
  const Bytes before = ReadBytes(NativePath("Stocks/master"));
  for (auto [command, caption] :
       {std::pair{IDM_COPY, "Copy"}, std::pair{IDM_MOVE, "Move"}, std::pair{IDM_DELETE, "Delete"}}) {
    SCOPED_TRACE(caption);
    responder_.ExpectDialog(caption, [](HWND dialog) {
      SetDlgItemTextA(dialog, IDC_TRANSFER_DESTINATION, "C:\\");
      PressButton(dialog, IDCANCEL);
    });
    Command(browser, command);
  }
  EXPECT_EQ(ReadBytes(NativePath("Stocks/master")), before);
  EXPECT_TRUE(FileExistsNative(NativePath("Stocks/F1.DAT")));
}

}  // namespace
