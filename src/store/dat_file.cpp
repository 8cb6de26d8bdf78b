#include "store/dat_file.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "filelayer/file_guard.h"
#include "primitives/dates.h"
#include "primitives/mbf.h"
#include "store/temporary_files.h"

namespace {

// Both created files are written as 4-byte records.

using F = FieldType;

struct LayoutRow {
  int fieldCount;
  char period;
  std::array<FieldType, kMaxFields> columns;
};

// Looked up in this order; the first row whose field count and period both
// match wins.
constexpr LayoutRow kLayouts[] = {
    {4, 'I', {F::Date, F::Time, F::Close, F::Volume}},
    {5, 'D', {F::Date, F::High, F::Low, F::Close, F::Volume}},
    {5, 'W', {F::Date, F::High, F::Low, F::Close, F::Volume}},
    {5, 'M', {F::Date, F::High, F::Low, F::Close, F::Volume}},
    {6, 'D', {F::Date, F::Open, F::High, F::Low, F::Close, F::Volume}},
    {6, 'W', {F::Date, F::Open, F::High, F::Low, F::Close, F::Volume}},
    {6, 'M', {F::Date, F::Open, F::High, F::Low, F::Close, F::Volume}},
    {7, 'I', {F::Date, F::Time, F::Open, F::High, F::Low, F::Close, F::Volume}},
    {7, 'D', {F::Date, F::Open, F::High, F::Low, F::Close, F::Volume, F::OpenInterest}},
    {7, 'W', {F::Date, F::Open, F::High, F::Low, F::Close, F::Volume, F::OpenInterest}},
    {7, 'M', {F::Date, F::Open, F::High, F::Low, F::Close, F::Volume, F::OpenInterest}},
    {8, 'I', {F::Date, F::Time, F::Open, F::High, F::Low, F::Close, F::Volume, F::OpenInterest}},
};

const LayoutRow* FindLayout(const MasterRecord& record) {
  for (const LayoutRow& row : kLayouts) {
    if (row.fieldCount == record.FieldCount() && row.period == record.Period()) return &row;
  }
  return nullptr;
}

// A column file's line for each FieldType code: the column's name, the decimals it shows and a 0.
constexpr std::string_view kDopLines[] = {
    "Error, 0, 0,\r\n", "Date, 0, 0,\r\n",  "Time, 0, 0,\r\n",   "Open, 3, 0,\r\n", "Low, 3, 0,\r\n",
    "High, 3, 0,\r\n",  "Close, 3, 0,\r\n", "Volume, 0, 0,\r\n", "OI, 0, 0,\r\n",
};

constexpr const char* kFieldTypeTexts[] = {"Unknown", "Date",  "Time",   "Open", "Low",
                                           "High",    "Close", "Volume", "O I"};

// A fresh header of R bytes: count 1 (the header alone), everything else 0.
std::string NewHeader(int recordLength) {
  std::string bytes(static_cast<size_t>(std::max(recordLength, 4)), '\0');
  bytes[2] = 1;
  return bytes;
}

// The byte offset of column `column` of physical record p, or -1 when it lies
// outside what a file can hold (a record number typed by a person may be
// anything).
int32_t FieldOffset(int64_t p, int64_t column, int64_t recordLength) {
  const int64_t offset = p * recordLength + 4 * column;
  return p < 0 || column < 0 || offset > INT32_MAX ? -1 : static_cast<int32_t>(offset);
}

}  // namespace

float ColumnValue(const unsigned char* bytes) {
  const float value = MBF_IEEE(LoadMbfWord(bytes));
  return value < 0.0f ? 0.0f : value;
}

float ReadField(FileHandle handle, int32_t p, int column, int recordLength) {
  unsigned char bytes[4];
  const int32_t offset = FieldOffset(p, column, recordLength);
  if (offset < 0 || !ReadBlock(handle, bytes, 4, offset, 0)) return -1.0f;
  return ColumnValue(bytes);
}

int WriteField(FileHandle handle, float value, int32_t p, int column, int recordLength) {
  unsigned char bytes[4];
  StoreMbfWord(bytes, IEEE_MBF(value));
  const int32_t offset = FieldOffset(p, column, recordLength);
  return offset >= 0 && WriteBlock(handle, bytes, 4, offset, 0) ? 1 : 0;
}

int GetDate(FileHandle handle, const MasterRecord& record, int32_t k, int16_t* day, int16_t* month,
            int16_t* year) {
  unsigned char bytes[4];
  const int32_t offset = FieldOffset(int64_t{k} + 1, 0, record.RecordLength());
  if (offset < 0 || !ReadBlock(handle, bytes, 4, offset, 0)) return 0;
  return ExtractDate(ColumnValue(bytes), day, month, year) ? 1 : 0;
}

int GetDateTime(FileHandle handle, const MasterRecord& record, int32_t k, int16_t* day, int16_t* month,
                int16_t* year, int16_t* hour, int16_t* minute, int16_t* second) {
  unsigned char bytes[8];
  const int32_t offset = FieldOffset(int64_t{k} + 1, 0, record.RecordLength());
  if (offset < 0 || !ReadBlock(handle, bytes, 8, offset, 0)) return 0;
  if (!ExtractDate(ColumnValue(bytes), day, month, year)) return 0;
  ExtractTime(ColumnValue(bytes + 4), hour, minute, second);
  return 1;
}

int UpdateDATHeader(FileHandle handle, int32_t recordCount) {
  DATHeader header;
  if (!ReadBlock(handle, header.raw, sizeof header.raw, 0, 0)) return 0;
  header.SetRecordCount(recordCount);
  return WriteBlock(handle, header.raw, sizeof header.raw, 0, 0) ? 1 : 0;
}

int GetDATFileType(FileHandle handle, const char* fileName, const MasterRecord& record, DATLayout* layout,
                   DATHeader* header, UserInteraction& ui) {
  (void)fileName;  // The fresh header goes through the caller's handle, which already names the file.
  const int32_t recordLength = record.RecordLength();
  // Without a record length nothing in the file can be located.
  if (recordLength == 0) return 0;
  const int32_t length = FileLength(handle);
  if (length != 0) {
    layout->recordCount = length / recordLength;
    if (length % recordLength != 0 && !ui.AskYesNo("File is an inconsistent size. Ignore ?")) return 0;
  } else {
    if (!ui.AskYesNo("Invalid DAT file. Do you wish to re-create it ?")) return 0;
    // The caller holds the file open, so a second open to re-create it would
    // be refused: the header is written through the caller's own handle.
    const std::string fresh = NewHeader(recordLength);
    if (!WriteBlock(handle, fresh.data(), static_cast<uint32_t>(fresh.size()), 0, 0)) {
      ui.ShowNotice("Create Failed!");
      return 0;
    }
    layout->recordCount = 1;
  }
  if (!ReadBlock(handle, header->raw, sizeof header->raw, 0, 0))
    std::fill(std::begin(header->raw), std::end(header->raw), 0);
  return AssignFieldTypes(layout, record);
}

int AssignFieldTypes(DATLayout* layout, const MasterRecord& record) {
  const LayoutRow* row = FindLayout(record);
  if (!row) return 0;
  std::copy(row->columns.begin(), row->columns.end(), layout->fieldTypes);
  return 1;
}

const char* EnumerateFieldType(int code) {
  if (code < 1 || code > 8) return kFieldTypeTexts[0];
  return kFieldTypeTexts[code];
}

namespace {

// Written whole under a temporary name first: a stop half-way leaves no file
// of the name rather than an empty one.
int CreateWhole(const char* directory, const std::string& name, const std::string& text) {
  const std::string temp = CreateRecordTempFile(directory);
  return !temp.empty() && ReplaceWholeFile(temp, name, std::vector<uint8_t>(text.begin(), text.end())) ? 1
                                                                                                       : 0;
}

}  // namespace

int CreateDATFile(const char* directory, const MasterRecord& record) {
  return CreateWhole(directory, DATFileName(directory, record.FileNumber()),
                     NewHeader(record.RecordLength()));
}

int CreateDOPFile(const char* directory, const MasterRecord& record) {
  const LayoutRow* row = FindLayout(record);
  std::string text;
  for (int column = 0; column < record.FieldCount(); ++column) {
    // A field count and period without a layout name every column "Error".
    const int code = row && column < kMaxFields ? static_cast<int>(row->columns[column]) : 0;
    text += kDopLines[code];
  }
  text += "\r\n";
  return CreateWhole(directory, DOPFileName(directory, record.FileNumber()), text);
}
