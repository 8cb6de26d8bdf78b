// The open-file table: who may open what (against a small model of the
// sharing rules), positions and tracked lengths, released handles, block
// copies and the replacement of a file by a rewritten one.
#include "filelayer/file_layer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "filelayer/platform_file.h"
#include "support/temp_dir.h"

namespace {

using namespace testing_support;
using platform::Call;

constexpr uint32_t kRecord = 10;

Bytes Pattern(size_t size, unsigned seed = 0) {
  Bytes bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(seed * 7 + i * 13 + i / 256);
  return bytes;
}
Bytes Slice(const Bytes& bytes, size_t from, size_t count) {
  return Bytes(bytes.begin() + static_cast<long>(from), bytes.begin() + static_cast<long>(from + count));
}

class FileLayerTest : public ::testing::Test {
 protected:
  void SetUp() override { platform::ResetFaults(); }
  void TearDown() override {
    for (FileHandle handle : open_) SCloseFile(handle);
    platform::ResetFaults();
  }
  std::string Name(const std::string& leaf) const { return dir_.Name(leaf); }
  void Make(const std::string& leaf, const Bytes& bytes) const { WriteBytes(dir_.Path(leaf), bytes); }
  Bytes Content(const std::string& leaf) const { return ReadBytes(dir_.Path(leaf)); }
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

  TempDir dir_;
  std::vector<FileHandle> open_;
};

// Opens of one name text share an entry when the first open allows it and
// the later ones only read; another text for the same file meets the
// platform's rules (each open must share what the other does); a create
// empties the file. Random opens and closes against that model.
TEST_F(FileLayerTest, OpensFollowTheModelOfEntriesAndSharing) {
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
    if (random() % 3 == 0) {
      auto& handles = entries[t].handles;
      if (handles.empty()) continue;
      Close(handles.back());
      handles.pop_back();
      continue;
    }
    Entry& own = entries[t];
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
    SCOPED_TRACE("step " + std::to_string(step) + " text " + std::to_string(t) + " mode " +
                 std::to_string(mode) + " share " + std::to_string(share));
    if (expected != 0) {
      ASSERT_EQ(result, expected);
    } else {
      ASSERT_EQ(ValidFile(result), 1);
      if (own.handles.empty()) own.mode = mode, own.share = share, size = mode == 2 ? 0 : size;
      own.handles.push_back(result);
    }
    for (int i = 0; i < 2; ++i) ASSERT_EQ(IsFileOpen(texts[i].c_str()), entries[i].handles.empty() ? 0 : 1);
    ASSERT_EQ(Content("F1.DAT").size(), size);
  }
}

TEST_F(FileLayerTest, HandlesKeepTheirPositionsAndTheTrackedLengthGuardsReads) {
  const Bytes data = Pattern(3 * kRecord);
  Make("F1.DAT", data);
  const FileHandle first = Open(Name("F1.DAT"), 1), second = Open(Name("F1.DAT"), 0, 1, 4);
  EXPECT_EQ(Record(first), Slice(data, 0, kRecord));
  EXPECT_EQ(Record(first), Slice(data, 10, kRecord));
  EXPECT_EQ(Record(second), Slice(data, 0, kRecord)) << "own position, the entry's record size";
  EXPECT_EQ(Record(first, 0), Slice(data, 20, kRecord));
  EXPECT_EQ(Position(first), 20);
  ClearFileAccess(first);
  const int reads = platform::CallCount(Call::Read);
  Bytes buffer(kRecord);
  EXPECT_EQ(ReadBlock(first, buffer.data(), 5, 26, 1), 0) << "beyond the tracked length";
  EXPECT_EQ(platform::CallCount(Call::Read), reads) << "refused without the platform";
  EXPECT_EQ(FileAccessed(first), 0);
  EXPECT_EQ(ReadBlock(first, buffer.data(), 4, -4, 1), 0) << "a negative offset fails at the platform";
  EXPECT_EQ(platform::CallCount(Call::Read), reads + 1);
  EXPECT_EQ(FileAccessed(first), 1);
  EXPECT_EQ(Position(first), 20);
  const Bytes record = Pattern(kRecord, 50);
  EXPECT_EQ(WriteBlock(first, record.data(), 4, 100, 1), 1);
  EXPECT_EQ(FileLength(second), 104) << "writes raise the entry's length";
  EXPECT_EQ(Position(first), 104);
  EXPECT_EQ(Slice(Content("F1.DAT"), 30, 74), [&] {
    Bytes gap(70, 0);
    gap.insert(gap.end(), record.begin(), record.begin() + 4);
    return gap;
  }());
  EXPECT_EQ(WriteBlock(first, record.data(), 4, INT32_MAX - 2, 0), 0) << "beyond what 32 bits can track";
  platform::FailNthCall(Call::Read, 1);
  EXPECT_TRUE(Record(second).empty());
  platform::FailNthCall(Call::Write, 1);
  EXPECT_EQ(WriteRecord(first, record.data(), 1), 0);
  EXPECT_EQ(Position(second), 10) << "failures keep positions";
  EXPECT_EQ(Position(first), 104);
  EXPECT_EQ(FileLength(first), 104);
  const struct {
    int32_t distance;
    int origin;
    int32_t expected;
  } seeks[] = {{5, 0, 5},    {-10, 1, 10}, {7, 1, 27},   {-4, 2, 100},
               {10, 2, 114}, {-1, 0, -1},  {-21, 1, -1}, {0, 3, -1}};
  for (const auto& c : seeks) {
    ASSERT_EQ(SSeek(first, 20, 0), 20);
    EXPECT_EQ(SSeek(first, c.distance, c.origin), c.expected) << c.distance << " from " << c.origin;
    EXPECT_EQ(Position(first), c.expected);
  }
  ASSERT_EQ(SSeek(first, INT32_MAX, 0), INT32_MAX);
  EXPECT_EQ(SSeek(first, 1, 1), -1);
  platform::FailNthCall(Call::Size, 1);
  EXPECT_EQ(SSeek(first, 0, 2), -1);
  ASSERT_EQ(SSeek(first, 30, 0), 30);
  EXPECT_EQ(STruncateFile(first, 20), 1);
  EXPECT_EQ(STruncateFile(first, 25), 1);
  EXPECT_EQ(Content("F1.DAT"), [&] {
    Bytes b = Slice(data, 0, 20);
    b.resize(25, 0);
    return b;
  }());
  EXPECT_EQ(Position(first), 30) << "truncation moves no position";
  platform::FailNthCall(Call::Truncate, 1);
  EXPECT_EQ(STruncateFile(first, 5), 0);
  EXPECT_EQ(STruncateFile(first, -1), 0);
  EXPECT_EQ(FileLength(first), 25);
  Close(first);
  Close(second);
  EXPECT_EQ(STruncateFile(Open(Name("F1.DAT"), 0), 5), 0) << "read access only";
}

TEST_F(FileLayerTest, ReleasedHandlesReopenOnNextUseUnlessAnotherWriterHoldsTheFile) {
  const Bytes data = Pattern(2 * kRecord);
  Make("F1.DAT", data);
  const FileHandle mine = Open(Name("F1.DAT"), 1), sharing = Open(Name("F1.DAT"), 0);
  EXPECT_EQ(ReleaseHandle(mine), 1);
  EXPECT_EQ(ReleaseHandle(sharing), 0) << "one platform handle for the entry";
  EXPECT_EQ(IsFileOpen(Name("F1.DAT").c_str()), 1);
  const FileHandle theirs = Open(Name("f1.dat"), 1);  // what the release is for
  ASSERT_GE(theirs, 0);
  ASSERT_EQ(WriteBlock(theirs, Pattern(kRecord, 99).data(), kRecord, 20, 0), 1);
  ClearFileAccess(mine);
  EXPECT_TRUE(Record(mine).empty());
  EXPECT_EQ(FileAccessed(mine), 0);
  EXPECT_EQ(SSeek(mine, 0, 2), -1);
  Close(theirs);
  EXPECT_EQ(Record(sharing), Slice(data, 0, kRecord));
  EXPECT_EQ(Record(mine, 0), Slice(data, 0, kRecord));
  EXPECT_EQ(FileLength(mine), 20) << "the re-open does not refresh the tracked length";
  EXPECT_EQ(SSeek(mine, 0, 2), 30);
  EXPECT_EQ(ReleaseHandle(sharing), 1);
}

TEST_F(FileLayerTest, CopyFromRecordStartsAtTheRecordOrAfterIt) {
  const Bytes source = Pattern(5 * kRecord);
  Make("F1.DAT", source);
  const struct {
    int32_t record;
    int skip;
    size_t start;
  } cases[] = {{2, 1, 30}, {2, 0, 20}, {0, 0, 0}, {4, 1, 50}};
  for (const auto& c : cases) {
    const FileHandle from = Open(Name("F1.DAT"), 0), to = Open(Name("OUT.DAT"), 2, 1, 7);
    const Bytes header = Pattern(7, 200);
    ASSERT_EQ(WriteRecord(to, header.data(), 1), 1);
    CopyFromRecord(from, to, c.record, c.skip, 1);
    const auto copied = static_cast<int32_t>(source.size() - c.start);
    EXPECT_EQ(FileLength(to), 7 + copied);
    EXPECT_EQ(Position(to), 7 + copied);
    EXPECT_EQ(Position(from), copied);
    Close(from);
    Close(to);
    Bytes expected = header;
    expected.insert(expected.end(), source.begin() + static_cast<long>(c.start), source.end());
    EXPECT_EQ(Content("OUT.DAT"), expected) << c.record << "/" << c.skip;
  }
  const Bytes big = Pattern(100000);
  Make("BIG.DAT", big);
  const FileHandle from = Open(Name("BIG.DAT"), 0, 1, 1000), to = Open(Name("OUT.DAT"), 2);
  ASSERT_EQ(SSeek(from, 3, 0), 3);
  CopyFromRecord(from, to, 0, 1, 0);
  EXPECT_EQ(Position(from), 3) << "no advance asked";
  EXPECT_EQ(Position(to), 0);
  Close(to);
  EXPECT_EQ(Content("OUT.DAT"), Slice(big, 1000, 99000)) << "more than one buffer";
  // Within one entry the copy stops at the end it started from.
  const FileHandle writer = Open(Name("F1.DAT"), 1), reader = Open(Name("F1.DAT"), 0);
  ASSERT_EQ(SSeek(writer, 0, 2), 50);
  CopyFromRecord(reader, writer, 3, 1, 1);
  EXPECT_EQ(FileLength(writer), 60);
  Close(writer);
  Bytes expected = source;
  expected.insert(expected.end(), source.begin() + 40, source.end());
  EXPECT_EQ(Content("F1.DAT"), expected);
}

// A replacement is seen by every handle of the entry; whatever stops it, the
// data file stays whole under its name and the handle keeps working on it.
TEST_F(FileLayerTest, ReplacementReachesEveryHandleOrLeavesTheOldFileWorking) {
  auto replacement = [&](const Bytes& bytes) {
    const std::string name = platform::CreateUniqueFile(dir_.Dir(), "upd");
    std::string native = name;
#ifndef _WIN32
    std::replace(native.begin(), native.end(), '\\', '/');
#endif
    WriteBytes(native, bytes);
    return name;
  };
  const Bytes old = Pattern(3 * kRecord), fresh = Pattern(7 * kRecord, 123);
  enum { kDone, kRenameFails, kOtherTextHoldsFile, kReplacementOpen };
  for (int obstacle : {kDone, kRenameFails, kOtherTextHoldsFile, kReplacementOpen}) {
    SCOPED_TRACE(obstacle);
    Make("F1.DAT", old);
    const FileHandle handle = Open(Name("F1.DAT"), 1), reader = Open(Name("F1.DAT"), 0);
    ASSERT_EQ(SSeek(reader, 40, 0), 40);
    const std::string name = replacement(fresh);
    FileHandle blocker = -1;
    if (obstacle == kRenameFails) platform::FailNthCall(Call::Rename, 1);
    if (obstacle == kOtherTextHoldsFile) {
      ASSERT_EQ(ReleaseHandle(handle), 1);
      blocker = Open(Name("f1.dat"), 0);
    }
    if (obstacle == kReplacementOpen) blocker = Open(name, 0);
    ClearFileAccess(handle);
    EXPECT_EQ(SUpdateFile(handle, name.c_str()), obstacle == kDone ? 1 : 0);
    if (blocker >= 0) Close(blocker);
    EXPECT_EQ(Exists(name.c_str()), obstacle == kDone ? 0 : 1);
    EXPECT_EQ(Content("F1.DAT"), obstacle == kDone ? fresh : old);
    EXPECT_EQ(FileLength(reader), obstacle == kDone ? 70 : 30);
    if (obstacle == kDone) {
      EXPECT_EQ(FileAccessed(handle), 1);
    }
    EXPECT_EQ(Record(handle), Slice(obstacle == kDone ? fresh : old, 0, kRecord));
    Close(handle);
    Close(reader);
    if (obstacle != kDone) {
      EXPECT_TRUE(platform::RemoveFile(name));
    }
  }
}

TEST_F(FileLayerTest, TheHandleTableFillsAndReusesClosedSlots) {
  Make("F1.DAT", Pattern(10));
  const std::string name = Name("F1.DAT");
  std::vector<FileHandle> handles;
  for (int i = 0; i < kMaxOpenHandles; ++i) handles.push_back(SOpenFile(name.c_str(), 0, 1, kRecord, 0));
  open_ = handles;
  EXPECT_EQ(handles.front(), 0);
  EXPECT_EQ(handles.back(), kMaxOpenHandles - 1);
  EXPECT_EQ(Open(Name("OTHER.DAT"), 2), kNoFreeHandle);
  EXPECT_EQ(Record(handles[500]), Pattern(10));
  Close(handles[123]);
  for (FileHandle invalid : {handles[123], kClosedHandle, FileHandle{-1}, FileHandle{kMaxOpenHandles}}) {
    EXPECT_EQ(ValidFile(invalid), 0) << invalid;
    EXPECT_EQ(ReleaseHandle(invalid), 0) << invalid;
  }
  EXPECT_EQ(Open(name, 0), 123);
}

TEST_F(FileLayerTest, PlatformFailuresRefuseTheOpenAndTheQueriesAnswerFromThePlatform) {
  Make("F1.DAT", Pattern(10));
  Make("HELD.DAT", Pattern(10));
  dir_.MakeSubdir("EMPTY");
  const struct {
    Call kind;
    int mode;
    FileHandle expected;
  } failures[] = {{Call::Open, 0, kOpenRefused},
                  {Call::Open, 1, kPlatformOpenFailed},
                  {Call::Open, 2, kPlatformOpenFailed},
                  {Call::Size, 0, kOpenRefused},
                  {Call::Size, 1, kPlatformOpenFailed}};
  for (const auto& c : failures) {
    platform::FailNthCall(c.kind, 1);
    EXPECT_EQ(Open(Name("F1.DAT"), c.mode), c.expected) << c.mode;
    EXPECT_EQ(IsFileOpen(Name("F1.DAT").c_str()), 0);
  }
  EXPECT_EQ(Content("F1.DAT"), Pattern(10));
  ASSERT_GE(Open(Name("F1.DAT"), 1), 0);
  ASSERT_GE(Open(Name("HELD.DAT"), 0, 0), 0);
  EXPECT_EQ(IsFileOpen(Name("f1.dat").c_str()), 0) << "the exact text only";
  for (const auto& [name, exists] : std::vector<std::pair<std::string, int>>{
           {Name("f1.Dat"), 1}, {Name("NONE.DAT"), 0}, {Name("EMPTY"), 0}, {Name("held.dat"), 0}})
    EXPECT_EQ(Exists(name.c_str()), exists) << name;
  for (const auto& [directory, valid] : std::vector<std::pair<std::string, int>>{
           {dir_.Dir(), 1}, {Name("empty\\"), 1}, {Name("NONE\\"), 0}, {Name("F1.DAT\\"), 0}})
    EXPECT_EQ(IsValidPath(directory.c_str()), valid) << directory;
  platform::FailNthCall(Call::List, 1);
  EXPECT_EQ(IsValidPath(dir_.Dir().c_str()), 0);
  for (const auto& [name, path] :
       std::vector<std::pair<const char*, const char*>>{{"C:\\DATA\\F1.DAT", "C:\\DATA\\"},
                                                        {"\\F1.DAT", "\\"},
                                                        {"F1.DAT", "untouched"},
                                                        {"dir/F1.DAT", "untouched"}}) {
    char out[32] = "untouched";
    EXPECT_EQ(FileNameToPath(out, name), std::string(path) != "untouched" ? 1 : 0) << name;
    EXPECT_STREQ(out, path);
  }
}

}  // namespace
