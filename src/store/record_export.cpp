#include "store/record_export.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include <nlohmann/json.hpp>

#include "filelayer/file_guard.h"
#include "filelayer/file_layer.h"
#include "primitives/dates.h"
#include "primitives/mbf.h"
#include "primitives/number_text.h"
#include "store/file_names.h"

namespace {

// The values of a row, in the layouts' order, by the column type that holds each.
constexpr FieldType kValueTypes[8] = {FieldType::Date,   FieldType::Time,        FieldType::Open,
                                      FieldType::High,   FieldType::Low,         FieldType::Close,
                                      FieldType::Volume, FieldType::OpenInterest};
constexpr size_t kFirstValueColumn = 5;  // kTableColumns[5 + i] names value i
constexpr size_t kDate = 0, kTime = 1;

constexpr int32_t kBlockBytes = 1 << 16;
// Reported values a data file: beyond them one line counts the rest.
constexpr int kReportsPerFile = 10;
// A row's values: eight leads, eight numbers (or quoted dates), the line end,
// each short text copied whole.
constexpr size_t kValuesRoom = 8 * (24 + kNumberTextRoom) + 24;

void AppendCsvField(std::string& line, std::string_view text) {
  if (text.find_first_of(",\"\r\n") == std::string_view::npos) {
    line += text;
    return;
  }
  line += '"';
  for (const char c : text) {
    if (c == '"') line += '"';
    line += c;
  }
  line += '"';
}

// A JSON string, its text UTF-8 already (names are converted before they get here).
void AppendJsonString(std::string& line, std::string_view text) {
  line += nlohmann::json(text).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

// The period letter as master stores it; empty for any other byte.
std::string PeriodText(char period) {
  const char upper = static_cast<char>(std::toupper(static_cast<unsigned char>(period)));
  return period != 0 && kPeriodLetters.find(upper) != std::string_view::npos ? std::string(1, period) : "";
}

char* Copy(char* out, std::string_view text) {
  std::memcpy(out, text.data(), text.size());
  return out + text.size();
}

// value as `width` digits, zero-padded.
char* WriteDigits(char* out, unsigned value, int width) {
  for (char* at = out + width; at != out; value /= 10) *--at = static_cast<char>('0' + value % 10);
  return out + width;
}

// A stored date or time that is a whole number below the limit.
std::optional<unsigned> Whole(float value, float limit) {
  if (!(value >= 0.0f && value < limit)) return std::nullopt;
  const auto whole = static_cast<unsigned>(value);
  return static_cast<float>(whole) == value ? std::optional<unsigned>(whole) : std::nullopt;
}

bool ValidDate(float value, int16_t* day, int16_t* month, int16_t* year) {
  return Whole(value, 1e7f) && ExtractDate(value, day, month, year) == 1;
}

bool ValidTime(float value, int16_t* hour, int16_t* minute, int16_t* second) {
  return Whole(value, 240000.0f) && ExtractTime(value, hour, minute, second) &&
         IsValidTime(*hour, *minute, *second) && *second < 60;
}

// Three parts with the separator between them (none when it is 0).
char* WriteParts(char* out, unsigned first, int firstWidth, unsigned second, unsigned third, char separator) {
  out = WriteDigits(out, first, firstWidth);
  if (separator != 0) *out++ = separator;
  out = WriteDigits(out, second, 2);
  if (separator != 0) *out++ = separator;
  return WriteDigits(out, third, 2);
}

// Why value number `value` of a record, stored as it is, cannot be written.
std::string Unreadable(size_t value, float stored) {
  std::string text(value == 7 ? "open interest" : kTableColumns[kFirstValueColumn + value]);
  if (stored == kCorruptNumber) return text + " is corrupt";
  char number[kNumberTextRoom];
  text += ' ';
  text.append(number, WriteShortestFloat(number, stored));
  text += value == kDate ? " is not a valid date" : " is not a valid time";
  return text;
}

}  // namespace

std::string PathTextUtf8(const char* path, CodePage page) {
  std::string text = NativePath(path);
  while (text.size() > 1 && (text.back() == '/' || text.back() == '\\')) text.pop_back();
  return IsUtf8(text) ? text : ToUtf8(text, page);
}

char* TextOutput::Reserve(size_t size) {
  if (used_ + size > capacity_) {
    Flush();
    if (size > capacity_) buffer_.reset(new char[capacity_ = size]);
  }
  return buffer_.get() + used_;
}

void TextOutput::Append(std::string_view text) {
  Commit(Copy(Reserve(text.size()), text));
}

char* RecordExporter::ShortText::Put(char* out) const {
  std::memcpy(out, text, sizeof text);
  return out + size;
}

bool TextOutput::Flush() {
  if (used_ > 0 && !failed_) failed_ = !sink_.Write(buffer_.get(), used_);
  used_ = 0;
  return !failed_;
}

// What one instrument's rows share.
struct RecordExporter::Plan {
  std::string prefix;  // the fields before the date, with their separators
  int columns[8];      // the record's column holding each value, or -1
  std::string path;    // the data file, for reports
  int reports = 0;
};

RecordExporter::RecordExporter(TextOutput& out, const ExportOptions& options, Warn warn)
    : out_(out), options_(options), warn_(std::move(warn)) {
  const bool json = options_.format == ExportFormat::JsonLines;
  for (size_t i = 1; i < 8; ++i) {
    std::string lead = ",";
    if (json) {
      lead += '"';
      lead += kTableColumns[kFirstValueColumn + i];
      lead += "\":";
    }
    leads_[i].Set(lead);
  }
  absent_.Set(json ? "null" : "");
  lineEnd_.Set(json ? "}\n" : "\n");
}

void RecordExporter::WriteHeader() {
  if (options_.format == ExportFormat::JsonLines) return;
  std::string line;
  const auto join = [&](const auto& columns) {
    for (std::string_view column : columns) {
      if (!line.empty()) line += ',';
      line += column;
    }
  };
  if (options_.layout == TextLayout::Table) {
    join(kTableColumns);
  } else {
    join(kMetaStockColumns);
  }
  line += '\n';
  out_.Append(line);
}

void RecordExporter::Report(Plan& plan, int32_t number, const std::string& what) {
  if (++plan.reports <= kReportsPerFile) warn_(plan.path + " record " + std::to_string(number) + ": " + what);
}

int64_t RecordExporter::ExportInstrument(const char* directory, const DirectoryInstrument& instrument) {
  Plan plan;
  plan.path = NativePath(instrument.dataFileName.c_str());
  const int32_t length = instrument.layout.RecordLength();
  if (!instrument.layoutKnown || instrument.fieldCount < 1 || length < 4 * instrument.fieldCount) {
    warn_(plan.path + ": its fields are in no layout Quorvex reads; not exported");
    return 0;
  }
  std::fill(std::begin(plan.columns), std::end(plan.columns), -1);
  for (int c = 0; c < instrument.fieldCount && c < kMaxFields; ++c) {
    const auto* value = std::find(std::begin(kValueTypes), std::end(kValueTypes), instrument.fieldTypes[c]);
    if (value != std::end(kValueTypes)) plan.columns[value - std::begin(kValueTypes)] = c;
  }

  const std::string symbol = ToUtf8(instrument.symbol, options_.codePage);
  const std::string period = PeriodText(instrument.period);
  const std::string file = instrument.source == InstrumentSource::Xmaster
                               ? MWDFileName("", instrument.fileNumber)
                               : DATFileName("", instrument.fileNumber);
  std::string& prefix = plan.prefix;
  if (options_.format == ExportFormat::JsonLines) {
    const auto key = [&](std::string_view name) {
      prefix += prefix.empty() ? "{\"" : ",\"";
      prefix += name;
      prefix += "\":";
    };
    const std::string texts[] = {PathTextUtf8(directory, options_.codePage), file, symbol,
                                 ToUtf8(instrument.name, options_.codePage)};
    for (size_t i = 0; i < std::size(texts); ++i) {
      key(kTableColumns[i]);
      AppendJsonString(prefix, texts[i]);
    }
    key("period");
    if (period.empty()) {
      prefix += "null";
    } else {
      AppendJsonString(prefix, period);
    }
    key("date");
  } else if (options_.layout == TextLayout::Table) {
    for (const std::string& text : {PathTextUtf8(directory, options_.codePage), file, symbol,
                                    ToUtf8(instrument.name, options_.codePage), period}) {
      AppendCsvField(prefix, text);
      prefix += ',';
    }
  } else {
    AppendCsvField(prefix, symbol);
    prefix += ',';
    prefix += period;
    prefix += ',';
  }

  const FileGuard data(SOpenFile(instrument.dataFileName.c_str(), kOpenReadOnly, kOpenShared,
                                 static_cast<uint32_t>(length), kOpenNotTemporary));
  if (!data.Valid()) {
    warn_(plan.path + (Exists(instrument.dataFileName.c_str()) ? ": cannot be opened" : ": no such file") +
          "; not exported");
    return 0;
  }
  const int32_t size = FileLength(data.Get());
  const int32_t records = std::max(size / length - 1, 0);
  if (size > length && size % length != 0) {
    warn_(plan.path + ": " + std::to_string(size % length) +
          " bytes after the last whole record; not exported");
  }
  const int32_t blockRecords = std::max(kBlockBytes / length, 1);
  block_.resize(std::max(block_.size(), static_cast<size_t>(blockRecords) * static_cast<size_t>(length)));
  int64_t exported = 0;
  for (int32_t first = 0; first < records && !out_.Failed(); first += blockRecords) {
    const int32_t count = std::min(blockRecords, records - first);
    if (!ReadBlock(data.Get(), block_.data(), static_cast<uint32_t>(count * length), (first + 1) * length,
                   0)) {
      warn_(plan.path + " record " + std::to_string(first) + " on: cannot be read; not exported");
      break;
    }
    for (int32_t r = 0; r < count; ++r) ExportRecord(plan, block_.data() + r * length, first + r);
    exported += count;
  }
  if (plan.reports > kReportsPerFile) {
    warn_(plan.path + ": " + std::to_string(plan.reports - kReportsPerFile) +
          " more values not exported as stored");
  }
  return exported;
}

void RecordExporter::ExportRecord(Plan& plan, const unsigned char* record, int32_t number) {
  const bool json = options_.format == ExportFormat::JsonLines;
  const bool table = json || options_.layout == TextLayout::Table;
  float stored[8] = {};
  for (size_t value = 0; value < 8; ++value) {
    if (plan.columns[value] >= 0) stored[value] = MBF_IEEE(LoadMbfWord(record + 4 * plan.columns[value]));
  }
  int16_t day = 0, month = 0, year = 0;
  const bool dated = plan.columns[kDate] >= 0 && ValidDate(stored[kDate], &day, &month, &year);
  if (options_.from || options_.to) {
    if (!dated) {
      Report(plan, number, Unreadable(kDate, stored[kDate]) + "; record left out");
      return;
    }
    if ((options_.from && stored[kDate] < *options_.from) || (options_.to && stored[kDate] > *options_.to))
      return;
  }

  char* out = Copy(out_.Reserve(plan.prefix.size() + kValuesRoom), plan.prefix);
  for (size_t value = 0; value < 8; ++value) {
    out = leads_[value].Put(out);
    int16_t hour = 0, minute = 0, second = 0;
    if (plan.columns[value] < 0) {
      out = absent_.Put(out);
    } else if (value > kTime && stored[value] != kCorruptNumber) {
      out = WriteShortestFloat(out, stored[value]);
    } else if (value == kDate && dated) {
      if (json) *out++ = '"';
      out = WriteParts(out, static_cast<unsigned>(1900 + year), 4, static_cast<unsigned>(month),
                       static_cast<unsigned>(day), table ? kTableDateSeparator : 0);
      if (json) *out++ = '"';
    } else if (value == kTime && ValidTime(stored[value], &hour, &minute, &second)) {
      if (json) *out++ = '"';
      out = WriteParts(out, static_cast<unsigned>(hour), 2, static_cast<unsigned>(minute),
                       static_cast<unsigned>(second), table ? kTableTimeSeparator : 0);
      if (json) *out++ = '"';
    } else {
      out = absent_.Put(out);
      Report(plan, number, Unreadable(value, stored[value]) + "; left empty");
    }
  }
  out_.Commit(lineEnd_.Put(out));
}

bool ReplacingFileSink::Open(const std::string& fileName) {
  Abandon();
  if (platform::IdentifyDirectory(fileName)) return false;
  if (platform::CanOpenForReading(fileName)) {
    // An existing file that the replacement would fail on: refused now, before any work.
    platform::OpenRequest request;
    request.access = platform::Access::ReadWrite;
    platform::FileRef existing = platform::Open(fileName, request);
    if (existing == nullptr) return false;
    platform::Close(existing);
  }
  for (int attempt = 1; attempt <= 100 && file_ == nullptr; ++attempt) {
    std::string temp = fileName + ".tmp";
    if (attempt > 1) temp += std::to_string(attempt);
    const platform::NewFile made = platform::CreateNewFile(temp);
    if (made == platform::NewFile::Failed) return false;
    if (made == platform::NewFile::Exists) continue;
    platform::OpenRequest request;
    request.access = platform::Access::ReadWrite;
    request.shareRead = false;
    file_ = platform::Open(temp, request);
    if (file_ == nullptr) {
      platform::RemoveFile(temp);
      return false;
    }
    fileName_ = fileName;
    tempName_ = temp;
    written_ = 0;
  }
  return file_ != nullptr;
}

bool ReplacingFileSink::Write(const char* bytes, size_t size) {
  if (file_ == nullptr) return false;
  while (size > 0) {
    const auto piece = static_cast<uint32_t>(std::min<size_t>(size, size_t{1} << 30));
    if (platform::WriteAt(file_, bytes, piece, written_) != piece) return false;
    written_ += piece, bytes += piece, size -= piece;
  }
  return true;
}

bool ReplacingFileSink::Commit() {
  if (file_ == nullptr) return false;
  platform::Close(file_);
  file_ = nullptr;
  if (platform::ReplaceFileWith(tempName_, fileName_)) {
    tempName_.clear();
    return true;
  }
  Abandon();
  return false;
}

void ReplacingFileSink::Abandon() {
  if (file_ != nullptr) platform::Close(file_);
  file_ = nullptr;
  if (!tempName_.empty()) platform::RemoveFile(tempName_);
  tempName_.clear();
}
