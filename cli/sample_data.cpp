// The sample tree, built byte by byte.
//
// Who carries which defect (record numbers count data records from 0):
//
// Damaged/Data (the master is sound; each data file carries one kind of DAT defect)
//   F1  CORRUPT NUMBERS  6-field daily  code 0 at record 10 Close (stored -1.0),
//                                       record 20 Volume (exponent byte 0 with
//                                       mantissa bits), record 30 Date (all bits set)
//   F2  HIGH BELOW LOW   5-field daily  record 15: High and Low swapped, Close at
//                                       the new High: codes 1 and 3 on the Low column
//   F3  CLOSE ABOVE HIGH 6-field daily  code 2 at record 25 (Close)
//   F4  CLOSE BELOW LOW  5-field daily  code 3 at record 35 (Low)
//   F5  OPEN BELOW LOW   6-field daily  code 4 at record 12 (Open)
//   F6  OPEN ABOVE HIGH  6-field daily  code 5 at record 48 (Open)
//   F7  INVALID DATES    6-field daily  code 6 at record 40 (day 32 of its month)
//   F8  INVALID TIMES    7-field 30-min code 7 at record 25 (24:00:00 closing the
//                                       second day)
//   F9  DATES OUT ORDER  6-field daily  code 8 at record 30 (the date of record 29
//                                       again) and record 46 (swapped with record 45)
//   F10 TIMES OUT ORDER  8-field 15-min code 9 at record 31 (swapped with record 30,
//                                       same day)
//   No defect masks another: a damaged date is never read as the previous date
//   of an order test, and prices next to a damaged value are sound.
//
// Damaged/Master (every data file is sound; each master record carries one defect)
//   header  reports 13 instruments, holds 11: code 8
//   F1  MISSING DATA      no F1.DAT: code 0
//   F2  MISSING COLUMNS   no F2.DOP: code 1
//   F3  BAD FILE TYPE     file type 0: code 2
//   F4  BAD FIELD COUNT   24-byte records, field count 7: code 3
//   F5  START DATE OFF    first date one day before the data's: code 4
//   F6  END DATE OFF      last date three records short of the data's: code 5
//   F7  DAILY TIME BASE   daily with time base 5: code 6
//   F8  BAD PERIOD        period X over 5-minute intraday data (repaired to I): code 7
//   F9  RESERVED BYTES    byte 5 set: code 10
//   F10 ODD RECORD SIZE   record length 36 with field count 9 over 28-byte
//                         records: code 11
//   F11 NEGATIVE BASE     intraday with time base -5: code 6
//
// Damaged/Header  a sound directory whose header reports 1 instrument of 3: code 9
// Stocks F6 has no data file: code 0 there as well.
#include "sample_data.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <system_error>

#include "primitives/dates.h"
#include "primitives/mbf.h"

namespace sample {
namespace {

using Bytes = std::vector<uint8_t>;

constexpr int kMasterRecordLength = 53;
constexpr uint32_t kStoredMinusOne = 0x81800000;  // bytes 00 00 80 81
constexpr uint32_t kStrayMantissa = 0x00000001;   // bytes 01 00 00 00
constexpr uint32_t kAllBitsSet = 0xFFFFFFFF;

// splitmix64: tiny, well mixed, and the same on every platform (unlike the
// standard library's distributions).
class Rng {
 public:
  explicit Rng(uint64_t seed) : state_(seed) {}
  uint64_t Next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // lo ... hi inclusive.
  int64_t Uniform(int64_t lo, int64_t hi) {
    return lo + static_cast<int64_t>(Next() % static_cast<uint64_t>(hi - lo + 1));
  }

 private:
  uint64_t state_;
};

struct CivilDate {
  int year;
  int month;
  int day;
};

int Key(const CivilDate& d) {
  return d.year * 10000 + d.month * 100 + d.day;
}

int DaysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  bool leap = year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
  return month == 2 && leap ? 29 : kDays[month - 1];
}

CivilDate NextDay(CivilDate d) {
  if (++d.day > DaysInMonth(d.year, d.month)) {
    d.day = 1;
    if (++d.month > 12) {
      d.month = 1;
      ++d.year;
    }
  }
  return d;
}

CivilDate PreviousDay(CivilDate d) {
  if (--d.day < 1) {
    if (--d.month < 1) {
      d.month = 12;
      --d.year;
    }
    d.day = DaysInMonth(d.year, d.month);
  }
  return d;
}

// 0 = Sunday (Sakamoto's method).
int Weekday(const CivilDate& d) {
  static constexpr int kOffsets[] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
  int y = d.month < 3 ? d.year - 1 : d.year;
  return (y + y / 4 - y / 100 + y / 400 + kOffsets[d.month - 1] + d.day) % 7;
}

bool IsTradingDay(const CivilDate& d) {
  int weekday = Weekday(d);
  if (weekday == 0 || weekday == 6) return false;
  return !(d.month == 1 && d.day == 1) && !(d.month == 12 && d.day == 25);
}

std::vector<CivilDate> TradingDays(CivilDate first, const CivilDate& last) {
  std::vector<CivilDate> days;
  for (CivilDate d = first; Key(d) <= Key(last); d = NextDay(d)) {
    if (IsTradingDay(d)) days.push_back(d);
  }
  return days;
}

float StoredDate(const CivilDate& d) {
  float value = 0.0f;
  MakeDate(&value, static_cast<int16_t>(d.day), static_cast<int16_t>(d.month),
           static_cast<int16_t>(d.year - 1900));
  return value;
}

float StoredTime(int minutesOfDay) {
  float value = 0.0f;
  MakeTime(&value, static_cast<int16_t>(minutesOfDay / 60), static_cast<int16_t>(minutesOfDay % 60), 0);
  return value;
}

struct Bar {
  float date = 0;
  float time = 0;
  float open = 0;
  float high = 0;
  float low = 0;
  float close = 0;
  float volume = 0;
  float openInterest = 0;
};

// Column codes as stored in layouts.
enum Field : uint8_t {
  kDate = 1,
  kTime = 2,
  kOpen = 3,
  kLow = 4,
  kHigh = 5,
  kClose = 6,
  kVolume = 7,
  kOpenInterest = 8
};

std::vector<Field> Columns(int fieldCount, char period) {
  if (period == 'I') {
    switch (fieldCount) {
      case 4:
        return {kDate, kTime, kClose, kVolume};
      case 7:
        return {kDate, kTime, kOpen, kHigh, kLow, kClose, kVolume};
      default:
        return {kDate, kTime, kOpen, kHigh, kLow, kClose, kVolume, kOpenInterest};
    }
  }
  switch (fieldCount) {
    case 5:
      return {kDate, kHigh, kLow, kClose, kVolume};
    case 6:
      return {kDate, kOpen, kHigh, kLow, kClose, kVolume};
    default:
      return {kDate, kOpen, kHigh, kLow, kClose, kVolume, kOpenInterest};
  }
}

float ValueOf(const Bar& bar, Field field) {
  switch (field) {
    case kDate:
      return bar.date;
    case kTime:
      return bar.time;
    case kOpen:
      return bar.open;
    case kLow:
      return bar.low;
    case kHigh:
      return bar.high;
    case kClose:
      return bar.close;
    case kVolume:
      return bar.volume;
    case kOpenInterest:
      return bar.openInterest;
  }
  return 0.0f;
}

const char* DopLine(Field field) {
  switch (field) {
    case kDate:
      return "Date, 0, 0,\r\n";
    case kTime:
      return "Time, 0, 0,\r\n";
    case kOpen:
      return "Open, 3, 0,\r\n";
    case kLow:
      return "Low, 3, 0,\r\n";
    case kHigh:
      return "High, 3, 0,\r\n";
    case kClose:
      return "Close, 3, 0,\r\n";
    case kVolume:
      return "Volume, 0, 0,\r\n";
    case kOpenInterest:
      return "OI, 0, 0,\r\n";
  }
  return "Error, 0, 0,\r\n";
}

// How a price series moves. Prices are whole ticks of 1/denominator, so the
// walk is exact integer arithmetic and each stored value comes from a single
// correctly rounded division.
struct WalkStyle {
  int64_t denominator;
  int64_t startTicks;
  int64_t stepTicks;   // largest move from open to close
  int64_t rangeTicks;  // largest reach of high and low beyond open and close
  int64_t volumeLo;    // in round lots of 100
  int64_t volumeHi;
  int64_t openInterest;  // 0: the instrument carries none
};

class PriceWalk {
 public:
  PriceWalk(uint64_t seed, const WalkStyle& style)
      : rng_(seed), style_(style), close_(style.startTicks), openInterest_(style.openInterest) {}

  // high > low always holds, and open and close lie within them.
  Bar Next(float date, float time) {
    int64_t floor = std::max<int64_t>(style_.startTicks / 4, 2 * style_.rangeTicks + 2);
    int64_t open = Reflect(close_ + rng_.Uniform(-style_.stepTicks / 3, style_.stepTicks / 3), floor);
    int64_t close = Reflect(open + rng_.Uniform(-style_.stepTicks, style_.stepTicks), floor);
    int64_t high = std::max(open, close) + rng_.Uniform(1, style_.rangeTicks);
    int64_t low = std::min(open, close) - rng_.Uniform(0, style_.rangeTicks);
    close_ = close;
    Bar bar;
    bar.date = date;
    bar.time = time;
    bar.open = Price(open);
    bar.high = Price(high);
    bar.low = Price(low);
    bar.close = Price(close);
    bar.volume = static_cast<float>(rng_.Uniform(style_.volumeLo, style_.volumeHi) * 100);
    if (style_.openInterest > 0) {
      int64_t swing = style_.openInterest / 50;
      openInterest_ = std::max(style_.openInterest / 4, openInterest_ + rng_.Uniform(-swing, swing));
      bar.openInterest = static_cast<float>(openInterest_);
    }
    return bar;
  }

 private:
  static int64_t Reflect(int64_t ticks, int64_t floor) {
    return ticks < floor ? floor + (floor - ticks) : ticks;
  }
  float Price(int64_t ticks) const {
    return static_cast<float>(ticks) / static_cast<float>(style_.denominator);
  }

  Rng rng_;
  WalkStyle style_;
  int64_t close_;
  int64_t openInterest_;
};

std::vector<Bar> DailyBars(uint64_t seed, const WalkStyle& style, CivilDate first, CivilDate last) {
  PriceWalk walk(seed, style);
  std::vector<Bar> bars;
  for (const CivilDate& d : TradingDays(first, last)) bars.push_back(walk.Next(StoredDate(d), 0.0f));
  return bars;
}

// Weekly and monthly bars gather the trading days of each period into one
// bar dated on its last trading day.
std::vector<Bar> GroupedBars(uint64_t seed, const WalkStyle& style, CivilDate first, CivilDate last,
                             const std::function<bool(const CivilDate&, const CivilDate&)>& endsPeriod) {
  PriceWalk walk(seed, style);
  std::vector<CivilDate> days = TradingDays(first, last);
  std::vector<Bar> bars;
  Bar period;
  bool open = false;
  double volume = 0;
  for (size_t i = 0; i < days.size(); ++i) {
    Bar day = walk.Next(StoredDate(days[i]), 0.0f);
    if (!open) {
      period = day;
      volume = 0;
      open = true;
    }
    period.high = std::max(period.high, day.high);
    period.low = std::min(period.low, day.low);
    period.close = day.close;
    period.openInterest = day.openInterest;
    volume += day.volume;
    if (i + 1 == days.size() || endsPeriod(days[i], days[i + 1])) {
      period.date = day.date;
      period.volume = static_cast<float>(volume);
      bars.push_back(period);
      open = false;
    }
  }
  return bars;
}

std::vector<Bar> WeeklyBars(uint64_t seed, const WalkStyle& style, CivilDate first, CivilDate last) {
  return GroupedBars(seed, style, first, last, [](const CivilDate& day, const CivilDate& next) {
    return Weekday(next) <= Weekday(day);
  });
}

std::vector<Bar> MonthlyBars(uint64_t seed, const WalkStyle& style, CivilDate first, CivilDate last) {
  return GroupedBars(seed, style, first, last,
                     [](const CivilDate& day, const CivilDate& next) { return next.month != day.month; });
}

constexpr int kMarketOpen = 9 * 60 + 30;
constexpr int kMarketClose = 16 * 60;

// Bars stamped with their closing time, every `minutes` from the open, the
// last one at the close.
std::vector<Bar> IntradayBars(uint64_t seed, const WalkStyle& style, CivilDate first, int days, int minutes) {
  PriceWalk walk(seed, style);
  std::vector<Bar> bars;
  CivilDate d = first;
  for (int n = 0; n < days; d = NextDay(d)) {
    if (!IsTradingDay(d)) continue;
    ++n;
    int t = kMarketOpen;
    while (t < kMarketClose) {
      t = std::min(t + minutes, kMarketClose);
      bars.push_back(walk.Next(StoredDate(d), StoredTime(t)));
    }
  }
  return bars;
}

int BarsInFirstDay(const std::vector<Bar>& bars) {
  int n = 0;
  while (n < static_cast<int>(bars.size()) && bars[n].date == bars[0].date) ++n;
  return n;
}

void PutU16(Bytes& bytes, size_t offset, uint16_t value) {
  bytes[offset] = static_cast<uint8_t>(value & 0xFF);
  bytes[offset + 1] = static_cast<uint8_t>(value >> 8);
}

void PutText(Bytes& bytes, size_t offset, size_t width, const std::string& text) {
  for (size_t i = 0; i < width; ++i)
    bytes[offset + i] = i < text.size() ? static_cast<uint8_t>(text[i]) : ' ';
}

struct Instrument {
  int fileNumber;
  std::string name;
  std::string symbol;
  char period;
  int fieldCount;
  int16_t timeBase;
  std::vector<Bar> bars;
};

// One data directory: its master, data and column files, and the record of
// what it holds.
class DataDirectory {
 public:
  struct Entry {
    std::vector<Field> columns;
    Bytes dat;
    Bytes record;
    bool writeDat = true;
    bool writeDop = true;
    size_t instrument = 0;  // index into SampleTree::instruments
  };

  DataDirectory(SampleTree& tree, std::string directory) : tree_(tree), directory_(std::move(directory)) {
    tree_.directories.push_back(directory_);
  }

  Entry& Add(const Instrument& instrument) {
    Entry entry;
    entry.columns = Columns(instrument.fieldCount, instrument.period);
    size_t length = 4 * entry.columns.size();
    size_t count = instrument.bars.size() + 1;
    entry.dat.assign(length * count, 0);
    PutU16(entry.dat, 2, count > 0xFFFF ? 0 : static_cast<uint16_t>(count));  // unsigned, as writers store it
    for (size_t r = 0; r < instrument.bars.size(); ++r) {
      for (size_t c = 0; c < entry.columns.size(); ++c) {
        StoreMbfWord(&entry.dat[(r + 1) * length + 4 * c],
                     IEEE_MBF(ValueOf(instrument.bars[r], entry.columns[c])));
      }
    }
    entry.record.assign(kMasterRecordLength, 0);
    entry.record[0] = static_cast<uint8_t>(instrument.fileNumber);
    PutU16(entry.record, 1, 101);
    entry.record[3] = static_cast<uint8_t>(length);
    entry.record[4] = static_cast<uint8_t>(entry.columns.size());
    PutText(entry.record, 7, 16, instrument.name);
    entry.record[33] = static_cast<uint8_t>(instrument.period);
    PutU16(entry.record, 34, static_cast<uint16_t>(instrument.timeBase));
    PutText(entry.record, 36, 14, instrument.symbol);
    PutText(entry.record, 50, 2, "");

    SampleInstrument info;
    info.directory = directory_;
    info.fileNumber = instrument.fileNumber;
    info.name = instrument.name;
    info.symbol = instrument.symbol;
    info.fieldCount = instrument.fieldCount;
    info.period = instrument.period;
    info.records = static_cast<int>(instrument.bars.size());
    entry.instrument = tree_.instruments.size();
    tree_.instruments.push_back(info);
    entries_.push_back(std::move(entry));
    return entries_.back();
  }

  // Marks the instrument as damaged and records a DAT defect.
  void DatDefect(const Entry& entry, int32_t record, Field column, int code) {
    SampleInstrument& info = tree_.instruments[entry.instrument];
    info.sound = false;
    tree_.datDefects.push_back({directory_, info.fileNumber, record, ColumnOf(entry, column), code});
  }

  // Stores raw bytes over a value, as a damaged file would hold them.
  void Corrupt(Entry& entry, int32_t record, Field column, uint32_t word) {
    size_t length = 4 * entry.columns.size();
    StoreMbfWord(&entry.dat[(record + 1) * length + 4 * ColumnOf(entry, column)], word);
    DatDefect(entry, record, column, 0);
  }

  void MasterDefect(const Entry* entry, int code) {
    int fileNumber = 0;
    if (entry != nullptr) {
      SampleInstrument& info = tree_.instruments[entry->instrument];
      info.sound = false;
      fileNumber = info.fileNumber;
    }
    tree_.masterDefects.push_back({directory_, fileNumber, code});
  }

  void OmitDatFile(Entry& entry) {
    entry.writeDat = false;
    tree_.instruments[entry.instrument].hasDatFile = false;
    tree_.instruments[entry.instrument].records = 0;
  }

  void OmitDopFile(Entry& entry) {
    entry.writeDop = false;
    tree_.instruments[entry.instrument].hasDopFile = false;
  }

  // Fills every record's first and last dates from its data (the stored
  // words, as an editor closing the file leaves them); a record may then be
  // patched before the master is written.
  void SynchroniseDates() {
    for (Entry& entry : entries_) {
      size_t length = 4 * entry.columns.size();
      uint32_t first = 0;
      uint32_t last = 0;
      if (entry.dat.size() > length) {
        first = LoadMbfWord(&entry.dat[length]);
        last = LoadMbfWord(&entry.dat[entry.dat.size() - length]);
      }
      StoreMbfWord(&entry.record[25], first);
      StoreMbfWord(&entry.record[29], last);
    }
    synchronised_ = true;
  }

  // Writes master (reporting reportedCount instruments, or the true count when
  // negative) and every data and column file.
  void Finish(int reportedCount = -1) {
    if (!synchronised_) SynchroniseDates();
    Bytes master(kMasterRecordLength, 0);
    int lastNumber = 0;
    for (const Entry& entry : entries_) lastNumber = std::max<int>(lastNumber, entry.record[0]);
    PutU16(master, 0,
           static_cast<uint16_t>(reportedCount < 0 ? static_cast<int>(entries_.size()) : reportedCount));
    PutU16(master, 2, static_cast<uint16_t>(lastNumber));
    for (const Entry& entry : entries_) master.insert(master.end(), entry.record.begin(), entry.record.end());
    tree_.files.push_back({directory_ + "/master", master});
    for (const Entry& entry : entries_) {
      int number = tree_.instruments[entry.instrument].fileNumber;
      std::string base = directory_ + "/F" + std::to_string(number);
      if (entry.writeDat) tree_.files.push_back({base + ".DAT", entry.dat});
      if (entry.writeDop) {
        std::string text;
        for (Field field : entry.columns) text += DopLine(field);
        text += "\r\n";
        tree_.files.push_back({base + ".DOP", Bytes(text.begin(), text.end())});
      }
    }
  }

  static int ColumnOf(const Entry& entry, Field field) {
    auto it = std::find(entry.columns.begin(), entry.columns.end(), field);
    return static_cast<int>(it - entry.columns.begin());
  }

 private:
  SampleTree& tree_;
  std::string directory_;
  std::deque<Entry> entries_;  // a deque, so the references Add hands out stay valid
  bool synchronised_ = false;
};

// Price styles: 1990s stocks in eighths and sixteenths, later ones in cents.
constexpr WalkStyle kEighths{8, 8 * 24, 6, 3, 200, 2500, 0};
constexpr WalkStyle kSixteenths{16, 16 * 41, 12, 6, 500, 6000, 0};
constexpr WalkStyle kCents{100, 3275, 60, 35, 100, 4000, 0};
// Stocks in 7-field layouts carry an open interest of 0, as real stock data does.
constexpr WalkStyle kHighPricedCents{100, 8840, 140, 80, 300, 9000, 0};
constexpr WalkStyle kIntradayCents{100, 5210, 12, 6, 5, 120, 0};
constexpr WalkStyle kFutures{4, 4 * 1190, 6, 3, 10, 300, 350000};  // index points in quarters

void BuildStocks(SampleTree& tree) {
  DataDirectory dir(tree, "Stocks");
  dir.Add(
      {1, "ACME INDUSTRIES", "ACME", 'D', 5, 0, DailyBars(101, kSixteenths, {1998, 7, 1}, {2001, 6, 29})});
  dir.Add({2, "BOREALIS MINING", "BRML", 'D', 6, 0, DailyBars(102, kEighths, {1996, 1, 2}, {1998, 12, 31})});
  dir.Add({3, "CYGNUS SOFTWARE", "CYGS", 'D', 7, 0,
           DailyBars(103, kHighPricedCents, {2002, 1, 2}, {2004, 12, 31})});
  dir.Add({4, "DELTA AIRWAYS", "DLTA", 'W', 6, 0, WeeklyBars(104, kEighths, {1995, 1, 2}, {2004, 12, 31})});
  dir.Add(
      {5, "EQUINOX FUND", "EQNX", 'M', 5, 0, MonthlyBars(105, kSixteenths, {1990, 1, 2}, {2009, 12, 31})});
  DataDirectory::Entry& missing = dir.Add(
      {6, "FENWICK HOLDINGS", "FNWK", 'D', 6, 0, DailyBars(106, kCents, {2002, 1, 2}, {2003, 12, 31})});
  dir.OmitDatFile(missing);
  dir.MasterDefect(&missing, 0);
  dir.Finish();
}

void BuildIntraday(SampleTree& tree) {
  DataDirectory dir(tree, "Intraday");
  dir.Add({1, "HALCYON ENERGY", "HLCN", 'I', 4, 60, IntradayBars(201, kIntradayCents, {2005, 3, 1}, 10, 60)});
  // Across the turn of the century: 19xx dates without, 20xx dates with the
  // century digit.
  dir.Add({2, "IRONWOOD TECH", "IRWD", 'I', 7, 5, IntradayBars(202, kIntradayCents, {1999, 12, 28}, 5, 5)});
  dir.Add({3, "S&P 500 MAR05", "SPH5", 'I', 8, 15, IntradayBars(203, kFutures, {2005, 2, 14}, 5, 15)});
  dir.Finish();
}

void BuildDamagedData(SampleTree& tree) {
  DataDirectory dir(tree, "Damaged/Data");
  const CivilDate first{2002, 1, 2};
  const CivilDate last{2002, 3, 28};

  DataDirectory::Entry& corrupt =
      dir.Add({1, "CORRUPT NUMBERS", "CRPT", 'D', 6, 0, DailyBars(301, kCents, first, last)});
  dir.Corrupt(corrupt, 10, kClose, kStoredMinusOne);
  dir.Corrupt(corrupt, 20, kVolume, kStrayMantissa);
  dir.Corrupt(corrupt, 30, kDate, kAllBitsSet);

  std::vector<Bar> bars = DailyBars(302, kCents, first, last);
  std::swap(bars[15].high, bars[15].low);
  bars[15].close = bars[15].high;
  DataDirectory::Entry& highLow = dir.Add({2, "HIGH BELOW LOW", "HBLW", 'D', 5, 0, bars});
  dir.DatDefect(highLow, 15, kLow, 1);
  dir.DatDefect(highLow, 15, kLow, 3);

  bars = DailyBars(303, kCents, first, last);
  bars[25].close = bars[25].high + 0.5f;
  dir.DatDefect(dir.Add({3, "CLOSE ABOVE HIGH", "CABH", 'D', 6, 0, bars}), 25, kClose, 2);

  bars = DailyBars(304, kCents, first, last);
  bars[35].close = bars[35].low - 0.25f;
  dir.DatDefect(dir.Add({4, "CLOSE BELOW LOW", "CBLW", 'D', 5, 0, bars}), 35, kLow, 3);

  bars = DailyBars(305, kCents, first, last);
  bars[12].open = bars[12].low - 0.5f;
  dir.DatDefect(dir.Add({5, "OPEN BELOW LOW", "OBLW", 'D', 6, 0, bars}), 12, kOpen, 4);

  bars = DailyBars(306, kCents, first, last);
  bars[48].open = bars[48].high + 0.375f;
  dir.DatDefect(dir.Add({6, "OPEN ABOVE HIGH", "OABH", 'D', 6, 0, bars}), 48, kOpen, 5);

  // Day 32 of the record's own month: later than the date before it, so the
  // order tests stay quiet.
  bars = DailyBars(307, kCents, first, last);
  bars[40].date = static_cast<float>(static_cast<int>(bars[40].date) / 100 * 100 + 32);
  dir.DatDefect(dir.Add({7, "INVALID DATES", "INVD", 'D', 6, 0, bars}), 40, kDate, 6);

  // 24:00:00 for the close of the second day; the next record starts a new
  // day, so the time order test stays quiet.
  bars = IntradayBars(308, kIntradayCents, {2002, 3, 4}, 5, 30);
  int secondClose = 2 * BarsInFirstDay(bars) - 1;
  bars[secondClose].time = 240000.0f;
  dir.DatDefect(dir.Add({8, "INVALID TIMES", "INVT", 'I', 7, 30, bars}), secondClose, kTime, 7);

  bars = DailyBars(309, kCents, first, last);
  bars[30].date = bars[29].date;
  std::swap(bars[45].date, bars[46].date);
  DataDirectory::Entry& dates = dir.Add({9, "DATES OUT ORDER", "DOOO", 'D', 6, 0, bars});
  dir.DatDefect(dates, 30, kDate, 8);
  dir.DatDefect(dates, 46, kDate, 8);

  bars = IntradayBars(310, kFutures, {2002, 3, 11}, 3, 15);
  int swapped = BarsInFirstDay(bars) + 5;
  std::swap(bars[swapped - 1], bars[swapped]);
  dir.DatDefect(dir.Add({10, "TIMES OUT ORDER", "TOOO", 'I', 8, 15, bars}), swapped, kDate, 9);

  dir.Finish();
}

void BuildDamagedMaster(SampleTree& tree) {
  DataDirectory dir(tree, "Damaged/Master");
  const CivilDate first{2003, 1, 2};
  const CivilDate last{2003, 3, 31};

  DataDirectory::Entry& noData =
      dir.Add({1, "MISSING DATA", "MSDT", 'D', 6, 0, DailyBars(401, kCents, first, last)});
  dir.OmitDatFile(noData);
  dir.MasterDefect(&noData, 0);

  DataDirectory::Entry& noColumns =
      dir.Add({2, "MISSING COLUMNS", "MSDP", 'D', 6, 0, DailyBars(402, kCents, first, last)});
  dir.OmitDopFile(noColumns);
  dir.MasterDefect(&noColumns, 1);

  DataDirectory::Entry& fileType =
      dir.Add({3, "BAD FILE TYPE", "BFTY", 'D', 6, 0, DailyBars(403, kCents, first, last)});
  PutU16(fileType.record, 1, 0);
  dir.MasterDefect(&fileType, 2);

  DataDirectory::Entry& fieldCount =
      dir.Add({4, "BAD FIELD COUNT", "BFCT", 'D', 6, 0, DailyBars(404, kCents, first, last)});
  fieldCount.record[4] = 7;
  dir.MasterDefect(&fieldCount, 3);

  DataDirectory::Entry& startDate =
      dir.Add({5, "START DATE OFF", "SDOF", 'D', 6, 0, DailyBars(405, kCents, first, last)});
  dir.MasterDefect(&startDate, 4);

  std::vector<Bar> endBars = DailyBars(406, kCents, first, last);
  float staleLast = endBars[endBars.size() - 4].date;
  DataDirectory::Entry& endDate = dir.Add({6, "END DATE OFF", "EDOF", 'D', 6, 0, endBars});
  dir.MasterDefect(&endDate, 5);

  DataDirectory::Entry& timeBase =
      dir.Add({7, "DAILY TIME BASE", "DTBS", 'D', 6, 0, DailyBars(407, kCents, first, last)});
  PutU16(timeBase.record, 34, 5);
  dir.MasterDefect(&timeBase, 6);

  DataDirectory::Entry& period =
      dir.Add({8, "BAD PERIOD", "BPRD", 'I', 7, 5, IntradayBars(408, kIntradayCents, {2003, 3, 3}, 2, 5)});
  period.record[33] = 'X';
  dir.MasterDefect(&period, 7);

  DataDirectory::Entry& reserved =
      dir.Add({9, "RESERVED BYTES", "RSVB", 'D', 6, 0, DailyBars(409, kCents, first, last)});
  reserved.record[5] = 1;
  dir.MasterDefect(&reserved, 10);

  DataDirectory::Entry& recordSize =
      dir.Add({10, "ODD RECORD SIZE", "ODRL", 'D', 7, 0, DailyBars(410, kHighPricedCents, first, last)});
  recordSize.record[3] = 36;
  recordSize.record[4] = 9;
  dir.MasterDefect(&recordSize, 11);

  DataDirectory::Entry& negativeBase = dir.Add(
      {11, "NEGATIVE BASE", "NGTB", 'I', 4, -5, IntradayBars(411, kIntradayCents, {2003, 3, 3}, 3, 60)});
  dir.MasterDefect(&negativeBase, 6);

  dir.SynchroniseDates();
  CivilDate dayBefore = PreviousDay(TradingDays(first, last).front());
  StoreMbfWord(&startDate.record[25], IEEE_MBF(StoredDate(dayBefore)));
  StoreMbfWord(&endDate.record[29], IEEE_MBF(staleLast));
  dir.MasterDefect(nullptr, 8);
  dir.Finish(13);
}

void BuildDamagedHeader(SampleTree& tree) {
  DataDirectory dir(tree, "Damaged/Header");
  dir.Add({1, "GAMMA CHEMICALS", "GMCH", 'D', 5, 0, DailyBars(501, kCents, {2004, 6, 1}, {2004, 8, 31})});
  dir.Add({2, "HARBOUR FREIGHT", "HBFR", 'D', 6, 0, DailyBars(502, kCents, {2004, 6, 1}, {2004, 8, 31})});
  dir.Add({3, "INDIGO TEXTILES", "INTX", 'D', 7, 0,
           DailyBars(503, kHighPricedCents, {2004, 6, 1}, {2004, 8, 31})});
  dir.MasterDefect(nullptr, 9);
  dir.Finish(1);
}

void BuildNested(SampleTree& tree) {
  tree.directories.push_back("Nested");
  tree.directories.push_back("Nested/a");
  tree.directories.push_back("Nested/a/b");
  tree.directories.push_back("Nested/a/Scratch");
  std::vector<Bar> juniper = DailyBars(601, kCents, {2006, 1, 3}, {2006, 3, 31});
  {
    DataDirectory dir(tree, "Nested/a/b/c");
    dir.Add({1, "JUNIPER FOODS", "JNPR", 'D', 6, 0, juniper});
    dir.Finish();
  }
  {
    DataDirectory dir(tree, "Nested/Archive of International Equities");
    dir.Add(
        {1, "KESTREL AG", "KSTL", 'D', 7, 0, DailyBars(602, kHighPricedCents, {2007, 1, 2}, {2007, 6, 29})});
    dir.Finish();
  }
  {
    DataDirectory dir(tree, "Nested/.backup");
    dir.Add({1, "JUNIPER FOODS", "JNPR", 'D', 6, 0, juniper});
    dir.Finish();
  }
}

void BuildEmpty(SampleTree& tree) {
  tree.directories.push_back("Empty");
  tree.files.push_back({"Empty/master", Bytes(kMasterRecordLength, 0)});
}

}  // namespace

SampleTree BuildSampleTree() {
  SampleTree tree;
  BuildStocks(tree);
  BuildIntraday(tree);
  tree.directories.push_back("Damaged");
  BuildDamagedData(tree);
  BuildDamagedMaster(tree);
  BuildDamagedHeader(tree);
  BuildNested(tree);
  BuildEmpty(tree);
  return tree;
}

const SampleTree& GetSampleTree() {
  static const SampleTree tree = BuildSampleTree();
  return tree;
}

bool WriteSampleData(const std::string& root, std::string* error) {
  namespace fs = std::filesystem;
  std::string trimmed = root;
  while (trimmed.size() > 1 && (trimmed.back() == '/' || trimmed.back() == '\\')) trimmed.pop_back();
  const fs::path base(trimmed);
  const SampleTree& tree = GetSampleTree();
  auto fail = [&](const std::string& message) {
    if (error != nullptr) *error = message;
    return false;
  };
  if (trimmed.empty()) return fail("no directory given: name the directory to write the sample into");
  std::error_code code;
  // The sample's names are the names real data has: written anywhere else,
  // it would replace someone's master or data files.
  if (fs::is_directory(base, code)) {
    std::vector<std::string> names;
    for (fs::directory_iterator it(base, code), end; !code && it != end; it.increment(code))
      names.push_back(it->path().filename().string());
    if (code) return fail("Unable to list " + base.string());
    if (!names.empty()) {
      std::sort(names.begin(), names.end());
      std::string held;
      for (size_t i = 0; i < names.size() && i < 3; ++i) held += (i > 0 ? ", " : "") + names[i];
      if (names.size() > 3) held += " and " + std::to_string(names.size() - 3) + " more";
      return fail(base.string() + " is not empty (it holds " + held +
                  "); the sample is written only into an empty or new directory");
    }
  }
  fs::create_directories(base, code);
  if (!fs::is_directory(base, code)) return fail("Unable to create directory " + base.string());
  for (const std::string& directory : tree.directories) {
    fs::path path = base / fs::path(directory);
    fs::create_directories(path, code);
    if (!fs::is_directory(path, code)) return fail("Unable to create directory " + path.string());
  }
  for (const SampleFile& file : tree.files) {
    fs::path path = base / fs::path(file.path);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(file.bytes.data()),
              static_cast<std::streamsize>(file.bytes.size()));
    out.close();
    if (!out) return fail("Unable to write " + path.string());
  }
  return true;
}

}  // namespace sample
