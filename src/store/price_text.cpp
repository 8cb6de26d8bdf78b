#include "store/price_text.h"

// GCC 12 at -O2 warns of a copy of the file name inside the library's error
// types (a name that it cuts on purpose).
#pragma GCC diagnostic push
#if !defined(__clang__)  // clang has no such warning
#pragma GCC diagnostic ignored "-Wstringop-truncation"
#endif
#include <libfccp/csv.h>
#pragma GCC diagnostic pop

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string_view>

#include "filelayer/file_guard.h"
#include "filelayer/file_layer.h"
#include "primitives/dates.h"
#include "primitives/mbf.h"
#include "primitives/text_fields.h"

namespace {

// The header names each column answers to (after angle brackets are taken
// off, without regard to case); the first is the one messages use.
struct ColumnNames {
  TextColumn column;
  std::string_view names[3];
};
constexpr ColumnNames kColumnNames[kTextColumns] = {
    {TextColumn::Date, {"date", "dtyyyymmdd"}},
    {TextColumn::Time, {"time"}},
    {TextColumn::Open, {"open"}},
    {TextColumn::High, {"high"}},
    {TextColumn::Low, {"low"}},
    {TextColumn::Close, {"close"}},
    {TextColumn::Volume, {"volume", "vol"}},
    {TextColumn::OpenInterest, {"open_interest", "openint", "oi"}},
    {TextColumn::Directory, {"directory"}},
    {TextColumn::File, {"file"}},
    {TextColumn::Symbol, {"symbol", "ticker"}},
    {TextColumn::Name, {"name"}},
    {TextColumn::Period, {"period", "per"}},
};

// Fields are split at commas outside double quotes, then trimmed of blanks
// and tabs, then unquoted: the library's own policies.
using Quoting = io::double_quote_escape<',', '"'>;
using Trimming = io::trim_chars<' ', '\t'>;

// The library's reader takes its bytes from here: the file layer's handle on
// the text file. A zero byte ends the reading with the line it lies on (a
// UTF-16 file, or no text at all): the reader would cut the line short there.
class FileLayerSource : public io::ByteSourceBase {
 public:
  struct ReadFailed {};
  struct ZeroByte {
    int32_t line;
  };

  explicit FileLayerSource(FileHandle file) : file_(file), length_(FileLength(file)) {}

  int read(char* buffer, int size) override {
    const int32_t count = std::min<int32_t>(size, length_ - offset_);
    if (count <= 0) return 0;
    if (ReadBlock(file_, buffer, static_cast<uint32_t>(count), offset_, 0) == 0) throw ReadFailed{};
    offset_ += count;
    const auto* zero = static_cast<const char*>(std::memchr(buffer, '\0', static_cast<size_t>(count)));
    const char* const begin = buffer;
    lineEnds_ += static_cast<int32_t>(std::count(begin, zero != nullptr ? zero : begin + count, '\n'));
    if (zero != nullptr) throw ZeroByte{lineEnds_ + 1};
    return count;
  }

 private:
  FileHandle file_;
  int32_t length_;
  int32_t offset_ = 0;
  int32_t lineEnds_ = 0;
};

// A field as messages quote it: cut after 40 bytes.
std::string Shown(std::string_view field) {
  constexpr size_t kShown = 40;
  std::string shown(field.substr(0, kShown));
  if (field.size() > kShown) shown += "...";
  return shown;
}

bool AllDigits(std::string_view text) {
  return !text.empty() && std::ranges::all_of(text, [](char c) { return c >= '0' && c <= '9'; });
}

int DigitsValue(std::string_view digits) {
  int value = 0;
  for (const char c : digits) value = value * 10 + (c - '0');
  return value;
}

// YYYY-MM-DD or YYYYMMDD as a stored date; -1.0 when it is neither, or no
// date a data file holds (1900-2099).
float ParseDate(std::string_view text) {
  if (text.size() == 10) return MakeDateFromIsoString(std::string(text).c_str());
  if (text.size() != 8 || !AllDigits(text)) return -1.0f;
  float date = -1.0f;
  MakeDate(&date, static_cast<int16_t>(DigitsValue(text.substr(6, 2))),
           static_cast<int16_t>(DigitsValue(text.substr(4, 2))),
           static_cast<int16_t>(DigitsValue(text.substr(0, 4)) - 1900));
  return date;
}

// HH:MM:SS or HHMMSS as HHMMSS, valid as the DAT test takes a time (seconds
// run to 99, as every stored time allows); -1.0 otherwise.
float ParseTime(std::string_view text) {
  std::string digits(text);
  if (text.size() == 8 && text[2] == ':' && text[5] == ':')
    digits = JoinParts({text.substr(0, 2), text.substr(3, 2), text.substr(6, 2)});
  if (digits.size() != 6 || !AllDigits(digits)) return -1.0f;
  float time = -1.0f;
  MakeTime(&time, static_cast<int16_t>(DigitsValue(digits.substr(0, 2))),
           static_cast<int16_t>(DigitsValue(digits.substr(2, 2))),
           static_cast<int16_t>(DigitsValue(digits.substr(4, 2))));
  return time;
}

// The value of a price, volume or open interest field; a fault text naming
// the column otherwise.
bool ParseNumber(std::string_view text, TextColumn column, float* value, std::string* fault) {
  const char* const end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, *value);
  const char* const name = TextColumnName(column);
  if (error != std::errc() || stop != end || !std::isfinite(*value)) {
    *fault = JoinParts({Shown(text), " is not a number (", name, ")"});
  } else if (*value < 0.0f) {
    *fault = JoinParts({name, " ", Shown(text), " is below zero"});
  } else if (*value > kMbfCeiling) {
    *fault = JoinParts({name, " ", Shown(text), " is above 1000000000, the most a data file holds"});
  } else {
    return true;
  }
  return false;
}

class Reader {
 public:
  Reader(PriceText* text, std::string* fault) : text_(text), fault_(fault) {}

  bool Read(io::LineReader& lines) {
    bool header = true;
    while (char* line = lines.next_line()) {
      line_ = static_cast<int32_t>(lines.get_file_line());
      if (std::strlen(line) > kMaxTextLine) return Fail(TooLong());
      if (line[std::strspn(line, " \t")] == '\0') continue;  // a blank line
      if (!Split(line)) return false;
      if (header ? !Header() : !Row()) return false;
      header = false;
    }
    if (header) return Fail(line_ == 0 ? "the file is empty" : "the file holds no header line", line_ + 1);
    if (text_->rows.empty()) return Fail("no records after the header", line_ + 1);
    return true;
  }

  bool Fail(const std::string& what, int32_t line = 0) {
    *fault_ = JoinParts({"line ", std::to_string(line == 0 ? line_ : line), ": ", what});
    return false;
  }

  static std::string TooLong() {
    return JoinParts({"longer than ", std::to_string(kMaxTextLine), " characters"});
  }

 private:
  bool Split(char* line) {
    fields_.clear();
    try {
      for (;;) {
        char* const stop = line + (Quoting::find_next_column_end(line) - line);
        const bool last = *stop == '\0';
        *stop = '\0';
        // Both policies move the ends they are given.
        char* begin = line;
        char* end = stop;
        Trimming::trim(begin, end);
        Quoting::unescape(begin, end);
        fields_.emplace_back(begin, static_cast<size_t>(end - begin));
        if (last) return true;
        line = stop + 1;
      }
    } catch (const io::error::escaped_string_not_closed&) {
      return Fail("a quoted field is not closed");
    }
  }

  bool Header() {
    text_->headerLine = line_;
    for (std::string_view field : fields_) {
      std::string_view name = field;
      if (name.size() >= 2 && name.front() == '<' && name.back() == '>')
        name = name.substr(1, name.size() - 2);
      const auto known = std::ranges::find_if(kColumnNames, [&](const ColumnNames& c) {
        return std::ranges::any_of(c.names,
                                   [&](std::string_view n) { return !n.empty() && EqualNoCase(n, name); });
      });
      if (known == std::end(kColumnNames)) {
        std::string list;
        for (const ColumnNames& c : kColumnNames) list.append(list.empty() ? "" : ", ").append(c.names[0]);
        return Fail(JoinParts({"\"", Shown(field), "\" is not a column import knows (", list, ")"}));
      }
      const auto at = static_cast<size_t>(known->column);
      if (text_->named[at])
        return Fail(JoinParts({"the column ", TextColumnName(known->column), " is named twice"}));
      text_->named[at] = true;
      columns_.push_back(known->column);
    }
    if (!text_->Named(TextColumn::Date)) return Fail("no date column");
    return true;
  }

  bool Row() {
    if (fields_.size() != columns_.size())
      return Fail(
          JoinParts({std::to_string(fields_.size()), " fields, but the header (line ",
                     std::to_string(text_->headerLine), ") names ", std::to_string(columns_.size())}));
    if (text_->rows.size() == kMaxTextRows)
      return Fail(JoinParts({"a data file holds at most ", std::to_string(kMaxTextRows), " records"}));
    PriceRow row;
    row.line = line_;
    const bool first = text_->rows.empty();
    for (size_t i = 0; i < fields_.size(); ++i) {
      const std::string_view field = fields_[i];
      const TextColumn column = columns_[i];
      const auto c = static_cast<size_t>(column);
      if (c >= kValueColumns) {
        if (!Same(column, field, first)) return false;
        continue;
      }
      if (field.empty()) continue;
      float value = 0.0f;
      std::string fault;
      if (column == TextColumn::Date) {
        value = ParseDate(field);
        if (value == -1.0f) return Fail(JoinParts({Shown(field), " is not a date"}));
      } else if (column == TextColumn::Time) {
        value = ParseTime(field);
        if (value == -1.0f) return Fail(JoinParts({Shown(field), " is not a time"}));
      } else if (!ParseNumber(field, column, &value, &fault)) {
        return Fail(fault);
      }
      row.values[c] = value;
      row.given |= static_cast<uint8_t>(1u << c);
      text_->filled[c] = true;
    }
    text_->rows.push_back(row);
    return true;
  }

  // The rows' texts of their instrument: the first row's are kept, every
  // other row must give the same.
  bool Same(TextColumn column, std::string_view field, bool first) {
    std::string* kept = column == TextColumn::Directory ? &text_->directory
                        : column == TextColumn::File    ? &text_->file
                        : column == TextColumn::Symbol  ? &text_->symbol
                        : column == TextColumn::Name    ? &text_->name
                                                        : &periodText_;
    if (first) {
      kept->assign(field);
      return column != TextColumn::Period || Period(field);
    }
    if (field == *kept) return true;
    return Fail(JoinParts({TextColumnName(column), " \"", Shown(field), "\", but line ",
                           std::to_string(text_->rows.front().line), " gives \"", Shown(*kept),
                           "\": a file holds the records of one instrument"}));
  }

  bool Period(std::string_view field) {
    if (field.empty()) return true;
    if (field.size() == 1 && std::string_view("DWMIdwmi").find(field[0]) != std::string_view::npos) {
      text_->period = field[0];
      return true;
    }
    if (AllDigits(field) && field.size() <= 5 && DigitsValue(field) >= 1 && DigitsValue(field) <= 65535) {
      text_->period = 'I';
      text_->minutes = static_cast<uint16_t>(DigitsValue(field));
      return true;
    }
    return Fail(JoinParts(
        {"period \"", Shown(field), "\" is no period (D, W, M, I, or the minutes of an intraday bar)"}));
  }

  PriceText* text_;
  std::string* fault_;
  int32_t line_ = 0;
  std::vector<std::string_view> fields_;
  std::vector<TextColumn> columns_;
  std::string periodText_;
};

}  // namespace

const char* TextColumnName(TextColumn column) {
  return kColumnNames[static_cast<size_t>(column)].names[0].data();
}

bool ReadPriceText(const char* fileName, PriceText* text, std::string* fault) {
  *text = PriceText{};
  FileGuard file(SOpenFile(fileName, kOpenReadOnly, kOpenShared, 1, kOpenNotTemporary));
  if (!file.Valid()) {
    *fault = JoinParts({NativePath(fileName), " cannot be opened"});
    return false;
  }
  // Room for the rows of a file of short lines, so that they are not moved as they come.
  text->rows.reserve(std::min<size_t>(static_cast<size_t>(FileLength(file.Get())) / 24 + 1, kMaxTextRows));
  Reader reader(text, fault);
  try {
    io::LineReader lines(fileName, std::make_unique<FileLayerSource>(file.Get()));
    return reader.Read(lines);
  } catch (const FileLayerSource::ZeroByte& zero) {
    return reader.Fail("a zero byte: import reads UTF-8 text (is the file UTF-16?)", zero.line);
  } catch (const FileLayerSource::ReadFailed&) {
    *fault = JoinParts({NativePath(fileName), " cannot be read"});
  } catch (const io::error::line_length_limit_exceeded& error) {
    return reader.Fail(Reader::TooLong(), static_cast<int32_t>(error.file_line));
  } catch (const std::bad_alloc&) {
    *fault = JoinParts({NativePath(fileName), " is too large to be read"});
  }
  return false;
}

std::string IsoDateText(float date) {
  int16_t day = 0, month = 0, year = 0;
  ExtractDate(date, &day, &month, &year);
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", year + 1900, month, day);
  return text;
}

std::string TimeText(float time) {
  return StrTime(time);
}
