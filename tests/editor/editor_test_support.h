// An EditorState opened over a scratch instrument, with the fonts "measured"
// as a paint would measure them, so that the grid model can be driven without
// a window.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "editor/editor_model.h"
#include "fixtures.h"
#include "support/temp_dir.h"

namespace editor_test {

using testing_support::TempDir;

// Measures of the test grid: 6 columns fit beside the gutter, 10 rows under
// the title line, 8 pixels per character.
inline constexpr int kTitleHeight = 30;
inline constexpr int kRowHeight = 20;
inline constexpr int kCharWidth = 8;
inline constexpr int kClientWidth = GutterWidth + 6 * ColumnWidth;
inline constexpr int kClientHeight = kTitleHeight + 10 * kRowHeight + 5;

// Daily record i (from 0): 4 Jan 2010 + i days, open 10 + i, high 12 + i,
// low 9 + i, close 11 + i, volume 1000 × (i + 1), open interest i.
float DailyDate(int i);
std::vector<float> DailyValues(int i);
fixtures::DatBuilder DailyRecords(int count);

// Intraday record i: day 14 Nov 2013 + i / 4, time 09:00 + 15 minutes × (i % 4),
// then open, high, low, close, volume as above.
std::vector<float> IntradayValues(int i);
fixtures::DatBuilder IntradayRecords(int count);

class EditorFixture : public ::testing::Test {
 protected:
  // Instrument 1 of a fresh directory with this layout and data, opened as
  // the editor opens it, fonts measured, cursor at record 0, column 0.
  void Open(int fieldCount, char period, const fixtures::DatBuilder& dat);
  void OpenDaily(int records) { Open(7, 'D', DailyRecords(records)); }

  void Type(const std::string& text);
  void Press(EditorKey key, int times = 1);
  // Cursor at (record, column) with its cell loaded.
  void PutCursor(int32_t record, int column);
  // The stored word of (data record, column), read from the file's bytes.
  uint32_t StoredWord(int32_t record, int column) const;
  // Data records by the file's length, and the header's count.
  int32_t DataRecordsOnDisk() const;
  uint16_t HeaderCountOnDisk() const;
  // Click at the middle of a visible row, in the gutter or in a column.
  EditOutcome ClickGutter(int row);
  EditOutcome ClickCell(int row, int visibleColumn, int xInColumn = ColumnWidth / 2);
  std::vector<int32_t> Selection() const;

  TempDir dir_;
  fixtures::ScriptedInteraction ui_;
  EditorState state_;
  int recordLength_ = 0;
};

}  // namespace editor_test
