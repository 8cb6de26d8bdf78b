// The operations against what other programs and the system do to files:
// read-only files and directories, a data file held open for writing by
// another handle of this process (under Wine a real second CreateFileA handle,
// natively the backend's emulation of its sharing rules) and, on Windows, by
// another process, and record operations on a full disk. Each refuses cleanly (with its message where it has
// one) and leaves every file as it was, or does what the conditions allow.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#ifndef _WIN32
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "faults_scenes.h"
#include "faults_support.h"
#include "held_file.h"
#include "filelayer/file_layer.h"
#include "integrity/dat_test.h"
#include "integrity/error_list.h"
#include "integrity/master_test.h"
#include "integrity/messages.h"
#include "store/editor_session.h"
#include "store/instrument_dialogs.h"
#include "store/instrument_ops.h"
#include "store/record_ops.h"

namespace faults_test {
namespace {

constexpr int kReadOnlyMessage = 2;

// Keeps what a test reported.
class Report : public ReportTarget {
 public:
  void ErrorListReady(List* list) override {
    ++lists;
    KillErrorList(list);
  }
  void Close() override {}
  void ShowNotice(const char* text) override { notices.emplace_back(text); }
  bool AskYesNo(const char*) override { return true; }

  int lists = 0;
  std::vector<std::string> notices;
};

// The data file F2.DAT held open for writing, sharing reading only, by
// another handle of this process or by another process.
class HeldForWriting : public ::testing::TestWithParam<Holder> {
 protected:
  void SetUp() override {
    WriteSoundDirectory(dir_.Path(""), {1, 2});
    before_ = TakeSnapshot(dir_.Path(""));
    hold_ = HoldForWriting(GetParam(), dir_.Name("F2.DAT"));
    ASSERT_TRUE(hold_->Holds()) << hold_->Problem();
  }
  // The holder is told to let go and, when a process, reaped here, whatever
  // the case did; a holder that ends badly fails the case.
  void TearDown() override {
    if (hold_ && hold_->Holds()) {
      EXPECT_TRUE(hold_->LetGo()) << hold_->Problem();
    }
  }
  void ExpectUnchanged() { EXPECT_EQ(TakeSnapshot(dir_.Path("")), before_); }

  TempDir dir_;
  Snapshot before_;
  std::unique_ptr<FileHold> hold_;
};

TEST_P(HeldForWriting, TheEditorRefusesWithTheReadOnlyMessage) {
  fixtures::ScriptedInteraction ui;
  EditorSession session;
  EXPECT_EQ(OpenEditorSession(&session, dir_.Dir().c_str(), 2, ui), 0);
  EXPECT_EQ(ui.notices, std::vector<std::string>{GetError(kReadOnlyMessage)});
  EXPECT_EQ(IsFileOpen(dir_.Name("F2.DAT").c_str()), 0);
  ExpectUnchanged();
}

TEST_P(HeldForWriting, TheDATTestSaysItCannotOpenTheFile) {
  MasterRecord record;
  ASSERT_TRUE(GetMetaStockMasterRecord(dir_.Dir().c_str(), 2, &record));
  Report report;
  TestDATFile(dir_.Dir().c_str(), report, kDATDialogOrder, kDATTestCount, record);
  EXPECT_EQ(report.lists, 0);
  EXPECT_EQ(report.notices, std::vector<std::string>{GetError(kReadOnlyMessage)});
}

TEST_P(HeldForWriting, TheMasterTestFindsNoFalseDefect) {
  Report report;
  TestMasterFile(dir_.Dir().c_str(), report, kMasterDialogOrder, kMasterTestCount, 1, 0, 1);
  EXPECT_EQ(report.lists, 0);
  EXPECT_EQ(report.notices, std::vector<std::string>{kNoErrorsFoundText});
  ExpectUnchanged();
}

TEST_P(HeldForWriting, DeletingOrMovingTheInstrumentChangesNothing) {
  MasterRecord record;
  ASSERT_TRUE(GetMetaStockMasterRecord(dir_.Dir().c_str(), 2, &record));
  const std::string other = dir_.MakeSubdir("other");
  WriteSoundDirectory(dir_.Path("other"), {1});
  before_ = TakeSnapshot(dir_.Path(""));
  EXPECT_EQ(DeleteInstrument(dir_.Dir().c_str(), record, 1), 0);
  EXPECT_EQ(MoveInstrument(other.c_str(), dir_.Dir().c_str(), &record), 0);
  ExpectUnchanged();
}

TEST_P(HeldForWriting, CopyingTheInstrumentCopiesItsBytes) {
  MasterRecord record;
  ASSERT_TRUE(GetMetaStockMasterRecord(dir_.Dir().c_str(), 2, &record));
  const std::string other = dir_.MakeSubdir("other");
  WriteSoundDirectory(dir_.Path("other"), {1});
  ASSERT_EQ(CopyInstrument(other.c_str(), dir_.Dir().c_str(), &record), 1);
  EXPECT_EQ(StateOf(TakeSnapshot(dir_.Path("")), "other/F2.DAT"), StateOf(before_, "F2.DAT"));
}

TEST_P(HeldForWriting, OnceTheHolderLetsGoTheEditorOpensTheFile) {
  fixtures::ScriptedInteraction ui;
  EditorSession refused;
  ASSERT_EQ(OpenEditorSession(&refused, dir_.Dir().c_str(), 2, ui), 0);
  ASSERT_TRUE(hold_->LetGo()) << hold_->Problem();
  EditorSession session;
  EXPECT_EQ(OpenEditorSession(&session, dir_.Dir().c_str(), 2, ui), 1);
  EXPECT_EQ(ui.notices, std::vector<std::string>{GetError(kReadOnlyMessage)});
  EXPECT_EQ(IsFileOpen(dir_.Name("F2.DAT").c_str()), 1);
}

INSTANTIATE_TEST_SUITE_P(By, HeldForWriting, ::testing::ValuesIn(AvailableHolders()),
                         [](const ::testing::TestParamInfo<Holder>& param) {
                           return std::string(HolderName(param.param));
                         });

#ifndef _WIN32
// Makes a file or directory read-only for this process: by its permissions,
// or, for root (whom permissions do not stop), by the immutable flag where the
// file system and the process's capabilities allow it. Applied() says whether
// it took; the destructor undoes it.
class ReadOnly {
 public:
  explicit ReadOnly(const std::string& nativePath) : path_(nativePath) {
    struct stat info;
    if (stat(path_.c_str(), &info) != 0) return;
    mode_ = info.st_mode & 07777;
    if (geteuid() != 0) {
      applied_ = chmod(path_.c_str(), mode_ & ~0222) == 0;
      byMode_ = applied_;
      return;
    }
    const int fd = open(path_.c_str(), O_RDONLY | O_NONBLOCK);
    if (fd < 0) return;
    int flags = 0;
    if (ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0) {
      flags |= FS_IMMUTABLE_FL;
      applied_ = ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    }
    close(fd);
  }
  ~ReadOnly() {
    if (!applied_) return;
    if (byMode_) {
      chmod(path_.c_str(), mode_);
      return;
    }
    const int fd = open(path_.c_str(), O_RDONLY | O_NONBLOCK);
    int flags = 0;
    if (fd >= 0 && ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0) {
      flags &= ~FS_IMMUTABLE_FL;
      ioctl(fd, FS_IOC_SETFLAGS, &flags);
    }
    if (fd >= 0) close(fd);
  }
  ReadOnly(const ReadOnly&) = delete;
  ReadOnly& operator=(const ReadOnly&) = delete;
  bool Applied() const { return applied_; }

 private:
  std::string path_;
  mode_t mode_ = 0;
  bool applied_ = false;
  bool byMode_ = false;
};

#define SKIP_UNLESS_READ_ONLY(guard)                                                              \
  if (!(guard).Applied())                                                                         \
  GTEST_SKIP() << "cannot make files read-only here (root without the immutable flag); the same " \
                  "refusals are reached by the fault-injection sweeps of every Open, Write, "     \
                  "Rename, Delete and CreateDirectory call"

class ReadOnlyTest : public ::testing::Test {
 protected:
  void SetUp() override { WriteSoundDirectory(dir_.Path(""), {1, 2}); }
  Snapshot Now() const { return TakeSnapshot(dir_.Path("")); }

  TempDir dir_;
};

TEST_F(ReadOnlyTest, AReadOnlyDataFileIsNotOpenedForEditing) {
  const Snapshot before = Now();
  ReadOnly guard(dir_.Path("F1.DAT"));
  SKIP_UNLESS_READ_ONLY(guard);
  fixtures::ScriptedInteraction ui;
  EditorSession session;
  EXPECT_EQ(OpenEditorSession(&session, dir_.Dir().c_str(), 1, ui), 0);
  EXPECT_EQ(ui.notices, std::vector<std::string>{GetError(kReadOnlyMessage)});
  EXPECT_EQ(Now(), before);
}

// (Deleting is left to the read-only directory: a file's permissions do not
// stop a rename over it on POSIX systems, as its read-only attribute does on
// Windows.)
TEST_F(ReadOnlyTest, AReadOnlyMasterTakesNoInstrumentAndNoRepair) {
  const Snapshot before = Now();
  ReadOnly guard(dir_.Path("master"));
  SKIP_UNLESS_READ_ONLY(guard);
  MasterRecord record = SoundEntry(0, 10, 1).Record();
  EXPECT_EQ(CreateInstrument(dir_.Dir().c_str(), &record, 1), -1);
  Report report;
  TestMasterFile(dir_.Dir().c_str(), report, kMasterDialogOrder, kMasterTestCount, 1, 0, 1);
  EXPECT_EQ(report.notices, std::vector<std::string>{GetError(kReadOnlyMessage)});
  EXPECT_EQ(Now(), before);
}

TEST_F(ReadOnlyTest, InAReadOnlyDirectoryRecordOperationsLeaveTheFileAsItWas) {
  fixtures::ScriptedInteraction ui;
  EditorSession session;
  ASSERT_EQ(OpenEditorSession(&session, dir_.Dir().c_str(), 1, ui), 1);
  const Snapshot before = Now();
  ReadOnly guard(dir_.Path(""));
  SKIP_UNLESS_READ_ONLY(guard);
  // Each needs a new file beside the data file.
  EXPECT_EQ(InsertRecord(session.file.Get(), session.fileName.c_str(), 0, session.masterRecord), 0);
  RecordSelection* selection = session.selection.get();
  const int32_t three = 3;
  AddNewItem(selection, &three, sizeof three, EditRecordNumberCompare);
  EXPECT_EQ(
      DeleteSelectedDATRecords(session.file.Get(), session.fileName.c_str(), selection, session.masterRecord),
      0);
  MasterRecord record = session.masterRecord;
  EXPECT_EQ(SplitFile(session.file.Get(), dir_.Dir().c_str(), 1, &record, dir_.Dir().c_str(), 5, 1, 0, 0), 0);
  EXPECT_EQ(Now(), before);
}

TEST_F(ReadOnlyTest, InAReadOnlyDirectoryNoInstrumentIsDeletedAndNoDirectoryMade) {
  const Snapshot before = Now();
  ReadOnly guard(dir_.Path(""));
  SKIP_UNLESS_READ_ONLY(guard);
  MasterRecord record;
  ASSERT_TRUE(GetMetaStockMasterRecord(dir_.Dir().c_str(), 2, &record));
  EXPECT_EQ(DeleteInstrument(dir_.Dir().c_str(), record, 1), 0);
  fixtures::ScriptedInteraction ui;
  std::string created;
  EXPECT_EQ(MakeDirApply(dir_.Dir().c_str(), "NEW", ui, &created), kDialogStaysOpen);
  EXPECT_EQ(ui.notices, std::vector<std::string>{"Unable to create Directory"});
  EXPECT_EQ(Now(), before);
}
#endif

// Record operations meeting a full disk: each write that extends a file gets
// one byte of room in turn. The data file is untouched or replaced whole, and
// no temporary file stays behind.
struct RecordOperation {
  const char* name;
  int (*run)(EditorSession& session, const TempDir& dir);
};

int OnOpenFile(const TempDir& dir, int (*op)(EditorSession&, const TempDir&)) {
  fixtures::ScriptedInteraction ui;
  EditorSession session;
  if (!OpenEditorSession(&session, dir.Dir().c_str(), 1, ui)) return 0;
  return op(session, dir);
}

class FullDiskRecordOperations : public ::testing::TestWithParam<RecordOperation> {};

TEST_P(FullDiskRecordOperations, LeaveTheDataFileWholeOrReplacedAndNoTemporaryFile) {
  const RecordOperation operation = GetParam();
  const int failed =
      SweepEveryCall({.name = operation.name,
                      .build = [](const TempDir& dir) { WriteSoundDirectory(dir.Path(""), {1}); },
                      .run = [operation](const TempDir& dir) { return OnOpenFile(dir, operation.run); },
                      .check =
                          [](const Outcome& o) {
                            EXPECT_EQ(NeitherBeforeNorAfter(o.before, o.after, o.now), "");
                            EXPECT_EQ(LostOrUnlisted(o.before, o.after, o.now), "");
                            EXPECT_TRUE(Leftovers(o.now).empty());
                            if (o.result == 1) {
                              EXPECT_EQ(o.now, o.after);
                            }
                          },
                      .shortWrites = true});
  EXPECT_GT(failed, 0) << "no write met the full disk";
}

INSTANTIATE_TEST_SUITE_P(
    Each, FullDiskRecordOperations,
    ::testing::Values(RecordOperation{"Insert",
                                      [](EditorSession& s, const TempDir&) {
                                        return InsertRecord(s.file.Get(), s.fileName.c_str(), 4,
                                                            s.masterRecord);
                                      }},
                      RecordOperation{"DeleteSelection",
                                      [](EditorSession& s, const TempDir&) {
                                        for (int32_t r : {1, 5, 9})
                                          AddNewItem(s.selection.get(), &r, sizeof r,
                                                     EditRecordNumberCompare);
                                        return DeleteSelectedDATRecords(s.file.Get(), s.fileName.c_str(),
                                                                        s.selection.get(), s.masterRecord);
                                      }},
                      RecordOperation{"TruncateBefore",
                                      [](EditorSession& s, const TempDir&) {
                                        return TruncateFile(s.file.Get(), s.fileName.c_str(), 10, 0, 1,
                                                            s.selection.get(), s.masterRecord);
                                      }},
                      RecordOperation{"SplitHere",
                                      [](EditorSession& s, const TempDir& dir) {
                                        MasterRecord record = s.masterRecord;
                                        return SplitFile(s.file.Get(), dir.Dir().c_str(), 1, &record,
                                                         dir.Dir().c_str(), 20, 1, 0, 0);
                                      }}),
    [](const ::testing::TestParamInfo<RecordOperation>& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace faults_test
