#include "faults_support.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <set>

namespace faults_test {
namespace {

constexpr size_t kRecord = 53;

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; });
  return text;
}

// The directory part and the name of a snapshot path.
std::pair<std::string, std::string> Split(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return {"", path};
  return {path.substr(0, slash), path.substr(slash + 1)};
}

// The file number of a data file name ("F12.DAT", any case), or 0.
int DataFileNumber(const std::string& name) {
  int number = 0;
  char tail[8] = {};
  if (std::sscanf(Lower(name).c_str(), "f%d.%3s", &number, tail) != 2 || std::string(tail) != "dat") return 0;
  return Lower(name) == "f" + std::to_string(number) + ".dat" ? number : 0;
}

// The snapshot path of F<n>.DAT in the directory, whatever its case; "" when absent.
std::string DataFilePath(const Snapshot& snapshot, const std::string& directory, int fileNumber) {
  for (const auto& [path, bytes] : snapshot) {
    const auto [dir, name] = Split(path);
    if (dir == directory && DataFileNumber(name) == fileNumber) return path;
  }
  return "";
}

std::string Describe(const std::optional<Bytes>& state) {
  return state ? std::to_string(state->size()) + " bytes" : "absent";
}

bool IsTemporary(const std::string& path) {
  const std::string name = Lower(Split(path).second);
  return name == "msttmp" ||
         (name.rfind("qvx", 0) == 0 && name.size() > 4 && name.substr(name.size() - 4) == ".tmp");
}

}  // namespace

const char* CallName(platform::Call call) {
  static const char* const names[] = {"Open",   "Read", "Write",           "Truncate", "Rename",
                                      "Delete", "Copy", "CreateDirectory", "Size",     "List"};
  return names[static_cast<int>(call)];
}

Snapshot TakeSnapshot(const std::string& nativeDir) {
  Snapshot snapshot;
  const std::filesystem::path root(nativeDir);
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
    if (!entry.is_regular_file()) continue;
    snapshot[entry.path().lexically_relative(root).generic_string()] =
        testing_support::ReadBytes(entry.path().string());
  }
  return snapshot;
}

std::optional<Bytes> StateOf(const Snapshot& snapshot, const std::string& path) {
  auto found = snapshot.find(path);
  if (found == snapshot.end()) return std::nullopt;
  return found->second;
}

int SweepEveryCall(const SweepSpec& spec) {
  FaultScope faults;
  std::vector<int> counts;
  Snapshot before;
  Snapshot after;
  {
    TempDir dir;
    spec.build(dir);
    before = TakeSnapshot(dir.Path(""));
    platform::ResetFaults();
    const int result = spec.run(dir);
    for (platform::Call call : kAllCalls) counts.push_back(platform::CallCount(call));
    platform::ResetFaults();
    EXPECT_EQ(result, spec.succeededResult) << spec.name << ": the run without faults";
    after = TakeSnapshot(dir.Path(""));
  }
  int failed = 0;
  auto runOnce = [&](platform::Call kind, int nth, const std::string& label,
                     const std::function<void()>& inject) {
    TempDir dir;
    spec.build(dir);
    platform::ResetFaults();
    inject();
    const int result = spec.run(dir);
    platform::ResetFaults();
    const Snapshot now = TakeSnapshot(dir.Path(""));
    if (result != spec.succeededResult) ++failed;
    SCOPED_TRACE(spec.name + ": " + label);
    spec.check({label, kind, nth, result, dir, before, after, now});
  };
  if (spec.shortWrites) {
    const int writes = counts[static_cast<size_t>(platform::Call::Write)];
    for (int n = 1; n <= writes; ++n) {
      runOnce(platform::Call::Write, n, "write call " + std::to_string(n) + " on a full disk",
              [n] { platform::ShortenNthWrite(n, 1); });
    }
    return failed;
  }
  for (size_t kind = 0; kind < counts.size(); ++kind) {
    const platform::Call call = kAllCalls[kind];
    for (int n = 1; n <= counts[kind]; ++n) {
      runOnce(call, n, std::string(CallName(call)) + " call " + std::to_string(n),
              [call, n] { platform::FailNthCall(call, n); });
    }
  }
  return failed;
}

std::vector<int> MasterView::Numbers() const {
  std::vector<int> numbers;
  for (const Bytes& record : records) numbers.push_back(record[0]);
  return numbers;
}

int MasterView::Listed(int fileNumber) const {
  return static_cast<int>(std::count_if(records.begin(), records.end(),
                                        [&](const Bytes& record) { return record[0] == fileNumber; }));
}

MasterView ViewMaster(const Snapshot& snapshot, const std::string& directory) {
  MasterView view;
  for (const auto& [path, bytes] : snapshot) {
    const auto [dir, name] = Split(path);
    if (dir != directory || Lower(name) != "master") continue;
    view.present = true;
    view.whole = bytes.size() >= kRecord && bytes.size() % kRecord == 0;
    if (bytes.size() >= 2) view.headerCount = bytes[0] | (bytes[1] << 8);
    for (size_t at = kRecord; at + kRecord <= bytes.size(); at += kRecord)
      view.records.emplace_back(bytes.begin() + static_cast<long>(at),
                                bytes.begin() + static_cast<long>(at + kRecord));
  }
  return view;
}

std::string LostOrUnlisted(const Snapshot& before, const Snapshot& after, const Snapshot& now,
                           const std::string& directory) {
  const MasterView masterNow = ViewMaster(now, directory);
  if (masterNow.present && !masterNow.whole) return "master of '" + directory + "' is not whole";
  for (const auto& [path, bytes] : now) {
    const auto [dir, name] = Split(path);
    const int n = DataFileNumber(name);
    if (dir != directory || n == 0) continue;
    if (masterNow.Listed(n) != 1)
      return path + " is listed " + std::to_string(masterNow.Listed(n)) + " times in its master";
  }
  const MasterView masterBefore = ViewMaster(before, directory);
  const MasterView masterAfter = ViewMaster(after, directory);
  for (int n : masterBefore.Numbers()) {
    const std::string path = DataFilePath(before, directory, n);
    if (path.empty()) continue;
    // The operation itself takes the file away (a move or a deletion): where
    // it went is the caller's to check.
    if (masterAfter.Listed(n) == 0 && masterNow.Listed(n) == 0) continue;
    const std::string nowPath = DataFilePath(now, directory, n);
    if (masterNow.Listed(n) != 1 || nowPath.empty())
      return "F" + std::to_string(n) + ".DAT of '" + directory + "' was lost";
    const std::optional<Bytes> state = StateOf(now, nowPath);
    const std::optional<Bytes> afterState = StateOf(after, DataFilePath(after, directory, n));
    if (state != StateOf(before, path) && state != afterState)
      return nowPath + " holds neither its old bytes nor its new ones (" + Describe(state) + ")";
  }
  return "";
}

std::string NeitherBeforeNorAfter(const Snapshot& before, const Snapshot& after, const Snapshot& now,
                                  const std::function<bool(const std::string&)>& exempt) {
  std::set<std::string> paths;
  for (const Snapshot* snapshot : {&before, &after, &now}) {
    for (const auto& entry : *snapshot) paths.insert(entry.first);
  }
  for (const std::string& path : paths) {
    if (IsTemporary(path) || (exempt && exempt(path))) continue;
    const std::optional<Bytes> state = StateOf(now, path);
    if (state != StateOf(before, path) && state != StateOf(after, path)) {
      return path + " is neither as before (" + Describe(StateOf(before, path)) + ") nor as after (" +
             Describe(StateOf(after, path)) + "): " + Describe(state);
    }
  }
  return "";
}

std::vector<std::string> Leftovers(const Snapshot& now) {
  std::vector<std::string> left;
  for (const auto& entry : now) {
    if (IsTemporary(entry.first)) left.push_back(entry.first);
  }
  return left;
}

}  // namespace faults_test
