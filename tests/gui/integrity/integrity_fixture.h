// In-process tests of the integrity windows: a frame built as the program
// builds it (so that the DAT report can open its editor in the MDI client),
// the bundled sample tree written afresh for each test, and helpers that read
// and drive the dialogs as a person would.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "harness/dialog_responder.h"
#include "shell/frame_fixture.h"
#include "support/temp_dir.h"

namespace integrity_gui {

class IntegrityWindowTest : public FrameTest {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Directory texts (ending in a backslash) of the sample tree's directories.
  std::string DataDir() const { return root_.Dir() + "Damaged\\Data\\"; }
  std::string MasterDir() const { return root_.Dir() + "Damaged\\Master\\"; }
  std::string SoundDir() const { return root_.Dir() + "Stocks\\"; }
  std::string Dir(const std::string& relative) const { return root_.Dir() + relative; }

  testing_support::TempDir root_;
};

// A responder that leaves the report windows alone, in each of their
// captions: they are modeless and come back to the front whenever a box over
// them closes.
class ReportResponder : public gui_harness::DialogResponder {
 public:
  ReportResponder();
};

// The items of a list box, in the order it shows them.
std::vector<std::string> ListTexts(HWND list);
std::vector<LPARAM> ListData(HWND list);
std::string SelectedText(HWND list);
// The indexes of the selected items of a multiple-selection list box.
std::vector<int> SelectedIndexes(HWND list);
std::string ControlText(HWND dialog, int id);

// What a person's click or keystroke delivers to a dialog: the selection of
// item index and the list box's selection-change (or double-click)
// notification, or a button's click. Commands are sent, so they have run when
// these return; the modal boxes they open must be answered by a responder.
void SelectItem(HWND dialog, int listId, int index);
void DoubleClickItem(HWND dialog, int listId, int index);
void ClickButton(HWND dialog, int buttonId);
// Selects the item with this exact text; fails the test when there is none.
void SelectItemByText(HWND dialog, int listId, const std::string& text);

// Selects (extended selection) the items of the test list whose texts are
// given; fails the test naming a text that is not listed.
void SelectTests(HWND dialog, const std::vector<std::string>& names);

// The whole content of each file of a directory, by name.
struct DirectorySnapshot {
  std::vector<std::string> names;
  std::vector<testing_support::Bytes> contents;
  bool operator==(const DirectorySnapshot&) const = default;
};
DirectorySnapshot SnapshotDirectory(const std::string& directory);

// The top-level dialog (class "#32770") of this thread with that caption.
HWND FindThreadDialog(const std::string& caption);

// Runs task once this thread's message loop (a modal dialog's, say) next
// takes messages, after what is already posted: a dialog can be looked at
// after a box over it has closed.
void RunFromMessageLoop(std::function<void()> task);

// Fills in the system Save dialog's file name and presses Save.
void AnswerSaveDialog(HWND dialog, const std::string& fileName);

}  // namespace integrity_gui
