#include "faults_scenes.h"

#include <filesystem>

namespace faults_test {
namespace {

using fixtures::MasterBuilder;
using fixtures::MasterEntry;
using fixtures::MbfWord;
using fixtures::Series;

const char kDailyDop[] =
    "Date, 0, 0,\r\nOpen, 3, 0,\r\nHigh, 3, 0,\r\nLow, 3, 0,\r\nClose, 3, 0,\r\nVolume, 0, 0,\r\nOI, 0, "
    "0,\r\n\r\n";

void WriteText(const std::string& path, const std::string& text) {
  testing_support::WriteBytes(path, testing_support::Bytes(text.begin(), text.end()));
}

// An entry whose dates are those of the series.
MasterEntry EntryFor(int fileNumber, const Series& series, uint8_t fieldCount, char period) {
  MasterEntry entry;
  entry.fileNumber = static_cast<uint8_t>(fileNumber);
  entry.fieldCount = fieldCount;
  entry.period = period;
  entry.name = "INSTR" + std::to_string(fileNumber);
  entry.symbol = "S" + std::to_string(fileNumber);
  entry.firstDateWord = MbfWord(series.bars.front().date);
  entry.lastDateWord = MbfWord(series.bars.back().date);
  return entry;
}

}  // namespace

MasterEntry SoundEntry(int fileNumber, int records, uint32_t seed) {
  return EntryFor(fileNumber, Series::Daily(records, 2009, 12, 28, seed), 7, 'D');
}

void WriteSoundDirectory(const std::string& nativeDir, const std::vector<int>& numbers, int records) {
  std::filesystem::create_directories(nativeDir);
  MasterBuilder master;
  for (int n : numbers) {
    // Distinct per number and directory, and the same in every scratch directory.
    const std::string tag = std::filesystem::path(nativeDir).filename().string();
    const auto seed = static_cast<uint32_t>(n * 31 + tag.size() * 7 + (tag.empty() ? 0 : tag[0]));
    master.Add(SoundEntry(n, records, seed));
    const Series series = Series::Daily(records, 2009, 12, 28, seed);
    testing_support::WriteBytes(nativeDir + "/F" + std::to_string(n) + ".DAT", series.Dat(7, 'D').Build());
    WriteText(nativeDir + "/F" + std::to_string(n) + ".DOP", kDailyDop);
  }
  master.LastFileNumber(numbers.empty() ? 0 : static_cast<uint16_t>(numbers.back()));
  testing_support::WriteBytes(nativeDir + "/master", master.Build());
}

const std::vector<PlantedDefect>& PlantedDefects() {
  static const std::vector<PlantedDefect> defects = {
      {0, 8}, {1, 0}, {2, 1}, {3, 2}, {4, 3}, {5, 4}, {6, 5}, {7, 6}, {8, 7}, {9, 10}, {10, 11},
  };
  return defects;
}

void BuildDamagedMaster(const testing_support::TempDir& dir) {
  const Series daily = Series::Daily(30);
  const Series sixFields = Series::Daily(30, 2010, 3, 1, 5);
  const Series intraday = Series::Intraday(3, 12);
  MasterBuilder master;
  std::vector<MasterEntry> entries;
  for (int n = 1; n <= 10; ++n) entries.push_back(EntryFor(n, daily, 7, 'D'));
  entries[2].fileType = 0;                      // F3: code 2
  entries[3] = EntryFor(4, sixFields, 7, 'D');  // F4: 7 fields over 24-byte records, code 3
  entries[3].recordLength = 24;
  entries[4].firstDateWord = MbfWord(daily.bars.front().date - 1);            // F5: code 4
  entries[5].lastDateWord = MbfWord(daily.bars[daily.bars.size() - 4].date);  // F6: code 5
  entries[6].timeBase = 5;                     // F7: daily with a time base, code 6
  entries[7] = EntryFor(8, intraday, 7, 'X');  // F8: no such period over intraday data, code 7
  entries[8].reserved = 1;                     // F9: code 10
  entries[9].fieldCount = 9;                   // F10: 36-byte records over 28-byte data, code 11
  for (const MasterEntry& entry : entries) master.Add(entry);
  master.HeaderCount(12).LastFileNumber(10);  // code 8
  fixtures::WriteMaster(dir, master);
  for (int n = 1; n <= 10; ++n) {
    if (n == 1) continue;  // code 0: no data file
    const Series& series = n == 4 ? sixFields : n == 8 ? intraday : daily;
    const int fields = n == 4 ? 6 : 7;
    fixtures::WriteDat(dir, n, series.Dat(fields, n == 8 ? 'I' : 'D'));
    if (n != 2) WriteText(dir.Path("F" + std::to_string(n) + ".DOP"), kDailyDop);  // code 1 for F2
  }
  WriteText(dir.Path("F1.DOP"), kDailyDop);
}

}  // namespace faults_test
