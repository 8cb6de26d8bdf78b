// The frame window in-process: its own commands, what it passes on, closing,
// and the remote-request plumbing.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "harness/dialog_responder.h"
#include "harness/wait.h"
#include "resource.h"
#include "shell/frame_fixture.h"
#include "shell/frame_window.h"
#include "shell/remote_requests.h"
#include "shell/shell_globals.h"

namespace {

using gui_harness::DialogResponder;
using gui_harness::PumpUntil;

RECT WindowRectInClient(HWND child) {
  RECT rect{};
  GetWindowRect(child, &rect);
  MapWindowPoints(nullptr, MDIhwnd, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

bool QuitWaiting(int& code) {
  MSG message;
  if (!PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) return false;
  code = static_cast<int>(message.wParam);
  return true;
}

bool CloseWaitingFor(HWND frame) {
  MSG message;
  return PeekMessageA(&message, frame, WM_CLOSE, WM_CLOSE, PM_NOREMOVE) != 0;
}

TEST_F(FrameTest, CloseAllClosesEveryChildThatAgrees) {
  BuildFrame("");
  const HWND first = AddChild("first");
  const HWND refusing = AddChild("refusing", true);
  const HWND third = AddChild("third");
  SendMessageA(MDIFrame, WM_COMMAND, IDM_CLOSE_ALL, 0);
  EXPECT_FALSE(IsWindow(first));
  EXPECT_FALSE(IsWindow(third));
  EXPECT_TRUE(IsWindow(refusing));
  EXPECT_EQ(Children(), std::vector<HWND>{refusing});
}

TEST_F(FrameTest, ClosingTheFrameClosesAllFirstAndStaysWhileAChildRefuses) {
  BuildFrame("");
  const HWND agreeing = AddChild("agreeing");
  const HWND refusing = AddChild("refusing", true);
  SendMessageA(MDIFrame, WM_CLOSE, 0, 0);
  EXPECT_TRUE(IsWindow(MDIFrame));
  EXPECT_FALSE(IsWindow(agreeing));
  EXPECT_EQ(SendMessageA(MDIFrame, WM_QUERYENDSESSION, 0, 0), 0) << "the session end must be refused";
  int code = -1;
  EXPECT_FALSE(QuitWaiting(code));

  SetRefuses(refusing, false);
  EXPECT_NE(SendMessageA(MDIFrame, WM_QUERYENDSESSION, 0, 0), 0);
  EXPECT_FALSE(IsWindow(refusing)) << "the session end closes the children too";
  SendMessageA(MDIFrame, WM_CLOSE, 0, 0);
  EXPECT_FALSE(IsWindow(MDIFrame));
  ASSERT_TRUE(QuitWaiting(code)) << "destroying the frame must post WM_QUIT";
  EXPECT_EQ(code, 0);
}

TEST_F(FrameTest, ExitCommandClosesTheFrame) {
  BuildFrame("AUTOTEST TESTDAT");
  AddChild("child");
  SendMessageA(MDIFrame, WM_COMMAND, IDM_EXIT, 0);
  EXPECT_FALSE(IsWindow(MDIFrame));
  int code = -1;
  ASSERT_TRUE(QuitWaiting(code));
  EXPECT_EQ(code, 0);
}

TEST_F(FrameTest, MinimizeAllMinimisesTheChildrenButNothingInsideThem) {
  BuildFrame("");
  const HWND first = AddChild("first");
  const HWND second = AddChild("second");
  const HWND button = CreateWindowExA(0, "BUTTON", "Inside", WS_CHILD | WS_VISIBLE, 5, 5, 60, 20, second,
                                      nullptr, hInst, nullptr);
  const HWND list = CreateWindowExA(0, "LISTBOX", "", WS_CHILD | WS_VISIBLE, 5, 30, 60, 40, second, nullptr,
                                    hInst, nullptr);
  SendMessageA(MDIFrame, WM_COMMAND, IDM_MINIMIZE_ALL, 0);
  EXPECT_TRUE(IsIconic(first));
  EXPECT_TRUE(IsIconic(second));
  EXPECT_FALSE(IsIconic(button));
  EXPECT_FALSE(IsIconic(list));
}

TEST_F(FrameTest, CloseCommandClosesOnlyTheActiveChildWhenItAgrees) {
  BuildFrame("");
  SendMessageA(MDIFrame, WM_COMMAND, IDM_CLOSE, 0);  // no child: nothing happens
  EXPECT_TRUE(IsWindow(MDIFrame));

  const HWND first = AddChild("first");
  const HWND active = AddChild("active");
  SendMessageA(MDIFrame, WM_COMMAND, IDM_CLOSE, 0);
  EXPECT_FALSE(IsWindow(active));
  EXPECT_TRUE(IsWindow(first));

  SetRefuses(first, true);
  SendMessageA(MDIhwnd, WM_MDIACTIVATE, reinterpret_cast<WPARAM>(first), 0);
  SendMessageA(MDIFrame, WM_COMMAND, IDM_CLOSE, 0);
  EXPECT_TRUE(IsWindow(first));
}

TEST_F(FrameTest, TileAndCascadeArrangeTheChildren) {
  BuildFrame("");
  const HWND a = AddChild("a");
  const HWND b = AddChild("b");

  SendMessageA(MDIFrame, WM_COMMAND, IDM_TILE_VERTICALLY, 0);
  RECT ra = WindowRectInClient(a), rb = WindowRectInClient(b);
  EXPECT_EQ(ra.top, rb.top) << "vertical tiling puts the children side by side";
  EXPECT_NE(ra.left, rb.left);

  SendMessageA(MDIFrame, WM_COMMAND, IDM_TILE_HORIZONTALLY, 0);
  ra = WindowRectInClient(a);
  rb = WindowRectInClient(b);
  EXPECT_EQ(ra.left, rb.left) << "horizontal tiling stacks the children";
  EXPECT_NE(ra.top, rb.top);

  SendMessageA(MDIFrame, WM_COMMAND, IDM_CASCADE, 0);
  ra = WindowRectInClient(a);
  rb = WindowRectInClient(b);
  EXPECT_NE(ra.left, rb.left) << "cascading offsets each child";
  EXPECT_NE(ra.top, rb.top);
  EXPECT_EQ(ra.right - ra.left, rb.right - rb.left) << "cascaded children share a size";

  SendMessageA(MDIFrame, WM_COMMAND, IDM_MINIMIZE_ALL, 0);
  SendMessageA(MDIFrame, WM_COMMAND, IDM_ARRANGE, 0);
  RECT clientArea{};
  GetClientRect(MDIhwnd, &clientArea);
  EXPECT_GE(WindowRectInClient(a).top, clientArea.bottom / 2) << "arranged icons line up at the bottom";
}

TEST_F(FrameTest, OtherCommandsGoToTheActiveChildUnchanged) {
  BuildFrame("");
  SendMessageA(MDIFrame, WM_COMMAND, IDM_GOTO, 7);  // no child: nobody to tell
  AddChild("background");
  const HWND active = AddChild("active");
  ReceivedCommands().clear();
  const WORD forwarded[] = {IDM_TRUNCATE,
                            IDM_SPLIT,
                            IDM_DELETE_RECORD,
                            IDM_INSERT_RECORD,
                            IDM_GOTO,
                            IDM_DELETE,
                            IDM_EDIT,
                            IDM_TEST,
                            IDM_TEST_MASTER,
                            IDM_CHANGE_SYMBOL,
                            IDM_CREATE,
                            IDM_COPY,
                            IDM_CREATE_DIRECTORY,
                            IDM_GOTO_RECORD,
                            IDM_REFRESH_TREE};
  for (WORD command : forwarded) {
    SendMessageA(MDIFrame, WM_COMMAND, MAKEWPARAM(command, 3), 4242);
  }
  ASSERT_EQ(ReceivedCommands().size(), std::size(forwarded));
  for (size_t i = 0; i < std::size(forwarded); ++i) {
    EXPECT_EQ(ReceivedCommands()[i].child, active);
    EXPECT_EQ(ReceivedCommands()[i].wParam, MAKEWPARAM(forwarded[i], 3));
    EXPECT_EQ(ReceivedCommands()[i].lParam, 4242);
  }

  ReceivedCommands().clear();
  DialogResponder responder;
  responder.ExpectDialog("Select Path", [](HWND dialog) { gui_harness::PressButton(dialog, IDCANCEL); });
  for (WORD command : {IDM_TILE_VERTICALLY, IDM_CASCADE, IDM_OPEN_EDITOR, IDM_SELECT_PATH}) {
    SendMessageA(MDIFrame, WM_COMMAND, command, 0);
  }
  EXPECT_TRUE(ReceivedCommands().empty()) << "the frame's own commands are not passed on";
}

TEST_F(FrameTest, WindowListNumbersTheChildrenFrom1000AndActivatesThem) {
  BuildFrame("");
  const HWND first = AddChild("first");
  AddChild("second");
  const int items = GetMenuItemCount(hMenuInitWindow);
  std::vector<UINT> ids;
  for (int i = 0; i < items; ++i) ids.push_back(GetMenuItemID(hMenuInitWindow, i));
  EXPECT_NE(std::find(ids.begin(), ids.end(), IDM_FIRST_CHILD), ids.end());
  EXPECT_NE(std::find(ids.begin(), ids.end(), IDM_FIRST_CHILD + 1), ids.end());

  SendMessageA(MDIFrame, WM_COMMAND, IDM_FIRST_CHILD, 0);
  EXPECT_EQ(reinterpret_cast<HWND>(SendMessageA(MDIhwnd, WM_MDIGETACTIVE, 0, 0)), first);
}

TEST_F(FrameTest, TheFiveMessagesAreRegisteredAndOnlyTheTestRequestsAreAnswered) {
  BuildFrame("AUTOTEST TESTDAT");
  const UINT ids[] = {UtilInit, UtilLoad, UtilTestDAT, UtilTestMaster, UtilClose};
  for (UINT id : ids) EXPECT_GE(id, 0xC000u);
  EXPECT_EQ(std::set<UINT>(std::begin(ids), std::end(ids)).size(), 5u);
  EXPECT_EQ(UtilTestDAT, RegisterWindowMessageA("KXUTILTESTDAT"));
  EXPECT_EQ(AllowRemoteFunctionEvoke, 1);
  for (UINT id : {UtilInit, UtilLoad, UtilClose}) {
    EXPECT_EQ(SendMessageA(MDIFrame, id, 1, 2), 0);
    EXPECT_FALSE(CloseWaitingFor(MDIFrame));
  }
}

TEST_F(FrameTest, TestRequestsAreIgnoredWhenTheMessagesCouldNotAllBeRegistered) {
  BuildFrame("");
  AllowRemoteFunctionEvoke = 0;
  EXPECT_EQ(SendMessageA(MDIFrame, UtilTestDAT, 0, 0), 0);
  EXPECT_FALSE(CloseWaitingFor(MDIFrame));
}

// The allocation failures cannot be caused from outside; the frame's own host
// is made to fail its allocations here.
class FailingAllocationHost : public FrameRemoteTestHost {
 public:
  using FrameRemoteTestHost::FrameRemoteTestHost;
  void* Allocate(size_t) override { return nullptr; }
};

TEST_F(FrameTest, AllocationFailureInADATRequestShowsTheMemoryMessageAndCloses) {
  BuildFrame("AUTOTEST TESTDAT PATH:\"C:\\data\" FILE:3");
  {
    DialogResponder responder;
    responder.Expect("Unable to allocate memory! Cannot continue this operation.", IDOK);
    FailingAllocationHost host(MDIFrame);
    EXPECT_EQ(AnswerRemoteDATTest(UtilityCommandLine, host), -1);
  }
  EXPECT_TRUE(CloseWaitingFor(MDIFrame)) << "a DAT request closes the program after the message";
}

TEST_F(FrameTest, AllocationFailureInAMasterRequestShowsTheMemoryMessageAndStays) {
  BuildFrame("AUTOTEST TESTMASTER PATH:\"C:\\data\"");
  {
    DialogResponder responder;
    responder.Expect("C:\\data\\", IDOK);
    responder.Expect("Unable to allocate memory! Cannot continue this operation.", IDOK);
    FailingAllocationHost host(MDIFrame);
    EXPECT_EQ(AnswerRemoteMasterTest(UtilityCommandLine, host), -1);
  }
  EXPECT_FALSE(CloseWaitingFor(MDIFrame)) << "a master request leaves the program open";
}

int reportOpen = 0;

void CALLBACK CloseReport(HWND, UINT, UINT_PTR timer, DWORD) {
  KillTimer(nullptr, timer);
  reportOpen = 0;
}

TEST(RemoteTestPolling, DispatchesUntilTheReportWindowCloses) {
  reportOpen = 1;
  SetTimer(nullptr, 0, 50, CloseReport);
  DispatchMessagesWhileOpen(reportOpen);
  EXPECT_EQ(reportOpen, 0);
}

TEST(RemoteTestPolling, AQuitTakenWhileWaitingIsPassedOnToTheProgramsLoop) {
  reportOpen = 1;
  PostQuitMessage(5);
  DispatchMessagesWhileOpen(reportOpen);
  int code = -1;
  ASSERT_TRUE(QuitWaiting(code)) << "the WM_QUIT must still be there for the main loop";
  EXPECT_EQ(code, 5);
  reportOpen = 0;
}

}  // namespace
