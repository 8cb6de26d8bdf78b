// Probes of an existing data file: its first and last dates, its record length
// and whether it is intraday, judged from the bytes alone (the master record
// that should describe the file is what is being checked).
//
// Record length. Every record begins with its date, so at the true length R
// the values at offsets R, 2R, 3R ... are all stored dates (whole numbers that
// split into a valid date) and never fall; and the file is a whole number of
// records. At a wrong length the same offsets land in other columns, and
// prices, volumes and times are rarely whole-number dates, still less in
// order. A single value that looks like a date (a volume of 960115) proves
// nothing, which is why a scan that stops at the first two date-like values
// goes wrong. So every length from 16 to 32 in steps of 4 that divides the
// file length is weighed over the whole file: each valid date counts for it,
// each value that is not a date and each fall from one date to the next
// counts against it, so a few corrupt records cost a little and do not
// overturn the answer. The best score wins: a length that reads every date
// of the file outscores one that reads only some of them (32 reads every
// other date of a 16-byte file). On a tie the length the header's record
// count agrees with wins, then the shorter one. A header-only file scores 0
// at its own length. A winner with no positive support is accepted only when
// it is the one length the header's record count confirms.
//
// Intraday. Only intraday layouts have 4 and 8 fields, so 16- and 32-byte
// records are intraday. 28-byte records are either date, time, open, high,
// low, close, volume or date, open, high, low, close, volume, open interest;
// 20- and 24-byte records have only daily, weekly and monthly layouts, but a
// file may still carry times in them, and callers want to know whether the
// records carry a time column. Almost every price passes a time test on its
// own (120.5 formats as 000121), so column 1 is judged by what only times do:
//  - a time is a whole number below 240000 that splits into a valid time
//    (prices with cents, and volumes above 235959, are not times);
//  - dates repeat from record to record within a day, with a time that rises
//    each time: each such pair counts for intraday; in an end-of-day file a
//    repeated date is a duplicate, and a pair whose time does not rise counts
//    against;
//  - for 28-byte records, each record is also read both ways and must form a
//    sound bar (low <= open, close <= high; an open of 0 means none): a
//    record that is sound only as intraday counts for it, only as daily
//    against it (a time read as an open lies far above the high that follows
//    it; a volume read as a close lies far above the high before it). This
//    decides files with one bar a day, and files of a single record.
// The file is intraday when the evidence for outweighs the evidence against;
// with none either way (20- and 24-byte records without repeated dates) it is
// not.
#include "store/dat_probe.h"

#include <cmath>
#include <vector>

#include "filelayer/file_guard.h"
#include "primitives/dates.h"
#include "primitives/mbf.h"
#include "store/dat_file.h"

namespace {

constexpr int kCandidateLengths[] = {16, 20, 24, 28, 32};
constexpr int kHeaderCountOffset = 2;
constexpr float kLastTime = 240000.0f;

float ValueAt(std::span<const uint8_t> file, size_t offset) {
  return MBF_IEEE(LoadMbfWord(file.data() + offset));
}

bool IsWhole(float value) {
  return value == std::floor(value);
}

bool IsStoredDate(float value) {
  return value > 0.0f && IsWhole(value) && IsValidFloatDate(value);
}

bool IsStoredTime(float value) {
  return value >= 0.0f && value < kLastTime && IsWhole(value) && IsValidFloatTime(value);
}

uint16_t HeaderCount(std::span<const uint8_t> file) {
  if (file.size() < kHeaderCountOffset + 2) return 0;
  return static_cast<uint16_t>(file[kHeaderCountOffset] | (file[kHeaderCountOffset + 1] << 8));
}

struct Support {
  int length = 0;
  int score = 0;
  int dates = 0;
  bool headerAgrees = false;
};

Support Weigh(std::span<const uint8_t> file, int length) {
  Support support;
  support.length = length;
  const size_t records = file.size() / static_cast<size_t>(length);
  support.headerAgrees = HeaderCount(file) == records;
  int falls = 0;
  int misses = 0;
  float previous = -1.0f;
  for (size_t p = 1; p < records; ++p) {
    const float date = ValueAt(file, p * static_cast<size_t>(length));
    if (!IsStoredDate(date)) {
      ++misses;
      continue;
    }
    ++support.dates;
    if (date < previous) ++falls;
    previous = date;
  }
  support.score = support.dates - misses - falls;
  return support;
}

bool Better(const Support& a, const Support& b) {
  if (a.score != b.score) return a.score > b.score;
  if (a.headerAgrees != b.headerAgrees) return a.headerAgrees;
  return a.length < b.length;
}

// A sound bar; an open of 0 means the source gave none.
bool IsBar(float open, float high, float low, float close) {
  if (open < 0.0f || high <= 0.0f || low < 0.0f || close < 0.0f) return false;
  if (low > high || close < low || close > high) return false;
  return open == 0.0f || (open >= low && open <= high);
}

// Column 1 as a time column of records of `length` bytes (20, 24 or 28).
int TimeColumnEvidence(std::span<const uint8_t> file, size_t length) {
  const size_t records = file.size() / length;
  const bool weighBars = length == 28;
  int evidence = 0;
  bool havePrevious = false;
  float previousDate = 0.0f;
  float previousTime = 0.0f;
  bool previousIsTime = false;
  for (size_t p = 1; p < records; ++p) {
    float column[7] = {};
    for (size_t c = 0; c < length / 4 && c < 7; ++c) column[c] = ValueAt(file, p * length + 4 * c);
    if (!IsStoredDate(column[0])) {
      // A corrupt record tells nothing and breaks the run of its day.
      havePrevious = false;
      continue;
    }
    const bool isTime = IsStoredTime(column[1]);
    if (weighBars) {
      evidence += static_cast<int>(isTime && IsBar(column[2], column[3], column[4], column[5]));
      evidence -= static_cast<int>(IsBar(column[1], column[2], column[3], column[4]));
    }
    if (havePrevious && column[0] == previousDate) {
      evidence += isTime && previousIsTime && column[1] > previousTime ? 1 : -1;
    }
    havePrevious = true;
    previousDate = column[0];
    previousTime = column[1];
    previousIsTime = isTime;
  }
  return evidence > 0 ? 1 : 0;
}

// The whole file, read through the file layer without changing it; empty
// when it cannot be opened or read.
bool ReadWholeFile(const char* directory, int fileNumber, std::vector<uint8_t>* bytes) {
  FileGuard dat(SOpenFile(DATFileName(directory, fileNumber).c_str(), kOpenReadOnly, kOpenShared,
                          kByteRecords, kOpenTemporary));
  if (!dat.Valid()) return false;
  const int32_t length = FileLength(dat.Get());
  bytes->assign(static_cast<size_t>(std::max(length, 0)), 0);
  return length <= 0 || ReadBlock(dat.Get(), bytes->data(), static_cast<uint32_t>(length), 0, 0);
}

// The date column of the record at offset, or -1.0 when the file cannot be
// opened or the record is not all there.
float DateAt(const char* directory, int fileNumber, const MasterRecord& record, bool last) {
  FileGuard dat(SOpenFile(DATFileName(directory, fileNumber).c_str(), kOpenReadOnly, kOpenShared,
                          kByteRecords, kOpenTemporary));
  if (!dat.Valid()) return -1.0f;
  const int32_t recordLength = record.RecordLength();
  const int32_t length = FileLength(dat.Get());
  // No data record (only a header, or a record length that cannot hold a
  // date): nothing was read, and the caller must not take a date from it.
  if (recordLength < 4 || length < 2 * recordLength) return -1.0f;
  unsigned char bytes[4];
  if (!ReadBlock(dat.Get(), bytes, 4, last ? length - recordLength : recordLength, 0)) return -1.0f;
  return MBF_IEEE(LoadMbfWord(bytes));
}

}  // namespace

uint16_t RecordLengthOfContents(std::span<const uint8_t> file) {
  Support best;
  int fitting = 0;
  int confirmedByHeader = 0;
  int confirmedLength = 0;
  for (int length : kCandidateLengths) {
    if (file.size() < static_cast<size_t>(length) || file.size() % length != 0) continue;
    const Support support = Weigh(file, length);
    if (fitting++ == 0 || Better(support, best)) best = support;
    if (support.headerAgrees) {
      ++confirmedByHeader;
      confirmedLength = length;
    }
  }
  if (fitting == 0) return kUnknownRecordLength;
  const bool headerOnly = file.size() == static_cast<size_t>(best.length);
  if (best.score > 0 || headerOnly) return static_cast<uint16_t>(best.length);
  if (confirmedByHeader == 1) return static_cast<uint16_t>(confirmedLength);
  return kUnknownRecordLength;
}

int IntradayContents(std::span<const uint8_t> file, int recordLength) {
  switch (recordLength) {
    case 16:
    case 32:
      return 1;
    case 20:
    case 24:
    case 28:
      return TimeColumnEvidence(file, static_cast<size_t>(recordLength));
    default:
      return 0;
  }
}

float GetDATStartDate(const char* directory, int fileNumber, const MasterRecord& record) {
  return DateAt(directory, fileNumber, record, false);
}

float GetDATEndDate(const char* directory, int fileNumber, const MasterRecord& record) {
  return DateAt(directory, fileNumber, record, true);
}

int IsIntra(const char* directory, int fileNumber) {
  std::vector<uint8_t> bytes;
  if (!ReadWholeFile(directory, fileNumber, &bytes)) return 0;
  const uint16_t length = RecordLengthOfContents(bytes);
  if (length == kUnknownRecordLength) return 0;
  return IntradayContents(bytes, length);
}

uint16_t AscertainRecordLength(const char* directory, int fileNumber) {
  std::vector<uint8_t> bytes;
  if (!ReadWholeFile(directory, fileNumber, &bytes)) return kUnknownRecordLength;
  return RecordLengthOfContents(bytes);
}
