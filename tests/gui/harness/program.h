// Driving the real quorvex.exe from a test that plays the outside program:
// start it with an exact command line, find its windows, answer its message
// boxes, send it the registered messages, and read its exit code.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace gui_harness {

// A Windows path for a path the build knows in Unix form (Wine maps "/x" to
// "Z:\x"); Windows paths come back unchanged.
std::string WindowsPath(const std::string& path);

class Program {
 public:
  // Starts the program with exactly this text after its quoted name, so that
  // it sees its command line as written (Wine's own launcher would re-quote
  // it). A failed start fails the test.
  Program(const std::string& executable, const std::string& arguments);
  // A program still running is ended.
  ~Program();
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  DWORD Id() const { return process_.dwProcessId; }
  bool Running() const;
  // Waits for the program to end and gives its exit code.
  testing::AssertionResult WaitForExit(DWORD& exitCode, std::chrono::milliseconds limit);
  // The program's visible top-level windows.
  std::vector<HWND> Windows() const;
  // Its visible top-level window of this class (and caption, when given).
  HWND Window(const std::string& className, const std::optional<std::string>& caption = std::nullopt) const;
  // Its frame: FindWindowA("QuorvexMDIFrame") among its windows.
  HWND Frame() const;

 private:
  PROCESS_INFORMATION process_{};
};

// A dialog or message box of the program (class "#32770") with this caption.
HWND FindProgramDialog(const Program& program, const std::string& caption);

// Sends a registered message to a window of another process from a worker
// thread, so that the test can answer the message boxes the request opens
// while the sender is blocked.
class RemoteRequest {
 public:
  RemoteRequest(HWND target, const char* messageName);
  ~RemoteRequest();
  RemoteRequest(const RemoteRequest&) = delete;
  RemoteRequest& operator=(const RemoteRequest&) = delete;

  bool Done() const { return done_; }
  // SendMessageTimeout succeeded (the program answered).
  bool Answered() const { return answered_; }
  LRESULT Result() const { return result_; }
  UINT Message() const { return message_; }

 private:
  UINT message_;
  std::atomic<bool> done_{false};
  std::atomic<bool> answered_{false};
  std::atomic<LRESULT> result_{0};
  std::thread thread_;
};

// The colour a person sees at a point of the screen.
COLORREF ScreenPixel(int x, int y);
// The same for a point of a window's client area.
COLORREF ClientPixel(HWND window, int x, int y);

// Types keys into the foreground window through the system's input queue, as
// the keyboard would: each key of the chord goes down in order, then all come
// up in reverse (so {VK_MENU, 'X'} is Alt+X).
void PressChord(const std::vector<WORD>& keys);

}  // namespace gui_harness
