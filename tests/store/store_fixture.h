// What the store's tests share: data files whose records can be told apart
// (record "id" i carries the date IdDate(i) and the value i in its price
// columns), files opened as the editor opens them, readers of stored bytes.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "filelayer/file_guard.h"
#include "filelayer/file_layer.h"
#include "filelayer/platform_file.h"
#include "store/master_file.h"
#include "support/fixtures.h"
#include "support/scenes.h"
#include "support/temp_dir.h"

namespace store_test {

using namespace fixtures;
using namespace testing_support;
using Texts = std::vector<std::string>;

inline constexpr int kL = 20;  // five fields, daily: date, high, low, close, volume
inline constexpr int kMaxId = 336;

inline float IdDate(int id) {
  return StoredDate(2010, 1 + (id - 1) / 28, 1 + (id - 1) % 28);
}

inline DatBuilder IdRecords(const std::vector<int>& ids) {
  DatBuilder dat(kL);
  for (int id : ids) dat.Values({IdDate(id), float(id), float(id), float(id), 100.0f * id});
  return dat;
}

inline std::vector<int> Ids(int from, int to) {
  std::vector<int> ids;
  for (int i = from; i <= to; ++i) ids.push_back(i);
  return ids;
}

inline MasterEntry IdEntry(int n) {
  return {.fileNumber = uint8_t(n), .fieldCount = 5, .name = "INSTR" + std::to_string(n), .symbol = "S"};
}

// A master listing the numbers, its header's count and last number as given.
inline MasterBuilder Numbered(const std::vector<int>& numbers, int count, int last) {
  MasterBuilder master;
  for (int n : numbers) master.Add({.fileNumber = static_cast<uint8_t>(n)});
  return master.HeaderCount(static_cast<uint16_t>(count)).LastFileNumber(static_cast<uint16_t>(last));
}

// Column `column` of each whole data record as an id: i for the value i or
// the date IdDate(i), -1 for anything else.
inline std::vector<int> IdsOf(const Bytes& dat, int column = 1) {
  static const std::map<uint32_t, int> byWord = [] {
    std::map<uint32_t, int> words;
    for (int i = 1; i <= kMaxId; ++i) words[MbfWord(float(i))] = words[MbfWord(IdDate(i))] = i;
    return words;
  }();
  std::vector<int> ids;
  for (size_t at = kL; at + kL <= dat.size(); at += kL) {
    const auto id = byWord.find(GetU32(dat, at + 4 * size_t(column)));
    ids.push_back(id == byWord.end() ? -1 : id->second);
  }
  return ids;
}

// F1 of a scratch directory holding the given ids, listed by its master.
struct IdInstrument {
  explicit IdInstrument(const std::vector<int>& ids) {
    WriteMaster(dir, MasterBuilder().Add(IdEntry(1)).LastFileNumber(1));
    WriteDat(dir, 1, IdRecords(ids));
  }
  Bytes Dat() const { return ReadBytes(dir.Path("F1.DAT")); }
  TempDir dir;
};

inline std::string DatName(int n) {
  return "F" + std::to_string(n) + ".DAT";
}

// F<n>.DAT of the directory as the editor holds it: shared, with the record length.
inline FileGuard OpenDat(const std::string& dir, int n, int recordLength, int mode = 1) {
  return FileGuard(SOpenFile((dir + DatName(n)).c_str(), mode, 1, uint32_t(recordLength), 0));
}

}  // namespace store_test
