// Data files whose records can be told apart: record "id" i carries the date
// IdDate(i) and the value i in every price column, so a file's contents read
// back as the sequence of ids it holds.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "filelayer/file_layer.h"
#include "filelayer/platform_file.h"
#include "fixtures.h"
#include "primitives/list.h"
#include "store/file_guard.h"
#include "store/master_file.h"
#include "support/temp_dir.h"

namespace records_test {

using testing_support::Bytes;
using testing_support::ReadBytes;
using testing_support::TempDir;

// Five fields, daily: date, high, low, close, volume.
inline constexpr int kFields = 5;
inline constexpr int kL = 4 * kFields;
inline constexpr int kMaxId = 336;

// Increasing with the id: 28 days in each month of 2010.
inline float IdDate(int id) {
  return fixtures::StoredDate(2010, 1 + (id - 1) / 28, 1 + (id - 1) % 28);
}

inline fixtures::DatBuilder IdRecords(const std::vector<int>& ids) {
  fixtures::DatBuilder dat(kL);
  for (int id : ids) {
    const float v = static_cast<float>(id);
    dat.Values({IdDate(id), v, v, v, 100 * v});
  }
  return dat;
}

inline std::vector<int> Ids(int from, int to) {
  std::vector<int> ids;
  for (int i = from; i <= to; ++i) ids.push_back(i);
  return ids;
}

// What a data file holds, read from its bytes.
struct DatContents {
  uint16_t headerCount = 0;
  std::vector<int> ids;  // -1 for a record that is no id record
  size_t trailingBytes = 0;
};

inline DatContents ReadContents(const std::string& nativePath) {
  static const std::map<uint32_t, int> byWord = [] {
    std::map<uint32_t, int> words;
    for (int i = 1; i <= kMaxId; ++i) words[fixtures::MbfWord(static_cast<float>(i))] = i;
    return words;
  }();
  const Bytes bytes = ReadBytes(nativePath);
  DatContents contents;
  if (bytes.size() < 4) return contents;
  contents.headerCount = static_cast<uint16_t>(bytes[2] | (bytes[3] << 8));
  size_t offset = kL;
  for (; offset + kL <= bytes.size(); offset += kL) {
    const uint32_t word =
        static_cast<uint32_t>(bytes[offset + 4]) | static_cast<uint32_t>(bytes[offset + 5]) << 8 |
        static_cast<uint32_t>(bytes[offset + 6]) << 16 | static_cast<uint32_t>(bytes[offset + 7]) << 24;
    auto found = byWord.find(word);
    contents.ids.push_back(found == byWord.end() ? -1 : found->second);
  }
  contents.trailingBytes = bytes.size() < kL ? bytes.size() : bytes.size() - offset;
  return contents;
}

// One master entry as stored.
struct Listed {
  int fileNumber;
  uint32_t firstDateWord;
  uint32_t lastDateWord;
  std::string name;
};

inline std::vector<Listed> ReadMaster(const std::string& nativePath) {
  std::vector<Listed> entries;
  if (!testing_support::FileExistsNative(nativePath)) return entries;
  const Bytes bytes = ReadBytes(nativePath);
  for (size_t offset = kMasterRecordSize; offset + kMasterRecordSize <= bytes.size();
       offset += kMasterRecordSize) {
    MasterRecord record;
    std::copy(bytes.begin() + static_cast<long>(offset),
              bytes.begin() + static_cast<long>(offset) + kMasterRecordSize, record.raw);
    entries.push_back({record.FileNumber(), record.FirstDateWord(), record.LastDateWord(), record.Name()});
  }
  return entries;
}

// Names of the files in a native directory (not subdirectories).
inline std::vector<std::string> FilesIn(const std::string& nativeDir) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(nativeDir)) {
    if (entry.is_regular_file()) names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

// The temporary files the record operations create, left behind.
inline std::vector<std::string> Leftovers(const std::string& nativeDir) {
  std::vector<std::string> left;
  for (const std::string& name : FilesIn(nativeDir)) {
    if (name.rfind("QVX", 0) == 0) left.push_back(name);
  }
  return left;
}

// A data directory holding instrument F1 with records of the given ids.
class Instrument {
 public:
  explicit Instrument(const std::vector<int>& ids) { Write(ids); }

  void Write(const std::vector<int>& ids) {
    fixtures::WriteMaster(dir, fixtures::MasterBuilder().Add(Entry(1)).LastFileNumber(1));
    fixtures::WriteDat(dir, 1, IdRecords(ids));
  }
  static fixtures::MasterEntry Entry(uint8_t fileNumber) {
    return {.fileNumber = fileNumber, .fieldCount = kFields, .name = "SPLITME", .period = 'D'};
  }
  MasterRecord Record() const { return Entry(1).Record(); }
  std::string DatName() const { return dir.Name("F1.DAT"); }
  std::string DatPath() const { return dir.Path("F1.DAT"); }
  DatContents Contents() const { return ReadContents(DatPath()); }
  // Open as the editor holds it: read and write, shared, record length L.
  FileGuard Open() const { return FileGuard(SOpenFile(DatName().c_str(), 1, 1, kL, 0)); }

  TempDir dir;
};

// A RecordSelection owned by the test.
struct Selection {
  explicit Selection(std::initializer_list<int32_t> records = {}) : list(CreateList()) {
    for (int32_t r : records) AddNewItem(list, &r, sizeof r, EditRecordNumberCompare);
  }
  ~Selection() { KillList(list); }
  Selection(const Selection&) = delete;
  Selection& operator=(const Selection&) = delete;
  std::vector<int32_t> Items() const {
    std::vector<int32_t> items;
    int32_t r = 0;
    for (ListNode* node = GetFirstItem(list, &r, sizeof r); node != nullptr;
         node = GetNextItem(node, &r, sizeof r)) {
      items.push_back(r);
    }
    return items;
  }
  List* list;
};

// Every fault kind the platform layer can inject.
inline constexpr platform::Call kAllCalls[] = {
    platform::Call::Open,   platform::Call::Read,   platform::Call::Write, platform::Call::Truncate,
    platform::Call::Rename, platform::Call::Delete, platform::Call::Copy,  platform::Call::CreateDirectory,
    platform::Call::Size,   platform::Call::List,
};

inline const char* CallName(platform::Call call) {
  static const char* const names[] = {"Open",   "Read", "Write",           "Truncate", "Rename",
                                      "Delete", "Copy", "CreateDirectory", "Size",     "List"};
  return names[static_cast<int>(call)];
}

// Clears pending faults when a test ends, whatever happened.
struct FaultScope {
  FaultScope() { platform::ResetFaults(); }
  ~FaultScope() { platform::ResetFaults(); }
};

}  // namespace records_test
