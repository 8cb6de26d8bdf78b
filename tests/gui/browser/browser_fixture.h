// Browsers in the test's own process: a frame built the way the program
// builds it, the sample tree written to a scratch directory, browsers opened
// through Select Path, and readers for what their panes show.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "harness/dialog_responder.h"
#include "shell/frame_fixture.h"
#include "store/master_file.h"
#include "support/temp_dir.h"

class BrowserTest : public FrameTest {
 protected:
  void SetUp() override;

  // The sample tree's root as the program's paths read (ending in a
  // backslash), and a directory below it ("Stocks", "Nested\\a\\b\\c").
  const std::string& Root() const { return root_; }
  std::string Dir(const std::string& relative) const;
  // The native path of a file below the root ("Stocks/F1.DAT").
  std::string NativePath(const std::string& relative) const;

  // Opens a browser through the frame's Select Path command, typing path
  // into the dialog; the new browser (the active MDI child).
  HWND OpenBrowser(const std::string& path);
  // Opens a browser on the root and selects the directory in its tree.
  HWND OpenBrowserOn(const std::string& relative);

  static HWND Tree(HWND browser) { return GetDlgItem(browser, 102); }
  static HWND List(HWND browser) { return GetDlgItem(browser, 101); }

  // Gives the browser a command as the frame passes it on.
  static void Command(HWND browser, int command) { SendMessageA(browser, WM_COMMAND, command, 0); }

  gui_harness::DialogResponder responder_;
  testing_support::TempDir temp_;

 private:
  std::string root_;
};

// The tree as text: one line per item in display order, indented two blanks
// per level, the item's label.
std::vector<std::string> TreeLines(HWND tree);
// The item with this label path below the root item ({} is the root).
HTREEITEM FindTreeItem(HWND tree, const std::vector<std::string>& labels);
std::string TreeItemText(HWND tree, HTREEITEM item);
// Selects the item as a click would (the browser hears TVN_SELCHANGED).
void SelectTreeItem(HWND tree, const std::vector<std::string>& labels);
// Whether the item shows an expand button.
bool TreeItemHasButton(HWND tree, HTREEITEM item);

// The list box's lines, their item data, and which are selected.
std::vector<std::string> ListLines(HWND list);
std::vector<LPARAM> ListItemData(HWND list);
std::vector<int> SelectedLines(HWND list);
// Selects exactly these lines.
void SelectLines(HWND list, const std::vector<int>& lines);
// The index of the line that begins with text, or -1.
int LineStartingWith(HWND list, const std::string& text);

// A dialog's control text, and a single-selection list's selected line.
std::string ControlTextOf(HWND dialog, int control);
// Picks a line of a dialog's single-selection list as a click does
// (LBN_SELCHANGE reaches the dialog).
void PickListLine(HWND dialog, int control, int line);

// The icon a message box shows (its icon static control), or null.
HICON MessageBoxIcon(HWND box);

// The records of a master file (header first), read from the disk.
std::vector<MasterRecord> ReadMasterRecords(const std::string& nativePath);

// Holds a file open without sharing for its lifetime, as another program
// might, so that operations on it fail.
class HeldFile {
 public:
  explicit HeldFile(const std::string& nativePath);
  ~HeldFile();
  HeldFile(const HeldFile&) = delete;
  HeldFile& operator=(const HeldFile&) = delete;
  bool Held() const { return handle_ != INVALID_HANDLE_VALUE; }

 private:
  HANDLE handle_;
};
