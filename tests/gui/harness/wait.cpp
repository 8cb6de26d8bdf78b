#include "harness/wait.h"

#include <windows.h>

namespace gui_harness {

namespace {

using Clock = std::chrono::steady_clock;
constexpr DWORD kPollMilliseconds = 10;

testing::AssertionResult TimedOut(const std::string& what, milliseconds limit) {
  return testing::AssertionFailure() << "timed out after " << limit.count() << " ms waiting for " << what;
}

}  // namespace

bool DrainMessages() {
  bool quit = false;
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      quit = true;
      continue;
    }
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return quit;
}

testing::AssertionResult PumpUntil(const std::string& what, const std::function<bool()>& condition,
                                   milliseconds limit) {
  const auto deadline = Clock::now() + limit;
  for (;;) {
    DrainMessages();
    if (condition()) return testing::AssertionSuccess();
    if (Clock::now() >= deadline) return TimedOut(what, limit);
    // Wakes at once when a message arrives; otherwise re-checks the condition
    // after a short poll (another process may be what changes it).
    MsgWaitForMultipleObjects(0, nullptr, FALSE, kPollMilliseconds, QS_ALLINPUT);
  }
}

testing::AssertionResult WaitUntil(const std::string& what, const std::function<bool()>& condition,
                                   milliseconds limit) {
  const auto deadline = Clock::now() + limit;
  for (;;) {
    if (condition()) return testing::AssertionSuccess();
    if (Clock::now() >= deadline) return TimedOut(what, limit);
    Sleep(kPollMilliseconds);
  }
}

}  // namespace gui_harness
