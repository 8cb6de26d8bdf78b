#include "support/scenes.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <regex>

#include "filelayer/file_layer.h"
#include "filelayer/memory_file_system.h"
#include "store/emaster_follower.h"
#include "store/index_files.h"
#include "store/instrument_dialogs.h"
#include "store/temporary_files.h"

namespace fixtures {
namespace {

constexpr size_t kRecord = 53;
const char* const kCallNames[] = {"Open",   "Read", "Write",           "Truncate", "Rename",
                                  "Delete", "Copy", "CreateDirectory", "Size",     "List"};

// The directory part and the name of a snapshot path.
std::pair<std::string, std::string> Split(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? std::pair{std::string(), path}
                                    : std::pair{path.substr(0, slash), path.substr(slash + 1)};
}

// The file number of a data file name ("F12.DAT", any case), or 0.
int DataFileNumber(const std::string& name) {
  static const std::regex kData("F[1-9][0-9]*\\.DAT", std::regex::icase);
  return std::regex_match(name, kData) ? std::stoi(name.substr(1)) : 0;
}

bool IsTemporary(const std::string& path) {
  static const std::regex kTemporary("e?msttmp|QVX.*\\.TMP", std::regex::icase);
  return std::regex_match(Split(path).second, kTemporary);
}

std::string Lower(std::string text) {
  std::ranges::transform(text, text.begin(),
                         [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

std::string Under(const std::string& directory, const std::string& name) {
  return directory.empty() ? name : directory + "/" + name;
}

// The scene's files in a memory file system, under the core names of the
// directory; read-only ones stay so.
void LoadScene(const TempDir& dir, platform::MemoryFileSystem& memory) {
  memory.MakeDirectories(dir.Dir());
  for (const auto& [path, bytes] : TakeSnapshot(dir.Path(""))) {
    std::string name = dir.Dir() + path;
    std::replace(name.begin(), name.end(), '/', '\\');
    memory.WriteFile(name, bytes);
    const auto permissions = std::filesystem::status(dir.Path(path)).permissions();
    memory.SetReadOnly(name,
                       (permissions & std::filesystem::perms::owner_write) == std::filesystem::perms::none);
  }
  for (const auto& entry : std::filesystem::recursive_directory_iterator(dir.Path(""))) {
    if (!entry.is_directory()) continue;
    std::string name = dir.Dir() + std::filesystem::relative(entry.path(), dir.Path("")).generic_string();
    std::replace(name.begin(), name.end(), '/', '\\');
    memory.MakeDirectories(name);
  }
}

Snapshot FilesOf(const platform::MemoryFileSystem& memory, const TempDir& dir) {
  Snapshot files = memory.Below(dir.Dir());
  std::erase_if(files, [](const auto& entry) { return entry.first.ends_with('/'); });
  return files;
}

}  // namespace

Snapshot TakeSnapshot(const std::string& nativeDir) {
  Snapshot snapshot;
  const std::filesystem::path root(nativeDir);
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
    if (entry.is_regular_file())
      snapshot[entry.path().lexically_relative(root).generic_string()] =
          testing_support::ReadBytes(entry.path().string());
  }
  return snapshot;
}

std::optional<Bytes> StateOf(const Snapshot& snapshot, const std::string& path) {
  const auto same = [](char a, char b) { return std::tolower(a) == std::tolower(b); };
  for (const auto& [name, bytes] : snapshot) {
    if (std::ranges::equal(name, path, same)) return bytes;
  }
  return std::nullopt;
}

std::vector<int> MasterView::Numbers() const {
  std::vector<int> numbers;
  for (const Bytes& record : records) numbers.push_back(record[0]);
  return numbers;
}

int MasterView::Listed(int fileNumber) const {
  return static_cast<int>(std::ranges::count(Numbers(), fileNumber));
}

MasterView ViewMaster(const Snapshot& snapshot, const std::string& directory) {
  MasterView view;
  const std::optional<Bytes> bytes = StateOf(snapshot, Under(directory, "master"));
  if (!bytes) return view;
  view.present = true;
  view.whole = bytes->size() >= kRecord && bytes->size() % kRecord == 0;
  if (bytes->size() >= 4) {
    view.headerCount = testing_support::GetU16(*bytes, 0);
    view.lastFileNumber = testing_support::GetU16(*bytes, 2);
  }
  for (size_t at = kRecord; at + kRecord <= bytes->size(); at += kRecord)
    view.records.emplace_back(bytes->begin() + static_cast<long>(at),
                              bytes->begin() + static_cast<long>(at + kRecord));
  return view;
}

std::vector<std::string> Leftovers(const Snapshot& snapshot) {
  std::vector<std::string> left;
  for (const auto& entry : snapshot) {
    if (IsTemporary(entry.first)) left.push_back(entry.first);
  }
  return left;
}

std::string LostOrUnlisted(const Snapshot& before, const Snapshot& after, const Snapshot& now,
                           const std::string& directory) {
  const MasterView masterNow = ViewMaster(now, directory);
  if (masterNow.present && !masterNow.whole) return "master of '" + directory + "' is not whole";
  for (const auto& [path, bytes] : now) {
    const auto [dir, name] = Split(path);
    const int n = DataFileNumber(name);
    if (dir == directory && n != 0 && masterNow.Listed(n) != 1)
      return path + " is listed " + std::to_string(masterNow.Listed(n)) + " times in its master";
  }
  const MasterView masterAfter = ViewMaster(after, directory);
  for (int n : ViewMaster(before, directory).Numbers()) {
    const std::string path = Under(directory, "F" + std::to_string(n) + ".DAT");
    const std::optional<Bytes> was = StateOf(before, path);
    // The operation itself takes the file away (a move or a deletion): where
    // it went is the caller's to check.
    if (!was || (masterAfter.Listed(n) == 0 && masterNow.Listed(n) == 0)) continue;
    const std::optional<Bytes> state = StateOf(now, path);
    if (masterNow.Listed(n) != 1 || !state) return path + " was lost";
    if (state != was && state != StateOf(after, path))
      return path + " holds neither its old bytes nor its new ones (" + std::to_string(state->size()) +
             " bytes)";
  }
  return "";
}

namespace {

// The call to fail after call n.
int NextFailingCall(int n) {
#ifdef _WIN32
  return n < 8 ? n + 1 : n + 3;
#else
  return n + 1;
#endif
}

}  // namespace

int SweepEveryCall(const SweepSpec& spec) {
  FaultScope faults;
  std::vector<int> counts;
  Snapshot before, after;
  {
    TempDir dir;
    spec.build(dir);
    before = TakeSnapshot(dir.Path(""));
    platform::ResetFaults();
    const int result = spec.run(dir);
    for (int kind = 0; kind <= static_cast<int>(platform::Call::List); ++kind)
      counts.push_back(platform::CallCount(static_cast<platform::Call>(kind)));
    platform::ResetFaults();
    EXPECT_EQ(result, spec.succeededResult) << spec.name << ": the run without faults";
    after = TakeSnapshot(dir.Path(""));
  }
  int failed = 0;
  auto runOnce = [&](platform::Call kind, const std::string& label, const std::function<void()>& inject) {
    TempDir dir;
    spec.build(dir);
    platform::ResetFaults();
    inject();
    const int result = spec.run(dir);
    platform::ResetFaults();
    const Snapshot now = TakeSnapshot(dir.Path(""));
    failed += result != spec.succeededResult;
    SCOPED_TRACE(spec.name + ": " + label + " failing, result " + std::to_string(result));
    EXPECT_EQ(Leftovers(now), std::vector<std::string>{});
    for (const auto& [path, bytes] : now) {
      std::string file = dir.Dir() + path;
      std::replace(file.begin(), file.end(), '/', '\\');
      EXPECT_EQ(IsFileOpen(file.c_str()), 0) << file << " stays open";
    }
    for (const std::string& directory : spec.directories)
      EXPECT_EQ(LostOrUnlisted(before, after, now, directory), "") << "directory '" << directory << "'";
    if (spec.allOrNothing) {
      Snapshot kept = now;  // a temporary file left is reported above
      std::erase_if(kept, [](const auto& entry) { return IsTemporary(entry.first); });
      if (result == spec.succeededResult)
        EXPECT_TRUE(kept == after) << "reported success but the files are not as after the faultless run";
      else
        EXPECT_TRUE(kept == before) << "reported failure but the files are not as before";
    }
    if (spec.check) spec.check({kind, result, dir, before, after, now});
  };
  if (spec.shortWrites) {
    for (int n = 1; n <= counts[static_cast<size_t>(platform::Call::Write)]; n = NextFailingCall(n))
      runOnce(platform::Call::Write, "write " + std::to_string(n) + " on a full disk",
              [n] { platform::ShortenNthWrite(n, 1); });
    return failed;
  }
  for (size_t kind = 0; kind < counts.size(); ++kind) {
    const auto call = static_cast<platform::Call>(kind);
    for (int n = 1; n <= counts[kind]; n = NextFailingCall(n))
      runOnce(call, std::string(kCallNames[kind]) + " call " + std::to_string(n),
              [call, n] { platform::FailNthCall(call, n); });
  }
  return failed;
}

std::string ListedButUnreadable(const Snapshot& snapshot, const std::string& directory, bool atMost) {
  for (const Bytes& record : ViewMaster(snapshot, directory).records) {
    const std::string path = Under(directory, "F" + std::to_string(record[0]) + ".DAT");
    const std::optional<Bytes> data = StateOf(snapshot, path);
    const size_t length = record[3];
    if (!data || length == 0 || data->size() < length) return path + " is missing or shorter than its header";
    const size_t whole = data->size() / length, counted = testing_support::GetU16(*data, 2);
    if (counted != (whole > 0xFFFF ? 0 : whole) && !(atMost && counted < whole))
      return path + "'s header counts " + std::to_string(counted) + " records; it holds " +
             std::to_string(whole);
  }
  return "";
}

std::string LostInAStop(const Snapshot& before, const Snapshot& after, const Snapshot& now,
                        const std::vector<std::string>& directories) {
  // Each listed data file's bytes by where it is listed.
  const auto listed = [&](const Snapshot& snapshot) {
    std::map<std::string, Bytes> files;
    for (const std::string& directory : directories) {
      for (int n : ViewMaster(snapshot, directory).Numbers()) {
        const std::string path = Under(directory, "F" + std::to_string(n) + ".DAT");
        if (const std::optional<Bytes> bytes = StateOf(snapshot, path)) files[Lower(path)] = *bytes;
      }
    }
    return files;
  };
  const auto listedBefore = listed(before), listedAfter = listed(after), listedNow = listed(now);
  const auto anywhere = [](const std::map<std::string, Bytes>& files, const Bytes& bytes) {
    return std::ranges::any_of(files, [&](const auto& file) { return file.second == bytes; });
  };
  for (const std::string& directory : directories) {
    const MasterView master = ViewMaster(now, directory);
    if (master.present && !master.whole) return "master of '" + directory + "' is not whole";
  }
  for (const auto& [path, was] : listedBefore) {
    const auto stays = listedAfter.find(path), there = listedNow.find(path);
    if (stays != listedAfter.end()) {
      if (there == listedNow.end() || (there->second != was && there->second != stays->second))
        return path + " is not listed with its old bytes nor its new ones";
    } else if (anywhere(listedAfter, was) && !anywhere(listedNow, was)) {
      return path + "'s records are listed nowhere";
    }
  }
  return "";
}

int SweepEveryStop(const SweepSpec& spec) {
  FaultScope faults;
  TempDir dir;
  spec.build(dir);
  const Snapshot before = TakeSnapshot(dir.Path(""));
  const auto run = [&](int stop, platform::MemoryFileSystem& memory) {
    LoadScene(dir, memory);
    platform::MemoryFileSystemInUse inUse(memory);
    memory.StopAfterChanges(stop);
    const int result = spec.run(dir);
    memory.Restart();
    return result;
  };
  platform::MemoryFileSystem whole;
  EXPECT_EQ(run(0, whole), spec.succeededResult) << spec.name << ": the run without a stop";
  const Snapshot after = FilesOf(whole, dir);
  const std::vector<std::string> directories =
      spec.directories.empty() ? std::vector<std::string>{""} : spec.directories;
  for (int n = 1; n <= whole.Changes(); ++n) {
    platform::MemoryFileSystem memory;
    run(n, memory);
    const Snapshot now = FilesOf(memory, dir);
    SCOPED_TRACE(spec.name + ": stopped after change " + std::to_string(n) + " of " +
                 std::to_string(whole.Changes()));
    Snapshot kept = now;
    std::erase_if(kept, [](const auto& entry) { return IsTemporary(entry.first); });
    EXPECT_EQ(LostInAStop(before, after, kept, spec.directories), "");
    for (const std::string& directory : directories) {
      // Exactly after the last change; a scene that began with a count that disagreed, at most; one that
      // began with a listed data file missing (a master repair's), not at all.
      const std::string began = ListedButUnreadable(before, directory, true);
      const bool exact = n == whole.Changes() && ListedButUnreadable(before, directory).empty();
      if (began.empty()) {
        EXPECT_EQ(ListedButUnreadable(kept, directory, !exact), "") << "directory '" << directory << "'";
      }
    }
    if (spec.check) spec.check({platform::Call::Write, n, dir, before, after, kept});
    if (!spec.putRightByRunningAgain) {
      // The master repair lists each data file the stop left unlisted and brings EMASTER in step, losing
      // nothing and breaking nothing.
      platform::MemoryFileSystemInUse inUse(memory);
      for (const std::string& directory : directories) {
        const std::string path = dir.Dir() + directory + (directory.empty() ? "" : "\\");
        ListUnlistedDataFiles(path.c_str());
        BringEmasterInStep(path.c_str());
        EXPECT_EQ(UnlistedDataFiles(path.c_str()), std::vector<std::string>{})
            << "directory '" << directory << "'";
        EXPECT_EQ(ListedButUnreadable(FilesOf(memory, dir), directory, true), "") << "after the repair";
        const EmasterContents emaster = ReadEmaster(path.c_str());
        EXPECT_TRUE(!emaster.present || EmasterAgrees(ReadMasterRecords(path.c_str()), emaster)) << directory;
      }
      Snapshot mended = FilesOf(memory, dir);
      std::erase_if(mended, [](const auto& entry) { return IsTemporary(entry.first); });
      EXPECT_EQ(LostInAStop(before, after, mended, spec.directories), "") << "after the repair";
      continue;
    }
    {
      platform::MemoryFileSystemInUse inUse(memory);
      spec.run(dir);
    }
    Snapshot again = FilesOf(memory, dir), done = after;
    for (Snapshot* files : {&again, &done})
      std::erase_if(*files, [](const auto& entry) { return IsTemporary(entry.first); });
    EXPECT_TRUE(again == done) << "running the operation again does not put it right";
  }
  return whole.Changes();
}

}  // namespace fixtures
