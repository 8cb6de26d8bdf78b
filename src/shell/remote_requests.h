// The frame's side of the registered inter-program messages: registration,
// the answer to each message, the message boxes, and the polling loop that
// runs while a remote test's report window is open.
#pragma once

#include <windows.h>

#include <cstdint>
#include <span>
#include <string>

#include "shell/remote_test_requests.h"

// The five message names.
inline constexpr char kUtilInitName[] = "KXUTILINIT";
inline constexpr char kUtilLoadName[] = "KXUTILLOAD";
inline constexpr char kUtilTestDATName[] = "KXUTILTESTDAT";
inline constexpr char kUtilTestMasterName[] = "KXUTILTESTMASTER";
inline constexpr char kUtilCloseName[] = "KXUTILCLOSE";

// Registers the five messages into UtilInit ... UtilClose and sets
// AllowRemoteFunctionEvoke to 1 when all five are non-zero. Returns it.
int RegisterRemoteMessages();

// Answers message when it is one of the two test requests and
// AllowRemoteFunctionEvoke is 1: result is then -1 and the return true. Any
// other message (including "KXUTILINIT", "KXUTILLOAD" and "KXUTILCLOSE",
// which get default processing and so 0) returns false.
bool AnswerRegisteredMessage(HWND frame, UINT message, LRESULT& result);

// The RemoteTestHost of the running program: task-modal message boxes
// captioned "Quorvex", WM_CLOSE posted to the frame, the master file read
// through the store, and the tests run with their report windows.
class FrameRemoteTestHost : public RemoteTestHost {
 public:
  explicit FrameRemoteTestHost(HWND frame) : frame_(frame) {}

  void ShowError(int messageNumber) override;
  void ShowPath(const std::string& directory) override;
  void PostClose() override;
  bool ReadMasterRecord(const std::string& directory, int fileNumber, MasterRecord& record) override;
  void RunDATTest(const std::string& directory, int fileNumber, std::span<const int32_t> tests,
                  const MasterRecord& record) override;
  void RunMasterTest(const std::string& directory, std::span<const int32_t> tests) override;

 private:
  HWND frame_;
};

// Runs the DAT test of a remote request: the DAT report window owned by the
// frame, the test with the wait cursor, then the polling loop until no DAT
// report is open. Nothing runs when the report window cannot be created.
void RunRemoteDATTest(HWND frame, const std::string& directory, int fileNumber,
                      std::span<const int32_t> tests, const MasterRecord& record);
// The same for the master test, which only reports (no repair, no prompt, no
// creation of files).
void RunRemoteMasterTest(HWND frame, const std::string& directory, std::span<const int32_t> tests);

// The polling loop of a remote test: takes and dispatches messages (without
// the accelerator tables) until *open is 0, also when a message sent from
// another thread or program is what clears it. It sleeps while the queue is
// empty instead of spinning. A WM_QUIT it takes is posted again and ends the
// wait, so that the program's own message loop still ends.
void DispatchMessagesWhileOpen(const int& open);
