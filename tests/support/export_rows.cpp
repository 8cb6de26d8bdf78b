#include "support/export_rows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <charconv>
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

// One CSV line's fields (RFC 4180 quoting).
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
  int parts[3] = {};
  const char separator = text.find('-') != std::string::npos ? '-' : ':';
  if (text.find(separator) != std::string::npos) {
    std::istringstream in(text);
    char skip;
    in >> parts[0] >> skip >> parts[1] >> skip >> parts[2];
    return static_cast<float>((separator == '-' ? parts[0] - 1900 : parts[0]) * 10000 + parts[1] * 100 +
                              parts[2]);
  }
  float value = -1;
  std::from_chars(text.data(), text.data() + text.size(), value);
  return value;
}

struct ExportedFile {
  Bytes bytes;
  DirectoryInstrument instrument;
  int64_t nextRecord = 0;
};

}  // namespace

std::string ExportedText(const std::vector<std::string>& directories, const ExportOptions& options,
                         std::vector<std::string>* warnings) {
  StringSink sink;
  TextOutput out(sink);
  RecordExporter exporter(out, options, [&](const std::string& text) { warnings->push_back(text); });
  exporter.WriteHeader();
  for (const std::string& directory : directories) {
    for (const DirectoryInstrument& instrument : ReadDirectoryInstruments(directory.c_str()).instruments)
      exporter.ExportInstrument(directory.c_str(), instrument);
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
    if (fields.size() != 13) return ADD_FAILURE() << line, rows;
    const std::string directory = fields[0] + "\\";
    ExportedFile& file = files[directory + fields[1]];
    if (file.bytes.empty()) {
      for (const DirectoryInstrument& i : ReadDirectoryInstruments(directory.c_str()).instruments)
        if (i.dataFileName == directory + fields[1]) file.instrument = i;
      const FileGuard data(SOpenFile(file.instrument.dataFileName.c_str(), kOpenReadOnly, kOpenShared, 1, 0));
      file.bytes.resize(static_cast<size_t>(std::max(FileLength(data.Get()), 0)));
      EXPECT_TRUE(ReadBlock(data.Get(), file.bytes.data(), uint32_t(file.bytes.size()), 0, 0)) << line;
    }
    const size_t length = file.instrument.layout.RecordLength();
    const size_t record = (++file.nextRecord) * length;
    for (size_t v = 0; v < 8; ++v) {
      const auto* at = std::find(file.instrument.fieldTypes.begin(),
                                 file.instrument.fieldTypes.begin() + file.instrument.fieldCount, kValues[v]);
      const std::string& text = fields[5 + v];
      if (at == file.instrument.fieldTypes.begin() + file.instrument.fieldCount ||
          record + length > file.bytes.size()) {
        EXPECT_EQ(text, "") << line;
        continue;
      }
      const float stored =
          MBF_IEEE(GetU32(file.bytes, record + 4 * size_t(at - file.instrument.fieldTypes.begin())));
      if (!text.empty()) {
        EXPECT_EQ(std::bit_cast<uint32_t>(ReadBack(text)), std::bit_cast<uint32_t>(stored))
            << line << " [" << v << "]";
      } else if (v > 1) {
        EXPECT_EQ(stored, kCorruptNumber) << line << " [" << v << "]";
      } else {
        const bool whole = stored >= 0 && stored == std::floor(stored);
        const bool time = stored < 240000 && IsValidFloatTime(stored) && std::fmod(stored, 100.0f) < 60;
        EXPECT_FALSE(whole && (v == 0 ? IsValidFloatDate(stored) : time)) << line;
      }
    }
  }
  return rows;
}

}  // namespace testing_support
