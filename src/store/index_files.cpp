#include "store/index_files.h"

#include <algorithm>
#include <bit>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <optional>
#include <type_traits>

#include "filelayer/file_guard.h"
#include "filelayer/file_layer.h"
#include "filelayer/platform_file.h"
#include "primitives/text_fields.h"
#include "store/file_names.h"

namespace {

uint16_t LoadU16(const uint8_t* bytes) {
  return static_cast<uint16_t>(bytes[0] | bytes[1] << 8);
}

uint32_t LoadU32(const uint8_t* bytes) {
  return LoadU16(bytes) | static_cast<uint32_t>(LoadU16(bytes + 2)) << 16;
}

void StoreU16(uint8_t* bytes, uint16_t value) {
  bytes[0] = static_cast<uint8_t>(value);
  bytes[1] = static_cast<uint8_t>(value >> 8);
}

void StoreU32(uint8_t* bytes, uint32_t value) {
  StoreU16(bytes, static_cast<uint16_t>(value));
  StoreU16(bytes + 2, static_cast<uint16_t>(value >> 16));
}

// The text in its span, cut to leave room for the zero byte, the rest zero.
void StoreText(uint8_t* field, size_t span, const std::string& text) {
  std::memset(field, 0, span);
  std::memcpy(field, text.data(), std::min(text.size(), span - 1));
}

std::string TrimmedRight(std::string text) {
  text.erase(text.find_last_not_of(' ') + 1);
  return text;
}

constexpr uint32_t kNoDataDate = 19000101;
constexpr uint32_t kCenturyBase = 19000000;

float DateOfYyyymmdd(uint32_t date) {
  return date <= kNoDataDate ? 0.0f : static_cast<float>(date - kCenturyBase);
}

// The span's bytes up to its first zero byte, all of them when it has none.
std::string TextAt(const uint8_t* field, size_t span) {
  return std::string(field, std::find(field, field + span, 0));
}

const char* FileText(IndexFile file) {
  return file == IndexFile::Emaster ? "EMASTER" : "XMASTER";
}

IndexFinding Finding(IndexFile file, IndexDamage damage, int record, const std::string& detail) {
  std::string text = FileText(file);
  if (record > 0) text += " record " + std::to_string(record) + ":";
  return {file, damage, record, text + " " + detail};
}

std::string Format(const char* format, size_t a, size_t b) {
  char text[128];
  std::snprintf(text, sizeof text, format, a, b);
  return text;
}

// Whether the file is whole records of recordSize bytes after a whole header;
// the finding when it is not.
bool WholeRecords(std::span<const uint8_t> file, IndexFile kind, size_t recordSize,
                  std::vector<IndexFinding>* findings) {
  if (file.empty()) {
    findings->push_back(Finding(kind, IndexDamage::Empty, 0, "is empty"));
  } else if (file.size() < recordSize) {
    findings->push_back(
        Finding(kind, IndexDamage::ShortHeader, 0,
                Format("is too short for its header (%zu of %zu bytes)", file.size(), recordSize)));
  } else if (file.size() % recordSize != 0) {
    findings->push_back(
        Finding(kind, IndexDamage::PartialRecord, 0,
                Format("ends in a partial record (%zu of %zu bytes)", file.size() % recordSize, recordSize)));
  } else {
    return true;
  }
  return false;
}

bool CountFits(size_t count, std::span<const uint8_t> file, IndexFile kind, size_t recordSize,
               std::vector<IndexFinding>* findings) {
  const size_t records = file.size() / recordSize - 1;
  if (count == records) return true;
  findings->push_back(Finding(kind, IndexDamage::CountMismatch, 0,
                              Format("lists %zu instruments but holds %zu records", count, records)));
  return false;
}

struct IndexTextField {
  size_t offset;
  size_t span;
  const char* what;
};

constexpr IndexTextField kEmasterTexts[] = {
    {emaster_offset::kSymbol, emaster_offset::kSymbolSpan, "symbol"},
    {emaster_offset::kName, emaster_offset::kNameSpan, "name"},
    {emaster_offset::kLongName, emaster_offset::kLongNameSpan, "long name"},
};
constexpr IndexTextField kXmasterTexts[] = {
    {xmaster_offset::kSymbol, xmaster_offset::kSymbolSpan, "symbol"},
    {xmaster_offset::kName, xmaster_offset::kNameSpan, "name"},
};

IndexFinding UnknownLayoutFinding(const XmasterRecord& record, int index) {
  const char period = std::isprint(static_cast<unsigned char>(record.Period())) ? record.Period() : '?';
  char detail[128];
  std::snprintf(detail, sizeof detail,
                "the fields of F%d (bits %02X, period %c) fit no layout its data can be read by",
                record.FileNumber(), record.FieldBits(), period);
  return Finding(IndexFile::Xmaster, IndexDamage::UnknownLayout, index, detail);
}

// The records after the header whose file number is lowest or more and whose
// texts all end in their span; a finding for each other one, and for each
// XMASTER record kept whose layout is not known.
template <typename Record>
std::vector<Record> AcceptedRecords(std::span<const uint8_t> file, IndexFile kind, int lowest,
                                    const char* range, std::span<const IndexTextField> texts,
                                    std::vector<IndexFinding>* findings) {
  std::vector<Record> records;
  int index = 1;
  for (size_t at = sizeof(Record::raw); at < file.size(); at += sizeof(Record::raw), ++index) {
    Record record;
    std::memcpy(record.raw, file.data() + at, sizeof record.raw);
    const int number = record.FileNumber();
    if (number < lowest) {
      // Built by appending: GCC 12 takes "text" + std::to_string(...) for an
      // overlapping copy (a false -Wrestrict in the optimised i686 build).
      std::string text = "file number ";
      text.append(std::to_string(number)).append(" is out of range (").append(range).append(")");
      findings->push_back(Finding(kind, IndexDamage::FileNumberOutOfRange, index, text));
      continue;
    }
    const auto open = std::ranges::find_if(texts, [&](const IndexTextField& field) {
      const uint8_t* begin = record.raw + field.offset;
      return std::find(begin, begin + field.span, 0) == begin + field.span;
    });
    if (open != texts.end()) {
      findings->push_back(Finding(kind, IndexDamage::UnterminatedText, index,
                                  std::string("its ") + open->what + " has no terminating zero byte"));
      continue;
    }
    records.push_back(record);
    if constexpr (std::is_same_v<Record, XmasterRecord>) {
      if (!record.LayoutKnown()) findings->push_back(UnknownLayoutFinding(record, index));
    }
  }
  return records;
}

// What a file that is not an XMASTER begins with, for the user.
std::string Beginning(std::span<const uint8_t> head) {
  if (std::ranges::all_of(
          head, [](uint8_t c) { return (c >= 0x20 && c < 0x7F) || c == '\t' || c == '\n' || c == '\r'; }))
    return "it starts with text";
  char text[64];
  std::snprintf(text, sizeof text, "it starts with %02X %02X %02X %02X, not 5D FE 58 4D", head[0], head[1],
                head[2], head[3]);
  return text;
}

// Whether the directory lists a file of that name, whatever its case: an
// index file that cannot be opened is still there, and must not pass for
// missing.
bool Listed(const char* directory, std::string_view leaf) {
  bool found = false;
  platform::ListDirectory(directory, [&](const platform::DirectoryEntry& entry) {
    found = !entry.isDirectory && EqualNoCase(entry.name, leaf);
    return !found;
  });
  return found;
}

template <typename Contents>
Contents ReadIndexFile(const char* directory, const std::string& name, IndexFile kind,
                       Contents (*decode)(std::span<const uint8_t>)) {
  if (const auto bytes = ReadWholeFile(name)) return decode(*bytes);
  Contents contents;
  contents.present = Listed(directory, std::string_view(name).substr(std::strlen(directory)));
  if (contents.present)
    contents.findings.push_back(Finding(kind, IndexDamage::Unreadable, 0, "cannot be read"));
  return contents;
}

}  // namespace

float EmasterRecord::FirstDate() const {
  return std::bit_cast<float>(LoadU32(raw + emaster_offset::kFirstDate));
}
float EmasterRecord::LastDate() const {
  return std::bit_cast<float>(LoadU32(raw + emaster_offset::kLastDate));
}
std::string EmasterRecord::Symbol() const {
  return TextAt(raw + emaster_offset::kSymbol, emaster_offset::kSymbolSpan);
}
std::string EmasterRecord::Name() const {
  return TextAt(raw + emaster_offset::kName, emaster_offset::kNameSpan);
}
std::string EmasterRecord::LongName() const {
  return TextAt(raw + emaster_offset::kLongName, emaster_offset::kLongNameSpan);
}

uint16_t EmasterRecord::TimeBase() const {
  return LoadU16(raw + emaster_offset::kTimeBase);
}

int XmasterRecord::FileNumber() const {
  return LoadU16(raw + xmaster_offset::kFileNumber);
}
uint16_t XmasterRecord::TimeBase() const {
  return LoadU16(raw + xmaster_offset::kTimeBase);
}
float XmasterRecord::FirstDate() const {
  return DateOfYyyymmdd(LoadU32(raw + xmaster_offset::kFirstDate));
}
float XmasterRecord::LastDate() const {
  return DateOfYyyymmdd(LoadU32(raw + xmaster_offset::kLastDate));
}
std::string XmasterRecord::Symbol() const {
  return TextAt(raw + xmaster_offset::kSymbol, xmaster_offset::kSymbolSpan);
}
std::string XmasterRecord::Name() const {
  return TextAt(raw + xmaster_offset::kName, xmaster_offset::kNameSpan);
}

MasterRecord XmasterRecord::Layout() const {
  MasterRecord layout = {};
  const int fieldCount = std::popcount(FieldBits());
  layout.SetFileType(kMasterFileType);
  layout.SetRecordLength(static_cast<uint8_t>(4 * fieldCount));
  layout.SetFieldCount(static_cast<uint8_t>(fieldCount));
  layout.SetName(Name().c_str());
  layout.SetSymbol(Symbol().c_str());
  layout.SetFirstDate(FirstDate());
  layout.SetLastDate(LastDate());
  layout.SetPeriod(Period());
  layout.SetTimeBase(TimeBase());
  layout.raw[master_offset::kTrailer] = layout.raw[master_offset::kTrailer + 1] = ' ';
  return layout;
}

bool XmasterRecord::LayoutKnown() const {
  std::array<FieldType, kMaxFields> named;
  const int fieldCount = FieldTypesOfBits(FieldBits(), &named);
  // A layout's columns follow from its field count and period alone (the
  // names and dates Layout copies are not needed, and every instrument of a
  // large XMASTER is asked).
  MasterRecord layout = {};
  layout.SetFieldCount(static_cast<uint8_t>(fieldCount));
  layout.SetPeriod(Period());
  DATLayout assigned = {};
  return AssignFieldTypes(&assigned, layout) == 1 && std::ranges::equal(named, assigned.fieldTypes);
}

int FieldTypesOfBits(uint8_t bits, std::array<FieldType, kMaxFields>* types) {
  struct Column {
    uint8_t bit;
    FieldType type;
  };
  constexpr Column kFileOrder[] = {
      {field_bit::kDate, FieldType::Date},     {field_bit::kTime, FieldType::Time},
      {field_bit::kOpen, FieldType::Open},     {field_bit::kHigh, FieldType::High},
      {field_bit::kLow, FieldType::Low},       {field_bit::kClose, FieldType::Close},
      {field_bit::kVolume, FieldType::Volume}, {field_bit::kOpenInterest, FieldType::OpenInterest},
  };
  types->fill(FieldType::None);
  int count = 0;
  for (const Column& column : kFileOrder) {
    if (bits & column.bit) (*types)[static_cast<size_t>(count++)] = column.type;
  }
  return count;
}

EmasterContents DecodeEmaster(std::span<const uint8_t> file) {
  constexpr IndexFile kKind = IndexFile::Emaster;
  EmasterContents contents;
  contents.present = true;
  if (!WholeRecords(file, kKind, kEmasterRecordSize, &contents.findings)) return contents;
  contents.instrumentCount = LoadU16(file.data() + emaster_header_offset::kInstrumentCount);
  contents.lastFileNumber = LoadU16(file.data() + emaster_header_offset::kLastFileNumber);
  if (!CountFits(contents.instrumentCount, file, kKind, kEmasterRecordSize, &contents.findings))
    return contents;
  contents.records =
      AcceptedRecords<EmasterRecord>(file, kKind, 1, "1 to 255", kEmasterTexts, &contents.findings);
  return contents;
}

XmasterContents DecodeXmaster(std::span<const uint8_t> file) {
  constexpr IndexFile kKind = IndexFile::Xmaster;
  XmasterContents contents;
  contents.present = true;
  if (file.size() >= sizeof kXmasterMagic && !std::equal(std::begin(kXmasterMagic), std::end(kXmasterMagic),
                                                         file.begin() + xmaster_header_offset::kMagic)) {
    contents.findings.push_back(Finding(kKind, IndexDamage::NotIndexFile, 0,
                                        "is not an XMASTER file (" + Beginning(file.first(4)) + ")"));
    return contents;
  }
  if (!WholeRecords(file, kKind, kXmasterRecordSize, &contents.findings)) return contents;
  const uint8_t* header = file.data();
  contents.instrumentCount = LoadU16(header + xmaster_header_offset::kInstrumentCount);
  contents.nextFileNumber = LoadU16(header + xmaster_header_offset::kNextFileNumber);
  if (!CountFits(contents.instrumentCount, file, kKind, kXmasterRecordSize, &contents.findings))
    return contents;
  contents.records = AcceptedRecords<XmasterRecord>(file, kKind, kFirstXmasterFileNumber, "256 and up",
                                                    kXmasterTexts, &contents.findings);
  return contents;
}

EmasterContents ReadEmaster(const char* directory) {
  return ReadIndexFile(directory, EmasterFileName(directory), IndexFile::Emaster, DecodeEmaster);
}

XmasterContents ReadXmaster(const char* directory) {
  return ReadIndexFile(directory, XmasterFileName(directory), IndexFile::Xmaster, DecodeXmaster);
}

std::bitset<kMaxInstruments + 1> NumbersTakenBeyondMaster(const char* directory) {
  std::bitset<kMaxInstruments + 1> taken;
  const auto mark = [&](int number) {
    if (number >= 1 && number <= kMaxInstruments) taken.set(static_cast<size_t>(number));
  };
  const auto xmaster = ReadWholeFile(XmasterFileName(directory));
  if (xmaster && xmaster->size() >= sizeof kXmasterMagic &&
      std::equal(std::begin(kXmasterMagic), std::end(kXmasterMagic), xmaster->begin())) {
    for (size_t at = kXmasterRecordSize; at + kXmasterRecordSize <= xmaster->size(); at += kXmasterRecordSize)
      mark(LoadU16(xmaster->data() + at + xmaster_offset::kFileNumber));
  }
  platform::ListDirectory(directory, [&](const platform::DirectoryEntry& entry) {
    if (entry.isDirectory) return true;
    for (const char* extension : {".MWD", ".DAT"}) {
      if (const std::optional<int> number = NumberedFileNumber(entry.name, extension)) mark(*number);
    }
    return true;
  });
  return taken;
}

std::optional<std::vector<uint8_t>> ReadWholeFile(const std::string& name) {
  FileGuard file(SOpenFile(name.c_str(), kOpenReadOnly, kOpenShared, kByteRecords, kOpenNotTemporary));
  if (!file.Valid()) return std::nullopt;
  const int32_t length = FileLength(file.Get());
  std::vector<uint8_t> bytes(static_cast<size_t>(std::max(length, 0)));
  if (length > 0 && !ReadBlock(file.Get(), bytes.data(), static_cast<uint32_t>(length), 0, 0))
    return std::nullopt;
  return bytes;
}

void StoreMasterFields(const MasterRecord& record, EmasterRecord* into) {
  constexpr uint8_t kBitOfType[] = {0,
                                    field_bit::kDate,
                                    field_bit::kTime,
                                    field_bit::kOpen,
                                    field_bit::kLow,
                                    field_bit::kHigh,
                                    field_bit::kClose,
                                    field_bit::kVolume,
                                    field_bit::kOpenInterest};
  DATLayout layout = {};
  uint8_t bits = 0;
  if (AssignFieldTypes(&layout, record) == 1) {
    for (FieldType type : layout.fieldTypes) bits |= kBitOfType[static_cast<size_t>(type)];
  }
  uint8_t* raw = into->raw;
  raw[emaster_offset::kFileNumber] = record.FileNumber();
  raw[emaster_offset::kFieldCount] = record.FieldCount();
  raw[emaster_offset::kFieldBits] = bits;
  raw[emaster_offset::kBlank] = ' ';
  StoreText(raw + emaster_offset::kSymbol, emaster_offset::kSymbolSpan, record.Symbol());
  const std::string name = record.Name();
  if (into->LongName().rfind(name, 0) != 0 || into->LongName().size() <= name.size())
    StoreText(raw + emaster_offset::kLongName, emaster_offset::kLongNameSpan, "");
  StoreText(raw + emaster_offset::kName, emaster_offset::kNameSpan, name);
  raw[emaster_offset::kPeriod] = static_cast<uint8_t>(record.Period());
  StoreU16(raw + emaster_offset::kTimeBase, record.TimeBase());
  const float first = record.FirstDate();
  StoreU32(raw + emaster_offset::kFirstDate, std::bit_cast<uint32_t>(first));
  StoreU32(raw + emaster_offset::kLastDate, std::bit_cast<uint32_t>(record.LastDate()));
  StoreU32(raw + emaster_offset::kFirstDateYmd,
           first > 0.0f ? static_cast<uint32_t>(first) + kCenturyBase : kNoDataDate);
}

bool EmasterAgrees(const std::vector<MasterRecord>& master, const EmasterContents& emaster) {
  if (master.size() != emaster.records.size()) return false;
  return std::ranges::all_of(master, [&](const MasterRecord& record) {
    const auto same = [&](const EmasterRecord& e) { return e.FileNumber() == record.FileNumber(); };
    if (std::ranges::count_if(emaster.records, same) != 1 ||
        std::ranges::count_if(
            master, [&](const MasterRecord& m) { return m.FileNumber() == record.FileNumber(); }) != 1)
      return false;
    const EmasterRecord& e = *std::ranges::find_if(emaster.records, same);
    return TrimmedRight(e.Symbol()) == record.Symbol() && TrimmedRight(e.Name()) == record.Name() &&
           e.FirstDate() == record.FirstDate() && e.LastDate() == record.LastDate() &&
           e.FieldCount() == record.FieldCount() && e.Period() == record.Period() &&
           e.TimeBase() == record.TimeBase();
  });
}
