// The editor's writes under a failure of every platform call: a committed
// cell, an appended record and the write-back on close either reach the file
// whole or leave it as it was, the file is closed on every path, and a write
// cut short (a full disk) never leaves part of a record behind.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#ifndef _WIN32
#include <sys/resource.h>

#include <csignal>
#endif

#include "faults_scenes.h"
#include "faults_support.h"
#include "filelayer/file_layer.h"
#include "store/editor_session.h"

namespace faults_test {
namespace {

#ifndef _WIN32
// Caps the size of files this process writes, as a full disk would; writes
// beyond it are cut short. The signal such a write raises is ignored.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(size_t bytes) {
    getrlimit(RLIMIT_FSIZE, &saved_);
    previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = saved_;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &saved_);
    std::signal(SIGXFSZ, previousHandler_);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  rlimit saved_{};
  void (*previousHandler_)(int) = nullptr;
};
#endif

constexpr int kRecords = 40;
constexpr size_t kL = 28;

// F1 with a stale header count and stale master dates, which closing the
// editor puts right.
void BuildStale(const TempDir& dir) {
  const fixtures::Series series = fixtures::Series::Daily(kRecords, 2009, 12, 28, 3);
  fixtures::MasterEntry entry = SoundEntry(1, kRecords, 3);
  entry.firstDateWord = 0;
  entry.lastDateWord = 0;
  fixtures::WriteMaster(dir, fixtures::MasterBuilder().Add(entry).LastFileNumber(1));
  fixtures::WriteDat(dir, 1, series.Dat(7, 'D').HeaderCount(5));
}

// The records of a data file's bytes, header first.
std::vector<Bytes> Records(const Bytes& file) {
  std::vector<Bytes> records;
  for (size_t at = 0; at + kL <= file.size(); at += kL)
    records.emplace_back(file.begin() + static_cast<long>(at), file.begin() + static_cast<long>(at + kL));
  return records;
}

// Each data record of F1.DAT as before or as after, no part of a record, and
// a header that is as before or counts the records the file holds.
void ExpectWholeRecords(const Outcome& o) {
  const Bytes now = StateOf(o.now, "F1.DAT").value_or(Bytes());
  const Bytes before = StateOf(o.before, "F1.DAT").value_or(Bytes());
  const Bytes after = StateOf(o.after, "F1.DAT").value_or(Bytes());
  ASSERT_EQ(now.size() % kL, 0u) << "part of a record was left: " << now.size() << " bytes";
  const std::vector<Bytes> records = Records(now);
  const std::vector<Bytes> old = Records(before);
  const std::vector<Bytes> edited = Records(after);
  ASSERT_TRUE(records.size() == old.size() || records.size() == edited.size());
  ASSERT_FALSE(records.empty());
  Bytes counted = old[0];
  counted[2] = static_cast<uint8_t>(records.size());
  counted[3] = static_cast<uint8_t>(records.size() >> 8);
  EXPECT_TRUE(records[0] == old[0] || records[0] == counted) << "the header holds a wrong count";
  for (size_t i = 1; i < records.size(); ++i) {
    const bool asBefore = i < old.size() && records[i] == old[i];
    const bool asAfter = i < edited.size() && records[i] == edited[i];
    EXPECT_TRUE(asBefore || asAfter) << "record " << i << " is neither as before nor as after";
  }
}

TEST(EditorFaults, CloseWritesBackCountAndDatesOrLeavesEachAsItWas) {
  SweepEveryCall({.name = "close",
                  .build = BuildStale,
                  .run =
                      [](const TempDir& dir) {
                        fixtures::ScriptedInteraction ui;
                        EditorSession session;
                        if (!OpenEditorSession(&session, dir.Dir().c_str(), 1, ui)) return 0;
                        const int closed = CloseEditorSession(&session);
                        EXPECT_EQ(IsFileOpen(dir.Name("F1.DAT").c_str()), 0) << "closing keeps the file open";
                        return closed;
                      },
                  .check =
                      [](const Outcome& o) {
                        EXPECT_EQ(NeitherBeforeNorAfter(o.before, o.after, o.now), "");
                        EXPECT_EQ(LostOrUnlisted(o.before, o.after, o.now), "");
                        if (o.result == 1) {
                          EXPECT_EQ(o.now, o.after);
                        }
                      }});
}

// Opens F1, commits a close price into record 3, types a whole new record and
// closes: 1 when every step succeeded.
int EditAndAppend(const TempDir& dir) {
  fixtures::ScriptedInteraction ui;
  EditorSession session;
  if (!OpenEditorSession(&session, dir.Dir().c_str(), 1, ui)) return 0;
  int ok = CommitCellText(&session, 3, 4, "123.45") == CellCommit::Stored ? 1 : 0;
  const int32_t row = DataRecordCount(session);
  const char* const typed[] = {"12/03/10", "120.5", "121", "119", "120", "5000", "7"};
  for (int c = 0; c < 7; ++c) {
    if (CommitCellText(&session, row, c, typed[c]) != CellCommit::Pending) ok = 0;
  }
  if (!AppendPendingRecord(&session)) ok = 0;
  if (!CloseEditorSession(&session)) ok = 0;
  EXPECT_EQ(IsFileOpen(dir.Name("F1.DAT").c_str()), 0);
  return ok;
}

// The first and last date words of F1.DAT's data records in a snapshot.
std::pair<uint32_t, uint32_t> DatDates(const Snapshot& snapshot) {
  const Bytes dat = StateOf(snapshot, "F1.DAT").value_or(Bytes());
  auto word = [&](size_t at) {
    return static_cast<uint32_t>(dat[at] | dat[at + 1] << 8 | dat[at + 2] << 16 |
                                 static_cast<uint32_t>(dat[at + 3]) << 24);
  };
  return {word(kL), word(dat.size() / kL * kL - kL)};
}

void CheckEdits(const Outcome& o) {
  ExpectWholeRecords(o);
  const MasterView master = ViewMaster(o.now);
  ASSERT_TRUE(master.whole);
  ASSERT_EQ(master.Listed(1), 1);
  // The dates in master are as before, or those of the file as it now is.
  const Bytes& entry = master.records[0];
  const auto stored = std::make_pair(static_cast<uint32_t>(entry[25] | entry[26] << 8 | entry[27] << 16 |
                                                           static_cast<uint32_t>(entry[28]) << 24),
                                     static_cast<uint32_t>(entry[29] | entry[30] << 8 | entry[31] << 16 |
                                                           static_cast<uint32_t>(entry[32]) << 24));
  EXPECT_TRUE(StateOf(o.now, "master") == StateOf(o.before, "master") || stored == DatDates(o.now))
      << "master holds dates of neither the old nor the present file";
  if (o.result == 1) {
    EXPECT_EQ(o.now, o.after);
  }
}

TEST(EditorFaults, ACellAndAnAppendedRecordReachTheFileWholeOrNotAtAll) {
  SweepEveryCall({.name = "edit and append", .build = BuildStale, .run = EditAndAppend, .check = CheckEdits});
}

// Types a whole new record into F1 and appends it; the file stays open.
int Append(const TempDir& dir, EditorSession* session) {
  fixtures::ScriptedInteraction ui;
  if (!OpenEditorSession(session, dir.Dir().c_str(), 1, ui)) return 0;
  const int32_t row = DataRecordCount(*session);
  const char* const typed[] = {"12/03/10", "120.5", "121", "119", "120", "5000", "7"};
  for (int c = 0; c < 7; ++c) CommitCellText(session, row, c, typed[c]);
  return AppendPendingRecord(session);
}

// A full disk cuts short only writes that extend a file, so only the append
// is cut here (the write-back on close rewrites what is already there).
TEST(EditorFaults, AnAppendCutShortByAFullDiskLeavesNoPartOfARecord) {
  SweepEveryCall({.name = "append on a full disk",
                  .build = BuildStale,
                  .run =
                      [](const TempDir& dir) {
                        EditorSession session;
                        const int appended = Append(dir, &session);
                        // The record may be typed again and appended once there is room.
                        if (!appended) {
                          EXPECT_EQ(session.pending[6].set, 1);
                        }
                        return appended;
                      },
                  .check = ExpectWholeRecords,
                  .shortWrites = true});
}

#ifndef _WIN32
// The same with the system's own limit on file size, which cuts a write short
// as a full disk does.
TEST(EditorFaults, AnAppendBeyondTheFileSizeLimitLeavesTheFileAsItWas) {
  TempDir dir;
  BuildStale(dir);
  const Bytes before = testing_support::ReadBytes(dir.Path("F1.DAT"));
  EditorSession session;
  int appended = -1;
  {
    FileSizeLimit limit(before.size() + kL / 2);
    appended = Append(dir, &session);
  }
  session.file.Close();
  EXPECT_EQ(appended, 0);
  EXPECT_EQ(testing_support::ReadBytes(dir.Path("F1.DAT")), before);
}
#endif

}  // namespace
}  // namespace faults_test
