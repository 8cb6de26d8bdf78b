// The backend interface, run against the real Win32 calls under Wine and
// against the POSIX emulation natively: the same expectations hold for both.
#include "filelayer/platform_file.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace {

using namespace testing_support;
using platform::Access;
using platform::Call;
using platform::Creation;

Bytes Pattern(size_t size, unsigned seed = 0) {
  Bytes bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(seed * 7 + i * 13 + i / 256);
  return bytes;
}

// Closes what a test opened, on every path.
struct Opened {
  explicit Opened(platform::FileRef f) : file(f) {}
  Opened(const std::string& name, Access access, bool shareRead, Creation creation = Creation::OpenExisting)
      : file(platform::Open(name, {.access = access, .creation = creation, .shareRead = shareRead})) {}
  ~Opened() { platform::Close(file); }
  platform::FileRef file;
};

class PlatformFileTest : public ::testing::Test {
 protected:
  void SetUp() override { platform::ResetFaults(); }
  void TearDown() override { platform::ResetFaults(); }
  std::string Name(const std::string& leaf) const { return dir_.Name(leaf); }
  void Make(const std::string& leaf, const Bytes& bytes) const { WriteBytes(dir_.Path(leaf), bytes); }
  Bytes Content(const std::string& leaf) const { return ReadBytes(dir_.Path(leaf)); }
  bool Has(const std::string& leaf) const { return FileExistsNative(dir_.Path(leaf)); }
  std::vector<std::string> List(const std::string& directory) const {
    std::vector<std::string> names;
    platform::ListDirectory(directory, [&](const platform::DirectoryEntry& e) {
      names.push_back(e.name + (e.isDirectory ? "/" : ""));
      return true;
    });
    return names;
  }
  TempDir dir_;
};

TEST_F(PlatformFileTest, NamesResolveWhateverTheirCaseAndSeparators) {
  dir_.MakeSubdir("Sub/Data");
  Make("Sub/Data/F1.DAT", Pattern(12));
  for (const char* text : {"SUB\\data\\f1.dat", "sub/DATA/F1.dat", "Sub\\.\\DATA\\..\\data\\f1.DAT"}) {
    Opened opened(Name(text), Access::Read, true);
    Bytes back(12);
    ASSERT_NE(opened.file, nullptr) << text;
    EXPECT_EQ(platform::ReadAt(opened.file, back.data(), 12, 0), 12);
    EXPECT_EQ(back, Pattern(12)) << text;
  }
  EXPECT_FALSE(platform::CanOpenForReading(Name("Sub\\None\\F1.DAT")));
#ifndef _WIN32
  // Only a case-sensitive file system holds both; the exact name wins, then the capitals.
  Make("f2.dat", Pattern(4, 1));
  Make("F2.DAT", Pattern(4, 2));
  Opened exact(Name("f2.dat"), Access::ReadWrite, true, Creation::CreateAlways);
  EXPECT_TRUE(Content("f2.dat").empty() && Content("F2.DAT") == Pattern(4, 2));
#endif
}

// CreateFileA's rule for FILE_SHARE_READ or no sharing: each open must share
// what the other does. The second open uses another text for the same file.
TEST_F(PlatformFileTest, SharingBetweenTwoOpensFollowsCreateFileRules) {
  const struct {
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
      {Access::Read, false, Access::Read, true, Creation::OpenExisting, false},
      {Access::Read, true, Access::Read, false, Creation::OpenExisting, false},
      {Access::Read, true, Access::ReadWrite, true, Creation::CreateAlways, false},
  };
  for (const auto& c : cases) {
    Make("F1.DAT", Pattern(8));
    {
      Opened first(Name("F1.DAT"), c.firstAccess, c.firstShares);
      ASSERT_NE(first.file, nullptr);
      Opened second(Name("f1.DAT"), c.secondAccess, c.secondShares, c.secondCreation);
      EXPECT_EQ(second.file != nullptr, c.allowed) << &c - cases;
      // The reading check shares reading and writing.
      EXPECT_EQ(platform::CanOpenForReading(Name("F1.DAT")), c.firstShares && (!c.allowed || c.secondShares));
    }
    EXPECT_EQ(Content("F1.DAT"), Pattern(8)) << "a refused create empties nothing";
  }
  dir_.MakeSubdir("SUB");
  EXPECT_FALSE(platform::CanOpenForReading(Name("SUB")));
  EXPECT_EQ(platform::Open(Name("SUB"), {}), nullptr);
}

TEST_F(PlatformFileTest, ReadWriteSizeAndTruncateMoveExactBytes) {
  Opened file(Name("F1.DAT"), Access::ReadWrite, true, Creation::CreateAlways);
  ASSERT_NE(file.file, nullptr);
  const Bytes data = Pattern(6, 3);
  EXPECT_EQ(platform::WriteAt(file.file, data.data(), 6, 4), 6);
  EXPECT_EQ(platform::Size(file.file), 10);
  Bytes back(12, 0xEE);
  EXPECT_EQ(platform::ReadAt(file.file, back.data(), 12, 0), 10) << "short at the end";
  EXPECT_EQ(Bytes(back.begin(), back.begin() + 10),
            (Bytes{0, 0, 0, 0, data[0], data[1], data[2], data[3], data[4], data[5]}));
  EXPECT_EQ(platform::ReadAt(file.file, back.data(), 4, -1), -1);
  EXPECT_EQ(platform::WriteAt(file.file, data.data(), 4, -1), -1);
  EXPECT_TRUE(platform::Truncate(file.file, 3));
  EXPECT_EQ(platform::Size(file.file), 3);
  EXPECT_FALSE(platform::Truncate(file.file, -1));
}

TEST_F(PlatformFileTest, RenameReplaceCopyAndRemoveRefuseWhatWouldLoseAFile) {
  Make("A.DAT", Pattern(5, 1));
  Make("B.DAT", Pattern(70000, 2));
  EXPECT_FALSE(platform::RenameFile(Name("A.DAT"), Name("b.dat"))) << "the destination exists";
  EXPECT_FALSE(platform::RenameFile(Name("NONE.DAT"), Name("E.DAT")));
  EXPECT_FALSE(platform::CopyFileTo(Name("B.DAT"), Name("a.dat"), true));
  EXPECT_FALSE(platform::CopyFileTo(Name("B.DAT"), Name("b.DAT"), false)) << "never onto itself";
  EXPECT_FALSE(platform::RemoveFile(Name("NONE.DAT")));
  {
    Opened held(Name("a.dat"), Access::Read, true);
    EXPECT_FALSE(platform::RenameFile(Name("A.DAT"), Name("D.DAT")));
    EXPECT_FALSE(platform::ReplaceFileWith(Name("A.DAT"), Name("B.DAT")));
    EXPECT_FALSE(platform::ReplaceFileWith(Name("B.DAT"), Name("A.DAT")));
    EXPECT_FALSE(platform::CopyFileTo(Name("B.DAT"), Name("A.DAT"), false));
    EXPECT_FALSE(platform::RemoveFile(Name("A.DAT")));
  }
  {
    Opened unshared(Name("B.DAT"), Access::Read, false);
    EXPECT_FALSE(platform::CopyFileTo(Name("B.DAT"), Name("Y.DAT"), false));
  }
  EXPECT_EQ(Content("A.DAT"), Pattern(5, 1));
  EXPECT_EQ(List(dir_.Dir()), (std::vector<std::string>{"A.DAT", "B.DAT"}));
  {
    Opened writer(Name("B.DAT"), Access::ReadWrite, true);  // a writer that shares reading is copied
    EXPECT_TRUE(platform::CopyFileTo(Name("b.dat"), Name("C.DAT"), true));
  }
  EXPECT_TRUE(platform::CopyFileTo(Name("a.dat"), Name("c.dat"), false));
  EXPECT_TRUE(platform::ReplaceFileWith(Name("c.dat"), Name("b.dat")));
  EXPECT_TRUE(platform::RenameFile(Name("B.DAT"), Name("b.dat"))) << "only the case changes";
  EXPECT_TRUE(platform::RemoveFile(Name("a.DAT")));
  EXPECT_EQ(Content(List(dir_.Dir()).at(0)), Pattern(5, 1));
  EXPECT_EQ(List(dir_.Dir()).size(), 1u);
  dir_.MakeSubdir("SUB");
  EXPECT_FALSE(platform::RemoveFile(Name("SUB")));
}

TEST_F(PlatformFileTest, DirectoriesAndUniqueFiles) {
  Make("b.dat", Pattern(1));
  EXPECT_TRUE(platform::MakeDirectory(Name("Cdir")));
  EXPECT_FALSE(platform::MakeDirectory(Name("CDIR")));
  EXPECT_FALSE(platform::MakeDirectory(Name("B.dat")));
  EXPECT_FALSE(platform::MakeDirectory(Name("None\\Sub")));
  EXPECT_TRUE(platform::MakeDirectory(Name("cdir\\Sub\\")));
  EXPECT_EQ(List(dir_.Dir()), (std::vector<std::string>{"b.dat", "Cdir/"}));
  EXPECT_EQ(List(Name("CDIR\\")), std::vector<std::string>{"Sub/"});
  int visited = 0;
  EXPECT_TRUE(
      platform::ListDirectory(dir_.Dir(), [&](const platform::DirectoryEntry&) { return ++visited < 1; }));
  EXPECT_EQ(visited, 1) << "the visitor stops the listing";
  EXPECT_FALSE(platform::ListDirectory(Name("None\\"), [](const platform::DirectoryEntry&) { return true; }));
  const std::string sub = Name("Cdir\\Sub\\");
  const std::string first = platform::CreateUniqueFile(sub, "upd"),
                    second = platform::CreateUniqueFile(sub, "upd");
  EXPECT_NE(first, second);
  for (const std::string& name : {first, second}) {
    EXPECT_EQ(name.rfind(sub + "upd", 0), 0u) << name;
    EXPECT_TRUE(platform::CanOpenForReading(name)) << name;
  }
  EXPECT_EQ(List(sub).size(), 2u);
  EXPECT_EQ(platform::CreateUniqueFile(Name("None\\"), "upd"), "");
}

// Each kind: the second call from now fails and leaves no trace; the calls
// around it work; every call is counted; a reset clears faults and counts.
TEST_F(PlatformFileTest, InjectedFaultsFailOnlyTheNthCallOfTheirKind) {
  Make("SRC.DAT", Pattern(16));
  Opened scratch(Name("SCRATCH.DAT"), Access::ReadWrite, true, Creation::CreateAlways);
  ASSERT_EQ(platform::WriteAt(scratch.file, Pattern(16).data(), 16, 0), 16);
  auto leaf = [](const char* stem, int r) { return std::string(stem) + std::to_string(r); };
  std::vector<std::unique_ptr<Opened>> created;
  Bytes buffer(4);
  const struct {
    Call kind;
    std::function<bool(int)> call;
    std::function<bool(int)> leftTrace;
  } cases[] = {
      {Call::Open,
       [&](int r) {
         return created
                    .emplace_back(std::make_unique<Opened>(Name(leaf("O", r)), Access::ReadWrite, true,
                                                           Creation::CreateAlways))
                    ->file != nullptr;
       },
       [&](int r) { return Has(leaf("O", r)); }},
      {Call::Read, [&](int r) { return platform::ReadAt(scratch.file, buffer.data(), 4, r) == 4; }, nullptr},
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
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.kind));
    for (int r = 1; r <= 3; ++r) Make(leaf("SRC", r), Pattern(2));
    platform::ResetFaults();
    platform::FailNthCall(c.kind, 2);
    EXPECT_TRUE(c.call(1));
    EXPECT_FALSE(c.call(2));
    if (c.leftTrace) {
      EXPECT_FALSE(c.leftTrace(2));
    }
    EXPECT_TRUE(c.call(3));
    EXPECT_EQ(platform::CallCount(c.kind), 3);
  }
  platform::FailNthCall(Call::Open, 1);
  platform::ResetFaults();
  EXPECT_EQ(platform::CallCount(Call::Open), 0);
  EXPECT_TRUE(platform::CanOpenForReading(Name("SRC.DAT")));
}

}  // namespace
