// What the fault-injection tests share: the sweep that fails every platform
// call of an operation in turn, directory snapshots and the checks that no
// data was lost, read back from the bytes independently of the code under
// test.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "filelayer/platform_file.h"
#include "support/temp_dir.h"

namespace faults_test {

using testing_support::Bytes;
using testing_support::TempDir;

// Every kind of call the platform layer can fail.
inline constexpr platform::Call kAllCalls[] = {
    platform::Call::Open,   platform::Call::Read,   platform::Call::Write, platform::Call::Truncate,
    platform::Call::Rename, platform::Call::Delete, platform::Call::Copy,  platform::Call::CreateDirectory,
    platform::Call::Size,   platform::Call::List,
};
const char* CallName(platform::Call call);

// Clears pending faults when a scope ends, whatever happened.
struct FaultScope {
  FaultScope() { platform::ResetFaults(); }
  ~FaultScope() { platform::ResetFaults(); }
};

// The files below a native directory (paths relative to it, '/'-separated,
// names as stored) with their bytes.
using Snapshot = std::map<std::string, Bytes>;
Snapshot TakeSnapshot(const std::string& nativeDir);

// A file's state in a snapshot: its bytes, or nothing when absent.
std::optional<Bytes> StateOf(const Snapshot& snapshot, const std::string& path);

// What one run of the operation under a fault left.
struct Outcome {
  std::string label;  // "Write call 3"
  platform::Call kind;
  int nth;
  int result;
  const TempDir& dir;
  const Snapshot& before;  // the scene as built
  const Snapshot& after;   // what a run without faults leaves
  const Snapshot& now;     // what this run left
};

// Builds the scene in a fresh directory, runs the operation once without
// faults to learn how many calls of each kind it makes and what it leaves,
// then once for every call with that call failing (or, with shortWrites,
// every write meeting a full disk with one byte free: what lands inside the
// file is stored, one byte more at most), and hands each outcome to check. Returns how many faulty runs the
// operation reported as failed (result == failedResult).
struct SweepSpec {
  std::string name;
  std::function<void(const TempDir&)> build;
  std::function<int(const TempDir&)> run;
  std::function<void(const Outcome&)> check;
  int succeededResult = 1;
  bool shortWrites = false;
};
int SweepEveryCall(const SweepSpec& spec);

// The master of a directory decoded from its bytes.
struct MasterView {
  bool present = false;
  bool whole = false;  // a header and whole 53-byte records
  int headerCount = 0;
  std::vector<Bytes> records;  // 53 bytes each, in file order
  std::vector<int> Numbers() const;
  int Listed(int fileNumber) const;
};
MasterView ViewMaster(const Snapshot& snapshot, const std::string& directory = "");

// Every F<n>.DAT of the directory (relative path, "" for the root; names
// matched without regard to case) listed exactly once by its master, and
// every data file that was listed in before still listed in now, readable
// and holding either its bytes of before or of after. "" when all hold, else
// a description of the first breach.
std::string LostOrUnlisted(const Snapshot& before, const Snapshot& after, const Snapshot& now,
                           const std::string& directory = "");

// Each file of now is as it was before or as the faultless run left it (a
// missing file counting as a state); temporary files of the record and
// instrument operations ("QVX*.TMP", "msttmp") count as neither. The paths
// for which `exempt` is true are skipped. "" when all hold.
std::string NeitherBeforeNorAfter(const Snapshot& before, const Snapshot& after, const Snapshot& now,
                                  const std::function<bool(const std::string&)>& exempt = nullptr);

// Temporary files left in now.
std::vector<std::string> Leftovers(const Snapshot& now);

}  // namespace faults_test
