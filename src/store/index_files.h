// EMASTER and XMASTER, the two index files that later writers of the format
// keep beside master (docs/file-formats.md has their layouts byte by byte).
// EMASTER holds one 192-byte record per master instrument, with a name of up
// to 52 characters; XMASTER lists the instruments numbered 256 and up, whose
// data lie in F<n>.MWD, one 150-byte record each. Record 0 of both is a
// header. Integers are little-endian, texts end at a zero byte, EMASTER's
// dates are IEEE singles (CYYMMDD) and XMASTER's 32-bit numbers (YYYYMMDD).
//
// A reader checks the whole file before it hands out any record. A file that
// is empty, shorter than its header, of another kind (XMASTER's first four
// bytes), not a whole number of records, or whose header count disagrees with
// its size gives no record at all. A record whose file number lies outside
// its file's range, or one of whose texts lacks its zero byte, is left out on
// its own. Each refusal is an IndexFinding, and so is an XMASTER instrument
// whose fields no DAT layout has (it is kept). Nothing here writes or shows
// anything.
#pragma once

#include <array>
#include <bitset>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "store/dat_file.h"
#include "store/master_file.h"

inline constexpr int kEmasterRecordSize = 192;
inline constexpr int kXmasterRecordSize = 150;
// master's one-byte file numbers stop at 255; XMASTER's start above them.
inline constexpr int kFirstXmasterFileNumber = 256;
inline constexpr uint8_t kXmasterMagic[4] = {0x5D, 0xFE, 0x58, 0x4D};

// Byte offsets inside an EMASTER record. A span is the field's width
// including the zero byte that must end its text.
namespace emaster_offset {
inline constexpr size_t kFileNumber = 2;  // 1 byte, 1 ... 255, as in master
inline constexpr size_t kFieldCount = 6;  // 1 byte
inline constexpr size_t kFieldBits = 7;   // field_bit flags; as many as the field count
inline constexpr size_t kSymbol = 11;
inline constexpr size_t kName = 32;  // master's 16 characters
inline constexpr size_t kPeriod = 60;
inline constexpr size_t kTimeBase = 62;  // 16-bit, intraday minutes
inline constexpr size_t kBlank = 9;
inline constexpr size_t kFirstDate = 64;      // IEEE single, CYYMMDD
inline constexpr size_t kLastDate = 72;       // IEEE single, CYYMMDD
inline constexpr size_t kFirstDateYmd = 126;  // 32-bit YYYYMMDD; 19000101 without data
inline constexpr size_t kLongName = 139;      // empty unless the name is longer than 16
inline constexpr size_t kSymbolSpan = 15;
inline constexpr size_t kNameSpan = 17;
inline constexpr size_t kLongNameSpan = 53;
}  // namespace emaster_offset

namespace emaster_header_offset {
inline constexpr size_t kInstrumentCount = 0;  // 16-bit
inline constexpr size_t kLastFileNumber = 2;   // 16-bit
}  // namespace emaster_header_offset

// Byte offsets inside an XMASTER record; bytes after a text's zero byte may
// hold leftovers of an older text.
namespace xmaster_offset {
inline constexpr size_t kSymbol = 1;
inline constexpr size_t kName = 16;
inline constexpr size_t kPeriod = 62;
inline constexpr size_t kTimeBase = 63;    // 16-bit, intraday minutes
inline constexpr size_t kFileNumber = 65;  // 16-bit, 256 and up
inline constexpr size_t kFieldBits = 70;   // field_bit flags; the field count is their number
inline constexpr size_t kFirstDate = 108;  // 32-bit YYYYMMDD; 19000101 without data
inline constexpr size_t kLastDate = 116;   // 32-bit YYYYMMDD
inline constexpr size_t kSymbolSpan = 15;
inline constexpr size_t kNameSpan = 46;
}  // namespace xmaster_offset

namespace xmaster_header_offset {
inline constexpr size_t kMagic = 0;             // kXmasterMagic
inline constexpr size_t kInstrumentCount = 10;  // 16-bit
inline constexpr size_t kNextFileNumber = 18;   // 16-bit, the highest in use + 1
}  // namespace xmaster_header_offset

// The fields a data file's records hold, one bit each. The columns always
// come in the order date, time, open, high, low, close, volume, open
// interest, whatever the order of the bits.
namespace field_bit {
inline constexpr uint8_t kDate = 0x01;
inline constexpr uint8_t kHigh = 0x02;
inline constexpr uint8_t kLow = 0x04;
inline constexpr uint8_t kClose = 0x08;
inline constexpr uint8_t kVolume = 0x10;
inline constexpr uint8_t kOpen = 0x20;
inline constexpr uint8_t kOpenInterest = 0x40;
inline constexpr uint8_t kTime = 0x80;
}  // namespace field_bit

// The columns the field bits name, in file order, None after them; their
// number.
int FieldTypesOfBits(uint8_t bits, std::array<FieldType, kMaxFields>* types);

// One EMASTER record as stored, decoded by the accessors. A text is the
// field's bytes up to its zero byte (up to the span's end on a record no
// reader has checked).
struct EmasterRecord {
  uint8_t raw[kEmasterRecordSize];

  int FileNumber() const { return raw[emaster_offset::kFileNumber]; }
  int FieldCount() const { return raw[emaster_offset::kFieldCount]; }
  char Period() const { return static_cast<char>(raw[emaster_offset::kPeriod]); }
  uint16_t TimeBase() const;
  float FirstDate() const;
  float LastDate() const;
  std::string Symbol() const;
  std::string Name() const;
  std::string LongName() const;
};

struct XmasterRecord {
  uint8_t raw[kXmasterRecordSize];

  int FileNumber() const;
  uint8_t FieldBits() const { return raw[xmaster_offset::kFieldBits]; }
  char Period() const { return static_cast<char>(raw[xmaster_offset::kPeriod]); }
  uint16_t TimeBase() const;
  // CYYMMDD from the stored YYYYMMDD; 0 for 19000101 (no data) and earlier.
  float FirstDate() const;
  float LastDate() const;
  std::string Symbol() const;
  std::string Name() const;

  // The MasterRecord the DAT readers take for the instrument's F<n>.MWD:
  // record length 4 x the number of field bits, that field count, period,
  // time base, the texts and dates (MBF) as far as master's fields hold them,
  // and file number 0, as one byte cannot hold the real one
  // (directory_instruments.h says which readers it suits).
  MasterRecord Layout() const;
  // Whether AssignFieldTypes on Layout() gives exactly the columns the field
  // bits name. When not, the records cannot be read: the DAT readers would
  // take the columns for others (6 daily fields are date, open, high, low,
  // close, volume to them), or know no layout at all.
  bool LayoutKnown() const;
};

enum class IndexFile { Emaster, Xmaster };

// What a reader found wrong. The first six refuse the whole file; the next
// two leave out one record; UnknownLayout (XMASTER only) keeps the record,
// whose data cannot be read.
enum class IndexDamage {
  Unreadable,  // the file exists but cannot be opened or read
  Empty,
  ShortHeader,    // fewer bytes than one header record
  NotIndexFile,   // XMASTER's first four bytes are not kXmasterMagic
  PartialRecord,  // bytes after the last whole record
  CountMismatch,  // a header count is not the number of records
  FileNumberOutOfRange,
  UnterminatedText,
  UnknownLayout,
};

struct IndexFinding {
  IndexFile file;
  IndexDamage damage;
  int record;        // 1 for the first record after the header; 0 for the whole file
  std::string text;  // for the user: "XMASTER is not an XMASTER file (it starts with text)"
};

// A file as read: present when it exists (findings then say what was
// refused), its header's count and its accepted records in file order.
template <typename Record>
struct IndexContents {
  bool present = false;
  uint16_t instrumentCount = 0;
  std::vector<Record> records;
  std::vector<IndexFinding> findings;

  bool Sound() const { return present && findings.empty(); }
};

struct EmasterContents : IndexContents<EmasterRecord> {
  uint16_t lastFileNumber = 0;  // the highest in use
};

struct XmasterContents : IndexContents<XmasterRecord> {
  uint16_t nextFileNumber = 0;  // the highest in use + 1
};

// The contents of a whole file's bytes (present is set).
EmasterContents DecodeEmaster(std::span<const uint8_t> file);
XmasterContents DecodeXmaster(std::span<const uint8_t> file);

// The directory's EMASTER or XMASTER (any letter case) through the file
// layer, opened for reading and closed again; not present when there is none.
EmasterContents ReadEmaster(const char* directory);
XmasterContents ReadXmaster(const char* directory);

// The numbers 1 ... 255 that the directory's XMASTER names (any record of a
// file with XMASTER's first four bytes, out of range or not) or that an
// F<n>.MWD or F<n>.DAT file has, whatever its case: a new master instrument
// must not take one, lest it share a number and a data file name stem with an
// instrument other programs list, or take the place of a data file that no
// master lists (what a stopped operation leaves, or records nobody has looked
// at since their master lost them). None when the directory has none.
std::bitset<kMaxInstruments + 1> NumbersTakenBeyondMaster(const char* directory);

// The bytes of a whole file through the file layer; nothing when it cannot be
// opened or read.
std::optional<std::vector<uint8_t>> ReadWholeFile(const std::string& name);

// Writes what master's record says into an EMASTER record: file number, field
// count and bits (from the layout AssignFieldTypes gives; none without one),
// symbol, name, period, time base and both dates, in EMASTER's encodings. The
// long name is kept when it still begins with the name, else cleared; every
// other byte (the tag, the times) is left as it was.
void StoreMasterFields(const MasterRecord& record, EmasterRecord* into);

// Whether EMASTER lists exactly master's instruments: as many records, each
// file number of master once in each, with the same symbol, name (trailing
// blanks aside), dates, field count, period and time base.
bool EmasterAgrees(const std::vector<MasterRecord>& master, const EmasterContents& emaster);
