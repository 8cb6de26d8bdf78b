#include "filelayer/file_layer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <string>
#include <vector>

#include "filelayer/platform_file.h"
#include "filelayer_test_support.h"
#include "support/temp_dir.h"

namespace {

using platform::Call;
using namespace testing_support;

constexpr uint32_t kRecord = 10;

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
    FileHandle handle = SOpenFile(name.c_str(), mode, share, recordSize, 0);
    if (handle >= 0) open_.push_back(handle);
    return handle;
  }
  FileHandle Close(FileHandle handle) {
    open_.erase(std::remove(open_.begin(), open_.end(), handle), open_.end());
    return SCloseFile(handle);
  }
  Bytes Record(FileHandle handle, int advance = 1) {
    Bytes buffer(kRecord, 0xEE);
    if (!ReadRecord(handle, buffer.data(), advance)) return {};
    return buffer;
  }
  int32_t Position(FileHandle handle) { return SSeek(handle, 0, 1); }

  testing_support::TempDir dir_;
  std::vector<FileHandle> open_;
};

TEST_F(FileLayerTest, ReadOpensOfOneNameShareAnEntryWithOwnPositions) {
  Bytes data = Pattern(3 * kRecord);
  Make("F1.DAT", data);
  FileHandle first = Open(Name("F1.DAT"), 0);
  FileHandle second = Open(Name("F1.DAT"), 0, 1, 4);  // the entry's record size wins
  ASSERT_TRUE(ValidFile(first) && ValidFile(second));
  EXPECT_NE(first, second);
  EXPECT_EQ(Record(first), Slice(data, 0, kRecord));
  EXPECT_EQ(Record(first), Slice(data, 10, kRecord));
  EXPECT_EQ(Record(second), Slice(data, 0, kRecord));
  Close(first);
  EXPECT_EQ(Record(second), Slice(data, 10, kRecord));
  EXPECT_EQ(IsFileOpen(Name("F1.DAT").c_str()), 1);
  Close(second);
  EXPECT_EQ(IsFileOpen(Name("F1.DAT").c_str()), 0);
}

TEST_F(FileLayerTest, OpenResultsFollowTheEntryAndTheMode) {
  Make("W.DAT", Pattern(20));
  Make("N.DAT", Pattern(20));
  Make("FREE.DAT", Pattern(20));
  ASSERT_GE(Open(Name("W.DAT"), 1), 0);
  ASSERT_GE(Open(Name("N.DAT"), 0, 0), 0);
  struct Case {
    const char* leaf;
    int mode;
    FileHandle expected;  // 0: a valid handle
  } cases[] = {
      {"W.DAT", 0, 0},
      {"W.DAT", 1, kOpenRefused},
      {"W.DAT", 2, kOpenRefused},
      {"W.DAT", 7, kNoFreeHandle},
      {"N.DAT", 0, kOpenRefused},
      {"N.DAT", 5, kOpenRefused},
      {"FREE.DAT", 3, kNoFreeHandle},
      {"FREE.DAT", -1, kNoFreeHandle},
      {"MISSING.DAT", 0, kOpenRefused},
      {"MISSING.DAT", 1, kPlatformOpenFailed},
  };
  for (const Case& c : cases) {
    FileHandle result = Open(Name(c.leaf), c.mode);
    if (c.expected == 0) {
      EXPECT_EQ(ValidFile(result), 1) << c.leaf << " mode " << c.mode;
    } else {
      EXPECT_EQ(result, c.expected) << c.leaf << " mode " << c.mode;
    }
  }
  EXPECT_EQ(Content("W.DAT"), Pattern(20));
}

// Two texts for one file are two entries; the platform's sharing rules then
// decide, as CreateFileA's do on Windows.
TEST_F(FileLayerTest, AnotherNameTextForAnOpenFileMeetsThePlatformSharingRules) {
  Make("F1.DAT", Pattern(20));
  const std::string others[] = {Name("f1.dat"), dir_.Dir() + ".\\F1.DAT"};
  FileHandle writer = Open(Name("F1.DAT"), 1);
  ASSERT_GE(writer, 0);
  for (const std::string& other : others) {
    EXPECT_EQ(Open(other, 1), kPlatformOpenFailed) << other;
    EXPECT_EQ(Open(other, 2), kPlatformOpenFailed) << other;
    EXPECT_EQ(Open(other, 0), kOpenRefused) << other;  // a reader must share writing
  }
  EXPECT_EQ(Content("F1.DAT"), Pattern(20));
  Close(writer);

  ASSERT_GE(Open(Name("F1.DAT"), 0), 0);
  for (const std::string& other : others) {
    EXPECT_EQ(Open(other, 1), kPlatformOpenFailed) << other;
    EXPECT_GE(Open(other, 0), 0) << other;
  }
}

TEST_F(FileLayerTest, CreateEmptiesTheFileAndMarksItAccessed) {
  Make("F1.DAT", Pattern(30));
  FileHandle reader = Open(Name("F1.DAT"), 0);
  EXPECT_EQ(FileAccessed(reader), 0);
  Close(reader);
  // A name differing only in case reaches the same file, as on Windows.
  FileHandle created = Open(Name("f1.dat"), 2);
  ASSERT_GE(created, 0);
  EXPECT_EQ(FileLength(created), 0);
  EXPECT_EQ(FileAccessed(created), 1);
  EXPECT_EQ(ListNames(dir_.Dir()), std::vector<std::string>{"F1.DAT"});
  EXPECT_TRUE(Content("F1.DAT").empty());
}

TEST_F(FileLayerTest, ReleasedHandleReopensTransparentlyForEveryHandleOfTheEntry) {
  Bytes data = Pattern(3 * kRecord);
  Make("F1.DAT", data);
  FileHandle first = Open(Name("F1.DAT"), 0);
  FileHandle second = Open(Name("F1.DAT"), 0);
  ASSERT_EQ(Record(first), Slice(data, 0, kRecord));
  EXPECT_EQ(ReleaseHandle(first), 1);
  EXPECT_EQ(ReleaseHandle(first), 0);
  EXPECT_EQ(ReleaseHandle(second), 0);  // one platform handle for the entry
  EXPECT_EQ(FileAccessed(first), 1);
  EXPECT_EQ(Record(second), Slice(data, 0, kRecord));
  EXPECT_EQ(Record(first), Slice(data, 10, kRecord));
  EXPECT_EQ(ReleaseHandle(second), 1);
}

TEST_F(FileLayerTest, ReopenRefusedWhileAnotherWriterHoldsTheFileIsRetriedLater) {
  Bytes data = Pattern(2 * kRecord);
  Make("F1.DAT", data);
  FileHandle mine = Open(Name("F1.DAT"), 1);
  ASSERT_EQ(ReleaseHandle(mine), 1);
  FileHandle theirs = Open(Name("f1.dat"), 1);  // what the release is for
  ASSERT_GE(theirs, 0);
  Bytes extra = Pattern(kRecord, 99);
  ASSERT_EQ(WriteBlock(theirs, extra.data(), kRecord, 20, 0), 1);
  ClearFileAccess(mine);
  EXPECT_TRUE(Record(mine).empty());
  EXPECT_EQ(FileAccessed(mine), 0);
  EXPECT_EQ(SSeek(mine, 0, 2), -1);
  Close(theirs);

  EXPECT_EQ(Record(mine, 0), Slice(data, 0, kRecord));
  // The re-open does not refresh the tracked length; the platform's end does.
  EXPECT_EQ(FileLength(mine), 20);
  EXPECT_EQ(SSeek(mine, 0, 2), 30);
}

TEST_F(FileLayerTest, ReadsBeyondTheTrackedLengthAreRefusedWithoutThePlatform) {
  Bytes data = Pattern(3 * kRecord);
  Make("F1.DAT", data);
  FileHandle handle = Open(Name("F1.DAT"), 0);
  ASSERT_EQ(SSeek(handle, 20, 0), 20);
  EXPECT_EQ(Record(handle), Slice(data, 20, kRecord));
  ClearFileAccess(handle);
  const int reads = platform::CallCount(Call::Read);
  Bytes buffer(kRecord);
  EXPECT_EQ(ReadRecord(handle, buffer.data(), 1), 0);
  EXPECT_EQ(ReadBlock(handle, buffer.data(), 5, 26, 1), 0);
  EXPECT_EQ(platform::CallCount(Call::Read), reads);
  EXPECT_EQ(FileAccessed(handle), 0);
  EXPECT_EQ(Position(handle), 30);
  EXPECT_EQ(ReadBlock(handle, buffer.data(), 5, 25, 1), 1);
  EXPECT_EQ(Position(handle), 30);
}

TEST_F(FileLayerTest, NegativeBlockOffsetPassesTheLengthTestAndFailsAtThePlatform) {
  Make("F1.DAT", Pattern(30));
  FileHandle handle = Open(Name("F1.DAT"), 0);
  ASSERT_EQ(SSeek(handle, 10, 0), 10);
  const int reads = platform::CallCount(Call::Read);
  Bytes buffer(4);
  EXPECT_EQ(ReadBlock(handle, buffer.data(), 4, -4, 1), 0);
  EXPECT_EQ(platform::CallCount(Call::Read), reads + 1);
  EXPECT_EQ(Position(handle), 10);
}

TEST_F(FileLayerTest, WritesRaiseTheTrackedLengthAndAdvanceOnlyWhenAsked) {
  Make("F1.DAT", Pattern(3 * kRecord));
  FileHandle handle = Open(Name("F1.DAT"), 1);
  Bytes record = Pattern(kRecord, 50);
  ASSERT_EQ(SSeek(handle, 30, 0), 30);
  EXPECT_EQ(WriteRecord(handle, record.data(), 0), 1);
  EXPECT_EQ(FileLength(handle), 40);
  EXPECT_EQ(Position(handle), 30);
  EXPECT_EQ(Record(handle), record);
  EXPECT_EQ(WriteBlock(handle, record.data(), 4, 100, 1), 1);
  EXPECT_EQ(FileLength(handle), 104);
  EXPECT_EQ(Position(handle), 104);
  EXPECT_EQ(WriteBlock(handle, record.data(), 4, 0, 0), 1);
  EXPECT_EQ(FileLength(handle), 104);
  Bytes onDisk = Content("F1.DAT");
  ASSERT_EQ(onDisk.size(), 104u);
  EXPECT_EQ(Slice(onDisk, 100, 4), Slice(record, 0, 4));
  EXPECT_EQ(Slice(onDisk, 40, 60), Bytes(60, 0));
  // Beyond what the 32-bit tracked length can hold: refused before the platform.
  const int writes = platform::CallCount(Call::Write);
  EXPECT_EQ(WriteBlock(handle, record.data(), 4, INT32_MAX - 2, 0), 0);
  EXPECT_EQ(platform::CallCount(Call::Write), writes);
}

TEST_F(FileLayerTest, FailedReadsAndWritesKeepPositionAndLength) {
  Bytes data = Pattern(3 * kRecord);
  Make("F1.DAT", data);
  FileHandle handle = Open(Name("F1.DAT"), 1);
  ASSERT_EQ(SSeek(handle, 10, 0), 10);
  ClearFileAccess(handle);
  platform::FailNthCall(Call::Read, 1);
  EXPECT_TRUE(Record(handle).empty());
  EXPECT_EQ(FileAccessed(handle), 1);  // the platform was asked
  EXPECT_EQ(Position(handle), 10);
  platform::FailNthCall(Call::Write, 1);
  Bytes record = Pattern(kRecord, 77);
  ASSERT_EQ(SSeek(handle, 30, 0), 30);
  EXPECT_EQ(WriteRecord(handle, record.data(), 1), 0);
  EXPECT_EQ(Position(handle), 30);
  EXPECT_EQ(FileLength(handle), 30);
  EXPECT_EQ(Content("F1.DAT"), data);
}

TEST_F(FileLayerTest, SeekOriginsAndFailures) {
  Make("F1.DAT", Pattern(50));
  FileHandle handle = Open(Name("F1.DAT"), 0);
  struct Case {
    int32_t distance;
    int origin;
    int32_t expected;
  } cases[] = {{5, 0, 5},   {-10, 1, 10}, {7, 1, 27},   {-5, 2, 45},
               {10, 2, 60}, {-1, 0, -1},  {-21, 1, -1}, {0, 3, -1}};
  for (const Case& c : cases) {
    ASSERT_EQ(SSeek(handle, 20, 0), 20);
    EXPECT_EQ(SSeek(handle, c.distance, c.origin), c.expected) << c.distance << " from " << c.origin;
    EXPECT_EQ(Position(handle), c.expected);
  }
  ASSERT_EQ(SSeek(handle, INT32_MAX, 0), INT32_MAX);
  EXPECT_EQ(SSeek(handle, 1, 1), -1);
  platform::FailNthCall(Call::Size, 1);
  EXPECT_EQ(SSeek(handle, 0, 2), -1);
}

TEST_F(FileLayerTest, TruncateCutsAndExtendsWithoutMovingPositions) {
  Bytes data = Pattern(50);
  Make("F1.DAT", data);
  FileHandle handle = Open(Name("F1.DAT"), 1);
  ASSERT_EQ(SSeek(handle, 30, 0), 30);
  EXPECT_EQ(STruncateFile(handle, 20), 1);
  EXPECT_EQ(FileLength(handle), 20);
  EXPECT_EQ(Content("F1.DAT"), Slice(data, 0, 20));
  EXPECT_EQ(STruncateFile(handle, 64), 1);
  EXPECT_EQ(FileLength(handle), 64);
  Bytes expected = Slice(data, 0, 20);
  expected.resize(64, 0);
  EXPECT_EQ(Content("F1.DAT"), expected);
  EXPECT_EQ(Position(handle), 30);
  platform::FailNthCall(Call::Truncate, 1);
  EXPECT_EQ(STruncateFile(handle, 5), 0);
  EXPECT_EQ(STruncateFile(handle, -1), 0);
  EXPECT_EQ(FileLength(handle), 64);
  EXPECT_EQ(Content("F1.DAT"), expected);

  Close(handle);
  FileHandle reader = Open(Name("F1.DAT"), 0);
  EXPECT_EQ(STruncateFile(reader, 5), 0);  // read access only
  EXPECT_EQ(FileLength(reader), 64);
}

TEST_F(FileLayerTest, CopyFromRecordStartsAtTheRecordOrAfterIt) {
  Bytes source = Pattern(5 * kRecord);
  Make("F1.DAT", source);
  struct Case {
    int32_t record;
    int skip;
    size_t start;
  } cases[] = {{2, 1, 30}, {2, 0, 20}, {0, 0, 0}, {4, 1, 50}};
  for (const Case& c : cases) {
    FileHandle from = Open(Name("F1.DAT"), 0);
    FileHandle to = Open(Name("OUT.DAT"), 2, 1, 7);
    Bytes header = Pattern(7, 200);
    ASSERT_EQ(WriteRecord(to, header.data(), 1), 1);
    CopyFromRecord(from, to, c.record, c.skip, 1);
    const int32_t copied = static_cast<int32_t>(source.size() - c.start);
    EXPECT_EQ(FileLength(to), 7 + copied) << c.record << "/" << c.skip;
    EXPECT_EQ(Position(to), 7 + copied);
    EXPECT_EQ(Position(from), copied);
    Close(from);
    Close(to);
    Bytes expected = header;
    expected.insert(expected.end(), source.begin() + static_cast<long>(c.start), source.end());
    EXPECT_EQ(Content("OUT.DAT"), expected) << c.record << "/" << c.skip;
  }
}

TEST_F(FileLayerTest, CopyFromRecordMovesMoreThanOneBufferAndKeepsPositionsWithoutAdvance) {
  Bytes source = Pattern(100000);
  Make("BIG.DAT", source);
  FileHandle from = Open(Name("BIG.DAT"), 0, 1, 1000);
  FileHandle to = Open(Name("OUT.DAT"), 2);
  ASSERT_EQ(SSeek(from, 3, 0), 3);
  CopyFromRecord(from, to, 0, 1, 0);
  EXPECT_EQ(FileLength(to), 99000);
  EXPECT_EQ(Position(from), 3);
  EXPECT_EQ(Position(to), 0);
  Close(to);
  EXPECT_EQ(Content("OUT.DAT"), Slice(source, 1000, 99000));
}

TEST_F(FileLayerTest, CopyWithinOneEntryStopsAtTheEndItStartedFrom) {
  Bytes data = Pattern(3 * kRecord);
  Make("F1.DAT", data);
  FileHandle writer = Open(Name("F1.DAT"), 1);
  FileHandle reader = Open(Name("F1.DAT"), 0);
  ASSERT_EQ(SSeek(writer, 0, 2), 30);
  CopyFromRecord(reader, writer, 0, 1, 1);
  EXPECT_EQ(FileLength(writer), 50);
  EXPECT_EQ(Position(writer), 50);
  Close(writer);
  Close(reader);
  Bytes expected = data;
  expected.insert(expected.end(), data.begin() + 10, data.end());
  EXPECT_EQ(Content("F1.DAT"), expected);
}

class FileUpdateTest : public FileLayerTest {
 protected:
  // Writes a replacement file beside F1.DAT and returns its core name.
  std::string Replacement(const Bytes& bytes) {
    std::string name = platform::CreateUniqueFile(dir_.Dir(), "upd");
    EXPECT_FALSE(name.empty());
    WriteBytes(NativeName(name), bytes);
    return name;
  }
};

TEST_F(FileUpdateTest, ReplacementIsSeenByEveryHandleOfTheEntry) {
  Make("F1.DAT", Pattern(3 * kRecord));
  Bytes fresh = Pattern(7 * kRecord, 123);
  FileHandle writer = Open(Name("F1.DAT"), 1);
  FileHandle reader = Open(Name("F1.DAT"), 0);
  ASSERT_EQ(SSeek(reader, 40, 0), 40);
  ClearFileAccess(writer);
  std::string replacement = Replacement(fresh);
  EXPECT_EQ(SUpdateFile(writer, replacement.c_str()), 1);
  EXPECT_EQ(Exists(replacement.c_str()), 0);
  EXPECT_EQ(FileLength(reader), 70);
  EXPECT_EQ(FileAccessed(writer), 1);
  EXPECT_EQ(Record(reader), Slice(fresh, 40, kRecord));
  Bytes record = Pattern(kRecord, 9);
  EXPECT_EQ(WriteRecord(writer, record.data(), 0), 1);
  Close(writer);
  Close(reader);
  Bytes expected = fresh;
  std::copy(record.begin(), record.end(), expected.begin());
  EXPECT_EQ(Content("F1.DAT"), expected);
}

// Whatever stops the replacement, the data file stays whole under its name and
// the handle keeps working on it.
TEST_F(FileUpdateTest, RefusedReplacementLeavesTheOldFileAndAWorkingHandle) {
  const Bytes old = Pattern(3 * kRecord);
  enum class Obstacle { InjectedRenameFailure, OtherNameTextHoldsFile, ReplacementStillOpen };
  for (Obstacle obstacle :
       {Obstacle::InjectedRenameFailure, Obstacle::OtherNameTextHoldsFile, Obstacle::ReplacementStillOpen}) {
    SCOPED_TRACE(static_cast<int>(obstacle));
    Make("F1.DAT", old);
    FileHandle handle = Open(Name("F1.DAT"), 1);
    std::string replacement = Replacement(Pattern(5 * kRecord, 1));
    FileHandle blocker = -1;
    if (obstacle == Obstacle::InjectedRenameFailure) platform::FailNthCall(Call::Rename, 1);
    if (obstacle == Obstacle::OtherNameTextHoldsFile) {
      // Released, as the editor does when idle, so that others may read it;
      // the re-open after the refusal fails too until the reader goes.
      ASSERT_EQ(ReleaseHandle(handle), 1);
      blocker = Open(Name("f1.dat"), 0);
      ASSERT_GE(blocker, 0);
    }
    if (obstacle == Obstacle::ReplacementStillOpen) blocker = Open(replacement, 0);
    EXPECT_EQ(SUpdateFile(handle, replacement.c_str()), 0);
    // The old file is held again at once, unless the reader keeps it from us.
    EXPECT_EQ(ReleaseHandle(handle), obstacle == Obstacle::OtherNameTextHoldsFile ? 0 : 1);
    if (blocker >= 0) Close(blocker);
    EXPECT_EQ(FileLength(handle), 30);
    EXPECT_EQ(Record(handle), Slice(old, 0, kRecord));
    EXPECT_EQ(Content("F1.DAT"), old);
    EXPECT_EQ(Exists(replacement.c_str()), 1);
    Close(handle);
    EXPECT_TRUE(platform::RemoveFile(replacement));
  }
}

TEST_F(FileLayerTest, HandleTableFillsAtItsSizeAndAClosedSlotIsReused) {
  Make("F1.DAT", Pattern(10));
  const std::string name = Name("F1.DAT");
  std::vector<FileHandle> handles;
  for (int i = 0; i < kMaxOpenHandles; ++i) handles.push_back(SOpenFile(name.c_str(), 0, 1, kRecord, 0));
  open_.insert(open_.end(), handles.begin(), handles.end());
  EXPECT_EQ(handles.front(), 0);
  EXPECT_EQ(handles.back(), kMaxOpenHandles - 1);
  EXPECT_TRUE(std::all_of(handles.begin(), handles.end(), ValidFile));
  EXPECT_EQ(Open(name, 0), kNoFreeHandle);
  EXPECT_EQ(Open(Name("OTHER.DAT"), 2), kNoFreeHandle);
  EXPECT_EQ(Record(handles[500]), Pattern(10));
  Close(handles[123]);
  EXPECT_EQ(Open(name, 0), 123);
}

TEST_F(FileLayerTest, ClosedHandleReadsAsInvalid) {
  Make("F1.DAT", Pattern(10));
  FileHandle handle = Open(Name("F1.DAT"), 0);
  ASSERT_EQ(ValidFile(handle), 1);
  EXPECT_EQ(Close(handle), kClosedHandle);
  for (FileHandle invalid : {handle, kClosedHandle, FileHandle{-1}, FileHandle{kMaxOpenHandles}}) {
    EXPECT_EQ(ValidFile(invalid), 0) << invalid;
    EXPECT_EQ(ReleaseHandle(invalid), 0) << invalid;
  }
  EXPECT_EQ(SCloseFile(handle), kClosedHandle);
}

TEST_F(FileLayerTest, PlatformOpenAndSizeFailuresRefuseTheOpen) {
  Make("F1.DAT", Pattern(10));
  struct Case {
    Call kind;
    int mode;
    FileHandle expected;
  } cases[] = {{Call::Open, 0, kOpenRefused},
               {Call::Open, 1, kPlatformOpenFailed},
               {Call::Open, 2, kPlatformOpenFailed},
               {Call::Size, 0, kOpenRefused},
               {Call::Size, 1, kPlatformOpenFailed}};
  for (const Case& c : cases) {
    platform::FailNthCall(c.kind, 1);
    EXPECT_EQ(Open(Name("F1.DAT"), c.mode), c.expected) << c.mode;
    EXPECT_EQ(IsFileOpen(Name("F1.DAT").c_str()), 0);
  }
  EXPECT_EQ(Content("F1.DAT"), Pattern(10));
}

TEST_F(FileLayerTest, ExistsOpensForReadingWithReadAndWriteSharing) {
  Make("F1.DAT", Pattern(10));
  Make("HELD.DAT", Pattern(10));
  dir_.MakeSubdir("SUB");
  ASSERT_GE(Open(Name("F1.DAT"), 1), 0);
  ASSERT_GE(Open(Name("HELD.DAT"), 0, 0), 0);
  struct Case {
    std::string name;
    int expected;
  } cases[] = {{Name("F1.DAT"), 1},
               {Name("f1.Dat"), 1},
               {Name("NONE.DAT"), 0},
               {Name("SUB"), 0},
               {Name("held.dat"), 0}};
  for (const Case& c : cases) EXPECT_EQ(Exists(c.name.c_str()), c.expected) << c.name;
}

TEST_F(FileLayerTest, ValidPathIsAnExistingDirectoryEvenWhenEmpty) {
  Make("F1.DAT", Pattern(10));
  dir_.MakeSubdir("EMPTY");
  struct Case {
    std::string directory;
    int expected;
  } cases[] = {{dir_.Dir(), 1},
               {Name("EMPTY\\"), 1},
               {Name("empty\\"), 1},
               {Name("NONE\\"), 0},
               {Name("F1.DAT\\"), 0}};
  for (const Case& c : cases) EXPECT_EQ(IsValidPath(c.directory.c_str()), c.expected) << c.directory;
  platform::FailNthCall(Call::List, 1);
  EXPECT_EQ(IsValidPath(dir_.Dir().c_str()), 0);
}

TEST(FileNameToPath, CopiesUpToTheLastBackslash) {
  struct Case {
    const char* name;
    int expected;
    const char* path;
  } cases[] = {{"C:\\DATA\\F1.DAT", 1, "C:\\DATA\\"},
               {"C:\\DATA\\SUB\\", 1, "C:\\DATA\\SUB\\"},
               {"\\F1.DAT", 1, "\\"},
               {"F1.DAT", 0, "untouched"},
               {"dir/F1.DAT", 0, "untouched"}};
  for (const Case& c : cases) {
    char out[32] = "untouched";
    EXPECT_EQ(FileNameToPath(out, c.name), c.expected) << c.name;
    EXPECT_STREQ(out, c.path) << c.name;
  }
}

TEST_F(FileLayerTest, IsFileOpenMatchesTheExactNameText) {
  Make("F1.DAT", Pattern(10));
  FileHandle handle = Open(Name("F1.DAT"), 0);
  EXPECT_EQ(IsFileOpen(Name("F1.DAT").c_str()), 1);
  EXPECT_EQ(IsFileOpen(Name("f1.dat").c_str()), 0);
  EXPECT_EQ(IsFileOpen("F1.DAT"), 0);
  ReleaseHandle(handle);
  EXPECT_EQ(IsFileOpen(Name("F1.DAT").c_str()), 1);
  Close(handle);
  EXPECT_EQ(IsFileOpen(Name("F1.DAT").c_str()), 0);
}

}  // namespace
