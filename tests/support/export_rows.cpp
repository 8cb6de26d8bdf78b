#include "support/export_rows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <map>
#include <sstream>

#include "filelayer/file_guard.h"
#include "primitives/dates.h"
#include "primitives/mbf.h"
#include "store/directory_instruments.h"
#include "support/temp_dir.h"

namespace testing_support {
namespace {

class StringSink : public ExportSink {
 public:
  bool Write(const char* bytes, size_t size) override { return text.append(bytes, size), true; }
  std::string text;
};

// One CSV line's fields (RFC 4180 quoting: a doubled quote inside quotes is one).
std::vector<std::string> CsvFields(const std::string& line) {
  std::vector<std::string> fields(1);
  bool quoted = false;
  for (size_t i = 0; i < line.size(); ++i) {
    if (line[i] == '"' && quoted && i + 1 < line.size() && line[i + 1] == '"') {
      fields.back() += line[++i];
    } else if (line[i] == '"') {
      quoted = !quoted;
    } else if (line[i] == ',' && !quoted) {
      fields.emplace_back();
    } else {
      fields.back() += line[i];
    }
  }
  return fields;
}

// The float a field reads back as: a number, YYYY-MM-DD as CYYMMDD, HH:MM:SS as HHMMSS.
float ReadBack(const std::string& text) {
  int a = 0, b = 0, c = 0;
  if (std::sscanf(text.c_str(), "%d-%d-%d", &a, &b, &c) == 3) return float((a - 1900) * 10000 + b * 100 + c);
  if (std::sscanf(text.c_str(), "%d:%d:%d", &a, &b, &c) == 3) return float(a * 10000 + b * 100 + c);
  float value = -1;
  std::from_chars(text.data(), text.data() + text.size(), value);
  return value;
}

struct ExportedFile {
  Bytes bytes;
  DirectoryInstrument instrument;
  size_t nextRecord = 0;
};

}  // namespace

std::string ExportedText(const std::vector<std::string>& directories, const ExportOptions& options,
                         std::vector<std::string>* warnings, int only) {
  StringSink sink;
  TextOutput out(sink);
  RecordExporter exporter(out, options, [&](const std::string& text) { warnings->push_back(text); });
  exporter.WriteHeader();
  for (const std::string& directory : directories) {
    for (const DirectoryInstrument& instrument : ReadDirectoryInstruments(directory.c_str()).instruments)
      if (only == 0 || instrument.fileNumber == only) exporter.ExportInstrument(directory.c_str(), instrument);
  }
  EXPECT_TRUE(out.Flush());
  return sink.text;
}

int64_t ExpectRowsAsStored(const std::string& csv) {
  constexpr FieldType kValues[] = {FieldType::Date,   FieldType::Time,        FieldType::Open,
                                   FieldType::High,   FieldType::Low,         FieldType::Close,
                                   FieldType::Volume, FieldType::OpenInterest};
  std::map<std::string, ExportedFile> files;
  std::istringstream lines(csv);
  std::string line;
  std::getline(lines, line);
  EXPECT_EQ(line, "directory,file,symbol,name,period,date,time,open,high,low,close,volume,open_interest");
  int64_t rows = 0;
  for (; std::getline(lines, line); ++rows) {
    const std::vector<std::string> fields = CsvFields(line);
    const std::string directory = fields[0] + "\\";
    ExportedFile& file = files[directory + fields.at(1)];
    const DirectoryInstrument& instrument = file.instrument;
    if (file.bytes.empty()) {
      for (const DirectoryInstrument& i : ReadDirectoryInstruments(directory.c_str()).instruments)
        if (i.dataFileName == directory + fields[1]) file.instrument = i;
      const FileGuard data(SOpenFile(instrument.dataFileName.c_str(), kOpenReadOnly, kOpenShared, 1, 0));
      file.bytes.resize(static_cast<size_t>(std::max(FileLength(data.Get()), 0)));
      EXPECT_TRUE(ReadBlock(data.Get(), file.bytes.data(), uint32_t(file.bytes.size()), 0, 0)) << line;
    }
    const size_t length = instrument.layout.RecordLength(), record = ++file.nextRecord * length;
    if (fields.size() != 13 || record + length > file.bytes.size()) return ADD_FAILURE() << line, rows;
    const auto columns = instrument.fieldTypes.begin(), end = columns + instrument.fieldCount;
    for (size_t v = 0; v < 8; ++v) {
      const std::string& text = fields[5 + v];
      const auto at = std::find(columns, end, kValues[v]);
      const float stored = at == end ? 0 : MBF_IEEE(GetU32(file.bytes, record + 4 * size_t(at - columns)));
      const bool whole = stored >= 0 && stored == std::floor(stored);
      const bool time = stored < 240000 && IsValidFloatTime(stored) && std::fmod(stored, 100.0f) < 60;
      if (at == end || !text.empty()) {
        EXPECT_TRUE(at == end ? text.empty()
                              : std::bit_cast<uint32_t>(ReadBack(text)) == std::bit_cast<uint32_t>(stored))
            << line << " [" << v << "]";
      } else {  // empty: a corrupt number, or a date or time that is not one
        EXPECT_TRUE(v > 1 ? stored == kCorruptNumber : !(whole && (v == 0 ? IsValidFloatDate(stored) : time)))
            << line;
      }
    }
  }
  return rows;
}

}  // namespace testing_support
