// A frame built as the program builds it, in the test's own process, over a
// fresh copy of the bundled sample data; editors are opened on its
// instruments with CreateEditWindow and driven with the messages a person's
// keys and clicks produce. Files are checked byte by byte after the editor
// has closed.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "editor/editor_model.h"
#include "support/temp_dir.h"

namespace editor_gui {

using testing_support::Bytes;

// Stocks/F3: CYGNUS SOFTWARE, 7 fields, daily from 02/01/02, 779 records.
inline constexpr int kDailyFile = 3;
// Intraday/F3: S&P 500 MAR05, 8 fields, every 15 minutes from 14/02/05
// 09:45.
inline constexpr int kIntradayFile = 3;

// How many beeps the editors gave since the fixture started.
int Beeps();

// An editor's state, and the messages a person's keys and clicks send it
// (also used by the browser's tests on editors it opened).
EditorState& State(HWND editor);
void Type(HWND editor, const std::string& text);
void Backspace(HWND editor, int times);
void Key(HWND editor, WPARAM virtualKey);
void ClickCell(HWND editor, int row, int visibleColumn, int xInColumn = 50);

// The stored word of (data record, column) of a data file's bytes, and the
// header's record count.
uint32_t Word(const Bytes& file, int recordLength, int32_t record, int column);
uint16_t HeaderCount(const Bytes& file);

class EditorWindowTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // "<root>\Stocks\" and the like, as the program passes directories.
  std::string Directory(const std::string& name) const;
  // The native path of a file below the sample root ("Stocks/F3.DAT").
  std::string NativePath(const std::string& relative) const;

  // Opens an editor, maximised and painted; null (after a failure of the
  // test) when none was created.
  HWND Open(const std::string& directory, int fileNumber);
  void Close(HWND editor);

  LRESULT Command(HWND editor, int id, LPARAM lParam = 0, int highWord = 0);
  // Command 528: the cursor to (record, column), the record at the top.
  void GoTo(HWND editor, int32_t record, int column);
  void ClickGutter(HWND editor, int row);

  // What the data file holds, read after the editor closed.
  Bytes FileBytes(const std::string& relative) const;
  // The stored first and last date words of instrument n in a directory's
  // master.
  uint32_t MasterFirstDateWord(const std::string& directory, int fileNumber) const;
  uint32_t MasterLastDateWord(const std::string& directory, int fileNumber) const;

  testing_support::TempDir scratch_;
  std::string root_;  // the sample tree, as a directory text ending in a backslash
  HACCEL accelerators_ = nullptr;
};

}  // namespace editor_gui
