#include "bench_data.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "primitives/mbf.h"
#include "store/index_files.h"
#include "store/master_file.h"

namespace bench {
namespace {

[[noreturn]] void Die(const std::string& what) {
  std::fprintf(stderr, "bench: %s\n", what.c_str());
  std::exit(2);
}

// A small linear congruential generator: the same numbers on every platform.
class Random {
 public:
  explicit Random(uint32_t seed) : state_(seed * 2654435761u + 1u) {}
  uint32_t Next() {
    state_ = state_ * 1664525u + 1013904223u;
    return state_ >> 8;
  }
  int Between(int low, int high) {
    return low + static_cast<int>(Next() % static_cast<uint32_t>(high - low + 1));
  }

 private:
  uint32_t state_;
};

// Weekdays from a start date, as stored dates (year - 1900) * 10000 + MM * 100 + DD.
class Weekdays {
 public:
  Weekdays(int year, int month, int day, int weekday)
      : year_(year), month_(month), day_(day), weekday_(weekday) {
    if (weekday_ >= 5) Advance();
  }
  float Stored() const { return static_cast<float>((year_ - 1900) * 10000 + month_ * 100 + day_); }
  void Advance() {
    do {
      Step();
    } while (weekday_ >= 5);
  }

 private:
  static int DaysIn(int year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[month - 1];
  }
  void Step() {
    weekday_ = (weekday_ + 1) % 7;
    if (++day_ > DaysIn(year_, month_)) {
      day_ = 1;
      if (++month_ > 12) {
        month_ = 1;
        ++year_;
      }
    }
  }
  int year_, month_, day_;
  int weekday_;  // 0 Monday ... 6 Sunday
};

void PutWord(std::vector<uint8_t>& bytes, size_t offset, float value) {
  StoreMbfWord(bytes.data() + offset, IEEE_MBF(value));
}

void PutU16(uint8_t* at, uint32_t value) {
  at[0] = static_cast<uint8_t>(value);
  at[1] = static_cast<uint8_t>(value >> 8);
}

void PutU32(uint8_t* at, uint32_t value) {
  PutU16(at, value);
  PutU16(at + 2, value >> 16);
}

// A text into a zeroed field wide enough for it and its zero byte.
void PutText(uint8_t* field, const std::string& text) {
  std::copy(text.begin(), text.end(), field);
}

// A header of recordLength bytes: count in bytes 2-3 while it fits.
std::vector<uint8_t> Header(int recordLength, int records) {
  std::vector<uint8_t> bytes(static_cast<size_t>(recordLength), 0);
  PutU16(bytes.data() + 2, records + 1 >= 32767 ? 0 : static_cast<uint32_t>(records + 1));
  return bytes;
}

// One sound bar in cents: low <= open, close <= high.
struct Bar {
  int open, high, low, close;
};

Bar NextBar(Random& random, int* price) {
  Bar bar;
  bar.open = *price;
  bar.close = std::max(100, bar.open + random.Between(-40, 40));
  bar.high = std::max(bar.open, bar.close) + random.Between(0, 25);
  bar.low = std::max(50, std::min(bar.open, bar.close) - random.Between(0, 25));
  *price = bar.close;
  return bar;
}

float Cents(int cents) {
  return static_cast<float>(cents) / 100.0f;
}

std::string DopText(const std::vector<const char*>& columns) {
  std::string text;
  for (const char* column : columns) {
    const bool price = std::string(column) == "Open" || std::string(column) == "High" ||
                       std::string(column) == "Low" || std::string(column) == "Close";
    text += std::string(column) + ", " + (price ? "3" : "0") + ", 0,\r\n";
  }
  return text + "\r\n";
}

MasterRecord Entry(int fileNumber, int fields, char period, const std::vector<uint8_t>& dat) {
  MasterRecord record{};
  record.SetFileNumber(static_cast<uint8_t>(fileNumber));
  record.SetFileType(kMasterFileType);
  record.SetRecordLength(static_cast<uint8_t>(4 * fields));
  record.SetFieldCount(static_cast<uint8_t>(fields));
  record.SetName(("BENCH " + std::to_string(fileNumber)).c_str());
  record.SetSymbol(("B" + std::to_string(fileNumber)).c_str());
  record.SetPeriod(period);
  const size_t length = static_cast<size_t>(4 * fields);
  record.SetFirstDateWord(LoadMbfWord(dat.data() + length));
  record.SetLastDateWord(LoadMbfWord(dat.data() + dat.size() - length));
  record.raw[master_offset::kTrailer] = ' ';
  record.raw[master_offset::kTrailer + 1] = ' ';
  return record;
}

std::vector<uint8_t> MasterBytes(const std::vector<MasterRecord>& records) {
  std::vector<uint8_t> bytes(kMasterRecordSize, 0);
  MasterHeader header{};
  header.SetInstrumentCount(static_cast<uint16_t>(records.size()));
  header.SetLastFileNumber(static_cast<uint16_t>(records.size()));
  std::copy(std::begin(header.raw), std::end(header.raw), bytes.begin());
  for (const MasterRecord& record : records)
    bytes.insert(bytes.end(), std::begin(record.raw), std::end(record.raw));
  return bytes;
}

// EMASTER as the original writer leaves it beside master: each record tagged
// "66", then master's fields and the long name. The fields come from the
// program's own encoder, StoreMasterFields; qvx list, the one user of this
// directory, does not read EMASTER.
std::vector<uint8_t> EmasterBytes(const std::vector<MasterRecord>& records,
                                  const std::vector<std::string>& longNames) {
  std::vector<uint8_t> bytes(kEmasterRecordSize, 0);
  PutU16(bytes.data() + emaster_header_offset::kInstrumentCount, static_cast<uint32_t>(records.size()));
  PutU16(bytes.data() + emaster_header_offset::kLastFileNumber, static_cast<uint32_t>(records.size()));
  for (size_t i = 0; i < records.size(); ++i) {
    EmasterRecord record{};
    record.raw[0] = record.raw[1] = '6';
    StoreMasterFields(records[i], &record);
    PutText(record.raw + emaster_offset::kLongName, longNames[i]);
    bytes.insert(bytes.end(), std::begin(record.raw), std::end(record.raw));
  }
  return bytes;
}

// The YYYYMMDD of a stored CYYMMDD date.
uint32_t Yyyymmdd(const uint8_t* date) {
  return static_cast<uint32_t>(MBF_IEEE(LoadMbfWord(date))) + 19000000;
}

// XMASTER's record of 7-field daily instrument n, whose data mwd holds.
void AppendXmasterRecord(std::vector<uint8_t>& xmaster, int n, const std::vector<uint8_t>& mwd) {
  constexpr uint8_t kDailyBits = field_bit::kDate | field_bit::kOpen | field_bit::kHigh | field_bit::kLow |
                                 field_bit::kClose | field_bit::kVolume | field_bit::kOpenInterest;
  constexpr size_t kLength = 4 * 7;
  xmaster.resize(xmaster.size() + kXmasterRecordSize, 0);
  uint8_t* raw = xmaster.data() + xmaster.size() - kXmasterRecordSize;
  raw[0] = 1;
  PutText(raw + xmaster_offset::kSymbol, "X" + std::to_string(n));
  PutText(raw + xmaster_offset::kName, "BENCH EXTENDED " + std::to_string(n));
  raw[xmaster_offset::kPeriod] = 'D';
  PutU16(raw + xmaster_offset::kFileNumber, static_cast<uint32_t>(n));
  raw[xmaster_offset::kFieldBits] = kDailyBits;
  PutU32(raw + xmaster_offset::kFirstDate, Yyyymmdd(mwd.data() + kLength));
  PutU32(raw + xmaster_offset::kLastDate, Yyyymmdd(mwd.data() + mwd.size() - kLength));
}

std::string Join(const std::string& dir, const std::string& name) {
  return dir + "/" + name;
}

void WriteText(const std::string& path, const std::string& text) {
  WriteFile(path, std::vector<uint8_t>(text.begin(), text.end()));
}

const std::vector<const char*> kIntradayColumns = {"Date", "Time",  "Open",   "High",
                                                   "Low",  "Close", "Volume", "OI"};
const std::vector<const char*> kDailyColumns = {"Date", "Open", "High", "Low", "Close", "Volume", "OI"};

// The full directory's data and column files; its master records.
std::vector<MasterRecord> WriteFullDirectoryData(const std::string& nativeDir) {
  MakeDirectories(nativeDir);
  std::vector<MasterRecord> records;
  for (int n = 1; n <= kFullDirectory; ++n) {
    const std::vector<uint8_t> dat = DailyFile(kFullDirectoryRecords, static_cast<uint32_t>(n));
    WriteFile(Join(nativeDir, "F" + std::to_string(n) + ".DAT"), dat);
    WriteText(Join(nativeDir, "F" + std::to_string(n) + ".DOP"), DopText(kDailyColumns));
    records.push_back(Entry(n, 7, 'D', dat));
  }
  return records;
}

}  // namespace

std::string CoreDir(const std::string& nativeDir) {
  return nativeDir + "\\";
}

std::vector<uint8_t> IntradayFile(int records, uint32_t seed) {
  constexpr int kFields = 8;
  constexpr int kBarsPerDay = 78;  // 09:30 to 15:55, five minutes apart
  std::vector<uint8_t> bytes = Header(4 * kFields, records);
  bytes.resize(static_cast<size_t>(4 * kFields) * (static_cast<size_t>(records) + 1));
  Random random(seed);
  Weekdays day(2012, 1, 2, 0);
  int price = 10000;
  int openInterest = 50000;
  for (int r = 0; r < records; ++r) {
    const int bar = r % kBarsPerDay;
    if (r > 0 && bar == 0) day.Advance();
    const int minutes = 9 * 60 + 30 + 5 * bar;
    const Bar b = NextBar(random, &price);
    openInterest += random.Between(-100, 100);
    const float values[kFields] = {day.Stored(),
                                   static_cast<float>((minutes / 60) * 10000 + (minutes % 60) * 100),
                                   Cents(b.open),
                                   Cents(b.high),
                                   Cents(b.low),
                                   Cents(b.close),
                                   static_cast<float>(random.Between(100, 90000)),
                                   static_cast<float>(openInterest)};
    const size_t offset = static_cast<size_t>(4 * kFields) * (static_cast<size_t>(r) + 1);
    for (int c = 0; c < kFields; ++c) PutWord(bytes, offset + 4 * static_cast<size_t>(c), values[c]);
  }
  return bytes;
}

std::vector<uint8_t> DailyFile(int records, uint32_t seed) {
  constexpr int kFields = 7;
  std::vector<uint8_t> bytes = Header(4 * kFields, records);
  bytes.resize(static_cast<size_t>(4 * kFields) * (static_cast<size_t>(records) + 1));
  Random random(seed);
  Weekdays day(2023, 1, 2, 0);
  int price = 2000 + static_cast<int>(seed % 5000);
  for (int r = 0; r < records; ++r) {
    if (r > 0) day.Advance();
    const Bar b = NextBar(random, &price);
    const float values[kFields] = {day.Stored(),
                                   Cents(b.open),
                                   Cents(b.high),
                                   Cents(b.low),
                                   Cents(b.close),
                                   static_cast<float>(random.Between(1000, 900000)),
                                   static_cast<float>(random.Between(0, 5000))};
    const size_t offset = static_cast<size_t>(4 * kFields) * (static_cast<size_t>(r) + 1);
    for (int c = 0; c < kFields; ++c) PutWord(bytes, offset + 4 * static_cast<size_t>(c), values[c]);
  }
  return bytes;
}

void WriteLargestInstrument(const std::string& nativeDir) {
  MakeDirectories(nativeDir);
  const std::vector<uint8_t> dat = IntradayFile(kLargestRecords, 1);
  WriteFile(Join(nativeDir, "F1.DAT"), dat);
  WriteText(Join(nativeDir, "F1.DOP"), DopText(kIntradayColumns));
  WriteFile(Join(nativeDir, "master"), MasterBytes({Entry(1, kLargestFields, 'I', dat)}));
}

void WriteFullDirectory(const std::string& nativeDir) {
  WriteFile(Join(nativeDir, "master"), MasterBytes(WriteFullDirectoryData(nativeDir)));
}

void WriteExtendedDirectory(const std::string& nativeDir) {
  std::vector<MasterRecord> records = WriteFullDirectoryData(nativeDir);
  // master holds the first 16 characters of each long name.
  std::vector<std::string> longNames;
  for (MasterRecord& record : records) {
    longNames.push_back("BENCH " + std::to_string(record.FileNumber()) + " WITH A NAME LONGER THAN MASTER'S");
    record.SetName(longNames.back().substr(0, 16).c_str());
  }
  WriteFile(Join(nativeDir, "master"), MasterBytes(records));
  WriteFile(Join(nativeDir, "EMASTER"), EmasterBytes(records, longNames));

  constexpr int kLast = kFirstXmasterFileNumber + kXmasterInstruments - 1;
  std::vector<uint8_t> xmaster(kXmasterRecordSize, 0);
  std::copy(std::begin(kXmasterMagic), std::end(kXmasterMagic), xmaster.begin());
  PutU16(xmaster.data() + xmaster_header_offset::kInstrumentCount, kXmasterInstruments);
  PutU16(xmaster.data() + xmaster_header_offset::kNextFileNumber, kLast + 1);
  for (int n = kFirstXmasterFileNumber; n <= kLast; ++n) {
    const std::vector<uint8_t> mwd = DailyFile(kMwdRecords, static_cast<uint32_t>(n));
    WriteFile(Join(nativeDir, "F" + std::to_string(n) + ".MWD"), mwd);
    AppendXmasterRecord(xmaster, n, mwd);
  }
  WriteFile(Join(nativeDir, "XMASTER"), xmaster);
}

void WriteTree(const std::string& root) {
  MakeDirectories(root);
  const std::vector<uint8_t> dat = DailyFile(20, 7);
  const std::vector<uint8_t> master = MasterBytes({Entry(1, 7, 'D', dat)});
  for (int top = 0; top < 100; ++top) {
    char name[16];
    std::snprintf(name, sizeof name, "d%02d", top);
    const std::string topPath = Join(root, name);
    MakeDirectories(topPath);
    for (int sub = 0; sub < 99; ++sub) {
      std::snprintf(name, sizeof name, "e%02d", sub);
      const std::string path = Join(topPath, name);
      MakeDirectories(path);
      // Two data directories below each top-level one, which holds none itself.
      if (sub == 10 || sub == 60) {
        WriteFile(Join(path, "master"), master);
        WriteFile(Join(path, "F1.DAT"), dat);
      }
    }
  }
}

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out) Die("cannot write " + path);
}

std::vector<uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  std::vector<uint8_t> bytes(static_cast<size_t>(std::max<std::streamoff>(in.tellg(), 0)));
  in.seekg(0);
  // In one read: the baselines read their files with it.
  if (!in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size())))
    Die("cannot read " + path);
  return bytes;
}

void MakeDirectories(const std::string& path) {
  std::error_code error;
  std::filesystem::create_directories(path, error);
  if (error) Die("cannot create " + path + ": " + error.message());
}

void RemoveTree(const std::string& path) {
  std::error_code error;
  std::filesystem::remove_all(path, error);
}

}  // namespace bench
