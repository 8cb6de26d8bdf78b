// Explicit waits with time limits for the GUI tests. A wait either sees its
// condition come true or fails naming what it waited for; nothing sleeps for a
// fixed time.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>

namespace gui_harness {

using std::chrono::milliseconds;

// The default limit of a wait: generous, because a loaded machine under Wine
// can be slow, and a passing wait returns as soon as its condition holds.
inline constexpr milliseconds kDefaultLimit{10000};

// Dispatches this thread's messages (the windows under test live on it) until
// condition() is true. Fails with "timed out after N ms waiting for <what>".
testing::AssertionResult PumpUntil(const std::string& what, const std::function<bool()>& condition,
                                   milliseconds limit = kDefaultLimit);

// Polls condition() for another process's windows, without dispatching.
testing::AssertionResult WaitUntil(const std::string& what, const std::function<bool()>& condition,
                                   milliseconds limit = kDefaultLimit);

// Dispatches every message now waiting on this thread's queue. WM_QUIT is
// taken out too (a frame's quit must not end the next modal loop); returns
// whether one was seen.
bool DrainMessages();

}  // namespace gui_harness
