// The platform backends (the same expectations for Win32 under Wine, the POSIX
// emulation and the memory file system) with their injected faults and listing
// scopes, then the open-file table on each: who may open what, positions,
// tracked lengths, released handles, copies and replacements, also from
// several threads at once. Last, the memory file system's stops.
#include "filelayer/file_layer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "filelayer/memory_file_system.h"
#include "filelayer/platform_file.h"
#include "support/scenes.h"
#include "support/temp_dir.h"

namespace {

using namespace testing_support;
using fixtures::HeldFile;
using platform::Access;
using platform::Call;
using platform::Creation;
using platform::NewFile;

constexpr uint32_t kRecord = 10;
constexpr platform::OpenRequest kCreate{.access = Access::ReadWrite, .creation = Creation::CreateAlways};

Bytes Pattern(size_t size, unsigned seed = 0) {
  Bytes bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(seed * 7 + i * 13 + i / 256);
  return bytes;
}
Bytes Slice(const Bytes& bytes, size_t from, size_t count) {
  return Bytes(bytes.begin() + static_cast<long>(from), bytes.begin() + static_cast<long>(from + count));
}
Bytes Join(Bytes bytes, const Bytes& more) {
  bytes.insert(bytes.end(), more.begin(), more.end());
  return bytes;
}

// Each test on the system's files (false) and on the memory file system (true).
class FileLayerTest : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    if (!GetParam()) return;
    memory_.MakeDirectories(dir_.Dir());
    inUse_.emplace(memory_);
  }
  void TearDown() override {
    for (FileHandle handle : open_) SCloseFile(handle);
    platform::ResetFaults();
    inUse_.reset();
  }
  std::string Name(const std::string& leaf) const { return dir_.Name(leaf); }
  // The files themselves, past the platform calls.
  void Make(const std::string& leaf, const Bytes& bytes) {
    GetParam() ? memory_.WriteFile(Name(leaf), bytes) : WriteBytes(dir_.Path(leaf), bytes);
  }
  Bytes Content(const std::string& leaf) const {
    return GetParam() ? memory_.ReadFile(Name(leaf)).value_or(Bytes{}) : ReadBytes(dir_.Path(leaf));
  }
  void MakeSubdir(const std::string& leaf) {
    GetParam() ? memory_.MakeDirectories(Name(leaf)) : void(dir_.MakeSubdir(leaf));
  }
  bool ReadOnly(const std::string& leaf) const {
    return GetParam() ? memory_.IsReadOnly(Name(leaf))
                      : !int(std::filesystem::status(dir_.Path(leaf)).permissions() & kWrite);
  }
  void SetReadOnly(const std::string& leaf, bool readOnly) {
    if (GetParam()) return memory_.SetReadOnly(Name(leaf), readOnly);
    std::filesystem::permissions(
        dir_.Path(leaf), kWrite,
        readOnly ? std::filesystem::perm_options::remove : std::filesystem::perm_options::add);
  }
  // Every entry below the directory with its bytes (none for a directory), past the platform calls.
  std::map<std::string, Bytes> Disk() const {
    if (GetParam()) return memory_.Below(dir_.Dir());
    std::map<std::string, Bytes> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dir_.Path(""))) {
      const std::string name = std::filesystem::relative(entry.path(), dir_.Path("")).generic_string();
      files[entry.is_directory() ? name + "/" : name] =
          entry.is_directory() ? Bytes{} : ReadBytes(entry.path().string());
    }
    return files;
  }
  FileHandle Open(const std::string& name, int mode, int share = 1, uint32_t recordSize = kRecord) {
    const FileHandle handle = SOpenFile(name.c_str(), mode, share, recordSize, 0);
    if (handle >= 0) open_.push_back(handle);
    return handle;
  }
  void Close(FileHandle handle) {
    open_.erase(std::remove(open_.begin(), open_.end(), handle), open_.end());
    EXPECT_EQ(SCloseFile(handle), kClosedHandle);
  }
  Bytes Record(FileHandle handle, int advance = 1) {
    Bytes buffer(kRecord, 0xEE);
    return ReadRecord(handle, buffer.data(), advance) ? buffer : Bytes{};
  }
  int32_t Position(FileHandle handle) { return SSeek(handle, 0, 1); }
  std::vector<std::string> List(const std::string& directory) const {
    std::vector<std::string> names;
    platform::ListDirectory(directory, [&](const platform::DirectoryEntry& e) {
      names.push_back(e.name + (e.isDirectory ? "/" : ""));
      return true;
    });
    return names;
  }

  static constexpr auto kWrite = std::filesystem::perms::owner_write | std::filesystem::perms::group_write |
                                 std::filesystem::perms::others_write;
  TempDir dir_;
  platform::MemoryFileSystem memory_;
  std::optional<platform::MemoryFileSystemInUse> inUse_;
  std::vector<FileHandle> open_;
};

INSTANTIATE_TEST_SUITE_P(Backends, FileLayerTest, ::testing::Bool(),
                         [](const auto& backend) { return backend.param ? "Memory" : "System"; });

// Directories made and listed; names resolve whatever their case and separators.
TEST_P(FileLayerTest, PlatformDirectoriesNamesAndNewFiles) {
  Make("b.dat", Pattern(1));
  const std::pair<const char*, bool> directories[] = {
      {"Sub", true}, {"SUB", false}, {"B.dat", false}, {"None\\Sub", false}, {"sub\\Data\\", true}};
  for (const auto& [name, made] : directories) EXPECT_EQ(platform::MakeDirectory(Name(name)), made) << name;
  EXPECT_EQ(List(dir_.Dir()), (std::vector<std::string>{"b.dat", "Sub/"}));
  int visited = 0;
  EXPECT_TRUE(platform::ListDirectory(dir_.Dir(), [&](auto&) { return ++visited < 1; }));
  EXPECT_EQ(visited, 1) << "the visitor stops the listing";
  Make("Sub/Data/F1.DAT", Pattern(12));
  for (const char* text : {"SUB\\data\\f1.dat", "sub/DATA/F1.dat", "Sub\\.\\DATA\\..\\data\\f1.DAT"})
    EXPECT_EQ(platform::Size(HeldFile(Name(text), {}).file), 12) << text;
  EXPECT_FALSE(platform::CanOpenForReading(Name("Sub\\None\\F1.DAT")));
  // A file's last write, in seconds since 1970, and none for a directory or a missing name.
  const int64_t written = *platform::ModifiedTime(Name("sub\\DATA\\f1.dat")), now = std::time(nullptr);
  EXPECT_TRUE(written > now - 600 && written <= now + 1 && !platform::ModifiedTime(Name("Sub\\Data\\")) &&
              !platform::ModifiedTime(Name("Sub\\F1.DAT")));
  // One directory under two texts has one identity; a file, a missing name or a failed call has none.
  const auto id = [&](const char* text) { return platform::IdentifyDirectory(Name(text)); };
  EXPECT_TRUE(id("sub\\DATA\\") && id("sub\\DATA\\") == id("Sub\\.\\Data") &&
              id("Sub\\.\\Data") != id("Sub\\"));
  platform::FailNthCall(Call::List, 1);
  EXPECT_FALSE(id("Sub\\") || id("b.dat") || id("None\\"));
  const std::string sub = Name("Sub\\Data\\");
  for (const auto& [leaf, result] : {std::pair{"new.tmp", NewFile::Created},
                                     {"NEW.TMP", NewFile::Exists},
                                     {"f1.dat", NewFile::Exists},
                                     {"..\\None\\x", NewFile::Failed}})
    EXPECT_EQ(platform::CreateNewFile(sub + leaf), result) << leaf;
  EXPECT_EQ(List(sub), (std::vector<std::string>{"F1.DAT", "new.tmp"}));
  EXPECT_EQ(Content("Sub/Data/F1.DAT"), Pattern(12)) << "an existing file is left as it was";
#ifndef _WIN32
  if (GetParam()) return;
  // Only a case-sensitive file system holds both; the exact name wins, then the capitals.
  Make("f2.dat", Pattern(4, 1));
  Make("F2.DAT", Pattern(4, 2));
  HeldFile exact(Name("f2.dat"), kCreate);
  EXPECT_TRUE(Content("f2.dat").empty() && Content("F2.DAT") == Pattern(4, 2));
  // The system's text for a core name: '/' for a separator, '\\' where a listed name held one.
  const std::pair<const char*, const char*> natives[] = {
      {"C:\\DATA\\\\F1", "C:/DATA//F1"}, {"a\xEF\x81\x9Cz\\", "a\\z/"}, {"x/\xEF\x81", "x/\xEF\x81"}};
  for (const auto& [core, native] : natives) EXPECT_EQ(NativePath(core), native);
#endif
}

// Within a listing scope a directory's names are answered as the platform answers them, from one listing:
// a file made behind the layer's back stays unseen until a name changes through the layer, Forget or the
// scope's end, and by other threads. A file held sharing no reading is asked; faults apply as ever. Names
// that differ only in case (a POSIX directory can hold both) reach the one spelt so, else the first in bytes.
TEST_P(FileLayerTest, AListingScopeAnswersAsThePlatformFromOneListing) {
  Make("F1.DAT", Pattern(12));
  Make("MASTER", Pattern(53));
  Make("Master", Pattern(7));
  MakeSubdir("SUB");
  Make("SUB/F2.DAT", Pattern(3));
  const std::string d = dir_.Dir();
  const auto answers = [&] {
    std::vector<std::tuple<std::string, int, bool, int64_t>> seen;
    for (const char* leaf :
         {"F1.DAT", "f1.dat", "master", "Master", "F9.DOP", "SUB", "sub\\f2.dat", "SUB\\F3.DAT"}) {
      const std::string name = d + leaf;
      const HeldFile held(name, {});
      seen.emplace_back(leaf, Exists(name.c_str()), platform::ModifiedTime(name).has_value(),
                        held.Holds() ? platform::Size(held.file) : -1);
    }
    return std::pair(seen, List(d));
  };
  const auto outside = answers();
  const std::string late = d + "LATE.DAT", later = d + "LATER.DAT";
  const auto seenByAnotherThread = [&](const std::string& name) {
    int seen = -1;
    std::thread([&] { seen = Exists(name.c_str()); }).join();
    return seen;
  };
  {
    const platform::ListingScope scope(d);
    EXPECT_EQ(answers(), outside);
    Make("LATE.DAT", Pattern(5));
    const platform::ListingScope nested(d);
    EXPECT_EQ((std::tuple{Exists(late.c_str()), HeldFile(late, {}).Holds(), seenByAnotherThread(late)}),
              std::tuple(0, false, 1));
    ASSERT_EQ(platform::CreateNewFile(d + "NEW.TMP"), NewFile::Created);
    EXPECT_EQ(Exists(late.c_str()), 1);
    Make("LATER.DAT", Pattern(5));
    EXPECT_EQ(Exists(later.c_str()), 0);
    platform::ListingScope::Forget();
    EXPECT_EQ(Exists(later.c_str()), 1);
    const FileHandle unshared = Open(d + "f1.dat", 0, 0);
    EXPECT_EQ((std::pair{Exists((d + "F1.DAT").c_str()), Exists(late.c_str())}), std::pair(0, 1));
    Close(unshared);
    platform::FailNthCall(Call::Open, 1);
    platform::FailNthCall(Call::List, 2);
    EXPECT_EQ((std::tuple{Exists(late.c_str()), List(d).size(), List(d).size()}),
              std::tuple(0, outside.second.size() + 3, 0u));
  }
  Make("LATEST.DAT", Pattern(5));
  EXPECT_EQ(Exists((d + "latest.dat").c_str()), 1);
}

// A read-only file (no write permission, even for root) is not written, emptied, replaced, copied over
// or deleted; it is still read, renamed, copied and put in another's place, and stays read-only.
TEST_P(FileLayerTest, PlatformRenameReplaceCopyAndRemoveRefuseWhatWouldLoseAFile) {
  auto opens = [](const std::string& name, platform::OpenRequest how) { return HeldFile(name, how).Holds(); };
  Make("A.DAT", Pattern(5, 1));
  Make("B.DAT", Pattern(70000, 2));
  Make("RO.DAT", Pattern(9));
  SetReadOnly("RO.DAT", true);
  const std::string ro = Name("RO.DAT");
  EXPECT_FALSE(platform::RenameFile(Name("A.DAT"), Name("b.dat"))) << "the destination exists";
  EXPECT_FALSE(platform::RenameFile(Name("NONE.DAT"), Name("E.DAT")));
  EXPECT_FALSE(platform::CopyFileTo(Name("B.DAT"), Name("a.dat"), true));
  EXPECT_FALSE(platform::CopyFileTo(Name("B.DAT"), Name("b.DAT"), false)) << "never onto itself";
  EXPECT_FALSE(platform::RemoveFile(Name("NONE.DAT")));
  {
    HeldFile held(Name("a.dat"), {});
    EXPECT_FALSE(platform::RenameFile(Name("A.DAT"), Name("D.DAT")));
    EXPECT_FALSE(platform::CopyFileTo(Name("B.DAT"), Name("A.DAT"), false));
    EXPECT_FALSE(platform::RemoveFile(Name("A.DAT")));
    HeldFile unshared(Name("B.DAT"), {.shareRead = false});
    EXPECT_FALSE(platform::CopyFileTo(Name("B.DAT"), Name("Y.DAT"), false));
  }
  const std::vector<bool> writtenEmptiedReplacedCopiedOverDeleted = {
      opens(ro, {.access = Access::ReadWrite}), opens(Name("ro.dat"), kCreate),
      platform::ReplaceFileWith(Name("A.DAT"), ro), platform::CopyFileTo(Name("A.DAT"), ro, false),
      platform::RemoveFile(ro)};
  EXPECT_EQ((std::tuple{writtenEmptiedReplacedCopiedOverDeleted, Content("RO.DAT"), ReadOnly("RO.DAT")}),
            std::tuple(std::vector<bool>(5), Pattern(9), true));
  EXPECT_TRUE(opens(ro, {})) << "a read-only file is read";
  EXPECT_EQ(Content("A.DAT"), Pattern(5, 1));
  EXPECT_EQ(List(dir_.Dir()), (std::vector<std::string>{"A.DAT", "B.DAT", "RO.DAT"}));
  {
    HeldFile writer(Name("B.DAT"));  // a writer that shares reading is copied
    EXPECT_TRUE(platform::CopyFileTo(Name("b.dat"), Name("C.DAT"), true));
  }
  EXPECT_TRUE(platform::CopyFileTo(Name("a.dat"), Name("c.dat"), false));
  EXPECT_TRUE(platform::ReplaceFileWith(Name("c.dat"), Name("b.dat")));
  EXPECT_TRUE(platform::RenameFile(Name("B.DAT"), Name("b.dat"))) << "only the case changes";
  EXPECT_TRUE(platform::RemoveFile(Name("a.DAT")));
  EXPECT_EQ(Content("b.dat"), Pattern(5, 1));
  EXPECT_TRUE(platform::RenameFile(ro, Name("MOVED.DAT")) &&
              platform::CopyFileTo(Name("MOVED.DAT"), Name("COPY.DAT"), true) &&
              platform::ReplaceFileWith(Name("COPY.DAT"), Name("b.dat")));
  EXPECT_EQ(List(dir_.Dir()).size(), 2u) << "RO.DAT moved, COPY.DAT put in b.dat's place";
  for (const char* leaf : {"b.dat", "MOVED.DAT"}) {
    EXPECT_EQ((std::pair{Content(leaf), ReadOnly(leaf)}), std::pair(Pattern(9), true)) << leaf;
    SetReadOnly(leaf, false);  // or Windows could not delete it
  }
  MakeSubdir("SUB");
  EXPECT_FALSE(platform::RemoveFile(Name("SUB")));
  EXPECT_EQ(platform::Open(Name("SUB"), {}), nullptr);
}

// Bytes move exactly; then for each kind the second call from now fails and
// changes nothing on disk, the calls around it work and every call is counted;
// a reset clears faults and counts.
TEST_P(FileLayerTest, PlatformReadsWritesAndInjectedFaultsThatFailOnlyTheNthCallOfTheirKind) {
  Make("SRC.DAT", Pattern(16));
  HeldFile scratch(Name("SCRATCH.DAT"), kCreate);
  const platform::FileRef file = scratch.file;
  Bytes data = Pattern(12, 3), back(20, 0xEE);
  EXPECT_EQ(platform::WriteAt(file, data.data(), 12, 4), 12);
  EXPECT_EQ(platform::Size(file), 16);
  EXPECT_EQ(platform::ReadAt(file, back.data(), 20, 0), 16) << "short at the end";
  EXPECT_EQ(Slice(back, 0, 16), Join(Bytes(4, 0), data)) << "the gap reads as zeros";
  EXPECT_EQ(platform::ReadAt(file, back.data(), 4, -1), -1);
  EXPECT_EQ(platform::WriteAt(file, data.data(), 4, -1), -1);
  EXPECT_FALSE(platform::Truncate(file, -1));
  auto leaf = [](const char* stem, int r) { return std::string(stem) + std::to_string(r); };
  const std::pair<Call, std::function<bool(int)>> cases[] = {
      {Call::Open, [&](int r) { return HeldFile(Name(leaf("O", r)), kCreate).Holds(); }},
      {Call::Read, [&](int r) { return platform::ReadAt(file, back.data(), 4, r) == 4; }},
      {Call::Write, [&](int r) { return platform::WriteAt(file, back.data(), 4, 16 + 8 * r) == 4; }},
      {Call::Truncate, [&](int r) { return platform::Truncate(file, 100 + r); }},
      {Call::Size, [&](int) { return platform::Size(file) >= 0; }},
      {Call::Rename, [&](int r) { return platform::RenameFile(Name(leaf("SRC", r)), Name(leaf("REN", r))); }},
      {Call::Delete, [&](int r) { return platform::RemoveFile(Name(leaf("SRC", r))); }},
      {Call::Copy, [&](int r) { return platform::CopyFileTo(Name("SRC.DAT"), Name(leaf("CPY", r)), true); }},
      {Call::CreateDirectory, [&](int r) { return platform::MakeDirectory(Name(leaf("DIR", r))); }},
      {Call::List, [&](int) { return platform::ListDirectory(dir_.Dir(), [](auto&) { return true; }); }},
  };
  for (const auto& [kind, call] : cases) {
    SCOPED_TRACE(static_cast<int>(kind));
    for (int r = 1; r <= 3; ++r) Make(leaf("SRC", r), Pattern(2));
    platform::ResetFaults();
    platform::FailNthCall(kind, 2);
    EXPECT_TRUE(call(1));
    const auto before = Disk();
    EXPECT_EQ((std::tuple{call(2), Disk() == before, call(3), platform::CallCount(kind)}),
              std::tuple(false, true, true, 3));
  }
  platform::ShortenNthWrite(2, 1);  // a full disk, one byte free at the second write from now
  EXPECT_EQ(platform::WriteAt(file, back.data(), 4, 0), 4);
  EXPECT_EQ(platform::WriteAt(file, back.data(), 4, platform::Size(file) - 2), 3) << "two inside, one beyond";
  platform::FailNthCall(Call::Open, 1);
  platform::ResetFaults();
  EXPECT_EQ(platform::CallCount(Call::Open), 0);
  EXPECT_TRUE(platform::CanOpenForReading(Name("SRC.DAT")));
}

// Opens of one name text share an entry when the first allows it and the later
// ones only read; another text for the file meets the platform's rule (each open
// shares what the other does); a create empties the file. Random steps, a model.
TEST_P(FileLayerTest, OpensFollowTheModelOfEntriesAndSharing) {
  struct Entry {
    int mode = 0, share = 0;
    std::vector<FileHandle> handles;
  };
  std::mt19937 random(7);
  const std::string texts[] = {Name("F1.DAT"), Name("f1.dat")};
  std::map<int, Entry> entries;  // by text
  size_t size = 20;
  Make("F1.DAT", Pattern(size));
  for (int step = 0; step < 400; ++step) {
    const int t = static_cast<int>(random() % 2), mode = static_cast<int>(random() % 4),
              share = static_cast<int>(random() % 2);
    Entry& own = entries[t];
    if (random() % 3 == 0 && !own.handles.empty()) {
      Close(own.handles.back());
      own.handles.pop_back();
      continue;
    }
    const Entry& other = entries[1 - t];
    FileHandle expected = 0;  // 0: a valid handle
    if (!own.handles.empty()) {
      expected = !own.share ? kOpenRefused : mode > 2 ? kNoFreeHandle : mode == 0 ? 0 : kOpenRefused;
    } else if (mode > 2) {
      expected = kNoFreeHandle;
    } else if (!other.handles.empty() && !(other.mode == 0 && other.share && mode == 0 && share)) {
      expected = mode == 0 ? kOpenRefused : kPlatformOpenFailed;
    }
    const FileHandle result = Open(texts[t], mode, share);
    SCOPED_TRACE(testing::Message() << "step " << step << ": " << t << mode << share);
    if (expected != 0) {
      ASSERT_EQ(result, expected);
    } else {
      ASSERT_EQ(ValidFile(result), 1);
      if (own.handles.empty()) own.mode = mode, own.share = share, size = mode == 2 ? 0 : size;
      own.handles.push_back(result);
    }
    for (int i = 0; i < 2; ++i) ASSERT_EQ(IsFileOpen(texts[i].c_str()), entries[i].handles.empty() ? 0 : 1);
    // Its size, read even while an open shares nothing.
    ASSERT_EQ(GetParam() ? Content("F1.DAT").size() : std::filesystem::file_size(dir_.Path("F1.DAT")), size)
        << "a create empties the file";
  }
}

TEST_P(FileLayerTest, HandlesKeepTheirPositionsAndTheTrackedLengthGuardsReads) {
  const Bytes data = Pattern(3 * kRecord);
  Make("F1.DAT", data);
  const FileHandle first = Open(Name("F1.DAT"), 1), second = Open(Name("F1.DAT"), 0, 1, 4);
  EXPECT_EQ((std::tuple{Record(first), Record(first), Record(second), Record(first, 0), Position(first)}),
            std::tuple(Slice(data, 0, kRecord), Slice(data, 10, kRecord), Slice(data, 0, kRecord),
                       Slice(data, 20, kRecord), 20))
      << "each handle its own position, the entry's record size";
  ClearFileAccess(first);
  const int reads = platform::CallCount(Call::Read);
  Bytes buffer(kRecord);
  EXPECT_EQ(ReadBlock(first, buffer.data(), 5, 26, 1), 0) << "beyond the tracked length";
  EXPECT_EQ(std::pair(platform::CallCount(Call::Read), FileAccessed(first)), std::pair(reads, 0))
      << "refused without the platform";
  EXPECT_EQ(ReadBlock(first, buffer.data(), 4, -4, 1), 0) << "a negative offset fails at the platform";
  EXPECT_EQ(std::tuple(platform::CallCount(Call::Read), FileAccessed(first), Position(first)),
            std::tuple(reads + 1, 1, 20));
  const Bytes record = Pattern(kRecord, 50);
  EXPECT_EQ(WriteBlock(first, record.data(), 4, 100, 1), 1);
  EXPECT_EQ(FileLength(second), 104) << "writes raise the entry's length";
  EXPECT_EQ(Position(first), 104);
  EXPECT_EQ(Content("F1.DAT"), Join(Join(data, Bytes(70, 0)), Slice(record, 0, 4)));
  EXPECT_EQ(WriteBlock(first, record.data(), 4, INT32_MAX - 2, 0), 0) << "beyond what 32 bits can track";
  platform::FailNthCall(Call::Read, 1);
  EXPECT_TRUE(Record(second).empty());
  platform::FailNthCall(Call::Write, 1);
  EXPECT_EQ(WriteRecord(first, record.data(), 1), 0);
  EXPECT_EQ((std::tuple{Position(second), Position(first), FileLength(first)}), std::tuple(10, 104, 104))
      << "failures keep positions";
  // Distance, origin, new position.
  const int32_t seeks[][3] = {{5, 0, 5},    {-10, 1, 10}, {7, 1, 27},   {-4, 2, 100},
                              {10, 2, 114}, {-1, 0, -1},  {-21, 1, -1}, {0, 3, -1}};
  for (const auto& [distance, origin, expected] : seeks) {
    ASSERT_EQ(SSeek(first, 20, 0), 20);
    EXPECT_EQ(SSeek(first, distance, origin), expected) << distance << " from " << origin;
    EXPECT_EQ(Position(first), expected);
  }
  ASSERT_EQ(SSeek(first, INT32_MAX, 0), INT32_MAX);
  EXPECT_EQ(SSeek(first, 1, 1), -1);
  platform::FailNthCall(Call::Size, 1);
  EXPECT_EQ(SSeek(first, 0, 2), -1);
  ASSERT_EQ(SSeek(first, 30, 0), 30);
  EXPECT_EQ(STruncateFile(first, 20), 1);
  EXPECT_EQ(STruncateFile(first, 25), 1);
  EXPECT_EQ(Content("F1.DAT"), Join(Slice(data, 0, 20), Bytes(5, 0)));
  EXPECT_EQ(Position(first), 30) << "truncation moves no position";
  platform::FailNthCall(Call::Truncate, 1);
  EXPECT_EQ((std::pair{STruncateFile(first, 5), FileLength(first)}), std::pair(0, 25));
  EXPECT_EQ(STruncateFile(first, 0), 1);
  EXPECT_TRUE(Content("F1.DAT").empty()) << "truncated to nothing";
  for (FileHandle handle : {first, second}) Close(handle);
  EXPECT_EQ(STruncateFile(Open(Name("F1.DAT"), 0), 5), 0) << "read access only";
}

TEST_P(FileLayerTest, ReleasedHandlesReopenOnNextUseUnlessAnotherWriterHoldsTheFile) {
  Make("F1.DAT", Pattern(2 * kRecord));
  const FileHandle mine = Open(Name("F1.DAT"), 1), sharing = Open(Name("F1.DAT"), 0);
  EXPECT_EQ((std::tuple{ReleaseHandle(mine), ReleaseHandle(sharing), IsFileOpen(Name("F1.DAT").c_str())}),
            std::tuple(1, 0, 1))
      << "one platform handle for the entry, which stays open";
  const FileHandle theirs = Open(Name(".\\F1.DAT"), 1);  // what the release is for
  ASSERT_EQ(WriteBlock(theirs, Pattern(kRecord, 99).data(), kRecord, 20, 0), 1);
  ClearFileAccess(mine);
  EXPECT_EQ((std::tuple{Record(mine).empty(), FileAccessed(mine), SSeek(mine, 0, 2)}),
            std::tuple(true, 0, -1));
  Close(theirs);
  EXPECT_EQ((std::pair{Record(sharing), Record(mine, 0)}), std::pair(Pattern(kRecord), Pattern(kRecord)));
  EXPECT_EQ(FileLength(mine), 20) << "the re-open does not refresh the tracked length";
  EXPECT_EQ(SSeek(mine, 0, 2), 30);
}

TEST_P(FileLayerTest, CopyFromRecordStartsAtTheRecordOrAfterIt) {
  const Bytes source = Pattern(5 * kRecord);
  Make("F1.DAT", source);
  // Record, skip, the first byte copied.
  const int32_t cases[][3] = {{2, 1, 30}, {2, 0, 20}, {0, 0, 0}, {4, 1, 50}};
  for (const auto& [record, skip, start] : cases) {
    const FileHandle from = Open(Name("F1.DAT"), 0), to = Open(Name("OUT.DAT"), 2, 1, 7);
    const Bytes header = Pattern(7, 200);
    ASSERT_EQ(WriteRecord(to, header.data(), 1), 1);
    CopyFromRecord(from, to, record, skip, 1);
    const auto copied = static_cast<int32_t>(source.size()) - start;
    EXPECT_EQ((std::tuple{FileLength(to), Position(to), Position(from)}),
              std::tuple(7 + copied, 7 + copied, copied));
    for (FileHandle handle : {from, to}) Close(handle);
    EXPECT_EQ(Content("OUT.DAT"), Join(header, Slice(source, start, copied))) << record << "/" << skip;
  }
  const Bytes big = Pattern(100000);
  Make("BIG.DAT", big);
  const FileHandle from = Open(Name("BIG.DAT"), 0, 1, 1000), to = Open(Name("OUT.DAT"), 2);
  ASSERT_EQ(SSeek(from, 3, 0), 3);
  CopyFromRecord(from, to, 0, 1, 0);
  EXPECT_EQ((std::pair{Position(from), Position(to)}), std::pair(3, 0)) << "no advance asked";
  Close(to);
  EXPECT_EQ(Content("OUT.DAT"), Slice(big, 1000, 99000)) << "more than one buffer";
  // Within one entry the copy stops at the end it started from.
  const FileHandle writer = Open(Name("F1.DAT"), 1), reader = Open(Name("F1.DAT"), 0);
  ASSERT_EQ(SSeek(writer, 0, 2), 50);
  CopyFromRecord(reader, writer, 3, 1, 1);
  EXPECT_EQ(FileLength(writer), 60);
  Close(writer);
  EXPECT_EQ(Content("F1.DAT"), Join(source, Slice(source, 40, 10)));
}

// A replacement is seen by every handle of the entry; whatever stops it, the
// data file stays whole under its name and the handle keeps working on it.
TEST_P(FileLayerTest, ReplacementReachesEveryHandleOrLeavesTheOldFileWorking) {
  const Bytes old = Pattern(3 * kRecord), fresh = Pattern(7 * kRecord, 123);
  enum { kDone, kRenameFails, kOtherTextHoldsFile, kReplacementOpen };
  for (int obstacle : {kDone, kRenameFails, kOtherTextHoldsFile, kReplacementOpen}) {
    SCOPED_TRACE(obstacle);
    Make("F1.DAT", old);
    const FileHandle handle = Open(Name("F1.DAT"), 1), reader = Open(Name("F1.DAT"), 0);
    const std::string name = Name("UPD.TMP");
    Make("UPD.TMP", fresh);
    if (obstacle == kRenameFails) platform::FailNthCall(Call::Rename, 1);
    if (obstacle == kOtherTextHoldsFile) ReleaseHandle(handle);
    const FileHandle blocker = obstacle == kOtherTextHoldsFile ? Open(Name(".\\F1.DAT"), 0)
                               : obstacle == kReplacementOpen  ? Open(name, 0)
                                                               : -1;
    ClearFileAccess(handle);
    EXPECT_EQ(SUpdateFile(handle, name.c_str()), obstacle == kDone ? 1 : 0);
    if (blocker >= 0) Close(blocker);
    EXPECT_EQ(platform::RemoveFile(name), obstacle != kDone) << "only a used replacement is gone";
    EXPECT_EQ(Content("F1.DAT"), obstacle == kDone ? fresh : old);
    EXPECT_EQ(FileLength(reader), obstacle == kDone ? 70 : 30);
    EXPECT_TRUE(obstacle != kDone || FileAccessed(handle) == 1);
    EXPECT_EQ(Record(handle), Slice(obstacle == kDone ? fresh : old, 0, kRecord));
    for (FileHandle each : {handle, reader}) Close(each);
  }
}

// Opens refused by a platform failure or a full table; the queries answer from the platform.
TEST_P(FileLayerTest, OpensRefusedOrTableFullThenSlotsReusedAndQueriesAnswered) {
  Make("F1.DAT", Pattern(10));
  Make("HELD.DAT", Pattern(10));
  const std::string f1 = Name("F1.DAT");
  MakeSubdir("EMPTY");
  const std::tuple<Call, int, FileHandle> failures[] = {{Call::Open, 0, kOpenRefused},
                                                        {Call::Open, 2, kPlatformOpenFailed},
                                                        {Call::Size, 0, kOpenRefused},
                                                        {Call::Size, 1, kPlatformOpenFailed}};
  for (const auto& [kind, mode, expected] : failures) {
    platform::FailNthCall(kind, 1);
    EXPECT_EQ((std::pair{Open(f1, mode), IsFileOpen(f1.c_str())}), std::pair(expected, 0)) << mode;
  }
  EXPECT_EQ(Content("F1.DAT"), Pattern(10));
  for (int i = 0; i < kMaxOpenHandles; ++i) Open(f1, 0);
  const std::vector<FileHandle> handles = open_;
  EXPECT_EQ(handles.back(), kMaxOpenHandles - 1);
  EXPECT_EQ(Open(Name("OTHER.DAT"), 2), kNoFreeHandle);
  EXPECT_EQ(Record(handles[500]), Pattern(10));
  Close(handles[123]);
  for (FileHandle invalid : {handles[123], kClosedHandle, FileHandle{-1}, FileHandle{kMaxOpenHandles}}) {
    EXPECT_EQ(ValidFile(invalid), 0) << invalid;
    EXPECT_EQ(ReleaseHandle(invalid), 0) << invalid;
  }
  EXPECT_EQ(Open(f1, 0), 123);
  for (FileHandle handle : open_) EXPECT_EQ(SCloseFile(handle), kClosedHandle);
  open_.clear();
  ASSERT_GE(Open(f1, 1), 0);
  ASSERT_GE(Open(Name("HELD.DAT"), 0, 0), 0);
  for (const auto& [name, exists] : std::vector<std::pair<std::string, int>>{
           {Name("f1.Dat"), 1}, {Name("NONE.DAT"), 0}, {Name("EMPTY"), 0}, {Name("held.dat"), 0}})
    EXPECT_EQ(Exists(name.c_str()), exists) << name;
  for (const auto& [directory, valid] : std::vector<std::pair<std::string, int>>{
           {dir_.Dir(), 1}, {Name("empty\\"), 1}, {Name("NONE\\"), 0}, {Name("F1.DAT\\"), 0}})
    EXPECT_EQ(IsValidPath(directory.c_str()), valid) << directory;
  platform::FailNthCall(Call::List, 1);
  EXPECT_EQ(IsValidPath(dir_.Dir().c_str()), 0);
  // The directory part of a name, or "-" (untouched) when there is none.
  const std::pair<const char*, const char*> paths[] = {
      {"C:\\DATA\\F1.DAT", "C:\\DATA\\"}, {"\\F1.DAT", "\\"}, {"F1.DAT", "-"}, {"dir/F1.DAT", "-"}};
  for (const auto& [name, path] : paths) {
    char out[32] = "-";
    EXPECT_EQ(FileNameToPath(out, name), path[0] != '-' ? 1 : 0) << name;
    EXPECT_STREQ(out, path);
  }
}

// Threads at once on the one table: readers of a shared file (its platform
// handle given back and opened again on the way), readers of a file no one
// else holds (its entry made and freed by whichever thread comes first and
// last), each thread's own file made, written and read back, and writers of a
// file held by a reader refused, by the table under the reader's name text and
// by the platform's sharing rules under another.
TEST_P(FileLayerTest, ThreadsShareTheTableAndItsSharingRules) {
  constexpr int kThreads = 4, kRounds = 150, kRecords = 8;
  const Bytes shared = Pattern(kRecords * kRecord, 5);
  Make("S.DAT", shared);
  Make("H.DAT", shared);
  Make("C.DAT", shared);
  const std::string name = Name("S.DAT"), held = Name("H.DAT"), otherText = Name("h.dat"),
                    common = Name("C.DAT");
  ASSERT_EQ((std::pair{Open(name, 0), Open(held, 0)}), std::pair(0, 1)) << "readers for the whole run";
  std::vector<std::string> faults(kThreads);  // each thread's first, "" for none
  const auto work = [&](int t) {
    const std::string own = Name("T" + std::to_string(t) + ".DAT");
    const auto fault = [&](int round, const char* what) {
      faults[t] = std::to_string(round) + ": " + what;
      return false;
    };
    const auto runRound = [&](int round) {
      const int r = round % kRecords;
      const FileHandle reader = SOpenFile(name.c_str(), 0, 1, kRecord, 0);
      Bytes record(kRecord);
      if (ReadBlock(reader, record.data(), kRecord, r * kRecord, 0) != 1 ||
          record != Slice(shared, r * kRecord, kRecord))
        return fault(round, "shared read");
      const FileHandle commonReader = SOpenFile(common.c_str(), 0, 1, kRecord, 0);
      if (ReadRecord(commonReader, record.data(), 1) != 1 || record != Slice(shared, 0, kRecord) ||
          SCloseFile(commonReader) != kClosedHandle)
        return fault(round, "read of a file no one else holds");
      if (round % 3 == 0) ReleaseHandle(reader);
      if (SSeek(reader, r * int(kRecord), 0) != r * int(kRecord) ||
          ReadRecord(reader, record.data(), 1) != 1 || record != Slice(shared, r * kRecord, kRecord) ||
          SSeek(reader, 0, 1) != (r + 1) * int(kRecord))
        return fault(round, "shared read after a release");
      if (SOpenFile(held.c_str(), 1, 1, kRecord, 0) != kOpenRefused ||
          SOpenFile(otherText.c_str(), 1, 1, kRecord, 0) != kPlatformOpenFailed)
        return fault(round, "a writer let in");
      const FileHandle writer = SOpenFile(own.c_str(), 2, 0, kRecord, 0);
      const Bytes mine = Pattern(3 * kRecord, unsigned(t * 1000 + round));
      if (WriteBlock(writer, mine.data(), 3 * kRecord, 0, 0) != 1 || FileLength(writer) != 3 * int(kRecord) ||
          ReadBlock(writer, record.data(), kRecord, kRecord, 0) != 1 ||
          record != Slice(mine, kRecord, kRecord))
        return fault(round, "own file");
      const int refused = SOpenFile(own.c_str(), 0, 1, kRecord, 0);
      SCloseFile(writer);
      SCloseFile(reader);
      return refused == kOpenRefused || fault(round, "own file shared");
    };
    for (int round = 0; round < kRounds && runRound(round); ++round) {
    }
  };
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) threads.emplace_back(work, t);
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(faults, std::vector<std::string>(kThreads));
  for (int t = 0; t < kThreads; ++t) {
    const std::string own = "T" + std::to_string(t) + ".DAT";
    EXPECT_EQ(IsFileOpen(Name(own).c_str()), 0);
    EXPECT_EQ(Content(own), Pattern(3 * kRecord, unsigned(t * 1000 + kRounds - 1))) << own;
  }
  Close(0);
  for (const std::string& file : {name, common})
    EXPECT_EQ(IsFileOpen(file.c_str()), 0) << "every reference given back";
}

}  // namespace

// A stop after the nth change leaves the files as the first n changes left them, fails every later call
// (the run is over) and lets the next run see the files. A copy is two changes, as on a disk: a stop between
// leaves the first half of the bytes under the new name.
TEST(MemoryFileSystemTest, AStopLeavesEveryChangeBeforeItAndNoneAfter) {
  const std::string d = "C:\\DATA\\";
  platform::FileRef file = nullptr;
  const Bytes data = Pattern(10);
  const std::vector<std::function<bool()>> changes = {
      [&] { return (file = platform::Open(d + "F1.DAT", kCreate)) != nullptr; },
      [&] { return platform::WriteAt(file, data.data(), 10, 0) == 10; },
      [&] { return platform::WriteAt(file, data.data(), 5, 20) == 5; },
      [&] { return platform::Truncate(file, 12); },
      [&] {
        platform::Close(std::exchange(file, nullptr));
        return platform::CopyFileTo(d + "f1.dat", d + "F2.DAT", true);
      },
      [&] { return platform::RenameFile(d + "F2.DAT", d + "F3.DAT"); },
      [&] { return platform::MakeDirectory(d + "SUB"); },
      [&] { return platform::CreateNewFile(d + "SUB\\N") == NewFile::Created; },
      [&] { return platform::ReplaceFileWith(d + "F3.DAT", d + "F1.DAT"); },
      [&] { return platform::RemoveFile(d + "sub\\n"); },
  };
  const auto run = [&](size_t steps, int stop) {
    platform::MemoryFileSystem memory;
    memory.MakeDirectories(d);
    platform::MemoryFileSystemInUse inUse(memory);
    memory.StopAfterChanges(stop);
    std::vector<bool> done;
    for (size_t i = 0; i < steps; ++i) done.push_back(changes[i]());
    platform::Close(std::exchange(file, nullptr));
    EXPECT_EQ(memory.Stopped(), stop > 0) << stop;
    memory.Restart();
    EXPECT_TRUE(platform::ListDirectory(d, [](auto&) { return true; })) << "the next run";
    return std::pair(memory.Below(d), done);
  };
  const auto whole = run(changes.size(), 0);
  EXPECT_EQ(whole.second, std::vector<bool>(changes.size(), true));
  EXPECT_EQ(whole.first, (std::map<std::string, Bytes>{{"F1.DAT", Join(data, Bytes(2, 0))}, {"SUB/", {}}}));
  for (int step = 0, n = 1; step < int(changes.size()); ++step) {
    for (int within = 1; within <= (step == 4 ? 2 : 1); ++within, ++n) {
      const long complete = within == 2 || step != 4 ? step + 1 : step;
      const auto [files, done] = run(changes.size(), n);
      auto expected = run(size_t(complete), 0).first;
      if (complete == step) expected["F2.DAT"] = Bytes(data.begin(), data.begin() + 6);
      EXPECT_EQ(files, expected) << n;
      EXPECT_EQ(std::count(done.begin(), done.end(), true), complete)
          << "only the changes before the stop work";
    }
  }
}
