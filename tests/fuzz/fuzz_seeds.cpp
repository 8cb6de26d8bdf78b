#include "fuzz_seeds.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "primitives/dates.h"
#include "primitives/mbf.h"
#include "sample_data.h"

namespace fuzz {
namespace {

using Bytes = std::vector<uint8_t>;

constexpr size_t kRecord = 53;
// Data files are cut to this many records: enough for every test of a
// record and its predecessor, small enough to keep each run quick.
constexpr size_t kSeedRecords = 60;

std::string DirectoryOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? "" : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string Flat(const std::string& path) {
  std::string flat = path;
  std::replace(flat.begin(), flat.end(), '/', '_');
  return flat;
}

Bytes Text(const std::string& text) {
  return Bytes(text.begin(), text.end());
}

}  // namespace

std::map<std::string, Bytes> SampleSeeds(const std::string& target) {
  std::map<std::string, Bytes> seeds;
  const sample::SampleTree& tree = sample::GetSampleTree();
  std::map<std::string, Bytes> masters;  // by directory
  for (const sample::SampleFile& file : tree.files) {
    if (NameOf(file.path) == "master") masters[DirectoryOf(file.path)] = file.bytes;
  }
  if (target == "master") {
    for (const auto& [directory, bytes] : masters) seeds["master_" + Flat(directory)] = bytes;
  } else if (target == "datafile") {
    for (const sample::SampleFile& file : tree.files) {
      const std::string name = NameOf(file.path);
      int number = 0;
      if (std::sscanf(name.c_str(), "F%d", &number) != 1 || name != "F" + std::to_string(number) + ".DAT")
        continue;
      const Bytes& master = masters[DirectoryOf(file.path)];
      for (size_t at = kRecord; at + kRecord <= master.size(); at += kRecord) {
        if (master[at] != number) continue;
        Bytes seed(master.begin() + static_cast<long>(at), master.begin() + static_cast<long>(at + kRecord));
        const size_t length = std::max<size_t>(master[at + 3], 1);
        const size_t keep = std::min(file.bytes.size(), length * (kSeedRecords + 1));
        seed.insert(seed.end(), file.bytes.begin(), file.bytes.begin() + static_cast<long>(keep));
        seeds["dat_" + Flat(file.path)] = seed;
        break;
      }
    }
  } else if (target == "datetime") {
    int count = 0;
    // The first record's date and second column of each instrument, as stored
    // and as shown.
    for (const sample::SampleInstrument& instrument : tree.instruments) {
      const std::string path = instrument.directory + "/F" + std::to_string(instrument.fileNumber) + ".DAT";
      const size_t length = 4 * static_cast<size_t>(instrument.fieldCount);
      for (const sample::SampleFile& file : tree.files) {
        if (file.path != path || file.bytes.size() < 2 * length) continue;
        for (size_t column = 0; column < 2; ++column) {
          const float value = MBF_IEEE(LoadMbfWord(file.bytes.data() + length + 4 * column));
          Bytes raw(4);
          std::memcpy(raw.data(), &value, 4);
          seeds["value_" + std::to_string(count)] = raw;
          seeds["date_" + std::to_string(count)] = Text(StrDate(value));
          seeds["time_" + std::to_string(count)] = Text(StrTime(value));
          ++count;
        }
      }
    }
    for (const char* typed : {"4/1/10", "31/12/99", "29/2/00", "29/02/01", "1/1/49", "1/1/50", "23:59:59",
                              "9:5:0", "  7/ 8/ 9", "12/13/14", "00:00:60", "1//", "::"}) {
      seeds[std::string("typed_") + std::to_string(count++)] = Text(typed);
    }
  } else if (target == "commandline") {
    const char* const lines[] = {
        "quorvex.exe AUTOTEST TESTDAT PATH:\"C:\\DATA\\STOCKS\" FILE:12",
        "AUTOTEST TESTMASTER PATH:\"Z:\\tmp\\x\\\"",
        "PATH:\"C:\\DATA\"",
        "AUTOTEST PATH:\"unclosed FILE:99999",
        "FILE:0007 PATH:\"\" TESTDAT",
        "",
    };
    int count = 0;
    for (const char* line : lines) seeds["line_" + std::to_string(count++)] = Text(line);
  }
  return seeds;
}

}  // namespace fuzz
