// The backend interface, run against the real Win32 calls under Wine and
// against the POSIX emulation natively: the same expectations hold for both.
#include "filelayer/platform_file.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "filelayer_test_support.h"
#include "support/temp_dir.h"

namespace {

using namespace testing_support;
using platform::Access;
using platform::Call;
using platform::Creation;
using platform::OpenRequest;

OpenRequest Request(Access access, bool shareRead, Creation creation = Creation::OpenExisting) {
  OpenRequest request;
  request.access = access;
  request.shareRead = shareRead;
  request.creation = creation;
  return request;
}

// Closes what a test opened, on every path.
struct Opened {
  platform::FileRef file;
  explicit Opened(platform::FileRef f) : file(f) {}
  ~Opened() { platform::Close(file); }
  Opened(const Opened&) = delete;
  Opened& operator=(const Opened&) = delete;
};

class PlatformFileTest : public ::testing::Test {
 protected:
  void SetUp() override { platform::ResetFaults(); }
  void TearDown() override { platform::ResetFaults(); }

  std::string Name(const std::string& leaf) const { return dir_.Name(leaf); }
  void Make(const std::string& leaf, const Bytes& bytes) const { WriteBytes(dir_.Path(leaf), bytes); }
  Bytes Content(const std::string& leaf) const { return ReadBytes(dir_.Path(leaf)); }
  bool Has(const std::string& leaf) const { return FileExistsNative(dir_.Path(leaf)); }

  Bytes ReadAll(const std::string& name) const {
    Opened opened(platform::Open(name, Request(Access::Read, true)));
    if (opened.file == nullptr) return {};
    Bytes bytes(static_cast<size_t>(platform::Size(opened.file)));
    if (platform::ReadAt(opened.file, bytes.data(), static_cast<uint32_t>(bytes.size()), 0) !=
        static_cast<int64_t>(bytes.size())) {
      return {};
    }
    return bytes;
  }

  TempDir dir_;
};

TEST_F(PlatformFileTest, NamesResolveWhateverTheirCaseAndSeparators) {
  dir_.MakeSubdir("Sub/Data");
  Make("Sub/Data/F1.DAT", Pattern(12));
  for (const char* text :
       {"Sub\\Data\\F1.DAT", "SUB\\data\\f1.dat", "sub/DATA/F1.dat", "Sub\\.\\DATA\\..\\data\\f1.DAT"}) {
    EXPECT_EQ(ReadAll(Name(text)), Pattern(12)) << text;
    EXPECT_TRUE(platform::CanOpenForReading(Name(text))) << text;
  }
  EXPECT_EQ(platform::Open(Name("Sub\\None\\F1.DAT"), Request(Access::Read, true)), nullptr);
  EXPECT_FALSE(platform::CanOpenForReading(Name("Sub\\Data\\F2.DAT")));
}

#ifndef _WIN32
// Only a case-sensitive file system can hold both; the exact name wins.
TEST_F(PlatformFileTest, ExactNameWinsOverACaseVariant) {
  Make("f1.dat", Pattern(4, 1));
  Make("F1.DAT", Pattern(4, 2));
  EXPECT_EQ(ReadAll(Name("F1.DAT")), Pattern(4, 2));
  EXPECT_EQ(ReadAll(Name("f1.dat")), Pattern(4, 1));
  EXPECT_EQ(ReadAll(Name("F1.dat")), Pattern(4, 2));  // the first in byte order
}
#endif

// CreateFileA's rule for FILE_SHARE_READ or no sharing: each open must share
// what the other does. The second open uses another text for the same file.
TEST_F(PlatformFileTest, SharingBetweenTwoOpensFollowsCreateFileRules) {
  struct Case {
    Access firstAccess;
    bool firstShares;
    Access secondAccess;
    bool secondShares;
    Creation secondCreation;
    bool allowed;
  } cases[] = {
      {Access::Read, true, Access::Read, true, Creation::OpenExisting, true},
      {Access::Read, true, Access::ReadWrite, true, Creation::OpenExisting, false},
      {Access::ReadWrite, true, Access::Read, true, Creation::OpenExisting, false},
      {Access::ReadWrite, true, Access::ReadWrite, true, Creation::OpenExisting, false},
      {Access::Read, false, Access::Read, true, Creation::OpenExisting, false},
      {Access::Read, true, Access::Read, false, Creation::OpenExisting, false},
      {Access::ReadWrite, false, Access::Read, true, Creation::OpenExisting, false},
      {Access::Read, true, Access::ReadWrite, true, Creation::CreateAlways, false},
  };
  int index = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(index++);
    Make("F1.DAT", Pattern(8));
    {
      Opened first(platform::Open(Name("F1.DAT"), Request(c.firstAccess, c.firstShares)));
      ASSERT_NE(first.file, nullptr);
      Opened second(
          platform::Open(Name("f1.DAT"), Request(c.secondAccess, c.secondShares, c.secondCreation)));
      EXPECT_EQ(second.file != nullptr, c.allowed);
    }
    EXPECT_EQ(Content("F1.DAT"), Pattern(8));  // a refused create empties nothing
    Opened again(platform::Open(Name("f1.DAT"), Request(c.secondAccess, c.secondShares, c.secondCreation)));
    EXPECT_NE(again.file, nullptr);
  }
}

TEST_F(PlatformFileTest, ReadingCheckSharesReadAndWrite) {
  Make("F1.DAT", Pattern(8));
  struct Case {
    Access access;
    bool shares;
    bool readable;
  } cases[] = {{Access::ReadWrite, true, true}, {Access::Read, true, true}, {Access::Read, false, false}};
  for (const Case& c : cases) {
    Opened holder(platform::Open(Name("F1.DAT"), Request(c.access, c.shares)));
    ASSERT_NE(holder.file, nullptr);
    EXPECT_EQ(platform::CanOpenForReading(Name("F1.DAT")), c.readable);
  }
  dir_.MakeSubdir("SUB");
  EXPECT_FALSE(platform::CanOpenForReading(Name("SUB")));
  EXPECT_EQ(platform::Open(Name("SUB"), Request(Access::Read, true)), nullptr);
}

TEST_F(PlatformFileTest, ReadWriteSizeAndTruncateMoveExactBytes) {
  Opened file(platform::Open(Name("F1.DAT"), Request(Access::ReadWrite, true, Creation::CreateAlways)));
  ASSERT_NE(file.file, nullptr);
  Bytes data = Pattern(6, 3);
  EXPECT_EQ(platform::WriteAt(file.file, data.data(), 6, 4), 6);
  EXPECT_EQ(platform::Size(file.file), 10);
  Bytes back(12, 0xEE);
  EXPECT_EQ(platform::ReadAt(file.file, back.data(), 12, 0), 10);  // short at the end
  Bytes expected(4, 0);
  expected.insert(expected.end(), data.begin(), data.end());
  EXPECT_EQ(Slice(back, 0, 10), expected);
  EXPECT_EQ(platform::ReadAt(file.file, back.data(), 4, -1), -1);
  EXPECT_EQ(platform::WriteAt(file.file, data.data(), 4, -1), -1);
  EXPECT_TRUE(platform::Truncate(file.file, 3));
  EXPECT_EQ(platform::Size(file.file), 3);
  EXPECT_FALSE(platform::Truncate(file.file, -1));
  Opened reader(platform::Open(Name("F1.DAT"), Request(Access::Read, true)));
  EXPECT_EQ(reader.file, nullptr);  // the writer does not share writing
}

TEST_F(PlatformFileTest, RenameRefusesAnExistingDestinationOrAnOpenSource) {
  Make("A.DAT", Pattern(5, 1));
  Make("B.DAT", Pattern(5, 2));
  EXPECT_FALSE(platform::RenameFile(Name("A.DAT"), Name("b.dat")));
  EXPECT_EQ(Content("B.DAT"), Pattern(5, 2));
  EXPECT_TRUE(platform::RenameFile(Name("a.dat"), Name("C.DAT")));
  EXPECT_FALSE(Has("A.DAT"));
  EXPECT_EQ(Content("C.DAT"), Pattern(5, 1));
  {
    Opened held(platform::Open(Name("C.DAT"), Request(Access::Read, true)));
    EXPECT_FALSE(platform::RenameFile(Name("C.DAT"), Name("D.DAT")));
  }
  EXPECT_FALSE(platform::RenameFile(Name("NONE.DAT"), Name("E.DAT")));
  EXPECT_TRUE(platform::RenameFile(Name("C.DAT"), Name("c.dat")));  // only the case changes
  std::vector<std::string> names = ListNames(dir_.Dir());
  ASSERT_EQ(names.size(), 2u);
#ifndef _WIN32
  EXPECT_EQ(names[1], "c.dat");  // as NTFS does; Wine on a Unix file system keeps "C.DAT"
#endif
  EXPECT_EQ(Content("c.dat"), Pattern(5, 1));
  dir_.MakeSubdir("Old");
  EXPECT_TRUE(platform::RenameFile(Name("old"), Name("New")));
  EXPECT_EQ(ListNames(dir_.Dir()).back(), "New");
}

TEST_F(PlatformFileTest, ReplaceIsRefusedWhileEitherFileIsOpen) {
  Make("F1.DAT", Pattern(9, 1));
  Make("NEW.TMP", Pattern(4, 2));
  for (const char* held : {"f1.dat", "new.tmp"}) {
    Opened holder(platform::Open(Name(held), Request(Access::Read, true)));
    ASSERT_NE(holder.file, nullptr);
    EXPECT_FALSE(platform::ReplaceFileWith(Name("NEW.TMP"), Name("F1.DAT"))) << held;
    EXPECT_EQ(Content("F1.DAT"), Pattern(9, 1));
    EXPECT_EQ(Content("NEW.TMP"), Pattern(4, 2));
  }
  EXPECT_TRUE(platform::ReplaceFileWith(Name("new.tmp"), Name("f1.dat")));
  EXPECT_EQ(ListNames(dir_.Dir()).size(), 1u);
  EXPECT_EQ(ReadAll(Name("F1.DAT")), Pattern(4, 2));
  EXPECT_TRUE(platform::ReplaceFileWith(Name("F1.DAT"), Name("F2.DAT")));  // nothing to replace: a move
  EXPECT_EQ(Content("F2.DAT"), Pattern(4, 2));
}

TEST_F(PlatformFileTest, CopyHonoursFailIfExistsAndNeverCopiesOntoItself) {
  Make("SRC.DAT", Pattern(70000, 1));
  Make("DST.DAT", Pattern(10, 2));
  EXPECT_FALSE(platform::CopyFileTo(Name("SRC.DAT"), Name("dst.dat"), true));
  EXPECT_EQ(Content("DST.DAT"), Pattern(10, 2));
  EXPECT_TRUE(platform::CopyFileTo(Name("src.dat"), Name("dst.dat"), false));
  EXPECT_EQ(Content("DST.DAT"), Pattern(70000, 1));
  EXPECT_TRUE(platform::CopyFileTo(Name("SRC.DAT"), Name("NEW.DAT"), true));
  EXPECT_EQ(Content("NEW.DAT"), Pattern(70000, 1));
  EXPECT_FALSE(platform::CopyFileTo(Name("SRC.DAT"), Name("src.DAT"), false));
  EXPECT_EQ(Content("SRC.DAT"), Pattern(70000, 1));
  EXPECT_FALSE(platform::CopyFileTo(Name("NONE.DAT"), Name("X.DAT"), false));
  EXPECT_FALSE(Has("X.DAT"));
  {
    Opened holder(platform::Open(Name("DST.DAT"), Request(Access::Read, true)));
    EXPECT_FALSE(platform::CopyFileTo(Name("NEW.DAT"), Name("DST.DAT"), false));
  }
  {
    Opened holder(platform::Open(Name("SRC.DAT"), Request(Access::Read, false)));
    EXPECT_FALSE(platform::CopyFileTo(Name("SRC.DAT"), Name("Y.DAT"), false));
    EXPECT_FALSE(Has("Y.DAT"));
  }
  Opened writer(platform::Open(Name("SRC.DAT"), Request(Access::ReadWrite, true)));
  EXPECT_TRUE(platform::CopyFileTo(Name("SRC.DAT"), Name("Z.DAT"), false));
  EXPECT_EQ(Content("Z.DAT"), Pattern(70000, 1));
}

TEST_F(PlatformFileTest, DirectoriesAreMadeOnceAndListedWithTheirCase) {
  Make("b.dat", Pattern(1));
  Make("A.DAT", Pattern(1));
  EXPECT_TRUE(platform::MakeDirectory(Name("Cdir")));
  EXPECT_FALSE(platform::MakeDirectory(Name("CDIR")));
  EXPECT_FALSE(platform::MakeDirectory(Name("a.dat")));
  EXPECT_FALSE(platform::MakeDirectory(Name("None\\Sub")));
  EXPECT_TRUE(platform::MakeDirectory(Name("cdir\\Sub\\")));
  std::vector<std::string> names;
  std::vector<bool> directories;
  EXPECT_TRUE(platform::ListDirectory(dir_.Dir(), [&](const platform::DirectoryEntry& entry) {
    names.push_back(entry.name);
    directories.push_back(entry.isDirectory);
    return true;
  }));
  EXPECT_EQ(names, (std::vector<std::string>{"A.DAT", "b.dat", "Cdir"}));
  EXPECT_EQ(directories, (std::vector<bool>{false, false, true}));
  EXPECT_EQ(ListNames(Name("CDIR\\")), std::vector<std::string>{"Sub"});
  int visited = 0;
  EXPECT_TRUE(
      platform::ListDirectory(dir_.Dir(), [&](const platform::DirectoryEntry&) { return ++visited < 2; }));
  EXPECT_EQ(visited, 2);
  EXPECT_FALSE(platform::ListDirectory(Name("None\\"), [](const platform::DirectoryEntry&) { return true; }));
}

TEST_F(PlatformFileTest, UniqueFilesAreNewEmptyFilesInTheGivenDirectory) {
  std::string sub = dir_.MakeSubdir("Data");
  std::string first = platform::CreateUniqueFile(sub, "upd");
  std::string second = platform::CreateUniqueFile(sub, "upd");
  EXPECT_NE(first, second);
  for (const std::string& name : {first, second}) {
    EXPECT_EQ(name.rfind(sub + "upd", 0), 0u) << name;
    EXPECT_TRUE(FileExistsNative(NativeName(name))) << name;
    EXPECT_TRUE(ReadBytes(NativeName(name)).empty()) << name;
  }
  EXPECT_EQ(ListNames(sub).size(), 2u);
  EXPECT_EQ(platform::CreateUniqueFile(Name("None\\"), "upd"), "");
}

TEST_F(PlatformFileTest, RemoveRefusesOpenFilesAndDirectories) {
  Make("F1.DAT", Pattern(3));
  dir_.MakeSubdir("SUB");
  {
    Opened holder(platform::Open(Name("F1.DAT"), Request(Access::Read, true)));
    EXPECT_FALSE(platform::RemoveFile(Name("f1.dat")));
  }
  EXPECT_TRUE(Has("F1.DAT"));
  EXPECT_FALSE(platform::RemoveFile(Name("SUB")));
  EXPECT_FALSE(platform::RemoveFile(Name("NONE.DAT")));
  EXPECT_TRUE(platform::RemoveFile(Name("f1.dat")));
  EXPECT_FALSE(Has("F1.DAT"));
}

// Each kind: the second call from now fails and leaves no trace; the calls
// around it work; every call is counted.
TEST_F(PlatformFileTest, InjectedFaultFailsOnlyTheNthCallOfItsKind) {
  Make("SRC.DAT", Pattern(16));
  Opened scratch(
      platform::Open(Name("SCRATCH.DAT"), Request(Access::ReadWrite, true, Creation::CreateAlways)));
  ASSERT_NE(scratch.file, nullptr);
  ASSERT_EQ(platform::WriteAt(scratch.file, Pattern(16).data(), 16, 0), 16);
  auto leaf = [](const char* stem, int round) { return std::string(stem) + std::to_string(round); };
  std::vector<platform::FileRef> created;
  Bytes buffer(4);
  struct Case {
    Call kind;
    std::function<bool(int)> call;
    std::function<bool(int)> leftTrace;  // after the failing call
  } cases[] = {
      {Call::Open,
       [&](int r) {
         created.push_back(
             platform::Open(Name(leaf("O", r)), Request(Access::ReadWrite, true, Creation::CreateAlways)));
         return created.back() != nullptr;
       },
       [&](int r) { return Has(leaf("O", r)); }},
      {Call::Read, [&](int r) { return platform::ReadAt(scratch.file, buffer.data(), 4, r) == 4; },
       [&](int r) { return buffer == Slice(Pattern(16), r, 4); }},
      {Call::Write, [&](int r) { return platform::WriteAt(scratch.file, buffer.data(), 4, 16 + 8 * r) == 4; },
       [&](int r) { return platform::Size(scratch.file) >= 16 + 8 * r + 4; }},
      {Call::Truncate, [&](int r) { return platform::Truncate(scratch.file, 100 + r); },
       [&](int r) { return platform::Size(scratch.file) == 100 + r; }},
      {Call::Size, [&](int) { return platform::Size(scratch.file) >= 0; }, nullptr},
      {Call::Rename, [&](int r) { return platform::RenameFile(Name(leaf("SRC", r)), Name(leaf("REN", r))); },
       [&](int r) { return Has(leaf("REN", r)) || !Has(leaf("SRC", r)); }},
      {Call::Delete, [&](int r) { return platform::RemoveFile(Name(leaf("SRC", r))); },
       [&](int r) { return !Has(leaf("SRC", r)); }},
      {Call::Copy, [&](int r) { return platform::CopyFileTo(Name("SRC.DAT"), Name(leaf("CPY", r)), true); },
       [&](int r) { return Has(leaf("CPY", r)); }},
      {Call::CreateDirectory, [&](int r) { return platform::MakeDirectory(Name(leaf("DIR", r))); },
       [&](int r) {
         return platform::ListDirectory(Name(leaf("DIR", r) + "\\"), [](auto&) { return true; });
       }},
      {Call::List, [&](int) { return platform::ListDirectory(dir_.Dir(), [](auto&) { return true; }); },
       nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.kind));
    for (int r = 1; r <= 3; ++r) Make(leaf("SRC", r), Pattern(2));
    platform::ResetFaults();
    platform::FailNthCall(c.kind, 2);
    EXPECT_TRUE(c.call(1));
    buffer.assign(4, 0xEE);
    EXPECT_FALSE(c.call(2));
    if (c.leftTrace) {
      EXPECT_FALSE(c.leftTrace(2));
    }
    EXPECT_TRUE(c.call(3));
    EXPECT_EQ(platform::CallCount(c.kind), 3);
  }
  for (platform::FileRef file : created) platform::Close(file);
}

TEST_F(PlatformFileTest, ResetClearsPendingFaultsAndCounts) {
  Make("F1.DAT", Pattern(3));
  platform::FailNthCall(Call::Open, 1);
  platform::FailNthCall(Call::Open, 3);
  EXPECT_FALSE(platform::CanOpenForReading(Name("F1.DAT")));
  EXPECT_TRUE(platform::CanOpenForReading(Name("F1.DAT")));
  platform::ResetFaults();
  EXPECT_EQ(platform::CallCount(Call::Open), 0);
  EXPECT_TRUE(platform::CanOpenForReading(Name("F1.DAT")));
  EXPECT_TRUE(platform::CanOpenForReading(Name("F1.DAT")));
  EXPECT_EQ(platform::CallCount(Call::Open), 2);
}

}  // namespace
