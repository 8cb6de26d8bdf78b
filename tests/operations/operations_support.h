// What the instrument-operation tests read back from a data directory: master
// decoded from its bytes (independently of the code under test), the files
// present, and the checks that every failure path must pass.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "fixtures.h"
#include "support/temp_dir.h"

namespace operations_test {

using testing_support::Bytes;

struct MasterEntryRead {
  int fileNumber = 0;
  std::string name;    // 16 bytes as stored
  std::string symbol;  // 14 bytes as stored
  Bytes raw;
};

struct MasterRead {
  bool present = false;
  Bytes bytes;
  int count = 0;  // header's instrument count
  int last = 0;   // header's last file number
  std::vector<MasterEntryRead> entries;

  std::vector<int> Numbers() const;
  // How many records carry the number.
  int Listed(int fileNumber) const;
};

// A native directory path (no trailing separator).
MasterRead ReadMaster(const std::string& nativeDir);

// Names of the regular files in the directory, upper-cased.
std::set<std::string> FilesIn(const std::string& nativeDir);

std::string FileName(int fileNumber, const char* extension);  // "F3.DAT"
std::string NativeFile(const std::string& nativeDir, const std::string& name);

// The contents of the data files written by Fill, distinct per directory tag
// and number, so that a file's bytes tell where it came from.
Bytes Contents(const std::string& tag, int fileNumber, const char* extension);
// Writes master with the entries (names "INSTR<n>", symbols "S<n>") and, for
// each number, the .DAT, .DOP and (when withCht) .CHT files holding Contents.
void Fill(const std::string& nativeDir, const std::string& tag, const std::vector<int>& numbers, int last,
          bool withCht = true);

// from, from + 1, ... to.
std::vector<int> Range(int from, int to);
// A master whose records carry the numbers, with the header's two counters.
fixtures::MasterBuilder WithRecords(const std::vector<int>& numbers, int count, int last);

// master is whole (a header and whole records, the header's count equal to
// the records), no msttmp is left, and every F<n>.DAT/.DOP/.CHT file in the
// directory belongs to a number that master lists exactly once. Returns a
// description of the first breach, or "" when all hold.
std::string Inconsistency(const std::string& nativeDir);

// A test-name suffix from a rule's words: "at the top" -> "AtTheTop".
std::string RuleName(const std::string& rule);

// For INSTANTIATE_TEST_SUITE_P over cases that carry a `rule` text.
struct ByRule {
  template <typename Param>
  std::string operator()(const ::testing::TestParamInfo<Param>& info) const {
    return RuleName(info.param.rule);
  }
};

}  // namespace operations_test
