#include "editor_test_support.h"

#include "primitives/list.h"

namespace editor_test {

using testing_support::Bytes;
using testing_support::ReadBytes;

float DailyDate(int i) {
  return fixtures::StoredDate(2010, 1, 4 + i);
}

std::vector<float> DailyValues(int i) {
  const float f = static_cast<float>(i);
  return {DailyDate(i), 10 + f, 12 + f, 9 + f, 11 + f, 1000 * (f + 1), f};
}

fixtures::DatBuilder DailyRecords(int count) {
  fixtures::DatBuilder dat = fixtures::DatBuilder::ForFields(7);
  for (int i = 0; i < count; ++i) dat.Values(DailyValues(i));
  return dat;
}

std::vector<float> IntradayValues(int i) {
  const float f = static_cast<float>(i);
  return {fixtures::StoredDate(2013, 11, 14 + i / 4),
          fixtures::StoredTime(9, 15 * (i % 4), 0),
          10 + f,
          12 + f,
          9 + f,
          11 + f,
          1000 * (f + 1)};
}

fixtures::DatBuilder IntradayRecords(int count) {
  fixtures::DatBuilder dat = fixtures::DatBuilder::ForFields(7);
  for (int i = 0; i < count; ++i) dat.Values(IntradayValues(i));
  return dat;
}

void EditorFixture::Open(int fieldCount, char period, const fixtures::DatBuilder& dat) {
  fixtures::WriteMaster(dir_, fixtures::MasterBuilder().Add({.fileNumber = 1,
                                                             .fieldCount = static_cast<uint8_t>(fieldCount),
                                                             .name = "ACME",
                                                             .period = period}));
  fixtures::WriteDat(dir_, 1, dat);
  recordLength_ = dat.RecordLength();
  ASSERT_EQ(OpenEditorSession(&state_.session, dir_.Dir().c_str(), 1, ui_), 1);
  state_.titleHeight = kTitleHeight;
  state_.rowHeight = kRowHeight;
  state_.characterWidth = kCharWidth;
  state_.clientWidth = kClientWidth;
  state_.clientHeight = kClientHeight;
  LoadCellEdit(state_);
}

void EditorFixture::Type(const std::string& text) {
  for (char ch : text) TypeCharacter(state_, static_cast<unsigned char>(ch), 1);
}

void EditorFixture::Press(EditorKey key, int times) {
  for (int i = 0; i < times; ++i) PressKey(state_, key);
}

void EditorFixture::PutCursor(int32_t record, int column) {
  state_.currentRecord = record;
  state_.currentColumn = static_cast<uint16_t>(column);
  ASSERT_EQ(LoadCellEdit(state_), 1) << "cell " << record << "," << column;
}

uint32_t EditorFixture::StoredWord(int32_t record, int column) const {
  const Bytes bytes = ReadBytes(dir_.Path("F1.DAT"));
  const size_t offset = static_cast<size_t>((record + 1) * recordLength_ + 4 * column);
  if (offset + 4 > bytes.size()) {
    ADD_FAILURE() << "record " << record << " lies beyond the file";
    return 0;
  }
  return static_cast<uint32_t>(bytes[offset]) | static_cast<uint32_t>(bytes[offset + 1]) << 8 |
         static_cast<uint32_t>(bytes[offset + 2]) << 16 | static_cast<uint32_t>(bytes[offset + 3]) << 24;
}

int32_t EditorFixture::DataRecordsOnDisk() const {
  return static_cast<int32_t>(ReadBytes(dir_.Path("F1.DAT")).size() / recordLength_) - 1;
}

uint16_t EditorFixture::HeaderCountOnDisk() const {
  const Bytes bytes = ReadBytes(dir_.Path("F1.DAT"));
  return static_cast<uint16_t>(bytes[2] | bytes[3] << 8);
}

EditOutcome EditorFixture::ClickGutter(int row) {
  return ClickAt(state_, GutterWidth / 2, kTitleHeight + row * kRowHeight + kRowHeight / 2, ui_);
}

EditOutcome EditorFixture::ClickCell(int row, int visibleColumn, int xInColumn) {
  return ClickAt(state_, GutterWidth + visibleColumn * ColumnWidth + xInColumn,
                 kTitleHeight + row * kRowHeight + kRowHeight / 2, ui_);
}

std::vector<int32_t> EditorFixture::Selection() const {
  std::vector<int32_t> records;
  int32_t record = 0;
  for (ListNode* node = GetFirstItem(state_.session.selection.get(), &record, sizeof record); node != nullptr;
       node = GetNextItem(node, &record, sizeof record)) {
    records.push_back(record);
  }
  return records;
}

}  // namespace editor_test
