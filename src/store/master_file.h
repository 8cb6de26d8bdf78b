// The master file of a data directory ("%smaster") and the operations that
// read and rewrite it. Record 0 is the header; records 1 onwards are one
// MasterRecord each, in the order in which they were appended. Every record is
// 53 bytes; integers are little-endian; texts are blank-padded, unterminated.
//
// Every function takes the directory text (ending in a backslash), opens and
// closes master itself and keeps nothing open between calls. None of them
// shows a message.
//
// The functions that rewrite records (UpdateMetaStockMasterRecord,
// UpdateMaster) bring an EMASTER that agreed with master in step, as
// emaster_follower.h says; when EMASTER cannot follow, master is put back as
// it was and the result is 0.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "filelayer/file_layer.h"
#include "primitives/list.h"

inline constexpr int kMasterRecordSize = 53;
inline constexpr int kMaxInstruments = 255;
// The file type every instrument record carries: 'e' followed by a zero byte.
inline constexpr uint16_t kMasterFileType = 101;

// Byte offsets inside a MasterRecord.
namespace master_offset {
inline constexpr size_t kFileNumber = 0;    // 1 byte, 1 ... 255
inline constexpr size_t kFileType = 1;      // 16-bit, 101
inline constexpr size_t kRecordLength = 3;  // 1 byte, 4 x field count
inline constexpr size_t kFieldCount = 4;    // 1 byte, 4 ... 8
inline constexpr size_t kReserved = 5;      // 16-bit, must be zero
inline constexpr size_t kName = 7;          // 16 bytes, blank-padded
inline constexpr size_t kUnused23 = 23;     // 16-bit, zero
inline constexpr size_t kFirstDate = 25;    // MBF date of the first data record
inline constexpr size_t kLastDate = 29;     // MBF date of the last data record
inline constexpr size_t kPeriod = 33;       // D W M I; lowercase = composite
inline constexpr size_t kTimeBase = 34;     // 16-bit, intraday only
inline constexpr size_t kSymbol = 36;       // 14 bytes, blank-padded
inline constexpr size_t kTrailer = 50;      // 2 blanks, then 1 zero byte
inline constexpr size_t kNameWidth = 16;
inline constexpr size_t kSymbolWidth = 14;
}  // namespace master_offset

// Byte offsets inside the header record.
namespace master_header_offset {
inline constexpr size_t kInstrumentCount = 0;  // 16-bit
inline constexpr size_t kLastFileNumber = 2;   // 16-bit; 255 = numbering has reached the top
}  // namespace master_header_offset

// One instrument entry of master exactly as stored. Trivially copyable, so a
// List holds byte copies of it (an InstrumentEntry). Read and written only
// through the accessors, which decode the bytes explicitly.
struct MasterRecord {
  uint8_t raw[kMasterRecordSize];

  uint8_t FileNumber() const { return raw[master_offset::kFileNumber]; }
  void SetFileNumber(uint8_t n) { raw[master_offset::kFileNumber] = n; }
  uint16_t FileType() const { return U16(master_offset::kFileType); }
  void SetFileType(uint16_t type) { SetU16(master_offset::kFileType, type); }
  uint8_t RecordLength() const { return raw[master_offset::kRecordLength]; }
  void SetRecordLength(uint8_t length) { raw[master_offset::kRecordLength] = length; }
  uint8_t FieldCount() const { return raw[master_offset::kFieldCount]; }
  void SetFieldCount(uint8_t count) { raw[master_offset::kFieldCount] = count; }
  uint16_t Reserved() const { return U16(master_offset::kReserved); }
  void SetReserved(uint16_t value) { SetU16(master_offset::kReserved, value); }
  char Period() const { return static_cast<char>(raw[master_offset::kPeriod]); }
  void SetPeriod(char period) { raw[master_offset::kPeriod] = static_cast<uint8_t>(period); }
  uint16_t TimeBase() const { return U16(master_offset::kTimeBase); }
  void SetTimeBase(uint16_t base) { SetU16(master_offset::kTimeBase, base); }

  // The stored MBF words of the two dates, and their native values
  // (MBF_IEEE: kCorruptNumber for anything unreadable).
  uint32_t FirstDateWord() const { return U32(master_offset::kFirstDate); }
  void SetFirstDateWord(uint32_t word) { SetU32(master_offset::kFirstDate, word); }
  uint32_t LastDateWord() const { return U32(master_offset::kLastDate); }
  void SetLastDateWord(uint32_t word) { SetU32(master_offset::kLastDate, word); }
  float FirstDate() const;
  void SetFirstDate(float date);
  float LastDate() const;
  void SetLastDate(float date);

  // The texts: the field's bytes up to the first zero byte, trailing blanks
  // removed. Setting copies exactly the field width, blank-padded (longer
  // texts are cut).
  std::string Name() const;
  void SetName(const char* text);
  std::string Symbol() const;
  void SetSymbol(const char* text);
  // The name field begins with a zero byte: the listing leaves it out.
  bool NameIsHidden() const { return raw[master_offset::kName] == 0; }

  uint16_t U16(size_t offset) const { return static_cast<uint16_t>(raw[offset] | (raw[offset + 1] << 8)); }
  void SetU16(size_t offset, uint16_t value) {
    raw[offset] = static_cast<uint8_t>(value);
    raw[offset + 1] = static_cast<uint8_t>(value >> 8);
  }
  uint32_t U32(size_t offset) const {
    return static_cast<uint32_t>(raw[offset]) | static_cast<uint32_t>(raw[offset + 1]) << 8 |
           static_cast<uint32_t>(raw[offset + 2]) << 16 | static_cast<uint32_t>(raw[offset + 3]) << 24;
  }
  void SetU32(size_t offset, uint32_t value) {
    for (size_t i = 0; i < 4; ++i) raw[offset + i] = static_cast<uint8_t>(value >> (8 * i));
  }
};
static_assert(sizeof(MasterRecord) == kMasterRecordSize);

// A 53-byte copy of a MasterRecord held in a List.
using InstrumentEntry = MasterRecord;

// Record 0 of master as stored.
struct MasterHeader {
  uint8_t raw[kMasterRecordSize];

  // Compared signed with 255 by the callers; kept as stored.
  uint16_t InstrumentCount() const { return U16(master_header_offset::kInstrumentCount); }
  void SetInstrumentCount(uint16_t count) { SetU16(master_header_offset::kInstrumentCount, count); }
  uint16_t LastFileNumber() const { return U16(master_header_offset::kLastFileNumber); }
  void SetLastFileNumber(uint16_t n) { SetU16(master_header_offset::kLastFileNumber, n); }

  uint16_t U16(size_t offset) const { return static_cast<uint16_t>(raw[offset] | (raw[offset + 1] << 8)); }
  void SetU16(size_t offset, uint16_t value) {
    raw[offset] = static_cast<uint8_t>(value);
    raw[offset + 1] = static_cast<uint8_t>(value >> 8);
  }
};
static_assert(sizeof(MasterHeader) == kMasterRecordSize);

// 1 when a new master holding only a zero header (53 zero bytes) was written,
// else 0. An existing master is emptied.
int CreateEmptyMasterFile(const char* directory);

// 255 minus the header's instrument count, as an unsigned 16-bit number (a
// count above 255 wraps; callers compare the result as signed 16-bit); 255
// when master cannot be opened or its header cannot be read.
uint16_t GetFreeInstrumentCount(const char* directory);

// 1 and the first record with that file number in *record, or 0 when master
// cannot be read or no record has that number. *record is the read buffer:
// after 0 it may hold the last record of the file.
int GetMetaStockMasterRecord(const char* directory, int fileNumber, MasterRecord* record);

// Every record after the header in file order, up to the first that cannot
// be read whole; none when master cannot be opened.
std::vector<MasterRecord> ReadMasterRecords(const char* directory);
// The same from an open master, read a block of records at a time (a block
// that cannot be read is read again record by record).
std::vector<MasterRecord> ReadMasterRecords(FileHandle master);

// 1 when a record with that file number was found; the first such record is
// overwritten in place with the given bytes. 0 when master cannot be opened
// for writing or the number is absent.
int UpdateMetaStockMasterRecord(const char* directory, int fileNumber, const MasterRecord& record);

// Writes the first and last dates of the open DAT file (the caller's handle,
// record length from record) into every master record whose file number is
// record's. A DAT file holding no data record, or a corrupt date, gives 0.
// 1 when the last rewrite succeeded; 0 when master cannot be opened, no
// record matched or the last rewrite failed, and 0 without touching master
// when a date cannot be read from the DAT file.
int UpdateMaster(FileHandle datHandle, const char* directory, const MasterRecord& record);

// Reads and writes back the header. For master error codes 8 and 9 ("Too
// many files reported", "Too few files reported") the instrument count is
// first set to the number of whole records after the header. 1 when the
// header was read and written, else 0.
int UpdateMasterHeader(const char* directory, int masterErrorCode);

// Adds (AddItem: the list runs backwards) an InstrumentEntry copy of every
// master record whose file number is among the howMany numbers. 1 when the
// count of additions equals howMany, else 0 (also when master cannot be
// opened, unless howMany is 0).
int MakeInstrumentList(List* list, const char* directory, const int16_t* fileNumbers, int howMany);

// "Daily File", "Weekly File", "Monthly File", "IntraDay File",
// "Composite File" (d, w, m, i) or "Unknown File Type". Static texts.
const char* FileTypeText(char period);
