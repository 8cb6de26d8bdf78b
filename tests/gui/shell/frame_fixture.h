// A frame built the way the program builds it, in the test's own process,
// with recording MDI children standing in for the browser and the editor.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

// Every WM_COMMAND a test child received: (the child, wParam, lParam).
struct ReceivedCommand {
  HWND child;
  WPARAM wParam;
  LPARAM lParam;
};
std::vector<ReceivedCommand>& ReceivedCommands();

class FrameTest : public ::testing::Test {
 protected:
  void TearDown() override { DestroyFrame(); }

  // Start-up steps 1 and 6-10 for this command line; the frame is shown
  // maximised, as the program shows it.
  void BuildFrame(const char* commandLine);
  // A recording MDI child with this title; one that refuses agrees to no
  // WM_QUERYENDSESSION.
  HWND AddChild(const char* title, bool refuses = false);
  void SetRefuses(HWND child, bool refuses);
  // Destroys the frame (children agree) and runs the clean-up after the loop.
  void DestroyFrame();
  std::vector<HWND> Children() const;

  HACCEL accelerators_ = nullptr;
};
