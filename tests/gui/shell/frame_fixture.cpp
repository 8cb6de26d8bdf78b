#include "shell/frame_fixture.h"

#include "harness/wait.h"
#include "shell/frame_window.h"
#include "shell/remote_requests.h"
#include "shell/shell_globals.h"
#include "shell/startup.h"

namespace {

constexpr char kTestChildClass[] = "QuorvexTestChild";
constexpr char kRefuseProperty[] = "QuorvexTestRefuses";

LRESULT CALLBACK TestChildProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      ReceivedCommands().push_back({window, wParam, lParam});
      return 0;
    case WM_QUERYENDSESSION:
      return GetPropA(window, kRefuseProperty) != nullptr ? FALSE : TRUE;
    case WM_DESTROY:
      RemovePropA(window, kRefuseProperty);
      break;
    default:
      break;
  }
  return DefMDIChildProcA(window, message, wParam, lParam);
}

void RegisterTestChildClass() {
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = TestChildProc;
  windowClass.hInstance = hInst;
  windowClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  windowClass.lpszClassName = kTestChildClass;
  RegisterClassA(&windowClass);
}

}  // namespace

std::vector<ReceivedCommand>& ReceivedCommands() {
  static std::vector<ReceivedCommand> commands;
  return commands;
}

void FrameTest::BuildFrame(const char* commandLine) {
  hInst = GetModuleHandleA(nullptr);
  DecideMode(commandLine);
  WNDCLASSA existing{};
  if (!GetClassInfoA(hInst, szFrameClass, &existing)) {
    ASSERT_TRUE(RegisterWindowClasses(hInst));
    RegisterTestChildClass();
  }
  LoadFolderImages(hInst);
  ASSERT_EQ(RegisterRemoteMessages(), 1);
  accelerators_ = LoadModeMenus(hInst);
  ASSERT_NE(CreateFrameWindow(hInst), nullptr);
  ShowWindow(MDIFrame, SW_SHOWMAXIMIZED);
  UpdateWindow(MDIFrame);
  ReceivedCommands().clear();
}

void FrameTest::DestroyFrame() {
  if (MDIFrame != nullptr && IsWindow(MDIFrame)) {
    for (HWND child : Children()) SetRefuses(child, false);
    DestroyWindow(MDIFrame);
  }
  gui_harness::DrainMessages();
  CleanUpAfterLoop(hInst);
  MDIFrame = MDIhwnd = nullptr;
}

HWND FrameTest::AddChild(const char* title, bool refuses) {
  MDICREATESTRUCTA create{};
  create.szClass = kTestChildClass;
  create.szTitle = title;
  create.hOwner = hInst;
  create.x = create.y = create.cx = create.cy = CW_USEDEFAULT;
  const HWND child =
      reinterpret_cast<HWND>(SendMessageA(MDIhwnd, WM_MDICREATE, 0, reinterpret_cast<LPARAM>(&create)));
  EXPECT_NE(child, nullptr) << "child \"" << title << "\" not created";
  SetRefuses(child, refuses);
  return child;
}

void FrameTest::SetRefuses(HWND child, bool refuses) {
  if (refuses) {
    SetPropA(child, kRefuseProperty, reinterpret_cast<HANDLE>(1));
  } else {
    RemovePropA(child, kRefuseProperty);
  }
}

std::vector<HWND> FrameTest::Children() const {
  std::vector<HWND> children;
  for (HWND child = GetWindow(MDIhwnd, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
    children.push_back(child);
  }
  return children;
}
