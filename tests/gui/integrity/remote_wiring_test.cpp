// The frame's side of the remote test requests in-process: the report
// windows they open and the polling loop that waits for them.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

#include "harness/wait.h"
#include "integrity/report_windows.h"
#include "integrity_fixture.h"
#include "resource.h"
#include "shell/remote_requests.h"
#include "shell/remote_test_requests.h"
#include "shell/shell_globals.h"
#include "store/master_file.h"

namespace {

using namespace integrity_gui;

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Wakes this thread's message loop once the limit has passed, so that a loop
// that would sleep for ever ends the test instead of hanging it.
class Watchdog {
 public:
  explicit Watchdog(std::chrono::milliseconds limit)
      : done_(CreateEventA(nullptr, TRUE, FALSE, nullptr)), thread_([this, limit, id = GetCurrentThreadId()] {
          if (WaitForSingleObject(done_, static_cast<DWORD>(limit.count())) == WAIT_TIMEOUT) {
            PostThreadMessageA(id, WM_NULL, 0, 0);
          }
        }) {}
  ~Watchdog() {
    SetEvent(done_);
    thread_.join();
    CloseHandle(done_);
  }

 private:
  HANDLE done_;
  std::thread thread_;
};

class RemoteWiringTest : public IntegrityWindowTest {};

// The close arrives as a message sent from another thread, which the loop's
// own PeekMessageA handles before it reports an empty queue.
TEST_F(RemoteWiringTest, ThePollingLoopEndsWhenAnotherThreadClosesTheReport) {
  for (bool master : {false, true}) {
    SCOPED_TRACE(master ? "master report" : "DAT report");
    const HWND report = master ? ReportMasterErrors(MDIFrame, MasterDir().c_str())
                               : ReportDATErrors(MDIFrame, DataDir().c_str(), 9);
    ASSERT_NE(report, nullptr);
    // Hidden and settled, so that closing it posts nothing that would wake a
    // loop that had gone to sleep.
    ShowWindow(report, SW_HIDE);
    gui_harness::DrainMessages();
    const auto start = Clock::now();
    {
      Watchdog watchdog(5s);
      std::thread closer([report] { SendMessageA(report, WM_CLOSE, 0, 0); });
      DispatchMessagesWhileOpen(master ? MasterReportWindowOpen : DATReportWindowOpen);
      closer.join();
    }
    EXPECT_LT(Clock::now() - start, 3s) << "the loop slept on after its report had closed";
    EXPECT_FALSE(IsWindow(report));
  }
}

// A DAT request's report belongs to the frame and runs the remote selection
// of tests: F6's only defect is an open price above the high, which a remote
// test does not look for.
TEST_F(RemoteWiringTest, ARemoteDATTestSkipsTheOpenTests) {
  MasterRecord record{};
  ASSERT_TRUE(GetMetaStockMasterRecord(DataDir().c_str(), 6, &record));
  ReportResponder responder;
  responder.Expect("No Errors Found", IDOK);
  RunRemoteDATTest(MDIFrame, DataDir(), 6, kRemoteDATTests, record);
  EXPECT_EQ(DATReportWindowOpen, 0);
}

}  // namespace
