// What the program does when another program asks it, through the registered
// messages "KXUTILTESTDAT" and "KXUTILTESTMASTER", to test the data its
// command line names. The decisions live here, portable and tested natively;
// the frame window supplies a RemoteTestHost that shows the messages, posts
// WM_CLOSE to itself and runs the tests with their report windows.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "store/master_file.h"

// The result every test request gives its sender.
inline constexpr int32_t kRemoteRequestResult = -1;

// The DAT tests a remote request runs: every one except 4 "Open < Low" and
// 5 "Open > High", in this order.
inline constexpr std::array<int32_t, 8> kRemoteDATTests = {0, 1, 2, 3, 6, 7, 8, 9};
// The master tests a remote request runs: 0 ... 12 (12 selects no test).
inline constexpr std::array<int32_t, 13> kRemoteMasterTests = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};

class RemoteTestHost {
 public:
  virtual ~RemoteTestHost() = default;

  // Shows the message-table text of that number (stop icon, task-modal);
  // returns when the user has dismissed it.
  virtual void ShowError(int messageNumber) = 0;
  // Shows the directory a master request is about to test (stop icon); the
  // test starts when the user has dismissed it.
  virtual void ShowPath(const std::string& directory) = 0;
  // Posts WM_CLOSE to the frame: the program ends once the request returns.
  virtual void PostClose() = 0;
  // The instrument's master record (GetMetaStockMasterRecord); false when
  // master cannot be read or holds no record with that number.
  virtual bool ReadMasterRecord(const std::string& directory, int fileNumber, MasterRecord& record) = 0;
  // Creates the DAT report window, runs the DAT test with these test codes
  // and dispatches messages until the report window is closed. Nothing runs
  // when the report window cannot be created.
  virtual void RunDATTest(const std::string& directory, int fileNumber, std::span<const int32_t> tests,
                          const MasterRecord& record) = 0;
  // The same for the master test (repair, prompt and create all off).
  virtual void RunMasterTest(const std::string& directory, std::span<const int32_t> tests) = 0;

  // Zero-filled blocks for the request's master record and test list; null
  // when memory ran out. Tests replace these to make an allocation fail.
  virtual void* Allocate(size_t bytes);
  virtual void Free(void* block);
};

// "KXUTILTESTDAT". commandLine is the utility-mode command line, or null in an
// interactive instance (which then just closes). Every outcome returns
// kRemoteRequestResult:
//   no command line                  -> WM_CLOSE, nothing shown
//   no complete path part            -> message 13, the program stays
//   no "FILE:"                       -> message 13, WM_CLOSE
//   no memory                        -> message 1, WM_CLOSE
//   no such instrument (or number)   -> message 12, WM_CLOSE
//   otherwise                        -> the test runs, then WM_CLOSE
int32_t AnswerRemoteDATTest(const char* commandLine, RemoteTestHost& host);

// "KXUTILTESTMASTER". Every outcome returns kRemoteRequestResult and the
// program stays open:
//   no command line or no complete path part -> message 13
//   otherwise: the path is shown, then the test runs (no memory: message 1)
int32_t AnswerRemoteMasterTest(const char* commandLine, RemoteTestHost& host);
