// Start-up: the mode decision, the optional 3-D control library, and the whole
// program (RunProgram) run in the test's process, inspected from inside its
// own message loop.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "harness/dialog_responder.h"
#include "harness/wait.h"
#include "resource.h"
#include "shell/frame_window.h"
#include "shell/shell_globals.h"
#include "shell/startup.h"

namespace {

TEST(Startup, UtilityModeNeedsAutotestAndATestTokenAndKeepsTheCommandLine) {
  const struct {
    const char* commandLine;
    int utility;
  } cases[] = {
      {"", 0}, {"AUTOTEST", 0}, {"TESTDAT FILE:1", 0}, {"AUTOTEST TESTDAT", 1}, {"TESTMASTER x AUTOTEST", 1},
  };
  for (const auto& c : cases) {
    DecideMode(c.commandLine);
    EXPECT_EQ(UtilityInvoked, c.utility) << c.commandLine;
    EXPECT_EQ(UtilityCommandLine, c.utility ? c.commandLine : nullptr) << c.commandLine;
  }
  DecideMode(nullptr);
  EXPECT_EQ(UtilityInvoked, 0);
}

class Ctl3dTest : public ::testing::Test {
 protected:
  void SetUp() override { hInst = GetModuleHandleA(nullptr); }
  void TearDown() override { UnloadCtl3d(hInst); }

  // The calls a fake library saw, read through a reference of our own that
  // keeps it loaded.
  static std::string Calls(HMODULE library) {
    using CallsFunction = const char* (*)();
    auto calls = reinterpret_cast<CallsFunction>(
        reinterpret_cast<void (*)()>(GetProcAddress(library, "FakeCtl3dCalls")));
    return calls != nullptr ? calls() : "?";
  }
};

TEST_F(Ctl3dTest, AMissingLibraryIsReportedInteractivelyOnly) {
  DecideMode("");
  {
    gui_harness::DialogResponder responder;
    responder.Expect("Unable to find CTL3D32.DLL : Continuing without 3D enhancements.", IDOK);
    LoadCtl3d(hInst, "NOSUCH3D.DLL");
  }
  EXPECT_EQ(Ctl3dInst, nullptr);
  DecideMode("AUTOTEST TESTDAT");
  gui_harness::DialogResponder silent;
  LoadCtl3d(hInst, "NOSUCH3D.DLL");
  EXPECT_EQ(Ctl3dInst, nullptr);
}

TEST_F(Ctl3dTest, ARefusingLibraryIsReportedAndFreed) {
  const HMODULE own = LoadLibraryA(FAKE_CTL3D_REFUSES_DLL);
  ASSERT_NE(own, nullptr);
  DecideMode("");
  {
    gui_harness::DialogResponder responder;
    responder.Expect("CTL3D32.DLL refuses to initialise : Continuing without 3D enhancements.", IDOK);
    LoadCtl3d(hInst, FAKE_CTL3D_REFUSES_DLL);
  }
  EXPECT_EQ(Ctl3dInst, nullptr);
  EXPECT_EQ(Calls(own), "R") << "registered once, never subclassed";
  FreeLibrary(own);
  EXPECT_EQ(GetModuleHandleA(FAKE_CTL3D_REFUSES_DLL), nullptr) << "the program's reference was freed";
}

TEST_F(Ctl3dTest, AnAcceptingLibraryIsSubclassedKeptAndUnregisteredAtTheEnd) {
  const HMODULE own = LoadLibraryA(FAKE_CTL3D_ACCEPTS_DLL);
  ASSERT_NE(own, nullptr);
  DecideMode("");
  gui_harness::DialogResponder silent;
  LoadCtl3d(hInst, FAKE_CTL3D_ACCEPTS_DLL);
  EXPECT_EQ(Ctl3dInst, own);
  EXPECT_EQ(Calls(own), "RA");
  UnloadCtl3d(hInst);
  EXPECT_EQ(Ctl3dInst, nullptr);
  EXPECT_EQ(Calls(own), "RAU");
  FreeLibrary(own);
}

// RunProgram in this process: a thread timer, which fires inside the
// program's own message loop, runs the check once the frame is up.
std::function<void()> insideTheLoop;

void CALLBACK RunCheck(HWND, UINT, UINT_PTR timer, DWORD) {
  if (MDIFrame == nullptr || !IsWindowVisible(MDIFrame)) return;  // not up yet
  KillTimer(nullptr, timer);
  insideTheLoop();
}

int RunProgramWithCheck(const char* commandLine, std::function<void()> check) {
  MDIFrame = nullptr;
  insideTheLoop = std::move(check);
  SetTimer(nullptr, 0, 20, RunCheck);
  return RunProgram(GetModuleHandleA(nullptr), nullptr, commandLine);
}

std::string ItemText(HMENU menu, int position) {
  char text[128] = {};
  GetMenuStringA(menu, position, text, sizeof(text), MF_BYPOSITION);
  return text;
}

// Types a key into the program's loop the way the keyboard would: the
// modifier state is set, the key message queued for the frame.
void TypeKey(UINT message, WPARAM key, bool alt) {
  BYTE keys[256];
  GetKeyboardState(keys);
  keys[VK_MENU] = alt ? 0x80 : 0;
  SetKeyboardState(keys);
  PostMessageA(MDIFrame, message, key, alt ? 0x20000001 : 1);
}

TEST(RunProgram, UtilityModeShowsTheGreyedMenuAndAltXEndsWithCodeZero) {
  gui_harness::DialogResponder noDialogs;  // no banner, no box
  bool checked = false;
  const int code = RunProgramWithCheck("AUTOTEST TESTDAT", [&] {
    checked = true;
    EXPECT_TRUE(IsZoomed(MDIFrame));
    EXPECT_EQ(GetMenu(MDIFrame), hMenuInit);
    const HMENU file = GetSubMenu(GetMenu(MDIFrame), 0);
    EXPECT_EQ(ItemText(file, 0), "Select &Path\tCtrl-O");
    EXPECT_TRUE(GetMenuState(file, 0, MF_BYPOSITION) & MF_GRAYED);
    EXPECT_EQ(GetWindow(MDIhwnd, GW_CHILD), nullptr);
    TypeKey(WM_SYSCHAR, 'x', true);
  });
  EXPECT_TRUE(checked) << "the frame never came up";
  EXPECT_EQ(code, 0);
  EXPECT_EQ(hMenuFiler, nullptr) << "the browser and editor bars are freed after the loop";
}

TEST(RunProgram, InteractiveModeShowsTheBannerFirstThenMenu127) {
  gui_harness::DialogResponder responder;
  bool bannerSeen = false;
  responder.ExpectDialog("", [&](HWND banner) {
    bannerSeen = true;
    EXPECT_EQ(MDIFrame, nullptr) << "the frame must not exist while the banner shows";
    EXPECT_NE(banner, nullptr);
  });
  const int code = RunProgramWithCheck("", [&] {
    EXPECT_TRUE(bannerSeen);
    EXPECT_TRUE(IsZoomed(MDIFrame));
    const HMENU file = GetSubMenu(GetMenu(MDIFrame), 0);
    EXPECT_FALSE(GetMenuState(file, 0, MF_BYPOSITION) & MF_GRAYED);
    EXPECT_EQ(ItemText(GetMenu(MDIFrame), 1), "&Help");
    PostQuitMessage(7);
  });
  EXPECT_EQ(code, 7) << "the exit code is the WM_QUIT code";
}

}  // namespace
