// What the tests read back from data directories, independently of the code
// under test: snapshots of every file with its bytes, master decoded, the
// temporary files left behind; and the fault sweep that runs an operation
// once for every platform call it makes with that call failing.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "filelayer/platform_file.h"
#include "support/temp_dir.h"

namespace fixtures {

using testing_support::Bytes;
using testing_support::TempDir;

// The files below a native directory (paths relative to it, '/'-separated,
// names as stored) with their bytes.
using Snapshot = std::map<std::string, Bytes>;
Snapshot TakeSnapshot(const std::string& nativeDir);
// A file's state: its bytes, or nothing when absent. The name is matched
// without regard to case.
std::optional<Bytes> StateOf(const Snapshot& snapshot, const std::string& path);

// The master of a directory ("" the root of the snapshot) decoded from its bytes.
struct MasterView {
  bool present = false;
  bool whole = false;  // a header and whole 53-byte records
  int headerCount = 0;
  int lastFileNumber = 0;
  std::vector<Bytes> records;  // 53 bytes each, in file order
  std::vector<int> Numbers() const;
  int Listed(int fileNumber) const;
};
MasterView ViewMaster(const Snapshot& snapshot, const std::string& directory = "");

// Temporary files of the record and instrument operations ("QVX*.TMP",
// "msttmp") present in the snapshot.
std::vector<std::string> Leftovers(const Snapshot& snapshot);

// Every F<n>.DAT of the directory listed exactly once by its master, and
// every data file listed before still listed now, holding its bytes of before
// or of after (unless the operation took it away). "" when all hold, else the
// first breach.
std::string LostOrUnlisted(const Snapshot& before, const Snapshot& after, const Snapshot& now,
                           const std::string& directory = "");

// Clears pending faults when a scope ends, whatever happened.
struct FaultScope {
  FaultScope() { platform::ResetFaults(); }
  ~FaultScope() { platform::ResetFaults(); }
};

// What one run of an operation under a fault left.
struct Outcome {
  platform::Call kind;
  int result;
  const TempDir& dir;
  const Snapshot& before;  // the scene as built
  const Snapshot& after;   // what the run without faults left
  const Snapshot& now;     // what this run left
};

// Builds the scene in a fresh directory, runs the operation once without
// faults to learn how many calls of each kind it makes and what it leaves,
// then once for every one of those calls with that call failing (with
// shortWrites: every write meeting a full disk with one byte free instead).
// Under Windows (the Wine run, where every file operation costs far more
// than natively) the first eight calls of each kind fail in turn and then
// every third: each kind of failure still meets the Windows backend, while
// the native run fails every call.
// After each run it checks, besides spec.check:
//   - no temporary file is left, and no file stays open in the file layer;
//   - every directory of spec.directories passes LostOrUnlisted;
//   - allOrNothing: the scene is exactly as before or exactly as after, and
//     as after only when the result says success.
// Returns how many faulty runs the operation reported as failed.
struct SweepSpec {
  std::string name;
  std::function<void(const TempDir&)> build;
  std::function<int(const TempDir&)> run;
  std::function<void(const Outcome&)> check = nullptr;
  int succeededResult = 1;
  bool shortWrites = false;
  bool allOrNothing = true;
  std::vector<std::string> directories = {""};
  // SweepEveryStop: the operation, run again on what each stop left, leaves
  // the files as the whole run did (temporary files aside).
  bool putRightByRunningAgain = false;
};
int SweepEveryCall(const SweepSpec& spec);

// Every instrument the directory's master lists has its F<n>.DAT, whose
// header counts the whole records it holds (atMost: no more than it holds);
// "" when all do, else the first that does not.
std::string ListedButUnreadable(const Snapshot& snapshot, const std::string& directory = "",
                                bool atMost = false);

// What a stop may not leave, in the directories given: a data file listed
// before and after in the same place, now holding neither its old bytes nor
// its new ones or no longer listed there; the bytes of one listed before and
// (moved) still listed somewhere after, now listed nowhere; a master that is
// not whole. A data file that no master lists, or one listed twice, is what a
// stop may leave half-done. "" when none is left, else the first.
std::string LostInAStop(const Snapshot& before, const Snapshot& after, const Snapshot& now,
                        const std::vector<std::string>& directories);

// Builds the scene, loads it into a memory file system and runs the operation
// there once to count the changes it makes, then once for every count N with
// the program stopped after its Nth change (as a kill would). What each stop
// leaves, temporary files aside, passes LostInAStop and, in every directory
// of spec.directories (or the scene's own when none is given),
// ListedButUnreadable with headers counting at most what their files hold
// (exactly after the last change, where they did so before); then
// spec.check, given the stop's number as its result; then, unless the run
// again is to put it right, the master repair of unlisted data files, after
// which none is unlisted and LostInAStop still holds. Returns the number of
// stops.
int SweepEveryStop(const SweepSpec& spec);

// Holds a file open as another program would, by default for reading and
// writing, sharing reading only (under Windows a second CreateFileA handle; the
// POSIX backend applies the same sharing rules between its own opens).
struct HeldFile {
  explicit HeldFile(const std::string& coreName,
                    platform::OpenRequest request = {.access = platform::Access::ReadWrite})
      : file(platform::Open(coreName, request)) {}
  ~HeldFile() { platform::Close(file); }
  HeldFile(const HeldFile&) = delete;
  HeldFile& operator=(const HeldFile&) = delete;
  bool Holds() const { return file != nullptr; }
  const platform::FileRef file;
};

}  // namespace fixtures
